#include "database.h"

#include "engine.h"
#include "outputfile.h"
#include "schema.h"
#include "target.h"
#include "translate.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#ifndef SQLITE_HAS_CODEC
#define SQLITE_HAS_CODEC 1
#endif
#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace store {

namespace {
bool g_logging = false;
QStringList g_log;

// Position just past the first statement of sql as SQLite splits statements: its first ";"
// outside texts, names, comments and a trigger's body, or the end of the text. SQLite's own
// completeness test decides, so the split is the one its parser makes.
qsizetype firstStatementEnd(const QByteArray& sql) {
    for (qsizetype i = sql.indexOf(';'); i >= 0; i = sql.indexOf(';', i + 1)) {
        const QByteArray head = sql.left(i + 1);
        if (sqlite3_complete(head.constData()))
            return i + 1;
    }
    return sql.size();
}

// True when sql holds exactly one statement: after it nothing but blanks (a comment counts as
// text, as it could hide a second statement from a reader of the log).
bool isSingleStatement(const QByteArray& sql) {
    const qsizetype end = firstStatementEnd(sql);
    for (qsizetype i = end; i < sql.size(); ++i) {
        const char c = sql[i];
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v')
            return false;
    }
    return true;
}

const QString kMoreThanOneStatement = u"一次只能执行一条语句"_s;
} // namespace

// columns, their declared types (empty for expressions) and the rows, from either engine.
struct DatabaseConnection::RecordSet : detail::ResultRows {
    QHash<QString, int> index; // lower-case column name -> position
    int current = 0;
};

// ---- FieldValue -------------------------------------------------------------------------

QString FieldValue::text() const {
    if (isNull)
        return {};
    switch (kind) {
    case FieldKind::DateTime:
        return value.toDate().isValid() ? value.toDate().toString(Qt::ISODate) : value.toString();
    case FieldKind::YesNo:
        return value.toBool() ? u"true"_s : u"false"_s;
    case FieldKind::Number: {
        const double d = value.toDouble();
        if (d == double(qint64(d)))
            return QString::number(qint64(d));
        return QString::number(d, 'g', 15);
    }
    default:
        return value.toString();
    }
}

double FieldValue::number() const {
    if (isNull)
        return 0;
    if (kind == FieldKind::YesNo)
        return value.toBool() ? -1 : 0;
    bool ok = false;
    const double d = kind == FieldKind::Number ? value.toDouble(&ok) : value.toString().trimmed().toDouble(&ok);
    return ok ? d : 0;
}

QDate FieldValue::date() const {
    if (isNull)
        return {};
    if (value.typeId() == QMetaType::QDate)
        return value.toDate();
    return ParseJetDate(value.toString());
}

bool FieldValue::yesNo() const {
    if (isNull)
        return false;
    if (kind == FieldKind::Text) {
        const QString t = value.toString().trimmed().toLower();
        return t == QLatin1String("true") || t == QLatin1String("1") || t == QLatin1String("-1");
    }
    return value.toDouble() != 0;
}

QByteArray FieldValue::bytes() const {
    if (isNull)
        return {};
    return value.toByteArray();
}

// ---- the shared file ---------------------------------------------------------------------

// One open, keyed SQLite connection and what is known of its schema. Every DatabaseConnection of
// a thread opened on the same file with the same key holds the same one; it is closed with the last.
struct DatabaseConnection::SharedFile {
    sqlite3* db = nullptr;
    QString registryKey; // empty for a private connection
    QString path;        // as opened; no output may replace it while open
    quint64 device = 0, inode = 0;
    int appliedBusyTimeout = -1;
    // Column types per lower-case table name, valid for the schema version they were read at.
    QHash<QString, QHash<QString, QString>> typeCache;
    int cachedSchemaVersion = -1;
    sqlite3_stmt* schemaVersion = nullptr;
    // The connection whose transaction is open on db, and how deeply it is nested.
    const DatabaseConnection* transactionOwner = nullptr;
    int transactionDepth = 0;

