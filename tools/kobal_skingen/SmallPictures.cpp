// The splash, sliders, check marks, level bars, program icons and the file dialog's icons.
#include "Drawing.h"
#include "Pictures.h"
#include "ui/SkinLayout.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

namespace kobal::skingen {

void splash() { // 350
    for (int s : {1, 2}) {
        save("350", s,
             paint(
                 350, 250, s,
                 [](QPainter& p) {
                     QLinearGradient g(QPointF(0, 0), QPointF(0, 250));
                     g.setColorAt(0, QColor(0x2c, 0x2e, 0x34));
                     g.setColorAt(1, QColor(0x08, 0x09, 0x0b));
                     p.fillRect(QRectF(0, 0, 350, 250), g);
                     QRadialGradient glow(QPointF(175, 150), 170);
                     glow.setColorAt(0, QColor(kGlow.red(), kGlow.green(), kGlow.blue(), 70));
                     glow.setColorAt(1, QColor(0, 0, 0, 0));
                     p.fillRect(QRectF(0, 0, 350, 250), glow);
                     QLinearGradient gloss(QPointF(0, 0), QPointF(0, 110));
                     gloss.setColorAt(0, QColor(255, 255, 255, 40));
                     gloss.setColorAt(1, QColor(255, 255, 255, 0));
                     p.fillRect(QRectF(0, 0, 350, 110), gloss);
                     // Television emblem.
                     plate(p, QRectF(30, 50, 96, 66), 9);
                     p.fillRect(QRectF(37, 57, 82, 46), Qt::black);
                     QLinearGradient screen(QPointF(37, 57), QPointF(119, 103));
                     screen.setColorAt(0, kAccent.lighter(140));
                     screen.setColorAt(1, QColor(0x0a, 0x20, 0x28));
                     p.fillRect(QRectF(38, 58, 80, 44), screen);
                     p.setPen(iconPen(QColor(255, 255, 255, 200), 1.6));
                     for (int i = 0; i < 3; ++i)
                         p.drawArc(QRectF(68 - 6 * i, 72 - 6 * i, 20 + 12 * i, 20 + 12 * i),
                                   45 * 16, 90 * 16);
                     p.drawLine(QPointF(78, 86), QPointF(78, 94));
                     p.fillRect(QRectF(58, 116, 40, 5), QColor(0x30, 0x32, 0x38));
                     text(p, QRectF(140, 12, 200, 36), "Kobal Player", QColor(0xf2, 0xf4, 0xf6),
                          font(26, true), Qt::AlignLeft | Qt::AlignVCenter);
                     // The player writes its version into (280, 55) … (340, 70).
                     text(p, QRectF(140, 55, 136, 15), "Version", QColor(0x8a, 0x90, 0x98),
                          font(10), Qt::AlignRight | Qt::AlignVCenter);
                     p.fillRect(QRectF(140, 50, 200, 1), QColor(255, 255, 255, 36));
                     p.fillRect(QRectF(140, 75, 200, 1), QColor(255, 255, 255, 36));
                     text(p, QRectF(142, 84, 200, 20),
                          QString::fromUtf8("ワンセグ テレビ プレーヤー"), kGlow.lighter(120),
                          font(12), Qt::AlignLeft | Qt::AlignVCenter);
                     text(p, QRectF(142, 108, 200, 16),
                          QString::fromUtf8("地上デジタル ワンセグ放送受信"),
                          QColor(0xa0, 0xa6, 0xae), font(11), Qt::AlignLeft | Qt::AlignVCenter);
                     p.fillRect(QRectF(20, 200, 310, 1), QColor(255, 255, 255, 40));
                     text(p, QRectF(20, 226, 310, 16), "© Vorlin", QColor(0x70, 0x76, 0x7e),
                          font(10), Qt::AlignRight | Qt::AlignVCenter);
                 },
                 Qt::black)
                 .convertToFormat(QImage::Format_RGB32));
    }
}

void sliders() {
    auto track = [](const QString& name, int w, int h, bool filled) {
        picture(name, w, h, [=](QPainter& p) {
            p.fillRect(QRectF(0, 0, w, h), QColor(0x0b, 0x0c, 0x0e));
            const qreal slot = h >= 12 ? 4 : 4;
            const QRectF groove(1, (h - slot) / 2, w - 2, slot);
            if (filled) {
                QLinearGradient g(groove.topLeft(), groove.bottomLeft());
                g.setColorAt(0, kGlow.lighter(130));
                g.setColorAt(1, kAccent);
                p.setPen(Qt::NoPen);
                p.setBrush(g);
                p.drawRoundedRect(groove, 2, 2);
            } else {
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(0x25, 0x27, 0x2c));
                p.drawRoundedRect(groove, 2, 2);
                p.setBrush(QColor(0, 0, 0, 150));
                p.drawRoundedRect(QRectF(groove.left(), groove.top(), groove.width(), 1.5), 1, 1);
            }
        });
    };
    auto thumb = [](const QString& name, int w, int h) {
        picture(name, w, h, [=](QPainter& p) {
            const QRectF r(0.5, 0.5, w - 1, h - 1);
            QLinearGradient g(r.topLeft(), r.topRight());
            g.setColorAt(0, QColor(0xe8, 0xec, 0xf0));
            g.setColorAt(0.5, QColor(0xa8, 0xae, 0xb6));
            g.setColorAt(1, QColor(0x6a, 0x70, 0x78));
            p.setPen(QPen(QColor(0x10, 0x10, 0x12), 1));
            p.setBrush(g);
            p.drawRoundedRect(r, 2, 2);
            p.setPen(QPen(QColor(0x40, 0x44, 0x4a), 1));
            p.drawLine(QPointF(w / 2.0, 3), QPointF(w / 2.0, h - 3));
        });
    };
    track("457", 82, 12, false);
    track("459", 82, 12, true);
    thumb("458", 8, 12);
    track("411", 310, 10, false);
    track("460", 310, 10, true);
    thumb("412", 8, 10);
    // Channel list scroll bar: 266 the track (stretched from 10 × 4), 270 the thumb (9 × 15).
    picture("266", 10, 4, [](QPainter& p) {
        p.fillRect(QRectF(0, 0, 10, 4), QColor(0x0c, 0x12, 0x0c));
        p.fillRect(QRectF(5, 0, 1, 4), QColor(0x2c, 0x5f, 0x46));
    });
    picture("270", 9, 15, [](QPainter& p) {
        QLinearGradient g(QPointF(0, 0), QPointF(7, 0));
        g.setColorAt(0, QColor(0x9a, 0xd6, 0x86));
        g.setColorAt(1, QColor(0x2c, 0x5f, 0x46));
        p.fillRect(QRectF(0, 0, 7, 15), g);
        p.fillRect(QRectF(7, 0, 2, 15), QColor(0x0c, 0x12, 0x0c));
    });
}

