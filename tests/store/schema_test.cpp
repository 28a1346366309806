#include "store/database.h"
#include "store/schema.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

using testing_support::DataDirTest;

namespace {
class NewDatabaseTest : public testing_support::EngineTest {};
} // namespace

// A new file and a database made on a server by init hold the same tables, columns and operator.
TEST_P(NewDatabaseTest, HasTheFixedTablesAndTheInitialOperator) {
    int rs = db().OpenRecordSet(u"select * from yangbiao"_s);
    ASSERT_NE(rs, 0);
    QStringList expected;
    for (const auto& c : store::StorageColumns())
        expected << c.name;
    EXPECT_EQ(expected.size(), 96);
    EXPECT_EQ(db().Columns(rs), expected);
    EXPECT_TRUE(db().AtEnd(rs));

    rs = db().OpenRecordSet(u"select * from 权限 where [用户名]='"_s + store::kInitialOperator + u"'"_s);
    ASSERT_NE(rs, 0);
    ASSERT_FALSE(db().AtEnd(rs));
    EXPECT_EQ(db().ReadField(rs, u"密码"_s).text(), store::kInitialPassword);
    for (const char* flag : {"增删车辆", "修改车辆信息", "增加车辆信息", "费用可见", "统计查询", "权限设置"})
        EXPECT_TRUE(db().ReadField(rs, QString::fromUtf8(flag)).yesNo()) << flag;

    rs = db().OpenRecordSet(u"select [险种名称] from 险种名称 where 险种名称 is not null"_s);
    EXPECT_GE(db().RowCount(rs), 3);
    for (const char* table : {"总表", "报险表"})
        EXPECT_NE(db().OpenRecordSet(u"select * from [%1]"_s.arg(QString::fromUtf8(table))), 0) << table;
}

INSTANTIATE_TEST_SUITE_P(Engines, NewDatabaseTest, testing_support::BothEngines(), testing_support::EngineParamName);

TEST_F(DataDirTest, CreateRefusesToOverwrite) {
    QString error;
    EXPECT_FALSE(store::CreateDatabase(dbPath(), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_NE(db().OpenRecordSet(u"select * from 权限"_s), 0);
}
