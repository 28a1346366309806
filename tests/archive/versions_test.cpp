#include "archive/records.h"
#include "archive/vehicledata.h"
#include "claims/claims.h"
#include "store/recordset.h"
#include "store/schema.h"
#include "store/versions.h"
#include "support/testsupport.h"

#include <functional>
#include <set>

#include <memory>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace archive;
using store::ConnectionSharing;
using store::DatabaseConnection;

namespace {

const QString kPlate = u"京A12345"_s;

NewVehicle vehicle(const QString& plate, const QString& archiveNumber) {
    NewVehicle v;
    for (const store::ColumnDef& c : store::VehicleColumns()) {
        if (c.type == store::ColumnType::Text)
            v.values.insert(c.name, QString());
        else if (c.type == store::ColumnType::Date)
            v.values.insert(c.name, QDate(2026, 3, 1));
        else if (c.type == store::ColumnType::YesNo)
            v.values.insert(c.name, false);
    }
    v.values.insert(u"主车牌号"_s, plate);
    v.values.insert(u"档案编号"_s, archiveNumber);
    v.values.insert(u"车主姓名"_s, u"张三"_s);
    v.images = {"id-card", "photo", {}, {}, "licence"};
    return v;
}

RecordValues basicValues(const QString& owner) {
    RecordValues v;
    for (const RecordField& f : RecordFields(0)) {
        if (f.kind == ValueKind::Text || f.kind == ValueKind::Choice)
            v.insert(f.column, QString());
        else if (f.kind == ValueKind::Date)
            v.insert(f.column, QDate(2026, 3, 1));
        else if (f.kind == ValueKind::Image)
            v.insert(f.column, QByteArray("image of ") + owner.toUtf8());
        else if (f.kind == ValueKind::State)
            v.insert(f.column, 1);
    }
    v.insert(u"主车牌号"_s, kPlate);
    v.insert(u"档案编号"_s, u"001"_s);
    v.insert(u"车主姓名"_s, owner);
    return v;
}

RecordValues inspectionValues(const QString& remark) {
    RecordValues v;
    for (const RecordField& f : RecordFields(1)) {
        if (f.kind == ValueKind::Date)
            v.insert(f.column, QDate(2027, 3, 1));
        else if (f.kind == ValueKind::YesNo)
            v.insert(f.column, false);
        else
            v.insert(f.column, QString());
    }
    v.insert(u"审车备注"_s, remark);
    v.insert(u"审车应缴费用"_s, u"300"_s);
    return v;
}

// One operator: a connection of its own, as another PC's program has, and what it loaded.
struct Operator {
    DatabaseConnection db;
    std::optional<qint64> version;
    QList<claims::Claim> claimsLoaded;

