#pragma once

#include <QDialog>

class QTextBrowser;

namespace admin {

// 帮助: the Chinese manual shown inside the program, with its pictures, so that help works on a
// machine without a web browser. Links within the manual stay in the window; links to other
// sites go to the system's browser.
class HelpWindow : public QDialog {
    Q_OBJECT
public:
    HelpWindow(const QString& manualPath, QWidget* parent = nullptr);

    QTextBrowser* browser() const { return browser_; }

private:
    QTextBrowser* browser_;
};

} // namespace admin
