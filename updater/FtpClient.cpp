#include "updater/FtpClient.h"

#include "platform/Dialogs.h"
#include "updater/FtpListing.h"
#include "updater/UpdateTexts.h"
#include "updater/Versions.h"

#include <cctype>
#include <curl/curl.h>
#include <mutex>

namespace kobal::update {
namespace {

std::string urlPart(CURLU* url, CURLUPart part) {
    char* value = nullptr;
    std::string out;
    if (curl_url_get(url, part, &value, CURLU_URLDECODE) == CURLUE_OK && value) out = value;
    curl_free(value);
    return out;
}

// nullopt when the text is no URL; a server with an empty base when it is one but names no
// FTP host.
std::optional<FtpServer> parseUrl(const std::string& text) {
    CURLU* url = curl_url();
    if (!url) return std::nullopt;
    std::optional<FtpServer> server;
    if (curl_url_set(url, CURLUPART_URL, text.c_str(), 0) == CURLUE_OK) {
        FtpServer s;
        s.host = urlPart(url, CURLUPART_HOST);
        const std::string scheme = urlPart(url, CURLUPART_SCHEME);
        const std::string port = urlPart(url, CURLUPART_PORT);
        const std::string user = urlPart(url, CURLUPART_USER);
        if (!user.empty()) {
            s.user = user;
            s.password = urlPart(url, CURLUPART_PASSWORD);
        }
        char* host = nullptr; // as written in a URL (IPv6 in brackets)
        if (scheme == "ftp" && !s.host.empty() &&
            curl_url_get(url, CURLUPART_HOST, &host, 0) == CURLUE_OK && host)
            s.base = "ftp://" + std::string(host) + (port.empty() ? "" : ":" + port);
        curl_free(host);
        server = s;
    }
    curl_url_cleanup(url);
    return server;
}

// Strips CR and LF (and other control bytes) so a reply fits one line of a message.
std::string cleanLine(const char* data, size_t n) {
    std::string out;
    for (size_t i = 0; i < n && out.size() < kMaxReplyBytes; ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        if (c == '\t' || c >= 0x20) out.push_back(static_cast<char>(c));
    }
    return out;
}

struct ListingSink {
    std::string text;
    bool overflow = false;
};

size_t collectListing(char* data, size_t size, size_t count, void* context) {
    auto* sink = static_cast<ListingSink*>(context);
    const size_t n = size * count;
    if (sink->text.size() + n > kMaxListingBytes) {
        sink->overflow = true;
        return 0; // stops the transfer
    }
    sink->text.append(data, n);
    return n;
}

} // namespace

bool initialiseFtp() {
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ok;
}

std::optional<FtpServer> parseServerText(const std::string& text) {
    if (text.empty()) return std::nullopt;
    auto server = parseUrl(text);
    if (!server) server = parseUrl("ftp://" + text);
    if (!server || server->base.empty()) return std::nullopt;
    return server;
}

std::string ftpUrl(const FtpServer& server, const std::string& absolutePath, bool folder) {
    // A leading "%2F" makes the path absolute rather than relative to the login folder.
    std::string url = server.base + "/%2F";
    size_t start = 0;
    bool first = true;
    while (start <= absolutePath.size()) {
        size_t end = absolutePath.find('/', start);
        if (end == std::string::npos) end = absolutePath.size();
        if (end > start) {
            char* escaped = curl_easy_escape(nullptr, absolutePath.data() + start,
                                             static_cast<int>(end - start));
            if (!first) url += "/";
            url += escaped ? escaped : "";
            curl_free(escaped);
            first = false;
        }
        start = end + 1;
    }
    if (folder && !first) url += "/";
    return url;
}

FtpHandle::FtpHandle() {
    if (initialiseFtp()) curl_ = curl_easy_init();
}

FtpHandle::~FtpHandle() {
    if (curl_) curl_easy_cleanup(curl_);
}

bool FtpHandle::configure(const FtpServer& server, const FtpOptions& options) {
    if (!curl_) return false;
    bool ok = true;
    auto set = [&](CURLcode rc) { ok = ok && rc == CURLE_OK; };
    set(curl_easy_setopt(curl_, CURLOPT_PROTOCOLS_STR, "ftp"));
    set(curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L));
    set(curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, errorBuffer_));
    set(curl_easy_setopt(curl_, CURLOPT_USERNAME, server.user.c_str()));
    set(curl_easy_setopt(curl_, CURLOPT_PASSWORD, server.password.c_str()));
    // TLS when the server offers it, plain FTP otherwise; certificates are still verified.
    set(curl_easy_setopt(curl_, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY)));
    set(curl_easy_setopt(curl_, CURLOPT_FTP_FILEMETHOD,
                         static_cast<long>(CURLFTPMETHOD_SINGLECWD)));
    if (options.passive) {
        set(curl_easy_setopt(curl_, CURLOPT_FTPPORT, nullptr));
        // Data connections go to the server we logged in to, whatever address PASV names.
        set(curl_easy_setopt(curl_, CURLOPT_FTP_SKIP_PASV_IP, 1L));
    } else {
        set(curl_easy_setopt(curl_, CURLOPT_FTPPORT, "-"));
    }
    set(curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT_MS, options.timeoutMs));
    set(curl_easy_setopt(curl_, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                         std::max(1L, (options.timeoutMs + 999) / 1000)));
    set(curl_easy_setopt(curl_, CURLOPT_ACCEPTTIMEOUT_MS, options.timeoutMs));
    // A data connection that moves nothing for the time-out ends the request.
    set(curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_LIMIT, 1L));
    set(curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_TIME, std::max(1L, options.timeoutMs / 1000)));
    set(curl_easy_setopt(curl_, CURLOPT_HEADERFUNCTION, &FtpHandle::headerCallback));
    set(curl_easy_setopt(curl_, CURLOPT_HEADERDATA, this));
    return ok;
}

