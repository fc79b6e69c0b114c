// The parse thread's service information reader: service name to the status line, EIT
// collection across packets into the guide, the ticker and programme list hand-over.
#include "engine/ServiceInfo.h"
#include "tests/engine/OutputTap.h"
#include "tests/engine/ProgrammeTestData.h"
#include "tests/support/TestSupport.h"
#include "tools/support/ServiceInfoLog.h"

#include <gtest/gtest.h>

using namespace kobal;
using namespace kobal::test;

namespace {

struct TextHost : OutputTap {
    std::vector<std::u16string> status, tickers;
    std::vector<std::u16string> firstTitles; // title of record 1 at each list rebuild
    void onStatusLine(const std::u16string& t) override { status.push_back(t); }
    void onTicker(const std::u16string& t) override { tickers.push_back(t); }
    void onProgrammeList(const ProgrammeGuide& g) override {
        firstTitles.push_back(g.events()[0].title);
    }
};

// Payloads of the packets of a TS file on one PID (no adaptation fields in these samples).
std::vector<std::pair<Bytes, bool>> packetsOn(const std::string& file, int pid) {
    std::string ts = readFile(samplesDir() + "/real-si/" + file);
    std::vector<std::pair<Bytes, bool>> out;
    for (size_t i = 0; i + 188 <= ts.size(); i += 188) {
        auto p = reinterpret_cast<const uint8_t*>(ts.data() + i);
        if (p[0] != 0x47 || (((p[1] & 0x1F) << 8) | p[2]) != pid) continue;
        size_t off = 4;
        if (p[3] & 0x20) off += 1 + p[4];
        if (off >= 188) continue;
        out.push_back({Bytes(p + off, p + 188), (p[1] & 0x40) != 0});
    }
    return out;
}

Bytes sdtPayload(const Bytes& name) {
    Bytes p = {0x00,
               0x42,
               0xF0,
               0x00,
               0x7F,
               0xE0,
               0xC1,
               0x00,
               0x00,
               0x7F,
               0xE0,
               0xFF,
               0x5D,
               0xB8,
               0xFC,
               0x80,
               0x00,
               0x48,
               uint8_t(3 + name.size()),
               0xC0,
               0x00,
               uint8_t(name.size())};
    p.insert(p.end(), name.begin(), name.end());
    p.resize(184, 0xFF);
    return p;
}

void feed(ServiceInfoReader& r, const std::vector<Payload>& list) {
    for (const Payload& p : list) r.onEitSection(p.bytes.data(), p.bytes.size(), p.unitStart);
}

const Bytes kFlush = [] {
    Bytes b(184, 0xFF);
    b[0] = 0;
    return b;
}();

EitEvent ev(int h, Bytes name) {
    EitEvent e;
    e.startHour = h, e.name = std::move(name), e.text = {0xA4, 0xA2};
    return e;
}

} // namespace

TEST(ServiceInfoSdt, RealServiceNamesReachTheStatusLine) {
    if (readFile(samplesDir() + "/real-si/akita-nhk-tables.ts").empty())
        GTEST_SKIP() << "sample not available";
    TextHost host;
    ServiceInfoReader r(&host.sink);
    for (auto& [p, start] : packetsOn("akita-nhk-tables.ts", 0x11))
        if (start) r.onSdtSection(p.data(), p.size());
    EXPECT_EQ(r.serviceName(), u"NHK総合･秋田"); // the first service of the table
    ASSERT_EQ(host.status.size(), 1u);
    EXPECT_EQ(host.status[0], u"チャンネル : NHK総合･秋田");

    ServiceInfoReader mx(&host.sink);
    auto packets = packetsOn("tokyomx-sdt.ts", 0x11);
    ASSERT_FALSE(packets.empty());
    for (auto& [p, start] : packets)
        if (start) mx.onSdtSection(p.data(), p.size());
    EXPECT_FALSE(mx.serviceName().empty());
    EXPECT_EQ(host.status.back(), u"チャンネル : " + mx.serviceName());
}

TEST(ServiceInfoSdt, StatusRepeatsAndAnEmptyNameKeepsTheLastStatus) {
    TextHost host;
    ServiceInfoReader r(&host.sink);
    Bytes named = sdtPayload({0x1B, 0x7E, 0xCD, 0xD8}); // "MX"
    r.onSdtSection(named.data(), named.size());
    r.onSdtSection(named.data(), named.size());
    EXPECT_EQ(host.status, (std::vector<std::u16string>{u"チャンネル : MX", u"チャンネル : MX"}));
    Bytes empty = sdtPayload({});
    r.onSdtSection(empty.data(), empty.size());
    EXPECT_EQ(r.serviceName(), u"");
    EXPECT_EQ(host.status.size(), 2u);
    // A name longer than the packet is read as far as the packet goes.
    Bytes cut = sdtPayload(Bytes(200, 0xA2));
    cut[21] = 250;
    r.onSdtSection(cut.data(), cut.size());
    EXPECT_EQ(r.serviceName(), std::u16string(184 - 22, u'あ'));
    r.onSdtSection(cut.data(), 10); // too short for a service descriptor
    EXPECT_EQ(r.serviceName(), u"");
}

