#pragma once
// ARIB 8-bit text as broadcasters put it on the air, for the simulator's SDT, EIT and captions,
// and a general decoder for reading the names of recorded streams.
//
// Encoding starts from the broadcast default state (GL = kanji, GR = hiragana) and uses:
// hiragana in GR, katakana in GR after LS3R (or SS3 for a single one), alphanumerics after LS1,
// everything else JIS X 0208 through the kanji set. Private-use code points U+E000 ... stand
// for the ARIB extension symbols (rows 85/86 and 90-94), as the player's decoders map them.
#include <cstddef>
#include <cstdint>
#include <string>

namespace veltra {

// UTF-16 text to ARIB 8-bit bytes. Characters without a code become a full-width space.
// Stops before the first character that would make it longer than maxBytes, so a cut never
// falls inside a character or a shift sequence.
std::string encodeArib(const std::u16string& text, size_t maxBytes = SIZE_MAX);

// ARIB 8-bit bytes to UTF-16 (kanji set, alphanumerics, hiragana, katakana, their GR and
// single-shift forms, the common designations). Full-width letters stay full-width; extension
// symbols come out in the private-use area. Unknown bytes are skipped; never reads past len.
std::u16string decodeArib(const uint8_t* data, size_t len);

// Caption statement text: every character as EUC-JP (kanji and kana as two GR bytes, ASCII
// letters and digits as their full-width forms, a space as 0x20), the form mobile captions use.
std::string encodeCaptionEucJp(const std::u16string& text);

// Helpers for the rest of the library.
std::u16string utf8ToUtf16(const std::string& text);
std::string utf16ToUtf8(const std::u16string& text);

// JIS X 0208 code (two GL bytes, 0x2121-0x7E7E) of a character, 0 when it has none. Covers
// JIS X 0208 proper and the ARIB extension rows in the private-use area.
uint16_t jisCodeOf(char16_t ch);
// Character of a JIS code, 0 when the code is not assigned.
char16_t charOfJis(uint16_t code);

} // namespace veltra
