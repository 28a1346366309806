#include "app/mainwindow.h"
#include "archive/recordform.h"
#include "archive/searchwindow.h"
#include "archive/vehicleform.h"
#include "store/session.h"
#include "support/testsupport.h"
#include "ui/controls.h"
#include "ui/widgets.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include <map>
#include <string>

using namespace Qt::StringLiterals;

using testing_support::DataDirTest;
using testing_support::WhenModal;

namespace {

class VehicleFormTest : public DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        store::SetToday(QDate(2026, 3, 9));
    }
    void start(bool fees = true) {
        w = std::make_unique<app::MainWindow>();
        ASSERT_TRUE(w->initialise([fees](QWidget*) {
            store::Permissions p;
            p.增删车辆 = p.修改车辆信息 = p.增加车辆信息 = p.统计查询 = p.权限设置 = true;
            p.费用可见 = fees;
            store::session().OperatorPermissions = p;
            return true;
        }));
        // Count the alert refreshes while keeping the tree's own.
        auto original = parts().refreshAlertTree;
        parts().refreshAlertTree = [this, original] {
            ++refreshes;
            if (original)
                original();
        };
        dialogs.shown.clear();
        dialogs.titles.clear();
    }
    ui::MainParts& parts() { return w->parts(); }
    QWidget* win() { return w.get(); }
    QString text(const char* name) { return ui::ControlText(win(), QString::fromUtf8(name)); }
    void set(const char* name, const QString& value) { ui::SetControlText(win(), QString::fromUtf8(name), value); }
    QPushButton* button(const char* name) { return w->findChild<QPushButton*>(QString::fromUtf8(name)); }
    QAction* menuItem(const char* caption) { return parts().action(QString::fromUtf8(caption)); }
    ui::SuperListBox* list(const char* name) { return w->findChild<ui::SuperListBox*>(QString::fromUtf8(name)); }
    bool readOnly(const char* name) { return w->findChild<ui::LabeledEdit*>(QString::fromUtf8(name))->isReadOnly(); }
    QColor tabColour(int tab) { return parts().tabs->tabBar()->tabData(tab).toList().value(0).value<QColor>(); }

    // Adds a vehicle through the form, as the operator would.
    void addVehicle(const QString& plate, const QString& archive, const QString& owner,
                    const std::function<void()>& more = {}) {
        button("超级按钮_增加车辆")->click();
        set("带标签编辑框_主车牌号", plate);
        set("带标签编辑框_档案编号", archive);
        set("带标签编辑框_车主姓名", owner);
        if (more)
            more();
        button("超级按钮_保存增加")->click();
        ASSERT_EQ(dialogs.shown.value(dialogs.shown.size() - 1), u"新车辆添加成功！"_s)
            << dialogs.shown.join(u"|"_s).toStdString();
        dialogs.shown.clear();
    }
    void search(int condition, const QString& what) {
        w->findChild<QComboBox*>(u"组合框_搜索条件"_s)->setCurrentIndex(condition);
        set("带标签编辑框_搜索内容", what);
        button("超级按钮_确认搜索")->click();
    }
    // The states AddMode switches, by name, so that a failure says which one differs.
    using States = std::map<std::string, bool>;
    static States named(std::initializer_list<bool> values) {
        static const char* const names[] = {"plate read-only",      "archive number read-only",
                                            "save-add button",      "save-add menu item",
                                            "add button",           "add menu item",
                                            "alert tree",           "list basic",
                                            "list inspection",      "list maintenance",
                                            "list insurance",       "list management fee",
                                            "list operating permit"};
        States s;
        int i = 0;
        for (const bool v : values)
            s[names[i++]] = v;
        return s;
    }
    States addModeStates() {
        return named({readOnly("带标签编辑框_主车牌号"), readOnly("带标签编辑框_档案编号"),
                      button("超级按钮_保存增加")->isEnabled(), menuItem("保存增加车辆")->isEnabled(),
                      button("超级按钮_增加车辆")->isEnabled(), menuItem("增加车辆")->isEnabled(),
                      parts().tree->isEnabled(), list("超级列表框_基本信息")->isEnabled(),
                      list("超级列表框_审车")->isEnabled(), list("超级列表框_二维")->isEnabled(),
                      list("超级列表框_保险")->isEnabled(), list("超级列表框_管理")->isEnabled(),
                      list("超级列表框_营运")->isEnabled()});
    }
    const States kAdding =
        named({false, false, true, true, false, false, false, false, false, false, false, false, false});
    const States kShowing = named({true, true, false, false, true, true, true, true, true, true, true, true, true});

    std::unique_ptr<app::MainWindow> w;
    int refreshes = 0;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Adding and saving

