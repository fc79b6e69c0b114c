#include "RendererTestSupport.h"

#include "../support/TestSupport.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

extern "C" {
#include <libavformat/avformat.h>
}

namespace kobal::test {

namespace {

// Every renderer test runs with the null audio output and the one widget application (the
// video window is a widget).
class RendererEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("KOBAL_AUDIO", "null", 1);
        ensureQtApp(QtApp::Widgets);
    }
};
[[maybe_unused]] auto* const g_env = ::testing::AddGlobalTestEnvironment(new RendererEnvironment);

} // namespace

std::string makeTs(double seconds, int toneHz, int gop, bool aud) {
    const std::string path = homeDir() + "/src-" + std::to_string(int(seconds * 10)) + "-" +
                             std::to_string(toneHz) + "-" + std::to_string(gop) +
                             (aud ? "-aud" : "") + ".ts";
    if (std::filesystem::exists(path)) return path;
    const std::string cmd =
        "ffmpeg -v error -y -f lavfi -i testsrc=size=320x180:rate=15 -f lavfi -i "
        "sine=frequency=" +
        std::to_string(toneHz) + ":sample_rate=48000 -t " + std::to_string(seconds) +
        " -pix_fmt yuv420p -c:v libx264 -profile:v baseline -g " + std::to_string(gop) +
        (aud ? " -x264-params aud=1" : "") + " -c:a aac -b:a 64k -ac 1 -f mpegts '" + path +
        "' </dev/null";
    return runCommand(cmd) == 0 ? path : std::string();
}

std::string makeMonoAdts(double seconds, int toneHz) {
    const std::string path =
        homeDir() + "/tone-" + std::to_string(toneHz) + "-" + std::to_string(int(seconds)) + ".aac";
    if (std::filesystem::exists(path)) return path;
    const std::string cmd =
        "ffmpeg -v error -y -f lavfi -i sine=frequency=" + std::to_string(toneHz) +
        ":sample_rate=48000 -t " + std::to_string(seconds) + " -ac 1 -c:a aac -b:a 64k -f adts '" +
        path + "' </dev/null";
    return runCommand(cmd) == 0 ? path : std::string();
}

