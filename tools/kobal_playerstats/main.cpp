// kobal_playerstats: the player's main window as a person uses it, measured.
//
//   kobal_playerstats [--changes N] [--seconds S] [--theater-seconds T] [--area A]
//
// Runs in a temporary install folder of its own (area A chosen, first start): start-up scan
// and first picture, N channel changes (button press to the first picture of the new
// channel: min / median / max), then S seconds in the normal and T (default S, 0 skips) in the
// theater view with
// the CPU of the whole process (CPU seconds per wall second), the resident memory, the load
// average before and after, and per thread its CPU, wake-ups and preemptions a second
// (voluntary and involuntary context switches: what wakes without need shows in the first,
// the machine's load in the second). On a shared machine compare runs under similar load, or
// run two builds side by side. KOBAL_STATS_EVENTS=1 adds the UI thread's events and the X
// events it receives.
// Use the replay tuner
// (KOBAL_TUNER=replay, KOBAL_REPLAY_DIR=folder of <channel>.ts) so the simulator's encoders do
// not count, and run under an X server of the screen size to measure (xvfb-run -s "-screen 0
// 1920x1080x24"). The updater's verdict wait of a real start (3000 ms) comes before all this.
// KOBAL_STATS_DETAIL=1 prints each change: when the new graph stood and when its first picture
// came after the first IDR picture reached the renderer.
#include "app/CPlayerDlg.h"
#include "app/PlayerCommands.h"
#include "renderer/MediaGraph.h"
#include "renderer/Presenter.h"
#include "tools/PlayerToolSetup.h"
#include "tools/PrivateInstallFolder.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <map>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace kobal;

namespace {

double cpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

long rssKb() {
    FILE* f = std::fopen("/proc/self/statm", "r");
    long pages = 0, rss = 0;
    if (f) {
        if (std::fscanf(f, "%ld %ld", &pages, &rss) != 2) rss = 0;
        std::fclose(f);
    }
    return rss * 4;
}

bool pumpUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(2);
    }
    return true;
}

// A new graph showing pictures (the one that was there before the press has gone).
bool showing(CPlayerDlg& dlg, const std::weak_ptr<render::MediaGraph>& before) {
    auto g = dlg.graph();
    return before.expired() && g && g->presenter() && g->presenter()->picturesShown() > 0;
}

// CPU seconds and wake-ups (context switches) per thread name (the UI thread is "main").
struct ThreadUse {
    double cpu = 0;
    long wakeups = 0;   // voluntary context switches: the thread slept and was woken
    long preempted = 0; // involuntary ones: another thread took the core (load shows here)
};
std::map<std::string, ThreadUse> threadUse() {
    std::map<std::string, ThreadUse> out;
    const long tick = sysconf(_SC_CLK_TCK);
    QDir dir("/proc/self/task");
    for (const QString& tid : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(dir.filePath(tid) + "/stat");
        if (!f.open(QIODevice::ReadOnly)) continue;
        const QByteArray s = f.readAll();
        const int open = s.indexOf('('), close = s.lastIndexOf(')');
        if (open < 0 || close < open) continue;
        std::string name = tid.toLong() == long(getpid())
                               ? "main"
                               : s.mid(open + 1, close - open - 1).toStdString();
        const QList<QByteArray> fields = s.mid(close + 2).split(' ');
        ThreadUse& use = out[name];
        if (fields.size() > 12) use.cpu += double(fields[11].toLong() + fields[12].toLong()) / tick;
        QFile status(dir.filePath(tid) + "/status");
        if (!status.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray& line : status.readAll().split('\n')) {
            const long n = line.mid(line.indexOf(':') + 1).trimmed().toLong();
            if (line.startsWith("voluntary_ctxt_switches:")) use.wakeups += n;
            if (line.startsWith("nonvoluntary_ctxt_switches:")) use.preempted += n;
        }
    }
    return out;
}

double loadAverage() {
    double load = 0;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1) load = 0;
        std::fclose(f);
    }
    return load;
}

// Counts the events the UI thread delivers, by receiver class and event type: what wakes the
// window shows here (KOBAL_STATS_EVENTS=1).
class EventCensus : public QObject, public QAbstractNativeEventFilter {
public:
    std::map<std::string, long> counts;
    std::map<int, long> xEvents; // by X event type (xcb response_type without the sent bit)
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type == "xcb_generic_event_t")
            ++xEvents[static_cast<const uint8_t*>(message)[0] & 0x7f];
        return false;
    }
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (QThread::currentThread() == thread())
            ++counts[std::string(receiver->metaObject()->className()) + " " +
                     std::to_string(int(event->type()))];
        return false;
    }
    void print(double seconds) const {
        std::vector<std::pair<long, std::string>> top;
        for (const auto& [key, n] : counts) top.emplace_back(n, key);
        std::sort(top.rbegin(), top.rend());
        std::printf("  UI events a second (receiver, event type):");
        for (size_t i = 0; i < top.size() && i < 12; ++i)
            std::printf(" %s %.1f;", top[i].second.c_str(), double(top[i].first) / seconds);
        std::printf("\n  X events a second (type):");
        for (const auto& [xType, n] : xEvents) std::printf(" %d %.1f;", xType, double(n) / seconds);
        std::printf("\n");
    }
};

struct CpuWindow {
    double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    long peak = 0;
    CpuWindow() { wall.start(); }
};

