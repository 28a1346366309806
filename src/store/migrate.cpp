#include "migrate.h"

#include "backup.h"
#include "company.h"
#include "database.h"
#include "outputfile.h"
#include "recordset.h"
#include "schema.h"
#include "sqltext.h"
#include "target.h"
#include "versions.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace store {

namespace {

// Limits of one insert: SQLite binds at most 999 parameters, and a statement of many images is
// held in memory twice (text and bound copies).
constexpr int kRowsPerInsert = 200;
constexpr int kBinariesPerInsert = 900;
constexpr qint64 kBytesPerInsert = 16 * 1024 * 1024;

const QString kNumber = u"编号"_s;

// A table name taken from the source goes into statements between brackets; one that could end
// them is not copied.
bool safeTableName(const QString& name) {
    if (name.isEmpty())
        return false;
    for (const QChar c : name)
        if (c == QLatin1Char('[') || c == QLatin1Char(']') || c == QLatin1Char('\'') || c == QLatin1Char('"') ||
            c == QLatin1Char(';') || c.isSpace() || c.category() == QChar::Other_Control)
            return false;
    return true;
}

QString bracketed(const QString& name) {
    return QLatin1Char('[') + name + QLatin1Char(']');
}

// Tables every database of the program holds before any vehicle, filled by init.
QStringList preparedTables() {
    return FixedTableNames() + QStringList{kVehicleVersionTable, kCompanyTable};
}

bool isVehicleShaped(const QStringList& columns) {
    static const QSet<QString> vehicle = [] {
        QSet<QString> names;
        for (const ColumnDef& c : VehicleColumns())
            names.insert(c.name);
        return names;
    }();
    return QSet<QString>(columns.begin(), columns.end()) == vehicle;
}

// The value as the next insert writes it: a literal, or "?" with its bytes bound.
QString literal(const FieldValue& v, QList<QByteArray>* binaries, qint64* bytes) {
    if (v.isNull)
        return u"NULL"_s;
    switch (v.kind) {
    case FieldKind::Bytes: {
        const QByteArray b = v.bytes();
        *bytes += b.size();
        *binaries << b;
        return u"?"_s;
    }
    case FieldKind::YesNo:
        return SqlBool(v.yesNo());
    case FieldKind::Number:
        return v.text();
    case FieldKind::DateTime: {
        const QDate d = v.date();
        const QString text = d.isValid() ? d.toString(Qt::ISODate) : v.text();
        *bytes += text.size();
        return u"'"_s + SqlText(text) + u"'"_s;
    }
    case FieldKind::Text:
        break;
    }
    const QString text = v.text();
    *bytes += text.toUtf8().size();
    return u"'"_s + SqlText(text) + u"'"_s;
}

// The declared type a column of this kind gets on the target's engine (the file's own words, or
// the server's types that read back as the same kinds).
QString columnKindSql(FieldKind kind, bool server) {
    switch (kind) {
    case FieldKind::Number:
        return server ? u"numeric"_s : u"INTEGER"_s;
    case FieldKind::DateTime:
        return server ? u"date"_s : u"DATE"_s;
    case FieldKind::YesNo:
        return server ? u"boolean"_s : u"YESNO"_s;
    case FieldKind::Bytes:
        return server ? u"bytea"_s : u"BLOB"_s;
    case FieldKind::Text:
        break;
    }
    return server ? u"text"_s : u"TEXT"_s;
}

QString selectAll(const QString& table, const QStringList& columns) {
    QString sql = u"select * from "_s + bracketed(table);
    if (columns.contains(kNumber))
        sql += u" order by "_s + bracketed(kNumber);
    return sql;
}

std::optional<TableSummary> summarise(DatabaseConnection& db, const QString& table, QString* error) {
    // The columns first, then the rows in a known order.
    QStringList columns;
    {
        RecordSetGuard probe(db, u"select * from "_s + bracketed(table) + u" where 1=0"_s);
        if (!probe.ok()) {
            *error = u"无法读取表 %1：%2"_s.arg(table, db.LastError());
            return std::nullopt;
        }
        columns = db.Columns(probe.handle());
    }
    RecordSetGuard rs(db, selectAll(table, columns));
    if (!rs.ok()) {
        *error = u"无法读取表 %1：%2"_s.arg(table, db.LastError());
        return std::nullopt;
    }
    QStringList sorted = columns;
    std::sort(sorted.begin(), sorted.end());
    QCryptographicHash hash(QCryptographicHash::Sha256);
    TableSummary summary;
    summary.table = table;
    const int h = rs.handle();
    for (db.MoveFirst(h); !db.AtEnd(h); db.MoveNext(h)) {
        ++summary.rows;
        for (const QString& c : std::as_const(sorted)) {
            const FieldValue v = db.ReadField(h, c);
            hash.addData(c.toUtf8());
            if (v.isNull) {
                hash.addData(QByteArrayView("\0N", 2));
            } else if (v.kind == FieldKind::Bytes) {
                const QByteArray b = v.bytes();
                hash.addData(QByteArrayView("\0B", 2));
                hash.addData(QByteArray::number(b.size()));
                hash.addData(b);
            } else {
                const QByteArray t = v.text().toUtf8();
                hash.addData(QByteArrayView("\0V", 2));
                hash.addData(QByteArray::number(t.size()));
                hash.addData(t);
            }
        }
        hash.addData(QByteArrayView("\n", 1));
    }
    summary.checksum = hash.result().toHex();
    return summary;
}

// Creates table in target, shaped as the source's rows.
bool createTable(DatabaseConnection& source, DatabaseConnection& target, const QString& table,
                 const QStringList& columns, int sourceRows, QString* error) {
    if (isVehicleShaped(columns)) {
        // As the program makes a vehicle table: the template's columns (images last) and key.
        if (target.ExecuteStatement(u"select * into "_s + bracketed(table) + u" from yangbiao"_s) &&
            target.ExecuteStatement(u"Alter table "_s + bracketed(table) +
                                    u"  Add  Constraint  PrimaryKey  Primary  Key (编号)"_s))
            return true;
        *error = u"无法创建车辆表 %1：%2"_s.arg(table, target.LastError());
        return false;
    }
    if (table == kVehicleVersionTable) {
        if (target.ExecuteStatement(VehicleVersionTableStatement()))
            return true;
        *error = u"无法创建表 %1：%2"_s.arg(table, target.LastError());
        return false;
    }
    QStringList definitions;
    for (const QString& c : columns) {
        FieldKind kind = FieldKind::Text;
        if (sourceRows > 0) {
            // The kind the column reads as, from its first non-null value.
            RecordSetGuard rs(source, u"select "_s + bracketed(c) + u" from "_s + bracketed(table) + u" where "_s +
                                          bracketed(c) + u" is not null"_s);
            if (rs.ok() && !source.AtEnd(rs.handle()))
                kind = source.ReadField(rs.handle(), c).kind;
        }
        definitions << bracketed(c) + QLatin1Char(' ') + columnKindSql(kind, target.IsServer());
    }
    if (target.ExecuteStatement(u"create table "_s + bracketed(table) + u" ("_s + definitions.join(u", "_s) + u")"_s))
        return true;
    *error = u"无法创建表 %1：%2"_s.arg(table, target.LastError());
    return false;
}

bool copyRows(DatabaseConnection& source, DatabaseConnection& target, const QString& table, const QStringList& columns,
              CopyReport* report, QString* error, const CopyProgress& progress) {
    RecordSetGuard rs(source, selectAll(table, columns));
    if (!rs.ok()) {
        *error = u"无法读取表 %1：%2"_s.arg(table, source.LastError());
        return false;
    }
    QStringList names;
    for (const QString& c : columns)
        names << bracketed(c);
    const QString head = u"insert into "_s + bracketed(table) + u" ("_s + names.join(QLatin1Char(',')) + u") values "_s;
    QStringList tuples;
    QList<QByteArray> binaries;
    qint64 batchBytes = 0;
    qint64 copied = 0;
    auto flush = [&]() {
        if (tuples.isEmpty())
            return true;
        const QString sql = head + tuples.join(QLatin1Char(','));
        const bool ok = binaries.isEmpty() ? target.ExecuteStatement(sql) : target.ExecuteWithBinaries(sql, binaries);
        if (!ok) {
            *error = u"写入表 %1 失败：%2"_s.arg(table, target.LastError());
            return false;
        }
        copied += tuples.size();
        report->rows += tuples.size();
        report->bytes += batchBytes;
        tuples.clear();
        binaries.clear();
        batchBytes = 0;
        if (progress && !progress(table, copied)) {
            *error = u"复制已中止"_s;
            return false;
        }
        return true;
    };
    const int h = rs.handle();
    for (source.MoveFirst(h); !source.AtEnd(h); source.MoveNext(h)) {
        QStringList values;
        for (const QString& c : columns)
            values << literal(source.ReadField(h, c), &binaries, &batchBytes);
        tuples << u"("_s + values.join(QLatin1Char(',')) + u")"_s;
        if (tuples.size() >= kRowsPerInsert || binaries.size() + columns.size() > kBinariesPerInsert ||
            batchBytes >= kBytesPerInsert)
            if (!flush())
                return false;
    }
    return flush();
}

} // namespace

