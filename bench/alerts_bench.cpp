// Run: cmake -B build-bench -DVELMORA_BUILD_BENCH=ON -DCMAKE_BUILD_TYPE=Release
//      cmake --build build-bench --target velmora_bench && build-bench/bench/velmora_bench
// The fleets are built once into $VELMORA_BENCH_DIR (default /tmp/velmora-bench) and reused.

#include "benchfleet.h"
#include "summary.h"

#include "alerts/rules.h"
#include "archive/vehicledata.h"
#include "domain/obligations.h"
#include "lists/listbuild.h"
#include "report/exports.h"
#include "store/database.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/sqltext.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>

using namespace Qt::StringLiterals;

namespace {

constexpr int kRowsPerVehicle = 20;
constexpr int kImageBytes = 50 * 1024;

QString plateOf(int i) {
    return u"京B%1"_s.arg(10000 + i);
}

QString quoted(const QString& s) {
    return QLatin1Char('\'') + store::SqlText(s) + QLatin1Char('\'');
}
QString date(const QDate& d) {
    return quoted(store::SqlDate(d));
}

bool buildFleet(const QString& path, int vehicles, store::TableLayout layout) {
    const QString temp = path + u".building"_s;
    QFile::remove(temp);
    QString error;
    if (!store::CreateDatabase(temp, &error, layout)) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return false;
    }
    store::DatabaseConnection db;
    if (!db.OpenDatabaseFile(temp, store::kDatabasePassword))
        return false;
    QRandomGenerator rng(4062719u + quint32(vehicles));
    QList<QByteArray> images;
    for (int i = 0; i < 5; ++i) {
        QByteArray bytes(kImageBytes, Qt::Uninitialized);
        for (char& c : bytes)
            c = char(rng.bounded(256));
        images << bytes;
    }
    const QDate today = store::Today();
    auto around = [&] { return today.addDays(rng.bounded(-365, 366)); };
    db.BeginTransaction();
    for (int v = 0; v < vehicles; ++v) {
        const QString p = plateOf(v);
        bool ok = db.ExecuteStatement(u"insert into 总表 (档案编号,车牌号) values ("_s + quoted(QString::number(v)) +
                                      u","_s + quoted(p) + u")"_s);
        ok = ok && db.ExecuteStatement(u"select * into "_s + p + u" from yangbiao"_s);
        // The first row: the archive with its five images and every obligation.
        QString first =
            u"insert into "_s + p +
            u" ([主车牌号],[车辆状态],[车主姓名],[档案编号],[车主身份证信息],[车辆照片信息],[车辆照片信息2],"
            u"[行车证信息1],[行车证信息2],[审车车号],[下次审车日期],[下次挂车审车日期],[二维车号],"
            u"[下次二维日期],[保险车号],[下次保险日期],[下次挂车保险日期],[管理车号],[下次管理费用日期],"
            u"[营运车号],[下次营运证日期]) values ("_s +
            quoted(p) + u","_s + quoted(v % 10 == 9 ? u"2"_s : u"1"_s) + u","_s + quoted(u"车主%1"_s.arg(v % 300)) +
            u","_s + quoted(QString::number(v)) + u",?,?,?,?,?,"_s;
        first += quoted(p) + u","_s + date(around()) + u","_s + date(around()) + u","_s + quoted(p) + u","_s +
                 date(around()) + u","_s + quoted(p) + u","_s + date(around()) + u","_s + date(around()) + u","_s +
                 quoted(p) + u","_s + date(around()) + u","_s + quoted(p) + u","_s + date(around()) + u")"_s;
        ok = ok && db.ExecuteWithBinaries(first, images);
        for (int r = 1; r < kRowsPerVehicle && ok; ++r) {
            const domain::ObligationColumns& kind = domain::Obligation(domain::ObligationKind((r - 1) % 5));
            ok = db.ExecuteStatement(u"insert into "_s + p + u" (["_s + kind.plateCopy + u"],["_s + kind.dueDate +
                                     u"]) values ("_s + quoted(p) + u","_s + date(around()) + u")"_s);
        }
        if (!ok) {
            std::fprintf(stderr, "building the fleet failed: %s\n", db.LastError().toLocal8Bit().constData());
            db.RollbackTransaction();
            return false;
        }
    }
    if (!db.CommitTransaction())
        return false;
    db.CloseDatabase();
    QFile::remove(path);
    return QFile::rename(temp, path);
}

} // namespace

