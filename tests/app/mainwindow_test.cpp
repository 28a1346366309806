#include "app/mainwindow.h"
#include "app/signinwindow.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/target.h"
#include "support/testsupport.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

using testing_support::DataDirTest;

namespace {

class MainWindowTest : public DataDirTest {
protected:
    // Starts the main window with the given permissions, as if that operator had signed in.
    std::unique_ptr<app::MainWindow> start(bool allPermissions = true) {
        auto w = std::make_unique<app::MainWindow>();
        const bool ok = w->initialise([allPermissions](QWidget*) {
            store::Permissions p;
            p.增删车辆 = p.修改车辆信息 = p.增加车辆信息 = p.费用可见 = p.统计查询 = p.权限设置 = allPermissions;
            store::session().OperatorPermissions = p;
            return true;
        });
        EXPECT_TRUE(ok);
        return w;
    }
    QAction* action(app::MainWindow& w, const char* name) {
        return w.findChild<QAction*>(u"菜单_"_s + QString::fromUtf8(name));
    }
};

} // namespace

TEST_F(MainWindowTest, FrameHasTheMenusTabsAndControls) {
    auto w = start();
    EXPECT_EQ(w->windowTitle(), u"Velmora"_s);
    QStringList menus;
    for (QAction* a : w->menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus, QStringList({u"文件"_s, u"编辑"_s, u"车辆管理"_s, u"车辆预警"_s, u"车辆清单"_s, u"保险理赔"_s,
                                  u"统计查询"_s, u"设置"_s, u"帮助"_s}));
    EXPECT_EQ(w->findChild<QMenu*>(u"菜单_车辆预警"_s)->actions().size(), 15);
    EXPECT_EQ(w->findChild<QMenu*>(u"菜单_车辆清单"_s)->actions().size(), 17);
    auto* tabs = w->findChild<QTabWidget*>(u"高级选择夹1"_s);
    ASSERT_TRUE(tabs);
    QStringList captions;
    for (int i = 0; i < tabs->count(); ++i)
        captions << tabs->tabText(i);
    EXPECT_EQ(captions, QStringList({u"车辆具体信息"_s, u"审车信息"_s, u"二级维护信息"_s, u"保险信息"_s,
                                     u"管理费用信息"_s, u"营运证信息"_s, u"违章查询"_s}));
    // Pages 0 and 6 carry the colours white / cyan / white (converted from 0x00BBGGRR).
    const auto colours = tabs->tabBar()->tabData(0).toList();
    ASSERT_EQ(colours.size(), 3);
    EXPECT_EQ(colours[1].value<QColor>(), QColor(0, 255, 255));
    for (const char* name : {"树型框", "分组框_搜索", "分组框_照片", "标签_状态提示", "标签_软件公司", "图片框_身份证",
                             "图片框_车辆照片1", "图片框_车辆照片2", "图片框_行车证1", "图片框_行车证2", "分组框_下标"})
        EXPECT_TRUE(w->findChild<QWidget*>(QString::fromUtf8(name))) << name;
    EXPECT_FALSE(action(*w, "粘贴")->isEnabled());
}

TEST_F(MainWindowTest, OperatorWithoutPermissionsSeesCommandsHiddenAndDisabled) {
    auto w = start(false);
    EXPECT_FALSE(w->findChild<QAction*>(u"菜单_设置"_s)->isVisible());
    EXPECT_FALSE(w->findChild<QAction*>(u"菜单_统计查询"_s)->isVisible());
    auto* vehicleMenu = w->findChild<QAction*>(u"菜单_车辆管理"_s);
    EXPECT_TRUE(vehicleMenu->isVisible());
    EXPECT_FALSE(vehicleMenu->isEnabled());
    EXPECT_FALSE(action(*w, "备份")->isEnabled());
    // The items themselves too: the same menu is also offered elsewhere (the tree's pop-up).
    for (const char* item : {"删除车辆", "增加车辆", "保存增加车辆"})
        EXPECT_FALSE(action(*w, item)->isEnabled()) << item;
    for (const char* name : {"超级按钮_数据备份", "超级按钮_增加车辆", "超级按钮_删除车辆", "超级按钮_保存增加"}) {
        auto* b = w->findChild<QPushButton*>(QString::fromUtf8(name));
        ASSERT_TRUE(b) << name;
        EXPECT_FALSE(b->isEnabled()) << name;
    }
    auto all = start(true);
    EXPECT_TRUE(all->findChild<QAction*>(u"菜单_设置"_s)->isVisible());
    EXPECT_TRUE(all->findChild<QPushButton*>(u"超级按钮_增加车辆"_s)->isEnabled());
}

