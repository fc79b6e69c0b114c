#pragma once
// The help window "Kobplay ヘルプ ": the player's HTML help pages (resources ":/help/") in a
// text browser with the skin's look. Not modal; the main window keeps one. UI thread.
#include "skin/SkinnedDialog.h"

class QTextBrowser;

namespace kobal {

class CHelpWindow : public CSkinnedDialog {
    Q_OBJECT
public:
    explicit CHelpWindow(QWidget* parent = nullptr);
    // Shows a page ("index.html", "keys.html", …).
    void showPage(const QString& page);
    QTextBrowser* browser() const { return browser_; }

private:
    QTextBrowser* browser_;
};

} // namespace kobal
