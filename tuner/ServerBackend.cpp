#include "tuner/ServerBackend.h"

#include "platform/Registry.h"
#include "tuner/CTDMBDll.h"
#include "tuner/OneSegPids.h"
#include "tuner/ReplayBackend.h"
#include "tuner/TsPackets.h"

#include <curl/curl.h>
#include <pthread.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>
#include <cstring>

namespace veltra {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxJsonBytes = 8 << 20;
constexpr size_t kRingPackets = 8192;         // about 30 s of a one-segment service
constexpr size_t kProbeStreamBytes = 2 << 20; // stream read for an SDT during a scan
constexpr long kProbeStreamMs = 4000;
constexpr auto kStall = std::chrono::seconds(3);
constexpr auto kReceivingWithin = std::chrono::milliseconds(1500);
constexpr auto kFirstBackoff = std::chrono::milliseconds(500);
constexpr auto kMaxBackoff = std::chrono::seconds(8);

void curlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void setCommon(CURL* c, const ServerAddress& server, const std::string& path) {
    const std::string url = server.base + path;
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    if (!server.unixSocket.empty())
        curl_easy_setopt(c, CURLOPT_UNIX_SOCKET_PATH, server.unixSocket.c_str());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, 3000L);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "kobal-player");
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
}

struct Body {
    std::string bytes;
    size_t max = 0;
    bool tooLong = false;
};

size_t appendBody(char* data, size_t, size_t n, void* user) {
    Body* b = static_cast<Body*>(user);
    if (b->bytes.size() + n > b->max) {
        b->tooLong = true;
        return 0; // aborts the transfer
    }
    b->bytes.append(data, n);
    return n;
}

std::u16string toU16(const QString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), s.size());
}

// Channel number of a terrestrial channel entry ("27"), -1 when it is no UHF channel number.
int channelNumber(const QJsonValue& v) {
    bool ok = false;
    const int n = v.toString().toInt(&ok);
    return ok && n >= kFirstPhysical && n < kFirstPhysical + kSlotCount ? n : -1;
}

// A GET into *out. A stream (`stream`) is read until the time or the size runs out, and
// what came counts; any other reply must be complete.
bool fetch(const ServerAddress& server, const std::string& path, size_t maxBytes, long timeoutMs,
           bool stream, std::string* out) {
    if (!server.valid()) return false;
    curlOnce();
    CURL* c = curl_easy_init();
    if (!c) return false;
    Body body;
    body.max = maxBytes;
    setCommon(c, server, path);
    curl_slist* headers = nullptr;
    if (stream) {
        headers = curl_slist_append(nullptr, "X-Mirakurun-Priority: 0");
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
    }
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, timeoutMs);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &body);
    const CURLcode rc = curl_easy_perform(c);
    curl_easy_cleanup(c);
    curl_slist_free_all(headers);
    *out = std::move(body.bytes);
    if (stream) return !out->empty();
    return rc == CURLE_OK && !body.tooLong;
}

std::string streamPath(int physical) {
    return "/api/channels/GR/" + std::to_string(physical) + "/stream?decode=1";
}

} // namespace

ServerAddress ServerAddress::parse(const std::string& text) {
    ServerAddress a;
    if (text.rfind("unix:", 0) == 0 && text.size() > 5 && text[5] == '/') {
        a.unixSocket = text.substr(5);
        a.base = "http://localhost";
    } else if (text.rfind("http://", 0) == 0 && text.size() > 7) {
        a.base = text;
        while (!a.base.empty() && a.base.back() == '/') a.base.pop_back();
    }
    return a;
}

std::optional<std::string> httpGet(const ServerAddress& server, const std::string& path,
                                   size_t maxBytes, long timeoutMs) {
    std::string body;
    if (!fetch(server, path, maxBytes, timeoutMs, false, &body)) return std::nullopt;
    return body;
}

