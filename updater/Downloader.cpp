#include "updater/Downloader.h"

#include "updater/UpdateTexts.h"

#include <arpa/inet.h>
#include <cerrno>
#include <curl/curl.h>
#include <filesystem>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace kobal::update {
namespace {

constexpr long kBlock = 1024; // bytes per write callback and progress step

struct Transfer {
    DownloadHost* host = nullptr;
    std::atomic<bool>* abort = nullptr;
    std::atomic<int64_t>* bytes = nullptr;
    int fd = -1;
    bool hasSize = false;
    int64_t total = 0;
    int lastPercent = 0;
    int writeError = 0; // errno of a failed write, or EFBIG past the announced size
    bool announcedConnect = false;
    bool announcedConnected = false;
};

void progressStep(Transfer& t) {
    if (!t.hasSize || t.total <= 0) return;
    const int percent = static_cast<int>(static_cast<double>(t.bytes->load()) * 100.0 /
                                         static_cast<double>(t.total));
    if (percent == t.lastPercent) return;
    t.host->setWindowTitle(format(IDS_TITLE_PROGRESS, std::to_string(percent)));
    t.host->setProgressPos(percent);
    t.lastPercent = percent;
}

size_t writeBlock(char* data, size_t size, size_t count, void* context) {
    auto& t = *static_cast<Transfer*>(context);
    const size_t n = size * count;
    if (t.abort->load()) return 0; // between blocks: stop here
    if (t.hasSize && t.bytes->load() + static_cast<int64_t>(n) > t.total) {
        // More than announced: a damaged or hostile file; never keep it.
        t.writeError = EFBIG;
        return 0;
    }
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(t.fd, data + done, n - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            t.writeError = errno;
            return 0;
        }
        done += static_cast<size_t>(w);
    }
    t.bytes->fetch_add(static_cast<int64_t>(n));
    progressStep(t);
    return n;
}

size_t discard(char*, size_t size, size_t count, void*) {
    return size * count;
}

// Also called while no data flows, so an abort never waits for the server.
int transferInfo(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Transfer*>(context)->abort->load() ? 1 : 0;
}

std::string addressText(const curl_sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address->family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&address->addr)->sin_addr, text,
                  sizeof text);
    else if (address->family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&address->addr)->sin6_addr, text,
                  sizeof text);
    return text;
}

// The name is resolved once libcurl asks for the first socket: say so, and where it goes.
curl_socket_t openSocket(void* context, curlsocktype, curl_sockaddr* address) {
    auto& t = *static_cast<Transfer*>(context);
    if (!t.announcedConnect) {
        t.announcedConnect = true;
        const std::string where = addressText(address);
        t.host->setStatusText(format(IDS_STATUS_RESOLVED, where));
        t.host->setStatusText(format(IDS_STATUS_CONNECTING, where));
    }
    return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

void onReply(void* context, const std::string&) {
    auto& t = *static_cast<Transfer*>(context);
    if (t.announcedConnected) return;
    t.announcedConnected = true; // the greeting: connected
    t.host->setStatusText(text(IDS_STATUS_CONNECTED));
}

// Failures that the server's reply explains.
bool replyError(CURLcode rc) {
    switch (rc) {
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_LOGIN_DENIED:
    case CURLE_FTP_WEIRD_SERVER_REPLY:
    case CURLE_FTP_COULDNT_SET_TYPE:
    case CURLE_FTP_PORT_FAILED:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
    case CURLE_QUOTE_ERROR:
        return true;
    default:
        return false;
    }
}

// Failures of opening the remote file rather than of moving its bytes.
bool openError(CURLcode rc) {
    return rc == CURLE_REMOTE_FILE_NOT_FOUND || rc == CURLE_FTP_COULDNT_RETR_FILE ||
           rc == CURLE_REMOTE_ACCESS_DENIED;
}

int64_t freeSpace(const std::string& path) {
    struct statvfs fs {};
    const std::string folder = std::filesystem::path(path).parent_path().string();
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &fs) != 0) return -1;
    return static_cast<int64_t>(fs.f_bavail) * static_cast<int64_t>(fs.f_frsize);
}

} // namespace

Downloader::~Downloader() {
    join();
}

void Downloader::join() {
    if (thread_.joinable()) thread_.join();
}

bool Downloader::start(DownloadJob job) {
    if (thread_.joinable()) return false;
    bytes_.store(0);
    abort_.store(false);
    try {
        thread_ = std::thread(&Downloader::run, this, std::move(job));
    } catch (const std::system_error&) {
        abort_.store(true);
        return false;
    }
    return true;
}

