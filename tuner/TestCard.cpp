#include "tuner/StationCard.h"

#include "broadcast/AreaPresetTable.h"

#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <cstring>

namespace veltra {
namespace {

constexpr CardColour kPalette[] = {{200, 40, 40},  {40, 150, 60},  {40, 70, 190},  {210, 160, 30},
                                   {140, 50, 170}, {30, 160, 170}, {200, 100, 40}, {160, 40, 110},
                                   {90, 130, 30},  {60, 60, 130}};

constexpr int kSquare = 24;
constexpr int kSquareTop = 96;
constexpr int kDigitTop = 142, kDigitH = 26, kDigitW = 14, kSeg = 3;

uint8_t lumaOf(int r, int g, int b) {
    return static_cast<uint8_t>(16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255.0 + 0.5);
}
uint8_t cbOf(int r, int g, int b) {
    return static_cast<uint8_t>(128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255.0 + 0.5);
}
uint8_t crOf(int r, int g, int b) {
    return static_cast<uint8_t>(128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255.0 + 0.5);
}

void fillY(uint8_t* y, int stride, int x0, int y0, int w, int h, uint8_t value) {
    x0 = std::clamp(x0, 0, kCardWidth);
    y0 = std::clamp(y0, 0, kCardHeight);
    w = std::min(w, kCardWidth - x0);
    h = std::min(h, kCardHeight - y0);
    for (int r = 0; r < h; ++r) std::memset(y + (y0 + r) * stride + x0, value, std::max(w, 0));
}

void neutralChroma(uint8_t* u, int us, uint8_t* v, int vs, int x0, int y0, int w, int h) {
    for (int r = y0 / 2; r < std::min((y0 + h + 1) / 2, kCardHeight / 2); ++r) {
        const int c0 = std::max(x0 / 2, 0), c1 = std::min((x0 + w + 1) / 2, kCardWidth / 2);
        if (c1 <= c0) continue;
        std::memset(u + r * us + c0, 128, c1 - c0);
        std::memset(v + r * vs + c0, 128, c1 - c0);
    }
}

// Seven-segment digit: segments a..g as bits 0..6.
void drawDigit(uint8_t* y, int ys, int x, int d) {
    static constexpr uint8_t kSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                              0x6D, 0x7D, 0x07, 0x7F, 0x6F};
    const uint8_t s = kSegments[d % 10];
    const int t = kDigitTop, h2 = kDigitH / 2;
    const uint8_t on = 235;
    if (s & 0x01) fillY(y, ys, x, t, kDigitW, kSeg, on);
    if (s & 0x02) fillY(y, ys, x + kDigitW - kSeg, t, kSeg, h2, on);
    if (s & 0x04) fillY(y, ys, x + kDigitW - kSeg, t + h2, kSeg, h2, on);
    if (s & 0x08) fillY(y, ys, x, t + kDigitH - kSeg, kDigitW, kSeg, on);
    if (s & 0x10) fillY(y, ys, x, t + h2, kSeg, h2, on);
    if (s & 0x20) fillY(y, ys, x, t, kSeg, h2, on);
    if (s & 0x40) fillY(y, ys, x, t + h2 - 1, kDigitW, kSeg, on);
}

} // namespace

CardColour stationCardColour(int area, int slot) {
    if (!kobal::AreaPresetTable::validArea(area)) return {128, 128, 128};
    const int n = kobal::AreaPresetTable::stationCount(area);
    for (int j = 0; j < n; ++j) {
        if (kobal::AreaPresetTable::station(area, j).slot == slot)
            return kPalette[j % (sizeof kPalette / sizeof kPalette[0])];
    }
    return {128, 128, 128};
}