TEST_F(MainWindowTest, CancelledSignInEndsStartUp) {
    app::MainWindow w;
    EXPECT_FALSE(w.initialise([](QWidget*) { return false; }));
    EXPECT_FALSE(w.database().IsOpen());
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(MainWindowTest, StartUpOpensTheFileOnceForTheSignInAndTheMainWindow) {
    ASSERT_EQ(store::DatabaseConnection::OpenFileCount(), 0);
    app::MainWindow w;
    int duringSignIn = -1;
    bool mainOpenDuringSignIn = false;
    ASSERT_TRUE(w.initialise([&](QWidget* owner) {
        app::SignInWindow signIn(owner); // opens its own connection, as at start-up
        duringSignIn = store::DatabaseConnection::OpenFileCount();
        mainOpenDuringSignIn = w.database().IsOpen();
        store::session().OperatorPermissions.权限设置 = true;
        return true;
    }));
    EXPECT_EQ(duringSignIn, 1);
    EXPECT_TRUE(mainOpenDuringSignIn);
    EXPECT_EQ(store::DatabaseConnection::OpenFileCount(), 1);
    EXPECT_TRUE(w.database().IsOpen());
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(MainWindowTest, MissingDatabaseIsReportedAndNotCreated) {
    QFile::remove(dbPath());
    auto w = start();
    EXPECT_EQ(dialogs.shown.mid(0, 2), QStringList({u"数据库丢失！"_s, u"数据库打开失败！"_s}));
    EXPECT_FALSE(w->database().IsOpen());
    EXPECT_FALSE(QFileInfo::exists(dbPath()));
}

TEST_F(MainWindowTest, ExitAsksAndClosingAsksOnlyAfterAChange) {
    auto w = start();
    w->show();
    dialogs.answers = {ui::Answer::No};
    action(*w, "退出")->trigger();
    EXPECT_EQ(dialogs.shown, QStringList({u"真的要退出吗？"_s}));
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->database().IsOpen());

    // Nothing changed: closing asks nothing more.
    dialogs.answers = {ui::Answer::Yes};
    action(*w, "退出")->trigger();
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->database().IsOpen());
    EXPECT_EQ(dialogs.shown.size(), 2);

    auto changed = start();
    changed->show();
    store::session().DataModifiedFlag = 1;
    dialogs.shown.clear();
    dialogs.answers = {ui::Answer::Cancel};
    changed->close();
    EXPECT_EQ(dialogs.shown, QStringList({u"当前数据已经被修改，请问是否备份？"_s}));
    EXPECT_EQ(dialogs.titles.last(), u"询问:"_s);
    EXPECT_TRUE(changed->isVisible()); // 取消 goes back to work
    dialogs.answers = {ui::Answer::No};
    changed->close();
    EXPECT_FALSE(changed->isVisible());
}

TEST_F(MainWindowTest, BackupCopiesTheFileOrNothingOnCancel) {
    auto w = start();
    const QString target = QDir(dataDir()).filePath(u"backup/copy.mdb"_s);
    QDir().mkpath(QFileInfo(target).absolutePath());
    dialogs.files = {std::nullopt};
    action(*w, "备份")->trigger();
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(target));

    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old backup");
    old.close();
    dialogs.files = {target};
    w->findChild<QPushButton*>(u"超级按钮_数据备份"_s)->click();
    EXPECT_EQ(dialogs.shown, QStringList({u"数据备份成功！"_s}));
    store::DatabaseConnection copy;
    EXPECT_TRUE(copy.OpenDatabaseFile(target, store::kDatabasePassword));
    EXPECT_NE(copy.OpenRecordSet(u"select * from 权限"_s), 0);

    // A target that cannot be written is reported, not passed off as a success.
    dialogs.shown.clear();
    dialogs.files = {QDir(dataDir()).filePath(u"no/such/dir/x.mdb"_s)};
    action(*w, "备份")->trigger();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown.first(), u"数据备份失败！\n备份目录不存在："_s + QDir(dataDir()).filePath(u"no/such/dir"_s))
        << dialogs.shown.first().toStdString();
}

