#include "ui/AribSymbols.h"

#include "broadcast/JisTable.h"

namespace kobal {
namespace {

// Private use code of the extension symbol with JIS code `jis` (rows 0x7A-0x7E).
constexpr char16_t pua(int jis) {
    return char16_t(kAribExtensionBase + 94 * ((jis >> 8) - 0x77) + ((jis & 0xFF) - 0x21));
}

// The programme marks 0x7A50-0x7A74, in order.
const char16_t* const kMarks[] = {
    u"[HV]", u"[SD]", u"[P]",  u"[W]",  u"[MV]",  u"[手]", u"[字]", u"[双]", u"[デ]", u"[S]",
    u"[二]", u"[多]", u"[解]", u"[SS]", u"[B]",   u"[N]",  u"■",    u"●",    u"[天]", u"[交]",
    u"[映]", u"[無]", u"[料]", u"[鍵]", u"[前]",  u"[後]", u"[再]", u"[新]", u"[初]", u"[終]",
    u"[生]", u"[販]", u"[声]", u"[吹]", u"[PPV]", u"(秘)", u"ほか"};

} // namespace

QString showableText(const QString& text) {
    constexpr char16_t first = pua(0x7A50), last = pua(0x7A74), arrow = pua(0x7C21);
    QString out;
    bool changed = false;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= first && u <= last) {
            out += QString::fromUtf16(kMarks[u - first]);
            changed = true;
        } else if (u == arrow) {
            out += QChar(0x27A1);
            changed = true;
        } else {
            out += c;
        }
    }
    return changed ? out : text;
}

} // namespace kobal