TestCard::TestCard(CardColour c, const std::u16string& name, int physicalChannel)
    : physical_(physicalChannel) {
    QImage img(kCardWidth, kCardHeight, QImage::Format_RGB32);
    img.fill(QColor(c.r, c.g, c.b));
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QPainter p(&img);
        p.setRenderHint(QPainter::TextAntialiasing);
        QFont font(QStringLiteral("IPAGothic"));
        font.setPixelSize(28);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRect(8, 16, kCardWidth - 16, 56), Qt::AlignCenter,
                   QString::fromUtf16(name.data(), static_cast<qsizetype>(name.size())));
    }
    y_.resize(kCardWidth * kCardHeight);
    u_.resize(kCardWidth * kCardHeight / 4);
    v_.resize(u_.size());
    for (int r = 0; r < kCardHeight; ++r) {
        const QRgb* line = reinterpret_cast<const QRgb*>(img.constScanLine(r));
        for (int x = 0; x < kCardWidth; ++x)
            y_[r * kCardWidth + x] = lumaOf(qRed(line[x]), qGreen(line[x]), qBlue(line[x]));
    }
    for (int r = 0; r < kCardHeight / 2; ++r) {
        const QRgb* l0 = reinterpret_cast<const QRgb*>(img.constScanLine(2 * r));
        const QRgb* l1 = reinterpret_cast<const QRgb*>(img.constScanLine(2 * r + 1));
        for (int x = 0; x < kCardWidth / 2; ++x) {
            const QRgb q[4] = {l0[2 * x], l0[2 * x + 1], l1[2 * x], l1[2 * x + 1]};
            int rr = 0, gg = 0, bb = 0;
            for (QRgb px : q) rr += qRed(px), gg += qGreen(px), bb += qBlue(px);
            u_[r * kCardWidth / 2 + x] = cbOf(rr / 4, gg / 4, bb / 4);
            v_[r * kCardWidth / 2 + x] = crOf(rr / 4, gg / 4, bb / 4);
        }
    }
    // A dark band behind the digits, so they read on every background.
    fillY(y_.data(), kCardWidth, 8, kDigitTop - 4, kCardWidth - 16, kDigitH + 8, 16);
    neutralChroma(u_.data(), kCardWidth / 2, v_.data(), kCardWidth / 2, 8, kDigitTop - 4,
                  kCardWidth - 16, kDigitH + 8);
}

int TestCard::squareX(int64_t frameIndex) {
    const int span = kCardWidth - kSquare - 16;
    const int pos = static_cast<int>((frameIndex * 4) % (2 * span));
    return 8 + (pos < span ? pos : 2 * span - pos);
}

void TestCard::draw(uint8_t* y, int ys, uint8_t* u, int us, uint8_t* v, int vs, int64_t frameIndex,
                    time_t wall) const {
    for (int r = 0; r < kCardHeight; ++r) std::memcpy(y + r * ys, &y_[r * kCardWidth], kCardWidth);
    for (int r = 0; r < kCardHeight / 2; ++r) {
        std::memcpy(u + r * us, &u_[r * kCardWidth / 2], kCardWidth / 2);
        std::memcpy(v + r * vs, &v_[r * kCardWidth / 2], kCardWidth / 2);
    }
    const int sx = squareX(frameIndex);
    fillY(y, ys, sx, kSquareTop, kSquare, kSquare, 235);
    neutralChroma(u, us, v, vs, sx, kSquareTop, kSquare, kSquare);

    // Channel number at the left, HH:MM:SS at the right.
    int x = 16;
    drawDigit(y, ys, x, physical_ / 10 % 10);
    drawDigit(y, ys, x + kDigitW + 4, physical_ % 10);
    struct tm lt = {};
    localtime_r(&wall, &lt);
    const int fields[3] = {lt.tm_hour, lt.tm_min, lt.tm_sec};
    x = kCardWidth - 16 - (6 * kDigitW + 5 * 4 + 2 * 8);
    for (int f = 0; f < 3; ++f) {
        drawDigit(y, ys, x, fields[f] / 10);
        drawDigit(y, ys, x + kDigitW + 4, fields[f] % 10);
        x += 2 * kDigitW + 4;
        if (f < 2) {
            fillY(y, ys, x + 2, kDigitTop + 6, 3, 3, 235);
            fillY(y, ys, x + 2, kDigitTop + kDigitH - 9, 3, 3, 235);
            x += 8;
        }
    }
}

} // namespace veltra
