// Round trips with the broadcast simulator's own tables: what the simulator airs as service
// name, programme titles and texts, and captions comes out of our decoders as the same text,
// in its broadcast form (fullwidth letters, digits and the row-1 symbols the guide shows in
// ASCII come back as ASCII).
#include "channels/AreaPresetTable.h"
#include "engine/JisTable.h"
#include "engine/ServiceInfo.h"
#include "engine/SessionHost.h"
#include "tuner/AribText.h"
#include "tuner/Captions.h"
#include "tuner/SiTables.h"

#include <gtest/gtest.h>

#include <ctime>
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

struct Host : SessionHost {
    std::vector<CaptionBlock> captions;
    void showCaption(const CaptionBlock& b) override { captions.push_back(b); }
};

} // namespace

TEST(ServiceInfoRoundTrip, EveryPresetStationNameComesBackFromTheSdt) {
    int checked = 0;
    for (int area = 0; area < AreaPresetTable::areaCount(); ++area) {
        for (int j = 0; j < AreaPresetTable::stationCount(area); ++j) {
            veltra::ServiceInfo s;
            s.name = veltra::utf8ToUtf16(AreaPresetTable::station(area, j).name);
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
    Host host;
    ServiceInfoReader r(&host);
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
