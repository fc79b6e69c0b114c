#include "skin/QXBaseDialog.h"

#include <QMouseEvent>
#include <QWindow>

namespace kobal {

CQXBaseDialog::CQXBaseDialog(int templateId, QWidget* parent)
    : QDialog(parent), templateId_(templateId) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
}

CQXBaseDialog::~CQXBaseDialog() = default;

bool CQXBaseDialog::OnInitDialog() {
    setWindowFlag(Qt::FramelessWindowHint, true);
    return true;
}

void CQXBaseDialog::OnLButtonDown(Qt::KeyboardModifiers, const QPoint&) {
    if (QWindow* window = windowHandle()) window->startSystemMove();
}

void CQXBaseDialog::showEvent(QShowEvent* event) {
    if (!initialised_) {
        initialised_ = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CQXBaseDialog::mousePressEvent(QMouseEvent* event) {
    // Presses on child controls never get here: the controls take them.
    if (event->button() == Qt::LeftButton) {
        OnLButtonDown(event->modifiers(), event->position().toPoint());
        event->accept();
        return;
    }
    QDialog::mousePressEvent(event);
}

} // namespace kobal