// The tuned channel's stream: a reader thread that keeps one request open (again and again,
// with back-off), and the ring between it and read().
class ServerBackend::Stream {
public:
    Stream(ServerAddress server, int physical)
        : server_(std::move(server)), path_(streamPath(physical)),
          ring_(kRingPackets * ts::kPacketSize) {
        thread_ = std::thread([this] { run(); });
    }
    ~Stream() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
            if (multi_) curl_multi_wakeup(multi_);
        }
        wake_.notify_all();
        thread_.join();
    }

    // Six packets when they are there.
    bool take(uint8_t* chunk) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (count_ < 6) return false;
        for (int k = 0; k < 6; ++k) {
            std::memcpy(chunk + k * ts::kPacketSize, &ring_[head_ * ts::kPacketSize],
                        ts::kPacketSize);
            head_ = (head_ + 1) % kRingPackets;
            --count_;
        }
        return true;
    }

    bool receiving() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return connected_ && Clock::now() - lastData_ < kReceivingWithin;
    }

private:
    void run() {
        pthread_setname_np(pthread_self(), "veltra-server");
        curlOnce();
        auto backoff = std::chrono::duration_cast<Clock::duration>(kFirstBackoff);
        for (;;) {
            const bool flowed = transfer();
            std::unique_lock<std::mutex> lock(mutex_);
            connected_ = false;
            if (stop_) return;
            if (flowed) backoff = kFirstBackoff;
            wake_.wait_for(lock, backoff, [this] { return stop_; });
            if (stop_) return;
            backoff = std::min<Clock::duration>(backoff * 2, kMaxBackoff);
        }
    }

    // One request, until it ends, fails, stalls or is stopped. True when bytes came.
    bool transfer() {
        CURL* c = curl_easy_init();
        CURLM* m = curl_multi_init();
        if (!c || !m) {
            if (c) curl_easy_cleanup(c);
            if (m) curl_multi_cleanup(m);
            return false;
        }
        setCommon(c, server_, path_);
        curl_slist* headers = curl_slist_append(nullptr, "X-Mirakurun-Priority: 0");
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Stream::onData);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, this);
        curl_multi_add_handle(m, c);
        pids_.reset();
        cutter_.reset();
        bool flowed = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            multi_ = m;
            lastData_ = Clock::now();
            connected_ = true;
            head_ = count_ = 0; // a new request starts a new stream
        }
        for (;;) {
            int running = 0;
            if (curl_multi_perform(m, &running) != CURLM_OK || running == 0) break;
            curl_multi_poll(m, nullptr, 0, 100, nullptr);
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_ || Clock::now() - lastData_ > kStall) break;
            flowed = flowed || bytes_ > 0;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            multi_ = nullptr;
            flowed = flowed || bytes_ > 0;
            bytes_ = 0;
        }
        curl_multi_remove_handle(m, c);
        curl_easy_cleanup(c);
        curl_multi_cleanup(m);
        curl_slist_free_all(headers);
        return flowed;
    }

    static size_t onData(char* data, size_t, size_t n, void* user) {
        static_cast<Stream*>(user)->feed(reinterpret_cast<const uint8_t*>(data), n);
        return n;
    }

    void feed(const uint8_t* d, size_t n) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            lastData_ = Clock::now();
            bytes_ += n;
        }
        cutter_.feed(d, n, [this](const uint8_t* p) { keep(p); });
    }

    void keep(const uint8_t* p) {
        if (!pids_.take(p)) return;
        std::lock_guard<std::mutex> lock(mutex_);
        if (count_ == kRingPackets) { // nobody reads: the oldest go
            head_ = (head_ + 1) % kRingPackets;
            --count_;
        }
        std::memcpy(&ring_[(head_ + count_) % kRingPackets * ts::kPacketSize], p, ts::kPacketSize);
        ++count_;
    }

    const ServerAddress server_;
    const std::string path_;
    std::thread thread_;
    mutable std::mutex mutex_; // guards everything below but the reader thread's own state
    std::condition_variable wake_;
    bool stop_ = false;
    CURLM* multi_ = nullptr;
    bool connected_ = false;
    Clock::time_point lastData_{};
    size_t bytes_ = 0;
    std::vector<uint8_t> ring_;
    size_t head_ = 0, count_ = 0;
    // Reader thread only.
    OneSegPids pids_;
    PacketCutter cutter_;
};

