#include "broadcast/JisTable.h"

#include <algorithm>
#include <array>
#include <vector>

namespace kobal {
namespace {

// Row-1 symbols that broadcast text shows as their ASCII or Latin-1 forms.
constexpr JisPair kRow1Ascii[] = {
    {0x2124, u','}, {0x2125, u'.'},  {0x2127, u':'}, {0x2128, u';'},    {0x2129, u'?'},
    {0x212A, u'!'}, {0x212E, u'`'},  {0x2130, u'^'}, {0x2131, u'/'},    {0x2132, u'_'},
    {0x213F, u'/'}, {0x2140, u'\\'}, {0x2143, u'|'}, {0x214A, u'('},    {0x214B, u')'},
    {0x214E, u'['}, {0x214F, u']'},  {0x2150, u'{'}, {0x2151, u'}'},    {0x215C, u'+'},
    {0x2161, u'='}, {0x2163, u'<'},  {0x2164, u'>'}, {0x216F, u'\xA5'}, {0x2170, u'$'},
    {0x2173, u'%'}, {0x2174, u'#'},  {0x2175, u'&'}, {0x2176, u'*'},    {0x2177, u'@'},
};

// Ranges of ARIB extension symbols that exist (first and last code, inclusive).
constexpr std::array<std::pair<uint16_t, uint16_t>, 13> kAribRanges = {{
    {0x7521, 0x757E},
    {0x7621, 0x764B},
    {0x7A21, 0x7A26},
    {0x7A28, 0x7A2B},
    {0x7A30, 0x7A31},
    {0x7A34, 0x7A48},
    {0x7A4D, 0x7A74},
    {0x7B21, 0x7B51},
    {0x7C21, 0x7C7B},
    {0x7D21, 0x7D4D},
    {0x7D50, 0x7D76},
    {0x7D78, 0x7D7B},
    {0x7E21, 0x7E7D},
}};

char16_t aribExtension(uint16_t jis) {
    int first = jis >> 8;
    int k = first == 0x75 ? 0 : first == 0x76 ? 1 : first - 0x77;
    return static_cast<char16_t>(kAribExtensionBase + 94 * k + ((jis & 0xFF) - 0x21));
}

struct Tables {
    std::vector<JisPair> pairs;
    // 94 x 94 cells indexed by (first - 0x21) * 94 + (second - 0x21); 0 = not in the table.
    std::array<char16_t, 94 * 94> cells{};
    std::array<char16_t, 94 * 94> plainCells{}; // the same without the ASCII exceptions
    std::vector<JisPair> byUnicode;             // plainCells inverted, sorted by character
};

size_t cellOf(uint16_t jis) {
    return size_t((jis >> 8) - 0x21) * 94 + ((jis & 0xFF) - 0x21);
}

Tables build() {
    Tables t;
    t.pairs.reserve(kJisTableSize);
    for (int r = 1; r <= kJisX0208RowCount; ++r) {
        for (int c = 1; c <= 94; ++c) {
            char16_t u = kJisX0208Rows[r - 1][c - 1];
            if (u == 0xFFFF) continue;
            uint16_t jis = static_cast<uint16_t>(((0x20 + r) << 8) | (0x20 + c));
            if (r == 3) u = static_cast<char16_t>(jis & 0xFF);
            t.pairs.push_back({jis, u});
        }
    }
    for (const JisPair& e : kRow1Ascii) {
        auto it = std::lower_bound(t.pairs.begin(), t.pairs.end(), e.jis,
                                   [](const JisPair& p, uint16_t j) { return p.jis < j; });
        if (it != t.pairs.end() && it->jis == e.jis) it->unicode = e.unicode;
    }
    for (auto [lo, hi] : kAribRanges)
        for (uint32_t j = lo; j <= hi; ++j)
            t.pairs.push_back({static_cast<uint16_t>(j), aribExtension(static_cast<uint16_t>(j))});
    for (const JisPair& p : t.pairs) {
        t.cells[cellOf(p.jis)] = p.unicode;
        const char16_t plain = p.jis < 0x7521 ? jisX0208ToUnicode(p.jis) : p.unicode;
        t.plainCells[cellOf(p.jis)] = plain;
        t.byUnicode.push_back({p.jis, plain});
    }
    std::sort(t.byUnicode.begin(), t.byUnicode.end(), [](const JisPair& a, const JisPair& b) {
        return a.unicode != b.unicode ? a.unicode < b.unicode : a.jis < b.jis;
    });
    return t;
}

const Tables& tables() {
    static const Tables t = build();
    return t;
}

} // namespace

char16_t jisX0208ToUnicode(uint16_t jis) {
    int r = (jis >> 8) - 0x20, c = (jis & 0xFF) - 0x20;
    if (r < 1 || r > kJisX0208RowCount || c < 1 || c > 94) return 0xFFFF;
    return kJisX0208Rows[r - 1][c - 1];
}

std::span<const JisPair> jisTable() {
    return tables().pairs;
}

char16_t jisPlainLookup(uint16_t jis) {
    const unsigned first = jis >> 8, second = jis & 0xFF;
    if (first < 0x21 || first > 0x7E || second < 0x21 || second > 0x7E) return 0;
    return tables().plainCells[cellOf(jis)];
}

uint16_t jisCodeOf(char16_t unicode) {
    const std::vector<JisPair>& v = tables().byUnicode;
    auto it = std::lower_bound(v.begin(), v.end(), unicode,
                               [](const JisPair& p, char16_t u) { return p.unicode < u; });
    return it != v.end() && it->unicode == unicode ? it->jis : 0;
}

char16_t jisLookup(uint16_t jis) {
    unsigned first = jis >> 8, second = jis & 0xFF;
    if (first < 0x21 || first > 0x7E || second < 0x21 || second > 0x7E) return u' ';
    char16_t u = tables().cells[(first - 0x21) * 94 + (second - 0x21)];
    return u ? u : u' ';
}

} // namespace kobal
