// CTDMBDll on the `server` backend against a real tuner server (the mirakurun package from
// npm), whose tuner command airs our own simulator through kobal_mkstream. The server listens
// on a unix socket in the test's folder; the test stops it, and its tuner commands with it, by
// its process group.
#include "TunerTestSupport.h"
#include "broadcast/AreaPresetTable.h"
#include "broadcast/AribText.h"
#include "platform/Utf.h"
#include "tests/support/TestSupport.h"
#include "tuner/CTDMBDll.h"
#include "tuner/ServerBackend.h"
#include "tuner/StationCard.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kArea = 7;
const char* const kPackage = "mirakurun@3.9.0-rc.4";

std::string packageDir() {
    return kobal::test::binaryDir() + "/mirakurun/node_modules/mirakurun";
}

// Installs the package into the build folder once (several test processes may ask at once).
// Empty when it is there, else why not.
std::string installServer() {
    const std::string root = kobal::test::binaryDir() + "/mirakurun";
    std::filesystem::create_directories(root);
    const int lock = ::open((root + "/.lock").c_str(), O_CREAT | O_RDWR, 0644);
    if (lock >= 0) flock(lock, LOCK_EX);
    std::string why;
    if (!std::filesystem::exists(packageDir() + "/lib/server.js")) {
        std::string log;
        if (kobal::test::runCommand("npm --version >/dev/null 2>&1") != 0)
            why = "npm is not installed";
        else if (kobal::test::runCommand("cd " + root +
                                             " && npm install --ignore-scripts --no-save "
                                             "--no-audit --no-fund --prefix . " +
                                             kPackage + " 2>&1",
                                         &log) != 0 ||
                 !std::filesystem::exists(packageDir() + "/lib/server.js"))
            why = "npm could not install " + std::string(kPackage) + ": " +
                  log.substr(log.size() > 600 ? log.size() - 600 : 0);
    }
    if (lock >= 0) ::close(lock);
    return why;
}

// One tuner server with the stations of area 7 as its terrestrial channels and two tuners
// (its own service scan keeps one busy at first).
class TunerServer {
public:
    explicit TunerServer(const std::string& dir) : dir_(dir) {
        const std::string mkstream =
            kobal::test::binaryDir() + "/tools/kobal_mkstream/kobal_mkstream";
        // The server hands its command a socket, which /dev/stdout cannot open: cat sits
        // between. On SIGTERM the wrapper ends cat, and kobal_mkstream follows on its next write.
        kobal::test::writeFile(dir + "/tune.sh",
                               "#!/bin/sh\n" + mkstream + " --realtime --area " +
                                   std::to_string(kArea) +
                                   " --slot $(($1 - 13)) --seconds 3600 /dev/stdout | cat &\n"
                                   "trap 'kill $! 2>/dev/null; exit 0' TERM INT HUP\nwait\n");
        std::filesystem::permissions(dir + "/tune.sh", std::filesystem::perms::owner_all);
        kobal::test::writeFile(dir + "/server.yml", "logLevel: 2\npath: " + socket() + "\n");
        std::string tuners;
        for (int k = 0; k < 2; ++k)
            tuners += "- name: sim" + std::to_string(k) +
                      "\n  types:\n    - GR\n  command: " + dir + "/tune.sh <channel>\n";
        kobal::test::writeFile(dir + "/tuners.yml", tuners);
        std::string channels;
        for (int j = 0; j < kobal::AreaPresetTable::stationCount(kArea); ++j) {
            const int ch = kobal::AreaPresetTable::station(kArea, j).slot + 13;
            channels += "- name: ch" + std::to_string(ch) + "\n  type: GR\n  channel: '" +
                        std::to_string(ch) + "'\n";
        }
        kobal::test::writeFile(dir + "/channels.yml", channels);
    }
    ~TunerServer() { stop(); }

    std::string socket() const { return dir_ + "/server.sock"; }

