#include "ui/reportgrid.h"

#include <QDateEdit>
#include <QHeaderView>
#include <QMouseEvent>

using namespace Qt::StringLiterals;
using report::Cell;
using report::CellKind;

namespace ui {

namespace {
const QColor kHeaderBackground(0xE8, 0xE8, 0xE8);
}

ReportTableModel::ReportTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void ReportTableModel::setTable(const report::ReportTable& table) {
    beginResetModel();
    table_ = table;
    resetEntry();
    endResetModel();
}

void ReportTableModel::resetEntry() {
    entry_.clear();
    for (int c = 0; c < table_.columnCount(); ++c) {
        Cell cell;
        cell.kind = table_.columnKind(c);
        cell.editable = true;
        entry_ << cell;
    }
}

void ReportTableModel::setEntryRowEnabled(bool on) {
    if (on == entryRow_)
        return;
    const int row = table_.rowCount();
    if (on) {
        beginInsertRows({}, row, row);
        entryRow_ = true;
        resetEntry();
        endInsertRows();
    } else {
        beginRemoveRows({}, row, row);
        entryRow_ = false;
        endRemoveRows();
    }
}

void ReportTableModel::clearEntryRow() {
    resetEntry();
    if (entryRow_ && table_.columnCount() > 0)
        emit dataChanged(index(table_.rowCount(), 0), index(table_.rowCount(), table_.columnCount() - 1));
}

void ReportTableModel::setCell(int row, int column, const Cell& cell) {
    if (row < 0 || column < 0)
        return;
    if (row >= table_.rowCount() || column >= table_.columnCount()) {
        beginResetModel();
        table_.setCell(row, column, cell);
        resetEntry();
        endResetModel();
        return;
    }
    table_.setCell(row, column, cell);
    emit dataChanged(index(row, column), index(row, column));
}

int ReportTableModel::appendRow(const QList<Cell>& cells) {
    const int row = table_.rowCount();
    beginInsertRows({}, row, row);
    table_.appendRow();
    for (int c = 0; c < cells.size() && c < table_.columnCount(); ++c)
        table_.setCell(row, c, cells.at(c));
    endInsertRows();
    return row;
}

bool ReportTableModel::removeTableRow(int row) {
    if (row < 0 || row >= table_.rowCount())
        return false;
    beginRemoveRows({}, row, row);
    table_.removeRow(row);
    endRemoveRows();
    return true;
}

bool ReportTableModel::removeTableColumn(int column) {
    if (column < 0 || column >= table_.columnCount())
        return false;
    beginRemoveColumns({}, column, column);
    table_.removeColumn(column);
    entry_.removeAt(column);
    endRemoveColumns();
    return true;
}

int ReportTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.rowCount() + (entryRow_ ? 1 : 0);
}

int ReportTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.columnCount();
}

const Cell& ReportTableModel::cellAt(int row, int column) const {
    if (entryRow_ && row == table_.rowCount() && column >= 0 && column < entry_.size())
        return entry_.at(column);
    return table_.cell(row, column);
}

Cell* ReportTableModel::mutableCellAt(int row, int column) {
    if (entryRow_ && row == table_.rowCount())
        return column >= 0 && column < entry_.size() ? &entry_[column] : nullptr;
    if (row < 0 || row >= table_.rowCount() || column < 0 || column >= table_.columnCount())
        return nullptr;
    return &table_.cellRef(row, column);
}

QVariant ReportTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const int row = index.row();
    const Cell& cell = cellAt(row, index.column());
    const bool header = row < table_.headerRows;
    switch (role) {
    case Qt::DisplayRole:
        if (cell.kind == CellKind::YesNo)
            return {};
        return cell.displayText();
    case Qt::EditRole:
        if (cell.kind == CellKind::YesNo)
            return cell.yes;
        if (cell.kind == CellKind::Date)
            return cell.date;
        return cell.text;
    case Qt::CheckStateRole:
        if (cell.kind == CellKind::YesNo)
            return cell.yes ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::BackgroundRole:
        if (cell.background.isValid())
            return cell.background;
        return header ? QVariant(kHeaderBackground) : QVariant();
    case Qt::ForegroundRole:
        return cell.foreground.isValid() ? QVariant(cell.foreground) : QVariant();
    case Qt::FontRole:
        if (header) {
            QFont f;
            f.setBold(true);
            return f;
        }
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    default:
        return {};
    }
}

bool ReportTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid())
        return false;
    Cell* cell = mutableCellAt(index.row(), index.column());
    if (!cell || !cell->editable)
        return false;
    if (cell->kind == CellKind::YesNo) {
        if (role == Qt::CheckStateRole)
            cell->yes = value.value<Qt::CheckState>() == Qt::Checked || value.toInt() == Qt::Checked;
        else if (role == Qt::EditRole)
            cell->yes = value.toBool();
        else
            return false;
    } else if (role == Qt::EditRole) {
        if (cell->kind == CellKind::Date)
            cell->date =
                value.typeId() == QMetaType::QDate ? value.toDate() : QDate::fromString(value.toString(), Qt::ISODate);
        else
            cell->text = value.toString();
    } else {
        return false;
    }
    emit dataChanged(index, index);
    if (entryRow_ && index.row() == table_.rowCount())
        emit entryCellEdited(index.column());
    else
        emit cellEdited(index.row(), index.column());
    return true;
}

