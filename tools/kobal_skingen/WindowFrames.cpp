// The main window's frame pieces, its control panel and logo, and the shaped windows.
#include "Drawing.h"
#include "Pictures.h"
#include "ui/SkinLayout.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QSet>

namespace kobal::skingen {

namespace {

// ---- the main window's frame ----
constexpr int kRefW = 358, kRefH = 440;

// The whole normal view at w × h, as the eight pieces and the black middle rebuild it: the
// side bezels depend on x only between y = 200 and h − 170, so the stretched pieces meet.
void windowBody(QPainter& p, int w, int h) {
    // Outline as the window region rounds it.
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0, 0, w, h), 13, 13);
    p.fillPath(outline, kBodyMid);
    p.save();
    p.setClipPath(outline);
    // Side bezels: a horizontal profile, lighter towards the outer edge.
    for (int side = 0; side < 2; ++side) {
        const qreal x0 = side == 0 ? 0 : w - 19;
        QLinearGradient g(QPointF(x0, 0), QPointF(x0 + 19, 0));
        g.setColorAt(side == 0 ? 0 : 1, QColor(0x3c, 0x3e, 0x44));
        g.setColorAt(side == 0 ? 1 : 0, QColor(0x1a, 0x1b, 0x1f));
        p.fillRect(QRectF(x0, 0, 19, h), g);
    }
    // Top bar, 0 … 47: glossy.
    QLinearGradient top(QPointF(0, 0), QPointF(0, 47));
    top.setColorAt(0, QColor(0x5a, 0x5d, 0x65));
    top.setColorAt(0.5, QColor(0x2c, 0x2e, 0x33));
    top.setColorAt(1, QColor(0x1c, 0x1d, 0x21));
    p.fillRect(QRectF(0, 0, w, 47), top);
    QLinearGradient gloss(QPointF(0, 0), QPointF(0, 22));
    gloss.setColorAt(0, QColor(255, 255, 255, 60));
    gloss.setColorAt(1, QColor(255, 255, 255, 8));
    p.fillRect(QRectF(0, 0, w, 22), gloss);
    // The top bar's corners blend into the side bezels below.
    for (int side = 0; side < 2; ++side) {
        const qreal x0 = side == 0 ? 0 : w - 19;
        QLinearGradient g(QPointF(0, 40), QPointF(0, 70));
        g.setColorAt(0, QColor(0, 0, 0, 0));
        g.setColorAt(1, QColor(0, 0, 0, 0));
        p.fillRect(QRectF(x0, 47, 19, 23), g);
    }
    // Menu strip and the lip round the screen.
    p.fillRect(QRectF(19, 47, w - 38, 20), kMenuStrip);
    p.fillRect(QRectF(19, 66, w - 38, 1), QColor(0x10, 0x10, 0x12));
    p.fillRect(QRectF(19, 67, w - 38, 1), QColor(kGlow.red(), kGlow.green(), kGlow.blue(), 120));
    p.fillRect(QRectF(19, 68, w - 38, 2), QColor(0x08, 0x08, 0x09));
    // The screen and the information strip under it: black.
    p.fillRect(QRectF(19, 70, w - 38, h - 70 - 148), Qt::black);
    // Lower body under the information strip: the control panel sits here.
    const qreal lower = h - 148;
    QLinearGradient body(QPointF(0, lower), QPointF(0, h));
    body.setColorAt(0, QColor(0x34, 0x36, 0x3c));
    body.setColorAt(0.08, QColor(0x26, 0x27, 0x2c));
    body.setColorAt(1, QColor(0x0e, 0x0f, 0x11));
    p.fillRect(QRectF(0, lower, w, h - lower), body);
    p.fillRect(QRectF(19, lower, w - 38, 1), QColor(0x55, 0x58, 0x60));
    p.fillRect(QRectF(19, lower - 1, w - 38, 1), QColor(0x05, 0x05, 0x06));
    // Screen edges: a thin dark rim inside the bezels.
    p.fillRect(QRectF(18, 68, 1, h - 68 - 148), QColor(0x07, 0x07, 0x08));
    p.fillRect(QRectF(w - 19, 68, 1, h - 68 - 148), QColor(0x4a, 0x4d, 0x55));
    p.restore();
    // Outer edge: light along the top, dark round the rest.
    p.setPen(QPen(QColor(0, 0, 0, 220), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 12.5, 12.5);
    p.setPen(QPen(QColor(255, 255, 255, 70), 1));
    p.drawLine(QPointF(12, 1.5), QPointF(w - 12, 1.5));
}

} // namespace

