#include "TsRecorder.h"

#include "AudioDecoder.h"

#include <cstdio>
#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

namespace kobal::render {

namespace {
constexpr size_t kHeldAudioMax = 64; // about 1.4 s of AAC at 48 kHz
} // namespace

TsRecorder::~TsRecorder() {
    stop();
}

bool TsRecorder::start(const std::string& path, const std::vector<uint8_t>& videoConfig,
                       const std::vector<uint8_t>& adtsHeader) {
    stop();
    failed_ = false;
    if (path.empty()) return false;
    if (avformat_alloc_output_context2(&oc_, nullptr, "mpegts", path.c_str()) < 0 || !oc_)
        return false;
    AVStream* vs = avformat_new_stream(oc_, nullptr);
    AVStream* as = avformat_new_stream(oc_, nullptr);
    if (!vs || !as) {
        close();
        return false;
    }
    vs->time_base = AVRational{1, 90000};
    vs->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    vs->codecpar->codec_id = AV_CODEC_ID_H264;
    if (!videoConfig.empty() && videoConfig.size() < (1u << 16)) {
        vs->codecpar->extradata =
            static_cast<uint8_t*>(av_mallocz(videoConfig.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (vs->codecpar->extradata) {
            std::memcpy(vs->codecpar->extradata, videoConfig.data(), videoConfig.size());
            vs->codecpar->extradata_size = int(videoConfig.size());
        }
    }
    AdtsInfo info;
    const bool haveAdts = parseAdts(adtsHeader.data(), adtsHeader.size(), info);
    as->time_base = AVRational{1, 90000};
    as->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
    as->codecpar->codec_id = AV_CODEC_ID_AAC;
    as->codecpar->sample_rate = haveAdts ? info.sampleRate : 48000;
    const int channels = haveAdts && info.channelConfig > 0 ? std::min(info.channelConfig, 8) : 2;
    av_channel_layout_default(&as->codecpar->ch_layout, channels);
    if (avio_open(&oc_->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) {
        close();
        return false;
    }
    if (avformat_write_header(oc_, nullptr) < 0) {
        close();
        std::remove(path.c_str());
        return false;
    }
    pkt_ = av_packet_alloc();
    path_ = path;
    started_ = false;
    heldAudio_.clear();
    lastTs_[0] = lastTs_[1] = INT64_MIN;
    bytes_ = 0;
    return pkt_ != nullptr;
}

void TsRecorder::write(const MediaPacket& p) {
    if (!oc_ || p.data.empty() || p.kind == MediaPacket::EndOfStream) return;
    if (!started_) {
        // A recording opens on an IDR picture.
        if (p.kind == MediaPacket::Audio) {
            heldAudio_.push_back(p);
            if (heldAudio_.size() > kHeldAudioMax) heldAudio_.pop_front();
            return;
        }
        if (!p.key) return;
        started_ = true;
        baseUs_ = p.ptsUs;
        writePacket(p);
        const std::deque<MediaPacket> held = std::move(heldAudio_);
        heldAudio_.clear();
        for (const MediaPacket& a : held)
            if (oc_) writePacket(a); // a write error stops the recording
        return;
    }
    writePacket(p);
}

void TsRecorder::writePacket(const MediaPacket& p) {
    const int index = p.kind == MediaPacket::Video ? 0 : 1;
    if (p.ptsUs < baseUs_) return;
    int64_t ts = (p.ptsUs - baseUs_) * 9 / 100;
    if (lastTs_[index] != INT64_MIN && ts <= lastTs_[index]) ts = lastTs_[index] + 1;
    lastTs_[index] = ts;
    if (av_new_packet(pkt_, int(p.data.size())) < 0) return;
    std::memcpy(pkt_->data, p.data.data(), p.data.size());
    pkt_->stream_index = index;
    pkt_->pts = pkt_->dts = ts;
    av_packet_rescale_ts(pkt_, AVRational{1, 90000}, oc_->streams[index]->time_base);
    if (index == 0 && p.key) pkt_->flags |= AV_PKT_FLAG_KEY;
    if (index == 1) pkt_->flags |= AV_PKT_FLAG_KEY;
    const int rc = av_write_frame(oc_, pkt_);
    av_packet_unref(pkt_);
    // Hand the bytes to the file at once: a full disk shows at the packet that met it, and a
    // crash loses nothing that was received.
    if (rc >= 0 && oc_->pb) avio_flush(oc_->pb);
    if (rc < 0 || (oc_->pb && oc_->pb->error < 0)) {
        failed_ = true;
        stop();
        return;
    }
    bytes_ += int64_t(p.data.size());
}

void TsRecorder::stop() {
    heldAudio_.clear();
    if (!oc_) return;
    av_write_trailer(oc_);
    close();
}

void TsRecorder::close() {
    if (oc_) {
        if (oc_->pb) avio_closep(&oc_->pb);
        avformat_free_context(oc_);
        oc_ = nullptr;
    }
    av_packet_free(&pkt_);
}

} // namespace kobal::render
