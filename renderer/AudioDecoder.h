#pragma once
// AAC decoding (libavcodec; ADTS frames, HE-AAC included) into 16-bit stereo at 48 kHz, with
// dual-mono handling: a frame whose ADTS header announces two channels but whose first
// syntax element is a single channel element carries two independent mono programmes (main
// and sub); the chosen one is played on both speakers.
#include <cstddef>
#include <cstdint>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;

namespace kobal::render {

inline constexpr int kOutputRate = 48000;
inline constexpr int kOutputChannels = 2;

// Reads what the ADTS header tells; false when data does not start with a usable header.
struct AdtsInfo {
    int sampleRate = 0;
    int channelConfig = 0;
    int frameLength = 0;
    bool dualMono = false;
};
bool parseAdts(const uint8_t* data, size_t size, AdtsInfo& info);

class AudioDecoder {
public:
    AudioDecoder();
    ~AudioDecoder();
    bool ok() const { return ctx_ != nullptr; }

    // Decodes one ADTS frame; appends interleaved stereo samples to out. Returns the number of
    // sample frames appended (0 when the frame could not be decoded and was dropped).
    int decode(const uint8_t* data, size_t size, std::vector<int16_t>& out);
    void flush();

    // 1 main, 2 sub (command 0x109).
    void setChannel(int channel) { channel_ = channel == 2 ? 2 : 1; }
    int channel() const { return channel_; }
    // 0 single audio, 1 dual mono playing main, 2 dual mono playing sub.
    int audioMode() const { return dualMono_ ? channel_ : 0; }
    size_t droppedFrames() const { return dropped_; }

private:
    AVCodecContext* ctx_ = nullptr;
    AVPacket* pkt_ = nullptr;
    AVFrame* frame_ = nullptr;
    SwrContext* swr_ = nullptr;
    int swrRate_ = 0, swrChannels_ = 0, swrFormat_ = -1;
    int channel_ = 1;
    bool dualMono_ = false;
    size_t dropped_ = 0;
};

} // namespace kobal::render
