#include "VideoDecoder.h"

#include <algorithm>
#include <cstdint>

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

namespace {
// NAL unit payload without its emulation prevention bytes, cut at `most` bytes (appendEscaped
// puts them back).
std::vector<uint8_t> unescape(const uint8_t* d, size_t n, size_t most = SIZE_MAX) {
    std::vector<uint8_t> out;
    out.reserve(std::min(n, most));
    int zeros = 0;
    for (size_t i = 0; i < n && out.size() < most; ++i) {
        if (zeros >= 2 && d[i] == 3) {
            zeros = 0;
            continue;
        }
        out.push_back(d[i]);
        zeros = d[i] == 0 ? zeros + 1 : 0;
    }
    return out;
}

// Exp-Golomb fields of a NAL unit's payload, read after emulation prevention bytes are taken
// out; only the start of a unit is ever needed. Reading past the end yields zeros and marks
// the reader bad.
class BitReader {
public:
    BitReader(const uint8_t* d, size_t n) : rbsp_(unescape(d, n, kMaxBytes)) {}
    bool ok() const { return !bad_; }
    size_t position() const { return pos_; }
    uint32_t bit() {
        if (pos_ >= rbsp_.size() * 8) {
            bad_ = true;
            return 0;
        }
        const uint32_t b = (rbsp_[pos_ / 8] >> (7 - pos_ % 8)) & 1;
        ++pos_;
        return b;
    }
    uint32_t bits(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = (v << 1) | bit();
        return v;
    }
    uint32_t ue() {
        int zeros = 0;
        while (!bad_ && bit() == 0) {
            if (++zeros > 31) {
                bad_ = true;
                return 0;
            }
        }
        return zeros ? ((1u << zeros) - 1 + bits(zeros)) : 0;
    }
    int32_t se() {
        const uint32_t k = ue();
        return (k & 1) ? int32_t((k + 1) / 2) : -int32_t(k / 2);
    }

private:
    static constexpr size_t kMaxBytes = 512;
    std::vector<uint8_t> rbsp_;
    size_t pos_ = 0;
    bool bad_ = false;
};

void appendEscaped(const std::vector<uint8_t>& rbsp, std::vector<uint8_t>& out) {
    int zeros = 0;
    for (uint8_t b : rbsp) {
        if (zeros >= 2 && b <= 3) {
            out.push_back(3);
            zeros = 0;
        }
        out.push_back(b);
        zeros = b == 0 ? zeros + 1 : 0;
    }
}

void writeBits(std::vector<uint8_t>& rbsp, size_t pos, int n, uint32_t value) {
    for (int i = n - 1; i >= 0; --i, ++pos) {
        const uint8_t mask = uint8_t(0x80 >> (pos % 8));
        if ((value >> i) & 1)
            rbsp[pos / 8] |= mask;
        else
            rbsp[pos / 8] &= uint8_t(~mask);
    }
}

void skipScalingList(BitReader& r, int size) {
    int last = 8, next = 8;
    for (int j = 0; j < size && r.ok(); ++j) {
        if (next != 0) next = (last + r.se() + 256) % 256;
        if (next != 0) last = next;
    }
}
} // namespace

bool VideoDecoder::parseSps(const uint8_t* p, size_t n) {
    BitReader r(p, n);
    const uint32_t profile = r.bits(8);
    r.bits(16); // constraint flags, level
    r.ue();     // id
    bool separatePlanes = false;
    if (profile == 100 || profile == 110 || profile == 122 || profile == 244 || profile == 44 ||
        profile == 83 || profile == 86 || profile == 118 || profile == 128 || profile == 138 ||
        profile == 139 || profile == 134 || profile == 135) {
        const uint32_t chroma = r.ue();
        if (chroma == 3) separatePlanes = r.bit();
        r.ue(); // bit depths
        r.ue();
        r.bit();
        if (r.bit()) {
            for (int i = 0; i < (chroma != 3 ? 8 : 12) && r.ok(); ++i)
                if (r.bit()) skipScalingList(r, i < 6 ? 16 : 64);
        }
    }
    const uint32_t log2MaxFrameNum = r.ue() + 4;
    const uint32_t pocType = r.ue();
    uint32_t log2MaxPocLsb = 0;
    if (pocType == 0) {
        log2MaxPocLsb = r.ue() + 4;
    } else if (pocType == 1) {
        r.bit();
        r.se();
        r.se();
        const uint32_t cycle = r.ue();
        if (cycle > 255) return false;
        for (uint32_t i = 0; i < cycle; ++i) r.se();
    }
    r.ue(); // reference frames
    const bool gapsAllowed = r.bit();
    r.ue(); // width and height in macroblocks
    r.ue();
    const bool frameMbsOnly = r.bit();
    if (!r.ok() || log2MaxFrameNum > 16 || pocType > 2 || log2MaxPocLsb > 16) return false;
    log2MaxFrameNum_ = int(log2MaxFrameNum);
    log2MaxPocLsb_ = pocType == 0 ? int(log2MaxPocLsb) : 0;
    pocType_ = int(pocType);
    gapsAllowed_ = gapsAllowed;
    separatePlanes_ = separatePlanes;
    frameMbsOnly_ = frameMbsOnly;
    prevPocLsb_ = -1;
    return true;
}

