#include "store/company.h"
#include "store/database.h"
#include "store/schema.h"
#include "store/sqltext.h"
#include "store/target.h"
#include "store/versions.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

using store::DatabaseConnection;
using store::FieldKind;
using testing_support::DataDirTest;
using testing_support::EngineTest;

namespace {

// The file engine's own checks: its key, its encryption, a missing file.
using FileDatabaseTest = DataDirTest;

// Every statement form of the program, run on each engine.
class DatabaseTest : public EngineTest {
protected:
    // A vehicle table made the way the program makes one.
    void makeVehicle(const QString& plate) {
        ASSERT_TRUE(db().ExecuteStatement(u"select * into "_s + plate + u" from yangbiao"_s))
            << db().LastError().toStdString();
        ASSERT_TRUE(
            db().ExecuteStatement(u"Alter table "_s + plate + u"  Add  Constraint  PrimaryKey  Primary  Key (编号)"_s))
            << db().LastError().toStdString();
    }
};

} // namespace

TEST_F(FileDatabaseTest, MissingFileFailsAndLeavesNoFileBehind) {
    DatabaseConnection c;
    const QString missing = QDir(dataDir()).filePath(u"none.mdb"_s);
    EXPECT_FALSE(c.OpenDatabaseFile(missing, store::kDatabasePassword));
    EXPECT_FALSE(c.IsOpen());
    EXPECT_FALSE(QFileInfo::exists(missing));
    // Later statements fail on their own rather than crash.
    EXPECT_FALSE(c.ExecuteStatement(u"delete * from [总表]"_s));
    EXPECT_EQ(c.OpenRecordSet(u"select * from 总表"_s), 0);
}

TEST_F(FileDatabaseTest, WrongPasswordFailsAtOpen) {
    DatabaseConnection c;
    EXPECT_FALSE(c.OpenDatabaseFile(dbPath(), u"1234567"_s));
    EXPECT_FALSE(c.IsOpen());
    EXPECT_TRUE(c.OpenDatabaseFile(dbPath(), store::kDatabasePassword));
}

