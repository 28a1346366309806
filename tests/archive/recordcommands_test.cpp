#include "app/mainwindow.h"
#include "archive/formfields.h"
#include "archive/questionwindow.h"
#include "archive/recordcommands.h"
#include "archive/recordform.h"
#include "archive/records.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/sqltext.h"
#include "support/testsupport.h"
#include "ui/controls.h"
#include "ui/widgets.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

using testing_support::DataDirTest;
using testing_support::WhenModal;

namespace {

const QString kPlate = u"京A12345"_s;

struct Rights {
    bool modify = true;
    bool add = true;
};

class RecordCommandsTest : public DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        store::SetToday(QDate(2026, 3, 10));
    }

    std::unique_ptr<app::MainWindow> start(Rights rights = {}) {
        auto w = std::make_unique<app::MainWindow>();
        const bool ok = w->initialise([rights](QWidget*) {
            store::Permissions p;
            p.增删车辆 = p.费用可见 = p.统计查询 = p.权限设置 = true;
            p.修改车辆信息 = rights.modify;
            p.增加车辆信息 = rights.add;
            store::session().OperatorPermissions = p;
            return true;
        });
        EXPECT_TRUE(ok);
        dialogs.shown.clear();
        dialogs.titles.clear();
        return w;
    }

    // A vehicle whose first row carries every group, inspection due on inspectionDue with 1000 due
    // and 400 paid; the other obligations fall due far ahead.
    void addVehicle(const QString& plate, const QString& archive, const QDate& inspectionDue) {
        ASSERT_TRUE(db().ExecuteStatement(u"select * into "_s + plate + u" from yangbiao"_s));
        ASSERT_TRUE(
            db().ExecuteStatement(u"Alter table "_s + plate + u"  Add  Constraint  PrimaryKey  Primary  Key (编号)"_s));
        ASSERT_TRUE(db().ExecuteStatement(u"insert into [总表]([档案编号],[车牌号]) values('"_s + archive + u"','"_s +
                                          plate + u"')"_s));
        const QString far = store::SqlDate(QDate(2030, 1, 1));
        ASSERT_TRUE(db().ExecuteStatement(
            u"insert into "_s + plate +
            "([档案编号],[车主姓名],[车主电话],[车主身份证号],[主车牌号],[主车架号],[买入日期],[车辆状态],"
            "[下次审车日期],[下次挂车审车日期],[审车应缴费用],[审车已缴费用],[审车缴费日期],[审车是否通知车主],["
            "是否脱审],"
            "[审车车号],[下次二维日期],[二维车号],[下次保险日期],[下次挂车保险日期],[保险车号],[投保险种],"
            u"[下次管理费用日期],[管理车号],[下次营运证日期],[营运车号],[是否驻内]) values('"_s +
            archive + u"','张三','13800000000','110101199001011234','"_s + plate + u"','LZ123','2024年1月1日','1','"_s +
            store::SqlDate(inspectionDue) + u"','2000年1月1日','1000','400','2025年3月1日','已通知',false,'"_s + plate +
            u"','"_s + far + u"','"_s + plate + u"','"_s + far + u"','2000年1月1日','"_s + plate + u"','全险','"_s +
            far + u"','"_s + plate + u"','"_s + far + u"','"_s + plate + u"','驻内')"_s));
    }

    void show(app::MainWindow& w, const QString& plate) {
        store::session().CurrentPlate = plate;
        ASSERT_TRUE(bool(w.parts().loadVehicle));
        w.parts().loadVehicle(plate);
    }

    static ui::SuperListBox* list(app::MainWindow& w, int page) { return archive::PageList(&w, page); }

    // The operator clicks a row of a page's list.
    static void click(app::MainWindow& w, int page, int row) {
        ui::SuperListBox* l = list(w, page);
        ASSERT_TRUE(l);
        ASSERT_LT(row, l->rowCount());
        l->setCurrentItem(l->topLevelItem(row));
        emit l->itemClicked(l->topLevelItem(row), 0);
    }

    static QPushButton* button(app::MainWindow& w, const char* name) {
        return w.findChild<QPushButton*>(QString::fromUtf8(name));
    }
    static QTabWidget* tabs(app::MainWindow& w) { return w.parts().tabs; }

    int rows(const QString& plate, const QString& where = {}) {
        const int rs = db().OpenRecordSet(u"select count(*) as[数量] from "_s + plate + where);
        if (rs == 0)
            return -1;
        const int n = int(db().ReadField(rs, u"数量"_s).number());
        db().CloseRecordSet(rs);
        return n;
    }

    int masterRows(const QString& plate) {
        const int rs = db().OpenRecordSet(u"select count(*) as[数量] from [总表] where [车牌号]='"_s + plate + u"'"_s);
        EXPECT_NE(rs, 0);
        const int n = int(db().ReadField(rs, u"数量"_s).number());
        db().CloseRecordSet(rs);
        return n;
    }

    // Selects the newest inspection record and changes a tracked choice, as the operator would.
    void editInspection(app::MainWindow& w) {
        tabs(w)->setCurrentIndex(1);
        click(w, 1, 0);
        ASSERT_EQ(archive::formState().RecordSelectedFlag, 1);
        auto* lapsed = w.findChild<QCheckBox*>(u"选择框_是否脱审"_s);
        ASSERT_TRUE(lapsed);
        lapsed->setChecked(!lapsed->isChecked());
        ASSERT_EQ(archive::formState().PageModifiedFlag, 1);
    }

    static QStringList plateUnderNode(QTreeWidget* tree, const QString& node) {
        QStringList plates;
        for (QTreeWidgetItemIterator it(tree); *it; ++it)
            if ((*it)->text(0) == node)
                for (int i = 0; i < (*it)->childCount(); ++i)
                    plates << (*it)->child(i)->text(0);
        return plates;
    }
};

} // namespace

