// The programme guide: event records, programme lines and the ticker built from EIT sections.
#include "engine/ProgrammeGuide.h"
#include "tests/engine/ProgrammeTestData.h"

#include <gtest/gtest.h>

using namespace kobal;
using namespace kobal::test;

namespace {

const Bytes kNews = {0x0E, 0x4E, 0x48, 0x4B, 0x1D, 0x4B,
                     0x1D, 0x65, 0xF9, 0x1D, 0x39}; // NHKニュ-ス
const Bytes kText = {0xA2, 0x20, 0xA4};             // "あ い"

EitEvent event(int h, int m, Bytes duration, Bytes name = kNews, Bytes text = kText) {
    EitEvent e;
    e.startHour = h, e.startMinute = m, e.duration = std::move(duration);
    e.name = std::move(name), e.text = std::move(text);
    return e;
}

size_t parse(ProgrammeGuide& g, const Bytes& s, bool* complete = nullptr) {
    return g.parseSection(s.data(), s.size(), complete);
}

} // namespace

TEST(ProgrammeGuide, EventAcrossMidnightEndsNextDay) {
    ProgrammeGuide g;
    Bytes s = eitSection(0, {event(21, 30, {0x03, 0x00, 0x00})});
    bool complete = false;
    EXPECT_EQ(parse(g, s, &complete), s.size()); // where a section behind it would start
    EXPECT_TRUE(complete);
    const ProgrammeEvent& e = g.event(1);
    EXPECT_EQ(e.title, u"NHKニュ-ス");
    EXPECT_EQ(e.startHour, 21);
    EXPECT_EQ(e.startMinute, 30);
    EXPECT_EQ(e.endHour, 0);
    EXPECT_EQ(e.endMinute, 30);
    EXPECT_EQ(e.description, u"あ い");
    EXPECT_EQ(g.line(1), u"NHKニュ-ス(21:30～00:30)  あ い");
}

TEST(ProgrammeGuide, OpenEndedEventsShowOnlyTheirStartWhenPresent) {
    ProgrammeGuide g;
    parse(g, eitSection(0, {event(19, 5, {0xFF, 0xFF, 0xFF})}));
    EXPECT_EQ(g.line(1), u"NHKニュ-ス(19:05～)  あ い");
    const ProgrammeEvent& e = g.event(1);
    EXPECT_EQ(e.startHour + e.startMinute + e.startSecond + e.endHour + e.endMinute + e.endSecond,
              0);
    parse(g, eitSection(1, {event(20, 0, {0xFF, 0xFF, 0xFF})}));
    EXPECT_EQ(g.line(2), u"NHKニュ-スあ い"); // a following open-ended event gets no time
}

TEST(ProgrammeGuide, LongDescriptionIsCutForLineAndRecord) {
    ProgrammeGuide g;
    Bytes text(200, 0xA2);
    parse(g, eitSection(0, {event(10, 0, {0x00, 0x30, 0x00}, kNews, text)}));
    EXPECT_EQ(g.event(1).description, std::u16string(kProgrammeDescriptionMax, u'あ'));
    EXPECT_EQ(g.line(1),
              u"NHKニュ-ス(10:00～10:30)  " + std::u16string(kProgrammeDescriptionMax, u'あ'));
}

TEST(ProgrammeGuide, IndicesFollowSectionAndPositionAndStayWithinTheStore) {
    ProgrammeGuide g;
    std::vector<EitEvent> many;
    for (int i = 0; i < 100; ++i) many.push_back(event(1, 0, {0x00, 0x01, 0x00}, {0xA2}, {}));
    many[0].name = {0xA4}; // "い" marks the first
    parse(g, eitSection(2, many));
    EXPECT_EQ(g.event(3).title, u"い"); // section 2, position 1
    EXPECT_EQ(g.event(96).title, u"あ");
    EXPECT_EQ(g.event(2).title, u"");
    EXPECT_EQ(g.event(97).title, u""); // out of the store
    // Section 3 and later are read but not kept.
    ProgrammeGuide h;
    bool complete = false;
    parse(h, eitSection(3, {event(1, 0, {0x00, 0x01, 0x00})}), &complete);
    EXPECT_TRUE(complete);
    for (int k = 1; k <= kProgrammeEventCount; ++k) ASSERT_EQ(h.event(k).title, u"") << k;
}

TEST(ProgrammeGuide, DamagedSectionsStopWithoutLoopingOrReadingPastTheirBytes) {
    ProgrammeGuide g;
    Bytes s = eitSection(0, {event(8, 0, {0x00, 0x10, 0x00}), event(9, 0, {0x00, 0x10, 0x00})});
    // The first event's loop length no longer covers its own short event descriptor.
    Bytes bad = s;
    bad[14 + 10] = 0x80, bad[14 + 11] = 0x01;
    bool complete = true;
    parse(g, bad, &complete);
    EXPECT_FALSE(complete);
    EXPECT_EQ(g.event(1).title, u"NHKニュ-ス"); // the event itself was read
    EXPECT_EQ(g.event(2).title, u"");
    // A section cut short of its declared length reads only what is there.
    ProgrammeGuide h;
    Bytes cut(s.begin(), s.begin() + 40);
    parse(h, cut, &complete);
    EXPECT_FALSE(complete);
    EXPECT_EQ(h.event(1).title, u"");
    // A name running past section_length is not read.
    Bytes longName = eitSection(0, {event(8, 0, {0x00, 0x10, 0x00})});
    longName[14 + 17] = 0xF0;
    parse(h, longName, &complete);
    EXPECT_FALSE(complete);
}

TEST(ProgrammeGuide, TickerShowsPresentFollowingAndLaterLines) {
    ProgrammeGuide g;
    // A following event alone does not make a ticker.
    parse(g, eitSection(1, {event(20, 0, {0x01, 0x00, 0x00}, {0xA4}, {})}));
    EXPECT_FALSE(g.rebuildTicker());
    EXPECT_EQ(g.ticker(), u"");
    parse(g, eitSection(0, {event(19, 0, {0x01, 0x00, 0x00}, {0xA2}, {})}));
    ASSERT_TRUE(g.rebuildTicker());
    EXPECT_EQ(g.ticker(), u"   <現在の番組> *あ(19:00～20:00)  "
                          u"           <次の番組> *い(20:00～21:00)  ");
    EXPECT_FALSE(g.rebuildTicker()); // unchanged
    parse(g, eitSection(2, {event(21, 0, {0x01, 0x00, 0x00}, {0xA6}, {}),
                            event(22, 0, {0x01, 0x00, 0x00}, {0xA8}, {})}));
    ASSERT_TRUE(g.rebuildTicker());
    EXPECT_EQ(g.ticker(), u"   <現在の番組> *あ(19:00～20:00)  "
                          u"           <次の番組> *い(20:00～21:00)  "
                          u"   *う(21:00～22:00)  "
                          u"   *え(22:00～23:00)  ");
    g.clear();
    EXPECT_EQ(g.ticker(), u"");
    EXPECT_EQ(g.line(1), u"");
}
