#include "engine.h"

#include "failure.h"

#include "schema.h"
#include "target.h"
#include "translate.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QTimeZone>
#include <QtEndian>

#include <libpq-fe.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>

using namespace Qt::StringLiterals;

namespace store::detail {

namespace {

// How long a connection attempt may take, and a statement run, before the window gets its answer.
constexpr const char* kConnectTimeoutSeconds = "5";
constexpr const char* kSessionSettings = "SET statement_timeout = '30s'; SET lock_timeout = '10s'; "
                                         "SET DateStyle = 'ISO, YMD'; SET client_min_messages = warning";

const QString kConnectionLost = u"与数据库服务器的连接中断："_s;

// Type OIDs of the server's built-in types the schema uses.
enum : Oid {
    kBool = 16,
    kBytea = 17,
    kChar = 18,
    kName = 19,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kText = 25,
    kOid = 26,
    kFloat4 = 700,
    kFloat8 = 701,
    kBpchar = 1042,
    kVarchar = 1043,
    kDate = 1082,
    kTimestamp = 1114,
    kTimestampTz = 1184,
    kNumeric = 1700,
};

QString message(const char* text) {
    return QString::fromUtf8(text ? text : "").trimmed();
}

void ignoreNotice(void*, const char*) {}

// The server's message of a failed statement; a wait the session's limits ended says so in the
// operator's words first, since it asks for nothing but a later try.
QString failureMessage(const PGresult* result) {
    const QString server = message(PQresultErrorMessage(result));
    const QByteArray state(PQresultErrorField(result, PG_DIAG_SQLSTATE) ? PQresultErrorField(result, PG_DIAG_SQLSTATE)
                                                                        : "");
    QString why;
    if (state == "57014")
        why = u"数据库语句执行超过时限，已被服务器取消，请稍后再试"_s;
    else if (state == "55P03")
        why = u"等待其他操作员正在修改的数据超时，语句已取消，请稍后再试"_s;
    else if (state == "40P01")
        why = u"与其他操作员的修改互相等待，语句已取消，请再试一次"_s;
    return why.isEmpty() ? server : why + u"（"_s + server + u"）"_s;
}

// A result freed however the scope ends.
struct Result {
    PGresult* r = nullptr;
    explicit Result(PGresult* result = nullptr) : r(result) {}
    ~Result() { PQclear(r); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    Result(Result&& other) noexcept : r(other.r) { other.r = nullptr; }
    Result& operator=(Result&& other) noexcept {
        std::swap(r, other.r);
        return *this;
    }
    bool ok() const {
        const ExecStatusType s = PQresultStatus(r);
        return r && (s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK);
    }
};

quint16 be16(const char* p) {
    return qFromBigEndian<quint16>(p);
}

// The binary form of numeric: digit count, weight, sign and scale, then base-10000 digits.
QString numericText(const char* p, int length) {
    if (length < 8)
        return {};
    const int ndigits = qint16(be16(p));
    const int weight = qint16(be16(p + 2));
    const int sign = be16(p + 4);
    const int dscale = be16(p + 6);
    if (sign == 0xC000)
        return u"NaN"_s;
    QString intPart;
    QString fracPart;
    for (int i = 0; i < ndigits && 8 + 2 * i + 1 < length; ++i) {
        const int digit = be16(p + 8 + 2 * std::ptrdiff_t(i));
        const QString four = QString::number(digit).rightJustified(4, QLatin1Char('0'));
        if (i <= weight)
            intPart += four;
        else
            fracPart += four;
    }
    for (int i = ndigits; i <= weight; ++i)
        intPart += u"0000"_s;
    for (int i = weight + 1; i < 0; ++i)
        fracPart.prepend(u"0000"_s);
    while (intPart.size() > 1 && intPart.startsWith(QLatin1Char('0')))
        intPart.remove(0, 1);
    if (intPart.isEmpty())
        intPart = u"0"_s;
    fracPart = fracPart.left(dscale).leftJustified(dscale, QLatin1Char('0'));
    QString text = (sign == 0x4000 ? u"-"_s : QString()) + intPart;
    if (dscale > 0)
        text += QLatin1Char('.') + fracPart;
    return text;
}

// The declared type a column of this type has in the file, which decides the kind it reads as.
QString declaredType(Oid type) {
    switch (type) {
    case kBool:
        return u"YESNO"_s;
    case kBytea:
        return u"BLOB"_s;
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
        return u"INTEGER"_s;
    case kFloat4:
    case kFloat8:
        return u"REAL"_s;
    case kNumeric:
        return u"NUMERIC"_s;
    case kDate:
    case kTimestamp:
    case kTimestampTz:
        return u"DATE"_s;
    default:
        return u"TEXT"_s;
    }
}

QVariant binaryValue(Oid type, const char* p, int length) {
    switch (type) {
    case kBool:
        return QVariant(length > 0 && p[0] != 0);
    case kBytea:
        return QVariant(QByteArray(p, length));
    case kInt2:
        return QVariant(qint64(qint16(be16(p))));
    case kInt4:
    case kOid:
        return QVariant(qint64(qFromBigEndian<qint32>(p)));
    case kInt8:
        return QVariant(qint64(qFromBigEndian<qint64>(p)));
    case kFloat4: {
        const quint32 bits = qFromBigEndian<quint32>(p);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return QVariant(double(f));
    }
    case kFloat8: {
        const quint64 bits = qFromBigEndian<quint64>(p);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return QVariant(d);
    }
    case kNumeric:
        return QVariant(numericText(p, length));
    case kDate:
        return QVariant(QDate(2000, 1, 1).addDays(qFromBigEndian<qint32>(p)));
    case kTimestamp:
    case kTimestampTz: {
        const qint64 micros = qFromBigEndian<qint64>(p);
        return QVariant(
            QDateTime(QDate(2000, 1, 1), QTime(0, 0), QTimeZone::utc()).addMSecs(micros / 1000).toString(Qt::ISODate));
    }
    default:
        return QVariant(QString::fromUtf8(p, length));
    }
}

// One statement of a pipeline: its text and, for the program's statement, the byte arrays bound
// to its $n parameters.
struct Command {
    QByteArray sql;
    std::vector<QByteArray> parameters;
};

class PgEngine final : public Engine, public std::enable_shared_from_this<PgEngine> {
public:
    ~PgEngine() override;

