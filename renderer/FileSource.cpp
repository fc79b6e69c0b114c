#include "FileSource.h"

#include "VideoDecoder.h"

#include <pthread.h>
#include <sys/stat.h>

#include <cstdio>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

namespace kobal::render {

namespace {
constexpr size_t kQueueBytes = 4u << 20;       // read ahead at most this much
constexpr int64_t kMaxSeekLeadUs = 48'000'000; // longest group of pictures a seek looks back over
constexpr int kMaxReadErrors = 1000;           // in a row, before a damaged file counts as ended

// libavformat guesses a file's format from its first bytes, and damage there (adaptation fields
// running past their packet, lost bytes) can make a raw H.264 reading score higher than the
// transport stream it is: opened that way, the sound, the times and the duration are lost.
// Sync bytes in step every 188 bytes over most of the start settle it.
bool looksLikeTransportStream(const std::string& path) {
    constexpr size_t kPacket = 188, kLook = 256 * 1024;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::vector<uint8_t> d(kLook);
    const size_t n = std::fread(d.data(), 1, d.size(), f);
    std::fclose(f);
    if (n < 8 * kPacket) return false;
    size_t best = 0;
    for (size_t o = 0; o < kPacket; ++o) {
        size_t hits = 0;
        for (size_t i = o; i < n; i += kPacket) hits += d[i] == 0x47;
        best = std::max(best, hits);
    }
    return best * 10 >= (n / kPacket) * 7;
}

// A recording begins with its programme map and a complete picture, so the first 64 KB of its
// streams' data name them and give their parameters; the duration comes from the times near the
// file's end either way. libavformat's own probe reads up to 5 MB: a stream it cannot identify
// (the captions' private stream of a broadcast) keeps it reading to that limit, most of a
// second of work.
constexpr int64_t kQuickProbeBytes = 64 * 1024;

// Opens and probes the file; probeBytes 0 keeps libavformat's limits. S_OK or an error code.
HRESULT openProbed(const std::string& path, const AVInputFormat* format, int64_t probeBytes,
                   AVFormatContext** oc) {
    AVDictionary* opts = nullptr;
    if (probeBytes > 0) av_dict_set_int(&opts, "probesize", probeBytes, 0);
    const int rc = avformat_open_input(oc, path.c_str(), format, &opts);
    av_dict_free(&opts);
    if (rc < 0) return VFW_E_UNKNOWN_FILE_TYPE;
    if (avformat_find_stream_info(*oc, nullptr) < 0) {
        avformat_close_input(oc);
        return VFW_E_INVALID_FILE_FORMAT;
    }
    return S_OK;
}

// Picture and sound with their parameters, and a duration: all that playing and seeking need.
bool probedEnough(const AVFormatContext* oc) {
    bool video = false, audio = false;
    for (unsigned i = 0; i < oc->nb_streams; ++i) {
        const AVCodecParameters* par = oc->streams[i]->codecpar;
        video |= par->codec_id == AV_CODEC_ID_H264 && par->width > 0 && par->height > 0;
        audio |= par->codec_id == AV_CODEC_ID_AAC && par->sample_rate > 0;
    }
    return video && audio && oc->duration != AV_NOPTS_VALUE && oc->duration > 0;
}
} // namespace

FileSource::FileSource(PacketQueue& queue) : queue_(queue) {}

FileSource::~FileSource() {
    shutdown();
    avformat_close_input(&oc_);
}

HRESULT FileSource::open(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return HRESULT_FILE_NOT_FOUND;
    const int64_t began = steadyUs();
    const AVInputFormat* format =
        looksLikeTransportStream(path) ? av_find_input_format("mpegts") : nullptr;
    // A quick look first; a file it leaves short of a stream, of parameters or of a duration
    // (damage near the start, sound that begins late, another kind of file) is probed in full.
    probedInFull_ = failed(openProbed(path, format, kQuickProbeBytes, &oc_)) || !probedEnough(oc_);
    if (probedInFull_) {
        avformat_close_input(&oc_);
        const HRESULT hr = openProbed(path, format, 0, &oc_);
        if (failed(hr)) return hr;
    }
    probeUs_ = steadyUs() - began;
    for (unsigned i = 0; i < oc_->nb_streams; ++i) {
        const AVCodecParameters* par = oc_->streams[i]->codecpar;
        if (par->codec_id == AV_CODEC_ID_H264 && videoIndex_ < 0) videoIndex_ = int(i);
        if (par->codec_id == AV_CODEC_ID_AAC && audioIndex_ < 0) audioIndex_ = int(i);
    }
    if (videoIndex_ < 0 && audioIndex_ < 0) {
        avformat_close_input(&oc_);
        return VFW_E_UNKNOWN_FILE_TYPE;
    }
    if (videoIndex_ >= 0) {
        width_ = oc_->streams[videoIndex_]->codecpar->width;
        height_ = oc_->streams[videoIndex_]->codecpar->height;
    }
    for (unsigned i = 0; i < oc_->nb_streams; ++i)
        if (int(i) != videoIndex_ && int(i) != audioIndex_)
            oc_->streams[i]->discard = AVDISCARD_ALL;
    startUs_ = oc_->start_time != AV_NOPTS_VALUE ? oc_->start_time : 0;
    durationUs_ = oc_->duration != AV_NOPTS_VALUE ? oc_->duration : 0;
    quit_ = false;
    thread_ = std::thread([this] { run(); });
    return S_OK;
}

bool FileSource::seek(int64_t targetUs) {
    if (!oc_ || !thread_.joinable()) return false;
    std::unique_lock<std::mutex> lk(m_);
    seekTarget_ = std::max<int64_t>(0, targetUs);
    seekRequested_ = true;
    seekDone_ = false;
    queue_.interrupt(); // wake the reader if it waits for room
    cv_.notify_all();
    cv_.wait_for(lk, std::chrono::seconds(5), [&] { return seekDone_ || quit_.load(); });
    return seekDone_;
}

void FileSource::run() {
    pthread_setname_np(pthread_self(), "kobal-demux");
    AVPacket* pkt = av_packet_alloc();
    if (!pkt) return;
    bool atEnd = false;
    int readErrors = 0;
    int64_t lastUs[2] = {0, 0};
    while (!quit_) {
        {
            std::unique_lock<std::mutex> lk(m_);
            if (seekRequested_) {
                seekRequested_ = false;
                seekBeforeKey(seekTarget_, pkt);
                queue_.clear();
                atEnd = false;
                seekDone_ = true;
                cv_.notify_all();
            }
            if (atEnd) {
                cv_.wait_for(lk, std::chrono::milliseconds(100));
                continue;
            }
        }
        if (!queue_.waitForRoom(kQueueBytes, 100)) continue;
        const int rc = av_read_frame(oc_, pkt);
        // Damage in the middle of a file is read past, as players do; the end is the end.
        if (rc < 0 && rc != AVERROR_EOF && !avio_feof(oc_->pb) && ++readErrors < kMaxReadErrors)
            continue;
        if (rc < 0) {
            MediaPacket eos;
            eos.kind = MediaPacket::EndOfStream;
            eos.arrivalMs = steadyMs();
            queue_.push(std::move(eos));
            atEnd = true;
            continue;
        }
        readErrors = 0;
        if (pkt->stream_index == videoIndex_ || pkt->stream_index == audioIndex_) {
            const bool video = pkt->stream_index == videoIndex_;
            const AVStream* st = oc_->streams[pkt->stream_index];
            int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
            MediaPacket p;
            p.kind = video ? MediaPacket::Video : MediaPacket::Audio;
            p.key = video && (pkt->flags & AV_PKT_FLAG_KEY);
            p.arrivalMs = steadyMs();
            p.ptsUs = ts != AV_NOPTS_VALUE
                          ? av_rescale_q(ts, st->time_base, AVRational{1, 1000000}) - startUs_
                          : lastUs[video ? 0 : 1];
            lastUs[video ? 0 : 1] = p.ptsUs;
            p.data.assign(pkt->data, pkt->data + pkt->size);
            queue_.push(std::move(p));
        }
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
}

void FileSource::seekBeforeKey(int64_t targetUs, AVPacket* pkt) {
    // A transport stream has no index, and a timestamp seek lands on any packet: the decoder
    // would then wait for the IDR picture after the target, up to a group of pictures late.
    // Go back far enough that an IDR picture lies between the landing point and the target;
    // the presenter drops what comes before the target.
    int64_t lead = 3'000'000;
    for (;;) {
        const int64_t at = std::max<int64_t>(0, targetUs - lead);
        av_seek_frame(oc_, -1, startUs_ + at, AVSEEK_FLAG_BACKWARD);
        if (videoIndex_ < 0 || at == 0 || lead >= kMaxSeekLeadUs) return;
        // Look for the first IDR picture after the landing point.
        bool keyBefore = false, decided = false;
        for (int n = 0; n < 100'000 && !decided; ++n) {
            if (av_read_frame(oc_, pkt) < 0) break;
            if (pkt->stream_index == videoIndex_ && pkt->pts != AV_NOPTS_VALUE) {
                const int64_t us = av_rescale_q(pkt->pts, oc_->streams[videoIndex_]->time_base,
                                                AVRational{1, 1'000'000}) -
                                   startUs_;
                if (us <= targetUs && containsIdr(pkt->data, size_t(pkt->size)))
                    keyBefore = decided = true;
                if (us > targetUs) decided = true;
            }
            av_packet_unref(pkt);
        }
        if (keyBefore) {
            av_seek_frame(oc_, -1, startUs_ + at, AVSEEK_FLAG_BACKWARD);
            return;
        }
        lead *= 2;
    }
}

void FileSource::shutdown() {
    quit_ = true;
    cv_.notify_all();
    queue_.interrupt();
    if (thread_.joinable()) thread_.join();
}

} // namespace kobal::render
