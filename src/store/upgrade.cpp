#include "upgrade.h"

#include "backup.h"
#include "company.h"
#include "database.h"
#include "schema.h"

#include <QFile>
#include <QSet>
#include <QStringList>

#ifndef SQLITE_HAS_CODEC
#define SQLITE_HAS_CODEC 1
#endif
#include <sqlite3.h>

#include <optional>

using namespace Qt::StringLiterals;

namespace store {

namespace {

// Tables of the program that are not shaped like yangbiao and are never rewritten.
const QStringList& otherFixedTables() {
    static const QStringList names = {u"总表"_s, u"权限"_s, u"险种名称"_s, u"报险表"_s, u"车辆版本"_s, kCompanyTable};
    return names;
}

QString quoted(const QString& name) {
    return u"\""_s + QString(name).replace(u"\""_s, u"\"\""_s) + u"\""_s;
}

QString sqlLiteral(const QString& text) {
    return u"'"_s + QString(text).replace(u"'"_s, u"''"_s) + u"'"_s;
}

// Closes the connection when the scope ends, however it ends.
struct Connection {
    sqlite3* db = nullptr;
    ~Connection() { sqlite3_close(db); }

    QString error() const { return QString::fromUtf8(sqlite3_errmsg(db)); }

    // Runs a query and returns its rows as text, or nothing on failure.
    std::optional<QList<QStringList>> rows(const QString& sql) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
            return std::nullopt;
        QList<QStringList> out;
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            QStringList row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
                row << (text ? QString::fromUtf8(text) : QString());
            }
            out << row;
        }
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE)
            return std::nullopt;
        return out;
    }
};

// The definitions between the outer parentheses of a CREATE TABLE text, split at the commas
// that are outside parentheses and quotes.
QStringList definitionsOf(const QString& createSql) {
    QStringList parts;
    const qsizetype open = createSql.indexOf(u'(');
    const qsizetype close = createSql.lastIndexOf(u')');
    if (open < 0 || close <= open)
        return parts;
    int depth = 0;
    QChar quote;
    QString current;
    for (qsizetype i = open + 1; i < close; ++i) {
        const QChar c = createSql.at(i);
        current += c;
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'"' || c == u'\'' || c == u'`')
            quote = c;
        else if (c == u'[')
            quote = u']';
        else if (c == u'(')
            ++depth;
        else if (c == u')')
            --depth;
        else if (c == u',' && depth == 0) {
            current.chop(1);
            parts << current.trimmed();
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        parts << current.trimmed();
    return parts;
}

// The column a definition names, or an empty string for a table constraint.
QString definedColumn(const QString& definition) {
    if (definition.isEmpty())
        return {};
    const QChar first = definition.at(0);
    const QChar end = first == u'[' ? u']' : first;
    if (first == u'"' || first == u'`' || first == u'[' || first == u'\'') {
        QString name;
        for (qsizetype i = 1; i < definition.size(); ++i) {
            const QChar c = definition.at(i);
            if (c == end) {
                if (end != u']' && i + 1 < definition.size() && definition.at(i + 1) == end) {
                    name += c;
                    ++i;
                    continue;
                }
                return name;
            }
            name += c;
        }
        return name;
    }
    QString word = definition.section(u' ', 0, 0).section(u'(', 0, 0);
    static const QStringList constraints = {u"constraint"_s, u"primary"_s, u"unique"_s, u"check"_s, u"foreign"_s};
    if (constraints.contains(word.toLower()))
        return {};
    return word;
}

QSet<QString> imageColumns() {
    QSet<QString> images;
    for (const ColumnDef& c : VehicleColumns())
        if (c.type == ColumnType::Bytes)
            images.insert(c.name);
    return images;
}

struct TableToRewrite {
    QString name;
    QString createSql;
    QStringList columns; // in stored order
};

} // namespace

bool HasOldTableLayout(DatabaseConnection& db) {
    return ImagesBeforeOtherColumns(db.StoredColumns(u"yangbiao"_s));
}

