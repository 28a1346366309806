// The refresh reads each vehicle table once; these tests hold it to the walk it replaces: seventeen
// passes over 总表 with one record set per vehicle, pass and query, written out here plainly.

#include "alerts/rules.h"
#include "fleet.h"
#include "store/target.h"
#include "support/testsupport.h"

#include <QMap>
#include <QRandomGenerator>

#include <cmath>
#include <functional>
#include <tuple>

using namespace Qt::StringLiterals;

using alerts::AlertClass;
using alerts::Kind;
using alerts_test::Fleet;

namespace {

const char* const kPlateColumns[5] = {"审车车号", "二维车号", "保险车号", "管理车号", "营运车号"};
const char* const kMainColumns[5] = {"下次审车日期", "下次二维日期", "下次保险日期", "下次管理费用日期",
                                     "下次营运证日期"};
const char* const kTrailerColumns[5] = {"下次挂车审车日期", nullptr, "下次挂车保险日期", nullptr, nullptr};
const char* const kBlacklistColumns[6] = {"下次审车日期", "下次挂车审车日期", "下次二维日期",
                                          "下次保险日期", "下次管理费用日期", "下次营运证日期"};

alerts::AlertResult designWalk(store::DatabaseConnection& db, const QDate& n) {
    alerts::AlertResult r;
    auto& sets = r.sets;
    auto masterPlates = [&](bool* ok) {
        QStringList plates;
        const int h = db.OpenRecordSet(alerts::kMasterSelect);
        *ok = h != 0;
        if (!h) {
            r.messages << u"查询失败！"_s;
            return plates;
        }
        for (db.MoveFirst(h); !db.AtEnd(h); db.MoveNext(h))
            plates << db.ReadField(h, u"车牌号"_s).text();
        db.CloseRecordSet(h);
        return plates;
    };
    bool ok = false;
    for (const QString& p : masterPlates(&ok)) {
        const int h = db.OpenRecordSet(alerts::StatusSelect(p));
        if (!h) {
            r.messages << u"查询小表失败！"_s;
            continue;
        }
        db.MoveLast(h);
        const int status = db.AtEnd(h) ? 0 : alerts::VehicleStatus(db.ReadField(h, u"车辆状态"_s).text());
        if (status == 1)
            sets[0] << p;
        else if (status == 2)
            sets[17] << p;
        else if (status == 3)
            sets[18] << p;
        db.CloseRecordSet(h);
    }
    for (int c = 0; c < 3; ++c) {
        for (int k = 0; k < 5; ++k) {
            const int node = alerts::ClassNode(AlertClass(c), Kind(k));
            const QStringList plates = masterPlates(&ok);
            for (const QString& p : plates) {
                if (alerts::IsTransferredOrCancelled(sets, p))
                    continue;
                const int h = db.OpenRecordSet(alerts::ClassSelect(Kind(k), AlertClass(c), p));
                if (!h) {
                    r.messages << alerts::ClassFailureMessage(node);
                    break;
                }
                db.MoveLast(h);
                if (!db.AtEnd(h)) {
                    const QDate main = db.ReadField(h, QString::fromUtf8(kMainColumns[k])).date();
                    const QDate trailer =
                        kTrailerColumns[k] ? db.ReadField(h, QString::fromUtf8(kTrailerColumns[k])).date() : QDate();
                    const QString item = db.ReadField(h, QString::fromUtf8(kPlateColumns[k])).text();
                    if (c == 0 && alerts::DueSoon(main, trailer, n))
                        sets[node] << item;
                    if (c == 1 && alerts::DueThisMonth(main, trailer, n))
                        sets[node] << item;
                    if (c == 2) {
                        const auto outcome = alerts::Lapsed(main, trailer, n);
                        if (outcome == alerts::LapseOutcome::Lapsed)
                            sets[node] << item;
                        if (outcome == alerts::LapseOutcome::FlagOnly) {
                            const qint64 number = qint64(std::trunc(db.ReadField(h, u"编号"_s).number()));
                            db.ExecuteStatement(alerts::LapseFlagUpdate(Kind(k), p, number));
                            ++r.flagUpdates;
                        }
                    }
                }
                db.CloseRecordSet(h);
            }
        }
    }
    for (const QString& p : masterPlates(&ok)) {
        if (alerts::IsTransferredOrCancelled(sets, p))
            continue;
        bool mark = false, failed = false;
        for (int c = 0; c < 6 && !failed; ++c) {
            const int h = db.OpenRecordSet(alerts::BlacklistSelect(c, p));
            if (!h) {
                r.messages << alerts::BlacklistFailureMessage(c);
                failed = true;
                break;
            }
            db.MoveLast(h);
            if (!db.AtEnd(h) &&
                alerts::BlacklistDate(db.ReadField(h, QString::fromUtf8(kBlacklistColumns[c])).date(), n))
                mark = true;
            db.CloseRecordSet(h);
        }
        if (failed)
            break;
        if (mark)
            sets[16] << p;
    }
    return r;
}

QStringList updatesIn(const QStringList& log) {
    QStringList out;
    for (const QString& s : log)
        if (s.startsWith(QLatin1String("update ")))
            out << s;
    return out;
}

class WalkEquivalenceTest : public testing_support::DataDirTest {
protected:
    // A fleet with every kind of row, missing tables, tables lacking a column, odd statuses,
    // January-2000 dates, rows without a main date and plates listed twice.
    void buildRandomFleet(quint32 seed, const QDate& n, int vehicles, const QString& prefix = u"京R"_s) {
        QRandomGenerator rng(seed);
        Fleet fleet(db());
        const QStringList statuses = {u"1"_s, u"1"_s, u"1"_s, u"2"_s, u"3"_s, u""_s, QString(), u"x"_s};
        const QStringList droppable = {u"审车是否通知车主"_s, u"是否提醒二维"_s, u"下次挂车保险日期"_s,
                                       u"是否提醒管理"_s,     u"车辆状态"_s,     u"营运车号"_s};
        auto randomDate = [&]() -> QVariant {
            const int pick = rng.bounded(12);
            if (pick == 0)
                return QDate(2000, 1, 1 + rng.bounded(28));
            if (pick == 1)
                return QVariant();
            return n.addMonths(rng.bounded(-8, 8)).addDays(rng.bounded(28));
        };
        for (int v = 0; v < vehicles; ++v) {
            const QString plate = prefix + QString::number(10000 + v);
            const int shape = rng.bounded(20);
            if (shape == 0) {
                fleet.listOnly(plate);
                continue;
            }
            if (shape == 1)
                fleet.vehicleWithout(plate, droppable[rng.bounded(droppable.size())],
                                     statuses[rng.bounded(statuses.size())]);
            else
                fleet.vehicle(plate, statuses[rng.bounded(statuses.size())]);
            if (shape == 2)
                fleet.listOnly(plate); // listed twice
            const int rows = rng.bounded(8);
            for (int i = 0; i < rows; ++i) {
                const int k = rng.bounded(6);
                QList<QPair<QString, QVariant>> values;
                if (k == 5) {
                    values = {{u"车辆状态"_s, statuses[rng.bounded(statuses.size())]}};
                } else {
                    const QString itemPlate = rng.bounded(6) == 0 ? plate + u"挂"_s : plate;
                    if (!(shape == 1 && k == 4))
                        values.append({QString::fromUtf8(kPlateColumns[k]), itemPlate});
                    const QVariant main = randomDate();
                    if (main.isValid())
                        values.append({QString::fromUtf8(kMainColumns[k]), main});
                    if (kTrailerColumns[k] && rng.bounded(2) && !(shape == 1 && k == 2)) {
                        const QVariant trailer = randomDate();
                        if (trailer.isValid())
                            values.append({QString::fromUtf8(kTrailerColumns[k]), trailer});
                    }
                }
                if (!values.isEmpty() && !(shape == 1 && k == 5))
                    fleet.row(plate, values);
            }
        }
    }