size_t FtpHandle::headerCallback(char* data, size_t size, size_t count, void* context) {
    auto* self = static_cast<FtpHandle*>(context);
    const size_t n = size * count;
    std::string line = cleanLine(data, n);
    // Only server replies ("220 …", "230-…"); libcurl also passes lines of its own here.
    const bool reply = line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0])) &&
                       std::isdigit(static_cast<unsigned char>(line[1])) &&
                       std::isdigit(static_cast<unsigned char>(line[2]));
    if (reply) {
        self->greeted_ = true;
        if (line.rfind("230", 0) == 0) self->loggedIn_ = true;
        self->lastResponse_ = line;
        if (self->replyCallback_) self->replyCallback_(self->replyContext_, line);
    }
    return n;
}

std::string FtpHandle::errorText(int code) const {
    if (errorBuffer_[0]) return cleanLine(errorBuffer_, sizeof errorBuffer_ - 1);
    return curl_easy_strerror(static_cast<CURLcode>(code));
}

bool FtpCheckConnection::connect(const std::string& serverText, const FtpOptions& options) {
    handle_.reset();
    attemptsMade_ = 0;
    options_ = options;
    if (!initialiseFtp()) return false; // no session: no message
    const auto server = parseServerText(serverText);
    if (!server) {
        if (serverText.empty()) debugOutput("no update server: set update_Server in registry.ini");
        messageBox(kInvalidUrl, "kobal_update", MB_OK | MB_ICONERROR);
        return false;
    }
    server_ = *server;
    for (int attempt = 1; attempt <= options.attempts; ++attempt) {
        ++attemptsMade_;
        auto h = std::make_unique<FtpHandle>();
        if (!h->configure(server_, options)) return false;
        CURL* c = h->curl();
        // Logging in is the whole request: no transfer.
        curl_easy_setopt(c, CURLOPT_URL, (server_.base + "/").c_str());
        curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
        curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, 0L);
        const CURLcode rc = curl_easy_perform(c);
        if (rc == CURLE_OK) {
            curl_easy_setopt(c, CURLOPT_NOBODY, 0L);
            handle_ = std::move(h);
            return true;
        }
        const std::string response = h->lastResponse();
        if (!response.empty()) debugOutput(response);
        const std::string description = h->errorText(rc);
        if (!description.empty()) debugOutput(description);
        if (attempt == options.attempts) {
            if (!description.empty())
                messageBox((response.empty() ? "" : response + "\r\n") + description,
                           "kobal_update", MB_OK | MB_ICONERROR);
            else
                messageBox(kConnectException, "kobal_update", MB_OK | MB_ICONERROR);
        }
    }
    return false;
}

bool FtpCheckConnection::list(const std::string& folder, ListKind kind,
                              std::vector<std::string>& names, bool versionListing) {
    names.clear();
    if (!handle_ || folder.empty()) return false;
    CURL* c = handle_->curl();
    ListingSink sink;
    sink.text.reserve(4096);
    curl_easy_setopt(c, CURLOPT_URL, ftpUrl(server_, folder, true).c_str());
    curl_easy_setopt(c, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(c, CURLOPT_DIRLISTONLY, 0L);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &collectListing);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, options_.listingLimitMs);
    const CURLcode rc = curl_easy_perform(c);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, nullptr);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, 0L);
    if (rc != CURLE_OK) {
        if (rc == CURLE_OPERATION_TIMEDOUT)
            debugOutput(options_.passive ? kTimedOutPassive : kTimedOutActive);
        else if (sink.overflow)
            debugOutput("listing of " + folder + " passed 1 MiB; refused");
        else if (versionListing)
            debugOutput(kFolderOpenError);
        return false;
    }
    for (auto& entry : parseListing(sink.text)) {
        if (entry.name == "." || entry.name == "..") continue;
        if (entry.directory != (kind == ListKind::Folders)) continue;
        if (!isSafeName(entry.name)) {
            debugOutput("refused a listed name (" + std::to_string(entry.name.size()) +
                        " bytes) that is no plain file name");
            continue;
        }
        names.push_back(std::move(entry.name));
    }
    return true;
}

} // namespace kobal::update