    ~SharedFile();
    void forgetSchema() {
        typeCache.clear();
        cachedSchemaVersion = -1;
    }
};

namespace {
thread_local int t_openFiles = 0;
// Set when the thread's registry is destroyed: a connection still open then (one held by a
// static object) closes without looking it up.
thread_local bool t_registryGone = false;

bool fileIdentity(const QString& path, quint64* device, quint64* inode) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    *device = quint64(st.st_dev);
    *inode = quint64(st.st_ino);
    return true;
}
} // namespace

DatabaseConnection::SharedFile::~SharedFile() {
    sqlite3_finalize(schemaVersion);
    if (db) {
        if (transactionDepth > 0)
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close_v2(db);
        --t_openFiles;
        NoteDatabaseFile(path, false);
    }
    if (!registryKey.isEmpty() && !t_registryGone) {
        auto it = sharedFiles().find(registryKey);
        if (it != sharedFiles().end() && it->second.expired())
            sharedFiles().erase(it);
    }
}

namespace {
struct Registry {
    std::map<QString, std::weak_ptr<DatabaseConnection::SharedFile>> files;
    ~Registry() { t_registryGone = true; }
};
} // namespace

std::map<QString, std::weak_ptr<DatabaseConnection::SharedFile>>& DatabaseConnection::sharedFiles() {
    static thread_local Registry registry;
    return registry.files;
}

qint64 DatabaseConnection::ServerRoundTrips() {
    return detail::ServerRoundTrips();
}

int DatabaseConnection::OpenFileCount() {
    return t_openFiles;
}

// ---- connection -------------------------------------------------------------------------

DatabaseConnection::DatabaseConnection() = default;

DatabaseConnection::~DatabaseConnection() {
    CloseDatabase();
}

void DatabaseConnection::fail(const QString& message, FailureKind kind) {
    lastError_ = message;
    lastFailure_ = kind;
}

void DatabaseConnection::failSqlite(sqlite3* handle) {
    fail(QString::fromUtf8(sqlite3_errmsg(handle)), FailureKindOfSqliteCode(sqlite3_extended_errcode(handle)));
}

sqlite3* DatabaseConnection::db() const {
    return file_ ? file_->db : nullptr;
}

bool DatabaseConnection::OpenDatabaseFile(const QString& path, const QString& password, ConnectionSharing sharing,
                                          OpenAccess access) {
    const bool readOnly = access == OpenAccess::ReadOnly;
    CloseDatabase();
    path_ = QFileInfo(path).absoluteFilePath();
    // Never create: a missing file must fail rather than leave an empty database behind.
    const QFileInfo info(path);
    if (!info.isFile()) {
        fail(u"file not found: %1"_s.arg(path));
        return false;
    }
    quint64 device = 0, inode = 0;
    const bool identified = fileIdentity(path, &device, &inode);
    QString key;
    if (sharing == ConnectionSharing::Shared && identified) {
        // The file's identity, not its name: two spellings of one file share, and a file
        // replaced under the same name (a restore, a fresh init) gets a connection of its own.
        key = u"%1:%2%3\n"_s.arg(device).arg(inode).arg(readOnly ? u":ro"_s : QString()) + password;
        auto it = sharedFiles().find(key);
        if (it != sharedFiles().end()) {
            if (auto shared = it->second.lock()) {
                file_ = std::move(shared);
                clearFailure();
                return true;
            }
        }
    }
    sqlite3* db = nullptr;
    const QByteArray file = path.toUtf8();
    if (sqlite3_open_v2(file.constData(), &db, readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        if (db)
            failSqlite(db);
        else
            fail(u"cannot open"_s);
        sqlite3_close(db);
        return false;
    }
    const QByteArray keyBytes = password.toUtf8();
    sqlite3_key(db, keyBytes.constData(), int(keyBytes.size()));
    sqlite3_busy_timeout(db, busyTimeoutMs_);
    // A wrong key shows only when the first page is read: read it now, not at the first query.
    // An empty file reads as a database without tables, so the fixed tables are looked for too.
    QStringList tables;
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='table'", -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
            tables << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))).toLower();
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        failSqlite(db);
        sqlite3_close(db);
        return false;
    }
    QStringList missing;
    for (const QString& table : FixedTableNames())
        if (!tables.contains(table.toLower()))
            missing << table;
    if (!missing.isEmpty()) {
        fail(u"不是本程序的数据库文件（缺少表：%1）：%2"_s.arg(missing.join(u"、"_s), path));
        sqlite3_close(db);
        return false;
    }
    // A rollback journal, never WAL: the database stays one file, and a backup is one file too.
    if (!readOnly)
        sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    auto shared = std::make_shared<SharedFile>();
    shared->db = db;
    ++t_openFiles;
    shared->path = path;
    NoteDatabaseFile(path, true);
    shared->device = device;
    shared->inode = inode;
    shared->appliedBusyTimeout = busyTimeoutMs_;
    sqlite3_prepare_v2(db, "PRAGMA schema_version", -1, &shared->schemaVersion, nullptr);
    if (!key.isEmpty()) {
        shared->registryKey = key;
        sharedFiles()[key] = shared;
    }
    file_ = std::move(shared);
    clearFailure();
    return true;
}