// ---- Switching pages -----------------------------------------------------------------------------

TEST_F(RecordCommandsTest, WithoutAVehicleSwitchingLoadsNothingAndClickingDoesNothing) {
    auto w = start();
    tabs(*w)->setCurrentIndex(2);
    EXPECT_EQ(archive::CurrentPageIndex(), 2);
    for (const char* name : {"超级按钮_加记录", "超级按钮_修改记录", "超级按钮_删除记录"})
        EXPECT_FALSE(button(*w, name)->isEnabled()) << name;
    for (QPushButton* b : w->findChildren<QPushButton*>())
        if (b->objectName().startsWith(u"超级按钮_扫描"_s) || b->objectName().startsWith(u"超级按钮_导入"_s)) {
            EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
        }
    EXPECT_EQ(list(*w, 2)->rowCount(), 0);
    archive::SelectRecord(w->parts(), 2, 0);
    EXPECT_EQ(archive::formState().RecordSelectedFlag, 0);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(RecordCommandsTest, SwitchingCopiesTheHeaderAndReloadsThePage) {
    addVehicle(kPlate, u"001"_s, QDate(2026, 8, 1));
    auto w = start();
    show(*w, kPlate);
    tabs(*w)->setCurrentIndex(1);
    EXPECT_EQ(archive::CurrentPageIndex(), 1);
    EXPECT_EQ(ui::ControlText(w.get(), u"带标签编辑框_审车车牌号"_s), kPlate);
    EXPECT_EQ(ui::ControlText(w.get(), u"带标签编辑框_营运车主姓名"_s), u"张三"_s);
    EXPECT_EQ(list(*w, 1)->rowCount(), 1);
    EXPECT_FALSE(button(*w, "超级按钮_加记录")->isEnabled());

    tabs(*w)->setCurrentIndex(6);
    EXPECT_EQ(ui::ControlText(w.get(), u"带标签编辑框_查询身份证号"_s), u"110101199001011234"_s);
    EXPECT_EQ(ui::ControlText(w.get(), u"带标签编辑框_查询车架号"_s), u"LZ123"_s);
    EXPECT_EQ(archive::formState().RecordSelectedFlag, 0);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(u"|"_s).toStdString();
}

TEST_F(RecordCommandsTest, ViolationPageOpensTheQueryAddressInTheBrowser) {
    auto w = start();
    auto* open = button(*w, "按钮_打开违章查询");
    ASSERT_TRUE(open);
    EXPECT_TRUE(w->findChild<QLabel*>(u"标签_违章查询网址"_s)->text().contains(u"https://gab.122.gov.cn"_s));
    open->click();
    EXPECT_EQ(dialogs.opened, QStringList({u"https://gab.122.gov.cn"_s}));
}

// ---- Selecting a record ---------------------------------------------------------------------------

TEST_F(RecordCommandsTest, SelectingShowsTheRecordAndTheOwedAmount) {
    addVehicle(kPlate, u"001"_s, QDate(2026, 8, 1));
    auto w = start(Rights{false, true});
    show(*w, kPlate);
    tabs(*w)->setCurrentIndex(1);
    // Clear the boxes so that what follows is what the selection wrote.
    ui::SetControlText(w.get(), u"带标签编辑框_审车还欠费用"_s, u""_s);
    ui::SetControlDate(w.get(), u"日期框_下次主车审车"_s, QDate(2000, 1, 1));
    click(*w, 1, 0);
    EXPECT_EQ(ui::ControlText(w.get(), u"带标签编辑框_审车应缴费用"_s), u"1000"_s);
    EXPECT_EQ(ui::ControlText(w.get(), u"带标签编辑框_审车已缴费用"_s), u"400"_s);
    EXPECT_EQ(ui::ControlText(w.get(), u"带标签编辑框_审车还欠费用"_s), u"600"_s);
    EXPECT_EQ(ui::ControlDate(w.get(), u"日期框_下次主车审车"_s), QDate(2026, 8, 1));
    EXPECT_EQ(ui::ControlText(w.get(), u"组合框_审车"_s), u"已通知"_s);
    EXPECT_EQ(archive::formState().RecordSelectedFlag, 1);
    // Only the add right: add and backup, no modify or delete.
    EXPECT_TRUE(button(*w, "超级按钮_加记录")->isEnabled());
    EXPECT_FALSE(button(*w, "超级按钮_修改记录")->isEnabled());
    EXPECT_FALSE(button(*w, "超级按钮_删除记录")->isEnabled());
    EXPECT_TRUE(button(*w, "超级按钮_数据备份")->isEnabled());
    EXPECT_TRUE(w->parts().action(u"备份"_s)->isEnabled());
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(u"|"_s).toStdString();
}

TEST_F(RecordCommandsTest, ABasicRecordSelectsTheVehicleState) {
    addVehicle(kPlate, u"001"_s, QDate(2026, 8, 1));
    ASSERT_TRUE(db().ExecuteStatement(u"update "_s + kPlate + u" set [车辆状态]='3'"_s));
    auto w = start();
    show(*w, kPlate);
    ui::SetControlText(w.get(), u"带标签编辑框_车主姓名"_s, u""_s);
    click(*w, 0, 0);
    EXPECT_EQ(ui::ControlText(w.get(), u"组合框_车辆状态"_s), u"注销"_s);
    EXPECT_EQ(ui::ControlText(w.get(), u"带标签编辑框_车主姓名"_s), u"张三"_s);
    EXPECT_TRUE(button(*w, "超级按钮_修改记录")->isEnabled());
    EXPECT_TRUE(button(*w, "超级按钮_删除记录")->isEnabled());
}

TEST_F(RecordCommandsTest, AFailedSelectShowsThePageMessage) {
    addVehicle(kPlate, u"001"_s, QDate(2026, 8, 1));
    auto w = start();
    show(*w, kPlate);
    tabs(*w)->setCurrentIndex(1);
    ASSERT_TRUE(db().ExecuteStatement(u"DROP TABLE "_s + kPlate));
    click(*w, 1, 0);
    EXPECT_EQ(dialogs.shown, QStringList({u"登陆失败!"_s}));
    EXPECT_EQ(archive::formState().RecordSelectedFlag, 0);
    EXPECT_FALSE(button(*w, "超级按钮_修改记录")->isEnabled());
}

// ---- Adding a record: the renewal of an inspection, end to end ---------------------------------------

TEST_F(RecordCommandsTest, RenewingAnInspectionTakesTheVehicleOutOfThisMonthsNode) {
    addVehicle(kPlate, u"001"_s, QDate(2026, 3, 20));
    addVehicle(u"京B54321"_s, u"002"_s, QDate(2026, 3, 25));
    auto w = start();
    QTreeWidget* tree = w->parts().tree;
    ASSERT_TRUE(tree);
    const QString node = u"本月需审车辆"_s;
    ASSERT_TRUE(plateUnderNode(tree, node).contains(kPlate)) << plateUnderNode(tree, node).join(u","_s).toStdString();

    // 1. The vehicle is chosen under the node.
    QTreeWidgetItem* item = nullptr;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->text(0) == kPlate && (*it)->parent() && (*it)->parent()->text(0) == node)
            item = *it;
    ASSERT_TRUE(item);
    tree->setCurrentItem(item);
    EXPECT_EQ(store::session().CurrentPlate, kPlate);

    // 2. The inspection tab, its newest row.
    tabs(*w)->setCurrentIndex(1);
    click(*w, 1, 0);
    ASSERT_TRUE(button(*w, "超级按钮_加记录")->isEnabled());

    // 3. Next due date, fees and payment date; the lapse box was checked, yet no row stays lapsed.
    ui::SetControlDate(w.get(), u"日期框_下次主车审车"_s, QDate(2027, 3, 20));
    ui::SetControlText(w.get(), u"带标签编辑框_审车应缴费用"_s, u"1200"_s);
    ui::SetControlText(w.get(), u"带标签编辑框_审车已缴费用"_s, u"1200"_s);
    ui::SetControlDate(w.get(), u"日期框_审车缴费时间"_s, QDate(2026, 3, 10));
    ui::SetControlChecked(w.get(), u"选择框_是否脱审"_s, true);
    dialogs.shown.clear();
    button(*w, "超级按钮_加记录")->click();
    EXPECT_EQ(dialogs.shown, QStringList({u"添加车辆历史记录成功！"_s}));
    EXPECT_EQ(store::session().DataModifiedFlag, 1);
    EXPECT_EQ(rows(kPlate, u" where 下次审车日期 is not null"_s), 2);
    EXPECT_EQ(rows(kPlate, u" where [是否脱审]=true"_s), 0);
    EXPECT_EQ(list(*w, 1)->rowCount(), 2);
    EXPECT_EQ(list(*w, 1)->cell(0, 0).left(10), u"2027-03-20"_s);
    EXPECT_EQ(ui::ControlDate(w.get(), u"日期框_下次主车审车"_s), QDate(2027, 3, 20));
    EXPECT_EQ(archive::formState().RecordSelectedFlag, 0);
    // The reloaded list shows no chosen row, and the commands on a chosen record wait for one.
    EXPECT_EQ(list(*w, 1)->currentRow(), -1);
    EXPECT_FALSE(button(*w, "超级按钮_删除记录")->isEnabled());
    EXPECT_FALSE(button(*w, "超级按钮_修改记录")->isEnabled());
    click(*w, 1, 1);
    EXPECT_TRUE(button(*w, "超级按钮_删除记录")->isEnabled());
    EXPECT_EQ(list(*w, 1)->currentRow(), 1);

    // 4. The tree was refreshed: the vehicle has left the node, the other one stays.
    const QStringList due = plateUnderNode(tree, node);
    EXPECT_FALSE(due.contains(kPlate));
    EXPECT_TRUE(due.contains(u"京B54321"_s));
}

