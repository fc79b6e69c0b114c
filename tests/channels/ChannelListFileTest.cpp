#include "channels/ChannelListFile.h"
#include "platform/Dialogs.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <gtest/gtest.h>

using namespace kobal;

namespace {

using Error = ChannelListFile::Error;

std::string u16(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) {
        out.push_back(char(c & 0xFF));
        out.push_back(char(c >> 8));
    }
    return out;
}

std::string i32(int v) {
    std::string out;
    for (int i = 0; i < 4; ++i) out.push_back(char((uint32_t(v) >> (8 * i)) & 0xFF));
    return out;
}

std::string header(const std::u16string& text) {
    std::string h = u16(text);
    h.resize(10, '\0');
    return h;
}

std::string record(int slot, const std::u16string& name, int flag) {
    std::string r = i32(slot);
    std::string n = u16(name);
    n.resize(100, '\0');
    return r + n + i32(flag);
}

using Boxes = test::MessageBoxRecorder;

QString writeTemp(const std::string& bytes) {
    static int n = 0;
    const std::string path = test::makeTempDir("chl") + "/list" + std::to_string(++n) + ".chl";
    test::writeFile(path, bytes);
    return QString::fromStdString(path);
}

} // namespace

TEST(ChannelListFile, ByteLayoutAndRoundTrip) {
    const std::vector<ChlRecord> records = {
        {2, "ＮＨＫ総合", 1}, {8, "ＳＴＶテレビ", 0}, {49, "", 1}};
    const std::string bytes = ChannelListFile::encode(records);
    ASSERT_EQ(bytes.size(), 10u + 3u * 108u);
    EXPECT_EQ(bytes.substr(0, 10), header(u"3"));
    EXPECT_EQ(bytes.substr(10, 4), i32(2));
    EXPECT_EQ(bytes.substr(14, 10), u16(u"ＮＨＫ総合"));
    EXPECT_EQ(bytes.substr(24, 2), std::string(2, '\0'));
    EXPECT_EQ(bytes.substr(114, 4), i32(1));
    EXPECT_EQ(bytes.substr(10 + 108 + 104, 4), i32(0));

    const QString path = writeTemp("");
    ASSERT_TRUE(ChannelListFile::write(path, records));
    std::vector<ChlRecord> back;
    ASSERT_EQ(ChannelListFile::read(path, &back), Error::None);
    ASSERT_EQ(back.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(back[i].slot, records[i].slot);
        EXPECT_EQ(back[i].name, records[i].name);
        EXPECT_EQ(back[i].flag, records[i].flag);
    }

    // Twelve records need two digits; an empty file is a count of zero.
    std::vector<ChlRecord> many;
    for (int s = 0; s < 12; ++s) many.push_back({s, "c", 1});
    EXPECT_EQ(ChannelListFile::encode(many).substr(0, 10), header(u"12"));
    EXPECT_EQ(ChannelListFile::decode(ChannelListFile::encode({}), &back), Error::None);
    EXPECT_TRUE(back.empty());

    // A name longer than the record holds is cut to 49 units and still terminated.
    std::string longName;
    for (int i = 0; i < 60; ++i) longName += "名";
    const std::string cut = ChannelListFile::encode({{0, longName, 1}});
    EXPECT_EQ(cut.substr(14 + 98, 2), std::string(2, '\0'));
    ASSERT_EQ(ChannelListFile::decode(cut, &back), Error::None);
    EXPECT_EQ(QString::fromStdString(back[0].name).size(), 49);
}

TEST(ChannelListFile, MangledBytesNeverGiveBadRecords) {
    std::string valid = ChannelListFile::encode({{1, "a", 1}, {2, "b", 0}, {3, "c", 1}});
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = valid;
        for (int k = 0; k < 1 + int(next() % 4); ++k)
            bytes[next() % bytes.size()] = char(next() >> 16);
        if (next() % 5 == 0) bytes.resize(next() % bytes.size());
        std::vector<ChlRecord> records;
        if (ChannelListFile::decode(bytes, &records) != Error::None) {
            EXPECT_TRUE(records.empty());
            continue;
        }
        for (const auto& r : records) ASSERT_TRUE(r.slot >= 0 && r.slot < 50);
    }
}

TEST(ChannelListFile, CollectTakesFoundAndFilteredSlots) {
    const std::vector<ChlScanResult> results = {{10, "ten"},    {3, "three"},   {10, "ten again"},
                                                {20, "twenty"}, {30, "thirty"}, {40, "forty"}};
    ChannelList::Flags found{};
    found[3] = found[10] = found[40] = 1; // three of five enabled channels answered
    ChannelList::Flags filter{};
    filter[3] = filter[10] = filter[20] = filter[30] = filter[40] = 1;

    auto records = ChannelListFile::collect(results, found, &filter);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].slot, 3);
    EXPECT_EQ(records[1].slot, 10);
    EXPECT_EQ(records[1].name, "ten"); // the first record of a slot
    EXPECT_EQ(records[2].slot, 40);
    EXPECT_EQ(ChannelListFile::encode(records).substr(0, 10), header(u"3"));

    filter[10] = 0;
    records = ChannelListFile::collect(results, found, &filter);
    EXPECT_EQ(records.size(), 2u);

    // Without a filter every record is stored enabled.
    found[20] = 1;
    records = ChannelListFile::collect(results, found, nullptr);
    ASSERT_EQ(records.size(), 4u);
    for (const auto& r : records) EXPECT_EQ(r.flag, 1);
}