TEST_F(VehicleFormTest, AddButtonEntersAddModeAndTheMenuItemOnlyEnablesSaving) {
    start();
    EXPECT_EQ(addModeStates(), kShowing);
    store::session().CurrentPlate = u"鲁X00001"_s;
    button("超级按钮_增加车辆")->click();
    EXPECT_EQ(addModeStates(), kAdding);
    EXPECT_TRUE(store::session().CurrentPlate.isEmpty());
    EXPECT_EQ(store::session().DataModifiedFlag, 1);
    EXPECT_EQ(parts().tabs->currentIndex(), 0);
    EXPECT_EQ(ui::ControlDate(win(), u"日期框_审车缴费时间"_s), QDate(2026, 3, 9));
    EXPECT_TRUE(ui::ControlChecked(win(), u"选择框_是否提醒主车审车"_s));

    // Saved through the menu item after the add button: the tree, the lists and the add
    // commands are usable again.
    set("带标签编辑框_主车牌号", u"鲁A12345"_s);
    set("带标签编辑框_档案编号", u"1"_s);
    menuItem("保存增加车辆")->trigger();
    EXPECT_EQ(dialogs.shown.last(), u"新车辆添加成功！"_s);
    EXPECT_EQ(addModeStates(), kShowing);

    // The menu item keeps the vehicle shown, the tab colours, the selected tab, the tree, the
    // lists and the add commands; it only empties the form and offers saving.
    store::session().CurrentPlate = u"鲁A12345"_s;
    parts().tabs->setCurrentIndex(2);
    const QColor colour = tabColour(2);
    menuItem("增加车辆")->trigger();
    EXPECT_EQ(store::session().CurrentPlate, u"鲁A12345"_s);
    EXPECT_EQ(parts().tabs->currentIndex(), 2);
    EXPECT_EQ(tabColour(2), colour);
    EXPECT_FALSE(readOnly("带标签编辑框_主车牌号"));
    EXPECT_TRUE(text("带标签编辑框_主车牌号").isEmpty());
    EXPECT_TRUE(button("超级按钮_保存增加")->isEnabled());
    EXPECT_TRUE(menuItem("保存增加车辆")->isEnabled());
    EXPECT_TRUE(button("超级按钮_增加车辆")->isEnabled());
    EXPECT_TRUE(menuItem("增加车辆")->isEnabled());
    EXPECT_TRUE(parts().tree->isEnabled());
    EXPECT_TRUE(list("超级列表框_审车")->isEnabled());
    button("超级按钮_保存增加")->click();
    EXPECT_EQ(dialogs.shown.last(), u"请输入主车车牌号！"_s);
}

TEST_F(VehicleFormTest, ASaveFromTheButtonChecksThePlateOnce) {
    start();
    w->show();
    QApplication::setActiveWindow(w.get());
    button("超级按钮_增加车辆")->click();
    auto* plate = w->findChild<ui::LabeledEdit*>(u"带标签编辑框_主车牌号"_s);
    set("带标签编辑框_档案编号", u"1"_s);
    plate->lineEdit()->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(plate->lineEdit()->hasFocus());
    testing_support::TypeText(QApplication::focusWidget(), u"鲁A1"_s);
    EXPECT_EQ(plate->text(), u"鲁A1"_s);
    // The operator leaves the plate box by clicking the save button.
    QTest::mouseClick(button("超级按钮_保存增加"), Qt::LeftButton);
    EXPECT_EQ(dialogs.shown, QStringList({u"请检查主车牌号是否正确"_s, u"新车辆添加成功！"_s}));

    // Through the menu item, with the plate box never left, the save runs the check itself.
    menuItem("增加车辆")->trigger();
    set("带标签编辑框_主车牌号", u"鲁B2"_s);
    set("带标签编辑框_档案编号", u"2"_s);
    dialogs.shown.clear();
    menuItem("保存增加车辆")->trigger();
    EXPECT_EQ(dialogs.shown, QStringList({u"请检查主车牌号是否正确"_s, u"新车辆添加成功！"_s}));
}