TEST_F(RecordCommandsTest, AddingABasicRecordNeedsThePlate) {
    addVehicle(kPlate, u"001"_s, QDate(2026, 8, 1));
    auto w = start();
    show(*w, kPlate);
    click(*w, 0, 0);
    ui::SetControlText(w.get(), u"带标签编辑框_主车牌号"_s, u""_s);
    button(*w, "超级按钮_加记录")->click();
    EXPECT_EQ(dialogs.shown, QStringList({u"请输入主车车牌号！"_s}));
    EXPECT_EQ(rows(kPlate), 1);
    EXPECT_EQ(store::session().DataModifiedFlag, 1);
}

// ---- Modifying a record -------------------------------------------------------------------------------

TEST_F(RecordCommandsTest, ModifyingAnObligationEndsOnTheFirstPage) {
    addVehicle(kPlate, u"001"_s, QDate(2026, 8, 1));
    auto w = start();
    show(*w, kPlate);
    tabs(*w)->setCurrentIndex(1);
    click(*w, 1, 0);
    ui::SetControlText(w.get(), u"带标签编辑框_审车备注"_s, u"  补缴  "_s);
    ui::SetControlText(w.get(), u"带标签编辑框_审车已缴费用"_s, u"1000"_s);
    button(*w, "超级按钮_修改记录")->click();
    EXPECT_EQ(dialogs.shown, QStringList({u"车号为京A12345的审车信息修改成功！"_s}));
    EXPECT_EQ(tabs(*w)->currentIndex(), 0);
    EXPECT_EQ(archive::CurrentPageIndex(), 0);
    EXPECT_EQ(rows(kPlate, u" where [审车备注]='补缴' and [审车已缴费用]='1000'"_s), 1);
    EXPECT_EQ(rows(kPlate), 1);
    EXPECT_EQ(store::session().DataModifiedFlag, 1);
}

