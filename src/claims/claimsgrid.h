#pragma once

#include "ui/reportgrid.h"

namespace claims {

// The register's grid: the report grid with the keyboard of a spreadsheet. Tab and Shift+Tab
// move to the next and previous cell that can be edited, Enter moves down (and ends an edit
// first), typing starts editing the current cell, Esc drops the edit, Delete empties the cell.
// The hidden 编号 and the running number of the entry row cannot be typed into.
class ClaimsGrid : public ui::ReportGrid {
    Q_OBJECT
public:
    explicit ClaimsGrid(QWidget* parent = nullptr);

    // Ends an edit still open in a cell, keeping what was typed, so a save reads it.
    void commitOpenEdit();
    bool isEditing() const { return state() == EditingState; }
    using ui::ReportGrid::edit;

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    bool isEditable(const QModelIndex& index) const;
    QModelIndex nextEditable(const QModelIndex& from, int step) const;
    void moveDown();
};

} // namespace claims