void DatabaseConnection::SetBusyTimeout(int milliseconds) {
    busyTimeoutMs_ = milliseconds;
}

void DatabaseConnection::CloseDatabase() {
    recordSets_.clear();
    if (server_) {
        server_->release(this);
        server_.reset();
    }
    if (!file_)
        return;
    // An open transaction of this connection ends with it, as closing a connection of its own did.
    if (file_->transactionOwner == this) {
        sqlite3_exec(file_->db, "ROLLBACK", nullptr, nullptr, nullptr);
        file_->transactionOwner = nullptr;
        file_->transactionDepth = 0;
        file_->forgetSchema();
    }
    file_.reset();
}

bool DatabaseConnection::ready() {
    if (!file_) {
        fail(u"database not open"_s);
        return false;
    }
    SharedFile& f = *file_;
    // Each connection keeps its own patience with other processes' locks.
    if (f.appliedBusyTimeout != busyTimeoutMs_) {
        sqlite3_busy_timeout(f.db, busyTimeoutMs_);
        f.appliedBusyTimeout = busyTimeoutMs_;
    }
    // Another process may have added or dropped a table since the types were cached.
    if (f.schemaVersion) {
        int version = -1;
        if (sqlite3_step(f.schemaVersion) == SQLITE_ROW)
            version = sqlite3_column_int(f.schemaVersion, 0);
        sqlite3_reset(f.schemaVersion);
        if (version != f.cachedSchemaVersion) {
            f.typeCache.clear();
            f.cachedSchemaVersion = version;
        }
    }
    return true;
}

bool DatabaseConnection::refuseForeignTransaction() {
    const DatabaseConnection* owner = file_ ? file_->transactionOwner : nullptr;
    if (owner && owner != this) {
        fail(u"另一窗口的数据库事务尚未结束，请稍后再试。"_s, FailureKind::Busy);
        return true;
    }
    return false;
}

QStringList DatabaseConnection::StoredColumns(const QString& table) {
    QStringList names;
    if (server_)
        return server_->storedColumns(table);
    if (!file_)
        return names;
    sqlite3_stmt* stmt = nullptr;
    QString escaped = table;
    escaped.replace(QLatin1Char('"'), QLatin1String("\"\""));
    const QByteArray sql = u"PRAGMA table_info(\"%1\")"_s.arg(escaped).toUtf8();
    if (sqlite3_prepare_v2(db(), sql.constData(), -1, &stmt, nullptr) == SQLITE_OK)
        while (sqlite3_step(stmt) == SQLITE_ROW)
            names << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
    sqlite3_finalize(stmt);
    return names;
}

