// The fee statistics over one year for all vehicles and all five kinds, beside the alert refresh
// on the same fleet, so that one run gives their ratio. The fleet (20 history rows per vehicle,
// the first complete with five 50 KB images, every obligation row with its amounts and payment
// date) is built once into $VELMORA_BENCH_DIR and reused.

#include "alerts/rules.h"
#include "fees/feestatistics.h"
#include "store/database.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/sqltext.h"
#include "summary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int kRowsPerVehicle = 20;
constexpr int kImageBytes = 50 * 1024;

QString benchDir() {
    const QByteArray env = qgetenv("VELMORA_BENCH_DIR");
    return env.isEmpty() ? u"/tmp/velmora-bench"_s : QString::fromLocal8Bit(env);
}

QString quoted(const QString& s) {
    return u"'"_s + store::SqlText(s) + u"'"_s;
}
QString date(const QDate& d) {
    return quoted(store::SqlDate(d));
}

bool buildFeeFleet(const QString& path, int vehicles, store::TableLayout layout) {
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
    QRandomGenerator rng(12u + quint32(vehicles));
    QList<QByteArray> images;
    for (int i = 0; i < 5; ++i) {
        QByteArray bytes(kImageBytes, Qt::Uninitialized);
        for (char& c : bytes)
            c = char(rng.bounded(256));
        images << bytes;
    }
    const QDate today = store::Today();
    auto around = [&] { return today.addDays(rng.bounded(-365, 366)); };
    auto amount = [&] { return QString::number(rng.bounded(500000) / 100.0, 'f', 2); };
    static const char16_t* const plateColumn[5] = {u"审车车号", u"二维车号", u"保险车号", u"管理车号", u"营运车号"};
    static const char16_t* const markerColumn[5] = {u"下次审车日期", u"下次二维日期", u"下次保险日期",
                                                    u"下次管理费用日期", u"下次营运证日期"};
    db.BeginTransaction();
    for (int v = 0; v < vehicles; ++v) {
        const QString p = u"京F%1"_s.arg(10000 + v);
        bool ok = db.ExecuteStatement(u"insert into 总表 (档案编号,车牌号) values ("_s + quoted(QString::number(v)) +
                                      u","_s + quoted(p) + u")"_s);
        ok = ok && db.ExecuteStatement(u"select * into "_s + p + u" from yangbiao"_s);
        ok = ok && db.ExecuteWithBinaries(u"insert into "_s + p +
                                              u" ([主车牌号],[车辆状态],[档案编号],[车主身份证信息],[车辆照片信息],"
                                              u"[车辆照片信息2],[行车证信息1],[行车证信息2]) values ("_s +
                                              quoted(p) + u",'1',"_s + quoted(QString::number(v)) + u",?,?,?,?,?)"_s,
                                          images);
        for (int r = 1; r < kRowsPerVehicle && ok; ++r) {
            const int k = (r - 1) % 5;
            const fees::FeeKind& kind = fees::Kind(k);
            ok = db.ExecuteStatement(u"insert into "_s + p + u" (["_s + QString::fromUtf16(plateColumn[k]) + u"],["_s +
                                     QString::fromUtf16(markerColumn[k]) + u"],["_s + kind.dueColumn + u"],["_s +
                                     kind.paidColumn + u"],["_s + kind.dateColumn + u"]) values ("_s + quoted(p) +
                                     u","_s + date(around()) + u","_s + quoted(amount()) + u","_s + quoted(amount()) +
                                     u","_s + date(around()) + u")"_s);
        }
        if (!ok) {
            std::fprintf(stderr, "building the fee fleet failed: %s\n", db.LastError().toLocal8Bit().constData());
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

// Layout 1 is that of new files (images last), 0 the older one, both measured in one run.
store::DatabaseConnection& feeFleet(int vehicles, int layout) {
    static std::map<std::pair<int, int>, std::unique_ptr<store::DatabaseConnection>> open;
    auto& slot = open[{vehicles, layout}];
    if (!slot) {
        QDir().mkpath(benchDir());
        const QString path =
            QDir(benchDir()).filePath((layout ? u"fee-fleet-last-%1.mdb"_s : u"fee-fleet-old-%1.mdb"_s).arg(vehicles));
        if (!QFileInfo::exists(path) &&
            !buildFeeFleet(path, vehicles,
                           layout ? store::TableLayout::ImagesLast : store::TableLayout::ImagesAmongColumns))
            std::abort();
        slot = std::make_unique<store::DatabaseConnection>();
        if (!slot->OpenDatabaseFile(path, store::kDatabasePassword, store::ConnectionSharing::Private))
            std::abort();
    }
    return *slot;
}

// 全部车辆, 全部费用, the last year: what FeeQueryWindow builds for 确定.
void feeReport(benchmark::State& state, fees::ReadMode mode) {
    auto& db = feeFleet(int(state.range(0)), int(state.range(1)));
    const QDate to = store::Today();
    const QDate from = to.addYears(-1);
    qsizetype rows = 0;
    for (auto _ : state) {
        const fees::FeeReport report = fees::BuildFeeReport(db, {fees::AllVehiclesText(), false, from, to, 0}, mode);
        rows = report.table.rowCount();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = double(rows);
}

void BM_FeeReportAllFeesOneYear(benchmark::State& state) {
    feeReport(state, fees::ReadMode::OneQueryPerTable);
}
void BM_FeeReportPerKindQuery(benchmark::State& state) {
    feeReport(state, fees::ReadMode::PerKindQuery);
}

// The alert refresh on the same fleet: the fee report's target.
void BM_FeeFleetAlertRefresh(benchmark::State& state) {
    auto& db = feeFleet(int(state.range(0)), 1);
    const QDate month = alerts::MonthStart(store::Today());
    for (auto _ : state)
        benchmark::DoNotOptimize(alerts::ComputeAlerts(db, month).flagUpdates);
}

[[maybe_unused]] const bool kLayoutComparisons = [] {
    bench::Compare({"fee report, 1000 vehicles (images last / old layout)",
                    "BM_FeeReportAllFeesOneYear/1000/0",
                    "BM_FeeReportAllFeesOneYear/1000/1",
                    {}});
    return true;
}();

} // namespace

BENCHMARK(BM_FeeFleetAlertRefresh)->Arg(1000)->Unit(benchmark::kMillisecond);
// Args: vehicles, layout.
BENCHMARK(BM_FeeReportAllFeesOneYear)->ArgsProduct({{1000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FeeReportPerKindQuery)->Args({1000, 1})->Unit(benchmark::kMillisecond)->Iterations(3);
