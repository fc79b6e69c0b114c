// kobal_grab: watch a live simulator channel or a ".rec" file through the real renderer for a
// few seconds, save the last picture as PNG, optionally record, and report the cost.
//
//   kobal_grab --area 7 --slot 14 --seconds 12 --png p.png [--record r.rec] [--size 320x180]
//   kobal_grab FILE.rec --seconds N --png p.png [--size WxH]
//
//   --first N:PREFIX saves the first N pictures shown as PREFIX1.png … (to look at what a
//   damaged start puts on screen).
//   --timeshift AT:FOR pauses the live picture AT seconds in for FOR seconds (time shift).
//   --record is for live channels only (a file is refused). It stores the path under
//   [RECControl] FileName of config.ini (kobal::config), as the player does.
//
// A live run works in a temporary install folder of its own unless KOBAL_HOME is set, so its
// link, events and semaphores never meet a running player's and the user's config.ini stays
// as it was; the tuner chosen in the user's registry still applies.
// Exit status: 0 when a picture was shown and saved, 1 otherwise, 2 on bad arguments.
#include "renderer/LinkSource.h"
#include "renderer/MediaGraph.h"
#include "renderer/Presenter.h"

#ifdef KOBAL_GRAB_LIVE
#include "engine/SessionWindow.h"
#include "engine/TunerSession.h"
#include "platform/ConfigIni.h"
#include "tools/PrivateInstallFolder.h"
#include "tuner/CTDMBDll.h"
#endif

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

using namespace kobal::render;

namespace {

struct Options {
    int area = 7;
    int slot = 14;
    double seconds = 10;
    std::string png;
    std::string record;
    std::string file;
    int width = 320, height = 180;
    double pauseAt = -1, pauseFor = 0; // time shift: pause the live picture for a while
    int firstCount = 0;                // save the first pictures shown
    std::string firstPrefix;
};

void usage() {
    std::fprintf(stderr,
                 "usage: kobal_grab --area A --slot S --seconds N --png P.png [--record R.rec] "
                 "[--size WxH] [--timeshift AT:FOR] [--first N:PREFIX]\n"
                 "       kobal_grab FILE.rec --seconds N --png P.png [--size WxH]\n");
}

double cpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

long maxRssKb() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

long currentRssKb() {
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    long pages = 0, rss = 0;
    if (std::fscanf(f, "%ld %ld", &pages, &rss) != 2) rss = 0;
    std::fclose(f);
    return rss * 4;
}

// CPU seconds of this process's threads whose names start with prefix (the renderer names its
// threads "kobal-present", "kobal-link", "kobal-demux"); mainOnly: the UI thread alone.
double threadCpuSeconds(const char* prefix, bool mainOnly) {
    double total = 0;
    const long tick = sysconf(_SC_CLK_TCK);
    QDir dir("/proc/self/task");
    for (const QString& tid : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(dir.filePath(tid) + "/stat");
        if (!f.open(QIODevice::ReadOnly)) continue;
        const QByteArray s = f.readAll();
        const int open = s.indexOf('('), close = s.lastIndexOf(')');
        if (open < 0 || close < open) continue;
        const QByteArray comm = s.mid(open + 1, close - open - 1);
        const bool isMain = tid.toLong() == long(getpid());
        if (mainOnly ? !isMain : !comm.startsWith(prefix)) continue;
        const QList<QByteArray> fields = s.mid(close + 2).split(' ');
        if (fields.size() > 12) total += double(fields[11].toLong() + fields[12].toLong()) / tick;
    }
    return total;
}

// Hands the renderer's copy-data to the tuner session on the UI thread.
class GrabHost : public RendererHost {
public:
    std::function<long(unsigned long, long, const std::vector<uint8_t>&)> forward;
    std::function<void()> events;

