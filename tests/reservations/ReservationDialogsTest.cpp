// The two-slot form's file reserv.dat and its checks, the programme list built from a guide,
// and the form on a real widget tree (rows, the file, the recording folder).
#include "platform/Dialogs.h"
#include "platform/Registry.h"
#include "reservations/ProgrammeList.h"
#include "reservations/ReservationForm.h"
#include "reservations/ReserveDat.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <filesystem>
#include <gtest/gtest.h>

using namespace kobal;

namespace {

ReserveDat sample() {
    ReserveDat d;
    d.enabled = true;
    d.rows[0] = {true, {2027, 3, 3, 17, 21, 0, 0}, {2027, 3, 3, 17, 22, 30, 0}, 1, 27081};
    d.rows[1] = {false, {2027, 3, 4, 18, 6, 15, 0}, {2027, 3, 4, 18, 7, 0, 0}, 0, 0};
    return d;
}

std::string u16(int v) {
    return {char(v & 0xFF), char((v >> 8) & 0xFF)};
}
std::string u32(uint32_t v) {
    return u16(int(v & 0xFFFF)) + u16(int(v >> 16));
}

ProgrammeEvent event(const char16_t* title, int sh, int sm, int eh, int em) {
    ProgrammeEvent e;
    e.title = title;
    e.startHour = sh;
    e.startMinute = sm;
    e.endHour = eh;
    e.endMinute = em;
    e.description = u"説明";
    return e;
}

} // namespace