void framePieces() {
    for (int s : {1, 2}) {
        const QImage whole = paint(
            kRefW, kRefH, s, [](QPainter& p) { windowBody(p, kRefW, kRefH); }, Qt::black);
        auto cut = [&](int x, int y, int w, int h) {
            return whole.copy(x * s, y * s, w * s, h * s).convertToFormat(QImage::Format_RGB32);
        };
        save("frame_tl", s, cut(0, 0, 20, 200));
        save("frame_tr", s, cut(kRefW - 20, 0, 20, 200));
        save("frame_top", s, cut(kRefW / 2, 0, 1, 200));
        save("frame_left", s, cut(0, 220, 20, 1));
        save("frame_right", s, cut(kRefW - 20, 220, 20, 1));
        save("frame_bl", s, cut(0, kRefH - 170, 20, 170));
        save("frame_br", s, cut(kRefW - 20, kRefH - 170, 20, 170));
        save("frame_bottom", s, cut(kRefW / 2, kRefH - 170, 1, 170));
    }
}

// The 320 × 124 control panel, with wells and labels where SkinLayout puts the buttons.
void controlPanel() {
    picture("panel", 320, 124, [](QPainter& p) {
        plate(p, QRectF(0.5, 0.5, 319, 123), 9, QColor(0x3e, 0x40, 0x47), QColor(0x15, 0x16, 0x19));
        const QSize client(kRefW, kRefH);
        const QPoint origin = controlPanelOrigin(client);
        QSet<int> seen;
        for (const SkinButton& b : mainWindowButtons()) {
            if (b.normal.anchor != SkinAnchor::Panel) continue;
            const QRect r = placeSkinButton(b, SkinView::Normal, client).translated(-origin);
            if (seen.contains(r.x() * 1000 + r.y())) continue;
            seen.insert(r.x() * 1000 + r.y());
            well(p, QRectF(r).adjusted(-2, -2, 2, 2), b.size * 0.24 + 2);
        }
        const QRect slider = volumeSliderRect(client).translated(-origin);
        well(p, QRectF(slider).adjusted(-3, -3, 3, 3), 4);
        const QFont labels = font(10);
        struct Label {
            int x0, x1, y;
            const char* text;
        };
        const Label row[] = {
            {16, 54, 49, "電源"},           {66, 142, 49, "チャンネル"}, {166, 204, 49, "録画"},
            {228, 304, 49, "タイムシフト"}, {16, 64, 96, "履歴"},        {74, 186, 96, "音量"},
            {203, 226, 96, "選局"},         {229, 252, 96, "開く"},      {255, 278, 96, "再生"},
            {281, 304, 96, "予約"},
        };
        for (const Label& l : row)
            engraved(p, QRectF(l.x0 - 6, l.y, l.x1 - l.x0 + 12, 13), QString::fromUtf8(l.text),
                     labels);
        // Group separators, engraved.
        for (int x : {60, 154, 216}) {
            p.fillRect(QRectF(x, 10, 1, 50), QColor(0, 0, 0, 140));
            p.fillRect(QRectF(x + 1, 10, 1, 50), QColor(255, 255, 255, 28));
        }
        p.fillRect(QRectF(12, 64, 296, 1), QColor(0, 0, 0, 140));
        p.fillRect(QRectF(12, 65, 296, 1), QColor(255, 255, 255, 24));
        for (int x : {69, 194}) {
            p.fillRect(QRectF(x, 70, 1, 38), QColor(0, 0, 0, 140));
            p.fillRect(QRectF(x + 1, 70, 1, 38), QColor(255, 255, 255, 28));
        }
    });
}

// The name plate of the top bar, 100 × 20.
void logo() {
    picture("logo", 100, 20, [](QPainter& p) {
        QFont f = font(15, true);
        f.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
        text(p, QRectF(0, 1, 70, 20), "KOBAL", QColor(0, 0, 0, 200), f,
             Qt::AlignLeft | Qt::AlignVCenter);
        QLinearGradient g(QPointF(0, 3), QPointF(0, 17));
        g.setColorAt(0, QColor(0xf4, 0xf6, 0xf8));
        g.setColorAt(1, QColor(0x9a, 0xa0, 0xa8));
        p.setFont(f);
        p.setPen(QPen(QBrush(g), 1));
        p.drawText(QRectF(0, 0, 70, 20), Qt::AlignLeft | Qt::AlignVCenter, "KOBAL");
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawRoundedRect(QRectF(66, 4, 32, 13), 3, 3);
        text(p, QRectF(66, 4, 32, 13), "1seg", QColor(0xe8, 0xf8, 0xfc), font(10, true));
    });
}

