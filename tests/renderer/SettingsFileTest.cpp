// Every reader and writer of config.ini meets the one file the registry's install_Dir names:
// the player's settings store, the tuner session, the simulator tuner and the renderer's
// recorder, in one live run.
#include "RendererTestSupport.h"
#include "app/ConfigStore.h"
#include "broadcast/AreaPresetTable.h"
#include "engine/SessionWindow.h"
#include "engine/TunerSession.h"
#include "link/RendererLinkProtocol.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "renderer/LinkSource.h"
#include "tuner/CTDMBDll.h"

#include "../support/TestSupport.h"

#include <QCoreApplication>
#include <QThread>
#include <QWidget>
#include <filesystem>
#include <gtest/gtest.h>

using namespace kobal;
using namespace std::chrono_literals;
using namespace kobal::render;
using namespace kobal::records;

TEST(SettingsFile, EveryReaderAndWriterMeetsTheFileTheRegistryNames) {
    const std::string other = test::makeTempDir("installed-elsewhere");
    ASSERT_TRUE(Registry::write("install_Dir", other));
    ConfigStore store;
    ASSERT_EQ(store.paths().configFile, other + "/config.ini");

    // The player stores the area; the simulator airs it.
    constexpr int kArea = 12;
    store.settings().areaNum = kArea;
    ChannelLists lists;
    store.SaveSettings(lists); // the lists are not bound here: only config.ini counts
    veltra::sim::setArea(-1);
    SessionWindow window;
    TunerSession session(window);
    EXPECT_EQ(session.tuner().area(), kArea);

    // The session stores the channel it tunes and the one that delivered; the player reads them.
    char key[16];
    std::snprintf(key, sizeof key, "%02d000", AreaPresetTable::station(kArea, 0).slot);
    session.setCurrentKey(key);
    test::RecordingHost host;
    host.onCopyData = [&](unsigned long c, long pid, const std::vector<uint8_t>& d) -> long {
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            return session.onCopyData(c, pid, d);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&session, c, pid, d] { session.onCopyData(c, pid, d); },
            Qt::QueuedConnection);
        return 1;
    };
    QWidget owner;
    {
        MediaGraph graph(&host);
        ASSERT_EQ(graph.RenderFile(std::string("x-dmb://") + key), S_OK);
        graph.put_Owner(&owner);
        ASSERT_EQ(graph.Run(), S_OK);
        ASSERT_TRUE(test::pumpUntil([&] { return session.streamEstablished(); }, 20000ms));
        EXPECT_EQ(store.ReadCurrentChannel(), key);
        EXPECT_EQ(Profile::getString(store.paths().configFile, "DMBControl", "LastChannel", ""),
                  key);

        // The player names the recording; the renderer records into that file.
        const std::string rec = other + "/show.rec";
        ASSERT_TRUE(store.writeRecordFileName(rec));
        const uint32_t start[3] = {kRecordingCommand, 12, kRecordStart};
        const uint32_t stop[3] = {kRecordingCommand, 12, kRecordStop};
        ASSERT_TRUE(session.link().sendCommand(start, sizeof start));
        ASSERT_TRUE(test::pumpUntil([&] { return graph.linkSource()->recording(); }, 3000ms));
        ASSERT_TRUE(session.link().sendCommand(stop, sizeof stop));
        ASSERT_TRUE(test::pumpUntil([&] { return !graph.linkSource()->recording(); }, 3000ms));
        EXPECT_TRUE(std::filesystem::exists(rec));
    }
    test::pumpFor(200ms);
    // Nobody kept a config.ini of their own beside the registry.
    EXPECT_FALSE(std::filesystem::exists(paths::inInstall("config.ini")));
}
