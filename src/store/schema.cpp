#include "schema.h"

#include "company.h"
#include "target.h"

#include "database.h"
#include "engine.h"
#include "outputfile.h"
#include "translate.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#ifndef SQLITE_HAS_CODEC
#define SQLITE_HAS_CODEC 1
#endif
#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace store {

const QStringList& FixedTableNames() {
    static const QStringList names = {u"总表"_s, u"权限"_s, u"险种名称"_s, u"报险表"_s, u"yangbiao"_s};
    return names;
}

const QList<ColumnDef>& VehicleColumns() {
    using T = ColumnType;
    using G = Group;
    static const QList<ColumnDef> columns = {
        {"编号", T::Number, G::Key},
        {"档案编号", T::Text, G::Basic},
        {"车主姓名", T::Text, G::Basic},
        {"车主电话", T::Text, G::Basic},
        {"从业资格证号", T::Text, G::Basic},
        {"车主身份证号", T::Text, G::Basic},
        {"车主详细住址", T::Text, G::Basic},
        {"主车牌号", T::Text, G::Basic},
        {"挂车牌号", T::Text, G::Basic},
        {"买入日期", T::Date, G::Basic},
        {"主车架号", T::Text, G::Basic},
        {"挂车架号", T::Text, G::Basic},
        {"主车吨位", T::Text, G::Basic},
        {"挂车吨位", T::Text, G::Basic},
        {"主车品牌", T::Text, G::Basic},
        {"挂车品牌", T::Text, G::Basic},
        {"驾驶员A身份证号", T::Text, G::Basic},
        {"A姓名", T::Text, G::Basic},
        {"驾驶员B身份证号", T::Text, G::Basic},
        {"B姓名", T::Text, G::Basic},
        {"车辆颜色", T::Text, G::Basic},
        {"购车方式", T::Text, G::Basic},
        {"发动机号", T::Text, G::Basic},
        {"基本信息备注", T::Text, G::Basic},
        {"车辆状态", T::Text, G::Basic},
        {"车主身份证信息", T::Bytes, G::Basic},
        {"车辆照片信息", T::Bytes, G::Basic},
        {"车辆照片信息2", T::Bytes, G::Basic},
        {"行车证信息1", T::Bytes, G::Basic},
        {"行车证信息2", T::Bytes, G::Basic},
        {"下次审车日期", T::Date, G::Inspection},
        {"下次挂车审车日期", T::Date, G::Inspection},
        {"审车是否通知车主", T::Text, G::Inspection},
        {"审车应缴费用", T::Text, G::Inspection},
        {"审车已缴费用", T::Text, G::Inspection},
        {"审车缴费日期", T::Date, G::Inspection},
        {"审车备注", T::Text, G::Inspection},
        {"是否脱审", T::YesNo, G::Inspection},
        {"是否提醒主车审车", T::YesNo, G::Inspection},
        {"是否提醒挂车审车", T::YesNo, G::Inspection},
        {"审车车号", T::Text, G::Inspection},
        {"下次二维日期", T::Date, G::Maintenance},
        {"二维是否通知车主", T::Text, G::Maintenance},
        {"二维卡号", T::Text, G::Maintenance},
        {"二维应缴费用", T::Text, G::Maintenance},
        {"二维已缴费用", T::Text, G::Maintenance},
        {"二维缴费日期", T::Date, G::Maintenance},
        {"二维备注", T::Text, G::Maintenance},
        {"二维驻外", T::YesNo, G::Maintenance},
        {"是否脱维", T::YesNo, G::Maintenance},
        {"是否提醒二维", T::YesNo, G::Maintenance},
        {"二维车号", T::Text, G::Maintenance},
        {"下次保险日期", T::Date, G::Insurance},
        {"下次挂车保险日期", T::Date, G::Insurance},
        {"保险公司名称", T::Text, G::Insurance},
        {"投保险种", T::Text, G::Insurance},
        {"保单号", T::Text, G::Insurance},
        {"强险单号", T::Text, G::Insurance},
        {"挂车商险单号", T::Text, G::Insurance},
        {"挂车强险单号", T::Text, G::Insurance},
        {"交强险", T::Text, G::Insurance},
        {"车损", T::Text, G::Insurance},
        {"三责", T::Text, G::Insurance},
        {"人员", T::Text, G::Insurance},
        {"不计免赔", T::Text, G::Insurance},
        {"其他", T::Text, G::Insurance},
        {"保险应缴费用", T::Text, G::Insurance},
        {"保险已缴费用", T::Text, G::Insurance},
        {"保险缴费日期", T::Date, G::Insurance},
        {"保险备注", T::Text, G::Insurance},
        {"保险是否通知车主", T::Text, G::Insurance},
        {"是否脱保", T::YesNo, G::Insurance},
        {"是否提醒保险", T::YesNo, G::Insurance},
        {"是否提醒挂车保险", T::YesNo, G::Insurance},
        {"保险车号", T::Text, G::Insurance},
        {"下次管理费用日期", T::Date, G::ManagementFee},
        {"管理费是否通知车主", T::Text, G::ManagementFee},
        {"管理应缴费用", T::Text, G::ManagementFee},
        {"管理已缴费用", T::Text, G::ManagementFee},
        {"管理缴费日期", T::Date, G::ManagementFee},
        {"管理备注", T::Text, G::ManagementFee},
        {"是否脱管", T::YesNo, G::ManagementFee},
        {"是否提醒管理", T::YesNo, G::ManagementFee},
        {"管理车号", T::Text, G::ManagementFee},
        {"营运证办理日期", T::Date, G::OperatingPermit},
        {"下次营运证日期", T::Date, G::OperatingPermit},
        {"营运证是否通知车主", T::Text, G::OperatingPermit},
        {"营运证号", T::Text, G::OperatingPermit},
        {"是否驻内", T::Text, G::OperatingPermit},
        {"营运证应缴费用", T::Text, G::OperatingPermit},
        {"营运证已缴费用", T::Text, G::OperatingPermit},
        {"营运缴费日期", T::Date, G::OperatingPermit},
        {"营运证备注", T::Text, G::OperatingPermit},
        {"是否脱营", T::YesNo, G::OperatingPermit},
        {"是否提醒营运", T::YesNo, G::OperatingPermit},
        {"营运车号", T::Text, G::OperatingPermit},
    };
    return columns;
}