namespace {

// ---- shaped windows ----
void titleBar(QPainter& p, const QRectF& r, const QString& title) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(0x2f, 0x6f, 0x7e));
    g.setColorAt(1, kAccent.darker(115));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(r, 5, 5);
    p.setBrush(QColor(255, 255, 255, 40));
    p.drawRoundedRect(QRectF(r.left(), r.top(), r.width(), r.height() / 2), 5, 5);
    text(p, r.adjusted(10, 0, -10, 0), title, QColor(0xee, 0xf6, 0xf8), font(12, true),
         Qt::AlignLeft | Qt::AlignVCenter);
}

} // namespace

void playbackPanel() { // 404
    keyedPicture("404", 358, 157, qRgb(0, 255, 0), [](QPainter& p) {
        plate(p, QRectF(0.5, 0.5, 357, 156), 14);
        titleBar(p, QRectF(12, 9, 334, 22), QString::fromUtf8("再生パネル"));
        well(p, QRectF(playbackTimeRect()), 4, QColor(0x06, 0x08, 0x09));
        well(p, QRectF(20, 69, 316, 16), 5); // position slider
        for (int i = 0; i <= 10; ++i) {
            const qreal x = 27 + i * 30.2;
            p.fillRect(QRectF(x, 88, 1, i % 5 ? 3 : 5), QColor(0x80, 0x86, 0x8e));
        }
        engraved(p, QRectF(23, 95, 310, 13), QString::fromUtf8("再生位置"), font(10));
        p.fillRect(QRectF(14, 112, 330, 1), QColor(0, 0, 0, 140));
        p.fillRect(QRectF(14, 113, 330, 1), QColor(255, 255, 255, 24));
        well(p, QRectF(playbackTitleRect()), 4, QColor(0x06, 0x08, 0x09));
    });
}

void updateDialog() { // 129
    keyedPicture("129", 358, 157, qRgb(0, 255, 0), [](QPainter& p) {
        plate(p, QRectF(0.5, 0.5, 357, 156), 14);
        titleBar(p, QRectF(12, 8, 334, 22), QString::fromUtf8("ソフトウェアアップデート"));
        well(p, QRectF(14, 34, 330, 21), 3, QColor(0x50, 0x50, 0x50)); // status line
        well(p, QRectF(23, 69, 312, 15), 3);                           // progress bar
        for (int x : {119, 201}) well(p, QRectF(x - 2, 97, 42, 42), 11);
        engraved(p, QRectF(111, 140, 54, 13), QString::fromUtf8("実行"), font(10));
        engraved(p, QRectF(193, 140, 54, 13), QString::fromUtf8("中止"), font(10));
    });
}

void channelWindow() { // 413
    keyedPicture("413", 223, 420, qRgb(0, 255, 0), [](QPainter& p) {
        plate(p, QRectF(0.5, 0.5, 222, 419), 14);
        titleBar(p, QRectF(10, 10, 203, 24), QString::fromUtf8("チャンネルリスト"));
        well(p, QRectF(15, 44, 194, 277), 4, QColor(0x0c, 0x12, 0x0c));
        for (const SkinTextButton& b : channelWindowButtons())
            well(p, QRectF(b.rect).adjusted(-2, -2, 2, 2), b.rect.height() * 0.24 + 2);
        engraved(p, QRectF(15, 366, 194, 13), QString::fromUtf8("チャンネルサーチ"), font(10));
        p.fillRect(QRectF(14, 390, 195, 1), QColor(0, 0, 0, 140));
        p.fillRect(QRectF(14, 391, 195, 1), QColor(255, 255, 255, 24));
        text(p, QRectF(15, 394, 194, 16), "KOBAL", QColor(0x5a, 0x60, 0x68), font(11, true),
             Qt::AlignRight | Qt::AlignVCenter);
    });
}

void fileListWindow() { // 396
    keyedPicture("396", 324, 200, qRgb(255, 0, 255), [](QPainter& p) {
        plate(p, QRectF(0.5, 0.5, 323, 199), 14);
        titleBar(p, QRectF(10, 8, 276, 22), QString::fromUtf8("プレイリスト"));
        const QRect close = fileListCloseRect();
        well(p, QRectF(close).adjusted(-2, -2, 2, 2), 7);
        well(p, QRectF(fileListRect()).adjusted(-2, -2, 2, 2), 4, QColor(0x0c, 0x0d, 0x10));
    });
}

} // namespace kobal::skingen