TEST(ReserveDatFile, IsByteForByteAndDamageIsRefusedWhole) {
    const ReserveDat d = sample();
    const std::string bytes = ReserveDat::encode(d);
    ASSERT_EQ(bytes.size(), 100u);
    // Flag, then row 0: enabled, start date (year, month, weekday, day), time, a zero, …
    const std::string row0 = u32(1) + u16(2027) + u16(3) + u16(3) + u16(17) + u16(21) + u16(0) +
                             u16(0) + u16(0) + u16(2027) + u16(3) + u16(3) + u16(17) + u16(22) +
                             u16(30) + u16(0) + u16(0) + u32(1) + u32(27081) + u32(0);
    EXPECT_EQ(bytes.substr(0, 52), u32(1) + row0);
    EXPECT_EQ(bytes.substr(96, 4), u32(1)); // row index 1
    ReserveDat back;
    ASSERT_TRUE(ReserveDat::decode(bytes, &back));
    EXPECT_EQ(back, d);

    // Every cut, every field out of range, and a date the calendar does not have: refused,
    // and what the caller held stays as it was.
    std::vector<std::string> damaged;
    for (size_t n = 0; n < bytes.size(); ++n) damaged.push_back(bytes.substr(0, n));
    damaged.push_back(bytes + "x");
    auto patched = [&](size_t at, const std::string& with) {
        std::string b = bytes;
        b.replace(at, with.size(), with);
        damaged.push_back(b);
    };
    patched(0, u32(2));                     // form flag
    patched(4, u32(7));                     // row flag
    patched(8, u16(1969));                  // year
    patched(10, u16(13));                   // month
    patched(12, u16(7));                    // weekday
    patched(10, u16(2) + u16(3) + u16(31)); // 31 February
    patched(16, u16(24));                   // hour
    patched(22, u16(5));                    // the zero after the time
    patched(40, u32(2));                    // repeat position
    patched(44, u32(50000));                // channel code
    patched(48, u32(1));                    // row 0 says it is row 1
    for (const std::string& b : damaged) {
        ReserveDat kept = sample();
        kept.enabled = false;
        EXPECT_FALSE(ReserveDat::decode(b, &kept)) << "size " << b.size();
        EXPECT_FALSE(kept.enabled);
    }

    // On disk: a damaged file is told, kept aside and not read at all.
    const std::string path = test::homeDir() + "/reserv.dat";
    ASSERT_TRUE(test::writeFile(path, bytes.substr(0, 60)));
    ReserveDat out;
    std::string error;
    EXPECT_FALSE(ReserveDat::load(path, &out, &error));
    EXPECT_NE(error.find("reserv.dat.broken"), std::string::npos) << error;
    EXPECT_EQ(out, ReserveDat{});
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(ReserveDatFile, RowsAreCheckedOnlyWhenSwitchedOnAndMustNotOverlap) {
    ReserveDat d = sample();
    EXPECT_EQ(d.check(), "");
    // Once: full date and time; 21:00 on the 18th is after 22:30 on the 17th.
    d.rows[0].start = {2027, 3, 4, 18, 21, 0, 0};
    EXPECT_NE(d.check(), "");
    d.enabled = false; // the form is off: nothing is checked
    EXPECT_EQ(d.check(), "");
    d = sample();
    // Every day: times of day only, the dates do not count.
    d.rows[1] = {true, {2030, 1, 2, 1, 7, 0, 0}, {2020, 1, 3, 2, 8, 0, 0}, 0, 0};
    EXPECT_EQ(d.check(), "");
    d.rows[1].start.hour = 9;
    EXPECT_NE(d.check(), "");
    // An every-day 21:30-23:00 meets the once row 21:00-22:30 on its day.
    d.rows[1] = {true, {2027, 1, 1, 1, 21, 30, 0}, {2027, 1, 1, 1, 23, 0, 0}, 0, 0};
    EXPECT_NE(d.check(), "");
    // … and 22:30-23:00 touches it without overlapping; 00:00-00:30 meets a once row that
    // runs past midnight.
    d.rows[1].start = {2027, 1, 1, 1, 22, 30, 0};
    EXPECT_EQ(d.check(), "");
    d.rows[0].end = {2027, 3, 4, 18, 0, 45, 0};
    d.rows[1].start = {2027, 1, 1, 1, 0, 0, 0};
    d.rows[1].end = {2027, 1, 1, 1, 0, 30, 0};
    EXPECT_NE(d.check(), "");
    // Two once rows on different days do not overlap.
    d = sample();
    d.rows[1] = {true, {2027, 3, 4, 18, 21, 0, 0}, {2027, 3, 4, 18, 22, 30, 0}, 1, 0};
    EXPECT_EQ(d.check(), "");
}

TEST(ProgrammeListFromGuide, DatesFollowTheGuideAcrossMidnight) {
    const ChannelChoice channel{u"ＮＨＫ総合", 14, 14271};
    ProgrammeGuide::Events events{};
    events[0] = event(u"A", 22, 0, 23, 0);
    events[1] = event(u"B", 23, 0, 0, 30);
    events[2] = ProgrammeEvent{u"open", 0, 0, 0, 0, 0, 0, u""}; // open-ended: left out
    events[3] = event(u"C", 0, 30, 2, 0);
    events[5] = event(u"after a gap", 3, 0, 4, 0); // behind the first empty title: not read
    const int64_t evening = localTime(2027, 2, 28, 21, 30);
    std::vector<Reservation> list = buildProgrammeList(events, channel, evening);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].start, localTime(2027, 2, 28, 22, 0));
    EXPECT_EQ(list[1].end, localTime(2027, 3, 1, 0, 30));
    EXPECT_EQ(list[2].start, localTime(2027, 3, 1, 0, 30));
    EXPECT_EQ(list[2].end, localTime(2027, 3, 1, 2, 0));
    EXPECT_EQ(list[2].channelName, channel.name);
    EXPECT_EQ(list[2].slot, 14);
    EXPECT_EQ(list[2].memo, u"説明");
    EXPECT_EQ(timeSpanText(list[1]), "23:00 - 00:30");
    EXPECT_EQ(dateText(list[2].start), "2027/03/01  ");

    // Just after midnight the present programme began yesterday at 23:00: it keeps
    // yesterday's date, and the next one today's.
    events[0] = event(u"B", 23, 0, 0, 30);
    events[1] = event(u"C", 0, 30, 2, 0);
    events[2] = ProgrammeEvent{};
    list = buildProgrammeList(events, channel, localTime(2027, 3, 1, 0, 10));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].start, localTime(2027, 2, 28, 23, 0));
    EXPECT_EQ(list[1].start, localTime(2027, 3, 1, 0, 30));
    // A guide crossing midnight with no programme starting in hour 0 still moves on a day.
    events[0] = event(u"D", 23, 0, 1, 0);
    events[1] = event(u"E", 1, 0, 2, 0);
    list = buildProgrammeList(events, channel, localTime(2027, 2, 28, 23, 30));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].start, localTime(2027, 3, 1, 1, 0));
}

