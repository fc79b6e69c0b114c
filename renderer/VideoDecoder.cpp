#include "VideoDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace kobal::render {

void FrameDeleter::operator()(AVFrame* f) const {
    av_frame_free(&f);
}

bool containsIdr(const uint8_t* d, size_t n) {
    return containsNal(d, n, 5);
}

bool containsNal(const uint8_t* d, size_t n, int type) {
    for (size_t i = 0; i + 3 < n; ++i) {
        if (d[i] == 0 && d[i + 1] == 0 && d[i + 2] == 1) {
            if ((d[i + 3] & 0x1F) == type) return true;
            i += 2;
        }
    }
    return false;
}

VideoDecoder::VideoDecoder() {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (!codec) return;
    ctx_ = avcodec_alloc_context3(codec);
    if (!ctx_) return;
    // One-segment pictures are small: frame threads would only add latency.
    ctx_->thread_count = 1;
    ctx_->flags |= AV_CODEC_FLAG_LOW_DELAY;
    ctx_->err_recognition = 0;
    if (avcodec_open2(ctx_, codec, nullptr) < 0) {
        avcodec_free_context(&ctx_);
        return;
    }
    pkt_ = av_packet_alloc();
}

VideoDecoder::~VideoDecoder() {
    av_packet_free(&pkt_);
    avcodec_free_context(&ctx_);
}

void VideoDecoder::flush() {
    if (ctx_) avcodec_flush_buffers(ctx_);
    waitIdr_ = true;
}

void VideoDecoder::decode(const uint8_t* data, size_t size, int64_t ptsUs, bool key,
                          std::vector<FramePtr>& out, bool afterGap) {
    if (!ctx_ || !pkt_ || size == 0 || size > (64u << 20)) return;
    if (afterGap) waitIdr_ = true;
    if (waitIdr_) {
        if (!key && !containsIdr(data, size)) {
            ++dropped_;
            return;
        }
        waitIdr_ = false;
    }
    // The decoder reads up to AV_INPUT_BUFFER_PADDING_SIZE past the end: give it a padded copy.
    if (av_new_packet(pkt_, int(size)) < 0) return;
    std::memcpy(pkt_->data, data, size);
    pkt_->pts = ptsUs;
    pkt_->dts = ptsUs;
    int rc = avcodec_send_packet(ctx_, pkt_);
    av_packet_unref(pkt_);
    if (rc < 0 && rc != AVERROR(EAGAIN)) {
        ++dropped_;
        flush();
        return;
    }
    for (;;) {
        AVFrame* f = av_frame_alloc();
        if (!f) return;
        rc = avcodec_receive_frame(ctx_, f);
        if (rc < 0) {
            av_frame_free(&f);
            break;
        }
        if (f->decode_error_flags || (f->flags & AV_FRAME_FLAG_CORRUPT)) {
            // A damaged picture: drop it and start again at the next IDR.
            av_frame_free(&f);
            ++dropped_;
            waitIdr_ = true;
            continue;
        }
        f->pts = f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
        ++decoded_;
        out.emplace_back(f);
    }
}

PictureScaler::~PictureScaler() {
    sws_freeContext(sws_);
}

QImage PictureScaler::scale(const AVFrame* f, int w, int h) {
    if (!f || f->width <= 0 || f->height <= 0) return {};
    if (w <= 0 || h <= 0) {
        w = f->width;
        h = f->height;
    }
    w = std::min(w, 7680);
    h = std::min(h, 4320);
    if (!sws_ || srcW_ != f->width || srcH_ != f->height || srcFmt_ != f->format || dstW_ != w ||
        dstH_ != h) {
        sws_freeContext(sws_);
        sws_ = sws_getContext(f->width, f->height, AVPixelFormat(f->format), w, h, AV_PIX_FMT_BGRA,
                              SWS_BILINEAR, nullptr, nullptr, nullptr);
        srcW_ = f->width;
        srcH_ = f->height;
        srcFmt_ = f->format;
        dstW_ = w;
        dstH_ = h;
    }
    if (!sws_) return {};
    QImage img(w, h, QImage::Format_RGB32);
    if (img.isNull()) return {};
    uint8_t* dst[4] = {img.bits(), nullptr, nullptr, nullptr};
    int stride[4] = {int(img.bytesPerLine()), 0, 0, 0};
    sws_scale(sws_, f->data, f->linesize, 0, f->height, dst, stride);
    return img;
}

} // namespace kobal::render
