#include "app/mainwindow.h"
#include "archive/formfields.h"
#include "archive/recordform.h"
#include "store/session.h"
#include "store/sqltext.h"
#include "support/testsupport.h"
#include "ui/controls.h"
#include "ui/widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using namespace Qt::StringLiterals;

using testing_support::DataDirTest;

namespace {

class RecordFormTest : public DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        store::SetToday(QDate(2026, 3, 15));
    }

    // Starts the main window as if an operator had signed in, with or without the right to see fees.
    std::unique_ptr<app::MainWindow> start(bool feesVisible = true) {
        auto w = std::make_unique<app::MainWindow>();
        const bool ok = w->initialise([feesVisible](QWidget*) {
            store::Permissions p;
            p.增删车辆 = p.修改车辆信息 = p.增加车辆信息 = p.统计查询 = p.权限设置 = true;
            p.费用可见 = feesVisible;
            store::session().OperatorPermissions = p;
            return true;
        });
        EXPECT_TRUE(ok);
        dialogs.shown.clear();
        return w;
    }

    template <typename T = QWidget> T* find(QWidget* w, const char* name) {
        return w->findChild<T*>(QString::fromUtf8(name));
    }

    void addMasterRow(const QString& archiveNumber, const QString& plate) {
        ASSERT_TRUE(db().ExecuteStatement(u"insert into [总表] ([档案编号],[车牌号]) values ('%1','%2')"_s.arg(
            store::SqlText(archiveNumber), store::SqlText(plate))));
    }

    // The operator clicks into the box of the shown, active window.
    static void click(ui::LabeledEdit* box) {
        QWidget* window = box->window();
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        box->lineEdit()->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(box->lineEdit()->hasFocus());
    }

    // The operator clicks into the box and types text over what it held.
    static void type(ui::LabeledEdit* box, const QString& text) {
        click(box);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        testing_support::TypeText(QApplication::focusWidget(), text);
    }

    // The operator moves from the box to the next control with Tab.
    static void leave(ui::LabeledEdit* box) {
        if (!box->lineEdit()->hasFocus())
            click(box);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_FALSE(box->lineEdit()->hasFocus());
    }

    // The operator brings up the page that holds the control (which forgets the selected record).
    static void bringUp(QWidget* control) {
        auto* tabs = ui::FindControl<QTabWidget>(control->window(), u"高级选择夹1"_s);
        ASSERT_TRUE(tabs);
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->widget(i)->isAncestorOf(control))
                tabs->setCurrentIndex(i);
    }

    // The operator clicks into the control on the page shown.
    static void focus(QWidget* control) {
        QWidget* window = control->window();
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        ASSERT_TRUE(control->isVisible()) << control->objectName().toStdString() << " is on another page";
        control->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(control->hasFocus());
    }
};

// ---------------------------------------------------------------------------------------------
// The controls of the pages

TEST_F(RecordFormTest, EveryFieldOfEveryPageIsBuiltOnItsPageWithItsCaption) {
    auto w = start();
    const ui::MainParts& parts = w->parts();
    for (int page = 0; page < archive::kPageCount; ++page) {
        for (const archive::FieldDef& f : archive::PageFields(page)) {
            QWidget* home = f.kind == archive::FieldKind::Picture ? static_cast<QWidget*>(parts.photoGroup)
                                                                  : static_cast<QWidget*>(parts.pages[page]);
            QWidget* control = home->findChild<QWidget*>(f.name);
            ASSERT_TRUE(control) << f.name.toStdString();
            switch (f.kind) {
            case archive::FieldKind::Edit:
            case archive::FieldKind::Display:
                ASSERT_TRUE(qobject_cast<ui::LabeledEdit*>(control)) << f.name.toStdString();
                EXPECT_EQ(static_cast<ui::LabeledEdit*>(control)->caption(), f.caption);
                break;
            case archive::FieldKind::Check:
                ASSERT_TRUE(qobject_cast<QCheckBox*>(control)) << f.name.toStdString();
                EXPECT_EQ(static_cast<QCheckBox*>(control)->text(), f.caption);
                break;
            case archive::FieldKind::Date:
            case archive::FieldKind::Combo: {
                if (f.kind == archive::FieldKind::Date)
                    EXPECT_TRUE(qobject_cast<ui::DateBox*>(control)) << f.name.toStdString();
                else
                    EXPECT_TRUE(qobject_cast<QComboBox*>(control)) << f.name.toStdString();
                auto* label = parts.pages[page]->findChild<QLabel*>(f.labelName);
                ASSERT_TRUE(label) << f.labelName.toStdString();
                EXPECT_EQ(label->text(), f.caption);
                break;
            }
            case archive::FieldKind::Picture:
                EXPECT_TRUE(qobject_cast<ui::PictureBox*>(control)) << f.name.toStdString();
                break;
            }
        }
    }
}

