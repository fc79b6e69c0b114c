#pragma once
// The simulator's picture and sound: H.264 baseline through libx264 (access unit delimiters,
// SPS and PPS before every IDR, an IDR every second) and AAC-LC in MPEG-2 ADTS with CRC, mono
// or dual mono (two single channel elements under channel configuration 2, the way bilingual
// one-segment programmes are coded).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace veltra {

class TestCard;

class VideoEncoder {
public:
    VideoEncoder();
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // 320x180, 15 fps, about `bitrate` bit/s. False when libx264 is missing.
    bool open(int bitrate = 180000);
    // Encodes frame `index` of the card (showing local time `wall`) and returns its access
    // unit in Annex B form (empty on failure).
    std::vector<uint8_t> encode(const TestCard& card, int64_t index, long long wall);
    const std::string& error() const { return error_; }

private:
    AVCodecContext* ctx_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* pkt_ = nullptr;
    std::string error_;
};

class AudioEncoder {
public:
    static constexpr int kSampleRate = 48000;
    static constexpr int kFrameSamples = 1024;

    AudioEncoder();
    ~AudioEncoder();
    AudioEncoder(const AudioEncoder&) = delete;
    AudioEncoder& operator=(const AudioEncoder&) = delete;

    // A steady tone of mainHz; with subHz > 0 a dual-mono pair (main, sub).
    bool open(double mainHz, double subHz);
    // The next ADTS frame (header with CRC included), 1024 samples; empty on failure.
    std::vector<uint8_t> next();
    const std::string& error() const { return error_; }

private:
    struct Channel;
    std::vector<uint8_t> rawFrame(Channel& ch);
    std::vector<uint8_t> encodeNext();
    std::unique_ptr<Channel> main_, sub_;
    // A tone whose cycles fit a whole number of times into kLoopFrames frames repeats exactly,
    // so one period of coded frames, taken once the encoder has settled, loops seamlessly.
    static constexpr int kLoopFrames = 15;
    bool loops_ = false;
    int64_t produced_ = 0;
    std::vector<std::vector<uint8_t>> loop_;
    std::string error_;
};

// ADTS frame (MPEG-2, AAC LC, 48 kHz, with CRC) around raw data of the given elements. Each
// element is (bits, bit count) of one single channel element without its 3-bit element id;
// they are coded with element ids and instance tags 0, 1, ... and an END element.
std::vector<uint8_t> adtsFrame(const std::vector<std::pair<std::vector<uint8_t>, size_t>>& sces,
                               int channelConfig);

// CRC-16 of ADTS error checks (polynomial 0x8005, initial all ones) over `bits` bits.
uint16_t adtsCrc16(const uint8_t* data, size_t bits, uint16_t crc = 0xFFFF);

} // namespace veltra
