// kobal_skingen: draws every picture of the skin, at 1× and 2×, into a folder
// (resources/skin/). The pictures are vector drawings scaled per density, so both sets stay
// crisp; the shaped backgrounds take their key-colour cut-outs from the 1× picture, so the
// @2x picture never shows key colour where the window region (built from 1×) keeps pixels.
//
//     kobal_skingen resources/skin
#include "GifWriter.h"
#include "ui/SkinFonts.h"
#include "ui/SkinLayout.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>
#include <functional>

using namespace kobal;

namespace {

QString g_out;
int g_written = 0;

// ---- palette: a dark, glossy television front with the menu's teal as accent ----
const QColor kBodyHi(0x4a, 0x4c, 0x53);
const QColor kBodyMid(0x26, 0x27, 0x2c);
const QColor kBodyLo(0x12, 0x13, 0x16);
const QColor kEdgeLight(0x7a, 0x7d, 0x86);
const QColor kEdgeDark(0x05, 0x05, 0x06);
const QColor kWell(0x0b, 0x0c, 0x0e);
const QColor kLabel(0x9a, 0xa0, 0xa8);
const QColor kTitle(0xd8, 0xdc, 0xe2);
const QColor kIcon(0xc8, 0xcc, 0xd2);
const QColor kIconHover(0xb4, 0xf2, 0xff);
const QColor kIconPressed(0x5f, 0xcf, 0xe6);
const QColor kAccent(0x28, 0x67, 0x75); // the menus' 0x756728
const QColor kGlow(0x3f, 0xb7, 0xcf);
const QColor kRed(0xd8, 0x2a, 0x2a);
const QColor kMenuStrip(0x39, 0x39, 0x39);

using Draw = std::function<void(QPainter&)>;

// A picture of w × h logical pixels drawn at `scale`.
QImage paint(int w, int h, int scale, const Draw& draw, QColor fill = Qt::transparent) {
    QImage image(w * scale, h * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.scale(scale, scale);
    draw(p);
    return image;
}

void save(const QString& name, int scale, const QImage& image) {
    const QString file = g_out + "/" + name + (scale == 2 ? "@2x" : "") + ".png";
    if (!image.save(file, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        std::exit(1);
    }
    ++g_written;
}

// Both scales of a picture.
void picture(const QString& name, int w, int h, const Draw& draw) {
    for (int s : {1, 2}) save(name, s, paint(w, h, s, draw));
}

// An opaque picture whose outside is a key colour. Pixels are key where the 1× drawing is
// less than half covered; the @2x picture follows the same cut, pixel for pixel.
void keyedPicture(const QString& name, int w, int h, QRgb key, const Draw& draw) {
    const QImage one = paint(w, h, 1, draw);
    for (int s : {1, 2}) {
        const QImage drawn = s == 1 ? one : paint(w, h, s, draw);
        QImage out(w * s, h * s, QImage::Format_RGB32);
        QPainter p(&out);
        p.fillRect(out.rect(), kEdgeDark);
        p.drawImage(0, 0, drawn);
        p.end();
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x)
                if (qAlpha(one.pixel(x / s, y / s)) < 128) out.setPixel(x, y, key);
        save(name, s, out);
    }
}

QFont font(int px, bool bold = false, bool mincho = false) {
    QFont f(mincho ? "IPAMincho" : "IPAPGothic");
    f.setPixelSize(px);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

void text(QPainter& p, const QRectF& r, const QString& s, const QColor& c, const QFont& f,
          int align = Qt::AlignCenter) {
    p.setFont(f);
    p.setPen(c);
    p.drawText(r, align, s);
}

// Engraved label: a dark shadow one pixel below the text.
void engraved(QPainter& p, const QRectF& r, const QString& s, const QFont& f,
              int align = Qt::AlignCenter) {
    text(p, r.translated(0, 1), s, QColor(0, 0, 0, 200), f, align);
    text(p, r, s, kLabel, f, align);
}

// Glossy plate: vertical body gradient, a soft highlight over the upper part, light top
// edge and a dark outline.
void plate(QPainter& p, const QRectF& r, qreal radius, QColor hi = kBodyHi, QColor lo = kBodyLo) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    QLinearGradient body(r.topLeft(), r.bottomLeft());
    body.setColorAt(0, hi);
    body.setColorAt(0.45, kBodyMid);
    body.setColorAt(1, lo);
    p.fillPath(path, body);
    p.save();
    p.setClipPath(path);
    QLinearGradient gloss(r.topLeft(), QPointF(r.left(), r.top() + std::min(r.height(), 60.0)));
    gloss.setColorAt(0, QColor(255, 255, 255, 46));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(QRectF(r.left(), r.top(), r.width(), std::min(r.height(), 60.0)), gloss);
    p.restore();
    p.setPen(QPen(kEdgeDark, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.setPen(QPen(QColor(255, 255, 255, 50), 1));
    p.drawRoundedRect(r.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
}

// Recessed well: dark fill with an inner shadow on top and a light lip below.
void well(QPainter& p, const QRectF& r, qreal radius, QColor fill = kWell) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 34));
    p.drawRoundedRect(r.adjusted(-0.5, -0.5, 0.5, 1.0), radius + 0.5, radius + 0.5);
    p.setBrush(fill);
    p.drawRoundedRect(r, radius, radius);
    QLinearGradient shade(r.topLeft(), QPointF(r.left(), r.top() + 4));
    shade.setColorAt(0, QColor(0, 0, 0, 170));
    shade.setColorAt(1, QColor(0, 0, 0, 0));
    p.setBrush(shade);
    p.drawRoundedRect(r, radius, radius);
}

// ---- icons: drawn in a box of the button's size ----
enum class Frame { Normal, Pressed, Hover };

QColor iconColour(Frame f) {
    return f == Frame::Pressed ? kIconPressed : f == Frame::Hover ? kIconHover : kIcon;
}

using Icon = std::function<void(QPainter&, const QRectF& box, QColor c, Frame f)>;

QPen iconPen(QColor c, qreal w) {
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void powerIcon(QPainter& p, const QRectF& b, QColor c, bool lit) {
    const qreal r = b.width() * 0.26;
    const QPointF m = b.center();
    p.setPen(iconPen(lit ? kGlow.lighter(130) : c, b.width() * 0.075));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(m.x() - r, m.y() - r + 1, 2 * r, 2 * r), 120 * 16, -300 * 16);
    p.drawLine(QPointF(m.x(), m.y() - r - 1), QPointF(m.x(), m.y() + 1));
}

void triangle(QPainter& p, const QRectF& b, QColor c, qreal dir /*1 down, -1 up*/) {
    const QPointF m = b.center();
    const qreal w = b.width() * 0.20, h = b.width() * 0.16;
    QPainterPath t;
    t.moveTo(m.x() - w, m.y() - dir * h * 0.6);
    t.lineTo(m.x() + w, m.y() - dir * h * 0.6);
    t.lineTo(m.x(), m.y() + dir * h * 1.1);
    t.closeSubpath();
    p.setPen(iconPen(c, 1));
    p.setBrush(c);
    p.drawPath(t);
}

void speaker(QPainter& p, const QRectF& b, QColor c) {
    const qreal u = b.width() / 23.0;
    const QPointF o = b.topLeft();
    QPainterPath s;
    s.moveTo(o + QPointF(5 * u, 9 * u));
    s.lineTo(o + QPointF(8 * u, 9 * u));
    s.lineTo(o + QPointF(12 * u, 5.5 * u));
    s.lineTo(o + QPointF(12 * u, 17.5 * u));
    s.lineTo(o + QPointF(8 * u, 14 * u));
    s.lineTo(o + QPointF(5 * u, 14 * u));
    s.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(s);
}

Icon iconFor(const QString& name) {
    if (name == "btn_on" || name == "btn_off")
        return [name](QPainter& p, const QRectF& b, QColor c, Frame) {
            powerIcon(p, b, c, name == "btn_off");
        };
    if (name == "btn_plus" || name == "btn_minus")
        return [name](QPainter& p, const QRectF& b, QColor c, Frame) {
            const bool up = name == "btn_plus";
            triangle(p, b.translated(0, up ? -3 : 3), c, up ? -1 : 1);
            text(p, QRectF(b.left(), up ? b.center().y() + 2 : b.top() + 5, b.width(), 10), "CH", c,
                 font(8, true));
        };
    if (name == "btn_before" || name == "btn_after")
        return [name](QPainter& p, const QRectF& b, QColor c, Frame) {
            const bool back = name == "btn_before";
            const QPointF m = b.center();
            const qreal r = b.width() * 0.24;
            p.setPen(iconPen(c, 1.6));
            p.setBrush(Qt::NoBrush);
            QRectF arc(m.x() - r, m.y() - r, 2 * r, 2 * r);
            p.drawArc(arc, back ? 90 * 16 : 90 * 16, back ? 250 * 16 : -250 * 16);
            const QPointF tip(m.x(), m.y() - r);
            const qreal d = back ? -1 : 1;
            QPainterPath head;
            head.moveTo(tip + QPointF(-d * 3.2, -3.2));
            head.lineTo(tip + QPointF(d * 0.6, 0));
            head.lineTo(tip + QPointF(-d * 3.2, 3.2));
            p.drawPath(head);
        };
    if (name == "btn_mute" || name == "btn_sound")
        return [name](QPainter& p, const QRectF& b, QColor c, Frame) {
            speaker(p, b, c);
            const qreal u = b.width() / 23.0;
            const QPointF o = b.topLeft();
            p.setBrush(Qt::NoBrush);
            if (name == "btn_mute") {
                p.setPen(iconPen(kRed.lighter(125), 1.6));
                p.drawLine(o + QPointF(14 * u, 8.5 * u), o + QPointF(19 * u, 14.5 * u));
                p.drawLine(o + QPointF(19 * u, 8.5 * u), o + QPointF(14 * u, 14.5 * u));
            } else {
                p.setPen(iconPen(c, 1.4));
                p.drawArc(QRectF(o + QPointF(9 * u, 8 * u), QSizeF(7 * u, 7 * u)), -50 * 16,
                          100 * 16);
                p.drawArc(QRectF(o + QPointF(8 * u, 5 * u), QSizeF(12 * u, 13 * u)), -50 * 16,
                          100 * 16);
            }
        };
    if (name == "btn_pause")
        return [](QPainter& p, const QRectF& b, QColor c, Frame) {
            const QPointF m = b.center();
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawRoundedRect(QRectF(m.x() - 6, m.y() - 7, 4.5, 14), 1, 1);
            p.drawRoundedRect(QRectF(m.x() + 1.5, m.y() - 7, 4.5, 14), 1, 1);
        };
    if (name == "btn_start")
        return [](QPainter& p, const QRectF& b, QColor c, Frame) {
            const QPointF m = b.center();
            QPainterPath t;
            t.moveTo(m + QPointF(-5, -8));
            t.lineTo(m + QPointF(8, 0));
            t.lineTo(m + QPointF(-5, 8));
            t.closeSubpath();
            p.setPen(iconPen(c, 1));
            p.setBrush(c);
            p.drawPath(t);
        };
    if (name == "btn_stop")
        return [](QPainter& p, const QRectF& b, QColor c, Frame) {
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawRoundedRect(QRectF(b.center() - QPointF(6.5, 6.5), QSizeF(13, 13)), 1.5, 1.5);
        };
    if (name == "btn_rec" || name == "btn_recording" || name == "btn_rec_small")
        return [name](QPainter& p, const QRectF& b, QColor, Frame f) {
            const bool on = name == "btn_recording";
            const qreal r = b.width() * (name == "btn_rec_small" ? 0.22 : 0.2);
            const QPointF m = b.center();
            if (on || f == Frame::Hover) {
                QRadialGradient glow(m, r * 2.2);
                glow.setColorAt(0, QColor(255, 60, 60, on ? 150 : 90));
                glow.setColorAt(1, QColor(255, 60, 60, 0));
                p.setPen(Qt::NoPen);
                p.setBrush(glow);
                p.drawEllipse(m, r * 2.2, r * 2.2);
            }
            QRadialGradient ball(m - QPointF(r * 0.35, r * 0.4), r * 1.4);
            ball.setColorAt(0, on ? QColor(255, 150, 150) : QColor(240, 110, 110));
            ball.setColorAt(1, f == Frame::Pressed ? kRed.darker(140) : kRed);
            p.setPen(QPen(QColor(60, 0, 0), 1));
            p.setBrush(ball);
            p.drawEllipse(m, r, r);
            if (on) {
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(255, 255, 255, 230));
                p.drawRect(QRectF(m - QPointF(r * 0.38, r * 0.38), QSizeF(r * 0.76, r * 0.76)));
            }
        };
    if (name == "btn_view")
        return [](QPainter& p, const QRectF& b, QColor c, Frame) {
            const QPointF m = b.center();
            p.setBrush(Qt::NoBrush);
            p.setPen(iconPen(c, 1.3));
            p.drawRoundedRect(QRectF(m + QPointF(-7, -5), QSizeF(10, 7.5)), 1, 1);
            QPen dashed = iconPen(c, 1.1);
            dashed.setDashPattern({1.5, 1.5});
            p.setPen(dashed);
            p.drawRoundedRect(QRectF(m + QPointF(-3, -1.5), QSizeF(10, 7.5)), 1, 1);
        };
    if (name == "btn_ful" || name == "btn_view2")
        return [name](QPainter& p, const QRectF& b, QColor c, Frame) {
            const bool inward = name == "btn_view2";
            const QPointF m = b.center();
            const qreal e = b.width() * 0.26, l = b.width() * 0.13;
            p.setPen(iconPen(c, 1.5));
            p.setBrush(Qt::NoBrush);
            for (int sx : {-1, 1})
                for (int sy : {-1, 1}) {
                    const QPointF corner = m + QPointF(sx * e, sy * e);
                    // Outward: brackets on the corners; inward: brackets turned in.
                    const QPointF at = inward ? m + QPointF(sx * (e - l), sy * (e - l)) : corner;
                    const qreal d = inward ? 1 : -1;
                    QPainterPath a;
                    a.moveTo(at + QPointF(d * sx * l, 0));
                    a.lineTo(at);
                    a.lineTo(at + QPointF(0, d * sy * l));
                    p.drawPath(a);
                }
        };
    if (name == "btn_small")
        return [](QPainter& p, const QRectF& b, QColor c, Frame) {
            p.setPen(iconPen(c, 1.8));
            p.drawLine(QPointF(b.left() + 7, b.center().y() + 4),
                       QPointF(b.right() - 7, b.center().y() + 4));
        };
    if (name == "btn_clo" || name == "130")
        return [name](QPainter& p, const QRectF& b, QColor c, Frame) {
            const qreal e = name == "130" ? 7 : 4.5;
            const QPointF m = b.center() - (name == "130" ? QPointF(0, 3) : QPointF());
            p.setPen(iconPen(c, name == "130" ? 2.4 : 1.7));
            p.drawLine(m + QPointF(-e, -e), m + QPointF(e, e));
            p.drawLine(m + QPointF(e, -e), m + QPointF(-e, e));
        };
    if (name == "131")
        return [](QPainter& p, const QRectF& b, QColor c, Frame) {
            const QPointF m = b.center() - QPointF(0, 3);
            QPainterPath tick;
            tick.moveTo(m + QPointF(-8, 0));
            tick.lineTo(m + QPointF(-2.5, 6));
            tick.lineTo(m + QPointF(8, -6));
            p.setPen(iconPen(c, 2.6));
            p.setBrush(Qt::NoBrush);
            p.drawPath(tick);
        };
    if (name == "btn_clist" || name == "btn_plist")
        return [name](QPainter& p, const QRectF& b, QColor c, Frame) {
            const qreal x0 = b.left() + 6, x1 = b.right() - 6;
            p.setPen(iconPen(c, 1.4));
            for (int i = 0; i < 3; ++i) {
                const qreal y = b.top() + 7.5 + i * 4;
                if (name == "btn_clist") {
                    p.drawPoint(QPointF(x0, y));
                    p.drawLine(QPointF(x0 + 3, y), QPointF(x1, y));
                } else {
                    p.drawLine(QPointF(x0 + (i == 2 ? 0 : 0), y),
                               QPointF(x1 - (i == 2 ? 6 : 0), y));
                }
            }
            if (name == "btn_plist") {
                QPainterPath t;
                const QPointF o(x1 - 4, b.top() + 14.5);
                t.moveTo(o);
                t.lineTo(o + QPointF(5, 2.5));
                t.lineTo(o + QPointF(0, 5));
                t.closeSubpath();
                p.setPen(Qt::NoPen);
                p.setBrush(c);
                p.drawPath(t);
            }
        };
    if (name == "btn_open")
        return [](QPainter& p, const QRectF& b, QColor c, Frame) {
            const QPointF o = b.topLeft();
            QPainterPath f;
            f.moveTo(o + QPointF(5, 7));
            f.lineTo(o + QPointF(9.5, 7));
            f.lineTo(o + QPointF(11, 8.5));
            f.lineTo(o + QPointF(18, 8.5));
            f.lineTo(o + QPointF(18, 16.5));
            f.lineTo(o + QPointF(5, 16.5));
            f.closeSubpath();
            p.setPen(iconPen(c, 1.3));
            p.setBrush(Qt::NoBrush);
            p.drawPath(f);
            p.drawLine(o + QPointF(5, 10.5), o + QPointF(18, 10.5));
        };
    if (name == "btn_option")
        return [](QPainter& p, const QRectF& b, QColor c, Frame) {
            const QPointF m = b.center();
            p.setPen(iconPen(c, 1.3));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(m, 6, 6);
            p.drawLine(m, m + QPointF(0, -4));
            p.drawLine(m, m + QPointF(3, 1.5));
        };
    return [](QPainter&, const QRectF&, QColor, Frame) {}; // "block": a blank key
}

// A key of the television front: rounded glossy cap, lighter when hovered, sunk when pressed.
void buttonFace(QPainter& p, const QRectF& r, Frame f) {
    const qreal radius = std::min(r.width(), r.height()) * 0.24;
    const QRectF cap = r.adjusted(1, 1, -1, -1);
    // dark seat around the cap
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 150));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius + 1, radius + 1);
    QPainterPath path;
    path.addRoundedRect(cap, radius, radius);
    QLinearGradient g(cap.topLeft(), cap.bottomLeft());
    if (f == Frame::Pressed) {
        g.setColorAt(0, QColor(0x12, 0x13, 0x16));
        g.setColorAt(1, QColor(0x2c, 0x2e, 0x33));
    } else if (f == Frame::Hover) {
        g.setColorAt(0, QColor(0x62, 0x66, 0x70));
        g.setColorAt(0.5, QColor(0x36, 0x39, 0x40));
        g.setColorAt(1, QColor(0x22, 0x24, 0x29));
    } else {
        g.setColorAt(0, QColor(0x50, 0x53, 0x5b));
        g.setColorAt(0.5, QColor(0x2b, 0x2d, 0x32));
        g.setColorAt(1, QColor(0x18, 0x19, 0x1c));
    }
    p.fillPath(path, g);
    if (f != Frame::Pressed) {
        // gloss on the upper half
        p.save();
        p.setClipPath(path);
        QLinearGradient gloss(cap.topLeft(), QPointF(cap.left(), cap.center().y()));
        gloss.setColorAt(0, QColor(255, 255, 255, f == Frame::Hover ? 70 : 52));
        gloss.setColorAt(1, QColor(255, 255, 255, 6));
        p.fillRect(QRectF(cap.left(), cap.top(), cap.width(), cap.height() / 2), gloss);
        p.restore();
        p.setPen(QPen(QColor(255, 255, 255, 60), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(cap.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
    } else {
        p.setPen(QPen(QColor(0, 0, 0, 160), 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(cap.adjusted(0.6, 0.6, -0.6, -0.6), radius - 0.5, radius - 0.5);
    }
    if (f == Frame::Hover || f == Frame::Pressed) {
        p.setPen(QPen(
            QColor(kGlow.red(), kGlow.green(), kGlow.blue(), f == Frame::Hover ? 170 : 110), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(cap, radius, radius);
    }
}

// Three frames side by side: normal, pressed, hovered. A label, when given, sits under the
// icon (the update dialog's two buttons).
void button(const QString& name, int size, const QString& label = {}) {
    const Icon icon = iconFor(name);
    picture(name, 3 * size, size, [&](QPainter& p) {
        for (int i = 0; i < 3; ++i) {
            const Frame f = i == 0 ? Frame::Normal : i == 1 ? Frame::Pressed : Frame::Hover;
            const QRectF r(i * size, 0, size, size);
            buttonFace(p, r, f);
            const QRectF box = f == Frame::Pressed ? r.translated(0.5, 0.8) : r;
            icon(p, box, iconColour(f), f);
            if (!label.isEmpty())
                text(p, QRectF(box.left(), box.bottom() - 14, size, 11), label, iconColour(f),
                     font(9, true));
        }
    });
}

// A text key (the channel window's scan buttons): w × h, three frames.
void textButton(const QString& name, int w, int h, const QString& label) {
    picture(name, 3 * w, h, [&](QPainter& p) {
        for (int i = 0; i < 3; ++i) {
            const Frame f = i == 0 ? Frame::Normal : i == 1 ? Frame::Pressed : Frame::Hover;
            const QRectF r(i * w, 0, w, h);
            p.save();
            buttonFace(p, r, f);
            p.restore();
            text(p, f == Frame::Pressed ? r.translated(0.5, 0.8) : r, label, iconColour(f),
                 font(11, true));
        }
    });
}

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

// ---- small pictures ----
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

// ---- animated pictures, 120 × 75 ----
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
        QFile f(g_out + (s == 2 ? "/501@2x.gif" : "/501.gif"));
        if (!f.open(QIODevice::WriteOnly) || f.write(writeGif(120 * s, 75 * s, frames)) < 0)
            std::exit(1);
        ++g_written;
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
        QFile f(g_out + (s == 2 ? "/502@2x.gif" : "/502.gif"));
        if (!f.open(QIODevice::WriteOnly) || f.write(writeGif(120 * s, 75 * s, frames)) < 0)
            std::exit(1);
        ++g_written;
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr,
                     "usage: kobal_skingen <folder>   (draws every skin picture into it)\n");
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_out);

    framePieces();
    controlPanel();
    logo();
    for (const SkinButton& b : mainWindowButtons()) button(b.picture, b.size);
    button("130", 38);
    button("131", 38);
    for (const SkinTextButton& b : channelWindowButtons())
        textButton(b.picture, b.rect.width(), b.rect.height(), QString::fromUtf8(b.label));
    playbackPanel();
    updateDialog();
    channelWindow();
    fileListWindow();
    splash();
    sliders();
    checks();
    levels();
    appIcon("114", false);
    appIcon("128", true);
    folderIcons();
    startupGif();
    lowSignalGif();
    std::printf("%d files written to %s\n", g_written, qPrintable(g_out));
    return 0;
}
