#include "claimsgrid.h"

#include "claims.h"

#include <QHeaderView>
#include <QKeyEvent>

namespace claims {

ClaimsGrid::ClaimsGrid(QWidget* parent) : ui::ReportGrid(parent) {
    setTabKeyNavigation(true);
    // 编号 is kept one pixel wide, narrower than the style's smallest column.
    horizontalHeader()->setMinimumSectionSize(1);
}

bool ClaimsGrid::isEditable(const QModelIndex& index) const {
    if (!index.isValid() || !(index.flags() & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)))
        return false;
    // The entry row is editable throughout; its 编号 and running number are not the operator's.
    const int entry = reportModel()->entryRowIndex();
    return !(index.row() == entry && (index.column() == 0 || index.column() == kClaimColumnCount - 1));
}

bool ClaimsGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (!isEditable(index))
        return false;
    return ui::ReportGrid::edit(index, trigger, event);
}

QModelIndex ClaimsGrid::nextEditable(const QModelIndex& from, int step) const {
    const int rows = model()->rowCount();
    const int columns = model()->columnCount();
    if (!from.isValid() || columns == 0)
        return from;
    int position = from.row() * columns + from.column();
    for (int left = rows * columns; left > 0; --left) {
        position += step;
        if (position < 0 || position >= rows * columns)
            return from;
        const QModelIndex candidate = model()->index(position / columns, position % columns);
        if (isEditable(candidate))
            return candidate;
    }
    return from;
}

QModelIndex ClaimsGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (action == MoveNext)
        return nextEditable(currentIndex(), 1);
    if (action == MovePrevious)
        return nextEditable(currentIndex(), -1);
    return ui::ReportGrid::moveCursor(action, modifiers);
}

void ClaimsGrid::moveDown() {
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.row() + 1 < model()->rowCount())
        setCurrentIndex(model()->index(current.row() + 1, current.column()));
}

void ClaimsGrid::keyPressEvent(QKeyEvent* event) {
    if (state() != EditingState) {
        const QModelIndex current = currentIndex();
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            moveDown();
            event->accept();
            return;
        case Qt::Key_Delete:
        case Qt::Key_Backspace:
            if (isEditable(current) && (current.flags() & Qt::ItemIsEditable)) {
                // A text cell takes the empty text; a date cell no date at all.
                const bool date = current.data(Qt::EditRole).typeId() == QMetaType::QDate;
                model()->setData(current, date ? QVariant(QDate()) : QVariant(QString()), Qt::EditRole);
                event->accept();
                return;
            }
            break;
        default:
            break;
        }
    }
    ui::ReportGrid::keyPressEvent(event);
}

void ClaimsGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    // The edit ends where it was; moving on is a step of its own, as in a spreadsheet, so the
    // next cell is not opened for editing.
    switch (hint) {
    case QAbstractItemDelegate::EditNextItem:
        ui::ReportGrid::closeEditor(editor, QAbstractItemDelegate::NoHint);
        setCurrentIndex(nextEditable(currentIndex(), 1));
        break;
    case QAbstractItemDelegate::EditPreviousItem:
        ui::ReportGrid::closeEditor(editor, QAbstractItemDelegate::NoHint);
        setCurrentIndex(nextEditable(currentIndex(), -1));
        break;
    case QAbstractItemDelegate::SubmitModelCache:
        ui::ReportGrid::closeEditor(editor, hint);
        moveDown();
        break;
    default:
        ui::ReportGrid::closeEditor(editor, hint);
        break;
    }
}

void ClaimsGrid::commitOpenEdit() {
    if (state() != EditingState)
        return;
    if (QWidget* editor = indexWidget(currentIndex())) {
        commitData(editor);
        ui::ReportGrid::closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

} // namespace claims
