#include "app/WindowGeometry.h"

#include <algorithm>

namespace kobal::geometry {

QSize windowSize(bool transparent, int sizeMode, bool captions, int videoHeight) {
    const int extra = captions ? kCaptionRows : 0;
    if (sizeMode == 2) {
        if (!transparent) return {678, 620 + extra};
        const int h = videoHeight > 0 ? videoHeight : 180;
        return {2 * (h * 16 / 9), 408 + extra};
    }
    return transparent ? QSize(360, 228 + extra) : QSize(358, 440 + extra);
}

QSize minimumSize(bool transparent, bool captions) {
    return windowSize(transparent, 1, captions);
}

QRect theaterPicture(QSize screen, bool captions) {
    const int sw = screen.width();
    const int rows = captions ? screen.height() - kTheaterCaptionBand : screen.height();
    int w, h;
    if (qint64(sw) * 9 < qint64(rows) * 16) { // narrower than 16:9
        w = sw;
        h = int(qint64(w) * 9 / 16);
    } else {
        h = rows;
        w = int(qint64(h) * 16 / 9);
    }
    return {(sw - w) / 2, (rows - h) / 2, w, h};
}

QRect centred(QSize screen, QSize picture) {
    return {(screen.width() - picture.width()) / 2, (screen.height() - picture.height()) / 2,
            picture.width(), picture.height()};
}

QPoint within(QPoint want, QSize size, QRect area) {
    return {std::clamp(want.x(), area.left(), std::max(area.left(), area.right() - size.width())),
            std::clamp(want.y(), area.top(), std::max(area.top(), area.bottom() - size.height()))};
}

QRect theaterCaptions(QSize screen) {
    return {180, screen.height() - 80, std::max(0, screen.width() - 360), 60};
}

// The normal view's picture sits below the menu bar band (19, 47, 280 × 20), inside the
// 19-pixel frame, and above the programme line, the status line and the control panel (the
// bottom 190 rows); the transparent view keeps a 20-row band on top for the menu bar at (10, 0).
// Either way the picture is the largest 16:9 rectangle of its band, centred across it, so a
// window made wider than tall (maximised on a wide screen) never covers the control panel.
QRect picture(bool transparent, QSize client, bool captions) {
    const int captionRows = captions ? kCaptionRows : 0;
    if (transparent) {
        // 20 rows for the menu bar above, 28 for the status line below.
        const int rows = std::max(0, client.height() - 48 - captionRows);
        const int w = std::min(client.width(), rows * 16 / 9);
        return {(client.width() - w) / 2, 20, w, w * 9 / 16};
    }
    const int band = std::max(0, client.width() - 38);
    const int rows =
        std::max(0, client.height() - kNormalTopRows - kNormalBottomRows - captionRows);
    const int w = std::min(band, rows * 16 / 9);
    return {19 + (band - w) / 2, kNormalTopRows, w, w * 9 / 16};
}

QRect statusLine(bool transparent, QSize client, bool captions) {
    if (transparent) return {14, client.height() - 24, std::max(0, client.width() - 80), 20};
    (void)captions;
    // Under the programme line, above the control panel; the level icon keeps its right end.
    return {23, client.height() - 168, std::max(0, client.width() - 46 - 32), 20};
}

QRect captionPanel(bool transparent, QSize client, bool captions) {
    const QRect pic = picture(transparent, client, captions);
    return {pic.x(), pic.bottom() + 1, pic.width(), kCaptionRows};
}

QRect levelIcon(QSize client) {
    return {client.width() - 47, client.height() - 165, 22, 12};
}

QRect startupPicture(bool transparent, QSize client) {
    const int y = client.height() / 2 - 47 - (transparent ? 0 : 50);
    return {client.width() / 2 - 60, y, 120, 75};
}

} // namespace kobal::geometry
