#include "signinwindow.h"

#include "store/schema.h"
#include "store/session.h"
#include "store/sqltext.h"
#include "ui/dialogs.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace app {

SignInWindow::SignInWindow(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("SignInWindow"));
    // No title-bar buttons: the window is left only through its two buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Velmora 登录"));
    setModal(true);
    setFixedSize(380, 250);

    auto* nameLabel = new QLabel(QStringLiteral("管理员："), this);
    nameLabel->setObjectName(QStringLiteral("标签_管理员"));
    name_ = new QLineEdit(store::kInitialOperator, this);
    name_->setObjectName(QStringLiteral("编辑框_管理员"));
    auto* passwordLabel = new QLabel(QStringLiteral("口  令："), this);
    passwordLabel->setObjectName(QStringLiteral("标签_密码"));
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("编辑框_密码"));
    password_->setEchoMode(QLineEdit::Password);
    auto* ok = new QPushButton(QStringLiteral("确定登录"), this);
    ok->setObjectName(QStringLiteral("超级按钮_登录确定"));
    ok->setAutoDefault(false);
    auto* cancel = new QPushButton(QStringLiteral("取消登录"), this);
    cancel->setObjectName(QStringLiteral("超级按钮_取消登录"));
    cancel->setAutoDefault(false);

    auto* title = new QLabel(QStringLiteral("Velmora 车辆档案管理"), this);
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
    setStyleSheet(QStringLiteral("#SignInWindow { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                                 "stop:0 #dbe9f7, stop:1 #9fc3e7); }"));

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

bool SignInWindow::eventFilter(QObject* watched, QEvent* event)
{
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

void SignInWindow::keyPressEvent(QKeyEvent* event)
{
    // Escape would close the dialog: the window is left only through its buttons.
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}

void SignInWindow::reject()
{
    // Only the cancel button rejects (closing through the system is switched off).
    if (cancelled_)
        QDialog::reject();
}

bool SignInWindow::signIn()
{
    const QString name = store::SqlText(name_->text());
    const QString password = store::SqlText(password_->text());
    int rs = db_.OpenRecordSet(QStringLiteral("select count(*) as[数量] from [权限] where [用户名]='") + name +
                               QStringLiteral("'and [密码]='") + password + QStringLiteral("'"));
    if (rs == 0) {
        ui::MessageBox(QStringLiteral("失败"));
        return false;
    }
    const double count = db_.ReadField(rs, QStringLiteral("数量")).number();
    if (count == 0) {
        db_.CloseRecordSet(rs);
        ui::MessageBox(QStringLiteral("请核对用户名和密码！"));
        return false;
    }
    db_.CloseRecordSet(rs);
    rs = db_.OpenRecordSet(QStringLiteral("select * from 权限 where [用户名]='") + name + QStringLiteral("'"));
    if (rs == 0) {
        ui::MessageBox(QStringLiteral("查询失败？!"));
        return false;
    }
    db_.MoveFirst(rs);
    store::Permissions& p = store::session().OperatorPermissions;
    p.增删车辆 = db_.ReadField(rs, QStringLiteral("增删车辆")).yesNo();
    p.费用可见 = db_.ReadField(rs, QStringLiteral("费用可见")).yesNo();
    p.统计查询 = db_.ReadField(rs, QStringLiteral("统计查询")).yesNo();
    p.权限设置 = db_.ReadField(rs, QStringLiteral("权限设置")).yesNo();
    p.增加车辆信息 = db_.ReadField(rs, QStringLiteral("增加车辆信息")).yesNo();
    p.修改车辆信息 = db_.ReadField(rs, QStringLiteral("修改车辆信息")).yesNo();
    db_.CloseRecordSet(rs);
    accept();
    return true;
}

}  // namespace app
