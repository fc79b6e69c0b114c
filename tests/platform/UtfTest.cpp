#include "platform/Utf.h"

#include <gtest/gtest.h>

using kobal::utf16ToUtf8;
using kobal::utf8ToUtf16;

TEST(Utf, ConvertsBothWaysAndReplacesWhatIsNoCharacter) {
    const std::string text = "A\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80"; // A é あ 😀
    EXPECT_EQ(utf8ToUtf16(text), u"A\u00E9\u3042\U0001F600");
    EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(text)), text);
    // A stray continuation byte, a cut sequence at the end, an overlong form, an encoded
    // surrogate: one U+FFFD per byte that starts no character.
    EXPECT_EQ(utf8ToUtf16("\x80"
                          "a\xE3\x81"),
              u"\uFFFDa\uFFFD\uFFFD");
    EXPECT_EQ(utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
    // Half a surrogate pair.
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, char16_t(0xDC00)) + u"x"), "\xEF\xBF\xBDx");
}
