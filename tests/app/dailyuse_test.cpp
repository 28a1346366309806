// The program as an operator uses it all day: Qt's own texts in Chinese, the window on screen,
// the keyboard, safe answers to destructive questions, the closing question, help inside the
// program.
#include "admin/admincommands.h"
#include "admin/helpwindow.h"
#include "alerts/fleet.h"
#include "app/mainwindow.h"
#include "store/session.h"
#include "support/testsupport.h"
#include "ui/dialogs.h"
#include "ui/widgets.h"
#include "ui/windowsetup.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>

using namespace Qt::StringLiterals;
using testing_support::DataDirTest;
using testing_support::WhenModal;

namespace {

class DailyUseTest : public DataDirTest {
protected:
    std::unique_ptr<app::MainWindow> start() {
        auto w = std::make_unique<app::MainWindow>();
        EXPECT_TRUE(w->initialise([](QWidget*) {
            store::Permissions p;
            p.增删车辆 = p.修改车辆信息 = p.增加车辆信息 = p.费用可见 = p.统计查询 = p.权限设置 = true;
            store::session().OperatorPermissions = p;
            return true;
        }));
        return w;
    }
    // Shows the window as the program does and makes it the active one, so that its shortcuts work.
    void showActive(QWidget* w) {
        ui::ShowFillingScreen(w);
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    }
};

} // namespace

// ---- Qt's own texts ---------------------------------------------------------------------------

TEST_F(DailyUseTest, QtsStandardTextsCalendarAndFileDialogSpeakChinese) {
    ASSERT_TRUE(ui::InstallChineseTranslations(*qApp)) << "qtbase_zh_CN not found in the Qt translations directory";
    EXPECT_EQ(QLocale().name(), u"zh_CN"_s);

    QDialogButtonBox buttons(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), u"取消"_s);
    EXPECT_NE(buttons.button(QDialogButtonBox::Save)->text(), u"&Save"_s);

    // The date boxes' calendar pop-up: month and weekday names in Chinese.
    ui::DateBox date(u"日期框_测试"_s);
    date.setDate(QDate(2026, 8, 3));
    QCalendarWidget* calendar = date.calendarWidget();
    ASSERT_TRUE(calendar);
    auto* month = calendar->findChild<QToolButton*>(u"qt_calendar_monthbutton"_s);
    ASSERT_TRUE(month);
    EXPECT_EQ(month->text(), u"八月"_s);
    EXPECT_FALSE(calendar->locale().dayName(1, QLocale::ShortFormat).contains(u"Mon"_s));
    EXPECT_EQ(date.locale().toString(1234.5, 'f', 1), u"1,234.5"_s);

    // The file dialog Qt draws itself (the one shown on a desktop without a native one).
    QFileDialog files(nullptr, u"数据备份"_s);
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setAcceptMode(QFileDialog::AcceptSave);
    auto* lookIn = files.findChild<QLabel*>(u"lookInLabel"_s);
    ASSERT_TRUE(lookIn);
    EXPECT_NE(lookIn->text(), u"Look in:"_s);
    EXPECT_FALSE(lookIn->text().isEmpty());
    auto* box = files.findChild<QDialogButtonBox*>(u"buttonBox"_s);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->button(QDialogButtonBox::Cancel)->text(), u"取消"_s);
}

// ---- the window on screen ---------------------------------------------------------------------

TEST_F(DailyUseTest, MainWindowOpensMaximisedWithItsFrameInsideTheAvailableArea) {
    auto w = start();
    showActive(w.get());
    const QRect area = w->screen()->availableGeometry();
    EXPECT_TRUE(w->isMaximized());
    EXPECT_TRUE(area.contains(w->frameGeometry()))
        << w->frameGeometry().x() << "," << w->frameGeometry().y() << " " << w->frameGeometry().width() << "x"
        << w->frameGeometry().height() << " in " << area.width() << "x" << area.height() << " min "
        << w->minimumSizeHint().width() << "x" << w->minimumSizeHint().height();
    EXPECT_GE(w->frameGeometry().top(), area.top());
    EXPECT_EQ(w->windowTitle(), u"Velmora"_s);

    // Un-maximised, the window stays inside the area as well.
    w->showNormal();
    EXPECT_GE(w->frameGeometry().top(), area.top());
    EXPECT_GE(w->frameGeometry().left(), area.left());
}

// ---- the keyboard -----------------------------------------------------------------------------

