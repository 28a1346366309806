#include "app/signinwindow.h"
#include "store/session.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

using testing_support::DataDirTest;

namespace {

class SignInTest : public DataDirTest {
protected:
    void addOperator(const QString& name, const QString& password, bool all) {
        const QString flag = all ? u"true"_s : u"false"_s;
        QString n = name, p = password;
        n.replace(u"'"_s, u"''"_s);
        p.replace(u"'"_s, u"''"_s);
        ASSERT_TRUE(db().ExecuteStatement(
            u"insert into 权限 ([用户名],[密码],[增删车辆],[修改车辆信息],[增加车辆信息],[费用可见],[统计查询],"
            u"[权限设置]) values ('%1','%2',%3,%3,%3,%3,%3,%3)"_s.arg(n, p, flag)));
    }
};

} // namespace

TEST_F(SignInTest, WrongTwiceThenRightSignsIn) {
    app::SignInWindow w;
    auto* name = w.findChild<QLineEdit*>(u"编辑框_管理员"_s);
    auto* password = w.findChild<QLineEdit*>(u"编辑框_密码"_s);
    ASSERT_TRUE(name && password);
    EXPECT_EQ(name->text(), u"管理员"_s);
    EXPECT_TRUE(password->text().isEmpty());
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);

    password->setText(u"wrong"_s);
    EXPECT_FALSE(w.signIn());
    password->setText(u"' or '1'='1"_s);
    EXPECT_FALSE(w.signIn());
    EXPECT_EQ(dialogs.shown, QStringList({u"请核对用户名和密码！"_s, u"请核对用户名和密码！"_s}));
    EXPECT_FALSE(store::session().OperatorPermissions.增删车辆);
    EXPECT_EQ(w.result(), QDialog::Rejected);

    password->setText(u"529"_s);
    w.findChild<QPushButton*>(u"超级按钮_登录确定"_s)->click();
    EXPECT_EQ(w.result(), QDialog::Accepted);
    const auto& p = store::session().OperatorPermissions;
    EXPECT_TRUE(p.增删车辆 && p.修改车辆信息 && p.增加车辆信息 && p.费用可见 && p.统计查询 && p.权限设置);
}

TEST_F(SignInTest, EnterSignsInOnlyFromThePasswordBox) {
    addOperator(u"O'Neil"_s, u"p'w"_s, false);
    app::SignInWindow w;
    auto* name = w.findChild<QLineEdit*>(u"编辑框_管理员"_s);
    auto* password = w.findChild<QLineEdit*>(u"编辑框_密码"_s);
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    // The operator types over the offered name, then the password, and presses Enter in each box.
    name->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), u"O'Neil"_s);
    EXPECT_EQ(name->text(), u"O'Neil"_s);
    password->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(QApplication::focusWidget(), u"p'w"_s);
    EXPECT_EQ(password->text(), u"p'w"_s);
    name->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(w.result(), QDialog::Rejected);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    password->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_FALSE(store::session().OperatorPermissions.权限设置);
}

TEST_F(SignInTest, CancelRejectsAndEscapeDoesNot) {
    app::SignInWindow w;
    w.show();
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());
    w.findChild<QPushButton*>(u"超级按钮_取消登录"_s)->click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.result(), QDialog::Rejected);
}

TEST_F(SignInTest, MissingDatabaseIsReportedAndSignInFails) {
    QFile::remove(dbPath());
    app::SignInWindow w;
    EXPECT_EQ(dialogs.shown, QStringList({u"数据库丢失！"_s, u"数据库打开失败！"_s}));
    EXPECT_FALSE(QFileInfo::exists(dbPath()));
    w.findChild<QLineEdit*>(u"编辑框_密码"_s)->setText(u"529"_s);
    EXPECT_FALSE(w.signIn());
    EXPECT_EQ(dialogs.shown.last(), u"失败"_s);
}
