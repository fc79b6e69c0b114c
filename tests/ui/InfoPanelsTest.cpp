// The information panels: text lines (scrolling, countdown), caption screens (delay, display
// time, line splitting, colours), the recording indicator, their places per view, and
// captions from the simulator's broadcast reaching the caption panel's picture.
#include "ui/InfoPanels.h"
#include "tests/support/TestSupport.h"
#include "tools/support/SimulatorAiring.h"
#include "ui/SkinFonts.h"

#include <QApplication>
#include <QPainter>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace kobal {
namespace {

// Pixels of the colour `c` inside the logical rectangle `r` of a picture: exactly `c`, or
// with ink = true also text pixels drawn in `c` over a dark ground (smoothed edges are darker).
int countColour(const QImage& image, QColor c, QRect r, bool ink = false) {
    const qreal dpr = image.devicePixelRatio();
    const QRect px(QPoint(int(r.left() * dpr), int(r.top() * dpr)), r.size() * dpr);
    const auto near = [&](int p, int want) { return want >= 128 ? p >= 128 : p <= want + 60; };
    int n = 0;
    for (int y = std::max(0, px.top()); y <= std::min(image.height() - 1, px.bottom()); ++y)
        for (int x = std::max(0, px.left()); x <= std::min(image.width() - 1, px.right()); ++x) {
            const QColor p(image.pixel(x, y));
            n += ink ? near(p.red(), c.red()) && near(p.green(), c.green()) &&
                           near(p.blue(), c.blue())
                     : p == c;
        }
    return n;
}

struct Line {
    std::u16string text;
    int colour = 8, wait = 0, returnFlag = 1;
};
CaptionBlock block(const std::vector<Line>& lines) {
    CaptionBlock b;
    for (size_t k = 0; k < lines.size(); ++k) {
        CaptionLine& l = b.lines[k];
        l.lineCount = int(lines.size());
        l.colour = lines[k].colour;
        l.wait = lines[k].wait;
        l.returnFlag = lines[k].returnFlag;
        std::copy(lines[k].text.begin(), lines[k].text.end(), l.text);
    }
    return b;
}

class InfoPanelsTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureQtApp();
        installFontSubstitutions();
    }
};

TEST_F(InfoPanelsTest, TextLineScrollsReentersAndCountsDown) {
    TextLineState ticker;
    ticker.setText(QStringLiteral("abc"), true);
    ticker.run(true, -1);
    EXPECT_EQ(ticker.left(30, 300), 0);
    for (int k = 0; k < 30; ++k) ticker.step();
    EXPECT_EQ(ticker.left(30, 300), -30); // its last pixel is still in
    ticker.step();
    EXPECT_EQ(ticker.left(30, 300), 300); // a narrow text too re-enters at the right edge
    for (int k = 0; k < 1000; ++k) EXPECT_FALSE(ticker.step());
    EXPECT_EQ(ticker.text, QStringLiteral("abc")); // countdown −1 keeps it

    TextLineState message;
    message.setText(QStringLiteral("一"), false);
    message.run(true, 200);
    for (int k = 0; k < 150; ++k) message.step();
    message.setText(QStringLiteral("二"), false);
    message.run(true, 200); // a new message restarts the count
    for (int k = 0; k < 199; ++k) ASSERT_FALSE(message.step());
    EXPECT_EQ(message.text, QStringLiteral("二"));
    EXPECT_EQ(message.left(10, 300), 0); // a fixed text stays at the left edge
    EXPECT_TRUE(message.step());
    EXPECT_TRUE(message.text.isEmpty());
}

TEST_F(InfoPanelsTest, ScrollStepsCopiedFromTheStripMatchTheTextDrawnInPlace) {
    TextLineLook look;
    look.font = skinFont(kFontAribGothic, 10);
    look.background = QColor(10, 20, 30);
    look.text = QColor(250, 240, 0);
    for (qreal dpr : {1.0, 2.0}) {
        TextLineState drawn, copied;
        TextStrip strip;
        for (TextLineState* s : {&drawn, &copied}) {
            s->setText(QStringLiteral("番組 ABC 123"), true);
            s->run(true, -1);
        }
        // In at the left edge, partly out on the left, back in from the right edge.
        for (int k = 0; k < 400; ++k) {
            const QImage a = renderTextLine(drawn, look, QSize(120, 13), dpr, nullptr);
            const QImage b = renderTextLine(copied, look, QSize(120, 13), dpr, &strip);
            ASSERT_EQ(a, b) << "step " << k << " at " << dpr << "x";
            drawn.step();
            copied.step();
        }
    }
}