    bool connect(const QString& target, ServerContents contents, QString& error);
    QString registryKey;

    bool execute(const void* owner, const QString& statement, const QList<QByteArray>* binaries,
                 QString& error) override;
    bool query(const void* owner, const QString& select, ResultRows& rows, QString& error) override;
    void queryTables(const void* owner, const QStringList& tables, const QStringList& columns,
                     const QStringList& selects, const std::function<void(qsizetype, TableRows&)>& deliver) override;
    bool begin(const void* owner, TransactionMode mode, QString& error) override;
    bool commit(const void* owner, QString& error) override;
    void rollback(const void* owner) override;
    void release(const void* owner) override;
    QStringList tableNames(QString& error) override;
    QStringList storedColumns(const QString& table) override;
    QString describe() const override { return description_; }
    bool reachable(QString& error) override { return usable(error); }
    FailureKind lastFailureKind() const override { return failureKind_; }
    bool readOnly = false;
    bool executeRaw(const QString& sql, QString& error) override {
        const Result r = simple(sql.toUtf8().constData());
        if (!r.ok())
            error = message(PQerrorMessage(conn_));
        return r.ok();
    }

private:
    bool usable(QString& error);
    bool setUp(QString& error);
    bool lostAfterFailure(QString& error);
    void noteFailure(const PGresult* result);
    bool run(const void* owner, const QString& statement, const QList<QByteArray>* binaries, ResultRows* rows,
             QString& error);
    bool send(std::vector<Command> statements, bool read, Result* kept, QString& error);
    // Sends the commands in one round trip; the result of commands[keep] goes to kept.
    bool pipeline(const std::vector<Command>& commands, int keep, Result* kept, QString& error);
    static void decodeColumns(const Result& result, ResultRows& rows, int firstColumn, int endColumn);
    static std::vector<QVariant> decodeRow(const Result& result, int row, int firstColumn, int endColumn);
    static void decode(const Result& result, ResultRows& rows);
    qsizetype copyTogether(const QStringList& tables, const QStringList& columns, const QStringList& shape,
                           qsizetype first, qsizetype end, const std::function<void(qsizetype, TableRows&)>& deliver);
    QString catalogueName(const QString& table) const;
    Result simple(const char* sql);
    Result simple(const QByteArray& sql);
    // A table's column types (lower-case names), from the catalogue read once for all tables; a
    // table made since is looked up alone, unless cachedOnly.
    QHash<QString, QString> columnTypes(const QString& table, bool cachedOnly = false);

    PGconn* conn_ = nullptr;
    QString description_;
    const void* transactionOwner_ = nullptr;
    int transactionDepth_ = 0;
    bool transactionLost_ = false; // the server dropped the open transaction with the connection
    bool clientFailure_ = false;   // the last failure came from libpq, not from the server
    bool needsReset_ = false;
    FailureKind failureKind_ = FailureKind::None;
    QHash<QString, QHash<QString, QString>> typeCache_;
    bool typesLoaded_ = false;
    void forgetTypes() {
        typeCache_.clear();
        typesLoaded_ = false;
    }
    static bool isAsciiName(const QString& name) {
        for (QChar c : name)
            if (c.unicode() >= 0x80)
                return false;
        return true;
    }
};

thread_local std::map<QString, std::weak_ptr<PgEngine>> t_servers;
thread_local qint64 t_roundTrips = 0;
thread_local bool t_serversGone = false;
struct ServerRegistryGuard {
    ~ServerRegistryGuard() { t_serversGone = true; }
};
thread_local ServerRegistryGuard t_serverGuard;

PgEngine::~PgEngine() {
    if (conn_)
        PQfinish(conn_);
    if (!registryKey.isEmpty() && !t_serversGone) {
        auto it = t_servers.find(registryKey);
        if (it != t_servers.end() && it->second.expired())
            t_servers.erase(it);
    }
}

Result PgEngine::simple(const char* sql) {
    ++t_roundTrips;
    return Result(PQexec(conn_, sql));
}

Result PgEngine::simple(const QByteArray& sql) {
    return simple(sql.constData());
}

bool PgEngine::setUp(QString& error) {
    PQsetNoticeProcessor(conn_, ignoreNotice, nullptr);
    const Result r = simple(readOnly ? QByteArray(kSessionSettings) + "; SET default_transaction_read_only = on"
                                     : QByteArray(kSessionSettings));
    if (!r.ok()) {
        error = message(PQerrorMessage(conn_));
        return false;
    }
    return true;
}

bool PgEngine::connect(const QString& target, ServerContents contents, QString& error) {
    char* parseError = nullptr;
    const QByteArray text = target.trimmed().toUtf8();
    PQconninfoOption* options = PQconninfoParse(text.constData(), &parseError);
    if (!options) {
        error = u"数据库连接文本无效：%1"_s.arg(message(parseError));
        PQfreemem(parseError);
        return false;
    }
    std::vector<QByteArray> keys;
    std::vector<QByteArray> values;
    bool timeoutGiven = false;
    bool passwordGiven = false;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (!o->val)
            continue;
        const QByteArray key(o->keyword);
        timeoutGiven = timeoutGiven || key == "connect_timeout";
        passwordGiven = passwordGiven || key == "password";
        keys.push_back(key);
        values.push_back(QByteArray(o->val));
    }
    PQconninfoFree(options);
    if (passwordGiven) {
        // A password in the connection text shows in every process list and shell history.
        error = u"数据库连接文本中不能写口令：请把口令写在 .pgpass（或 PGPASSFILE 指定的文件）或 velmora.ini 中。"_s;
        return false;
    }
    if (!timeoutGiven) {
        keys.push_back("connect_timeout");
        values.push_back(kConnectTimeoutSeconds);
    }
    const QByteArray password = ServerPassword().toUtf8();
    if (!password.isEmpty()) {
        keys.push_back("password");
        values.push_back(password);
    }
    keys.push_back("client_encoding");
    values.push_back("UTF8");
    keys.push_back("fallback_application_name");
    values.push_back("velmora");
    std::vector<const char*> k;
    std::vector<const char*> v;
    for (size_t i = 0; i < keys.size(); ++i) {
        k.push_back(keys[i].constData());
        v.push_back(values[i].constData());
    }
    k.push_back(nullptr);
    v.push_back(nullptr);
    conn_ = PQconnectdbParams(k.data(), v.data(), 0);
    if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
        error = u"无法连接数据库服务器：%1"_s.arg(conn_ ? message(PQerrorMessage(conn_)) : u"out of memory"_s);
        return false;
    }
    if (!setUp(error))
        return false;
    const QString host = QString::fromUtf8(PQhost(conn_));
    const QString port = QString::fromUtf8(PQport(conn_));
    description_ = host + (port.isEmpty() || port == QLatin1String("5432") ? QString() : QLatin1Char(':') + port) +
                   QLatin1Char('/') + QString::fromUtf8(PQdb(conn_));

