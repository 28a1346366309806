#pragma once

#include "import/importer.h"
#include "store/database.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace ui {
class ReportGrid;
struct MainParts;
} // namespace ui

namespace fleetimport {

// 导入车辆: choose a file and its sheet, confirm or change which column goes to which field,
// try the import (nothing written), import with progress and cancel, and save the report.
class ImportWindow : public QDialog {
    Q_OBJECT
public:
    explicit ImportWindow(QWidget* owner = nullptr);

    // Reads the file and shows its first sheet's columns; a refused file is reported.
    bool loadFile(const QString& path);
    void chooseFileCommand(); // 选择文件…
    void dryRunCommand();     // 试导入
    void importCommand();     // 导入
    void saveReportCommand(); // 保存报告

    // The mapping as the table shows it now.
    ColumnMap currentMap() const;
    ui::ReportGrid* reportGrid() const { return grid_; }
    // Called after vehicles were added (the main window refreshes its alert tree).
    std::function<void()> onImported;

    // Closing (Esc, the window's close button) while rows are written cancels the import instead.
    void reject() override;

private:
    void showSheet(int index);
    std::optional<ImportPlan> plan();
    void setBusy(bool busy);

    store::DatabaseConnection db_; // 外部数据库1
    std::optional<Workbook> book_;
    QLineEdit* file_;
    QComboBox* sheet_;
    QLabel* encoding_;
    QTableWidget* mapping_;
    QPushButton* choose_;
    QPushButton* dryRun_;
    QPushButton* import_;
    QPushButton* cancel_;
    QPushButton* saveReport_;
    QPushButton* close_;
    QProgressBar* progress_;
    QLabel* status_;
    ui::ReportGrid* grid_;
    bool cancelRequested_ = false;
    bool busy_ = false;
};

// Connects the main window's menu item 导入车辆… (for operators who may add vehicles).
void AttachImportCommand(ui::MainParts& parts);

} // namespace fleetimport
