#include "broadcast/AribText.h"

#include "broadcast/JisTable.h"

#include <algorithm>

namespace kobal {
namespace {

// Character set numbers of the decoder state.
enum Set : int {
    Kanji = 1,
    Alnum = 2,
    HiraganaGL = 3,
    KatakanaGL = 4,
    AlnumGR = 5,
    HiraganaGR = 6,
    KatakanaGR = 7,
    HiraganaSS = 8,
    KatakanaSS = 9,
    KanjiGR = 1000,
};

constexpr uint8_t ESC = 0x1B;

bool isTwoByte(int set) {
    return set == Kanji || set == KanjiGR;
}

bool isGraphic(uint8_t b) {
    return (b >= 0x21 && b <= 0x7E) || (b >= 0xA1 && b <= 0xFE);
}

// The symbols at the end of the kana rows, the same for every kana form.
char16_t kanaTail(unsigned low) {
    if (low == 0x77) return 0x309D;
    if (low == 0x78) return 0x309E;
    if (low == 0x79) return u'-';
    return static_cast<char16_t>(0xFF61 + (low - 0x7A)); // 0x7A-0x7E
}

char16_t oneByteChar(int set, uint8_t t) {
    switch (set) {
    case Alnum:
        return t;
    case AlnumGR:
        return t & 0x7F;
    case HiraganaGL:
    case HiraganaSS:
        if (t >= 0x74 && t <= 0x76) return u' ';
        if (t >= 0x77 && t <= 0x7E) return kanaTail(t);
        return static_cast<char16_t>(t + 0x3020);
    case KatakanaGL:
    case KatakanaSS:
        if (t >= 0x77 && t <= 0x7E) return kanaTail(t);
        return static_cast<char16_t>(t + 0x3080);
    case HiraganaGR:
        if (t >= 0xF4 && t <= 0xF6) return u' ';
        if (t >= 0xF7 && t <= 0xFE) return kanaTail(t - 0x80);
        return static_cast<char16_t>(t + 0x2FA0);
    case KatakanaGR:
        if (t >= 0xF7 && t <= 0xFE) return kanaTail(t - 0x80);
        return static_cast<char16_t>(t + 0x3000);
    default:
        return u' ';
    }
}

// A kana byte (bit 7 cleared) as a receiver shows it: the row's tail symbols as JIS X 0208
// has them, katakana iteration marks for katakana.
char16_t receiverKana(bool katakana, uint8_t t) {
    static constexpr char16_t kTail[] = {0x30FC, 0x3002, 0x300C, 0x300D, 0x3001, 0x30FB};
    if (t < 0x21 || t > 0x7E) return u' ';
    if (t >= 0x79) return kTail[t - 0x79];
    if (!katakana) {
        if (t <= 0x73) return static_cast<char16_t>(0x3020 + t);
        if (t == 0x77) return 0x309D;
        if (t == 0x78) return 0x309E;
        return u' ';
    }
    if (t <= 0x76) return static_cast<char16_t>(0x3080 + t);
    return t == 0x77 ? 0x30FD : 0x30FE;
}

char16_t receiverChar(int set, uint8_t b) {
    const uint8_t t = b & 0x7F;
    switch (set) {
    case Alnum:
    case AlnumGR:
        return t;
    case HiraganaGL:
    case HiraganaGR:
    case HiraganaSS:
        return receiverKana(false, t);
    case KatakanaGL:
    case KatakanaGR:
    case KatakanaSS:
        return receiverKana(true, t);
    default:
        return u' ';
    }
}

class Decoder {
public:
    Decoder(const uint8_t* data, size_t size, AribFlavor flavor)
        : p_(data), n_(std::min(size, kAribTextMax)), sdt_(flavor == AribFlavor::Service),
          description_(flavor == AribFlavor::Description),
          receiver_(flavor == AribFlavor::Receiver) {}

    std::u16string run() {
        while (i_ < n_) step();
        size_t end = std::find(out_.begin(), out_.end(), u'\0') - out_.begin();
        out_.resize(end);
        return out_;
    }

private:
    bool at(size_t k, uint8_t v) const { return i_ + k < n_ && p_[i_ + k] == v; }
    bool atAny(size_t k, uint8_t a, uint8_t b) const { return at(k, a) || at(k, b); }

    void put(char16_t u) {
        if (out_.size() < kAribTextMax) out_.push_back(u);
    }

    // One character of `set` from the byte at i_ (and the next one for two-byte sets).
    void character(int set) {
        uint8_t b = p_[i_++];
        if (!isTwoByte(set)) {
            put(receiver_ ? receiverChar(set, b) : oneByteChar(set, b));
            return;
        }
        if (i_ >= n_) return; // half a kanji at the end of the text
        uint8_t b2 = p_[i_++];
        uint16_t jis = set == KanjiGR ? static_cast<uint16_t>(((b & 0x7F) << 8) | (b2 & 0x7F))
                                      : static_cast<uint16_t>((b << 8) | b2);
        kanji(jis);
    }