namespace bench {

QString benchDir() {
    const QByteArray env = qgetenv("VELMORA_BENCH_DIR");
    return env.isEmpty() ? u"/tmp/velmora-bench"_s : QString::fromLocal8Bit(env);
}

QString fleetPath(int vehicles, int layout) {
    QDir().mkpath(benchDir());
    const QString path =
        QDir(benchDir()).filePath(layout ? u"fleet-last-%1.mdb"_s.arg(vehicles) : u"fleet-%1.mdb"_s.arg(vehicles));
    if (!QFileInfo::exists(path) &&
        !buildFleet(path, vehicles, layout ? store::TableLayout::ImagesLast : store::TableLayout::ImagesAmongColumns))
        std::abort();
    return path;
}

store::DatabaseConnection& fleet(int vehicles, int layout) {
    static std::map<std::pair<int, int>, std::unique_ptr<store::DatabaseConnection>> open;
    // Closed with the application object, while the store's own registries still exist: at the
    // process's exit they may be gone before this map is.
    [[maybe_unused]] static const bool closedAtExit = [] {
        qAddPostRoutine([] { open.clear(); });
        return true;
    }();
    auto& slot = open[{vehicles, layout}];
    if (!slot) {
        const QString path = fleetPath(vehicles, layout);
        slot = std::make_unique<store::DatabaseConnection>();
        if (!slot->OpenDatabaseFile(path, store::kDatabasePassword, store::ConnectionSharing::Private))
            std::abort();
    }
    return *slot;
}

store::DatabaseConnection& settledFleet(int vehicles, int layout) {
    static std::set<std::pair<int, int>> settled;
    store::DatabaseConnection& db = fleet(vehicles, layout);
    if (settled.insert({vehicles, layout}).second)
        alerts::ComputeAlerts(db, alerts::MonthStart(store::Today()));
    return db;
}

QStringList plates(store::DatabaseConnection& db) {
    QStringList out;
    const int h = db.OpenRecordSet(alerts::kMasterSelect);
    for (db.MoveFirst(h); !db.AtEnd(h); db.MoveNext(h))
        out << db.ReadField(h, u"车牌号"_s).text();
    db.CloseRecordSet(h);
    return out;
}

const char* const kRefreshColumns =
    "select [编号],[车辆状态],[审车车号],[下次审车日期],[下次挂车审车日期],[是否提醒主车审车],[是否提醒挂车审车],"
    "[是否脱审],[审车是否通知车主],[二维车号],[下次二维日期],[是否脱维],[是否提醒二维],[保险车号],[下次保险日期],"
    "[下次挂车保险日期],[是否脱保],[是否提醒保险],[是否提醒挂车保险],[管理车号],[下次管理费用日期],[是否脱管],"
    "[是否提醒管理],[营运车号],[下次营运证日期],[是否脱营],[是否提醒营运] from ";

} // namespace bench

