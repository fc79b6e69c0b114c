#pragma once
// The font families the windows ask for, as the skin names them, reach the Japanese fonts
// installed here (IPA Gothic and IPA Mincho, Noto CJK JP when present) through one
// substitution table. skinFont() installs the table on its first call (a program may also call
// installFontSubstitutions() at start) and gives a font of the skin's pixel size.
#include <QFont>
#include <QString>

namespace kobal {

inline const QString kFontAribGothic = QStringLiteral("Arib_Gothic");
inline const QString kFontMincho = QStringLiteral("MS-Mincho");
inline const QString kFontMsGothic = QStringLiteral("ＭＳ ゴシック");
inline const QString kFontMsMincho = QStringLiteral("ＭＳ 明朝");

void installFontSubstitutions();

// A font of `points` at the skin's 96 dots per inch (9 point = 12 pixels), so text fits the
// pixel-exact skin whatever the screen's logical DPI.
QFont skinFont(const QString& family, int points, bool bold = false);

// The same for file names: full hinting drops IPA Gothic's thin underscore at small sizes
// (12 pixels and below), and recording names are full of them; hinted vertically only, it stays.
QFont skinFileNameFont(const QString& family, int points);

} // namespace kobal
