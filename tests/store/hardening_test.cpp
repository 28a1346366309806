#include "cli/commands.h"
#include "store/backup.h"
#include "store/database.h"
#include "store/schema.h"
#include "support/testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <atomic>
#include <thread>

#ifndef SQLITE_HAS_CODEC
#define SQLITE_HAS_CODEC 1
#endif
#include <sqlite3.h>

using namespace Qt::StringLiterals;
using store::DatabaseConnection;
using testing_support::DataDirTest;

namespace {

int count(DatabaseConnection& db, const QString& table) {
    const int h = db.OpenRecordSet(u"select count(*) as[数量] from "_s + table);
    if (!h)
        return -1;
    const int n = int(db.ReadField(h, u"数量"_s).number());
    db.CloseRecordSet(h);
    return n;
}

QByteArray digest(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

void writeFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

// Files in dir other than the ones named.
QStringList strayFiles(const QString& dir, const QStringList& expected) {
    QStringList stray;
    for (const QString& name : QDir(dir).entryList(QDir::Files | QDir::Hidden))
        if (!expected.contains(name))
            stray << name;
    return stray;
}

// What "PRAGMA integrity_check" says of the file, opened with the program's key.
QString integrity(const QString& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return u"cannot open"_s;
    }
    const QByteArray key = store::kDatabasePassword.toUtf8();
    sqlite3_key(db, key.constData(), int(key.size()));
    QStringList rows;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW)
            rows << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    } else {
        rows << QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows.join(u"; "_s);
}

struct Cli {
    QString outText, errText;
    int run(const QStringList& args) {
        outText.clear();
        errText.clear();
        QTextStream out(&outText), err(&errText);
        const int status = cli::Run(args, out, err);
        qunsetenv("VELMORA_DATA_DIR");
        return status;
    }
};

class StoreHardeningTest : public DataDirTest {};
class StatementRuleTest : public testing_support::EngineTest {};

} // namespace

// ---- one statement per call ------------------------------------------------------------------

TEST_P(StatementRuleTest, OneCallRunsOneStatement) {
    const int kinds = count(db(), u"险种名称"_s);
    ASSERT_GT(kinds, 0);
    // A second statement, however it is appended, makes the call fail before the first runs.
    for (const QString& statement :
         {u"delete * from 险种名称; drop table 报险表"_s, u"delete from [险种名称];drop table [报险表];"_s,
          u"delete from 险种名称 ;; "_s, u"delete from 险种名称; -- and a comment"_s,
          // The quote opens a comment for SQLite, not a text: the drop
          // would run after the delete.
          u"delete from 险种名称 --'\n; drop table 报险表; --'"_s}) {
        EXPECT_FALSE(db().ExecuteStatement(statement)) << statement.toStdString();
        EXPECT_FALSE(db().LastError().isEmpty());
        EXPECT_FALSE(db().ExecuteWithBinaries(statement, {}));
    }
    EXPECT_EQ(count(db(), u"险种名称"_s), kinds);
    EXPECT_EQ(count(db(), u"报险表"_s), 0); // still there

    EXPECT_EQ(db().OpenRecordSet(u"select * from 权限; delete from 权限"_s), 0);
    EXPECT_EQ(db().OpenRecordSet(u"select * from 权限 where 用户名='a' -- ' ; delete from 权限"_s), 0);
    EXPECT_EQ(count(db(), u"权限"_s), 1);

    // Blanks and one semicolon after the statement are fine; a ";" inside a text is a text.
    EXPECT_TRUE(db().ExecuteStatement(u"insert into [险种名称]([险种名称]) values('甲;乙')  ;  \n"_s));
    const int h = db().OpenRecordSet(u"select [险种名称] from [险种名称] where [险种名称]='甲;乙';"_s);
    ASSERT_NE(h, 0);
    EXPECT_EQ(db().RowCount(h), 1);
    db().CloseRecordSet(h);
    // The translator's own pair of statements for "select * into" still runs as one call.
    EXPECT_TRUE(db().ExecuteStatement(u"select * into 京Z9 from yangbiao"_s)) << db().LastError().toStdString();
    EXPECT_EQ(count(db(), u"京Z9"_s), 0);
    if (onServer())
        return;
    // A trigger is one statement, the semicolons of its body included.
    EXPECT_TRUE(db().ExecuteStatement(u"create trigger 不删险种 before delete on 险种名称 "
                                      "begin select raise(abort, 'refused'); end;"_s))
        << db().LastError().toStdString();
    EXPECT_FALSE(db().ExecuteStatement(u"delete from 险种名称"_s));
    EXPECT_FALSE(db().ExecuteStatement(u"drop trigger 不删险种; drop table 报险表"_s));
    EXPECT_TRUE(db().ExecuteStatement(u"drop trigger 不删险种"_s)) << db().LastError().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Engines, StatementRuleTest, testing_support::BothEngines(), testing_support::EngineParamName);

