#include "tuner/AvEncoders.h"

#include "tuner/StationCard.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <cmath>

namespace veltra {
namespace {

class BitWriter {
public:
    void put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) putBit((value >> i) & 1);
    }
    void putBit(int b) {
        if (count_ % 8 == 0) bytes_.push_back(0);
        if (b) bytes_.back() |= static_cast<uint8_t>(0x80 >> (count_ % 8));
        ++count_;
    }
    void copy(const std::vector<uint8_t>& src, size_t from, size_t bits) {
        for (size_t i = from; i < from + bits; ++i) putBit((src[i / 8] >> (7 - i % 8)) & 1);
    }
    size_t bits() const { return count_; }
    std::vector<uint8_t>& bytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    size_t count_ = 0;
};

int bitAt(const std::vector<uint8_t>& v, size_t i) {
    return (v[i / 8] >> (7 - i % 8)) & 1;
}

std::string avError(int rc) {
    char buf[128] = {};
    av_strerror(rc, buf, sizeof buf);
    return buf;
}

} // namespace

uint16_t adtsCrc16(const uint8_t* data, size_t bits, uint16_t crc) {
    for (size_t i = 0; i < bits; ++i) {
        const int bit = (data[i / 8] >> (7 - i % 8)) & 1;
        const int top = (crc >> 15) & 1;
        crc = static_cast<uint16_t>(crc << 1);
        if (top ^ bit) crc ^= 0x8005;
    }
    return crc;
}

std::vector<uint8_t> adtsFrame(const std::vector<std::pair<std::vector<uint8_t>, size_t>>& sces,
                               int channelConfig) {
    BitWriter raw;
    std::vector<std::pair<size_t, size_t>> spans; // element bits after the id
    for (size_t k = 0; k < sces.size(); ++k) {
        raw.put(0, 3); // single channel element
        const size_t start = raw.bits();
        raw.put(static_cast<uint32_t>(k), 4); // element instance tag
        raw.copy(sces[k].first, 4, sces[k].second - 4);
        spans.push_back({start, raw.bits() - start});
    }
    raw.put(7, 3); // END
    const size_t rawBytes = (raw.bits() + 7) / 8;
    std::vector<uint8_t>& rb = raw.bytes();

    const size_t length = 9 + rawBytes;
    std::vector<uint8_t> f(9);
    f[0] = 0xFF;
    f[1] = 0xF8; // MPEG-2, layer 0, CRC present
    f[2] = static_cast<uint8_t>(0x40 | 3 << 2 | (channelConfig >> 2 & 1)); // LC, 48 kHz
    f[3] = static_cast<uint8_t>((channelConfig & 3) << 6 | (length >> 11 & 3));
    f[4] = static_cast<uint8_t>(length >> 3);
    f[5] = static_cast<uint8_t>((length & 7) << 5 | 0x1F); // buffer fullness 0x7FF (VBR)
    f[6] = 0xFC;                                           // one raw data block
    // The check covers the header and the first 192 bits of each element (zero-padded).
    uint16_t crc = adtsCrc16(f.data(), 56);
    for (auto [start, bits] : spans) {
        BitWriter chunk;
        for (size_t i = 0; i < 192; ++i) chunk.putBit(i < bits ? bitAt(rb, start + i) : 0);
        crc = adtsCrc16(chunk.bytes().data(), 192, crc);
    }
    f[7] = static_cast<uint8_t>(crc >> 8);
    f[8] = static_cast<uint8_t>(crc);
    f.insert(f.end(), rb.begin(), rb.begin() + rawBytes);
    return f;
}

// ---------------------------------------------------------------- video

VideoEncoder::VideoEncoder() = default;

VideoEncoder::~VideoEncoder() {
    av_packet_free(&pkt_);
    av_frame_free(&frame_);
    avcodec_free_context(&ctx_);
}

bool VideoEncoder::open(int bitrate) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) {
        error_ = "libx264 encoder not available";
        return false;
    }
    ctx_ = avcodec_alloc_context3(codec);
    ctx_->width = kCardWidth;
    ctx_->height = kCardHeight;
    ctx_->time_base = {1, 15};
    ctx_->framerate = {15, 1};
    ctx_->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx_->gop_size = 15;
    ctx_->max_b_frames = 0;
    ctx_->bit_rate = bitrate;
    ctx_->rc_max_rate = bitrate * 3 / 2;
    ctx_->rc_buffer_size = bitrate;
    ctx_->thread_count = 1;
    ctx_->colorspace = AVCOL_SPC_SMPTE170M;
    ctx_->color_primaries = AVCOL_PRI_SMPTE170M;
    ctx_->color_trc = AVCOL_TRC_SMPTE170M;
    ctx_->color_range = AVCOL_RANGE_MPEG;
    av_opt_set(ctx_->priv_data, "preset", "ultrafast", 0);
    av_opt_set(ctx_->priv_data, "tune", "zerolatency", 0);
    av_opt_set(ctx_->priv_data, "profile", "baseline", 0);
    av_opt_set(ctx_->priv_data, "x264-params",
               "aud=1:repeat-headers=1:keyint=15:min-keyint=15:scenecut=0:annexb=1:log=-1", 0);
    const int rc = avcodec_open2(ctx_, codec, nullptr);
    if (rc < 0) {
        error_ = "cannot open libx264: " + avError(rc);
        avcodec_free_context(&ctx_);
        return false;
    }
    frame_ = av_frame_alloc();
    frame_->format = AV_PIX_FMT_YUV420P;
    frame_->width = kCardWidth;
    frame_->height = kCardHeight;
    if (av_frame_get_buffer(frame_, 0) < 0) {
        error_ = "out of memory";
        return false;
    }
    pkt_ = av_packet_alloc();
    return true;
}

