#pragma once

#include <QString>

using namespace Qt::StringLiterals;

namespace store {

class DatabaseConnection;

// The company's own details, printed at the top of every owner notice. One row of a table of their
// own; a file made before the table existed has none until the details are first saved.
inline const QString kCompanyTable = u"公司信息"_s;

struct CompanyDetails {
    QString 公司名称;
    QString 地址;
    QString 电话;
    bool operator==(const CompanyDetails&) const = default;
};

// The statement that makes the table (new files get it with the others).
QString CompanyTableStatement();

// The stored details; empty details when the file has no such table yet. False (with the reason
// in *error) only when the table is there but cannot be read.
bool ReadCompanyDetails(DatabaseConnection& db, CompanyDetails* details, QString* error = nullptr);

// Replaces the stored details, making the table first in a file that has none: all in one
// transaction, so a failure leaves the file as it was.
bool SaveCompanyDetails(DatabaseConnection& db, const CompanyDetails& details, QString* error = nullptr);

} // namespace store