bool UpgradeDatabase(const QString& path, const QString& backupPath, UpgradeReport* report, QString* error,
                     const std::function<bool(const QString&)>& beforeStatement) {
    UpgradeReport local;
    UpgradeReport& out = report ? *report : local;
    QString localError;
    QString& failure = error ? *error : localError;
    out = {};

    if (!QFile::exists(path)) {
        failure = u"数据库丢失！"_s;
        return false;
    }
    Connection c;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &c.db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        failure = c.db ? c.error() : u"数据库打开失败！"_s;
        return false;
    }
    const QByteArray key = kDatabasePassword.toUtf8();
    sqlite3_key(c.db, key.constData(), int(key.size()));
    sqlite3_busy_timeout(c.db, 5000);

    const auto tables =
        c.rows(u"SELECT name, sql FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"_s);
    if (!tables) {
        failure = c.error();
        return false;
    }
    QList<TableToRewrite> todo;
    bool templateFound = false;
    for (const QStringList& t : *tables) {
        if (otherFixedTables().contains(t.at(0)))
            continue;
        const auto info = c.rows(u"PRAGMA table_info("_s + quoted(t.at(0)) + u")"_s);
        if (!info) {
            failure = c.error();
            return false;
        }
        TableToRewrite table{t.at(0), t.at(1), {}};
        for (const QStringList& column : *info)
            table.columns << column.at(1);
        if (table.name == u"yangbiao"_s)
            templateFound = true;
        if (ImagesBeforeOtherColumns(table.columns))
            todo << table;
    }
    if (!templateFound) {
        failure = u"数据库中没有 yangbiao 表"_s;
        return false;
    }
    if (todo.isEmpty())
        return true;

    // A whole copy first: whatever happens next, the data as it was is kept beside the file.
    if (!BackupDatabase(path, backupPath, &failure))
        return false;
    out.backupPath = backupPath;

    auto exec = [&](const QString& sql) {
        if (beforeStatement && !beforeStatement(sql)) {
            failure = u"升级语句失败：%1"_s.arg(sql.left(80));
            return false;
        }
        char* message = nullptr;
        if (sqlite3_exec(c.db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
            failure = QString::fromUtf8(message ? message : "unknown error");
            sqlite3_free(message);
            return false;
        }
        return true;
    };
    if (!exec(u"BEGIN IMMEDIATE"_s))
        return false;
    auto abandon = [&] {
        sqlite3_exec(c.db, "ROLLBACK", nullptr, nullptr, nullptr);
        out.tablesRewritten = 0;
        return false;
    };

    const QSet<QString> images = imageColumns();
    const bool hasSequence = c.rows(u"SELECT 1 FROM sqlite_master WHERE type='table' AND name='sqlite_sequence'"_s)
                                 .value_or(QList<QStringList>{})
                                 .size() == 1;
    int serial = 0;
    for (const TableToRewrite& t : std::as_const(todo)) {
        const QStringList definitions = definitionsOf(t.createSql);
        QStringList others, imageDefs, constraints;
        for (const QString& d : definitions) {
            const QString column = definedColumn(d);
            if (column.isEmpty())
                constraints << d;
            else if (images.contains(column))
                imageDefs << d;
            else
                others << d;
        }
        if (others.size() + imageDefs.size() != t.columns.size()) {
            failure = u"无法解析表 %1 的定义"_s.arg(t.name);
            return abandon();
        }
        QString temporary;
        do {
            temporary = u"velmora_upgrade_%1"_s.arg(++serial);
        } while (c.rows(u"SELECT 1 FROM sqlite_master WHERE name="_s + sqlLiteral(temporary))
                     .value_or(QList<QStringList>{})
                     .size() > 0);

        const auto dependents = c.rows(u"SELECT sql FROM sqlite_master WHERE type IN ('index','trigger') AND "
                                       "tbl_name="_s +
                                       sqlLiteral(t.name) + u" AND sql IS NOT NULL"_s);
        const auto counter = hasSequence ? c.rows(u"SELECT seq FROM sqlite_sequence WHERE name="_s + sqlLiteral(t.name))
                                         : std::optional<QList<QStringList>>(QList<QStringList>{});
        const auto before = c.rows(u"SELECT count(*) FROM "_s + quoted(t.name));
        if (!dependents || !counter || !before) {
            failure = c.error();
            return abandon();
        }
        QStringList names;
        for (const QString& column : t.columns)
            names << quoted(column);
        const QString list = names.join(u',');
        if (!exec(u"CREATE TABLE "_s + quoted(temporary) + u" ("_s + (others + imageDefs + constraints).join(u", "_s) +
                  u")"_s) ||
            !exec(u"INSERT INTO "_s + quoted(temporary) + u" ("_s + list + u") SELECT "_s + list + u" FROM "_s +
                  quoted(t.name) + u" ORDER BY rowid"_s) ||
            !exec(u"DROP TABLE "_s + quoted(t.name)) ||
            !exec(u"ALTER TABLE "_s + quoted(temporary) + u" RENAME TO "_s + quoted(t.name)))
            return abandon();
        for (const QStringList& d : *dependents)
            if (!exec(d.at(0)))
                return abandon();
        // The counter of AUTOINCREMENT goes on from where it was, not from the highest row kept;
        // a table without one (never written) gets none, though the copy made an empty one.
        if (hasSequence && !exec(u"DELETE FROM sqlite_sequence WHERE name="_s + sqlLiteral(t.name)))
            return abandon();
        if (!counter->isEmpty() && !exec(u"INSERT INTO sqlite_sequence(name, seq) VALUES("_s + sqlLiteral(t.name) +
                                         u","_s + QString::number(counter->first().at(0).toLongLong()) + u")"_s))
            return abandon();
        const auto after = c.rows(u"SELECT count(*) FROM "_s + quoted(t.name));
        if (!after || after->first().at(0) != before->first().at(0)) {
            failure = u"表 %1 的行数不一致"_s.arg(t.name);
            return abandon();
        }
        ++out.tablesRewritten;
    }

    const auto check = c.rows(u"PRAGMA integrity_check"_s);
    if (!check || check->size() != 1 || check->first().at(0) != u"ok"_s) {
        failure = u"完整性检查未通过"_s;
        out.tablesRewritten = 0;
        return abandon();
    }
    if (!exec(u"COMMIT"_s)) {
        out.tablesRewritten = 0;
        return abandon();
    }
    return true;
}

} // namespace store
