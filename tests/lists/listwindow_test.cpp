#include "listfleet.h"

#include "alerts/alerttree.h"
#include "app/mainwindow.h"
#include "archive/records.h"
#include "archive/vehicledata.h"
#include "cli/commands.h"
#include "lists/listwindow.h"
#include "report/readback.h"
#include "ui/reportgrid.h"
#include "ui/reportprint.h"

#include <QAction>
#include <QDir>
#include <QJsonDocument>
#include <QLabel>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QTest>

using lists_test::ListTest;

namespace {

// Screenshots and printed pages for a person to look at go to $VELMORA_SHOT_DIR when it is set.
void keep(const QString& name, const std::function<void(const QString& path)>& write) {
    const QString dir = qEnvironmentVariable("VELMORA_SHOT_DIR");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        write(QDir(dir).filePath(name));
    }
}

class ListWindowTest : public ListTest {
protected:
    void TearDown() override {
        ui::SetPrintDialogHook(nullptr);
        ui::SetPreviewHook(nullptr);
        ListTest::TearDown();
    }

    // A vehicle added and renewed the way the record form does it.
    void saveVehicle(const QString& plate, const QString& archive, const QString& owner, int status = 1) {
        archive::NewVehicle v;
        v.values.insert(u"主车牌号"_s, plate);
        v.values.insert(u"档案编号"_s, archive);
        v.values.insert(u"车主姓名"_s, owner);
        v.values.insert(u"车主电话"_s, u"1390000"_s + archive);
        v.values.insert(u"挂车牌号"_s, plate + u"挂"_s);
        v.values.insert(u"主车架号"_s, u"LV"_s + archive);
        v.values.insert(u"驾驶员A身份证号"_s, u"37010219900101"_s + archive);
        v.values.insert(u"A姓名"_s, u"司机"_s + archive);
        v.values.insert(u"从业资格证号"_s, u"ZG"_s + archive);
        v.values.insert(u"车辆状态"_s, status);
        for (const char16_t* copy : {u"审车车号", u"二维车号", u"保险车号", u"管理车号", u"营运车号"})
            v.values.insert(QString::fromUtf16(copy), plate);
        const archive::SaveResult r = archive::SaveNewVehicleRows(db(), v);
        ASSERT_TRUE(r.ok) << r.message.toStdString();
    }
    void record(int page, const QString& plate, archive::RecordValues values) {
        // The form copies the plate into the record and always has a date in every date box.
        const char16_t* const copies[] = {u"", u"审车车号", u"二维车号", u"保险车号", u"管理车号", u"营运车号"};
        values.insert(QString::fromUtf16(copies[page]), plate);
        for (const archive::RecordField& f : archive::RecordFields(page))
            if (f.kind == archive::ValueKind::Date && !values.contains(f.column))
                values.insert(f.column, QDate(2026, 3, 9));
        const archive::RecordOutcome r = archive::AddRecordRow(db(), page, plate, values);
        ASSERT_TRUE(r.ok) << r.message.toStdString();
    }
    // A fleet that fills every list.
    void fillFleet(int vehicles) {
        const QDate dates[] = {QDate(2026, 5, 3),  QDate(2026, 6, 4), QDate(2026, 4, 5), QDate(2026, 3, 6),
                               QDate(2025, 11, 7), QDate(2026, 9, 8), QDate(2027, 1, 9)};
        for (int v = 0; v < vehicles; ++v) {
            const QString p = u"鲁D%1"_s.arg(40000 + v);
            const QString a = u"%1"_s.arg(v + 1, 3, 10, QChar(u'0'));
            saveVehicle(p, a, u"车主%1"_s.arg(v + 1), v % 11 == 10 ? 2 : 1);
            record(1, p, {{u"下次审车日期"_s, dates[v % 7]}, {u"下次挂车审车日期"_s, dates[(v + 3) % 7]}});
            record(
                2, p,
                {{u"下次二维日期"_s, dates[(v + 1) % 7]}, {u"二维卡号"_s, u"EW"_s + a}, {u"二维驻外"_s, v % 2 == 0}});
            record(3, p,
                   {{u"下次保险日期"_s, dates[(v + 2) % 7]},
                    {u"下次挂车保险日期"_s, dates[(v + 5) % 7]},
                    {u"保险公司名称"_s, u"人保"_s},
                    {u"保单号"_s, u"BD"_s + a}});
            record(4, p, {{u"下次管理费用日期"_s, dates[(v + 3) % 7]}});
            record(5, p, {{u"下次营运证日期"_s, dates[(v + 4) % 7]}, {u"营运证号"_s, u"YY"_s + a}});
        }
    }
    // AlertSets and ReferenceMonth as the main window's refresh and clock leave them.
    void refreshSession() {
        store::session().AlertSets = alerts::ComputeAlerts(db(), month).sets;
        store::session().ReferenceMonth = month;
    }
    std::unique_ptr<lists::ListWindow> open(const QString& title) {
        lists::ListSelector()[*lists::FindList(title)] = true;
        return std::make_unique<lists::ListWindow>();
    }
    static QPushButton* button(QWidget* w, const QString& name) { return w->findChild<QPushButton*>(name); }
};

