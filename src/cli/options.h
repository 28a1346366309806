#pragma once

#include "report/exports.h"

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

namespace store {
class DatabaseConnection;
}

// The one option parser of velmora-cli, and what the commands share after it: the database of
// the data directory and where a report goes. One wording of each message for all commands.
//
// A command declares what it takes and parses with ParseCommandLine:
//
//     const CommandSpec kSpec{
//         .usage = u"velmora-cli notices --from YYYY-MM-DD [--format json|csv] [--output 文件]"_s,
//         .help = u"说明……\n  --from 日期   ……\n写入：……\n"_s,
//         .options = {{u"--from"_s, OptionKind::Date, true},
//                     {u"--format"_s, OptionKind::Choice, false, {u"json"_s, u"csv"_s}},
//                     {u"--output"_s, OptionKind::Path},
//                     {u"--dry-run"_s, OptionKind::Flag}},
//         .minArguments = 0, .maxArguments = 0, // the words that are not options, e.g. a plate
//     };
//     int NoticesCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
//         const ParsedCommand o = ParseCommandLine(kSpec, args, out, err);
//         if (!o.ok())
//             return o.exitStatus; // 0 after --help, 2 after a refusal (the usage was printed)
//         const QDate from = *o.date(u"--from"_s);
//         store::DatabaseConnection db;
//         if (!OpenDataDatabase(db, err))
//             return 1;
//         ...
//     }
//
// Every command also takes --data-dir DIR and --database URL (applied by ParseCommandLine: they set
// VELMORA_DATA_DIR and VELMORA_DATABASE, which the store reads) and --help. Refused with the
// command's usage and exit status 2: an option the command does not declare, an option without
// its value (the next word is another option or "--", or the value is "--"), an option given
// twice, a Date value that is not exactly YYYY-MM-DD (a real date), an empty Path or Date value, a
// Choice value not among its choices, a missing required option, fewer or more arguments than
// declared. "--name=value" is read as "--name value"; after "--" every word is an argument, even
// one that begins with "-".
namespace cli {

enum class OptionKind {
    Flag,   // no value: present or not
    Text,   // any value, empty included (a filter)
    Path,   // a value that is not empty (a file or folder)
    Date,   // exactly YYYY-MM-DD, a real date
    Choice, // one of the option's choices
};

struct OptionSpec {
    QString name{}; // "--today"
    OptionKind kind = OptionKind::Text;
    bool required = false;
    QStringList choices{}; // Choice only
};

struct CommandSpec {
    QString usage{}; // the usage line(s), without "用法："
    QString help{};  // the lines --help prints after the usage
    QList<OptionSpec> options{};
    int minArguments = 0;
    int maxArguments = 0;
};

class ParsedCommand {
public:
    bool ok() const { return exitStatus < 0; }
    int exitStatus = -1; // when !ok(): what the command returns at once

    QStringList arguments;
    bool has(const QString& option) const { return values_.contains(option); }
    QString value(const QString& option, const QString& fallback = {}) const { return values_.value(option, fallback); }
    // A Date option's value; nothing when it was not given.
    std::optional<QDate> date(const QString& option) const;

    void set(const QString& option, const QString& value) { values_.insert(option, value); }

private:
    QHash<QString, QString> values_;
};

// Parses args (the words after the command's name) against declared. On a refusal prints the reason and
// "用法：" + declared.usage on err; on --help prints the usage and help on out. On success applies the
// common options (--data-dir, --database) to the environment.
ParsedCommand ParseCommandLine(const CommandSpec& declared, const QStringList& args, QTextStream& out,
                               QTextStream& err);

// Exactly YYYY-MM-DD (ASCII digits) naming a real date; anything else (2026/01/01, trailing text, an
// empty text) is nothing.
std::optional<QDate> StrictDate(const QString& text);

// The database of the data directory (or of --database), opened as the windows do; a refused
// database address, a missing file or a failed open is reported on err. ReadOnly opens without any
// write (the file stays byte-identical).
enum class OpenFor { ReadWrite, ReadOnly };
bool OpenDataDatabase(store::DatabaseConnection& db, QTextStream& err, OpenFor mode = OpenFor::ReadWrite);

// The export format named by --format (json when empty); a binary format needs --output.
// A refusal is reported on err.
std::optional<report::ExportFormat> ReportFormat(const QString& name, const QString& output, QTextStream& err);
// The choices of --format for the report commands.
const QStringList& ReportFormatNames();

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
