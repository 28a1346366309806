#include "feefleet.h"

#include "fees/feestatistics.h"
#include "store/database.h"
#include "store/schema.h"
#include "store/sqltext.h"
#include "support/testsupport.h"

#include <QRandomGenerator>

using namespace Qt::StringLiterals;
using fees::CellMark;
using fees::FeeRow;
using fees::ReadMode;
using testing_support::DataDirTest;

namespace {

const QString kA = u"京A12345"_s;
const QString kB = u"京B23456"_s;
const QString kC = u"京C34567"_s;
const QDate kFrom(2026, 1, 1);
const QDate kTo(2026, 12, 31);

constexpr int kInspection = 0, kMaintenance = 1, kInsurance = 2, kManagement = 3, kPermit = 4;

std::string s(const QString& text) {
    return text.toStdString();
}

class FeeStatisticsTest : public DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        fleet = std::make_unique<fees_test::FeeFleet>(db());
    }

    fees::FeeStatistics read(const QStringList& plates, int item, const QDate& from = kFrom, const QDate& to = kTo,
                             ReadMode mode = ReadMode::OneQueryPerTable) {
        return fees::ReadFeeStatistics(db(), plates, from, to, item, mode);
    }
    QList<FeeRow> rows(const QStringList& plates, int item, const QDate& from = kFrom, const QDate& to = kTo) {
        return fees::ReportRows(read(plates, item, from, to));
    }

    template <typename Fn> QStringList sent(Fn fn) {
        store::DatabaseConnection::ClearStatementLog();
        store::DatabaseConnection::SetStatementLogging(true);
        fn();
        store::DatabaseConnection::SetStatementLogging(false);
        return store::DatabaseConnection::StatementLog();
    }

    std::unique_ptr<fees_test::FeeFleet> fleet;
};

// Texts of a row's cells, for comparisons that show the whole row on failure.
QStringList texts(const FeeRow& row) {
    QStringList out;
    for (const fees::FeeCell& c : row)
        out << c.text;
    return out;
}

// ---- which vehicles -----------------------------------------------------------------------

TEST_F(FeeStatisticsTest, AllVehiclesAreTheMasterTableInItsOrder) {
    fleet->vehicle(kB);
    fleet->vehicle(kA);
    for (const QString& text : {QString(), u"全部车辆"_s}) {
        const fees::PlateChoice c = fees::ChoosePlates(db(), text);
        ASSERT_TRUE(c.ok);
        EXPECT_EQ(c.plates, QStringList({kB, kA}));
    }
}

TEST_F(FeeStatisticsTest, SevenBytePlateIsRefusedBeforeAnyQuery) {
    fleet->vehicle(kA);
    fees::PlateChoice c;
    const QStringList log = sent([&] { c = fees::ChoosePlates(db(), u"京A1234"_s); });
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(s(c.message), "请检查主车牌号是否正确");
    EXPECT_TRUE(c.warning);
    EXPECT_TRUE(log.isEmpty()) << s(log.join(u"\n"_s));
    // Nine bytes (a seven-character tail) is as wrong for this check as seven.
    EXPECT_FALSE(fees::ChoosePlates(db(), u"京A123456"_s).ok);
}

TEST_F(FeeStatisticsTest, WellFormedPlateMissingFromTheMasterTableIsRefusedByTheCountQuery) {
    fleet->vehicle(kA);
    fees::PlateChoice c;
    const QStringList log = sent([&] { c = fees::ChoosePlates(db(), u"京Z99999"_s); });
    EXPECT_FALSE(c.ok);
    EXPECT_FALSE(c.warning);
    EXPECT_EQ(s(c.message), "对不起！请核对车号后再次输入！没有找到车号为京Z99999的车辆");
    EXPECT_EQ(log, QStringList({u"select count(*) as[数量] from [总表] where [车牌号]='京Z99999'"_s}));
}