    // Every lapse flag of every listed table, by plate, row number and column; a table without
    // the column contributes nothing for it.
    QMap<QString, bool> flagState() {
        QMap<QString, bool> flags;
        QStringList plates;
        const int m = db().OpenRecordSet(alerts::kMasterSelect);
        EXPECT_NE(m, 0);
        for (db().MoveFirst(m); !db().AtEnd(m); db().MoveNext(m))
            plates << db().ReadField(m, u"车牌号"_s).text();
        db().CloseRecordSet(m);
        for (const QString& p : plates) {
            for (const char* flag : {"是否脱审", "是否脱维", "是否脱保", "是否脱管", "是否脱营"}) {
                const int h = db().OpenRecordSet(u"select [编号],["_s + QString::fromUtf8(flag) + u"] from "_s + p);
                if (!h)
                    continue;
                for (db().MoveFirst(h); !db().AtEnd(h); db().MoveNext(h))
                    flags.insert(p + u"/"_s + db().ReadField(h, u"编号"_s).text() + u"/"_s + QString::fromUtf8(flag),
                                 db().ReadField(h, QString::fromUtf8(flag)).yesNo());
                db().CloseRecordSet(h);
            }
        }
        return flags;
    }
};

} // namespace

TEST_F(WalkEquivalenceTest, OneReadPerTableGivesTheWalksSetsMessagesAndFlagStatements) {
    const QDate n(2026, 5, 1);
    buildRandomFleet(20260501, n, 80);
    store::DatabaseConnection::SetStatementLogging(true);

    // The walk and the per-query read each run on the fleet as built, then are undone.
    ASSERT_TRUE(db().BeginTransaction());
    const alerts::AlertResult walked = designWalk(db(), n);
    const QStringList walkedUpdates = updatesIn(store::DatabaseConnection::StatementLog());
    const QMap<QString, bool> flagsWalked = flagState();
    db().RollbackTransaction();
    ASSERT_TRUE(db().BeginTransaction());
    store::DatabaseConnection::ClearStatementLog();
    const alerts::AlertResult perQuery = alerts::ComputeAlerts(db(), n, alerts::ReadMode::PerQuery);
    const QStringList perQueryUpdates = updatesIn(store::DatabaseConnection::StatementLog());
    db().RollbackTransaction();

    // The fleet must exercise what is compared.
    ASSERT_GT(walked.flagUpdates, 3);
    ASSERT_FALSE(walked.messages.isEmpty());
    int members = 0;
    for (const QStringList& s : walked.sets)
        members += int(s.size());
    ASSERT_GT(members, 40);
    ASSERT_NE(flagState(), flagsWalked);
    EXPECT_EQ(perQueryUpdates, walkedUpdates);

    // Half of the due flags are already set: the refresh writes the other half only and ends
    // with the walk's flags.
    QStringList expectedUpdates;
    for (qsizetype i = 0; i < walkedUpdates.size(); ++i) {
        if (i % 2)
            expectedUpdates << walkedUpdates[i];
        else
            ASSERT_TRUE(db().ExecuteStatement(walkedUpdates[i])) << db().LastError().toStdString();
    }
    store::DatabaseConnection::ClearStatementLog();
    const alerts::AlertResult fast = alerts::ComputeAlerts(db(), n);
    const QStringList fastUpdates = updatesIn(store::DatabaseConnection::StatementLog());
    EXPECT_EQ(fastUpdates, expectedUpdates);
    EXPECT_EQ(fast.flagUpdates, int(expectedUpdates.size()));
    EXPECT_EQ(flagState(), flagsWalked);

    for (int k = 0; k < alerts::kNodeCount; ++k) {
        EXPECT_EQ(fast.sets[k], walked.sets[k]) << "node " << k;
        EXPECT_EQ(perQuery.sets[k], walked.sets[k]) << "node " << k;
    }
    EXPECT_EQ(fast.messages, walked.messages);
    EXPECT_EQ(perQuery.messages, walked.messages);

    // A refresh of the fleet unchanged since executes no update, whichever way it reads.
    for (alerts::ReadMode mode : {alerts::ReadMode::OneQueryPerTable, alerts::ReadMode::PerQuery}) {
        store::DatabaseConnection::ClearStatementLog();
        const alerts::AlertResult again = alerts::ComputeAlerts(db(), n, mode);
        EXPECT_EQ(updatesIn(store::DatabaseConnection::StatementLog()), QStringList());
        EXPECT_EQ(again.flagUpdates, 0);
        EXPECT_FALSE(again.flagsUnwritten);
        for (int k = 0; k < alerts::kNodeCount; ++k)
            EXPECT_EQ(again.sets[k], walked.sets[k]) << "node " << k;
        EXPECT_EQ(flagState(), flagsWalked);
    }
    store::DatabaseConnection::SetStatementLogging(false);
}

