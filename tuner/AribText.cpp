#include "tuner/AribText.h"

#include <array>
#include <iconv.h>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace veltra {
namespace {

// JIS X 0208 through the C library's EUC-JP converter (JIS code = EUC bytes & 0x7F7F), plus
// the ARIB extension rows placed in the private-use area the way the player's decoders do.
struct JisTables {
    std::vector<char16_t> toChar = std::vector<char16_t>(94 * 94, 0);
    std::unordered_map<char16_t, uint16_t> toJis;
};

int extensionRowBase(int row) {
    // Rows 0x75/0x76 and 0x7A-0x7E, 94 code points each, in that order.
    if (row == 0x75) return 0;
    if (row == 0x76) return 1;
    if (row >= 0x7A && row <= 0x7E) return row - 0x77;
    return -1;
}

const JisTables& tables() {
    static JisTables t;
    static std::once_flag once;
    std::call_once(once, [] {
        iconv_t cd = iconv_open("UTF-32LE", "EUC-JP");
        for (int row = 0x21; row <= 0x7E; ++row) {
            for (int cell = 0x21; cell <= 0x7E; ++cell) {
                const int index = (row - 0x21) * 94 + (cell - 0x21);
                const int k = extensionRowBase(row);
                char16_t ch = 0;
                if (k >= 0) {
                    ch = static_cast<char16_t>(0xE000 + 94 * k + (cell - 0x21));
                } else if (cd != reinterpret_cast<iconv_t>(-1)) {
                    char in[2] = {static_cast<char>(row | 0x80), static_cast<char>(cell | 0x80)};
                    uint8_t out[8] = {};
                    char* ip = in;
                    char* op = reinterpret_cast<char*>(out);
                    size_t il = 2, ol = sizeof out;
                    iconv(cd, nullptr, nullptr, nullptr, nullptr);
                    if (iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1) && il == 0 &&
                        ol == 4) {
                        const uint32_t cp = out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24;
                        if (cp > 0 && cp <= 0xFFFF) ch = static_cast<char16_t>(cp);
                    }
                }
                if (!ch) continue;
                t.toChar[index] = ch;
                t.toJis.emplace(ch, static_cast<uint16_t>(row << 8 | cell));
            }
        }
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    });
    return t;
}

bool isHiragana(char16_t c) {
    return c >= 0x3041 && c <= 0x3093;
}
bool isKatakana(char16_t c) {
    return c >= 0x30A1 && c <= 0x30F6;
}

enum class Set { Kanji, Alnum, Hiragana, Katakana, Skip1, Skip2 };

char16_t kanaChar(Set set, uint8_t t) {
    static constexpr char16_t tail[] = {0x30FC, 0x3002, 0x300C, 0x300D, 0x3001, 0x30FB};
    if (t >= 0x79) return tail[t - 0x79];
    if (set == Set::Hiragana) {
        if (t <= 0x73) return static_cast<char16_t>(0x3020 + t);
        if (t == 0x77) return 0x309D;
        if (t == 0x78) return 0x309E;
        return 0x0020;
    }
    if (t <= 0x76) return static_cast<char16_t>(0x3080 + t);
    return t == 0x77 ? 0x30FD : 0x30FE;
}

Set setOfFinal(uint8_t f, bool twoByte) {
    if (twoByte)
        return (f == 0x42 || f == 0x39 || f == 0x3A || f == 0x3B) ? Set::Kanji : Set::Skip2;
    switch (f) {
    case 0x4A:
    case 0x36:
        return Set::Alnum;
    case 0x30:
    case 0x37:
        return Set::Hiragana;
    case 0x31:
    case 0x38:
        return Set::Katakana;
    default:
        return Set::Skip1;
    }
}

// Bytes of parameters that follow a control code (so they are not read as characters).
int controlParams(uint8_t c, const uint8_t* p, size_t left) {
    switch (c) {
    case 0x16:
        return 1; // PAPF
    case 0x1C:
        return 2; // APS
    case 0x8B:    // SZX
    case 0x91:    // FLC
    case 0x93:    // POL
    case 0x94:    // WMM
    case 0x95:    // MACRO
    case 0x97:    // HLC
    case 0x98:
        return 1; // RPC
    case 0x90:
        return (left > 0 && p[0] == 0x20) ? 2 : 1; // COL
    case 0x9D:
        return 2; // TIME
    default:
        return 0;
    }
}

} // namespace

