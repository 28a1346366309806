#include "app/signinwindow.h"
#include "store/session.h"
#include "support/testsupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using testing_support::DataDirTest;

namespace {

class SignInTest : public DataDirTest {
protected:
    void addOperator(const QString& name, const QString& password, bool all)
    {
        const QString flag = all ? QStringLiteral("true") : QStringLiteral("false");
        QString n = name, p = password;
        n.replace("'", "''");
        p.replace("'", "''");
        ASSERT_TRUE(db().ExecuteStatement(
            QStringLiteral("insert into 权限 ([用户名],[密码],[增删车辆],[修改车辆信息],[增加车辆信息],[费用可见],[统计查询],"
                           "[权限设置]) values ('%1','%2',%3,%3,%3,%3,%3,%3)")
                .arg(n, p, flag)));
    }
};

}  // namespace

TEST_F(SignInTest, WrongTwiceThenRightSignsIn)
{
    app::SignInWindow w;
    auto* name = w.findChild<QLineEdit*>(QStringLiteral("编辑框_管理员"));
    auto* password = w.findChild<QLineEdit*>(QStringLiteral("编辑框_密码"));
    ASSERT_TRUE(name && password);
    EXPECT_EQ(name->text(), QStringLiteral("管理员"));
    EXPECT_TRUE(password->text().isEmpty());
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);

    password->setText(QStringLiteral("wrong"));
    EXPECT_FALSE(w.signIn());
    password->setText(QStringLiteral("' or '1'='1"));
    EXPECT_FALSE(w.signIn());
    EXPECT_EQ(dialogs.shown, QStringList({QStringLiteral("请核对用户名和密码！"), QStringLiteral("请核对用户名和密码！")}));
    EXPECT_FALSE(store::session().OperatorPermissions.增删车辆);
    EXPECT_EQ(w.result(), QDialog::Rejected);

    password->setText(QStringLiteral("529"));
    w.findChild<QPushButton*>(QStringLiteral("超级按钮_登录确定"))->click();
    EXPECT_EQ(w.result(), QDialog::Accepted);
    const auto& p = store::session().OperatorPermissions;
    EXPECT_TRUE(p.增删车辆 && p.修改车辆信息 && p.增加车辆信息 && p.费用可见 && p.统计查询 && p.权限设置);
}

TEST_F(SignInTest, EnterSignsInOnlyFromThePasswordBox)
{
    addOperator(QStringLiteral("O'Neil"), QStringLiteral("p'w"), false);
    app::SignInWindow w;
    auto* name = w.findChild<QLineEdit*>(QStringLiteral("编辑框_管理员"));
    auto* password = w.findChild<QLineEdit*>(QStringLiteral("编辑框_密码"));
    name->setText(QStringLiteral("O'Neil"));
    password->setText(QStringLiteral("p'w"));
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(w.result(), QDialog::Rejected);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    QTest::keyClick(password, Qt::Key_Return);
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_FALSE(store::session().OperatorPermissions.权限设置);
}

TEST_F(SignInTest, CancelRejectsAndEscapeDoesNot)
{
    app::SignInWindow w;
    w.show();
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());
    w.findChild<QPushButton*>(QStringLiteral("超级按钮_取消登录"))->click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.result(), QDialog::Rejected);
}

TEST_F(SignInTest, MissingDatabaseIsReportedAndSignInFails)
{
    QFile::remove(dbPath());
    app::SignInWindow w;
    EXPECT_EQ(dialogs.shown, QStringList({QStringLiteral("数据库丢失！"), QStringLiteral("数据库打开失败！")}));
    EXPECT_FALSE(QFileInfo::exists(dbPath()));
    w.findChild<QLineEdit*>(QStringLiteral("编辑框_密码"))->setText(QStringLiteral("529"));
    EXPECT_FALSE(w.signIn());
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("失败"));
}
