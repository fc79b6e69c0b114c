#pragma once
// Puts a widget's finished picture straight into its place in the window on the X server,
// past the window's backing store. The backing store hands its pixels to the server through
// shared memory and must wait for the server before it paints the same area again: one round
// trip per paint, which a panel that moves its text 50 times a second pays every 20 ms. A
// plain image request needs no answer. UI thread only.
class QImage;
class QWidget;

namespace kobal {

// True when the picture went to the screen; false when it cannot go this way (not on X11,
// another pixel layout, the widget not shown or partly covered by another widget, a picture
// not of the widget's size): paint as usual then. The backing store keeps the older picture
// of that area until the widget's next paint, which draws the current one.
bool blitToScreen(QWidget* widget, const QImage& picture);

} // namespace kobal