TEST_F(FileDatabaseTest, FileIsEncrypted) {
    QFile f(dbPath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray content = f.readAll();
    EXPECT_FALSE(content.startsWith("SQLite format 3"));
    EXPECT_FALSE(content.contains(store::kInitialOperator.toUtf8()));
}

TEST_P(DatabaseTest, VehicleTableRoundTripWithTypedReads) {
    makeVehicle(u"京A12345"_s);
    const QList<QByteArray> images{QByteArray("\xff\xd8jpeg", 6), {}, QByteArray(1000, 'x'), {}, {}};
    ASSERT_TRUE(
        db().ExecuteWithBinaries(u"insert into 京A12345([档案编号],[车主姓名],[买入日期],[车辆状态],[是否提醒主车审车],"
                                 u"[车主身份证信息],[车辆照片信息],[车辆照片信息2],[行车证信息1],[行车证信息2]) "
                                 u"values ('007','O''Brien','2026年3月9日',1,true,?,?,?,?,?)"_s,
                                 images))
        << db().LastError().toStdString();
    ASSERT_TRUE(db().ExecuteStatement(
        u"insert into 京A12345([下次审车日期],[审车应缴费用]) values ('2027年1月31日','1000')"_s));

    const int rs = db().OpenRecordSet(u"select * from 京A12345"_s);
    ASSERT_NE(rs, 0);
    EXPECT_EQ(db().RowCount(rs), 2);
    EXPECT_EQ(db().Columns(rs).size(), 96);
    const auto id = db().ReadField(rs, u"编号"_s);
    EXPECT_EQ(id.kind, FieldKind::Number);
    EXPECT_EQ(id.number(), 1);
    EXPECT_EQ(db().ReadField(rs, u"车主姓名"_s).text(), u"O'Brien"_s);
    const auto bought = db().ReadField(rs, u"买入日期"_s);
    EXPECT_EQ(bought.kind, FieldKind::DateTime);
    EXPECT_EQ(bought.date(), QDate(2026, 3, 9));
    const auto remind = db().ReadField(rs, u"是否提醒主车审车"_s);
    EXPECT_EQ(remind.kind, FieldKind::YesNo);
    EXPECT_TRUE(remind.yesNo());
    EXPECT_EQ(db().ReadField(rs, u"车辆状态"_s).text(), u"1"_s);
    EXPECT_EQ(db().ReadField(rs, u"车主身份证信息"_s).bytes(), images[0]);
    EXPECT_EQ(db().ReadField(rs, u"车辆照片信息"_s).kind, FieldKind::Bytes);
    EXPECT_TRUE(db().ReadField(rs, u"车辆照片信息"_s).bytes().isEmpty());
    EXPECT_EQ(db().ReadField(rs, u"车辆照片信息2"_s).bytes().size(), 1000);
    // A null text column reads as empty text.
    const auto remark = db().ReadField(rs, u"审车备注"_s);
    EXPECT_TRUE(remark.isNull);
    EXPECT_EQ(remark.kind, FieldKind::Text);
    EXPECT_EQ(remark.text(), QString());

    db().MoveNext(rs);
    EXPECT_FALSE(db().AtEnd(rs));
    EXPECT_EQ(db().ReadField(rs, u"编号"_s).number(), 2);
    EXPECT_EQ(db().ReadField(rs, u"下次审车日期"_s).date(), QDate(2027, 1, 31));
    EXPECT_FALSE(db().ReadField(rs, u"是否脱审"_s).yesNo());
    db().MoveNext(rs);
    EXPECT_TRUE(db().AtEnd(rs));
    db().MoveFirst(rs);
    EXPECT_EQ(db().ReadField(rs, u"编号"_s).number(), 1);
    db().MoveLast(rs);
    EXPECT_EQ(db().ReadField(rs, u"编号"_s).number(), 2);
    db().CloseRecordSet(rs);
    EXPECT_TRUE(db().AtEnd(rs));

    const int current = db().OpenRecordSet(u"select [下次审车日期] from 京A12345 where 下次审车日期 is not null"_s);
    ASSERT_NE(current, 0);
    db().MoveLast(current);
    EXPECT_EQ(db().ReadField(current, u"下次审车日期"_s).text(), u"2027-01-31"_s);
    db().CloseRecordSet(current);

    if (onServer())
        return;
    // The stored form is ISO text and yes/no is 0/1, so other tools read the file plainly.
    const int raw = db().OpenRecordSet(u"select typeof(买入日期) as t, 买入日期 || '' as d, "
                                       u"是否提醒主车审车 + 0 as y from 京A12345 where [编号]=1"_s);
    ASSERT_NE(raw, 0);
    EXPECT_EQ(db().ReadField(raw, u"t"_s).text(), u"text"_s);
    EXPECT_EQ(db().ReadField(raw, u"d"_s).text(), u"2026-03-09"_s);
    EXPECT_EQ(db().ReadField(raw, u"y"_s).number(), 1);
}

// Plates of ASCII letters alone (a typing slip, an old plate) name their tables too: every
// statement of a vehicle reaches the table the copy of the template made, on either engine.
TEST_P(DatabaseTest, AsciiPlateTablesTakeEveryStatement) {
    for (const QString& plate : {u"B6688"_s, u"Ab12345"_s}) {
        makeVehicle(plate);
        ASSERT_TRUE(db().ExecuteStatement(u"insert into "_s + plate + u"([审车备注],[是否脱审]) values ('x',true)"_s))
            << plate.toStdString() << ": " << db().LastError().toStdString();
        ASSERT_TRUE(db().ExecuteStatement(u"update "_s + plate + u" set [是否脱审]=false where [编号]=1"_s))
            << db().LastError().toStdString();
        const int rs = db().OpenRecordSet(u"select * from "_s + plate + u" where [审车备注]='x'"_s);
        ASSERT_NE(rs, 0) << db().LastError().toStdString();
        EXPECT_EQ(db().RowCount(rs), 1);
        EXPECT_FALSE(db().ReadField(rs, u"是否脱审"_s).yesNo());
        db().CloseRecordSet(rs);
        EXPECT_TRUE(db().ExecuteStatement(u"delete from "_s + plate + u" where [编号]=1"_s))
            << db().LastError().toStdString();
        EXPECT_TRUE(db().ExecuteStatement(u"drop table "_s + plate)) << db().LastError().toStdString();
    }
}

TEST_P(DatabaseTest, UnknownColumnFailsInsteadOfReadingAsText) {
    makeVehicle(u"京F1"_s);
    EXPECT_EQ(db().OpenRecordSet(u"select [无此列] from 京F1 where 无此列 is not null"_s), 0);
    EXPECT_FALSE(db().ExecuteStatement(u"update 京F1 set [无此列]=true"_s));
}

TEST_P(DatabaseTest, EmptyResultIsAtEndAtOnce) {
    const int rs = db().OpenRecordSet(u"select * from [总表] where [车牌号]='none'"_s);
    ASSERT_NE(rs, 0);
    EXPECT_TRUE(db().AtEnd(rs));
    db().MoveLast(rs);
    EXPECT_TRUE(db().AtEnd(rs));
    EXPECT_TRUE(db().ReadField(rs, u"车牌号"_s).isNull);
}

TEST_P(DatabaseTest, ImpossibleDatesAreRefusedByTheDatabase) {
    makeVehicle(u"京A1"_s);
    EXPECT_FALSE(db().ExecuteStatement(u"insert into 京A1([下次审车日期]) values ('2026年2月30日')"_s));
    EXPECT_FALSE(db().ExecuteStatement(u"insert into 京A1([下次审车日期]) values ('下个月')"_s));
    // Also when a statement bypasses the conversion: the column itself holds only real dates.
    // The same statement with a real date goes in, so only the date can make it fail.
    const QString bypass = u"insert into 京A1([审车车号],[下次审车日期]) select '京A1','%1'"_s;
    ASSERT_TRUE(db().ExecuteStatement(bypass.arg(u"2026-02-28"_s))) << db().LastError().toStdString();
    for (const char* impossible : {"2026-02-30", "2026-02-29", "2026-04-31", "2026-13-01", "2026-00-10", "下个月"})
        EXPECT_FALSE(db().ExecuteStatement(bypass.arg(QString::fromUtf8(impossible)))) << impossible;
    // The file keeps dates as ISO text and refuses any other spelling; the server's date column
    // reads these as the dates they name.
    if (!onServer()) {
        for (const char* notIso : {"2026-2-3", "2026-02-28 10:00"})
            EXPECT_FALSE(db().ExecuteStatement(bypass.arg(QString::fromUtf8(notIso)))) << notIso;
    }
    EXPECT_TRUE(db().ExecuteStatement(bypass.arg(u"2024-02-29"_s))) << db().LastError().toStdString();
    // An update that the conversion does not look into is held to the same rule.
    EXPECT_FALSE(db().ExecuteStatement(u"update 京A1 set [下次审车日期]=('2026-02-30')"_s));
    EXPECT_FALSE(db().ExecuteStatement(u"update 京A1 set [下次审车日期]=('2026-02-30') where [编号]=1"_s));
    const int rs = db().OpenRecordSet(u"select [下次审车日期] from 京A1"_s);
    ASSERT_NE(rs, 0);
    ASSERT_EQ(db().RowCount(rs), 2);
    EXPECT_EQ(db().ReadField(rs, u"下次审车日期"_s).date(), QDate(2026, 2, 28));
    db().MoveLast(rs);
    EXPECT_EQ(db().ReadField(rs, u"下次审车日期"_s).date(), QDate(2024, 2, 29));
    db().CloseRecordSet(rs);
}

TEST_P(DatabaseTest, JetStatementsRunUnchanged) {
    makeVehicle(u"京C5"_s);
    // The copy keeps the autonumber key: numbers increase and are never reused.
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(
            db().ExecuteStatement(u"insert into 京C5([审车车号],[下次审车日期]) values ('京C5','2026年5月1日')"_s));
    ASSERT_TRUE(db().ExecuteStatement(u"delete * from 京C5 where [编号]=3"_s));
    ASSERT_TRUE(db().ExecuteStatement(u"insert into 京C5([审车车号]) values ('京C5')"_s));
    int rs = db().OpenRecordSet(u"select [编号] from 京C5"_s);
    db().MoveLast(rs);
    EXPECT_EQ(db().ReadField(rs, u"编号"_s).number(), 4);
    db().CloseRecordSet(rs);

    ASSERT_TRUE(db().ExecuteStatement(u"update 京C5 set [是否脱审]=true where [编号]=1"_s));
    rs = db().OpenRecordSet(u"select [编号] from 京C5 where [是否脱审]=true and 下次审车日期>=#2026-5-1#"_s);
    ASSERT_NE(rs, 0);
    EXPECT_EQ(db().RowCount(rs), 1);
    db().CloseRecordSet(rs);

    ASSERT_TRUE(db().ExecuteStatement(u"insert into [总表]([档案编号],[车牌号]) values('001','京C5')"_s));
    rs = db().OpenRecordSet(u"select count(*) as[数量] from [总表] where [车牌号]='京C5'and [档案编号]='001'"_s);
    EXPECT_EQ(db().ReadField(rs, u"数量"_s).number(), 1);
    rs = db().OpenRecordSet(u"select 车牌号 from [总表] where 车牌号 like'%C%'"_s);
    EXPECT_EQ(db().RowCount(rs), 1);

    EXPECT_TRUE(db().ExecuteStatement(u"drop table 京C5"_s));
    EXPECT_FALSE(db().ExecuteStatement(u"DROP TABLE 京C5"_s));
    makeVehicle(u"京C5"_s);
    EXPECT_TRUE(db().ExecuteStatement(u"DROP TABLE 京C5"_s));
}

TEST_P(DatabaseTest, QuotingKeepsValuesAsTyped) {
    const QString name = u"O'Brien"_s;
    const QString password = u"' or '1'='1"_s;
    ASSERT_TRUE(db().ExecuteStatement(
        u"insert into 权限 ([用户名],[密码],[增删车辆],[修改车辆信息],[增加车辆信息],[费用可见],[统计查询],"
        u"[权限设置]) values ('"_s +
        store::SqlText(name) + u"','"_s + store::SqlText(u"pw"_s) + u"',true,false,false,false,false,false)"_s));
    int rs = db().OpenRecordSet(u"select count(*) as[数量] from [权限] where [用户名]='"_s + store::SqlText(name) +
                                u"'and [密码]='pw'"_s);
    ASSERT_NE(rs, 0);
    EXPECT_EQ(db().ReadField(rs, u"数量"_s).number(), 1);
    // The classic injection matches nobody.
    rs = db().OpenRecordSet(u"select count(*) as[数量] from [权限] where [用户名]='"_s +
                            store::SqlText(store::kInitialOperator) + u"'and [密码]='"_s + store::SqlText(password) +
                            u"'"_s);
    ASSERT_NE(rs, 0);
    EXPECT_EQ(db().ReadField(rs, u"数量"_s).number(), 0);
}

TEST_P(DatabaseTest, ConnectionsSeeEachOthersChanges) {
    DatabaseConnection other;
    ASSERT_TRUE(store::OpenTarget(other, target(), store::ConnectionSharing::Private));
    ASSERT_TRUE(db().ExecuteStatement(u"insert into [总表]([档案编号],[车牌号]) values('1','京D1')"_s));
    const int rs = other.OpenRecordSet(u"select 车牌号 from [总表] "_s);
    ASSERT_NE(rs, 0);
    EXPECT_EQ(other.ReadField(rs, u"车牌号"_s).text(), u"京D1"_s);
    if (onServer())
        return;
    // Rollback journal, not WAL: the database file alone is the whole database.
    const int mode = db().OpenRecordSet(u"PRAGMA journal_mode"_s);
    EXPECT_EQ(db().ReadField(mode, u"journal_mode"_s).text().toLower(), u"delete"_s);
}

TEST_P(DatabaseTest, RolledBackTransactionLeavesNothing) {
    ASSERT_TRUE(db().BeginTransaction());
    ASSERT_TRUE(db().ExecuteStatement(u"select * into 京E9 from yangbiao"_s));
    ASSERT_TRUE(db().ExecuteStatement(u"insert into [总表]([档案编号],[车牌号]) values('9','京E9')"_s));
    db().RollbackTransaction();
    EXPECT_EQ(db().OpenRecordSet(u"select * from 京E9"_s), 0);
    const int rs = db().OpenRecordSet(u"select count(*) as[数量] from [总表]"_s);
    EXPECT_EQ(db().ReadField(rs, u"数量"_s).number(), 0);
    // The same table can be made at once afterwards.
    EXPECT_TRUE(db().ExecuteStatement(u"select * into 京E9 from yangbiao"_s));
}

TEST_P(DatabaseTest, StatementLogKeepsTheTextsAsWritten) {
    DatabaseConnection::SetStatementLogging(true);
    db().ExecuteStatement(u"delete * from [总表] where [车牌号]='x'"_s);
    db().OpenRecordSet(u"select 车牌号 from [总表] "_s);
    EXPECT_EQ(DatabaseConnection::StatementLog(),
              QStringList({u"delete * from [总表] where [车牌号]='x'"_s, u"select 车牌号 from [总表] "_s}));
}

INSTANTIATE_TEST_SUITE_P(Engines, DatabaseTest, testing_support::BothEngines(), testing_support::EngineParamName);

TEST_P(DatabaseTest, SnapshotSeesOneStateWhileOthersWrite) {
    const auto kinds = [](DatabaseConnection& c) {
        const int h = c.OpenRecordSet(u"select count(*) as[数量] from 险种名称"_s);
        const int n = h ? int(c.ReadField(h, u"数量"_s).number()) : -1;
        c.CloseRecordSet(h);
        return n;
    };
    DatabaseConnection writer;
    ASSERT_TRUE(store::OpenTarget(writer, target(), store::ConnectionSharing::Private));
    writer.SetBusyTimeout(200);
    const int before = kinds(db());
    ASSERT_TRUE(db().BeginTransaction(store::TransactionMode::Snapshot)) << db().LastError().toStdString();
    EXPECT_EQ(kinds(db()), before);
    // The server lets the other write and keeps the snapshot as it was; the file holds the
    // writer off until the snapshot ends.
    const bool written = writer.ExecuteStatement(u"insert into 险种名称 (险种名称) values ('甲')"_s);
    EXPECT_EQ(written, onServer()) << writer.LastError().toStdString();
    EXPECT_EQ(kinds(db()), before);
    // A snapshot writes nothing.
    if (onServer()) {
        EXPECT_FALSE(db().ExecuteStatement(u"insert into 险种名称 (险种名称) values ('乙')"_s));
    }
    EXPECT_TRUE(db().CommitTransaction());
    EXPECT_EQ(kinds(db()), before + (written ? 1 : 0));
    EXPECT_TRUE(writer.ExecuteStatement(u"insert into 险种名称 (险种名称) values ('丙')"_s));
    EXPECT_EQ(kinds(db()), before + (written ? 2 : 1));
}

TEST_P(DatabaseTest, TableNamesListFixedAndVehicleTables) {
    makeVehicle(u"京T1"_s);
    const QStringList names = db().TableNames();
    for (const QString& table : store::FixedTableNames())
        EXPECT_TRUE(names.contains(table)) << table.toStdString();
    EXPECT_TRUE(names.contains(u"京T1"_s));
    EXPECT_TRUE(names.contains(store::kVehicleVersionTable)); // of every new database
    EXPECT_TRUE(names.contains(store::kCompanyTable));
    EXPECT_EQ(names.size(), store::FixedTableNames().size() + 3);
    EXPECT_EQ(db().IsServer(), onServer());
    EXPECT_FALSE(db().Describe().isEmpty());
}

TEST_P(DatabaseTest, CorrectingARowKeepsTableOrder) {
    makeVehicle(u"京O1"_s);
    for (const char* date : {"2026年1月1日", "2026年2月1日", "2026年3月1日"})
        ASSERT_TRUE(db().ExecuteStatement(
            u"insert into 京O1([下次审车日期],[审车备注]) values('%1','')"_s.arg(QString::fromUtf8(date))));
    // A correction of an earlier row leaves the last row the current one (the server would
    // otherwise hand the changed row out last).
    ASSERT_TRUE(db().ExecuteStatement(u"update 京O1 set [审车备注]='"_s + QString(2000, QLatin1Char('x')) +
                                      u"' where [编号]=1"_s));
    const int rs = db().OpenRecordSet(u"select [编号],[下次审车日期] from 京O1 where 下次审车日期 is not null"_s);
    ASSERT_NE(rs, 0);
    QList<int> numbers;
    for (db().MoveFirst(rs); !db().AtEnd(rs); db().MoveNext(rs))
        numbers << int(db().ReadField(rs, u"编号"_s).number());
    EXPECT_EQ(numbers, QList<int>({1, 2, 3}));
    db().MoveLast(rs);
    EXPECT_EQ(db().ReadField(rs, u"下次审车日期"_s).date(), QDate(2026, 3, 1));
    db().CloseRecordSet(rs);
}

// ---- reading many tables at once -------------------------------------------------------------

namespace {

// What a record set holds, row by row: each column's kind, nullness and text.
QStringList contents(DatabaseConnection& db, int handle) {
    QStringList rows;
    const QStringList columns = db.Columns(handle);
    for (db.MoveFirst(handle); !db.AtEnd(handle); db.MoveNext(handle)) {
        QStringList cells;
        for (const QString& c : columns) {
            const store::FieldValue v = db.ReadField(handle, c);
            cells << u"%1:%2:%3"_s.arg(int(v.kind)).arg(v.isNull ? u"null"_s : v.text(), c);
        }
        rows << cells.join(u" | "_s);
    }
    return rows;
}

// One table's outcome: its rows, or the failure the select gave.
struct TableOutcome {
    bool ok = false;
    QStringList rows;
    QString error;
    bool operator==(const TableOutcome&) const = default;
};

void PrintTo(const TableOutcome& t, std::ostream* os) {
    *os << (t.ok ? "rows: " + t.rows.join(u" / "_s).toStdString() : "failed: " + t.error.toStdString());
}

// The tables' kinds of shape, and how each is made.
struct TableShape {
    const char* plate;
    const char* make; // statements run in order, ";"-separated; empty: the table is never made
};

// Tables of one shape next to each other are read together; another shape between them parts them.
const TableShape kShapes[] = {
    // Rows in 编号 order even after a correction (the server would hand the changed row out last).
    {"京R1", "select * into 京R1 from yangbiao;Alter table 京R1  Add  Constraint  PrimaryKey  Primary  Key (编号);"
             "insert into 京R1 ([审车车号],[下次审车日期]) values ('京R1','2026年1月1日');"
             "insert into 京R1 ([审车车号],[下次审车日期]) values ('京R1挂','2026年2月1日');"
             "update 京R1 set [审车备注]='改' where [编号]=1"},
    {"京R3", "select * into 京R3 from yangbiao"},
    {"京R2", ""}, // listed, never made
    // Another shape: the date column holds text.
    {"京R4", "create table 京R4 ([编号] integer primary key autoincrement, [审车车号] text, [下次审车日期] text);"
             "insert into 京R4 ([审车车号],[下次审车日期]) values ('京R4','2026-3-1')"},
    // Without a column the read names.
    {"京R5", "create table 京R5 ([编号] integer primary key autoincrement, [审车车号] text);"
             "insert into 京R5 ([审车车号]) values ('京R5')"},
    // 编号 without its key: its order is not a key's.
    {"京R6", "create table 京R6 ([编号] integer, [审车车号] text, [下次审车日期] date);"
             "insert into 京R6 ([编号],[审车车号]) values (2,'京R6b');insert into 京R6 ([编号],[审车车号]) values "
             "(1,'京R6a')"},
    {"京R7",
     "select * into 京R7 from yangbiao;insert into 京R7 ([审车车号],[下次审车日期]) values ('京R7','2027年7月7日')"},
    {"京R8", "select * into 京R8 from yangbiao;insert into 京R8 ([审车车号]) values ('京R8')"},
    // A plate of ASCII letters: the server keeps its table's name as the copy wrote it.
    {"B9", "select * into B9 from yangbiao;insert into B9 ([审车车号]) values ('B9')"},
};

} // namespace

TEST_P(DatabaseTest, ReadingManyTablesGivesWhatEachSelectGives) {
    QStringList tables;
    for (const TableShape& shape : kShapes) {
        tables << QString::fromUtf8(shape.plate);
        for (const QString& statement : QString::fromUtf8(shape.make).split(u';', Qt::SkipEmptyParts))
            ASSERT_TRUE(db().ExecuteStatement(statement)) << statement.toStdString() << db().LastError().toStdString();
    }
    const QStringList columns = {u"编号"_s, u"审车车号"_s, u"下次审车日期"_s};
    // What a read cost in round trips to the server.
    qint64 trips = 0;
    const auto eachAlone = [&] {
        const qint64 before = DatabaseConnection::ServerRoundTrips();
        std::vector<TableOutcome> out;
        for (const QString& table : tables) {
            const int h = db().OpenRecordSet(u"select [编号],[审车车号],[下次审车日期] from "_s + table);
            out.push_back(h ? TableOutcome{true, contents(db(), h), {}} : TableOutcome{false, {}, db().LastError()});
            db().CloseRecordSet(h);
        }
        trips = DatabaseConnection::ServerRoundTrips() - before;
        return out;
    };
    const auto together = [&] {
        const qint64 before = DatabaseConnection::ServerRoundTrips();
        std::vector<TableOutcome> out;
        db().ReadTables(tables, columns, [&](qsizetype i, int h) {
            EXPECT_EQ(qsizetype(out.size()), i);
            out.push_back(h ? TableOutcome{true, contents(db(), h), {}} : TableOutcome{false, {}, db().LastError()});
        });
        trips = DatabaseConnection::ServerRoundTrips() - before;
        return out;
    };
    const std::vector<TableOutcome> alone = eachAlone();
    ASSERT_EQ(alone.size(), std::size(kShapes));
    // The fleet holds what is compared: rows in order, an empty table, three failures.
    EXPECT_EQ(alone[0].rows.size(), 2);
    EXPECT_TRUE(alone[0].rows[0].contains(u"京R1:审车车号"_s)) << alone[0].rows[0].toStdString();
    EXPECT_TRUE(alone[1].ok && alone[1].rows.isEmpty());
    EXPECT_FALSE(alone[2].ok);
    EXPECT_FALSE(alone[4].ok);
    EXPECT_TRUE(alone[3].ok && alone[5].ok && alone[6].ok && alone[7].ok && alone[8].ok);

    DatabaseConnection::SetStatementLogging(true);
    for (const bool inTransaction : {false, true}) {
        SCOPED_TRACE(inTransaction ? "in a transaction" : "outside a transaction");
        if (inTransaction) {
            ASSERT_TRUE(db().BeginTransaction());
        }
        EXPECT_EQ(eachAlone(), alone);
        const qint64 aloneTrips = trips;
        DatabaseConnection::ClearStatementLog();
        EXPECT_EQ(together(), alone);
        // Each run of tables of one shape costs the server one round trip instead of one a table.
        EXPECT_EQ(trips, onServer() ? aloneTrips - 3 : 0);
        QStringList selects;
        for (const QString& table : tables)
            selects << u"select [编号],[审车车号],[下次审车日期] from "_s + table;
        EXPECT_EQ(DatabaseConnection::StatementLog(), selects);
        // The transaction goes on after the failed reads.
        EXPECT_TRUE(db().ExecuteStatement(u"insert into 京R3 ([审车车号]) values ('京R3')"_s))
            << db().LastError().toStdString();
        if (inTransaction)
            db().RollbackTransaction();
        else
            ASSERT_TRUE(db().ExecuteStatement(u"delete * from 京R3"_s));
    }
    DatabaseConnection::SetStatementLogging(false);

    // Another operator drops a table after this connection knew it: it fails alone.
    eachAlone();
    DatabaseConnection other;
    ASSERT_TRUE(store::OpenTarget(other, target(), store::ConnectionSharing::Private));
    ASSERT_TRUE(other.ExecuteStatement(u"drop table 京R7"_s)) << other.LastError().toStdString();
    const std::vector<TableOutcome> afterDrop = eachAlone();
    const qint64 aloneTrips = trips;
    EXPECT_FALSE(afterDrop[6].ok);
    EXPECT_TRUE(afterDrop[7].ok);
    EXPECT_EQ(together(), afterDrop);
    // On the server 京R1 and 京R3 still cost one round trip; the read of 京R7, 京R8 and B9 failed at
    // its first table, and each was read again alone.
    EXPECT_EQ(trips, onServer() ? aloneTrips - 1 + 1 : 0);
}
