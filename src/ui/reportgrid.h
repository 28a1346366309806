#pragma once

#include "report/reporttable.h"

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QTableView>

namespace ui {

// A report table as a Qt model. Header rows show bold on grey; yes/no cells as check boxes
// (checkable only where the cell is editable); date cells as YYYY-MM-DD with a date editor.
// An optional entry row after the last row takes a new record before it becomes a data row.
class ReportTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ReportTableModel(QObject* parent = nullptr);

    void setTable(const report::ReportTable& table);
    const report::ReportTable& table() const { return table_; }

    void setEntryRowEnabled(bool on);
    bool entryRowEnabled() const { return entryRow_; }
    // Index of the entry row in the model (the table's row count), -1 when there is none.
    int entryRowIndex() const { return entryRow_ ? table_.rowCount() : -1; }
    const QList<report::Cell>& entryCells() const { return entry_; }
    void clearEntryRow();

    void setCell(int row, int column, const report::Cell& cell);
    int appendRow(const QList<report::Cell>& cells);
    bool removeTableRow(int row);
    bool removeTableColumn(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    void cellEdited(int row, int column);
    void entryCellEdited(int column);

private:
    const report::Cell& cellAt(int row, int column) const;
    report::Cell* mutableCellAt(int row, int column);
    void resetEntry();

    report::ReportTable table_;
    bool entryRow_ = false;
    QList<report::Cell> entry_;
};

// Edits date cells with a calendar pop-up, other cells as the standard delegate does.
class ReportGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
};

// The grid 高级表格 of the list, fee and claims windows: shows a report table with its merged
// cells and column widths, reports its current cell, deletes rows and columns (never the
// database) and hands back its current content for printing and export.
class ReportGrid : public QTableView {
    Q_OBJECT
public:
    explicit ReportGrid(QWidget* parent = nullptr);

    void setTable(const report::ReportTable& table);
    // What the grid shows now, rows and columns deleted in the window left out, without the
    // entry row: what print, preview and export take.
    report::ReportTable currentTable() const;
    const report::ReportTable& table() const { return model_->table(); }
    ReportTableModel* reportModel() const { return model_; }

    int currentRow() const;    // -1 when no cell is current
    int currentColumn() const; // -1 when no cell is current
    void setCurrentCell(int row, int column);

    // Out-of-range indexes do nothing and return false.
    bool deleteRow(int row);
    bool deleteColumn(int column);

    // Editing, for the claims register: single cells or whole data columns become editable;
    // the entry row (a blank row after the last) takes a new record in the columns' kinds.
    void setCellEditable(int row, int column, bool editable);
    void setColumnEditable(int column, bool editable);
    void setCell(int row, int column, const report::Cell& cell);
    int appendDataRow(const QList<report::Cell>& cells);
    void setEntryRowEnabled(bool on);
    QList<report::Cell> entryRowCells() const { return model_->entryCells(); }
    void clearEntryRow() { model_->clearEntryRow(); }

signals:
    // The grid's new current cell (row and column of the table; the entry row is rowCount()).
    void currentCellChanged(int row, int column);
    void cellEdited(int row, int column);
    void entryRowEdited(int column);
    // The right mouse button was pressed over the grid, at this global position.
    void contextMenuRequested(const QPoint& globalPosition);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void applyLayout();

    ReportTableModel* model_;
};

} // namespace ui