TEST(ReservationForm, ChecksTheRowsWritesReservDatAndStoresTheFolder) {
    test::ensureQtApp();
    const std::string file = test::homeDir() + "/reserv.dat";
    ASSERT_TRUE(test::writeFile(file, "not a reserv.dat"));
    test::MessageBoxRecorder recorder;
    auto& boxes = recorder.shown;
    ASSERT_TRUE(Registry::write("rec_Dir", "/old/place"));
    const std::vector<ChannelChoice> lines = {{u"ＮＨＫ総合", 14, 14271}, {u"テレ東", 19, 19101}};
    const int64_t now = localTime(2027, 3, 17, 20, 15);
    CReservationForm form(lines, file, now);
    // The damaged file was told ("DMB Message"), kept aside, and the form starts from now.
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "DMB Message");
    EXPECT_TRUE(std::filesystem::exists(file + ".broken"));
    EXPECT_EQ(form.folderEdit()->text(), "/old/place");
    EXPECT_FALSE(form.row(0).startDate->isEnabled()); // 毎日: times of day only

    form.formEnabled()->setChecked(true);
    const auto& row = form.row(0);
    row.enabled->setChecked(true);
    row.repeat->setCurrentIndex(ReserveDatRow::kOnce);
    EXPECT_TRUE(row.startDate->isEnabled());
    row.channel->setCurrentIndex(1);
    row.startTime->setTime(QTime(21, 0));
    row.endTime->setTime(QTime(20, 0)); // before the start: refused, the form stays open
    form.okButton()->click();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].title, "DMB Message");
    EXPECT_FALSE(std::filesystem::exists(file));
    row.endTime->setTime(QTime(22, 0));
    form.okButton()->click();
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    ReserveDat saved;
    ASSERT_TRUE(ReserveDat::decode(test::readFile(file), &saved));
    EXPECT_TRUE(saved.enabled);
    EXPECT_EQ(saved.rows[0].channelCode, 19101);
    EXPECT_EQ(saved.rows[0].start, (ReserveDatTime{2027, 3, 3, 17, 21, 0, 0}));
    EXPECT_EQ(saved.rows[0].end.hour, 22);

    // The folder button: the chosen folder without its trailing slash, stored at once; "/"
    // stays "/"; Cancel changes nothing.
    std::optional<QString> answer = QStringLiteral("/media/disk/Rec/");
    form.chooseFolder = [&](const QString& initial) {
        EXPECT_EQ(initial, form.folderEdit()->text());
        return answer;
    };
    form.folderButton()->click();
    EXPECT_EQ(form.folderEdit()->text(), "/media/disk/Rec");
    EXPECT_EQ(Registry::read("rec_Dir").value_or(""), "/media/disk/Rec");
    answer = QStringLiteral("/");
    form.folderButton()->click();
    EXPECT_EQ(Registry::read("rec_Dir").value_or(""), "/");
    answer.reset();
    form.folderButton()->click();
    EXPECT_EQ(form.folderEdit()->text(), "/");

    // A second form reads back what the first wrote.
    CReservationForm again(lines, file, now);
    EXPECT_EQ(again.values(), saved);
}
