#pragma once

#include <QColor>
#include <QDate>
#include <QList>
#include <QString>

namespace report {

// What a cell holds. The grid shows a yes/no cell as a check box and a date cell as YYYY-MM-DD.
enum class CellKind { Text = 1, Date = 3, YesNo = 5 };

struct Cell {
    CellKind kind = CellKind::Text;
    QString text;          // Text cells
    bool yes = false;      // YesNo cells
    QDate date;            // Date cells; invalid shows empty
    QColor background;     // invalid: the default (white for data, grey for header rows)
    QColor foreground;     // invalid: black
    bool editable = false; // the grid lets the operator change it (the claims register)
    bool number = false;   // a Text cell the report holds as a number (an amount, a total), not as typed text

    static Cell Text(const QString& text);
    static Cell YesNo(bool yes);
    static Cell Date(const QDate& date);

    // The cell as text: dates as YYYY-MM-DD, yes/no as "true"/"false", empty cells as "".
    QString displayText() const;
    bool isEmpty() const;
};

// A merged block of cells; the text of its top-left cell is shown across the whole block.
struct Merge {
    int row = 0;
    int column = 0;
    int rowSpan = 1;
    int columnSpan = 1;
    bool contains(int r, int c) const {
        return r >= row && r < row + rowSpan && c >= column && c < column + columnSpan;
    }
};

// The title printed on top of every page, in its own font.
struct PrintTitle {
    QString text; // empty: the pages carry no title
    QString fontName;
    int pointSize = 20;
    bool bold = true;
};

// One line of a text block printed around the table (a letterhead, the lines above or below a
// section): its own size and weight, centred or from the left edge.
struct BlockLine {
    QString text;
    double pointSize = 11;
    bool bold = false;
    bool centred = false;
};

// A run of data rows that starts on a page of its own (one owner's notice): its heading is printed
// above the header rows of each of its pages, its closing once below its last row. A section runs
// from its first row to the next section's first row or the end of the table.
struct Section {
    int firstRow = 0;
    QList<BlockLine> heading;
    QList<BlockLine> closing;
};

inline constexpr int kDefaultColumnWidth = 100;

// A printable table without widgets: the lists, the fee statistics and the claims register all
// produce one; the grid shows it, the printing renders it and the exports write it. Rows
// 0 .. headerRows-1 are header rows (repeated on every printed page), the rest are data rows.
class ReportTable {
public:
    QString title; // window caption and title label, default export name
    PrintTitle printTitle;
    int headerRows = 1;
    // Printed at the top of every page, above the print title (the company's name and address).
    QList<BlockLine> pageHeader;

    int rowCount() const { return int(rows_.size()); }
    int columnCount() const { return columns_; }
    int dataRowCount() const { return rowCount() > headerRows ? rowCount() - headerRows : 0; }

    // Grows or shrinks every row to n cells; new columns take the default width and kind.
    void setColumnCount(int n);
    // Grows the table to at least rows x columns.
    void ensureSize(int rows, int columns);
    int appendRow(); // an empty row at the end; returns its index

    const Cell& cell(int row, int column) const; // an empty text cell outside the table
    Cell& cellRef(int row, int column);          // grows the table as needed
    void setCell(int row, int column, const Cell& cell);
    void setText(int row, int column, const QString& text);
    void setYesNo(int row, int column, bool yes);
    void setDate(int row, int column, const QDate& date);
    void setColours(int row, int column, const QColor& background, const QColor& foreground = {});
    const QList<Cell>& row(int r) const { return rows_.at(r); }

    int columnWidth(int column) const; // pixels at 96 dpi
    void setColumnWidth(int column, int width);
    int totalWidth() const;
    // The kind a column's new cells take (an entry row, a cell written without a kind).
    CellKind columnKind(int column) const;
    void setColumnKind(int column, CellKind kind);

    void merge(int row, int column, int rowSpan, int columnSpan);
    const QList<Merge>& merges() const { return merges_; }
    // The merge covering the cell, or nullptr.
    const Merge* mergeAt(int row, int column) const;

    // Starts a section at data row `row` (a forced page break before it). Sections are kept in row
    // order; a second call for the same row replaces that section's texts.
    void startSection(const Section& section);
    const QList<Section>& sections() const { return sections_; }
    // The section holding a data row, nullptr when none does (rows before the first section).
    const Section* sectionAt(int row) const;

    // A key the row carries without showing it (the plate a list row stands for); it goes with
    // the row when rows above it are removed. Empty when never set.
    QString rowKey(int row) const { return keys_.value(row); }
    void setRowKey(int row, const QString& key);

    // Removing a row or column shrinks or drops the merges over it; a header row counts down;
    // a section that loses its last row goes.
    void removeRow(int row);
    void removeColumn(int column);

private:
    QList<QList<Cell>> rows_;
    QList<QString> keys_; // as long as the last row given a key
    QList<Section> sections_;
    QList<int> widths_;
    QList<CellKind> kinds_;
    QList<Merge> merges_;
    int columns_ = 0;
};

} // namespace report
