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

using testing_support::DataDirTest;

namespace {

const char* const kChecks[6] = {"选择框权限_允许增删车辆",     "选择框权限_费用可见",
                                "选择框权限_统计查询",         "选择框权限_权限设置可见",
                                "选择框权限_允许增加车辆信息", "选择框权限_允许修改车辆信息"};

class OperatorWindowTest : public DataDirTest {
protected:
    void SetUp() override
    {
        DataDirTest::SetUp();
        window = std::make_unique<admin::OperatorWindow>();
        list = window->findChild<ui::SuperListBox*>(QStringLiteral("超级列表框_管理员"));
        name = edit("编辑框权限用户名");
        password = edit("编辑框权限密码");
        again = edit("编辑框权限再次密码");
        ASSERT_TRUE(list && name && password && again);
    }
    void TearDown() override
    {
        window.reset();
        DataDirTest::TearDown();
    }

    QLineEdit* edit(const char* objectName) { return window->findChild<QLineEdit*>(QString::fromUtf8(objectName)); }
    QPushButton* button(const char* objectName)
    {
        return window->findChild<QPushButton*>(QString::fromUtf8(objectName));
    }
    QCheckBox* check(const char* objectName) { return window->findChild<QCheckBox*>(QString::fromUtf8(objectName)); }

    QStringList listNames() const
    {
        QStringList names;
        for (int r = 0; r < list->rowCount(); ++r)
            names << list->cell(r, 0);
        return names;
    }
    int rowOf(const QString& accountName) const { return listNames().indexOf(accountName); }

    // Types a new account into the form and saves it.
    void addAccount(const QString& accountName, const QString& pw, std::initializer_list<const char*> checked)
    {
        button("超级按钮权限员工增加")->click();
        name->setText(accountName);
        password->setText(pw);
        again->setText(pw);
        for (const char* c : checked)
            check(c)->setChecked(true);
        button("超级按钮权限员工保存")->click();
    }

    int accountCount()
    {
        const auto accounts = admin::ListOperators(db());
        return accounts ? static_cast<int>(accounts->size()) : -1;
    }

    std::unique_ptr<admin::OperatorWindow> window;
    ui::SuperListBox* list = nullptr;
    QLineEdit* name = nullptr;
    QLineEdit* password = nullptr;
    QLineEdit* again = nullptr;
};

}  // namespace

TEST_F(OperatorWindowTest, OpensWithTheAccountListAndOnlyAddAndExitOffered)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("修改管理员用户名密码权限"));
    EXPECT_EQ(listNames(), QStringList({QStringLiteral("管理员")}));
    EXPECT_EQ(list->headerItem()->text(0), QStringLiteral("管理员用户名"));
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

TEST_F(OperatorWindowTest, PasswordsThatDifferEmptyBothBoxesAndWriteNothing)
{
    button("超级按钮权限员工增加")->click();
    name->setText(QStringLiteral("张三"));
    password->setText(QStringLiteral("abc"));
    again->setText(QStringLiteral("abd"));
    button("超级按钮权限员工保存")->click();
    EXPECT_EQ(dialogs.shown, QStringList({QStringLiteral("对不起！你两次输入的密码不同，请重新输入。")}));
    EXPECT_TRUE(password->text().isEmpty());
    EXPECT_TRUE(again->text().isEmpty());
    EXPECT_EQ(name->text(), QStringLiteral("张三"));
    EXPECT_EQ(accountCount(), 1);

    // Differing only in a trailing blank is a difference too.
    password->setText(QStringLiteral("abc "));
    again->setText(QStringLiteral("abc"));
    button("超级按钮权限员工保存")->click();
    EXPECT_EQ(accountCount(), 1);
}