VideoDecoder::SliceNumbers VideoDecoder::readSliceNumbers(const uint8_t* payload, size_t left,
                                                          bool idr) const {
    SliceNumbers s;
    BitReader r(payload, left);
    r.ue(); // first macroblock
    r.ue(); // slice type
    r.ue(); // picture parameter set
    if (separatePlanes_) r.bits(2);
    s.frameNumPos = r.position();
    s.frameNum = int(r.bits(log2MaxFrameNum_));
    if (!frameMbsOnly_ && (s.field = r.bit())) r.bit();
    if (idr) r.ue(); // IDR picture id
    if (log2MaxPocLsb_) {
        s.pocLsbPos = r.position();
        s.pocLsb = int(r.bits(log2MaxPocLsb_));
    }
    s.ok = r.ok();
    return s;
}

VideoDecoder::SliceCheck VideoDecoder::checkSlices(const uint8_t* d, size_t n) {
    SliceCheck check;
    for (size_t i = 0; i + 3 < n; ++i) {
        if (d[i] != 0 || d[i + 1] != 0 || d[i + 2] != 1) continue;
        const uint8_t header = d[i + 3];
        const int type = header & 0x1F;
        const uint8_t* payload = d + i + 4;
        const size_t left = n - (i + 4);
        if (type == 7) {
            if (!parseSps(payload, left)) log2MaxFrameNum_ = 0;
        } else if (type == 1 || type == 5) {
            // The first slice tells the picture's frame number and order count.
            if (log2MaxFrameNum_ == 0) return check;
            const SliceNumbers s = readSliceNumbers(payload, left, type == 5);
            if (!s.ok) return check;
            const bool reference = (header >> 5) & 3;
            if (type == 5) {
                frameNumShift_ = pocLsbShift_ = 0;
                prevRefFrameNum_ = 0;
                prevPocLsb_ = s.pocLsb;
                return check;
            }
            // Numbers as the decoder is given them (renumbered after a lost IDR).
            const int maxFrameNum = 1 << log2MaxFrameNum_;
            const int maxPocLsb = log2MaxPocLsb_ ? 1 << log2MaxPocLsb_ : 1;
            int frameNum = (s.frameNum + frameNumShift_) % maxFrameNum;
            int pocLsb = s.pocLsb >= 0 ? (s.pocLsb + pocLsbShift_) % maxPocLsb : -1;
            const int next = prevRefFrameNum_ >= 0 ? (prevRefFrameNum_ + 1) % maxFrameNum : -1;
            if (!gapsAllowed_ && prevRefFrameNum_ >= 0) {
                // A picture numbers itself one past the last reference picture (the same for
                // the second field of a pair). Frame number 1 also follows a picture that
                // reset the numbering.
                check.gap = frameNum != prevRefFrameNum_ && frameNum != next && frameNum != 1;
            }
            // Pictures count upwards from their IDR, and the decoder shows them in that order.
            // When the IDR that restarted the count was lost, the count goes back: sent counts
            // read smaller (within half their range), and counts made from frame numbers miss
            // the wrap hidden in the gap. The decoder would then hold every picture up to the
            // next IDR back as out of order.
            if (pocLsb >= 0 && prevPocLsb_ >= 0 && !s.field) {
                const int half = maxPocLsb / 2;
                check.countRestarted = (pocLsb < prevPocLsb_ && prevPocLsb_ - pocLsb < half) ||
                                       (pocLsb > prevPocLsb_ && pocLsb - prevPocLsb_ > half);
            } else if (pocType_ == 2 && prevRefFrameNum_ >= 0) {
                check.countRestarted =
                    frameNum > 0 && frameNum < prevRefFrameNum_ && frameNum != next;
            }
            if (check.countRestarted && !s.field) {
                // The group goes on from the last picture decoded: its pictures are numbered
                // as if they followed it, so they take it as their reference and count on.
                frameNumShift_ = (frameNumShift_ + next - frameNum + maxFrameNum) % maxFrameNum;
                frameNum = next;
                if (pocLsb >= 0 && prevPocLsb_ >= 0) {
                    const int want = (prevPocLsb_ + 2) % maxPocLsb;
                    pocLsbShift_ = (pocLsbShift_ + want - pocLsb + maxPocLsb) % maxPocLsb;
                    pocLsb = want;
                }
                check.gap = false;
            }
            if (reference) {
                prevRefFrameNum_ = frameNum;
                if (pocLsb >= 0) prevPocLsb_ = pocLsb;
            }
            return check;
        }
        i += 2;
    }
    return check;
}

