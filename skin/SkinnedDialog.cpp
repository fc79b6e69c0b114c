#include "skin/SkinnedDialog.h"

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
    QString sheet = QStringLiteral(
        "QWidget{color:@text;}"
        "QGroupBox{border:1px solid @line;margin-top:9px;padding-top:4px;}"
        "QGroupBox::title{subcontrol-origin:margin;left:8px;padding:0 3px;color:@barText;}"
        "QPushButton{background:@bar;color:@text;border:1px solid @line;padding:3px 16px;"
        "min-width:56px;}"
        "QPushButton:hover{background:@hover;color:@hoverText;}"
        "QPushButton:pressed,QPushButton:default{border-color:@open;}"
        "QTabWidget::pane{border:1px solid @open;background:@face;}"
        "QTabBar::tab{background:@bar;color:@barText;padding:3px 12px;border:1px solid @line;}"
        "QTabBar::tab:selected{background:@open;color:#ffffff;}"
        "QTableWidget,QTextBrowser{background:#141312;gridline-color:@line;color:@text;"
        "selection-background-color:@hover;selection-color:@hoverText;border:1px solid @line;}"
        "QHeaderView,QTableCornerButton::section{background:@bar;border:none;}"
        "QHeaderView::section{background:@bar;color:@barText;border:1px solid @line;padding:2px;}"
        "QTreeWidget,QTreeView{background:#141312;color:@text;border:1px solid @line;"
        "selection-background-color:@hover;selection-color:@hoverText;}"
        "QTreeView::item:selected{background:@hover;color:@hoverText;}"
        "QLineEdit,QComboBox,QDateTimeEdit,QPlainTextEdit{background:#141312;color:@text;"
        "border:1px solid @line;padding:1px 3px;selection-background-color:@hover;"
        "selection-color:@hoverText;}"
        "QLineEdit:read-only{background:@face;}"
        "QLineEdit:disabled,QComboBox:disabled,QDateTimeEdit:disabled{color:@line;"
        "background:@face;}"
        "QComboBox QAbstractItemView{background:@bar;color:@text;border:1px solid @open;"
        "selection-background-color:@hover;selection-color:@hoverText;}"
        "QCheckBox::indicator{width:11px;height:11px;border:1px solid @line;background:#141312;}"
        "QCheckBox::indicator:checked{background:@open;}"
        "QRadioButton::indicator{width:11px;height:11px;border:1px solid @line;border-radius:6px;"
        "background:#141312;}"
        "QRadioButton::indicator:checked{border-color:@open;background:qradialgradient(cx:0.5,"
        "cy:0.5,radius:0.5,fx:0.5,fy:0.5,stop:0 #ffffff,stop:0.4 #ffffff,stop:0.5 @open,"
        "stop:1 @open);}"
        "QMenu{background:@popup;color:@text;border:1px solid @line;}"
        "QMenu::item:selected{background:@hover;color:@hoverText;}"
        "QScrollBar{background:@bar;}"
        "QScrollBar::handle{background:@open;min-height:20px;min-width:20px;}");
    const std::pair<const char*, std::uint32_t> kColours[] = {
        {"@face", colour::kPanelFace},       {"@barText", colour::kMenuBarText},
        {"@bar", colour::kMenuBar},          {"@open", colour::kMenuOpen},
        {"@text", colour::kPopupText},       {"@hoverText", colour::kHoverText},
        {"@hover", colour::kHoverFill},      {"@line", colour::kMenuSeparator},
        {"@popup", colour::kPopupBackground}};
    for (const auto& [name, value] : kColours) sheet.replace(QLatin1String(name), css(value));
    return sheet;
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
