#include "store/translate.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

using store::TranslateStatement;

namespace {

store::SchemaLookup fakeSchema() {
    return {[](const QString& table) {
                QHash<QString, QString> t;
                if (table == u"京A12345"_s || table == u"yangbiao"_s) {
                    t.insert(u"编号"_s, u"INTEGER PRIMARY KEY"_s);
                    t.insert(u"下次审车日期"_s, u"DATE"_s);
                    t.insert(u"审车备注"_s, u"TEXT"_s);
                    t.insert(u"是否脱审"_s, u"YESNO"_s);
                }
                return t;
            },
            [](const QString& table) {
                return table == u"yangbiao"_s ? u"CREATE TABLE [yangbiao] ([编号] "
                                                u"INTEGER PRIMARY KEY AUTOINCREMENT)"_s
                                              : QString();
            }};
}

QString one(const QString& jet) {
    const auto t = TranslateStatement(jet, fakeSchema());
    EXPECT_TRUE(t.ok()) << t.error.toStdString();
    EXPECT_EQ(t.statements.size(), 1);
    return t.statements.value(0);
}

} // namespace

TEST(Translate, NamesAreQuotedButTextIsNot) {
    EXPECT_EQ(one(u"select count(*) as[数量] from [权限] where [用户名]='a[b]#1#true'and [密码]='x'"_s),
              u"select count(*) as[数量] from [权限] where [用户名]='a[b]#1#true'and [密码]='x'"_s);
    EXPECT_EQ(one(u"select 车牌号 from [总表] "_s), u"select [车牌号] from [总表] "_s);
    EXPECT_EQ(one(u"select * from 京A12345 where 主车牌号 like'%A1%'"_s),
              u"select * from [京A12345] where [主车牌号] like'%A1%'"_s);
    // A quote doubled inside a value stays one value.
    EXPECT_EQ(one(u"select * from x where a='O''Brien'"_s), u"select * from x where a='O''Brien'"_s);
}

TEST(Translate, BooleansAndDateLiterals) {
    EXPECT_EQ(one(u"update 京A12345 set [是否脱审]=false"_s), u"update [京A12345] set [是否脱审]=0"_s);
    EXPECT_EQ(one(u"update 京A12345 set [是否脱审]=TRUE where [编号]=3"_s),
              u"update [京A12345] set [是否脱审]=1 where [编号]=3"_s);
    EXPECT_EQ(one(u"select * from [报险表] where 报险日期>=#2026-1-5# and 报险日期<= #12/8/2026#"_s),
              u"select * from [报险表] where [报险日期]>='2026-01-05' and [报险日期]<= '2026-12-08'"_s);
    EXPECT_FALSE(TranslateStatement(u"select * from t where d>=#2026-2-30#"_s, fakeSchema()).ok());
}

TEST(Translate, DeleteStarAndLeadingBlanks) {
    EXPECT_EQ(one(u"  delete  *  from [总表] where [车牌号]='京A'"_s),
              u"  delete    from [总表] where [车牌号]='京A'"_s);
    EXPECT_EQ(one(u"DROP TABLE 京A12345"_s), u"DROP TABLE [京A12345]"_s);
}

TEST(Translate, DateValuesOfDateColumnsBecomeIso) {
    EXPECT_EQ(one(u"insert into 京A12345([下次审车日期],[审车备注]) values('2026年12月8日','2026年12月8日')"_s),
              u"insert into [京A12345]([下次审车日期],[审车备注]) values('2026-12-08','2026年12月8日')"_s);
    EXPECT_EQ(one(u"update 京A12345 set [审车备注]='2026年1月2日',[下次审车日期]='2027年1月2日' where [编号]=1"_s),
              u"update [京A12345] set [审车备注]='2026年1月2日',[下次审车日期]='2027-01-02' where [编号]=1"_s);
    EXPECT_EQ(one(u"insert into 京A12345([下次审车日期]) values('')"_s),
              u"insert into [京A12345]([下次审车日期]) values(NULL)"_s);
    const auto bad = TranslateStatement(u"update 京A12345 set [下次审车日期]='2026年2月30日'"_s, fakeSchema());
    EXPECT_FALSE(bad.ok());
    EXPECT_FALSE(TranslateStatement(u"insert into 京A12345([下次审车日期]) values('明天')"_s, fakeSchema()).ok());
}