std::vector<FilePacket> filePackets(const std::string& path, bool perPes) {
    std::vector<FilePacket> out;
    AVFormatContext* oc = avformat_alloc_context();
    if (!oc) return out;
    if (perPes) oc->flags |= AVFMT_FLAG_NOPARSE;
    if (avformat_open_input(&oc, path.c_str(), nullptr, nullptr) < 0) return out;
    if (!perPes) avformat_find_stream_info(oc, nullptr);
    AVPacket* pkt = av_packet_alloc();
    while (av_read_frame(oc, pkt) >= 0) {
        const AVStream* st = oc->streams[pkt->stream_index];
        if (!perPes || pkt->pts != AV_NOPTS_VALUE) {
            FilePacket p;
            p.video = st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
            p.key = pkt->flags & AV_PKT_FLAG_KEY;
            p.ts90 = uint64_t(av_rescale_q(pkt->pts, st->time_base, AVRational{1, 90000}));
            p.ptsUs = av_rescale_q(pkt->pts, st->time_base, AVRational{1, 1000000});
            p.data.assign(pkt->data, pkt->data + pkt->size);
            out.push_back(std::move(p));
        }
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    avformat_close_input(&oc);
    return out;
}

std::vector<std::vector<uint8_t>> adtsFrames(const std::string& b) {
    std::vector<std::vector<uint8_t>> out;
    size_t i = 0;
    while (i + 7 <= b.size()) {
        const auto* d = reinterpret_cast<const uint8_t*>(b.data() + i);
        if (d[0] != 0xFF || (d[1] & 0xF0) != 0xF0) break;
        const size_t len = ((d[3] & 3) << 11) | (d[4] << 3) | (d[5] >> 5);
        if (len < 7 || i + len > b.size()) break;
        out.emplace_back(d, d + len);
        i += len;
    }
    return out;
}

namespace {
struct BitWriter {
    std::vector<uint8_t> bytes;
    int bit = 0;
    void put(int v) {
        if (bit == 0) bytes.push_back(0);
        if (v) bytes.back() |= uint8_t(0x80 >> bit);
        bit = (bit + 1) & 7;
    }
    void put(uint32_t v, int n) {
        for (int k = n - 1; k >= 0; --k) put(int((v >> k) & 1));
    }
};

int bitAt(const std::vector<uint8_t>& f, size_t pos) {
    return (f[pos / 8] >> (7 - pos % 8)) & 1;
}

// Bits of the frame's raw data block before its end element; -1 when it is not one SCE.
long sceBits(const std::vector<uint8_t>& f, size_t& start) {
    start = (f[1] & 1) ? 56 : 72; // header, plus the CRC when present
    long last = -1;
    for (size_t p = start; p < f.size() * 8; ++p)
        if (bitAt(f, p)) last = long(p);
    if (last < long(start) + 3) return -1;
    if (bitAt(f, start) || bitAt(f, start + 1) || bitAt(f, start + 2)) return -1; // not SCE
    return last + 1 - 3 - long(start); // the end element is the last three set bits
}
} // namespace

std::vector<std::vector<uint8_t>> spliceDualMono(const std::vector<std::vector<uint8_t>>& main,
                                                 const std::vector<std::vector<uint8_t>>& sub) {
    std::vector<std::vector<uint8_t>> out;
    for (size_t i = 0; i < main.size() && i < sub.size(); ++i) {
        size_t s0, s1;
        const long n0 = sceBits(main[i], s0), n1 = sceBits(sub[i], s1);
        if (n0 < 0 || n1 < 0) continue;
        BitWriter w;
        for (long k = 0; k < n0; ++k) w.put(bitAt(main[i], s0 + size_t(k)));
        for (long k = 0; k < n1; ++k) {
            int b = bitAt(sub[i], s1 + size_t(k));
            if (k >= 3 && k < 7) b = (k == 6); // element instance tag 1
            w.put(b);
        }
        w.put(7u, 3); // end
        std::vector<uint8_t> f(main[i].begin(), main[i].begin() + 7);
        const size_t len = 9 + w.bytes.size();
        f[1] = 0xF8; // MPEG-2, CRC present
        f[2] = uint8_t(f[2] & ~1);
        f[3] = uint8_t((f[3] & 0x3C) | (2 << 6) | ((len >> 11) & 3));
        f[4] = uint8_t(len >> 3);
        f[5] = uint8_t(((len & 7) << 5) | (f[5] & 0x1F));
        f.push_back(0);
        f.push_back(0);
        f.insert(f.end(), w.bytes.begin(), w.bytes.end());
        out.push_back(std::move(f));
    }
    return out;
}

double rms(const std::vector<int16_t>& s, int channel) {
    const size_t frames = s.size() / 2;
    if (!frames) return 0;
    double sum = 0;
    for (size_t i = 0; i < frames; ++i) sum += double(s[2 * i + channel]) * s[2 * i + channel];
    return std::sqrt(sum / frames);
}

QColor meanColour(const QImage& img, const QRect& r) {
    long rs = 0, gs = 0, bs = 0, n = 0;
    const QRect c = r.intersected(img.rect());
    for (int y = c.top(); y <= c.bottom(); ++y)
        for (int x = c.left(); x <= c.right(); ++x) {
            const QRgb p = img.pixel(x, y);
            rs += qRed(p);
            gs += qGreen(p);
            bs += qBlue(p);
            ++n;
        }
    if (!n) return {};
    return QColor(int(rs / n), int(gs / n), int(bs / n));
}

long RecordingHost::copyData(unsigned long command, long pid, const std::vector<uint8_t>& data) {
    {
        std::lock_guard<std::mutex> lk(lock);
        commands.push_back(command);
        payloads.push_back(data);
        pids.push_back(pid);
    }
    return onCopyData ? onCopyData(command, pid, data) : 1;
}

int RecordingHost::count(unsigned long command) {
    std::lock_guard<std::mutex> lk(lock);
    int n = 0;
    for (unsigned long c : commands) n += c == command;
    return n;
}

bool drainComplete(render::MediaGraph& graph) {
    long code, p1, p2;
    bool complete = false;
    while (graph.GetEvent(&code, &p1, &p2, 0) == render::S_OK)
        complete |= code == render::EC_COMPLETE;
    return complete;
}

} // namespace kobal::test
