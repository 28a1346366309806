#include "report/reporttable.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace report {

Cell Cell::Text(const QString& text) {
    Cell c;
    c.text = text;
    return c;
}

Cell Cell::YesNo(bool yes) {
    Cell c;
    c.kind = CellKind::YesNo;
    c.yes = yes;
    return c;
}

Cell Cell::Date(const QDate& date) {
    Cell c;
    c.kind = CellKind::Date;
    c.date = date;
    return c;
}

QString Cell::displayText() const {
    switch (kind) {
    case CellKind::YesNo:
        return yes ? u"true"_s : u"false"_s;
    case CellKind::Date:
        return date.isValid() ? date.toString(Qt::ISODate) : QString();
    case CellKind::Text:
        break;
    }
    return text;
}

bool Cell::isEmpty() const {
    return kind == CellKind::Text ? text.isEmpty() : kind == CellKind::Date ? !date.isValid() : false;
}

void ReportTable::setColumnCount(int n) {
    n = std::max(n, 0);
    for (QList<Cell>& r : rows_)
        r.resize(n);
    widths_.resize(n, kDefaultColumnWidth);
    kinds_.resize(n, CellKind::Text);
    columns_ = n;
    // A merge reaching past the last column is cut at it; one starting past it goes.
    for (qsizetype i = merges_.size() - 1; i >= 0; --i) {
        Merge& m = merges_[i];
        if (m.column >= n)
            merges_.removeAt(i);
        else
            m.columnSpan = std::min(m.columnSpan, n - m.column);
    }
}

void ReportTable::ensureSize(int rows, int columns) {
    if (columns > columns_)
        setColumnCount(columns);
    while (rowCount() < rows)
        appendRow();
}

int ReportTable::appendRow() {
    QList<Cell> r(columns_);
    for (int c = 0; c < columns_; ++c)
        r[c].kind = kinds_.at(c);
    rows_.append(r);
    return rowCount() - 1;
}

const Cell& ReportTable::cell(int row, int column) const {
    static const Cell empty;
    if (row < 0 || row >= rowCount() || column < 0 || column >= columns_)
        return empty;
    return rows_.at(row).at(column);
}

Cell& ReportTable::cellRef(int row, int column) {
    ensureSize(row + 1, column + 1);
    return rows_[row][column];
}

void ReportTable::setCell(int row, int column, const Cell& cell) {
    if (row < 0 || column < 0)
        return;
    cellRef(row, column) = cell;
}

void ReportTable::setText(int row, int column, const QString& text) {
    if (row < 0 || column < 0)
        return;
    Cell& c = cellRef(row, column);
    c.kind = CellKind::Text;
    c.text = text;
}

void ReportTable::setYesNo(int row, int column, bool yes) {
    if (row < 0 || column < 0)
        return;
    Cell& c = cellRef(row, column);
    c.kind = CellKind::YesNo;
    c.yes = yes;
    c.text.clear();
}

void ReportTable::setDate(int row, int column, const QDate& date) {
    if (row < 0 || column < 0)
        return;
    Cell& c = cellRef(row, column);
    c.kind = CellKind::Date;
    c.date = date;
    c.text.clear();
}

void ReportTable::setColours(int row, int column, const QColor& background, const QColor& foreground) {
    if (row < 0 || column < 0)
        return;
    Cell& c = cellRef(row, column);
    c.background = background;
    c.foreground = foreground;
}

int ReportTable::columnWidth(int column) const {
    return column >= 0 && column < columns_ ? widths_.at(column) : kDefaultColumnWidth;
}

void ReportTable::setColumnWidth(int column, int width) {
    if (column < 0)
        return;
    if (column >= columns_)
        setColumnCount(column + 1);
    widths_[column] = std::max(width, 0);
}

int ReportTable::totalWidth() const {
    int sum = 0;
    for (int w : widths_)
        sum += w;
    return sum;
}

CellKind ReportTable::columnKind(int column) const {
    return column >= 0 && column < columns_ ? kinds_.at(column) : CellKind::Text;
}

void ReportTable::setColumnKind(int column, CellKind kind) {
    if (column < 0)
        return;
    if (column >= columns_)
        setColumnCount(column + 1);
    kinds_[column] = kind;
}