// ---- files that are not a database of the program ---------------------------------------------

TEST_F(StoreHardeningTest, ZeroByteOrTablelessFileDoesNotOpenAndStaysAsItIs) {
    const QString empty = QDir(dataDir()).filePath(u"empty.mdb"_s);
    writeFile(empty, {});
    DatabaseConnection c;
    EXPECT_FALSE(c.OpenDatabaseFile(empty, store::kDatabasePassword));
    EXPECT_FALSE(c.IsOpen());
    EXPECT_TRUE(c.LastError().contains(u"总表"_s)) << c.LastError().toStdString();
    EXPECT_EQ(QFileInfo(empty).size(), 0);

    // Encrypted with the right key but holding other tables only.
    const QString foreign = QDir(dataDir()).filePath(u"foreign.mdb"_s);
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(foreign).constData(), &raw), SQLITE_OK);
        const QByteArray key = store::kDatabasePassword.toUtf8();
        sqlite3_key(raw, key.constData(), int(key.size()));
        ASSERT_EQ(sqlite3_exec(raw, "CREATE TABLE other(x); CREATE TABLE 总表(a)", nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(raw);
    }
    const QByteArray before = digest(foreign);
    EXPECT_FALSE(c.OpenDatabaseFile(foreign, store::kDatabasePassword));
    EXPECT_TRUE(c.LastError().contains(u"yangbiao"_s)) << c.LastError().toStdString();
    EXPECT_EQ(digest(foreign), before);
    EXPECT_EQ(strayFiles(dataDir(), {u"clxx.mdb"_s, u"empty.mdb"_s, u"foreign.mdb"_s}), QStringList());

    // The program's own file still opens.
    EXPECT_TRUE(c.OpenDatabaseFile(dbPath(), store::kDatabasePassword)) << c.LastError().toStdString();
    c.CloseDatabase();

    // A window reports it as a failed open; the command-line tool says why.
    writeFile(dbPath(), {});
    DatabaseConnection window;
    EXPECT_FALSE(ui::OpenWindowDatabase(window));
    EXPECT_EQ(dialogs.shown, QStringList({u"数据库打开失败！"_s}));
    Cli cli;
    EXPECT_EQ(cli.run({u"alerts"_s, u"--data-dir"_s, dataDir()}), 1);
    EXPECT_TRUE(cli.errText.contains(u"缺少表"_s)) << cli.errText.toStdString();
    EXPECT_EQ(cli.run({u"show"_s, u"京A1"_s, u"--data-dir"_s, dataDir()}), 1);
    EXPECT_TRUE(cli.errText.contains(u"缺少表"_s)) << cli.errText.toStdString();
    EXPECT_EQ(QFileInfo(dbPath()).size(), 0);
}

TEST(CliInitName, LeavesAnUnrelatedFileBesideTheDatabaseAlone) {
    QTemporaryDir dir;
    const QString unrelated = QDir(dir.path()).filePath(u"clxx.mdb.new"_s);
    writeFile(unrelated, "somebody else's file");
    Cli cli;
    ASSERT_EQ(cli.run({u"init"_s, u"--data-dir"_s, dir.path()}), 0) << cli.errText.toStdString();
    QFile f(unrelated);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("somebody else's file"));
    EXPECT_EQ(strayFiles(dir.path(), {u"clxx.mdb"_s, u"clxx.mdb.new"_s}), QStringList());
    DatabaseConnection c;
    EXPECT_TRUE(c.OpenDatabaseFile(QDir(dir.path()).filePath(u"clxx.mdb"_s), store::kDatabasePassword));
}

