#include "app/CSplashDlg.h"

#include "ui/SkinPictures.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace kobal {

CSplashDlg::CSplashDlg(QString version, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      version_(std::move(version)) {
    setFixedSize(350, 250);
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        const QRect r = s->geometry();
        move(r.x() + r.width() / 2 - 175, r.y() + r.height() / 2 - 125);
    }
}

QPixmap CSplashDlg::render(qreal dpr) const {
    QPixmap pm(QSize(350, 250) * dpr);
    pm.setDevicePixelRatio(dpr);
    QPainter p(&pm);
    p.drawImage(QPointF(0, 0), skinImage(pic::kSplash, dpr > 1 ? 2 : 1));
    QFont f("Arib_Gothic");
    f.setPointSize(11);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(QPoint(280, 55), QPoint(339, 69)), Qt::AlignCenter | Qt::TextDontClip,
               version_);
    return pm;
}

void CSplashDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, render(devicePixelRatioF()));
}

// As version information it closes on a click.
void CSplashDlg::mousePressEvent(QMouseEvent*) {
    if (isModal()) close();
}

} // namespace kobal
