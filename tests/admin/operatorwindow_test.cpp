#include "admin/accounts.h"
#include "admin/operatorwindow.h"
#include "app/signinwindow.h"
#include "store/session.h"
#include "support/testsupport.h"
#include "ui/widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

using testing_support::DataDirTest;

namespace {

const char* const kChecks[6] = {"选择框权限_允许增删车辆",     "选择框权限_费用可见",
                                "选择框权限_统计查询",         "选择框权限_权限设置可见",
                                "选择框权限_允许增加车辆信息", "选择框权限_允许修改车辆信息"};

class OperatorWindowTest : public DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        window = std::make_unique<admin::OperatorWindow>();
        list = window->findChild<ui::SuperListBox*>(u"超级列表框_管理员"_s);
        name = edit("编辑框权限用户名");
        password = edit("编辑框权限密码");
        again = edit("编辑框权限再次密码");
        ASSERT_TRUE(list && name && password && again);
    }
    void TearDown() override {
        window.reset();
        DataDirTest::TearDown();
    }

    QLineEdit* edit(const char* objectName) { return window->findChild<QLineEdit*>(QString::fromUtf8(objectName)); }
    QPushButton* button(const char* objectName) {
        return window->findChild<QPushButton*>(QString::fromUtf8(objectName));
    }
    QCheckBox* check(const char* objectName) { return window->findChild<QCheckBox*>(QString::fromUtf8(objectName)); }

    QStringList listNames() const {
        QStringList names;
        for (int r = 0; r < list->rowCount(); ++r)
            names << list->cell(r, 0);
        return names;
    }
    int rowOf(const QString& accountName) const { return listNames().indexOf(accountName); }

    // Types a new account into the form and saves it.
    void addAccount(const QString& accountName, const QString& pw, std::initializer_list<const char*> checked) {
        button("超级按钮权限员工增加")->click();
        name->setText(accountName);
        password->setText(pw);
        again->setText(pw);
        for (const char* c : checked)
            check(c)->setChecked(true);
        button("超级按钮权限员工保存")->click();
    }

    int accountCount() {
        const auto accounts = admin::ListOperators(db());
        return accounts ? static_cast<int>(accounts->size()) : -1;
    }

    std::unique_ptr<admin::OperatorWindow> window;
    ui::SuperListBox* list = nullptr;
    QLineEdit* name = nullptr;
    QLineEdit* password = nullptr;
    QLineEdit* again = nullptr;
};

} // namespace

