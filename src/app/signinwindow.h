#pragma once

#include <QDialog>

#include "store/database.h"

class QLineEdit;
class QPushButton;

namespace app {

// Asks for an operator name and password and, when they match a row of 权限, copies that
// operator's six permissions into the session. Accepted on success, rejected on cancel.
class SignInWindow : public QDialog {
    Q_OBJECT
public:
    explicit SignInWindow(QWidget* owner = nullptr);

    // The sign-in check, as run by the button and by Enter in the password box.
    bool signIn();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    store::DatabaseConnection db_; // 外部数据库1
    QLineEdit* name_;
    QLineEdit* password_;
    bool cancelled_ = false;
};

} // namespace app
