#pragma once

#include "store/database.h"
#include "store/session.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace admin {

// One row of 权限: an operator's sign-in name, password and six rights.
struct OperatorAccount {
    qint64 number = 0; // 编号
    QString name;      // 用户名
    QString password;  // 密码, as typed
    store::Permissions rights;
};

// Every account in table order; nothing when the query fails.
std::optional<QList<OperatorAccount>> ListOperators(store::DatabaseConnection& db);
// The account with the given 编号; nothing when the query fails or no such account exists.
std::optional<OperatorAccount> ReadOperator(store::DatabaseConnection& db, qint64 number);

// How many accounts hold the name, leaving out the account numbered exceptNumber (0 leaves out
// none, as for a new account). -1 when the query fails.
int CountOperatorsNamed(store::DatabaseConnection& db, const QString& name, qint64 exceptNumber = 0);

bool InsertOperator(store::DatabaseConnection& db, const OperatorAccount& account);
bool UpdateOperator(store::DatabaseConnection& db, qint64 number, const OperatorAccount& account);
bool DeleteOperator(store::DatabaseConnection& db, qint64 number);

// Why a change must not be made because nobody could administer the accounts afterwards;
// empty when the change is safe. A failed query counts as unsafe, so nothing is written blind.
QString LockOutReasonForDelete(store::DatabaseConnection& db, qint64 number);
QString LockOutReasonForUpdate(store::DatabaseConnection& db, qint64 number, const store::Permissions& newRights);

// The insurance kinds as stored, in table order, blank names left out (a blank row in the table
// hides nothing that follows it). Nothing when the query fails.
std::optional<QStringList> ReadInsuranceKinds(store::DatabaseConnection& db);

enum class SaveKindsResult { Saved, DeleteFailed, InsertFailed };

// Replaces the table by the given names in their order, blank names skipped, as one unit: when
// any statement fails the stored names stay exactly as they were.
SaveKindsResult SaveInsuranceKinds(store::DatabaseConnection& db, const QStringList& names);

// The help document beside the program: 帮助.chm when it is there, else the shipped 帮助.html.
QString HelpDocumentPath(const QString& programDirectory);

} // namespace admin
