#pragma once
// The simulator's test card: each station of an area airs its own background colour, the
// station name, the physical channel, a running clock and a moving square. Tests that look at
// decoded pictures compare the background (the corners and most of the frame) with
// stationCardColour.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace veltra {

struct CardColour {
    uint8_t r = 0, g = 0, b = 0;
};

// Background colour of the card that the station on `slot` of `area` airs (distinct within an
// area); a neutral grey for a slot that has no preset station in the area.
CardColour stationCardColour(int area, int slot);

inline constexpr int kCardWidth = 320;
inline constexpr int kCardHeight = 180;

// Draws the card of one station into 4:2:0 planes, frame by frame.
class TestCard {
public:
    // Renders the constant part once (background and name; the name needs a running
    // QGuiApplication, without one the card shows no name).
    TestCard(CardColour colour, const std::u16string& name, int physicalChannel);

    // Frame `frameIndex` showing the local time `wall`: constant part, the channel number and
    // clock as segment digits, and the square, which moves 4 pixels per frame.
    void draw(uint8_t* y, int yStride, uint8_t* u, int uStride, uint8_t* v, int vStride,
              int64_t frameIndex, time_t wall) const;

    // Left edge of the moving square in frame n (so tests can tell moments apart).
    static int squareX(int64_t frameIndex);

private:
    std::vector<uint8_t> y_, u_, v_;
    int physical_;
};

} // namespace veltra