TEST_F(RecordCommandsTest, ModifyingABasicRecordStaysOnTheFirstPage) {
    addVehicle(kPlate, u"001"_s, QDate(2026, 8, 1));
    auto w = start();
    show(*w, kPlate);
    click(*w, 0, 0);
    ui::SetControlText(w.get(), u"带标签编辑框_车主电话"_s, u"13900000000"_s);
    ui::SetControlImage(w.get(), u"图片框_行车证2"_s, QByteArray("licence"));
    button(*w, "超级按钮_修改记录")->click();
    EXPECT_EQ(dialogs.shown, QStringList({u"车号为京A12345的车辆基本信息修改成功！"_s}));
    EXPECT_EQ(tabs(*w)->currentIndex(), 0);
    const int rs = db().OpenRecordSet(u"select [车主电话],[行车证信息2],[下次审车日期] from "_s + kPlate);
    ASSERT_NE(rs, 0);
    EXPECT_EQ(db().ReadField(rs, u"车主电话"_s).text(), u"13900000000"_s);
    EXPECT_EQ(db().ReadField(rs, u"行车证信息2"_s).bytes(), QByteArray("licence"));
    EXPECT_EQ(db().ReadField(rs, u"下次审车日期"_s).date(), QDate(2026, 8, 1)); // other groups untouched
    db().CloseRecordSet(rs);
}

// The operator's own saves follow one another; another operator's save in between makes the next
// one refuse, write nothing, and leave on the page what was typed.
TEST_F(RecordCommandsTest, AnotherOperatorsSaveSinceLoadingRefusesTheNextAndKeepsTheTyping) {
    addVehicle(kPlate, u"001"_s, QDate(2026, 8, 1));
    auto w = start();
    show(*w, kPlate);
    tabs(*w)->setCurrentIndex(1);
    click(*w, 1, 0);
    ui::SetControlText(w.get(), u"带标签编辑框_审车备注"_s, u"第一次"_s);
    button(*w, "超级按钮_修改记录")->click();
    tabs(*w)->setCurrentIndex(1);
    click(*w, 1, 0);
    ui::SetControlText(w.get(), u"带标签编辑框_审车备注"_s, u"第二次"_s);
    button(*w, "超级按钮_修改记录")->click();
    ASSERT_EQ(dialogs.shown,
              QStringList({u"车号为京A12345的审车信息修改成功！"_s, u"车号为京A12345的审车信息修改成功！"_s}));

    tabs(*w)->setCurrentIndex(1);
    click(*w, 1, 0);
    {
        store::DatabaseConnection other; // another PC
        ASSERT_TRUE(other.OpenDatabaseFile(dbPath(), store::kDatabasePassword, store::ConnectionSharing::Private));
        archive::RecordValues values;
        ASSERT_TRUE(archive::ReadRecord(other, 1, kPlate, 1, &values));
        values.insert(u"审车已缴费用"_s, u"999"_s);
        ASSERT_TRUE(archive::ModifyRecordRow(other, 1, kPlate, values, 1).ok);
    }
    dialogs.shown.clear();
    ui::SetControlText(w.get(), u"带标签编辑框_审车备注"_s, u"第三次"_s);
    button(*w, "超级按钮_修改记录")->click();
    EXPECT_EQ(dialogs.shown, QStringList({u"该车辆已被其他操作员修改，请重新载入后再保存。"_s}));
    EXPECT_EQ(ui::ControlText(w.get(), u"带标签编辑框_审车备注"_s), u"第三次"_s);
    EXPECT_EQ(tabs(*w)->currentIndex(), 1);
    EXPECT_EQ(rows(kPlate, u" where [审车备注]='第二次' and [审车已缴费用]='999'"_s), 1);
    // Loaded again, the vehicle saves.
    show(*w, kPlate);
    tabs(*w)->setCurrentIndex(1);
    click(*w, 1, 0);
    ui::SetControlText(w.get(), u"带标签编辑框_审车备注"_s, u"第三次"_s);
    button(*w, "超级按钮_修改记录")->click();
    EXPECT_EQ(rows(kPlate, u" where [审车备注]='第三次' and [审车已缴费用]='999'"_s), 1);
}