TEST_F(FeeStatisticsTest, TypedPlateIsReportedAloneWhileTheTitlesNameAllVehicles) {
    fleet->vehicle(kA);
    fleet->vehicle(kB);
    const fees::PlateChoice c = fees::ChoosePlates(db(), kB);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.plates, QStringList({kB}));
    const QString w = fees::TitleVehicle(kB, true);
    EXPECT_EQ(s(fees::PrintTitle(w, QDate(2026, 3, 5), QDate(2026, 11, 20), 0)),
              "车号为全部车辆从2026-3-5到2026-11-20的全部费用的内容。");
    EXPECT_EQ(s(fees::TitleLabelText(w, QDate(2026, 3, 5), QDate(2026, 11, 20), 0)),
              "当前显示车号为全部车辆从2026-3-5到2026-11-20的全部费用的内容。");
    // Chosen from the list, the plate itself names the report.
    EXPECT_EQ(s(fees::PrintTitle(fees::TitleVehicle(kB, false), kFrom, kTo, 3)),
              "车号为京B23456从2026-1-1到2026-12-31的保险类的内容。");
}

TEST_F(FeeStatisticsTest, QuoteInTypedPlateStaysInsideItsLiteral) {
    fleet->vehicle(kA);
    const QString plate = u"京A'1=1-"_s; // eight bytes
    QStringList log = sent([&] { EXPECT_FALSE(fees::ChoosePlates(db(), plate).ok); });
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log.first().endsWith(u"='"_s + store::SqlText(plate) + u"'"_s)) << s(log.first());
}

// ---- the period ---------------------------------------------------------------------------

TEST_F(FeeStatisticsTest, StartAfterEndGivesOneRowPerVehicleWithZeroSubtotals) {
    fleet->vehicle(kA);
    fleet->vehicle(kB);
    fleet->pay(kA, kInspection, u"100"_s, u"100"_s, QDate(2026, 5, 1));
    const QList<FeeRow> r = rows({kA, kB}, 0, QDate(2026, 12, 1), QDate(2026, 1, 1));
    ASSERT_EQ(r.size(), 3); // one row per vehicle, then 合计
    for (int v = 0; v < 2; ++v) {
        EXPECT_EQ(r[v][0].text, QString::number(2 + v));
        EXPECT_EQ(r[v][1].text, v == 0 ? kA : kB);
        for (int k = 0; k < fees::kKindCount; ++k) {
            EXPECT_EQ(s(r[v][fees::DueColumn(k)].text), "0");
            EXPECT_EQ(s(r[v][fees::PaidColumn(k)].text), "0");
            EXPECT_EQ(r[v][fees::DueColumn(k)].mark, CellMark::Subtotal);
            EXPECT_TRUE(r[v][fees::DateColumn(k)].text.isEmpty());
        }
    }
    EXPECT_EQ(s(r[2][1].text), "合计");
}

TEST_F(FeeStatisticsTest, BothEndsOfThePeriodAreIncluded) {
    fleet->vehicle(kA);
    fleet->pay(kA, kManagement, u"1"_s, u"1"_s, QDate(2026, 2, 28));
    fleet->pay(kA, kManagement, u"10"_s, u"10"_s, QDate(2026, 3, 1));
    fleet->pay(kA, kManagement, u"100"_s, u"100"_s, QDate(2026, 3, 31));
    fleet->pay(kA, kManagement, u"1000"_s, u"1000"_s, QDate(2026, 4, 1));
    for (const ReadMode mode : {ReadMode::OneQueryPerTable, ReadMode::PerKindQuery}) {
        for (const int item : {0, 4}) {
            const fees::FeeStatistics st = read({kA}, item, QDate(2026, 3, 1), QDate(2026, 3, 31), mode);
            const fees::KindFees& m = st.vehicles[0].kinds[kManagement];
            ASSERT_EQ(m.records.size(), 2);
            EXPECT_EQ(s(m.records[0].date), "2026-03-01");
            EXPECT_EQ(s(m.records[1].date), "2026-03-31");
            EXPECT_EQ(s(m.dueSum.toString()), "110");
        }
    }
    // A one-day period holds that day's payments.
    EXPECT_EQ(read({kA}, 0, QDate(2026, 4, 1), QDate(2026, 4, 1)).vehicles[0].kinds[kManagement].records.size(), 1);
}