const QList<ColumnDef>& StorageColumns() {
    static const QList<ColumnDef> columns = [] {
        QList<ColumnDef> others;
        QList<ColumnDef> images;
        for (const ColumnDef& c : VehicleColumns())
            (c.type == ColumnType::Bytes ? images : others) << c;
        return others + images;
    }();
    return columns;
}

bool ImagesBeforeOtherColumns(const QStringList& storedColumns) {
    QSet<QString> images;
    for (const ColumnDef& c : VehicleColumns())
        if (c.type == ColumnType::Bytes)
            images.insert(c.name);
    bool imageSeen = false;
    for (const QString& name : storedColumns) {
        if (images.contains(name))
            imageSeen = true;
        else if (imageSeen)
            return true;
    }
    return false;
}

QString DataDirectory() {
    const QByteArray env = qgetenv("VELMORA_DATA_DIR");
    if (!env.isEmpty())
        return QDir(QString::fromLocal8Bit(env)).absolutePath();
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

QString DatabasePath() {
    const DatabaseTargetInfo target = DatabaseTarget();
    // A refused address is returned as it was named, and a server's text as it is: no file has that
    // name, so an opener that does not ask DatabaseTarget() first finds no database rather than
    // quietly opening another file.
    if (!target.ok())
        return qEnvironmentVariable("VELMORA_DATABASE");
    return target.text();
}

namespace {

QString columnSql(const ColumnDef& c, Dialect dialect = Dialect::SQLite) {
    QString name = QLatin1Char('"') + c.name + QLatin1Char('"');
    if (dialect == Dialect::PostgreSQL) {
        switch (c.type) {
        case ColumnType::Number:
            return name + QLatin1String(" integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY");
        case ColumnType::Text:
            return name + QLatin1String(" text");
        case ColumnType::Date:
            return name + QLatin1String(" date");
        case ColumnType::YesNo:
            return name + QLatin1String(" boolean DEFAULT false");
        case ColumnType::Bytes:
            return name + QLatin1String(" bytea");
        }
        return name;
    }
    switch (c.type) {
    case ColumnType::Number:
        return name + QLatin1String(" INTEGER PRIMARY KEY AUTOINCREMENT");
    case ColumnType::Text:
        return name + QLatin1String(" TEXT");
    case ColumnType::Date:
        // ISO text only: a value that is not a real calendar date is refused. date() of the text
        // alone echoes a day past the month's end (2026-02-30) on older SQLite; going through the
        // day number carries it into the next month, so only a real date comes back unchanged.
        return u"%1 DATE CHECK (%1 IS NULL OR coalesce(date(julianday(%1)) = %1, 0))"_s.arg(name);
    case ColumnType::YesNo:
        return name + QLatin1String(" YESNO DEFAULT 0");
    case ColumnType::Bytes:
        return name + QLatin1String(" BLOB");
    }
    return name;
}

// The fixed tables other than yangbiao, as one definition for both engines.
struct TableDef {
    QString name;
    QList<ColumnDef> columns;
    QStringList notNull;
};

const QList<TableDef>& otherFixedTables() {
    using T = ColumnType;
    const Group k = Group::Key;
    static const QList<TableDef> tables = {
        {u"总表"_s, {{"档案编号", T::Text, k}, {"车牌号", T::Text, k}}, {}},
        {u"权限"_s,
         {{"编号", T::Number, k},
          {"用户名", T::Text, k},
          {"密码", T::Text, k},
          {"增删车辆", T::YesNo, k},
          {"修改车辆信息", T::YesNo, k},
          {"增加车辆信息", T::YesNo, k},
          {"费用可见", T::YesNo, k},
          {"统计查询", T::YesNo, k},
          {"权限设置", T::YesNo, k}},
         {}},
        {u"险种名称"_s, {{"险种名称", T::Text, k}}, {}},
        {u"报险表"_s,
         {{"编号", T::Number, k},
          {"报险日期", T::Date, k},
          {"主车牌号", T::Text, k},
          {"车主姓名", T::Text, k},
          {"车主电话", T::Text, k},
          {"保险公司名称", T::Text, k},
          {"保单号", T::Text, k},
          {"理赔金额", T::Text, k},
          {"是否结案", T::YesNo, k},
          {"备注", T::Text, k}},
         {u"报险日期"_s}},
    };
    return tables;
}

QString createTable(const QString& name, const QList<ColumnDef>& columns, const QStringList& notNull, Dialect dialect) {
    QStringList cols;
    for (const ColumnDef& c : columns)
        cols << columnSql(c, dialect) + (notNull.contains(c.name) ? QLatin1String(" NOT NULL") : QLatin1String(""));
    return u"CREATE TABLE \"%1\" (%2)"_s.arg(name, cols.join(QLatin1String(", ")));
}

// The fixed tables (yangbiao first, its images last unless the older layout is asked for), on the
// server the indexes the lookups by plate and period use, the initial operator and a few kinds.
QStringList schemaStatements(TableLayout layout, Dialect dialect = Dialect::SQLite) {
    QStringList sql;
    sql << createTable(u"yangbiao"_s, layout == TableLayout::ImagesLast ? StorageColumns() : VehicleColumns(), {},
                       dialect);
    for (const TableDef& t : otherFixedTables())
        sql << createTable(t.name, t.columns, t.notNull, dialect);
    // Of every database, new or made from a file by migrate; older files gain it at their first write.
    sql << u"CREATE TABLE \"车辆版本\" (\"车牌号\" TEXT PRIMARY KEY NOT NULL, \"版本\" INTEGER NOT NULL DEFAULT 0)"_s;
    // The company's details (notices print them); older files gain the table at its first save.
    sql << u"CREATE TABLE \"公司信息\" (\"编号\" INTEGER PRIMARY KEY, \"公司名称\" TEXT, \"地址\" TEXT, \"电话\" TEXT)"_s;
    // On the server only: the file's readers take rows in table order, which SQLite would leave
    // for an index's order; the server's selects name their order (see translate.h).
    if (dialect == Dialect::PostgreSQL) {
        sql << u"CREATE INDEX \"总表_车牌号\" ON \"总表\" (\"车牌号\")"_s;
        sql << u"CREATE INDEX \"总表_档案编号\" ON \"总表\" (\"档案编号\")"_s;
        sql << u"CREATE INDEX \"报险表_报险日期\" ON \"报险表\" (\"报险日期\")"_s;
    }
    QStringList seed;
    seed << u"insert into [权限]([用户名],[密码],[增删车辆],[修改车辆信息],[增加车辆信息],[费用可见],[统计查询],"
            u"[权限设置]) values('%1','%2',true,true,true,true,true,true)"_s.arg(kInitialOperator, kInitialPassword);
    for (const char* kind : {"交强险", "商业险", "车辆损失险", "第三者责任险", "车上人员责任险", "不计免赔险"})
        seed << u"insert into [险种名称]([险种名称]) values('%1')"_s.arg(QString::fromUtf8(kind));
    for (const QString& statement : seed)
        sql << TranslateStatement(statement, {}, dialect).statements;
    return sql;
}

} // namespace

QStringList SchemaStatements(TableLayout layout, Dialect dialect) {
    return schemaStatements(layout, dialect);
}

bool CreateServerDatabase(const QString& target, QString* error) {
    QString failure;
    if (!detail::CreateServerSchema(target, schemaStatements(TableLayout::ImagesLast, Dialect::PostgreSQL), failure)) {
        if (error)
            *error = failure;
        return false;
    }
    return true;
}

bool WriteNewDatabase(const QString& path, QString* error, TableLayout layout) {
    auto setError = [&](const QString& e) {
        if (error)
            *error = e;
        return false;
    };
    sqlite3* db = nullptr;
    const QByteArray file = QFile::encodeName(path);
    if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return setError(u"无法创建数据库文件：%1"_s.arg(path));
    }
    const QByteArray key = kDatabasePassword.toUtf8();
    sqlite3_key(db, key.constData(), int(key.size()));
    QString failure;
    QStringList statements = schemaStatements(layout, Dialect::SQLite);
    statements.prepend(u"BEGIN"_s);
    statements << u"COMMIT"_s;
    for (const QString& s : statements) {
        char* err = nullptr;
        if (sqlite3_exec(db, s.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK) {
            failure = QString::fromUtf8(err ? err : "unknown error");
            sqlite3_free(err);
            break;
        }
    }
    sqlite3_close(db);
    if (!failure.isEmpty())
        return setError(u"创建数据库失败：%1"_s.arg(failure));
    return true;
}

bool CreateDatabase(const QString& path, QString* error, TableLayout layout) {
    if (QFileInfo::exists(path)) {
        if (error)
            *error = u"数据库文件已存在，不会覆盖：%1"_s.arg(path);
        return false;
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        if (error)
            *error = u"无法创建目录：%1"_s.arg(QFileInfo(path).absolutePath());
        return false;
    }
    // Built under the temporary name of every output file, then given its name: a half-made file
    // never carries the real name, and one left by a killed init or migrate goes with the next.
    return WriteNewFile(
        path, [layout](const QString& temp, QString* why) { return WriteNewDatabase(temp, why, layout); }, error);
}

} // namespace store
