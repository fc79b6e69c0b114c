#pragma once
// The one conversion between UTF-8 and UTF-16 below Qt (the tuner, the engine, the renderer's
// link text, the tools' JSON). Bytes or units that do not form a character become U+FFFD, so
// any input converts and the output is always well formed.
#include <string>
#include <string_view>

namespace kobal {

std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);

} // namespace kobal
