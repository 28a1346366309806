#include "signinwindow.h"

#include "store/recordset.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/sqltext.h"
#include "ui/dialogs.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace app {

SignInWindow::SignInWindow(QWidget* owner) : QDialog(owner) {
    setObjectName(u"SignInWindow"_s);
    // No title-bar buttons: the window is left only through its two buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(u"Velmora 登录"_s);
    setModal(true);
    setFixedSize(380, 250);

    auto* nameLabel = new QLabel(u"管理员："_s, this);
    nameLabel->setObjectName(u"标签_管理员"_s);
    name_ = new QLineEdit(store::kInitialOperator, this);
    name_->setObjectName(u"编辑框_管理员"_s);
    auto* passwordLabel = new QLabel(u"口  令："_s, this);
    passwordLabel->setObjectName(u"标签_密码"_s);
    password_ = new QLineEdit(this);
    password_->setObjectName(u"编辑框_密码"_s);
    password_->setEchoMode(QLineEdit::Password);
    auto* ok = new QPushButton(u"确定登录"_s, this);
    ok->setObjectName(u"超级按钮_登录确定"_s);
    ok->setAutoDefault(false);
    auto* cancel = new QPushButton(u"取消登录"_s, this);
    cancel->setObjectName(u"超级按钮_取消登录"_s);
    cancel->setAutoDefault(false);

    auto* title = new QLabel(u"Velmora 车辆档案管理"_s, this);
    QFont f = title->font();
    f.setPointSize(f.pointSize() + 6);
    f.setBold(true);
    title->setFont(f);
    title->setAlignment(Qt::AlignCenter);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(40, 24, 40, 24);
    grid->addWidget(title, 0, 0, 1, 3);
    grid->addWidget(nameLabel, 1, 0);
    grid->addWidget(name_, 1, 1, 1, 2);
    grid->addWidget(passwordLabel, 2, 0);
    grid->addWidget(password_, 2, 1, 1, 2);
    grid->addWidget(ok, 3, 1);
    grid->addWidget(cancel, 3, 2);
    setStyleSheet(u"#SignInWindow { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                  u"stop:0 #dbe9f7, stop:1 #9fc3e7); }"_s);

    connect(ok, &QPushButton::clicked, this, [this] { signIn(); });
    connect(cancel, &QPushButton::clicked, this, [this] {
        cancelled_ = true;
        QDialog::reject();
    });
    password_->installEventFilter(this);
    name_->installEventFilter(this);

    ui::OpenWindowDatabase(db_);
    name_->setFocus();
}

bool SignInWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Enter in the password box signs in; in the name box it does nothing.
            if (watched == password_)
                signIn();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void SignInWindow::keyPressEvent(QKeyEvent* event) {
    // Escape would close the dialog: the window is left only through its buttons.
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}

void SignInWindow::reject() {
    // Only the cancel button rejects (closing through the system is switched off).
    if (cancelled_)
        QDialog::reject();
}

bool SignInWindow::signIn() {
    const QString name = store::SqlText(name_->text());
    const QString password = store::SqlText(password_->text());
    store::RecordSetGuard count(db_, u"select count(*) as[数量] from [权限] where [用户名]='"_s + name +
                                         u"'and [密码]='"_s + password + u"'"_s);
    if (!count.ok()) {
        ui::MessageBox(u"失败"_s);
        return false;
    }
    const bool known = db_.ReadField(count.handle(), u"数量"_s).number() != 0;
    count.close();
    if (!known) {
        ui::MessageBox(u"请核对用户名和密码！"_s);
        return false;
    }
    store::RecordSetGuard rs(db_, u"select * from 权限 where [用户名]='"_s + name + u"'"_s);
    if (!rs.ok()) {
        ui::MessageBox(u"查询失败？!"_s);
        return false;
    }
    const int h = rs.handle();
    db_.MoveFirst(h);
    store::Permissions& p = store::session().OperatorPermissions;
    p.增删车辆 = db_.ReadField(h, u"增删车辆"_s).yesNo();
    p.费用可见 = db_.ReadField(h, u"费用可见"_s).yesNo();
    p.统计查询 = db_.ReadField(h, u"统计查询"_s).yesNo();
    p.权限设置 = db_.ReadField(h, u"权限设置"_s).yesNo();
    p.增加车辆信息 = db_.ReadField(h, u"增加车辆信息"_s).yesNo();
    p.修改车辆信息 = db_.ReadField(h, u"修改车辆信息"_s).yesNo();
    rs.close();
    accept();
    return true;
}

} // namespace app