TEST_F(OperatorWindowTest, OpensWithTheAccountListAndOnlyAddAndExitOffered) {
    EXPECT_EQ(window->windowTitle(), u"修改管理员用户名密码权限"_s);
    EXPECT_EQ(listNames(), QStringList({u"管理员"_s}));
    EXPECT_EQ(list->headerItem()->text(0), u"管理员用户名"_s);
    EXPECT_FALSE(button("超级按钮权限员工保存")->isVisibleTo(window.get()));
    EXPECT_FALSE(button("超级按钮权限员工删除")->isVisibleTo(window.get()));
    EXPECT_TRUE(button("超级按钮权限员工增加")->isVisibleTo(window.get()));
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(again->echoMode(), QLineEdit::Password);
    // The list does not load an account into the form by itself.
    EXPECT_TRUE(name->text().isEmpty());
    EXPECT_EQ(window->mode(), admin::OperatorWindow::Mode::None);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(OperatorWindowTest, PasswordsThatDifferEmptyBothBoxesAndWriteNothing) {
    button("超级按钮权限员工增加")->click();
    name->setText(u"张三"_s);
    password->setText(u"abc"_s);
    again->setText(u"abd"_s);
    button("超级按钮权限员工保存")->click();
    EXPECT_EQ(dialogs.shown, QStringList({u"对不起！你两次输入的密码不同，请重新输入。"_s}));
    EXPECT_TRUE(password->text().isEmpty());
    EXPECT_TRUE(again->text().isEmpty());
    EXPECT_EQ(name->text(), u"张三"_s);
    EXPECT_EQ(accountCount(), 1);

    // Differing only in a trailing blank is a difference too.
    password->setText(u"abc "_s);
    again->setText(u"abc"_s);
    button("超级按钮权限员工保存")->click();
    EXPECT_EQ(accountCount(), 1);
}

TEST_F(OperatorWindowTest, NewAccountStandsOnTopAndSignsInWithItsRights) {
    store::DatabaseConnection::SetStatementLogging(true);
    addAccount(u"李四"_s, u" pw 1 "_s, {"选择框权限_费用可见", "选择框权限_允许增加车辆信息"});
    EXPECT_EQ(dialogs.shown, QStringList({u"新管理员添加成功！"_s}));
    EXPECT_TRUE(store::DatabaseConnection::StatementLog().contains(
        u"insert into 权限 ([用户名],[密码],[增删车辆],[修改车辆信息],[增加车辆信息],[费用可见],[统计查询],"
        u"[权限设置]) values ('李四',' pw 1 ',false,false,true,true,false,false)"_s));
    EXPECT_EQ(listNames(), QStringList({u"李四"_s, u"管理员"_s}));
    // The form keeps what was typed and stays in adding mode.
    EXPECT_EQ(name->text(), u"李四"_s);
    EXPECT_EQ(window->mode(), admin::OperatorWindow::Mode::Adding);

    app::SignInWindow signIn;
    signIn.findChild<QLineEdit*>(u"编辑框_管理员"_s)->setText(u"李四"_s);
    signIn.findChild<QLineEdit*>(u"编辑框_密码"_s)->setText(u" pw 1 "_s);
    ASSERT_TRUE(signIn.signIn());
    const store::Permissions& p = store::session().OperatorPermissions;
    EXPECT_TRUE(p.费用可见);
    EXPECT_TRUE(p.增加车辆信息);
    EXPECT_FALSE(p.增删车辆);
    EXPECT_FALSE(p.修改车辆信息);
    EXPECT_FALSE(p.统计查询);
    EXPECT_FALSE(p.权限设置);
}

TEST_F(OperatorWindowTest, QuotesInNameAndPasswordAreStoredAndSignInAsTyped) {
    addAccount(u"O'Brien"_s, u"it's' or '1'='1"_s, {"选择框权限_统计查询"});
    ASSERT_EQ(dialogs.shown, QStringList({u"新管理员添加成功！"_s}));
    EXPECT_EQ(listNames().first(), u"O'Brien"_s);

    list->setCurrentItem(list->topLevelItem(0));
    window->rowClicked(0);
    EXPECT_EQ(password->text(), u"it's' or '1'='1"_s);

    app::SignInWindow signIn;
    signIn.findChild<QLineEdit*>(u"编辑框_管理员"_s)->setText(u"O'Brien"_s);
    auto* pw = signIn.findChild<QLineEdit*>(u"编辑框_密码"_s);
    pw->setText(u"it's"_s);
    EXPECT_FALSE(signIn.signIn());
    pw->setText(u"it's' or '1'='1"_s);
    ASSERT_TRUE(signIn.signIn());
    EXPECT_TRUE(store::session().OperatorPermissions.统计查询);
    EXPECT_FALSE(store::session().OperatorPermissions.权限设置);
}

TEST_F(OperatorWindowTest, RowClickLoadsTheAccountForEditing) {
    addAccount(u"王五"_s, u"w5"_s, {"选择框权限_允许修改车辆信息", "选择框权限_统计查询"});
    button("超级按钮权限员工增加")->click(); // empties the form again
    const int row = rowOf(u"王五"_s);
    ASSERT_GE(row, 0);
    window->rowClicked(row);
    EXPECT_EQ(window->mode(), admin::OperatorWindow::Mode::Editing);
    EXPECT_EQ(name->text(), u"王五"_s);
    EXPECT_EQ(password->text(), u"w5"_s);
    EXPECT_EQ(again->text(), u"w5"_s);
    EXPECT_TRUE(check("选择框权限_允许修改车辆信息")->isChecked());
    EXPECT_TRUE(check("选择框权限_统计查询")->isChecked());
    EXPECT_FALSE(check("选择框权限_允许增删车辆")->isChecked());
    EXPECT_FALSE(check("选择框权限_权限设置可见")->isChecked());
    EXPECT_TRUE(button("超级按钮权限员工保存")->isVisibleTo(window.get()));
    EXPECT_TRUE(button("超级按钮权限员工删除")->isVisibleTo(window.get()));

    // 增加管理员 empties the form and takes the delete button away.
    button("超级按钮权限员工增加")->click();
    EXPECT_TRUE(name->text().isEmpty() && password->text().isEmpty() && again->text().isEmpty());
    for (const char* c : kChecks)
        EXPECT_FALSE(check(c)->isChecked()) << c;
    EXPECT_FALSE(button("超级按钮权限员工删除")->isVisibleTo(window.get()));
}

TEST_F(OperatorWindowTest, NameCheckInAddingModeRefusesAnyTakenName) {
    button("超级按钮权限员工增加")->click();
    name->setText(u"管理员"_s);
    window->nameBoxLeft();
    EXPECT_EQ(dialogs.shown, QStringList({u"此管理员的用户名已经被使用了！请更换其他用户名。"_s}));
    EXPECT_TRUE(name->text().isEmpty());

    dialogs.shown.clear();
    name->setText(u"管理员2"_s);
    window->nameBoxLeft();
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(name->text(), u"管理员2"_s);

    // Saving twice in adding mode must not create the same account twice.
    password->setText(u"x"_s);
    again->setText(u"x"_s);
    button("超级按钮权限员工保存")->click();
    button("超级按钮权限员工保存")->click();
    EXPECT_EQ(dialogs.shown,
              QStringList({u"新管理员添加成功！"_s, u"此管理员的用户名已经被使用了！请更换其他用户名。"_s}));
    EXPECT_EQ(accountCount(), 2);
}

TEST_F(OperatorWindowTest, NameCheckRunsWhenTheNameBoxLosesFocus) {
    window->show();
    QApplication::setActiveWindow(window.get());
    if (!QTest::qWaitForWindowActive(window.get()))
        GTEST_SKIP() << "no window activation on this platform";
    button("超级按钮权限员工增加")->click();
    name->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), name);
    testing_support::TypeText(name, u"管理员"_s);
    EXPECT_EQ(name->text(), u"管理员"_s);
    EXPECT_TRUE(dialogs.shown.isEmpty()); // nothing while the operator types
    password->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(dialogs.shown, QStringList({u"此管理员的用户名已经被使用了！请更换其他用户名。"_s}));
    EXPECT_TRUE(name->text().isEmpty());
}

