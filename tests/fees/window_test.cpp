#include "feefleet.h"

#include "app/mainwindow.h"
#include "fees/feequerywindow.h"
#include "report/readback.h"
#include "store/database.h"
#include "store/schema.h"
#include "store/session.h"
#include "support/testsupport.h"
#include "ui/reportgrid.h"
#include "ui/reportprint.h"
#include "ui/widgets.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using testing_support::DataDirTest;

namespace {

const QString kA = u"京A12345"_s;
const QString kB = u"京B23456"_s;

std::string s(const QString& text) {
    return text.toStdString();
}

// Records the buttons (and so the icon) of every message as well as its text.
class IconDialogs : public testing_support::ScriptedDialogs {
public:
    QList<ui::Buttons> buttons;
    ui::Answer message(QWidget* parent, const QString& text, ui::Buttons b, const QString& title) override {
        buttons << b;
        return ScriptedDialogs::message(parent, text, b, title);
    }
};

class FeeQueryWindowTest : public DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        ui::SetDialogProvider(&shown);
        fleet = std::make_unique<fees_test::FeeFleet>(db());
        fleet->vehicle(kB);
        fleet->vehicle(kA);
    }

    template <typename T> static T* child(fees::FeeQueryWindow& w, const QString& name) {
        T* widget = w.findChild<T*>(name);
        EXPECT_TRUE(widget) << s(name);
        return widget;
    }
    static void typeVehicle(fees::FeeQueryWindow& w, const QString& text) {
        child<QComboBox>(w, u"组合框_车号"_s)->lineEdit()->setText(text);
    }
    static void setPeriod(fees::FeeQueryWindow& w, const QDate& from, const QDate& to) {
        child<ui::DateBox>(w, u"日期框_起始"_s)->setDate(from);
        child<ui::DateBox>(w, u"日期框_截止"_s)->setDate(to);
    }
    static void confirm(fees::FeeQueryWindow& w) { child<QPushButton>(w, u"超级按钮_参数确定"_s)->click(); }
    static bool formShown(fees::FeeQueryWindow& w) {
        return !child<QGroupBox>(w, u"分组框_查询参数设置"_s)->isHidden();
    }

    IconDialogs shown;
    std::unique_ptr<fees_test::FeeFleet> fleet;
};

TEST_F(FeeQueryWindowTest, OpensWithTheParameterFormAndEveryPlate) {
    fees::FeeQueryWindow w;
    EXPECT_EQ(s(w.windowTitle()), "查询参数设置窗口");
    QComboBox* vehicles = child<QComboBox>(w, u"组合框_车号"_s);
    QStringList items;
    for (int i = 0; i < vehicles->count(); ++i)
        items << vehicles->itemText(i);
    EXPECT_EQ(items, QStringList({u"全部车辆"_s, kB, kA}));
    EXPECT_EQ(vehicles->currentIndex(), 0);
    QComboBox* kinds = child<QComboBox>(w, u"组合框_项目"_s);
    items.clear();
    for (int i = 0; i < kinds->count(); ++i)
        items << kinds->itemText(i);
    EXPECT_EQ(items,
              QStringList({u"全部费用"_s, u"审车类"_s, u"二维类"_s, u"保险类"_s, u"管理费用类"_s, u"营运证类"_s}));
    EXPECT_EQ(s(child<QGroupBox>(w, u"分组框_查询参数设置"_s)->title()), "设置查询参数");
    EXPECT_TRUE(formShown(w));
    EXPECT_FALSE(child<QLabel>(w, u"透明标签_打印窗口的标题"_s)->isVisibleTo(&w));
    EXPECT_TRUE(shown.shown.isEmpty());
}

TEST_F(FeeQueryWindowTest, MenuItemOpensTheWindowModallyOverTheMainWindow) {
    auto main = std::make_unique<app::MainWindow>();
    ASSERT_TRUE(main->initialise([](QWidget*) {
        store::session().OperatorPermissions.统计查询 = true;
        return true;
    }));
    QAction* item = main->parts().action(u"缴费查询"_s);
    ASSERT_NE(item, nullptr);
    QString caption;
    QWidget* owner = nullptr;
    bool modal = false;
    testing_support::WhenModal([&](QWidget* w) {
        auto* window = qobject_cast<fees::FeeQueryWindow*>(w);
        ASSERT_NE(window, nullptr);
        caption = window->windowTitle();
        owner = window->parentWidget();
        modal = window->isModal();
        window->findChild<QPushButton*>(u"超级按钮_参数取消"_s)->click();
    });
    item->trigger();
    EXPECT_EQ(s(caption), "查询参数设置窗口");
    EXPECT_EQ(owner, main.get());
    EXPECT_TRUE(modal);
}

TEST_F(FeeQueryWindowTest, MissingDatabaseShowsOnlyItsOneMessage) {
    QTemporaryDir empty;
    qputenv("VELMORA_DATA_DIR", empty.path().toLocal8Bit());
    fees::FeeQueryWindow w;
    EXPECT_EQ(shown.shown, QStringList({u"数据库丢失！"_s}));
    EXPECT_EQ(child<QComboBox>(w, u"组合框_车号"_s)->count(), 1);
}