TEST(ChannelListFile, OpeningGivesScanParametersAndFilter) {
    Boxes boxes;
    const QString path =
        writeTemp(header(u"2") + record(7, u"ＭＸテレビ", 0) + record(14, u"ＮＨＫ総合", 1));
    ChlScanParameters p;
    p.filter.fill(1);
    ASSERT_TRUE(ChannelListFile::openScanParameters(path, &p));
    EXPECT_TRUE(boxes.shown.empty());
    // A disabled record is still scanned; only the filter hides it afterwards.
    EXPECT_EQ(p.channelSlots, (std::vector<int>{7, 14}));
    EXPECT_EQ(p.names, (std::vector<std::string>{"ＭＸテレビ", "ＮＨＫ総合"}));
    for (int s = 0; s < 50; ++s) EXPECT_EQ(p.filter[s], s == 14 ? 1 : 0) << s;
}

TEST(ChannelListFile, DamagedFilesAreRejectedWithAMessage) {
    test::ensureQtApp();
    std::string noTerminator = i32(5);
    for (int i = 0; i < 50; ++i) noTerminator += u16(u"x");
    noTerminator += i32(1);

    const struct {
        const char* what;
        std::string bytes;
        Error expected;
    } cases[] = {
        {"empty file", "", Error::Count},
        {"short header", std::string("\x31\x00", 2), Error::Count},
        {"count not a number", header(u"abc") + record(1, u"a", 1), Error::Count},
        {"empty count", header(u"") + record(1, u"a", 1), Error::Count},
        {"signed count", header(u"-1"), Error::Count},
        {"count without terminator", u16(u"11111"), Error::Count},
        {"count above records", header(u"3") + record(1, u"a", 1) + record(2, u"b", 1),
         Error::MissingRecords},
        {"cut record", header(u"2") + record(1, u"a", 1) + record(2, u"b", 1).substr(0, 50),
         Error::CutRecord},
        {"slot 50", header(u"1") + record(50, u"a", 1), Error::Slot},
        {"negative slot", header(u"1") + record(-1, u"a", 1), Error::Slot},
        {"huge slot", header(u"1") + record(0x7FFFFFFF, u"a", 1), Error::Slot},
        {"name without terminator", header(u"1") + noTerminator, Error::Name},
        {"two records for one slot", header(u"2") + record(4, u"a", 1) + record(4, u"b", 0),
         Error::DuplicateSlot},
    };
    for (const auto& c : cases) {
        std::vector<ChlRecord> records;
        EXPECT_EQ(ChannelListFile::decode(c.bytes, &records), c.expected) << c.what;
        EXPECT_TRUE(records.empty()) << c.what;

        Boxes boxes;
        ChlScanParameters p;
        p.channelSlots = {99};
        EXPECT_FALSE(ChannelListFile::openScanParameters(writeTemp(c.bytes), &p)) << c.what;
        ASSERT_EQ(boxes.shown.size(), 1u) << c.what;
        EXPECT_NE(boxes.shown[0].text.find(ChannelListFile::errorText(c.expected)),
                  std::string::npos)
            << c.what;
        EXPECT_EQ(p.channelSlots, std::vector<int>{99}) << c.what; // left as it was
    }

    // Bytes after the counted records are not part of any record.
    std::vector<ChlRecord> records;
    EXPECT_EQ(ChannelListFile::decode(header(u"1") + record(3, u"a", 1) + "junk", &records),
              Error::None);
    EXPECT_EQ(records.size(), 1u);
}

TEST(ChannelListFile, SaveFailureIsReported) {
    Boxes boxes;
    const QString missingFolder =
        QString::fromStdString(test::homeDir() + "/no/such/folder/list.chl");
    EXPECT_FALSE(ChannelListFile::saveRecords(missingFolder, {{1, "a", 1}}));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Error!!");

    Boxes none;
    EXPECT_EQ(ChannelListFile::read(missingFolder, nullptr), Error::Open);
    const QString ok = writeTemp("");
    EXPECT_TRUE(ChannelListFile::saveRecords(ok, {{1, "a", 1}}));
    EXPECT_TRUE(none.shown.empty());
    EXPECT_EQ(QFile(ok).size(), 10 + 108);
}

TEST(ChannelListFile, FileDialogsKeepTheCurrentFolder) {
    test::ensureQtApp();
    const QString folder = QString::fromStdString(test::makeTempDir("dialog"));
    const QString cwd = QDir::currentPath();
    QString title;
    setModalHandler([&](QDialog& d) {
        auto* dialog = dynamic_cast<QFileDialog*>(&d);
        if (!dialog) return int(QDialog::Rejected);
        title = dialog->windowTitle();
        EXPECT_EQ(dialog->nameFilters().value(0), QStringLiteral("Channel list files (*.chl)"));
        QDir::setCurrent(folder); // browsing moves the current folder
        if (dialog->acceptMode() == QFileDialog::AcceptOpen) return int(QDialog::Rejected);
        dialog->setDirectory(folder);
        dialog->selectFile(QStringLiteral("mylist"));
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        return dialog->result();
    });
    EXPECT_EQ(ChannelListFile::chooseSavePath(), folder + QStringLiteral("/mylist.chl"));
    EXPECT_EQ(title, QStringLiteral("Save Channel List(s)"));
    EXPECT_EQ(QDir::currentPath(), cwd);
    EXPECT_TRUE(ChannelListFile::chooseOpenPath().isEmpty());
    EXPECT_EQ(title, QStringLiteral("open Channel List(s)"));
    EXPECT_EQ(QDir::currentPath(), cwd);
    setModalHandler({});
}