// ---- Deleting a record ---------------------------------------------------------------------------------

TEST_F(RecordCommandsTest, TheOnlyRowNumberedOneRemovesTheVehicleAfterYes) {
    addVehicle(kPlate, u"001"_s, QDate(2026, 8, 1));
    auto w = start();
    show(*w, kPlate);
    tabs(*w)->setCurrentIndex(1);
    click(*w, 1, 0);
    ASSERT_EQ(list(*w, 1)->rowCount(), 1);

    dialogs.answers = {ui::Answer::No};
    button(*w, "超级按钮_删除记录")->click();
    EXPECT_EQ(dialogs.shown, QStringList({u"已经是最后一条关于此车辆的信息了！如果删除将彻底删除此车辆信息!"_s}));
    EXPECT_EQ(dialogs.defaults, std::vector<ui::Answer>({ui::Answer::No})); // Enter does not delete
    EXPECT_EQ(masterRows(kPlate), 1);
    EXPECT_EQ(rows(kPlate), 1);

    dialogs.shown.clear();
    dialogs.answers = {ui::Answer::Yes};
    button(*w, "超级按钮_删除记录")->click();
    EXPECT_EQ(dialogs.shown, QStringList({u"已经是最后一条关于此车辆的信息了！如果删除将彻底删除此车辆信息!"_s}));
    EXPECT_EQ(masterRows(kPlate), 0);
    EXPECT_EQ(rows(kPlate), -1); // the table is gone
    EXPECT_EQ(store::session().DataModifiedFlag, 1);
}

TEST_F(RecordCommandsTest, TheOnlyRowNumberedOtherThanOneAsksOnlyWhetherToDelete) {
    addVehicle(kPlate, u"001"_s, QDate(2026, 8, 1));
    // Move the inspection into a second row: the page's list then holds one row, numbered 2.
    ASSERT_TRUE(
        db().ExecuteStatement(u"insert into "_s + kPlate +
                              u"([下次审车日期],[审车应缴费用],[审车车号]) values('2027年1月1日','10','京A12345')"_s));
    ASSERT_TRUE(db().ExecuteStatement(u"update "_s + kPlate + u" set [下次审车日期]=null where [编号]=1"_s));
    auto w = start();
    show(*w, kPlate);
    tabs(*w)->setCurrentIndex(1);
    ASSERT_EQ(list(*w, 1)->rowCount(), 1);
    click(*w, 1, 0);

    dialogs.answers = {ui::Answer::No};
    button(*w, "超级按钮_删除记录")->click();
    EXPECT_EQ(dialogs.shown, QStringList({u"确定要删除吗"_s}));
    EXPECT_EQ(dialogs.titles, QStringList({u"提示!"_s}));
    EXPECT_EQ(dialogs.defaults, std::vector<ui::Answer>({ui::Answer::No}));
    EXPECT_EQ(rows(kPlate), 2);

    dialogs.shown.clear();
    button(*w, "超级按钮_删除记录")->click(); // Yes
    EXPECT_EQ(dialogs.shown, QStringList({u"确定要删除吗"_s, u"删除成功!"_s}));
    EXPECT_EQ(rows(kPlate), 1);
    EXPECT_EQ(masterRows(kPlate), 1);
    EXPECT_EQ(list(*w, 1)->rowCount(), 0);
}

// ---- The save question on leaving a page -------------------------------------------------------------

TEST_F(RecordCommandsTest, QuestionForAnOperatorWhoMayOnlyAdd) {
    addVehicle(kPlate, u"001"_s, QDate(2026, 8, 1));
    auto w = start(Rights{false, true});
    show(*w, kPlate);
    editInspection(*w);

    QString title, text;
    bool addShown = false, modifyShown = true, cancelShown = false;
    int tabDuringQuestion = -1;
    WhenModal([&](QWidget* dialog) {
        title = dialog->windowTitle();
        text = dialog->findChild<QLabel*>(u"标签_询问提醒"_s)->text();
        addShown = !dialog->findChild<QPushButton*>(u"按钮_加记录"_s)->isHidden();
        modifyShown = !dialog->findChild<QPushButton*>(u"按钮_改记录"_s)->isHidden();
        cancelShown = !dialog->findChild<QPushButton*>(u"按钮_取消"_s)->isHidden();
        tabDuringQuestion = tabs(*w)->currentIndex();
        dialog->findChild<QPushButton*>(u"按钮_取消"_s)->click();
    });
    tabs(*w)->setCurrentIndex(2);
    EXPECT_EQ(title, u"询问！"_s);
    EXPECT_EQ(text, u"车号为京A12345的审车信息已经被修改。请问是否保存？"_s);
    EXPECT_TRUE(addShown);
    EXPECT_FALSE(modifyShown);
    EXPECT_TRUE(cancelShown);
    EXPECT_EQ(tabDuringQuestion, 1);
    // The change went on; 取消 leaves the page marked as changed.
    EXPECT_EQ(tabs(*w)->currentIndex(), 2);
    EXPECT_EQ(archive::CurrentPageIndex(), 2);
    EXPECT_EQ(archive::formState().PageModifiedFlag, 1);
    EXPECT_EQ(rows(kPlate), 1);
}

