#pragma once
// Where the main window's buttons sit and which picture each one wears, per view. Positions
// are anchored: to the control panel's top-left (normal view; the panel sits at
// ((w − 358) / 2 + 19, h − 144)), or to the client area's top-left, top-right or
// bottom-right corner (x, y then count from that corner: a button at (−43, 14) of the
// top-right anchor has its left edge 43 pixels left of the right edge). Buttons that swap
// (on/off, mute/sound, rec/recording, pause/start) share a place; the window shows one.
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <span>

namespace kobal {

enum class SkinView { Normal = 0, Transparent = 1, Theater = 2 };
enum class SkinAnchor { None, Panel, TopLeft, TopRight, BottomRight };

struct SkinPlace {
    SkinAnchor anchor = SkinAnchor::None; // None: hidden in that view
    int x = 0, y = 0;
};

struct SkinButton {
    int id;              // control id of the main window
    const char* caption; // its caption in the window's template
    const char* picture; // skin picture (three frames side by side)
    int size;            // 38, 23 or 28 (one frame, square)
    const char* tip;     // tooltip (UTF-8), empty for none
    SkinPlace normal, transparent, theater;
};

// Every button of the main window, in the template's order.
std::span<const SkinButton> mainWindowButtons();
const SkinButton* findSkinButton(int id);

// The button's rectangle in a client area of `client` in `view`; an empty rectangle when the
// button is hidden there.
QRect placeSkinButton(const SkinButton& button, SkinView view, QSize client);

// Top-left of the control panel picture in the normal view.
QPoint controlPanelOrigin(QSize client);

// Other places of the normal view that the skin's pictures are drawn around.
QRect normalVideoRect(QSize client);   // (19, 70, w − 38, h − 260): 320 × 180 at 358 × 440
QRect normalTickerRect(QSize client);  // the programme line under the picture
QRect normalMessageRect(QSize client); // the status line under it (level icon on its right)
QRect volumeSliderRect(QSize client);  // the volume slider (82 wide) on the panel
QRect normalLogoRect(QSize client);    // the name plate in the top bar (picture "logo")

// The channel list window's scan keys ("Single", "Full", "Area"): text pictures of three frames.
struct SkinTextButton {
    const char* caption; // its caption in the window's template
    const char* picture;
    const char* label; // drawn on the key (UTF-8)
    QRect rect;        // in the window
};
std::span<const SkinTextButton> channelWindowButtons();

// The bitmap-shaped windows: each one's background picture, size and key colour, and when its
// region is built (once at the end of its initialisation, or on every size change).
struct ShapedWindowSkin {
    const char* window;  // "playback panel", "channel list window", …
    int templateId;      // the window's template
    const char* picture; // its background (SkinPictures.h)
    QSize size;
    std::uint32_t keyColour; // 0x00BBGGRR
    bool storesSize;         // the window sizes itself after the picture
    bool onEverySize;        // rebuilt on every size change (else once)
    bool redraw;
};
std::span<const ShapedWindowSkin> shapedWindowSkins();

// The playback panel (picture 404): its time display and the playing file's title, both
// recessed in the picture; the position slider sits at (23, 72), 310 × 10.
QRect playbackTimeRect();
QRect playbackTitleRect();
QRect playbackRecordKeyRect(); // the record key (1054) at the title bar's right end

// The file list window: its list and its close key (1038, picture "btn_clo").
QRect fileListRect();
QRect fileListCloseRect();

} // namespace kobal