TEST_F(OperatorWindowTest, NameCheckInEditingModeRefusesOnlyAnotherAccountsName) {
    addAccount(u"赵六"_s, u"z"_s, {});
    dialogs.shown.clear();
    window->rowClicked(rowOf(u"赵六"_s));

    // Its own name is not "taken".
    window->nameBoxLeft();
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(name->text(), u"赵六"_s);

    // Saving with its own name changes the password.
    password->setText(u"new"_s);
    again->setText(u"new"_s);
    button("超级按钮权限员工保存")->click();
    EXPECT_EQ(dialogs.shown, QStringList({u"修改权限成功！"_s}));

    // Another account's name is refused, on leaving the box and on saving.
    dialogs.shown.clear();
    name->setText(u"管理员"_s);
    window->nameBoxLeft();
    EXPECT_EQ(dialogs.shown, QStringList({u"此管理员的用户名已经被使用了！请更换其他用户名。"_s}));
    EXPECT_TRUE(name->text().isEmpty());
    name->setText(u"管理员"_s);
    button("超级按钮权限员工保存")->click();
    EXPECT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(dialogs.shown.last(), u"此管理员的用户名已经被使用了！请更换其他用户名。"_s);

    const auto accounts = admin::ListOperators(db());
    ASSERT_TRUE(accounts);
    ASSERT_EQ(accounts->size(), 2);
    EXPECT_EQ(accounts->at(0).name, u"管理员"_s);
    EXPECT_EQ(accounts->at(1).name, u"赵六"_s);
    EXPECT_EQ(accounts->at(1).password, u"new"_s);
}

TEST_F(OperatorWindowTest, EditingWritesTheExactUpdateOfTheShownAccount) {
    addAccount(u"甲"_s, u"1"_s, {});
    addAccount(u"乙"_s, u"2"_s, {});
    const auto before = admin::ListOperators(db());
    ASSERT_TRUE(before && before->size() == 3);
    const qint64 jia = before->at(1).number;

    window->rowClicked(rowOf(u"甲"_s));
    check("选择框权限_允许增删车辆")->setChecked(true);
    check("选择框权限_权限设置可见")->setChecked(true);
    store::DatabaseConnection::SetStatementLogging(true);
    button("超级按钮权限员工保存")->click();
    EXPECT_TRUE(store::DatabaseConnection::StatementLog().contains(
        u"update 权限  set [用户名]='甲',[密码]='1',[增删车辆]=true,[修改车辆信息]=false,"
        u"[增加车辆信息]=false,[费用可见]=false,[统计查询]=false,[权限设置]=true where [编号]="_s +
        QString::number(jia)));

    // The list was filled again (newest on top); a second save still writes the shown account,
    // never the top row.
    name->setText(u"甲甲"_s);
    button("超级按钮权限员工保存")->click();
    const auto after = admin::ListOperators(db());
    ASSERT_TRUE(after && after->size() == 3);
    EXPECT_EQ(after->at(1).name, u"甲甲"_s);
    EXPECT_EQ(after->at(2).name, u"乙"_s);
    EXPECT_TRUE(after->at(1).rights.增删车辆);
    EXPECT_EQ(list->currentRow(), rowOf(u"甲甲"_s));
}