QHash<QString, QString> DatabaseConnection::columnTypes(const QString& table) {
    const QString key = table.toLower();
    QHash<QString, QString> types;
    if (!file_)
        return types;
    auto it = file_->typeCache.constFind(key);
    if (it != file_->typeCache.constEnd())
        return *it;
    sqlite3_stmt* stmt = nullptr;
    QString escaped = table;
    escaped.replace(QLatin1Char('"'), QLatin1String("\"\""));
    const QByteArray sql = u"PRAGMA table_info(\"%1\")"_s.arg(escaped).toUtf8();
    if (sqlite3_prepare_v2(db(), sql.constData(), -1, &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const QString name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
            QString type = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 2)));
            if (sqlite3_column_int(stmt, 5) > 0)
                type += QLatin1String(" PRIMARY KEY");
            types.insert(name.toLower(), type);
        }
    }
    sqlite3_finalize(stmt);
    if (!types.isEmpty())
        file_->typeCache.insert(key, types);
    return types;
}

bool DatabaseConnection::execTranslated(const QString& sql, const QList<QByteArray>* binaries, int* bindIndex) {
    const QByteArray utf8 = sql.toUtf8();
    {
        sqlite3_stmt* stmt = nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(db(), utf8.constData(), int(utf8.size()), &stmt, &tail) != SQLITE_OK) {
            failSqlite(db());
            return false;
        }
        if (!stmt) {
            fail(u"empty statement"_s);
            return false;
        }
        if (!isSingleStatement(QByteArray(tail))) {
            sqlite3_finalize(stmt);
            fail(kMoreThanOneStatement);
            return false;
        }
        const int params = sqlite3_bind_parameter_count(stmt);
        for (int p = 1; p <= params; ++p) {
            if (!binaries || *bindIndex >= binaries->size()) {
                sqlite3_bind_zeroblob(stmt, p, 0);
            } else {
                const QByteArray& b = binaries->at((*bindIndex)++);
                sqlite3_bind_blob(stmt, p, b.constData(), int(b.size()), SQLITE_TRANSIENT);
            }
        }
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) {
            failSqlite(db());
            sqlite3_finalize(stmt);
            return false;
        }
        sqlite3_finalize(stmt);
    }
    return true;
}

