#include "platform/Messenger.h"

#include "platform/Paths.h"

#include <QByteArray>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMetaObject>
#include <QPointer>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kobal {
namespace {

// A sender writes at most one line; anything longer is not ours and ends the connection.
constexpr qsizetype kMaxLine = 64 * 1024;

std::string socketPath(const std::string& title) {
    std::string clean;
    for (unsigned char c : title)
        clean.push_back(c == '/' || c < 0x20 ? '_' : static_cast<char>(c));
    if (clean.empty() || clean == "." || clean == "..") clean = "_" + clean;
    std::string path = paths::runtimeFolder() + "/" + clean;
    // sun_path holds 108 bytes with the terminator.
    if (path.size() > 100) path = paths::runtimeFolder() + paths::posixName(title).substr(0, 40);
    return path;
}

std::string escapeText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out.push_back(c);
    }
    return out;
}

std::string unescapeText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            char n = text[++i];
            out.push_back(n == 'n' ? '\n' : n == 'r' ? '\r' : n);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// Connects to the window's socket; -1 when nobody listens there.
int connectTo(const std::string& title) {
    const std::string path = socketPath(title);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return -1;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int rc;
    do {
        rc = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const std::string& bytes) {
    size_t off = 0;
    while (off < bytes.size()) {
        ssize_t w = ::send(fd, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        off += static_cast<size_t>(w);
    }
    return true;
}

} // namespace

bool Messenger::windowExists(const std::string& title) {
    int fd = connectTo(title);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

long Messenger::sendCopyData(const std::string& title, unsigned long n, const std::string& text,
                             int timeoutMs) {
    int fd = connectTo(title);
    if (fd < 0) return -1;
    const std::string line = "copydata " + std::to_string(n) + " " + escapeText(text) + "\n";
    long result = -1;
    if (sendAll(fd, line)) {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
        std::string answer;
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            if (left <= 0) break;
            pollfd p{fd, POLLIN, 0};
            int rc = ::poll(&p, 1, static_cast<int>(left));
            if (rc < 0 && errno == EINTR) continue;
            if (rc <= 0) break;
            char buf[256];
            ssize_t r = ::recv(fd, buf, sizeof buf, 0);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;
            answer.append(buf, static_cast<size_t>(r));
            const size_t nl = answer.find('\n');
            if (nl != std::string::npos) {
                char* end = nullptr;
                const std::string digits = answer.substr(0, nl);
                errno = 0;
                long v = std::strtol(digits.c_str(), &end, 10);
                if (errno == 0 && end != digits.c_str() && *end == '\0') result = v;
                break;
            }
            if (answer.size() > 64) break;
        }
    }
    ::close(fd);
    return result;
}

namespace {
bool postLine(const std::string& title, const std::string& line) {
    int fd = connectTo(title);
    if (fd < 0) return false;
    const bool ok = sendAll(fd, line);
    ::close(fd);
    return ok;
}
} // namespace

bool Messenger::postClose(const std::string& title) {
    return postLine(title, "close\n");
}

bool Messenger::postActivate(const std::string& title) {
    return postLine(title, "activate\n");
}

// ---------------------------------------------------------------------------------------------

struct MessengerServer::Impl {
    CopyDataHandler onCopyData;
    CloseHandler onClose;
    CloseHandler onActivate;
    QLocalServer* server = nullptr;
    // Cleared when the server goes away, so a handler that destroys it (a window closing in
    // answer to a message) does not leave us writing to freed sockets.
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);

    void serve(QLocalSocket* socket);
    void handleLine(QLocalSocket* socket, const std::string& line);
};

void MessengerServer::Impl::serve(QLocalSocket* socket) {
    std::shared_ptr<bool> guard = alive;
    QPointer<QLocalSocket> s(socket);
    while (s && *guard && s->canReadLine()) {
        QByteArray raw = s->readLine(kMaxLine);
        if (!raw.endsWith('\n')) {
            s->abort();
            return;
        }
        raw.chop(1);
        if (raw.endsWith('\r')) raw.chop(1);
        handleLine(s, raw.toStdString());
    }
    if (s && *guard && s->bytesAvailable() > kMaxLine) s->abort();
}

void MessengerServer::Impl::handleLine(QLocalSocket* socket, const std::string& line) {
    std::shared_ptr<bool> guard = alive;
    QPointer<QLocalSocket> s(socket);
    if (line == "close" || line == "activate") {
        // Later, from the event loop: the handler may well destroy this server.
        const CloseHandler& chosen = line == "close" ? onClose : onActivate;
        if (chosen) {
            CloseHandler handler = chosen;
            QMetaObject::invokeMethod(
                server,
                [guard, handler] {
                    if (*guard) handler();
                },
                Qt::QueuedConnection);
        }
        return;
    }
    static const std::string kCopyData = "copydata ";
    if (line.compare(0, kCopyData.size(), kCopyData) != 0) return;
    const std::string rest = line.substr(kCopyData.size());
    const size_t space = rest.find(' ');
    const std::string number = rest.substr(0, space);
    char* end = nullptr;
    errno = 0;
    unsigned long n = std::strtoul(number.c_str(), &end, 10);
    if (number.empty() || errno != 0 || *end != '\0') return;
    const std::string text = space == std::string::npos ? "" : unescapeText(rest.substr(space + 1));
    long result = onCopyData ? onCopyData(n, text) : 0;
    if (!*guard || !s) return;
    const QByteArray answer = QByteArray::number(static_cast<qlonglong>(result)) + '\n';
    s->write(answer);
    s->flush();
}

MessengerServer::MessengerServer(const std::string& title, CopyDataHandler onCopyData,
                                 CloseHandler onClose)
    : d_(std::make_unique<Impl>()) {
    d_->onCopyData = std::move(onCopyData);
    d_->onClose = std::move(onClose);
    const std::string path = socketPath(title);
    // A socket file left by a crashed program refuses connections; one that answers belongs
    // to a running window, which keeps its name.
    if (Messenger::windowExists(title)) return;
    QLocalServer::removeServer(QString::fromStdString(path));
    d_->server = new QLocalServer();
    d_->server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!d_->server->listen(QString::fromStdString(path))) {
        delete d_->server;
        d_->server = nullptr;
        return;
    }
    Impl* impl = d_.get();
    QObject::connect(d_->server, &QLocalServer::newConnection, d_->server, [impl] {
        while (QLocalSocket* socket = impl->server->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket,
                             [impl, socket] { impl->serve(socket); });
            if (socket->bytesAvailable() > 0) impl->serve(socket);
        }
    });
}

MessengerServer::~MessengerServer() {
    *d_->alive = false;
    if (!d_->server) return;
    // The handlers capture d_; cut them off, then let the event loop free the server, since
    // this may run inside one of its sockets' signals.
    for (QLocalSocket* socket : d_->server->findChildren<QLocalSocket*>()) {
        QObject::disconnect(socket, &QLocalSocket::readyRead, nullptr, nullptr);
    }
    QObject::disconnect(d_->server, nullptr, nullptr, nullptr);
    d_->server->close();
    d_->server->deleteLater();
}

void MessengerServer::setActivateHandler(CloseHandler onActivate) {
    d_->onActivate = std::move(onActivate);
}

bool MessengerServer::listening() const {
    return d_->server && d_->server->isListening();
}

} // namespace kobal
