#pragma once

#include "report/exports.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

namespace store {
class DatabaseConnection;
}

// What the report commands (list, fees, claims, alerts) share: their options, the database of
// the data directory and where a report goes. One wording of each message for all of them.
namespace cli {

// Takes "--name value" out of args; *bad is set when the value is missing.
QString TakeValue(QStringList& args, const QString& name, bool* bad);

// Parses a YYYY-MM-DD option value; an invalid one is reported on err.
std::optional<QDate> ParseDate(const QString& text, QTextStream& err);

// The --from and --to dates of a period; the first invalid one is reported on err.
struct Period {
    QDate from, to;
};
std::optional<Period> ParsePeriod(const QString& fromText, const QString& toText, QTextStream& err);

// Points the program at dir as its data directory (nothing when dir is empty).
void UseDataDirectory(const QString& dir);

// Opens the data directory's database as the windows do; a missing file or a failed open is
// reported on err.
bool OpenDataDatabase(store::DatabaseConnection& db, QTextStream& err);

// The export format named by --format (json when empty); a binary format needs --output.
// A refusal is reported on err.
std::optional<report::ExportFormat> ReportFormat(const QString& name, const QString& output, QTextStream& err);

// Whether a CSV written to standard output starts with its byte-order mark (list's does; fees'
// and claims' print the text without it, as their readers expect).
enum class StdoutMark { Dropped, Kept };

// Writes a text report to out, or to the file output when one is given.
bool WriteText(const QByteArray& bytes, const QString& output, QTextStream& out, QTextStream& err,
               StdoutMark mark = StdoutMark::Dropped);

// Writes table in format: JSON and CSV to out unless output names a file, xlsx and pdf to it.
bool WriteTable(const report::ReportTable& table, report::ExportFormat format, const QString& output, QTextStream& out,
                QTextStream& err, const report::RenderOptions& options = {}, StdoutMark mark = StdoutMark::Dropped);

} // namespace cli
