// Round trips with the broadcast simulator's own tables: what the simulator airs as service
// name, programme titles and texts, and captions comes out of our decoders as the same text,
// in its broadcast form (fullwidth letters, digits and the row-1 symbols the guide shows in
// ASCII come back as ASCII).
#include "broadcast/AreaPresetTable.h"
#include "broadcast/JisTable.h"
#include "engine/ServiceInfo.h"
#include "platform/Utf.h"
#include "tests/engine/OutputTap.h"
#include "tests/support/TestSupport.h"
#include "tuner/Captions.h"
#include "tuner/SiTables.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <map>

using namespace kobal;

namespace {

using Bytes = std::vector<uint8_t>;

// The text as the guide's decoder gives it back: characters whose JIS code the table maps to
// an ASCII or Latin-1 form take that form.
std::u16string broadcastForm(const std::u16string& text) {
    static const std::map<char16_t, char16_t> forms = [] {
        std::map<char16_t, char16_t> m;
        for (int r = 1; r <= 3; ++r)
            for (int c = 1; c <= 94; ++c) {
                char16_t plain = kJisX0208Rows[r - 1][c - 1];
                char16_t shown = jisLookup(uint16_t(((0x20 + r) << 8) | (0x20 + c)));
                if (plain != 0xFFFF && plain != shown) m[plain] = shown;
            }
        return m;
    }();
    std::u16string out;
    for (char16_t ch : text) {
        auto it = forms.find(ch);
        out += it == forms.end() ? ch : it->second;
    }
    return out;
}

// Captions show the ideographic comma in its halfwidth form.
std::u16string captionForm(std::u16string text) {
    for (char16_t& ch : text)
        if (ch == 0x3001) ch = 0xFF64;
    return text;
}

Bytes withPointer(const std::vector<uint8_t>& section) {
    Bytes p = {0x00};
    p.insert(p.end(), section.begin(), section.end());
    return p;
}

} // namespace

TEST(ServiceInfoRoundTrip, EveryPresetStationNameComesBackFromTheSdt) {
    int checked = 0;
    for (int area = 0; area < AreaPresetTable::areaCount(); ++area) {
        for (int j = 0; j < AreaPresetTable::stationCount(area); ++j) {
            veltra::ServiceInfo s;
            s.name = kobal::utf8ToUtf16(AreaPresetTable::station(area, j).name);
            ServiceInfoReader r;
            Bytes p = withPointer(veltra::buildSdt(s));
            if (p.size() > 184) p.resize(184);
            r.onSdtSection(p.data(), p.size());
            ASSERT_EQ(r.serviceName(), broadcastForm(s.name))
                << area << "/" << j << " " << AreaPresetTable::station(area, j).name;
            ++checked;
        }
    }
    EXPECT_EQ(checked, AreaPresetTable::kStationCount);
}

TEST(ServiceInfoRoundTrip, TitlesTextsAndTimesOfADayOfProgrammes) {
    veltra::ServiceInfo s;
    struct tm day = {};
    day.tm_year = 126, day.tm_mon = 11, day.tm_mday = 8, day.tm_isdst = -1;
    const time_t midnight = mktime(&day);
    for (time_t t = midnight; t < midnight + 86400; t += 1800) {
        for (int ahead = 0; ahead < 2; ++ahead) {
            veltra::Programme p = veltra::programmeAt(3, u"テスト局", t, ahead);
            Bytes sec = veltra::buildEit(s, ahead, 1, 1, p);
            ProgrammeGuide g;
            bool complete = false;
            ASSERT_EQ(g.parseSection(sec.data(), sec.size(), &complete), sec.size());
            ASSERT_TRUE(complete);
            const ProgrammeEvent& e = g.event(1 + ahead);
            ASSERT_EQ(e.title, broadcastForm(p.title));
            ASSERT_EQ(e.description, broadcastForm(p.text).substr(0, kProgrammeDescriptionMax));
            struct tm st = {};
            localtime_r(&p.start, &st);
            if (p.duration >= 0) {
                EXPECT_EQ(e.startHour, st.tm_hour);
                EXPECT_EQ(e.startMinute, st.tm_min);
                const time_t end = p.start + p.duration;
                struct tm en = {};
                localtime_r(&end, &en);
                EXPECT_EQ(e.endHour, en.tm_hour);
                EXPECT_EQ(e.endMinute, en.tm_min);
            } else {
                EXPECT_EQ(e.startHour + e.startMinute + e.endHour + e.endMinute, 0);
            }
        }
    }
}

