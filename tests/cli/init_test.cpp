#include "cli/commands.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

using namespace Qt::StringLiterals;

TEST(CliInit, CreatesOnceInTheNamedDirectory) {
    QTemporaryDir dir;
    const QString target = QDir(dir.path()).filePath(u"sub"_s);
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    EXPECT_EQ(cli::Run({u"init"_s, u"--data-dir"_s, target}, out, err), 0);
    const QString file = QDir(target).filePath(u"clxx.mdb"_s);
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_FALSE(QFileInfo::exists(file + u".new"_s));
    // The owners' identity numbers and telephones are for this account alone.
    EXPECT_EQ(QFileInfo(file).permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_NE(cli::Run({u"init"_s, u"--data-dir"_s, target}, out, err), 0);
    EXPECT_TRUE(errText.contains(u"已存在"_s));
    EXPECT_NE(cli::Run({u"nonsense"_s}, out, err), 0);
    qunsetenv("VELMORA_DATA_DIR");

    // Standard SQLCipher tools open the file with the key, and not without it.
    const QString tool = QStandardPaths::findExecutable(u"sqlcipher"_s);
    if (tool.isEmpty())
        GTEST_SKIP() << "sqlcipher command-line tool not installed";
    QProcess p;
    p.start(tool, {file});
    p.waitForStarted();
    p.write("PRAGMA key='4062719';\nselect count(*) from yangbiao;\nselect 用户名 from 权限;\n");
    p.closeWriteChannel();
    p.waitForFinished();
    const QString withKey = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(withKey.contains(u"管理员"_s)) << withKey.toStdString();
    QProcess q;
    q.start(tool, {file});
    q.waitForStarted();
    q.write("select count(*) from 权限;\n");
    q.closeWriteChannel();
    q.waitForFinished();
    EXPECT_FALSE(QString::fromUtf8(q.readAllStandardOutput()).contains(u"1"_s));
}
