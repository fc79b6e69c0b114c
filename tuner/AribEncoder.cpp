#include "tuner/AribEncoder.h"

#include "broadcast/JisTable.h"

namespace veltra {
namespace {

using kobal::jisCodeOf;

bool isHiragana(char16_t c) {
    return c >= 0x3041 && c <= 0x3093;
}
bool isKatakana(char16_t c) {
    return c >= 0x30A1 && c <= 0x30F6;
}

} // namespace

std::string encodeArib(const std::u16string& text, size_t maxBytes) {
    std::string out;
    enum { Kanji, Alnum } gl = Kanji;
    enum { Hira, Kata, Other } gr = Hira;
    size_t whole = 0; // bytes of the characters encoded so far
    for (size_t i = 0; i < text.size(); ++i) {
        if (out.size() > maxBytes) break;
        whole = out.size();
        const char16_t c = text[i];
        const char16_t next = i + 1 < text.size() ? text[i + 1] : 0;
        if (isHiragana(c)) {
            if (gr != Hira) {
                if (!isHiragana(next)) {
                    out += '\x19';
                    out += static_cast<char>(c - 0x3020);
                    continue;
                }
                out += "\x1B\x7D";
                gr = Hira;
            }
            out += static_cast<char>(c - 0x2FA0);
        } else if (isKatakana(c)) {
            if (gr != Kata) {
                if (!isKatakana(next)) {
                    out += '\x1D';
                    out += static_cast<char>(c - 0x3080);
                    continue;
                }
                out += "\x1B\x7C";
                gr = Kata;
            }
            out += static_cast<char>(c - 0x3000);
        } else if (c == 0x20) {
            out += ' ';
        } else if (c > 0x20 && c < 0x7F) {
            if (gl != Alnum) out += '\x0E';
            gl = Alnum;
            out += static_cast<char>(c);
        } else {
            uint16_t code = jisCodeOf(c);
            if (!code) code = 0x2121;
            if (gl != Kanji) out += '\x0F';
            gl = Kanji;
            out += static_cast<char>(code >> 8);
            out += static_cast<char>(code & 0xFF);
        }
    }
    // The last character (with the shift codes before it) did not fit: it goes whole.
    if (out.size() > maxBytes) out.resize(whole);
    return out;
}

std::string encodeCaptionEucJp(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        if (c == 0x20) {
            out += ' ';
            continue;
        }
        if (c > 0x20 && c < 0x7F) c = static_cast<char16_t>(c - 0x21 + 0xFF01);
        uint16_t code = jisCodeOf(c);
        if (!code) code = 0x2121;
        out += static_cast<char>((code >> 8) | 0x80);
        out += static_cast<char>((code & 0xFF) | 0x80);
    }
    return out;
}

} // namespace veltra