TEST_F(OperatorWindowTest, NewAccountStandsOnTopAndSignsInWithItsRights)
{
    store::DatabaseConnection::SetStatementLogging(true);
    addAccount(QStringLiteral("李四"), QStringLiteral(" pw 1 "), {"选择框权限_费用可见", "选择框权限_允许增加车辆信息"});
    EXPECT_EQ(dialogs.shown, QStringList({QStringLiteral("新管理员添加成功！")}));
    EXPECT_TRUE(store::DatabaseConnection::StatementLog().contains(
        QStringLiteral("insert into 权限 ([用户名],[密码],[增删车辆],[修改车辆信息],[增加车辆信息],[费用可见],[统计查询],"
                       "[权限设置]) values ('李四',' pw 1 ',false,false,true,true,false,false)")));
    EXPECT_EQ(listNames(), QStringList({QStringLiteral("李四"), QStringLiteral("管理员")}));
    // The form keeps what was typed and stays in adding mode.
    EXPECT_EQ(name->text(), QStringLiteral("李四"));
    EXPECT_EQ(window->mode(), admin::OperatorWindow::Mode::Adding);

    app::SignInWindow signIn;
    signIn.findChild<QLineEdit*>(QStringLiteral("编辑框_管理员"))->setText(QStringLiteral("李四"));
    signIn.findChild<QLineEdit*>(QStringLiteral("编辑框_密码"))->setText(QStringLiteral(" pw 1 "));
    ASSERT_TRUE(signIn.signIn());
    const store::Permissions& p = store::session().OperatorPermissions;
    EXPECT_TRUE(p.费用可见);
    EXPECT_TRUE(p.增加车辆信息);
    EXPECT_FALSE(p.增删车辆);
    EXPECT_FALSE(p.修改车辆信息);
    EXPECT_FALSE(p.统计查询);
    EXPECT_FALSE(p.权限设置);
}

TEST_F(OperatorWindowTest, QuotesInNameAndPasswordAreStoredAndSignInAsTyped)
{
    addAccount(QStringLiteral("O'Brien"), QStringLiteral("it's' or '1'='1"), {"选择框权限_统计查询"});
    ASSERT_EQ(dialogs.shown, QStringList({QStringLiteral("新管理员添加成功！")}));
    EXPECT_EQ(listNames().first(), QStringLiteral("O'Brien"));

    list->setCurrentItem(list->topLevelItem(0));
    window->rowClicked(0);
    EXPECT_EQ(password->text(), QStringLiteral("it's' or '1'='1"));

    app::SignInWindow signIn;
    signIn.findChild<QLineEdit*>(QStringLiteral("编辑框_管理员"))->setText(QStringLiteral("O'Brien"));
    auto* pw = signIn.findChild<QLineEdit*>(QStringLiteral("编辑框_密码"));
    pw->setText(QStringLiteral("it's"));
    EXPECT_FALSE(signIn.signIn());
    pw->setText(QStringLiteral("it's' or '1'='1"));
    ASSERT_TRUE(signIn.signIn());
    EXPECT_TRUE(store::session().OperatorPermissions.统计查询);
    EXPECT_FALSE(store::session().OperatorPermissions.权限设置);
}

