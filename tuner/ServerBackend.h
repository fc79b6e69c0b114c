#pragma once
// A tuner server speaking the Mirakurun HTTP API as the tuner: registry value tuner_Server
// ("http://host:40772", or "unix:/path/to.sock" for a server on this machine), overridden by
// the environment variable KOBAL_TUNER_SERVER.
//
// Scans read the terrestrial channel list (GET /api/channels?type=GR; slot = channel - 13) and
// the one-segment services (GET /api/services, type 192), or, for a listed channel without
// one, the service name from the SDT of a few seconds of its stream. A tune opens
// GET /api/channels/GR/{ch}/stream?decode=1 on a reader thread of its own ("veltra-server"),
// which keeps the packets the engine reads (OneSegPids) in a bounded ring that read() takes
// 1128 bytes from. A refused, ended or stalled stream (no bytes for 3 s) is reported as
// reception status 255 and a low level, and opened again with back-off (0.5 s doubling to
// 8 s). A channel change closes the old stream before the new one is opened: servers have few
// tuners.
//
// Server replies are untrusted: JSON replies are read up to 8 MiB, stream bytes pass a
// packet resync and the PID filter, and the ring drops its oldest packets when nobody reads.
#include "tuner/TunerBackend.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace veltra {

// Where a server is and how to reach it.
struct ServerAddress {
    std::string base;       // "http://host:port" (no trailing slash)
    std::string unixSocket; // path when the server listens on a unix socket
    bool valid() const { return !base.empty(); }
    // "http://host[:port][/]" or "unix:/path"; anything else gives an invalid address.
    static ServerAddress parse(const std::string& text);
};

// One HTTP GET: the body when the server answered 2xx within `timeoutMs` and the body fits
// `maxBytes`; nothing otherwise.
std::optional<std::string> httpGet(const ServerAddress& server, const std::string& path,
                                   size_t maxBytes, long timeoutMs);

class ServerBackend : public TunerBackend {
public:
    explicit ServerBackend(const std::string& address);
    ~ServerBackend() override;
    std::string name() const override { return "server"; }
    bool present() override { return server_.valid(); }
    bool open() override;
    void close() override;
    ProbeResult probe(int slot) override;
    bool tune(int slot) override;
    void untune() override;
    bool read(uint8_t* chunk) override;
    SignalReading signal(int slot) override;

    // KOBAL_TUNER_SERVER, else the registry value tuner_Server.
    static std::string configuredAddress();

    // Level reported while packets arrive, and without them.
    static constexpr double kReceivingDbm = -50.0;

private:
    class Stream;
    struct Service {
        uint16_t serviceId = 0;
        uint16_t networkId = 0;
        std::u16string name;
    };
    bool refreshLists(bool force);

    ServerAddress server_;
    bool open_ = false;
    int slot_ = -1;
    std::unique_ptr<Stream> stream_;
    // Channel list and one-segment services by physical channel, as last read.
    std::map<int, bool> channels_;
    std::map<int, Service> services_;
    std::chrono::steady_clock::time_point listsAt_{};
    bool haveLists_ = false;
};

} // namespace veltra