void Downloader::run(DownloadJob job) {
    // The libcurl handle (and its goodbye to the server) is gone before the dialog hears of
    // the end, so the dialog never waits for the server.
    const Outcome outcome = transfer(job);
    host_.transferFinished(outcome.error, outcome.text);
}

Downloader::Outcome Downloader::transfer(DownloadJob& job) {
    Transfer t;
    t.host = &host_;
    t.abort = &abort_;
    t.bytes = &bytes_;
    t.fd = job.localFd;

    auto closeFile = [&] {
        if (t.fd >= 0) ::close(t.fd);
        t.fd = -1;
    };
    auto finish = [&] {
        closeFile();
        // An aborted download leaves nothing behind, however far it came.
        if (abort_.load()) ::unlink(job.localPath.c_str());
        return Outcome{0, std::string()};
    };
    FtpHandle handle;
    auto fail = [&](TextId id, long code, bool withReply) {
        const std::string reply = handle.lastResponse();
        const std::string detail =
            withReply && !reply.empty() ? "\n" + reply : std::to_string(code);
        closeFile();
        ::unlink(job.localPath.c_str());
        return Outcome{1, format(id, detail)};
    };

    if (!handle.valid()) return fail(IDS_ERR_TRANSFER, CURLE_FAILED_INIT, false);
    if (abort_.load()) return finish();
    CURL* c = handle.curl();
    handle.onReply(&onReply, &t);
    if (!handle.configure(job.server, job.options) ||
        curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, &openSocket) != CURLE_OK ||
        curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, &t) != CURLE_OK ||
        curl_easy_setopt(c, CURLOPT_BUFFERSIZE, kBlock) != CURLE_OK ||
        curl_easy_setopt(c, CURLOPT_WRITEDATA, &t) != CURLE_OK ||
        curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &transferInfo) != CURLE_OK ||
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t) != CURLE_OK ||
        curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L) != CURLE_OK)
        return fail(IDS_ERR_TRANSFER, CURLE_FAILED_INIT, false);
    if (abort_.load()) return finish();

    // Connect and ask for the size; a server without SIZE is no error.
    const std::string url = ftpUrl(job.server, job.remotePath, false);
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    // libcurl writes what it learnt ("Content-Length: …") as data; that is no file content.
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &discard);
    t.host->setStatusText(format(IDS_STATUS_RESOLVING, job.server.host));
    CURLcode rc = curl_easy_perform(c);
    if (abort_.load()) return finish();
    if (!handle.loggedIn()) return fail(IDS_ERR_CONNECT, rc, replyError(rc) && handle.greeted());
    host_.setStatusText(text(IDS_STATUS_CONNECT));
    curl_off_t length = -1;
    if (rc == CURLE_OK &&
        curl_easy_getinfo(c, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
        length >= 0) {
        t.hasSize = true;
        t.total = length;
        host_.setProgressRange(0, 100);
        const int64_t space = freeSpace(job.localPath);
        if (space >= 0 && space < t.total) return fail(IDS_ERR_DOWNLOAD, ENOSPC, false);
    }

    if (abort_.load()) return finish();
    host_.setStatusText(text(IDS_STATUS_TRANSFER));
    curl_easy_setopt(c, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &writeBlock);
    // Read to the end of the data connection: libcurl would otherwise stop quietly at the
    // announced size, and a file longer than announced would pass for a whole one.
    curl_easy_setopt(c, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    rc = curl_easy_perform(c);
    if (abort_.load()) return finish();
    if (t.writeError) return fail(IDS_ERR_DOWNLOAD, t.writeError, false);
    if (rc != CURLE_OK) {
        const bool reply = replyError(rc);
        if (bytes_.load() == 0 && openError(rc)) return fail(IDS_ERR_OPEN_REMOTE, rc, reply);
        return fail(IDS_ERR_DOWNLOAD, rc, reply);
    }
    // A file cut short of its announced size is no installer to run.
    if (t.hasSize && bytes_.load() != t.total)
        return fail(IDS_ERR_DOWNLOAD, CURLE_PARTIAL_FILE, false);
    if (::fsync(t.fd) != 0 && errno != EINVAL) return fail(IDS_ERR_DOWNLOAD, errno, false);
    if (::close(t.fd) != 0) {
        t.fd = -1;
        return fail(IDS_ERR_DOWNLOAD, errno, false);
    }
    t.fd = -1;
    return finish();
}

} // namespace kobal::update
