#pragma once
// A record of everything the service information reader handed to its host (status lines,
// tickers, programme list rebuilds, caption screens), written out as JSON by the tools.
// Its calls may come from the parse thread while another thread reads it.
#include "engine/Caption.h"
#include "engine/ProgrammeGuide.h"
#include "platform/Utf.h"

#include <array>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kobal {

class ServiceInfoLog {
public:
    void status(const std::u16string& text);
    void ticker(const std::u16string& text);
    void programmeList(const ProgrammeGuide& guide); // keeps the records and lines as they are
    void caption(const CaptionBlock& block);

    // The JSON object members "service_name", "status_lines", "programmes", "programme_lines",
    // "tickers" and "captions", each on its own line after `indent`, comma-separated, without
    // the enclosing braces and without a trailing comma.
    std::string jsonMembers(const std::string& indent = "  ") const;

private:
    static constexpr size_t kMaxEntries = 100000; // a long run stops recording, never grows

    struct Caption {
        struct Line {
            std::u16string text;
            int colour, clear, returnFlag, wait;
        };
        std::vector<Line> lines;
    };

    mutable std::mutex mutex_;
    std::u16string serviceName_;
    std::vector<std::u16string> status_, tickers_;
    ProgrammeGuide::Events events_{};
    std::array<std::u16string, kProgrammeEventCount> lines_{};
    std::vector<Caption> captions_;
};

// A JSON string literal of the text, quoted.
std::string jsonQuote(std::u16string_view s);

} // namespace kobal