bool DatabaseConnection::run(const QString& statement, const QList<QByteArray>* binaries) {
    if (g_logging)
        g_log << statement;
    if (server_) {
        QString error;
        const bool ok = server_->execute(this, statement, binaries, error);
        ok ? clearFailure() : fail(error, server_->lastFailureKind());
        return ok;
    }
    if (!ready() || refuseForeignTransaction())
        return false;
    SchemaLookup schema{[this](const QString& t) { return columnTypes(t); },
                        [this](const QString& t) {
                            QString sql;
                            sqlite3_stmt* stmt = nullptr;
                            if (sqlite3_prepare_v2(db(), "SELECT sql FROM sqlite_master WHERE type='table' AND name=?1",
                                                   -1, &stmt, nullptr) == SQLITE_OK) {
                                const QByteArray name = t.toUtf8();
                                sqlite3_bind_text(stmt, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
                                if (sqlite3_step(stmt) == SQLITE_ROW)
                                    sql =
                                        QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
                            }
                            sqlite3_finalize(stmt);
                            return sql;
                        }};
    const Translation tr = TranslateStatement(statement, schema);
    if (!tr.ok()) {
        fail(tr.error);
        return false;
    }
    // Checked on what SQLite will read, before the first of them runs.
    for (const QString& sql : tr.statements) {
        if (!isSingleStatement(sql.toUtf8())) {
            fail(kMoreThanOneStatement);
            return false;
        }
    }
    if (tr.changesSchema)
        file_->forgetSchema();
    // Several SQLite statements stand for one program statement: all of them or none.
    const bool group = tr.statements.size() > 1;
    if (group && sqlite3_exec(db(), "SAVEPOINT jet_statement", nullptr, nullptr, nullptr) != SQLITE_OK) {
        failSqlite(db());
        return false;
    }
    int bindIndex = 0;
    bool ok = true;
    for (const QString& sql : tr.statements) {
        if (!execTranslated(sql, binaries, &bindIndex)) {
            ok = false;
            break;
        }
    }
    if (group) {
        if (!ok)
            sqlite3_exec(db(), "ROLLBACK TO jet_statement", nullptr, nullptr, nullptr);
        sqlite3_exec(db(), "RELEASE jet_statement", nullptr, nullptr, nullptr);
        file_->forgetSchema();
    }
    if (ok)
        clearFailure();
    return ok;
}

bool DatabaseConnection::ExecuteStatement(const QString& statement) {
    return run(statement, nullptr);
}

bool DatabaseConnection::ExecuteWithBinaries(const QString& statement, const QList<QByteArray>& binaries) {
    return run(statement, &binaries);
}

int DatabaseConnection::OpenRecordSet(const QString& select) {
    if (g_logging)
        g_log << select;
    return openRecordSet(select);
}

int DatabaseConnection::keepRecordSet(std::unique_ptr<RecordSet> rs) {
    for (int c = 0; c < rs->columns.size(); ++c)
        if (!rs->index.contains(rs->columns[c].toLower()))
            rs->index.insert(rs->columns[c].toLower(), c);
    const int handle = nextHandle_++;
    recordSets_[handle] = std::move(rs);
    clearFailure();
    return handle;
}

void DatabaseConnection::ReadTables(const QStringList& tables, const QStringList& columns,
                                    const std::function<void(qsizetype index, int handle)>& visit) {
    QString head = u"select "_s;
    for (const QString& c : columns)
        head += (&c == &columns.first() ? u"["_s : u",["_s) + c + u"]"_s;
    head += u" from "_s;
    QStringList selects;
    for (const QString& table : tables)
        selects << head + table;
    if (g_logging)
        g_log << selects;
    if (!server_) {
        // SQLite reads a table in microseconds, and a compound select of many tables would pass
        // its limit: one select each.
        for (qsizetype i = 0; i < selects.size(); ++i) {
            const int handle = openRecordSet(selects[i]);
            visit(i, handle);
            CloseRecordSet(handle);
        }
        return;
    }
    server_->queryTables(this, tables, columns, selects, [&](qsizetype i, detail::TableRows& t) {
        int handle = 0;
        if (t.ok) {
            auto rs = std::make_unique<RecordSet>();
            static_cast<detail::ResultRows&>(*rs) = std::move(t.rows);
            handle = keepRecordSet(std::move(rs));
        } else {
            fail(t.error, t.failure);
        }
        visit(i, handle);
        CloseRecordSet(handle);
    });
}

int DatabaseConnection::openRecordSet(const QString& select) {
    if (server_) {
        auto rs = std::make_unique<RecordSet>();
        QString error;
        if (!server_->query(this, select, *rs, error)) {
            fail(error, server_->lastFailureKind());
            return 0;
        }
        return keepRecordSet(std::move(rs));
    }
    if (!ready())
        return 0;
    const Translation tr = TranslateStatement(select, {[this](const QString& t) { return columnTypes(t); }, {}});
    if (!tr.ok() || tr.statements.size() != 1) {
        fail(tr.ok() ? u"not a query"_s : tr.error);
        return 0;
    }
    const QByteArray sql = tr.statements.first().toUtf8();
    if (!isSingleStatement(sql)) {
        fail(kMoreThanOneStatement);
        return 0;
    }
    sqlite3_stmt* stmt = nullptr;
    const int prepared = sqlite3_prepare_v2(db(), sql.constData(), int(sql.size()), &stmt, nullptr);
    if (prepared != SQLITE_OK || !stmt) {
        if (prepared != SQLITE_OK)
            failSqlite(db());
        else
            fail(u"empty statement"_s);
        sqlite3_finalize(stmt);
        return 0;
    }
    auto rs = std::make_unique<RecordSet>();
    const int ncol = sqlite3_column_count(stmt);
    for (int c = 0; c < ncol; ++c) {
        const QString name = QString::fromUtf8(sqlite3_column_name(stmt, c));
        rs->columns << name;
        if (!rs->index.contains(name.toLower()))
            rs->index.insert(name.toLower(), c);
        const char* decl = sqlite3_column_decltype(stmt, c);
        rs->declaredTypes << (decl ? QString::fromUtf8(decl) : QString());
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        std::vector<QVariant> row(ncol);
        for (int c = 0; c < ncol; ++c) {
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER:
                row[c] = QVariant(qint64(sqlite3_column_int64(stmt, c)));
                break;
            case SQLITE_FLOAT:
                row[c] = QVariant(sqlite3_column_double(stmt, c));
                break;
            case SQLITE_TEXT:
                row[c] = QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)),
                                                    sqlite3_column_bytes(stmt, c)));
                break;
            case SQLITE_BLOB: {
                const void* data = sqlite3_column_blob(stmt, c);
                row[c] = QVariant(QByteArray(static_cast<const char*>(data), sqlite3_column_bytes(stmt, c)));
                break;
            }
            default:
                break; // null stays an invalid QVariant
            }
        }
        rs->rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        failSqlite(db());
        sqlite3_finalize(stmt);
        return 0;
    }
    sqlite3_finalize(stmt);
    const int handle = nextHandle_++;
    recordSets_[handle] = std::move(rs);
    clearFailure();
    return handle;
}