TEST_F(VehicleFormTest, ValidationMessagesKeepAddModeAndEveryTypedValue) {
    start();
    addVehicle(u"鲁A12345"_s, u"3"_s, u"张三"_s);
    button("超级按钮_增加车辆")->click();
    set("带标签编辑框_车主姓名", u"李四"_s);
    set("带标签编辑框_审车备注", u"备注一"_s);
    set("带标签编辑框_档案编号", u"9"_s);
    button("超级按钮_保存增加")->click();
    EXPECT_EQ(dialogs.shown, QStringList({u"请输入主车车牌号！"_s}));
    EXPECT_EQ(addModeStates(), kAdding);
    EXPECT_EQ(text("带标签编辑框_车主姓名"), u"李四"_s);
    EXPECT_EQ(text("带标签编辑框_档案编号"), u"9"_s);

    set("带标签编辑框_主车牌号", u"鲁B12345"_s);
    set("带标签编辑框_档案编号", QString());
    button("超级按钮_保存增加")->click();
    EXPECT_EQ(dialogs.shown.last(), u"请输入档案编号！"_s);
    EXPECT_EQ(addModeStates(), kAdding);

    // 003 is the archive number 3 already taken: refused and the box emptied, so that the next
    // save stops at the missing number.
    set("带标签编辑框_档案编号", u"003"_s);
    button("超级按钮_保存增加")->click();
    EXPECT_EQ(dialogs.shown.last(), u"对不起！已经存在此档案编号的信息了！"_s);
    EXPECT_EQ(text("带标签编辑框_档案编号"), QString());
    EXPECT_EQ(text("带标签编辑框_审车备注"), u"备注一"_s);
    EXPECT_EQ(addModeStates(), kAdding);
    button("超级按钮_保存增加")->click();
    EXPECT_EQ(dialogs.shown.last(), u"请输入档案编号！"_s);
    EXPECT_EQ(refreshes, 1); // only the first vehicle's save

    set("带标签编辑框_档案编号", u"4"_s);
    button("超级按钮_保存增加")->click();
    EXPECT_EQ(dialogs.shown.last(), u"新车辆添加成功！"_s);
    EXPECT_EQ(addModeStates(), kShowing);
    EXPECT_EQ(refreshes, 2);
    EXPECT_EQ(store::session().DataModifiedFlag, 1);
    const int rs = db().OpenRecordSet(u"select [审车备注],[车主姓名],[审车车号] from 鲁B12345"_s);
    ASSERT_NE(rs, 0);
    EXPECT_EQ(db().ReadField(rs, u"审车备注"_s).text(), u"备注一"_s);
    EXPECT_EQ(db().ReadField(rs, u"审车车号"_s).text(), u"鲁B12345"_s);
}

TEST_F(VehicleFormTest, PlateThatCannotNameATableIsRefusedBeforeAnyStatement) {
    start();
    button("超级按钮_增加车辆")->click();
    set("带标签编辑框_主车牌号", u"鲁A 1234'"_s);
    set("带标签编辑框_档案编号", u"1"_s);
    store::DatabaseConnection::SetStatementLogging(true);
    button("超级按钮_保存增加")->click();
    EXPECT_TRUE(store::DatabaseConnection::StatementLog().isEmpty());
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown[0].contains(u"主车牌号只能由汉字、字母和数字组成"_s));
    EXPECT_EQ(text("带标签编辑框_主车牌号"), u"鲁A 1234'"_s);
    EXPECT_EQ(addModeStates(), kAdding);
}

TEST_F(VehicleFormTest, AFailedWriteLeavesNothingAndTheSamePlateSavesAgain) {
    start();
    ASSERT_TRUE(db().ExecuteStatement(u"select * into 鲁A12345 from yangbiao"_s));
    button("超级按钮_增加车辆")->click();
    set("带标签编辑框_主车牌号", u"鲁A12345"_s);
    set("带标签编辑框_档案编号", u"1"_s);
    button("超级按钮_保存增加")->click();
    EXPECT_EQ(dialogs.shown.last(), u"创建新车表格失败！"_s);
    EXPECT_EQ(addModeStates(), kAdding);
    EXPECT_EQ(refreshes, 0);
    ASSERT_TRUE(db().ExecuteStatement(u"drop table 鲁A12345"_s));
    button("超级按钮_保存增加")->click();
    EXPECT_EQ(dialogs.shown.last(), u"新车辆添加成功！"_s);
}

