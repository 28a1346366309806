#include "alerts/rules.h"
#include "archive/vehicledata.h"
#include "fleet.h"
#include "store/session.h"
#include "support/testsupport.h"

using namespace Qt::StringLiterals;

using alerts::AlertClass;
using alerts::Kind;
using alerts::LapseOutcome;
using alerts_test::Fleet;

namespace {

const QDate kMay{2026, 5, 1};

int node(AlertClass c, Kind k) {
    return alerts::ClassNode(c, k);
}

// Every plate's node memberships, for compact checks.
QStringList nodesOf(const alerts::AlertSetList& sets, const QString& plate) {
    QStringList names;
    for (int k = 0; k < alerts::kNodeCount; ++k)
        if (sets[k].contains(plate))
            names << alerts::NodeText(k);
    return names;
}

QStringList updates(const QStringList& log) {
    QStringList out;
    for (const QString& s : log)
        if (s.startsWith(QLatin1String("update ")))
            out << s;
    return out;
}

class AlertFleetTest : public testing_support::DataDirTest {
protected:
    std::unique_ptr<Fleet> fleet;
    void SetUp() override {
        DataDirTest::SetUp();
        fleet = std::make_unique<Fleet>(db());
    }
    alerts::AlertResult compute(const QDate& month = kMay) {
        store::DatabaseConnection::ClearStatementLog();
        store::DatabaseConnection::SetStatementLogging(true);
        alerts::AlertResult r = alerts::ComputeAlerts(db(), month);
        store::DatabaseConnection::SetStatementLogging(false);
        return r;
    }
    bool flag(const QString& plate, const char* column, int number) {
        const int h = db().OpenRecordSet(
            u"select [%1] from %2 where [编号]=%3"_s.arg(QString::fromUtf8(column), plate).arg(number));
        EXPECT_NE(h, 0);
        const bool value = db().ReadField(h, QString::fromUtf8(column)).yesNo();
        db().CloseRecordSet(h);
        return value;
    }
};

} // namespace

// ---- month arithmetic ----------------------------------------------------------------------

TEST(MonthMath, CountsCalendarMonthsAndIgnoresTheDay) {
    EXPECT_EQ(alerts::MonthsBetween(QDate(2026, 6, 30), QDate(2026, 5, 1)), 1);
    EXPECT_EQ(alerts::MonthsBetween(QDate(2026, 5, 31), QDate(2026, 5, 1)), 0);
    EXPECT_EQ(alerts::MonthsBetween(QDate(2027, 1, 1), QDate(2026, 12, 31)), 1);
    EXPECT_EQ(alerts::MonthsBetween(QDate(2025, 11, 15), QDate(2026, 2, 1)), -3);
    EXPECT_FALSE(alerts::IsSetDate(QDate(2000, 1, 15)));
    EXPECT_FALSE(alerts::IsSetDate(QDate()));
    EXPECT_TRUE(alerts::IsSetDate(QDate(2000, 2, 1)));
}

// ---- DueSoon and DueThisMonth --------------------------------------------------------------

TEST(DueRules, NextMonthIsDueSoonThisMonthIsDueThisMonth) {
    EXPECT_TRUE(alerts::DueSoon(QDate(2026, 6, 28), {}, kMay));
    EXPECT_FALSE(alerts::DueSoon(QDate(2026, 5, 2), {}, kMay));
    EXPECT_FALSE(alerts::DueSoon(QDate(2026, 7, 1), {}, kMay));
    EXPECT_TRUE(alerts::DueThisMonth(QDate(2026, 5, 31), {}, kMay));
    EXPECT_FALSE(alerts::DueThisMonth(QDate(2026, 4, 30), {}, kMay));
    // Either date of a pair decides; an unset main date leaves the trailer date alone.
    EXPECT_TRUE(alerts::DueSoon(QDate(2026, 9, 1), QDate(2026, 6, 1), kMay));
    EXPECT_TRUE(alerts::DueThisMonth(QDate(2000, 1, 1), QDate(2026, 5, 9), kMay));
    EXPECT_FALSE(alerts::DueThisMonth(QDate(2000, 1, 20), QDate(2000, 1, 1), QDate(2000, 1, 1)));
}