TEST_F(FeeStatisticsTest, KindQueriesAreTheDesignedTextsWithDatesWithoutLeadingZeros) {
    EXPECT_EQ(s(fees::KindQuery(kInspection, kA, QDate(2026, 1, 5), QDate(2026, 10, 9))),
              "select [审车应缴费用],[审车已缴费用],[审车缴费日期] from 京A12345 where [审车缴费日期]>=#2026-1-5# "
              "and [审车缴费日期]<= #2026-10-9#");
    EXPECT_EQ(s(fees::KindQuery(kPermit, kA, QDate(2026, 1, 5), QDate(2026, 10, 9))),
              "select [营运证应缴费用],[营运证已缴费用],[营运缴费日期] from 京A12345 where [营运缴费日期]>=#2026-1-5# "
              "and [营运缴费日期]<= #2026-10-9#");
    // Per kind and per vehicle when the statistics are read as designed.
    fleet->vehicle(kA);
    const QStringList log = sent([&] { read({kA}, 0, kFrom, kTo, ReadMode::PerKindQuery); });
    ASSERT_EQ(log.size(), 5);
    for (int k = 0; k < fees::kKindCount; ++k)
        EXPECT_EQ(log[k], fees::KindQuery(k, kA, kFrom, kTo));
}

// ---- records and sums ---------------------------------------------------------------------

TEST_F(FeeStatisticsTest, RecordWithEmptyDueIsNotListedEvenWhenPaidIsSet) {
    fleet->vehicle(kA);
    fleet->pay(kA, kInsurance, QString(), u"500"_s, QDate(2026, 6, 1));
    fleet->pay(kA, kInsurance, u"80"_s, u"20"_s, QDate(2026, 6, 2));
    for (const ReadMode mode : {ReadMode::OneQueryPerTable, ReadMode::PerKindQuery}) {
        const fees::FeeStatistics st = read({kA}, 0, kFrom, kTo, mode);
        const fees::KindFees& ins = st.vehicles[0].kinds[kInsurance];
        ASSERT_EQ(ins.records.size(), 1);
        EXPECT_EQ(s(ins.records[0].due), "80");
        EXPECT_EQ(s(ins.paidSum.toString()), "20");
    }
    const QList<FeeRow> r = rows({kA}, 0);
    ASSERT_EQ(r.size(), 3);
    EXPECT_EQ(s(r[0][fees::PaidColumn(kInsurance)].text), "20");
    EXPECT_EQ(s(r[1][fees::PaidColumn(kInsurance)].text), "20"); // the subtotal, not 520
}

TEST_F(FeeStatisticsTest, SubtotalsAreExactAndTheGrandTotalSumsEveryVehicle) {
    fleet->vehicle(kA);
    fleet->vehicle(kB);
    fleet->pay(kA, kInspection, u"100.5"_s, u"0.5"_s, QDate(2026, 3, 1));
    fleet->pay(kA, kInspection, u"200.7"_s, u"0.5"_s, QDate(2026, 4, 1));
    fleet->pay(kB, kInspection, u"0.05"_s, u"1"_s, QDate(2026, 4, 1));
    fleet->pay(kB, kPermit, u"1000"_s, u"999.99"_s, QDate(2026, 4, 1));
    const QList<FeeRow> r = rows({kA, kB}, 0);
    // kA: two records and its subtotal row; kB: one record and its subtotal row; 合计.
    ASSERT_EQ(r.size(), 6);
    EXPECT_EQ(s(r[2][fees::DueColumn(kInspection)].text), "301.2");
    EXPECT_EQ(s(r[2][fees::PaidColumn(kInspection)].text), "1");
    EXPECT_EQ(r[2][fees::DueColumn(kInspection)].mark, CellMark::Subtotal);
    EXPECT_EQ(s(r[4][fees::DueColumn(kInspection)].text), "0.05");
    EXPECT_EQ(s(r[4][fees::PaidColumn(kPermit)].text), "999.99");
    const FeeRow& total = r[5];
    EXPECT_EQ(s(total[0].text), "7");
    EXPECT_EQ(s(total[1].text), "合计");
    EXPECT_EQ(s(total[fees::DueColumn(kInspection)].text), "301.25");
    EXPECT_EQ(s(total[fees::PaidColumn(kInspection)].text), "2");
    EXPECT_EQ(s(total[fees::DueColumn(kPermit)].text), "1000");
    EXPECT_EQ(s(total[fees::PaidColumn(kPermit)].text), "999.99");
    EXPECT_EQ(s(total[fees::DueColumn(kMaintenance)].text), "0");
    for (int k = 0; k < fees::kKindCount; ++k) {
        EXPECT_EQ(total[fees::DueColumn(k)].mark, CellMark::Subtotal);
        EXPECT_EQ(total[fees::PaidColumn(k)].mark, CellMark::Subtotal);
        EXPECT_TRUE(total[fees::DateColumn(k)].text.isEmpty());
    }
    const fees::FeeStatistics st = read({kA, kB}, 0);
    EXPECT_EQ(s(st.dueTotals[kInspection].toString()), "301.25");
}

