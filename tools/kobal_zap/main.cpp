// kobal_zap: changes channel through the configured tuner backend (KOBAL_TUNER, and for a
// tuner server KOBAL_TUNER_SERVER) the way the player does, and measures each change from
// SetChannel to the first picture the H.264 decoder gives; then watches one channel and
// reports the CPU of the tuner's reader threads.
//
//   KOBAL_TUNER=server KOBAL_TUNER_SERVER=unix:/run/mirakurun.sock kobal_zap --area 7
//   kobal_zap [--area A] [--changes N] [--watch S]
//
// The stream is polled every 5 ms in 1128-byte chunks, as the engine's reader does. Times are
// printed per change and as min/median/max.
extern "C" {
#include <libavcodec/avcodec.h>
}

#include "broadcast/AreaPresetTable.h"
#include "tools/PrivateInstallFolder.h"
#include "tuner/CTDMBDll.h"

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// CPU seconds of this process's threads whose name starts with `prefix`.
double namedThreadsCpu(const std::string& prefix) {
    double total = 0;
    DIR* d = opendir("/proc/self/task");
    if (!d) return 0;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        const std::string base = std::string("/proc/self/task/") + e->d_name;
        std::ifstream comm(base + "/comm");
        std::string name;
        std::getline(comm, name);
        if (name.rfind(prefix, 0) != 0) continue;
        std::ifstream stat(base + "/stat");
        std::string all((std::istreambuf_iterator<char>(stat)), {});
        const size_t close = all.rfind(')');
        if (close == std::string::npos) continue;
        std::vector<std::string> f;
        size_t at = close + 2;
        while (at < all.size() && f.size() < 13) {
            const size_t sp = all.find(' ', at);
            f.push_back(all.substr(at, sp - at));
            at = sp == std::string::npos ? all.size() : sp + 1;
        }
        if (f.size() >= 13) total += (std::atof(f[11].c_str()) + std::atof(f[12].c_str())) / 100.0;
    }
    closedir(d);
    return total;
}

// Reads the PMT on 0x1FC8 for the video PID, gathers its PES packets and decodes them; tells
// when the first picture comes out.
class FirstPicture {
public:
    FirstPicture() {
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
        ctx_ = avcodec_alloc_context3(codec);
        ctx_->flags |= AV_CODEC_FLAG_LOW_DELAY;
        avcodec_open2(ctx_, codec, nullptr);
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
    }
    ~FirstPicture() {
        av_packet_free(&packet_);
        av_frame_free(&frame_);
        avcodec_free_context(&ctx_);
    }
    // True once a picture was decoded.
    bool feed(const uint8_t* chunk) {
        for (int k = 0; k < 6 && !done_; ++k) packet(chunk + k * 188);
        return done_;
    }

private:
    void packet(const uint8_t* p) {
        if (p[0] != 0x47) return;
        const int pid = (p[1] & 0x1F) << 8 | p[2];
        size_t at = 4;
        if (p[3] & 0x20) at += 1 + p[4];
        if (at >= 188 || !(p[3] & 0x10)) return;
        const bool start = p[1] & 0x40;
        if (pid == 0x1FC8 && start && video_ < 0) {
            const uint8_t* s = p + at + 1 + p[at];
            if (s + 12 > p + 188 || s[0] != 0x02) return;
            const size_t end =
                std::min<size_t>(3 + ((s[1] & 0x0F) << 8 | s[2]) - 4, size_t(p + 188 - s));
            for (size_t e = 12 + ((s[10] & 0x0F) << 8 | s[11]); e + 5 <= end;
                 e += 5 + ((s[e + 3] & 0x0F) << 8 | s[e + 4]))
                if (s[e] == 0x1B) video_ = (s[e + 1] & 0x1F) << 8 | s[e + 2];
            return;
        }
        if (pid != video_) return;
        if (start) {
            decode();
            if (at + 9 > 188) return;
            at += 9 + p[at + 8];
            if (at > 188) return;
            open_ = true;
        }
        if (open_ && pes_.size() < (1 << 20)) pes_.insert(pes_.end(), p + at, p + 188);
    }
    void decode() {
        if (!open_ || pes_.empty()) return;
        packet_->data = pes_.data();
        packet_->size = int(pes_.size());
        if (avcodec_send_packet(ctx_, packet_) == 0 && avcodec_receive_frame(ctx_, frame_) == 0)
            done_ = true;
        pes_.clear();
    }