TEST(ServiceInfoRoundTrip, CaptionLinesComeBackWithTheirColours) {
    test::CaptionTap host;
    ServiceInfoReader r(&host.sink);
    for (long n = 0; n < 12; ++n) {
        auto lines = veltra::captionLinesFor(u"ニュース7　きょうの天気", n);
        Bytes d = veltra::buildCaptionStatement(lines, 30);
        // A private stream PES around the data, as the caption packet carries it.
        Bytes pes = {0x00, 0x00, 0x01, 0xBD, uint8_t((d.size() + 3) >> 8), uint8_t(d.size() + 3),
                     0x80, 0x00, 0x00};
        pes.insert(pes.end(), d.begin(), d.end());
        ASSERT_LE(pes.size(), 184u);
        r.onCaptionPes(pes.data(), pes.size());
        ASSERT_EQ(host.captions.size(), size_t(n + 1));
        const CaptionBlock& b = host.captions.back();
        ASSERT_EQ(b.lineCount(), int(lines.size())) << n;
        for (size_t k = 0; k < lines.size(); ++k) {
            EXPECT_EQ(b.lines[k].textView(), captionForm(lines[k].text)) << n << "/" << k;
            EXPECT_EQ(b.lines[k].colour, lines[k].colour + 1) << n << "/" << k;
        }
        EXPECT_EQ(b.lines[0].clear, 1);
        EXPECT_EQ(b.lines[lines.size() - 1].wait, 30);
    }
}

namespace {

std::u16string u16(const QJsonValue& v) {
    return v.toString().toStdU16String();
}

bool sameProgramme(const QJsonObject& e, const veltra::Programme& p) {
    return u16(e["title"]) == broadcastForm(p.title) &&
           u16(e["description"]) == broadcastForm(p.text).substr(0, kProgrammeDescriptionMax);
}

} // namespace

// The whole path: the simulator airs a channel, the real engine runs, and kobal_tsdump reports
// the service name, the guide and the captions it was handed.
TEST(ServiceInfoRoundTrip, KobalTsdumpReportsWhatTheSimulatorAirs) {
    const std::string tool = test::binaryDir() + "/tools/kobal_tsdump/kobal_tsdump";
    if (!std::filesystem::exists(tool)) GTEST_SKIP() << "kobal_tsdump not built";
    const int area = 12;
    const AreaStation station = AreaPresetTable::station(area, 0);
    const std::u16string name = kobal::utf8ToUtf16(station.name);
    const time_t before = time(nullptr);
    std::string out;
    ASSERT_EQ(test::runCommand("'" + tool + "' --area " + std::to_string(area) + " --slot " +
                                   std::to_string(station.slot) + " --seconds 9 2>/dev/null",
                               &out),
              0);
    const time_t after = time(nullptr);
    QJsonParseError error{};
    const QJsonObject d = QJsonDocument::fromJson(QByteArray::fromStdString(out), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << out;

    EXPECT_EQ(u16(d["service_name"]), broadcastForm(name));
    const QJsonArray status = d["status_lines"].toArray();
    ASSERT_FALSE(status.isEmpty()); // the SDT comes once a second
    for (const QJsonValue& s : status) EXPECT_EQ(u16(s), u"チャンネル : " + broadcastForm(name));

    // Present, following and the one after, as the guide was on the air at some moment.
    const QJsonArray programmes = d["programmes"].toArray();
    ASSERT_GE(programmes.size(), 2);
    for (const QJsonValue& v : programmes) {
        const QJsonObject e = v.toObject();
        const int ahead = e["index"].toInt() - 1;
        ASSERT_GE(ahead, 0);
        ASSERT_LE(ahead, 2);
        bool found = false;
        for (time_t t : {before, after})
            found |= sameProgramme(e, veltra::programmeAt(0, name, t, ahead));
        EXPECT_TRUE(found) << QJsonDocument(e).toJson().toStdString();
    }
    ASSERT_FALSE(d["tickers"].toArray().isEmpty());
    EXPECT_EQ(u16(d["tickers"].toArray().last()).substr(0, 12), u"   <現在の番組> *");

    // Every caption block is one of the simulator's statements, in airing order.
    const QJsonArray captions = d["captions"].toArray();
    ASSERT_FALSE(captions.isEmpty());
    long lastNumber = -1;
    for (const QJsonValue& v : captions) {
        const QJsonArray lines = v.toObject()["lines"].toArray();
        long number = -1;
        for (long n = lastNumber + 1; n < lastNumber + 50 && number < 0; ++n) {
            for (time_t t : {before, after}) {
                auto aired = veltra::captionLinesFor(veltra::programmeAt(0, name, t, 0).title, n);
                bool same = lines.size() == qsizetype(aired.size());
                for (qsizetype k = 0; same && k < lines.size(); ++k) {
                    const QJsonObject l = lines[k].toObject();
                    same = u16(l["text"]) == captionForm(aired[size_t(k)].text) &&
                           l["colour"].toInt() == aired[size_t(k)].colour + 1;
                }
                if (same) number = n;
            }
        }
        ASSERT_GE(number, 0) << QJsonDocument(v.toObject()).toJson().toStdString();
        lastNumber = number;
    }
}