TEST_F(OperatorWindowTest, RowClickLoadsTheAccountForEditing)
{
    addAccount(QStringLiteral("王五"), QStringLiteral("w5"), {"选择框权限_允许修改车辆信息", "选择框权限_统计查询"});
    button("超级按钮权限员工增加")->click();  // empties the form again
    const int row = rowOf(QStringLiteral("王五"));
    ASSERT_GE(row, 0);
    window->rowClicked(row);
    EXPECT_EQ(window->mode(), admin::OperatorWindow::Mode::Editing);
    EXPECT_EQ(name->text(), QStringLiteral("王五"));
    EXPECT_EQ(password->text(), QStringLiteral("w5"));
    EXPECT_EQ(again->text(), QStringLiteral("w5"));
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

TEST_F(OperatorWindowTest, NameCheckInAddingModeRefusesAnyTakenName)
{
    button("超级按钮权限员工增加")->click();
    name->setText(QStringLiteral("管理员"));
    window->nameBoxLeft();
    EXPECT_EQ(dialogs.shown, QStringList({QStringLiteral("此管理员的用户名已经被使用了！请更换其他用户名。")}));
    EXPECT_TRUE(name->text().isEmpty());

    dialogs.shown.clear();
    name->setText(QStringLiteral("管理员2"));
    window->nameBoxLeft();
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(name->text(), QStringLiteral("管理员2"));

    // Saving twice in adding mode must not create the same account twice.
    password->setText(QStringLiteral("x"));
    again->setText(QStringLiteral("x"));
    button("超级按钮权限员工保存")->click();
    button("超级按钮权限员工保存")->click();
    EXPECT_EQ(dialogs.shown, QStringList({QStringLiteral("新管理员添加成功！"),
                                          QStringLiteral("此管理员的用户名已经被使用了！请更换其他用户名。")}));
    EXPECT_EQ(accountCount(), 2);
}

TEST_F(OperatorWindowTest, NameCheckRunsWhenTheNameBoxLosesFocus)
{
    window->show();
    QApplication::setActiveWindow(window.get());
    if (!QTest::qWaitForWindowActive(window.get()))
        GTEST_SKIP() << "no window activation on this platform";
    button("超级按钮权限员工增加")->click();
    name->setFocus();
    name->setText(QStringLiteral("管理员"));
    password->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(dialogs.shown, QStringList({QStringLiteral("此管理员的用户名已经被使用了！请更换其他用户名。")}));
    EXPECT_TRUE(name->text().isEmpty());
}

TEST_F(OperatorWindowTest, NameCheckInEditingModeRefusesOnlyAnotherAccountsName)
{
    addAccount(QStringLiteral("赵六"), QStringLiteral("z"), {});
    dialogs.shown.clear();
    window->rowClicked(rowOf(QStringLiteral("赵六")));

    // Its own name is not "taken".
    window->nameBoxLeft();
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(name->text(), QStringLiteral("赵六"));

    // Saving with its own name changes the password.
    password->setText(QStringLiteral("new"));
    again->setText(QStringLiteral("new"));
    button("超级按钮权限员工保存")->click();
    EXPECT_EQ(dialogs.shown, QStringList({QStringLiteral("修改权限成功！")}));

    // Another account's name is refused, on leaving the box and on saving.
    dialogs.shown.clear();
    name->setText(QStringLiteral("管理员"));
    window->nameBoxLeft();
    EXPECT_EQ(dialogs.shown, QStringList({QStringLiteral("此管理员的用户名已经被使用了！请更换其他用户名。")}));
    EXPECT_TRUE(name->text().isEmpty());
    name->setText(QStringLiteral("管理员"));
    button("超级按钮权限员工保存")->click();
    EXPECT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("此管理员的用户名已经被使用了！请更换其他用户名。"));

    const auto accounts = admin::ListOperators(db());
    ASSERT_TRUE(accounts);
    ASSERT_EQ(accounts->size(), 2);
    EXPECT_EQ(accounts->at(0).name, QStringLiteral("管理员"));
    EXPECT_EQ(accounts->at(1).name, QStringLiteral("赵六"));
    EXPECT_EQ(accounts->at(1).password, QStringLiteral("new"));
}

TEST_F(OperatorWindowTest, EditingWritesTheExactUpdateOfTheShownAccount)
{
    addAccount(QStringLiteral("甲"), QStringLiteral("1"), {});
    addAccount(QStringLiteral("乙"), QStringLiteral("2"), {});
    const auto before = admin::ListOperators(db());
    ASSERT_TRUE(before && before->size() == 3);
    const qint64 jia = before->at(1).number;

    window->rowClicked(rowOf(QStringLiteral("甲")));
    check("选择框权限_允许增删车辆")->setChecked(true);
    check("选择框权限_权限设置可见")->setChecked(true);
    store::DatabaseConnection::SetStatementLogging(true);
    button("超级按钮权限员工保存")->click();
    EXPECT_TRUE(store::DatabaseConnection::StatementLog().contains(
        QStringLiteral("update 权限  set [用户名]='甲',[密码]='1',[增删车辆]=true,[修改车辆信息]=false,"
                       "[增加车辆信息]=false,[费用可见]=false,[统计查询]=false,[权限设置]=true where [编号]=") +
        QString::number(jia)));

    // The list was filled again (newest on top); a second save still writes the shown account,
    // never the top row.
    name->setText(QStringLiteral("甲甲"));
    button("超级按钮权限员工保存")->click();
    const auto after = admin::ListOperators(db());
    ASSERT_TRUE(after && after->size() == 3);
    EXPECT_EQ(after->at(1).name, QStringLiteral("甲甲"));
    EXPECT_EQ(after->at(2).name, QStringLiteral("乙"));
    EXPECT_TRUE(after->at(1).rights.增删车辆);
    EXPECT_EQ(list->currentRow(), rowOf(QStringLiteral("甲甲")));
}

