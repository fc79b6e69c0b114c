#include "tuner/Captions.h"

#include "platform/Utf.h"
#include "tuner/AribEncoder.h"

namespace veltra {
namespace {

// PES data header, data group header and CRC around a data group body.
std::vector<uint8_t> wrapGroup(int groupId, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> g = {0x80, 0xFF, 0xF0};     // synchronised PES data, no extra header
    g.push_back(static_cast<uint8_t>(groupId << 2)); // group id, version 0
    g.push_back(0x00);                               // link number
    g.push_back(0x00);                               // last link number
    g.push_back(static_cast<uint8_t>(body.size() >> 8));
    g.push_back(static_cast<uint8_t>(body.size()));
    g.insert(g.end(), body.begin(), body.end());
    const uint16_t crc = captionCrc16(g.data() + 3, g.size() - 3);
    g.push_back(static_cast<uint8_t>(crc >> 8));
    g.push_back(static_cast<uint8_t>(crc));
    return g;
}

void put24(std::vector<uint8_t>& v, size_t x) {
    v.push_back(static_cast<uint8_t>(x >> 16));
    v.push_back(static_cast<uint8_t>(x >> 8));
    v.push_back(static_cast<uint8_t>(x));
}

} // namespace

uint16_t captionCrc16(const uint8_t* data, size_t len) {
    uint16_t crc = 0;
    for (size_t i = 0; i < len; ++i) {
        crc ^= static_cast<uint16_t>(data[i] << 8);
        for (int b = 0; b < 8; ++b)
            crc = (crc & 0x8000) ? static_cast<uint16_t>(crc << 1 ^ 0x1021)
                                 : static_cast<uint16_t>(crc << 1);
    }
    return crc;
}

std::vector<uint8_t> buildCaptionStatement(const std::vector<CaptionLine>& lines, int waitTenths) {
    std::vector<uint8_t> unit = {0x0C}; // CS
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            unit.push_back(0x0D); // APR
            // As broadcasters do: reset polarity, flashing and the enclosure, name a colour of
            // the palette with COL, then the colour control that the receiver shows.
            unit.insert(unit.end(), {0x93, 0x40, 0x91, 0x4F, 0x97, 0x40, 0x90, 0x48});
        }
        unit.push_back(static_cast<uint8_t>(0x80 | (lines[i].colour & 7)));
        // Below the title, letters and digits go in middle size (MSZ … NSZ), kana and kanji
        // in normal size.
        bool middle = false;
        for (char16_t c : lines[i].text) {
            const bool alnum = i > 0 && c < 0x80 && c != 0x20;
            if (alnum != middle) unit.push_back(alnum ? 0x89 : 0x8A);
            middle = alnum;
            const std::string euc = encodeCaptionEucJp(std::u16string(1, c));
            unit.insert(unit.end(), euc.begin(), euc.end());
        }
        if (middle) unit.push_back(0x8A);
    }
    unit.insert(unit.end(), {0x9D, 0x20, static_cast<uint8_t>(0x40 | (waitTenths & 0x3F))});

    std::vector<uint8_t> body = {0x3F}; // time control: free
    put24(body, 5 + unit.size());
    body.push_back(0x1F); // unit separator
    body.push_back(0x20); // statement body
    put24(body, unit.size());
    body.insert(body.end(), unit.begin(), unit.end());
    return wrapGroup(1, body);
}

std::vector<uint8_t> buildCaptionManagement() {
    std::vector<uint8_t> body = {
        0x3F,            // time control: free
        0x01,            // one language
        0x1F,            // language tag 0, display mode: automatic display and recording
        'j',  'p',  'n', //
        0x00,            // 8-bit coding, no roll-up
        0x00, 0x00, 0x00};
    return wrapGroup(0, body);
}

std::vector<CaptionLine> captionLinesFor(const std::u16string& title, long n) {
    static const char* const phrases[] = {"こんにちは。",           "ここからは天気予報です。",
                                          "あすは晴れるでしょう。", "最高気温は18度の予想です。",
                                          "それでは、また来週。",   "カメラは東京タワーの前です。"};
    std::u16string t = title;
    // Captions carry no extension symbols of the guide; keep plain characters.
    while (!t.empty() && t.back() >= 0xE000 && t.back() < 0xF900) t.pop_back();
    std::vector<CaptionLine> lines;
    lines.push_back({t, 7});
    lines.push_back({kobal::utf8ToUtf16(phrases[n % 6]), static_cast<int>(1 + n % 6)});
    if (n % 2 == 0)
        lines.push_back(
            {kobal::utf8ToUtf16("字幕テスト") + kobal::utf8ToUtf16(std::to_string(n % 100)), 6});
    return lines;
}

} // namespace veltra