TEST_F(RecordCommandsTest, AddChosenInTheQuestionSavesThePageBeingLeft) {
    addVehicle(kPlate, u"001"_s, QDate(2026, 8, 1));
    auto w = start();
    show(*w, kPlate);
    editInspection(*w);
    ui::SetControlDate(w.get(), u"日期框_下次主车审车"_s, QDate(2027, 8, 1));
    WhenModal([](QWidget* dialog) { dialog->findChild<QPushButton*>(u"按钮_加记录"_s)->click(); });
    tabs(*w)->setCurrentIndex(3);
    EXPECT_EQ(dialogs.shown, QStringList({u"添加车辆历史记录成功！"_s}));
    EXPECT_EQ(rows(kPlate, u" where 下次审车日期 is not null"_s), 2);
    EXPECT_EQ(tabs(*w)->currentIndex(), 3);
    EXPECT_EQ(archive::formState().PageModifiedFlag, 0);
}

TEST_F(RecordCommandsTest, ModifyChosenInTheQuestionWritesOverTheSelectedRecord) {
    addVehicle(kPlate, u"001"_s, QDate(2026, 8, 1));
    auto w = start();
    show(*w, kPlate);
    editInspection(*w);
    ui::SetControlText(w.get(), u"带标签编辑框_审车备注"_s, u"改过"_s);
    WhenModal([](QWidget* dialog) { dialog->findChild<QPushButton*>(u"按钮_改记录"_s)->click(); });
    tabs(*w)->setCurrentIndex(4);
    EXPECT_EQ(dialogs.shown, QStringList({u"车号为京A12345的审车信息修改成功！"_s}));
    EXPECT_EQ(rows(kPlate, u" where [审车备注]='改过'"_s), 1);
    EXPECT_EQ(rows(kPlate), 1);
    // The page the operator asked for is shown.
    EXPECT_EQ(tabs(*w)->currentIndex(), 4);
    EXPECT_EQ(archive::CurrentPageIndex(), 4);
}

TEST_F(RecordCommandsTest, NoModifyIsOfferedWithoutTheModifyRight) {
    addVehicle(kPlate, u"001"_s, QDate(2026, 8, 1));
    auto w = start(Rights{false, false});
    show(*w, kPlate);
    tabs(*w)->setCurrentIndex(1);
    click(*w, 1, 0);
    EXPECT_FALSE(button(*w, "超级按钮_修改记录")->isEnabled());
    EXPECT_FALSE(button(*w, "超级按钮_加记录")->isEnabled());
    // Neither right: leaving a changed page asks nothing.
    archive::formState().PageModifiedFlag = 1;
    QString firstModal;
    WhenModal([&](QWidget* dialog) {
        firstModal = dialog->objectName();
        dialog->close();
    });
    tabs(*w)->setCurrentIndex(2);
    // A dialog of the test's own takes the hook when no question came.
    QDialog drain;
    drain.setObjectName("drain");
    drain.exec();
    EXPECT_EQ(firstModal, u"drain"_s);
    EXPECT_EQ(tabs(*w)->currentIndex(), 2);
}

TEST_F(RecordCommandsTest, ScreenshotOfTheQuestionOverTheMainWindow) {
    addVehicle(kPlate, u"001"_s, QDate(2026, 8, 1));
    auto w = start(Rights{false, true});
    w->resize(1280, 800);
    w->show();
    show(*w, kPlate);
    editInspection(*w);
    QImage shot;
    WhenModal([&](QWidget* dialog) {
        QApplication::processEvents();
        QPixmap base = w->grab();
        const QPixmap box = dialog->grab();
        QPainter painter(&base);
        const QPoint at((base.width() - box.width()) / 2, (base.height() - box.height()) / 2);
        painter.fillRect(QRect(at - QPoint(1, 26), box.size() + QSize(2, 27)), QColor(60, 90, 150));
        painter.setPen(Qt::white);
        painter.drawText(QRect(at - QPoint(-8, 26), QSize(box.width(), 26)), Qt::AlignVCenter, dialog->windowTitle());
        painter.drawPixmap(at, box);
        painter.end();
        shot = base.toImage();
        dialog->findChild<QPushButton*>(u"按钮_取消"_s)->click();
    });
    tabs(*w)->setCurrentIndex(2);
    ASSERT_FALSE(shot.isNull());
    // Saved only when a folder is named, so an ordinary run writes nothing outside its data dir.
    const QString dir = qEnvironmentVariable("VELMORA_SHOTS_DIR");
    if (!dir.isEmpty()) {
        ASSERT_TRUE(QDir().mkpath(dir));
        EXPECT_TRUE(shot.save(dir + u"/question.png"_s));
        tabs(*w)->setCurrentIndex(6);
        QApplication::processEvents();
        EXPECT_TRUE(w->grab().save(dir + u"/violation-page.png"_s));
    }
}

// ---- Choosing another vehicle while a page is modified ------------------------------------------

namespace {

QTreeWidgetItem* vehicleItem(QTreeWidget* tree, const QString& plate) {
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->parent() && (*it)->text(0) == plate)
            return *it;
    return nullptr;
}

} // namespace

