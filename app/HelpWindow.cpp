#include "app/HelpWindow.h"

#include "ui/SkinColours.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSizeGrip>
#include <QTextBrowser>
#include <QUrl>

namespace kobal {

CHelpWindow::CHelpWindow(QWidget* parent)
    : CSkinnedDialog(0, QStringLiteral("Kobplay ヘルプ "), parent),
      browser_(new QTextBrowser(this)) {
    setObjectName(QStringLiteral("helpWindow"));
    setModal(false);
    browser_->setOpenExternalLinks(false);
    browser_->setSearchPaths({QStringLiteral(":/help")});
    browser_->document()->setDefaultStyleSheet(
        QStringLiteral("a{color:#7fc8e0;} h1{color:%1;font-size:large;} h2{color:%1;} "
                       "th{background:%2;} td,th{padding:2px 6px;}")
            .arg(fromColourRef(0xFFFFFF).name(), fromColourRef(colour::kMenuBar).name()));
    body()->addWidget(browser_, 1);
    auto* row = new QHBoxLayout;
    auto* home = new QPushButton(QStringLiteral("目次"), this);
    connect(home, &QPushButton::clicked, this, [this] { showPage(QStringLiteral("index.html")); });
    auto* back = new QPushButton(QStringLiteral("戻る"), this);
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    row->addWidget(home);
    row->addWidget(back);
    row->addStretch(1);
    row->addWidget(close);
    row->addWidget(new QSizeGrip(this), 0, Qt::AlignBottom | Qt::AlignRight);
    body()->addLayout(row);
    resize(560, 520);
    showPage(QStringLiteral("index.html"));
}

void CHelpWindow::showPage(const QString& page) {
    browser_->setSource(QUrl(QStringLiteral("qrc:/help/") + page));
}

} // namespace kobal