TEST(DueRules, DecemberWarnsOfJanuaryAcrossTheYear) {
    EXPECT_TRUE(alerts::DueSoon(QDate(2027, 1, 10), {}, QDate(2026, 12, 1)));
    EXPECT_FALSE(alerts::DueSoon(QDate(2026, 1, 10), {}, QDate(2026, 12, 1)));
}

TEST_F(AlertFleetTest, DecemberFleetPutsAJanuaryInsuranceUnderItsWarning) {
    fleet->vehicle(u"京D10001"_s);
    fleet->insurance(u"京D10001"_s, QDate(2027, 1, 3));
    const auto r = compute(QDate(2026, 12, 1));
    EXPECT_EQ(nodesOf(r.sets, u"京D10001"_s), QStringList({u"公司车辆"_s, u"预警保险车辆"_s}));
}

// ---- Lapsed and the lapse flag -------------------------------------------------------------

TEST(LapsedRule, OneOrTwoMonthsLapseThreeOrMoreOnlyFlag) {
    EXPECT_EQ(alerts::Lapsed(QDate(2026, 4, 30), {}, kMay), LapseOutcome::Lapsed);
    EXPECT_EQ(alerts::Lapsed(QDate(2026, 3, 1), {}, kMay), LapseOutcome::Lapsed);
    EXPECT_EQ(alerts::Lapsed(QDate(2026, 2, 28), {}, kMay), LapseOutcome::FlagOnly);
    EXPECT_EQ(alerts::Lapsed(QDate(2026, 5, 1), {}, kMay), LapseOutcome::None);
    EXPECT_EQ(alerts::Lapsed(QDate(2000, 1, 15), {}, kMay), LapseOutcome::None);
    // The earlier of two set dates decides, whichever of them it is.
    EXPECT_EQ(alerts::Lapsed(QDate(2026, 4, 1), QDate(2026, 1, 1), kMay), LapseOutcome::FlagOnly);
    EXPECT_EQ(alerts::Lapsed(QDate(2026, 1, 1), QDate(2026, 4, 1), kMay), LapseOutcome::FlagOnly);
    EXPECT_EQ(alerts::Lapsed(QDate(2026, 7, 1), QDate(2026, 4, 1), kMay), LapseOutcome::Lapsed);
    EXPECT_EQ(alerts::Lapsed(QDate(2000, 1, 1), QDate(2026, 3, 1), kMay), LapseOutcome::Lapsed);
}

TEST_F(AlertFleetTest, MayClassifiesInspectionsByTheirMonth) {
    const QStringList plates = {u"京A00006"_s, u"京A00005"_s, u"京A00004"_s, u"京A00003"_s, u"京A00002"_s};
    const QList<QDate> due = {QDate(2026, 6, 30), QDate(2026, 5, 1), QDate(2026, 4, 15), QDate(2026, 3, 31),
                              QDate(2026, 2, 27)};
    for (int i = 0; i < plates.size(); ++i) {
        fleet->vehicle(plates[i]);
        fleet->inspection(plates[i], due[i]);
    }
    const auto r = compute();
    EXPECT_EQ(r.sets[node(AlertClass::DueSoon, Kind::Inspection)], QStringList({plates[0]}));
    EXPECT_EQ(r.sets[node(AlertClass::DueThisMonth, Kind::Inspection)], QStringList({plates[1]}));
    EXPECT_EQ(r.sets[node(AlertClass::Lapsed, Kind::Inspection)], QStringList({plates[2], plates[3]}));
    EXPECT_EQ(nodesOf(r.sets, plates[4]), QStringList({u"公司车辆"_s, u"拉黑车辆"_s}));
    EXPECT_EQ(r.sets[alerts::kBlacklistNode], QStringList({plates[4]}));
    EXPECT_TRUE(r.messages.isEmpty());
}