TEST_F(FeeStatisticsTest, NonNumericAmountCountsZeroAndIsMarked) {
    fleet->vehicle(kA);
    fleet->pay(kA, kMaintenance, u"三百"_s, u"12元"_s, QDate(2026, 3, 1));
    fleet->pay(kA, kMaintenance, u"50.5"_s, QString(), QDate(2026, 3, 2));
    const QList<FeeRow> r = rows({kA}, 2);
    ASSERT_EQ(r.size(), 4);
    EXPECT_EQ(s(r[0][fees::DueColumn(kMaintenance)].text), "三百");
    EXPECT_EQ(r[0][fees::DueColumn(kMaintenance)].mark, CellMark::InvalidAmount);
    EXPECT_EQ(r[0][fees::PaidColumn(kMaintenance)].mark, CellMark::InvalidAmount);
    EXPECT_EQ(r[1][fees::DueColumn(kMaintenance)].mark, CellMark::None);
    // Nothing typed is not a wrong number: the empty paid cell stays unmarked.
    EXPECT_EQ(r[1][fees::PaidColumn(kMaintenance)].mark, CellMark::None);
    EXPECT_EQ(s(r[2][fees::DueColumn(kMaintenance)].text), "50.5");
    EXPECT_EQ(s(r[2][fees::PaidColumn(kMaintenance)].text), "0");
    EXPECT_EQ(s(r[3][fees::DueColumn(kMaintenance)].text), "50.5");
}

// ---- layout -------------------------------------------------------------------------------

TEST_F(FeeStatisticsTest, InspectionOnlyFillsColumnsTwoToFourWhileEveryKindKeepsItsSubtotalCells) {
    fleet->vehicle(kA);
    for (int k = 0; k < fees::kKindCount; ++k)
        fleet->pay(kA, k, u"10"_s, u"5"_s, QDate(2026, 7, 1));
    const QList<FeeRow> r = rows({kA}, 1);
    ASSERT_EQ(r.size(), 3);
    EXPECT_EQ(texts(r[0]), QStringList({u"2"_s, kA, u"10"_s, u"5"_s, u"2026-07-01"_s, u""_s, u""_s, u""_s, u""_s, u""_s,
                                        u""_s, u""_s, u""_s, u""_s, u""_s, u""_s, u""_s}));
    EXPECT_EQ(texts(r[1]), QStringList({u"3"_s, u""_s, u"10"_s, u"5"_s, u""_s, u"0"_s, u"0"_s, u""_s, u"0"_s, u"0"_s,
                                        u""_s, u"0"_s, u"0"_s, u""_s, u"0"_s, u"0"_s, u""_s}));
    for (int k = 0; k < fees::kKindCount; ++k)
        EXPECT_EQ(r[1][fees::PaidColumn(k)].mark, CellMark::Subtotal);
}

TEST_F(FeeStatisticsTest, EachKindFillsItsColumnsDownwardsFromTheVehiclesFirstRow) {
    fleet->vehicle(kA);
    fleet->vehicle(kB);
    fleet->pay(kA, kInspection, u"1"_s, u"1"_s, QDate(2026, 1, 10));
    fleet->pay(kA, kInsurance, u"2"_s, u"2"_s, QDate(2026, 1, 11));
    fleet->pay(kA, kInspection, u"3"_s, u"3"_s, QDate(2026, 1, 12));
    fleet->pay(kA, kInsurance, u"4"_s, u"4"_s, QDate(2026, 1, 13));
    fleet->pay(kA, kInsurance, u"5"_s, u"5"_s, QDate(2026, 1, 14));
    fleet->pay(kB, kPermit, u"6"_s, u"6"_s, QDate(2026, 1, 15));
    const QList<FeeRow> r = rows({kA, kB}, 0);
    // kA: 3 insurance records are its deepest kind, then its subtotal row; kB: 1 + 1; 合计.
    ASSERT_EQ(r.size(), 7);
    for (int i = 0; i < r.size(); ++i)
        EXPECT_EQ(r[i][0].text, QString::number(i + 2));
    EXPECT_EQ(r[0][1].text, kA);
    EXPECT_EQ(r[4][1].text, kB);
    for (int i : {1, 2, 3, 5})
        EXPECT_TRUE(r[i][1].text.isEmpty());
    EXPECT_EQ(s(r[0][fees::DueColumn(kInspection)].text), "1");
    EXPECT_EQ(s(r[1][fees::DueColumn(kInspection)].text), "3");
    EXPECT_TRUE(r[2][fees::DueColumn(kInspection)].text.isEmpty());
    EXPECT_EQ(s(r[0][fees::DueColumn(kInsurance)].text), "2");
    EXPECT_EQ(s(r[2][fees::DueColumn(kInsurance)].text), "5");
    EXPECT_EQ(s(r[2][fees::DateColumn(kInsurance)].text), "2026-01-14");
    EXPECT_EQ(s(r[3][fees::DueColumn(kInspection)].text), "4");
    EXPECT_EQ(s(r[3][fees::DueColumn(kInsurance)].text), "11");
    EXPECT_EQ(s(r[4][fees::DueColumn(kPermit)].text), "6");
    EXPECT_EQ(s(r[5][fees::DueColumn(kPermit)].text), "6");
    EXPECT_EQ(s(r[5][fees::DueColumn(kInspection)].text), "0");
    EXPECT_EQ(s(r[6][fees::DueColumn(kInsurance)].text), "11");
}

