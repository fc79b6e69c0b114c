#pragma once
// Sizes and rectangles of the main window's views, as pure functions of the view state and
// the screen, so every transition lays out the same way and tests can check them.
//   normal       358 × 440 (1×), 678 × 620 (2×); captions add 60 rows
//   transparent  360 × 228 (1×), 2 × (video height × 16 / 9) × 408 (2×); captions add 60 rows
//   theater      the whole primary screen; the picture is the largest 16:9 rectangle
#include <QRect>
#include <QSize>

namespace kobal::geometry {

enum View { Normal = 0, Transparent = 1, Theater = 2 };

inline constexpr int kCaptionRows = 60;
// The normal view's rows above the picture (frame and menu bar) and below it (programme line,
// status line, control panel).
inline constexpr int kNormalTopRows = 70;
inline constexpr int kNormalBottomRows = 190;
inline constexpr int kTheaterCaptionBand = 80;

// Window size of the normal or transparent view for sizeMode 1 or 2. videoHeight is the
// playing picture's height (used by the transparent 2× width; 180 when unknown).
QSize windowSize(bool transparent, int sizeMode, bool captions, int videoHeight = 180);
// The smallest size a resize may leave.
QSize minimumSize(bool transparent, bool captions);

// Theater picture: the largest 16:9 rectangle in the screen (in its top screen-80 rows while
// captions show), centred horizontally and within those rows.
QRect theaterPicture(QSize screen, bool captions);
// A fixed picture size centred on the screen (theater 1× and 2×).
QRect centred(QSize screen, QSize picture);
// Caption panel of the theater view.
QRect theaterCaptions(QSize screen);

// Where a window of `size` goes when it wants `want`: moved just enough to stay inside `area`.
QPoint within(QPoint want, QSize size, QRect area);

// Child rectangles of the normal and transparent views for a client area.
QRect picture(bool transparent, QSize client, bool captions);
QRect statusLine(bool transparent, QSize client, bool captions);
QRect captionPanel(bool transparent, QSize client, bool captions);
QRect levelIcon(QSize client);                        // the reception-level icon, 22 × 12
QRect startupPicture(bool transparent, QSize client); // GIF 501/502, 120 × 75

// LAST_VIEW after a transition: theater 2 (transparent inside theater too), transparent 1,
// normal 0.
constexpr int lastView(bool transparent, bool fullScreen) {
    return fullScreen ? Theater : transparent ? Transparent : Normal;
}

} // namespace kobal::geometry
