#pragma once

#include "store/database.h"
#include "store/session.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace ui {
class SuperListBox;
}

namespace admin {

// 修改管理员用户名密码权限: lists the operator accounts and adds, changes or deletes one.
// Changes take effect at the operator's next sign-in.
class OperatorWindow : public QDialog {
    Q_OBJECT
public:
    enum class Mode { None, Adding, Editing };

    explicit OperatorWindow(QWidget* owner = nullptr);

    Mode mode() const { return mode_; }

    // The commands, as the controls run them.
    void fillList();
    void rowClicked(int row);
    void addAccount();
    void nameBoxLeft();
    void save();
    void deleteAccount();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shows why a name cannot be used and empties the box; false when the name is free.
    bool refuseNameHeldByAnother(const QString& name);
    store::Permissions formRights() const;
    void setFormRights(const store::Permissions& rights);
    void selectEditedRow();

    store::DatabaseConnection db_; // 外部数据库1
    ui::SuperListBox* list_;
    QPushButton* addButton_;
    QPushButton* deleteButton_;
    QPushButton* saveButton_;
    QPushButton* exitButton_;
    QLineEdit* name_;
    QLineEdit* password_;
    QLineEdit* passwordAgain_;
    QCheckBox* addDelete_;     // 增删车辆
    QCheckBox* feesVisible_;   // 费用可见
    QCheckBox* statistics_;    // 统计查询
    QCheckBox* settings_;      // 权限设置
    QCheckBox* addRecords_;    // 增加车辆信息
    QCheckBox* changeRecords_; // 修改车辆信息
    Mode mode_ = Mode::None;
    // The account shown in the form while editing. Saving and deleting act on it, not on whatever
    // row happens to be current after the list was filled again.
    qint64 editedNumber_ = 0;
};

} // namespace admin