TEST_F(RecordCommandsTest, ChoosingAnotherVehicleAsksAboutAndSavesIntoTheVehicleBeingLeft) {
    const QString other = u"京B54321"_s;
    addVehicle(kPlate, u"001"_s, QDate(2026, 8, 1));
    addVehicle(other, u"002"_s, QDate(2026, 9, 1));
    for (const bool bySearch : {false, true}) {
        SCOPED_TRACE(bySearch ? "search result" : "tree");
        auto w = start();
        show(*w, kPlate);
        editInspection(*w);
        ui::SetControlText(w.get(), u"带标签编辑框_审车备注"_s, bySearch ? u"甲车搜索前"_s : u"甲车树前"_s);
        QString question;
        QString shownDuringQuestion;
        WhenModal([&](QWidget* dialog) {
            question = dialog->findChild<QLabel*>(u"标签_询问提醒"_s)->text();
            // Nothing of the other vehicle may be loaded yet.
            shownDuringQuestion = ui::ControlText(w.get(), u"带标签编辑框_审车备注"_s);
            dialog->findChild<QPushButton*>(u"按钮_加记录"_s)->click();
        });
        if (bySearch) {
            ui::SetControlText(w.get(), u"带标签编辑框_搜索内容"_s, other);
            w->findChild<QPushButton*>(u"超级按钮_确认搜索"_s)->click();
        } else {
            QTreeWidgetItem* item = vehicleItem(w->parts().tree, other);
            ASSERT_TRUE(item);
            w->parts().tree->setCurrentItem(item);
        }
        EXPECT_EQ(question, u"车号为京A12345的审车信息已经被修改。请问是否保存？"_s);
        EXPECT_EQ(shownDuringQuestion, bySearch ? u"甲车搜索前"_s : u"甲车树前"_s);
        EXPECT_EQ(store::session().CurrentPlate, other);
        if (!bySearch) {
            EXPECT_EQ(tabs(*w)->currentIndex(), 0);
        }
        // A's edit went to A; B kept its one record and its lapse flag.
        EXPECT_EQ(rows(kPlate, u" where 下次审车日期 is not null"_s), bySearch ? 3 : 2);
        EXPECT_EQ(rows(kPlate, bySearch ? u" where [审车备注]='甲车搜索前'"_s : u" where [审车备注]='甲车树前'"_s), 1);
        EXPECT_EQ(rows(other), 1);
        EXPECT_EQ(rows(other, u" where [审车备注] is not null"_s), 0);
        EXPECT_EQ(archive::formState().PageModifiedFlag, 0);
        EXPECT_EQ(ui::ControlText(w.get(), u"带标签编辑框_主车牌号"_s), other);
    }
}

// ---- The selected record's own values -----------------------------------------------------------

TEST_F(RecordCommandsTest, EveryComboShowsTheSelectedRecordsValueEmptyOrUnknownIncluded) {
    addVehicle(kPlate, u"001"_s, QDate(2026, 8, 1));
    // Record 2: inspection with an empty notification and a permit with an unknown category;
    // record 3: a basic record whose state is empty.
    ASSERT_TRUE(db().ExecuteStatement(u"insert into "_s + kPlate +
                                      "([下次审车日期],[审车是否通知车主],[审车车号],[下次营运证日期],[是否驻内],"
                                      u"[营运证是否通知车主],[营运车号]) values('2027年8月1日','','"_s +
                                      kPlate + u"','2028年1月1日','外地','其他','"_s + kPlate + u"')"_s));
    ASSERT_TRUE(db().ExecuteStatement(
        u"insert into "_s + kPlate + u"([档案编号],[车主姓名],[主车牌号]) values('001','李四','"_s + kPlate + u"')"_s));
    ASSERT_TRUE(db().ExecuteStatement(u"update "_s + kPlate + u" set [营运证是否通知车主]='已通知' where [编号]=1"_s));
    auto w = start();
    show(*w, kPlate);
    auto combo = [&](const char* name) { return w->findChild<QComboBox*>(QString::fromUtf8(name)); };

    tabs(*w)->setCurrentIndex(1);
    ASSERT_EQ(list(*w, 1)->rowCount(), 2);
    click(*w, 1, 1); // record 1, 已通知
    EXPECT_EQ(combo("组合框_审车")->currentText(), u"已通知"_s);
    click(*w, 1, 0); // record 2, empty
    EXPECT_EQ(combo("组合框_审车")->currentText(), QString());
    ui::SetControlText(w.get(), u"带标签编辑框_审车备注"_s, u"改"_s);
    w->findChild<QPushButton*>(u"超级按钮_修改记录"_s)->click();
    EXPECT_EQ(rows(kPlate, u" where [编号]=2 and [审车是否通知车主]=''"_s), 1);
    EXPECT_EQ(rows(kPlate, u" where [编号]=1 and [审车是否通知车主]='已通知'"_s), 1);

    tabs(*w)->setCurrentIndex(5);
    click(*w, 5, 1); // record 1: 驻内, 已通知
    EXPECT_EQ(combo("组合框_类别")->currentText(), u"驻内"_s);
    EXPECT_EQ(combo("组合框_营运")->currentText(), u"已通知"_s);
    click(*w, 5, 0); // record 2: unknown texts
    const QString category = combo("组合框_类别")->currentText();
    const QString notified = combo("组合框_营运")->currentText();
    EXPECT_NE(category, u"驻内"_s);
    EXPECT_NE(notified, u"已通知"_s);
    w->findChild<QPushButton*>(u"超级按钮_修改记录"_s)->click();
    const int rs =
        db().OpenRecordSet(u"select [是否驻内],[营运证是否通知车主] from "_s + kPlate + u" where [编号]=2"_s);
    ASSERT_NE(rs, 0);
    EXPECT_EQ(db().ReadField(rs, u"是否驻内"_s).text(), category);
    EXPECT_EQ(db().ReadField(rs, u"营运证是否通知车主"_s).text(), notified);
    db().CloseRecordSet(rs);

    tabs(*w)->setCurrentIndex(0);
    ASSERT_EQ(list(*w, 0)->rowCount(), 2);
    click(*w, 0, 1); // record 1: state 1
    EXPECT_EQ(combo("组合框_车辆状态")->currentIndex(), 0);
    click(*w, 0, 0); // record 3: no state
    EXPECT_EQ(combo("组合框_车辆状态")->currentIndex(), -1);
    w->findChild<QPushButton*>(u"超级按钮_修改记录"_s)->click();
    EXPECT_EQ(dialogs.shown.last(), u"车号为京A12345的车辆基本信息修改成功！"_s);
    EXPECT_EQ(rows(kPlate, u" where [编号]=3 and [车辆状态] is null"_s), 1);
}

