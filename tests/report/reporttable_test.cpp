#include "report/reporttable.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using report::ReportTable;

namespace {

// A two-header-row table like the blacklist: 客户信息 over columns 1-3, 原因 over 4-5.
ReportTable blacklistLike() {
    ReportTable t;
    t.title = u"表"_s;
    t.headerRows = 2;
    t.setColumnCount(6);
    t.appendRow();
    t.appendRow();
    t.merge(0, 1, 1, 3);
    t.setText(0, 1, u"客户信息"_s);
    t.merge(0, 4, 1, 2);
    t.setText(0, 4, u"原因"_s);
    for (int c = 0; c < 6; ++c)
        t.setText(1, c, u"H%1"_s.arg(c));
    for (int r = 0; r < 3; ++r) {
        const int row = t.appendRow();
        for (int c = 0; c < 6; ++c)
            t.setText(row, c, u"%1-%2"_s.arg(r).arg(c));
    }
    return t;
}

TEST(ReportTable, CellsGrowTheTableAndKeepTheirKinds) {
    ReportTable t;
    t.setText(2, 3, u"x"_s);
    EXPECT_EQ(t.rowCount(), 3);
    EXPECT_EQ(t.columnCount(), 4);
    t.setColumnKind(5, report::CellKind::YesNo);
    EXPECT_EQ(t.columnCount(), 6);
    EXPECT_EQ(t.cell(t.appendRow(), 5).kind, report::CellKind::YesNo);
    t.setYesNo(1, 1, true);
    t.setDate(1, 2, QDate(2026, 2, 3));
    EXPECT_EQ(t.cell(1, 1).displayText(), u"true"_s);
    EXPECT_EQ(t.cell(1, 2).displayText(), u"2026-02-03"_s);
    EXPECT_EQ(t.cell(9, 9).displayText(), u""_s); // outside: empty, the table unchanged
    EXPECT_EQ(t.rowCount(), 4);
    EXPECT_EQ(t.columnWidth(0), report::kDefaultColumnWidth);
    t.setColumnWidth(0, 30);
    EXPECT_EQ(t.totalWidth(), 30 + 5 * report::kDefaultColumnWidth);
}

TEST(ReportTable, MergingBlanksTheCoveredCells) {
    ReportTable t = blacklistLike();
    t.setText(0, 2, u"hidden"_s);
    t.merge(0, 1, 1, 3); // again: replaces the first, blanks what lies under it
    EXPECT_EQ(t.cell(0, 2).text, u""_s);
    EXPECT_EQ(t.merges().size(), 2);
    ASSERT_NE(t.mergeAt(0, 3), nullptr);
    EXPECT_EQ(t.mergeAt(0, 3)->column, 1);
    EXPECT_EQ(t.mergeAt(1, 3), nullptr);
}

TEST(ReportTable, RemovingRowsAndColumnsKeepsMergesAndTexts) {
    ReportTable t = blacklistLike();
    t.removeRow(3); // the second data row
    EXPECT_EQ(t.rowCount(), 4);
    EXPECT_EQ(t.cell(3, 0).text, u"2-0"_s);
    EXPECT_EQ(t.headerRows, 2);

    // The first column of a merge goes: the text moves to the next column of the block.
    t.removeColumn(1);
    EXPECT_EQ(t.columnCount(), 5);
    EXPECT_EQ(t.cell(0, 1).text, u"客户信息"_s);
    ASSERT_NE(t.mergeAt(0, 2), nullptr);
    EXPECT_EQ(t.mergeAt(0, 2)->column, 1);
    EXPECT_EQ(t.mergeAt(0, 2)->columnSpan, 2);
    EXPECT_EQ(t.mergeAt(0, 3)->column, 3); // the other merge moved left
    EXPECT_EQ(t.cell(1, 1).text, u"H2"_s);
    EXPECT_EQ(t.cell(2, 1).text, u"0-2"_s);

    // Shrunk to one cell a merge is gone.
    t.removeColumn(4);
    EXPECT_EQ(t.mergeAt(0, 3), nullptr);
    EXPECT_EQ(t.cell(0, 3).text, u"原因"_s);

    // A header row removed counts the header down.
    t.removeRow(0);
    EXPECT_EQ(t.headerRows, 1);
    EXPECT_TRUE(t.merges().isEmpty());
    EXPECT_EQ(t.cell(0, 1).text, u"H2"_s);
}

TEST(ReportTable, RowMergesLoseTheirFirstRowGracefully) {
    ReportTable t;
    t.setColumnCount(2);
    for (int r = 0; r < 3; ++r)
        t.appendRow();
    t.merge(0, 0, 3, 1);
    t.setText(0, 0, u"块"_s);
    t.removeRow(0);
    ASSERT_NE(t.mergeAt(1, 0), nullptr);
    EXPECT_EQ(t.mergeAt(1, 0)->rowSpan, 2);
    EXPECT_EQ(t.cell(0, 0).text, u"块"_s);
    // Out-of-range removals change nothing.
    t.removeRow(7);
    t.removeColumn(-1);
    EXPECT_EQ(t.rowCount(), 2);
    EXPECT_EQ(t.columnCount(), 2);
}

} // namespace
