#pragma once

#include <QString>

#include <functional>

using namespace Qt::StringLiterals;

namespace store {

class DatabaseConnection;

// The copy velmora-cli upgrade writes beside the database before it changes anything.
inline const QString kUpgradeBackupFileName = u"clxx升级前备份.mdb"_s;

// True when the open file still stores yangbiao with the image columns among the others (a file
// made before they were moved last). Looks at yangbiao's stored column list only.
bool HasOldTableLayout(DatabaseConnection& db);

struct UpgradeReport {
    int tablesRewritten = 0; // yangbiao and the vehicle tables that were in the old layout
    QString backupPath;      // the copy written before anything changed
};

// Rewrites yangbiao and every vehicle table whose image columns are not last into the layout of
// new files: same column definitions, rows, 编号 values and AUTOINCREMENT counter, indexes
// recreated; the file keeps its password. First writes a consistent, checked copy of the file
// to backupPath; then rewrites all tables in one transaction, which commits only after
// "PRAGMA integrity_check" of the result reads ok. On any failure the file is left as it was.
// beforeStatement, when given, sees each statement of the rewrite before it runs; returning
// false fails that statement (used to check that a failure midway leaves the file whole).
bool UpgradeDatabase(const QString& path, const QString& backupPath, UpgradeReport* report, QString* error,
                     const std::function<bool(const QString&)>& beforeStatement = {});

} // namespace store