namespace {
class MainWindowEngineTest : public testing_support::EngineTest {};
} // namespace

// The same start-up on either engine; the status bar names the database that is open.
TEST_P(MainWindowEngineTest, StartsAndNamesItsDatabase) {
    app::MainWindow w;
    ASSERT_TRUE(w.initialise([](QWidget* owner) {
        app::SignInWindow signIn(owner);
        store::session().OperatorPermissions.权限设置 = true;
        return true;
    }));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(u"|"_s).toStdString();
    EXPECT_EQ(w.database().IsServer(), onServer());
    auto* label = w.findChild<QLabel*>(u"标签_数据库"_s);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), u"数据库："_s + w.database().Describe());
    EXPECT_TRUE(label->text().contains(onServer() ? serverDatabase() : dbPath())) << label->text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Engines, MainWindowEngineTest, testing_support::BothEngines(),
                         testing_support::EngineParamName);

TEST_F(MainWindowTest, ServerDownAtStartUpSaysSoAndEndsBeforeTheSignIn) {
    qputenv("VELMORA_DATABASE", "host=127.0.0.1 port=1 dbname=velmora");
    app::MainWindow w;
    bool signInShown = false;
    EXPECT_FALSE(w.initialise([&](QWidget*) { return signInShown = true; }));
    EXPECT_FALSE(signInShown);
    EXPECT_FALSE(w.database().IsOpen());
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown.first().startsWith(u"数据库打开失败！"_s));
    EXPECT_TRUE(dialogs.shown.first().contains(u"无法连接数据库服务器"_s)) << dialogs.shown.first().toStdString();
}

// ---- a settings file others can read ---------------------------------------------------------

namespace {

struct SettingsFile {
    const char* name;
    bool exists;
    QFileDevice::Permissions permissions;
    bool warned;
};

void PrintTo(const SettingsFile& f, std::ostream* os) {
    *os << f.name;
}

class SettingsFileTest : public MainWindowTest, public ::testing::WithParamInterface<SettingsFile> {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(settingsDir.isValid());
        store::SetSettingsDirectory(settingsDir.path());
    }
    void TearDown() override {
        store::SetSettingsDirectory({});
        MainWindowTest::TearDown();
    }
    QTemporaryDir settingsDir;
};

} // namespace

// velmora.ini may hold the server's password: the start-up says once, without stopping, when
// other accounts can read it.
TEST_P(SettingsFileTest, StartUpWarnsOnceWhenOthersCanReadIt) {
    const SettingsFile& file = GetParam();
    const QString path = QDir(settingsDir.path()).filePath(QString::fromLatin1(store::kSettingsFileName));
    if (file.exists) {
        QFile ini(path);
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[General]\n");
        ini.close();
        ASSERT_TRUE(ini.setPermissions(file.permissions));
    }
    auto w = start();
    w->parts().button(u"超级按钮_刷新"_s)->click(); // a refresh says nothing of it again
    const QStringList warnings = dialogs.notices.filter(u"其他用户也能读取"_s);
    if (file.warned) {
        ASSERT_EQ(warnings.size(), 1) << dialogs.notices.join(u"|"_s).toStdString();
        EXPECT_TRUE(warnings.first().contains(path)) << warnings.first().toStdString();
    } else {
        EXPECT_TRUE(warnings.isEmpty()) << warnings.join(u"|"_s).toStdString();
    }
    // Never a box the operator must answer: the start-up goes on.
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(u"|"_s).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Permissions, SettingsFileTest,
    ::testing::Values(SettingsFile{"OwnerOnly", true, QFileDevice::ReadOwner | QFileDevice::WriteOwner, false},
                      SettingsFile{"GroupReadable", true,
                                   QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup, true},
                      SettingsFile{"WorldReadable", true,
                                   QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                       QFileDevice::ReadOther,
                                   true},
                      SettingsFile{"Missing", false, {}, false}),
    [](const ::testing::TestParamInfo<SettingsFile>& param) { return std::string(param.param.name); });