void ReportTable::merge(int row, int column, int rowSpan, int columnSpan) {
    if (row < 0 || column < 0 || rowSpan < 1 || columnSpan < 1 || (rowSpan == 1 && columnSpan == 1))
        return;
    ensureSize(row + rowSpan, column + columnSpan);
    // A new merge replaces the ones it overlaps.
    for (qsizetype i = merges_.size() - 1; i >= 0; --i) {
        const Merge& m = merges_.at(i);
        const bool apart = m.row + m.rowSpan <= row || row + rowSpan <= m.row || m.column + m.columnSpan <= column ||
                           column + columnSpan <= m.column;
        if (!apart)
            merges_.removeAt(i);
    }
    merges_.append(Merge{row, column, rowSpan, columnSpan});
    // The block shows its top-left cell only; what lay under it is gone, as on screen.
    for (int r = row; r < row + rowSpan; ++r)
        for (int c = column; c < column + columnSpan; ++c)
            if (r != row || c != column) {
                Cell blank;
                blank.kind = kinds_.at(c);
                rows_[r][c] = blank;
            }
}

const Merge* ReportTable::mergeAt(int row, int column) const {
    for (const Merge& m : merges_)
        if (m.contains(row, column))
            return &m;
    return nullptr;
}

void ReportTable::removeRow(int row) {
    if (row < 0 || row >= rowCount())
        return;
    for (qsizetype i = merges_.size() - 1; i >= 0; --i) {
        Merge& m = merges_[i];
        if (row < m.row) {
            --m.row;
        } else if (row < m.row + m.rowSpan) {
            // The anchor's text moves to the next row of the merge when its first row goes.
            if (row == m.row && m.rowSpan > 1)
                for (int c = m.column; c < m.column + m.columnSpan; ++c)
                    rows_[row + 1][c] = rows_[row][c];
            --m.rowSpan;
        }
        if (m.rowSpan < 1 || (m.rowSpan == 1 && m.columnSpan == 1))
            merges_.removeAt(i);
    }
    // A section runs up to the next one's first row; the one holding the row goes with it when
    // that was its only row, the ones below move up.
    QList<Section> kept;
    for (qsizetype i = 0; i < sections_.size(); ++i) {
        Section s = sections_.at(i);
        const int end = i + 1 < sections_.size() ? sections_.at(i + 1).firstRow : rowCount();
        if (row < s.firstRow)
            --s.firstRow;
        else if (row < end && end - s.firstRow == 1)
            continue;
        kept << s;
    }
    sections_ = kept;
    rows_.removeAt(row);
    if (row < keys_.size())
        keys_.removeAt(row);
    if (row < headerRows)
        --headerRows;
}

void ReportTable::startSection(const Section& section) {
    auto at = std::lower_bound(sections_.begin(), sections_.end(), section.firstRow,
                               [](const Section& s, int row) { return s.firstRow < row; });
    if (at != sections_.end() && at->firstRow == section.firstRow)
        *at = section;
    else
        sections_.insert(at, section);
}

const Section* ReportTable::sectionAt(int row) const {
    const Section* found = nullptr;
    for (const Section& s : sections_) {
        if (s.firstRow > row)
            break;
        found = &s;
    }
    return row < rowCount() ? found : nullptr;
}

void ReportTable::setRowKey(int row, const QString& key) {
    if (row < 0)
        return;
    if (keys_.size() <= row)
        keys_.resize(row + 1);
    keys_[row] = key;
}

void ReportTable::removeColumn(int column) {
    if (column < 0 || column >= columns_)
        return;
    for (qsizetype i = merges_.size() - 1; i >= 0; --i) {
        Merge& m = merges_[i];
        if (column < m.column) {
            --m.column;
        } else if (column < m.column + m.columnSpan) {
            // The anchor's text moves to the next column of the merge.
            if (column == m.column && m.columnSpan > 1)
                for (int r = m.row; r < m.row + m.rowSpan; ++r)
                    rows_[r][column + 1] = rows_[r][column];
            --m.columnSpan;
        }
        if (m.columnSpan < 1 || (m.rowSpan == 1 && m.columnSpan == 1))
            merges_.removeAt(i);
    }
    for (QList<Cell>& r : rows_)
        r.removeAt(column);
    widths_.removeAt(column);
    kinds_.removeAt(column);
    --columns_;
}

} // namespace report
