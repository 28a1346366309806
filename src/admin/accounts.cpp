#include "accounts.h"

#include "store/sqltext.h"
#include "store/recordset.h"

#include <QDir>
#include <QFileInfo>

namespace admin {

namespace {

OperatorAccount readAccount(store::DatabaseConnection& db, int rs)
{
    OperatorAccount a;
    a.number = static_cast<qint64>(db.ReadField(rs, QStringLiteral("编号")).number());
    a.name = db.ReadField(rs, QStringLiteral("用户名")).text();
    a.password = db.ReadField(rs, QStringLiteral("密码")).text();
    a.rights.增删车辆 = db.ReadField(rs, QStringLiteral("增删车辆")).yesNo();
    a.rights.修改车辆信息 = db.ReadField(rs, QStringLiteral("修改车辆信息")).yesNo();
    a.rights.增加车辆信息 = db.ReadField(rs, QStringLiteral("增加车辆信息")).yesNo();
    a.rights.费用可见 = db.ReadField(rs, QStringLiteral("费用可见")).yesNo();
    a.rights.统计查询 = db.ReadField(rs, QStringLiteral("统计查询")).yesNo();
    a.rights.权限设置 = db.ReadField(rs, QStringLiteral("权限设置")).yesNo();
    return a;
}

// Counts the rows of 权限 matching a condition; -1 when the query fails.
int countWhere(store::DatabaseConnection& db, const QString& condition)
{
    const int rs = db.OpenRecordSet(QStringLiteral("select count(*) as[数量] from [权限]") + condition);
    if (rs == 0)
        return -1;
    store::RecordSetGuard rsGuard(db, rs);
    const int n = static_cast<int>(db.ReadField(rs, QStringLiteral("数量")).number());
    rsGuard.close();
    return n;
}

}  // namespace

std::optional<QList<OperatorAccount>> ListOperators(store::DatabaseConnection& db)
{
    const int rs = db.OpenRecordSet(QStringLiteral("select * from  权限"));
    if (rs == 0)
        return std::nullopt;
    store::RecordSetGuard rsGuard(db, rs);
    QList<OperatorAccount> accounts;
    for (db.MoveFirst(rs); !db.AtEnd(rs); db.MoveNext(rs))
        accounts << readAccount(db, rs);
    rsGuard.close();
    return accounts;
}

std::optional<OperatorAccount> ReadOperator(store::DatabaseConnection& db, qint64 number)
{
    const int rs = db.OpenRecordSet(QStringLiteral("select * from 权限 where [编号]=") + QString::number(number));
    if (rs == 0)
        return std::nullopt;
    store::RecordSetGuard rsGuard(db, rs);
    db.MoveFirst(rs);
    std::optional<OperatorAccount> account;
    if (!db.AtEnd(rs))
        account = readAccount(db, rs);
    rsGuard.close();
    return account;
}

int CountOperatorsNamed(store::DatabaseConnection& db, const QString& name, qint64 exceptNumber)
{
    QString condition = QStringLiteral(" where [用户名]='") + store::SqlText(name) + QStringLiteral("'");
    if (exceptNumber != 0)
        condition += QStringLiteral(" and [编号]<>") + QString::number(exceptNumber);
    return countWhere(db, condition);
}

bool InsertOperator(store::DatabaseConnection& db, const OperatorAccount& a)
{
    using store::SqlBool;
    const store::Permissions& r = a.rights;
    return db.ExecuteStatement(
        QStringLiteral("insert into 权限 ([用户名],[密码],[增删车辆],[修改车辆信息],[增加车辆信息],[费用可见],[统计查询],"
                       "[权限设置]) values ('") +
        store::SqlText(a.name) + QStringLiteral("','") + store::SqlText(a.password) + QStringLiteral("',") +
        QStringList{SqlBool(r.增删车辆), SqlBool(r.修改车辆信息), SqlBool(r.增加车辆信息), SqlBool(r.费用可见),
                    SqlBool(r.统计查询), SqlBool(r.权限设置)}
            .join(QLatin1Char(',')) +
        QStringLiteral(")"));
}

bool UpdateOperator(store::DatabaseConnection& db, qint64 number, const OperatorAccount& a)
{
    using store::SqlBool;
    const store::Permissions& r = a.rights;
    return db.ExecuteStatement(QStringLiteral("update 权限  set [用户名]='") + store::SqlText(a.name) +
                               QStringLiteral("',[密码]='") + store::SqlText(a.password) +
                               QStringLiteral("',[增删车辆]=") + SqlBool(r.增删车辆) +
                               QStringLiteral(",[修改车辆信息]=") + SqlBool(r.修改车辆信息) +
                               QStringLiteral(",[增加车辆信息]=") + SqlBool(r.增加车辆信息) +
                               QStringLiteral(",[费用可见]=") + SqlBool(r.费用可见) +
                               QStringLiteral(",[统计查询]=") + SqlBool(r.统计查询) +
                               QStringLiteral(",[权限设置]=") + SqlBool(r.权限设置) +
                               QStringLiteral(" where [编号]=") + QString::number(number));
}

bool DeleteOperator(store::DatabaseConnection& db, qint64 number)
{
    return db.ExecuteStatement(QStringLiteral("delete * from 权限 where [编号]=") + QString::number(number));
}

QString LockOutReasonForDelete(store::DatabaseConnection& db, qint64 number)
{
    const QString others = QStringLiteral(" where [编号]<>") + QString::number(number);
    const int remaining = countWhere(db, others);
    if (remaining < 0)
        return QStringLiteral("读取管理员名单失败，未删除。");
    if (remaining == 0)
        return QStringLiteral("不能删除最后一个管理员！至少要保留一个管理员账户，否则将无人能够登录。");
    const int administrators = countWhere(db, others + QStringLiteral(" and [权限设置]=true"));
    if (administrators < 0)
        return QStringLiteral("读取管理员名单失败，未删除。");
    if (administrators == 0)
        return QStringLiteral("不能删除此管理员！删除后将没有任何管理员拥有“权限设置可见”权限，无法再管理账户。");
    return {};
}

QString LockOutReasonForUpdate(store::DatabaseConnection& db, qint64 number, const store::Permissions& newRights)
{
    if (newRights.权限设置)
        return {};
    const int administrators =
        countWhere(db, QStringLiteral(" where [编号]<>") + QString::number(number) +
                           QStringLiteral(" and [权限设置]=true"));
    if (administrators < 0)
        return QStringLiteral("读取管理员名单失败，未保存。");
    if (administrators == 0)
        return QStringLiteral("不能取消此管理员的“权限设置可见”！否则将没有任何管理员能够管理账户。");
    return {};
}

std::optional<QStringList> ReadInsuranceKinds(store::DatabaseConnection& db)
{
    const int rs = db.OpenRecordSet(QStringLiteral("select 险种名称 from 险种名称 "));
    if (rs == 0)
        return std::nullopt;
    store::RecordSetGuard rsGuard(db, rs);
    QStringList names;
    for (db.MoveFirst(rs); !db.AtEnd(rs); db.MoveNext(rs)) {
        const QString name = db.ReadField(rs, QStringLiteral("险种名称")).text();
        if (!name.trimmed().isEmpty())
            names << name;
    }
    rsGuard.close();
    return names;
}

SaveKindsResult SaveInsuranceKinds(store::DatabaseConnection& db, const QStringList& names)
{
    if (!db.BeginTransaction())
        return SaveKindsResult::DeleteFailed;
    if (!db.ExecuteStatement(QStringLiteral("delete from [险种名称] "))) {
        db.RollbackTransaction();
        return SaveKindsResult::DeleteFailed;
    }
    for (const QString& name : names) {
        if (name.trimmed().isEmpty())
            continue;
        if (!db.ExecuteStatement(QStringLiteral("insert into 险种名称([险种名称]) values ('") + store::SqlText(name) +
                                 QStringLiteral("')"))) {
            db.RollbackTransaction();
            return SaveKindsResult::InsertFailed;
        }
    }
    if (!db.CommitTransaction())
        return SaveKindsResult::InsertFailed;
    return SaveKindsResult::Saved;
}

QString HelpDocumentPath(const QString& programDirectory)
{
    const QDir dir(programDirectory);
    const QString chm = dir.filePath(QStringLiteral("帮助.chm"));
    if (QFileInfo::exists(chm))
        return chm;
    return dir.filePath(QStringLiteral("帮助.html"));
}

}  // namespace admin