void DatabaseConnection::MoveFirst(int handle) {
    if (auto it = recordSets_.find(handle); it != recordSets_.end())
        it->second->current = 0;
}

void DatabaseConnection::MoveLast(int handle) {
    if (auto it = recordSets_.find(handle); it != recordSets_.end())
        it->second->current = it->second->rows.empty() ? 0 : int(it->second->rows.size()) - 1;
}

void DatabaseConnection::MoveNext(int handle) {
    if (auto it = recordSets_.find(handle);
        it != recordSets_.end() && it->second->current < int(it->second->rows.size()))
        ++it->second->current;
}

bool DatabaseConnection::AtEnd(int handle) const {
    auto it = recordSets_.find(handle);
    return it == recordSets_.end() || it->second->current >= int(it->second->rows.size());
}

int DatabaseConnection::RowCount(int handle) const {
    auto it = recordSets_.find(handle);
    return it == recordSets_.end() ? 0 : int(it->second->rows.size());
}

QStringList DatabaseConnection::Columns(int handle) const {
    auto it = recordSets_.find(handle);
    return it == recordSets_.end() ? QStringList{} : it->second->columns;
}

namespace {
// The kind a value reads as: after its column's declared type, or for an expression (no declared
// type) after the value itself.
FieldKind kindOf(const QString& decl, const QVariant& v) {
    if (IsDateType(decl))
        return FieldKind::DateTime;
    if (IsYesNoType(decl))
        return FieldKind::YesNo;
    const QString upper = decl.toUpper();
    if (upper.contains(QLatin1String("BLOB")) || upper.contains(QLatin1String("BINARY")))
        return FieldKind::Bytes;
    if (upper.contains(QLatin1String("INT")) || upper.contains(QLatin1String("NUM")) ||
        upper.contains(QLatin1String("REAL")) || upper.contains(QLatin1String("DOUB")))
        return FieldKind::Number;
    if (!decl.isEmpty())
        return FieldKind::Text;
    if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Double)
        return FieldKind::Number;
    if (v.typeId() == QMetaType::QByteArray)
        return FieldKind::Bytes;
    return FieldKind::Text;
}
} // namespace

