#include "store/company.h"

#include "store/database.h"
#include "store/recordset.h"
#include "store/sqltext.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace store {

namespace {

const QStringList& companyColumns() {
    static const QStringList columns = {u"公司名称"_s, u"地址"_s, u"电话"_s};
    return columns;
}

bool fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}

// The table is ours only with all three columns: a vehicle table of that name would have none.
bool shapedAsCompanyTable(const QStringList& stored) {
    for (const QString& c : companyColumns())
        if (!stored.contains(c))
            return false;
    return true;
}

} // namespace

QString CompanyTableStatement() {
    return u"create table [公司信息] ([编号] integer primary key, [公司名称] text, [地址] text, [电话] text)"_s;
}

bool ReadCompanyDetails(DatabaseConnection& db, CompanyDetails* details, QString* error) {
    *details = {};
    const QStringList stored = db.StoredColumns(kCompanyTable);
    if (stored.isEmpty())
        return true;
    if (!shapedAsCompanyTable(stored))
        return fail(error, u"表“公司信息”不是公司信息表"_s);
    const RecordSetGuard rs(db, u"select [公司名称],[地址],[电话] from [公司信息] order by [编号]"_s);
    if (!rs.ok())
        return fail(error, db.LastError());
    const int h = rs.handle();
    if (!db.AtEnd(h)) {
        details->公司名称 = db.ReadField(h, u"公司名称"_s).text();
        details->地址 = db.ReadField(h, u"地址"_s).text();
        details->电话 = db.ReadField(h, u"电话"_s).text();
    }
    return true;
}

bool SaveCompanyDetails(DatabaseConnection& db, const CompanyDetails& details, QString* error) {
    const QStringList stored = db.StoredColumns(kCompanyTable);
    if (!stored.isEmpty() && !shapedAsCompanyTable(stored))
        return fail(error, u"表“公司信息”不是公司信息表"_s);
    if (!db.BeginTransaction())
        return fail(error, db.LastError());
    const QStringList statements = {
        stored.isEmpty() ? CompanyTableStatement() : QString(),
        u"delete * from [公司信息]"_s,
        u"insert into [公司信息] ([编号],[公司名称],[地址],[电话]) values (1,'"_s + SqlText(details.公司名称) +
            u"','"_s + SqlText(details.地址) + u"','"_s + SqlText(details.电话) + u"')"_s,
    };
    for (const QString& statement : statements) {
        if (statement.isEmpty())
            continue;
        if (!db.ExecuteStatement(statement)) {
            const QString reason = db.LastError();
            db.RollbackTransaction();
            return fail(error, reason);
        }
    }
    if (!db.CommitTransaction())
        return fail(error, db.LastError());
    return true;
}

} // namespace store