TEST_F(ListWindowTest, BuildsTheSelectedListOnceWithCaptionAndTitleLabel) {
    fillFleet(12);
    refreshSession();
    auto w = open(u"拉黑车辆清单"_s);
    EXPECT_EQ(w->windowTitle(), u"拉黑车辆清单"_s);
    EXPECT_EQ(w->findChild<QLabel*>(u"透明标签_打印窗口的标题"_s)->text(), u"拉黑车辆清单"_s);
    ASSERT_NE(button(w.get(), u"超级按钮_打印"_s), nullptr);
    ASSERT_NE(button(w.get(), u"超级按钮_打印预览"_s), nullptr);
    EXPECT_EQ(button(w.get(), u"超级按钮_导出"_s)->text(), u"导出"_s);
    ui::ReportGrid* grid = w->grid();
    EXPECT_EQ(grid->objectName(), u"高级表格"_s);
    const int members = int(store::session().AlertSets[16].size());
    ASSERT_GT(members, 0);
    EXPECT_EQ(grid->model()->rowCount(), members + 2);
    EXPECT_EQ(grid->columnSpan(0, 1), 4);
    EXPECT_EQ(grid->columnSpan(0, 5), 5);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(u' ').toStdString();
    // The window fills the screen.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(w->geometry().width(), screen.width());
    w->show();
    QCoreApplication::processEvents();
    EXPECT_GT(grid->height(), screen.height() / 2);
    keep(u"listwindow-blacklist.png"_s, [&](const QString& path) { w->grab().save(path); });
    // On paper the two header rows keep their merged captions.
    const QString pdf = dataDir() + u"/blacklist.pdf"_s;
    ui::SetPrintDialogHook([&](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });
    button(w.get(), u"超级按钮_打印"_s)->click();
    const QStringList pages = report_test::pdfPages(pdf);
    ASSERT_EQ(pages.size(), 1);
    const QString page = report_test::squeezed(pages[0]);
    EXPECT_EQ(page.count(u"客户信息"_s), 1);
    EXPECT_EQ(page.count(u"拉黑具体原因"_s), 1);
    // Every reason is printed: the title and the merged caption hold the word once more each.
    int reasons = 0;
    for (int r = 2; r < w->grid()->table().rowCount(); ++r)
        for (int c = 5; c <= 9; ++c)
            reasons += w->grid()->table().cell(r, c).text == u"拉黑"_s;
    EXPECT_GT(reasons, 0);
    EXPECT_EQ(page.count(u"拉黑"_s), reasons + 2);
    EXPECT_TRUE(page.contains(u"营运证过期"_s));
    // Closing clears every flag.
    w->close();
    EXPECT_FALSE(lists::SelectedList(lists::ListSelector()).has_value());
}

