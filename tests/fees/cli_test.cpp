#include "feefleet.h"

#include "cli/commands.h"
#include "fees/feequerywindow.h"
#include "report/readback.h"
#include "support/testsupport.h"
#include "ui/reportgrid.h"
#include "ui/widgets.h"

#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>

using namespace Qt::StringLiterals;
using testing_support::DataDirTest;

namespace {

const QString kA = u"京A12345"_s;
const QString kB = u"京B23456"_s;
const QString kC = u"京C34567"_s;

std::string s(const QString& text) {
    return text.toStdString();
}

struct CliResult {
    int status = 0;
    QString out;
    QString err;
};

class FeesCliTest : public DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        fleet = std::make_unique<fees_test::FeeFleet>(db());
    }

    CliResult cli(QStringList args) {
        CliResult r;
        QTextStream out(&r.out);
        QTextStream err(&r.err);
        args.prepend(u"fees"_s);
        args << u"--data-dir"_s << dataDir();
        r.status = cli::Run(args, out, err);
        out.flush();
        err.flush();
        return r;
    }

    // Three vehicles with payments of every kind, one record without a due amount, one amount
    // that is no number and one payment outside the year.
    void fill() {
        for (const QString& p : {kA, kB, kC})
            fleet->vehicle(p);
        fleet->pay(kA, 0, u"100.5"_s, u"100"_s, QDate(2026, 1, 1));
        fleet->pay(kA, 0, u"200.7"_s, u"200.7"_s, QDate(2026, 12, 31));
        fleet->pay(kA, 2, u"3000"_s, u"1500.25"_s, QDate(2026, 5, 20));
        fleet->pay(kA, 3, QString(), u"80"_s, QDate(2026, 6, 1));
        fleet->pay(kB, 1, u"60"_s, u"待缴"_s, QDate(2026, 2, 2));
        fleet->pay(kB, 4, u"120"_s, u"120"_s, QDate(2027, 1, 1));
        fleet->pay(kC, 4, u"0.5"_s, u"0.5"_s, QDate(2026, 7, 7));
        fleet->pay(kC, 4, u"0.5"_s, u"0.5"_s, QDate(2026, 7, 8));
        fleet->pay(kC, 3, u"45"_s, u"45"_s, QDate(2026, 8, 8));
    }

    // The grid's cells as it shows them, row by row.
    static QList<QStringList> gridTexts(const ui::ReportGrid& grid) {
        QList<QStringList> rows;
        const QAbstractItemModel* m = grid.model();
        for (int r = 0; r < m->rowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < m->columnCount(); ++c)
                row << m->data(m->index(r, c), Qt::DisplayRole).toString();
            rows << row;
        }
        return rows;
    }

    static QList<QStringList> jsonRows(const QJsonObject& o) {
        QList<QStringList> rows;
        for (const auto& row : o.value(u"rows"_s).toArray()) {
            QStringList cells;
            for (const auto& cell : row.toArray())
                cells << cell.toString();
            rows << cells;
        }
        return rows;
    }

    std::unique_ptr<fees_test::FeeFleet> fleet;
};

TEST_F(FeesCliTest, MatchesTheWindowsGridOnADatabaseFilledThroughTheProgram) {
    fill();
    struct Case {
        int vehicleIndex; // item of 组合框_车号
        int item;
    };
    for (const Case& c : {Case{0, 0}, Case{0, 1}, Case{0, 5}, Case{1, 0}, Case{3, 4}}) {
        fees::FeeQueryWindow w;
        w.findChild<QComboBox*>(u"组合框_车号"_s)->setCurrentIndex(c.vehicleIndex);
        w.findChild<QComboBox*>(u"组合框_项目"_s)->setCurrentIndex(c.item);
        w.findChild<ui::DateBox*>(u"日期框_起始"_s)->setDate(QDate(2026, 1, 1));
        w.findChild<ui::DateBox*>(u"日期框_截止"_s)->setDate(QDate(2026, 12, 31));
        w.findChild<QPushButton*>(u"超级按钮_参数确定"_s)->click();
        ASSERT_TRUE(w.reportShown());

        QStringList args = {u"--from"_s,     u"2026-01-01"_s, u"--to"_s,
                            u"2026-12-31"_s, u"--item"_s,     fees::ItemTexts()[c.item]};
        if (c.vehicleIndex > 0)
            args << u"--plate"_s << w.findChild<QComboBox*>(u"组合框_车号"_s)->currentText();
        const CliResult r = cli(args);
        ASSERT_EQ(r.status, 0) << s(r.err);
        const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
        EXPECT_EQ(jsonRows(o), gridTexts(*w.grid())) << "case " << c.vehicleIndex << "/" << c.item;
        EXPECT_EQ(o.value(u"header_rows"_s).toInt(), 2);
        EXPECT_EQ(o.value(u"title"_s).toString(), w.grid()->table().printTitle.text);
        const QJsonObject totals = o.value(u"totals"_s).toObject();
        for (int k = 0; k < fees::kKindCount; ++k)
            EXPECT_EQ(totals.contains(fees::Kind(k).item), fees::KindReported(c.item, k));
    }
}

