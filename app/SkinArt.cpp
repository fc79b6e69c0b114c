#include "app/SkinArt.h"

#include <QFile>
#include <QLinearGradient>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>

#include "ui/SkinPictures.h"

namespace kobal::skin {

namespace {

QPixmap fromResources(int id) {
    if (QFile::exists(kobal::skinPicturePath(QString::number(id))))
        return kobal::skinPixmap(QString::number(id));
    return {};
}

QPixmap canvas(QSize size, qreal dpr) {
    QPixmap pm(size * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    return pm;
}

const QColor kBody(0x2a, 0x2d, 0x33);
const QColor kEdge(0x55, 0x5b, 0x66);
const QColor kAccent(0x28, 0x67, 0x75); // the menus' highlight colour

void glossyPanel(QPainter& p, const QRectF& r, qreal radius) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(0x4a, 0x4f, 0x58));
    g.setColorAt(0.48, QColor(0x2c, 0x2f, 0x36));
    g.setColorAt(1, QColor(0x18, 0x1a, 0x1e));
    p.setPen(QPen(kEdge, 1));
    p.setBrush(g);
    p.drawRoundedRect(r, radius, radius);
}

QPixmap splash(qreal dpr) {
    QPixmap pm = canvas({350, 250}, dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 250);
    g.setColorAt(0, QColor(0x1d, 0x3b, 0x55));
    g.setColorAt(1, QColor(0x08, 0x10, 0x18));
    p.fillRect(QRect(0, 0, 350, 250), g);
    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    for (int i = 0; i < 6; ++i)
        p.drawArc(QRectF(-120 + i * 18, 120 + i * 6, 600, 260), 0, 180 * 16);
    QFont title("Arib_Gothic");
    title.setPixelSize(34);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 90, 350, 50), Qt::AlignCenter, "Kobal Player");
    QFont small("Arib_Gothic");
    small.setPixelSize(13);
    p.setFont(small);
    p.setPen(QColor(0xc4, 0xd8, 0xe8));
    p.drawText(QRect(0, 140, 350, 24), Qt::AlignCenter, QStringLiteral("ワンセグ テレビ"));
    p.drawText(QRect(230, 55, 50, 15), Qt::AlignRight | Qt::AlignVCenter, "Ver.");
    return pm;
}

QPixmap message(qreal dpr, bool lowSignal) {
    QPixmap pm = canvas({120, 75}, dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0, 0, 0, 170));
    p.setPen(QPen(kAccent.lighter(150), 1.5));
    p.drawRoundedRect(QRectF(1, 1, 118, 73), 8, 8);
    // An antenna with its waves; struck through when the signal is too weak.
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(60, 22), QPointF(60, 46));
    p.drawLine(QPointF(52, 46), QPointF(68, 46));
    for (int i = 1; i <= 2; ++i) {
        const QRectF arc(60 - 8.0 * i, 22 - 8.0 * i, 16.0 * i, 16.0 * i);
        p.drawArc(arc, 30 * 16, 120 * 16);
    }
    if (lowSignal) {
        p.setPen(QPen(QColor(0xff, 0x60, 0x50), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(44, 14), QPointF(76, 48));
    }
    QFont f("Arib_Gothic");
    f.setPixelSize(11);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 52, 120, 18), Qt::AlignCenter,
               lowSignal ? QStringLiteral("受信できません") : QStringLiteral("起動中…"));
    return pm;
}

QPixmap icon(qreal dpr) {
    QPixmap pm = canvas({64, 64}, dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    glossyPanel(p, QRectF(2, 8, 60, 46), 9);
    p.fillRect(QRectF(8, 14, 48, 30), QColor(0x30, 0x90, 0xc8));
    p.setPen(Qt::white);
    QFont f("Arib_Gothic");
    f.setPixelSize(20);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(8, 14, 48, 30), Qt::AlignCenter, "1seg");
    p.setPen(QPen(kEdge, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(24, 58), QPointF(40, 58));
    return pm;
}

} // namespace

QPixmap picture(int id, qreal dpr) {
    QPixmap pm = fromResources(id);
    if (!pm.isNull()) return pm;
    switch (id) {
    case 350:
        return splash(dpr);
    case 501:
        return message(dpr, false);
    case 502:
        return message(dpr, true);
    case 114:
        return icon(dpr);
    default:
        return {};
    }
}

QPixmap levelIcon(int level, qreal dpr) {
    const QPixmap art = kobal::skinPixmap(kobal::pic::level(level));
    if (!art.isNull()) return art;
    QPixmap pm = canvas({22, 12}, dpr);
    QPainter p(&pm);
    for (int i = 0; i < 4; ++i) {
        const QRectF bar(2 + i * 5, 10 - 2.5 * (i + 1), 4, 2.5 * (i + 1) + 1);
        p.fillRect(bar, i < level ? QColor(0x7c, 0xe0, 0x6c) : QColor(0x50, 0x55, 0x5e));
    }
    return pm;
}

void paintFrame(QPainter& p, QSize client) {
    if (QFile::exists(kobal::skinPicturePath("frame_tl"))) {
        p.drawImage(QPointF(0, 0),
                    kobal::renderMainFrame(client, p.device()->devicePixelRatioF() > 1 ? 2 : 1));
        return;
    }
    const int w = client.width(), h = client.height();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRect(0, 0, w, h), Qt::black);
    glossyPanel(p, QRectF(0.5, 0.5, w - 1, h - 1), 14);
    // The picture well and the control panel (320 × 124 at (w - 358) / 2 + 19, h - 144).
    p.setPen(QPen(QColor(0x0c, 0x0d, 0x10), 2));
    p.setBrush(QColor(0x10, 0x11, 0x14));
    p.drawRoundedRect(QRectF(15, 43, w - 30, h - 144 - 43 - 2), 6, 6);
    const QRectF panel((w - 358) / 2 + 19, h - 144, 320, 124);
    QLinearGradient g(panel.topLeft(), panel.bottomLeft());
    g.setColorAt(0, QColor(0x3a, 0x3e, 0x46));
    g.setColorAt(1, QColor(0x1e, 0x20, 0x25));
    p.setBrush(g);
    p.setPen(QPen(kEdge, 1));
    p.drawRoundedRect(panel, 10, 10);
    p.setPen(QColor(0x9a, 0xa3, 0xb0));
    QFont f("Arib_Gothic");
    f.setPixelSize(11);
    p.setFont(f);
    p.drawText(QRectF(20, 12, w - 40, 22), Qt::AlignLeft | Qt::AlignVCenter, "KOBAL 1seg");
    p.restore();
}

} // namespace kobal::skin