// ---- backups ---------------------------------------------------------------------------------

// A second connection commits in a loop while backups are taken: every backup is one snapshot
// (it opens, passes integrity_check, and what the writer changes together agrees in it).
TEST_F(StoreHardeningTest, BackupUnderAConcurrentWriterIsWholeEveryTime) {
    // Every commit k rewrites all 300 rows of 京W1 (a large remark, so that a commit writes pages
    // all over a file of a few megabytes) to carry k, and adds the k-th claim.
    const QString pad = QString(3000, QLatin1Char('x'));
    ASSERT_TRUE(db().ExecuteStatement(u"select * into 京W1 from yangbiao"_s));
    ASSERT_TRUE(db().BeginTransaction());
    for (int r = 0; r < 300; ++r)
        ASSERT_TRUE(db().ExecuteStatement(
            u"insert into 京W1([主车牌号],[车主姓名],[基本信息备注]) values('京W1','0','%1')"_s.arg(pad)));
    ASSERT_TRUE(db().CommitTransaction());
    const QString backupDir = QDir(dataDir()).filePath(u"backups"_s);
    ASSERT_TRUE(QDir().mkpath(backupDir));

    std::atomic<bool> stop{false};
    std::atomic<int> commits{0};
    std::thread writer([&] {
        DatabaseConnection w;
        if (!w.OpenDatabaseFile(dbPath(), store::kDatabasePassword))
            return;
        int k = 0;
        while (!stop) {
            if (!w.BeginTransaction())
                continue;
            const QString next = QString::number(k + 1);
            const bool ok =
                w.ExecuteStatement(u"update 京W1 set [车主姓名]='%1', [基本信息备注]='%1%2'"_s.arg(next, pad)) &&
                w.ExecuteStatement(
                    u"insert into [报险表]([主车牌号],[报险日期],[备注]) values('京W1','2026-12-08','%1')"_s.arg(next));
            if (ok && w.CommitTransaction()) {
                ++k;
                ++commits;
            } else if (!ok) {
                w.RollbackTransaction();
            }
        }
    });

    QStringList names;
    for (int n = 0; n < 20; ++n) {
        const QString name = u"copy%1.mdb"_s.arg(n);
        names << name;
        const QString target = QDir(backupDir).filePath(name);
        QString error;
        if (!store::BackupDatabase(dbPath(), target, &error)) {
            ADD_FAILURE() << "backup " << n << ": " << error.toStdString();
            continue;
        }
        EXPECT_EQ(integrity(target), u"ok"_s) << "backup " << n;
        DatabaseConnection copy;
        if (!copy.OpenDatabaseFile(target, store::kDatabasePassword)) {
            ADD_FAILURE() << "backup " << n << " does not open: " << copy.LastError().toStdString();
            continue;
        }
        const int h = copy.OpenRecordSet(u"select distinct [车主姓名] from 京W1"_s);
        ASSERT_NE(h, 0) << "backup " << n << ": " << copy.LastError().toStdString();
        EXPECT_EQ(copy.RowCount(h), 1) << "backup " << n << " holds parts of two commits";
        EXPECT_EQ(int(copy.ReadField(h, u"车主姓名"_s).number()), count(copy, u"[报险表]"_s)) << "backup " << n;
        copy.CloseRecordSet(h);
    }
    stop = true;
    writer.join();
    EXPECT_GT(commits.load(), 20); // the writer did run alongside
    EXPECT_EQ(strayFiles(backupDir, names), QStringList());
}