TEST_F(WalkEquivalenceTest, OtherFleetsAndMonthsAgreeToo) {
    for (quint32 seed : {1u, 2u, 3u, 4u}) {
        const QDate n = QDate(2026, 1 + int(seed) * 3 % 12, 1);
        buildRandomFleet(seed * 7919, n, 25, u"沪%1"_s.arg(QChar(u'A' + int(seed))));
        const alerts::AlertResult walked = designWalk(db(), n);
        const alerts::AlertResult fast = alerts::ComputeAlerts(db(), n);
        for (int k = 0; k < alerts::kNodeCount; ++k)
            EXPECT_EQ(fast.sets[k], walked.sets[k]) << "seed " << seed << " node " << k;
        EXPECT_EQ(fast.messages, walked.messages) << "seed " << seed;
        // Next fleet in a clean database.
        Fleet(db()).run(u"delete * from 总表"_s);
    }
}

// ---- a table that cannot be read with the others, on both engines ----------------------------------

namespace {

struct OddTable {
    const char* name;
    std::function<void(Fleet&, const QString& plate)> make;
    bool droppedLater = false; // made, known to the refresh's connection, then dropped by another
};

void PrintTo(const OddTable& odd, std::ostream* os) {
    *os << odd.name;
}

class OddTableTest : public WalkEquivalenceTest,
                     public ::testing::WithParamInterface<std::tuple<testing_support::Engine, OddTable>> {
protected:
    testing_support::Engine engine() const override { return std::get<0>(GetParam()); }
};

} // namespace

