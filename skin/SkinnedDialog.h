#pragma once
// The look the player's small dialogs share (options, key list, help): a frameless
// CQXBaseDialog with a title strip and a body in the skin's colours, and its controls styled
// to match, so none of them looks like a stock window. Dragging the body moves it. UI thread.
#include "skin/QXBaseDialog.h"

class QBoxLayout;

namespace kobal {

class CSkinnedDialog : public CQXBaseDialog {
    Q_OBJECT
public:
    CSkinnedDialog(int templateId, const QString& title, QWidget* parent);
    // Where the derived dialog puts its controls (under the title strip).
    QBoxLayout* body() const { return body_; }

    static constexpr int kTitleHeight = 22;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QBoxLayout* body_;
};

} // namespace kobal