TEST_F(InfoPanelsTest, TimersRunOnlyWhileSomethingMoves) {
    QWidget window;
    window.resize(358, 500);
    QWidget video(&window); // placed first, as the window places its video
    video.setGeometry(0, 0, 358, 500);
    InfoPanels panels(&window);
    panels.setCaptionsOn(true);
    panels.place(SkinView::Normal, window.size());
    window.show();
    // The panels lie above the video.
    EXPECT_EQ(window.childAt(40, 500 - 240), &panels.captions());
    EXPECT_EQ(window.childAt(40, 500 - 180), &panels.ticker());
    EXPECT_EQ(window.childAt(40, 500 - 160), &panels.messageLine());

    TextLinePanel& ticker = panels.ticker();
    TextLinePanel& message = panels.messageLine();
    EXPECT_FALSE(ticker.stepping() || message.stepping() || message.counting());
    panels.setTicker(QStringLiteral("   <現在の番組> *ニュース7\uE14F"));
    EXPECT_TRUE(ticker.stepping());
    EXPECT_TRUE(ticker.state().text.endsWith(QStringLiteral("ニュース7[字]"))); // a drawable mark
    panels.showMessage(QStringLiteral("スクリーンをキャプチャしました。"));
    EXPECT_FALSE(message.stepping()); // a fixed text does not move: one countdown timer
    EXPECT_TRUE(message.counting());
    EXPECT_GT(countColour(message.picture(), Qt::white, message.rect(), true), 20);
    EXPECT_GT(countColour(message.picture(), QColor(0x14, 0x14, 0x14), message.rect()), 500);
    panels.showMessage(QStringLiteral("受信レベルが低いため、表示できません。"),
                       InfoPanels::kLasting);
    EXPECT_FALSE(message.counting());
    panels.showMessage(QStringLiteral("主音声"), 5); // 100 ms
    EXPECT_TRUE(test::pumpUntil([&] { return message.state().text.isEmpty(); }, 3s));
    EXPECT_FALSE(message.counting());
    // The channel's status line, repeated with every service table, never cuts a timed
    // message short; it follows when the count ends.
    panels.showMessage(QStringLiteral("副音声"), 5);
    panels.setStatusLine(QStringLiteral("チャンネル : 27"));
    EXPECT_EQ(message.state().text, QStringLiteral("副音声"));
    EXPECT_TRUE(test::pumpUntil(
        [&] { return message.state().text == QStringLiteral("チャンネル : 27"); }, 3s));

    // The transparent view hides the ticker: its scrolling stops; the message line moves.
    panels.place(SkinView::Transparent, QSize(360, 288));
    EXPECT_FALSE(ticker.isVisible());
    EXPECT_FALSE(ticker.stepping());
    EXPECT_EQ(message.geometry(), QRect(14, 264, 280, 20));
    panels.place(SkinView::Normal, window.size());
    EXPECT_TRUE(ticker.stepping());
    window.hide();
    EXPECT_FALSE(ticker.stepping());
}

TEST_F(InfoPanelsTest, PlacesPerView) {
    const InfoPanelPlaces n = infoPanelPlaces(SkinView::Normal, {358, 500});
    EXPECT_EQ(n.ticker, QRect(25, 313, 308, 13));
    EXPECT_EQ(n.message, QRect(25, 335, 286, 13));
    EXPECT_EQ(n.captions, QRect(25, 250, 308, 60));
    EXPECT_EQ(n.recording, QRect(160, 18, 80, 20));
    const InfoPanelPlaces t = infoPanelPlaces(SkinView::Transparent, {360, 288});
    EXPECT_TRUE(t.ticker.isNull());
    EXPECT_EQ(t.captions, QRect(14, 204, 332, 60));
    EXPECT_EQ(t.recording, QRect(310, 3, 25, 20));
    const InfoPanelPlaces f = infoPanelPlaces(SkinView::Theater, {1920, 1080});
    EXPECT_EQ(f.captions, QRect(180, 1000, 1560, 60));
    EXPECT_EQ(f.recording, QRect(300, 0, 80, 20));
}

