#pragma once
// Writes an animated GIF (GIF89a, looping) from pictures: each frame with its own colour
// table (exact when it has at most 255 colours, else the 255 most used), fully transparent
// pixels as the transparent index, real LZW. Used by the skin generator and by tests that
// need GIF bytes.
#include <QByteArray>
#include <QImage>

#include <vector>

namespace kobal {

struct GifWriterFrame {
    QImage image; // the frame's pixels; drawn at (left, top) of the logical screen
    int left = 0, top = 0;
    int delay = 10;   // hundredths of a second
    int disposal = 1; // 0 none, 1 keep, 2 background, 3 previous
};

QByteArray writeGif(int screenWidth, int screenHeight, const std::vector<GifWriterFrame>& frames,
                    bool loop = true);

} // namespace kobal