    long copyData(unsigned long command, long pid, const std::vector<uint8_t>& data) override {
        QCoreApplication* app = QCoreApplication::instance();
        if (QThread::currentThread() == app->thread())
            return forward ? forward(command, pid, data) : 1;
        // 3 and 4 from the reader thread: post them, their answers are not used.
        QMetaObject::invokeMethod(
            app,
            [this, command, pid, data] {
                if (forward) forward(command, pid, data);
            },
            Qt::QueuedConnection);
        return 1;
    }
    void postGraphEvent() override {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [this] {
                if (events) events();
            },
            Qt::QueuedConnection);
    }
    void audioModeChanged(int mode) override { std::printf("audio mode: %d\n", mode); }
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (a == "--area" && (v = next()))
            o.area = std::atoi(v);
        else if (a == "--slot" && (v = next()))
            o.slot = std::atoi(v);
        else if (a == "--seconds" && (v = next()))
            o.seconds = std::atof(v);
        else if (a == "--png" && (v = next()))
            o.png = v;
        else if (a == "--record" && (v = next()))
            o.record = v;
        else if (a == "--timeshift" && (v = next())) {
            if (std::sscanf(v, "%lf:%lf", &o.pauseAt, &o.pauseFor) != 2) return false;
        } else if (a == "--first" && (v = next())) {
            const char* colon = std::strchr(v, ':');
            if (!colon || colon[1] == 0) return false;
            o.firstCount = std::atoi(v);
            o.firstPrefix = colon + 1;
        } else if (a == "--size" && (v = next())) {
            if (std::sscanf(v, "%dx%d", &o.width, &o.height) != 2) return false;
        } else if (!a.empty() && a[0] != '-' && o.file.empty())
            o.file = a;
        else
            return false;
    }
    return o.seconds > 0 && o.width > 0 && o.height > 0 && o.width <= 7680 && o.height <= 4320 &&
           o.area >= 0 && o.area < 47 && o.slot >= 0 && o.slot < 50;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        usage();
        return 2;
    }
    if (!o.file.empty() && !o.record.empty()) {
        std::fprintf(stderr, "kobal_grab: --record records a live channel, not a file\n");
        return 2;
    }
#ifdef KOBAL_GRAB_LIVE
    std::unique_ptr<kobal::tools::PrivateInstallFolder> scope;
    if (o.file.empty()) scope = std::make_unique<kobal::tools::PrivateInstallFolder>("grab");
#endif
    QApplication app(argc, argv);
    GrabHost host;
    QWidget window;
    window.resize(o.width, o.height);
    window.setWindowTitle("kobal_grab");

#ifdef KOBAL_GRAB_LIVE
    std::unique_ptr<kobal::SessionWindow> sessionWindow;
    std::unique_ptr<kobal::TunerSession> session;
#endif
    std::string name;
    if (!o.file.empty()) {
        name = o.file;
    } else {
#ifdef KOBAL_GRAB_LIVE
        veltra::sim::setArea(o.area);
        sessionWindow = std::make_unique<kobal::SessionWindow>();
        session = std::make_unique<kobal::TunerSession>(*sessionWindow);
        char key[16];
        std::snprintf(key, sizeof key, "%02d000", o.slot);
        session->setCurrentKey(key);
        name = std::string("x-dmb://") + key;
        host.forward = [&](unsigned long c, long pid, const std::vector<uint8_t>& d) {
            return session->onCopyData(c, pid, d);
        };
#else
        std::fprintf(stderr, "kobal_grab: built without the engine; only files can be shown\n");
        return 2;
#endif
    }

    const int64_t t0 = steadyMs();
    const double cpu0 = cpuSeconds();
    MediaGraph graph(&host);
    bool complete = false;
    host.events = [&] {
        long code, p1, p2;
        while (graph.GetEvent(&code, &p1, &p2, 0) == S_OK)
            if (code == EC_COMPLETE) complete = true;
    };
    const HRESULT hr = graph.RenderFile(name);
    if (failed(hr)) {
        std::fprintf(stderr, "kobal_grab: RenderFile failed: 0x%08x\n", unsigned(hr));
        return 1;
    }
    graph.put_Owner(&window);
    graph.SetWindowPosition(0, 0, o.width, o.height);
    window.show();
    graph.Run();
    if (!graph.isLive()) {
        int64_t d = 0;
        graph.GetDuration(&d);
        std::printf("duration: %.2f s\n", double(d) / kUnitsPerSecond);
    }

    // The first pictures are caught by a quick poll of their own.
    int64_t firstShownMs = -1;
    int firstSaved = 0;
    size_t seenShown = 0;
    QTimer firstPoll;
    firstPoll.setInterval(5);
    QObject::connect(&firstPoll, &QTimer::timeout, [&] {
        Presenter* p = graph.presenter();
        const size_t shown = p ? p->picturesShown() : 0;
        if (shown > 0 && firstShownMs < 0) firstShownMs = steadyMs() - t0;
        if (shown != seenShown && firstSaved < o.firstCount) {
            seenShown = shown;
            const QImage picture = graph.currentPicture();
            if (!picture.isNull())
                picture.save(
                    QString::fromStdString(o.firstPrefix + std::to_string(++firstSaved) + ".png"));
        }
        if (firstShownMs >= 0 && firstSaved >= o.firstCount) firstPoll.stop();
    });
    firstPoll.start();

    bool recording = false, pausedOnce = false, resumed = false;
    long peakRss = 0;
    QTimer poll;
    poll.setInterval(100);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        peakRss = std::max(peakRss, currentRssKb());
        const int64_t elapsed = steadyMs() - t0;