std::optional<QStringList> ListTables(DatabaseConnection& db) {
    if (!db.IsOpen())
        return std::nullopt;
    QStringList names = db.TableNames();
    if (names.isEmpty() && !db.LastError().isEmpty())
        return std::nullopt;
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<QList<TableSummary>> SummariseTables(DatabaseConnection& db, QString* error) {
    const std::optional<QStringList> tables = ListTables(db);
    if (!tables) {
        *error = u"无法列出数据库中的表：%1"_s.arg(db.LastError());
        return std::nullopt;
    }
    QList<TableSummary> out;
    for (const QString& t : *tables) {
        std::optional<TableSummary> s = summarise(db, t, error);
        if (!s)
            return std::nullopt;
        out << *s;
    }
    return out;
}

bool TargetIsEmpty(DatabaseConnection& target, QString* why) {
    const std::optional<QStringList> tables = ListTables(target);
    if (!tables) {
        *why = u"无法列出目标数据库中的表：%1"_s.arg(target.LastError());
        return false;
    }
    for (const QString& t : *tables) {
        if (!preparedTables().contains(t)) {
            *why = u"目标数据库不是空的：已有表 %1"_s.arg(t);
            return false;
        }
    }
    // The tables a new database fills: only its initial operator, and insurance kinds.
    for (const QString& t : {u"总表"_s, u"报险表"_s, u"yangbiao"_s, kVehicleVersionTable, kCompanyTable, u"权限"_s}) {
        if (!tables->contains(t))
            continue;
        RecordSetGuard rs(target, u"select * from "_s + bracketed(t));
        if (!rs.ok()) {
            *why = u"无法读取目标数据库的表 %1：%2"_s.arg(t, target.LastError());
            return false;
        }
        const int rows = target.RowCount(rs.handle());
        const bool initialOperator =
            t == u"权限"_s && rows == 1 && target.ReadField(rs.handle(), u"用户名"_s).text() == kInitialOperator;
        if (rows > 0 && !initialOperator) {
            *why = u"目标数据库不是空的：表 %1 中已有 %2 行"_s.arg(t).arg(rows);
            return false;
        }
    }
    return true;
}

bool CopyTables(DatabaseConnection& source, DatabaseConnection& target, CopyReport* report, QString* error,
                const CopyProgress& progress) {
    *report = {};
    const std::optional<QStringList> tables = ListTables(source);
    if (!tables) {
        *error = u"无法列出源数据库中的表：%1"_s.arg(source.LastError());
        return false;
    }
    for (const QString& t : FixedTableNames()) {
        if (!tables->contains(t)) {
            *error = u"源文件不是本程序的数据库（缺少表 %1）"_s.arg(t);
            return false;
        }
    }
    const std::optional<QStringList> present = ListTables(target);
    if (!present) {
        *error = u"无法列出目标数据库中的表：%1"_s.arg(target.LastError());
        return false;
    }
    // What a new database holds gives way to the source's rows.
    for (const QString& t : {u"权限"_s, u"险种名称"_s, kVehicleVersionTable}) {
        if (present->contains(t) && !target.ExecuteStatement(u"delete * from "_s + bracketed(t))) {
            *error = u"无法清空目标数据库的表 %1：%2"_s.arg(t, target.LastError());
            return false;
        }
    }
    for (const QString& table : *tables) {
        if (!safeTableName(table)) {
            *error = u"源数据库中的表名不能使用：%1"_s.arg(table);
            return false;
        }
        QStringList columns;
        int sourceRows = 0;
        {
            RecordSetGuard probe(source, u"select count(*) as[数量] from "_s + bracketed(table));
            if (!probe.ok()) {
                *error = u"无法读取表 %1：%2"_s.arg(table, source.LastError());
                return false;
            }
            sourceRows = int(source.ReadField(probe.handle(), u"数量"_s).number());
        }
        {
            RecordSetGuard probe(source, u"select * from "_s + bracketed(table) + u" where 1=0"_s);
            if (!probe.ok()) {
                *error = u"无法读取表 %1：%2"_s.arg(table, source.LastError());
                return false;
            }
            columns = source.Columns(probe.handle());
        }
        if (!present->contains(table) && !createTable(source, target, table, columns, sourceRows, error))
            return false;
        if (sourceRows > 0 && !copyRows(source, target, table, columns, report, error, progress))
            return false;
        if (columns.contains(kNumber) && !target.ContinueKeyAfterRows(table)) {
            *error = u"无法设置表 %1 的编号：%2"_s.arg(table, target.LastError());
            return false;
        }
    }
    std::optional<QList<TableSummary>> from = SummariseTables(source, error);
    if (!from)
        return false;
    std::optional<QList<TableSummary>> to = SummariseTables(target, error);
    if (!to)
        return false;
    report->source = *from;
    report->target = *to;
    for (const TableSummary& s : *from) {
        const auto match =
            std::find_if(to->begin(), to->end(), [&](const TableSummary& t) { return t.table == s.table; });
        if (match == to->end())
            report->differences << u"%1：目标数据库中没有此表"_s.arg(s.table);
        else if (!(*match == s))
            report->differences << u"%1：行数 %2 / %3，校验和不同"_s.arg(s.table).arg(s.rows).arg(match->rows);
    }
    for (const TableSummary& t : *to) {
        const bool inSource =
            std::any_of(from->begin(), from->end(), [&](const TableSummary& s) { return s.table == t.table; });
        // A table the new database brings that the source lacks (an older file's) stays empty.
        if (!inSource && t.rows > 0)
            report->differences << u"%1：源数据库中没有此表，目标中却有 %2 行"_s.arg(t.table).arg(t.rows);
    }
    if (!report->differences.isEmpty()) {
        *error = u"复制后两边不一致，已全部撤销：\n"_s + report->differences.join(QLatin1Char('\n'));
        return false;
    }
    return true;
}

bool MigrateFile(const QString& sourcePath, const QString& target, CopyReport* report, QString* error,
                 const CopyProgress& progress) {
    auto failed = [&](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    if (!QFileInfo(sourcePath).isFile())
        return failed(u"源数据库文件不存在：%1"_s.arg(QDir::toNativeSeparators(sourcePath)));
    if (target.isEmpty())
        return failed(u"没有给出目标数据库"_s);
    const bool server = IsServerTarget(target);
    if (!server && QFileInfo::exists(target))
        return failed(u"目标数据库不是空的：文件已存在：%1"_s.arg(QDir::toNativeSeparators(target)));
    DatabaseConnection source;
    if (!source.OpenDatabaseFile(sourcePath, kDatabasePassword, ConnectionSharing::Private)) {
        const QString why = source.LastError();
        return failed(why.startsWith(u"不是本程序的数据库文件"_s)
                          ? why
                          : u"无法打开源数据库（密码不对，或不是本程序的数据库文件）：%1"_s.arg(
                                QDir::toNativeSeparators(sourcePath)));
    }
    DatabaseConnection to;
    if (server && !to.OpenEmptyServer(target))
        return failed(u"迁移失败，目标数据库未写入：%1"_s.arg(to.LastError()));
    // One state of the source: writers wait until the copy is done.
    if (!source.BeginTransaction(TransactionMode::Snapshot))
        return failed(u"源数据库正忙：%1"_s.arg(source.LastError()));
    QString failure;
    bool written = false;
    if (server) {
        // The tables, the rows and the check in one transaction of the server: a copy that fails
        // or is killed leaves the database as empty as it was.
        written = to.BeginTransaction();
        if (!written)
            failure = to.LastError();
        else if (!to.CreateFixedTables()) {
            failure = to.LastError();
            written = false;
        } else
            written = CopyTables(source, to, report, &failure, progress);
        if (written && !to.CommitTransaction()) {
            failure = to.LastError();
            written = false;
        }
        if (!written)
            to.RollbackTransaction();
    } else {
        written = CopyToNewFile(source, target, {sourcePath}, report, &failure, progress);
    }
    source.RollbackTransaction();
    if (!written)
        return failed(u"迁移失败，目标数据库未写入：%1"_s.arg(failure));
    return true;
}

bool CopyToNewFile(DatabaseConnection& source, const QString& destination, const QStringList& alsoRefused,
                   CopyReport* report, QString* error, const CopyProgress& progress) {
    return WriteOutputFile(
        destination, alsoRefused,
        [&](const QString& temp, QString* why) {
            if (!WriteNewDatabase(temp, why))
                return false;
            bool copied = false;
            {
                DatabaseConnection to;
                if (!to.OpenDatabaseFile(temp, kDatabasePassword, ConnectionSharing::Private)) {
                    *why = to.LastError();
                    return false;
                }
                if (!to.BeginTransaction()) {
                    *why = to.LastError();
                    return false;
                }
                copied = CopyTables(source, to, report, why, progress) && to.CommitTransaction();
                if (!copied)
                    to.RollbackTransaction();
            }
            return copied && CheckDatabaseFile(temp, why);
        },
        error);
}

bool BackupSnapshot(DatabaseConnection& source, const QString& destination, QString* error, CopyReport* report) {
    CopyReport own;
    if (!report)
        report = &own;
    if (!source.BeginTransaction(TransactionMode::Snapshot)) {
        if (error)
            *error = u"数据库正忙，无法开始备份：%1"_s.arg(source.LastError());
        return false;
    }
    QString failure;
    const bool ok = CopyToNewFile(source, destination, {}, report, &failure);
    source.RollbackTransaction();
    if (!ok && error)
        *error = failure;
    return ok;
}

bool BackupTarget(const QString& target, const QString& destination, QString* error) {
    if (!IsServerTarget(target))
        return BackupDatabase(target, destination, error);
    DatabaseConnection server;
    if (!server.Open(target, kDatabasePassword, ConnectionSharing::Private)) {
        if (error)
            *error = server.LastError();
        return false;
    }
    return BackupSnapshot(server, destination, error);
}

QString DescribeCopy(const CopyReport& report) {
    QString out;
    for (const TableSummary& s : report.source) {
        const auto match = std::find_if(report.target.begin(), report.target.end(),
                                        [&](const TableSummary& t) { return t.table == s.table; });
        const QString targetRows = match == report.target.end() ? u"-"_s : QString::number(match->rows);
        const QString targetSum = match == report.target.end() ? u"-"_s : QString::fromLatin1(match->checksum.left(16));
        out += u"%1\t源 %2 行 %3\t目标 %4 行 %5\t%6\n"_s.arg(s.table).arg(s.rows).arg(
            QString::fromLatin1(s.checksum.left(16)), targetRows, targetSum,
            match != report.target.end() && *match == s ? u"一致"_s : u"不一致"_s);
    }
    return out;
}

} // namespace store
