#pragma once
// The player's view of a media graph: positions and durations in tenths of a second, seeking
// only where the graph can seek absolutely both ways. The graph itself is built and released
// by the main window's worker; this wrapper holds a reference for the UI thread's calls.
#include <cstdint>
#include <memory>

namespace kobal::render {
class MediaGraph;
}

namespace kobal::media {

class CPlayerGraph {
public:
    explicit CPlayerGraph(std::shared_ptr<render::MediaGraph> graph) : graph_(std::move(graph)) {}

    bool valid() const { return graph_ != nullptr; }
    int64_t GetDuration() const;             // tenths; 0 when unknown
    bool GetPosition(int64_t* tenths) const; // false when the graph cannot tell
    bool Seek(int64_t tenths);               // false when it cannot seek absolutely
    // Seek bar: position = duration ÷ track width × thumb, in tenths.
    static int64_t seekTarget(int64_t durationTenths, int trackWidth, int thumb);

private:
    std::shared_ptr<render::MediaGraph> graph_;
};

} // namespace kobal::media
