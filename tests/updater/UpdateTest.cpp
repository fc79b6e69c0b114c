// The update check and download against a real FTP server on 127.0.0.1.
#include "FtpTestServer.h"

#include "../support/TestSupport.h"
#include "platform/Dialogs.h"
#include "platform/NamedObjects.h"
#include "platform/Registry.h"
#include "tests/support/MessageBoxRecorder.h"
#include "updater/Downloader.h"
#include "updater/FtpListing.h"
#include "updater/LocalTarget.h"
#include "updater/UpdateCheck.h"
#include "updater/UpdateTexts.h"
#include "updater/Versions.h"

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <random>
#include <sys/stat.h>

namespace kobal::update {
namespace {

using test::FtpTestServer;

std::string randomBytes(size_t n) {
    std::mt19937 rng(42);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(rng());
    return s;
}

// Collects what the worker shows; waits for its end.
class RecordingHost : public DownloadHost {
public:
    std::function<void(int64_t)> onBlock; // called with the progress percent
    void setStatusText(const std::string& t) override {
        std::lock_guard<std::mutex> l(m_);
        statuses.push_back(t);
    }
    void setWindowTitle(const std::string& t) override {
        std::lock_guard<std::mutex> l(m_);
        title = t;
    }
    void setProgressRange(int, int high) override { rangeHigh = high; }
    void setProgressPos(int pos) override {
        progress = pos;
        if (onBlock) onBlock(pos);
    }
    void transferFinished(int e, const std::string& text) override {
        std::lock_guard<std::mutex> l(m_);
        error = e;
        errorText = text;
        ++finishes;
        cv_.notify_all();
    }
    bool waitFinished() {
        std::unique_lock<std::mutex> l(m_);
        return cv_.wait_for(l, std::chrono::seconds(60), [&] { return finishes > 0; });
    }
    std::vector<std::string> statuses;
    std::string title, errorText;
    int rangeHigh = 0, progress = 0, error = -1, finishes = 0;

private:
    std::mutex m_;
    std::condition_variable cv_;
};

using BoxRecorder = kobal::test::MessageBoxRecorder;

// The two events a starting player makes before it waits for the verdict.
struct StartingPlayer {
    std::unique_ptr<NamedEvent> recent = NamedEvent::openOrCreate(kRecentVersionEvent);
    std::unique_ptr<NamedEvent> old = NamedEvent::openOrCreate(kOldVersionEvent);
};

FtpOptions fastOptions() {
    FtpOptions o;
    o.timeoutMs = 10000;
    return o;
}

struct Download {
    LocalTarget target;
    RecordingHost host;
    Downloader downloader{host};
    bool start(const CheckResult& r) {
        int error = 0;
        const int fd = target.create(r.fileName, error);
        if (fd < 0) return false;
        return downloader.start({r.server, r.remotePath, target.path(), fd, fastOptions()});
    }
};

TEST(UpdateVersions, NumbersCompareAsNumbersOtherNamesAsText) {
    EXPECT_GT(compareVersions("1.10", "1.9"), 0);
    EXPECT_LT(compareVersions("1.9", "1.10"), 0);
    EXPECT_EQ(compareVersions("1.0", "1.0.0"), 0);
    EXPECT_EQ(compareVersions("01.2", "1.2"), 0);
    EXPECT_GT(compareVersions("1.123456789012345678901234567890", "1.9"), 0);
    EXPECT_GT(compareVersions("1.0", ""), 0); // nothing installed: any release is newer
    // Not both numeric: plain order of the characters.
    EXPECT_GT(compareVersions("1.9b", "1.10"), 0);
    EXPECT_LT(compareVersions("1..2", "1.2"), 0);
    EXPECT_EQ(newestVersion({"1.2", "1.10", "1.9"}), "1.10");
    EXPECT_EQ(newestVersion({}), "");
}

TEST(UpdateListing, ServerLinesAndNames) {
    const auto entries = parseListing("drwxr-xr-x   2 o g 4096 Jan 01 12:00 1.10\r\n"
                                      "-rw-r--r--   1 o g 12 Jan 01  2024 my setup.bin\r\n"
                                      "lrwxrwxrwx   1 o g 4 Jan 01 12:00 l -> x\r\n"
                                      "01-02-24  10:00AM       <DIR>          2.0\r\n"
                                      "01-02-24  10:00AM                 1234 dos file.exe\n"
                                      "garbage\n-rw-r--r-- 1 o g\n");
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].name, "1.10");
    EXPECT_TRUE(entries[0].directory);
    EXPECT_EQ(entries[1].name, "my setup.bin");
    EXPECT_FALSE(entries[1].directory);
    EXPECT_EQ(entries[2].name, "2.0");
    EXPECT_TRUE(entries[2].directory);
    EXPECT_EQ(entries[3].name, "dos file.exe");

