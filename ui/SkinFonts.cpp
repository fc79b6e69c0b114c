#include "ui/SkinFonts.h"

#include <QStringList>

namespace kobal {

void installFontSubstitutions() {
    const QStringList gothic{QStringLiteral("IPAGothic"), QStringLiteral("IPAexGothic"),
                             QStringLiteral("Noto Sans CJK JP")};
    const QStringList mincho{QStringLiteral("IPAMincho"), QStringLiteral("IPAexMincho"),
                             QStringLiteral("Noto Serif CJK JP"), QStringLiteral("IPAGothic")};
    QFont::insertSubstitutions(kFontAribGothic, gothic);
    QFont::insertSubstitutions(kFontMsGothic, gothic);
    QFont::insertSubstitutions(kFontMincho, mincho);
    QFont::insertSubstitutions(kFontMsMincho, mincho);
}

QFont skinFont(const QString& family, int points, bool bold) {
    // Without the table the skin's names reach no installed family: the digits and spaces of a
    // line then go to the default Latin font and its Japanese to whichever font fontconfig
    // picks per script, so lines do not line up. Every font of the skin comes through here.
    static const bool installed = [] {
        installFontSubstitutions();
        return true;
    }();
    (void)installed;
    QFont font(family);
    font.setPixelSize((points * 96 + 36) / 72);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

QFont skinFileNameFont(const QString& family, int points) {
    QFont font = skinFont(family, points);
    font.setHintingPreference(QFont::PreferVerticalHinting);
    return font;
}

} // namespace kobal
