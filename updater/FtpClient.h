#pragma once
// FTP through libcurl, shared by the check connection and the download worker. Everything the
// server sends is untrusted: reply lines are kept cut to 1024 bytes, listings to 1 MiB, and
// every request has time-outs, so a silent or endless server ends in an error.
#include <memory>
#include <optional>
#include <string>
#include <vector>

typedef void CURL;

namespace kobal::update {

// The server of the update_Server value.
struct FtpServer {
    std::string base; // "ftp://host[:port]" as libcurl is given it
    std::string host;
    std::string user = "anonymous";
    std::string password;
};

// Reads the server text as a URL, else as "ftp://" + text. Only ftp with a host is taken.
std::optional<FtpServer> parseServerText(const std::string& text);

// URL of an absolute server path ("/FTP-1seg/UPDATE/1.10"), each component escaped.
// folder: ends with "/" (a listing); otherwise a file.
std::string ftpUrl(const FtpServer& server, const std::string& absolutePath, bool folder);

struct FtpOptions {
    int attempts = 5;             // connection attempts of the check
    long timeoutMs = 30000;       // connect, reply and stalled-transfer time-outs
    bool passive = true;          // PASV/EPSV data connections (work through NAT)
    long listingLimitMs = 120000; // a listing ends within this, however slowly it drips
};

// One libcurl handle with the options every request shares. The connection it opens stays
// open between requests on the same handle.
class FtpHandle {
public:
    FtpHandle();
    ~FtpHandle();
    FtpHandle(const FtpHandle&) = delete;
    FtpHandle& operator=(const FtpHandle&) = delete;

    bool valid() const { return curl_ != nullptr; }
    CURL* curl() const { return curl_; }
    // Sets the shared options for this server; false when libcurl refuses one.
    bool configure(const FtpServer& server, const FtpOptions& options);

    // The server's last reply line (CR and LF removed, at most 1024 bytes), whether a reply
    // ever came, and whether the login was accepted (230).
    std::string lastResponse() const { return lastResponse_; }
    bool greeted() const { return greeted_; }
    bool loggedIn() const { return loggedIn_; }
    // Text of the last failed request (libcurl's error buffer, else its code's text).
    std::string errorText(int code) const;
    // Called with each reply line (for status texts); may be empty.
    void onReply(void (*callback)(void* context, const std::string& line), void* context) {
        replyCallback_ = callback;
        replyContext_ = context;
    }

private:
    static size_t headerCallback(char* data, size_t size, size_t count, void* self);
    CURL* curl_ = nullptr;
    char errorBuffer_[256] = {};
    std::string lastResponse_;
    bool greeted_ = false;
    bool loggedIn_ = false;
    void (*replyCallback_)(void*, const std::string&) = nullptr;
    void* replyContext_ = nullptr;
};

// The connection of the update check: connect with retries, then list folders.
class FtpCheckConnection {
public:
    enum class ListKind { Folders, Files };
    // Tries up to options.attempts times; on failure after the last attempt the user sees the
    // server's reply and the error (or "Please enter a valid FTP URL" for a bad server text).
    bool connect(const std::string& serverText, const FtpOptions& options);
    // Names of the folder's subfolders or files, in server order, without ".", ".." and names
    // that are no plain component (isSafeName). False when the folder cannot be listed, the
    // listing times out or passes 1 MiB. versionListing picks the debug texts of a failure.
    bool list(const std::string& folder, ListKind kind, std::vector<std::string>& names,
              bool versionListing);
    const FtpServer& server() const { return server_; }
    int attemptsMade() const { return attemptsMade_; }

private:
    std::unique_ptr<FtpHandle> handle_;
    FtpServer server_;
    FtpOptions options_;
    int attemptsMade_ = 0;
};

// Starts libcurl once per process; false when it cannot.
bool initialiseFtp();

inline constexpr size_t kMaxListingBytes = 1 << 20;
inline constexpr size_t kMaxReplyBytes = 1024;

} // namespace kobal::update
