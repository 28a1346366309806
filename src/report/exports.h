#pragma once

#include "report/render.h"
#include "report/reporttable.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace report {

enum class ExportFormat { Xlsx, Csv, Pdf, Json };

// The format a file name asks for by its suffix (case-insensitive), nothing for another suffix.
std::optional<ExportFormat> FormatForPath(const QString& path);
// "xlsx", "csv", "pdf" or "json" as typed on the command line.
std::optional<ExportFormat> FormatForName(const QString& name);

// {"title", "print_title", "header_rows", "rows"}: rows holds the header rows, then the data
// rows; each cell as the grid shows it: a text, true/false for a yes/no cell, "" when empty.
QJsonObject ToJson(const ReportTable& table);
QByteArray JsonText(const ReportTable& table);
// The same rows as CSV, UTF-8 with a byte-order mark (so Excel on a Chinese Windows reads it),
// CRLF line ends, fields quoted where they hold a comma, quote or line break. A text cell that
// begins with =, +, -, @, a tab or a carriage return is written with a leading ' so that a
// spreadsheet shows it instead of running it as a formula (CsvCellText); date cells, and cells the
// report marks as numbers (Cell::number) whose text is a plain number (IsNumericText, so "-50" but
// not "+5"), are written as they are.
QByteArray CsvText(const ReportTable& table);
QString CsvCellText(const Cell& cell);

// True when a text is a number in the sense of a spreadsheet: an optional minus, at most ten
// integer digits without a leading zero, an optional fraction. Archive numbers like "003",
// phone numbers and identity numbers stay texts.
bool IsNumericText(const QString& text);

// Each writer replaces the file; on failure returns false with a reason in *error.
bool WriteJson(const ReportTable& table, const QString& path, QString* error = nullptr);
bool WriteCsv(const ReportTable& table, const QString& path, QString* error = nullptr);
// The printed pages (RenderReport on a QPdfWriter). Needs a QGuiApplication.
bool WritePdf(const ReportTable& table, const QString& path, QString* error = nullptr,
              const RenderOptions& options = {});
// One sheet: the print title (or the title) as a merged title row, then the header rows with
// their merges, the data rows; column widths kept, yes/no as 是/否, numeric texts as numbers,
// cell colours kept.
bool WriteXlsx(const ReportTable& table, const QString& path, QString* error = nullptr,
               const RenderOptions& options = {});
bool WriteReport(const ReportTable& table, const QString& path, ExportFormat format, QString* error = nullptr,
                 const RenderOptions& options = {});

} // namespace report
