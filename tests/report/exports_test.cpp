#include "readback.h"

#include "report/exports.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

using report::ReportTable;

namespace {

ReportTable sample() {
    ReportTable t;
    t.title = u"公司车辆台账清单"_s;
    t.printTitle = {u"公司车辆台账清单"_s, u"黑体"_s, 20, true};
    t.headerRows = 2;
    t.setColumnCount(6);
    t.appendRow();
    t.appendRow();
    t.merge(0, 1, 1, 2);
    t.setText(0, 1, u"客户信息"_s);
    const QStringList captions = {u""_s, u"档案编号"_s, u"车主"_s, u"费用"_s, u"驻外"_s, u"日期"_s};
    for (int c = 0; c < 6; ++c)
        t.setText(1, c, captions[c]);
    t.setColumnWidth(1, 140);
    t.setColumnKind(4, report::CellKind::YesNo);
    const int r = t.appendRow();
    t.setText(r, 0, u"1"_s);
    t.setText(r, 1, u"003"_s);
    t.setText(r, 2, u"张\"三\", 李四"_s);
    t.setText(r, 3, u"1200.50"_s);
    t.setYesNo(r, 4, true);
    t.setDate(r, 5, QDate(2026, 7, 1));
    const int r2 = t.appendRow();
    t.setText(r2, 0, u"2"_s);
    t.setText(r2, 2, u"13800000000"_s);
    t.setColours(r2, 2, QColor(255, 0, 0), QColor(255, 255, 255));
    return t;
}

TEST(Json, TitleHeaderRowsAndCellsAsTheGridShowsThem) {
    const QJsonObject o = QJsonDocument::fromJson(report::JsonText(sample())).object();
    EXPECT_EQ(o.value(u"title"_s).toString(), u"公司车辆台账清单"_s);
    EXPECT_EQ(o.value(u"print_title"_s).toString(), u"公司车辆台账清单"_s);
    EXPECT_EQ(o.value(u"header_rows"_s).toInt(), 2);
    const QJsonArray rows = o.value(u"rows"_s).toArray();
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0].toArray()[1].toString(), u"客户信息"_s);
    EXPECT_EQ(rows[0].toArray()[2].toString(), u""_s);
    const QJsonArray data = rows[2].toArray();
    ASSERT_EQ(data.size(), 6);
    EXPECT_EQ(data[1].toString(), u"003"_s);
    EXPECT_TRUE(data[4].isBool());
    EXPECT_TRUE(data[4].toBool());
    EXPECT_EQ(data[5].toString(), u"2026-07-01"_s);
    EXPECT_FALSE(rows[3].toArray()[4].toBool());
}

TEST(Csv, Utf8WithByteOrderMarkAndQuotedFields) {
    const QByteArray csv = report::CsvText(sample());
    ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(csv.mid(3)).split(u"\r\n"_s);
    ASSERT_EQ(lines.size(), 5); // four rows and the end after the last
    EXPECT_EQ(lines[0], u",客户信息,,,,"_s);
    EXPECT_EQ(lines[2], u"1,003,\"张\"\"三\"\", 李四\",1200.50,true,2026-07-01"_s);
    EXPECT_EQ(lines[3], u"2,,13800000000,,false,"_s);
    EXPECT_TRUE(lines[4].isEmpty());
}

TEST(Xlsx, NumericTexts) {
    EXPECT_TRUE(report::IsNumericText(u"12"_s));
    EXPECT_TRUE(report::IsNumericText(u"0"_s));
    EXPECT_TRUE(report::IsNumericText(u"-3.25"_s));
    EXPECT_FALSE(report::IsNumericText(u"003"_s));         // archive number
    EXPECT_FALSE(report::IsNumericText(u"13800000000"_s)); // phone
    EXPECT_FALSE(report::IsNumericText(u"370102199001011234"_s));
    EXPECT_FALSE(report::IsNumericText(u"1e5"_s));
    EXPECT_FALSE(report::IsNumericText(u"12."_s));
    EXPECT_FALSE(report::IsNumericText(u""_s));
}

TEST(Xlsx, TitleRowMergedHeadersWidthsYesNoAndNumbers) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"t.xlsx"_s);
    QString error;
    ASSERT_TRUE(report::WriteXlsx(sample(), path, &error)) << error.toStdString();
    const QStringList rows = report_test::xlsxRows(path);
    ASSERT_GE(rows.size(), 6);
    EXPECT_TRUE(rows[0].startsWith(u"公司车辆台账清单"_s));
    EXPECT_EQ(rows[1].split(u'\t')[1], u"客户信息"_s);
    EXPECT_EQ(rows[2].split(u'\t'), QStringList({u""_s, u"档案编号"_s, u"车主"_s, u"费用"_s, u"驻外"_s, u"日期"_s}));
    EXPECT_EQ(rows[3].split(u'\t'),
              QStringList({u"#1"_s, u"003"_s, u"张\"三\", 李四"_s, u"#1200.5"_s, u"是"_s, u"2026-07-01"_s}));
    EXPECT_EQ(rows[4].split(u'\t'), QStringList({u"#2"_s, u""_s, u"13800000000"_s, u""_s, u"否"_s, u""_s}));
    const int merged = int(rows.indexOf(u"MERGED"_s));
    ASSERT_GT(merged, 0);
    const int widths = int(rows.indexOf(u"WIDTHS"_s));
    const QStringList ranges = rows.mid(merged + 1, widths - merged - 1);
    EXPECT_EQ(ranges, QStringList({u"A1:F1"_s, u"B2:C2"_s}));
    // 140 pixels are 20 characters of the sheet, 100 pixels 14.
    EXPECT_TRUE(rows.mid(widths).contains(u"B 20"_s)) << rows.mid(widths).join(u' ').toStdString();
    EXPECT_TRUE(rows.mid(widths).contains(u"C 14"_s));
}

TEST(Xlsx, WithoutTitleStartsWithTheHeader) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"t.xlsx"_s);
    report::RenderOptions options;
    options.withTitle = false;
    ASSERT_TRUE(report::WriteXlsx(sample(), path, nullptr, options));
    const QStringList rows = report_test::xlsxRows(path);
    EXPECT_EQ(rows[0].split(u'\t')[1], u"客户信息"_s);
}

TEST(Writers, FormatsBySuffixAndFailuresReported) {
    EXPECT_EQ(report::FormatForPath(u"/x/a.XLSX"_s), report::ExportFormat::Xlsx);
    EXPECT_EQ(report::FormatForPath(u"a.csv"_s), report::ExportFormat::Csv);
    EXPECT_EQ(report::FormatForPath(u"a.pdf"_s), report::ExportFormat::Pdf);
    EXPECT_FALSE(report::FormatForPath(u"a.txt"_s).has_value());
    QString error;
    EXPECT_FALSE(report::WriteCsv(sample(), u"/nonexistent-dir/x.csv"_s, &error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(report::WriteXlsx(sample(), u"/nonexistent-dir/x.xlsx"_s, &error));
    EXPECT_FALSE(error.isEmpty());
    QTemporaryDir dir;
    const QString json = dir.filePath(u"t.json"_s);
    ASSERT_TRUE(report::WriteReport(sample(), json, report::ExportFormat::Json));
    QFile f(json);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), report::JsonText(sample()));
}

} // namespace
