#include "Drawing.h"

#include <QFile>
#include <QLinearGradient>
#include <QPainterPath>

#include <cstdio>
#include <cstdlib>

namespace kobal::skingen {
namespace {

QString g_out;
int g_written = 0;

} // namespace

void setOutputFolder(const QString& folder) {
    g_out = folder;
}

int writtenCount() {
    return g_written;
}

QImage paint(int w, int h, int scale, const Draw& draw, QColor fill) {
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

void picture(const QString& name, int w, int h, const Draw& draw) {
    for (int s : {1, 2}) save(name, s, paint(w, h, s, draw));
}

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

QFont font(int px, bool bold, bool mincho) {
    QFont f(mincho ? "IPAMincho" : "IPAPGothic");
    f.setPixelSize(px);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

void text(QPainter& p, const QRectF& r, const QString& s, const QColor& c, const QFont& f,
          int align) {
    p.setFont(f);
    p.setPen(c);
    p.drawText(r, align, s);
}

void engraved(QPainter& p, const QRectF& r, const QString& s, const QFont& f, int align) {
    text(p, r.translated(0, 1), s, QColor(0, 0, 0, 200), f, align);
    text(p, r, s, kLabel, f, align);
}

void plate(QPainter& p, const QRectF& r, qreal radius, QColor hi, QColor lo) {
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

void well(QPainter& p, const QRectF& r, qreal radius, QColor fill) {
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

void saveGif(const QString& name, int scale, int w, int h,
             const std::vector<GifWriterFrame>& frames) {
    QFile f(g_out + "/" + name + (scale == 2 ? "@2x" : "") + ".gif");
    if (!f.open(QIODevice::WriteOnly) || f.write(writeGif(w * scale, h * scale, frames)) < 0)
        std::exit(1);
    ++g_written;
}

QPen iconPen(QColor c, qreal w) {
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

} // namespace kobal::skingen
