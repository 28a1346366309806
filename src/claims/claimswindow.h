#pragma once

#include "claims/claims.h"
#include "store/database.h"

#include <QDialog>

class QComboBox;
class QPushButton;

namespace ui {
class DateBox;
class LabeledEdit;
struct MainParts;
} // namespace ui

namespace claims {

class ClaimsGrid;

// 报险情况: the claims reported within a date range, narrowed by the filters; claims are typed
// into the grid and stored with 保存增加 (the entry row) and 保存修改 (every listed row).
class ClaimsWindow : public QDialog {
    Q_OBJECT
public:
    explicit ClaimsWindow(QWidget* owner = nullptr);

    ClaimsGrid* grid() const { return grid_; }

    // Fills the grid with the claims of the range that pass ClaimFilters, then the entry row.
    void loadClaims();
    void findCommand();        // 查找
    void saveNewCommand();     // 保存增加
    void saveChangesCommand(); // 保存修改

private:
    store::DatabaseConnection db_; // 外部数据库1
    ui::DateBox* start_;           // 日期框_开始
    ui::DateBox* end_;             // 日期框_截止
    ui::LabeledEdit* plate_;       // 带标签编辑框_主车牌号
    ui::LabeledEdit* owner_;       // 带标签编辑框_车主姓名
    ui::LabeledEdit* insurer_;     // 带标签编辑框_保险公司名称
    ui::LabeledEdit* policy_;      // 带标签编辑框_保单号
    QComboBox* closed_;            // 组合框_是否结案
    ClaimsGrid* grid_;             // 高级表格
    QList<Claim> loaded_;          // the listed claims as loaded, to tell another operator's change
};

// Connects the main window's menu item 报险清单.
void AttachClaimsCommands(ui::MainParts& parts);

} // namespace claims