TEST_F(FeesCliTest, JsonCarriesTitleRowsAndExactTotals) {
    fill();
    const CliResult r = cli({u"--from"_s, u"2026-01-01"_s, u"--to"_s, u"2026-12-31"_s});
    ASSERT_EQ(r.status, 0) << s(r.err);
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(s(o.value(u"title"_s).toString()), "车号为全部车辆从2026-1-1到2026-12-31的全部费用的内容。");
    const QJsonObject totals = o.value(u"totals"_s).toObject();
    auto total = [&](const char16_t* kind, const char16_t* which) {
        return s(totals.value(QString::fromUtf16(kind)).toObject().value(QString::fromUtf16(which)).toString());
    };
    EXPECT_EQ(total(u"审车类", u"due"), "301.2");
    EXPECT_EQ(total(u"审车类", u"paid"), "300.7");
    EXPECT_EQ(total(u"二维类", u"paid"), "0"); // 待缴 counts 0
    EXPECT_EQ(total(u"保险类", u"paid"), "1500.25");
    EXPECT_EQ(total(u"管理费用类", u"due"), "45"); // the record without a due amount is left out
    EXPECT_EQ(total(u"营运证类", u"due"), "1");    // 2027's payment is outside the period
    const QList<QStringList> rows = jsonRows(o);
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_EQ(s(rows.last()[1]), "合计");
    EXPECT_EQ(s(rows.last()[2]), "301.2");
    // Single kind: only its totals.
    const CliResult one = cli({u"--from"_s, u"2026-01-01"_s, u"--to"_s, u"2026-12-31"_s, u"--item"_s, u"营运证类"_s});
    const QJsonObject t1 = QJsonDocument::fromJson(one.out.toUtf8()).object().value(u"totals"_s).toObject();
    EXPECT_EQ(t1.keys(), QStringList({u"营运证类"_s}));
}

TEST_F(FeesCliTest, RefusalsExitNonZeroWithTheWindowsMessages) {
    fill();
    CliResult r = cli({u"--from"_s, u"2026-13-01"_s, u"--to"_s, u"2026-12-31"_s});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains(u"2026-13-01"_s)) << s(r.err);
    r = cli({u"--from"_s, u"2026-01-01"_s, u"--to"_s, u"2026-12-31"_s, u"--plate"_s, u"京A1234"_s});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(s(r.err.trimmed()), "请检查主车牌号是否正确");
    EXPECT_TRUE(r.out.isEmpty());
    r = cli({u"--from"_s, u"2026-01-01"_s, u"--to"_s, u"2026-12-31"_s, u"--plate"_s, u"京Z99999"_s});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(s(r.err.trimmed()), "对不起！请核对车号后再次输入！没有找到车号为京Z99999的车辆");
    r = cli({u"--from"_s, u"2026-01-01"_s, u"--to"_s, u"2026-12-31"_s, u"--item"_s, u"油费"_s});
    EXPECT_EQ(r.status, 2);
    r = cli({u"--from"_s, u"2026-01-01"_s});
    EXPECT_EQ(r.status, 2);
    r = cli({u"--from"_s, u"2026-01-01"_s, u"--to"_s, u"2026-12-31"_s, u"--format"_s, u"pdf"_s});
    EXPECT_EQ(r.status, 2); // pdf needs --output
}

TEST_F(FeesCliTest, CsvPdfAndExcelCarryTheGrandTotal) {
    fill();
    const QStringList period = {u"--from"_s, u"2026-01-01"_s, u"--to"_s, u"2026-12-31"_s};
    const CliResult csv = cli(period + QStringList{u"--format"_s, u"csv"_s});
    ASSERT_EQ(csv.status, 0) << s(csv.err);
    EXPECT_TRUE(csv.out.contains(u",合计,301.2,300.7,"_s)) << s(csv.out);
    const QString csvFile = dataDir() + u"/fees.csv"_s;
    ASSERT_EQ(cli(period + QStringList{u"--format"_s, u"csv"_s, u"--output"_s, csvFile}).status, 0);
    QFile written(csvFile);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(QString::fromUtf8(bytes).contains(u",合计,301.2,300.7,"_s));

    const QString pdf = dataDir() + u"/fees.pdf"_s;
    ASSERT_EQ(cli(period + QStringList{u"--format"_s, u"pdf"_s, u"--output"_s, pdf}).status, 0);
    const QStringList pages = report_test::pdfPages(pdf);
    ASSERT_EQ(pages.size(), 1);
    const QString page = report_test::squeezed(pages[0]);
    EXPECT_TRUE(page.contains(u"车号为全部车辆从2026-1-1到2026-12-31的全部费用的内容。"_s)) << s(page);
    EXPECT_TRUE(page.contains(u"合计"_s));
    EXPECT_TRUE(page.contains(u"1500.25"_s));
    EXPECT_TRUE(page.contains(u"审车类费用及日期"_s));

    const QString xlsx = dataDir() + u"/fees.xlsx"_s;
    ASSERT_EQ(cli(period + QStringList{u"--format"_s, u"xlsx"_s, u"--output"_s, xlsx}).status, 0);
    const QStringList sheet = report_test::xlsxRows(xlsx);
    const QString joined = sheet.join(u'\n');
    EXPECT_TRUE(joined.contains(u"合计\t#301.2\t#300.7"_s)) << s(joined);
    for (const char16_t* range : {u"C2:E2", u"F2:H2", u"I2:K2", u"L2:N2", u"O2:Q2"})
        EXPECT_TRUE(sheet.contains(QString::fromUtf16(range))) << s(joined);
}

} // namespace