// ---------------------------------------------------------------------------------------------
// Search and loading

TEST_F(VehicleFormTest, OneMatchLoadsTheVehicleIntoEveryPage) {
    start();
    addVehicle(u"鲁A12345"_s, u"007"_s, u"O'Neil 张  "_s, [this] {
        set("带标签编辑框_车主电话", u"13900000000"_s);
        set("带标签编辑框_审车应缴费用", u"1000"_s);
        set("带标签编辑框_审车已缴费用", u"400"_s);
        set("带标签编辑框_审车备注", u" 原样 "_s);
        set("带标签编辑框_二维卡号", u" K9 "_s);
        ui::SetControlDate(win(), u"日期框_下次主车审车"_s, QDate(2026, 3, 20));
        ui::SetControlDate(win(), u"日期框_下次挂车审车"_s, QDate(2026, 5, 20));
        ui::SetControlDate(win(), u"日期框_下次二维"_s, QDate(2025, 12, 1));
        ui::SetControlDate(win(), u"日期框_下次管理费"_s, QDate(2026, 2, 1));
        ui::SetControlDate(win(), u"日期框_下次营运证日期"_s, QDate(2026, 4, 1));
        w->findChild<QComboBox*>(u"组合框_车辆状态"_s)->setCurrentIndex(1);
        ui::SetControlImage(win(), u"图片框_车辆照片1"_s, QByteArray("not really a jpeg"));
    });
    ASSERT_TRUE(db().ExecuteStatement(u"insert into 鲁A12345([下次审车日期],[审车应缴费用],[审车车号]) "
                                      u"values('2026年4月2日','50','鲁A12345')"_s));
    archive::ResetVehicleForm(win()); // so that only the loaders can bring the values back

    search(2, u"O'Neil"_s);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(u"|"_s).toStdString();
    EXPECT_EQ(store::session().CurrentPlate, u"鲁A12345"_s);
    EXPECT_EQ(text("带标签编辑框_主车牌号"), u"鲁A12345"_s);
    EXPECT_EQ(text("带标签编辑框_车主姓名"), u"O'Neil 张"_s); // basic texts trimmed
    EXPECT_EQ(text("组合框_车辆状态"), u"转出"_s);
    EXPECT_EQ(ui::ControlImage(win(), u"图片框_车辆照片1"_s), QByteArray("not really a jpeg"));
    EXPECT_EQ(store::session().DocumentImageCopies.value(1), QByteArray("not really a jpeg"));
    // Inspection: the newest row (50 due, nothing paid), copies of page 0, owed amount.
    EXPECT_EQ(ui::ControlDate(win(), u"日期框_下次主车审车"_s), QDate(2026, 4, 2));
    EXPECT_EQ(text("带标签编辑框_审车应缴费用"), u"50"_s);
    EXPECT_EQ(text("带标签编辑框_审车还欠费用"), u"50"_s);
    EXPECT_EQ(text("带标签编辑框_审车车主姓名"), u"O'Neil 张"_s);
    EXPECT_EQ(text("带标签编辑框_审车车主电话"), u"13900000000"_s);
    EXPECT_EQ(text("带标签编辑框_管理主车牌号"), u"鲁A12345"_s);
    EXPECT_EQ(text("带标签编辑框_二维卡号"), u"K9"_s); // maintenance texts trimmed
    // Tab colours by due month (reference March 2026).
    EXPECT_EQ(tabColour(1), ui::ColorFromBgr(0x00FFFF)); // April: next month
    EXPECT_EQ(tabColour(2), ui::ColorFromBgr(0x000000)); // December: three months past
    EXPECT_EQ(tabColour(3), ui::ColorFromBgr(0x00FF00)); // no date
    EXPECT_EQ(tabColour(4), ui::ColorFromBgr(0x000080)); // February
    EXPECT_EQ(tabColour(5), ui::ColorFromBgr(0x00FFFF));
    // The history list: newest on top, each row carrying its 编号, fees shown.
    ui::SuperListBox* inspection = list("超级列表框_审车");
    ASSERT_EQ(inspection->rowCount(), 2);
    EXPECT_EQ(inspection->cell(0, 0), u"2026-04-02"_s);
    EXPECT_EQ(inspection->rowNumber(0), 2);
    EXPECT_EQ(inspection->rowNumber(1), 1);
    EXPECT_EQ(inspection->cell(1, 1), u"1000"_s);
    // No row looks chosen until the operator chooses one, and the record buttons stay off.
    EXPECT_EQ(inspection->currentRow(), -1);
    EXPECT_TRUE(inspection->selectedItems().isEmpty());
    EXPECT_FALSE(button("超级按钮_删除记录")->isEnabled());
    EXPECT_EQ(list("超级列表框_基本信息")->rowCount(), 1);
    EXPECT_EQ(list("超级列表框_基本信息")->currentRow(), -1);

    // The inspection page keeps untrimmed texts: load the first row's remark by deleting the newer one.
    ASSERT_TRUE(db().ExecuteStatement(u"delete from 鲁A12345 where [编号]=2"_s));
    archive::LoadInspectionPage(parts());
    EXPECT_EQ(text("带标签编辑框_审车备注"), u" 原样 "_s);
    EXPECT_EQ(text("带标签编辑框_审车还欠费用"), u"600"_s);
    EXPECT_EQ(tabColour(1), ui::ColorFromBgr(0x0000FF)); // main this month, trailer later: red
}

