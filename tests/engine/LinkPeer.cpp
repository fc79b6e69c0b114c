// The other party of a shared-memory link, in a process of its own, for the link tests.
//
//   LinkPeer <name> <dataSize> <partyId> <mode> [count]
//
// Modes (every mode prints "opened <server|client>" once open, then what it does):
//   hold        connects (retrying), prints "connected", then sleeps until killed
//   read <n>    connects, takes n messages, printing "msg <text>" for each (text up to the
//               first NUL), then leaves the link and exits 0
//   write <n>   connects, sends n messages "peer-<i>" waiting for the reader, prints "sent <i>"
//   lockdata    opens, takes the data lock, prints "locked", sleeps until killed
//   locksetup   takes the setup lock, prints "locked", sleeps until killed
#include "engine/SharedMemoryLink.h"
#include "platform/NamedObjects.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using kobal::SharedMemoryLink;

namespace {

void say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

[[noreturn]] void sleepForever() {
    for (;;) pause();
}

bool connectWithin(SharedMemoryLink& link, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (link.connect()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: LinkPeer name size party mode [count]\n");
        return 2;
    }
    const std::string name = argv[1];
    const size_t size = std::strtoul(argv[2], nullptr, 10);
    const int party = std::atoi(argv[3]);
    const std::string mode = argv[4];
    const int count = argc > 5 ? std::atoi(argv[5]) : 1;

    if (mode == "locksetup") {
        auto setup = kobal::NamedMutex::openOrCreate(SharedMemoryLink::kSetupLockName);
        if (!setup || !setup->lock(5000)) return 3;
        say("locked");
        sleepForever();
    }

    auto link = SharedMemoryLink::open(name, size, false, party);
    if (!link->serverIdInHeader() && !link->clientIdInHeader()) return 3;
    say(std::string("opened ") + (link->isServer() ? "server" : "client"));

    if (mode == "lockdata") {
        auto data = kobal::NamedMutex::openOrCreate("MUTEX_" + name);
        if (!data || !data->lock(5000)) return 3;
        say("locked");
        sleepForever();
    }
    if (!connectWithin(*link, 20000)) return 4;
    say("connected");

    if (mode == "hold") sleepForever();
    if (mode == "read") {
        std::vector<char> buf(size + 1, 0);
        for (int i = 0; i < count;) {
            long n = link->receive(buf.data(), size, 20000);
            if (n < 0) return 5;
            if (n == 0) continue;
            buf[static_cast<size_t>(n)] = 0;
            say("msg " + std::string(buf.data()));
            ++i;
        }
        link->destroy();
        say("left");
        return 0;
    }
    if (mode == "write") {
        for (int i = 0; i < count; ++i) {
            std::string text = "peer-" + std::to_string(i);
            if (!link->send(text.c_str(), text.size() + 1, true)) return 6;
            say("sent " + std::to_string(i));
        }
        sleepForever();
    }
    return 2;
}