std::vector<uint8_t> VideoEncoder::encode(const TestCard& card, int64_t index, long long wall) {
    std::vector<uint8_t> out;
    if (!ctx_ || av_frame_make_writable(frame_) < 0) return out;
    card.draw(frame_->data[0], frame_->linesize[0], frame_->data[1], frame_->linesize[1],
              frame_->data[2], frame_->linesize[2], index, static_cast<time_t>(wall));
    frame_->pts = index;
    frame_->pict_type = index % 15 == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    if (avcodec_send_frame(ctx_, frame_) < 0) return out;
    while (avcodec_receive_packet(ctx_, pkt_) == 0) {
        out.insert(out.end(), pkt_->data, pkt_->data + pkt_->size);
        av_packet_unref(pkt_);
    }
    return out;
}

// ---------------------------------------------------------------- audio

struct AudioEncoder::Channel {
    AVCodecContext* ctx = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* pkt = nullptr;
    double hz = 440;
    int64_t sample = 0;
    ~Channel() {
        av_packet_free(&pkt);
        av_frame_free(&frame);
        avcodec_free_context(&ctx);
    }
};

AudioEncoder::AudioEncoder() = default;
AudioEncoder::~AudioEncoder() = default;

bool AudioEncoder::open(double mainHz, double subHz) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!codec) {
        error_ = "AAC encoder not available";
        return false;
    }
    auto make = [&](double hz) -> std::unique_ptr<Channel> {
        auto ch = std::make_unique<Channel>();
        ch->hz = hz;
        ch->ctx = avcodec_alloc_context3(codec);
        ch->ctx->sample_rate = kSampleRate;
        ch->ctx->sample_fmt = AV_SAMPLE_FMT_FLTP;
        av_channel_layout_default(&ch->ctx->ch_layout, 1);
        ch->ctx->bit_rate = 48000;
        ch->ctx->profile = FF_PROFILE_AAC_LOW;
        ch->ctx->flags |= AV_CODEC_FLAG_BITEXACT; // no encoder banner in the first frame
        ch->ctx->thread_count = 1;
        const int rc = avcodec_open2(ch->ctx, codec, nullptr);
        if (rc < 0) {
            error_ = "cannot open AAC encoder: " + avError(rc);
            return nullptr;
        }
        ch->frame = av_frame_alloc();
        ch->frame->format = AV_SAMPLE_FMT_FLTP;
        ch->frame->nb_samples = kFrameSamples;
        ch->frame->sample_rate = kSampleRate;
        av_channel_layout_default(&ch->frame->ch_layout, 1);
        if (av_frame_get_buffer(ch->frame, 0) < 0) return nullptr;
        ch->pkt = av_packet_alloc();
        return ch;
    };
    auto periodic = [](double hz) {
        const double cycles = hz * kLoopFrames * kFrameSamples / kSampleRate;
        return hz <= 0 || std::fabs(cycles - std::round(cycles)) < 1e-9;
    };
    loops_ = periodic(mainHz) && periodic(subHz);
    main_ = make(mainHz);
    if (!main_) return false;
    if (subHz > 0) {
        sub_ = make(subHz);
        if (!sub_) return false;
    }
    return true;
}

// One raw AAC frame of a mono encoder: a single channel element followed by END.
std::vector<uint8_t> AudioEncoder::rawFrame(Channel& ch) {
    for (int guard = 0; guard < 8; ++guard) {
        if (avcodec_receive_packet(ch.ctx, ch.pkt) == 0) {
            std::vector<uint8_t> raw(ch.pkt->data, ch.pkt->data + ch.pkt->size);
            av_packet_unref(ch.pkt);
            return raw;
        }
        if (av_frame_make_writable(ch.frame) < 0) break;
        float* s = reinterpret_cast<float*>(ch.frame->data[0]);
        for (int i = 0; i < kFrameSamples; ++i, ++ch.sample)
            s[i] = static_cast<float>(
                0.3 * std::sin(2 * M_PI * ch.hz * static_cast<double>(ch.sample) / kSampleRate));
        ch.frame->pts = ch.sample - kFrameSamples;
        if (avcodec_send_frame(ch.ctx, ch.frame) < 0) break;
    }
    return {};
}

std::vector<uint8_t> AudioEncoder::next() {
    if (loops_ && static_cast<int>(loop_.size()) == kLoopFrames)
        return loop_[(produced_++) % kLoopFrames];
    std::vector<uint8_t> frame = encodeNext();
    if (frame.empty()) return frame;
    ++produced_;
    if (loops_ && produced_ > kLoopFrames) {
        loop_.push_back(frame);
        if (static_cast<int>(loop_.size()) == kLoopFrames) {
            // The encoders are no longer needed.
            main_.reset();
            sub_.reset();
        }
    }
    return frame;
}

std::vector<uint8_t> AudioEncoder::encodeNext() {
    if (!main_) return {};
    std::vector<std::pair<std::vector<uint8_t>, size_t>> sces;
    for (Channel* ch : {main_.get(), sub_.get()}) {
        if (!ch) continue;
        std::vector<uint8_t> raw = rawFrame(*ch);
        if (raw.empty()) return {};
        // The frame is SCE ... END then zero padding: the last set bit ends END.
        size_t last = raw.size() * 8;
        while (last > 0 && !bitAt(raw, last - 1)) --last;
        if (last < 3 + 7 || (raw[0] >> 5) != 0) {
            error_ = "unexpected AAC element layout";
            return {};
        }
        // Element bits after the 3-bit id, up to END.
        BitWriter w;
        w.copy(raw, 3, last - 3 - 3);
        sces.push_back({w.bytes(), w.bits()});
    }
    return adtsFrame(sces, sub_ ? 2 : 1);
}

} // namespace veltra