TEST_F(FeeQueryWindowTest, SevenBytePlateIsRefusedWithTheWarningIconBeforeAnyQuery) {
    fees::FeeQueryWindow w;
    typeVehicle(w, u"京A1234"_s);
    store::DatabaseConnection::ClearStatementLog();
    store::DatabaseConnection::SetStatementLogging(true);
    confirm(w);
    store::DatabaseConnection::SetStatementLogging(false);
    EXPECT_TRUE(store::DatabaseConnection::StatementLog().isEmpty());
    EXPECT_EQ(shown.shown, QStringList({u"请检查主车牌号是否正确"_s}));
    EXPECT_EQ(shown.buttons, QList<ui::Buttons>({ui::Buttons::OkExclamation}));
    EXPECT_TRUE(formShown(w));
    EXPECT_FALSE(w.reportShown());
    EXPECT_EQ(s(w.windowTitle()), "查询参数设置窗口");
}

TEST_F(FeeQueryWindowTest, UnknownPlateIsRefusedAndTheOperatorMayCorrectIt) {
    fees::FeeQueryWindow w;
    typeVehicle(w, u"京Z99999"_s);
    confirm(w);
    EXPECT_EQ(shown.shown, QStringList({u"对不起！请核对车号后再次输入！没有找到车号为京Z99999的车辆"_s}));
    EXPECT_EQ(shown.buttons, QList<ui::Buttons>({ui::Buttons::Ok}));
    EXPECT_TRUE(formShown(w));
    typeVehicle(w, kA);
    confirm(w);
    EXPECT_TRUE(w.reportShown());
    EXPECT_FALSE(formShown(w));
    EXPECT_EQ(s(w.windowTitle()), "费用明细");
    EXPECT_EQ(shown.shown.size(), 1);
}

TEST_F(FeeQueryWindowTest, TypedPlateIsReportedAloneWhileTheTitlesNameAllVehicles) {
    fees::FeeQueryWindow w;
    setPeriod(w, QDate(2026, 3, 5), QDate(2026, 11, 20));
    typeVehicle(w, kB);
    confirm(w);
    ASSERT_TRUE(w.reportShown());
    EXPECT_EQ(s(child<QLabel>(w, u"透明标签_打印窗口的标题"_s)->text()),
              "当前显示车号为全部车辆从2026-3-5到2026-11-20的全部费用的内容。");
}

TEST_F(FeeQueryWindowTest, ChosenPlateNamesTheTitles) {
    fees::FeeQueryWindow w;
    setPeriod(w, QDate(2026, 1, 1), QDate(2026, 12, 31));
    child<QComboBox>(w, u"组合框_车号"_s)->setCurrentIndex(2);
    child<QComboBox>(w, u"组合框_项目"_s)->setCurrentIndex(3);
    confirm(w);
    ASSERT_TRUE(w.reportShown());
    EXPECT_EQ(s(child<QLabel>(w, u"透明标签_打印窗口的标题"_s)->text()),
              "当前显示车号为京A12345从2026-1-1到2026-12-31的保险类的内容。");
    for (const char16_t* name : {u"超级按钮_打印", u"超级按钮_打印预览", u"超级按钮_导出"})
        EXPECT_TRUE(child<QPushButton>(w, QString::fromUtf16(name))->isVisibleTo(&w));
    for (const char16_t* name : {u"超级按钮_参数确定", u"超级按钮_参数取消"})
        EXPECT_FALSE(child<QPushButton>(w, QString::fromUtf16(name))->isVisibleTo(&w));
}

class FeeReportOutputTest : public FeeQueryWindowTest {
protected:
    void SetUp() override {
        FeeQueryWindowTest::SetUp();
        fleet->pay(kA, 0, u"100.5"_s, u"50"_s, QDate(2026, 4, 1));
        fleet->pay(kA, 0, u"200.7"_s, u"五十"_s, QDate(2026, 5, 1));
        fleet->pay(kB, 2, u"3000"_s, u"3000"_s, QDate(2026, 6, 1));
    }
    void TearDown() override {
        ui::SetPrintDialogHook(nullptr);
        ui::SetPreviewHook(nullptr);
        FeeQueryWindowTest::TearDown();
    }
    static void build(fees::FeeQueryWindow& w) {
        setPeriod(w, QDate(2026, 1, 1), QDate(2026, 12, 31));
        confirm(w);
        ASSERT_TRUE(w.reportShown());
    }
    // Row of the grid whose column 1 holds text, -1 when none does.
    static int rowOf(const ui::ReportGrid& g, const QString& text) {
        for (int r = 0; r < g.model()->rowCount(); ++r)
            if (g.model()->index(r, 1).data().toString() == text)
                return r;
        return -1;
    }
};

