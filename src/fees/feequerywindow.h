#pragma once

#include "fees/feestatistics.h"
#include "store/database.h"

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace ui {
class DateBox;
class ReportGrid;
struct MainParts;
} // namespace ui

namespace fees {

// 缴费查询: first a small parameter form ("查询参数设置窗口"), then, after 确定, the full-screen
// report "费用明细" with its title label and 打印 / 打印预览 / 导出.
class FeeQueryWindow : public QDialog {
    Q_OBJECT
public:
    explicit FeeQueryWindow(QWidget* owner = nullptr);
    ~FeeQueryWindow() override;

    // 确定: checks the vehicle text and builds the report. False when a check refused the input
    // (its message was shown and the form stays).
    bool buildReport();
    bool reportShown() const { return reportShown_; }
    ui::ReportGrid* grid() const { return grid_; }

private:
    void fillVehicleList();
    bool vehicleTyped() const;
    void showReportPart();
    void layOutForScreen();
    void fitGridToReport(const FeeReport& report);

    store::DatabaseConnection db_; // 外部数据库1
    QGroupBox* form_;              // 分组框_查询参数设置
    QComboBox* vehicleBox_;        // 组合框_车号
    ui::DateBox* fromBox_;         // 日期框_起始
    ui::DateBox* toBox_;           // 日期框_截止
    QComboBox* itemBox_;           // 组合框_项目
    QPushButton* okButton_;        // 超级按钮_参数确定
    QPushButton* cancelButton_;    // 超级按钮_参数取消
    QWidget* reportPart_;          // the grid with its title label and buttons
    ui::ReportGrid* grid_;         // 高级表格
    QLabel* titleLabel_;           // 透明标签_打印窗口的标题
    QPushButton* printButton_;     // 超级按钮_打印
    QPushButton* previewButton_;   // 超级按钮_打印预览
    QPushButton* exportButton_;    // 超级按钮_导出
    bool reportShown_ = false;
};

// Connects the main window's menu item 缴费查询.
void AttachFeeQuery(ui::MainParts& parts);

} // namespace fees
