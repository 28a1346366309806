#pragma once

// The store's inner interface to a database server. DatabaseConnection talks to the encrypted
// file itself and to a server through this interface only; nothing outside src/store includes it.

#include "store/database.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

namespace store::detail {

// The rows of one result with each column's declared type in the file's words (TEXT, INTEGER,
// DATE, YESNO, BLOB, NUMERIC, REAL), so that both engines' values are read as the same kinds.
struct ResultRows {
    QStringList columns;
    QList<QString> declaredTypes;
    std::vector<std::vector<QVariant>> rows;
};

// One table's share of a read of many tables: its rows, or why its select failed.
struct TableRows {
    bool ok = false;
    QString error;
    FailureKind failure = FailureKind::None;
    ResultRows rows;
};

// One open server session, possibly shared by several connections of a thread. The owner
// argument is the DatabaseConnection acting: a transaction belongs to the connection that began
// it, and another connection's write during it is refused, as on the shared file.
class Engine {
public:
    virtual ~Engine() = default;
    virtual bool execute(const void* owner, const QString& statement, const QList<QByteArray>* binaries,
                         QString& error) = 0;
    virtual bool query(const void* owner, const QString& select, ResultRows& rows, QString& error) = 0;
    // selects[i] is the Jet text "select <columns> from tables[i]". deliver(i, rows) is called for
    // each table in order with what query() of that select would give. The next tables' rows may
    // still be on their way meanwhile: deliver runs no statement on this session for a table that
    // was read (for one that failed it may).
    virtual void queryTables(const void* owner, const QStringList& tables, const QStringList& columns,
                             const QStringList& selects, const std::function<void(qsizetype, TableRows&)>& deliver) = 0;
    virtual bool begin(const void* owner, TransactionMode mode, QString& error) = 0;
    virtual bool commit(const void* owner, QString& error) = 0;
    virtual void rollback(const void* owner) = 0;
    // The owner closes: a transaction it left open is rolled back.
    virtual void release(const void* owner) = 0;
    virtual QStringList tableNames(QString& error) = 0;
    virtual QStringList storedColumns(const QString& table) = 0;
    virtual QString describe() const = 0;
    // The server's own SQL, untranslated, in the session (and the transaction open in it): for the
    // store's schema statements only, never for a value of the operator's.
    virtual bool executeRaw(const QString& sql, QString& error) = 0;
    // False (with the reason) when the server cannot be reached, after one try to connect again.
    virtual bool reachable(QString& error) = 0;
    // What the last failure was, for the caller's message.
    virtual FailureKind lastFailureKind() const = 0;
};

// What an open expects to find on the server.
enum class ServerContents { OurTables, Empty };

// Connects to the server that target (a URI or key=value text) names. OurTables refuses a
// database without the program's fixed tables; Empty refuses one that holds any table.
// A read-only session refuses every write on the server's side.
std::shared_ptr<Engine> OpenServerEngine(const QString& target, ConnectionSharing sharing, ServerContents contents,
                                         bool readOnly, QString& error);

// How many times this thread has sent the server statements and waited for its answer.
qint64 ServerRoundTrips();

// Runs statements (the server's own SQL) in one transaction on an empty database.
bool CreateServerSchema(const QString& target, const QStringList& statements, QString& error);

} // namespace store::detail