TEST(FeeLayoutTest, HeaderRowsAndColumnWidths) {
    const auto h = fees::HeaderRows();
    EXPECT_EQ(texts(h[0]), QStringList({u"0"_s, u""_s, u"审车类费用及日期"_s, u""_s, u""_s, u"二维类费用及日期"_s,
                                        u""_s, u""_s, u"保险类费用及日期"_s, u""_s, u""_s, u"管理费用类及日期"_s, u""_s,
                                        u""_s, u"营运证费用类及日期"_s, u""_s, u""_s}));
    EXPECT_EQ(texts(h[1]), QStringList({u"1"_s, u"车号"_s, u"应缴"_s, u"已缴"_s, u"日期"_s, u"应缴"_s, u"已缴"_s,
                                        u"日期"_s, u"应缴"_s, u"已缴"_s, u"日期"_s, u"应缴"_s, u"已缴"_s, u"日期"_s,
                                        u"应缴"_s, u"已缴"_s, u"日期"_s}));
    QList<int> widths;
    for (int c = 0; c < fees::kColumnCount; ++c)
        widths << fees::ColumnWidth(c);
    EXPECT_EQ(widths, QList<int>({0, 60, 0, 0, 90, 0, 0, 90, 0, 0, 90, 0, 0, 90, 0, 0, 90}));
}

// ---- failures -----------------------------------------------------------------------------

class FailingKindTest : public FeeStatisticsTest {
protected:
    // A vehicle whose table lacks one column: exactly the queries naming it fail.
    void vehicleWithout(const QString& plate, const QString& missing) {
        QStringList columns;
        for (const store::ColumnDef& c : store::VehicleColumns()) {
            if (c.name == missing)
                continue;
            static const char* const types[] = {"integer primary key autoincrement", "text", "date", "yesno default 0",
                                                "blob"};
            columns << u"["_s + c.name + u"] "_s + QString::fromLatin1(types[int(c.type)]);
        }
        ASSERT_TRUE(db().ExecuteStatement(u"create table "_s + plate + u" ("_s + columns.join(u", "_s) + u")"_s));
        ASSERT_TRUE(db().ExecuteStatement(u"insert into [总表]([档案编号],[车牌号]) values('9','"_s + plate + u"')"_s));
    }
};

TEST_F(FailingKindTest, FailingKindQuerySkipsThatKindOnly) {
    fleet->vehicle(kA);
    vehicleWithout(kB, u"二维缴费日期"_s);
    fleet->vehicle(kC);
    for (const QString& p : {kA, kB, kC}) {
        fleet->pay(p, kInspection, u"10"_s, u"10"_s, QDate(2026, 2, 1));
        if (p != kB)
            fleet->pay(p, kMaintenance, u"20"_s, u"20"_s, QDate(2026, 2, 1));
    }
    for (const ReadMode mode : {ReadMode::OneQueryPerTable, ReadMode::PerKindQuery}) {
        const fees::FeeStatistics st = read({kA, kB, kC}, 0, kFrom, kTo, mode);
        EXPECT_EQ(st.messages, QStringList({u"查询失败！"_s}));
        EXPECT_TRUE(st.vehicles[1].kinds[kMaintenance].failed);
        EXPECT_FALSE(st.vehicles[1].kinds[kInspection].failed);
        EXPECT_EQ(st.vehicles[1].kinds[kInspection].records.size(), 1);
        EXPECT_EQ(st.vehicles[2].kinds[kMaintenance].records.size(), 1);
        EXPECT_EQ(s(st.dueTotals[kInspection].toString()), "30");
        EXPECT_EQ(s(st.dueTotals[kMaintenance].toString()), "40");
    }
}

