#pragma once
// The main window's pictures by resource number. A picture of the skin's resources is used
// when it is there; otherwise a drawn stand-in of the same size, so the window is complete
// whatever artwork is installed. Every picture is drawn at the device pixel ratio asked for.
#include <QPixmap>

namespace kobal::skin {

// 350 splash (350 × 250), 501 start-up and 502 low-signal pictures (120 × 75), 114 icon.
QPixmap picture(int id, qreal dpr = 2.0);
// Reception level icon 0 … 5 (22 × 12).
QPixmap levelIcon(int level, qreal dpr = 2.0);
// The normal view's frame and control panel for a client area (painted in one pass).
void paintFrame(class QPainter& p, QSize client);

} // namespace kobal::skin