FieldValue DatabaseConnection::ReadField(int handle, const QString& column) const {
    FieldValue f;
    auto it = recordSets_.find(handle);
    if (it == recordSets_.end())
        return f;
    const RecordSet& rs = *it->second;
    const int c = rs.index.value(column.toLower(), -1);
    if (c < 0 || rs.current < 0 || rs.current >= int(rs.rows.size()))
        return f;
    const QVariant& v = rs.rows[rs.current][c];
    const QString& decl = rs.declaredTypes[c];
    f.kind = kindOf(decl, v);
    f.isNull = !v.isValid();
    if (f.isNull) {
        // Text and bytes read as empty; the other kinds keep an invalid value.
        if (f.kind == FieldKind::Text)
            f.value = QString();
        else if (f.kind == FieldKind::Bytes)
            f.value = QByteArray();
        return f;
    }
    if (f.kind == FieldKind::DateTime) {
        const QDate d = QDate::fromString(v.toString().left(10), Qt::ISODate);
        f.value = d.isValid() ? QVariant(d) : v;
    } else if (f.kind == FieldKind::YesNo) {
        f.value = v.toDouble() != 0;
    } else {
        f.value = v;
    }
    return f;
}

void DatabaseConnection::CloseRecordSet(int handle) {
    recordSets_.erase(handle);
}