TEST_F(FailingKindTest, OperatingPermitFailureHasItsOwnMessageAndMissingTablesFailEveryKind) {
    vehicleWithout(kA, u"营运证应缴费用"_s);
    ASSERT_TRUE(db().ExecuteStatement(u"insert into [总表]([档案编号],[车牌号]) values('8','京D45678')"_s));
    const fees::FeeStatistics st = read({kA, u"京D45678"_s}, 0);
    EXPECT_EQ(st.messages, QStringList({u"查询失败！！"_s, u"查询失败！"_s, u"查询失败！"_s, u"查询失败！"_s,
                                        u"查询失败！"_s, u"查询失败！！"_s}));
    EXPECT_EQ(fees::ReportRows(st).size(), 3);
}

TEST_F(FeeStatisticsTest, PlateThatCannotNameATableNeverReachesAStatement) {
    fleet->vehicle(kA);
    const QString bad = u"京A1 or 1"_s;
    ASSERT_TRUE(db().ExecuteStatement(u"insert into [总表]([档案编号],[车牌号]) values('7','"_s + store::SqlText(bad) +
                                      u"')"_s));
    fees::FeeStatistics st;
    const QStringList log = sent([&] { st = read({bad, kA}, 0); });
    for (const QString& statement : log)
        EXPECT_FALSE(statement.contains(bad)) << s(statement);
    EXPECT_EQ(st.messages.size(), 5);
    EXPECT_EQ(st.vehicles[0].plate, bad);
    EXPECT_EQ(st.vehicles.size(), 2);
}

// ---- one read per table gives what the designed queries give ------------------------------

TEST_F(FeeStatisticsTest, OneReadPerTableMatchesThePerKindQueries) {
    QRandomGenerator rng(12);
    QStringList plates;
    for (int v = 0; v < 6; ++v) {
        const QString p = u"苏E%1"_s.arg(10000 + v);
        plates << p;
        fleet->vehicle(p);
        for (int r = 0; r < 25; ++r) {
            const int k = int(rng.bounded(fees::kKindCount));
            const QString due = rng.bounded(6) == 0 ? QString() : QString::number(rng.bounded(100000) / 100.0, 'f', 2);
            const QString paid = rng.bounded(8) == 0 ? u"未缴"_s : QString::number(rng.bounded(1000));
            fleet->pay(p, k, due, paid, QDate(2025, 11, 1).addDays(int(rng.bounded(500))));
        }
    }
    const QList<QPair<QDate, QDate>> periods = {
        {kFrom, kTo}, {QDate(2026, 2, 3), QDate(2026, 2, 20)}, {QDate(2000, 1, 1), QDate(2000, 1, 1)}, {kTo, kFrom}};
    int listed = 0;
    for (const auto& [from, to] : periods) {
        for (int item = 0; item < fees::ItemTexts().size(); ++item) {
            const QList<FeeRow> one = fees::ReportRows(read(plates, item, from, to, ReadMode::OneQueryPerTable));
            const QList<FeeRow> per = fees::ReportRows(read(plates, item, from, to, ReadMode::PerKindQuery));
            ASSERT_EQ(one.size(), per.size());
            for (int i = 0; i < one.size(); ++i) {
                EXPECT_EQ(texts(one[i]), texts(per[i])) << "row " << i << " item " << item;
                for (int c = 0; c < fees::kColumnCount; ++c)
                    EXPECT_EQ(one[i][c].mark, per[i][c].mark);
            }
            listed += int(one.size());
        }
    }
    EXPECT_GT(listed, 200); // the fleet does produce records in the periods
    // And it is one query per vehicle table, not a fallback to the five.
    const QStringList log = sent([&] { read(plates, 0); });
    ASSERT_EQ(log.size(), plates.size());
    for (int v = 0; v < plates.size(); ++v)
        EXPECT_TRUE(log[v].contains(u" from "_s + plates[v] + u" where "_s)) << s(log[v]);
}

} // namespace
