#pragma once
// EUC-JP to UTF-16 as the caption path needs it: plain JIS X 0208 for rows 1-84 (fullwidth
// letters and digits stay fullwidth), rows 85-94 into the private use area from U+E000
// (row 85 cell 1), and single bytes 0x00-0x9F to the same code points (C1 caption controls
// pass through). Bytes that do not form a character give U+FFFD, one per bad byte.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kobal {

// Converts at most `maxUnits` UTF-16 units' worth of `data`.
std::u16string eucJpToUtf16(const uint8_t* data, size_t size, size_t maxUnits = 512);

} // namespace kobal
