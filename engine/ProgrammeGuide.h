#pragma once
// The present/following programme guide of the tuned service: event records and programme
// lines decoded from EIT sections, and the ticker text built from them. Parse thread only.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kobal {

struct ProgrammeEvent {
    std::u16string title; // at most 511 characters
    int startHour = 0, startMinute = 0, startSecond = 0;
    int endHour = 0, endMinute = 0, endSecond = 0; // all six 0 for an open-ended event
    std::u16string description;                    // the event text as the programme line shows it
};

inline constexpr int kProgrammeEventCount = 96;
inline constexpr size_t kProgrammeTextMax = 511;
// The event text gets this many characters of the programme line.
inline constexpr size_t kProgrammeDescriptionMax = 81;

class ProgrammeGuide {
public:
    using Events = std::array<ProgrammeEvent, kProgrammeEventCount>;

    // Empties the records, the lines and the last ticker text.
    void clear();

    // Reads one EIT section from the start of `data` (at most `size` bytes are valid) and
    // stores the events of sections 0-2. Returns the offset where the section ends (where a
    // section behind it would start). `complete` is set when the whole event loop was read.
    size_t parseSection(const uint8_t* data, size_t size, bool* complete = nullptr);

    // Builds the ticker from lines 1-4; true when it differs from the last ticker text (which
    // it then replaces). An empty line 1 leaves everything as it is.
    bool rebuildTicker();

    // Records and lines by index 1-96; out-of-range indices give an empty record.
    const ProgrammeEvent& event(int index) const;
    const std::u16string& line(int index) const;
    const Events& events() const { return events_; }
    const std::u16string& ticker() const { return ticker_; }

private:
    void storeEvent(int index, ProgrammeEvent&& ev, std::u16string&& line);

    Events events_{};
    std::array<std::u16string, kProgrammeEventCount> lines_{};
    std::u16string ticker_;
};

} // namespace kobal
