#pragma once
// kobal_skingen's drawing kit: the palette, pictures drawn at 1× and 2× and written to the
// output folder, and the plates, wells, labels and pens every part of the skin is made of.
#include "GifWriter.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>

#include <functional>
#include <vector>

namespace kobal::skingen {

// ---- palette: a dark, glossy television front with the menu's teal as accent ----
inline const QColor kBodyHi(0x4a, 0x4c, 0x53);
inline const QColor kBodyMid(0x26, 0x27, 0x2c);
inline const QColor kBodyLo(0x12, 0x13, 0x16);
inline const QColor kEdgeLight(0x7a, 0x7d, 0x86);
inline const QColor kEdgeDark(0x05, 0x05, 0x06);
inline const QColor kWell(0x0b, 0x0c, 0x0e);
inline const QColor kLabel(0x9a, 0xa0, 0xa8);
inline const QColor kTitle(0xd8, 0xdc, 0xe2);
inline const QColor kIcon(0xc8, 0xcc, 0xd2);
inline const QColor kIconHover(0xb4, 0xf2, 0xff);
inline const QColor kIconPressed(0x5f, 0xcf, 0xe6);
inline const QColor kAccent(0x28, 0x67, 0x75); // the menus' 0x756728
inline const QColor kGlow(0x3f, 0xb7, 0xcf);
inline const QColor kRed(0xd8, 0x2a, 0x2a);
inline const QColor kMenuStrip(0x39, 0x39, 0x39);

using Draw = std::function<void(QPainter&)>;

// Where the pictures go, and how many files were written there.
void setOutputFolder(const QString& folder);
int writtenCount();

// A picture of w × h logical pixels drawn at `scale`.
QImage paint(int w, int h, int scale, const Draw& draw, QColor fill = Qt::transparent);
// Writes NAME.png (NAME@2x.png at scale 2); a file that cannot be written ends the tool.
void save(const QString& name, int scale, const QImage& image);
// Both scales of a picture.
void picture(const QString& name, int w, int h, const Draw& draw);
// An opaque picture whose outside is a key colour. Pixels are key where the 1× drawing is
// less than half covered; the @2x picture follows the same cut, pixel for pixel.
void keyedPicture(const QString& name, int w, int h, QRgb key, const Draw& draw);
// Writes NAME.gif (NAME@2x.gif at scale 2), a looping animation of w × h logical pixels.
void saveGif(const QString& name, int scale, int w, int h,
             const std::vector<GifWriterFrame>& frames);

QFont font(int px, bool bold = false, bool mincho = false);
void text(QPainter& p, const QRectF& r, const QString& s, const QColor& c, const QFont& f,
          int align = Qt::AlignCenter);
// Engraved label: a dark shadow one pixel below the text.
void engraved(QPainter& p, const QRectF& r, const QString& s, const QFont& f,
              int align = Qt::AlignCenter);
// Glossy plate: vertical body gradient, a soft highlight over the upper part, light top
// edge and a dark outline.
void plate(QPainter& p, const QRectF& r, qreal radius, QColor hi = kBodyHi, QColor lo = kBodyLo);
// Recessed well: dark fill with an inner shadow on top and a light lip below.
void well(QPainter& p, const QRectF& r, qreal radius, QColor fill = kWell);
// The round-capped pen of the icons and drawn marks.
QPen iconPen(QColor c, qreal w);

} // namespace kobal::skingen
