#include "operatorwindow.h"

#include "accounts.h"
#include "store/schema.h"
#include "ui/dialogs.h"
#include "ui/widgets.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace admin {

namespace {

QPushButton* makeButton(const QString& name, const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    // Enter in an edit box must not press a button: it would clear or save the form unasked.
    b->setAutoDefault(false);
    b->setMinimumHeight(28);
    return b;
}

QCheckBox* makeCheck(const QString& name, const QString& caption, QWidget* parent) {
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(name);
    return c;
}

QLineEdit* makeEdit(const QString& name, bool password, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    if (password) {
        e->setEchoMode(QLineEdit::Password);
        e->setStyleSheet(u"lineedit-password-character: 42;"_s); // shown as *
    }
    return e;
}

const QString kNameTaken = u"此管理员的用户名已经被使用了！请更换其他用户名。"_s;

} // namespace

OperatorWindow::OperatorWindow(QWidget* owner) : QDialog(owner) {
    setObjectName(u"OperatorWindow"_s);
    setWindowTitle(u"修改管理员用户名密码权限"_s);
    setModal(true);
    resize(450, 391);

    list_ = new ui::SuperListBox(u"超级列表框_管理员"_s, this);
    list_->addColumn(u"管理员用户名"_s, 150);
    list_->header()->setStretchLastSection(true);
    list_->setMinimumWidth(150);

    addButton_ = makeButton(u"超级按钮权限员工增加"_s, u"增加管理员"_s, this);
    deleteButton_ = makeButton(u"超级按钮权限员工删除"_s, u"删除管理员"_s, this);
    saveButton_ = makeButton(u"超级按钮权限员工保存"_s, u"保存"_s, this);
    exitButton_ = makeButton(u"超级按钮权限管理员退出"_s, u"退出"_s, this);
    deleteButton_->setVisible(false);
    saveButton_->setVisible(false);

    name_ = makeEdit(u"编辑框权限用户名"_s, false, this);
    password_ = makeEdit(u"编辑框权限密码"_s, true, this);
    passwordAgain_ = makeEdit(u"编辑框权限再次密码"_s, true, this);

    addDelete_ = makeCheck(u"选择框权限_允许增删车辆"_s, u"允许增删车辆"_s, this);
    feesVisible_ = makeCheck(u"选择框权限_费用可见"_s, u"允许费用可见"_s, this);
    statistics_ = makeCheck(u"选择框权限_统计查询"_s, u"统计查询可见"_s, this);
    settings_ = makeCheck(u"选择框权限_权限设置可见"_s, u"权限设置可见"_s, this);
    addRecords_ = makeCheck(u"选择框权限_允许增加车辆信息"_s, u"允许增加车辆信息"_s, this);
    changeRecords_ = makeCheck(u"选择框权限_允许修改车辆信息"_s, u"允许修改车辆信息"_s, this);

    auto* form = new QGridLayout;
    form->setVerticalSpacing(8);
    form->addWidget(new QLabel(u"管理员用户名:"_s, this), 0, 0);
    form->addWidget(name_, 0, 1);
    form->addWidget(new QLabel(u"管理员密码:"_s, this), 1, 0);
    form->addWidget(password_, 1, 1);
    form->addWidget(new QLabel(u"再次输入密码:"_s, this), 2, 0);
    form->addWidget(passwordAgain_, 2, 1);

    auto* rights = new QGridLayout;
    rights->addWidget(addDelete_, 0, 0);
    rights->addWidget(feesVisible_, 0, 1);
    rights->addWidget(statistics_, 1, 0);
    rights->addWidget(settings_, 1, 1);
    rights->addWidget(addRecords_, 2, 0);
    rights->addWidget(changeRecords_, 2, 1);

    auto* buttons = new QGridLayout;
    buttons->addWidget(addButton_, 0, 0);
    buttons->addWidget(deleteButton_, 0, 1);
    buttons->addWidget(saveButton_, 1, 0);
    buttons->addWidget(exitButton_, 1, 1);

    auto* right = new QVBoxLayout;
    right->addLayout(form);
    right->addSpacing(6);
    right->addLayout(rights);
    right->addStretch(1);
    right->addLayout(buttons);

    auto* outer = new QHBoxLayout(this);
    outer->addWidget(list_, 2);
    outer->addLayout(right, 3);

    connect(list_, &ui::SuperListBox::rowClicked, this, &OperatorWindow::rowClicked);
    connect(addButton_, &QPushButton::clicked, this, &OperatorWindow::addAccount);
    connect(saveButton_, &QPushButton::clicked, this, &OperatorWindow::save);
    connect(deleteButton_, &QPushButton::clicked, this, &OperatorWindow::deleteAccount);
    connect(exitButton_, &QPushButton::clicked, this, &QDialog::accept);
    name_->installEventFilter(this);

    ui::OpenWindowDatabase(db_);
    fillList();
    name_->setFocus();
}

bool OperatorWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == name_ && event->type() == QEvent::FocusOut)
        nameBoxLeft();
    return QDialog::eventFilter(watched, event);
}

void OperatorWindow::fillList() {
    list_->clearRows();
    const auto accounts = ListOperators(db_);
    if (!accounts) {
        ui::MessageBox(u"打开管理员名单失败"_s, ui::Buttons::Ok, {}, this);
        return;
    }
    // Each account goes on top, so the newest stands first.
    for (const OperatorAccount& a : *accounts)
        list_->insertRow(0, a.name, a.number);
    selectEditedRow();
}

