#include "ui/SkinPictures.h"

#include "ui/SkinLayout.h"

#include <QFile>
#include <QHash>
#include <QPainter>

#include <mutex>

namespace kobal {
namespace {
QString withScale(const QString& path, int scale) {
    if (scale <= 1) return path;
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    return path.left(dot) + QStringLiteral("@%1x").arg(scale) + path.mid(dot);
}
} // namespace

QString skinPicturePath(const QString& name) {
    return QStringLiteral(":/skin/") + name +
           (name.contains(QLatin1Char('.')) ? QString() : QStringLiteral(".png"));
}

QPixmap skinPixmap(const QString& name) {
    return QPixmap(skinPicturePath(name)); // QPixmap takes the @2x file by itself
}

QImage skinImage(const QString& name, int scale) {
    // Decoded once: the frame pieces are drawn on every erase-background.
    static std::mutex lock;
    static QHash<QString, QImage> cache;
    const QString key = name + QLatin1Char('@') + QString::number(scale);
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto it = cache.constFind(key);
        if (it != cache.constEnd()) return *it;
    }
    QImage image(withScale(skinPicturePath(name), scale));
    if (image.isNull() && scale > 1)
        image = skinImage(name, 1);
    else if (!image.isNull() && scale > 1)
        image.setDevicePixelRatio(scale);
    std::lock_guard<std::mutex> guard(lock);
    cache.insert(key, image);
    return image;
}

QByteArray skinBytes(const QString& fileName, int scale) {
    QFile file(withScale(skinPicturePath(fileName), scale));
    if (!file.open(QIODevice::ReadOnly)) {
        if (scale > 1) return skinBytes(fileName, 1);
        return {};
    }
    return file.readAll();
}

void drawStretched(QPainter& p, const QRectF& target, const QPixmap& picture) {
    if (picture.isNull() || target.isEmpty()) return;
    p.drawPixmap(target, picture, QRectF(QPointF(0, 0), QSizeF(picture.size())));
}

void drawStretched(QPainter& p, const QRectF& target, const QImage& picture) {
    if (picture.isNull() || target.isEmpty()) return;
    p.drawImage(target, picture, QRectF(QPointF(0, 0), QSizeF(picture.size())));
}

QImage renderMainFrame(QSize size, int scale) {
    const int w = size.width(), h = size.height();
    QImage out(size * scale, QImage::Format_RGB32);
    out.setDevicePixelRatio(scale);
    out.fill(Qt::black);
    QPainter p(&out);
    auto piece = [&](const char* name) { return skinImage(name, scale); };
    p.drawImage(QPointF(0, 0), piece("frame_tl"));
    p.drawImage(QPointF(w - 20, 0), piece("frame_tr"));
    drawStretched(p, QRectF(20, 0, w - 40, 200), piece("frame_top"));
    drawStretched(p, QRectF(0, 200, 20, h - 370), piece("frame_left"));
    drawStretched(p, QRectF(w - 20, 200, 20, h - 370), piece("frame_right"));
    p.drawImage(QPointF(0, h - 170), piece("frame_bl"));
    p.drawImage(QPointF(w - 20, h - 170), piece("frame_br"));
    drawStretched(p, QRectF(20, h - 170, w - 40, 170), piece("frame_bottom"));
    p.drawImage(QPointF((w - 358) / 2 + 19, h - 144), piece("panel"));
    p.drawImage(normalLogoRect(size).topLeft(), piece("logo"));
    return out;
}

} // namespace kobal
