// Animated GIFs: cut into single-frame GIFs; each cut frame must cut again as one frame.
#include "ui/GifSplitter.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const kobal::GifSplit split =
        kobal::splitGif(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    for (const kobal::GifFrameBytes& frame : split.frames)
        if (kobal::splitGif(frame.gif).frameCount != 1) std::abort();
    return 0;
}
