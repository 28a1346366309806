#include "accounts.h"

#include "store/recordset.h"
#include "store/sqltext.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace admin {

namespace {

OperatorAccount readAccount(store::DatabaseConnection& db, int rs) {
    OperatorAccount a;
    a.number = static_cast<qint64>(db.ReadField(rs, u"编号"_s).number());
    a.name = db.ReadField(rs, u"用户名"_s).text();
    a.password = db.ReadField(rs, u"密码"_s).text();
    a.rights.增删车辆 = db.ReadField(rs, u"增删车辆"_s).yesNo();
    a.rights.修改车辆信息 = db.ReadField(rs, u"修改车辆信息"_s).yesNo();
    a.rights.增加车辆信息 = db.ReadField(rs, u"增加车辆信息"_s).yesNo();
    a.rights.费用可见 = db.ReadField(rs, u"费用可见"_s).yesNo();
    a.rights.统计查询 = db.ReadField(rs, u"统计查询"_s).yesNo();
    a.rights.权限设置 = db.ReadField(rs, u"权限设置"_s).yesNo();
    return a;
}

// Counts the rows of 权限 matching a condition; -1 when the query fails.
int countWhere(store::DatabaseConnection& db, const QString& condition) {
    const int rs = db.OpenRecordSet(u"select count(*) as[数量] from [权限]"_s + condition);
    if (rs == 0)
        return -1;
    store::RecordSetGuard rsGuard(db, rs);
    const int n = static_cast<int>(db.ReadField(rs, u"数量"_s).number());
    rsGuard.close();
    return n;
}

} // namespace

std::optional<QList<OperatorAccount>> ListOperators(store::DatabaseConnection& db) {
    const int rs = db.OpenRecordSet(u"select * from  权限"_s);
    if (rs == 0)
        return std::nullopt;
    store::RecordSetGuard rsGuard(db, rs);
    QList<OperatorAccount> accounts;
    for (db.MoveFirst(rs); !db.AtEnd(rs); db.MoveNext(rs))
        accounts << readAccount(db, rs);
    rsGuard.close();
    return accounts;
}

std::optional<OperatorAccount> ReadOperator(store::DatabaseConnection& db, qint64 number) {
    const int rs = db.OpenRecordSet(u"select * from 权限 where [编号]="_s + QString::number(number));
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

int CountOperatorsNamed(store::DatabaseConnection& db, const QString& name, qint64 exceptNumber) {
    QString condition = u" where [用户名]='"_s + store::SqlText(name) + u"'"_s;
    if (exceptNumber != 0)
        condition += u" and [编号]<>"_s + QString::number(exceptNumber);
    return countWhere(db, condition);
}

bool InsertOperator(store::DatabaseConnection& db, const OperatorAccount& a) {
    using store::SqlBool;
    const store::Permissions& r = a.rights;
    return db.ExecuteStatement(
        u"insert into 权限 ([用户名],[密码],[增删车辆],[修改车辆信息],[增加车辆信息],[费用可见],[统计查询],"
        u"[权限设置]) values ('"_s +
        store::SqlText(a.name) + u"','"_s + store::SqlText(a.password) + u"',"_s +
        QStringList{SqlBool(r.增删车辆), SqlBool(r.修改车辆信息), SqlBool(r.增加车辆信息), SqlBool(r.费用可见),
                    SqlBool(r.统计查询), SqlBool(r.权限设置)}
            .join(QLatin1Char(',')) +
        u")"_s);
}

bool UpdateOperator(store::DatabaseConnection& db, qint64 number, const OperatorAccount& a) {
    using store::SqlBool;
    const store::Permissions& r = a.rights;
    return db.ExecuteStatement(
        u"update 权限  set [用户名]='"_s + store::SqlText(a.name) + u"',[密码]='"_s + store::SqlText(a.password) +
        u"',[增删车辆]="_s + SqlBool(r.增删车辆) + u",[修改车辆信息]="_s + SqlBool(r.修改车辆信息) +
        u",[增加车辆信息]="_s + SqlBool(r.增加车辆信息) + u",[费用可见]="_s + SqlBool(r.费用可见) + u",[统计查询]="_s +
        SqlBool(r.统计查询) + u",[权限设置]="_s + SqlBool(r.权限设置) + u" where [编号]="_s + QString::number(number));
}

bool DeleteOperator(store::DatabaseConnection& db, qint64 number) {
    return db.ExecuteStatement(u"delete * from 权限 where [编号]="_s + QString::number(number));
}

QString LockOutReasonForDelete(store::DatabaseConnection& db, qint64 number) {
    const QString others = u" where [编号]<>"_s + QString::number(number);
    const int remaining = countWhere(db, others);
    if (remaining < 0)
        return u"读取管理员名单失败，未删除。"_s;
    if (remaining == 0)
        return u"不能删除最后一个管理员！至少要保留一个管理员账户，否则将无人能够登录。"_s;
    const int administrators = countWhere(db, others + u" and [权限设置]=true"_s);
    if (administrators < 0)
        return u"读取管理员名单失败，未删除。"_s;
    if (administrators == 0)
        return u"不能删除此管理员！删除后将没有任何管理员拥有“权限设置可见”权限，无法再管理账户。"_s;
    return {};
}

QString LockOutReasonForUpdate(store::DatabaseConnection& db, qint64 number, const store::Permissions& newRights) {
    if (newRights.权限设置)
        return {};
    const int administrators =
        countWhere(db, u" where [编号]<>"_s + QString::number(number) + u" and [权限设置]=true"_s);
    if (administrators < 0)
        return u"读取管理员名单失败，未保存。"_s;
    if (administrators == 0)
        return u"不能取消此管理员的“权限设置可见”！否则将没有任何管理员能够管理账户。"_s;
    return {};
}

std::optional<QStringList> ReadInsuranceKinds(store::DatabaseConnection& db) {
    const int rs = db.OpenRecordSet(u"select 险种名称 from 险种名称 "_s);
    if (rs == 0)
        return std::nullopt;
    store::RecordSetGuard rsGuard(db, rs);
    QStringList names;
    for (db.MoveFirst(rs); !db.AtEnd(rs); db.MoveNext(rs)) {
        const QString name = db.ReadField(rs, u"险种名称"_s).text();
        if (!name.trimmed().isEmpty())
            names << name;
    }
    rsGuard.close();
    return names;
}

SaveKindsResult SaveInsuranceKinds(store::DatabaseConnection& db, const QStringList& names) {
    if (!db.BeginTransaction())
        return SaveKindsResult::DeleteFailed;
    if (!db.ExecuteStatement(u"delete from [险种名称] "_s)) {
        db.RollbackTransaction();
        return SaveKindsResult::DeleteFailed;
    }
    for (const QString& name : names) {
        if (name.trimmed().isEmpty())
            continue;
        if (!db.ExecuteStatement(u"insert into 险种名称([险种名称]) values ('"_s + store::SqlText(name) + u"')"_s)) {
            db.RollbackTransaction();
            return SaveKindsResult::InsertFailed;
        }
    }
    if (!db.CommitTransaction())
        return SaveKindsResult::InsertFailed;
    return SaveKindsResult::Saved;
}

QString HelpDocumentPath(const QString& programDirectory) {
    const QDir dir(programDirectory);
    QString chm = dir.filePath(u"帮助.chm"_s);
    if (QFileInfo::exists(chm))
        return chm;
    return dir.filePath(u"帮助.html"_s);
}

} // namespace admin
