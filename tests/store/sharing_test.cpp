#include "store/database.h"
#include "store/recordset.h"
#include "store/schema.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <functional>

#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

using store::ConnectionSharing;
using store::DatabaseConnection;
using testing_support::DataDirTest;

namespace {

// Connections of one thread to one file share a single open SQLite connection; these tests
// look at what the windows rely on: each other's writes, another process's writes, and
// transactions that never mix.
class SharingTest : public DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        db(); // the fixture's own connection opens first, as the main window's does
        baseline = DatabaseConnection::OpenFileCount();
    }

    static QStringList names(DatabaseConnection& c) {
        QStringList out;
        store::RecordSetGuard rs(c, c.OpenRecordSet(u"select 险种名称 from 险种名称 order by 险种名称"_s));
        for (c.MoveFirst(rs.handle()); !c.AtEnd(rs.handle()); c.MoveNext(rs.handle()))
            out << c.ReadField(rs.handle(), u"险种名称"_s).text();
        return out;
    }
    static bool addKind(DatabaseConnection& c, const QString& name) {
        return c.ExecuteStatement(u"insert into 险种名称 (险种名称) values ('"_s + name + u"')"_s);
    }

    // Runs work in a child process with a connection of its own, as another copy of the
    // program would; true when it reported success.
    bool inAnotherProcess(const std::function<bool(DatabaseConnection&)>& work) {
        const QString path = dbPath();
        const pid_t pid = fork();
        if (pid == 0) {
            DatabaseConnection other;
            const bool ok = other.OpenDatabaseFile(path, store::kDatabasePassword) && work(other);
            _exit(ok ? 0 : 1);
        }
        int status = 0;
        return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    int baseline = 0;
};

} // namespace

TEST_F(SharingTest, ConnectionsToOneFileShareOneOpenFileAndSeeEachOthersWrites) {
    DatabaseConnection a, b;
    ASSERT_TRUE(a.OpenDatabaseFile(dbPath(), store::kDatabasePassword));
    // Another spelling of the same file shares too.
    ASSERT_TRUE(b.OpenDatabaseFile(dataDir() + u"/./"_s + QFileInfo(dbPath()).fileName(), store::kDatabasePassword));
    EXPECT_EQ(DatabaseConnection::OpenFileCount(), baseline);

    const QStringList before = names(a);
    ASSERT_TRUE(addKind(a, u"甲险"_s)) << a.LastError().toStdString();
    EXPECT_TRUE(names(b).contains(u"甲险"_s));
    ASSERT_TRUE(addKind(b, u"乙险"_s)) << b.LastError().toStdString();
    EXPECT_TRUE(names(a).contains(u"乙险"_s));
    EXPECT_EQ(names(db()).size(), before.size() + 2);

    // Each keeps its own lifetime: closing one leaves the others working.
    a.CloseDatabase();
    EXPECT_FALSE(a.IsOpen());
    EXPECT_FALSE(a.ExecuteStatement(u"delete * from 险种名称"_s));
    EXPECT_TRUE(addKind(b, u"丙险"_s));
    EXPECT_EQ(names(db()).size(), before.size() + 3);
    b.CloseDatabase();
    EXPECT_EQ(DatabaseConnection::OpenFileCount(), baseline);
}

TEST_F(SharingTest, TheLastCloseClosesTheFileAndAPrivateOpenIsOneOfItsOwn) {
    DatabaseConnection p;
    ASSERT_TRUE(p.OpenDatabaseFile(dbPath(), store::kDatabasePassword, ConnectionSharing::Private));
    EXPECT_EQ(DatabaseConnection::OpenFileCount(), baseline + 1);
    p.CloseDatabase();
    EXPECT_EQ(DatabaseConnection::OpenFileCount(), baseline);

    // A second file is a second connection, closed with its last user.
    const QString second = QDir(dataDir()).filePath(u"second.mdb"_s);
    QString error;
    ASSERT_TRUE(store::CreateDatabase(second, &error)) << error.toStdString();
    {
        DatabaseConnection x, y;
        ASSERT_TRUE(x.OpenDatabaseFile(second, store::kDatabasePassword));
        ASSERT_TRUE(y.OpenDatabaseFile(second, store::kDatabasePassword));
        EXPECT_EQ(DatabaseConnection::OpenFileCount(), baseline + 1);
        ASSERT_TRUE(addKind(x, u"只在第二个文件"_s));
        EXPECT_FALSE(names(db()).contains(u"只在第二个文件"_s));
    }
    EXPECT_EQ(DatabaseConnection::OpenFileCount(), baseline);
}

