#pragma once

#include "store/company.h"
#include "store/database.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace admin {

// 公司信息设置: the company's name, address and telephone that head every owner notice, kept in
// the database. Only an operator with 权限设置 may change them; others see them read-only.
class CompanyWindow : public QDialog {
    Q_OBJECT
public:
    explicit CompanyWindow(QWidget* owner = nullptr);

    store::CompanyDetails typed() const; // the three boxes, blanks at both ends removed
    bool save();                         // 保存: false when refused or failed (the operator was told)

private:
    store::DatabaseConnection db_; // 外部数据库1
    QLineEdit* name_;
    QLineEdit* address_;
    QLineEdit* telephone_;
    QPushButton* saveButton_;
    QLabel* note_;
};

} // namespace admin
