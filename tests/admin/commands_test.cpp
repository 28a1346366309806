#include "admin/accounts.h"
#include "admin/admincommands.h"
#include "admin/helpwindow.h"
#include "app/mainwindow.h"
#include "store/session.h"
#include "support/testsupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

using testing_support::DataDirTest;
using testing_support::WhenModal;

namespace {

class AdminCommandsTest : public DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        window = std::make_unique<app::MainWindow>();
        ASSERT_TRUE(window->initialise([](QWidget*) {
            store::Permissions p;
            p.增删车辆 = p.修改车辆信息 = p.增加车辆信息 = p.费用可见 = p.统计查询 = p.权限设置 = true;
            store::session().OperatorPermissions = p;
            return true;
        }));
        dialogs.shown.clear();
        dialogs.titles.clear();
    }
    void TearDown() override {
        window.reset();
        DataDirTest::TearDown();
    }
    QAction* action(const char* caption) { return window->parts().action(QString::fromUtf8(caption)); }
    // Two boxes of the test's own on the first page, so the commands have something to act on.
    std::pair<QLineEdit*, QLineEdit*> boxes() {
        QGroupBox* page = window->parts().pages[0];
        auto* layout = page->layout() ? page->layout() : new QVBoxLayout(page);
        auto* a = new QLineEdit(page);
        auto* b = new QLineEdit(page);
        layout->addWidget(a);
        layout->addWidget(b);
        return {a, b};
    }

    std::unique_ptr<app::MainWindow> window;
};

} // namespace

TEST_F(AdminCommandsTest, PasteStaysOffUntilACopyPutTextOnTheClipboard) {
    auto [from, to] = boxes();
    QGuiApplication::clipboard()->clear();
    EXPECT_FALSE(action("粘贴")->isEnabled());

    // Nothing selected: the clipboard stays empty and 粘贴 stays off.
    from->setText(u"鲁A12345"_s);
    from->deselect();
    from->setFocus();
    action("复制")->trigger();
    EXPECT_FALSE(action("粘贴")->isEnabled());

    from->setSelection(0, 2);
    action("复制")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"鲁A"_s);
    EXPECT_TRUE(action("粘贴")->isEnabled());

    to->setText(u"12"_s);
    to->setFocus();
    to->setCursorPosition(0);
    action("粘贴")->trigger();
    EXPECT_EQ(to->text(), u"鲁A12"_s);
    // 剪切 does nothing: the text stays where it is.
    from->setFocus();
    from->selectAll();
    action("剪切")->trigger();
    EXPECT_EQ(from->text(), u"鲁A12345"_s);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(AdminCommandsTest, CopyFromADateBoxTakesTheSelectedTextOfItsInnerLineEdit) {
    auto [from, to] = boxes();
    auto* date = new QDateEdit(QDate(2026, 3, 9), from->parentWidget());
    date->setDisplayFormat(u"yyyy-MM-dd"_s);
    from->parentWidget()->layout()->addWidget(date);
    QGuiApplication::clipboard()->clear();
    date->setFocus();
    ASSERT_EQ(window->focusWidget(), date);
    date->selectAll();
    action("复制")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"2026-03-09"_s);
    EXPECT_TRUE(action("粘贴")->isEnabled());

    to->clear();
    to->setFocus();
    action("粘贴")->trigger();
    EXPECT_EQ(to->text(), u"2026-03-09"_s);
}

TEST_F(AdminCommandsTest, HelpOpensTheManualShippedBesideTheProgram) {
    action("及时帮助")->trigger();
    const QString expected = QDir(QCoreApplication::applicationDirPath()).filePath(u"帮助.html"_s);
    EXPECT_TRUE(dialogs.opened.isEmpty()); // shown in the program's own help window
    auto* help = window->findChild<admin::HelpWindow*>();
    ASSERT_TRUE(help);
    EXPECT_EQ(help->browser()->source(), QUrl::fromLocalFile(expected));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(u' ').toStdString();
    QFile manual(expected);
    ASSERT_TRUE(manual.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(manual.readAll());
    for (const char* topic : {"登录", "增加车辆", "加记录", "预警", "打印", "备份", "恢复", "台账", "缴费查询",
                              "报险清单", "扫描", "导入", "导出", "放大", "颜色", "快捷键"})
        EXPECT_TRUE(page.contains(QString::fromUtf8(topic))) << topic;
    // Every picture the page shows ships with it.
    const QRegularExpression image(u"<img src=\"([^\"]+)\""_s);
    int pictures = 0;
    for (auto it = image.globalMatch(page); it.hasNext(); ++pictures) {
        const QString picture = QFileInfo(expected).dir().filePath(it.next().captured(1));
        EXPECT_TRUE(QFileInfo::exists(picture)) << picture.toStdString();
    }
    EXPECT_GE(pictures, 5);
}

TEST_F(AdminCommandsTest, HelpPrefersTheCompiledHelpFileWhenPresent) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(admin::HelpDocumentPath(dir.path()), QDir(dir.path()).filePath(u"帮助.html"_s));
    QFile chm(QDir(dir.path()).filePath(u"帮助.chm"_s));
    ASSERT_TRUE(chm.open(QIODevice::WriteOnly));
    chm.close();
    EXPECT_EQ(admin::HelpDocumentPath(dir.path()), chm.fileName());
}

TEST_F(AdminCommandsTest, ContactShowsTheSupportNoticeWithItsTitle) {
    action("联系我们")->trigger();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.titles.first(), u"联系我们！"_s);
    EXPECT_FALSE(dialogs.shown.first().trimmed().isEmpty());
}

TEST_F(AdminCommandsTest, SettingsMenuOpensBothWindowsModally) {
    QString caption;
    WhenModal([&caption](QWidget* w) {
        caption = w->windowTitle();
        w->findChild<QPushButton*>(u"超级按钮权限管理员退出"_s)->click();
    });
    action("权限设置")->trigger();
    EXPECT_EQ(caption, u"修改管理员用户名密码权限"_s);

    WhenModal([&caption](QWidget* w) {
        caption = w->windowTitle();
        static_cast<QDialog*>(w)->reject();
    });
    action("投保险种设置")->trigger();
    EXPECT_EQ(caption, u"投保险种设置"_s);

    WhenModal([&caption](QWidget* w) {
        caption = w->windowTitle();
        w->findChild<QPushButton*>(u"超级按钮_退出"_s)->click();
    });
    action("公司信息设置")->trigger();
    EXPECT_EQ(caption, u"公司信息设置"_s);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}