// ---- Adding a record and its lapse reset --------------------------------------------------------

TEST_F(RecordCommandsTest, AFailedLapseResetIsReportedAndTheRecordIsNotAdded) {
    addVehicle(kPlate, u"001"_s, QDate(2026, 8, 1));
    ASSERT_TRUE(db().ExecuteStatement(u"create trigger 拒绝清除 before update of 是否脱审 on "_s + kPlate +
                                      u" begin select raise(abort, 'refused'); end"_s))
        << db().LastError().toStdString();
    auto w = start();
    show(*w, kPlate);
    tabs(*w)->setCurrentIndex(1);
    click(*w, 1, 0);
    w->findChild<QPushButton*>(u"超级按钮_加记录"_s)->click();
    EXPECT_FALSE(dialogs.shown.contains(u"添加车辆历史记录成功！"_s));
    ASSERT_FALSE(dialogs.shown.isEmpty());
    EXPECT_EQ(dialogs.shown.first(), u"清除是否脱审标记失败，历史记录没有添加！"_s);
    EXPECT_EQ(rows(kPlate), 1);
}

// ---- Deleting a record of a row that carries other groups ---------------------------------------

TEST_F(RecordCommandsTest, DeletingRowOnesInspectionKeepsTheBasicRecordAndTheOtherGroups) {
    addVehicle(kPlate, u"001"_s, QDate(2026, 8, 1));
    ASSERT_TRUE(db().ExecuteStatement(u"insert into "_s + kPlate +
                                      u"([下次审车日期],[审车车号]) values('2027年8月1日','"_s + kPlate + u"')"_s));
    auto w = start();
    show(*w, kPlate);
    tabs(*w)->setCurrentIndex(1);
    ASSERT_EQ(list(*w, 1)->rowCount(), 2);
    click(*w, 1, 1); // record 1, the first row
    ASSERT_EQ(list(*w, 1)->rowNumber(1), 1);
    w->findChild<QPushButton*>(u"超级按钮_删除记录"_s)->click();
    EXPECT_EQ(dialogs.shown.last(), u"删除成功!"_s);
    EXPECT_EQ(rows(kPlate), 2);
    // Row 1 lost its inspection group only.
    EXPECT_EQ(rows(kPlate, u" where [编号]=1 and [下次审车日期] is null and [审车应缴费用] is null and "
                           u"[审车是否通知车主] is null and [审车车号] is null"_s),
              1);
    EXPECT_EQ(rows(kPlate, u" where [编号]=1 and [档案编号]='001' and [车主姓名]='张三' and [下次保险日期] is not null "
                           u"and [下次二维日期] is not null and [下次管理费用日期] is not null and "
                           u"[下次营运证日期] is not null and [投保险种]='全险'"_s),
              1);
    EXPECT_EQ(masterRows(kPlate), 1);
    EXPECT_EQ(list(*w, 1)->rowCount(), 1);
    EXPECT_TRUE(plateUnderNode(w->parts().tree, u"公司车辆"_s).contains(kPlate));

    // A row with nothing else in it goes.
    click(*w, 1, 0);
    dialogs.answers = {ui::Answer::Yes, ui::Answer::Yes};
    w->findChild<QPushButton*>(u"超级按钮_删除记录"_s)->click();
    EXPECT_EQ(rows(kPlate), 1);
}

TEST_F(RecordCommandsTest, RecordCommandsRefuseAPlateThatIsNoListedVehicle) {
    addVehicle(kPlate, u"001"_s, QDate(2026, 8, 1));
    auto w = start();
    show(*w, kPlate);
    tabs(*w)->setCurrentIndex(1);
    click(*w, 1, 0);
    store::session().CurrentPlate = u"权限"_s;
    store::DatabaseConnection::ClearStatementLog();
    store::DatabaseConnection::SetStatementLogging(true);
    w->findChild<QPushButton*>(u"超级按钮_删除记录"_s)->click();
    store::DatabaseConnection::SetStatementLogging(false);
    for (const QString& s : store::DatabaseConnection::StatementLog())
        EXPECT_FALSE(s.contains(u"权限"_s) && !s.startsWith(u"select"_s)) << s.toStdString();
    ASSERT_FALSE(dialogs.shown.isEmpty());
    EXPECT_EQ(dialogs.shown.first(), u"主车牌号“权限”是数据库的固定表名，不能作为车牌号使用！"_s);
    const int rs = db().OpenRecordSet(u"select count(*) as[数量] from [权限]"_s);
    EXPECT_NE(rs, 0);
    db().CloseRecordSet(rs);
}
