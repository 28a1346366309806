#include "helpwindow.h"

#include "ui/dialogs.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace admin {

HelpWindow::HelpWindow(const QString& manualPath, QWidget* parent) : QDialog(parent) {
    setObjectName(u"HelpWindow"_s);
    setWindowTitle(u"帮助"_s);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    setAttribute(Qt::WA_DeleteOnClose, true);

    browser_ = new QTextBrowser(this);
    browser_->setObjectName(u"帮助浏览框"_s);
    browser_->setOpenLinks(true);
    browser_->setOpenExternalLinks(false);
    // The pictures are found relative to the manual's own folder.
    browser_->setSearchPaths({QFileInfo(manualPath).absolutePath()});
    connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (!url.isLocalFile() && !url.scheme().isEmpty() && url.scheme() != u"file"_s) {
            ui::dialogs().openExternal(url.toString());
            browser_->setSource(browser_->source()); // stay on the manual
        }
    });
    browser_->setSource(QUrl::fromLocalFile(QFileInfo(manualPath).absoluteFilePath()));

    auto* close = new QPushButton(u"关闭"_s, this);
    close->setObjectName(u"按钮_关闭帮助"_s);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* back = new QPushButton(u"后退"_s, this);
    back->setObjectName(u"按钮_帮助后退"_s);
    back->setEnabled(false);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_, 1);
    layout->addLayout(buttons);

    // Most of the screen, inside its available area, beside the main window.
    if (QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const QSize size(qMin(1000, area.width() * 9 / 10), area.height() * 85 / 100);
        resize(size);
        move(area.center() - QPoint(size.width() / 2, size.height() / 2));
    }
}

} // namespace admin