TEST_F(VehicleFormTest, ListsLeaveTheFeeColumnsEmptyWithoutFeePermission) {
    start(false);
    addVehicle(u"鲁A12345"_s, u"1"_s, u"张三"_s, [this] {
        set("带标签编辑框_审车应缴费用", u"1000"_s);
        set("带标签编辑框_保险公司名称", u"平安"_s);
        set("带标签编辑框_保险应缴费用", u"900"_s);
    });
    search(0, u"12345"_s);
    ui::SuperListBox* inspection = list("超级列表框_审车");
    ASSERT_EQ(inspection->rowCount(), 1);
    EXPECT_TRUE(inspection->cell(0, 1).isEmpty());
    ui::SuperListBox* insurance = list("超级列表框_保险");
    ASSERT_EQ(insurance->rowCount(), 1);
    EXPECT_EQ(insurance->cell(0, 1), u"平安"_s);
    EXPECT_TRUE(insurance->cell(0, 9).isEmpty());
}

TEST_F(VehicleFormTest, SearchMessagesForEmptyTextAndNoMatch) {
    start();
    addVehicle(u"鲁A12345"_s, u"1"_s, u"张三"_s);
    search(2, QString());
    EXPECT_EQ(dialogs.shown, QStringList({u"请输入搜索条件后后再次搜索！"_s}));
    search(2, u"王"_s);
    EXPECT_EQ(dialogs.shown.last(), u"对不起！没有类似于王的车辆信息"_s);
    EXPECT_TRUE(store::session().CurrentPlate.isEmpty());
}

