#pragma once

#include "store/database.h"

#include <QDialog>
#include <QStringList>

class QPushButton;
class QTableWidget;
class QTimer;

namespace admin {

// 投保险种设置: edits the list of insurance kinds in a grid. Nothing is written until 保存,
// which replaces the whole list.
class InsuranceTypeWindow : public QDialog {
    Q_OBJECT
public:
    explicit InsuranceTypeWindow(QWidget* owner = nullptr);

    // Data rows of the grid (rows 1 … count; row 0 is the header).
    int rowCount() const { return rowCount_; }
    // The names in the grid's data rows, in order, as they stand (blank rows included).
    QStringList gridNames() const;

    void fillGrid();
    void addRow();
    void deleteRow();
    void save();

private:
    void colourNumberColumn();

    store::DatabaseConnection db_; // 外部数据库1
    QTableWidget* grid_;           // 高级表格1
    QPushButton* addButton_;
    QPushButton* saveButton_;
    QPushButton* deleteButton_;
    QTimer* clock_; // 时钟1
    int rowCount_ = 0;
};

} // namespace admin
