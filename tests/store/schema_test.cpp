#include "cli/commands.h"
#include "store/database.h"
#include "store/schema.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

using testing_support::DataDirTest;

TEST_F(DataDirTest, NewDatabaseHasTheFixedTablesAndTheInitialOperator)
{
    int rs = db().OpenRecordSet(QStringLiteral("select * from yangbiao"));
    ASSERT_NE(rs, 0);
    QStringList expected;
    for (const auto& c : store::StorageColumns())
        expected << c.name;
    EXPECT_EQ(expected.size(), 96);
    EXPECT_EQ(db().Columns(rs), expected);
    EXPECT_TRUE(db().AtEnd(rs));

    rs = db().OpenRecordSet(QStringLiteral("select * from 权限 where [用户名]='") + store::kInitialOperator + "'");
    ASSERT_NE(rs, 0);
    ASSERT_FALSE(db().AtEnd(rs));
    EXPECT_EQ(db().ReadField(rs, QStringLiteral("密码")).text(), store::kInitialPassword);
    for (const char* flag : {"增删车辆", "修改车辆信息", "增加车辆信息", "费用可见", "统计查询", "权限设置"})
        EXPECT_TRUE(db().ReadField(rs, QString::fromUtf8(flag)).yesNo()) << flag;

    rs = db().OpenRecordSet(QStringLiteral("select [险种名称] from 险种名称 where 险种名称 is not null"));
    EXPECT_GE(db().RowCount(rs), 3);
    for (const char* table : {"总表", "报险表"})
        EXPECT_NE(db().OpenRecordSet(QStringLiteral("select * from [%1]").arg(QString::fromUtf8(table))), 0) << table;
}

TEST_F(DataDirTest, CreateRefusesToOverwrite)
{
    QString error;
    EXPECT_FALSE(store::CreateDatabase(dbPath(), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_NE(db().OpenRecordSet(QStringLiteral("select * from 权限")), 0);
}

TEST(CliInit, CreatesOnceInTheNamedDirectory)
{
    QTemporaryDir dir;
    const QString target = QDir(dir.path()).filePath(QStringLiteral("sub"));
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    EXPECT_EQ(cli::Run({QStringLiteral("init"), QStringLiteral("--data-dir"), target}, out, err), 0);
    const QString file = QDir(target).filePath(QStringLiteral("clxx.mdb"));
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_FALSE(QFileInfo::exists(file + QStringLiteral(".new")));
    EXPECT_NE(cli::Run({QStringLiteral("init"), QStringLiteral("--data-dir"), target}, out, err), 0);
    EXPECT_TRUE(errText.contains(QStringLiteral("已存在")));
    EXPECT_NE(cli::Run({QStringLiteral("nonsense")}, out, err), 0);
    qunsetenv("VELMORA_DATA_DIR");

    // Standard SQLCipher tools open the file with the key, and not without it.
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("sqlcipher"));
    if (tool.isEmpty())
        GTEST_SKIP() << "sqlcipher command-line tool not installed";
    QProcess p;
    p.start(tool, {file});
    p.waitForStarted();
    p.write("PRAGMA key='4062719';\nselect count(*) from yangbiao;\nselect 用户名 from 权限;\n");
    p.closeWriteChannel();
    p.waitForFinished();
    const QString withKey = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(withKey.contains(QStringLiteral("管理员"))) << withKey.toStdString();
    QProcess q;
    q.start(tool, {file});
    q.waitForStarted();
    q.write("select count(*) from 权限;\n");
    q.closeWriteChannel();
    q.waitForFinished();
    EXPECT_FALSE(QString::fromUtf8(q.readAllStandardOutput()).contains(QStringLiteral("1")));
}
