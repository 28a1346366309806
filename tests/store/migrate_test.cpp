#include "cli/commands.h"
#include "store/database.h"
#include "store/migrate.h"
#include "store/recordset.h"
#include "store/schema.h"
#include "store/target.h"
#include "store/versions.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/wait.h>
#include <unistd.h>

#ifndef SQLITE_HAS_CODEC
#define SQLITE_HAS_CODEC 1
#endif
#include <sqlite3.h>

using namespace Qt::StringLiterals;
using store::DatabaseConnection;

namespace {

// An image that is not text: every byte value, then a size of its own per vehicle and row.
QByteArray image(int vehicle, int row) {
    QByteArray b;
    for (int i = 0; i < 256 + vehicle * 37 + row; ++i)
        b.append(char((i * 7 + vehicle + row) & 0xFF));
    return b;
}

struct Fleet {
    store::TableLayout layout = store::TableLayout::ImagesLast;
    bool versions = true;    // false: a file made before vehicles carried versions
    bool extraTable = false; // a table of the operator's own beside the program's
    const char* name = "";
    bool server = false; // migrated into a server database, backed up from it into a file, and that
                         // file migrated into another, empty server database
    bool cli = false;    // each step through velmora-cli (migrate, backup --database URL)
};

void PrintTo(const Fleet& f, std::ostream* os) {
    *os << f.name;
}

// A file of a few vehicles with history rows (one deleted: the 编号 have a gap), images, claims,
// operators and kinds.
void buildFleet(const QString& path, const Fleet& fleet) {
    ASSERT_TRUE(store::CreateDatabase(path, nullptr, fleet.layout));
    DatabaseConnection db;
    ASSERT_TRUE(db.OpenDatabaseFile(path, store::kDatabasePassword, store::ConnectionSharing::Private));
    if (!fleet.versions) {
        ASSERT_TRUE(db.ExecuteStatement(u"drop table [车辆版本]"_s));
    }
    for (int v = 0; v < 3; ++v) {
        const QString plate = u"京A1234%1"_s.arg(v);
        ASSERT_TRUE(db.ExecuteStatement(u"select * into "_s + plate + u" from yangbiao"_s));
        ASSERT_TRUE(
            db.ExecuteStatement(u"Alter table "_s + plate + u"  Add  Constraint  PrimaryKey  Primary  Key (编号)"_s));
        ASSERT_TRUE(
            db.ExecuteStatement(u"insert into [总表]([档案编号],[车牌号]) values('00%1','%2')"_s.arg(v).arg(plate)));
        for (int row = 0; row < 4; ++row) {
            QList<QByteArray> images;
            for (int i = 0; i < 5; ++i)
                images << (i == 2 ? QByteArray() : image(v, row * 5 + i));
            ASSERT_TRUE(db.ExecuteWithBinaries(
                u"insert into "_s + plate +
                    u"([档案编号],[主车牌号],[车主姓名],[买入日期],[车辆状态],[是否脱审],[下次审车日期],[审车备注],"
                    u"[车主身份证信息],[车辆照片信息],[车辆照片信息2],[行车证信息1],[行车证信息2]) values "
                    u"('00%1','%2','"
                    u"O''Brien 张%3','2026年3月%4日','1',true,'2027-1-%4','备注\n第二行',?,?,?,?,?)"_s.arg(v)
                        .arg(plate)
                        .arg(row)
                        .arg(row + 1),
                images))
                << db.LastError().toStdString();
        }
        ASSERT_TRUE(db.ExecuteStatement(u"delete * from "_s + plate + u" where [编号]=2"_s));
        if (fleet.versions) {
            ASSERT_TRUE(db.BeginTransaction() && store::TakeVehicleVersion(db, plate, std::nullopt).ok() &&
                        db.CommitTransaction());
        }
    }
    ASSERT_TRUE(db.ExecuteStatement(u"insert into [权限] ([用户名],[密码],[增删车辆]) values ('李四','1',false)"_s));
    ASSERT_TRUE(db.ExecuteStatement(u"delete * from [险种名称] where [险种名称]='交强险'"_s));
    ASSERT_TRUE(db.ExecuteStatement(u"insert into [险种名称] ([险种名称]) values ('交强险')"_s));
    ASSERT_TRUE(db.ExecuteStatement(
        u"insert into 报险表 ([报险日期],[主车牌号],[理赔金额],[是否结案]) values('2026年5月1日','京A12340','1200.50',true)"_s));
    if (fleet.extraTable) {
        ASSERT_TRUE(db.ExecuteStatement(u"create table [备忘] ([内容] TEXT, [次数] INTEGER, [附件] BLOB)"_s));
        // Empty, with a number column: the kinds come from no value at all.
        ASSERT_TRUE(db.ExecuteStatement(u"create table [空表] ([编号] INTEGER PRIMARY KEY, [名称] TEXT)"_s));
        QList<QByteArray> attachment{image(9, 9)};
        ASSERT_TRUE(
            db.ExecuteWithBinaries(u"insert into [备忘] ([内容],[次数],[附件]) values ('年检',3,?)"_s, attachment));
        ASSERT_TRUE(db.ExecuteStatement(u"insert into [备忘] ([内容],[次数],[附件]) values (NULL,NULL,NULL)"_s));
    }
}

QList<store::TableSummary> summaries(const QString& path) {
    DatabaseConnection db;
    if (!db.Open(path, store::kDatabasePassword, store::ConnectionSharing::Private))
        return {};
    QString error;
    return store::SummariseTables(db, &error).value_or(QList<store::TableSummary>{});
}

// Every image of every vehicle row, keyed by plate, 编号 and column.
QMap<QString, QByteArray> images(const QString& path) {
    QMap<QString, QByteArray> out;
    DatabaseConnection db;
    if (!db.Open(path, store::kDatabasePassword, store::ConnectionSharing::Private))
        return out;
    for (int v = 0; v < 3; ++v) {
        const QString plate = u"京A1234%1"_s.arg(v);
        store::RecordSetGuard rs(db, u"select * from "_s + plate);
        for (db.MoveFirst(rs.handle()); !db.AtEnd(rs.handle()); db.MoveNext(rs.handle()))
            for (const char* c : {"车主身份证信息", "车辆照片信息", "车辆照片信息2", "行车证信息1", "行车证信息2"}) {
                const store::FieldValue f = db.ReadField(rs.handle(), QString::fromUtf8(c));
                out.insert(plate + db.ReadField(rs.handle(), u"编号"_s).text() + QString::fromUtf8(c),
                           f.isNull ? QByteArray("null") : f.bytes());
            }
    }
    return out;
}

class MigrateTest : public ::testing::Test {
public:
    void TearDown() override {
        for (const QString& name : databases)
            cluster->DropDatabase(name);
    }
    QString path(const QString& name) const { return QDir(dir.path()).filePath(name); }
    // An empty database of the test server, dropped after the test; empty when there is no server.
    QString serverDatabase() {
        QString why;
        cluster = testing_support::TestCluster(&why);
        if (!cluster)
            return {};
        databases << cluster->CreateEmptyDatabase();
        return cluster->SocketTarget(databases.last());
    }
    QTemporaryDir dir;
    testing_support::PgCluster* cluster = nullptr;
    QStringList databases;
};

class MigrateRoundTrip : public MigrateTest, public ::testing::WithParamInterface<Fleet> {};

// file → target → backup file (→ another, empty server): the same tables, rows and images all the way.
TEST_P(MigrateRoundTrip, EveryTableRowAndImageArrives) {
    const Fleet& fleet = GetParam();
    const QString source = path(u"clxx.mdb"_s);
    buildFleet(source, fleet);
    const QList<store::TableSummary> before = summaries(source);
    ASSERT_FALSE(before.isEmpty());
    const QString target = fleet.server ? serverDatabase() : path(u"新库.mdb"_s);
    if (target.isEmpty())
        GTEST_SKIP() << "no PostgreSQL server programs";
    // One step of the round trip, through the library or as an operator types it.
    const auto run = [&](const QStringList& command) {
        QString printed, errors;
        QTextStream out(&printed), err(&errors);
        const int status = cli::Run(command, out, err);
        qunsetenv("VELMORA_DATABASE");
        err.flush();
        EXPECT_EQ(status, 0) << command.join(u' ').toStdString() << ": " << errors.toStdString();
        return status == 0;
    };
    const auto migrate = [&](const QString& from, const QString& to) {
        if (fleet.cli)
            return run({u"migrate"_s, u"--from-file"_s, from, u"--database"_s, to});
        store::CopyReport report;
        QString error;
        const bool ok = store::MigrateFile(from, to, &report, &error);
        EXPECT_TRUE(ok) << error.toStdString();
        EXPECT_TRUE(report.differences.isEmpty());
        EXPECT_EQ(report.source, summaries(from));
        return ok;
    };
    const auto backup = [&](const QString& from, const QString& to) {
        if (fleet.cli)
            return run({u"backup"_s, to, u"--database"_s, from});
        QString error;
        const bool ok = store::BackupTarget(from, to, &error);
        EXPECT_TRUE(ok) << error.toStdString();
        return ok;
    };
    ASSERT_TRUE(migrate(source, target));
    // The backup of the copy is an ordinary file of the program holding the same again; from a
    // server it goes back into an empty one whole.
    const QString backupFile = path(u"备份.mdb"_s);
    ASSERT_TRUE(backup(target, backupFile));
    QStringList copies = {target, backupFile};
    if (fleet.server) {
        const QString restored = serverDatabase();
        ASSERT_TRUE(migrate(backupFile, restored));
        copies << restored;
    }
    for (const QString& copy : copies) {
        QList<store::TableSummary> after = summaries(copy);
        if (!fleet.versions) // a new database brings the table, empty
            after.removeIf(
                [](const store::TableSummary& s) { return s.table == store::kVehicleVersionTable && !s.rows; });
        EXPECT_EQ(after, before) << copy.toStdString();
        const QMap<QString, QByteArray> copied = images(copy);
        EXPECT_EQ(copied.size(), 3 * 3 * 5);
        EXPECT_EQ(copied, images(source));
    }
    DatabaseConnection db;
    ASSERT_TRUE(db.Open(target, store::kDatabasePassword));
    EXPECT_EQ(store::ReadVehicleVersion(db, u"京A12341"_s), fleet.versions ? 1 : 0);
    // The next row gets a number after the copied ones.
    ASSERT_TRUE(
        db.ExecuteStatement(u"insert into 京A12341 ([下次审车日期],[审车车号]) values ('2027年1月1日','京A12341')"_s))
        << db.LastError().toStdString();
    store::RecordSetGuard rs(db, u"select max([编号]) as[数量] from 京A12341"_s);
    ASSERT_TRUE(rs.ok());
    EXPECT_EQ(db.ReadField(rs.handle(), u"数量"_s).number(), 5);
    if (!fleet.server) { // new vehicle tables take the template's layout: images last
        EXPECT_FALSE(store::ImagesBeforeOtherColumns(db.StoredColumns(u"京A12341"_s)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, MigrateRoundTrip,
    ::testing::Values(Fleet{store::TableLayout::ImagesLast, true, false, "ImagesLast"},
                      Fleet{store::TableLayout::ImagesAmongColumns, true, false, "ImagesAmongColumns"},
                      Fleet{store::TableLayout::ImagesAmongColumns, false, true, "OlderFileWithATableOfItsOwn"},
                      Fleet{store::TableLayout::ImagesAmongColumns, true, false, "ToTheServer", true},
                      Fleet{store::TableLayout::ImagesAmongColumns, false, true, "OlderFileToTheServer", true},
                      Fleet{store::TableLayout::ImagesAmongColumns, true, true, "ServerAndBackThroughTheCli", true,
                            true}),
    [](const ::testing::TestParamInfo<Fleet>& p) { return std::string(p.param.name); });

struct BadInput {
    const char* name;
    std::function<void(MigrateTest&, QString* source, QString* target)> prepare;
    QString message; // a part of the refusal
};

class MigrateRefusal : public MigrateTest, public ::testing::WithParamInterface<BadInput> {};

void sqliteFile(const QString& path, const char* key, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    if (key)
        sqlite3_key(db, key, int(strlen(key)));
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

TEST_P(MigrateRefusal, NothingIsWritten) {
    QString source = path(u"clxx.mdb"_s);
    QString target = path(u"目标.mdb"_s);
    buildFleet(source, {});
    GetParam().prepare(*this, &source, &target);
    if (target.isEmpty())
        GTEST_SKIP() << "no PostgreSQL server programs";
    const bool server = store::IsServerTarget(target);
    const QStringList serverTables = [&] {
        DatabaseConnection db;
        return server && db.Open(target, store::kDatabasePassword) ? db.TableNames() : QStringList{};
    }();
    const bool targetExisted = QFileInfo::exists(target);
    const QByteArray targetBefore = [&] {
        QFile f(target);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    QTextStream out(stdout), err(stderr);
    QString printed;
    QTextStream errors(&printed);
    EXPECT_EQ(cli::Run({u"migrate"_s, u"--from-file"_s, source, u"--database"_s, target}, out, errors), 1);
    qunsetenv("VELMORA_DATABASE");
    EXPECT_TRUE(printed.contains(GetParam().message)) << printed.toStdString();
    if (server) {
        DatabaseConnection db;
        EXPECT_EQ(db.Open(target, store::kDatabasePassword) ? db.TableNames() : QStringList{}, serverTables);
    } else if (!targetExisted) {
        EXPECT_FALSE(QFileInfo::exists(target));
    } else {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), targetBefore);
    }
    const QStringList left = QDir(dir.path()).entryList(QDir::Files);
    for (const QString& name : left)
        EXPECT_FALSE(name.contains(u".part"_s)) << name.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    BadInputs, MigrateRefusal,
    ::testing::Values(BadInput{"TargetHoldsData",
                               [](MigrateTest& test, QString*, QString* target) {
                                   buildFleet(*target = test.path(u"有数据.mdb"_s), {});
                               },
                               u"目标数据库不是空的"_s},
                      BadInput{"SourceMissing",
                               [](MigrateTest& test, QString* source, QString*) { *source = test.path(u"无.mdb"_s); },
                               u"源数据库文件不存在"_s},
                      BadInput{"WrongKey",
                               [](MigrateTest& test, QString* source, QString*) {
                                   sqliteFile(*source = test.path(u"别的密码.mdb"_s), "1234567", "CREATE TABLE x (a)");
                               },
                               u"密码不对"_s},
                      BadInput{"NotOurFile",
                               [](MigrateTest& test, QString* source, QString*) {
                                   sqliteFile(*source = test.path(u"别的库.mdb"_s), "4062719", "CREATE TABLE x (a)");
                               },
                               u"不是本程序的数据库文件"_s},
                      BadInput{"SourceIsTarget",
                               [](MigrateTest&, QString* source, QString* target) { *target = *source; },
                               u"目标数据库不是空的"_s},
                      BadInput{"ServerDatabaseHoldsTables",
                               [](MigrateTest& test, QString*, QString* target) {
                                   *target = test.serverDatabase();
                                   if (!target->isEmpty()) {
                                       ASSERT_TRUE(store::CreateServerDatabase(*target));
                                   }
                               },
                               u"迁移失败，目标数据库未写入"_s},
                      BadInput{"ServerUnreachable",
                               [](MigrateTest&, QString*, QString* target) {
                                   *target = u"host=127.0.0.1 port=9 dbname=velmora connect_timeout=2"_s;
                               },
                               u"迁移失败，目标数据库未写入"_s}),
    [](const ::testing::TestParamInfo<BadInput>& p) { return std::string(p.param.name); });

// A target that comes out different from the source is rolled back whole.
TEST_F(MigrateTest, ADifferenceUndoesTheCopy) {
    const QString source = path(u"clxx.mdb"_s);
    buildFleet(source, {});
    const QString target = path(u"目标.mdb"_s);
    ASSERT_TRUE(store::CreateDatabase(target));
    DatabaseConnection from, to;
    ASSERT_TRUE(from.OpenDatabaseFile(source, store::kDatabasePassword, store::ConnectionSharing::Private));
    ASSERT_TRUE(to.OpenDatabaseFile(target, store::kDatabasePassword, store::ConnectionSharing::Private));
    ASSERT_TRUE(to.BeginTransaction());
    store::CopyReport report;
    QString error;
    bool tampered = false;
    const bool ok = store::CopyTables(from, to, &report, &error, [&](const QString& table, qint64) {
        // One image changed in the target after its batch went in.
        if (table == u"京A12341"_s && !tampered)
            tampered = to.ExecuteWithBinaries(u"update 京A12341 set [行车证信息1]=? where [编号]=3"_s, {"x"});
        return true;
    });
    ASSERT_TRUE(tampered);
    EXPECT_FALSE(ok);
    ASSERT_EQ(report.differences.size(), 1);
    EXPECT_TRUE(report.differences.first().startsWith(u"京A12341"_s));
    to.RollbackTransaction();
    QString why;
    EXPECT_TRUE(store::TargetIsEmpty(to, &why)) << why.toStdString();
}

// Killed in the middle of the copy, the migrate leaves the target empty; the next one succeeds.
class MigrateKilled : public MigrateTest, public ::testing::WithParamInterface<testing_support::Engine> {};

TEST_P(MigrateKilled, LeavesTheTargetEmpty) {
    const QString source = path(u"clxx.mdb"_s);
    buildFleet(source, {});
    const bool server = GetParam() == testing_support::Engine::Server;
    const QString target = server ? serverDatabase() : path(u"目标.mdb"_s);
    if (target.isEmpty())
        GTEST_SKIP() << "no PostgreSQL server programs";
    const pid_t pid = fork();
    if (pid == 0) {
        store::CopyReport report;
        QString error;
        store::MigrateFile(source, target, &report, &error, [](const QString& table, qint64) {
            if (table.startsWith(u"京A"_s))
                raise(SIGKILL);
            return true;
        });
        _exit(3); // not reached when the copy got as far as a vehicle
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    if (server) {
        DatabaseConnection empty;
        EXPECT_TRUE(empty.OpenEmptyServer(target)) << empty.LastError().toStdString();
    } else {
        EXPECT_FALSE(QFileInfo::exists(target));
    }
    store::CopyReport report;
    QString error;
    EXPECT_TRUE(store::MigrateFile(source, target, &report, &error)) << error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Engines, MigrateKilled, testing_support::BothEngines(), testing_support::EngineParamName);

TEST_F(MigrateTest, CommandPrintsBothSidesAndRefusesWrongUsage) {
    const QString source = path(u"clxx.mdb"_s);
    buildFleet(source, {});
    QString printed, errors;
    QTextStream out(&printed), err(&errors);
    EXPECT_EQ(cli::Run({u"migrate"_s, u"--database"_s, path(u"t.mdb"_s)}, out, err), 2);
    EXPECT_EQ(cli::Run({u"migrate"_s, u"--from-file"_s, source, u"--database"_s, path(u"t.mdb"_s), u"x"_s}, out, err),
              2);
    EXPECT_EQ(cli::Run({u"migrate"_s, u"--from-file"_s, source, u"--database"_s, path(u"t.mdb"_s)}, out, err), 0)
        << errors.toStdString();
    out.flush();
    for (const QString& table : {u"总表"_s, u"京A12340"_s, u"报险表"_s, u"权限"_s})
        EXPECT_TRUE(printed.contains(table + u"\t源 "_s)) << table.toStdString();
    EXPECT_FALSE(printed.contains(u"不一致"_s));
    qunsetenv("VELMORA_DATABASE");
}

} // namespace