// The server reads the vehicle tables many to a statement; one table among them that no such
// statement can read must still end the refresh exactly as the seventeen passes do.
TEST_P(OddTableTest, TheRefreshEndsAsTheWalkDoes) {
    const OddTable& odd = std::get<1>(GetParam());
    const QDate n(2026, 5, 1);
    buildRandomFleet(4711, n, 12, u"京P"_s);
    const QString plate = u"京P99999"_s;
    Fleet fleet(db());
    odd.make(fleet, plate);
    buildRandomFleet(4712, n, 12, u"京Q"_s);
    if (odd.droppedLater) {
        // The refresh's connection has read every table (and the server's engine its columns).
        alerts::ComputeAlerts(db(), n, alerts::ReadMode::OneQueryPerTable, alerts::FlagWrites::Skip);
        store::DatabaseConnection other;
        ASSERT_TRUE(store::OpenTarget(other, target(), store::ConnectionSharing::Private));
        ASSERT_TRUE(other.ExecuteStatement(u"drop table "_s + plate)) << other.LastError().toStdString();
    }

    ASSERT_TRUE(db().BeginTransaction());
    const alerts::AlertResult walked = designWalk(db(), n);
    const QMap<QString, bool> flagsWalked = flagState();
    db().RollbackTransaction();
    ASSERT_GT(walked.flagUpdates, 0);

    const alerts::AlertResult fast = alerts::ComputeAlerts(db(), n);
    for (int k = 0; k < alerts::kNodeCount; ++k)
        EXPECT_EQ(fast.sets[k], walked.sets[k]) << "node " << k;
    EXPECT_EQ(fast.messages, walked.messages);
    EXPECT_EQ(fast.flagUpdates, walked.flagUpdates);
    EXPECT_EQ(flagState(), flagsWalked);
}

INSTANTIATE_TEST_SUITE_P(Shapes, OddTableTest,
                         ::testing::Combine(
                             testing_support::BothEngines(), ::testing::Values(
                                                                 OddTable{
                                                                     "Missing",
                                                                     [](Fleet& f, const QString& p) { f.listOnly(p); }},
                                                                 OddTable{"WithoutAColumn",
                                                                          [](Fleet& f, const QString& p) {
                                                                              f.vehicleWithout(p, u"是否提醒二维"_s);
                                                                              f.maintenance(p, QDate(2026, 1, 3));
                                                                          }},
                                                                 OddTable{"DatesAsText",
                                                                          [](Fleet& f, const QString& p) {
                                                                              f.vehicleRetyped(p, u"下次审车日期"_s,
                                                                                               u"text"_s);
                                                                              f.inspection(p, QDate(2026, 1, 3));
                                                                              f.inspection(p, QDate(2026, 6, 3));
                                                                          }},
                                                                 OddTable{"DroppedByAnother",
                                                                          [](Fleet& f, const QString& p) {
                                                                              f.vehicle(p);
                                                                              f.inspection(p, QDate(2026, 1, 3));
                                                                          },
                                                                          true})),
                         [](const ::testing::TestParamInfo<std::tuple<testing_support::Engine, OddTable>>& named) {
                             return std::string(testing_support::EngineName(std::get<0>(named.param))) +
                                    std::get<1>(named.param).name;
                         });
