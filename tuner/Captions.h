#pragma once
// One-segment captions: synchronised PES data (data identifier 0x80) carrying a caption data
// group, coded by the mobile caption rules: kanji and kana as EUC-JP style GR byte pairs,
// clear screen (CS), line returns (APR), foreground colours and a time control.
#include <cstdint>
#include <string>
#include <vector>

namespace veltra {

struct CaptionLine {
    std::u16string text;
    int colour = 7; // 0 black, 1 red, 2 green, 3 yellow, 4 blue, 5 magenta, 6 cyan, 7 white
};

// Caption statement (data group 1, one statement body data unit): CS, then each line opened by
// APR after the first (with POL, FLC, HLC and COL and their parameters), its colour code and
// text (letters and digits in middle size between MSZ and NSZ), then TIME wait (tenths of a
// second, 0..63).
std::vector<uint8_t> buildCaptionStatement(const std::vector<CaptionLine>& lines, int waitTenths);
// Caption management data (data group 0): one language, Japanese, 8-bit coding.
std::vector<uint8_t> buildCaptionManagement();

// The statement aired for caption number n (a new one every few seconds) of a programme.
std::vector<CaptionLine> captionLinesFor(const std::u16string& title, long n);

// CRC-16 of caption data groups (polynomial 0x1021, initial 0).
uint16_t captionCrc16(const uint8_t* data, size_t len);

} // namespace veltra
