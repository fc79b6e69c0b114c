#pragma once
// The skin's pictures: Qt resources under ":/skin/", one PNG per picture named by its
// resource number ("457") or, for pictures without a number, by what it is ("frame_tl",
// "btn_on"). Each has a "@2x" twin; skinPixmap() takes it on high-density screens (Qt picks
// it), skinImage() on request. The animated pictures are "501.gif" and "502.gif".
// UI thread (QPixmap); skinImage() and the render functions may run on any thread.
#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QString>

class QPainter;

namespace kobal {

// Resource path of a picture: ":/skin/<name>.png" (or the name as given when it has a dot).
QString skinPicturePath(const QString& name);
QPixmap skinPixmap(const QString& name);
// The picture at scale 1 or 2 (the @2x file), its devicePixelRatio set to match; decoded once
// and kept (a missing picture is remembered as null).
QImage skinImage(const QString& name, int scale = 1);
// The raw bytes of a skin resource (for the GIFs), scale 1 or 2.
QByteArray skinBytes(const QString& fileName, int scale = 1);

// Named picture numbers.
namespace pic {
inline const QString kSplash = QStringLiteral("350");           // 350 × 250
inline const QString kUpdateBackground = QStringLiteral("129"); // 358 × 157, green key
inline const QString kUpdateCancel = QStringLiteral("130");     // 3 × 38 × 38
inline const QString kUpdateOk = QStringLiteral("131");         // 3 × 38 × 38
inline const QString kPlaybackPanel = QStringLiteral("404");    // 358 × 157, green key
inline const QString kChannelWindow = QStringLiteral("413");    // 223 × 420, green key
inline const QString kFileListWindow = QStringLiteral("396");   // 324 × 200, magenta key
inline const QString kVolumeChannel = QStringLiteral("457");
inline const QString kVolumeThumb = QStringLiteral("458");
inline const QString kVolumeFilled = QStringLiteral("459");
inline const QString kSeekChannel = QStringLiteral("411");
inline const QString kSeekThumb = QStringLiteral("412");
inline const QString kSeekFilled = QStringLiteral("460");
inline const QString kScrollTrack = QStringLiteral("266"); // 10 × 4, stretched
inline const QString kScrollThumb = QStringLiteral("270"); // 9 × 15, stretched
inline const QString kCheck = QStringLiteral("499");       // 11 × 11
inline const QString kCheckHovered = QStringLiteral("500");
inline const QString kPlayerIcon = QStringLiteral("114");
inline const QString kUpdaterIcon = QStringLiteral("128");
inline const QString kControlPanel = QStringLiteral("panel"); // 320 × 124
inline const QString kLogo = QStringLiteral("logo");          // 100 × 20, in the top bar
// Reception level n (0 … 5), 22 × 12.
inline QString level(int n) {
    return QStringLiteral("level%1").arg(n);
}
// Folder tree icons 276 … 281, 16 × 16.
inline QString folderIcon(int id) {
    return QString::number(id);
}
} // namespace pic

// Draws a picture stretched over target (device pixels of the source are taken whole).
void drawStretched(QPainter& p, const QRectF& target, const QPixmap& picture);
void drawStretched(QPainter& p, const QRectF& target, const QImage& picture);

// The main window's normal-view background for a client area of `size` (logical pixels):
// black, the eight frame pieces, the name plate and the 320 × 124 control panel at
// ((w − 358) / 2 + 19, h − 144). scale 2 uses the @2x pieces.
QImage renderMainFrame(QSize size, int scale = 1);

} // namespace kobal