bool DatabaseConnection::BeginTransaction(TransactionMode mode) {
    if (server_) {
        QString error;
        const bool ok = server_->begin(this, mode, error);
        if (!ok)
            fail(error, server_->lastFailureKind());
        return ok;
    }
    if (!ready() || refuseForeignTransaction())
        return false;
    SharedFile& f = *file_;
    // A snapshot reads under a shared lock taken by its first read, here and now, and held to its
    // end: writers of other processes wait for it, so every read sees the same state.
    const QByteArray sql = f.transactionDepth > 0 ? QByteArray("SAVEPOINT t") + QByteArray::number(f.transactionDepth)
                           : mode == TransactionMode::Snapshot
                               ? QByteArray("BEGIN DEFERRED; SELECT count(*) FROM sqlite_master")
                               : QByteArray("BEGIN IMMEDIATE");
    if (sqlite3_exec(f.db, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        failSqlite(f.db);
        return false;
    }
    f.transactionOwner = this;
    ++f.transactionDepth;
    return true;
}

bool DatabaseConnection::CommitTransaction() {
    if (server_) {
        QString error;
        const bool ok = server_->commit(this, error);
        if (!ok && !error.isEmpty())
            fail(error, server_->lastFailureKind());
        return ok;
    }
    if (!file_ || file_->transactionOwner != this || file_->transactionDepth == 0)
        return false;
    SharedFile& f = *file_;
    --f.transactionDepth;
    if (f.transactionDepth == 0)
        f.transactionOwner = nullptr;
    const QByteArray sql = f.transactionDepth == 0 ? QByteArray("COMMIT")
                                                   : QByteArray("RELEASE t") + QByteArray::number(f.transactionDepth);
    if (sqlite3_exec(f.db, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        failSqlite(f.db);
        if (f.transactionDepth == 0)
            sqlite3_exec(f.db, "ROLLBACK", nullptr, nullptr, nullptr);
        f.forgetSchema();
        return false;
    }
    return true;
}

void DatabaseConnection::RollbackTransaction() {
    if (server_) {
        server_->rollback(this);
        return;
    }
    if (!file_ || file_->transactionOwner != this || file_->transactionDepth == 0)
        return;
    SharedFile& f = *file_;
    --f.transactionDepth;
    if (f.transactionDepth == 0) {
        f.transactionOwner = nullptr;
        sqlite3_exec(f.db, "ROLLBACK", nullptr, nullptr, nullptr);
    } else {
        const QByteArray n = QByteArray::number(f.transactionDepth);
        sqlite3_exec(f.db, ("ROLLBACK TO t" + n).constData(), nullptr, nullptr, nullptr);
        sqlite3_exec(f.db, ("RELEASE t" + n).constData(), nullptr, nullptr, nullptr);
    }
    // A rolled-back create or drop leaves cached column types stale.
    f.forgetSchema();
}

bool DatabaseConnection::Open(const QString& target, const QString& password, ConnectionSharing sharing,
                              OpenAccess access) {
    if (!IsServerTarget(target)) {
        return OpenDatabaseFile(target, password, sharing, access);
    }
    CloseDatabase();
    QString error;
    server_ = detail::OpenServerEngine(target, sharing, detail::ServerContents::OurTables,
                                       access == OpenAccess::ReadOnly, error);
    if (!server_) {
        fail(error);
        return false;
    }
    clearFailure();
    return true;
}

bool DatabaseConnection::OpenEmptyServer(const QString& target, ConnectionSharing sharing) {
    CloseDatabase();
    QString error;
    server_ = detail::OpenServerEngine(target, sharing, detail::ServerContents::Empty, false, error);
    if (!server_) {
        fail(error);
        return false;
    }
    lastError_.clear();
    return true;
}

bool DatabaseConnection::CreateFixedTables() {
    if (!server_) {
        fail(u"只能在服务器的空数据库中建立数据表"_s);
        return false;
    }
    for (const QString& sql : SchemaStatements(TableLayout::ImagesLast, Dialect::PostgreSQL)) {
        QString error;
        if (!server_->executeRaw(sql, error)) {
            fail(u"创建数据库失败：%1"_s.arg(error));
            return false;
        }
    }
    return true;
}

bool DatabaseConnection::ContinueKeyAfterRows(const QString& table) {
    if (!server_)
        return file_ != nullptr;
    // The names go in as literals and as one quoted identifier; the copy refuses a table name
    // with a quote or bracket before it gets here.
    QString name = table;
    name.replace(QLatin1Char('"'), u"\"\""_s);
    QString literal = u"\""_s + name + u"\""_s;
    literal.replace(QLatin1Char('\''), u"''"_s);
    // The cast lets the text pass the parser for a table whose 编号 is no key of its own (then
    // there is no sequence and no row, and nothing is evaluated).
    const QString sql =
        u"SELECT setval(s, coalesce((SELECT max(\"编号\")::text::bigint FROM \"%1\"), 0) + 1, false) FROM "
        u"pg_get_serial_sequence('%2', '编号') AS s WHERE s IS NOT NULL"_s.arg(name, literal);
    QString error;
    if (!server_->executeRaw(sql, error)) {
        fail(error);
        return false;
    }
    return true;
}

QString DatabaseConnection::Describe() const {
    if (server_)
        return server_->describe();
    return file_ ? path_ : QString();
}

QStringList DatabaseConnection::TableNames() {
    QStringList names;
    if (server_) {
        QString error;
        names = server_->tableNames(error);
        if (!error.isEmpty())
            fail(error, server_->lastFailureKind());
        return names;
    }
    if (!ready())
        return names;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(
            db(), "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'", -1,
            &stmt, nullptr) == SQLITE_OK)
        while (sqlite3_step(stmt) == SQLITE_ROW)
            names << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    return names;
}

namespace {
std::function<void(const QString&)>& connectionLostHandler() {
    static std::function<void(const QString&)> handler;
    return handler;
}
} // namespace

void DatabaseConnection::SetConnectionLostHandler(std::function<void(const QString&)> handler) {
    connectionLostHandler() = std::move(handler);
}

void DatabaseConnection::ReportConnectionLost(const QString& message) {
    if (connectionLostHandler())
        connectionLostHandler()(message);
}

void DatabaseConnection::SetStatementLogging(bool on) {
    g_logging = on;
}
QStringList DatabaseConnection::StatementLog() {
    return g_log;
}
void DatabaseConnection::ClearStatementLog() {
    g_log.clear();
}

} // namespace store
