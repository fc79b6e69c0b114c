#pragma once
// An animated GIF cut into one small GIF per frame, so that the image reader decodes each
// frame on its own and the control times, composes and disposes them itself. The bytes come
// from outside: every read is bounded, a damaged file keeps the frames read before the damage,
// and the frame count is capped. Any thread.
#include <QByteArray>
#include <QRgb>

#include <vector>

namespace kobal {

struct GifFrameBytes {
    QByteArray gif; // header and global colour table, the frame's blocks, trailer
    int left = 0, top = 0, width = 0, height = 0; // from the image descriptor
    int delay = 0;    // hundredths of a second, from the graphic control extension
    int disposal = 0; // bits 2-4 of the extension's packed byte
};

struct GifSplit {
    bool isGif = false; // the data begins with "GIF"
    int screenWidth = 0, screenHeight = 0;
    int globalTableLength = 0; // bytes
    bool hasBackground = false;
    QRgb background = 0;               // the global table's entry at the background index
    int frameCount = 0;                // frames found (a lone frame is not cut)
    std::vector<GifFrameBytes> frames; // filled only for two or more frames
};

constexpr int kMaxGifFrames = 1024;

GifSplit splitGif(const QByteArray& data);

// Milliseconds a frame stays: delay × 10, but 100 for delays of 0 to 4.
inline int gifFrameMillis(int delay) {
    return delay > 4 ? delay * 10 : 100;
}

} // namespace kobal
