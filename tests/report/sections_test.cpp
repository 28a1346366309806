#include "readback.h"

#include "report/exports.h"
#include "report/render.h"

#include <QBuffer>
#include <QPdfWriter>
#include <QTemporaryDir>

using report::ReportTable;

namespace {

// A table in sections: the rows of section s are "段s行r"; rows before the first section (when
// leading > 0) are "段前r". Every page carries a letterhead.
ReportTable sectioned(int leading, const QList<int>& sizes) {
    ReportTable t;
    t.title = u"通知"_s;
    t.printTitle = {u"通知单标题"_s, u"黑体"_s, 20, true};
    t.pageHeader << report::BlockLine{u"信头公司"_s, 16, true, true} << report::BlockLine{u"信头地址"_s};
    t.setColumnCount(3);
    t.appendRow();
    t.setText(0, 0, u"表头甲"_s);
    for (int r = 0; r < leading; ++r)
        t.setText(t.appendRow(), 0, u"段前%1"_s.arg(r));
    for (int s = 0; s < sizes.size(); ++s) {
        report::Section section;
        section.firstRow = t.rowCount();
        section.heading << report::BlockLine{u"抬头%1号"_s.arg(s), 12, true};
        section.closing << report::BlockLine{u"签字处%1号"_s.arg(s)};
        t.startSection(section);
        for (int r = 0; r < sizes.at(s); ++r) {
            const int row = t.appendRow();
            t.setText(row, 0, u"段%1行%2"_s.arg(s).arg(r));
            t.setRowKey(row, u"键%1"_s.arg(s));
        }
    }
    return t;
}

struct PaginationCase {
    const char* name;
    int leading;
    QList<int> sizes;
    int minPages;
};

class SectionPages : public ::testing::TestWithParam<PaginationCase> {};

// Each section starts a page; its rows are only on pages headed by it; its closing is printed once,
// on its last page; the letterhead, the title, the header row and the page numbers on every page.
TEST_P(SectionPages, EachSectionOnPagesOfItsOwn) {
    const PaginationCase& c = GetParam();
    const ReportTable t = sectioned(c.leading, c.sizes);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"s.pdf"_s);
    ASSERT_TRUE(report::WritePdf(t, path));
    const QStringList pages = report_test::pdfPages(path);
    ASSERT_GE(pages.size(), c.minPages);
    QList<int> closings(c.sizes.size(), 0);
    QList<int> rowsSeen(c.sizes.size(), 0);
    int leadingSeen = 0;
    for (int p = 0; p < pages.size(); ++p) {
        const QString page = report_test::squeezed(pages.at(p));
        for (const QString& fixed : {u"信头公司"_s, u"信头地址"_s, u"通知单标题"_s, u"表头甲"_s})
            EXPECT_TRUE(page.contains(fixed)) << p << " " << fixed.toStdString();
        EXPECT_TRUE(page.contains(u"第%1页/共%2页"_s.arg(p + 1).arg(pages.size()))) << page.toStdString();
        int headedBy = -1;
        for (int s = 0; s < c.sizes.size(); ++s)
            if (page.contains(u"抬头%1号"_s.arg(s))) {
                EXPECT_EQ(headedBy, -1) << "two headings on page " << p;
                headedBy = s;
            }
        for (int s = 0; s < c.sizes.size(); ++s) {
            const int rows = int(page.count(u"段%1行"_s.arg(s)));
            rowsSeen[s] += rows;
            if (rows > 0) {
                EXPECT_EQ(headedBy, s) << "rows of section " << s << " on page " << p;
            }
            if (page.contains(u"签字处%1号"_s.arg(s))) {
                ++closings[s];
                EXPECT_TRUE(page.contains(u"段%1行%2"_s.arg(s).arg(c.sizes.at(s) - 1))) << "closing without last row";
            }
        }
        if (page.contains(u"段前"_s)) {
            EXPECT_EQ(headedBy, -1) << p;
            leadingSeen += int(page.count(u"段前"_s));
        }
    }
    EXPECT_EQ(leadingSeen, c.leading);
    for (int s = 0; s < c.sizes.size(); ++s) {
        EXPECT_EQ(rowsSeen.at(s), c.sizes.at(s)) << s;
        EXPECT_EQ(closings.at(s), 1) << s;
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, SectionPages,
                         ::testing::Values(PaginationCase{"OneRowEach", 0, {1, 1, 1}, 3},
                                           PaginationCase{"LongSectionRunsOver", 0, {2, 70, 1}, 4},
                                           PaginationCase{"RowsBeforeTheFirstSection", 2, {3, 1}, 3},
                                           PaginationCase{"NoSections", 4, {}, 1}),
                         [](const auto& p) { return std::string(p.param.name); });

// The page breaks fall on every section's first row, also without a PDF.
TEST(SectionPages, BreaksFallOnSectionStarts) {
    const ReportTable t = sectioned(1, {2, 1, 3});
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    report::PreparePageLayout(t, writer);
    const QList<int> breaks = report::PageBreaks(t, writer);
    EXPECT_EQ(breaks, (QList<int>{1, 2, 4, 5}));
    // However short, a table in sections is printed upright, a page per section.
    EXPECT_EQ(report::PreferredOrientation(t), QPageLayout::Portrait);
}

struct RemovalCase {
    const char* name;
    int removed;             // row index
    QList<int> firstRows;    // sections' first rows after the removal
    QList<QString> keysFrom; // row keys of rows 1.. after the removal
};

class SectionRemoval : public ::testing::TestWithParam<RemovalCase> {};

// Sections of 2, 1 and 2 rows at rows 1, 3 and 4; a removed row takes its key along, the sections
// below move up, a section that loses its only row goes.
TEST_P(SectionRemoval, SectionsAndKeysFollowTheRows) {
    const RemovalCase& c = GetParam();
    ReportTable t = sectioned(0, {2, 1, 2});
    t.removeRow(c.removed);
    QList<int> firstRows;
    for (const report::Section& s : t.sections())
        firstRows << s.firstRow;
    EXPECT_EQ(firstRows, c.firstRows);
    QList<QString> keys;
    for (int r = 1; r < t.rowCount(); ++r)
        keys << t.rowKey(r);
    EXPECT_EQ(keys, c.keysFrom);
    for (int r = 1; r < t.rowCount(); ++r)
        ASSERT_NE(t.sectionAt(r), nullptr) << r;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SectionRemoval,
    ::testing::Values(RemovalCase{"FirstRowOfATwoRowSection", 1, {1, 2, 3}, {u"键0"_s, u"键1"_s, u"键2"_s, u"键2"_s}},
                      RemovalCase{"TheOnlyRowOfASection", 3, {1, 3}, {u"键0"_s, u"键0"_s, u"键2"_s, u"键2"_s}},
                      RemovalCase{"LastRow", 5, {1, 3, 4}, {u"键0"_s, u"键0"_s, u"键1"_s, u"键2"_s}},
                      RemovalCase{"HeaderRow", 0, {0, 2, 3}, {u"键0"_s, u"键1"_s, u"键2"_s, u"键2"_s}}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
