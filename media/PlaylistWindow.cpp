#include "media/PlaylistWindow.h"

#include "ui/HoverButton.h"
#include "ui/ShapedRegion.h"
#include "ui/SkinFonts.h"
#include "ui/SkinLayout.h"
#include "ui/SkinPictures.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QWheelEvent>

namespace kobal {
namespace {
constexpr int kRowHeight = 18;
}

CPlaylistWindow::CPlaylistWindow(QWidget* parent)
    : CQXBaseDialog(kTemplate, parent), close_(new CHoverButton(this)) {
    setWindowTitle(QStringLiteral("プレイリスト"));
    setFixedSize(324, 200);
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    background_ = skinPixmap(pic::kFileListWindow);
    outline_ = skinImage(pic::kFileListWindow);
    close_->LoadBitmap(QStringLiteral("btn_clo"));
    close_->setGeometry(fileListCloseRect());
    connect(close_, &QAbstractButton::clicked, this, &QWidget::hide);
}

bool CPlaylistWindow::OnInitDialog() {
    CQXBaseDialog::OnInitDialog();
    setWindowRegion(this, regionFromBitmap(outline_, kKeyMagenta));
    return true;
}

void CPlaylistWindow::setEntries(const QStringList& paths, int current) {
    names_.clear();
    for (const QString& p : paths) names_ << QFileInfo(p).fileName();
    current_ = current;
    if (selected_ >= names_.size()) selected_ = -1;
    top_ = std::clamp(top_, 0, std::max(0, int(names_.size()) - visibleRows()));
    update();
}

int CPlaylistWindow::visibleRows() const {
    return std::max(1, (fileListRect().height() - 8) / kRowHeight);
}

int CPlaylistWindow::rowAt(QPoint p) const {
    const QRect list = fileListRect().adjusted(4, 4, -4, -4);
    if (!list.contains(p)) return -1;
    const int row = top_ + (p.y() - list.top()) / kRowHeight;
    return row < names_.size() ? row : -1;
}

void CPlaylistWindow::select(int row) {
    if (row < 0 || row >= names_.size()) return;
    selected_ = row;
    scrollTo(row);
    update();
}

void CPlaylistWindow::scrollTo(int row) {
    if (row < top_) top_ = row;
    if (row >= top_ + visibleRows()) top_ = row - visibleRows() + 1;
}

void CPlaylistWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(rect(), background_);
    const QRect list = fileListRect().adjusted(4, 4, -4, -4);
    p.setClipRect(list);
    p.setFont(skinFileNameFont(kFontMsGothic, 9));
    for (int row = top_; row < names_.size() && row < top_ + visibleRows() + 1; ++row) {
        const QRect line(list.left(), list.top() + (row - top_) * kRowHeight, list.width(),
                         kRowHeight);
        if (row == selected_) p.fillRect(line, QColor(0x23, 0x6a, 0x78));
        p.setPen(row == current_ ? QColor(0xff, 0xd2, 0x4a) : QColor(0xd8, 0xdc, 0xe0));
        const QRect text = line.adjusted(6, 0, -6, 0);
        p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
                   p.fontMetrics().elidedText(names_[row], Qt::ElideMiddle, text.width()));
    }
}

void CPlaylistWindow::mousePressEvent(QMouseEvent* e) {
    const int row = rowAt(e->position().toPoint());
    if (row >= 0) {
        select(row);
        return;
    }
    CQXBaseDialog::mousePressEvent(e); // the body moves the window
}

void CPlaylistWindow::mouseDoubleClickEvent(QMouseEvent* e) {
    const int row = rowAt(e->position().toPoint());
    if (row >= 0) emit activated(row);
}

void CPlaylistWindow::wheelEvent(QWheelEvent* e) {
    const int steps = e->angleDelta().y() / 120;
    top_ = std::clamp(top_ - steps, 0, std::max(0, int(names_.size()) - visibleRows()));
    update();
}

void CPlaylistWindow::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Up:
        select(std::max(0, selected_ - 1));
        break;
    case Qt::Key_Down:
        select(std::min(int(names_.size()) - 1, selected_ + 1));
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (selected_ >= 0) emit activated(selected_);
        break;
    default:
        CQXBaseDialog::keyPressEvent(e);
    }
}

void CPlaylistWindow::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void CPlaylistWindow::dropEvent(QDropEvent* e) {
    QStringList paths;
    for (const QUrl& url : e->mimeData()->urls()) paths << url.toLocalFile();
    emit filesDropped(paths);
    e->acceptProposedAction();
}

} // namespace kobal