#ifdef KOBAL_GRAB_LIVE
        if (session && !o.record.empty() && !recording && session->streamEstablished()) {
            kobal::config::write(kobal::config::kRecordFileName, o.record);
            const uint32_t cmd[3] = {0x108, 12, 1};
            recording = session->link().sendCommand(cmd, sizeof cmd);
            std::printf("recording to %s: %s\n", o.record.c_str(),
                        recording ? "started" : "failed");
        }
#endif
        if (o.pauseAt >= 0 && !pausedOnce && elapsed >= int64_t(o.pauseAt * 1000)) {
            graph.Pause();
            pausedOnce = true;
            std::printf("paused at %.1f s\n", elapsed / 1000.0);
        }
        if (pausedOnce && !resumed && elapsed >= int64_t((o.pauseAt + o.pauseFor) * 1000)) {
            std::printf("time shift: %zu packets kept, %zu KB in memory, %lld KB spilled, "
                        "resident %ld KB\n",
                        graph.queue().count(), graph.queue().memoryBytes() / 1024,
                        static_cast<long long>(graph.queue().spilledBytes() / 1024),
                        currentRssKb());
            graph.Run();
            resumed = true;
        }
        if (elapsed >= int64_t(o.seconds * 1000) || complete) app.quit();
    });
    poll.start();
    app.exec();

#ifdef KOBAL_GRAB_LIVE
    if (recording && session) {
        const uint32_t cmd[3] = {0x108, 12, 2};
        session->link().sendCommand(cmd, sizeof cmd);
        // The stop is taken by the reader thread; give it a moment to close the file.
        for (int i = 0; i < 50 && graph.linkSource() && graph.linkSource()->recording(); ++i)
            QThread::msleep(20);
    }
#endif
    const QImage picture = graph.currentPicture();
    Presenter* p = graph.presenter();
    const double wall = double(steadyMs() - t0) / 1000.0;
    const double cpu = cpuSeconds() - cpu0;
    std::printf("pictures shown: %zu, skipped: %zu\n", p ? p->picturesShown() : 0,
                p ? p->picturesSkipped() : 0);
    if (p && p->picturesShown() > 1)
        std::printf("longest wait for a new picture: %lld ms\n",
                    static_cast<long long>(p->longestPictureGapMs()));
    if (p && p->firstPictureLatencyMs() >= 0)
        std::printf("first picture: %lld ms after the first IDR\n",
                    static_cast<long long>(p->firstPictureLatencyMs()));
    if (firstShownMs >= 0)
        std::printf("first picture: %lld ms after the start\n",
                    static_cast<long long>(firstShownMs));
        // Where the pictures went, stage by stage.
#ifdef KOBAL_GRAB_LIVE
    if (session) {
        const kobal::FramerStats f = session->engine().framer().stats();
        const kobal::EngineCounters c = session->engine().counters();
        std::printf("engine: %llu video units parsed, %llu access units cut, %llu sent "
                    "(%llu too long, %llu sends failed)\n",
                    static_cast<unsigned long long>(c.videoUnits),
                    static_cast<unsigned long long>(f.videoCut),
                    static_cast<unsigned long long>(f.videoSent),
                    static_cast<unsigned long long>(f.videoOversize),
                    static_cast<unsigned long long>(f.sendFailures));
    }
#endif
    if (LinkSource* link = graph.linkSource())
        std::printf("link: %zu records taken, %zu dropped, %zu access units queued\n",
                    link->recordsTaken(), link->recordsDropped(), link->videoQueued());
    if (p) {
        const Presenter::VideoCounts v = p->videoCounts();
        std::printf("decoder: %zu units in, %zu dropped before the first IDR, %zu pictures "
                    "(%zu concealed), %zu groups renumbered after a lost IDR\n",
                    v.units, v.dropped, v.decoded, v.concealed, v.renumbered);
    }
    std::printf("cpu: %.2f s in %.2f s wall = %.1f %% of one core\n", cpu, wall,
                wall > 0 ? 100.0 * cpu / wall : 0.0);
    const double rendererCpu = threadCpuSeconds("kobal-", false);
    const double uiCpu = threadCpuSeconds("", true);
    std::printf("renderer threads: %.2f s = %.1f %% of one core; UI thread (painting): %.2f s = "
                "%.1f %%\n",
                rendererCpu, wall > 0 ? 100.0 * rendererCpu / wall : 0.0, uiCpu,
                wall > 0 ? 100.0 * uiCpu / wall : 0.0);
    std::printf("resident: peak %ld KB (max rss %ld KB)\n", peakRss, maxRssKb());
    if (complete) std::printf("end of stream\n");

    graph.Stop();
    bool saved = false;
    if (!o.png.empty() && !picture.isNull()) saved = picture.save(QString::fromStdString(o.png));
    if (!o.png.empty()) std::printf("png: %s\n", saved ? o.png.c_str() : "no picture");
    return saved || (o.png.empty() && !picture.isNull()) ? 0 : 1;
}
