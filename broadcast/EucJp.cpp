#include "broadcast/EucJp.h"

#include "broadcast/JisTable.h"

#include <algorithm>

namespace kobal {

std::u16string eucJpToUtf16(const uint8_t* data, size_t size, size_t maxUnits) {
    std::u16string out;
    if (!data) return out;
    out.reserve(std::min(size, maxUnits));
    size_t i = 0;
    while (i < size && out.size() < maxUnits) {
        uint8_t b = data[i];
        if (b < 0xA0) {
            out.push_back(b);
            ++i;
            continue;
        }
        if (b == 0xA0) { // stands alone; the caption walk ignores it like the C1 codes
            out.push_back(0x00A0);
            ++i;
            continue;
        }
        if (b == 0xFF || i + 1 >= size || data[i + 1] < 0xA1 || data[i + 1] == 0xFF) {
            out.push_back(0xFFFD); // a lead byte without its trail byte
            ++i;
            continue;
        }
        int row = b - 0xA0, cell = data[i + 1] - 0xA0;
        char16_t u;
        if (row >= 85)
            u = static_cast<char16_t>(0xE000 + (row - 85) * 94 + (cell - 1));
        else
            u = jisX0208ToUnicode(static_cast<uint16_t>(((row + 0x20) << 8) | (cell + 0x20)));
        out.push_back(u == 0xFFFF ? char16_t(0xFFFD) : u);
        i += 2;
    }
    return out;
}

} // namespace kobal