TEST_F(OperatorWindowTest, DeleteAsksAndRemovesOnlyOnYes) {
    addAccount(u"丙"_s, u"3"_s, {});
    dialogs.shown.clear();
    window->rowClicked(rowOf(u"丙"_s));

    dialogs.answers = {ui::Answer::No};
    button("超级按钮权限员工删除")->click();
    EXPECT_EQ(dialogs.shown, QStringList({u"确定删除此管理员吗？"_s}));
    EXPECT_TRUE(dialogs.titles.first().isEmpty());
    EXPECT_EQ(accountCount(), 2);

    dialogs.shown.clear();
    dialogs.answers = {ui::Answer::Yes};
    button("超级按钮权限员工删除")->click();
    EXPECT_EQ(dialogs.shown, QStringList({u"确定删除此管理员吗？"_s, u"删除成功!"_s}));
    EXPECT_EQ(listNames(), QStringList({u"管理员"_s}));
    // The deleted account is no longer in the form to be saved back.
    EXPECT_EQ(window->mode(), admin::OperatorWindow::Mode::None);
    EXPECT_TRUE(name->text().isEmpty());
    EXPECT_FALSE(button("超级按钮权限员工删除")->isVisibleTo(window.get()));
    EXPECT_FALSE(button("超级按钮权限员工保存")->isVisibleTo(window.get()));
}

TEST_F(OperatorWindowTest, TheLastAccountCannotBeDeleted) {
    window->rowClicked(0);
    button("超级按钮权限员工删除")->click();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown.first().contains(u"不能删除最后一个管理员"_s));
    EXPECT_EQ(accountCount(), 1);
    EXPECT_EQ(listNames(), QStringList({u"管理员"_s}));
}

TEST_F(OperatorWindowTest, NoChangeMayLeaveNobodyWithTheSettingsRight) {
    addAccount(u"丁"_s, u"4"_s, {"选择框权限_允许增删车辆"});
    dialogs.shown.clear();

    // The only holder of 权限设置 cannot be deleted …
    window->rowClicked(rowOf(u"管理员"_s));
    button("超级按钮权限员工删除")->click();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown.first().contains(u"权限设置"_s));
    EXPECT_EQ(accountCount(), 2);

    // … nor lose it.
    dialogs.shown.clear();
    check("选择框权限_权限设置可见")->setChecked(false);
    button("超级按钮权限员工保存")->click();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown.first().contains(u"权限设置"_s));
    auto admin0 = admin::ReadOperator(db(), admin::ListOperators(db())->at(0).number);
    ASSERT_TRUE(admin0);
    EXPECT_TRUE(admin0->rights.权限设置);

    // Once another account holds it, both are allowed.
    window->rowClicked(rowOf(u"丁"_s));
    check("选择框权限_权限设置可见")->setChecked(true);
    button("超级按钮权限员工保存")->click();
    window->rowClicked(rowOf(u"管理员"_s));
    check("选择框权限_权限设置可见")->setChecked(false);
    button("超级按钮权限员工保存")->click();
    EXPECT_EQ(dialogs.shown.mid(1), QStringList({u"修改权限成功！"_s, u"修改权限成功！"_s}));
    dialogs.answers = {ui::Answer::Yes};
    button("超级按钮权限员工删除")->click();
    EXPECT_EQ(dialogs.shown.last(), u"删除成功!"_s);
    EXPECT_EQ(listNames(), QStringList({u"丁"_s}));
}

TEST_F(OperatorWindowTest, EmptyNameIsRefused) {
    button("超级按钮权限员工增加")->click();
    password->setText(u"p"_s);
    again->setText(u"p"_s);
    button("超级按钮权限员工保存")->click();
    EXPECT_EQ(dialogs.shown, QStringList({u"请输入管理员用户名！"_s}));
    EXPECT_EQ(accountCount(), 1);
}

TEST_F(OperatorWindowTest, ExitClosesTheWindow) {
    window->show();
    ASSERT_TRUE(window->isVisible());
    button("超级按钮权限管理员退出")->click();
    EXPECT_FALSE(window->isVisible());
}