TEST_F(InfoPanelsTest, CaptionScreensQueueDelayAndDisplayTimes) {
    CaptionScreens s;
    // Two screens within the delay: the first queued one is shown when it ends, the second
    // waits for the next delay.
    EXPECT_TRUE(s.add(block({{u"一"}})));
    EXPECT_TRUE(s.add(block({{u"二"}})));
    s.showNext();
    ASSERT_NE(s.current(), nullptr);
    EXPECT_EQ(s.current()->units[0].text, QStringLiteral("一"));
    EXPECT_EQ(s.queued(), 1u);
    s.showNext();
    EXPECT_EQ(s.current()->units[0].text, QStringLiteral("二"));

    // Display time 0 stays 5 seconds; a line with its own time goes earlier and repaints.
    s.clear();
    s.add(block({{u"五秒", 8, 0, 1}, {u"一秒", 2, 10, 2}}));
    s.showNext();
    EXPECT_EQ(s.current()->units[1].mark, 1);
    for (int k = 1; k < 50; ++k) EXPECT_EQ(s.tick(), k == 9) << k;
    ASSERT_NE(s.current(), nullptr);
    EXPECT_TRUE(s.tick());
    EXPECT_EQ(s.current(), nullptr);
    EXPECT_FALSE(s.counting());

    // An empty screen behind an empty one is dropped; behind text it is kept.
    s.clear();
    EXPECT_TRUE(s.add(block({})));
    EXPECT_FALSE(s.add(block({})));
    EXPECT_EQ(s.queued(), 1u);
    s.clear();
    s.add(block({{u"字幕"}}));
    EXPECT_TRUE(s.add(block({})));

    // Screens faster than the delay never grow the queue without bound.
    s.clear();
    for (int k = 0; k < 100; ++k) s.add(block({{u"字"}}));
    EXPECT_EQ(s.queued(), CaptionScreens::kMaxQueued);
}

TEST_F(InfoPanelsTest, CaptionLinesSplitAtThePanelWidthInTheirColours) {
    const QFont font = skinFont(kFontAribGothic, 10);
    const QFontMetrics fm(font);
    const QString wide(40, QChar(0x3042)); // "あ" × 40, wider than the panel
    const int w = fm.horizontalAdvance(wide);
    const QStringList pieces = splitCaptionText(wide, 308, 0, fm);
    ASSERT_EQ(pieces.size(), 2);
    EXPECT_EQ(pieces[0].size(), qsizetype(308.0 * 40 / w));
    EXPECT_EQ(pieces.join(QString()), wide);
    // Starting further right, the first piece is shorter.
    EXPECT_LT(splitCaptionText(wide, 308, 100, fm)[0].size(), pieces[0].size());

    CaptionScreens s;
    s.add(block({{wide.toStdU16String(), 2}, {u"緑の行", 3, 0, 2}, {u"外", 9, 0, 2}}));
    s.showNext();
    for (qreal dpr : {1.0, 2.0}) {
        const QImage img = renderCaptionScreen(s.current(), font, {308, 60}, dpr);
        EXPECT_EQ(img.size(), QSize(308, 60) * dpr);
        const QColor red(255, 0, 0), green(0, 255, 0);
        EXPECT_GT(countColour(img, red, {0, 0, 308, 20}, true), 50);
        EXPECT_GT(countColour(img, red, {0, 20, 60, 20}, true), 10); // the rest, from the left edge
        EXPECT_EQ(countColour(img, green, {0, 20, 308, 20}, true), 0);
        EXPECT_GT(countColour(img, green, {0, 40, 308, 20}, true), 10);
        // The fourth line lies below the 60-pixel panel.
    }
    // A colour code outside 1–8 is white; a panel of 300 pixels shows nothing.
    EXPECT_EQ(captionColour(9), QColor(Qt::white));
    const QImage narrow = renderCaptionScreen(s.current(), font, {300, 60}, 1);
    EXPECT_EQ(countColour(narrow, Qt::black, {0, 0, 300, 60}), 300 * 60);
}

TEST_F(InfoPanelsTest, RecordingIndicatorBlinksWhileRecording) {
    QWidget window;
    window.resize(358, 440);
    InfoPanels panels(&window);
    panels.place(SkinView::Normal, window.size());
    window.show();
    RecordingIndicator& rec = panels.recording();
    EXPECT_FALSE(rec.isVisible());
    panels.setRecording(true);
    panels.setElapsed(3723);
    EXPECT_TRUE(rec.isVisible());
    EXPECT_TRUE(rec.timerRunning());
    EXPECT_EQ(rec.shownLabel(), QStringLiteral("REC"));
    EXPECT_EQ(elapsedText(3723), QStringLiteral("01:02:03"));
    const QColor red(0xFF, 0x1E, 0x1E), grey(0x61, 0x61, 0x61);
    EXPECT_GT(countColour(rec.picture(), red, {0, 0, 25, 20}, true), 10);
    EXPECT_GT(countColour(rec.picture(), red, {25, 0, 55, 20}, true), 10);
    EXPECT_GT(countColour(rec.picture(), grey, rec.rect()), 800);
    EXPECT_TRUE(test::pumpUntil([&] { return rec.shownLabel().isEmpty(); }, 3s));
    EXPECT_EQ(countColour(rec.picture(), red, {0, 0, 25, 20}, true), 0);
    EXPECT_TRUE(test::pumpUntil([&] { return !rec.shownLabel().isEmpty(); }, 3s));
    panels.place(SkinView::Transparent, {360, 228}); // dark, label only
    EXPECT_GT(countColour(rec.picture(), Qt::black, rec.rect()), 300);
    panels.setRecording(false);
    EXPECT_FALSE(rec.isVisible());
    EXPECT_FALSE(rec.timerRunning());
}

