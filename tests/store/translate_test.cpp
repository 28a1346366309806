#include "store/translate.h"

#include <gtest/gtest.h>

using store::TranslateStatement;

namespace {

store::SchemaLookup fakeSchema()
{
    return {[](const QString& table) {
                QHash<QString, QString> t;
                if (table == QStringLiteral("京A12345") || table == QStringLiteral("yangbiao")) {
                    t.insert(QStringLiteral("编号"), QStringLiteral("INTEGER PRIMARY KEY"));
                    t.insert(QStringLiteral("下次审车日期"), QStringLiteral("DATE"));
                    t.insert(QStringLiteral("审车备注"), QStringLiteral("TEXT"));
                    t.insert(QStringLiteral("是否脱审"), QStringLiteral("YESNO"));
                }
                return t;
            },
            [](const QString& table) {
                return table == QStringLiteral("yangbiao") ? QStringLiteral("CREATE TABLE [yangbiao] ([编号] "
                                                                            "INTEGER PRIMARY KEY AUTOINCREMENT)")
                                                           : QString();
            }};
}

QString one(const QString& jet)
{
    const auto t = TranslateStatement(jet, fakeSchema());
    EXPECT_TRUE(t.ok()) << t.error.toStdString();
    EXPECT_EQ(t.statements.size(), 1);
    return t.statements.value(0);
}

}  // namespace

TEST(Translate, NamesAreQuotedButTextIsNot)
{
    EXPECT_EQ(one(QStringLiteral("select count(*) as[数量] from [权限] where [用户名]='a[b]#1#true'and [密码]='x'")),
              QStringLiteral("select count(*) as[数量] from [权限] where [用户名]='a[b]#1#true'and [密码]='x'"));
    EXPECT_EQ(one(QStringLiteral("select 车牌号 from [总表] ")), QStringLiteral("select [车牌号] from [总表] "));
    EXPECT_EQ(one(QStringLiteral("select * from 京A12345 where 主车牌号 like'%A1%'")),
              QStringLiteral("select * from [京A12345] where [主车牌号] like'%A1%'"));
    // A quote doubled inside a value stays one value.
    EXPECT_EQ(one(QStringLiteral("select * from x where a='O''Brien'")),
              QStringLiteral("select * from x where a='O''Brien'"));
}

TEST(Translate, BooleansAndDateLiterals)
{
    EXPECT_EQ(one(QStringLiteral("update 京A12345 set [是否脱审]=false")),
              QStringLiteral("update [京A12345] set [是否脱审]=0"));
    EXPECT_EQ(one(QStringLiteral("update 京A12345 set [是否脱审]=TRUE where [编号]=3")),
              QStringLiteral("update [京A12345] set [是否脱审]=1 where [编号]=3"));
    EXPECT_EQ(one(QStringLiteral("select * from [报险表] where 报险日期>=#2026-1-5# and 报险日期<= #12/8/2026#")),
              QStringLiteral("select * from [报险表] where [报险日期]>='2026-01-05' and [报险日期]<= '2026-12-08'"));
    EXPECT_FALSE(TranslateStatement(QStringLiteral("select * from t where d>=#2026-2-30#"), fakeSchema()).ok());
}

TEST(Translate, DeleteStarAndLeadingBlanks)
{
    EXPECT_EQ(one(QStringLiteral("  delete  *  from [总表] where [车牌号]='京A'")),
              QStringLiteral("  delete    from [总表] where [车牌号]='京A'"));
    EXPECT_EQ(one(QStringLiteral("DROP TABLE 京A12345")), QStringLiteral("DROP TABLE [京A12345]"));
}

TEST(Translate, DateValuesOfDateColumnsBecomeIso)
{
    EXPECT_EQ(one(QStringLiteral("insert into 京A12345([下次审车日期],[审车备注]) values('2026年12月8日','2026年12月8日')")),
              QStringLiteral("insert into [京A12345]([下次审车日期],[审车备注]) values('2026-12-08','2026年12月8日')"));
    EXPECT_EQ(one(QStringLiteral("update 京A12345 set [审车备注]='2026年1月2日',[下次审车日期]='2027年1月2日' where [编号]=1")),
              QStringLiteral("update [京A12345] set [审车备注]='2026年1月2日',[下次审车日期]='2027-01-02' where [编号]=1"));
    EXPECT_EQ(one(QStringLiteral("insert into 京A12345([下次审车日期]) values('')")),
              QStringLiteral("insert into [京A12345]([下次审车日期]) values(NULL)"));
    const auto bad = TranslateStatement(QStringLiteral("update 京A12345 set [下次审车日期]='2026年2月30日'"), fakeSchema());
    EXPECT_FALSE(bad.ok());
    EXPECT_FALSE(TranslateStatement(QStringLiteral("insert into 京A12345([下次审车日期]) values('明天')"), fakeSchema()).ok());
}

TEST(Translate, SelectIntoAndPrimaryKey)
{
    const auto copy = TranslateStatement(QStringLiteral("select * into 京B777 from yangbiao"), fakeSchema());
    ASSERT_TRUE(copy.ok());
    ASSERT_EQ(copy.statements.size(), 2);
    EXPECT_EQ(copy.statements[0], QStringLiteral("CREATE TABLE [京B777] ([编号] INTEGER PRIMARY KEY AUTOINCREMENT)"));
    EXPECT_EQ(copy.statements[1], QStringLiteral("INSERT INTO [京B777] SELECT * FROM [yangbiao]"));
    EXPECT_TRUE(copy.changesSchema);

    const auto key = TranslateStatement(
        QStringLiteral("Alter table 京A12345  Add  Constraint  PrimaryKey  Primary  Key (编号)"), fakeSchema());
    ASSERT_TRUE(key.ok());
    EXPECT_TRUE(key.statements.isEmpty());  // the copy already carries the key
    EXPECT_FALSE(TranslateStatement(QStringLiteral("Alter table 无此表  Add  Constraint  PrimaryKey  Primary  Key (编号)"),
                                    fakeSchema())
                     .ok());
    EXPECT_FALSE(TranslateStatement(QStringLiteral("select * into X from 无此表"), fakeSchema()).ok());
}

TEST(Translate, UnterminatedLiteralIsRefused)
{
    EXPECT_FALSE(TranslateStatement(QStringLiteral("select * from t where a='x"), fakeSchema()).ok());
    EXPECT_FALSE(TranslateStatement(QStringLiteral("select [a from t"), fakeSchema()).ok());
}

TEST(ParseJetDate, AcceptsTheProgramsFormsAndRefusesImpossibleDates)
{
    EXPECT_EQ(store::ParseJetDate(QStringLiteral("2026年12月8日")), QDate(2026, 12, 8));
    EXPECT_EQ(store::ParseJetDate(QStringLiteral("2026-1-5")), QDate(2026, 1, 5));
    EXPECT_EQ(store::ParseJetDate(QStringLiteral("2026/01/05 10:00:00")), QDate(2026, 1, 5));
    EXPECT_EQ(store::ParseJetDate(QStringLiteral("12/8/2026")), QDate(2026, 12, 8));
    EXPECT_FALSE(store::ParseJetDate(QStringLiteral("2025年2月29日")).isValid());
    EXPECT_TRUE(store::ParseJetDate(QStringLiteral("2024年2月29日")).isValid());
    EXPECT_FALSE(store::ParseJetDate(QStringLiteral("2026-13-01")).isValid());
    EXPECT_FALSE(store::ParseJetDate(QString()).isValid());
}