TEST_F(ListWindowTest, AnEmptyNodeShowsCaptionTitleLabelAndTheCommonHeader) {
    refreshSession();
    auto w = open(u"公司车辆台账清单"_s);
    EXPECT_EQ(w->windowTitle(), u"公司车辆台账清单"_s);
    EXPECT_EQ(w->findChild<QLabel*>(u"透明标签_打印窗口的标题"_s)->text(), u"公司车辆台账清单"_s);
    const report::ReportTable t = w->grid()->currentTable();
    ASSERT_EQ(t.rowCount(), 1);
    EXPECT_EQ(t.cell(0, 1).text, u"档案编号"_s);
    EXPECT_EQ(t.cell(0, 4).text, u"车主电话"_s);
    EXPECT_TRUE(t.printTitle.text.isEmpty());
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(ListWindowTest, FailuresAreShownInOrderAndTheFilledRowsStay) {
    saveVehicle(u"鲁E1"_s, u"001"_s, u"甲"_s);
    record(1, u"鲁E1"_s, {{u"下次审车日期"_s, QDate(2026, 5, 9)}});
    fleet->vehicleWithout(u"鲁E2"_s, u"下次营运证日期"_s);
    basicRow(u"鲁E2"_s, u"002"_s);
    fleet->inspection(u"鲁E2"_s, QDate(2026, 5, 10));
    refreshSession();
    dialogs.shown.clear();
    auto w = open(u"本月需审车辆清单"_s);
    EXPECT_EQ(dialogs.shown, QStringList({u"查询失败车辆！！"_s}));
    EXPECT_EQ(w->grid()->model()->rowCount(), 3);
    // Without a database file the build still runs and reports.
    w.reset();
    QFile::remove(dbPath());
    dialogs.shown.clear();
    w = open(u"本月需审车辆清单"_s);
    EXPECT_EQ(dialogs.shown, QStringList({u"数据库丢失！"_s, u"数据库打开失败！"_s, u"查询失败车辆！"_s}));
}

TEST_F(ListWindowTest, GridCurrentCellIsKeptAcrossOpeningsAndDrivesTheDeleteCommands) {
    fillFleet(8);
    refreshSession();
    auto w = open(u"公司车辆台账清单"_s);
    w->grid()->setCurrentCell(2, 3);
    EXPECT_EQ(lists::GridCurrentCell().row, 2);
    EXPECT_EQ(lists::GridCurrentCell().column, 3);
    const QString deletedPlate = w->grid()->table().cell(2, 2).text;
    w->close();
    w.reset();

    w = open(u"公司车辆台账清单"_s);
    EXPECT_EQ(lists::GridCurrentCell().row, 2);
    EXPECT_EQ(lists::GridCurrentCell().column, 3);
    EXPECT_EQ(w->grid()->currentRow(), 2);
    w->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(lists::GridCurrentCell().row, 2); // showing and focusing the grid keep it
    const int rows = w->grid()->table().rowCount();
    w->findChild<QAction*>(u"菜单_删除行"_s)->trigger();
    EXPECT_EQ(w->grid()->table().rowCount(), rows - 1);
    EXPECT_FALSE(report::CsvText(w->grid()->currentTable()).contains(deletedPlate.toUtf8()));
    w->findChild<QAction*>(u"菜单_删除列"_s)->trigger();
    EXPECT_EQ(w->grid()->table().columnCount(), 17);
    EXPECT_NE(w->grid()->table().cell(0, 3).text, u"挂车牌号"_s);
    // The database is untouched: a new opening shows the whole list again.
    w.reset();
    w = open(u"公司车辆台账清单"_s);
    EXPECT_EQ(w->grid()->table().rowCount(), rows);
    EXPECT_EQ(w->grid()->table().columnCount(), 18);
}

TEST_F(ListWindowTest, RightButtonPopsUpTheTableMenu) {
    fillFleet(3);
    refreshSession();
    auto w = open(u"公司车辆台账清单"_s);
    w->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(w->tableMenu()->title(), u"表格操作"_s);
    QStringList items;
    for (QAction* a : w->tableMenu()->actions())
        items << a->text();
    EXPECT_EQ(items, QStringList({u"删除行"_s, u"删除列"_s}));
    ui::ReportGrid* grid = w->grid();
    const QRect cell = grid->visualRect(grid->model()->index(2, 1));
    QTest::mousePress(grid->viewport(), Qt::RightButton, {}, cell.center());
    EXPECT_TRUE(w->tableMenu()->isVisible());
    EXPECT_EQ(lists::GridCurrentCell().row, 2);
    EXPECT_EQ(lists::GridCurrentCell().column, 1);
    w->tableMenu()->hide();
}

TEST_F(ListWindowTest, DeletedRowAndColumnAreMissingFromPaperAndFiles) {
    fillFleet(10);
    refreshSession();
    auto w = open(u"公司车辆台账清单"_s);
    ui::ReportGrid* grid = w->grid();
    const QString plate = grid->table().cell(3, 2).text; // a vehicle …
    const QString frame = grid->table().cell(1, 4).text; // … and the frame-number column
    const QString kept = grid->table().cell(4, 2).text;
    ASSERT_FALSE(plate.isEmpty());
    ASSERT_TRUE(frame.startsWith(u"LV"_s));
    grid->setCurrentCell(3, 2);
    w->deleteRowCommand();
    grid->setCurrentCell(0, 4);
    w->deleteColumnCommand();

    // Printed through the print button (the dialog seam prints into a PDF file).
    const QString pdf = dataDir() + u"/printed.pdf"_s;
    ui::SetPrintDialogHook([&](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });
    button(w.get(), u"超级按钮_打印"_s)->click();
    const QString printed = report_test::squeezed(report_test::pdfPages(pdf).join(u'\f'));
    EXPECT_TRUE(printed.contains(kept));
    EXPECT_FALSE(printed.contains(plate));
    EXPECT_FALSE(printed.contains(u"主车架号"_s));
    EXPECT_FALSE(printed.contains(u"LV0"_s));

    // Exported through the export button as Excel, CSV and PDF.
    for (const QString& name : {u"list.xlsx"_s, u"list.csv"_s, u"list.pdf"_s})
        dialogs.files.push_back(dataDir() + u"/"_s + name);
    for (int i = 0; i < 3; ++i)
        button(w.get(), u"超级按钮_导出"_s)->click();
    EXPECT_EQ(dialogs.shown, QStringList({u"导出成功！"_s, u"导出成功！"_s, u"导出成功！"_s}));
    const QString sheet = report_test::xlsxRows(dataDir() + u"/list.xlsx"_s).join(u'\n');
    EXPECT_TRUE(sheet.contains(kept));
    EXPECT_FALSE(sheet.contains(plate));
    EXPECT_FALSE(sheet.contains(u"主车架号"_s));
    EXPECT_TRUE(sheet.contains(u"挂车牌号"_s));
    QFile csv(dataDir() + u"/list.csv"_s);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QString csvText = QString::fromUtf8(csv.readAll());
    EXPECT_TRUE(csvText.contains(kept));
    EXPECT_FALSE(csvText.contains(plate));
    EXPECT_FALSE(csvText.contains(u"LV0"_s));
    const QString exported = report_test::squeezed(report_test::pdfPages(dataDir() + u"/list.pdf"_s).join(u'\f'));
    EXPECT_TRUE(exported.contains(kept));
    EXPECT_FALSE(exported.contains(plate));
}

TEST_F(ListWindowTest, SixtyVehicleLedgerPrintsWholeRowsUnderRepeatedHeaders) {
    fillFleet(66); // six of them transferred out: sixty in the ledger
    refreshSession();
    ASSERT_EQ(store::session().AlertSets[0].size(), 60);
    auto w = open(u"公司车辆台账清单"_s);
    const QString pdf = dataDir() + u"/ledger.pdf"_s;
    ui::SetPrintDialogHook([&](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });
    button(w.get(), u"超级按钮_打印"_s)->click();
    keep(u"ledger-60.pdf"_s, [&](const QString& path) {
        QFile::remove(path);
        QFile::copy(pdf, path);
    });
    const QStringList pages = report_test::pdfPages(pdf);
    ASSERT_GE(pages.size(), 2);
    QMap<QString, int> pageOf;
    for (int p = 0; p < pages.size(); ++p) {
        const QString page = report_test::squeezed(pages[p]);
        EXPECT_TRUE(page.contains(u"公司车辆台账清单"_s));
        for (const char16_t* caption : {u"车主姓名", u"主车牌号", u"二维驻外", u"营运证号", u"备注"})
            EXPECT_TRUE(page.contains(QString::fromUtf16(caption))) << p;
        EXPECT_TRUE(page.contains(u"第%1页/共%2页"_s.arg(p + 1).arg(pages.size()))) << p;
        // Every row on this page is whole: its plate, trailer, owner and permit number together.
        for (int v = 0; v < 66; ++v) {
            const QString plate = u"鲁D%1"_s.arg(40000 + v);
            const QString a = u"%1"_s.arg(v + 1, 3, 10, QChar(u'0'));
            if (!page.contains(plate + u"挂"_s))
                continue;
            EXPECT_FALSE(pageOf.contains(plate));
            pageOf.insert(plate, p);
            EXPECT_TRUE(page.contains(u"YY"_s + a)) << plate.toStdString();
            EXPECT_TRUE(page.contains(u"LV"_s + a)) << plate.toStdString();
        }
    }
    EXPECT_EQ(pageOf.size(), 60);
}

TEST_F(ListWindowTest, PreviewShowsThePagesOfTheGrid) {
    fillFleet(20);
    refreshSession();
    auto w = open(u"公司车辆台账清单"_s);
    w->show();
    QCoreApplication::processEvents();
    keep(u"listwindow-ledger.png"_s, [&](const QString& path) { w->grab().save(path); });
    int pages = 0;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    ui::SetPreviewHook([&](QPrintPreviewDialog& dialog) {
        dialog.resize(1200, 900);
        dialog.show();
        QCoreApplication::processEvents();
        auto* preview = dialog.findChild<QPrintPreviewWidget*>();
        preview->updatePreview();
        QCoreApplication::processEvents();
        pages = preview->pageCount();
        orientation = dialog.printer()->pageLayout().orientation();
        keep(u"print-preview.png"_s, [&](const QString& path) { dialog.grab().save(path); });
        dialog.close();
    });
    button(w.get(), u"超级按钮_打印预览"_s)->click();
    EXPECT_GE(pages, 1);
    EXPECT_EQ(orientation, QPageLayout::Landscape);
}

TEST_F(ListWindowTest, TheSeventeenMenuItemsOpenTheirLists) {
    fillFleet(12);
    auto main = std::make_unique<app::MainWindow>();
    ASSERT_TRUE(main->initialise([](QWidget*) {
        store::Permissions p;
        p.增删车辆 = p.修改车辆信息 = p.增加车辆信息 = p.费用可见 = p.统计查询 = p.权限设置 = true;
        store::session().OperatorPermissions = p;
        return true;
    }));
    for (const lists::ListInfo& info : lists::Lists()) {
        QAction* action = main->parts().action(info.menuItem);
        ASSERT_NE(action, nullptr) << info.menuItem.toStdString();
        if (!action->isEnabled())
            continue; // a node without members
        QString caption;
        int rows = -1;
        testing_support::WhenModal([&](QWidget* modal) {
            auto* w = qobject_cast<lists::ListWindow*>(modal);
            ASSERT_NE(w, nullptr);
            EXPECT_EQ(w->parentWidget(), main.get());
            caption = w->windowTitle();
            rows = w->grid()->table().dataRowCount();
            w->close();
        });
        action->trigger();
        EXPECT_EQ(caption, info.title);
        const int members = int(store::session().AlertSets[info.node].size());
        EXPECT_EQ(rows, members) << info.title.toStdString();
        EXPECT_FALSE(lists::SelectedList(lists::ListSelector()).has_value());
    }
}

TEST_F(ListWindowTest, CommandLineListMatchesTheWindowForEveryTitle) {
    fillFleet(24);
    auto cli = [&](const QStringList& args, QString* output, QString* errors = nullptr) {
        QString o, e;
        QTextStream out(&o), err(&e);
        const int status = cli::Run(args, out, err);
        out.flush();
        err.flush();
        *output = o;
        if (errors)
            *errors = e;
        return status;
    };
    QString titles;
    ASSERT_EQ(cli({u"list"_s, u"--titles"_s}, &titles), 0);
    EXPECT_EQ(titles.split(u'\n', Qt::SkipEmptyParts), lists::ListTitles());

    int filled = 0; // lists with at least one vehicle
    for (const lists::ListInfo& info : lists::Lists()) {
        QString json, errors;
        const int status =
            cli({u"list"_s, info.title, u"--today"_s, u"2026-05-12"_s, u"--data-dir"_s, dataDir()}, &json, &errors);
        EXPECT_EQ(status, 0) << errors.toStdString();
        // The window after the same refresh.
        refreshSession();
        auto w = open(info.title);
        const QJsonObject shown = report::ToJson(w->grid()->currentTable());
        filled += w->grid()->table().dataRowCount() > 0;
        EXPECT_EQ(QJsonDocument::fromJson(json.toUtf8()).object(), shown) << info.title.toStdString();
        w.reset();
    }
    EXPECT_GE(filled, 15);
    // The menu item's text names the list too; csv to standard output; xlsx and pdf to files.
    QString byMenu, csv;
    ASSERT_EQ(cli({u"list"_s, u"脱营车辆清单"_s, u"--data-dir"_s, dataDir()}, &byMenu), 0);
    EXPECT_EQ(QJsonDocument::fromJson(byMenu.toUtf8()).object().value(u"title"_s).toString(), u"脱营运车辆清单"_s);
    ASSERT_EQ(cli({u"list"_s, u"公司车辆台账清单"_s, u"--format"_s, u"csv"_s, u"--data-dir"_s, dataDir()}, &csv), 0);
    EXPECT_TRUE(csv.startsWith(QChar(0xFEFF)));
    EXPECT_EQ(csv.count(u"\r\n"_s), 1 + int(store::session().AlertSets[0].size()));
    const QString pdf = dataDir() + u"/l.pdf"_s;
    QString none;
    ASSERT_EQ(
        cli({u"list"_s, u"公司车辆台账清单"_s, u"--format"_s, u"pdf"_s, u"--output"_s, pdf, u"--data-dir"_s, dataDir()},
            &none),
        0);
    EXPECT_TRUE(report_test::squeezed(report_test::pdfPages(pdf).join(u""_s)).contains(u"第1页/共"_s));
    // An unknown title fails and lists the titles; pdf needs a file.
    QString errors;
    EXPECT_NE(cli({u"list"_s, u"没有的清单"_s, u"--data-dir"_s, dataDir()}, &none, &errors), 0);
    EXPECT_TRUE(errors.contains(u"公司车辆台账清单"_s));
    EXPECT_TRUE(errors.contains(u"预警年审车辆清单"_s));
    EXPECT_NE(cli({u"list"_s, u"公司车辆台账清单"_s, u"--format"_s, u"pdf"_s, u"--data-dir"_s, dataDir()}, &none), 0);
}

} // namespace

