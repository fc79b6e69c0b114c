// kobal_panels: the main window's information panels at work in a stand-in window, fed with
// what the simulator airs (captions and the programme ticker, taken through the engine's own
// readers), to look at them and to measure what they cost.
//
//     kobal_panels --png FOLDER [--scale 2]    screenshots: each view with captions, a long
//                                              ticker mid-scroll, a message, REC on and off
//     kobal_panels --cpu SECONDS               CPU of the process with everything idle, then
//                                              with captions, ticker and REC running
//
// Runs on any Qt platform (offscreen, or an X server such as Xvfb).
#include "engine/Caption.h"
#include "tools/support/SimulatorAiring.h"
#include "ui/InfoPanels.h"
#include "ui/SkinFonts.h"
#include "ui/SkinPictures.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPainter>
#include <QTimer>

#include <cstdio>
#include <ctime>

using namespace kobal;

namespace {

// What the simulator's station airs in `seconds`: caption screens with their air times (ms)
// and the last ticker text.
struct Aired {
    std::vector<std::pair<int64_t, CaptionBlock>> captions;
    QString ticker;
};

Aired airedBySimulator(int seconds) {
    Aired aired;
    airSimulatorStation(seconds, 64, [&](int64_t airMs, EngineOutputs&& out) {
        for (const CaptionBlock& b : out.captions) aired.captions.push_back({airMs, b});
        if (!out.tickers.empty()) aired.ticker = QString::fromStdU16String(out.tickers.back());
    });
    return aired;
}

// The real caption statement body of a one-segment broadcast, decoded.
CaptionBlock realCaption() {
    const std::vector<uint8_t> d = {
        0x80, 0xff, 0xf0, 0x04, 0x00, 0x00, 0x00, 0x2f, 0x3f, 0x00, 0x00, 0x2b, 0x1f, 0x20,
        0x00, 0x00, 0x26, 0x0c, 0x87, 0xba, 0xa3, 0xc6, 0xfc, 0xa4, 0xcf, 0x20, 0xa4, 0xa4,
        0xa4, 0xa4, 0xc5, 0xb7, 0xb5, 0xa4, 0x0d, 0x81, 0xa3, 0xce, 0xa3, 0xc8, 0xa3, 0xcb,
        0x89, 0xa3, 0xb1, 0xa3, 0xb2, 0xa3, 0xb3, 0x8a, 0xfc, 0xa1, 0x9d, 0x20, 0x4a};
    CaptionDecoder dec;
    dec.decodePesData(d.data(), d.size());
    CaptionBlock b = dec.block();
    for (CaptionLine& l : b.lines) l.wait = 0; // keep it on screen for the picture
    return b;
}

// A stand-in of the main window: the skin's frame in the normal view, black otherwise, and a
// video widget where the picture goes; the panels on top, as the window places them.
class StandInWindow : public QWidget {
public:
    StandInWindow(SkinView view, QSize client) : view_(view), video_(this), panels(this) {
        resize(client);
        video_.setAutoFillBackground(true);
        QPalette pal;
        pal.setColor(QPalette::Window, QColor(0x20, 0x50, 0x70));
        video_.setPalette(pal);
        if (view == SkinView::Normal)
            video_.setGeometry(19, 70, client.width() - 38, client.height() - 260);
        else
            video_.setGeometry(0, 0, client.width(), client.height());
        panels.place(view, client);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (view_ == SkinView::Normal)
            p.drawImage(QPointF(0, 0), renderMainFrame(size(), int(devicePixelRatioF())));
        else
            p.fillRect(rect(), Qt::black);
    }

private:
    SkinView view_;
    QWidget video_;

public:
    InfoPanels panels;
};

// Runs the event loop for `ms`, sleeping between events.
void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

int shoot(const QString& folder, const Aired& aired) {
    QDir().mkpath(folder);
    const QString ticker =
        aired.ticker.isEmpty() ? QStringLiteral("   <現在の番組> *") : aired.ticker;
    const struct {
        SkinView view;
        QSize client;
        const char* name;
    } views[] = {{SkinView::Normal, {358, 500}, "normal"},
                 {SkinView::Transparent, {360, 288}, "transparent"},
                 {SkinView::Theater, {1280, 720}, "theater"}};
    for (const auto& v : views) {
        StandInWindow w(v.view, v.client);
        w.panels.setCaptionsOn(true);
        w.panels.place(v.view, v.client);
        w.show();
        w.panels.setTicker(ticker);
        w.panels.showMessage(QStringLiteral("スクリーンをキャプチャしました。"));
        w.panels.setRecording(true);
        w.panels.setElapsed(3723);
        w.panels.captions().addScreen(realCaption());
        runFor(1500); // the caption shows after its delay; the ticker is 75 pixels in
        const QString base = folder + "/panels-" + v.name;
        w.grab().save(base + ".png");
        if (v.view == SkinView::Normal) {
            if (!aired.captions.empty()) {
                w.panels.captions().addScreen(aired.captions.front().second);
                runFor(400);
                w.grab().save(base + "-simulator-caption.png");
            }
            runFor(1000 - 400 + 50); // half a blink later: REC off
            w.grab().save(base + "-rec-blink.png");
        }
        std::printf("%s.png\n", base.toUtf8().constData());
    }
    return 0;
}

int measure(int seconds, const Aired& aired) {
    StandInWindow w(SkinView::Normal, {358, 500});
    w.panels.setCaptionsOn(true);
    w.panels.place(SkinView::Normal, {358, 500});
    w.show();
    w.panels.showMessage(QStringLiteral("チャンネル : ＮＨＫ総合"), InfoPanels::kLasting);
    runFor(500);
    double c0 = cpuSeconds();
    runFor(seconds * 1000);
    const double idle = (cpuSeconds() - c0) / seconds;

    w.panels.setTicker(aired.ticker.isEmpty() ? QStringLiteral("   <現在の番組> *") : aired.ticker);
    w.panels.setRecording(true);
    QElapsedTimer clock;
    clock.start();
    size_t next = 0;
    int shown = 0;
    QTimer feed;
    const int64_t period = aired.captions.empty() ? 1 : aired.captions.back().first + 1;
    QObject::connect(&feed, &QTimer::timeout, [&] {
        const int64_t now = clock.elapsed() % period;
        if (next < aired.captions.size() && aired.captions[next].first <= now) {
            w.panels.captions().addScreen(aired.captions[next].second);
            ++shown;
            next = next + 1 == aired.captions.size() ? 0 : next + 1;
        }
        w.panels.setElapsed(clock.elapsed() / 1000);
    });
    feed.start(100);
    c0 = cpuSeconds();
    runFor(seconds * 1000);
    const double busy = (cpuSeconds() - c0) / seconds;
    std::printf("{\"platform\": \"%s\", \"seconds\": %d, \"idle_cpu_percent\": %.3f, "
                "\"moving_cpu_percent\": %.3f, \"captions_shown\": %d, \"ticker_chars\": %lld}\n",
                QApplication::platformName().toUtf8().constData(), seconds, idle * 100, busy * 100,
                shown, static_cast<long long>(w.panels.ticker().state().text.size()));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QString png;
    int seconds = 0;
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--png")
            png = QString::fromLocal8Bit(argv[++i]);
        else if (a == "--cpu")
            seconds = std::atoi(argv[++i]);
        else if (a == "--scale")
            qputenv("QT_SCALE_FACTOR", argv[++i]);
    }
    if (png.isEmpty() && seconds <= 0) {
        std::fprintf(stderr, "usage: kobal_panels --png FOLDER [--scale 2] | --cpu SECONDS\n");
        return 2;
    }
    QApplication app(argc, argv);
    installFontSubstitutions();
    const Aired aired = airedBySimulator(13);
    return png.isEmpty() ? measure(seconds, aired) : shoot(png, aired);
}