TEST_F(VehicleFormTest, SeveralMatchesAreOfferedAndOnlyAColumnAboveZeroOpens) {
    start();
    addVehicle(u"鲁A12345"_s, u"1"_s, u"张三"_s);
    addVehicle(u"鲁B12345"_s, u"2"_s, u"张四"_s, [this] { set("带标签编辑框_挂车牌号", u"鲁B999挂"_s); });
    addVehicle(u"鲁C77777"_s, u"3"_s, u"王五"_s);
    search(0, u"鲁C"_s);
    ASSERT_EQ(store::session().CurrentPlate, u"鲁C77777"_s);

    bool opened = false;
    WhenModal([&](QWidget* dialog) {
        auto* window = qobject_cast<archive::SearchResultWindow*>(dialog);
        ASSERT_TRUE(window);
        EXPECT_EQ(window->windowTitle(), u"搜索结果"_s);
        QTableWidget* grid = window->grid();
        ASSERT_EQ(grid->rowCount(), 3);
        EXPECT_EQ(grid->item(0, 0)->text(), u"档案编号"_s);
        EXPECT_EQ(grid->item(0, 3)->text(), u"车主姓名"_s);
        EXPECT_EQ(grid->item(0, 1)->background().color(), ui::ColorFromBgr(0x80E000));
        EXPECT_EQ(grid->item(2, 2)->text(), u"鲁B999挂"_s);
        EXPECT_EQ(grid->item(2, 0)->text(), u"2"_s);
        EXPECT_FALSE(window->openButton()->isEnabled());
        grid->setCurrentCell(2, 0);
        EXPECT_FALSE(window->openButton()->isEnabled());
        grid->setCurrentCell(2, 2);
        EXPECT_TRUE(window->openButton()->isEnabled());
        window->openButton()->click();
        opened = true;
    });
    search(2, u"张"_s);
    EXPECT_TRUE(opened);
    EXPECT_EQ(store::session().CurrentPlate, u"鲁B12345"_s);

    // Enter on a row, column 0 included, opens that row's vehicle; the whole row is selected.
    opened = false;
    WhenModal([&](QWidget* dialog) {
        auto* window = qobject_cast<archive::SearchResultWindow*>(dialog);
        ASSERT_TRUE(window);
        QTableWidget* grid = window->grid();
        grid->setFocus();
        grid->setCurrentCell(2, 0);
        EXPECT_EQ(grid->selectedItems().size(), 4);
        QTest::keyClick(grid, Qt::Key_Return);
        opened = !window->isVisible();
        if (!opened)
            window->close();
    });
    search(2, u"张"_s);
    EXPECT_TRUE(opened);
    EXPECT_EQ(store::session().CurrentPlate, u"鲁B12345"_s);
    // A double-click on a row opens it too; on the header row it opens nothing.
    opened = false;
    WhenModal([&](QWidget* dialog) {
        auto* window = qobject_cast<archive::SearchResultWindow*>(dialog);
        ASSERT_TRUE(window);
        QTableWidget* grid = window->grid();
        emit grid->doubleClicked(grid->model()->index(0, 1));
        EXPECT_TRUE(window->isVisible());
        emit grid->doubleClicked(grid->model()->index(2, 3));
        opened = !window->isVisible();
        if (!opened)
            window->close();
    });
    search(2, u"张"_s);
    EXPECT_TRUE(opened);
    EXPECT_EQ(store::session().CurrentPlate, u"鲁B12345"_s);
    EXPECT_EQ(text("带标签编辑框_车主姓名"), u"张四"_s);
    EXPECT_TRUE(archive::SearchResults().plates.isEmpty());

    // Closed without opening: the vehicle shown before is shown again.
    set("带标签编辑框_车主姓名", u"scribble"_s);
    WhenModal([](QWidget* dialog) { dialog->close(); });
    search(2, u"张"_s);
    EXPECT_EQ(store::session().CurrentPlate, u"鲁B12345"_s);
    EXPECT_EQ(text("带标签编辑框_车主姓名"), u"张四"_s);
}

TEST_F(VehicleFormTest, LoadVehicleHookShowsThePlateItIsGiven) {
    start();
    addVehicle(u"鲁A12345"_s, u"1"_s, u"张三"_s);
    button("超级按钮_增加车辆")->click();
    ASSERT_TRUE(parts().loadVehicle);
    parts().loadVehicle(u"鲁A12345"_s);
    EXPECT_EQ(store::session().CurrentPlate, u"鲁A12345"_s);
    EXPECT_EQ(text("带标签编辑框_车主姓名"), u"张三"_s);
    // A plate whose table is gone: every loader reports, nothing crashes.
    dialogs.shown.clear();
    parts().loadVehicle(u"鲁Z99999"_s);
    EXPECT_TRUE(dialogs.shown.contains(u"刷新显示车辆基本信息!?/"_s));
    EXPECT_TRUE(dialogs.shown.contains(u"没有打开车号为鲁Z99999的车辆信息！"_s));
    EXPECT_TRUE(dialogs.shown.contains(u"登陆失败刷新显示二维"_s));
}

// ---------------------------------------------------------------------------------------------
// Deleting

TEST_F(VehicleFormTest, DeleteWithNoVehicleShownRunsNothing) {
    start();
    store::DatabaseConnection::SetStatementLogging(true);
    button("超级按钮_删除车辆")->click();
    EXPECT_EQ(dialogs.shown, QStringList({u"没有选中车辆，请先选择要删除的车辆！"_s}));
    EXPECT_TRUE(store::DatabaseConnection::StatementLog().isEmpty());
    EXPECT_EQ(store::session().DataModifiedFlag, 1);
    EXPECT_EQ(refreshes, 0);
}

