// The animated pictures, 120 × 75: tuning in, and the low-signal warning.
#include "Drawing.h"
#include "Pictures.h"

#include <QRadialGradient>

namespace kobal::skingen {

namespace {

QImage gifFrame(int s, const Draw& draw) {
    return paint(120, 75, s, draw, Qt::black).convertToFormat(QImage::Format_ARGB32);
}

void antenna(QPainter& p, QPointF base, int waves, QColor c) {
    p.setPen(iconPen(c, 2));
    p.setBrush(Qt::NoBrush);
    p.drawLine(base, base + QPointF(0, -18));
    p.drawLine(base + QPointF(0, -18), base + QPointF(-6, -24));
    p.drawLine(base + QPointF(0, -18), base + QPointF(6, -24));
    for (int i = 0; i < waves; ++i) {
        const qreal r = 7 + i * 6;
        const QPointF m = base + QPointF(0, -20);
        p.setPen(iconPen(QColor(c.red(), c.green(), c.blue(), 255 - i * 50), 1.8));
        p.drawArc(QRectF(m.x() - r, m.y() - r, 2 * r, 2 * r), 30 * 16, 120 * 16);
    }
}

} // namespace

void startupGif() { // 501: the set tuning in, waves spreading
    for (int s : {1, 2}) {
        std::vector<GifWriterFrame> frames;
        for (int i = 0; i < 8; ++i) {
            const QImage image = gifFrame(s, [i](QPainter& p) {
                QRadialGradient glow(QPointF(60, 30), 60);
                glow.setColorAt(0, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 90));
                glow.setColorAt(1, QColor(0, 0, 0, 0));
                p.fillRect(QRectF(0, 0, 120, 75), glow);
                antenna(p, QPointF(60, 48), i % 4, kGlow.lighter(130));
                text(p, QRectF(0, 52, 120, 16),
                     QString::fromUtf8("受信準備中") + QString(".").repeated(i % 4),
                     QColor(0xdc, 0xe4, 0xea), font(11, true));
            });
            frames.push_back({image, 0, 0, 25, 1});
        }
        saveGif("501", s, 120, 75, frames);
    }
}

void lowSignalGif() { // 502: the antenna blinking in amber with the warning
    for (int s : {1, 2}) {
        std::vector<GifWriterFrame> frames;
        for (int i = 0; i < 4; ++i) {
            const QImage image = gifFrame(s, [i](QPainter& p) {
                const QColor amber(0xf0, 0xa8, 0x30);
                antenna(p, QPointF(60, 46), i % 2 ? 1 : 0, i % 2 ? amber : amber.darker(170));
                if (i % 2 == 0) {
                    p.setPen(iconPen(kRed.lighter(130), 2));
                    p.drawLine(QPointF(50, 14), QPointF(70, 34));
                }
                text(p, QRectF(0, 50, 120, 16), QString::fromUtf8("受信レベル低下"),
                     QColor(0xf0, 0xd8, 0xb0), font(11, true));
            });
            frames.push_back({image, 0, 0, 50, 1});
        }
        saveGif("502", s, 120, 75, frames);
    }
}

} // namespace kobal::skingen