// The caption of the samples' real statement body: two lines, the second red, no letter
// from a control's parameter.
TEST_F(InfoPanelsTest, RealStatementBodyShowsTwoLinesInTheirColours) {
    const std::vector<uint8_t> d = {
        0x80, 0xff, 0xf0, 0x04, 0x00, 0x00, 0x00, 0x2f, 0x3f, 0x00, 0x00, 0x2b, 0x1f, 0x20,
        0x00, 0x00, 0x26, 0x0c, 0x87, 0xba, 0xa3, 0xc6, 0xfc, 0xa4, 0xcf, 0x20, 0xa4, 0xa4,
        0xa4, 0xa4, 0xc5, 0xb7, 0xb5, 0xa4, 0x0d, 0x81, 0xa3, 0xce, 0xa3, 0xc8, 0xa3, 0xcb,
        0x89, 0xa3, 0xb1, 0xa3, 0xb2, 0xa3, 0xb3, 0x8a, 0xfc, 0xa1, 0x9d, 0x20, 0x4a};
    CaptionDecoder dec;
    ASSERT_TRUE(dec.decodePesData(d.data(), d.size()));
    CaptionScreens s;
    s.add(dec.block());
    s.showNext();
    ASSERT_NE(s.current(), nullptr);
    EXPECT_EQ(s.current()->units[0].text, QStringLiteral("今日は　いい天気"));
    EXPECT_EQ(s.current()->units[1].text, QStringLiteral("NHK123\u27A1")); // shown as its arrow
    const QImage img =
        renderCaptionScreen(s.current(), skinFont(kFontAribGothic, 10), {308, 60}, 1);
    EXPECT_GT(countColour(img, Qt::white, {0, 0, 308, 20}, true), 50);
    EXPECT_EQ(countColour(img, Qt::red, {0, 0, 308, 20}, true), 0);
    EXPECT_GT(countColour(img, Qt::red, {0, 20, 308, 20}, true), 20);
    EXPECT_EQ(countColour(img, Qt::white, {0, 20, 308, 40}, true), 0);
}

TEST_F(InfoPanelsTest, SimulatorCaptionsAppearInTheCaptionPanel) {
    // Nine seconds of a simulated station through the parse thread's scan and readers.
    EngineOutputs out;
    ASSERT_TRUE(
        airSimulatorStation(9, 0, [&](int64_t, EngineOutputs&& taken) { out = std::move(taken); }));
    ASSERT_FALSE(out.captions.empty());
    ASSERT_FALSE(out.tickers.empty());
    const CaptionBlock& first = out.captions.front();
    ASSERT_GE(first.lineCount(), 2);
    const QColor colour = captionColour(first.lines[1].colour);
    ASSERT_NE(colour, QColor(Qt::white));

    QWidget window;
    window.resize(358, 500);
    InfoPanels panels(&window);
    panels.setCaptionsOn(true);
    panels.place(SkinView::Normal, window.size());
    window.show();
    panels.apply(out);
    EXPECT_TRUE(panels.ticker().stepping());
    EXPECT_FALSE(panels.ticker().state().text.isEmpty());
    CaptionPanel& cp = panels.captions();
    EXPECT_TRUE(cp.delaying());
    EXPECT_EQ(countColour(cp.picture(), colour, cp.rect(), true), 0);
    // When the delay ends the first queued screen shows, its second line in its colour.
    ASSERT_TRUE(test::pumpUntil([&] { return cp.screens().current() != nullptr; }, 3s));
    EXPECT_GT(countColour(cp.picture(), colour, {0, 20, cp.width(), 20}, true), 20);
    EXPECT_GT(countColour(cp.picture(), Qt::white, {0, 0, cp.width(), 20}, true), 20);
    EXPECT_TRUE(cp.ticking());
    // Captions off: the panel goes and its screens with it.
    panels.setCaptionsOn(false);
    EXPECT_FALSE(cp.isVisible());
    EXPECT_EQ(cp.screens().current(), nullptr);
    EXPECT_FALSE(cp.ticking() || cp.delaying());
}

} // namespace
} // namespace kobal