TEST(ServiceInfoEit, RealNhkGuideFromPacketsAndItsTicker) {
    if (readFile(samplesDir() + "/real-si/akita-nhk-tables.ts").empty())
        GTEST_SKIP() << "sample not available";
    TextHost host;
    ServiceInfoReader r(&host.sink);
    for (auto& [p, start] : packetsOn("akita-nhk-tables.ts", 0x12))
        r.onEitSection(p.data(), p.size(), start);
    r.onEitSection(kFlush.data(), kFlush.size(), true);
    const ProgrammeGuide& g = r.guide();
    EXPECT_EQ(g.event(1).title, u"NHKニュ-ス7\uE153\uE14F");
    EXPECT_EQ(g.event(1).startHour, 19);
    EXPECT_EQ(g.event(1).endMinute, 30);
    EXPECT_EQ(g.event(1).description.substr(0, 4), u"夜7時\uFF64"); // hiragana-set comma
    EXPECT_EQ(g.event(2).title.substr(0, 6), u"ダ-ウィンが");
    EXPECT_EQ(g.line(2).substr(g.event(2).title.size(), 15), u"(19:30～20:00)  ");
    ASSERT_FALSE(host.tickers.empty());
    EXPECT_EQ(host.tickers.back(), g.ticker());
    EXPECT_EQ(host.tickers.back().substr(0, 13), u"   <現在の番組> *N");
    ASSERT_FALSE(host.firstTitles.empty());
    EXPECT_EQ(host.firstTitles.back(), g.event(1).title);
}

TEST(ServiceInfoEit, SectionsAreParsedWhenTheNextOneStarts) {
    TextHost host;
    ServiceInfoReader r(&host.sink);
    Bytes present = eitSection(0, {ev(19, {0xA2})});
    feed(r, payloads({present}));
    EXPECT_EQ(r.guide().event(1).title, u""); // waiting for the next section start
    EXPECT_GT(r.collectedBytes(), 0u);
    feed(r, payloads({eitSection(1, {ev(20, {0xA4})})}));
    EXPECT_EQ(r.guide().event(1).title, u"あ");
    EXPECT_EQ(r.guide().event(2).title, u"");
    ASSERT_EQ(host.tickers.size(), 1u);
    // A continuation without a start in progress is dropped.
    ServiceInfoReader fresh(&host.sink);
    Bytes tail(present.begin() + 5, present.end());
    fresh.onEitSection(tail.data(), tail.size(), false);
    EXPECT_EQ(fresh.collectedBytes(), 0u);
}

TEST(ServiceInfoEit, ABrokenSectionStillRefreshesTheTickerWithWhatItStored) {
    TextHost host;
    ServiceInfoReader r(&host.sink);
    feed(r, payloads({eitSection(0, {ev(19, {0xA2})})}));
    r.onEitSection(kFlush.data(), kFlush.size(), true);
    ASSERT_EQ(host.tickers.size(), 1u);
    // The present programme changes, but the section breaks off in its second event (a name
    // length that runs past the section).
    Bytes damaged = eitSection(0, {ev(19, {0xA4}), ev(20, {0xA6})});
    damaged[14 + 22 + 17] = 0xFF;
    feed(r, payloads({damaged}));
    r.onEitSection(kFlush.data(), kFlush.size(), true);
    EXPECT_EQ(r.guide().event(1).title, u"い");
    ASSERT_EQ(host.tickers.size(), 2u); // the panel shows what the records say
    EXPECT_NE(host.tickers[1].find(u"<現在の番組> *い"), std::u16string::npos);
    ASSERT_EQ(host.firstTitles.size(), 2u);
    EXPECT_EQ(host.firstTitles[1], u"い");
}