void checks() { // 499 normal, 500 hovered
    auto check = [](const QString& name, QColor bg, QColor fg) {
        picture(name, 11, 11, [=](QPainter& p) {
            p.fillRect(QRectF(0, 0, 11, 11), bg);
            QPainterPath tick;
            tick.moveTo(2, 5.5);
            tick.lineTo(4.5, 8.2);
            tick.lineTo(9, 2.5);
            p.setPen(iconPen(fg, 1.7));
            p.setBrush(Qt::NoBrush);
            p.drawPath(tick);
        });
    };
    check("499", QColor(0x28, 0x67, 0x75), QColor(0xdc, 0xdc, 0xdc));
    check("500", QColor(0xc8, 0xc8, 0xc8), QColor(0x14, 0x14, 0x3c));
}

void levels() { // level0 … level5, 22 × 12: four rising bars
    for (int n = 0; n <= 5; ++n) {
        picture(QString("level%1").arg(n), 22, 12, [n](QPainter& p) {
            p.fillRect(QRectF(0, 0, 22, 12), Qt::black);
            for (int i = 0; i < 4; ++i) {
                const qreal h = 3 + i * 2.8;
                const QRectF bar(2 + i * 5, 11.5 - h, 3.6, h);
                const bool lit = n <= 4 && i < n;
                p.setPen(Qt::NoPen);
                p.setBrush(lit ? (n == 1 ? QColor(0xe0, 0xa0, 0x30) : kGlow.lighter(115))
                               : QColor(0x30, 0x33, 0x38));
                p.drawRect(bar);
            }
            if (n == 0 || n == 5) { // no signal / no tuner
                p.setPen(iconPen(n == 0 ? kRed.lighter(120) : QColor(0x90, 0x90, 0x90), 1.4));
                p.drawLine(QPointF(3, 3), QPointF(9, 9));
                p.drawLine(QPointF(9, 3), QPointF(3, 9));
            }
        });
    }
}