TEST_F(StoreHardeningTest, FailedBackupLeavesNothingAndKeepsAnEarlierFile) {
    const QString target = QDir(dataDir()).filePath(u"copy.mdb"_s);
    QString error;
    ASSERT_TRUE(store::BackupDatabase(dbPath(), target, &error)) << error.toStdString();
    const QByteArray first = digest(target);

    // The database itself is never the target, under any spelling.
    EXPECT_FALSE(store::BackupDatabase(dbPath(), QDir(dataDir()).filePath(u"./clxx.mdb"_s), &error));
    EXPECT_TRUE(error.contains(u"数据库文件本身"_s));
    DatabaseConnection c;
    EXPECT_TRUE(c.OpenDatabaseFile(dbPath(), store::kDatabasePassword));
    c.CloseDatabase();

    // A source that is not a whole database of the program: the copy fails its check, and the
    // earlier backup stays as it was.
    const QString broken = QDir(dataDir()).filePath(u"broken.mdb"_s);
    writeFile(broken, {});
    EXPECT_FALSE(store::BackupDatabase(broken, target, &error));
    EXPECT_EQ(digest(target), first);
    QFile original(dbPath());
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    QByteArray torn = original.readAll();
    original.close();
    torn.truncate(torn.size() / 2);
    writeFile(broken, torn);
    EXPECT_FALSE(store::BackupDatabase(broken, target, &error));
    EXPECT_EQ(digest(target), first);

    // A folder that does not exist.
    EXPECT_FALSE(store::BackupDatabase(dbPath(), QDir(dataDir()).filePath(u"no/such/x.mdb"_s), &error));
    EXPECT_EQ(strayFiles(dataDir(), {u"clxx.mdb"_s, u"copy.mdb"_s, u"broken.mdb"_s}), QStringList());
}

TEST_F(StoreHardeningTest, CliBackupExitCodes) {
    Cli cli;
    const QString target = QDir(dataDir()).filePath(u"cron.mdb"_s);
    EXPECT_EQ(cli.run({u"backup"_s, target, u"--data-dir"_s, dataDir()}), 0) << cli.errText.toStdString();
    EXPECT_TRUE(cli.outText.contains(u"数据备份成功！"_s));
    EXPECT_EQ(integrity(target), u"ok"_s);
    DatabaseConnection copy;
    EXPECT_TRUE(copy.OpenDatabaseFile(target, store::kDatabasePassword));
    copy.CloseDatabase();

    // A folder receives clxx.mdb.
    const QString folder = QDir(dataDir()).filePath(u"nightly"_s);
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_EQ(cli.run({u"backup"_s, folder, u"--data-dir"_s, dataDir()}), 0) << cli.errText.toStdString();
    EXPECT_EQ(integrity(QDir(folder).filePath(u"clxx.mdb"_s)), u"ok"_s);

    // The database itself, named directly or as its folder.
    const QByteArray before = digest(dbPath());
    EXPECT_EQ(cli.run({u"backup"_s, dbPath(), u"--data-dir"_s, dataDir()}), 1);
    EXPECT_TRUE(cli.errText.contains(u"数据备份失败！"_s)) << cli.errText.toStdString();
    EXPECT_TRUE(cli.errText.contains(u"数据库文件本身"_s)) << cli.errText.toStdString();
    EXPECT_EQ(cli.run({u"backup"_s, dataDir(), u"--data-dir"_s, dataDir()}), 1);
    EXPECT_EQ(digest(dbPath()), before);

    // No database, a folder that does not exist, usage errors.
    QTemporaryDir nothing;
    EXPECT_EQ(cli.run({u"backup"_s, target, u"--data-dir"_s, nothing.path()}), 1);
    EXPECT_TRUE(cli.errText.contains(u"数据库丢失"_s)) << cli.errText.toStdString();
    EXPECT_EQ(cli.run({u"backup"_s, QDir(dataDir()).filePath(u"no/x.mdb"_s), u"--data-dir"_s, dataDir()}), 1);
    EXPECT_FALSE(cli.errText.isEmpty());
    EXPECT_EQ(cli.run({u"backup"_s}), 2);
    EXPECT_EQ(cli.run({u"backup"_s, target, u"second"_s}), 2);
    EXPECT_EQ(cli.run({u"backup"_s, target, u"--data-dir"_s}), 2);
    EXPECT_EQ(strayFiles(dataDir(), {u"clxx.mdb"_s, u"cron.mdb"_s}), QStringList());
}