TEST(Translate, SelectIntoAndPrimaryKey) {
    const auto copy = TranslateStatement(u"select * into 京B777 from yangbiao"_s, fakeSchema());
    ASSERT_TRUE(copy.ok());
    ASSERT_EQ(copy.statements.size(), 2);
    EXPECT_EQ(copy.statements[0], u"CREATE TABLE [京B777] ([编号] INTEGER PRIMARY KEY AUTOINCREMENT)"_s);
    EXPECT_EQ(copy.statements[1], u"INSERT INTO [京B777] SELECT * FROM [yangbiao]"_s);
    EXPECT_TRUE(copy.changesSchema);

    const auto key =
        TranslateStatement(u"Alter table 京A12345  Add  Constraint  PrimaryKey  Primary  Key (编号)"_s, fakeSchema());
    ASSERT_TRUE(key.ok());
    EXPECT_TRUE(key.statements.isEmpty()); // the copy already carries the key
    EXPECT_FALSE(
        TranslateStatement(u"Alter table 无此表  Add  Constraint  PrimaryKey  Primary  Key (编号)"_s, fakeSchema())
            .ok());
    EXPECT_FALSE(TranslateStatement(u"select * into X from 无此表"_s, fakeSchema()).ok());
}

TEST(Translate, UnterminatedLiteralIsRefused) {
    EXPECT_FALSE(TranslateStatement(u"select * from t where a='x"_s, fakeSchema()).ok());
    EXPECT_FALSE(TranslateStatement(u"select [a from t"_s, fakeSchema()).ok());
}

TEST(ParseJetDate, AcceptsTheProgramsFormsAndRefusesImpossibleDates) {
    EXPECT_EQ(store::ParseJetDate(u"2026年12月8日"_s), QDate(2026, 12, 8));
    EXPECT_EQ(store::ParseJetDate(u"2026-1-5"_s), QDate(2026, 1, 5));
    EXPECT_EQ(store::ParseJetDate(u"2026/01/05 10:00:00"_s), QDate(2026, 1, 5));
    EXPECT_EQ(store::ParseJetDate(u"12/8/2026"_s), QDate(2026, 12, 8));
    EXPECT_FALSE(store::ParseJetDate(u"2025年2月29日"_s).isValid());
    EXPECT_TRUE(store::ParseJetDate(u"2024年2月29日"_s).isValid());
    EXPECT_FALSE(store::ParseJetDate(u"2026-13-01"_s).isValid());
    EXPECT_FALSE(store::ParseJetDate(QString()).isValid());
}

namespace {

// One statement of the program and what each dialect makes of it.
struct DialectCase {
    const char* jet;
    const char* sqlite;
    const char* postgres;
};

class DialectTest : public ::testing::TestWithParam<DialectCase> {};

QString translated(const char* jet, store::Dialect dialect) {
    const auto t = TranslateStatement(QString::fromUtf8(jet), fakeSchema(), dialect);
    EXPECT_TRUE(t.ok()) << t.error.toStdString();
    return t.statements.join(u"\n"_s);
}

} // namespace

TEST_P(DialectTest, EachEngineGetsItsOwnSql) {
    EXPECT_EQ(translated(GetParam().jet, store::Dialect::SQLite).toStdString(), GetParam().sqlite);
    EXPECT_EQ(translated(GetParam().jet, store::Dialect::PostgreSQL).toStdString(), GetParam().postgres);
}