void appIcon(const QString& name, bool updater) {
    for (int s : {1, 2}) {
        save(name, s, paint(32, 32, s, [updater](QPainter& p) {
                 plate(p, QRectF(1.5, 4.5, 29, 22), 4);
                 QLinearGradient screen(QPointF(4, 7), QPointF(28, 24));
                 screen.setColorAt(0, kAccent.lighter(150));
                 screen.setColorAt(1, QColor(0x06, 0x18, 0x20));
                 p.setPen(Qt::NoPen);
                 p.setBrush(screen);
                 p.drawRoundedRect(QRectF(4, 7, 24, 16), 1.5, 1.5);
                 p.setBrush(QColor(0x30, 0x32, 0x38));
                 p.drawRect(QRectF(11, 26.5, 10, 3));
                 if (updater) {
                     p.setPen(iconPen(Qt::white, 2));
                     p.setBrush(Qt::NoBrush);
                     p.drawArc(QRectF(10, 9, 12, 12), 60 * 16, 270 * 16);
                     QPainterPath head;
                     head.moveTo(19.5, 6.8);
                     head.lineTo(19.6, 11.4);
                     head.lineTo(23.8, 10.2);
                     p.setPen(Qt::NoPen);
                     p.setBrush(Qt::white);
                     p.drawPath(head);
                 } else {
                     p.setPen(iconPen(QColor(255, 255, 255, 230), 1.5));
                     p.setBrush(Qt::NoBrush);
                     for (int i = 0; i < 2; ++i)
                         p.drawArc(QRectF(12 - 4 * i, 10 - 4 * i, 8 + 8 * i, 8 + 8 * i), 45 * 16,
                                   90 * 16);
                     p.drawLine(QPointF(16, 14.5), QPointF(16, 20));
                 }
             }));
    }
}

void folderIcons() { // 276 CD-ROM, 277 fixed disk, 278 drive A:, 279 removable, 280/281 folders
    auto folder = [](QPainter& p, bool open) {
        QPainterPath back;
        back.moveTo(1.5, 3.5);
        back.lineTo(6, 3.5);
        back.lineTo(7.5, 5);
        back.lineTo(14.5, 5);
        back.lineTo(14.5, 13.5);
        back.lineTo(1.5, 13.5);
        back.closeSubpath();
        p.setPen(QPen(QColor(0x6a, 0x50, 0x10), 1));
        p.setBrush(QColor(0xd8, 0xaa, 0x3c));
        p.drawPath(back);
        QPainterPath front;
        if (open) {
            front.moveTo(3.5, 7.5);
            front.lineTo(15.5, 7.5);
            front.lineTo(13.5, 13.5);
            front.lineTo(1.5, 13.5);
        } else {
            front.moveTo(1.5, 6.5);
            front.lineTo(14.5, 6.5);
            front.lineTo(14.5, 13.5);
            front.lineTo(1.5, 13.5);
        }
        front.closeSubpath();
        QLinearGradient g(QPointF(0, 6), QPointF(0, 14));
        g.setColorAt(0, QColor(0xff, 0xde, 0x7a));
        g.setColorAt(1, QColor(0xe6, 0xb2, 0x40));
        p.setBrush(g);
        p.drawPath(front);
    };
    auto drive = [](QPainter& p, QColor body, const QString& mark) {
        QLinearGradient g(QPointF(0, 5), QPointF(0, 12));
        g.setColorAt(0, body.lighter(140));
        g.setColorAt(1, body);
        p.setPen(QPen(QColor(0x20, 0x22, 0x26), 1));
        p.setBrush(g);
        p.drawRoundedRect(QRectF(1.5, 5.5, 13, 7), 1.5, 1.5);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x40, 0xe0, 0x60));
        p.drawRect(QRectF(11, 9.5, 2, 1.5));
        text(p, QRectF(2, 5.5, 9, 7), mark, QColor(0x20, 0x22, 0x26), font(6, true));
    };
    picture("276", 16, 16, [](QPainter& p) {
        QRadialGradient g(QPointF(6, 6), 9);
        g.setColorAt(0, QColor(0xf4, 0xf4, 0xfa));
        g.setColorAt(0.5, QColor(0xb8, 0xd8, 0xf0));
        g.setColorAt(1, QColor(0xd8, 0xb8, 0xe8));
        p.setPen(QPen(QColor(0x60, 0x64, 0x70), 1));
        p.setBrush(g);
        p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(8, 8), 1.8, 1.8);
    });
    picture("277", 16, 16, [=](QPainter& p) { drive(p, QColor(0x70, 0x76, 0x80), ""); });
    picture("278", 16, 16, [=](QPainter& p) { drive(p, QColor(0x50, 0x60, 0x90), "A"); });
    picture("279", 16, 16, [=](QPainter& p) { drive(p, QColor(0x40, 0x80, 0x60), ""); });
    picture("280", 16, 16, [=](QPainter& p) { folder(p, false); });
    picture("281", 16, 16, [=](QPainter& p) { folder(p, true); });
}

} // namespace kobal::skingen