    QString listError;
    const QStringList tables = tableNames(listError);
    if (!listError.isEmpty()) {
        error = listError;
        return false;
    }
    if (contents == ServerContents::Empty) {
        if (!tables.isEmpty()) {
            error = u"数据库 %1 中已经有表（%2 个），不会在其中创建：请使用新建的空数据库。"_s.arg(description_)
                        .arg(tables.size());
            return false;
        }
        return true;
    }
    QStringList missing;
    for (const QString& table : FixedTableNames())
        if (!tables.contains(table))
            missing << table;
    if (!missing.isEmpty()) {
        error = u"不是本程序的数据库（缺少表：%1）：%2"_s.arg(missing.join(u"、"_s), description_);
        return false;
    }
    return true;
}

// A connection that went away is taken up again once, when no transaction was open on it: the
// server has dropped that transaction, and its owner must learn so before anything else runs.
bool PgEngine::usable(QString& error) {
    if (!conn_) {
        error = u"数据库未打开"_s;
        return false;
    }
    if (transactionLost_) {
        error = kConnectionLost + u"事务已撤销，请重新操作。"_s;
        failureKind_ = FailureKind::Lost;
        return false;
    }
    if (PQstatus(conn_) == CONNECTION_OK && !needsReset_)
        return true;
    needsReset_ = false;
    PQreset(conn_);
    if (PQstatus(conn_) != CONNECTION_OK) {
        error = kConnectionLost + message(PQerrorMessage(conn_));
        failureKind_ = FailureKind::Lost;
        DatabaseConnection::ReportConnectionLost(error);
        return false;
    }
    forgetTypes();
    if (!setUp(error)) {
        error = kConnectionLost + error;
        return false;
    }
    return true;
}

// After a failed call: true (and the error said so) when the failure was the connection's.
// Every error of the server carries an SQLSTATE; one without it is libpq's own: the connection's.
void PgEngine::noteFailure(const PGresult* result) {
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    clientFailure_ = !state;
    const QByteArray code(state ? state : "");
    if (!state)
        failureKind_ = FailureKind::Lost;
    else if (code == "55P03" || code == "40001" || code == "40P01" || code == "57014")
        failureKind_ = FailureKind::Busy; // a lock not granted in time, a conflict, the statement timeout
    else if (code == "25006")
        failureKind_ = FailureKind::ReadOnly;
    else if (code == "53100")
        failureKind_ = FailureKind::DiskFull;
    else if (code.startsWith("XX00"))
        failureKind_ = FailureKind::Corrupt;
    else if (code == "58030")
        failureKind_ = FailureKind::IoError;
    else
        failureKind_ = FailureKind::Other;
}

bool PgEngine::lostAfterFailure(QString& error) {
    const bool lost = PQstatus(conn_) == CONNECTION_BAD || clientFailure_;
    clientFailure_ = false;
    if (!lost)
        return false;
    failureKind_ = FailureKind::Lost;
    needsReset_ = true;
    error = kConnectionLost + message(PQerrorMessage(conn_));
    if (transactionDepth_ > 0)
        transactionLost_ = true;
    return true;
}

// Sends the commands in one round trip and reads their results; the result of commands[keep]
// goes to kept. Fails at the first command that fails: the server skips the rest.
bool PgEngine::pipeline(const std::vector<Command>& commands, int keep, Result* kept, QString& error) {
    ++t_roundTrips;
    if (commands.size() == 1) {
        const Command& c = commands.front();
        std::vector<const char*> values;
        std::vector<int> lengths;
        std::vector<int> formats;
        std::vector<Oid> types;
        for (const QByteArray& p : c.parameters) {
            values.push_back(p.constData());
            lengths.push_back(int(p.size()));
            formats.push_back(1);
            types.push_back(kBytea);
        }
        Result r(PQexecParams(conn_, c.sql.constData(), int(values.size()), types.data(), values.data(), lengths.data(),
                              formats.data(), 1));
        if (!r.ok()) {
            noteFailure(r.r);
            error = r.r ? failureMessage(r.r) : message(PQerrorMessage(conn_));
            if (error.isEmpty())
                error = message(PQerrorMessage(conn_));
            return false;
        }
        if (keep == 0 && kept)
            *kept = std::move(r);
        return true;
    }
    if (!PQenterPipelineMode(conn_)) {
        error = message(PQerrorMessage(conn_));
        return false;
    }
    bool sent = true;
    for (const Command& c : commands) {
        std::vector<const char*> values;
        std::vector<int> lengths;
        std::vector<int> formats;
        std::vector<Oid> types;
        for (const QByteArray& p : c.parameters) {
            values.push_back(p.constData());
            lengths.push_back(int(p.size()));
            formats.push_back(1);
            types.push_back(kBytea);
        }
        if (!PQsendQueryParams(conn_, c.sql.constData(), int(values.size()), types.data(), values.data(),
                               lengths.data(), formats.data(), 1)) {
            sent = false;
            break;
        }
    }
    if (!sent || !PQpipelineSync(conn_)) {
        error = message(PQerrorMessage(conn_));
        clientFailure_ = true;
        PQexitPipelineMode(conn_);
        return false;
    }
    bool ok = true;
    for (size_t i = 0; i < commands.size(); ++i) {
        bool gotOne = false;
        while (PGresult* raw = PQgetResult(conn_)) {
            Result r(raw);
            gotOne = true;
            const ExecStatusType s = PQresultStatus(raw);
            if (s == PGRES_PIPELINE_ABORTED)
                continue;
            if (!r.ok()) {
                if (ok) {
                    error = failureMessage(raw);
                    noteFailure(raw);
                }
                ok = false;
            } else if (int(i) == keep && kept) {
                *kept = std::move(r);
            }
        }
        if (!gotOne && PQstatus(conn_) == CONNECTION_BAD) {
            if (ok)
                error = message(PQerrorMessage(conn_));
            clientFailure_ = true;
            PQexitPipelineMode(conn_);
            return false;
        }
    }
    // The sync's own result, then the pipeline is left.
    while (PGresult* raw = PQgetResult(conn_)) {
        const bool sync = PQresultStatus(raw) == PGRES_PIPELINE_SYNC;
        PQclear(raw);
        if (sync)
            break;
    }
    PQexitPipelineMode(conn_);
    return ok;
}

QHash<QString, QString> PgEngine::columnTypes(const QString& table, bool cachedOnly) {
    if (!typesLoaded_) {
        // Every table's columns in one round trip, rather than one per vehicle table: a row per
        // table, its columns in one text (name, type, key, set apart by control characters no name
        // holds), each distinct text parsed once, since the vehicle tables are copies of one.
        typesLoaded_ = true;
        static const char* all =
            "SELECT c.relname, string_agg(a.attname || chr(1) || format_type(a.atttypid, a.atttypmod) || "
            "       CASE WHEN a.attnum = ANY (i.indkey) THEN ' PRIMARY KEY' ELSE '' END, chr(2) ORDER BY a.attnum) "
            "FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
            "LEFT JOIN pg_index i ON i.indrelid = c.oid AND i.indisprimary "
            "WHERE c.relnamespace = current_schema()::regnamespace AND c.relkind = 'r' "
            "  AND a.attnum > 0 AND NOT a.attisdropped GROUP BY c.relname";
        const Result r = simple(all);
        if (r.ok()) {
            QHash<QByteArray, QHash<QString, QString>> shapes;
            for (int row = 0; row < PQntuples(r.r); ++row) {
                const QByteArray text(PQgetvalue(r.r, row, 1), PQgetlength(r.r, row, 1));
                auto shape = shapes.constFind(text);
                if (shape == shapes.constEnd()) {
                    QHash<QString, QString> types;
                    for (const QByteArray& column : text.split('\x02')) {
                        const qsizetype cut = column.indexOf('\x01');
                        types.insert(QString::fromUtf8(column.left(cut)).toLower(),
                                     QString::fromUtf8(column.mid(cut + 1)));
                    }
                    shape = shapes.insert(text, types);
                }
                typeCache_.insert(QString::fromUtf8(PQgetvalue(r.r, row, 0)), *shape);
            }
        }
    }
    auto it = typeCache_.constFind(table);
    if (it == typeCache_.constEnd() && isAsciiName(table))
        it = typeCache_.constFind(table.toLower());
    if (it != typeCache_.constEnd())
        return *it;
    QHash<QString, QString> types;
    if (cachedOnly)
        return types;
    // A bare ASCII name is folded to lower case by the server; a quoted one is kept as written.
    static const char* sql =
        "SELECT a.attname, format_type(a.atttypid, a.atttypmod), "
        "       coalesce(a.attnum = ANY (i.indkey), false) "
        "FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
        "LEFT JOIN pg_index i ON i.indrelid = c.oid AND i.indisprimary "
        "WHERE c.relnamespace = current_schema()::regnamespace AND c.relkind = 'r' "
        "  AND c.relname = (SELECT n FROM (VALUES (1, $1::text), (2, lower($1::text))) v(o, n) "
        "                   WHERE EXISTS (SELECT 1 FROM pg_class x WHERE x.relname = v.n "
        "                                 AND x.relnamespace = current_schema()::regnamespace) ORDER BY o LIMIT 1) "
        "  AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum";
    const QByteArray name = table.toUtf8();
    const char* values[] = {name.constData()};
    ++t_roundTrips;
    Result r(PQexecParams(conn_, sql, 1, nullptr, values, nullptr, nullptr, 0));
    if (!r.ok())
        return types;
    for (int row = 0; row < PQntuples(r.r); ++row) {
        QString type = QString::fromUtf8(PQgetvalue(r.r, row, 1));
        if (PQgetvalue(r.r, row, 2)[0] == 't')
            type += QLatin1String(" PRIMARY KEY");
        types.insert(QString::fromUtf8(PQgetvalue(r.r, row, 0)).toLower(), type);
    }
    if (!types.isEmpty())
        typeCache_.insert(table, types);
    return types;
}

bool PgEngine::run(const void* owner, const QString& statement, const QList<QByteArray>* binaries, ResultRows* rows,
                   QString& error) {
    if (!usable(error))
        return false;
    if (!rows && transactionOwner_ && transactionOwner_ != owner) {
        error = u"另一窗口的数据库事务尚未结束，请稍后再试。"_s;
        failureKind_ = FailureKind::Busy;
        return false;
    }
    const Translation tr =
        TranslateStatement(statement, {[this](const QString& t) { return columnTypes(t); }, {}}, Dialect::PostgreSQL);
    failureKind_ = FailureKind::Other;
    if (!tr.ok()) {
        error = tr.error;
        return false;
    }
    if (rows && tr.statements.size() != 1) {
        error = u"not a query"_s;
        return false;
    }
    std::vector<Command> statements;
    int bound = 0;
    for (const QString& sql : tr.statements) {
        Command c{sql.toUtf8(), {}};
        if (&sql == &tr.statements.last())
            for (int p = 0; p < tr.parameters; ++p)
                c.parameters.push_back(binaries && bound < binaries->size() ? binaries->at(bound++) : QByteArray(""));
        statements.push_back(std::move(c));
    }
    Result kept;
    if (!send(std::move(statements), rows != nullptr, &kept, error))
        return false;
    if (tr.changesSchema)
        forgetTypes();
    if (rows)
        decode(kept, *rows);
    return true;
}

// Runs the server statements of one program statement as one unit; the result of the last goes
// to kept.
bool PgEngine::send(std::vector<Command> statements, bool read, Result* kept, QString& error) {
    std::vector<Command> commands;
    // Inside a transaction a failed statement must not end it (the file engine keeps it open):
    // each statement runs under a savepoint of its own. Several statements standing for one run
    // as one unit outside a transaction too.
    const bool inTransaction = transactionDepth_ > 0;
    const bool group = statements.size() > 1;
    if (inTransaction)
        commands.push_back({"SAVEPOINT velmora_statement", {}});
    else if (group)
        commands.push_back({"BEGIN", {}});
    const int last = int(commands.size() + statements.size()) - 1;
    for (Command& c : statements)
        commands.push_back(std::move(c));
    if (inTransaction)
        commands.push_back({"RELEASE SAVEPOINT velmora_statement", {}});
    else if (group)
        commands.push_back({"COMMIT", {}});
    const bool retryable = read && !inTransaction;
    bool ok = pipeline(commands, last, kept, error);
    if (!ok && lostAfterFailure(error) && retryable) {
        // A read outside a transaction changes nothing: it may go again on a new connection.
        QString again;
        if (usable(again))
            ok = pipeline(commands, last, kept, error);
    }
    if (!ok) {
        if (error.startsWith(kConnectionLost))
            DatabaseConnection::ReportConnectionLost(error);
        if (PQstatus(conn_) == CONNECTION_OK) {
            if (inTransaction)
                simple("ROLLBACK TO SAVEPOINT velmora_statement; RELEASE SAVEPOINT velmora_statement");
            else if (group)
                simple("ROLLBACK");
        }
    }
    return ok;
}

void PgEngine::decodeColumns(const Result& result, ResultRows& rows, int firstColumn, int endColumn) {
    for (int c = firstColumn; c < endColumn; ++c) {
        rows.columns << QString::fromUtf8(PQfname(result.r, c));
        rows.declaredTypes << declaredType(PQftype(result.r, c));
    }
}

std::vector<QVariant> PgEngine::decodeRow(const Result& result, int row, int firstColumn, int endColumn) {
    std::vector<QVariant> values(size_t(endColumn - firstColumn));
    for (int c = firstColumn; c < endColumn; ++c)
        if (!PQgetisnull(result.r, row, c))
            values[size_t(c - firstColumn)] =
                binaryValue(PQftype(result.r, c), PQgetvalue(result.r, row, c), PQgetlength(result.r, row, c));
    return values;
}

void PgEngine::decode(const Result& result, ResultRows& rows) {
    const int ncol = PQnfields(result.r);
    const int nrow = PQntuples(result.r);
    decodeColumns(result, rows, 0, ncol);
    rows.rows.reserve(size_t(nrow));
    for (int r = 0; r < nrow; ++r)
        rows.rows.push_back(decodeRow(result, r, 0, ncol));
}

// The type a column of the catalogue's text (format_type) comes in, for the types a binary COPY
// is read in; 0 for any other, whose tables are read alone.
Oid copiedType(QString type) {
    if (type.endsWith(QLatin1String(" PRIMARY KEY")))
        type.chop(12);
    const qsizetype modifier = type.indexOf(QLatin1Char('('));
    if (modifier >= 0)
        type.truncate(modifier);
    static const std::pair<QLatin1StringView, Oid> known[] = {
        {QLatin1StringView("integer"), kInt4},
        {QLatin1StringView("bigint"), kInt8},
        {QLatin1StringView("smallint"), kInt2},
        {QLatin1StringView("text"), kText},
        {QLatin1StringView("character varying"), kVarchar},
        {QLatin1StringView("character"), kBpchar},
        {QLatin1StringView("date"), kDate},
        {QLatin1StringView("boolean"), kBool},
        {QLatin1StringView("numeric"), kNumeric},
        {QLatin1StringView("bytea"), kBytea},
        {QLatin1StringView("double precision"), kFloat8},
        {QLatin1StringView("real"), kFloat4},
        {QLatin1StringView("timestamp without time zone"), kTimestamp},
        {QLatin1StringView("timestamp with time zone"), kTimestampTz},
    };
    for (const auto& [name, oid] : known)
        if (type == name)
            return oid;
    return 0;
}

// The rows of a binary COPY: its signature, flags and header extension, then for each row its
// field count and each field's length (-1 for null) and bytes, and -1 at the end. False for a
// stream that is not such, or whose rows have another field count.
bool copiedRows(const QByteArray& data, const std::vector<Oid>& types, std::vector<std::vector<QVariant>>& rows) {
    static const char signature[] = "PGCOPY\n\377\r\n";
    const char* p = data.constData();
    const char* const end = p + data.size();
    if (data.size() < 19 || std::memcmp(p, signature, 11) != 0)
        return false;
    const qint32 extension = qFromBigEndian<qint32>(p + 15);
    if (extension < 0 || extension > end - (p + 19))
        return false;
    p += 19 + extension;
    while (end - p >= 2) {
        const qint16 fields = qint16(be16(p));
        p += 2;
        if (fields == -1)
            return p == end;
        if (size_t(fields) != types.size())
            return false;
        std::vector<QVariant> row(types.size());
        for (size_t c = 0; c < types.size(); ++c) {
            if (end - p < 4)
                return false;
            const qint32 length = qFromBigEndian<qint32>(p);
            p += 4;
            if (length == -1)
                continue;
            if (length < 0 || length > end - p)
                return false;
            row[c] = binaryValue(types[c], p, length);
            p += length;
        }
        rows.push_back(std::move(row));
    }
    return false;
}

// Tables whose columns have the same types are read together, each with a COPY of its columns in
// binary, all in one round trip: the server neither plans nor opens the tables' indexes for a
// COPY, which a select costs it for every table the first time a session reads it. A table's rows
// are put in the order of its 编号, which is the order its own select returns (on the server a
// select of one table is ordered by its 编号). A table that is missing, lacks a column, a
// whole-number key 编号 or a type read here, or whose COPY fails, is read alone, so that its
// failure is its own and reads as it always did.
void PgEngine::queryTables(const void* owner, const QStringList& tables, const QStringList& columns,
                           const QStringList& selects, const std::function<void(qsizetype, TableRows&)>& deliver) {
    const QString number = u"编号"_s;
    // Each table's shape: the types of 编号 and of the columns read, empty for a table read alone.
    // The column types of every table come from one look at the catalogue; a table it does not
    // know (missing, or made since) is read alone, which looks it up.
    std::vector<QStringList> shapes(size_t(tables.size()));
    QString error;
    if (usable(error)) {
        for (qsizetype i = 0; i < tables.size(); ++i) {
            const QHash<QString, QString> types = columnTypes(tables[i], true);
            // 编号 orders the rows: a key, and a whole number the client can sort by.
            const QString numberType = types.value(number);
            if (!numberType.endsWith(QLatin1String(" PRIMARY KEY")) ||
                !(numberType.startsWith(QLatin1String("integer")) || numberType.startsWith(QLatin1String("bigint")) ||
                  numberType.startsWith(QLatin1String("smallint"))))
                continue;
            QStringList shape = {numberType};
            for (const QString& c : columns) {
                const auto type = types.constFind(c.toLower());
                if (type == types.constEnd() || copiedType(*type) == 0)
                    break;
                shape << *type;
            }
            if (shape.size() == columns.size() + 1)
                shapes[size_t(i)] = shape;
        }
    }
    const auto readAlone = [&](qsizetype i) {
        TableRows t;
        t.ok = run(owner, selects[i], nullptr, &t.rows, t.error);
        t.failure = t.ok ? FailureKind::None : failureKind_;
        deliver(i, t);
    };
    for (qsizetype i = 0; i < tables.size();) {
        // The next run of tables of one shape.
        qsizetype end = i + 1;
        while (!shapes[size_t(i)].isEmpty() && end < tables.size() && shapes[size_t(end)] == shapes[size_t(i)])
            ++end;
        if (end - i < 2) {
            readAlone(i++);
            continue;
        }
        for (qsizetype k = copyTogether(tables, columns, shapes[size_t(i)], i, end, deliver); k < end; ++k)
            readAlone(k);
        i = end;
    }
}

// The name the catalogue gives a table: a bare ASCII name may have been folded to lower case.
QString PgEngine::catalogueName(const QString& table) const {
    if (!typeCache_.contains(table) && isAsciiName(table) && typeCache_.contains(table.toLower()))
        return table.toLower();
    return table;
}

// Tables first..end-1, of the shape given (the types of 编号 and of the columns), one COPY each in
// one round trip: under a savepoint inside a transaction, so that a failure leaves the
// transaction as it was. Each table is delivered as soon as its rows are in, while the server goes
// on with the next. Returns the end of what was delivered: end, or where a failed COPY stopped the
// rest.
qsizetype PgEngine::copyTogether(const QStringList& tables, const QStringList& columns, const QStringList& shape,
                                 qsizetype first, qsizetype end,
                                 const std::function<void(qsizetype, TableRows&)>& deliver) {
    const QString number = u"编号"_s;
    std::vector<Oid> types;
    QString list;
    for (qsizetype c = 0; c < columns.size(); ++c) {
        list += (c ? u", "_s : QString()) + ServerQuotedName(columns[c]);
        types.push_back(copiedType(shape[c + 1]));
    }
    // The order needs 编号; it is left out of the rows when not asked for.
    qsizetype numberColumn = -1;
    for (qsizetype c = 0; c < columns.size() && numberColumn < 0; ++c)
        if (columns[c].compare(number, Qt::CaseInsensitive) == 0)
            numberColumn = c;
    if (numberColumn < 0) {
        list += u", "_s + ServerQuotedName(number);
        types.push_back(copiedType(shape[0]));
        numberColumn = columns.size();
    }
    QStringList declared;
    for (qsizetype c = 0; c < columns.size(); ++c)
        declared << declaredType(types[size_t(c)]);

    const bool inTransaction = transactionDepth_ > 0;
    QByteArray sql;
    if (inTransaction)
        sql += "SAVEPOINT velmora_statement; ";
    for (qsizetype k = first; k < end; ++k)
        sql += (u"COPY "_s + ServerQuotedName(catalogueName(tables[k])) + u" ("_s + list +
                u") TO STDOUT (FORMAT binary); "_s)
                   .toUtf8();
    if (inTransaction)
        sql += "RELEASE SAVEPOINT velmora_statement";

    failureKind_ = FailureKind::Other;
    ++t_roundTrips;
    if (!PQsendQuery(conn_, sql.constData())) {
        clientFailure_ = true;
        return first;
    }
    qsizetype delivered = first;
    bool ok = true;
    QByteArray data;
    bool copied = false;
    QString error;
    while (PGresult* raw = PQgetResult(conn_)) {
        Result r(raw);
        switch (PQresultStatus(raw)) {
        case PGRES_COPY_OUT: {
            data.clear();
            char* buffer = nullptr;
            int n;
            while ((n = PQgetCopyData(conn_, &buffer, 0)) > 0) {
                data.append(buffer, n);
                PQfreemem(buffer);
            }
            // -1: the COPY ended, and its own result comes next; -2: it failed, which that result says.
            copied = n == -1;
            break;
        }
        case PGRES_COMMAND_OK: {
            if (!copied)
                break; // the savepoint's
            copied = false;
            std::vector<std::vector<QVariant>> rows;
            if (!ok || delivered >= end || !copiedRows(data, types, rows)) {
                ok = false;
                break;
            }
            std::vector<std::pair<qint64, size_t>> order;
            order.reserve(rows.size());
            for (size_t row = 0; row < rows.size(); ++row)
                order.push_back({rows[row][size_t(numberColumn)].toLongLong(), row});
            std::sort(order.begin(), order.end());
            TableRows t;
            t.ok = true;
            t.rows.columns = columns;
            t.rows.declaredTypes = declared;
            t.rows.rows.reserve(rows.size());
            for (const auto& [n, row] : order) {
                rows[row].resize(size_t(columns.size()));
                t.rows.rows.push_back(std::move(rows[row]));
            }
            deliver(delivered++, t);
            break;
        }
        default:
            if (ok) {
                error = failureMessage(raw);
                noteFailure(raw);
            }
            ok = false;
            copied = false;
        }
    }
    if (PQstatus(conn_) == CONNECTION_BAD)
        clientFailure_ = true;
    if (!ok || delivered < end) {
        // Not sent again when the connection was lost: the tables not yet delivered are read
        // alone, each of which connects again where it may.
        if (lostAfterFailure(error) && error.startsWith(kConnectionLost))
            DatabaseConnection::ReportConnectionLost(error);
        if (inTransaction && PQstatus(conn_) == CONNECTION_OK)
            simple("ROLLBACK TO SAVEPOINT velmora_statement; RELEASE SAVEPOINT velmora_statement");
    }
    return delivered;
}

bool PgEngine::execute(const void* owner, const QString& statement, const QList<QByteArray>* binaries, QString& error) {
    return run(owner, statement, binaries, nullptr, error);
}

bool PgEngine::query(const void* owner, const QString& select, ResultRows& rows, QString& error) {
    return run(owner, select, nullptr, &rows, error);
}

bool PgEngine::begin(const void* owner, TransactionMode mode, QString& error) {
    if (!usable(error))
        return false;
    if (transactionOwner_ && transactionOwner_ != owner) {
        error = u"另一窗口的数据库事务尚未结束，请稍后再试。"_s;
        failureKind_ = FailureKind::Busy;
        return false;
    }
    const QByteArray sql = transactionDepth_ > 0 ? "SAVEPOINT t" + QByteArray::number(transactionDepth_)
                           : mode == TransactionMode::Snapshot
                               ? QByteArray("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")
                               : QByteArray("BEGIN");
    const Result r = simple(sql.constData());
    if (!r.ok()) {
        error = message(PQerrorMessage(conn_));
        noteFailure(r.r);
        if (lostAfterFailure(error))
            DatabaseConnection::ReportConnectionLost(error);
        return false;
    }
    transactionOwner_ = owner;
    ++transactionDepth_;
    return true;
}

bool PgEngine::commit(const void* owner, QString& error) {
    if (transactionOwner_ != owner || transactionDepth_ == 0)
        return false;
    --transactionDepth_;
    if (transactionDepth_ == 0)
        transactionOwner_ = nullptr;
    if (transactionLost_) {
        // The loss was reported when it happened.
        error = kConnectionLost + u"事务已撤销，没有写入。"_s;
        if (transactionDepth_ == 0)
            transactionLost_ = false;
        return false;
    }
    const QByteArray sql =
        transactionDepth_ == 0 ? QByteArray("COMMIT") : "RELEASE SAVEPOINT t" + QByteArray::number(transactionDepth_);
    const Result r = simple(sql.constData());
    // COMMIT of a transaction that failed reads as ROLLBACK: it wrote nothing.
    const bool rolledBack = r.ok() && QByteArray(PQcmdStatus(r.r)) == "ROLLBACK";
    if (!r.ok() || rolledBack) {
        error = rolledBack ? u"事务已撤销"_s : message(PQerrorMessage(conn_));
        if (!rolledBack)
            noteFailure(r.r);
        if (lostAfterFailure(error))
            DatabaseConnection::ReportConnectionLost(error);
        else if (transactionDepth_ == 0 && !rolledBack)
            simple("ROLLBACK");
        transactionLost_ = false;
        forgetTypes();
        return false;
    }
    return true;
}

void PgEngine::rollback(const void* owner) {
    if (transactionOwner_ != owner || transactionDepth_ == 0)
        return;
    --transactionDepth_;
    if (transactionDepth_ == 0) {
        transactionOwner_ = nullptr;
        transactionLost_ = false;
        if (PQstatus(conn_) == CONNECTION_OK)
            simple("ROLLBACK");
    } else if (!transactionLost_ && PQstatus(conn_) == CONNECTION_OK) {
        const QByteArray n = QByteArray::number(transactionDepth_);
        simple(("ROLLBACK TO SAVEPOINT t" + n + "; RELEASE SAVEPOINT t" + n).constData());
    }
    // A rolled-back create or drop leaves cached column types stale.
    forgetTypes();
}

void PgEngine::release(const void* owner) {
    while (transactionOwner_ == owner && transactionDepth_ > 0)
        rollback(owner);
}

QStringList PgEngine::tableNames(QString& error) {
    QStringList names;
    if (!usable(error))
        return names;
    const Result r = simple("SELECT tablename FROM pg_tables WHERE schemaname = current_schema() ORDER BY tablename");
    if (!r.ok()) {
        error = message(PQerrorMessage(conn_));
        noteFailure(r.r);
        lostAfterFailure(error);
        return names;
    }
    for (int row = 0; row < PQntuples(r.r); ++row)
        names << QString::fromUtf8(PQgetvalue(r.r, row, 0));
    return names;
}

QStringList PgEngine::storedColumns(const QString& table) {
    QStringList names;
    QString error;
    if (!usable(error))
        return names;
    static const char* sql = "SELECT a.attname FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
                             "WHERE c.relnamespace = current_schema()::regnamespace AND c.relname = $1 "
                             "AND c.relkind = 'r' AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum";
    const QByteArray name = table.toUtf8();
    const char* values[] = {name.constData()};
    ++t_roundTrips;
    const Result r(PQexecParams(conn_, sql, 1, nullptr, values, nullptr, nullptr, 0));
    if (!r.ok()) {
        noteFailure(r.r);
        lostAfterFailure(error);
        return names;
    }
    for (int row = 0; row < PQntuples(r.r); ++row)
        names << QString::fromUtf8(PQgetvalue(r.r, row, 0));
    return names;
}

} // namespace