    // Starts the server in a process group of its own; true once it answers.
    bool start() {
        const pid_t pid = fork();
        if (pid == 0) {
            setsid();
            const int log =
                ::open((dir_ + "/server.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            dup2(log, 1);
            dup2(log, 2);
            if (chdir(packageDir().c_str()) != 0) _exit(127);
            setenv("SERVER_CONFIG_PATH", (dir_ + "/server.yml").c_str(), 1);
            setenv("TUNERS_CONFIG_PATH", (dir_ + "/tuners.yml").c_str(), 1);
            setenv("CHANNELS_CONFIG_PATH", (dir_ + "/channels.yml").c_str(), 1);
            setenv("SERVICES_DB_PATH", (dir_ + "/services.json").c_str(), 1);
            setenv("PROGRAMS_DB_PATH", (dir_ + "/programs.json").c_str(), 1);
            execlp("node", "node", "lib/server.js", static_cast<char*>(nullptr));
            _exit(127);
        }
        pid_ = pid;
        const veltra::ServerAddress address = veltra::ServerAddress::parse("unix:" + socket());
        for (auto end = Clock::now() + 60s; Clock::now() < end;) {
            if (veltra::httpGet(address, "/api/status", 65536, 1000)) return true;
            std::this_thread::sleep_for(200ms);
        }
        return false;
    }

    // The server, and every tuner command it started (same process group), go.
    void stop() {
        if (pid_ <= 0) return;
        kill(-pid_, SIGTERM);
        for (int i = 0; i < 50 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(100ms);
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    // The server's own service scan has stored `count` one-segment services.
    bool waitForServices(int count, std::chrono::seconds limit) {
        for (auto end = Clock::now() + limit; Clock::now() < end;
             std::this_thread::sleep_for(500ms)) {
            const std::string db = kobal::test::readFile(dir_ + "/services.json");
            int n = 0;
            for (size_t at = 0; (at = db.find("\"type\":192", at)) != std::string::npos; ++at) ++n;
            if (n >= count) return true;
        }
        return false;
    }

private:
    std::string dir_;
    pid_t pid_ = -1;
};

// Reads for up to `limit` until `done` says so.
template <typename Done>
std::string readUntil(CTDMBDll& t, std::chrono::milliseconds limit, Done done) {
    std::string got;
    unsigned char buf[2256];
    for (auto end = Clock::now() + limit; Clock::now() < end && !done(got);) {
        if (t.GetTSStream(buf, 0))
            got.append(reinterpret_cast<char*>(buf), 1128);
        else
            std::this_thread::sleep_for(5ms);
    }
    return got;
}

// Name in the first service descriptor of the first SDT of a stream ("" without one).
std::u16string sdtName(const std::string& ts) {
    const auto sdts = tunertest::sectionsOn(ts, 0x0011);
    if (sdts.empty() || sdts.front().size() < 24 || sdts.front()[16] != 0x48) return {};
    const auto& s = sdts.front();
    const size_t n = s[19];
    return kobal::decodeAribText(&s[21 + n], s[20 + n], kobal::AribFlavor::Receiver);
}

} // namespace

TEST(ServerTuner, ScansWatchesChangesChannelAndRidesOutTheServersRestart) {
    if (const std::string why = installServer(); !why.empty()) GTEST_SKIP() << why;
    const std::string dir = kobal::test::makeTempDir("server");
    TunerServer server(dir);
    ASSERT_TRUE(server.start()) << kobal::test::readFile(dir + "/server.log");
    const int stations = kobal::AreaPresetTable::stationCount(kArea);
    ASSERT_TRUE(server.waitForServices(stations, 120s))
        << kobal::test::readFile(dir + "/server.log");

    setenv("KOBAL_TUNER", "server", 1);
    setenv("KOBAL_TUNER_SERVER", ("unix:" + server.socket()).c_str(), 1);
    setenv("KOBAL_SCAN_SLOT_MS", "1", 1);

    // A scan of the area finds every station with its broadcast name.
    CTDMBDll tuner;
    ASSERT_EQ(tuner.backendName(), "server");
    ASSERT_TRUE(tuner.Open(nullptr));
    tuner.ScanAreaChannel(kArea);
    int found = 0;
    for (int j = 0; j < stations; ++j) {
        const kobal::AreaStation st = kobal::AreaPresetTable::station(kArea, j);
        found += tuner.channelInfo[st.slot].found;
        EXPECT_EQ(std::u16string(tuner.channelInfo[st.slot].name), kobal::utf8ToUtf16(st.name))
            << st.slot;
        EXPECT_EQ(tuner.slotPair[st.slot].serviceId, 0xE080 + st.slot);
    }
    EXPECT_EQ(found, stations);

    // The player's engine and renderer on the server's stream (other processes, as a player).
    const std::string tools = kobal::test::binaryDir() + "/tools";
    std::string json;
    EXPECT_EQ(kobal::test::runCommand(tools + "/kobal_tsdump/kobal_tsdump --area 7 --slot 14 "
                                              "--seconds 6",
                                      &json),
              0);
    // (the engine shows the broadcast's full-width letters as ASCII)
    EXPECT_NE(json.find("\"service_name\": \"NHK総合\""), std::string::npos) << json;
    EXPECT_EQ(json.find("\"video_records\": 0,"), std::string::npos) << json;
    const std::string png = dir + "/card.png";
    std::string report;
    ASSERT_EQ(kobal::test::runCommand(tools +
                                          "/kobal_grab/kobal_grab --area 7 --slot 14 "
                                          "--seconds 6 --png " +
                                          png,
                                      &report),
              0)
        << report;
    const QImage picture(QString::fromStdString(png));
    ASSERT_FALSE(picture.isNull());
    const veltra::CardColour want = veltra::stationCardColour(kArea, 14);
    const QColor corner = picture.pixelColor(2, 2);
    EXPECT_NEAR(corner.red(), want.r, 16);
    EXPECT_NEAR(corner.green(), want.g, 16);
    EXPECT_NEAR(corner.blue(), want.b, 16);

    // A channel change: the new channel's stream, not the old one's.
    auto hasName = [](const char* name) {
        return [want = kobal::utf8ToUtf16(name)](const std::string& ts) {
            return sdtName(ts) == want;
        };
    };
    ASSERT_TRUE(tuner.SetChannel(14, 14, 1, 0.0f));
    EXPECT_TRUE(hasName("ＮＨＫ総合")(readUntil(tuner, 15s, hasName("ＮＨＫ総合"))));
    ASSERT_TRUE(tuner.SetChannel(7, 7, 1, 0.0f));
    EXPECT_TRUE(hasName("ＭＸテレビ")(readUntil(tuner, 15s, hasName("ＭＸテレビ"))));
    tuner.IsOpen();
    EXPECT_EQ(tuner.receptionStatus, 0.0);

    // The server goes: no reception, a low level. It comes back: the picture resumes.
    server.stop();
    for (auto end = Clock::now() + 10s; Clock::now() < end && tuner.receptionStatus != 255.0;) {
        readUntil(tuner, 200ms, [](const std::string&) { return false; });
        tuner.IsOpen();
    }
    EXPECT_EQ(tuner.receptionStatus, 255.0);
    EXPECT_LE(tuner.signalLevel, -90.0);
    ASSERT_TRUE(server.start()) << kobal::test::readFile(dir + "/server.log");
    const std::string resumed = readUntil(tuner, 40s, [](const std::string& ts) {
        return tunertest::pesOn(ts, 0x0181).size() >= 15; // a second of pictures
    });
    EXPECT_GE(tunertest::pesOn(resumed, 0x0181).size(), 15u);
    tuner.IsOpen();
    EXPECT_EQ(tuner.receptionStatus, 0.0);
    EXPECT_EQ(sdtName(resumed), kobal::utf8ToUtf16("ＭＸテレビ"));
    tuner.Close();
}