    void load() {
        version = store::ReadVehicleVersion(db, kPlate);
        claimsLoaded =
            claims::ReadClaims(db, QDate(2026, 1, 1), QDate(2026, 12, 31), {}).value_or(QList<claims::Claim>{});
    }
};

struct Outcome {
    bool ok = false;
    QString message;
};

using Write = std::function<Outcome(Operator&, const QString& who)>;

Outcome fromRecord(const RecordOutcome& r) {
    return {r.ok, r.message};
}

const Write kModifyBasic = [](Operator& op, const QString& who) {
    return fromRecord(ModifyRecordRow(op.db, 0, kPlate, basicValues(who), 1, op.version));
};
const Write kAddInspection = [](Operator& op, const QString& who) {
    return fromRecord(AddRecordRow(op.db, 1, kPlate, inspectionValues(who), op.version));
};
const Write kModifyInspection = [](Operator& op, const QString& who) {
    return fromRecord(ModifyRecordRow(op.db, 1, kPlate, inspectionValues(who), 2, op.version));
};
const Write kDeleteInspection = [](Operator& op, const QString&) {
    return fromRecord(DeleteRecordRow(op.db, 1, kPlate, 2, op.version));
};
const Write kDeleteVehicle = [](Operator& op, const QString&) {
    const DeleteResult r = DeleteVehicleRows(op.db, kPlate, op.version);
    return Outcome{r.ok, r.message};
};
const Write kRemoveWithLastRecord = [](Operator& op, const QString&) {
    bool changed = false;
    const bool ok = RemoveVehicleWithLastRecord(op.db, kPlate, op.version, &changed);
    return Outcome{ok, changed ? store::kVehicleChangedMessage : QString()};
};
// Changes the remarks of the listed claim at position row.
Write claimRemark(int row) {
    return [row](Operator& op, const QString& who) {
        QList<claims::Claim> typed = op.claimsLoaded;
        typed[row].remarks = who;
        const claims::UpdateOutcome r = claims::UpdateClaims(op.db, typed, &op.claimsLoaded);
        return Outcome{r.ok(),
                       r.failure == claims::UpdateOutcome::ChangedByOther ? claims::kClaimChangedMessage : QString()};
    };
}

struct Race {
    const char* name;
    Write first;         // the operator who saves first
    Write second;        // the other, who loaded before the first saved
    bool secondSucceeds; // false: refused with message, nothing of it written
    QString message;
};

void PrintTo(const Race& r, std::ostream* os) {
    *os << r.name;
}

const QString kChanged = store::kVehicleChangedMessage;

// Both operators load, the first saves, then the second saves what it loaded before; on the file
// and on the server.
class LostUpdateTest : public testing_support::DataDirTest,
                       public ::testing::WithParamInterface<std::tuple<testing_support::Engine, Race>> {
protected:
    testing_support::Engine engine() const override { return std::get<0>(GetParam()); }

    void SetUp() override {
        DataDirTest::SetUp();
        ASSERT_TRUE(SaveNewVehicleRows(db(), vehicle(kPlate, u"001"_s)).ok);
        ASSERT_TRUE(AddRecordRow(db(), 1, kPlate, inspectionValues(u"第二条"_s)).ok);
        for (const char* remark : {"一", "二"}) {
            claims::Claim c;
            c.date = u"2026-05-01"_s;
            c.plate = kPlate;
            c.remarks = QString::fromUtf8(remark);
            ASSERT_TRUE(claims::InsertClaim(db(), c));
        }
        for (Operator* op : {&a, &b}) {
            ASSERT_TRUE(op->db.Open(target(), store::kDatabasePassword, ConnectionSharing::Private))
                << op->db.LastError().toStdString();
            op->load();
        }
    }

    // Everything a save could touch, row by row.
    QStringList contents() {
        QStringList out;
        for (const QString& table : {u"总表"_s, u"报险表"_s, u"车辆版本"_s, kPlate}) {
            store::RecordSetGuard rs(db(), u"select * from "_s + table);
            if (!rs.ok()) {
                out << table + u": none"_s;
                continue;
            }
            const int h = rs.handle();
            for (db().MoveFirst(h); !db().AtEnd(h); db().MoveNext(h)) {
                QStringList row;
                for (const QString& c : db().Columns(h))
                    row << db().ReadField(h, c).text() + QString::fromLatin1(db().ReadField(h, c).bytes().toHex());
                out << table + u": "_s + row.join(u"|"_s);
            }
        }
        return out;
    }

    Operator a, b;
};

TEST_P(LostUpdateTest, SecondSaveSeesTheFirst) {
    const Race& race = std::get<1>(GetParam());
    const Outcome first = race.first(a, u"甲"_s);
    ASSERT_TRUE(first.ok) << first.message.toStdString();
    const QStringList afterFirst = contents();
    const Outcome second = race.second(b, u"乙"_s);
    EXPECT_EQ(second.ok, race.secondSucceeds) << second.message.toStdString();
    if (race.secondSucceeds) {
        EXPECT_NE(contents(), afterFirst);
        EXPECT_TRUE(contents().join(u"\n"_s).contains(u"甲"_s)) << "the first save is kept";
    } else {
        EXPECT_EQ(second.message, race.message);
        EXPECT_EQ(contents(), afterFirst) << "nothing of the refused save is written";
    }
}

INSTANTIATE_TEST_SUITE_P(
    TwoOperators, LostUpdateTest,
    ::testing::Combine(
        testing_support::BothEngines(),
        ::testing::Values(Race{"BasicThenBasic", kModifyBasic, kModifyBasic, false, kChanged},
                          Race{"RecordAddedThenRecordChanged", kAddInspection, kModifyInspection, false, kChanged},
                          Race{"RecordChangedThenRecordAdded", kModifyInspection, kAddInspection, false, kChanged},
                          Race{"RecordDeletedThenRecordChanged", kDeleteInspection, kModifyInspection, false, kChanged},
                          Race{"RecordChangedThenRecordDeleted", kModifyInspection, kDeleteInspection, false, kChanged},
                          Race{"BasicChangedThenVehicleDeleted", kModifyBasic, kDeleteVehicle, false, kChanged},
                          Race{"VehicleDeletedThenBasicChanged", kDeleteVehicle, kModifyBasic, false, kChanged},
                          Race{"VehicleDeletedThenRecordAdded", kDeleteVehicle, kAddInspection, false, kChanged},
                          Race{"RecordAddedThenLastRecordRemoved", kAddInspection, kRemoveWithLastRecord, false,
                               kChanged},
                          Race{"SameClaimTwice", claimRemark(0), claimRemark(0), false, claims::kClaimChangedMessage},
                          Race{"DifferentClaims", claimRemark(0), claimRemark(1), true, {}})),
    [](const ::testing::TestParamInfo<std::tuple<testing_support::Engine, Race>>& param) {
        return std::string(testing_support::EngineName(std::get<0>(param.param))) + std::get<1>(param.param).name;
    });

// The version a vehicle carries across its life and the adds that meet in the checks.
class VehicleVersionTest : public testing_support::EngineTest {};

TEST_P(VehicleVersionTest, DeleteAndAddAgainNeverReturnsToALoadedVersion) {
    ASSERT_TRUE(SaveNewVehicleRows(db(), vehicle(kPlate, u"001"_s)).ok);
    const std::optional<qint64> loaded = store::ReadVehicleVersion(db(), kPlate);
    ASSERT_TRUE(loaded);
    ASSERT_TRUE(DeleteVehicleRows(db(), kPlate).ok);
    ASSERT_TRUE(SaveNewVehicleRows(db(), vehicle(kPlate, u"002"_s)).ok);
    const RecordOutcome late = ModifyRecordRow(db(), 0, kPlate, basicValues(u"迟到"_s), 1, loaded);
    EXPECT_TRUE(late.changed);
    EXPECT_GT(*store::ReadVehicleVersion(db(), kPlate), *loaded + 1);
}

TEST_P(VehicleVersionTest, TwoAddsCheckedBeforeEitherSavedEndInOne) {
    DatabaseConnection other;
    ASSERT_TRUE(other.Open(target(), store::kDatabasePassword, ConnectionSharing::Private));
    // Both forms found the archive number free; the second save must still see the first.
    ASSERT_FALSE(*ArchiveNumberTaken(db(), u"007"_s));
    ASSERT_FALSE(*ArchiveNumberTaken(other, u"7"_s));
    ASSERT_TRUE(SaveNewVehicleRows(db(), vehicle(kPlate, u"007"_s)).ok);
    const SaveResult second = SaveNewVehicleRows(other, vehicle(u"京B54321"_s, u"7"_s));
    EXPECT_FALSE(second.ok);
    EXPECT_EQ(second.message, u"对不起！已经存在此档案编号的信息了！"_s);
    EXPECT_TRUE(other.StoredColumns(u"京B54321"_s).isEmpty()) << "no half-made vehicle";
    const SaveResult samePlate = SaveNewVehicleRows(other, vehicle(kPlate, u"008"_s));
    EXPECT_FALSE(samePlate.ok);
    EXPECT_EQ(samePlate.message, u"创建新车表格失败！"_s);
}

// Two processes adding at the same moment: one vehicle, and the other told why, whichever wins.
TEST_P(VehicleVersionTest, TwoProcessesAddingTheSameNumberAtOnceEndWithOneVehicle) {
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<pid_t> children;
    for (const QString& plate : {kPlate, u"京B54321"_s}) {
        const pid_t pid = fork();
        if (pid == 0) {
            close(gate[1]);
            DatabaseConnection own;
            if (!own.Open(target(), store::kDatabasePassword, ConnectionSharing::Private))
                _exit(3);
            char go = 0;
            if (read(gate[0], &go, 1) != 1)
                _exit(3);
            const SaveResult r = SaveNewVehicleRows(own, vehicle(plate, u"9"_s));
            _exit(r.ok ? 0 : r.message == u"对不起！已经存在此档案编号的信息了！"_s ? 1 : 2);
        }
        children.push_back(pid);
    }
    close(gate[0]);
    ASSERT_EQ(write(gate[1], "gg", 2), 2);
    close(gate[1]);
    std::multiset<int> codes;
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        codes.insert(WEXITSTATUS(status));
    }
    EXPECT_EQ(codes, (std::multiset<int>{0, 1}));
    store::RecordSetGuard rs(db(), u"select [车牌号] from [总表]"_s);
    ASSERT_TRUE(rs.ok());
    EXPECT_EQ(db().RowCount(rs.handle()), 1);
    const QString winner = db().ReadField(rs.handle(), u"车牌号"_s).text();
    const QString loser = winner == kPlate ? u"京B54321"_s : kPlate;
    EXPECT_TRUE(db().StoredColumns(loser).isEmpty()) << "no half-made vehicle";
}

