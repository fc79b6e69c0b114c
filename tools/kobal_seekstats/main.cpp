// kobal_seekstats: opening and seeking a recorded file, measured.
//
//   kobal_seekstats FILE.rec [--opens N] [--seeks N] [--size WxH]
//
// Opens FILE through the real renderer (libavformat source, decoders, presenter into a video
// window) N times (default 1), each time to its first picture, then plays it and seeks N times
// (default 10) through the player's graph wrapper, the way the seek bars do. Reports for each
// open the time to the graph built (and the probe's share of it: whether the quick probe of the
// first 64 KB of stream data was enough or the file needed libavformat's full probe) and to the
// first picture, and for each seek the time from the seek call to the first picture shown at the
// new place (a picture no more than one second before the target); then min / median / max. The
// first open of a run pays libavcodec's one-time set-up, as a player's first file does. The targets
// alternate around the middle of the file so that every seek jumps a long way. Each open also gives
// the processor time it took (all threads), and the run the load average before and after: they
// tell work apart from waiting on a busy machine. Audio goes to the null clock. Run under an X
// server (xvfb-run) or QT_QPA_PLATFORM=offscreen. Exit status: 0 when every seek showed a picture,
// 1 otherwise, 2 on bad arguments.
#include "media/CPlayerGraph.h"
#include "renderer/FileSource.h"
#include "renderer/MediaGraph.h"
#include "renderer/Presenter.h"
#include "renderer/RendererHost.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <vector>

using namespace kobal;

namespace {

class QuietHost : public render::RendererHost {
public:
    long copyData(unsigned long, long, const std::vector<uint8_t>&) override { return 1; }
    void postGraphEvent() override {}
    void audioModeChanged(int) override {}
};

double cpuMs() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 +
           (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
}

// Runs the event loop until done() or the time runs out; true when done.
bool pumpUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::usleep(500);
    }
    return true;
}

void printLoad(const char* when) {
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) == 3)
        std::printf("load average %s: %.2f %.2f %.2f\n", when, load[0], load[1], load[2]);
}

void summary(const char* what, std::vector<double> ms) {
    if (ms.empty()) return;
    std::sort(ms.begin(), ms.end());
    std::printf("%s over %zu: min %.0f ms, median %.0f ms, max %.0f ms\n", what, ms.size(),
                ms.front(), ms[ms.size() / 2], ms.back());
}

} // namespace

int main(int argc, char** argv) {
    std::string file;
    int opens = 1, seeks = 10, width = 320, height = 180;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--opens" && i + 1 < argc) {
            opens = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--seeks" && i + 1 < argc) {
            seeks = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--size" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2) return 2;
        } else if (!a.empty() && a[0] != '-' && file.empty()) {
            file = a;
        } else {
            std::fprintf(stderr,
                         "usage: kobal_seekstats FILE.rec [--opens N] [--seeks N] [--size WxH]\n");
            return 2;
        }
    }
    if (file.empty()) {
        std::fprintf(stderr,
                     "usage: kobal_seekstats FILE.rec [--opens N] [--seeks N] [--size WxH]\n");
        return 2;
    }
    setenv("KOBAL_AUDIO", "null", 0);
    QApplication app(argc, argv);
    QWidget window;
    window.resize(width, height);
    QuietHost host;

    window.show();
    pumpUntil([] { return false; }, 200); // the window is up before the clock starts
    printLoad("before");
    std::shared_ptr<render::MediaGraph> graph;
    std::vector<double> openMs;
    for (int n = 0; n < opens; ++n) {
        graph.reset(); // the previous graph goes before the clock starts
        QElapsedTimer clock;
        clock.start();
        const double cpu0 = cpuMs();
        graph = std::make_shared<render::MediaGraph>(&host);
        if (graph->RenderFile(file) != render::S_OK) {
            std::fprintf(stderr, "kobal_seekstats: %s does not open\n", file.c_str());
            return 1;
        }
        graph->put_Owner(&window);
        graph->SetWindowPosition(0, 0, width, height);
        graph->put_Visible(true);
        const qint64 built = clock.elapsed();
        graph->Run();
        render::Presenter* presenter = graph->presenter();
        if (!presenter || !pumpUntil([&] { return presenter->picturesShown() > 0; }, 10000)) {
            std::fprintf(stderr, "kobal_seekstats: no first picture\n");
            return 1;
        }
        openMs.push_back(clock.nsecsElapsed() / 1e6);
        const render::FileSource* source = graph->fileSource();
        std::printf("open %d: graph built in %lld ms (%s probe %.0f ms), first picture %.0f ms "
                    "after the open began (%.0f ms of processor time)\n",
                    n + 1, static_cast<long long>(built), source->probedInFull() ? "full" : "quick",
                    source->probeUs() / 1e3, openMs.back(), cpuMs() - cpu0);
    }
    summary("open to first picture", openMs);
    render::Presenter* presenter = graph->presenter();
    media::CPlayerGraph player(graph);
    const int64_t duration = player.GetDuration();
    std::printf("%s: duration %.1f s\n", file.c_str(), duration / 10.0);
    if (duration < 100) {
        std::fprintf(stderr, "kobal_seekstats: the file is too short to seek in\n");
        return 1;
    }
    pumpUntil([] { return false; }, 500);

    std::vector<double> took;
    for (int i = 0; i < seeks; ++i) {
        // Around the middle, each seek a long jump from the one before.
        static constexpr double kAt[] = {0.50, 0.25, 0.75, 0.40, 0.60,
                                         0.15, 0.85, 0.35, 0.65, 0.45};
        const int64_t target = int64_t(duration * kAt[size_t(i) % std::size(kAt)]);
        const size_t before = presenter->picturesShown();
        QElapsedTimer t;
        t.start();
        if (!player.Seek(target)) {
            std::fprintf(stderr, "kobal_seekstats: the graph refused seek %d\n", i + 1);
            return 1;
        }
        const int64_t targetUs = target * 100000;
        const bool shown = pumpUntil(
            [&] {
                return presenter->picturesShown() > before &&
                       presenter->lastShownUs() - presenter->originUs() >= targetUs - 1000000;
            },
            5000);
        if (!shown) {
            std::fprintf(stderr, "kobal_seekstats: seek %d to %.1f s showed nothing\n", i + 1,
                         target / 10.0);
            return 1;
        }
        took.push_back(t.nsecsElapsed() / 1e6);
        std::printf("  seek %d to %.1f s: %.0f ms\n", i + 1, target / 10.0, took.back());
        pumpUntil([] { return false; }, 300);
    }
    summary("seek to first picture", took);
    printLoad("after");
    graph->Stop();
    return 0;
}