TEST(ServiceInfoEit, TwoSectionsInOnePacketAreBothParsed) {
    TextHost host;
    ServiceInfoReader r(&host.sink);
    Bytes both = eitSection(0, {ev(19, {0xA2})});
    Bytes second = eitSection(1, {ev(20, {0xA4})});
    both.insert(both.end(), second.begin(), second.end());
    Bytes p = {0x00};
    p.insert(p.end(), both.begin(), both.end());
    p.resize(184, 0xFF);
    r.onEitSection(p.data(), p.size(), true);
    r.onEitSection(kFlush.data(), kFlush.size(), true);
    EXPECT_EQ(r.guide().event(1).title, u"あ");
    EXPECT_EQ(r.guide().event(2).title, u"い");
    ASSERT_EQ(host.tickers.size(), 1u);
    EXPECT_NE(host.tickers[0].find(u"<次の番組> *い"), std::u16string::npos);
}

TEST(ServiceInfoEit, ChannelChangeDropsTheLastSection) {
    TextHost host;
    ServiceInfoReader r(&host.sink);
    feed(r, payloads({eitSection(0, {ev(19, {0xA2})})}));
    r.onParseReset();
    feed(r, payloads({eitSection(0, {ev(19, {0xA4})})}));
    r.onEitSection(kFlush.data(), kFlush.size(), true);
    EXPECT_EQ(r.guide().event(1).title, u"い"); // the old channel's section never parsed
    EXPECT_EQ(host.tickers.size(), 1u);
    r.onParseStart();
    EXPECT_EQ(r.guide().event(1).title, u"");
    EXPECT_EQ(r.guide().ticker(), u"");
    ASSERT_FALSE(host.firstTitles.empty());
    EXPECT_EQ(host.firstTitles.back(), u""); // the main window's list is emptied as well
}

TEST(ServiceInfoEit, SectionLongerThanTheCollectorIsCut) {
    TextHost host;
    ServiceInfoReader r(&host.sink);
    std::vector<EitEvent> events;
    for (int i = 0; i < 40; ++i) events.push_back(ev(1, Bytes(120, 0xA2)));
    Bytes huge = eitSection(0, events); // about 5.6 KB, section_length wraps in 12 bits
    ASSERT_GT(huge.size(), kSectionCollectorSize);
    feed(r, payloads({huge}));
    EXPECT_EQ(r.collectedBytes(), kSectionCollectorSize);
    r.onEitSection(kFlush.data(), kFlush.size(), true);
    EXPECT_EQ(r.guide().event(1).title, std::u16string(120, u'あ'));
}

TEST(ServiceInfoLogJson, RecordsWhatTheHostWasGiven) {
    struct LogHost : OutputTap {
        ServiceInfoLog log;
        void onStatusLine(const std::u16string& t) override { log.status(t); }
        void onTicker(const std::u16string& t) override { log.ticker(t); }
        void onProgrammeList(const ProgrammeGuide& g) override { log.programmeList(g); }
        void onCaption(const CaptionBlock& b) override { log.caption(b); }
    } host;
    ServiceInfoReader r(&host.sink);
    Bytes sdt = sdtPayload({0x1B, 0x7E, 0xCD, 0xD8, 0x1B, 0x7D, 0xA2}); // "MXあ"
    r.onSdtSection(sdt.data(), sdt.size());
    EitEvent e = ev(21, {0xA2});
    e.text = {0x0E, 0x22, 0x5C}; // a quote and a backslash for the JSON escapes
    feed(r, payloads({eitSection(0, {e})}));
    r.onEitSection(kFlush.data(), kFlush.size(), true);
    CaptionBlock b;
    buildCaptionLines(u"\u000C\u0081赤\u000D青", b);
    host.sink.caption(b);

    const std::string json = "{\n" + host.log.jsonMembers() + "\n}";
    EXPECT_NE(json.find("\"service_name\": \"MXあ\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"status_lines\": [\"チャンネル : MXあ\"]"), std::string::npos);
    EXPECT_NE(json.find("{\"index\": 1, \"title\": \"あ\", \"start\": \"21:00:00\", \"end\": "
                        "\"22:00:00\", \"description\": \"\\\"\\\\\"}"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("{\"index\": 1, \"text\": \"あ(21:00～22:00)  \\\"\\\\\"}"),
              std::string::npos);
    EXPECT_NE(json.find("\"tickers\": [\"   <現在の番組> *あ(21:00～22:00)  \\\"\\\\\"]"),
              std::string::npos);
    EXPECT_NE(json.find("{\"lines\": [{\"text\": \"赤\", \"colour\": 2, \"clear\": 1, \"return\": "
                        "1, \"wait\": 0}, {\"text\": \"青\", \"colour\": 8, \"clear\": 0, "
                        "\"return\": 2, \"wait\": 0}]}"),
              std::string::npos)
        << json;
    const char16_t lone[] = {u'a', 0x0001, 0xD800};
    EXPECT_EQ(jsonQuote(std::u16string_view(lone, 3)), "\"a\\u0001\xEF\xBF\xBD\"");
}