TEST_F(RecordFormTest, PagesHoldTheDesignedControlsAndCaptions) {
    auto w = start();
    // Counts of controls per page, from the form's design: edit boxes, date boxes, check boxes, combo boxes.
    const int expected[7][4] = {{22, 1, 0, 1}, {8, 3, 3, 1}, {9, 2, 3, 1}, {19, 3, 3, 1},
                                {8, 2, 2, 1},  {9, 3, 2, 2}, {4, 0, 0, 0}};
    for (int page = 0; page < 7; ++page) {
        QGroupBox* group = w->parts().pages[page];
        EXPECT_EQ(group->findChildren<ui::LabeledEdit*>().size(), expected[page][0]) << page;
        EXPECT_EQ(group->findChildren<ui::DateBox*>().size(), expected[page][1]) << page;
        EXPECT_EQ(group->findChildren<QCheckBox*>().size(), expected[page][2]) << page;
        EXPECT_EQ(group->findChildren<QComboBox*>().size(), expected[page][3]) << page;
    }
    const std::pair<const char*, const char*> captions[] = {
        {"带标签编辑框_从业资格证号", "从业资格号："}, {"带标签编辑框_驾驶员A身份证号", "驾驶员A证件号"},
        {"带标签编辑框_车主地址", "车主详细住址："},   {"带标签编辑框_车辆信息备注", "备注："},
        {"带标签编辑框_保险编号", "商险单号："},       {"带标签编辑框_三者", "三者险："},
        {"带标签编辑框_营运证号码", "营运证号码："},   {"带标签编辑框_二维还欠费用", "还欠费用："},
        {"带标签编辑框_查询车架号", "车架号："},       {"带标签编辑框_审车车牌号", "主车牌号："},
    };
    for (const auto& [name, caption] : captions)
        EXPECT_EQ(find<ui::LabeledEdit>(w.get(), name)->caption(), QString::fromUtf8(caption)) << name;
    EXPECT_EQ(find<QLabel>(w.get(), "透明标签_下次挂车审车日期1")->text(), u"下次挂车审车日期"_s);
    EXPECT_EQ(find<QLabel>(w.get(), "透明标签_是否驻内")->text(), u"是否驻内"_s);
    EXPECT_EQ(find<QCheckBox>(w.get(), "选择框_是否提醒挂车保险")->text(), u"挂车是否提醒"_s);
    EXPECT_TRUE(find(w->parts().pages[6], "违章查询视图区"));
    for (int page = 0; page < 6; ++page)
        EXPECT_TRUE(w->parts().pages[page]->findChild<ui::SuperListBox*>(archive::PageListName(page))) << page;
}

TEST_F(RecordFormTest, CopiesAndKeyBoxesAreReadOnlyAndOwedBoxesWritable) {
    auto w = start();
    for (const char* name : {"带标签编辑框_档案编号", "带标签编辑框_主车牌号", "带标签编辑框_审车档案编号",
                             "带标签编辑框_二维车主姓名", "带标签编辑框_保险主车牌号", "带标签编辑框_管理车主电话",
                             "带标签编辑框_营运档案编号", "带标签编辑框_查询姓名", "带标签编辑框_查询车架号"})
        EXPECT_TRUE(find<ui::LabeledEdit>(w.get(), name)->isReadOnly()) << name;
    for (const char* name : {"带标签编辑框_审车还欠费用", "带标签编辑框_保险还欠费用", "带标签编辑框_车主姓名"})
        EXPECT_FALSE(find<ui::LabeledEdit>(w.get(), name)->isReadOnly()) << name;
}