    EXPECT_TRUE(isSafeName("setup-1.10.bin"));
    EXPECT_TRUE(isSafeName("セットアップ.bin"));
    for (const std::string bad : {"", ".", "..", "../x", "a/b", "a\\b", ".hidden", "a\nb", "a\x7f",
                                  "\xff\xfe", "a\xc2\x85"})
        EXPECT_FALSE(isSafeName(bad)) << bad;
    EXPECT_FALSE(isSafeName(std::string(256, 'a')));
    EXPECT_TRUE(isSafeName(std::string(255, 'a')));
}

TEST(UpdateCheck, NothingNewTellsTheStartingPlayerToGoOn) {
    const std::string root = test::makeTempDir("ftp");
    test::putFile(root, "FTP-1seg/UPDATE/1.9/setup.bin", "old");
    test::putFile(root, "FTP-1seg/UPDATE/1.10/setup.bin", "current");
    FtpTestServer server(root);
    ASSERT_TRUE(server.running());
    Registry::write("Version", "1.10");
    Registry::write(kServerValue, server.url());
    StartingPlayer player;
    BoxRecorder boxes;

    FtpCheckConnection connection;
    const CheckResult r = runUpdateCheck(connection, fastOptions());
    EXPECT_EQ(r.outcome, CheckResult::NothingNew);
    EXPECT_EQ(r.newestVersion, "1.10");
    EXPECT_TRUE(player.recent->tryTake());
    EXPECT_FALSE(player.old->tryTake());
    EXPECT_TRUE(boxes.texts.empty());
}

