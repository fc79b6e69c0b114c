// The keys: icons drawn in a box of the button's size on a glossy cap, three frames each.
#include "Drawing.h"
#include "Pictures.h"

#include <QPainterPath>

namespace kobal::skingen {

namespace {

// ---- icons: drawn in a box of the button's size ----
enum class Frame { Normal, Pressed, Hover };

QColor iconColour(Frame f) {
    return f == Frame::Pressed ? kIconPressed : f == Frame::Hover ? kIconHover : kIcon;
}

using Icon = std::function<void(QPainter&, const QRectF& box, QColor c, Frame f)>;

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

} // namespace

// Three frames side by side: normal, pressed, hovered. A label, when given, sits under the
// icon (the update dialog's two buttons).
void button(const QString& name, int size, const QString& label) {
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

} // namespace kobal::skingen