TEST_F(OperatorWindowTest, DeleteAsksAndRemovesOnlyOnYes)
{
    addAccount(QStringLiteral("丙"), QStringLiteral("3"), {});
    dialogs.shown.clear();
    window->rowClicked(rowOf(QStringLiteral("丙")));

    dialogs.answers = {ui::Answer::No};
    button("超级按钮权限员工删除")->click();
    EXPECT_EQ(dialogs.shown, QStringList({QStringLiteral("确定删除此管理员吗？")}));
    EXPECT_TRUE(dialogs.titles.first().isEmpty());
    EXPECT_EQ(accountCount(), 2);

    dialogs.shown.clear();
    dialogs.answers = {ui::Answer::Yes};
    button("超级按钮权限员工删除")->click();
    EXPECT_EQ(dialogs.shown, QStringList({QStringLiteral("确定删除此管理员吗？"), QStringLiteral("删除成功!")}));
    EXPECT_EQ(listNames(), QStringList({QStringLiteral("管理员")}));
    // The deleted account is no longer in the form to be saved back.
    EXPECT_EQ(window->mode(), admin::OperatorWindow::Mode::None);
    EXPECT_TRUE(name->text().isEmpty());
    EXPECT_FALSE(button("超级按钮权限员工删除")->isVisibleTo(window.get()));
    EXPECT_FALSE(button("超级按钮权限员工保存")->isVisibleTo(window.get()));
}

TEST_F(OperatorWindowTest, TheLastAccountCannotBeDeleted)
{
    window->rowClicked(0);
    button("超级按钮权限员工删除")->click();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown.first().contains(QStringLiteral("不能删除最后一个管理员")));
    EXPECT_EQ(accountCount(), 1);
    EXPECT_EQ(listNames(), QStringList({QStringLiteral("管理员")}));
}

TEST_F(OperatorWindowTest, NoChangeMayLeaveNobodyWithTheSettingsRight)
{
    addAccount(QStringLiteral("丁"), QStringLiteral("4"), {"选择框权限_允许增删车辆"});
    dialogs.shown.clear();

    // The only holder of 权限设置 cannot be deleted …
    window->rowClicked(rowOf(QStringLiteral("管理员")));
    button("超级按钮权限员工删除")->click();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown.first().contains(QStringLiteral("权限设置")));
    EXPECT_EQ(accountCount(), 2);

    // … nor lose it.
    dialogs.shown.clear();
    check("选择框权限_权限设置可见")->setChecked(false);
    button("超级按钮权限员工保存")->click();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown.first().contains(QStringLiteral("权限设置")));
    auto admin0 = admin::ReadOperator(db(), admin::ListOperators(db())->at(0).number);
    ASSERT_TRUE(admin0);
    EXPECT_TRUE(admin0->rights.权限设置);

    // Once another account holds it, both are allowed.
    window->rowClicked(rowOf(QStringLiteral("丁")));
    check("选择框权限_权限设置可见")->setChecked(true);
    button("超级按钮权限员工保存")->click();
    window->rowClicked(rowOf(QStringLiteral("管理员")));
    check("选择框权限_权限设置可见")->setChecked(false);
    button("超级按钮权限员工保存")->click();
    EXPECT_EQ(dialogs.shown.mid(1), QStringList({QStringLiteral("修改权限成功！"), QStringLiteral("修改权限成功！")}));
    dialogs.answers = {ui::Answer::Yes};
    button("超级按钮权限员工删除")->click();
    EXPECT_EQ(dialogs.shown.last(), QStringLiteral("删除成功!"));
    EXPECT_EQ(listNames(), QStringList({QStringLiteral("丁")}));
}

TEST_F(OperatorWindowTest, EmptyNameIsRefused)
{
    button("超级按钮权限员工增加")->click();
    password->setText(QStringLiteral("p"));
    again->setText(QStringLiteral("p"));
    button("超级按钮权限员工保存")->click();
    EXPECT_EQ(dialogs.shown, QStringList({QStringLiteral("请输入管理员用户名！")}));
    EXPECT_EQ(accountCount(), 1);
}

TEST_F(OperatorWindowTest, ExitClosesTheWindow)
{
    window->show();
    ASSERT_TRUE(window->isVisible());
    button("超级按钮权限管理员退出")->click();
    EXPECT_FALSE(window->isVisible());
}