namespace {

struct NoticeWindowCase {
    const char* name;
    bool feesVisible;
};
class NoticeWindowTest : public ListWindowTest, public ::testing::WithParamInterface<NoticeWindowCase> {};

// 车主通知单 of the list as the grid shows it: a deleted row's vehicle stays out, one page per
// owner, the amounts only with 费用可见; the missing company details are pointed out.
TEST_P(NoticeWindowTest, ExportsOnePdfOfTheOwnersStillListed) {
    const struct {
        const char16_t* plate;
        const char16_t* owner;
        const char16_t* fee;
    } vehicles[] = {{u"鲁E100", u"甲车主", u"310"}, {u"鲁E101", u"乙车主", u"320"}, {u"鲁E102", u"丙车主", u"330"}};
    int n = 0;
    for (const auto& v : vehicles) {
        const QString plate = QString::fromUtf16(v.plate);
        saveVehicle(plate, u"00%1"_s.arg(++n), QString::fromUtf16(v.owner));
        record(1, plate,
               {{u"下次审车日期"_s, QDate(2026, 5, 20)},
                {u"下次挂车审车日期"_s, QDate(2026, 8, 1)},
                {u"审车应缴费用"_s, QString::fromUtf16(v.fee)}});
    }
    refreshSession();
    store::session().OperatorPermissions.费用可见 = GetParam().feesVisible;
    auto w = open(u"本月需审车辆清单"_s);
    const report::ReportTable shown = w->grid()->currentTable();
    int deleted = -1;
    for (int r = shown.headerRows; r < shown.rowCount(); ++r)
        if (shown.rowKey(r) == u"鲁E101"_s)
            deleted = r;
    ASSERT_GT(deleted, 0);
    lists::GridCurrentCell() = {deleted, 1};
    w->deleteRowCommand();

    const QString pdf = QDir(dataDir()).filePath(u"notices.pdf"_s);
    dialogs.files.push_back(pdf);
    dialogs.shown.clear();
    QAction* exportItem = w->noticeMenu()->findChild<QAction*>(u"菜单_导出通知单"_s);
    ASSERT_NE(exportItem, nullptr);
    exportItem->trigger();
    EXPECT_EQ(dialogs.shown, (QStringList{lists::kCompanyMissing, u"导出成功！"_s}));
    const QStringList pages = report_test::pdfPages(pdf);
    ASSERT_EQ(pages.size(), 2);
    const char16_t* const owners[] = {u"甲车主", u"丙车主"};
    const char16_t* const fees[] = {u"本月需审310", u"本月需审330"};
    for (int p = 0; p < 2; ++p) {
        const QString page = report_test::squeezed(pages[p]);
        EXPECT_TRUE(page.contains(QString::fromUtf16(owners[p]))) << page.toStdString();
        EXPECT_FALSE(page.contains(QString::fromUtf16(owners[1 - p])));
        EXPECT_FALSE(page.contains(u"乙车主"_s));
        EXPECT_EQ(page.contains(QString::fromUtf16(fees[p])), GetParam().feesVisible) << page.toStdString();
    }
    if (GetParam().feesVisible)
        keep(u"notices-window.pdf"_s, [&](const QString& path) { QFile::copy(pdf, path); });

    // The preview paints the same pages.
    int previewPages = 0;
    ui::SetPreviewHook([&](QPrintPreviewDialog& dialog) {
        auto* preview = dialog.findChild<QPrintPreviewWidget*>();
        ASSERT_NE(preview, nullptr);
        preview->updatePreview();
        previewPages = preview->pageCount();
    });
    w->noticeMenu()->findChild<QAction*>(u"菜单_通知单打印预览"_s)->trigger();
    EXPECT_EQ(previewPages, 2);
}

INSTANTIATE_TEST_SUITE_P(Fees, NoticeWindowTest,
                         ::testing::Values(NoticeWindowCase{"Visible", true}, NoticeWindowCase{"Hidden", false}),
                         [](const auto& p) { return std::string(p.param.name); });

// A list whose vehicles have nothing due tells so and prints nothing.
TEST_F(ListWindowTest, NoNoticeWhenNothingIsDue) {
    saveVehicle(u"鲁E200"_s, u"001"_s, u"甲"_s);
    record(1, u"鲁E200"_s, {{u"下次审车日期"_s, QDate(2026, 12, 20)}, {u"下次挂车审车日期"_s, QDate(2026, 12, 20)}});
    refreshSession();
    auto w = open(u"公司车辆台账清单"_s);
    bool previewed = false;
    ui::SetPreviewHook([&](QPrintPreviewDialog&) { previewed = true; });
    dialogs.shown.clear();
    w->previewNoticesCommand();
    EXPECT_FALSE(previewed);
    EXPECT_EQ(dialogs.shown, QStringList{u"清单中的车辆没有已到期或即将到期的项目，没有需要通知的车主！"_s});
}

} // namespace
