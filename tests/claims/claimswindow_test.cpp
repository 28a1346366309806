#include "app/mainwindow.h"
#include "claims/claims.h"
#include "claims/claimsgrid.h"
#include "claims/claimswindow.h"
#include "cli/commands.h"
#include "report/exports.h"
#include "report/readback.h"
#include "store/session.h"
#include "support/testsupport.h"
#include "ui/reportprint.h"
#include "ui/widgets.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;
using claims::Claim;
using claims::ClaimsWindow;
using report::Cell;
using testing_support::DataDirTest;
using testing_support::WhenModal;

namespace {

const QDate kToday(2026, 12, 8);

class ClaimsWindowTest : public DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        store::SetToday(kToday);
        claims::ResetClaimState();
    }
    void TearDown() override {
        window.reset();
        ui::SetPrintDialogHook(nullptr);
        ui::SetPreviewHook(nullptr);
        DataDirTest::TearDown();
    }

    void add(const QString& date, const QString& plate, const QString& owner, bool closed = false,
             const QString& remarks = {}) {
        Claim c;
        c.date = date;
        c.plate = plate;
        c.owner = owner;
        c.phone = u"13900001111"_s;
        c.insurer = u"人保财险"_s;
        c.policy = u"PD-"_s + plate;
        c.amount = u"800"_s;
        c.closed = closed;
        c.remarks = remarks;
        ASSERT_TRUE(claims::InsertClaim(db(), c));
    }
    ClaimsWindow& open() {
        window = std::make_unique<ClaimsWindow>();
        return *window;
    }
    claims::ClaimsGrid* grid() { return window->grid(); }
    QAbstractItemModel* model() { return grid()->model(); }
    void click(const char* name) { window->findChild<QPushButton*>(QString::fromUtf8(name))->click(); }
    void type(const char* box, const QString& text) {
        window->findChild<ui::LabeledEdit*>(QString::fromUtf8(box))->setText(text);
    }
    QString text(int row, int column) { return model()->index(row, column).data(Qt::DisplayRole).toString(); }
    bool checked(int row, int column) {
        return model()->index(row, column).data(Qt::CheckStateRole).toInt() == Qt::Checked;
    }
    // Column c of every data row (rows 1 … ClaimRowCount).
    QStringList column(int c) {
        QStringList out;
        for (int r = 1; r <= claims::ClaimRowCount; ++r)
            out << text(r, c);
        return out;
    }
    bool setCell(int row, int column, const QVariant& value) {
        const int role = value.typeId() == QMetaType::Int ? Qt::CheckStateRole : Qt::EditRole;
        return model()->setData(model()->index(row, column), value, role);
    }
    int entryRow() { return grid()->reportModel()->entryRowIndex(); }
    QList<Claim> stored() {
        return claims::ReadClaims(db(), QDate(1990, 1, 1), QDate(2100, 1, 1), {}).value_or(QList<Claim>{});
    }
    QWidget* focused() { return QApplication::focusWidget(); }
    void show() {
        window->show();
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        grid()->setFocus();
        QCoreApplication::processEvents();
    }

    std::unique_ptr<ClaimsWindow> window;
};

} // namespace