TEST_F(AlertFleetTest, FebruaryInMaySetsTheFlagOnTheLastRowWithTheMainDate) {
    const QString p = u"京A00002"_s;
    fleet->vehicle(p);                        // 编号 1
    fleet->inspection(p, QDate(2025, 12, 1)); // 编号 2
    fleet->inspection(p, QDate(2026, 2, 10)); // 编号 3: the current inspection row
    fleet->maintenance(p, QDate(2026, 9, 1)); // 编号 4: a later row of another kind
    const auto r = compute();
    EXPECT_EQ(updates(store::DatabaseConnection::StatementLog()),
              QStringList({u"update 京A00002 set [是否脱审]=true where [编号]=3"_s}));
    EXPECT_EQ(r.flagUpdates, 1);
    EXPECT_TRUE(flag(p, "是否脱审", 3));
    EXPECT_FALSE(flag(p, "是否脱审", 2));
    EXPECT_FALSE(flag(p, "是否脱审", 4));
    EXPECT_EQ(nodesOf(r.sets, p), QStringList({u"公司车辆"_s, u"拉黑车辆"_s}));
}

TEST_F(AlertFleetTest, EachKindWritesItsOwnFlag) {
    const QString p = u"沪B20001"_s;
    fleet->vehicle(p);
    fleet->maintenance(p, QDate(2025, 1, 1));     // 2
    fleet->insurance(p, QDate(2025, 1, 1));       // 3
    fleet->managementFee(p, QDate(2025, 1, 1));   // 4
    fleet->operatingPermit(p, QDate(2025, 1, 1)); // 5
    compute();
    EXPECT_EQ(updates(store::DatabaseConnection::StatementLog()),
              QStringList({u"update 沪B20001 set [是否脱维]=true where [编号]=2"_s,
                           u"update 沪B20001 set [是否脱保]=true where [编号]=3"_s,
                           u"update 沪B20001 set [是否脱管]=true where [编号]=4"_s,
                           u"update 沪B20001 set [是否脱营]=true where [编号]=5"_s}));
    EXPECT_TRUE(flag(p, "是否脱维", 2));
    EXPECT_TRUE(flag(p, "是否脱保", 3));
    EXPECT_TRUE(flag(p, "是否脱管", 4));
    EXPECT_TRUE(flag(p, "是否脱营", 5));
}

TEST_F(AlertFleetTest, BothDatesPlaceTheVehicleByEachAndLapseByTheEarlier) {
    const QString both = u"京B00001"_s;
    fleet->vehicle(both);
    fleet->inspection(both, QDate(2026, 5, 20), QDate(2026, 6, 3));
    const QString old = u"京B00002"_s;
    fleet->vehicle(old);
    fleet->inspection(old, QDate(2026, 4, 2), QDate(2026, 1, 30)); // 编号 2
    const auto r = compute();
    EXPECT_EQ(nodesOf(r.sets, both), QStringList({u"公司车辆"_s, u"预警年审车辆"_s, u"本月需审车辆"_s}));
    EXPECT_EQ(nodesOf(r.sets, old), QStringList({u"公司车辆"_s, u"拉黑车辆"_s}));
    EXPECT_EQ(updates(store::DatabaseConnection::StatementLog()),
              QStringList({u"update 京B00002 set [是否脱审]=true where [编号]=2"_s}));
    EXPECT_TRUE(flag(old, "是否脱审", 2));
}

// ---- the blacklist -------------------------------------------------------------------------

TEST(BlacklistRule, TestsTheDateItselfAgainstTheUnsetDate) {
    EXPECT_TRUE(alerts::BlacklistDate(QDate(2000, 1, 15), kMay));
    EXPECT_FALSE(alerts::BlacklistDate(QDate(2000, 1, 1), kMay));
    EXPECT_FALSE(alerts::BlacklistDate(QDate(), kMay));
    EXPECT_TRUE(alerts::BlacklistDate(QDate(2026, 2, 28), kMay));
    EXPECT_FALSE(alerts::BlacklistDate(QDate(2026, 3, 1), kMay));
}

