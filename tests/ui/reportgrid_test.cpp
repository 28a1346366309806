#include "report/exports.h"
#include "ui/reportgrid.h"
#include "ui/reportprint.h"

#include "report/readback.h"
#include "support/testsupport.h"

#include <QDateEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QSignalSpy>
#include <QTemporaryDir>

using report::Cell;
using report::CellKind;
using report::ReportTable;

namespace {

ReportTable table() {
    ReportTable t;
    t.title = u"拉黑车辆清单"_s;
    t.printTitle = {u"拉黑车辆清单"_s, u"黑体"_s, 20, true};
    t.headerRows = 2;
    t.setColumnCount(5);
    t.appendRow();
    t.appendRow();
    t.merge(0, 1, 1, 2);
    t.setText(0, 1, u"客户信息"_s);
    t.setText(1, 1, u"编号"_s);
    t.setText(1, 2, u"车牌"_s);
    t.setText(1, 3, u"驻外"_s);
    t.setText(1, 4, u"日期"_s);
    t.setColumnKind(3, CellKind::YesNo);
    t.setColumnKind(4, CellKind::Date);
    t.setColumnWidth(2, 140);
    for (int i = 1; i <= 3; ++i) {
        const int r = t.appendRow();
        t.setText(r, 0, QString::number(i));
        t.setText(r, 1, u"编%1"_s.arg(i));
        t.setText(r, 2, u"鲁A1000%1"_s.arg(i));
        t.setYesNo(r, 3, i == 2);
        t.setDate(r, 4, QDate(2026, i, 1));
    }
    return t;
}

class GridTest : public ::testing::Test {
protected:
    ui::ReportGrid grid;
    void SetUp() override { grid.setTable(table()); }
    QVariant data(int r, int c, int role = Qt::DisplayRole) { return grid.model()->index(r, c).data(role); }
};

TEST_F(GridTest, ShowsMergesWidthsCheckBoxesAndDates) {
    EXPECT_EQ(grid.objectName(), u"高级表格"_s);
    EXPECT_EQ(grid.model()->rowCount(), 5);
    EXPECT_EQ(grid.columnSpan(0, 1), 2);
    EXPECT_EQ(grid.columnSpan(1, 1), 1);
    EXPECT_EQ(grid.columnWidth(2), 140);
    EXPECT_EQ(data(0, 1).toString(), u"客户信息"_s);
    EXPECT_EQ(data(3, 3, Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Checked);
    EXPECT_EQ(data(2, 3, Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
    EXPECT_FALSE(data(2, 3).isValid()); // a check box, no text
    EXPECT_EQ(data(2, 4).toString(), u"2026-01-01"_s);
    EXPECT_TRUE(data(0, 1, Qt::FontRole).value<QFont>().bold());
    // Cells the table does not mark editable cannot be changed.
    EXPECT_FALSE(grid.model()->flags(grid.model()->index(2, 2)) & Qt::ItemIsEditable);
    EXPECT_FALSE(grid.model()->setData(grid.model()->index(2, 2), u"x"_s, Qt::EditRole));
}

TEST_F(GridTest, ReportsTheCurrentCell) {
    QSignalSpy spy(&grid, &ui::ReportGrid::currentCellChanged);
    grid.setCurrentCell(3, 2);
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy[0][0].toInt(), 3);
    EXPECT_EQ(spy[0][1].toInt(), 2);
    EXPECT_EQ(grid.currentRow(), 3);
    EXPECT_EQ(grid.currentColumn(), 2);
}

TEST_F(GridTest, DeletedRowsAndColumnsAreGoneFromTheCurrentContent) {
    EXPECT_TRUE(grid.deleteRow(3));
    EXPECT_TRUE(grid.deleteColumn(1)); // under the merge: its text moves on
    EXPECT_FALSE(grid.deleteRow(40));
    EXPECT_FALSE(grid.deleteColumn(-1));
    const ReportTable t = grid.currentTable();
    EXPECT_EQ(t.rowCount(), 4);
    EXPECT_EQ(t.columnCount(), 4);
    EXPECT_EQ(t.cell(0, 1).text, u"客户信息"_s);
    EXPECT_EQ(t.cell(3, 1).text, u"鲁A10003"_s);
    EXPECT_EQ(grid.columnSpan(0, 1), 1);
    const QByteArray csv = report::CsvText(t);
    EXPECT_FALSE(csv.contains("鲁A10002"));
    EXPECT_FALSE(csv.contains("编1"));
    EXPECT_TRUE(csv.contains("鲁A10001"));
}

TEST_F(GridTest, EditableCellsTakeTextsDatesAndChecks) {
    QSignalSpy edited(&grid, &ui::ReportGrid::cellEdited);
    grid.setColumnEditable(2, true);
    grid.setCellEditable(2, 3, true);
    grid.setCellEditable(2, 4, true);
    QAbstractItemModel* m = grid.model();
    EXPECT_TRUE(m->flags(m->index(2, 2)) & Qt::ItemIsEditable);
    EXPECT_FALSE(m->flags(m->index(1, 2)) & Qt::ItemIsEditable); // header rows stay
    EXPECT_TRUE(m->flags(m->index(2, 3)) & Qt::ItemIsUserCheckable);
    EXPECT_TRUE(m->setData(m->index(2, 2), u"鲁B1"_s, Qt::EditRole));
    EXPECT_TRUE(m->setData(m->index(2, 3), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(m->setData(m->index(2, 4), QDate(2027, 3, 4), Qt::EditRole));
    EXPECT_EQ(edited.size(), 3);
    const ReportTable t = grid.currentTable();
    EXPECT_EQ(t.cell(2, 2).text, u"鲁B1"_s);
    EXPECT_TRUE(t.cell(2, 3).yes);
    EXPECT_EQ(t.cell(2, 4).date, QDate(2027, 3, 4));

    // The date editor is a calendar pop-up in the program's date form.
    grid.show();
    grid.setCurrentCell(2, 4);
    grid.edit(m->index(2, 4));
    auto* editor = grid.findChild<QDateEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->calendarPopup());
    EXPECT_EQ(editor->date(), QDate(2027, 3, 4));
    EXPECT_EQ(editor->displayFormat(), u"yyyy-MM-dd"_s);
}

TEST_F(GridTest, TheEntryRowTakesANewRecordOutsideTheTable) {
    QSignalSpy entry(&grid, &ui::ReportGrid::entryRowEdited);
    grid.setEntryRowEnabled(true);
    QAbstractItemModel* m = grid.model();
    ASSERT_EQ(m->rowCount(), 6);
    EXPECT_TRUE(m->setData(m->index(5, 2), u"鲁C9"_s, Qt::EditRole));
    EXPECT_TRUE(m->setData(m->index(5, 3), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(m->setData(m->index(5, 4), QDate(2026, 9, 9), Qt::EditRole));
    EXPECT_EQ(entry.size(), 3);
    EXPECT_EQ(grid.currentTable().rowCount(), 5); // not printed, not exported
    QList<Cell> cells = grid.entryRowCells();
    ASSERT_EQ(cells.size(), 5);
    EXPECT_EQ(cells[2].text, u"鲁C9"_s);
    EXPECT_EQ(cells[3].kind, CellKind::YesNo);
    EXPECT_TRUE(cells[3].yes);
    EXPECT_EQ(cells[4].date, QDate(2026, 9, 9));
    // Committed by the window: a data row, and the entry row blank again.
    for (Cell& c : cells)
        c.editable = false;
    EXPECT_EQ(grid.appendDataRow(cells), 5);
    grid.clearEntryRow();
    EXPECT_EQ(grid.currentTable().cell(5, 2).text, u"鲁C9"_s);
    EXPECT_TRUE(grid.entryRowCells()[2].text.isEmpty());
    EXPECT_EQ(m->rowCount(), 7);
}

class PrintTest : public testing_support::DataDirTest {};

TEST_F(PrintTest, PrintGoesThroughTheDialogSeamAndRendersThePages) {
    const QString pdf = dataDir() + u"/printed.pdf"_s;
    int asked = 0;
    ui::SetPrintDialogHook([&](QPrinter& printer, QWidget*) {
        ++asked;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });
    EXPECT_TRUE(ui::PrintReport(table()));
    ui::SetPrintDialogHook([&](QPrinter&, QWidget*) { return false; });
    EXPECT_FALSE(ui::PrintReport(table()));
    ui::SetPrintDialogHook(nullptr);
    EXPECT_EQ(asked, 1);
    const QStringList pages = report_test::pdfPages(pdf);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(pages[0].contains(u"拉黑车辆清单"_s));
    EXPECT_TRUE(pages[0].contains(u"鲁A10003"_s));
}

TEST_F(PrintTest, ExportAsksThroughTheDialogLayerWithTheTitleAsName) {
    struct Recording : testing_support::ScriptedDialogs {
        QString defaultPath, filter;
        std::optional<QString> saveFile(QWidget* w, const QString& c, const QString& d, const QString& f) override {
            defaultPath = d;
            filter = f;
            return ScriptedDialogs::saveFile(w, c, d, f);
        }
    } recording;
    ui::SetDialogProvider(&recording);
    recording.files.push_back(dataDir() + u"/out"_s); // no suffix: Excel
    EXPECT_TRUE(ui::ExportReport(table()));
    EXPECT_TRUE(QFile::exists(dataDir() + u"/out.xlsx"_s));
    EXPECT_TRUE(recording.defaultPath.endsWith(u"/拉黑车辆清单.xlsx"_s));
    EXPECT_TRUE(recording.filter.contains(u"*.xlsx"_s) && recording.filter.contains(u"*.csv"_s) &&
                recording.filter.contains(u"*.pdf"_s));
    recording.files.push_back(dataDir() + u"/out.txt"_s);
    EXPECT_FALSE(ui::ExportReport(table()));
    recording.files.push_back(u"/nonexistent-dir/x.csv"_s);
    EXPECT_FALSE(ui::ExportReport(table()));
    EXPECT_FALSE(ui::ExportReport(table())); // cancelled: nothing shown
    ui::SetDialogProvider(nullptr);
    ASSERT_EQ(recording.shown.size(), 3);
    EXPECT_EQ(recording.shown[0], u"导出成功！"_s);
    EXPECT_TRUE(recording.shown[1].contains(u".xlsx"_s));
    EXPECT_TRUE(recording.shown[2].startsWith(u"导出失败！"_s));
}

TEST_F(PrintTest, PreviewPaintsThroughTheSameRoutine) {
    int pages = 0;
    ui::SetPreviewHook([&](QPrintPreviewDialog& dialog) {
        dialog.show();
        QCoreApplication::processEvents();
        QPrinter* printer = dialog.printer();
        EXPECT_EQ(printer->pageLayout().orientation(), QPageLayout::Landscape); // wider than tall
        pages = dialog.findChild<QPrintPreviewWidget*>()->pageCount();
        dialog.close();
    });
    ui::PreviewReport(table());
    ui::SetPreviewHook(nullptr);
    EXPECT_EQ(pages, 1);
}

} // namespace