Qt::ItemFlags ReportTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const Cell& cell = cellAt(index.row(), index.column());
    if (cell.editable)
        f |= cell.kind == CellKind::YesNo ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable;
    return f;
}

QWidget* ReportGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const {
    if (index.data(Qt::EditRole).typeId() == QMetaType::QDate) {
        auto* edit = new QDateEdit(parent);
        edit->setObjectName(u"日期框_表格"_s);
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(u"yyyy-MM-dd"_s);
        return edit;
    }
    return QStyledItemDelegate::createEditor(parent, option, index);
}

void ReportGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* edit = qobject_cast<QDateEdit*>(editor)) {
        const QDate d = index.data(Qt::EditRole).toDate();
        edit->setDate(d.isValid() ? d : QDate::currentDate());
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void ReportGridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
    if (auto* edit = qobject_cast<QDateEdit*>(editor)) {
        model->setData(index, edit->date(), Qt::EditRole);
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}

ReportGrid::ReportGrid(QWidget* parent) : QTableView(parent), model_(new ReportTableModel(this)) {
    setObjectName(u"高级表格"_s);
    setModel(model_);
    setItemDelegate(new ReportGridDelegate(this));
    horizontalHeader()->setVisible(false);
    verticalHeader()->setVisible(false);
    // Data rows keep one line (a ledger has a thousand of them); header rows fit their captions.
    verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setWordWrap(true);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (current.isValid())
            emit currentCellChanged(current.row(), current.column());
    });
    connect(model_, &ReportTableModel::cellEdited, this, &ReportGrid::cellEdited);
    connect(model_, &ReportTableModel::entryCellEdited, this, &ReportGrid::entryRowEdited);
}

void ReportGrid::applyLayout() {
    clearSpans();
    const report::ReportTable& t = model_->table();
    for (const report::Merge& m : t.merges())
        setSpan(m.row, m.column, m.rowSpan, m.columnSpan);
    for (int c = 0; c < t.columnCount(); ++c)
        setColumnWidth(c, t.columnWidth(c));
    for (int r = 0; r < std::min(t.headerRows, t.rowCount()); ++r)
        resizeRowToContents(r);
}

void ReportGrid::setTable(const report::ReportTable& table) {
    model_->setTable(table);
    applyLayout();
}

report::ReportTable ReportGrid::currentTable() const {
    report::ReportTable t = model_->table();
    // Widths the operator dragged in the window go to paper and files too.
    for (int c = 0; c < t.columnCount(); ++c)
        if (columnWidth(c) > 0)
            t.setColumnWidth(c, columnWidth(c));
    return t;
}

int ReportGrid::currentRow() const {
    return currentIndex().isValid() ? currentIndex().row() : -1;
}

int ReportGrid::currentColumn() const {
    return currentIndex().isValid() ? currentIndex().column() : -1;
}

void ReportGrid::setCurrentCell(int row, int column) {
    setCurrentIndex(model_->index(row, column));
}

bool ReportGrid::deleteRow(int row) {
    if (!model_->removeTableRow(row))
        return false;
    applyLayout();
    return true;
}

bool ReportGrid::deleteColumn(int column) {
    if (!model_->removeTableColumn(column))
        return false;
    applyLayout();
    return true;
}

void ReportGrid::setCellEditable(int row, int column, bool editable) {
    if (row < 0 || row >= model_->table().rowCount() || column < 0 || column >= model_->table().columnCount())
        return;
    report::Cell cell = model_->table().cell(row, column);
    cell.editable = editable;
    model_->setCell(row, column, cell);
}

void ReportGrid::setColumnEditable(int column, bool editable) {
    const report::ReportTable& t = model_->table();
    for (int r = t.headerRows; r < t.rowCount(); ++r)
        setCellEditable(r, column, editable);
}

void ReportGrid::setCell(int row, int column, const report::Cell& cell) {
    const bool grows = row >= model_->table().rowCount() || column >= model_->table().columnCount();
    model_->setCell(row, column, cell);
    if (grows)
        applyLayout();
}

int ReportGrid::appendDataRow(const QList<report::Cell>& cells) {
    const int row = model_->appendRow(cells);
    applyLayout();
    return row;
}

void ReportGrid::setEntryRowEnabled(bool on) {
    model_->setEntryRowEnabled(on);
}

void ReportGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (index.isValid())
            setCurrentIndex(index);
        emit contextMenuRequested(event->globalPosition().toPoint());
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

} // namespace ui
