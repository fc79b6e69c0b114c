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
    return true;
}

void CQXBaseDialog::OnLButtonDown(Qt::KeyboardModifiers, const QPoint& point) {
    QWindow* window = windowHandle();
    if (window && window->startSystemMove()) return;
    following_ = true;
    grab_ = point;
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

void CQXBaseDialog::mouseMoveEvent(QMouseEvent* event) {
    if (following_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - grab_);
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void CQXBaseDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) following_ = false;
    QDialog::mouseReleaseEvent(event);
}

} // namespace kobal
