// The way of an iEPG file from a web page into a running player: a second start of the real
// program with the file (a relative name, as a shell gives it) relays it, the player reads it,
// the details dialog shows it and is accepted, and the reservation is in reserv.ini with its
// id and scheduled start when the player ends.
#include "app/CPlayerApp.h"
#include "app/CPlayerDlg.h"
#include "platform/Dialogs.h"
#include "platform/Profile.h"
#include "reservations/Reservation.h"
#include "reservations/ReservationDetailDlg.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTimeEdit>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>

using namespace kobal;

namespace {

CPlayerDlg* playerWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<CPlayerDlg*>(w)) return p;
    return nullptr;
}

} // namespace

TEST(PlayerIepg, ASecondStartWithAFileAddsItsReservationToTheRunningPlayer) {
    setenv("KOBAL_VERSION_WAIT_MS", "300", 1);
    ASSERT_TRUE(test::prepareApp("AREA_NUM=7\nUSE_TRAYMODE=0\n"));
    QApplication::setQuitOnLastWindowClosed(false);
    const std::string home = test::homeDir();
    const std::string config = home + "/config.ini";
    std::filesystem::create_directories(home + "/web");
    ASSERT_TRUE(test::writeFile(
        home + "/web/番組.tvpi",
        test::readFile(test::sourceDir() + "/tests/reservations/iepg/news-v1.tvpi")));

    test::MessageBoxRecorder recorder;
    auto& boxes = recorder.titled;
    int dialogs = 0;
    QString channel, title, start, end, repeat;
    bool channelFixed = false;
    setModalHandler([&](QDialog& d) {
        auto* dlg = qobject_cast<CReservationDetailDlg*>(&d);
        if (!dlg) return 0;
        ++dialogs;
        channel = dlg->channelBox()->currentText();
        channelFixed = !dlg->channelBox()->isEnabled() && dlg->channelBox()->count() == 1;
        title = dlg->titleEdit()->text();
        start = dlg->startDate()->text() + " " + dlg->startTime()->text();
        end = dlg->endDate()->text() + " " + dlg->endTime()->text();
        repeat = dlg->repeatBox()->currentText();
        dlg->memoEdit()->setPlainText(QStringLiteral("録画する"));
        dlg->accept();
        // Done: the player closes (saving reserv.ini and the id counter).
        QTimer::singleShot(0, [] {
            if (CPlayerDlg* p = playerWindow()) p->requestClose();
        });
        return dlg->QDialog::result();
    });

    // Once the first player has tuned, a second start hands it the file by its relative name.
    QProcess second;
    second.setWorkingDirectory(QString::fromStdString(home + "/web"));
    QTimer poll;
    poll.setInterval(100);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (Profile::getString(config, "DMBControl", "CurrentChannel", "", 30).empty()) return;
        poll.stop();
        second.start(QString::fromStdString(test::binaryDir() + "/app/kobal_player"),
                     {QStringLiteral("番組.tvpi")});
    });
    poll.start();
    // Should nothing come, the player still ends and the checks below say what was missing.
    QTimer::singleShot(60000, [] {
        if (CPlayerDlg* p = playerWindow()) p->requestClose();
    });
    EXPECT_EQ(CPlayerApp::run({}), 0);
    // (It has usually ended while the player ran.)
    ASSERT_TRUE(second.state() == QProcess::NotRunning || second.waitForFinished(5000));
    EXPECT_EQ(second.exitCode(), 0);

    EXPECT_TRUE(boxes.empty()) << boxes[0];
    ASSERT_EQ(dialogs, 1);
    EXPECT_EQ(channel, QStringLiteral("NHK総合"));
    EXPECT_TRUE(channelFixed);
    EXPECT_EQ(title, QStringLiteral("ニュース"));
    EXPECT_EQ(start, QStringLiteral("2037/03/14 23:30"));
    EXPECT_EQ(end, QStringLiteral("2037/03/15 00:30"));
    EXPECT_EQ(repeat, QStringLiteral("一度"));

    std::vector<Reservation> saved;
    ASSERT_EQ(ReservationList::decode(test::readFile(home + "/reserv.ini"), &saved),
              ReservationFileError::None);
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].channelName, u"NHK総合");
    EXPECT_EQ(saved[0].title, u"ニュース");
    EXPECT_EQ(saved[0].memo, u"録画する");
    EXPECT_EQ(saved[0].start, localTime(2037, 3, 14, 23, 30));
    EXPECT_EQ(saved[0].end, localTime(2037, 3, 15, 0, 30));
    EXPECT_EQ(saved[0].repeat, Reservation::kOnce);
    EXPECT_EQ(saved[0].slot, 14); // "NHK" in ASCII letters is area 7's ＮＨＫ総合
    EXPECT_EQ(saved[0].id, 1);
    EXPECT_EQ(Profile::getString(config, "SETUP", "TASKID", "", 30), "1");
    EXPECT_TRUE(std::filesystem::exists(home + "/systemd/Kobal_Player000000001.timer"));
}