// A file made before versions were kept: no table until the first write, then versions as usual.
TEST_P(VehicleVersionTest, OlderFileGainsTheTableAtItsFirstWrite) {
    ASSERT_TRUE(SaveNewVehicleRows(db(), vehicle(kPlate, u"001"_s)).ok);
    ASSERT_TRUE(db().ExecuteStatement(u"drop table [车辆版本]"_s));
    EXPECT_EQ(store::ReadVehicleVersion(db(), kPlate), 0);
    Operator late;
    ASSERT_TRUE(late.db.Open(target(), store::kDatabasePassword, ConnectionSharing::Private));
    late.load();
    EXPECT_TRUE(ModifyRecordRow(db(), 0, kPlate, basicValues(u"甲"_s), 1, qint64(0)).ok);
    EXPECT_EQ(store::ReadVehicleVersion(db(), kPlate), 1);
    EXPECT_EQ(kModifyBasic(late, u"乙"_s).message, kChanged);
}

// Two processes that loaded the same vehicle save at the same moment: one goes through, the other
// is told, neither waits for ever, and the vehicle is whole (listed exactly when its table exists).
struct Clash {
    const char* name;
    Write one;
    Write other;
};

class ConcurrentSaveTest : public testing_support::DataDirTest,
                           public ::testing::WithParamInterface<std::tuple<testing_support::Engine, Clash>> {
protected:
    testing_support::Engine engine() const override { return std::get<0>(GetParam()); }
};