TEST_F(SharingTest, AWrongKeyNeverJoinsAnOpenConnection) {
    DatabaseConnection wrong;
    EXPECT_FALSE(wrong.OpenDatabaseFile(dbPath(), u"not the key"_s));
    EXPECT_FALSE(wrong.IsOpen());
    EXPECT_EQ(DatabaseConnection::OpenFileCount(), baseline);
}

TEST_F(SharingTest, AFileReplacedUnderItsNameIsOpenedAfresh) {
    DatabaseConnection old;
    ASSERT_TRUE(old.OpenDatabaseFile(dbPath(), store::kDatabasePassword));
    ASSERT_TRUE(addKind(old, u"旧文件的险种"_s));
    // A restore puts another file in its place.
    const QString fresh = QDir(dataDir()).filePath(u"fresh.mdb"_s);
    QString error;
    ASSERT_TRUE(store::CreateDatabase(fresh, &error)) << error.toStdString();
    ASSERT_EQ(::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(dbPath()).constData()), 0);

    DatabaseConnection next;
    ASSERT_TRUE(next.OpenDatabaseFile(dbPath(), store::kDatabasePassword));
    EXPECT_FALSE(names(next).contains(u"旧文件的险种"_s));
    EXPECT_TRUE(names(old).contains(u"旧文件的险种"_s)); // the one already open keeps its file
}

TEST_F(SharingTest, AnotherProcessesWritesAndNewTablesAreSeenByEveryConnection) {
    DatabaseConnection a, b;
    ASSERT_TRUE(a.OpenDatabaseFile(dbPath(), store::kDatabasePassword));
    ASSERT_TRUE(b.OpenDatabaseFile(dbPath(), store::kDatabasePassword));
    ASSERT_FALSE(names(a).contains(u"别的进程"_s)); // and the types of 险种名称 are cached

    ASSERT_TRUE(inAnotherProcess([](DatabaseConnection& c) {
        return addKind(c, u"别的进程"_s) && c.ExecuteStatement(u"select * into 京C77777 from yangbiao"_s) &&
               c.ExecuteStatement(
                   u"insert into 京C77777 ([主车牌号],[下次审车日期]) values ('京C77777','2027年1月31日')"_s);
    }));
    EXPECT_TRUE(names(a).contains(u"别的进程"_s));
    EXPECT_TRUE(names(b).contains(u"别的进程"_s));

    // The table made elsewhere is read with its declared types, and written through the shared
    // connection with a Jet date translated for its date column.
    ASSERT_TRUE(b.ExecuteStatement(u"insert into 京C77777 ([下次审车日期]) values ('2027年2月1日')"_s))
        << b.LastError().toStdString();
    store::RecordSetGuard rs(a, a.OpenRecordSet(u"select * from 京C77777 order by 编号"_s));
    ASSERT_EQ(a.RowCount(rs.handle()), 2);
    a.MoveLast(rs.handle());
    const store::FieldValue due = a.ReadField(rs.handle(), u"下次审车日期"_s);
    EXPECT_EQ(due.kind, store::FieldKind::DateTime);
    EXPECT_EQ(due.date(), QDate(2027, 2, 1));

    // A table dropped elsewhere is gone for the shared connection too.
    ASSERT_TRUE(inAnotherProcess([](DatabaseConnection& c) { return c.ExecuteStatement(u"drop table 京C77777"_s); }));
    EXPECT_TRUE(a.StoredColumns(u"京C77777"_s).isEmpty());
    EXPECT_FALSE(b.ExecuteStatement(u"insert into 京C77777 ([下次审车日期]) values ('2027年2月1日')"_s));
}