TEST_F(VehicleFormTest, DeleteAsksThenRemovesTheVehicleAndEmptiesTheForm) {
    start();
    addVehicle(u"鲁A12345"_s, u"1"_s, u"张三"_s);
    search(0, u"鲁A"_s);
    const int before = refreshes;

    dialogs.answers = {ui::Answer::Cancel};
    menuItem("删除车辆")->trigger();
    EXPECT_EQ(dialogs.shown.last(), u"确实要删除车号为鲁A12345的车辆吗？"_s);
    EXPECT_EQ(dialogs.titles.last(), u"警告！"_s);
    EXPECT_EQ(dialogs.defaults.back(), ui::Answer::Cancel); // Enter does not delete
    EXPECT_EQ(store::session().CurrentPlate, u"鲁A12345"_s);
    EXPECT_EQ(refreshes, before);

    button("超级按钮_删除车辆")->click();
    EXPECT_EQ(dialogs.shown.last(), u"已经成功删除主表主车号为鲁A12345的车辆档案信息"_s);
    EXPECT_EQ(refreshes, before + 1);
    EXPECT_TRUE(store::session().CurrentPlate.isEmpty());
    EXPECT_TRUE(text("带标签编辑框_车主姓名").isEmpty());
    EXPECT_EQ(list("超级列表框_审车")->rowCount(), 0);
    EXPECT_EQ(list("超级列表框_基本信息")->rowCount(), 0);
    EXPECT_EQ(tabColour(3), ui::ColorFromBgr(0xFFFFFF));
    EXPECT_EQ(parts().tabs->tabBar()->tabData(3).toList().value(1).value<QColor>(), ui::ColorFromBgr(0xC06000));
    EXPECT_EQ(db().OpenRecordSet(u"select * from 鲁A12345"_s), 0);
    const int rs = db().OpenRecordSet(u"select count(*) as[数量] from [总表] where [车牌号]='鲁A12345'"_s);
    ASSERT_NE(rs, 0);
    EXPECT_EQ(db().ReadField(rs, u"数量"_s).number(), 0);
}

TEST_F(VehicleFormTest, DeleteRefusesAPlateThatNamesAFixedTableOrAnSqlWord) {
    start();
    addVehicle(u"鲁A12345"_s, u"1"_s, u"张三"_s);
    // A plate read from row data that names a fixed table, even one listed in [总表].
    ASSERT_TRUE(db().ExecuteStatement(u"insert into [总表]([档案编号],[车牌号]) values('9','yangbiao')"_s));
    for (const QString& plate : {u"权限"_s, u"yangbiao"_s, u"总表"_s, u"险种名称"_s, u"报险表"_s, u"公司信息"_s,
                                 u"sqlite_master"_s, u"TRUE"_s, u"null"_s, u"ORDER"_s, u"鲁Q00000"_s}) {
        SCOPED_TRACE(plate.toStdString());
        dialogs.shown.clear();
        store::session().CurrentPlate = plate;
        store::DatabaseConnection::ClearStatementLog();
        store::DatabaseConnection::SetStatementLogging(true);
        button("超级按钮_删除车辆")->click();
        store::DatabaseConnection::SetStatementLogging(false);
        for (const QString& statement : store::DatabaseConnection::StatementLog())
            EXPECT_TRUE(statement.startsWith(u"select"_s)) << statement.toStdString();
        ASSERT_EQ(dialogs.shown.size(), 1);
        EXPECT_NE(dialogs.shown.first(), u"确实要删除车号为"_s + plate + u"的车辆吗？"_s);
        EXPECT_TRUE(dialogs.shown.first().contains(plate));
    }
    for (const char* table : {"权限", "yangbiao", "总表", "险种名称", "报险表", "公司信息", "鲁A12345"}) {
        const int rs = db().OpenRecordSet(u"select * from ["_s + QString::fromUtf8(table) + u"]"_s);
        EXPECT_NE(rs, 0) << table;
        db().CloseRecordSet(rs);
    }
}