void OperatorWindow::selectEditedRow() {
    if (list_->rowCount() == 0)
        return;
    int row = 0;
    if (mode_ == Mode::Editing) {
        for (int r = 0; r < list_->rowCount(); ++r)
            if (list_->rowNumber(r) == editedNumber_)
                row = r;
    }
    list_->setCurrentItem(list_->topLevelItem(row));
}

void OperatorWindow::rowClicked(int row) {
    if (row < 0 || row >= list_->rowCount())
        return;
    const qint64 number = list_->rowNumber(row);
    const auto account = ReadOperator(db_, number);
    if (!account) {
        ui::MessageBox(u"登陆失败!"_s, ui::Buttons::Ok, {}, this);
        return;
    }
    name_->setText(account->name);
    password_->setText(account->password);
    passwordAgain_->setText(account->password);
    setFormRights(account->rights);
    mode_ = Mode::Editing;
    editedNumber_ = number;
    list_->setCurrentItem(list_->topLevelItem(row));
    saveButton_->setVisible(true);
    deleteButton_->setVisible(true);
}

void OperatorWindow::addAccount() {
    name_->clear();
    password_->clear();
    passwordAgain_->clear();
    setFormRights({});
    mode_ = Mode::Adding;
    editedNumber_ = 0;
    // Nothing is selected for deletion while a new account is being written.
    deleteButton_->setVisible(false);
    saveButton_->setVisible(true);
    name_->setFocus();
}

void OperatorWindow::nameBoxLeft() {
    const QString name = name_->text();
    if (name.isEmpty())
        return;
    refuseNameHeldByAnother(name);
}

bool OperatorWindow::refuseNameHeldByAnother(const QString& name) {
    // An account being edited may keep its own name; only another account's name is refused.
    const int holders = CountOperatorsNamed(db_, name, mode_ == Mode::Editing ? editedNumber_ : 0);
    if (holders < 0) {
        ui::MessageBox(u"失败"_s, ui::Buttons::Ok, {}, this);
        return true;
    }
    if (holders > 0) {
        ui::MessageBox(kNameTaken, ui::Buttons::Ok, {}, this);
        name_->clear();
        return true;
    }
    return false;
}

void OperatorWindow::save() {
    if (password_->text() != passwordAgain_->text()) {
        ui::MessageBox(u"对不起！你两次输入的密码不同，请重新输入。"_s, ui::Buttons::Ok, {}, this);
        password_->clear();
        passwordAgain_->clear();
        return;
    }
    if (mode_ == Mode::None) {
        fillList();
        return;
    }

    OperatorAccount account;
    account.name = name_->text();
    account.password = passwordAgain_->text();
    account.rights = formRights();
    if (account.name.trimmed().isEmpty()) {
        ui::MessageBox(u"请输入管理员用户名！"_s, ui::Buttons::Ok, {}, this);
        return;
    }
    // The check on leaving the name box can be bypassed (the box never left, or the form saved
    // twice), so the save itself refuses a name that another account holds.
    if (refuseNameHeldByAnother(account.name))
        return;

    if (mode_ == Mode::Adding) {
        if (!InsertOperator(db_, account)) {
            ui::MessageBox(u"失败"_s, ui::Buttons::Ok, {}, this);
            return;
        }
        ui::MessageBox(u"新管理员添加成功！"_s, ui::Buttons::Ok, {}, this);
        fillList();
        return;
    }

    const QString lockOut = LockOutReasonForUpdate(db_, editedNumber_, account.rights);
    if (!lockOut.isEmpty()) {
        ui::MessageBox(lockOut, ui::Buttons::Ok, {}, this);
        return;
    }
    if (UpdateOperator(db_, editedNumber_, account)) {
        ui::MessageBox(u"修改权限成功！"_s, ui::Buttons::Ok, {}, this);
        fillList();
    } else {
        ui::MessageBox(u"失败"_s, ui::Buttons::Ok, {}, this);
    }
}

void OperatorWindow::deleteAccount() {
    if (mode_ != Mode::Editing)
        return;
    const qint64 number = editedNumber_;
    // Refused before the question: there is nothing to confirm.
    const QString lockOut = LockOutReasonForDelete(db_, number);
    if (!lockOut.isEmpty()) {
        ui::MessageBox(lockOut, ui::Buttons::Ok, {}, this);
        return;
    }
    if (ui::AskWithDefault(u"确定删除此管理员吗？"_s, ui::Buttons::YesNo, ui::Answer::No, {}, this) != ui::Answer::Yes)
        return;
    if (DeleteOperator(db_, number)) {
        ui::MessageBox(u"删除成功!"_s, ui::Buttons::Ok, {}, this);
        // The form showed the deleted account; a later save must not write to a row that is gone.
        mode_ = Mode::None;
        editedNumber_ = 0;
        name_->clear();
        password_->clear();
        passwordAgain_->clear();
        setFormRights({});
        saveButton_->setVisible(false);
        deleteButton_->setVisible(false);
    }
    fillList();
}

store::Permissions OperatorWindow::formRights() const {
    store::Permissions p;
    p.增删车辆 = addDelete_->isChecked();
    p.修改车辆信息 = changeRecords_->isChecked();
    p.增加车辆信息 = addRecords_->isChecked();
    p.费用可见 = feesVisible_->isChecked();
    p.统计查询 = statistics_->isChecked();
    p.权限设置 = settings_->isChecked();
    return p;
}

void OperatorWindow::setFormRights(const store::Permissions& p) {
    addDelete_->setChecked(p.增删车辆);
    changeRecords_->setChecked(p.修改车辆信息);
    addRecords_->setChecked(p.增加车辆信息);
    feesVisible_->setChecked(p.费用可见);
    statistics_->setChecked(p.统计查询);
    settings_->setChecked(p.权限设置);
}

} // namespace admin
