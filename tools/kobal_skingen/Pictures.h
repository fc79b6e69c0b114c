#pragma once
// What kobal_skingen draws: each call writes its pictures at 1× and 2× to the output folder.
#include <QString>

namespace kobal::skingen {

// Buttons.cpp: three frames side by side (normal, pressed, hovered). A label, when given,
// sits under the icon (the update dialog's two buttons); a text key carries only its label.
void button(const QString& name, int size, const QString& label = {});
void textButton(const QString& name, int w, int h, const QString& label);

// WindowFrames.cpp: the main window and the shaped windows.
void framePieces();
void controlPanel();
void logo();
void playbackPanel();
void updateDialog();
void channelWindow();
void fileListWindow();

// SmallPictures.cpp
void splash();
void sliders();
void checks();
void levels();
void appIcon(const QString& name, bool updater);
void folderIcons();

// Animations.cpp
void startupGif();
void lowSignalGif();

} // namespace kobal::skingen