TEST_F(VehicleFormTest, DeletingAVehicleWhoseTableIsGoneClearsItsMasterRow) {
    start();
    addVehicle(u"鲁A12345"_s, u"1"_s, u"张三"_s);
    ASSERT_TRUE(db().ExecuteStatement(u"drop table 鲁A12345"_s));
    store::session().CurrentPlate = u"鲁A12345"_s;
    button("超级按钮_删除车辆")->click();
    EXPECT_EQ(dialogs.shown, QStringList({u"确实要删除车号为鲁A12345的车辆吗？"_s, u"没有删除"_s,
                                          u"已经成功删除主表主车号为鲁A12345的车辆档案信息"_s}));
    const int rs = db().OpenRecordSet(u"select count(*) as[数量] from [总表] where [车牌号]='鲁A12345'"_s);
    ASSERT_NE(rs, 0);
    EXPECT_EQ(db().ReadField(rs, u"数量"_s).number(), 0);
    db().CloseRecordSet(rs);
}

TEST_F(VehicleFormTest, PercentAndUnderscoreTypedIntoASearchMatchThemselves) {
    start();
    addVehicle(u"鲁A12345"_s, u"10"_s, u"张三"_s);
    // As wildcards, each of these would match the one vehicle there is.
    for (const auto& [condition, what] :
         {std::pair{3, u"_"_s}, std::pair{3, u"%"_s}, std::pair{2, u"%"_s}, std::pair{0, u"鲁_1"_s}}) {
        dialogs.shown.clear();
        store::session().CurrentPlate.clear();
        search(condition, what);
        EXPECT_EQ(dialogs.shown, QStringList({u"对不起！没有类似于"_s + what + u"的车辆信息"_s})) << what.toStdString();
        EXPECT_TRUE(store::session().CurrentPlate.isEmpty());
    }
    addVehicle(u"鲁B12345"_s, u"5_1"_s, u"李四"_s);
    addVehicle(u"鲁C12345"_s, u"7%"_s, u"王五"_s);
    search(3, u"5_"_s);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(u"|"_s).toStdString();
    EXPECT_EQ(store::session().CurrentPlate, u"鲁B12345"_s);
    search(3, u"7%"_s);
    EXPECT_EQ(store::session().CurrentPlate, u"鲁C12345"_s);
}

// Pictures of the seven pages with a vehicle loaded, for looking at the layout. Runs only when
// VELMORA_SHOTS_DIR names the folder to write them into.
TEST_F(VehicleFormTest, LoadedPagesScreenshots) {
    const QString dir = qEnvironmentVariable("VELMORA_SHOTS_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "VELMORA_SHOTS_DIR not set";
    start();
    addVehicle(u"鲁A12345"_s, u"2026001"_s, u"张三丰"_s, [this] {
        const std::pair<const char*, const char*> values[] = {
            {"带标签编辑框_车主电话", "13912345678"},
            {"带标签编辑框_挂车牌号", "鲁A6789挂"},
            {"带标签编辑框_车主身份证号", "370102198001011234"},
            {"带标签编辑框_从业资格证号", "3701000012345"},
            {"带标签编辑框_车主地址", "山东省济南市历下区解放路 88 号"},
            {"带标签编辑框_主车品牌", "解放"},
            {"带标签编辑框_审车应缴费用", "1000"},
            {"带标签编辑框_审车已缴费用", "400"},
            {"带标签编辑框_保险公司名称", "平安保险"},
            {"带标签编辑框_保险应缴费用", "12000"},
            {"带标签编辑框_管理应缴费用", "600"},
            {"带标签编辑框_营运证号码", "鲁交运管济字370100001"},
            {"带标签编辑框_二维卡号", "EW-778"},
            {"带标签编辑框_车辆信息备注", "新车入户"}};
        for (const auto& [name, value] : values)
            set(name, QString::fromUtf8(value));
        ui::SetControlDate(win(), u"日期框_下次主车审车"_s, QDate(2026, 3, 20));
        ui::SetControlDate(win(), u"日期框_下次二维"_s, QDate(2026, 4, 1));
        ui::SetControlDate(win(), u"日期框_下次保险"_s, QDate(2025, 11, 1));
        ui::SetControlDate(win(), u"日期框_下次管理费"_s, QDate(2026, 2, 1));
        ui::SetControlDate(win(), u"日期框_下次营运证日期"_s, QDate(2027, 1, 1));
    });
    search(0, u"12345"_s);
    w->resize(1366, 768);
    w->show();
    QDir().mkpath(dir);
    for (int page = 0; page < 7; ++page) {
        parts().tabs->setCurrentIndex(page);
        QApplication::processEvents();
        EXPECT_TRUE(w->grab().save(QDir(dir).filePath(u"loaded-page-%1.png"_s.arg(page))));
    }
}
