#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace store {

class DatabaseConnection;

// What both sides of a copy are compared by: a table's rows and a checksum over them (SHA-256 of
// every row in 编号 order where the table has one, else in table order; each row's values by
// column name, so the stored column order does not count, images byte for byte).
struct TableSummary {
    QString table;
    qint64 rows = 0;
    QByteArray checksum; // hex
    bool operator==(const TableSummary&) const = default;
};

// The tables of the database, without the engine's own; nullopt when they cannot be listed.
std::optional<QStringList> ListTables(DatabaseConnection& db);
// Every table's summary, in name order; nullopt (and *error) when a table cannot be read.
std::optional<QList<TableSummary>> SummariseTables(DatabaseConnection& db, QString* error);

struct CopyReport {
    QList<TableSummary> source; // in name order
    QList<TableSummary> target;
    qint64 rows = 0;         // rows copied
    qint64 bytes = 0;        // bytes of values copied (texts as UTF-8, images as stored)
    QStringList differences; // one line per table whose summaries differ; empty when equal
};

// Called after each batch of rows written to the target; returning false stops the copy.
using CopyProgress = std::function<bool(const QString& table, qint64 rowsSoFar)>;

// Copies every table of source into target, which holds the fixed tables exactly as a new
// database has them and nothing else; the caller holds a transaction on each side (a read that
// sees one state of source, a write of target that commits only when this returns true). The
// initial operator and insurance kinds of the new database give way to the source's. Vehicle
// tables are made from yangbiao as the program makes them; a table of another shape gets the
// column kinds its values read as. Rows are written many to one statement, with every 编号
// and image kept. Afterwards both sides are summarised; true only when every table of source
// has its equal in target and target has nothing more (report->differences says what differs).
bool CopyTables(DatabaseConnection& source, DatabaseConnection& target, CopyReport* report, QString* error,
                const CopyProgress& progress = {});

// True when the target holds no data: no vehicle table, no vehicle, no claim, and no other table
// than the fixed ones (whose operator and kinds rows a copy replaces). *why says what is there.
bool TargetIsEmpty(DatabaseConnection& target, QString* why);

// velmora-cli migrate: copies the file sourcePath into target, which must be empty: a server
// database without any table (the fixed tables are made in the copy's transaction), or a file
// path that does not exist yet (written through a temporary beside it, renamed only once whole
// and checked). Source and target are each read or written in one transaction; any failure or
// difference leaves the target as it was. Messages in Chinese.
bool MigrateFile(const QString& sourcePath, const QString& target, CopyReport* report, QString* error,
                 const CopyProgress& progress = {});

// Writes source's tables as a new database file at destination (vehicle tables images last),
// through a temporary beside it that takes the name only once whole, equal to source table by
// table and checked as a backup is; an earlier file there stays until then. The caller holds a
// transaction on source, so that the copy is one state of it. alsoRefused: files the
// destination may not be (see WriteOutputFile).
bool CopyToNewFile(DatabaseConnection& source, const QString& destination, const QStringList& alsoRefused,
                   CopyReport* report, QString* error, const CopyProgress& progress = {});

// A backup of the open database as one ordinary encrypted file: one read transaction of source
// (on a server a read-only snapshot, so other operators go on writing) copied by CopyToNewFile.
// An earlier file at destination is replaced only by a whole, checked, equal copy.
bool BackupSnapshot(DatabaseConnection& source, const QString& destination, QString* error,
                    CopyReport* report = nullptr);

// The backup of the database target names (see target.h): a file is copied page by page as
// BackupDatabase does, a server through BackupSnapshot on a connection of its own.
bool BackupTarget(const QString& target, const QString& destination, QString* error);

// Writes report as the lines velmora-cli prints: one per table with both sides' rows and checksums.
QString DescribeCopy(const CopyReport& report);

} // namespace store
