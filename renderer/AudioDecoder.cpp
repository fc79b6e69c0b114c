#include "AudioDecoder.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace kobal::render {

namespace {
constexpr int kRates[16] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050,
                            16000, 12000, 11025, 8000,  7350,  0,     0,     0};
}

bool parseAdts(const uint8_t* d, size_t n, AdtsInfo& info) {
    if (n < 7 || d[0] != 0xFF || (d[1] & 0xF6) != 0xF0) return false;
    const bool crc = (d[1] & 1) == 0;
    info.sampleRate = kRates[(d[2] >> 2) & 0x0F];
    info.channelConfig = ((d[2] & 1) << 2) | (d[3] >> 6);
    info.frameLength = ((d[3] & 3) << 11) | (d[4] << 3) | (d[5] >> 5);
    const size_t raw = crc ? 9 : 7;
    info.dualMono = false;
    if (n > raw && (info.channelConfig == 2 || info.channelConfig == 0)) {
        const int element = d[raw] >> 5; // 0 SCE, 1 CPE
        info.dualMono = element == 0;
    }
    return info.sampleRate > 0 && info.frameLength >= int(raw);
}

AudioDecoder::AudioDecoder() {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_AAC);
    if (!codec) return;
    ctx_ = avcodec_alloc_context3(codec);
    if (!ctx_) return;
    // Both programmes of a dual-mono frame come out; the choice is made here.
    AVDictionary* opts = nullptr;
    av_dict_set(&opts, "dual_mono_mode", "both", 0);
    if (avcodec_open2(ctx_, codec, &opts) < 0) avcodec_free_context(&ctx_);
    av_dict_free(&opts);
    pkt_ = av_packet_alloc();
    frame_ = av_frame_alloc();
}

AudioDecoder::~AudioDecoder() {
    swr_free(&swr_);
    av_frame_free(&frame_);
    av_packet_free(&pkt_);
    avcodec_free_context(&ctx_);
}

void AudioDecoder::flush() {
    if (ctx_) avcodec_flush_buffers(ctx_);
}

int AudioDecoder::decode(const uint8_t* data, size_t size, std::vector<int16_t>& out) {
    if (!ctx_ || !pkt_ || !frame_ || size < 7 || size > (1u << 20)) return 0;
    AdtsInfo info;
    if (parseAdts(data, size, info)) dualMono_ = info.dualMono;
    if (av_new_packet(pkt_, int(size)) < 0) return 0;
    std::memcpy(pkt_->data, data, size);
    int rc = avcodec_send_packet(ctx_, pkt_);
    av_packet_unref(pkt_);
    if (rc < 0) {
        ++dropped_;
        return 0;
    }
    int total = 0;
    while (avcodec_receive_frame(ctx_, frame_) >= 0) {
        const int channels = frame_->ch_layout.nb_channels;
        if (channels <= 0 || frame_->nb_samples <= 0 || frame_->sample_rate <= 0) {
            av_frame_unref(frame_);
            continue;
        }
        // Planar output (fltp): pointing both planes at one programme plays it on both sides.
        const uint8_t* planes[8] = {};
        for (int c = 0; c < channels && c < 8; ++c) planes[c] = frame_->extended_data[c];
        if (dualMono_ && channels == 2 && av_sample_fmt_is_planar(AVSampleFormat(frame_->format))) {
            const uint8_t* chosen = planes[channel_ == 2 ? 1 : 0];
            planes[0] = planes[1] = chosen;
        }
        if (!swr_ || swrRate_ != frame_->sample_rate || swrChannels_ != channels ||
            swrFormat_ != frame_->format) {
            swr_free(&swr_);
            AVChannelLayout outLayout = AV_CHANNEL_LAYOUT_STEREO;
            AVChannelLayout inLayout;
            av_channel_layout_default(&inLayout, channels);
            if (swr_alloc_set_opts2(&swr_, &outLayout, AV_SAMPLE_FMT_S16, kOutputRate, &inLayout,
                                    AVSampleFormat(frame_->format), frame_->sample_rate, 0,
                                    nullptr) < 0 ||
                swr_init(swr_) < 0) {
                swr_free(&swr_);
            }
            av_channel_layout_uninit(&inLayout);
            swrRate_ = frame_->sample_rate;
            swrChannels_ = channels;
            swrFormat_ = frame_->format;
        }
        if (!swr_) {
            av_frame_unref(frame_);
            ++dropped_;
            continue;
        }
        const int maxOut = swr_get_out_samples(swr_, frame_->nb_samples);
        if (maxOut <= 0) {
            av_frame_unref(frame_);
            continue;
        }
        const size_t base = out.size();
        out.resize(base + size_t(maxOut) * kOutputChannels);
        uint8_t* dst = reinterpret_cast<uint8_t*>(out.data() + base);
        const int got = swr_convert(swr_, &dst, maxOut, const_cast<const uint8_t**>(planes),
                                    frame_->nb_samples);
        out.resize(base + size_t(std::max(got, 0)) * kOutputChannels);
        total += std::max(got, 0);
        av_frame_unref(frame_);
    }
    return total;
}

} // namespace kobal::render
