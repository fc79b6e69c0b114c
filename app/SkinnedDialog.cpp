#include "app/SkinnedDialog.h"

#include "ui/SkinColours.h"
#include "ui/SkinFonts.h"

#include <QPainter>
#include <QVBoxLayout>

namespace kobal {
namespace {

QString css(std::uint32_t colourRef) {
    return fromColourRef(colourRef).name();
}

QString skinStyleSheet() {
    const QString face = css(colour::kPanelFace), bar = css(colour::kMenuBar),
                  barText = css(colour::kMenuBarText), open = css(colour::kMenuOpen),
                  text = css(colour::kPopupText), hover = css(colour::kHoverFill),
                  hoverText = css(colour::kHoverText), line = css(colour::kMenuSeparator);
    return QStringLiteral(
               "QWidget{color:%6;}"
               "QGroupBox{border:1px solid %8;margin-top:9px;padding-top:4px;}"
               "QGroupBox::title{subcontrol-origin:margin;left:8px;padding:0 3px;color:%3;}"
               "QPushButton{background:%2;color:%6;border:1px solid %8;padding:3px 16px;"
               "min-width:56px;}"
               "QPushButton:hover{background:%7;color:%9;}"
               "QPushButton:pressed,QPushButton:default{border-color:%5;}"
               "QTabWidget::pane{border:1px solid %5;background:%1;}"
               "QTabBar::tab{background:%2;color:%3;padding:3px 12px;border:1px solid %8;}"
               "QTabBar::tab:selected{background:%5;color:#ffffff;}"
               "QTableWidget,QTextBrowser{background:#141312;gridline-color:%8;color:%6;"
               "selection-background-color:%7;selection-color:%9;border:1px solid %8;}"
               "QHeaderView::section{background:%2;color:%3;border:1px solid %8;padding:2px;}"
               "QScrollBar{background:%2;}"
               "QScrollBar::handle{background:%5;min-height:20px;min-width:20px;}")
        .arg(face, bar, barText, QString(), open, text, hover, line, hoverText);
}

} // namespace

CSkinnedDialog::CSkinnedDialog(int templateId, const QString& title, QWidget* parent)
    : CQXBaseDialog(templateId, parent) {
    setWindowTitle(title);
    setFont(skinFont(kFontMsGothic, 9));
    setStyleSheet(skinStyleSheet());
    setAttribute(Qt::WA_OpaquePaintEvent);
    body_ = new QVBoxLayout(this);
    body_->setContentsMargins(10, kTitleHeight + 8, 10, 10);
    body_->setSpacing(8);
}

void CSkinnedDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), fromColourRef(colour::kPanelFace));
    const QRect strip(0, 0, width(), kTitleHeight);
    p.fillRect(strip, fromColourRef(colour::kMenuBar));
    p.setFont(skinFont(kFontMsGothic, 9));
    p.setPen(fromColourRef(colour::kMenuBarText));
    p.drawText(strip.adjusted(8, 0, -8, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               windowTitle());
    p.setPen(fromColourRef(colour::kMenuOpen));
    p.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    p.drawLine(QPointF(0, kTitleHeight - 0.5), QPointF(width(), kTitleHeight - 0.5));
}

} // namespace kobal