TEST_F(FeeReportOutputTest, GridShowsMergedCaptionsSubtotalColoursAndMarkedAmounts) {
    fees::FeeQueryWindow w;
    build(w);
    ui::ReportGrid* g = w.grid();
    ASSERT_TRUE(g);
    EXPECT_EQ(s(g->objectName()), "高级表格");
    EXPECT_GE(g->width(), 895);
    EXPECT_EQ(g->model()->columnCount(), 17);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(g->columnSpan(0, 2 + 3 * k), 3);
    EXPECT_GE(g->columnWidth(1), 60);
    EXPECT_GE(g->columnWidth(1), g->fontMetrics().horizontalAdvance(kA)); // no plate cut off
    EXPECT_EQ(g->columnWidth(4), 90);
    EXPECT_EQ(g->columnWidth(16), 90);
    const QAbstractItemModel* m = g->model();
    // kB (first in 总表): one record and its subtotal row; kA: two records and its subtotal row.
    EXPECT_EQ(rowOf(*g, kB), 2);
    EXPECT_EQ(rowOf(*g, kA), 4);
    const int total = rowOf(*g, u"合计"_s);
    ASSERT_EQ(total, 7);
    EXPECT_EQ(m->rowCount(), 8);
    EXPECT_EQ(s(m->index(6, 2).data().toString()), "301.2");
    EXPECT_EQ(s(m->index(6, 3).data().toString()), "50");
    EXPECT_EQ(s(m->index(total, 2).data().toString()), "301.2");
    EXPECT_EQ(s(m->index(total, 8).data().toString()), "3000");
    const QColor subtotal(0x00, 0x88, 0xFF);
    for (int row : {3, 6, total})
        for (int k = 0; k < 5; ++k) {
            EXPECT_EQ(m->index(row, 2 + 3 * k).data(Qt::BackgroundRole).value<QColor>(), subtotal) << row;
            EXPECT_EQ(m->index(row, 3 + 3 * k).data(Qt::BackgroundRole).value<QColor>(), subtotal) << row;
        }
    EXPECT_EQ(s(m->index(5, 3).data().toString()), "五十");
    EXPECT_EQ(m->index(5, 3).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
    EXPECT_NE(m->index(4, 3).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
}

TEST_F(FeeReportOutputTest, PrintPreviewAndExportTakeTheGridWithItsGrandTotal) {
    fees::FeeQueryWindow w;
    build(w);
    const QString pdf = dataDir() + u"/printed.pdf"_s;
    ui::SetPrintDialogHook([&](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });
    child<QPushButton>(w, u"超级按钮_打印"_s)->click();
    const QStringList pages = report_test::pdfPages(pdf);
    ASSERT_EQ(pages.size(), 1);
    const QString page = report_test::squeezed(pages[0]);
    EXPECT_TRUE(page.contains(u"车号为全部车辆从2026-1-1到2026-12-31的全部费用的内容。"_s)) << s(page);
    EXPECT_TRUE(page.contains(u"合计"_s));
    EXPECT_TRUE(page.contains(u"301.2"_s));

    int previews = 0;
    ui::SetPreviewHook([&](QPrintPreviewDialog&) { ++previews; });
    child<QPushButton>(w, u"超级按钮_打印预览"_s)->click();
    EXPECT_EQ(previews, 1);

    const QString csv = dataDir() + u"/导出.csv"_s;
    shown.files.push_back(csv);
    child<QPushButton>(w, u"超级按钮_导出"_s)->click();
    EXPECT_EQ(shown.shown.last(), u"导出成功！"_s);
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains(u",合计,301.2,50,,0,0,,3000,3000,"_s)) << s(text);
}

TEST_F(FeeReportOutputTest, FailingKindQueryIsReportedAndOnlyThatKindIsSkipped) {
    // A table made without the insurance payment date: only the insurance query fails.
    QStringList columns;
    for (const store::ColumnDef& c : store::VehicleColumns()) {
        if (c.name == u"保险缴费日期"_s)
            continue;
        static const char* const types[] = {"integer primary key autoincrement", "text", "date", "yesno default 0",
                                            "blob"};
        columns << u"["_s + c.name + u"] "_s + QString::fromLatin1(types[int(c.type)]);
    }
    const QString plate = u"京D45678"_s;
    ASSERT_TRUE(db().ExecuteStatement(u"create table "_s + plate + u" ("_s + columns.join(u", "_s) + u")"_s));
    ASSERT_TRUE(db().ExecuteStatement(u"insert into [总表]([档案编号],[车牌号]) values('9','"_s + plate + u"')"_s));
    fleet->pay(plate, 0, u"7"_s, u"7"_s, QDate(2026, 3, 3));
    fees::FeeQueryWindow w;
    build(w);
    EXPECT_EQ(shown.shown, QStringList({u"查询失败！"_s}));
    const int row = rowOf(*w.grid(), plate);
    ASSERT_GT(row, 0);
    EXPECT_EQ(s(w.grid()->model()->index(row, 2).data().toString()), "7");
}

} // namespace