TEST_F(SharingTest, ATransactionIsNeverMixedWithAnotherConnectionsStatements) {
    DatabaseConnection a, b;
    ASSERT_TRUE(a.OpenDatabaseFile(dbPath(), store::kDatabasePassword));
    ASSERT_TRUE(b.OpenDatabaseFile(dbPath(), store::kDatabasePassword));
    const int kinds = int(names(db()).size());

    ASSERT_TRUE(a.BeginTransaction());
    ASSERT_TRUE(addKind(a, u"事务中"_s));
    // b may read; its writes and its own transaction are refused at once, not joined to a's.
    EXPECT_TRUE(names(b).contains(u"事务中"_s));
    EXPECT_FALSE(addKind(b, u"插队"_s));
    EXPECT_FALSE(b.LastError().isEmpty());
    EXPECT_FALSE(b.BeginTransaction());
    EXPECT_FALSE(b.CommitTransaction()); // nor can it end a's
    b.RollbackTransaction();
    // Nested use by the owner is a savepoint inside it.
    ASSERT_TRUE(a.BeginTransaction());
    ASSERT_TRUE(addKind(a, u"内层"_s));
    a.RollbackTransaction();
    ASSERT_TRUE(a.CommitTransaction());
    const QStringList after = names(b);
    EXPECT_TRUE(after.contains(u"事务中"_s));
    EXPECT_FALSE(after.contains(u"内层"_s));
    EXPECT_FALSE(after.contains(u"插队"_s));
    EXPECT_EQ(int(after.size()), kinds + 1);

    // Once a's transaction is over b writes again.
    EXPECT_TRUE(addKind(b, u"之后"_s)) << b.LastError().toStdString();

    // A connection closed with its transaction open rolls it back and frees the file for others.
    ASSERT_TRUE(a.BeginTransaction());
    ASSERT_TRUE(addKind(a, u"未提交"_s));
    a.CloseDatabase();
    EXPECT_FALSE(names(b).contains(u"未提交"_s));
    EXPECT_TRUE(b.BeginTransaction()) << b.LastError().toStdString();
    b.RollbackTransaction();
}

TEST_F(SharingTest, EachConnectionKeepsItsOwnBusyTimeoutAgainstAnotherProcess) {
    DatabaseConnection quick, patient;
    ASSERT_TRUE(quick.OpenDatabaseFile(dbPath(), store::kDatabasePassword));
    ASSERT_TRUE(patient.OpenDatabaseFile(dbPath(), store::kDatabasePassword));
    quick.SetBusyTimeout(100);
    EXPECT_EQ(patient.BusyTimeout(), 5000);

    // Another process holds the write lock for a second.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const QString path = dbPath();
    const pid_t pid = fork();
    if (pid == 0) {
        DatabaseConnection other;
        const bool ok = other.OpenDatabaseFile(path, store::kDatabasePassword, ConnectionSharing::Private) &&
                        other.BeginTransaction() && addKind(other, u"锁"_s);
        const char c = ok ? '1' : '0';
        (void)!write(ready[1], &c, 1);
        usleep(1000 * 1000);
        other.CommitTransaction();
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, '1');
    EXPECT_FALSE(addKind(quick, u"太急"_s)); // gives up after 100 ms
    EXPECT_TRUE(addKind(patient, u"等得起"_s)) << patient.LastError().toStdString();
    int status = 0;
    waitpid(pid, &status, 0);
    close(ready[0]);
    close(ready[1]);
    const QStringList all = names(db());
    EXPECT_TRUE(all.contains(u"锁"_s));
    EXPECT_TRUE(all.contains(u"等得起"_s));
    EXPECT_FALSE(all.contains(u"太急"_s));
}
