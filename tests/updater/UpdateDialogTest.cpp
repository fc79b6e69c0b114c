// The update dialog driving a real download: closing the window in the middle aborts it.
#include "FtpTestServer.h"

#include "../support/TestSupport.h"
#include "platform/Registry.h"
#include "updater/CDMBUpdateDlg.h"
#include "updater/UpdateTexts.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace kobal::update {
namespace {

TEST(UpdateDialog, ClosingTheWindowDuringTheDownloadAbortsItAndLeavesNothing) {
    test::ensureQtApp();

    const std::string root = test::makeTempDir("ftp");
    test::putFile(root, "FTP-1seg/UPDATE/2.0/setup.bin", std::string(4 * 1024 * 1024, 'k'));
    test::FtpTestServer server(root, "--slow");
    ASSERT_TRUE(server.running());
    Registry::write("Version", "1.0");
    Registry::write(kServerValue, server.url());

    CDMBUpdateDlg dialog;
    int opened = 0;
    dialog.setOpener([&](const std::string&) { return ++opened > 0; });
    ASSERT_TRUE(dialog.runCheck());
    EXPECT_TRUE(dialog.updateAvailable());
    EXPECT_EQ(dialog.statusText(), QString::fromUtf8(kOfferText));
    dialog.show();
    dialog.onOk();
    ASSERT_TRUE(test::pumpUntil([&] { return dialog.progress() > 0; }, 30s));
    EXPECT_EQ(dialog.windowTitle(), QString("%1% Update processing...").arg(dialog.progress()));

    dialog.close();
    EXPECT_TRUE(dialog.isVisible()); // waits for the worker to stop
    EXPECT_EQ(dialog.statusText(), QString::fromUtf8(text(IDS_STATUS_ABORTING)));
    ASSERT_TRUE(test::pumpUntil([&] { return !dialog.isVisible(); }, 30s));
    EXPECT_EQ(dialog.result(), 2);
    EXPECT_EQ(opened, 0);
    EXPECT_FALSE(std::filesystem::exists(dialog.localPath()));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(dialog.localPath()).parent_path()));
}

} // namespace
} // namespace kobal::update
