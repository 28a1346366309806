#pragma once

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

namespace store {

// What the translator needs to know of the schema: the declared types of a table's columns
// (keys in lower case; empty when the table does not exist) and a table's CREATE statement.
struct SchemaLookup {
    std::function<QHash<QString, QString>(const QString& table)> columnTypes;
    std::function<QString(const QString& table)> createSql;
};

struct Translation {
    QStringList statements; // SQLite statements to run in order, as one unit
    QString error;          // set when the statement cannot be translated; nothing is run then
    bool changesSchema = false;
    int parameters = 0; // "?" placeholders of the server's statements, numbered $1 .. $parameters
    bool ok() const { return error.isEmpty(); }
};

// The SQL the statement is written out in: the file's SQLite or the server's PostgreSQL.
enum class Dialect { SQLite, PostgreSQL };

// Rewrites one Jet-style statement for SQLite: bracketed and non-ASCII names quoted, #date#
// literals and date values of date columns made ISO text, bare true/false made 1/0,
// "delete * from", "select * into" and the primary-key "Alter table". Quoted text is kept as is,
// except a value assigned to a date column, which is stored as ISO text.
// For PostgreSQL names are double-quoted as written, #date# literals typed DATE, true/false kept
// (yes/no columns are boolean there), "?" numbered $1, $2, ..., LIKE made ILIKE with ESCAPE ''
// unless the statement gives one, and a ";" before the end refused. Both dialects turn
// "select top n" into LIMIT n and IIf(c, a, b) into CASE.
Translation TranslateStatement(const QString& statement, const SchemaLookup& schema, Dialect dialect = Dialect::SQLite);

// How a name written bare in a statement (a vehicle table's plate) reaches the server: plain ASCII
// as it stands (the server folds it to lower case, as it does the statement's other words), any
// other name quoted as written. For the statements the store writes itself.
QString ServerName(const QString& bareName);
// A bracketed name ([下次审车日期]) on the server: always quoted as written.
QString ServerQuotedName(const QString& name);

// Reads a date the way the program writes one: 2026年12月8日, 2026-12-8, 2026/12/8 or 12/8/2026,
// optionally followed by a time part. Invalid when it is not a real calendar date.
QDate ParseJetDate(const QString& text);

// Declared types the schema uses; the reader maps them to field kinds.
bool IsDateType(const QString& declaredType);
bool IsYesNoType(const QString& declaredType);

} // namespace store
