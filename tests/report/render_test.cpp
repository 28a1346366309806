#include "readback.h"

#include "report/exports.h"
#include "report/render.h"

#include <QFontDatabase>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTemporaryDir>

using report::ReportTable;

namespace {

// A ledger-shaped table: 18 columns, header row, n vehicles; every seventh owner name is long
// enough to wrap, so rows differ in height.
ReportTable ledgerLike(int n) {
    ReportTable t;
    t.title = u"公司车辆台账清单"_s;
    t.printTitle = {u"公司车辆台账清单"_s, u"黑体"_s, 20, true};
    t.setColumnCount(18);
    t.appendRow();
    for (int c = 1; c < 18; ++c)
        t.setText(0, c, u"列标题%1"_s.arg(c));
    t.setColumnKind(11, report::CellKind::YesNo);
    for (int i = 1; i <= n; ++i) {
        const int r = t.appendRow();
        t.setText(r, 0, QString::number(i));
        t.setText(r, 1, i % 7 == 0 ? u"很长很长的车主姓名需要折行显示第%1号"_s.arg(i) : u"车主%1"_s.arg(i));
        t.setText(r, 2, u"鲁A%1"_s.arg(10000 + i));
        t.setYesNo(r, 11, i % 2);
    }
    return t;
}

TEST(Fonts, MissingHeitiFallsBackToAnInstalledChineseFont) {
    const QString family = report::ResolveFontFamily(u"黑体"_s);
    EXPECT_TRUE(QFontDatabase::families().contains(family)) << family.toStdString();
    EXPECT_TRUE(QFontDatabase::writingSystems(family).contains(QFontDatabase::SimplifiedChinese));
    // An installed family is kept as asked.
    const QString installed = QFontDatabase::families().first();
    EXPECT_EQ(report::ResolveFontFamily(installed), installed);
}

TEST(Orientation, LandscapeWhenWiderThanTall) {
    EXPECT_EQ(report::PreferredOrientation(ledgerLike(3)), QPageLayout::Landscape);
    ReportTable narrow;
    narrow.setColumnCount(4);
    for (int i = 0; i < 60; ++i)
        narrow.appendRow();
    EXPECT_EQ(report::PreferredOrientation(narrow), QPageLayout::Portrait);
    // A wide table stays landscape however long it gets.
    EXPECT_EQ(report::PreferredOrientation(ledgerLike(500)), QPageLayout::Landscape);
}

TEST(Render, PagesRepeatTheHeaderNumberThePagesAndNeverCutARow) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"ledger.pdf"_s);
    const ReportTable t = ledgerLike(60);
    ASSERT_TRUE(report::WritePdf(t, path));
    const QStringList pages = report_test::pdfPages(path);
    ASSERT_GE(pages.size(), 2);
    QMap<QString, int> seen; // plate -> page
    for (int p = 0; p < pages.size(); ++p) {
        const QString& page = pages[p];
        EXPECT_TRUE(page.contains(u"公司车辆台账清单"_s)) << p;
        EXPECT_TRUE(page.contains(u"列标题1"_s)) << p;
        EXPECT_TRUE(page.contains(u"列标题17"_s)) << p;
        EXPECT_TRUE(report_test::squeezed(page).contains(u"第%1页/共%2页"_s.arg(p + 1).arg(pages.size())))
            << page.toStdString();
        static const QRegularExpression plate(u"鲁A(1\\d{4})"_s);
        for (auto m = plate.globalMatch(page); m.hasNext();) {
            const QString found = m.next().captured(0);
            EXPECT_FALSE(seen.contains(found)) << found.toStdString() << " on two pages";
            seen.insert(found, p);
        }
    }
    EXPECT_EQ(seen.size(), 60);
    // Rows keep their order across pages.
    for (int i = 2; i <= 60; ++i)
        EXPECT_LE(seen.value(u"鲁A%1"_s.arg(10000 + i - 1)), seen.value(u"鲁A%1"_s.arg(10000 + i)));
    // Landscape A4.
    const QString info = report_test::run(u"pdfinfo"_s, {path});
    EXPECT_TRUE(info.contains(u"841.89 x 595.276"_s) || info.contains(u"842 x 595"_s)) << info.toStdString();
    // The Chinese text is drawn in an embedded CJK font.
    const QString fonts = report_test::run(u"pdffonts"_s, {path});
    EXPECT_TRUE(fonts.contains(u"WenQuanYi"_s, Qt::CaseInsensitive)) << fonts.toStdString();
}

TEST(Render, PageBreaksFitTheRowsOnTheirPages) {
    QTemporaryDir dir;
    QPdfWriter writer(dir.filePath(u"x.pdf"_s));
    writer.setResolution(300);
    const ReportTable t = ledgerLike(200);
    report::PreparePageLayout(t, writer);
    const QList<int> breaks = report::PageBreaks(t, writer);
    ASSERT_GT(breaks.size(), 3);
    EXPECT_EQ(breaks.first(), t.headerRows);
    for (int i = 1; i < breaks.size(); ++i)
        EXPECT_GT(breaks[i], breaks[i - 1]);
    // Taller pages hold more rows per page: the breaks follow the room left.
    QPdfWriter portrait(dir.filePath(u"y.pdf"_s));
    portrait.setResolution(300);
    portrait.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                                       QPageLayout::Millimeter));
    EXPECT_LT(report::PageBreaks(t, portrait).size(), breaks.size());
    // A table without data rows still prints its header on one page.
    ReportTable empty = ledgerLike(0);
    EXPECT_EQ(report::PageBreaks(empty, writer).size(), 1);
}

TEST(Render, WithoutTitleThePagesCarryNone) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"claims.pdf"_s);
    report::RenderOptions options;
    options.withTitle = false;
    ASSERT_TRUE(report::WritePdf(ledgerLike(5), path, nullptr, options));
    const QStringList pages = report_test::pdfPages(path);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_FALSE(pages[0].contains(u"公司车辆台账清单"_s));
    EXPECT_TRUE(pages[0].contains(u"车主5"_s));
    EXPECT_TRUE(report_test::squeezed(pages[0]).contains(u"第1页/共1页"_s));
}

} // namespace