TEST_F(RecordFormTest, ToolButtonsCarryTheirCaptionsAndRecordButtonsWaitForARecord) {
    auto w = start();
    EXPECT_EQ(find<QPushButton>(w.get(), "超级按钮_保存增加")->text(), u"保存增加车辆"_s);
    EXPECT_EQ(find<QPushButton>(w.get(), "超级按钮_修改记录")->text(), u"改记录"_s);
    EXPECT_EQ(find<QPushButton>(w.get(), "超级按钮_删除记录")->text(), u"删记录"_s);
    EXPECT_EQ(find<QPushButton>(w.get(), "超级按钮_数据备份")->text(), u"备份"_s);
    for (const char* name : {"超级按钮_加记录", "超级按钮_修改记录", "超级按钮_删除记录"})
        EXPECT_FALSE(find<QPushButton>(w.get(), name)->isEnabled()) << name;
}

// ---------------------------------------------------------------------------------------------
// Start-up presets

TEST_F(RecordFormTest, ComboBoxesStartOnTheirFirstItemWithTheirPresetItems) {
    auto w = start();
    auto* status = find<QComboBox>(w.get(), "组合框_车辆状态");
    ASSERT_EQ(status->count(), 3);
    EXPECT_EQ(status->currentText(), u"正常"_s);
    EXPECT_EQ(status->itemText(2), u"注销"_s);
    EXPECT_EQ(status->itemData(0).toInt(), 1);
    EXPECT_EQ(status->itemData(1).toInt(), 2);
    EXPECT_EQ(status->itemData(2).toInt(), 3);
    const QStringList notices = {u"未到通知时间"_s, u"已通知"_s, u"未通知"_s, u"通知未达"_s};
    for (const char* name : {"组合框_审车", "组合框_二级维护", "组合框_管理费", "组合框_营运"}) {
        auto* c = find<QComboBox>(w.get(), name);
        QStringList items;
        for (int i = 0; i < c->count(); ++i)
            items << c->itemText(i);
        EXPECT_EQ(items, notices) << name;
        EXPECT_EQ(c->currentIndex(), 0) << name;
    }
    auto* category = find<QComboBox>(w.get(), "组合框_类别");
    EXPECT_EQ(category->count(), 2);
    EXPECT_EQ(category->currentText(), u"驻内"_s);
    EXPECT_EQ(category->itemText(1), u"驻外"_s);
}

TEST_F(RecordFormTest, InsuranceKindsAreOfferedFromTheirTable) {
    ASSERT_TRUE(db().ExecuteStatement(u"delete * from 险种名称"_s));
    ASSERT_TRUE(db().ExecuteStatement(u"insert into 险种名称 ([险种名称]) values ('车损险')"_s));
    ASSERT_TRUE(db().ExecuteStatement(u"insert into 险种名称 ([险种名称]) values ('司机''s 责任险')"_s));
    auto w = start();
    auto* kinds = find<QComboBox>(w.get(), "组合框_投保险种");
    ASSERT_EQ(kinds->count(), 2);
    EXPECT_EQ(kinds->itemText(1), u"司机's 责任险"_s);
    EXPECT_EQ(kinds->currentText(), u"车损险"_s);
}

TEST_F(RecordFormTest, DateBoxesStartUnsetAndPaymentDatesToday) {
    auto w = start();
    for (const char* name :
         {"日期框_入户时间", "日期框_下次主车审车", "日期框_下次挂车审车", "日期框_下次二维", "日期框_下次保险",
          "日期框_下次挂车保险", "日期框_下次管理费", "日期框_下次营运证日期", "日期框_营运证办理日期"})
        EXPECT_EQ(ui::ControlDate(w.get(), QString::fromUtf8(name)), QDate(2000, 1, 1)) << name;
    for (const char* name : {"日期框_审车缴费时间", "日期框_二维缴费时间", "日期框_保险缴费时间", "日期框_管理缴费时间",
                             "日期框_营运缴费时间"})
        EXPECT_EQ(ui::ControlDate(w.get(), QString::fromUtf8(name)), QDate(2026, 3, 15)) << name;
}

// ---------------------------------------------------------------------------------------------
// What an operator without 费用可见 sees

TEST_F(RecordFormTest, WithoutFeeRightTheFeeControlsAndFeeColumnsAreGone) {
    auto w = start(false);
    ASSERT_EQ(archive::FeeControls().size(), 25);
    for (const QString& name : archive::FeeControls()) {
        QWidget* c = ui::Control(w.get(), name);
        ASSERT_TRUE(c) << name.toStdString();
        EXPECT_TRUE(c->isHidden()) << name.toStdString();
    }
    EXPECT_FALSE(find(w.get(), "带标签编辑框_审车备注")->isHidden());
    const std::pair<int, const char*> lists[] = {
        {1, "审车时间"}, {2, "二维时间"}, {4, "管理到期时间"}, {5, "营运到期时间"}};
    for (const auto& [page, caption] : lists) {
        ui::SuperListBox* list = archive::PageList(w.get(), page);
        ASSERT_EQ(list->columnCount(), 1) << page;
        EXPECT_EQ(list->headerItem()->text(0), QString::fromUtf8(caption));
        EXPECT_EQ(list->columnWidth(0), 150);
    }
    ui::SuperListBox* insurance = archive::PageList(w.get(), 3);
    ASSERT_EQ(insurance->columnCount(), 9);
    EXPECT_EQ(insurance->headerItem()->text(8), u"其他"_s);
}