    AVCodecContext* ctx_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    int video_ = -1;
    bool open_ = false, done_ = false;
    std::vector<uint8_t> pes_;
};

} // namespace

int main(int argc, char** argv) {
    int area = 7, changes = 10;
    double watch = 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--area")
            area = std::atoi(argv[i + 1]);
        else if (a == "--changes")
            changes = std::atoi(argv[i + 1]);
        else if (a == "--watch")
            watch = std::atof(argv[i + 1]);
    }
    if (!kobal::AreaPresetTable::validArea(area) || changes < 1) {
        std::fprintf(stderr, "usage: kobal_zap [--area A] [--changes N] [--watch S]\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    av_log_set_level(AV_LOG_ERROR);
    const kobal::tools::PrivateInstallFolder scope("zap");
    QGuiApplication app(argc, argv); // the simulator draws its card with Qt
    veltra::sim::setArea(area);
    CTDMBDll tuner;
    if (!tuner.Open(nullptr)) {
        std::fprintf(stderr, "kobal_zap: the %s tuner does not open\n",
                     tuner.backendName().c_str());
        return 1;
    }
    const int stations = kobal::AreaPresetTable::stationCount(area);
    std::vector<double> ms;
    unsigned char buffer[2256];
    for (int n = 0; n < changes; ++n) {
        const int slot = kobal::AreaPresetTable::station(area, n % stations).slot;
        const auto t0 = Clock::now();
        if (!tuner.SetChannel(slot, slot, 1, 0.0f)) {
            std::printf("change %d to slot %d: not tuned\n", n + 1, slot);
            continue;
        }
        FirstPicture picture;
        bool shown = false;
        while (!shown && Clock::now() - t0 < std::chrono::seconds(30)) {
            if (tuner.GetTSStream(buffer, 0))
                shown = picture.feed(buffer);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        const double t = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        std::printf("change %d to slot %d: %s %.0f ms\n", n + 1, slot,
                    shown ? "first picture after" : "no picture in", t);
        if (shown) ms.push_back(t);
    }
    if (!ms.empty()) {
        std::vector<double> s = ms;
        std::sort(s.begin(), s.end());
        std::printf("%s: %zu changes, first picture min %.0f / median %.0f / max %.0f ms\n",
                    tuner.backendName().c_str(), s.size(), s.front(), s[s.size() / 2], s.back());
    }

    // One live channel: CPU of the polling thread's tuner calls and of the library's own
    // reader threads ("veltra-…").
    const double own0 = namedThreadsCpu("veltra-");
    double calls = 0;
    long chunks = 0;
    const auto w0 = Clock::now();
    while (std::chrono::duration<double>(Clock::now() - w0).count() < watch) {
        const double c0 = threadCpuSeconds();
        const int got = tuner.GetTSStream(buffer, 0);
        calls += threadCpuSeconds() - c0;
        if (got)
            ++chunks;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const double wall = std::chrono::duration<double>(Clock::now() - w0).count();
    const double own = namedThreadsCpu("veltra-") - own0;
    std::printf("live %.0f s: %ld chunks (%.0f kbit/s); GetTSStream %.2f %% of a core, library "
                "reader threads %.2f %%\n",
                wall, chunks, chunks * 1128 * 8 / wall / 1000, 100 * calls / wall,
                100 * own / wall);
    tuner.Close();
    return ms.empty() ? 1 : 0;
}
