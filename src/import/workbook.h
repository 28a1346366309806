#pragma once

// Reading the sheets of a spreadsheet file without widgets: .xlsx (zip and XML), .xls (the older
// binary format) and .csv (UTF-8 with or without byte-order mark, or GB18030). Every cell comes
// back as text, number or date; merged cells are filled with their top-left value.

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

#include <optional>

namespace fleetimport {

struct SheetCell {
    enum class Kind { Empty, Text, Number, Date };
    Kind kind = Kind::Empty;
    QString text; // Text: as stored; Number: the shortest form of the number; Date: YYYY-MM-DD
    double number = 0;
    QDate date;

    static SheetCell Text(const QString& text);
    static SheetCell Number(double value);
    static SheetCell Date(const QDate& date);
    bool isEmpty() const { return kind == Kind::Empty || (kind == Kind::Text && text.trimmed().isEmpty()); }
};

struct Sheet {
    QString name;
    QList<QList<SheetCell>> rows; // row 0 is the first row of the sheet (the header)
    // Rows the header takes: more than one when header cells are merged downwards.
    int headerRows = 1;
    // The sheet's row number (1-based, as the spreadsheet shows it) of rows[i].
    int sheetRow(int i) const { return i + 1; }
};

struct Workbook {
    QString format;   // "xlsx", "xls" or "csv"
    QString encoding; // csv only: "UTF-8", "UTF-8（带BOM）" or "GB18030"
    QList<Sheet> sheets;
};

struct ReadOutcome {
    std::optional<Workbook> book;
    QString refusal; // the Chinese reason when book is empty
};

// Reads the whole file; the format follows the suffix (.xlsx, .xls, .csv, .txt as CSV). A file
// that cannot be read to its end is refused whole, never read in part.
ReadOutcome ReadWorkbook(const QString& path);

ReadOutcome ReadXlsx(const QString& path);
ReadOutcome ReadXls(const QString& path);
// CSV from its bytes: the encoding is detected, fields may be quoted and hold newlines.
ReadOutcome ReadCsv(const QByteArray& bytes);

// The date of an Excel serial number in the 1900 system, which counts the 29th of February 1900
// that never was (serial 60), or in the 1904 system. nullopt for serial 60 of the 1900 system,
// for fractions-only or negative serials and for serials past 9999-12-31.
std::optional<QDate> ExcelSerialDate(double serial, bool date1904 = false);

// Header captions of a sheet: the header rows' texts of each column joined (a caption merged
// over two header rows counts once).
QList<QString> HeaderCaptions(const Sheet& sheet);

} // namespace fleetimport