TEST(UpdateCheck, NewerReleaseIsOfferedAndDownloadedWhole) {
    const std::string root = test::makeTempDir("ftp");
    const std::string installer = randomBytes(300 * 1024 + 17);
    test::putFile(root, "FTP-1seg/UPDATE/1.2/setup.bin", "x");
    test::putFile(root, "FTP-1seg/UPDATE/1.9/setup.bin", "y");
    test::putFile(root, "FTP-1seg/UPDATE/1.10/kobal setup 1.10.bin", installer);
    FtpTestServer server(root);
    ASSERT_TRUE(server.running());
    Registry::write("Version", "1.9");
    Registry::write(kServerValue, server.url());
    StartingPlayer player;

    FtpCheckConnection connection;
    const CheckResult r = runUpdateCheck(connection, fastOptions());
    ASSERT_EQ(r.outcome, CheckResult::UpdateOffered);
    EXPECT_EQ(r.newestVersion, "1.10");
    EXPECT_EQ(r.remotePath, "/FTP-1seg/UPDATE/1.10/kobal setup 1.10.bin");
    EXPECT_TRUE(player.old->tryTake());
    EXPECT_FALSE(player.recent->tryTake());

    Download d;
    ASSERT_TRUE(d.start(r));
    ASSERT_TRUE(d.host.waitFinished());
    d.downloader.join();
    EXPECT_EQ(d.host.error, 0) << d.host.errorText;
    EXPECT_EQ(test::readFile(d.target.path()), installer);
    EXPECT_EQ(d.host.rangeHigh, 100);
    EXPECT_EQ(d.host.progress, 100);
    EXPECT_EQ(d.host.title, "100% Update processing...");
    EXPECT_NE(std::find(d.host.statuses.begin(), d.host.statuses.end(), text(IDS_STATUS_CONNECT)),
              d.host.statuses.end());
    struct stat st {};
    ASSERT_EQ(::stat(d.target.folder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    d.target.remove();
}

TEST(UpdateDownload, CancelInTheMiddleRemovesThePartialFile) {
    const std::string root = test::makeTempDir("ftp");
    test::putFile(root, "FTP-1seg/UPDATE/2.0/setup.bin", randomBytes(2 * 1024 * 1024));
    FtpTestServer server(root);
    ASSERT_TRUE(server.running());
    Registry::write(kServerValue, server.url());

    FtpCheckConnection connection;
    const CheckResult r = runUpdateCheck(connection, fastOptions());
    ASSERT_EQ(r.outcome, CheckResult::UpdateOffered); // nothing installed
    Download d;
    d.host.onBlock = [&](int64_t percent) {
        if (percent >= 10) d.downloader.abort(); // the user presses Cancel
    };
    ASSERT_TRUE(d.start(r));
    ASSERT_TRUE(d.host.waitFinished());
    d.downloader.join();
    EXPECT_EQ(d.host.error, 0);
    EXPECT_LT(d.downloader.bytesWritten(), 2 * 1024 * 1024);
    EXPECT_FALSE(std::filesystem::exists(d.target.path()));
    d.target.remove();
}

TEST(UpdateCheck, ServerDownOrSilentAfterFiveAttempts) {
    FtpTestServer server("-", "--refuse");
    ASSERT_TRUE(server.running());
    Registry::write(kServerValue, server.url());
    StartingPlayer player;
    BoxRecorder boxes;

    FtpCheckConnection connection;
    const CheckResult r = runUpdateCheck(connection, fastOptions());
    EXPECT_EQ(r.outcome, CheckResult::NothingNew);
    EXPECT_EQ(server.countLines("CONN", 5000), 5);
    ASSERT_EQ(boxes.texts.size(), 1u); // once, after the last attempt
    EXPECT_NE(boxes.texts[0].find("421 Service not available"), std::string::npos)
        << boxes.texts[0];
    EXPECT_NE(boxes.texts[0].find("\r\n"), std::string::npos);
    EXPECT_TRUE(player.recent->tryTake());

    // A server that never says a word ends within the time-outs, also after five tries.
    FtpTestServer silent("-", "--silent");
    ASSERT_TRUE(silent.running());
    Registry::write(kServerValue, silent.url());
    boxes.texts.clear();
    FtpOptions quick = fastOptions();
    quick.timeoutMs = 500;
    EXPECT_EQ(runUpdateCheck(connection, quick).outcome, CheckResult::NothingNew);
    EXPECT_EQ(silent.countLines("CONN", 2000), 5);
    EXPECT_EQ(boxes.texts.size(), 1u);

    // No server configured: said so, nothing tried.
    Registry::remove(kServerValue);
    boxes.texts.clear();
    EXPECT_EQ(runUpdateCheck(connection, fastOptions()).outcome, CheckResult::NothingNew);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], kInvalidUrl);
    EXPECT_EQ(connection.attemptsMade(), 0);
}

TEST(UpdateCheck, HostileListingsAreRefused) {
    const std::string root = test::makeTempDir("ftp");
    // The release file is longer than the size the server announces for it.
    test::putFile(root, "FTP-1seg/UPDATE/2.0/setup.bin", randomBytes(50000));
    {
        FtpTestServer server(root, "--hostile");
        ASSERT_TRUE(server.running());
        Registry::write(kServerValue, server.url());
        FtpCheckConnection connection;
        const CheckResult r = runUpdateCheck(connection, fastOptions());
        ASSERT_EQ(r.outcome, CheckResult::UpdateOffered);
        EXPECT_EQ(r.newestVersion, "2.0"); // "a/b", "zzz…", "../x" were no candidates
        EXPECT_EQ(r.fileName, "setup.bin");

        Download d;
        ASSERT_TRUE(d.start(r));
        ASSERT_TRUE(d.host.waitFinished());
        d.downloader.join();
        EXPECT_EQ(d.host.error, 1);
        EXPECT_EQ(d.host.errorText.rfind(format(IDS_ERR_DOWNLOAD, ""), 0), 0u) << d.host.errorText;
        EXPECT_FALSE(std::filesystem::exists(d.target.path()));
        EXPECT_LE(d.downloader.bytesWritten(), 10);
        d.target.remove();
    }
    {
        // A listing without end is cut at its bound: nothing offered.
        FtpTestServer server(root, "--endless");
        ASSERT_TRUE(server.running());
        Registry::write(kServerValue, server.url());
        FtpCheckConnection connection;
        EXPECT_EQ(runUpdateCheck(connection, fastOptions()).outcome, CheckResult::NothingNew);
    }
}

} // namespace
} // namespace kobal::update