    void kanji(uint16_t jis) {
        if (receiver_) {
            const char16_t plain = jisPlainLookup(jis);
            put(plain ? plain : u'\u3000');
            return;
        }
        char16_t u = jisLookup(jis);
        if (sdt_ && jis >= 0x7A52 && jis <= 0x7A73) {
            put(u'<'), put(u), put(u'>');
        } else if (sdt_ && jis == 0x7A74) {
            put(u'<'), put(u'ほ'), put(u'か'), put(u'>');
        } else if (sdt_ && jis >= 0x7E41 && jis <= 0x7E5A) {
            put(u'('), put(u), put(u')');
        } else {
            put(u);
        }
    }

    // After a shift or designation the next byte is taken at once as a character of the set
    // just chosen. Only graphic bytes are taken that way: a control or space right behind a
    // shift (real streams have ESC sequences there) is read as itself.
    void chosen(int set) {
        if (i_ < n_ && isGraphic(p_[i_])) character(set);
    }

    void lockGL(int set, size_t consumed) {
        i_ += consumed;
        gl_ = set;
        chosen(set);
    }
    void lockGR(int set, size_t consumed) {
        i_ += consumed;
        gr_ = set;
        chosen(set);
    }

    void escape() {
        if (at(1, 0x6E)) return lockGL(HiraganaGL, 2);
        if (at(1, 0x6F)) return lockGL(KatakanaGL, 2);
        if (at(1, 0x7E)) {
            if (sdt_ && at(2, 0xB1)) {
                i_ += 3;
                return;
            }
            return lockGR(AlnumGR, 2);
        }
        if (at(1, 0x7D)) return lockGR(HiraganaGR, 2);
        if (at(1, 0x7C)) return lockGR(KatakanaGR, 2);
        if (!sdt_) {
            if (at(1, 0x29) && atAny(2, 0x4A, 0x36)) return lockGR(Alnum, 3);
            if (at(1, 0x2A) && at(2, 0x30) && at(3, ESC) && at(4, 0x7D))
                return lockGR(HiraganaGR, 5);
            if (at(1, 0x2A) && atAny(2, 0x30, 0x37)) return lockGR(HiraganaGL, 3);
            if (at(1, 0x2B) && atAny(2, 0x31, 0x38)) return lockGR(KatakanaGL, 3);
            if (at(1, 0x24) && at(2, 0x2A) && at(3, 0x3B) && at(4, ESC) && at(5, 0x7D))
                return lockGR(KanjiGR, 6);
        }
        if (at(1, 0x24) && (at(2, 0x39) || at(2, 0x3A) || at(2, 0x3B))) {
            if (at(3, 0x0F)) return lockGL(Kanji, 4);
            if (!sdt_) return lockGL(Kanji, 3);
        }
        ++i_; // an escape we do not know: skip it alone
    }

    void step() {
        uint8_t b = p_[i_];
        if (b == 0x0F) return lockGL(Kanji, 1);
        if (b == 0x0E) {
            if (sdt_ && at(1, 0x31)) {
                i_ += 2;
                return;
            }
            return lockGL(Alnum, 1);
        }
        if (b == ESC) return escape();
        if (b == 0x19 || b == 0x1D) {
            ++i_;
            if (i_ < n_ && isGraphic(p_[i_])) character(b == 0x19 ? HiraganaSS : KatakanaSS);
            return;
        }
        if (b >= 0x21 && b <= 0x7E) return character(gl_);
        if (b >= 0xA1 && b <= 0xFE) return character(gr_);
        if (description_ && (b == 0x20 || b == 0x0D)) put(u' ');
        ++i_;
        if (receiver_) {
            if (b == 0x20) put(u' ');
            if (b == 0x0D) put(u'\n');
            const size_t left = n_ - i_;
            i_ += std::min(aribControlParameters(b, left ? p_[i_] : -1), left);
        }
    }

    const uint8_t* p_;
    size_t n_;
    size_t i_ = 0;
    bool sdt_;
    bool description_;
    bool receiver_;
    int gl_ = Kanji;
    int gr_ = HiraganaGR;
    std::u16string out_;
};

} // namespace

size_t aribControlParameters(unsigned code, int next) {
    switch (code) {
    case 0x16: // PAPF
    case 0x8B: // SZX
    case 0x91: // FLC
    case 0x93: // POL
    case 0x94: // WMM
    case 0x95: // MACRO
    case 0x97: // HLC
    case 0x98: // RPC
        return 1;
    case 0x1C: // APS: row and column
    case 0x9D: // TIME: 0x20 and the wait, or another form of two
        return 2;
    case 0x90: // COL: a palette choice is 0x20 and one more byte
    case 0x92: // CDC: likewise with 0x20
        return next == 0x20 ? 2 : 1;
    default:
        return 0;
    }
}

std::u16string decodeAribText(const uint8_t* data, size_t size, AribFlavor flavor) {
    if (!data) return {};
    return Decoder(data, size, flavor).run();
}

} // namespace kobal