qint64 ServerRoundTrips() {
    return t_roundTrips;
}

std::shared_ptr<Engine> OpenServerEngine(const QString& target, ConnectionSharing sharing, ServerContents contents,
                                         bool readOnly, QString& error) {
    const QString key = target.trimmed() + (readOnly ? u"\nread-only"_s : QString());
    const bool shared = sharing == ConnectionSharing::Shared && contents == ServerContents::OurTables;
    if (shared) {
        auto it = t_servers.find(key);
        if (it != t_servers.end())
            if (auto engine = it->second.lock()) {
                // Another window's session: usable only while its server answers.
                QString why;
                if (engine->reachable(why))
                    return engine;
                error = u"无法连接数据库服务器：%1"_s.arg(why);
                return nullptr;
            }
    }
    auto engine = std::make_shared<PgEngine>();
    engine->readOnly = readOnly;
    if (!engine->connect(target, contents, error))
        return nullptr;
    if (shared) {
        engine->registryKey = key;
        t_servers[key] = engine;
    }
    return engine;
}

bool CreateServerSchema(const QString& target, const QStringList& statements, QString& error) {
    auto engine = OpenServerEngine(target, ConnectionSharing::Private, ServerContents::Empty, false, error);
    if (!engine)
        return false;
    const void* owner = &error;
    if (!engine->begin(owner, TransactionMode::Write, error))
        return false;
    auto* pg = static_cast<PgEngine*>(engine.get());
    for (const QString& sql : statements)
        if (!pg->executeRaw(sql, error)) {
            engine->rollback(owner);
            error = u"创建数据库失败：%1"_s.arg(error);
            return false;
        }
    if (!engine->commit(owner, error)) {
        error = u"创建数据库失败：%1"_s.arg(error);
        return false;
    }
    return true;
}

} // namespace store::detail