TEST_F(AlertFleetTest, January2000IsNoDateForTheClassesButBlacklists) {
    const QString p = u"京C00001"_s;
    fleet->vehicle(p);
    fleet->inspection(p, QDate(2000, 1, 15));
    const auto r = compute();
    EXPECT_EQ(nodesOf(r.sets, p), QStringList({u"公司车辆"_s, u"拉黑车辆"_s}));
    EXPECT_TRUE(updates(store::DatabaseConnection::StatementLog()).isEmpty());
}

TEST_F(AlertFleetTest, BlacklistReadsTheTrailerInspectionButNotTheTrailerInsurance) {
    const QString trailer = u"京C00002"_s;
    fleet->vehicle(trailer);
    fleet->inspection(trailer, QDate(2026, 8, 1), QDate(2025, 10, 1));
    fleet->inspection(trailer, QDate(2026, 9, 1)); // the trailer date lives on in the earlier row
    const QString insurance = u"京C00003"_s;
    fleet->vehicle(insurance);
    fleet->insurance(insurance, QDate(2026, 9, 1), QDate(2025, 10, 1));
    const auto r = compute();
    EXPECT_EQ(r.sets[alerts::kBlacklistNode], QStringList({trailer}));
    // The class rules see the trailer date of the current row only, which the later row lacks.
    EXPECT_FALSE(r.sets[node(AlertClass::Lapsed, Kind::Inspection)].contains(trailer));
}

// ---- vehicle status ------------------------------------------------------------------------

TEST(StatusRule, OnlyOneTwoAndThreeAreStatuses) {
    EXPECT_EQ(alerts::VehicleStatus(u"1"_s), 1);
    EXPECT_EQ(alerts::VehicleStatus(u" 2 "_s), 2);
    EXPECT_EQ(alerts::VehicleStatus(u"3"_s), 3);
    EXPECT_EQ(alerts::VehicleStatus(u"4"_s), 0);
    EXPECT_EQ(alerts::VehicleStatus(u""_s), 0);
    EXPECT_EQ(alerts::VehicleStatus(u"正常"_s), 0);
}

TEST_F(AlertFleetTest, TransferredAndCancelledSitOnlyUnderTheirNodes) {
    const QString out = u"京E00002"_s, gone = u"京E00003"_s, none = u"京E00000"_s, word = u"京E00009"_s;
    for (const auto& [plate, status] :
         QList<QPair<QString, QString>>{{out, u"2"_s}, {gone, u"3"_s}, {none, QString()}, {word, u"正常"_s}}) {
        fleet->vehicle(plate, status);
        fleet->inspection(plate, QDate(2026, 4, 1));
        fleet->insurance(plate, QDate(2025, 1, 1));
    }
    const auto r = compute();
    EXPECT_EQ(nodesOf(r.sets, out), QStringList({u"转出车辆"_s}));
    EXPECT_EQ(nodesOf(r.sets, gone), QStringList({u"注销车辆"_s}));
    for (const QString& p : {none, word})
        EXPECT_EQ(nodesOf(r.sets, p), QStringList({u"脱审车辆"_s, u"拉黑车辆"_s})) << p.toStdString();
    // Only the classified vehicles get flags written.
    EXPECT_EQ(r.flagUpdates, 2);
    EXPECT_TRUE(alerts::IsTransferredOrCancelled(r.sets, out));
    EXPECT_TRUE(alerts::IsTransferredOrCancelled(r.sets, gone));
    EXPECT_FALSE(alerts::IsTransferredOrCancelled(r.sets, none));
    EXPECT_FALSE(alerts::IsTransferredOrCancelled(r.sets, u"京e00002"_s));
}

