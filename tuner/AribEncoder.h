#pragma once
// ARIB 8-bit text as broadcasters put it on the air, for the simulator's SDT, EIT and captions.
// Reading it back is the one decoder's job (broadcast/AribText.h).
//
// Encoding starts from the broadcast default state (GL = kanji, GR = hiragana) and uses:
// hiragana in GR, katakana in GR after LS3R (or SS3 for a single one), alphanumerics after LS1,
// everything else JIS X 0208 through the kanji set. Private-use code points U+E000 ... stand
// for the ARIB extension symbols, as the player's decoders map them.
#include <cstddef>
#include <cstdint>
#include <string>

namespace veltra {

// UTF-16 text to ARIB 8-bit bytes. Characters without a code become a full-width space.
// Stops before the first character that would make it longer than maxBytes, so a cut never
// falls inside a character or a shift sequence.
std::string encodeArib(const std::u16string& text, size_t maxBytes = SIZE_MAX);

// Caption statement text: every character as EUC-JP (kanji and kana as two GR bytes, ASCII
// letters and digits as their full-width forms, a space as 0x20), the form mobile captions use.
std::string encodeCaptionEucJp(const std::u16string& text);

} // namespace veltra