void VideoDecoder::renumber(const uint8_t* d, size_t n, std::vector<uint8_t>& out) const {
    out.clear();
    out.reserve(n + 16);
    const int maxFrameNum = 1 << log2MaxFrameNum_;
    const int maxPocLsb = log2MaxPocLsb_ ? 1 << log2MaxPocLsb_ : 1;
    size_t copied = 0;
    for (size_t i = 0; i + 3 < n; ++i) {
        if (d[i] != 0 || d[i + 1] != 0 || d[i + 2] != 1) continue;
        const size_t begin = i + 4; // after the NAL header byte
        size_t end = begin;
        while (end + 2 < n && !(d[end] == 0 && d[end + 1] == 0 && d[end + 2] <= 1)) ++end;
        if (end + 2 >= n) end = n;
        while (end > begin && d[end - 1] == 0) --end; // zeros of the next start code stay
        if ((d[i + 3] & 0x1F) == 1 && end > begin) {
            const SliceNumbers s = readSliceNumbers(d + begin, end - begin, false);
            if (s.ok) {
                std::vector<uint8_t> rbsp = unescape(d + begin, end - begin);
                writeBits(rbsp, s.frameNumPos, log2MaxFrameNum_,
                          uint32_t((s.frameNum + frameNumShift_) % maxFrameNum));
                if (s.pocLsb >= 0)
                    writeBits(rbsp, s.pocLsbPos, log2MaxPocLsb_,
                              uint32_t((s.pocLsb + pocLsbShift_) % maxPocLsb));
                out.insert(out.end(), d + copied, d + begin);
                appendEscaped(rbsp, out);
                copied = end;
            }
        }
        i = end > i + 2 ? end - 1 : i + 2;
    }
    out.insert(out.end(), d + copied, d + n);
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
    haveReference_ = false;
    prevRefFrameNum_ = -1;
    prevPocLsb_ = -1;
    frameNumShift_ = pocLsbShift_ = 0;
}

bool VideoDecoder::send(const uint8_t* data, size_t size, int64_t ptsUs) {
    // The decoder reads up to AV_INPUT_BUFFER_PADDING_SIZE past the end: give it a padded copy.
    if (av_new_packet(pkt_, int(size)) < 0) return false;
    std::memcpy(pkt_->data, data, size);
    pkt_->pts = ptsUs;
    pkt_->dts = ptsUs;
    const int rc = avcodec_send_packet(ctx_, pkt_);
    av_packet_unref(pkt_);
    return rc >= 0 || rc == AVERROR(EAGAIN);
}

void VideoDecoder::decode(const uint8_t* data, size_t size, int64_t ptsUs, bool key,
                          std::vector<FramePtr>& out, bool afterGap) {
    if (!ctx_ || !pkt_ || size == 0 || size > (64u << 20)) return;
    // A unit lost before this one (marked by whoever lost it, or seen in the frame numbers):
    // the decoder stands the last picture it has in for the missing reference, which on a
    // weak signal looks far better than a picture frozen until the next IDR. Only when it
    // holds no picture of this stream yet is there nothing to conceal with.
    const SliceCheck check = checkSlices(data, size);
    if ((check.gap || afterGap) && !haveReference_) waitIdr_ = true;
    const bool idr = key || containsIdr(data, size);
    if (waitIdr_) {
        if (!idr) {
            ++dropped_;
            return;
        }
        waitIdr_ = false;
    }
    if (check.countRestarted) ++renumbered_;
    if (!idr && (frameNumShift_ || pocLsbShift_)) {
        renumber(data, size, renumberedUnit_);
        data = renumberedUnit_.data();
        size = renumberedUnit_.size();
    }
    if (!send(data, size, ptsUs)) {
        // Nothing of it could be used: a missing unit, as far as the pictures after it go.
        ++dropped_;
        return;
    }
    for (;;) {
        AVFrame* f = av_frame_alloc();
        if (!f) return;
        const int rc = avcodec_receive_frame(ctx_, f);
        if (rc < 0) {
            av_frame_free(&f);
            break;
        }
        // A damaged picture comes with the damaged parts concealed: show it.
        if (f->decode_error_flags || (f->flags & AV_FRAME_FLAG_CORRUPT)) ++concealed_;
        f->pts = f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
        ++decoded_;
        haveReference_ = true;
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
