#pragma once

// Which columns of a spreadsheet become which fields of a new vehicle, and how a cell's text
// becomes the field's value. The fields are those of the record form that a new vehicle's first
// row stores; each is named by its column, and found by its caption on the form and by the
// headers offices commonly write for it.

#include "workbook.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace fleetimport {

enum class ValueKind {
    Text,          // stored as typed (trimmed)
    Date,          // one of the office date forms or an Excel serial
    YesNo,         // 是/否, √/×, 1/0, true/false, Y/N
    Status,        // 车辆状态: 正常/转出/注销 or 1/2/3, stored as the number
    Choice,        // one of the combo box's items
    InsuranceKind, // one of the kinds of 险种名称
};

struct ImportField {
    QString column;  // the vehicle table's column: the field's name in --map and the dialog
    QString caption; // the form's caption without its colon
    ValueKind kind = ValueKind::Text;
    QStringList items;     // Choice and Status: the accepted texts
    QList<int> itemValues; // Status: the number of each item
    QStringList names;     // normalised headers that match it (column, unique caption, variants)
};

// Every importable field, in the order of the form's pages.
const QList<ImportField>& ImportFields();
// The field named by a column name, a caption or a variant (as written after = in --map);
// nullptr when none or more than one.
const ImportField* FindImportField(const QString& name);

// A header as matched: blanks, colons and brackets' contents removed, full-width letters folded.
QString NormalisedHeader(const QString& header);

// The mapping: for each column of the file, the field's column name, or empty (not imported).
struct ColumnMap {
    QStringList headers;
    QStringList fields;
    bool hasPlate() const;
    // File columns mapped to one field twice: the first such field, or empty.
    QString duplicateField() const;
};

// Matches each header to a field; a field goes to the first header that names it.
ColumnMap MatchColumns(const QStringList& headers);

// Applies "列名=字段" options (字段 empty or "-" leaves the column out). A refusal names the
// option it cannot apply.
std::optional<QString> ApplyMapOption(ColumnMap& map, const QString& option);

// The value of a cell for a field, or the reason it cannot be one (what the row is refused for).
struct FieldValue {
    QVariant value;
    QString refusal;
};
FieldValue ConvertCell(const ImportField& field, const SheetCell& cell, const QStringList& insuranceKinds);

// Dates in the forms offices type: 2026-03-05, 2026/3/5, 2026.3.5, 2026年3月5日, an Excel serial
// (a number, or its digits as text); nullopt for anything else.
std::optional<QDate> ParseOfficeDate(const SheetCell& cell);

} // namespace fleetimport