TEST_F(DailyUseTest, MainWindowShortcutsRunTheirCommands) {
    auto w = start();
    int refreshes = 0;
    w->parts().refreshAlertTree = [&refreshes] { ++refreshes; };
    showActive(w.get());

    // A button's shortcut clicks it visibly: the click lands a moment later.
    QTest::keyClick(w.get(), Qt::Key_F5);
    EXPECT_TRUE(QTest::qWaitFor([&refreshes] { return refreshes == 1; }, 2000));
    EXPECT_EQ(refreshes, 1);

    auto* search = w->findChild<ui::LabeledEdit*>(u"带标签编辑框_搜索内容"_s);
    ASSERT_TRUE(search);
    search->setText(u"鲁A"_s);
    w->parts().tabs->setFocus();
    QTest::keyClick(w.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(search->lineEdit()->hasFocus());
    EXPECT_EQ(search->lineEdit()->selectedText(), u"鲁A"_s); // typing replaces the old text
    testing_support::TypeText(QApplication::focusWidget(), u"京B"_s);
    EXPECT_EQ(search->text(), u"京B"_s);

    // F10 opens the menu bar at its first menu; Esc leaves it.
    QTest::keyClick(w.get(), Qt::Key_F10);
    ASSERT_TRUE(w->menuBar()->activeAction());
    EXPECT_EQ(w->menuBar()->activeAction()->text(), u"文件"_s);
    QTest::keyClick(w->menuBar(), Qt::Key_Escape);
    w->menuBar()->setActiveAction(nullptr);

    // Alt pressed and released alone does the same; Alt as part of a combination does not.
    search->lineEdit()->setFocus();
    QTest::keyPress(search->lineEdit(), Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(search->lineEdit(), Qt::Key_Alt, Qt::NoModifier);
    ASSERT_TRUE(w->menuBar()->activeAction());
    EXPECT_EQ(w->menuBar()->activeAction()->text(), u"文件"_s);
    w->menuBar()->setActiveAction(nullptr);
    search->lineEdit()->setFocus();
    QTest::keyPress(search->lineEdit(), Qt::Key_Alt, Qt::AltModifier);
    QTest::keyClick(search->lineEdit(), Qt::Key_X, Qt::AltModifier);
    QTest::keyRelease(search->lineEdit(), Qt::Key_Alt, Qt::NoModifier);
    EXPECT_FALSE(w->menuBar()->activeAction());

    // The menu items show their keys; 退出's key asks the exit question.
    EXPECT_EQ(w->parts().action(u"退出"_s)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    dialogs.answers = {ui::Answer::No};
    QTest::keyClick(w.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(dialogs.shown, QStringList({u"真的要退出吗？"_s}));
    EXPECT_TRUE(w->isVisible());
}

TEST_F(DailyUseTest, ReportWindowHelperGivesPrintExportEscapeAndFillsTheScreen) {
    QDialog report;
    int prints = 0, exports = 0;
    const ui::ReportShortcuts keys = ui::PrepareReportWindow(
        &report, [&prints] { ++prints; }, [&exports] { ++exports; });
    ASSERT_TRUE(keys.print && keys.exportTable && keys.close);
    EXPECT_EQ(keys.print->text(), u"打印"_s);
    EXPECT_EQ(keys.exportTable->text(), u"导出"_s);
    report.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&report));
    EXPECT_TRUE(report.isMaximized());
    EXPECT_TRUE(report.screen()->availableGeometry().contains(report.frameGeometry()));

    QTest::keyClick(&report, Qt::Key_P, Qt::ControlModifier);
    QTest::keyClick(&report, Qt::Key_E, Qt::ControlModifier);
    QTest::keyClick(&report, Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(prints, 1);
    EXPECT_EQ(exports, 2);
    QTest::keyClick(&report, Qt::Key_Escape);
    EXPECT_FALSE(report.isVisible());

    // A window without export gets no Ctrl+E.
    QDialog printOnly;
    EXPECT_FALSE(ui::PrepareReportWindow(&printOnly, [] {}, {}).exportTable);
}

// ---- destructive questions --------------------------------------------------------------------

TEST_F(DailyUseTest, RealMessageBoxPutsEnterOnTheNamedDefault) {
    ui::SetDialogProvider(nullptr); // the real message boxes
    QString defaultText, escapeText;
    WhenModal([&](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        ASSERT_TRUE(box);
        defaultText = box->defaultButton() ? box->defaultButton()->text() : QString();
        escapeText = box->escapeButton() ? box->escapeButton()->text() : QString();
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ(ui::AskWithDefault(u"确定要删除吗"_s, ui::Buttons::YesNo, ui::Answer::No), ui::Answer::No);
    EXPECT_EQ(defaultText, u"否"_s);
    EXPECT_EQ(escapeText, u"否"_s);

    WhenModal([&](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        ASSERT_TRUE(box);
        defaultText = box->defaultButton() ? box->defaultButton()->text() : QString();
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ(ui::AskWithDefault(u"确实要删除车号为鲁A12345的车辆吗？"_s, ui::Buttons::OkCancel, ui::Answer::Cancel),
              ui::Answer::Cancel);
    EXPECT_EQ(defaultText, u"取消"_s);

    // A plain question keeps Yes as its default.
    WhenModal([&](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        ASSERT_TRUE(box);
        defaultText = box->defaultButton() ? box->defaultButton()->text() : QString();
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ(ui::MessageBox(u"真的要退出吗？"_s, ui::Buttons::YesNo), ui::Answer::Yes);
    EXPECT_EQ(defaultText, u"是"_s);
}

// ---- the closing question ---------------------------------------------------------------------

TEST_F(DailyUseTest, CancelOnTheClosingQuestionKeepsTheWindowOpen) {
    auto w = start();
    w->show();
    store::session().DataModifiedFlag = 1;

    // The window's close button: 取消 goes back to work.
    dialogs.answers = {ui::Answer::Cancel};
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->database().IsOpen());
    EXPECT_EQ(dialogs.shown, QStringList({u"当前数据已经被修改，请问是否备份？"_s}));

    // 退出, 是, then 取消 on the closing question: still open, the connection too.
    dialogs.shown.clear();
    dialogs.answers = {ui::Answer::Yes, ui::Answer::Cancel};
    w->parts().action(u"退出"_s)->trigger();
    EXPECT_EQ(dialogs.shown, QStringList({u"真的要退出吗？"_s, u"当前数据已经被修改，请问是否备份？"_s}));
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->database().IsOpen());

    // 是 with the save dialog cancelled asks again; 否 then closes without a backup.
    dialogs.shown.clear();
    dialogs.answers = {ui::Answer::Yes, ui::Answer::No};
    dialogs.files = {std::nullopt};
    EXPECT_TRUE(w->close());
    EXPECT_EQ(dialogs.shown,
              QStringList({u"当前数据已经被修改，请问是否备份？"_s, u"当前数据已经被修改，请问是否备份？"_s}));
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->database().IsOpen());
}

TEST_F(DailyUseTest, YesOnTheClosingQuestionBacksUpThenCloses) {
    auto w = start();
    w->show();
    store::session().DataModifiedFlag = 1;
    const QString target = QDir(dataDir()).filePath(u"备份.mdb"_s);
    dialogs.answers = {ui::Answer::Yes};
    dialogs.files = {target};
    EXPECT_TRUE(w->close());
    EXPECT_EQ(dialogs.shown, QStringList({u"当前数据已经被修改，请问是否备份？"_s, u"数据备份成功！"_s}));
    EXPECT_TRUE(QFileInfo::exists(target));
    EXPECT_FALSE(w->isVisible());
}

// ---- what the form shows ----------------------------------------------------------------------

TEST_F(DailyUseTest, TextBoxesShowTheStartOfALongValueAndTabMarkersSayWhatTheyMean) {
    ui::LabeledEdit address(u"带标签编辑框_车主地址"_s, u"车主详细住址："_s);
    address.resize(160, 24);
    address.show();
    address.setText(u"山东省济南市历城区工业北路一百二十三号院五号楼二单元六零一室"_s);
    EXPECT_EQ(address.lineEdit()->cursorPosition(), 0);

    QTabWidget tabs;
    tabs.addTab(new QWidget, u"车辆具体信息"_s);
    tabs.addTab(new QWidget, u"审车信息"_s);
    ui::SetTabColours(&tabs, 0, 0xffffff, 0xffff00, 0xffffff);
    ui::SetTabColours(&tabs, 1, 0x0000FF, 0xFFFF00, 0xFFFFFF);
    EXPECT_TRUE(tabs.tabIcon(0).isNull()); // a page without a due date has no swatch
    EXPECT_TRUE(tabs.tabToolTip(0).isEmpty());
    EXPECT_EQ(tabs.tabToolTip(1), u"本月到期"_s);
    const QImage swatch = tabs.tabIcon(1).pixmap(16, 16).toImage();
    EXPECT_EQ(swatch.pixelColor(8, 8), ui::ColorFromBgr(0x0000FF)); // filled, not an empty box
    ui::SetTabColours(&tabs, 1, 0x00FFFF, 0xFFFF00, 0xFFFFFF);
    EXPECT_EQ(tabs.tabToolTip(1), u"下月到期"_s);
    ui::SetTabColours(&tabs, 1, 0x000000, 0xFFFF00, 0xFFFFFF);
    EXPECT_EQ(tabs.tabToolTip(1), u"已过期三个月以上"_s);
}

// ---- help inside the program ------------------------------------------------------------------

TEST_F(DailyUseTest, HelpShowsTheManualWithItsPicturesInAWindowOfTheProgram) {
    auto w = start();
    showActive(w.get());
    QTest::keyClick(w.get(), Qt::Key_F1);
    auto* help = w->findChild<admin::HelpWindow*>();
    ASSERT_TRUE(help);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->windowTitle(), u"帮助"_s);
    EXPECT_TRUE(dialogs.opened.isEmpty()); // no outside viewer needed
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(u' ').toStdString();
    QTextBrowser* browser = help->browser();
    EXPECT_TRUE(browser->source().toLocalFile().endsWith(u"帮助.html"_s));
    EXPECT_TRUE(browser->toPlainText().contains(u"预警"_s));
    const QByteArray picture =
        browser->loadResource(QTextDocument::ImageResource, QUrl(u"帮助图片/主窗口.png"_s)).toByteArray();
    EXPECT_FALSE(QImage::fromData(picture).isNull());
    // The same command again raises the one window instead of opening another.
    w->parts().action(u"及时帮助"_s)->trigger();
    EXPECT_EQ(w->findChildren<admin::HelpWindow*>().size(), 1);
    help->close();
}

// ---- screenshots under a window manager --------------------------------------------------------

// Run on a real display with a window manager (for example openbox in Xvfb) and
// VELMORA_SHOTS_DIR set: saves the whole screen, title bars included, with the main window, the
// calendar pop-up, Qt's own file dialog and the help window.
TEST_F(DailyUseTest, ScreenshotsUnderAWindowManager) {
    const QString dir = qEnvironmentVariable("VELMORA_SHOTS_DIR");
    if (dir.isEmpty() || QGuiApplication::platformName() == u"offscreen"_s)
        GTEST_SKIP() << "VELMORA_SHOTS_DIR not set or no real display";
    ASSERT_TRUE(ui::InstallChineseTranslations(*qApp));
    QDir().mkpath(dir);
    const QSize screen = QGuiApplication::primaryScreen()->size();
    const QString suffix = u"-%1x%2.png"_s.arg(screen.width()).arg(screen.height());
    auto shoot = [&](const QString& name) {
        QTest::qWait(700); // let the window manager place and paint the windows
        QApplication::processEvents();
        const QString path = QDir(dir).filePath(name + suffix);
        EXPECT_EQ(QProcess::execute(u"import"_s, {u"-window"_s, u"root"_s, path}), 0);
        EXPECT_TRUE(QFileInfo::exists(path));
    };

    alerts_test::Fleet fleet(db());
    const QDate today = QDate::currentDate();
    const QDate thisMonth(today.year(), today.month(), 20);
    fleet.vehicle(u"鲁A12345"_s);
    fleet.inspection(u"鲁A12345"_s, thisMonth);
    fleet.vehicle(u"鲁A23456"_s);
    fleet.insurance(u"鲁A23456"_s, thisMonth.addMonths(1));
    fleet.vehicle(u"鲁B34567"_s);
    fleet.operatingPermit(u"鲁B34567"_s, thisMonth.addMonths(-4));
    fleet.vehicle(u"鲁C45678"_s, u"2"_s);

    auto w = start();
    showActive(w.get());
    QTreeWidget* tree = w->parts().tree;
    tree->expandItem(tree->topLevelItem(0));
    tree->expandItem(tree->topLevelItem(6));
    tree->setCurrentItem(tree->topLevelItem(0)->child(0));
    w->parts().tabs->setCurrentIndex(1);
    shoot(u"main-window"_s);

    // The calendar of a date box on the shown page.
    ui::DateBox* date = nullptr;
    for (ui::DateBox* d : w->findChildren<ui::DateBox*>())
        if (d->isVisible() && !date)
            date = d;
    ASSERT_TRUE(date);
    QTest::mouseClick(date, Qt::LeftButton, {}, QPoint(date->width() - 8, date->height() / 2));
    shoot(u"calendar-popup"_s);
    if (date->calendarWidget() && date->calendarWidget()->window()->isVisible())
        date->calendarWidget()->window()->close();

    QFileDialog files(w.get(), u"数据备份"_s, QDir::homePath());
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setAcceptMode(QFileDialog::AcceptSave);
    files.setNameFilter(u"数据库文件 (*.mdb)"_s);
    files.selectFile(u"clxx.mdb"_s);
    files.show();
    shoot(u"file-dialog"_s);
    files.close();

    w->parts().action(u"及时帮助"_s)->trigger();
    shoot(u"help-window"_s);
}