void measureView(CPlayerDlg& dlg, const char* name, int seconds) {
    const auto threads0 = threadUse();
    const double load0 = loadAverage();
    EventCensus census;
    if (std::getenv("KOBAL_STATS_EVENTS")) {
        qApp->installEventFilter(&census);
        qApp->installNativeEventFilter(&census);
    }
    CpuWindow w;
    // A plain event loop, as the player runs: no polling of our own.
    QEventLoop loop;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] { w.peak = std::max(w.peak, rssKb()); });
    sample.start(1000);
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double s = w.wall.elapsed() / 1000.0;
    std::printf("%s view %dx%d: cpu %.2f %% of one core, resident peak %ld KB (load %.1f -> "
                "%.1f)\n",
                name, dlg.width(), dlg.height(), 100.0 * (cpuSeconds() - w.cpu0) / s, w.peak, load0,
                loadAverage());
    std::printf("  by thread (cpu %%, wake-ups + preemptions a second):");
    for (const auto& [thread, use] : threadUse()) {
        const ThreadUse before = threads0.count(thread) ? threads0.at(thread) : ThreadUse{};
        const double cpu = 100 * (use.cpu - before.cpu) / s;
        const double wakeups = double(use.wakeups - before.wakeups) / s;
        const double preempted = double(use.preempted - before.preempted) / s;
        if (cpu >= 0.05 || wakeups >= 1)
            std::printf(" %s %.2f/%.0f+%.0f", thread.c_str(), cpu, wakeups, preempted);
    }
    std::printf("\n");
    if (std::getenv("KOBAL_STATS_EVENTS")) {
        qApp->removeEventFilter(&census);
        qApp->removeNativeEventFilter(&census);
        census.print(s);
    }
}

} // namespace

int main(int argc, char** argv) {
    int changes = 20, seconds = 20, theaterSeconds = -1, area = 7;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--changes")
            changes = std::atoi(argv[i + 1]);
        else if (a == "--seconds")
            seconds = std::atoi(argv[i + 1]);
        else if (a == "--theater-seconds")
            theaterSeconds = std::atoi(argv[i + 1]);
        else if (a == "--area")
            area = std::atoi(argv[i + 1]);
        else {
            std::fprintf(stderr, "usage: kobal_playerstats [--changes N] [--seconds S] "
                                 "[--theater-seconds T] [--area A]\n");
            return 2;
        }
    }
    tools::PrivateInstallFolder scope("playerstats");
    setenv("KOBAL_AUDIO", "null", 0);
    QApplication app(argc, argv);
    tools::writeAreaSetup(area);

    QElapsedTimer clock;
    clock.start();
    CPlayerDlg dlg;
    dlg.initialise();
    if (!pumpUntil([&] { return !dlg.state().scanning; }, 60000)) return 1;
    const qint64 scanned = clock.elapsed();
    if (!pumpUntil([&] { return showing(dlg, {}); }, 20000)) {
        std::fprintf(stderr, "no picture\n");
        return 1;
    }
    std::printf("start-up: scan %lld ms, first picture %lld ms after the scan (%lld ms from the "
                "window)\n",
                static_cast<long long>(scanned), static_cast<long long>(clock.elapsed() - scanned),
                static_cast<long long>(clock.elapsed()));
    pumpUntil([] { return false; }, 2000);

    std::vector<qint64> took;
    for (int i = 0; i < changes; ++i) {
        // Up and down between the first two stations (the replay folder may hold only those).
        const int direction = i % 2 == 0 ? +1 : -1;
        const std::weak_ptr<render::MediaGraph> before = dlg.graph();
        QElapsedTimer t;
        t.start();
        dlg.onCommand(direction > 0 ? cmd::kChannelUp : cmd::kChannelDown);
        qint64 built = -1, ready = -1;
        if (!pumpUntil(
                [&] {
                    if (built < 0 && before.expired() && dlg.graph()) built = t.elapsed();
                    if (built >= 0 && ready < 0 && !dlg.state().opening) ready = t.elapsed();
                    return showing(dlg, before);
                },
                10000)) {
            std::fprintf(stderr, "change %d showed nothing\n", i + 1);
            return 1;
        }
        took.push_back(t.elapsed());
        if (std::getenv("KOBAL_STATS_DETAIL"))
            std::printf("  change %d: %lld ms (graph %lld, ready %lld), first picture %lld ms "
                        "after the first IDR\n",
                        i + 1, static_cast<long long>(took.back()), static_cast<long long>(built),
                        static_cast<long long>(ready),
                        static_cast<long long>(dlg.graph()->presenter()->firstPictureLatencyMs()));
        pumpUntil([] { return false; }, 1500);
    }
    if (!took.empty()) {
        std::vector<qint64> sorted = took;
        std::sort(sorted.begin(), sorted.end());
        std::printf("channel change (press to first new picture) over %zu: min %lld ms, median "
                    "%lld ms, max %lld ms\n",
                    sorted.size(), static_cast<long long>(sorted.front()),
                    static_cast<long long>(sorted[sorted.size() / 2]),
                    static_cast<long long>(sorted.back()));
    }

    measureView(dlg, "normal", seconds);
    if (theaterSeconds != 0) {
        dlg.onCommand(cmd::kTheaterView);
        pumpUntil([] { return false; }, 1000);
        measureView(dlg, "theater", theaterSeconds < 0 ? seconds : theaterSeconds);
        dlg.onCommand(cmd::kLeaveTheater);
    }
    dlg.requestClose();
    pumpUntil([&] { return !dlg.graph() && !dlg.isVisible(); }, 10000);
    return 0;
}
