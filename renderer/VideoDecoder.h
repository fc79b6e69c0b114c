#pragma once
// H.264 decoding (libavcodec) and scaling to the video window's size (libswscale).
// Weak reception is normal for a handheld receiver: a damaged access unit is decoded with the
// damage concealed by the decoder, and a missing one (marked by the source or the queue, or
// seen as a jump in the frame numbers) is stood in for by the last picture decoded, so the
// picture keeps moving. A lost IDR picture too: the pictures of its group are numbered on from
// the last picture decoded, so they take it as their reference. Decoding waits for an IDR
// picture only when there is no picture to conceal with: at the start and after a seek or
// flush.
#include "MediaTypes.h"

#include <QImage>
#include <cstdint>
#include <memory>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace kobal::render {

struct FrameDeleter {
    void operator()(AVFrame* f) const;
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

// Does this Annex B access unit hold an IDR slice (NAL type 5)?
bool containsIdr(const uint8_t* data, size_t size);
// Does it hold a NAL unit of this type?
bool containsNal(const uint8_t* data, size_t size, int type);

class VideoDecoder {
public:
    VideoDecoder();
    ~VideoDecoder();
    bool ok() const { return ctx_ != nullptr; }

    // Decodes one access unit; appends every finished picture (pts in microseconds, carried in
    // the frame's pts field). Units before the first IDR are skipped; afterGap: units were
    // lost before this one.
    void decode(const uint8_t* data, size_t size, int64_t ptsUs, bool key,
                std::vector<FramePtr>& out, bool afterGap = false);
    // Forget buffered pictures and wait for an IDR (seek, source change).
    void flush();
    size_t droppedUnits() const { return dropped_; }
    size_t decodedPictures() const { return decoded_; }
    size_t concealedPictures() const { return concealed_; }

    // Groups whose IDR was lost and whose pictures were numbered on from the last picture.
    size_t renumberedGroups() const { return renumbered_; }

private:
    struct SliceCheck {
        bool gap = false;            // frame numbers jumped: units were lost
        bool countRestarted = false; // the order count went back: an IDR was lost
    };
    // A slice header's frame number and order count, and where they sit (bit positions in
    // the payload without emulation prevention bytes).
    struct SliceNumbers {
        bool ok = false, field = false;
        int frameNum = 0, pocLsb = -1;
        size_t frameNumPos = 0, pocLsbPos = 0;
    };
    SliceNumbers readSliceNumbers(const uint8_t* payload, size_t size, bool idr) const;
    // Frame numbers of reference pictures follow each other, and order counts rise from the
    // last IDR; when they start again without one, the renumbering below begins.
    SliceCheck checkSlices(const uint8_t* data, size_t size);
    // The access unit with its slices' frame numbers and order counts moved on by the shifts.
    void renumber(const uint8_t* data, size_t size, std::vector<uint8_t>& out) const;
    bool parseSps(const uint8_t* payload, size_t size);
    bool send(const uint8_t* data, size_t size, int64_t ptsUs);

    AVCodecContext* ctx_ = nullptr;
    AVPacket* pkt_ = nullptr;
    bool waitIdr_ = true;
    bool haveReference_ = false; // a picture decoded since the last IDR wait began
    int log2MaxFrameNum_ = 0;    // 0: no parameter set read yet
    int pocType_ = 0;            // how pictures' order counts are made
    int log2MaxPocLsb_ = 0;      // 0: order counts are not sent
    bool gapsAllowed_ = false, separatePlanes_ = false, frameMbsOnly_ = true;
    int prevRefFrameNum_ = -1;
    int prevPocLsb_ = -1;
    // Added to the frame numbers and order counts of the pictures after a lost IDR, until the
    // next IDR.
    int frameNumShift_ = 0, pocLsbShift_ = 0;
    std::vector<uint8_t> renumberedUnit_;
    size_t dropped_ = 0, decoded_ = 0, concealed_ = 0, renumbered_ = 0;
};

// Converts decoded pictures into RGB32 images of a requested size. Keeps its scaler between
// calls while the sizes stay the same.
class PictureScaler {
public:
    ~PictureScaler();
    QImage scale(const AVFrame* frame, int width, int height);

private:
    SwsContext* sws_ = nullptr;
    int srcW_ = 0, srcH_ = 0, srcFmt_ = -1, dstW_ = 0, dstH_ = 0;
};

} // namespace kobal::render
