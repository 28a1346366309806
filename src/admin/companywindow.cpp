#include "companywindow.h"

#include "store/session.h"
#include "ui/dialogs.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace admin {

namespace {

QLineEdit* box(const QString& name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMinimumWidth(360);
    edit->setMaxLength(200);
    return edit;
}

} // namespace

CompanyWindow::CompanyWindow(QWidget* owner) : QDialog(owner) {
    setObjectName(u"CompanyWindow"_s);
    setWindowTitle(u"公司信息设置"_s);
    setModal(true);

    name_ = box(u"编辑框_公司名称"_s, this);
    address_ = box(u"编辑框_地址"_s, this);
    telephone_ = box(u"编辑框_电话"_s, this);
    auto* form = new QFormLayout;
    form->addRow(u"公司名称："_s, name_);
    form->addRow(u"地址："_s, address_);
    form->addRow(u"电话："_s, telephone_);

    note_ = new QLabel(u"印在每张车主通知单的页首。"_s, this);
    note_->setObjectName(u"标签_说明"_s);
    note_->setWordWrap(true);

    saveButton_ = new QPushButton(u"保存"_s, this);
    saveButton_->setObjectName(u"超级按钮_保存"_s);
    auto* exitButton = new QPushButton(u"退出"_s, this);
    exitButton->setObjectName(u"超级按钮_退出"_s);
    for (QPushButton* b : {saveButton_, exitButton})
        b->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(saveButton_);
    buttons->addWidget(exitButton);

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(form);
    outer->addWidget(note_);
    outer->addLayout(buttons);
    connect(saveButton_, &QPushButton::clicked, this, &CompanyWindow::save);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);

    ui::OpenWindowDatabase(db_);
    store::CompanyDetails stored;
    QString error;
    if (db_.IsOpen() && !store::ReadCompanyDetails(db_, &stored, &error))
        ui::MessageBox(u"读取公司信息失败！"_s + u"\n"_s + error, ui::Buttons::Ok, {}, this);
    name_->setText(stored.公司名称);
    address_->setText(stored.地址);
    telephone_->setText(stored.电话);

    if (!store::session().OperatorPermissions.权限设置) {
        for (QLineEdit* e : {name_, address_, telephone_})
            e->setReadOnly(true);
        saveButton_->setEnabled(false);
        note_->setText(u"只有具有“权限设置”权限的管理员可以修改公司信息。"_s);
    }
}

store::CompanyDetails CompanyWindow::typed() const {
    return {name_->text().trimmed(), address_->text().trimmed(), telephone_->text().trimmed()};
}

bool CompanyWindow::save() {
    if (!store::session().OperatorPermissions.权限设置) {
        ui::MessageBox(u"只有具有“权限设置”权限的管理员可以修改公司信息。"_s, ui::Buttons::Ok, {}, this);
        return false;
    }
    const store::CompanyDetails details = typed();
    if (details.公司名称.isEmpty()) {
        ui::MessageBox(u"公司名称不能为空！"_s, ui::Buttons::Ok, {}, this);
        name_->setFocus();
        return false;
    }
    QString error;
    if (!db_.IsOpen() || !store::SaveCompanyDetails(db_, details, &error)) {
        ui::MessageBox(u"公司信息保存失败！"_s + (error.isEmpty() ? QString() : u"\n"_s + error), ui::Buttons::Ok, {},
                       this);
        return false;
    }
    name_->setText(details.公司名称);
    address_->setText(details.地址);
    telephone_->setText(details.电话);
    ui::MessageBox(u"公司信息保存成功！"_s, ui::Buttons::Ok, {}, this);
    return true;
}

} // namespace admin