namespace {

using bench::benchDir;
using bench::fleet;
using bench::plates;

// The refresh of an unchanged fleet: no lapse flag is due any more when it is timed.
void BM_Refresh(benchmark::State& state) {
    auto& db = bench::settledFleet(int(state.range(0)), int(state.range(1)));
    const QDate month = alerts::MonthStart(store::Today());
    int members = 0;
    for (auto _ : state) {
        const alerts::AlertResult r = alerts::ComputeAlerts(db, month);
        members = 0;
        for (const QStringList& s : r.sets)
            members += int(s.size());
        benchmark::DoNotOptimize(members);
    }
    state.counters["members"] = members;
    state.SetComplexityN(state.range(0));
}

void BM_RefreshPerQuery(benchmark::State& state) {
    auto& db = fleet(int(state.range(0)));
    const QDate month = alerts::MonthStart(store::Today());
    for (auto _ : state)
        benchmark::DoNotOptimize(alerts::ComputeAlerts(db, month, alerts::ReadMode::PerQuery).flagUpdates);
}

// The floor: exactly the columns the refresh reads, every row of every vehicle table, once.
void BM_FloorRefreshColumns(benchmark::State& state) {
    auto& db = fleet(int(state.range(0)), int(state.range(1)));
    const QString select = QString::fromUtf8(bench::kRefreshColumns);
    for (auto _ : state) {
        qint64 rows = 0;
        for (const QString& p : plates(db)) {
            const int h = db.OpenRecordSet(select + p);
            rows += db.RowCount(h);
            db.CloseRecordSet(h);
        }
        benchmark::DoNotOptimize(rows);
    }
    state.SetComplexityN(state.range(0));
}

void BM_LoadVehicle(benchmark::State& state) {
    auto& db = fleet(1000, int(state.range(0)));
    const QString p = plateOf(500);
    for (auto _ : state) {
        for (archive::VehicleGroup g : archive::AllGroups()) {
            benchmark::DoNotOptimize(archive::ReadCurrentGroup(db, g, p));
            if (g != archive::VehicleGroup::Basic)
                benchmark::DoNotOptimize(archive::ReadGroupList(db, g, p, true));
        }
    }
}

void BM_OwnerPrefixSearch(benchmark::State& state) {
    auto& db = fleet(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(
            archive::SearchVehicles(db, int(archive::SearchBy::OwnerName), u"车主1"_s).hits.size());
}

// Resident memory of the process in kB (VmRSS), 0 where /proc is missing.
long residentKb() {
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

const int kLedger = *lists::FindList(u"公司车辆台账清单"_s);

// The company ledger built from the refresh's AlertSets, one read per vehicle table.
void BM_LedgerBuild(benchmark::State& state) {
    auto& db = fleet(int(state.range(0)), int(state.range(1)));
    const QDate month = alerts::MonthStart(store::Today());
    const alerts::AlertSetList sets = alerts::ComputeAlerts(db, month).sets;
    const long before = residentKb();
    int rows = 0;
    for (auto _ : state) {
        const lists::ListBuild b = lists::BuildList(db, kLedger, sets, month);
        rows = b.table.dataRowCount();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = rows;
    state.counters["rss_growth_kB"] = double(residentKb() - before);
}

// The same ledger with the four queries per vehicle of the design.
void BM_LedgerBuildPerQuery(benchmark::State& state) {
    auto& db = fleet(int(state.range(0)));
    const QDate month = alerts::MonthStart(store::Today());
    const alerts::AlertSetList sets = alerts::ComputeAlerts(db, month).sets;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            lists::BuildList(db, kLedger, sets, month, lists::ReadMode::PerQuery).table.rowCount());
}

// The ledger's printed pages written as PDF.
void BM_LedgerPdf(benchmark::State& state) {
    auto& db = fleet(int(state.range(0)));
    const QDate month = alerts::MonthStart(store::Today());
    const lists::ListBuild b = lists::BuildList(db, kLedger, alerts::ComputeAlerts(db, month).sets, month);
    const QString path = QDir(benchDir()).filePath(u"ledger-%1.pdf"_s.arg(state.range(0)));
    const long before = residentKb();
    for (auto _ : state)
        if (!report::WritePdf(b.table, path))
            state.SkipWithError("PDF not written");
    state.counters["bytes"] = double(QFileInfo(path).size());
    state.counters["rss_growth_kB"] = double(residentKb() - before);
}

// The layouts' ratios, printed after the table.
[[maybe_unused]] const bool kLayoutComparisons = [] {
    bench::Compare({"company ledger, 1000 vehicles (images last / old layout)",
                    "BM_LedgerBuild/1000/0",
                    "BM_LedgerBuild/1000/1",
                    {}});
    bench::Compare({"LoadVehicle (images last / old layout)", "BM_LoadVehicle/0", "BM_LoadVehicle/1", {}});
    for (const std::string v : {"200", "1000", "5000"}) {
        bench::Compare({"floor, " + v + " vehicles (images last / old layout)",
                        "BM_FloorRefreshColumns/" + v + "/0",
                        "BM_FloorRefreshColumns/" + v + "/1",
                        {}});
        bench::Compare({"refresh, " + v + " vehicles (images last / old layout)",
                        "BM_Refresh/" + v + "/0",
                        "BM_Refresh/" + v + "/1",
                        {}});
    }
    return true;
}();

} // namespace

// Args: vehicles, layout.
BENCHMARK(BM_LedgerBuild)->ArgsProduct({{1000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LedgerBuildPerQuery)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_LedgerPdf)->Arg(1000)->Unit(benchmark::kMillisecond);
// Args: vehicles, layout (0 older files, 1 images last); the ratio of the two is the layout's gain.
// A run at 5,000 vehicles takes one iteration (about half a minute for the older layout).
BENCHMARK(BM_FloorRefreshColumns)->ArgsProduct({{200, 1000, 5000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Refresh)->ArgsProduct({{200, 1000, 5000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshPerQuery)->Arg(200)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_LoadVehicle)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OwnerPrefixSearch)->Arg(1000)->Unit(benchmark::kMillisecond);
