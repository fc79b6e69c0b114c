#pragma once
// Decoding of broadcast text in the ARIB 8-bit coding (service names, programme titles and
// descriptions) into UTF-16. Pure functions; safe on any bytes.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kobal {

// Output areas hold this many characters (plus a terminator in the C layout).
inline constexpr size_t kAribTextMax = 511;

enum class AribFlavor {
    Title,       // programme decoder, names and titles: spaces and CR are dropped
    Description, // programme decoder, event text: 0x20 and 0x0D each give a space
    Service,     // SDT decoder: the service name of the status line
    // What a receiver reports as a channel's name (the tuner's scan results): the programme
    // decoder's shifts, but plain JIS X 0208 (fullwidth letters stay fullwidth), the kana
    // rows' own tail symbols, spaces and line ends kept, control parameters skipped, U+3000
    // for a code without a character.
    Receiver,
};

// Decodes at most kAribTextMax input bytes from the initial state (GL kanji, GR hiragana) and
// returns at most kAribTextMax characters, ending at the first U+0000 the bytes produce.
std::u16string decodeAribText(const uint8_t* data, size_t size, AribFlavor flavor);

// How many parameter bytes follow a control code, so that a parameter (often a letter, such as
// 0x48 after COL) is never taken for a character. `next` is the byte after the code, or -1 at
// the end. The receiver flavour and the caption walk skip parameters with it.
size_t aribControlParameters(unsigned code, int next);

inline std::u16string decodeAribProgramme(const uint8_t* data, size_t size, bool description) {
    return decodeAribText(data, size, description ? AribFlavor::Description : AribFlavor::Title);
}
inline std::u16string decodeAribService(const uint8_t* data, size_t size) {
    return decodeAribText(data, size, AribFlavor::Service);
}

} // namespace kobal
