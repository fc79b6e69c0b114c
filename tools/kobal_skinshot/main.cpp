// kobal_skinshot: renders any skinned piece to PNG without a display, at 1× or 2×, so people
// and tests can look at the skin. Shaped pieces show their cut-away parts as a checkerboard.
//
//     kobal_skinshot --list
//     kobal_skinshot [--scale 2] [--out folder] [piece ...]     (no piece: all of them)
#include "ui/BitmapSlider.h"
#include "ui/ChannelListBox.h"
#include "ui/ChannelPopup.h"
#include "ui/GifSplitter.h"
#include "ui/ShapedRegion.h"
#include "ui/SkinColours.h"
#include "ui/SkinFonts.h"
#include "ui/SkinLayout.h"
#include "ui/SkinPictures.h"

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QPainter>

#include <cstdio>
#include <functional>
#include <map>

using namespace kobal;

namespace {

int g_scale = 1;

QImage canvas(QSize logical, QColor fill = QColor(0x40, 0x40, 0x48)) {
    QImage image(logical * g_scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(g_scale);
    image.fill(fill);
    return image;
}

void checkerboard(QPainter& p, const QRect& r) {
    for (int y = r.top(); y <= r.bottom(); y += 8)
        for (int x = r.left(); x <= r.right(); x += 8)
            p.fillRect(QRect(x, y, 8, 8).intersected(r),
                       ((x / 8 + y / 8) % 2) ? QColor(0xcc, 0xcc, 0xcc) : QColor(0xff, 0xff, 0xff));
}

// A picture (or a rendered window) on a checkerboard, cut to region when one is given.
QImage onChecker(const QImage& picture, const QRegion& region = {}) {
    const QSize logical = (QSizeF(picture.size()) / picture.devicePixelRatio()).toSize();
    QImage out = canvas(logical);
    QPainter p(&out);
    checkerboard(p, QRect(QPoint(0, 0), logical));
    if (!region.isEmpty()) p.setClipRegion(region);
    p.drawImage(QPointF(0, 0), picture);
    return out;
}

QImage label(QImage image, const QString& caption) {
    const QSize logical = (QSizeF(image.size()) / image.devicePixelRatio()).toSize();
    const QFont font = skinFont(kFontMsGothic, 8);
    const int textWidth = QFontMetrics(font).horizontalAdvance(caption) + 4;
    QImage out = canvas(QSize(std::max(logical.width(), textWidth), logical.height() + 16));
    QPainter p(&out);
    p.setPen(Qt::white);
    p.setFont(font);
    p.drawText(QRect(0, 0, out.width(), 14), Qt::AlignLeft | Qt::AlignVCenter, caption);
    p.drawImage(QPointF(0, 16), image);
    return out;
}

// Images side by side (row) with a gap.
QImage row(const std::vector<QImage>& images, int gap = 8) {
    int w = 0, h = 0;
    for (const QImage& i : images) {
        w += int(i.width() / i.devicePixelRatio()) + gap;
        h = std::max(h, int(i.height() / i.devicePixelRatio()));
    }
    QImage out = canvas(QSize(std::max(1, w), std::max(1, h)));
    QPainter p(&out);
    int x = 0;
    for (const QImage& i : images) {
        p.drawImage(QPointF(x, 0), i);
        x += int(i.width() / i.devicePixelRatio()) + gap;
    }
    return out;
}

QImage column(const std::vector<QImage>& images, int gap = 8) {
    int w = 0, h = 0;
    for (const QImage& i : images) {
        h += int(i.height() / i.devicePixelRatio()) + gap;
        w = std::max(w, int(i.width() / i.devicePixelRatio()));
    }
    QImage out = canvas(QSize(std::max(1, w), std::max(1, h)));
    QPainter p(&out);
    int y = 0;
    for (const QImage& i : images) {
        p.drawImage(QPointF(0, y), i);
        y += int(i.height() / i.devicePixelRatio()) + gap;
    }
    return out;
}

// One frame of a three-frame picture.
QImage frameOf(const QImage& frames, int index, int count = 3) {
    const int w = frames.width() / count;
    QImage f = frames.copy(index * w, 0, w, frames.height());
    f.setDevicePixelRatio(frames.devicePixelRatio());
    return f;
}

QImage buttons() {
    std::vector<QImage> rows;
    auto add = [&](const QString& name) {
        const QImage frames = skinImage(name, g_scale);
        if (frames.isNull()) return;
        rows.push_back(label(row({onChecker(frameOf(frames, 0)), onChecker(frameOf(frames, 1)),
                                  onChecker(frameOf(frames, 2))}),
                             name + "  normal / pressed / hovered"));
    };
    for (const SkinButton& b : mainWindowButtons()) add(b.picture);
    for (const SkinTextButton& b : channelWindowButtons()) add(b.picture);
    add("130");
    add("131");
    // Two columns keep the sheet readable.
    const std::size_t half = (rows.size() + 1) / 2;
    return row({column({rows.begin(), rows.begin() + long(half)}),
                column({rows.begin() + long(half), rows.end()})},
               24);
}

QImage pictures() {
    std::vector<QImage> items;
    for (const char* name :
         {"457", "459", "458",    "411",    "460",    "412",    "266",    "270",
          "499", "500", "level0", "level1", "level2", "level3", "level4", "level5",
          "114", "128", "276",    "277",    "278",    "279",    "280",    "281"})
        items.push_back(label(onChecker(skinImage(name, g_scale)), name));
    std::vector<QImage> rows;
    for (std::size_t i = 0; i < items.size(); i += 6)
        rows.push_back(row(
            {items.begin() + long(i), items.begin() + long(std::min(items.size(), i + 6))}, 12));
    return column(rows);
}

// The main window in a view, its buttons in their normal frame, cut to its outline.
QImage mainWindow(SkinView view, QSize client) {
    QImage out = canvas(client, Qt::black);
    QPainter p(&out);
    if (view == SkinView::Normal) {
        p.drawImage(QPointF(0, 0), renderMainFrame(client, g_scale));
        // menu bar titles as the menu bar draws them
        p.fillRect(QRect(19, 47, 280, 20), fromColourRef(colour::kMenuBar));
        p.setFont(skinFont(kFontMsGothic, 9));
        p.setPen(fromColourRef(colour::kMenuBarText));
        const int bands[] = {0, 37, 74, 146, 183, 231, 280};
        const char* titles[] = {"開始", "音声", "チャンネル", "表示", "ツール", "ヘルプ"};
        for (int i = 0; i < 6; ++i)
            p.drawText(QRect(19 + bands[i], 47, bands[i + 1] - bands[i], 20), Qt::AlignCenter,
                       QString::fromUtf8(titles[i]));
        // a stand-in picture where the video goes, the text lines and the level icon
        const QRect video = normalVideoRect(client);
        QLinearGradient g(video.topLeft(), video.bottomRight());
        g.setColorAt(0, QColor(0x20, 0x50, 0x70));
        g.setColorAt(1, QColor(0x10, 0x20, 0x18));
        p.fillRect(video, g);
        p.setFont(skinFont(kFontAribGothic, 10));
        p.setPen(Qt::white);
        p.drawText(normalTickerRect(client), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromUtf8("  ニュース 12:00～12:15"));
        p.fillRect(normalMessageRect(client), QColor(0x14, 0x14, 0x14));
        p.drawText(normalMessageRect(client), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromUtf8("  チャンネル : 27CH"));
        p.drawImage(QPointF(client.width() - 47, client.height() - 165),
                    skinImage(pic::level(3), g_scale));
        SliderModel volume;
        volume.width = 82;
        volume.thumbWidth = 8;
        volume.setRange(0, 900);
        volume.setPosition(450);
        p.drawImage(volumeSliderRect(client).topLeft(),
                    renderSlider(volume,
                                 {skinImage(pic::kVolumeChannel, g_scale),
                                  skinImage(pic::kVolumeFilled, g_scale),
                                  skinImage(pic::kVolumeThumb, g_scale)},
                                 fromColourRef(colour::kSliderBackground)));
    }
    QSet<QString> placed;
    for (const SkinButton& b : mainWindowButtons()) {
        const QRect r = placeSkinButton(b, view, client);
        if (r.isEmpty()) continue;
        const QString key = QString("%1,%2").arg(r.x()).arg(r.y());
        if (placed.contains(key)) continue; // the first of a swapping pair
        placed.insert(key);
        p.drawImage(r.topLeft(), frameOf(skinImage(b.picture, g_scale), 0));
    }
    p.end();
    const QRegion outline = view == SkinView::Normal
                                ? roundedOutline(0, 0, client.width(), client.height())
                                : QRegion(QRect(QPoint(0, 0), client));
    return onChecker(out, outline);
}

// A shaped window: its picture cut by the region the builder makes from the 1× picture.
QImage shaped(const QString& name, std::uint32_t key, const std::function<void(QPainter&)>& on) {
    const QRegion region = regionFromBitmap(skinImage(name, 1), key);
    QImage window = skinImage(name, g_scale).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    window.setDevicePixelRatio(g_scale);
    QPainter p(&window);
    if (on) on(p);
    p.end();
    return onChecker(window, region);
}

std::vector<ChannelListItem> sampleChannels(int n) {
    const char* names[] = {"NHK総合",    "NHK Eテレ",  "日本テレビ", "テレビ朝日", "TBS",
                           "テレビ東京", "フジテレビ", "TOKYO MX",   "放送大学"};
    std::vector<ChannelListItem> items;
    for (int i = 0; i < n; ++i)
        items.push_back(
            {QString("%1    %2").arg(20 + i).arg(QString::fromUtf8(names[i % 9])), i % 3 != 2, {}});
    return items;
}

QImage channelWindow(int lines) {
    return shaped(pic::kChannelWindow, kKeyGreen, [lines](QPainter& p) {
        const auto items = sampleChannels(lines);
        const bool bar = lines > kChannelPage;
        const QFont font = skinFont(kFontMincho, 9);
        p.drawImage(QPointF(17, 46), renderChannelList(items, 0, 1, true,
                                                       QSize(bar ? 180 : 190, 261), font, g_scale));
        if (bar) {
            ChannelScrollModel m;
            m.count = lines;
            m.syncThumb();
            p.drawImage(QPointF(197, 46),
                        renderChannelScrollBar(m, skinImage(pic::kScrollTrack, g_scale),
                                               skinImage(pic::kScrollThumb, g_scale), g_scale));
        }
        for (const SkinTextButton& b : channelWindowButtons())
            p.drawImage(b.rect.topLeft(), frameOf(skinImage(b.picture, g_scale), 0));
    });
}

QImage sliders() {
    std::vector<QImage> rows;
    auto show = [&](const char* what, int width, const QString& ch, const QString& filled,
                    const QString& thumb, int min, int max, int pos, bool enabled) {
        SliderModel m;
        m.width = width;
        const QImage t = skinImage(thumb, g_scale);
        m.thumbWidth = int(t.width() / t.devicePixelRatio());
        m.setRange(min, max);
        m.setPosition(pos);
        m.enabled = enabled;
        const QImage s = renderSlider(m, {skinImage(ch, g_scale), skinImage(filled, g_scale), t},
                                      fromColourRef(colour::kSliderBackground));
        rows.push_back(
            label(s, QString("%1 %2").arg(what).arg(pos) + (enabled ? "" : " disabled")));
    };
    for (int v : {0, 450, 900}) show("volume 1060", 82, "457", "459", "458", 0, 900, v, true);
    show("volume 1060", 82, "457", "459", "458", 0, 900, 450, false);
    for (int v : {10, 55, 100}) show("position 1090", 310, "411", "460", "412", 10, 100, v, true);
    return column(rows);
}

QImage popup() {
    QStringList items;
    for (const ChannelListItem& i : sampleChannels(6)) items << i.text;
    const QFont font = skinFont(kFontMincho, 9);
    return row({label(renderChannelPopup(items, -1, font, g_scale), "no hover"),
                label(renderChannelPopup(items, 2, font, g_scale), "row 2 hovered")});
}

QImage listStates() {
    const QFont font = skinFont(kFontMincho, 9);
    const auto items = sampleChannels(20);
    std::vector<QImage> shots;
    shots.push_back(label(renderChannelList(items, 0, 0, true, {180, 132}, font, g_scale),
                          "selected received"));
    shots.push_back(label(renderChannelList(items, 2, 2, true, {180, 132}, font, g_scale),
                          "selected not received"));
    shots.push_back(
        label(renderChannelList(items, 0, -1, false, {180, 132}, font, g_scale), "disabled"));
    for (int top : {0, 4, 8}) {
        ChannelScrollModel m;
        m.count = 20;
        m.top = top;
        m.syncThumb();
        shots.push_back(
            label(renderChannelScrollBar(m, skinImage(pic::kScrollTrack, g_scale),
                                         skinImage(pic::kScrollThumb, g_scale), g_scale),
                  QString("top %1").arg(top)));
    }
    return row(shots);
}

// Every frame of an animated picture as the control composes it.
QImage gifFrames(const QString& file) {
    const QByteArray bytes = skinBytes(file, g_scale);
    const GifSplit gif = splitGif(bytes);
    QImage canvasImage(gif.screenWidth, gif.screenHeight, QImage::Format_ARGB32_Premultiplied);
    canvasImage.fill(Qt::black);
    std::vector<QImage> shots;
    for (std::size_t i = 0; i < gif.frames.size(); ++i) {
        const GifFrameBytes& f = gif.frames[i];
        QImage frame = QImage::fromData(f.gif, "GIF");
        {
            QPainter p(&canvasImage);
            p.drawImage(0, 0, frame);
        }
        QImage shot = canvasImage;
        shot.setDevicePixelRatio(g_scale);
        shots.push_back(label(
            shot, QString("%1 frame %2, %3 ms").arg(file).arg(i).arg(gifFrameMillis(f.delay))));
    }
    std::vector<QImage> rows;
    for (std::size_t i = 0; i < shots.size(); i += 4)
        rows.push_back(
            row({shots.begin() + long(i), shots.begin() + long(std::min(shots.size(), i + 4))}));
    return column(rows);
}

const std::map<std::string, std::function<QImage()>>& pieces() {
    static const std::map<std::string, std::function<QImage()>> all = {
        {"buttons", buttons},
        {"pictures", pictures},
        {"panel", [] { return onChecker(skinImage(pic::kControlPanel, g_scale)); }},
        {"main-normal",
         [] {
             return mainWindow(SkinView::Normal, {358, 440});
         }},
        {"main-normal-2x-view",
         [] {
             return mainWindow(SkinView::Normal, {678, 620});
         }},
        {"main-transparent",
         [] {
             return mainWindow(SkinView::Transparent, {360, 228});
         }},
        {"main-theater",
         [] {
             return mainWindow(SkinView::Theater, {640, 360});
         }},
        {"playback-panel-404",
         [] {
             return shaped(pic::kPlaybackPanel, kKeyGreen, [](QPainter& p) {
                 SliderModel m;
                 m.width = 310;
                 m.thumbWidth = 8;
                 m.setRange(10, 100);
                 m.setPosition(40);
                 p.drawImage(QPointF(23, 72),
                             renderSlider(m,
                                          {skinImage(pic::kSeekChannel, g_scale),
                                           skinImage(pic::kSeekFilled, g_scale),
                                           skinImage(pic::kSeekThumb, g_scale)},
                                          fromColourRef(colour::kSliderBackground)));
                 p.setFont(skinFont(kFontAribGothic, 10));
                 p.setPen(QColor(0x9a, 0xe6, 0xf4));
                 p.drawText(playbackTimeRect(), Qt::AlignCenter, "00:12:34 / 01:30:00");
                 p.setPen(QColor(0xdc, 0xdc, 0xdc));
                 p.drawText(playbackTitleRect().adjusted(8, 0, -8, 0),
                            Qt::AlignLeft | Qt::AlignVCenter, "27_20261210_2100.rec");
             });
         }},
        {"channel-window-413", [] { return channelWindow(13); }},
        {"channel-window-413-12-lines", [] { return channelWindow(12); }},
        {"file-list-396",
         [] {
             return shaped(pic::kFileListWindow, kKeyMagenta, [](QPainter& p) {
                 p.drawImage(fileListCloseRect().topLeft(),
                             frameOf(skinImage("btn_clo", g_scale), 0));
                 p.setFont(skinFont(kFontMincho, 9));
                 p.setPen(QColor(0xdc, 0xdc, 0xdc));
                 const QRect list = fileListRect();
                 p.drawText(list.adjusted(6, 4, -6, 0), Qt::AlignLeft | Qt::AlignTop,
                            "27_20261210_2100.rec\n26_20261209_1900.rec");
             });
         }},
        {"update-dialog-129",
         [] {
             return shaped(pic::kUpdateBackground, kKeyGreen, [](QPainter& p) {
                 p.setFont(skinFont(kFontMsMincho, 9));
                 p.setPen(fromColourRef(0xC8C8C8));
                 p.drawText(
                     QRect(15, 35, 328, 19), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromUtf8("新しいソフトウェアにアップデートします。よろしいですか"));
                 p.fillRect(QRect(24, 70, 124, 13), QColor(0x3f, 0xb7, 0xcf));
                 p.drawImage(QPointF(119, 99), frameOf(skinImage("131", g_scale), 0));
                 p.drawImage(QPointF(201, 99), frameOf(skinImage("130", g_scale), 2));
             });
         }},
        {"splash-350",
         [] {
             QImage s = skinImage(pic::kSplash, g_scale)
                            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
             s.setDevicePixelRatio(g_scale);
             QPainter p(&s);
             p.setFont(skinFont(kFontAribGothic, 11));
             p.setPen(Qt::white);
             p.drawText(QRect(QPoint(280, 55), QPoint(340, 70)), Qt::AlignCenter, "1.0.0");
             return s;
         }},
        {"sliders", sliders},
        {"channel-list", listStates},
        {"channel-popup", popup},
        {"gif-501", [] { return gifFrames("501.gif"); }},
        {"gif-502", [] { return gifFrames("502.gif"); }},
    };
    return all;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installFontSubstitutions();
    QString out = ".";
    QStringList wanted;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--list") {
            for (const auto& [name, render] : pieces()) std::printf("%s\n", name.c_str());
            return 0;
        } else if (args[i] == "--scale" && i + 1 < args.size()) {
            g_scale = args[++i].toInt() == 2 ? 2 : 1;
        } else if (args[i] == "--out" && i + 1 < args.size()) {
            out = args[++i];
        } else if (args[i].startsWith("-")) {
            std::fprintf(stderr, "usage: kobal_skinshot [--list] [--scale 1|2] [--out folder] "
                                 "[piece ...]\n");
            return 2;
        } else {
            wanted << args[i];
        }
    }
    QDir().mkpath(out);
    int failures = 0;
    for (const auto& [name, render] : pieces()) {
        if (!wanted.isEmpty() && !wanted.contains(QString::fromStdString(name))) continue;
        const QString file = QString("%1/%2%3.png")
                                 .arg(out, QString::fromStdString(name), g_scale == 2 ? "@2x" : "");
        const QImage image = render();
        if (image.isNull() || !image.save(file)) {
            std::fprintf(stderr, "could not render %s\n", name.c_str());
            ++failures;
            continue;
        }
        std::printf("%s\n", qPrintable(file));
    }
    for (const QString& w : wanted)
        if (!pieces().count(w.toStdString())) {
            std::fprintf(stderr, "no piece %s (see --list)\n", qPrintable(w));
            ++failures;
        }
    return failures ? 1 : 0;
}