TEST_P(ConcurrentSaveTest, OneSaveWinsTheOtherIsTold) {
    ASSERT_TRUE(SaveNewVehicleRows(db(), vehicle(kPlate, u"001"_s)).ok);
    ASSERT_TRUE(AddRecordRow(db(), 1, kPlate, inspectionValues(u"第二条"_s)).ok);
    int gate[2], loaded[2];
    ASSERT_EQ(pipe(gate), 0);
    ASSERT_EQ(pipe(loaded), 0);
    std::vector<pid_t> children;
    const Clash& clash = std::get<1>(GetParam());
    for (const Write& write : {clash.one, clash.other}) {
        const pid_t pid = fork();
        if (pid == 0) {
            close(gate[1]);
            Operator op;
            if (!op.db.Open(target(), store::kDatabasePassword, ConnectionSharing::Private))
                _exit(3);
            op.load();
            char go = 0;
            if (::write(loaded[1], "l", 1) != 1 || read(gate[0], &go, 1) != 1)
                _exit(3);
            const Outcome out = write(op, u"并发"_s);
            _exit(out.ok ? 0 : out.message == kChanged ? 1 : 2);
        }
        children.push_back(pid);
    }
    close(gate[0]);
    close(loaded[1]);
    char both[2];
    ASSERT_EQ(read(loaded[0], both, 1) + read(loaded[0], both + 1, 1), 2); // both have loaded
    close(loaded[0]);
    ASSERT_EQ(write(gate[1], "gg", 2), 2);
    close(gate[1]);
    std::multiset<int> codes;
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        codes.insert(WEXITSTATUS(status));
    }
    EXPECT_EQ(codes, (std::multiset<int>{0, 1}));
    EXPECT_EQ(*PlateListed(db(), kPlate), !db().StoredColumns(kPlate).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    TwoProcesses, ConcurrentSaveTest,
    ::testing::Combine(testing_support::BothEngines(),
                       ::testing::Values(Clash{"BasicAndBasic", kModifyBasic, kModifyBasic},
                                         Clash{"RecordAndVehicleDelete", kModifyInspection, kDeleteVehicle},
                                         Clash{"RecordAddedAndRecordDeleted", kAddInspection, kDeleteInspection})),
    [](const ::testing::TestParamInfo<std::tuple<testing_support::Engine, Clash>>& param) {
        return std::string(testing_support::EngineName(std::get<0>(param.param))) + std::get<1>(param.param).name;
    });

INSTANTIATE_TEST_SUITE_P(Engines, VehicleVersionTest, testing_support::BothEngines(), testing_support::EngineParamName);

} // namespace
