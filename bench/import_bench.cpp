// Import of 5,000 vehicles from CSV through velmora-cli import, dry run and real, against the floor:
// velmora-cli init and then the same 5,000 vehicles written directly (the save's four statements
// per vehicle, one transaction), measured in the same run.

#include "benchfleet.h"
#include "childrun.h"
#include "summary.h"

#include "archive/vehicledata.h"
#include "store/database.h"
#include "store/schema.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kRows = 5000;

QString plateOf(int i) {
    return u"鲁K%1"_s.arg(i, 5, 10, QLatin1Char('0'));
}
QDate inspectionOf(int i) {
    return QDate(2026, i % 12 + 1, 15);
}

// The file the import reads: seven columns, dates in two of the office forms.
QString importFile() {
    QString path = QDir(bench::benchDir()).filePath(u"import-%1.csv"_s.arg(kRows));
    if (QFile::exists(path))
        return path;
    QByteArray text = "车号,档案编号,车主,车主电话,挂车号,下次审车日期,下次保险日期\n";
    for (int i = 0; i < kRows; ++i)
        text += u"%1,%2,车主%3,1380000%4,鲁B%4挂,%5,%6\n"_s.arg(plateOf(i))
                    .arg(i + 1)
                    .arg(i)
                    .arg(i % 10000, 4, 10, QLatin1Char('0'))
                    .arg(inspectionOf(i).toString(u"yyyy-M-d"_s), u"2026/%1/1"_s.arg((i + 5) % 12 + 1))
                    .toUtf8();
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
    return path;
}

// A fresh data folder for one run.
QString freshDir(const char* name) {
    QDir dir(QDir(bench::benchDir()).filePath(QString::fromUtf8(name)));
    dir.removeRecursively();
    QDir().mkpath(dir.path());
    return dir.path();
}

bench::ChildRun runCli(const QStringList& arguments) {
    std::vector<std::string> argv{QFile::encodeName(QStringLiteral(VELMORA_CLI)).toStdString()};
    for (const QString& a : arguments)
        argv.push_back(QFile::encodeName(a).toStdString());
    const QString errors = QDir(bench::benchDir()).filePath(u"import-stderr.txt"_s);
    return bench::RunChild(argv, "/dev/null", QFile::encodeName(errors).toStdString());
}

// The floor: velmora-cli init, then every vehicle's table copy, key, master row and first row,
// the values given directly (no file read, no matching, no checks).
void BM_ImportFloor(benchmark::State& state) {
    const QDate today(2026, 3, 9);
    for (auto _ : state) {
        const QString dir = freshDir("import-floor");
        const bench::ChildRun init = runCli({u"init"_s, u"--data-dir"_s, dir});
        if (!init.ok) {
            state.SkipWithError("velmora-cli init failed");
            return;
        }
        QElapsedTimer timer;
        timer.start();
        store::DatabaseConnection db;
        if (!db.OpenDatabaseFile(QDir(dir).filePath(store::kDatabaseFileName), store::kDatabasePassword) ||
            !db.BeginTransaction()) {
            state.SkipWithError("the database could not be opened");
            return;
        }
        const archive::NewVehicle blank =
            archive::BlankNewVehicle(today, archive::ReadInsuranceKinds(db).value_or(QStringList()).value(0));
        for (int i = 0; i < kRows; ++i) {
            archive::NewVehicle v = blank;
            archive::SetNewVehiclePlate(v, plateOf(i));
            v.values.insert(u"档案编号"_s, QString::number(i + 1));
            v.values.insert(u"车主姓名"_s, u"车主%1"_s.arg(i));
            v.values.insert(u"车主电话"_s, u"1380000%1"_s.arg(i % 10000, 4, 10, QLatin1Char('0')));
            v.values.insert(u"挂车牌号"_s, u"鲁B%1挂"_s.arg(i % 10000, 4, 10, QLatin1Char('0')));
            v.values.insert(u"下次审车日期"_s, inspectionOf(i));
            v.values.insert(u"下次保险日期"_s, QDate(2026, (i + 5) % 12 + 1, 1));
            if (!archive::WriteNewVehicleRows(db, v).ok) {
                state.SkipWithError("a direct insert failed");
                return;
            }
        }
        if (!db.CommitTransaction()) {
            state.SkipWithError("the commit failed");
            return;
        }
        db.CloseDatabase();
        state.SetIterationTime(init.wallMs / 1e3 + double(timer.nsecsElapsed()) / 1e9);
    }
}

// velmora-cli import of the file into a new database; arg 0 dry run, 1 real.
void BM_ImportCli(benchmark::State& state) {
    const bool real = state.range(0) == 1;
    const QString file = importFile();
    double cpuMs = 0;
    long peakKb = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString dir = freshDir(real ? "import-real" : "import-dry");
        const bool initialised = runCli({u"init"_s, u"--data-dir"_s, dir}).ok;
        state.ResumeTiming();
        if (!initialised) {
            state.SkipWithError("velmora-cli init failed");
            return;
        }
        QStringList args{u"import"_s, file, u"--data-dir"_s, dir, u"--today"_s, u"2026-03-09"_s};
        if (!real)
            args << u"--dry-run"_s;
        const bench::ChildRun run = runCli(args);
        if (!run.ok) {
            state.SkipWithError("velmora-cli import failed");
            return;
        }
        state.SetIterationTime(run.wallMs / 1e3);
        cpuMs += run.cpuMs;
        peakKb = std::max(peakKb, run.peakRssKb);
    }
    state.counters["child_cpu_ms"] = cpuMs / double(state.iterations());
    state.counters["peak_rss_MB"] = double(peakKb) / 1024.0;
}

[[maybe_unused]] const bool kImportComparisons = [] {
    bench::Compare({"import 5,000 rows, real / init + direct inserts", "BM_ImportFloor", "BM_ImportCli/1", {}});
    bench::Compare({"import 5,000 rows, dry run / init + direct inserts", "BM_ImportFloor", "BM_ImportCli/0", {}});
    return true;
}();

} // namespace

BENCHMARK(BM_ImportFloor)->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_ImportCli)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseManualTime();