uint16_t jisCodeOf(char16_t ch) {
    const auto& t = tables();
    auto it = t.toJis.find(ch);
    return it == t.toJis.end() ? 0 : it->second;
}

char16_t charOfJis(uint16_t code) {
    const int row = code >> 8, cell = code & 0xFF;
    if (row < 0x21 || row > 0x7E || cell < 0x21 || cell > 0x7E) return 0;
    return tables().toChar[(row - 0x21) * 94 + (cell - 0x21)];
}

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

std::u16string decodeArib(const uint8_t* p, size_t len) {
    std::u16string out;
    Set g[4] = {Set::Kanji, Set::Alnum, Set::Hiragana, Set::Katakana};
    int gl = 0, gr = 2;
    size_t i = 0;
    auto emit = [&](Set set, uint8_t b1, size_t& pos) {
        const uint8_t t = b1 & 0x7F;
        switch (set) {
        case Set::Kanji:
            if (pos >= len) return;
            {
                const uint8_t t2 = p[pos++] & 0x7F;
                const char16_t ch = charOfJis(static_cast<uint16_t>(t << 8 | t2));
                out += ch ? ch : u'\u3000';
            }
            return;
        case Set::Alnum:
            out += static_cast<char16_t>(t);
            return;
        case Set::Hiragana:
        case Set::Katakana:
            out += kanaChar(set, t);
            return;
        case Set::Skip2:
            if (pos < len) ++pos;
            return;
        case Set::Skip1:
            return;
        }
    };
    while (i < len) {
        const uint8_t c = p[i++];
        if (c == 0x1B) {
            if (i >= len) break;
            const uint8_t e = p[i++];
            switch (e) {
            case 0x6E:
                gl = 2;
                continue;
            case 0x6F:
                gl = 3;
                continue;
            case 0x7E:
                gr = 1;
                continue;
            case 0x7D:
                gr = 2;
                continue;
            case 0x7C:
                gr = 3;
                continue;
            default:
                break;
            }
            if (e >= 0x28 && e <= 0x2B) { // one-byte set (or DRCS after 0x20) to G0..G3
                if (i < len && p[i] == 0x20) ++i;
                if (i < len) g[e - 0x28] = setOfFinal(p[i++], false);
            } else if (e == 0x24) { // two-byte set
                if (i >= len) break;
                int target = 0;
                if (p[i] >= 0x28 && p[i] <= 0x2B) target = p[i++] - 0x28;
                if (i < len && p[i] == 0x20) {
                    ++i;
                    if (i < len) g[target] = Set::Skip2;
                    ++i;
                } else if (i < len) {
                    g[target] = setOfFinal(p[i++], true);
                }
            }
            continue;
        }
        if (c == 0x0F)
            gl = 0;
        else if (c == 0x0E)
            gl = 1;
        else if (c == 0x19 || c == 0x1D) {
            if (i < len) {
                const uint8_t b = p[i++];
                emit(g[c == 0x19 ? 2 : 3], b, i);
            }
        } else if (c == 0x20)
            out += u' ';
        else if (c == 0x0D)
            out += u'\n';
        else if (c > 0x20 && c < 0x7F)
            emit(g[gl], c, i);
        else if (c > 0xA0 && c < 0xFF)
            emit(g[gr], c, i);
        else
            i += std::min<size_t>(controlParams(c, p + i, len - i), len - i);
    }
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

std::u16string utf8ToUtf16(const std::string& s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        const uint8_t c = s[i];
        uint32_t cp = 0xFFFD;
        int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) {
            ++i;
        } else {
            cp = n == 1 ? c : c & (0x7F >> n);
            for (int k = 1; k < n; ++k) cp = cp << 6 | (static_cast<uint8_t>(s[i + k]) & 0x3F);
            i += n;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string utf16ToUtf8(const std::u16string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t cp = s[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[++i] - 0xDC00);
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | cp >> 6);
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | cp >> 12);
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | cp >> 18);
            out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

} // namespace veltra
