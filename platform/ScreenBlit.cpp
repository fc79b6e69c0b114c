#include "platform/ScreenBlit.h"

#include <QGuiApplication>
#include <QImage>
#include <QWidget>
#include <xcb/xcb.h>

#include <cstdlib>

namespace kobal {

namespace {

xcb_connection_t* x11Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// The server keeps 24- and 32-bit pixels as 32-bit words in this machine's byte order with
// red, green, blue from the top byte down, as QImage::Format_RGB32 does.
bool serverTakesRgb32(xcb_connection_t* c, uint8_t depth) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const bool little = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    if (setup->image_byte_order != (little ? XCB_IMAGE_ORDER_LSB_FIRST : XCB_IMAGE_ORDER_MSB_FIRST))
        return false;
    bool words = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
        if (f.data->depth == depth) words = f.data->bits_per_pixel == 32;
    if (!words) return false;
    for (auto s = xcb_setup_roots_iterator(setup); s.rem; xcb_screen_next(&s))
        for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem; xcb_depth_next(&d)) {
            if (d.data->depth != depth) continue;
            for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
                if (v.data->red_mask != 0xff0000 || v.data->green_mask != 0xff00 ||
                    v.data->blue_mask != 0xff)
                    return false;
        }
    return true;
}

// What is known of the last window drawn into: asked once per window, not per picture.
struct Target {
    xcb_window_t window = 0;
    xcb_gcontext_t gc = 0;
    uint8_t depth = 0;
    bool usable = false;
};

const Target& target(xcb_connection_t* c, xcb_window_t window) {
    static Target t;
    if (t.window == window) return t;
    if (t.gc) xcb_free_gc(c, t.gc);
    t = Target{};
    t.window = window;
    xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    if (!g) return t;
    t.depth = g->depth;
    std::free(g);
    if ((t.depth != 24 && t.depth != 32) || !serverTakesRgb32(c, t.depth)) return t;
    t.gc = xcb_generate_id(c);
    const uint32_t noExposures = 0;
    xcb_create_gc(c, t.gc, window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    t.usable = true;
    return t;
}

// True when no other widget of the window lies over `widget`, opaque or not (later children are
// stacked above earlier ones).
bool uncovered(const QWidget* widget, const QWidget* top) {
    const QRect area(widget->mapTo(top, QPoint(0, 0)), widget->size());
    const auto laidOver = [&](const QObject* o) {
        const auto* w = qobject_cast<const QWidget*>(o);
        return w && !w->isWindow() && w->isVisible() &&
               QRect(w->mapTo(top, QPoint(0, 0)), w->size()).intersects(area);
    };
    for (const QObject* child : widget->children())
        if (laidOver(child)) return false;
    for (const QWidget* w = widget; w != top; w = w->parentWidget()) {
        const QObjectList& siblings = w->parentWidget()->children();
        for (qsizetype i = siblings.indexOf(w) + 1; i < siblings.size(); ++i)
            if (laidOver(siblings[i])) return false;
    }
    return true;
}

// Larger pictures (a full-screen video frame) are cheaper through the backing store's shared
// memory than copied through the socket.
constexpr qsizetype kMostBytes = 1 << 20;

} // namespace

bool blitToScreen(QWidget* widget, const QImage& picture) {
    static const bool off = qEnvironmentVariableIsSet("KOBAL_NO_SCREEN_BLIT");
    if (off || !widget || !widget->isVisible() || picture.isNull()) return false;
    if (picture.format() != QImage::Format_RGB32 || picture.bytesPerLine() != picture.width() * 4)
        return false;
    const qreal dpr = widget->devicePixelRatioF();
    // At a fractional ratio the window system rounds positions its own way: a pixel off would
    // show, so only whole ratios go this way.
    if (dpr != qreal(qRound(dpr))) return false;
    if (picture.size() != widget->size() * dpr || picture.sizeInBytes() > kMostBytes) return false;
    QWidget* top = widget->window();
    if (!top || top->isMinimized() || !top->internalWinId()) return false;
    // Whatever lies over the widget, or clips it, would be drawn over: only a widget seen whole
    // goes this way.
    if (widget->visibleRegion() != QRegion(widget->rect()) || !uncovered(widget, top)) return false;
    xcb_connection_t* c = x11Connection();
    if (!c) return false;
    const Target& t = target(c, xcb_window_t(top->internalWinId()));
    if (!t.usable) return false;
    const size_t bytes = size_t(picture.sizeInBytes());
    if (bytes + sizeof(xcb_put_image_request_t) > size_t(xcb_get_maximum_request_length(c)) * 4)
        return false;
    const QPoint at = widget->mapTo(top, QPoint(0, 0));
    xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, t.window, t.gc, uint16_t(picture.width()),
                  uint16_t(picture.height()), int16_t(qRound(at.x() * dpr)),
                  int16_t(qRound(at.y() * dpr)), 0, t.depth, uint32_t(bytes), picture.constBits());
    xcb_flush(c);
    return true;
}

} // namespace kobal
