#pragma once
// Writes the received H.264 access units and ADTS frames into an MPEG transport stream
// (libavformat), so a ".rec" file is an ordinary TS that other players open too. Writing
// begins at the first IDR picture; sound for its time that came before it (a picture's record
// follows the next picture's arrival) is held back until then, so the file's sound starts
// with its picture. A write error (disk full, file gone) ends the recording
// cleanly: the file is closed and what was written stays playable.
// Used from the link source's reader thread only.
#include "MediaTypes.h"

#include <deque>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVPacket;

namespace kobal::render {

class TsRecorder {
public:
    ~TsRecorder();
    // videoConfig: SPS and PPS with start codes; adtsHeader: the stream's first 7 header bytes.
    // False when the file cannot be created (nothing is left behind).
    bool start(const std::string& path, const std::vector<uint8_t>& videoConfig,
               const std::vector<uint8_t>& adtsHeader);
    void write(const MediaPacket& p);
    void stop();
    bool active() const { return oc_ != nullptr; }
    bool failed() const { return failed_; }
    int64_t bytesWritten() const { return bytes_; }
    const std::string& path() const { return path_; }

private:
    void close();
    void writePacket(const MediaPacket& p);
    AVFormatContext* oc_ = nullptr;
    AVPacket* pkt_ = nullptr;
    std::string path_;
    bool started_ = false; // first IDR written
    bool failed_ = false;
    int64_t baseUs_ = 0;
    int64_t lastTs_[2] = {INT64_MIN, INT64_MIN};
    int64_t bytes_ = 0;
    std::deque<MediaPacket> heldAudio_; // before the first IDR, bounded
};

} // namespace kobal::render