TEST_F(AlertFleetTest, TheLastStatusCounts) {
    const QString p = u"京E00005"_s;
    fleet->vehicle(p, u"1"_s);
    fleet->row(p, {{u"车辆状态"_s, u"3"_s}});
    fleet->inspection(p, QDate(2026, 5, 3));
    const auto r = compute();
    EXPECT_EQ(nodesOf(r.sets, p), QStringList({u"注销车辆"_s}));
}

// ---- several nodes, order --------------------------------------------------------------------

TEST_F(AlertFleetTest, AVehicleSitsUnderEveryNodeItsDatesReachInMasterOrder) {
    const QString b = u"粤B00002"_s, a = u"粤A00001"_s;
    fleet->vehicle(b);
    fleet->vehicle(a);
    for (const QString& p : {b, a}) {
        fleet->inspection(p, QDate(2026, 6, 1));
        fleet->maintenance(p, QDate(2026, 5, 1));
        fleet->insurance(p, QDate(2026, 4, 1));
        fleet->managementFee(p, QDate(2026, 6, 1));
        fleet->operatingPermit(p, QDate(2025, 5, 1));
    }
    const auto r = compute();
    const QStringList expected = {u"公司车辆"_s,     u"预警年审车辆"_s, u"预警管理费用车辆"_s,
                                  u"本月需维车辆"_s, u"脱保车辆"_s,     u"拉黑车辆"_s};
    EXPECT_EQ(nodesOf(r.sets, a), expected);
    EXPECT_EQ(nodesOf(r.sets, b), expected);
    for (int k : {0, 1, 4, 7, 13, 16})
        EXPECT_EQ(r.sets[k], QStringList({b, a})) << k; // 总表 order, not sorted
}

TEST_F(AlertFleetTest, ClassItemsCarryTheRowsPlateColumn) {
    const QString p = u"津A00001"_s;
    fleet->vehicle(p);
    fleet->row(p, {{u"审车车号"_s, u"津A00001挂"_s}, {u"下次审车日期"_s, QDate(2026, 6, 1)}});
    const auto r = compute();
    EXPECT_EQ(r.sets[node(AlertClass::DueSoon, Kind::Inspection)], QStringList({u"津A00001挂"_s}));
    EXPECT_EQ(r.sets[alerts::kCompanyNode], QStringList({p}));
}

// ---- failures --------------------------------------------------------------------------------

TEST_F(AlertFleetTest, AMissingVehicleTableEndsEachPassAtThatVehicle) {
    fleet->vehicle(u"京F00001"_s);
    fleet->inspection(u"京F00001"_s, QDate(2026, 6, 1));
    fleet->listOnly(u"京F00002"_s);
    fleet->vehicle(u"京F00003"_s);
    fleet->inspection(u"京F00003"_s, QDate(2026, 6, 1));
    fleet->insurance(u"京F00003"_s, QDate(2025, 6, 1));
    const auto r = compute();
    QStringList expected = {u"查询小表失败！"_s};
    for (int k = 1; k <= 15; ++k)
        expected << alerts::ClassFailureMessage(k);
    expected << u"拉黑查询失败车辆1！?"_s;
    EXPECT_EQ(r.messages, expected);
    EXPECT_EQ(r.sets[alerts::kCompanyNode], QStringList({u"京F00001"_s, u"京F00003"_s}));
    EXPECT_EQ(r.sets[1], QStringList({u"京F00001"_s}));
    EXPECT_TRUE(r.sets[alerts::kBlacklistNode].isEmpty());
    EXPECT_EQ(r.flagUpdates, 0); // the insurance pass never reached the third vehicle
}

TEST_F(AlertFleetTest, AFailureAtTheFirstVehicleEmptiesTheClassNodesButNotTheStatusNodes) {
    fleet->listOnly(u"京G00000"_s);
    fleet->vehicle(u"京G00001"_s);
    fleet->inspection(u"京G00001"_s, QDate(2026, 5, 1));
    fleet->vehicle(u"京G00002"_s, u"2"_s);
    const auto r = compute();
    EXPECT_EQ(r.messages.size(), 17);
    EXPECT_EQ(r.sets[alerts::kCompanyNode], QStringList({u"京G00001"_s}));
    EXPECT_EQ(r.sets[alerts::kTransferredNode], QStringList({u"京G00002"_s}));
    for (int k = 1; k <= 16; ++k)
        EXPECT_TRUE(r.sets[k].isEmpty()) << k;
}

