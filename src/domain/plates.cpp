#include "domain/plates.h"

#include <QSet>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace domain {

QString PlateRefusal(const QString& plate) {
    if (plate.isEmpty())
        return u"请输入主车车牌号！"_s;
    // The program's own tables and the database's internal ones are never a vehicle table: a
    // delete or drop under such a name would destroy them.
    if (IsFixedTableName(plate))
        return u"主车牌号“"_s + plate + u"”是数据库的固定表名，不能作为车牌号使用！"_s;
    for (const QChar c : plate) {
        if (!c.isLetterOrNumber())
            return u"主车牌号只能由汉字、字母和数字组成，不能含有空格、引号、括号、分号等符号！"_s;
    }
    // A name that starts with a digit reads as a number where the plate stands bare.
    if (plate.at(0).isDigit())
        return u"主车牌号不能以数字开头！"_s;
    // An SQL word standing bare would be read as that word, not as a table name.
    if (IsSqlKeyword(plate))
        return u"主车牌号“"_s + plate + u"”是数据库的保留字，不能作为车牌号使用！"_s;
    return {};
}

bool IsFixedTableName(const QString& name) {
    static const QStringList fixed = {u"总表"_s, u"权限"_s, u"险种名称"_s, u"报险表"_s, u"yangbiao"_s, u"公司信息"_s};
    for (const QString& f : fixed)
        if (name.compare(f, Qt::CaseInsensitive) == 0)
            return true;
    return name.startsWith(u"sqlite_"_s, Qt::CaseInsensitive);
}

bool IsSqlKeyword(const QString& word) {
    // The words SQLite reserves, and the Jet words the statements of this program use.
    static const QSet<QString> keywords = [] {
        const char* const list[] = {"ABORT",
                                    "ACTION",
                                    "ADD",
                                    "AFTER",
                                    "ALL",
                                    "ALTER",
                                    "ALWAYS",
                                    "ANALYZE",
                                    "AND",
                                    "AS",
                                    "ASC",
                                    "ATTACH",
                                    "AUTOINCREMENT",
                                    "BEFORE",
                                    "BEGIN",
                                    "BETWEEN",
                                    "BY",
                                    "CASCADE",
                                    "CASE",
                                    "CAST",
                                    "CHECK",
                                    "COLLATE",
                                    "COLUMN",
                                    "COMMIT",
                                    "CONFLICT",
                                    "CONSTRAINT",
                                    "CREATE",
                                    "CROSS",
                                    "CURRENT",
                                    "CURRENT_DATE",
                                    "CURRENT_TIME",
                                    "CURRENT_TIMESTAMP",
                                    "DATABASE",
                                    "DEFAULT",
                                    "DEFERRABLE",
                                    "DEFERRED",
                                    "DELETE",
                                    "DESC",
                                    "DETACH",
                                    "DISTINCT",
                                    "DO",
                                    "DROP",
                                    "EACH",
                                    "ELSE",
                                    "END",
                                    "ESCAPE",
                                    "EXCEPT",
                                    "EXCLUDE",
                                    "EXCLUSIVE",
                                    "EXISTS",
                                    "EXPLAIN",
                                    "FAIL",
                                    "FALSE",
                                    "FILTER",
                                    "FIRST",
                                    "FOLLOWING",
                                    "FOR",
                                    "FOREIGN",
                                    "FROM",
                                    "FULL",
                                    "GENERATED",
                                    "GLOB",
                                    "GROUP",
                                    "GROUPS",
                                    "HAVING",
                                    "IF",
                                    "IGNORE",
                                    "IMMEDIATE",
                                    "IN",
                                    "INDEX",
                                    "INDEXED",
                                    "INITIALLY",
                                    "INNER",
                                    "INSERT",
                                    "INSTEAD",
                                    "INTERSECT",
                                    "INTO",
                                    "IS",
                                    "ISNULL",
                                    "JOIN",
                                    "KEY",
                                    "LAST",
                                    "LEFT",
                                    "LIKE",
                                    "LIMIT",
                                    "MATCH",
                                    "MATERIALIZED",
                                    "NATURAL",
                                    "NO",
                                    "NOT",
                                    "NOTHING",
                                    "NOTNULL",
                                    "NULL",
                                    "NULLS",
                                    "OF",
                                    "OFFSET",
                                    "ON",
                                    "OR",
                                    "ORDER",
                                    "OTHERS",
                                    "OUTER",
                                    "OVER",
                                    "PARTITION",
                                    "PLAN",
                                    "PRAGMA",
                                    "PRECEDING",
                                    "PRIMARY",
                                    "PRIMARYKEY",
                                    "QUERY",
                                    "RAISE",
                                    "RANGE",
                                    "RECURSIVE",
                                    "REFERENCES",
                                    "REGEXP",
                                    "REINDEX",
                                    "RELEASE",
                                    "RENAME",
                                    "REPLACE",
                                    "RESTRICT",
                                    "RETURNING",
                                    "RIGHT",
                                    "ROLLBACK",
                                    "ROW",
                                    "ROWID",
                                    "ROWS",
                                    "SAVEPOINT",
                                    "SELECT",
                                    "SET",
                                    "TABLE",
                                    "TEMP",
                                    "TEMPORARY",
                                    "THEN",
                                    "TIES",
                                    "TO",
                                    "TOP",
                                    "TRANSACTION",
                                    "TRIGGER",
                                    "TRUE",
                                    "UNBOUNDED",
                                    "UNION",
                                    "UNIQUE",
                                    "UPDATE",
                                    "USING",
                                    "VACUUM",
                                    "VALUES",
                                    "VIEW",
                                    "VIRTUAL",
                                    "WHEN",
                                    "WHERE",
                                    "WINDOW",
                                    "WITH",
                                    "WITHOUT",
                                    "YES"};
        QSet<QString> set;
        for (const char* k : list)
            set.insert(QString::fromLatin1(k));
        return set;
    }();
    return keywords.contains(word.toUpper());
}

int GbkLength(const QString& text) {
    int bytes = 0;
    for (const uint c : text.toUcs4())
        bytes += c < 0x80 ? 1 : 2;
    return bytes;
}

bool PlateLengthPlausible(const QString& plate) {
    const int n = GbkLength(plate);
    return n >= 8 && n <= 9;
}

} // namespace domain