INSTANTIATE_TEST_SUITE_P(
    Statements, DialectTest,
    ::testing::Values(
        // Names: bracketed and Chinese names are quoted as written; ASCII words stay bare.
        DialectCase{"select count(*) as[数量] from [总表] where [车牌号]='京A'", //
                    "select count(*) as[数量] from [总表] where [车牌号]='京A'",
                    "select count(*) as\"数量\" from \"总表\" where \"车牌号\"='京A'"},
        // Yes/no stays boolean on the server; dates are typed literals.
        DialectCase{"update 京A12345 set [是否脱审]=false where [编号]=3",
                    "update [京A12345] set [是否脱审]=0 where [编号]=3",
                    "update \"京A12345\" set \"是否脱审\"=FALSE where \"编号\"=3"},
        DialectCase{
            "select * from [报险表] where 报险日期>=#2026-1-5# and 报险日期<=#12/8/2026#",
            "select * from [报险表] where [报险日期]>='2026-01-05' and [报险日期]<='2026-12-08'",
            "select * from \"报险表\" where \"报险日期\">=DATE '2026-01-05' and \"报险日期\"<=DATE '2026-12-08'"},
        DialectCase{"insert into 京A12345([下次审车日期],[审车备注]) values('2026年12月8日','')",
                    "insert into [京A12345]([下次审车日期],[审车备注]) values('2026-12-08','')",
                    "insert into \"京A12345\"(\"下次审车日期\",\"审车备注\") values('2026-12-08','')"},
        // LIKE: the server's is made case-blind and given the file's escaping.
        DialectCase{"select * from 京A12345 where 审车备注 like'%a_b%'",
                    "select * from [京A12345] where [审车备注] like'%a_b%'",
                    "select * from \"京A12345\" where \"审车备注\" ILIKE'%a_b%' ESCAPE '' ORDER BY \"编号\""},
        DialectCase{"select * from 京A12345 where 审车备注 like'%a\\%%' escape '\\'",
                    "select * from [京A12345] where [审车备注] like'%a\\%%' escape '\\'",
                    "select * from \"京A12345\" where \"审车备注\" ILIKE'%a\\%%' escape '\\' ORDER BY \"编号\""},
        // Parameters are numbered on the server.
        DialectCase{"update 京A12345 set [a]=?,[b]=? where [编号]=1",
                    "update [京A12345] set [a]=?,[b]=? where [编号]=1",
                    "update \"京A12345\" set \"a\"=$1,\"b\"=$2 where \"编号\"=1"},
        // The server is given the file's table order where the select names none.
        DialectCase{"select [下次审车日期] from 京A12345 where 下次审车日期 is not null;",
                    "select [下次审车日期] from [京A12345] where [下次审车日期] is not null;",
                    "select \"下次审车日期\" from \"京A12345\" where \"下次审车日期\" is not null ORDER BY \"编号\";"},
        // TOP and IIf, which neither engine knows.
        DialectCase{"select top 5 [编号] from 京A12345 order by [编号] desc",
                    "select [编号] from [京A12345] order by [编号] desc LIMIT 5",
                    "select \"编号\" from \"京A12345\" order by \"编号\" desc LIMIT 5"},
        DialectCase{"select IIf([是否脱审], 'y', IIf([编号]>2, 'n', '?')) as s from 京A12345",
                    "select CASE WHEN [是否脱审] THEN 'y' ELSE CASE WHEN [编号]>2 THEN 'n' ELSE '?' END END as s from "
                    "[京A12345]",
                    "select CASE WHEN \"是否脱审\" THEN 'y' ELSE CASE WHEN \"编号\">2 THEN 'n' ELSE '?' END END as s "
                    "from \"京A12345\""},
        // The copy of the template and its key.
        DialectCase{"select * into 京B777 from yangbiao",
                    "CREATE TABLE [京B777] ([编号] INTEGER PRIMARY KEY AUTOINCREMENT)\n"
                    "INSERT INTO [京B777] SELECT * FROM [yangbiao]",
                    "CREATE TABLE \"京B777\" (LIKE \"yangbiao\" INCLUDING ALL)\n"
                    "INSERT INTO \"京B777\" SELECT * FROM \"yangbiao\""},
        DialectCase{"delete * from [总表] where 车牌号='京A'", "delete  from [总表] where [车牌号]='京A'",
                    "delete  from \"总表\" where \"车牌号\"='京A'"},
        // A "--" that SQLite reads as a comment is never one on the server.
        DialectCase{"select 1--2 from 总表", "select 1--2 from [总表]", "select 1- -2 from \"总表\""},
        // The file's column types in a new table.
        DialectCase{"create table t ([编号] integer primary key autoincrement, [y] yesno default 0, [p] blob)",
                    "create table t ([编号] integer primary key autoincrement, [y] yesno default 0, [p] blob)",
                    "create table \"t\" (\"编号\" integer GENERATED BY DEFAULT AS IDENTITY primary key, \"y\" boolean "
                    "default FALSE, \"p\" bytea)"},
        // A plate of ASCII letters names its table exactly as the copy made it, not folded to lower case.
        DialectCase{"insert into B6688([审车备注]) values('')", "insert into B6688([审车备注]) values('')",
                    "insert into \"B6688\"(\"审车备注\") values('')"},
        DialectCase{"update B6688 set [是否脱审]=false", "update B6688 set [是否脱审]=0",
                    "update \"B6688\" set \"是否脱审\"=FALSE"},
        DialectCase{"delete from B6688 where [编号]=1", "delete from B6688 where [编号]=1",
                    "delete from \"B6688\" where \"编号\"=1"},
        DialectCase{"drop table B6688", "drop table B6688", "drop table \"B6688\""}));

TEST(Translate, ServerRefusesASecondStatementBeforeTheEnd) {
    for (const char* sql : {"delete from 总表; drop table 权限", "delete from 总表;;", "select 1; select 2;"}) {
        const auto t = TranslateStatement(QString::fromUtf8(sql), fakeSchema(), store::Dialect::PostgreSQL);
        EXPECT_FALSE(t.ok()) << sql;
        EXPECT_EQ(t.error, u"一次只能执行一条语句"_s) << sql;
    }
    EXPECT_TRUE(TranslateStatement(u"delete from 总表 ;  "_s, fakeSchema(), store::Dialect::PostgreSQL).ok());
    EXPECT_TRUE(TranslateStatement(u"select ';x;' from 总表"_s, fakeSchema(), store::Dialect::PostgreSQL).ok());
}