TEST_F(AlertFleetTest, AnUnreadableMasterTableEndsEveryPass) {
    fleet->run(u"drop table 总表"_s);
    const auto r = compute();
    EXPECT_EQ(r.messages, QStringList(17, u"查询失败！"_s));
    for (const QStringList& members : r.sets)
        EXPECT_TRUE(members.isEmpty());
}

TEST_F(AlertFleetTest, APlateThatIsNoPlainNameNeverReachesAStatement) {
    fleet->vehicle(u"京H00001"_s);
    fleet->inspection(u"京H00001"_s, QDate(2025, 1, 1));
    fleet->listOnly(u"京H00001 where 1=1; drop table 权限"_s);
    const auto r = compute();
    for (const QString& s : store::DatabaseConnection::StatementLog())
        EXPECT_FALSE(s.contains(u"drop table"_s)) << s.toStdString();
    EXPECT_EQ(r.messages.value(0), u"查询小表失败！"_s);
    EXPECT_NE(db().OpenRecordSet(u"select * from 权限"_s), 0);
    EXPECT_FALSE(archive::IsSafePlate(u"A B"_s));
    EXPECT_FALSE(archive::IsSafePlate(u"A]"_s));
    EXPECT_FALSE(archive::IsSafePlate(u""_s));
    EXPECT_TRUE(archive::IsSafePlate(u"京A12345"_s));
}

// ---- the texts the refresh sends -------------------------------------------------------------

TEST(StatementTexts, AreTheFixedFragmentsWithThePlate) {
    EXPECT_EQ(alerts::StatusSelect(u"京A1"_s), u"select 车辆状态 from 京A1 where 车辆状态 is not null"_s);
    EXPECT_EQ(alerts::ClassSelect(Kind::Inspection, AlertClass::DueThisMonth, u"京A1"_s),
              u"select [审车车号],[下次审车日期],[是否脱审],[是否提醒主车审车],[是否提醒挂车审车],[下次挂车审车日期] "
              u"from 京A1 where 下次审车日期 is not null"_s);
    EXPECT_EQ(alerts::ClassSelect(Kind::OperatingPermit, AlertClass::Lapsed, u"京A1"_s),
              u"select [编号],[营运车号],[下次营运证日期],[是否脱营],[是否提醒营运] from 京A1 where 下次营运证日期 is "
              u"not null"_s);
    EXPECT_EQ(alerts::BlacklistSelect(1, u"京A1"_s),
              u"select [下次挂车审车日期] from 京A1 where 下次挂车审车日期 is not null"_s);
    EXPECT_EQ(alerts::LapseFlagUpdate(Kind::Insurance, u"京A1"_s, 12),
              u"update 京A1 set [是否脱保]=true where [编号]=12"_s);
    EXPECT_EQ(alerts::ClassFailureMessage(8), u"刷新本月需保车辆失败"_s);
    EXPECT_EQ(alerts::ClassFailureMessage(13), u"刷新树状图脱险车辆！?"_s);
    EXPECT_EQ(alerts::BlacklistFailureMessage(5), u"拉黑查询失败车辆6！?"_s);
    EXPECT_EQ(alerts::AlertMenuItems().size(), 31);
    EXPECT_FALSE(alerts::AlertMenuItems().contains(u"公司车辆台账清单"_s));
    EXPECT_EQ(alerts::NodeMenuItems(16), QStringList({u"拉黑车辆清单"_s}));
    EXPECT_EQ(alerts::NodeMenuItems(15), QStringList({u"脱营车辆清单"_s, u"脱营车辆"_s}));
}