TEST_F(ClaimsWindowTest, OpensWithItsControlsTheLastMonthAndAnEntryRow) {
    add(u"2026-11-8"_s, u"粤A1"_s, u"张三"_s);       // first day of the range
    add(u"2026-11-7"_s, u"粤A0"_s, u"早一天"_s);     // outside
    add(u"2026-12-8"_s, u"粤A2"_s, u"李四"_s, true); // today, the last day
    add(u"2026-12-1"_s, u"粤A3"_s, u"王五"_s);
    store::DatabaseConnection::SetStatementLogging(true);
    ClaimsWindow& w = open();
    EXPECT_EQ(w.windowTitle(), u"报险情况"_s);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(store::DatabaseConnection::StatementLog(),
              QStringList({u"select * from [报险表] where 报险日期>=#2026-11-8# and 报险日期<=#2026-12-8#"_s}));

    EXPECT_EQ(w.findChild<QDateEdit*>(u"日期框_开始"_s)->date(), QDate(2026, 11, 8));
    EXPECT_EQ(w.findChild<QDateEdit*>(u"日期框_截止"_s)->date(), kToday);
    const std::pair<const char*, const char*> labels[] = {
        {"透明标签_起始日期", "起始日期："}, {"透明标签_截止日期", "截止日期："}, {"透明标签_是否结案", "是否结案："}};
    for (const auto& [name, caption] : labels)
        EXPECT_EQ(w.findChild<QLabel*>(QString::fromUtf8(name))->text(), QString::fromUtf8(caption)) << name;
    const std::pair<const char*, const char*> edits[] = {{"带标签编辑框_主车牌号", "主车牌号："},
                                                         {"带标签编辑框_车主姓名", "车主姓名："},
                                                         {"带标签编辑框_保险公司名称", "保险公司名称："},
                                                         {"带标签编辑框_保单号", "保单号："}};
    for (const auto& [name, caption] : edits)
        EXPECT_EQ(w.findChild<ui::LabeledEdit*>(QString::fromUtf8(name))->caption(), QString::fromUtf8(caption));
    auto* combo = w.findChild<QComboBox*>(u"组合框_是否结案"_s);
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->currentIndex(), 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(combo->itemData(i).toInt(), i + 1);
    EXPECT_EQ(combo->itemText(1), u"未结案"_s);
    const std::pair<const char*, const char*> buttons[] = {
        {"按钮_查找", "查找"},     {"按钮_保存增加", "保存增加"},     {"按钮_保存修改", "保存修改"},
        {"超级按钮_打印", "打印"}, {"超级按钮_打印预览", "打印预览"}, {"超级按钮_导出", "导出"}};
    for (const auto& [name, caption] : buttons)
        EXPECT_EQ(w.findChild<QPushButton*>(QString::fromUtf8(name))->text(), QString::fromUtf8(caption));

    ASSERT_EQ(grid()->objectName(), u"高级表格"_s);
    const QStringList headers = {u"编号"_s,     u"报险日期"_s,     u"主车牌号"_s, u"车主姓名"_s,
                                 u"车主电话"_s, u"保险公司名称"_s, u"保单号"_s,   u"理赔金额"_s,
                                 u"是否结案"_s, u"备注"_s,         QString()};
    ASSERT_EQ(model()->columnCount(), 11);
    for (int c = 0; c < 11; ++c)
        EXPECT_EQ(text(0, c), headers.at(c));
    EXPECT_EQ(grid()->columnWidth(0), 1);

    // Three claims in table order with their running numbers, then one blank entry row.
    EXPECT_EQ(claims::ClaimRowCount, 3);
    EXPECT_EQ(column(2), QStringList({u"粤A1"_s, u"粤A2"_s, u"粤A3"_s}));
    EXPECT_EQ(column(1), QStringList({u"2026-11-08"_s, u"2026-12-08"_s, u"2026-12-01"_s}));
    EXPECT_EQ(column(10), QStringList({u"1"_s, u"2"_s, u"3"_s}));
    EXPECT_EQ(column(0), QStringList({u"1"_s, u"3"_s, u"4"_s}));
    EXPECT_FALSE(checked(1, 8));
    EXPECT_TRUE(checked(2, 8));
    EXPECT_EQ(entryRow(), 4);
    EXPECT_EQ(model()->rowCount(), 5);
    for (int c = 0; c < 11; ++c)
        EXPECT_TRUE(text(4, c).isEmpty()) << c;

    // Date cells edit as dates, the closed flag as a check box; 编号 and the number stay.
    const QAbstractItemModel* m = model();
    EXPECT_EQ(m->index(1, 1).data(Qt::EditRole).typeId(), QMetaType::QDate);
    EXPECT_EQ(m->index(4, 1).data(Qt::EditRole).typeId(), QMetaType::QDate);
    EXPECT_TRUE(m->flags(m->index(1, 8)) & Qt::ItemIsUserCheckable);
    EXPECT_TRUE(m->flags(m->index(4, 8)) & Qt::ItemIsUserCheckable);
    for (int c = 1; c <= 9; ++c)
        EXPECT_TRUE(m->flags(m->index(1, c)) & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)) << c;
    EXPECT_FALSE(m->flags(m->index(1, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(m->flags(m->index(1, 10)) & Qt::ItemIsEditable);
    EXPECT_FALSE(m->flags(m->index(0, 2)) & Qt::ItemIsEditable);
}

TEST_F(ClaimsWindowTest, FindAppliesEveryFilterAndAQuoteInEachIsFoundAsTyped) {
    add(u"2026-11-20"_s, u"粤A1"_s, u"欧阳建国"_s, false);
    add(u"2026-11-21"_s, u"粤B2"_s, u"建华"_s, true);
    add(u"2026-11-22"_s, u"湘C'3"_s, u"O'Neil"_s, true);
    add(u"2026-10-01"_s, u"粤A9"_s, u"建设"_s, false);
    ClaimsWindow& w = open();
    auto* combo = w.findChild<QComboBox*>(u"组合框_是否结案"_s);

    type("带标签编辑框_车主姓名", u"建"_s);
    click("按钮_查找");
    EXPECT_EQ(column(2), QStringList({u"粤A1"_s, u"粤B2"_s}));
    EXPECT_EQ(column(10), QStringList({u"1"_s, u"2"_s}));
    EXPECT_EQ(entryRow(), 3);

    combo->setCurrentIndex(1); // 未结案
    click("按钮_查找");
    EXPECT_EQ(column(2), QStringList({u"粤A1"_s}));
    combo->setCurrentIndex(2); // 已结案
    type("带标签编辑框_车主姓名", {});
    click("按钮_查找");
    EXPECT_EQ(column(2), QStringList({u"粤B2"_s, u"湘C'3"_s}));

    // The range is the date boxes'.
    combo->setCurrentIndex(0);
    w.findChild<QDateEdit*>(u"日期框_开始"_s)->setDate(QDate(2026, 10, 1));
    w.findChild<QDateEdit*>(u"日期框_截止"_s)->setDate(QDate(2026, 11, 20));
    click("按钮_查找");
    EXPECT_EQ(column(2), QStringList({u"粤A1"_s, u"粤A9"_s}));

    w.findChild<QDateEdit*>(u"日期框_开始"_s)->setDate(QDate(2026, 11, 1));
    w.findChild<QDateEdit*>(u"日期框_截止"_s)->setDate(kToday);
    type("带标签编辑框_主车牌号", u"C'"_s);
    type("带标签编辑框_车主姓名", u"O'N"_s);
    type("带标签编辑框_保险公司名称", u"人保"_s);
    type("带标签编辑框_保单号", u"-湘C'"_s);
    click("按钮_查找");
    EXPECT_EQ(column(3), QStringList({u"O'Neil"_s}));
    type("带标签编辑框_保险公司名称", u"人保'"_s);
    click("按钮_查找");
    EXPECT_EQ(claims::ClaimRowCount, 0);
    EXPECT_EQ(entryRow(), 1);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(ClaimsWindowTest, SaveNewWithABlankEntryRowIsRefusedAndWritesNothing) {
    add(u"2026-11-20"_s, u"粤A1"_s, u"张三"_s);
    open();
    store::DatabaseConnection::SetStatementLogging(true);
    click("按钮_保存增加");
    EXPECT_EQ(dialogs.shown, QStringList({u"在报险表录入记录失败！"_s}));
    // Everything but the date typed: still no claim.
    ASSERT_TRUE(setCell(entryRow(), 2, u"粤B2"_s));
    ASSERT_TRUE(setCell(entryRow(), 8, int(Qt::Checked)));
    click("按钮_保存增加");
    EXPECT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(dialogs.shown.last(), u"在报险表录入记录失败！"_s);
    EXPECT_TRUE(store::DatabaseConnection::StatementLog().filter(u"insert"_s).isEmpty());
    EXPECT_EQ(stored().size(), 1);
    // Nothing reloaded: what was typed is still there.
    EXPECT_EQ(text(entryRow(), 2), u"粤B2"_s);
}

TEST_F(ClaimsWindowTest, SaveNewStoresTheEntryRowAsTypedAndReloads) {
    add(u"2026-11-20"_s, u"粤A1"_s, u"张三"_s);
    add(u"2026-11-25"_s, u"粤A2"_s, u"李四"_s);
    open();
    const int e = entryRow();
    ASSERT_EQ(e, 3);
    const QStringList typed = {u"粤'B2"_s, u"O'Neil"_s, u"139'1"_s, u"平安'保险"_s, u"P'9"_s, u"1'200"_s};
    ASSERT_TRUE(setCell(e, 1, QDate(2026, 11, 22)));
    for (int c = 2; c <= 7; ++c)
        ASSERT_TRUE(setCell(e, c, typed.at(c - 2)));
    ASSERT_TRUE(setCell(e, 8, int(Qt::Checked)));
    ASSERT_TRUE(setCell(e, 9, u"'); drop table 报险表; --"_s));
    store::DatabaseConnection::SetStatementLogging(true);
    click("按钮_保存增加");
    EXPECT_EQ(dialogs.shown, QStringList({u"添加报险记录成功！"_s}));
    const QStringList log = store::DatabaseConnection::StatementLog();
    ASSERT_EQ(log.size(), 2);
    EXPECT_EQ(log.at(0), u"insert into 报险表 ([报险日期],[主车牌号],[车主姓名],[车主电话],[保险公司名称],[保单号],"
                         u"[理赔金额],[是否结案],[备注]) values('2026年11月22日','粤''B2','O''Neil','139''1',"
                         u"'平安''保险','P''9','1''200',true,'''); drop table 报险表; --')"_s);
    EXPECT_TRUE(log.at(1).startsWith(u"select * from [报险表] where"_s));

    // Reloaded in table order: the new claim last, numbered, and a fresh entry row after it.
    EXPECT_EQ(claims::ClaimRowCount, 3);
    EXPECT_EQ(column(2), QStringList({u"粤A1"_s, u"粤A2"_s, u"粤'B2"_s}));
    EXPECT_EQ(text(3, 10), u"3"_s);
    EXPECT_EQ(text(3, 1), u"2026-11-22"_s);
    EXPECT_TRUE(checked(3, 8));
    EXPECT_EQ(entryRow(), 4);
    EXPECT_TRUE(text(4, 2).isEmpty());
    const QList<Claim> all = stored();
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(QStringList({all[2].plate, all[2].owner, all[2].phone, all[2].insurer, all[2].policy, all[2].amount}),
              typed);
    EXPECT_EQ(all[2].remarks, u"'); drop table 报险表; --"_s);
    EXPECT_TRUE(all[2].closed);
}

TEST_F(ClaimsWindowTest, TwoWindowsShareOneConnectionAndSeeEachOthersWrites) {
    add(u"2026-11-20"_s, u"粤A1"_s, u"张三"_s);
    const int filesBefore = store::DatabaseConnection::OpenFileCount();
    open();
    ClaimsWindow second;
    EXPECT_EQ(store::DatabaseConnection::OpenFileCount(), filesBefore); // no second open of the file
    QAbstractItemModel* other = second.grid()->model();
    auto otherText = [&](int row, int column) { return other->index(row, column).data(Qt::DisplayRole).toString(); };

    // A claim added in the first window is listed by the second at its next 查找.
    const int e = entryRow();
    ASSERT_TRUE(setCell(e, 1, QDate(2026, 11, 30)));
    ASSERT_TRUE(setCell(e, 2, u"粤B9"_s));
    ASSERT_TRUE(setCell(e, 3, u"赵六"_s));
    click("按钮_保存增加");
    ASSERT_EQ(dialogs.shown, QStringList({u"添加报险记录成功！"_s}));
    EXPECT_EQ(otherText(2, 2), QString());
    second.findChild<QPushButton*>(u"按钮_查找"_s)->click();
    EXPECT_EQ(otherText(2, 2), u"粤B9"_s);

    // A change saved in the second is what the first reads next.
    ASSERT_TRUE(other->setData(other->index(1, 3), u"张三丰"_s, Qt::EditRole));
    second.findChild<QPushButton*>(u"按钮_保存修改"_s)->click();
    EXPECT_EQ(dialogs.shown.last(), u"修改成功！"_s);
    click("按钮_查找");
    EXPECT_EQ(text(1, 3), u"张三丰"_s);
    EXPECT_EQ(text(2, 3), u"赵六"_s);

    // Closing one window leaves the other's connection working.
    window.reset();
    ASSERT_TRUE(other->setData(other->index(2, 3), u"赵六一"_s, Qt::EditRole));
    second.findChild<QPushButton*>(u"按钮_保存修改"_s)->click();
    EXPECT_EQ(dialogs.shown.last(), u"修改成功！"_s);
    ASSERT_EQ(stored().size(), 2);
    EXPECT_EQ(stored().at(1).owner, u"赵六一"_s);
}

TEST_F(ClaimsWindowTest, SaveChangesWritesEveryRowAndKeepsTheGridAsItIs) {
    add(u"2026-11-20"_s, u"粤A1"_s, u"张三"_s);
    add(u"2026-11-21"_s, u"粤A2"_s, u"李四"_s);
    add(u"2026-11-22"_s, u"粤A3"_s, u"王五"_s);
    open();
    ASSERT_TRUE(setCell(1, 3, u"张'三丰"_s));
    ASSERT_TRUE(setCell(2, 1, QDate(2026, 11, 1)));
    ASSERT_TRUE(setCell(3, 8, int(Qt::Checked)));
    ASSERT_TRUE(setCell(3, 9, u"已赔付"_s));
    ASSERT_TRUE(setCell(entryRow(), 2, u"不存"_s)); // the entry row is not part of it
    store::DatabaseConnection::SetStatementLogging(true);
    click("按钮_保存修改");
    EXPECT_EQ(dialogs.shown, QStringList({u"修改成功！"_s}));
    // One update per changed row (each after a look at the stored claim), no reload.
    const QStringList log = store::DatabaseConnection::StatementLog().filter(u"update 报险表 set [报险日期]"_s);
    EXPECT_FALSE(store::DatabaseConnection::StatementLog().join(u"\n"_s).contains(u"where 报险日期"_s));
    ASSERT_EQ(log.size(), 3);
    EXPECT_EQ(log.at(0), u"update 报险表 set [报险日期]='2026年11月20日',[主车牌号]='粤A1',[车主姓名]='张''三丰',"
                         u"[车主电话]='13900001111',[保险公司名称]='人保财险',[保单号]='PD-粤A1',[理赔金额]='800',"
                         u"[是否结案]=false,[备注]='' where [编号]=1"_s);
    EXPECT_TRUE(log.at(2).endsWith(u"[是否结案]=true,[备注]='已赔付' where [编号]=3"_s));

    // The grid keeps its order and content (the changed date is not re-sorted away).
    EXPECT_EQ(column(2), QStringList({u"粤A1"_s, u"粤A2"_s, u"粤A3"_s}));
    EXPECT_EQ(column(1), QStringList({u"2026-11-20"_s, u"2026-11-01"_s, u"2026-11-22"_s}));
    EXPECT_EQ(text(entryRow(), 2), u"不存"_s);
    const QList<Claim> all = stored();
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all[0].owner, u"张'三丰"_s);
    EXPECT_EQ(all[1].date, u"2026-11-01"_s);
    EXPECT_TRUE(all[2].closed);
    EXPECT_EQ(all[2].remarks, u"已赔付"_s);
}

TEST_F(ClaimsWindowTest, SaveChangesWithAnEmptiedDateWritesNothingAndNamesTheRow) {
    add(u"2026-11-20"_s, u"粤A1"_s, u"张三"_s);
    add(u"2026-11-21"_s, u"粤A2"_s, u"李四"_s);
    add(u"2026-11-22"_s, u"粤A3"_s, u"王五"_s);
    const QList<Claim> before = stored();
    open();
    show();
    ASSERT_TRUE(setCell(1, 3, u"张改"_s));
    ASSERT_TRUE(setCell(2, 8, int(Qt::Checked)));
    // The operator empties the third claim's date with Delete, as in a spreadsheet.
    grid()->setCurrentCell(3, 1);
    QTest::keyClick(grid(), Qt::Key_Delete);
    EXPECT_TRUE(text(3, 1).isEmpty());
    click("按钮_保存修改");
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown[0].startsWith(u"修改不成功"_s));
    EXPECT_TRUE(dialogs.shown[0].contains(u"第3行"_s)) << dialogs.shown[0].toStdString();
    EXPECT_EQ(stored(), before); // rows 1 and 2 were not written either

    // Every typed value is still there, the faulty cell current, ready to be corrected.
    EXPECT_EQ(text(1, 3), u"张改"_s);
    EXPECT_TRUE(checked(2, 8));
    EXPECT_EQ(grid()->currentRow(), 3);
    EXPECT_EQ(grid()->currentColumn(), 1);
    ASSERT_TRUE(setCell(3, 1, QDate(2026, 11, 23)));
    click("按钮_保存修改");
    EXPECT_EQ(dialogs.shown.last(), u"修改成功！"_s);
    const QList<Claim> after = stored();
    EXPECT_EQ(after[0].owner, u"张改"_s);
    EXPECT_TRUE(after[1].closed);
    EXPECT_EQ(after[2].date, u"2026-11-23"_s);
}

TEST_F(ClaimsWindowTest, KeyboardWorksAsInASpreadsheet) {
    add(u"2026-11-20"_s, u"粤A1"_s, u"张三"_s);
    add(u"2026-11-21"_s, u"粤A2"_s, u"李四"_s);
    open();
    show();
    claims::ClaimsGrid* g = grid();

    // Tab and Shift+Tab walk the editable cells, past 编号 and the running number.
    g->setCurrentCell(1, 9);
    QTest::keyClick(g, Qt::Key_Tab);
    EXPECT_EQ(std::pair(g->currentRow(), g->currentColumn()), std::pair(2, 1));
    QTest::keyClick(g, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(std::pair(g->currentRow(), g->currentColumn()), std::pair(1, 9));
    // Enter moves down, into the entry row too.
    g->setCurrentCell(1, 3);
    QTest::keyClick(g, Qt::Key_Return);
    QTest::keyClick(g, Qt::Key_Return);
    EXPECT_EQ(std::pair(g->currentRow(), g->currentColumn()), std::pair(3, 3));
    g->setCurrentCell(3, 9);
    QTest::keyClick(g, Qt::Key_Tab);
    EXPECT_EQ(std::pair(g->currentRow(), g->currentColumn()), std::pair(3, 9)); // nothing after the entry row

    // Typing starts the edit; Enter keeps it and moves down.
    g->setCurrentCell(1, 3);
    QTest::keyClick(g, Qt::Key_W);
    ASSERT_TRUE(g->isEditing());
    auto* editor = qobject_cast<QLineEdit*>(focused());
    ASSERT_NE(editor, nullptr);
    editor->setText(u"王五"_s);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(text(1, 3), u"王五"_s);
    EXPECT_EQ(std::pair(g->currentRow(), g->currentColumn()), std::pair(2, 3));

    // Esc drops the edit.
    QTest::keyClick(g, Qt::Key_X);
    ASSERT_TRUE(g->isEditing());
    editor = qobject_cast<QLineEdit*>(focused());
    ASSERT_NE(editor, nullptr);
    editor->setText(u"不要"_s);
    QTest::keyClick(editor, Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_EQ(text(2, 3), u"李四"_s);
    EXPECT_FALSE(g->isEditing());

    // Tab while editing keeps the text and moves on without opening the next cell.
    QTest::keyClick(g, Qt::Key_Z);
    editor = qobject_cast<QLineEdit*>(focused());
    ASSERT_NE(editor, nullptr);
    editor->setText(u"李小四"_s);
    QTest::keyClick(editor, Qt::Key_Tab);
    QCoreApplication::processEvents();
    EXPECT_EQ(text(2, 3), u"李小四"_s);
    EXPECT_EQ(std::pair(g->currentRow(), g->currentColumn()), std::pair(2, 4));
    EXPECT_FALSE(g->isEditing());

    // The entry row's 编号 and running number take no typing; an open edit is saved with the row.
    g->setCurrentCell(3, 10);
    QTest::keyClick(g, Qt::Key_7);
    EXPECT_FALSE(g->isEditing());
    EXPECT_TRUE(text(3, 10).isEmpty());
    ASSERT_TRUE(setCell(3, 1, QDate(2026, 11, 30)));
    g->setCurrentCell(3, 2);
    QTest::keyClick(g, Qt::Key_A);
    editor = qobject_cast<QLineEdit*>(focused());
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    testing_support::TypeText(editor, u"粤C3"_s);
    EXPECT_EQ(editor->text(), u"粤C3"_s);
    click("按钮_保存增加");
    EXPECT_EQ(dialogs.shown.last(), u"添加报险记录成功！"_s);
    EXPECT_EQ(stored().last().plate, u"粤C3"_s);
}

TEST_F(ClaimsWindowTest, DateCellsEditWithACalendar) {
    add(u"2026-11-20"_s, u"粤A1"_s, u"张三"_s);
    open();
    show();
    grid()->setCurrentCell(1, 1);
    grid()->edit(model()->index(1, 1));
    auto* editor = grid()->findChild<QDateEdit*>(u"日期框_表格"_s);
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->calendarPopup());
    EXPECT_EQ(editor->date(), QDate(2026, 11, 20));
    // The operator types the day over the day section.
    editor->setSelectedSection(QDateTimeEdit::DaySection);
    QTest::keyClicks(editor, u"27"_s);
    EXPECT_EQ(editor->date(), QDate(2026, 11, 27));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(text(1, 1), u"2026-11-27"_s);
    // The entry row's date cell opens on today.
    grid()->setCurrentCell(entryRow(), 1);
    grid()->edit(model()->index(entryRow(), 1));
    editor = grid()->findChild<QDateEdit*>(u"日期框_表格"_s);
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->date().isValid());
}

TEST_F(ClaimsWindowTest, PrintsPreviewsAndExportsTheGridWithoutTitleOrEntryRow) {
    add(u"2026-11-20"_s, u"粤A10001"_s, u"张三"_s);
    add(u"2026-11-21"_s, u"粤A10002"_s, u"李四"_s, true);
    open();
    ASSERT_TRUE(setCell(entryRow(), 2, u"湘E99999"_s));
    const QString pdf = dataDir() + u"/claims.pdf"_s;
    ui::SetPrintDialogHook([&](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });
    click("超级按钮_打印");
    const QStringList pages = report_test::pdfPages(pdf);
    ASSERT_EQ(pages.size(), 1);
    const QString page = report_test::squeezed(pages[0]);
    EXPECT_TRUE(page.contains(u"粤A10001"_s));
    EXPECT_TRUE(page.contains(u"粤A10002"_s));
    EXPECT_TRUE(page.contains(u"保险公司名称"_s));
    EXPECT_FALSE(page.contains(u"报险情况"_s)); // no title
    EXPECT_FALSE(page.contains(u"湘E99999"_s)); // the entry row is not printed

    int previewed = 0;
    ui::SetPreviewHook([&](QPrintPreviewDialog& dialog) {
        ++previewed;
        EXPECT_EQ(dialog.objectName(), u"打印预览"_s);
    });
    click("超级按钮_打印预览");
    EXPECT_EQ(previewed, 1);

    const QString csv = dataDir() + u"/claims.csv"_s;
    dialogs.files.push_back(csv);
    click("超级按钮_导出");
    EXPECT_EQ(dialogs.shown, QStringList({u"导出成功！"_s}));
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString content = QString::fromUtf8(file.readAll());
    EXPECT_EQ(content.count(u"\r\n"_s), 3); // header and two claims
    EXPECT_TRUE(content.contains(u"1,2026-11-20,粤A10001,张三,13900001111,人保财险,PD-粤A10001,800,false,,1\r\n"_s))
        << content.toStdString();
    EXPECT_FALSE(content.contains(u"湘E99999"_s));
}

TEST_F(ClaimsWindowTest, AMissingDatabaseIsReportedAndTheWindowStillOpens) {
    QFile::remove(dbPath());
    open();
    EXPECT_EQ(dialogs.shown, QStringList({u"数据库丢失！"_s, u"数据库打开失败！"_s, u"查询失败?！"_s}));
    EXPECT_EQ(claims::ClaimRowCount, 0);
    EXPECT_EQ(model()->rowCount(), 1);
    click("按钮_保存增加");
    EXPECT_EQ(dialogs.shown.last(), u"在报险表录入记录失败！"_s);
}

TEST_F(ClaimsWindowTest, MenuItemOpensTheRegisterModallyOverTheMainWindow) {
    auto main = std::make_unique<app::MainWindow>();
    ASSERT_TRUE(main->initialise([](QWidget*) {
        store::session().OperatorPermissions.增删车辆 = true;
        return true;
    }));
    dialogs.shown.clear();
    QString caption;
    QWidget* parent = nullptr;
    bool modal = false;
    WhenModal([&](QWidget* w) {
        caption = w->windowTitle();
        parent = w->parentWidget();
        modal = w->isModal();
        static_cast<QDialog*>(w)->reject();
    });
    main->parts().action(u"报险清单"_s)->trigger();
    EXPECT_EQ(caption, u"报险情况"_s);
    EXPECT_EQ(parent, main.get());
    EXPECT_TRUE(modal);
}

TEST_F(ClaimsWindowTest, CommandLineListsWhatTheWindowShows) {
    open();
    // Claims typed into the window and saved one by one.
    struct Typed {
        QDate date;
        const char* plate;
        const char* owner;
        bool closed;
    };
    const Typed typed[] = {{QDate(2026, 11, 20), "粤A1", "张三", false},
                           {QDate(2026, 11, 9), "粤'B2", "O'Neil", true},
                           {QDate(2026, 12, 8), "湘C_3", "张三丰", false},
                           {QDate(2026, 10, 1), "粤D4", "旧案", false}};
    for (const Typed& t : typed) {
        ASSERT_TRUE(setCell(entryRow(), 1, t.date));
        ASSERT_TRUE(setCell(entryRow(), 2, QString::fromUtf8(t.plate)));
        ASSERT_TRUE(setCell(entryRow(), 3, QString::fromUtf8(t.owner)));
        ASSERT_TRUE(setCell(entryRow(), 7, u"1000"_s));
        if (t.closed) {
            ASSERT_TRUE(setCell(entryRow(), 8, int(Qt::Checked)));
        }
        click("按钮_保存增加");
    }
    ASSERT_EQ(dialogs.shown.count(u"添加报险记录成功！"_s), 4);
    EXPECT_EQ(claims::ClaimRowCount, 3);

    auto cli = [&](const QStringList& options) {
        QString outText, errText;
        QTextStream out(&outText), err(&errText);
        const claims::ClaimFilterSet filters = claims::ClaimFilters;
        const int rowCount = claims::ClaimRowCount;
        const int status = cli::Run(QStringList{u"claims"_s, u"--from"_s, u"2026-11-08"_s, u"--to"_s, u"2026-12-08"_s,
                                                u"--data-dir"_s, dataDir()} +
                                        options,
                                    out, err);
        EXPECT_EQ(status, 0) << errText.toStdString();
        // The window's own state is not the tool's to change.
        EXPECT_EQ(claims::ClaimFilters, filters);
        EXPECT_EQ(claims::ClaimRowCount, rowCount);
        out.flush();
        return outText;
    };
    auto shown = [&] { return QString::fromUtf8(report::JsonText(grid()->currentTable())); };
    EXPECT_EQ(cli({}), shown());

    type("带标签编辑框_车主姓名", u"张"_s);
    click("按钮_查找");
    EXPECT_EQ(claims::ClaimRowCount, 2);
    EXPECT_EQ(cli({u"--owner"_s, u"张"_s}), shown());

    type("带标签编辑框_车主姓名", {});
    type("带标签编辑框_主车牌号", u"'"_s);
    window->findChild<QComboBox*>(u"组合框_是否结案"_s)->setCurrentIndex(2);
    click("按钮_查找");
    EXPECT_EQ(claims::ClaimRowCount, 1);
    EXPECT_EQ(cli({u"--plate"_s, u"'"_s, u"--closed"_s, u"closed"_s}), shown());

    type("带标签编辑框_主车牌号", u"C_"_s);
    window->findChild<QComboBox*>(u"组合框_是否结案"_s)->setCurrentIndex(1);
    click("按钮_查找");
    EXPECT_EQ(claims::ClaimRowCount, 1);
    const QString csv = cli({u"--plate"_s, u"C_"_s, u"--closed"_s, u"open"_s, u"--format"_s, u"csv"_s});
    EXPECT_EQ(csv, QString::fromUtf8(report::CsvText(grid()->currentTable())));
    EXPECT_TRUE(csv.contains(u"湘C_3"_s));
}

TEST_F(ClaimsWindowTest, CommandLineRefusesBadOptionsAndWritesFiles) {
    add(u"2026-11-20"_s, u"粤A1"_s, u"张三"_s);
    auto run = [&](const QStringList& args, QString* errText = nullptr) {
        QString outText, errBuffer;
        QTextStream out(&outText), err(&errBuffer);
        const int status = cli::Run(QStringList{u"claims"_s, u"--data-dir"_s, dataDir()} + args, out, err);
        err.flush();
        if (errText)
            *errText = errBuffer;
        return status;
    };
    const QStringList range = {u"--from"_s, u"2026-11-01"_s, u"--to"_s, u"2026-11-30"_s};
    EXPECT_EQ(run({u"--from"_s, u"2026-11-01"_s}), 2);
    EXPECT_EQ(run({u"--from"_s, u"2026-13-01"_s, u"--to"_s, u"2026-11-30"_s}), 2);
    EXPECT_EQ(run(range + QStringList{u"--closed"_s, u"maybe"_s}), 2);
    EXPECT_EQ(run(range + QStringList{u"--format"_s, u"xlsx"_s}), 2);
    EXPECT_EQ(run(range + QStringList{u"--format"_s, u"doc"_s}), 2);
    EXPECT_EQ(run(range + QStringList{u"stray"_s}), 2);
    const QString xlsx = dataDir() + u"/c.xlsx"_s;
    EXPECT_EQ(run(range + QStringList{u"--format"_s, u"xlsx"_s, u"--output"_s, xlsx}), 0);
    const QStringList rows = report_test::xlsxRows(xlsx);
    ASSERT_GE(rows.size(), 2);
    EXPECT_TRUE(rows[0].startsWith(u"编号\t报险日期"_s)) << rows[0].toStdString(); // no title row
    EXPECT_TRUE(rows[1].contains(u"粤A1"_s));
    const QString pdf = dataDir() + u"/c.pdf"_s;
    EXPECT_EQ(run(range + QStringList{u"--format"_s, u"pdf"_s, u"--output"_s, pdf}), 0);
    const QStringList pages = report_test::pdfPages(pdf);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(report_test::squeezed(pages[0]).contains(u"粤A1"_s));
    EXPECT_FALSE(report_test::squeezed(pages[0]).contains(u"报险情况"_s));

    QFile::remove(dbPath());
    QString err;
    EXPECT_EQ(run(range, &err), 1);
    EXPECT_TRUE(err.startsWith(u"数据库丢失！"_s));
}

TEST_F(ClaimsWindowTest, RegisterScreenshots) {
    const QString dir = qEnvironmentVariable("VELMORA_SHOTS_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "VELMORA_SHOTS_DIR not set";
    add(u"2026-11-12"_s, u"粤A12345"_s, u"张建国"_s, true, u"追尾，已赔付"_s);
    add(u"2026-11-19"_s, u"粤B67890"_s, u"李华"_s, false, u"侧翻，待定损"_s);
    add(u"2026-11-27"_s, u"湘C24680"_s, u"王'五"_s, false, u"玻璃破碎"_s);
    add(u"2026-12-03"_s, u"粤A55555"_s, u"赵六"_s, false, u"三者人伤"_s);
    add(u"2026-12-08"_s, u"桂D13579"_s, u"欧阳明"_s, true, u"刮擦"_s);
    open();
    window->resize(900, 560);
    show();
    ASSERT_EQ(claims::ClaimRowCount, 5);
    ASSERT_TRUE(window->grab().save(dir + u"/claims_window.png"_s));

    // The date editor of the second claim with its calendar open, drawn over the window.
    grid()->setCurrentCell(2, 1);
    grid()->edit(model()->index(2, 1));
    auto* editor = grid()->findChild<QDateEdit*>(u"日期框_表格"_s);
    ASSERT_NE(editor, nullptr);
    QTest::mouseClick(editor, Qt::LeftButton, {}, QPoint(editor->width() - 6, editor->height() / 2));
    QCoreApplication::processEvents();
    QWidget* popup = editor->calendarWidget()->window();
    ASSERT_TRUE(popup->isVisible());
    QPixmap shot = window->grab();
    QPainter painter(&shot);
    painter.drawPixmap(window->mapFromGlobal(popup->mapToGlobal(QPoint(0, 0))), popup->grab());
    painter.end();
    ASSERT_TRUE(shot.save(dir + u"/claims_date_editor.png"_s));
    popup->hide();
    grid()->commitOpenEdit();

    const QString pdf = dir + u"/claims_printed.pdf"_s;
    ui::SetPrintDialogHook([&](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });
    click("超级按钮_打印");
    EXPECT_EQ(report_test::pdfPages(pdf).size(), 1);
}
