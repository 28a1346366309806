#pragma once

#include "store/failure.h"

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <map>
#include <memory>
#include <vector>

struct sqlite3;

namespace store {

namespace detail {
class Engine;
}

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

// Write: the transaction of a change (the file's write lock is taken at its start). Snapshot: a
// consistent read-only view of the whole database for as long as the transaction lasts, while
// others go on writing on the server (REPEATABLE READ READ ONLY) or wait on the file.
enum class TransactionMode { Write, Snapshot };

// ReadOnly opens the database without ever writing to it (a dry run, a read-only file or copy):
// every write statement fails with FailureKind::ReadOnly. Read-only and read-write connections of
// one database never share.
enum class OpenAccess { ReadWrite, ReadOnly };

// One connection to the encrypted database file or to a PostgreSQL server. Statements are
// written in the program's Jet dialect and translated before the engine sees them (see
// translate.h); the values read back have the same kinds and texts on both.
class DatabaseConnection {
public:
    DatabaseConnection();
    ~DatabaseConnection();
    DatabaseConnection(const DatabaseConnection&) = delete;
    DatabaseConnection& operator=(const DatabaseConnection&) = delete;

    // Opens target: a server when it is a PostgreSQL URI or key=value text (see target.h; the
    // password then comes from .pgpass or velmora.ini, never from the text), else the file at
    // that path with password as its key. A database without the program's tables is refused.
    bool Open(const QString& target, const QString& password, ConnectionSharing sharing = ConnectionSharing::Shared,
              OpenAccess access = OpenAccess::ReadWrite);
    bool IsServer() const { return server_ != nullptr; }
    // The file's path, or the server's host[:port]/database.
    QString Describe() const;
    // Every table of the database (fixed and vehicle tables), in no particular order.
    QStringList TableNames();

    // For the copy of a whole database into a server (store/migrate.h): opens a server database
    // that holds no table at all (any table there is refused), then creates the program's fixed
    // tables inside the transaction the caller has begun, so that a copy that fails leaves the
    // database empty again. After rows were written with their own 编号, the table's key counter
    // is moved past them, so that the next row added gets a number of its own (the file's counter
    // follows by itself).
    bool OpenEmptyServer(const QString& target, ConnectionSharing sharing = ConnectionSharing::Private);
    bool CreateFixedTables();
    bool ContinueKeyAfterRows(const QString& table);

    // Opens an existing file only; a missing file, a wrong password or a file without the
    // program's fixed tables (an empty or foreign database) fails here and leaves the file as it is.
    bool OpenDatabaseFile(const QString& path, const QString& password,
                          ConnectionSharing sharing = ConnectionSharing::Shared,
                          OpenAccess access = OpenAccess::ReadWrite);
    bool IsOpen() const { return file_ != nullptr || server_ != nullptr; }
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
    // The same columns of many tables, for the readers that walk every vehicle table (the alert
    // refresh, the company ledger). For each table in order, visit(i, handle) gets the record set
    // that OpenRecordSet("select [c1],[c2],… from " + tables[i]) would give, or 0 when that select
    // fails (LastError() then says why, for that table alone); the record set is closed when visit
    // returns. The log holds those selects. The file runs them one by one; the server reads many
    // tables in one round trip, the next ones arriving while visit reads one, and reads a table of
    // another shape, or one missing, on its own. visit may run statements of its own only for a
    // table that failed (handle 0): while it holds a record set the connection is still busy with
    // the next tables. The names must be plates already checked (domain::PlateRefusal).
    void ReadTables(const QStringList& tables, const QStringList& columns,
                    const std::function<void(qsizetype index, int handle)>& visit);
    // A table's columns in the order the file stores them (empty when there is no such table).
    // A look at the schema, not a statement: it is not in the statement log.
    QStringList StoredColumns(const QString& table);
    void CloseRecordSet(int handle);

    // All-or-nothing groups of statements. Nested calls use savepoints. While one connection's
    // transaction is open, another connection sharing its file may read (and sees the open
    // transaction's changes) but a write or a transaction of its own is refused at once rather
    // than mixed into it.
    bool BeginTransaction(TransactionMode mode = TransactionMode::Write);
    bool CommitTransaction();
    void RollbackTransaction();

    QString LastError() const { return lastError_; }
    // Why the last failed operation failed (None after a success).
    FailureKind LastFailure() const { return lastFailure_; }

    // Called when the connection to the server is lost (the text begins "与数据库服务器的连接中断："):
    // the windows show it, velmora-cli prints it. The transaction then open is gone whole; the
    // next action connects again.
    static void SetConnectionLostHandler(std::function<void(const QString&)> handler);
    static void ReportConnectionLost(const QString& message);

    // Every statement text handed to the connection, as the caller wrote it, in order.
    // Off by default; tests switch it on to compare what a command sent.
    static void SetStatementLogging(bool on);
    static QStringList StatementLog();
    static void ClearStatementLog();

    // How many times this thread's connections have sent a server statements and waited for its
    // answer (statements sent together count once). Tests and benchmarks read what a read costs.
    static qint64 ServerRoundTrips();

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
    int openRecordSet(const QString& select);
    int keepRecordSet(std::unique_ptr<RecordSet> rs);
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
    std::shared_ptr<detail::Engine> server_;
    QString path_;
    QString lastError_;
    FailureKind lastFailure_ = FailureKind::None;
    int nextHandle_ = 1;
    int busyTimeoutMs_ = 5000;
    std::map<int, std::unique_ptr<RecordSet>> recordSets_;
};

} // namespace store
