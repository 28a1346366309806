#pragma once

#include "store/failure.h"

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <map>
#include <memory>
#include <vector>

struct sqlite3;

namespace store {

// The kind a column value is read back as, after the declared type of its column.
enum class FieldKind { Text, Number, DateTime, YesNo, Bytes };

struct FieldValue {
    FieldKind kind = FieldKind::Text;
    bool isNull = true;
    QVariant value;

    QString text() const;     // dates as YYYY-MM-DD, yes/no as true/false, null as empty
    double number() const;    // text converted where it holds a number, else 0
    QDate date() const;       // invalid when null or not a date
    bool yesNo() const;       // null reads as false
    QByteArray bytes() const; // null reads as empty
};

// How a DatabaseConnection reaches its file. Shared (the default): every connection of this thread
// to the same file with the same key uses one open, keyed SQLite connection, opened once and closed
// with the last of them, so that a window's connection costs neither key derivation nor a schema
// parse. Private: a connection of its own, as another process would have (tests and benchmarks use
// it to stand for one).
enum class ConnectionSharing { Shared, Private };

// ReadOnly opens the file without ever writing to it (a dry run, a read-only file or copy): every
// write statement fails with FailureKind::ReadOnly. Read-only and read-write connections of one
// file never share.
enum class OpenAccess { ReadWrite, ReadOnly };

// One connection to the encrypted database file. Statements are written in the program's
// Jet dialect and translated before SQLite sees them (see translate.h).
class DatabaseConnection {
public:
    DatabaseConnection();
    ~DatabaseConnection();
    DatabaseConnection(const DatabaseConnection&) = delete;
    DatabaseConnection& operator=(const DatabaseConnection&) = delete;

    // Opens an existing file only; a missing file, a wrong password or a file without the
    // program's fixed tables (an empty or foreign database) fails here and leaves the file as it is.
    bool OpenDatabaseFile(const QString& path, const QString& password,
                          ConnectionSharing sharing = ConnectionSharing::Shared,
                          OpenAccess access = OpenAccess::ReadWrite);
    bool IsOpen() const { return file_ != nullptr; }
    void CloseDatabase();

    // How long a statement waits for another connection's lock before it fails (5 s unless set).
    void SetBusyTimeout(int milliseconds);
    int BusyTimeout() const { return busyTimeoutMs_; }

    // One call runs one statement: text after the first statement other than blanks and one
    // ";" makes the call fail before anything runs.
    bool ExecuteStatement(const QString& statement);
    // Each "?" is bound in order to the next array; an empty array stores an empty value.
    bool ExecuteWithBinaries(const QString& statement, const QList<QByteArray>& binaries);

    // Returns a handle, 0 on failure. The first row (if any) is current.
    int OpenRecordSet(const QString& select);
    void MoveFirst(int handle);
    void MoveLast(int handle);
    void MoveNext(int handle);
    bool AtEnd(int handle) const;
    int RowCount(int handle) const;
    FieldValue ReadField(int handle, const QString& column) const;
    QStringList Columns(int handle) const;
    // A table's columns in the order the file stores them (empty when there is no such table).
    // A look at the schema, not a statement: it is not in the statement log.
    QStringList StoredColumns(const QString& table);
    void CloseRecordSet(int handle);

    // All-or-nothing groups of statements. Nested calls use savepoints. While one connection's
    // transaction is open, another connection sharing its file may read (and sees the open
    // transaction's changes) but a write or a transaction of its own is refused at once rather
    // than mixed into it.
    bool BeginTransaction();
    bool CommitTransaction();
    void RollbackTransaction();

    QString LastError() const { return lastError_; }
    // Why the last failed operation failed (None after a success).
    FailureKind LastFailure() const { return lastFailure_; }

    // Every statement text handed to the connection, as the caller wrote it, in order.
    // Off by default; tests switch it on to compare what a command sent.
    static void SetStatementLogging(bool on);
    static QStringList StatementLog();
    static void ClearStatementLog();

    // How many SQLite connections this thread has open to database files (shared ones counted
    // once). Tests use it to see that windows share one.
    static int OpenFileCount();

    // The open file connections share; opaque outside database.cpp.
    struct SharedFile;

private:
    struct RecordSet;
    // The open shared files of this thread by file identity and key; weak, so an entry does
    // not keep a file open.
    static std::map<QString, std::weak_ptr<SharedFile>>& sharedFiles();
    sqlite3* db() const;
    bool ready(); // open, busy timeout applied, cached column types still those of the file
    bool refuseForeignTransaction();
    bool run(const QString& statement, const QList<QByteArray>* binaries);
    bool execTranslated(const QString& sql, const QList<QByteArray>* binaries, int* bindIndex);
    QHash<QString, QString> columnTypes(const QString& table);
    void fail(const QString& message, FailureKind kind = FailureKind::Other);
    void failSqlite(sqlite3* handle); // the handle's message and kind
    void clearFailure() {
        lastError_.clear();
        lastFailure_ = FailureKind::None;
    }

    std::shared_ptr<SharedFile> file_;
    QString lastError_;
    FailureKind lastFailure_ = FailureKind::None;
    int nextHandle_ = 1;
    int busyTimeoutMs_ = 5000;
    std::map<int, std::unique_ptr<RecordSet>> recordSets_;
};

} // namespace store
