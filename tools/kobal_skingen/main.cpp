// kobal_skingen: draws every picture of the skin, at 1× and 2×, into a folder
// (resources/skin/). The pictures are vector drawings scaled per density, so both sets stay
// crisp; the shaped backgrounds take their key-colour cut-outs from the 1× picture, so the
// @2x picture never shows key colour where the window region (built from 1×) keeps pixels.
//
//     kobal_skingen resources/skin
#include "Drawing.h"
#include "Pictures.h"
#include "ui/SkinLayout.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

using namespace kobal;
using namespace kobal::skingen;

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr,
                     "usage: kobal_skingen <folder>   (draws every skin picture into it)\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    setOutputFolder(out);

    framePieces();
    controlPanel();
    logo();
    for (const SkinButton& b : mainWindowButtons()) button(b.picture, b.size);
    button("130", 38);
    button("131", 38);
    for (const SkinTextButton& b : channelWindowButtons())
        textButton(b.picture, b.rect.width(), b.rect.height(), QString::fromUtf8(b.label));
    playbackPanel();
    updateDialog();
    channelWindow();
    fileListWindow();
    splash();
    sliders();
    checks();
    levels();
    appIcon("114", false);
    appIcon("128", true);
    folderIcons();
    startupGif();
    lowSignalGif();
    std::printf("%d files written to %s\n", writtenCount(), qPrintable(out));
    return 0;
}
