// The skin's font names reach the installed Japanese fonts.
#include "ui/SkinFonts.h"
#include "tests/support/TestSupport.h"

#include <QFontInfo>
#include <gtest/gtest.h>

namespace kobal {
namespace {

TEST(SkinFonts, NamedFamiliesReachJapaneseFonts) {
    test::ensureQtApp();
    installFontSubstitutions();
    for (const QString& family : {kFontAribGothic, kFontMincho, kFontMsGothic, kFontMsMincho}) {
        const QFontInfo info(skinFont(family, 9));
        EXPECT_TRUE(info.family().startsWith(QLatin1String("IPA")) ||
                    info.family().startsWith(QLatin1String("Noto")))
            << family.toStdString() << " → " << info.family().toStdString();
        EXPECT_EQ(info.pixelSize(), 12);
    }
}

} // namespace
} // namespace kobal