TEST_F(RecordFormTest, WithFeeRightTheFeeControlsAndFeeColumnsShow) {
    auto w = start(true);
    for (const QString& name : archive::FeeControls())
        EXPECT_FALSE(ui::Control(w.get(), name)->isHidden()) << name.toStdString();
    ui::SuperListBox* inspection = archive::PageList(w.get(), 1);
    ASSERT_EQ(inspection->columnCount(), 4);
    EXPECT_EQ(inspection->headerItem()->text(1), u"应缴费用"_s);
    EXPECT_EQ(inspection->headerItem()->text(3), u"缴费时间"_s);
    EXPECT_EQ(inspection->columnWidth(3), 120);
    ui::SuperListBox* insurance = archive::PageList(w.get(), 3);
    ASSERT_EQ(insurance->columnCount(), 12);
    EXPECT_EQ(insurance->headerItem()->text(9), u"应缴费用"_s);
    ui::SuperListBox* basic = archive::PageList(w.get(), 0);
    ASSERT_EQ(basic->columnCount(), 6);
    EXPECT_EQ(basic->headerItem()->text(1), u"过入户时间"_s);
}

// ---------------------------------------------------------------------------------------------
// The plate check on leaving the plate box

TEST_F(RecordFormTest, LeavingThePlateBoxWarnsAboutAPlateAlreadyKept) {
    addMasterRow(u"5"_s, u"京A'1234"_s);
    auto w = start();
    auto* plate = find<ui::LabeledEdit>(w.get(), "带标签编辑框_主车牌号");
    plate->setReadOnly(false);
    type(plate, u"京A'1234"_s);
    EXPECT_EQ(plate->text(), u"京A'1234"_s);
    EXPECT_TRUE(dialogs.shown.isEmpty()); // nothing while the operator types
    leave(plate);
    EXPECT_EQ(dialogs.shown, QStringList({u"对不起！已经存在此车辆的信息了！"_s}));
    EXPECT_EQ(plate->text(), u"京A'1234"_s); // the operator decides

    dialogs.shown.clear();
    type(plate, u"京A12345"_s);
    leave(plate);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(RecordFormTest, APlateOfImplausibleLengthIsReportedWithoutAQuery) {
    auto w = start();
    auto* plate = find<ui::LabeledEdit>(w.get(), "带标签编辑框_主车牌号");
    plate->setReadOnly(false);
    store::DatabaseConnection::SetStatementLogging(true);
    for (const char* text : {"京A1234", "京A12345678"}) {
        store::DatabaseConnection::ClearStatementLog();
        dialogs.shown.clear();
        plate->setText(QString::fromUtf8(text));
        archive::CheckPlateUnique(w.get(), w->database());
        EXPECT_EQ(dialogs.shown, QStringList({u"请检查主车牌号是否正确"_s})) << text;
        EXPECT_TRUE(store::DatabaseConnection::StatementLog().isEmpty()) << text;
        EXPECT_EQ(plate->text(), QString::fromUtf8(text));
    }
}

TEST_F(RecordFormTest, PlateCheckIsSilentWhileTheBoxIsReadOnlyOrEmpty) {
    addMasterRow(u"5"_s, u"京A12345"_s);
    auto w = start();
    auto* plate = find<ui::LabeledEdit>(w.get(), "带标签编辑框_主车牌号");
    plate->setText(u"京A12345"_s); // a vehicle is shown: the box is read-only
    leave(plate);
    plate->setReadOnly(false);
    type(plate, QString());
    EXPECT_TRUE(plate->text().isEmpty());
    leave(plate);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(RecordFormTest, PlateCheckReportsAnUnreadableMasterTable) {
    auto w = start();
    ASSERT_TRUE(db().ExecuteStatement(u"DROP TABLE 总表"_s));
    auto* plate = find<ui::LabeledEdit>(w.get(), "带标签编辑框_主车牌号");
    plate->setReadOnly(false);
    plate->setText(u"京A12345"_s);
    archive::CheckPlateUnique(w.get(), w->database());
    EXPECT_EQ(dialogs.shown, QStringList({u"查询失败！"_s}));
    EXPECT_EQ(plate->text(), u"京A12345"_s);
}

// ---------------------------------------------------------------------------------------------
// The archive-number check on leaving its box

TEST_F(RecordFormTest, AnArchiveNumberTakenUpToLeadingZerosIsEmptied) {
    addMasterRow(u"3"_s, u"京A11111"_s);
    addMasterRow(u"0A'7"_s, u"京A22222"_s);
    auto w = start();
    auto* number = find<ui::LabeledEdit>(w.get(), "带标签编辑框_档案编号");
    number->setReadOnly(false);
    type(number, u"003"_s);
    leave(number);
    EXPECT_EQ(number->text(), QString());
    EXPECT_EQ(dialogs.shown, QStringList({u"对不起！已经存在此档案编号的信息了！"_s}));

    dialogs.shown.clear();
    number->setText(u"A'7"_s);
    archive::CheckArchiveNumberUnique(w.get(), w->database());
    EXPECT_EQ(number->text(), QString());
    EXPECT_EQ(dialogs.shown.size(), 1);

    dialogs.shown.clear();
    type(number, u"30"_s);
    leave(number);
    EXPECT_EQ(number->text(), u"30"_s);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(RecordFormTest, ArchiveCheckIsSilentWhileReadOnlyAndReportsAnUnreadableTable) {
    addMasterRow(u"3"_s, u"京A11111"_s);
    auto w = start();
    auto* number = find<ui::LabeledEdit>(w.get(), "带标签编辑框_档案编号");
    number->setText(u"3"_s);
    leave(number);
    EXPECT_EQ(number->text(), u"3"_s);
    EXPECT_TRUE(dialogs.shown.isEmpty());

    ASSERT_TRUE(db().ExecuteStatement(u"DROP TABLE 总表"_s));
    number->setReadOnly(false);
    archive::CheckArchiveNumberUnique(w.get(), w->database());
    EXPECT_EQ(dialogs.shown, QStringList({u"查询失败！"_s}));
    EXPECT_EQ(number->text(), u"3"_s);
}

TEST_F(RecordFormTest, LosingTheFocusToAnotherWindowRunsNoCheck) {
    auto w = start();
    auto* plate = find<ui::LabeledEdit>(w.get(), "带标签编辑框_主车牌号");
    plate->setReadOnly(false);
    type(plate, u"京A1"_s);
    // The operator turns to another window: the box loses the focus and no check runs.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_NE(QApplication::focusWidget(), plate->lineEdit());
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

// ---------------------------------------------------------------------------------------------
// Emptying the form for a new vehicle

TEST_F(RecordFormTest, ResetVehicleFormEmptiesEveryFieldAndSetsTheNewVehicleDefaults) {
    auto w = start();
    QWidget* win = w.get();
    ui::SetControlText(win, u"带标签编辑框_车主姓名"_s, u"张三"_s);
    ui::SetControlText(win, u"带标签编辑框_审车档案编号"_s, u"12"_s);
    ui::SetControlText(win, u"带标签编辑框_查询车牌号"_s, u"京A12345"_s);
    find<QComboBox>(win, "组合框_车辆状态")->setCurrentIndex(2);
    find<QComboBox>(win, "组合框_类别")->setCurrentIndex(1);
    ui::SetControlDate(win, u"日期框_下次主车审车"_s, QDate(2026, 5, 1));
    ui::SetControlDate(win, u"日期框_审车缴费时间"_s, QDate(2025, 1, 1));
    ui::SetControlChecked(win, u"选择框_是否脱审"_s, true);
    ui::SetControlChecked(win, u"选择框_二维驻外"_s, true);
    ui::SetControlImage(win, u"图片框_行车证2"_s, QByteArray("jpeg bytes"));
    store::session().CurrentPlate = u"京A12345"_s;
    store::SetToday(QDate(2026, 4, 2));

    archive::ResetVehicleForm(win);

    EXPECT_FALSE(find<ui::LabeledEdit>(win, "带标签编辑框_档案编号")->isReadOnly());
    EXPECT_FALSE(find<ui::LabeledEdit>(win, "带标签编辑框_主车牌号")->isReadOnly());
    for (ui::LabeledEdit* e : win->findChildren<ui::LabeledEdit*>())
        EXPECT_TRUE(e->text().isEmpty()) << e->objectName().toStdString();
    EXPECT_EQ(ui::ControlText(win, u"组合框_车辆状态"_s), u"正常"_s);
    EXPECT_EQ(ui::ControlText(win, u"组合框_类别"_s), u"驻内"_s);
    EXPECT_EQ(ui::ControlDate(win, u"日期框_下次主车审车"_s), QDate(2000, 1, 1));
    EXPECT_EQ(ui::ControlDate(win, u"日期框_审车缴费时间"_s), QDate(2026, 4, 2));
    EXPECT_EQ(ui::ControlDate(win, u"日期框_营运缴费时间"_s), QDate(2026, 4, 2));
    EXPECT_FALSE(ui::ControlChecked(win, u"选择框_是否脱审"_s));
    EXPECT_FALSE(ui::ControlChecked(win, u"选择框_二维驻外"_s));
    for (const QString& name : archive::ReminderBoxes())
        EXPECT_TRUE(ui::ControlChecked(win, name)) << name.toStdString();
    EXPECT_TRUE(ui::ControlImage(win, u"图片框_行车证2"_s).isEmpty());
    EXPECT_EQ(store::session().CurrentPlate, u"京A12345"_s); // left alone
}

TEST_F(RecordFormTest, ResetVehicleFormIsNotAnEditOfTheOperator) {
    auto w = start();
    archive::formState().RecordSelectedFlag = 1;
    archive::formState().EditArmedFlag = 1;
    ui::SetControlChecked(w.get(), u"选择框_是否脱审"_s, true);
    archive::formState().PageModifiedFlag = 0;
    archive::ResetVehicleForm(w.get());
    EXPECT_EQ(archive::formState().PageModifiedFlag, 0);
}

// ---------------------------------------------------------------------------------------------
// Change tracking

TEST_F(RecordFormTest, FlagsStartCleared) {
    archive::formState().PageModifiedFlag = 1;
    archive::formState().EditArmedFlag = 1;
    auto w = start();
    EXPECT_EQ(archive::formState().RecordSelectedFlag, 0);
    EXPECT_EQ(archive::formState().EditArmedFlag, 0);
    EXPECT_EQ(archive::formState().PageModifiedFlag, 0);
}

TEST_F(RecordFormTest, TypingCountsOnlyOnceADateBoxWasEnteredWithARecordSelected) {
    auto w = start();
    archive::FormState& s = archive::formState();
    auto* owner = find<ui::LabeledEdit>(w.get(), "带标签编辑框_车主姓名");

    s.RecordSelectedFlag = 1;
    owner->setText(u"李四"_s);
    EXPECT_EQ(s.PageModifiedFlag, 0);

    // Entering a date box without a record selected arms nothing.
    bringUp(find(w.get(), "日期框_下次二维"));
    s.RecordSelectedFlag = 0;
    focus(find(w.get(), "日期框_下次二维"));
    EXPECT_EQ(s.EditArmedFlag, 0);

    // The trailer due dates do not arm the tracking either.
    for (const char* trailerDue : {"日期框_下次挂车审车", "日期框_下次挂车保险"}) {
        bringUp(find(w.get(), trailerDue));
        s.RecordSelectedFlag = 1;
        focus(find(w.get(), trailerDue));
    }
    EXPECT_EQ(s.EditArmedFlag, 0);

    bringUp(find(w.get(), "日期框_下次二维"));
    s.RecordSelectedFlag = 1;
    focus(find(w.get(), "日期框_下次二维"));
    EXPECT_EQ(s.EditArmedFlag, 1);
    owner->setText(u"王五"_s);
    EXPECT_EQ(s.PageModifiedFlag, 1);

    // Once armed the tracking stays armed, with or without a selected record.
    s.PageModifiedFlag = 0;
    s.RecordSelectedFlag = 0;
    ui::SetControlDate(w.get(), u"日期框_下次管理费"_s, QDate(2026, 9, 1));
    EXPECT_EQ(s.PageModifiedFlag, 1);
}

TEST_F(RecordFormTest, TheCategoryComboArmsAndCountsLikeADateBox) {
    auto w = start();
    archive::FormState& s = archive::formState();
    bringUp(find(w.get(), "组合框_类别"));
    s.RecordSelectedFlag = 1;
    focus(find(w.get(), "组合框_类别"));
    EXPECT_EQ(s.EditArmedFlag, 1);
    find<QComboBox>(w.get(), "组合框_类别")->setCurrentIndex(1);
    EXPECT_EQ(s.PageModifiedFlag, 1);
}

TEST_F(RecordFormTest, UntrackedFieldsNeverMarkThePage) {
    auto w = start();
    archive::FormState& s = archive::formState();
    s.RecordSelectedFlag = 1;
    s.EditArmedFlag = 1;
    QWidget* win = w.get();
    for (const char* name : {"带标签编辑框_A姓名", "带标签编辑框_B姓名", "带标签编辑框_强险编号",
                             "带标签编辑框_挂车保险编号", "带标签编辑框_挂车强险编号", "带标签编辑框_审车还欠费用",
                             "带标签编辑框_审车车主姓名", "带标签编辑框_查询姓名"})
        ui::SetControlText(win, QString::fromUtf8(name), u"x"_s);
    ui::SetControlDate(win, u"日期框_下次挂车审车"_s, QDate(2026, 7, 1));
    ui::SetControlDate(win, u"日期框_下次挂车保险"_s, QDate(2026, 7, 1));
    find<QComboBox>(win, "组合框_车辆状态")->setCurrentIndex(1);
    for (const QString& name : archive::ReminderBoxes())
        ui::SetControlChecked(win, name, false);
    ui::SetControlChecked(win, u"选择框_二维驻外"_s, true);
    EXPECT_EQ(s.PageModifiedFlag, 0);
}

TEST_F(RecordFormTest, ChoicesCountWhileARecordIsSelected) {
    auto w = start();
    archive::FormState& s = archive::formState();
    auto* lapse = find<QCheckBox>(w.get(), "选择框_是否脱审");
    lapse->click();
    EXPECT_EQ(s.PageModifiedFlag, 0); // no record selected

    s.RecordSelectedFlag = 1;
    lapse->click();
    EXPECT_EQ(s.PageModifiedFlag, 1);

    for (const char* name : {"组合框_审车", "组合框_二级维护", "组合框_管理费", "组合框_营运"}) {
        s.PageModifiedFlag = 0;
        find<QComboBox>(w.get(), name)->setCurrentIndex(2);
        EXPECT_EQ(s.PageModifiedFlag, 1) << name;
    }
    s.PageModifiedFlag = 0;
    find<QComboBox>(w.get(), "组合框_投保险种")->setCurrentText(u"新险种"_s);
    EXPECT_EQ(s.PageModifiedFlag, 1);
}

TEST_F(RecordFormTest, FillsByTheProgramAreNotEdits) {
    auto w = start();
    archive::FormState& s = archive::formState();
    s.RecordSelectedFlag = 1;
    s.EditArmedFlag = 1;
    {
        archive::FormFill fill;
        ui::SetControlText(w.get(), u"带标签编辑框_车主姓名"_s, u"赵六"_s);
        ui::SetControlChecked(w.get(), u"选择框_是否脱保"_s, true);
        ui::SetControlDate(w.get(), u"日期框_下次保险"_s, QDate(2026, 8, 1));
    }
    EXPECT_EQ(s.PageModifiedFlag, 0);
    ui::SetControlText(w.get(), u"带标签编辑框_车主姓名"_s, u"赵七"_s);
    EXPECT_EQ(s.PageModifiedFlag, 1);
}

// ---------------------------------------------------------------------------------------------
// The edit menu on the right mouse button

TEST_F(RecordFormTest, RightClickInAnEditBoxOpensTheEditMenu) {
    auto w = start();
    w->show();
    int withMenu = 0;
    for (ui::LabeledEdit* e : w->findChildren<ui::LabeledEdit*>())
        if (e->lineEdit()->contextMenuPolicy() == Qt::CustomContextMenu)
            ++withMenu;
    EXPECT_EQ(withMenu, 74);
    for (const QString& name : archive::EditBoxesWithoutContextMenu())
        if (auto* e = w->findChild<ui::LabeledEdit*>(name)) {
            EXPECT_NE(e->lineEdit()->contextMenuPolicy(), Qt::CustomContextMenu) << name.toStdString();
        }

    QMenu* menu = w->parts().menus.value(u"编辑"_s);
    ASSERT_TRUE(menu);
    auto* owner = find<ui::LabeledEdit>(w.get(), "带标签编辑框_车主姓名");
    emit owner->lineEdit()->customContextMenuRequested(QPoint(5, 5));
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
}

// ---------------------------------------------------------------------------------------------
// Plain rules

TEST(FormRules, PlateLengthCountsTwoBytesForEveryNonAsciiCharacter) {
    EXPECT_EQ(archive::GbkLength(u"京A12345"_s), 8);
    EXPECT_EQ(archive::GbkLength(u"京A123456"_s), 9);
    EXPECT_EQ(archive::GbkLength(u"京A1234"_s), 7);
    EXPECT_EQ(archive::GbkLength(u"ABCD1234"_s), 8);
    EXPECT_EQ(archive::GbkLength(u"苏E·12345"_s), 10);
    EXPECT_EQ(archive::GbkLength(QString()), 0);
    EXPECT_EQ(archive::GbkLength(QString::fromUcs4(U"\U00020000A")), 3); // one character, however stored
    EXPECT_TRUE(archive::PlateLengthPlausible(u"京A12345"_s));
    EXPECT_TRUE(archive::PlateLengthPlausible(u"京A123456"_s));
    EXPECT_FALSE(archive::PlateLengthPlausible(u"京A1234"_s));
    EXPECT_FALSE(archive::PlateLengthPlausible(u"京京A12345"_s));
}

TEST(FormRules, ListColumnsFollowTheFeeRight) {
    EXPECT_EQ(archive::ListColumns(1, false).size(), 1);
    EXPECT_EQ(archive::ListColumns(5, true).size(), 4);
    EXPECT_EQ(archive::ListColumns(3, false).size(), 9);
    EXPECT_EQ(archive::ListColumns(3, true).size(), 12);
    EXPECT_EQ(archive::ListColumns(0, false).size(), 6);
    EXPECT_TRUE(archive::ListColumns(6, true).isEmpty());
}

// ---------------------------------------------------------------------------------------------
// Layout on a 1366 x 768 screen

TEST_F(RecordFormTest, EveryPageFitsA1366By768ScreenWithoutCutLabels) {
    auto w = start();
    w->setGeometry(0, 0, 1366, 738);
    w->show();
    QTabWidget* tabs = w->parts().tabs;
    for (int page = 0; page < 7; ++page) {
        tabs->setCurrentIndex(page);
        QApplication::processEvents();
        QGroupBox* group = w->parts().pages[page];
        const QRect area = group->rect();
        for (const archive::FieldDef& f : archive::PageFields(page)) {
            if (f.kind == archive::FieldKind::Picture)
                continue;
            QWidget* c = group->findChild<QWidget*>(f.name);
            const QRect r(c->mapTo(group, QPoint(0, 0)), c->size());
            EXPECT_TRUE(area.contains(r)) << f.name.toStdString();
            EXPECT_GE(c->width(), c->minimumSizeHint().width()) << f.name.toStdString();
        }
        for (QLabel* l : group->findChildren<QLabel*>())
            EXPECT_GE(l->width(), l->sizeHint().width()) << l->text().toStdString();
        if (ui::SuperListBox* list = archive::PageList(w.get(), page)) {
            EXPECT_GE(list->height(), 120) << page;
        }
    }

    // Screenshots for a person to look at, when a folder for them is given.
    const QString shots = qEnvironmentVariable("VELMORA_SHOTS_DIR");
    if (shots.isEmpty())
        return;
    QDir().mkpath(shots);
    ui::SetControlText(w.get(), u"带标签编辑框_档案编号"_s, u"0012"_s);
    ui::SetControlText(w.get(), u"带标签编辑框_主车牌号"_s, u"京A12345"_s);
    ui::SetControlText(w.get(), u"带标签编辑框_车主姓名"_s, u"张三丰"_s);
    ui::SetControlText(w.get(), u"带标签编辑框_车主地址"_s, u"河北省石家庄市长安区建设北大街 88 号"_s);
    ui::SetControlText(w.get(), u"带标签编辑框_审车应缴费用"_s, u"1000"_s);
    ui::SetControlText(w.get(), u"带标签编辑框_保险公司名称"_s, u"人民财产保险"_s);
    ui::SetControlText(w.get(), u"带标签编辑框_查询姓名"_s, u"张三丰"_s);
    for (int page = 0; page < 7; ++page) {
        tabs->setCurrentIndex(page);
        QApplication::processEvents();
        w->grab().save(QDir(shots).filePath(u"form-page-%1.png"_s.arg(page)));
    }
}

} // namespace