ServerBackend::ServerBackend(const std::string& address) : server_(ServerAddress::parse(address)) {}

ServerBackend::~ServerBackend() {
    untune();
}

std::string ServerBackend::configuredAddress() {
    if (const char* env = std::getenv("KOBAL_TUNER_SERVER")) return env;
    return kobal::Registry::read("tuner_Server", 4096).value_or(std::string());
}

bool ServerBackend::refreshLists(bool force) {
    if (!force && haveLists_ && Clock::now() - listsAt_ < std::chrono::seconds(3)) return true;
    // A server that is away keeps its last lists: a tune then opens the stream, which waits
    // for the server with back-off.
    const auto channels = httpGet(server_, "/api/channels?type=GR", kMaxJsonBytes, 5000);
    if (!channels) return haveLists_;
    const QJsonDocument list = QJsonDocument::fromJson(QByteArray::fromStdString(*channels));
    if (!list.isArray()) return haveLists_;
    channels_.clear();
    services_.clear();
    for (const QJsonValue& v : list.array()) {
        const QJsonObject o = v.toObject();
        if (o.value("type").toString() != "GR") continue;
        const int ch = channelNumber(o.value("channel"));
        if (ch > 0) channels_[ch] = true;
    }
    // The one-segment services; a server that cannot list them still streams.
    if (const auto services = httpGet(server_, "/api/services", kMaxJsonBytes, 5000)) {
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(*services));
        for (const QJsonValue& v : doc.array()) {
            const QJsonObject o = v.toObject();
            const QJsonObject channel = o.value("channel").toObject();
            if (o.value("type").toInt() != 0xC0 || channel.value("type").toString() != "GR")
                continue;
            const int ch = channelNumber(channel.value("channel"));
            const int sid = o.value("serviceId").toInt(-1);
            if (ch < 0 || sid < 0 || sid > 0xFFFF || services_.count(ch)) continue;
            Service s;
            s.serviceId = static_cast<uint16_t>(sid);
            s.networkId = static_cast<uint16_t>(o.value("networkId").toInt() & 0xFFFF);
            s.name = toU16(o.value("name").toString().left(kNameChars - 1));
            services_[ch] = s;
        }
    }
    haveLists_ = true;
    listsAt_ = Clock::now();
    return true;
}

bool ServerBackend::open() {
    open_ = server_.valid() && refreshLists(true);
    return open_;
}

void ServerBackend::close() {
    untune();
    open_ = false;
}

ProbeResult ServerBackend::probe(int slot) {
    ProbeResult r;
    const int ch = slot + kFirstPhysical;
    if (!open_ || !refreshLists(false) || !channels_.count(ch)) return r;
    if (auto it = services_.find(ch); it != services_.end()) {
        r.found = true;
        r.serviceId = it->second.serviceId;
        r.name = it->second.name;
    } else {
        // Not scanned by the server (yet): the stream's own SDT names the service.
        std::string got;
        fetch(server_, streamPath(ch), kProbeStreamBytes, kProbeStreamMs, true, &got);
        bool hasPackets = false;
        uint16_t sid = 0;
        if (!readStreamServiceBytes(reinterpret_cast<const uint8_t*>(got.data()), got.size(),
                                    &r.name, &sid, &hasPackets))
            return r;
        r.found = true;
        r.serviceId = sid;
    }
    r.identifier = 0xF1E00000u | r.serviceId;
    return r;
}

bool ServerBackend::tune(int slot) {
    untune();
    const int ch = slot + kFirstPhysical;
    if (!open_ || !refreshLists(false) || !channels_.count(ch)) return false;
    stream_ = std::make_unique<Stream>(server_, ch);
    slot_ = slot;
    return true;
}

void ServerBackend::untune() {
    stream_.reset(); // closes the request before another is made
    slot_ = -1;
}

bool ServerBackend::read(uint8_t* chunk) {
    return stream_ && stream_->take(chunk);
}

SignalReading ServerBackend::signal(int slot) {
    if (!stream_ || slot != slot_ || !stream_->receiving()) return {};
    return {kReceivingDbm, kStatusReceiving};
}

} // namespace veltra
