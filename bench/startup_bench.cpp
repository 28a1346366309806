// What a window's connection costs, the program's start-up, and velmora-cli alerts as a process
// (its wall time and peak memory) beside the sqlcipher shell reading the same columns; each for
// 1,000 and 5,000 vehicles and both table layouts, with their ratios printed after the table.
//
// Args of every benchmark here start with the number of vehicles; the layout is 0 for older files
// (images among the columns) and 1 for images last. Run a part of them with, for example,
//   build-bench/bench/velmora_bench --benchmark_filter='BM_OpenWindowConnection|BM_StartUp'

#include "benchfleet.h"
#include "childrun.h"
#include "summary.h"

#include "alerts/rules.h"
#include "archive/vehicledata.h"
#include "store/database.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/sqltext.h"
#include "store/upgrade.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

using store::ConnectionSharing;

// What ui::OpenWindowDatabase does for every window, without its message boxes: the open, then the
// look at yangbiao's stored columns that decides the notice about an older file.
bool openAsWindow(store::DatabaseConnection& db, const QString& path, ConnectionSharing sharing) {
    if (!db.OpenDatabaseFile(path, store::kDatabasePassword, sharing))
        return false;
    benchmark::DoNotOptimize(store::HasOldTableLayout(db));
    return true;
}

// Modes of BM_OpenWindowConnection.
enum OpenMode {
    PrivateOpen = 0,     // a connection of its own: what every window paid so far
    FirstSharedOpen = 1, // a shared open with no other connection of this process to the file
    SharedWhileHeld = 2, // a shared open while the main window's connection is open
};

// A window opening its connection and, at the end of the iteration, closing it again (the close
// is timed too: every window that opens also closes).
void BM_OpenWindowConnection(benchmark::State& state) {
    const QString path = bench::fleetPath(int(state.range(0)), int(state.range(1)));
    const auto mode = OpenMode(state.range(2));
    store::DatabaseConnection mainWindow;
    if (mode == SharedWhileHeld && !openAsWindow(mainWindow, path, ConnectionSharing::Shared)) {
        state.SkipWithError("the main window's connection did not open");
        return;
    }
    const ConnectionSharing sharing = mode == PrivateOpen ? ConnectionSharing::Private : ConnectionSharing::Shared;
    {
        // Once untimed: the file's schema pages are then in the system's cache, as for any open
        // after the program's first.
        store::DatabaseConnection warm;
        openAsWindow(warm, path, ConnectionSharing::Private);
    }
    qint64 closeNs = 0;
    for (auto _ : state) {
        store::DatabaseConnection window;
        if (!openAsWindow(window, path, sharing)) {
            state.SkipWithError("the window's connection did not open");
            break;
        }
        QElapsedTimer closing;
        closing.start();
        window.CloseDatabase();
        closeNs += closing.nsecsElapsed();
    }
    // The close's share of the time (wall).
    state.counters["close_ms"] =
        double(closeNs) / 1e6 / double(std::max<benchmark::IterationCount>(state.iterations(), 1));
}

// The sign-in window's statements for the initial operator, as SignInWindow::signIn runs them.
bool signIn(store::DatabaseConnection& db) {
    const QString name = store::SqlText(store::kInitialOperator);
    const QString password = store::SqlText(store::kInitialPassword);
    int rs = db.OpenRecordSet(u"select count(*) as[数量] from [权限] where [用户名]='"_s + name + u"'and [密码]='"_s +
                              password + u"'"_s);
    if (rs == 0)
        return false;
    const double count = db.ReadField(rs, u"数量"_s).number();
    db.CloseRecordSet(rs);
    if (count == 0)
        return false;
    rs = db.OpenRecordSet(u"select * from 权限 where [用户名]='"_s + name + u"'"_s);
    if (rs == 0)
        return false;
    db.MoveFirst(rs);
    for (const char* permission : {"增删车辆", "费用可见", "统计查询", "权限设置", "增加车辆信息", "修改车辆信息"})
        benchmark::DoNotOptimize(db.ReadField(rs, QString::fromUtf8(permission)).yesNo());
    db.CloseRecordSet(rs);
    return true;
}

// Variants of BM_StartUp.
enum StartUpVariant {
    TodayStart = 0,        // older file, private connections: the start-up as it was
    ImagesLastPrivate = 1, // images last, private connections: the layout's share of the gain
    ImagesLastShared = 2,  // images last, shared connections, in the program's order
};

// From the first open to the end of the first alert refresh, without the widgets: the sign-in
// window opens its connection and runs the sign-in statements; the main window's connection runs
// what its start-up steps read (the insurance kinds the form offers) and the refresh the alert
// tree is built from (RefreshAlertTree calls ComputeAlerts; filling the tree's items is widget
// work and not measured). With private connections each window opened its own after the other
// (the sign-in window is gone before the main window opens); with shared ones the main window
// opens its connection first, as MainWindow::initialise does, so the sign-in window's open joins
// it and the file is keyed and its schema read once. Closing the connections is not timed.
void BM_StartUp(benchmark::State& state) {
    const int vehicles = int(state.range(0));
    const auto variant = StartUpVariant(state.range(1));
    const int layout = variant == TodayStart ? 0 : 1;
    const bool shared = variant == ImagesLastShared;
    const ConnectionSharing sharing = shared ? ConnectionSharing::Shared : ConnectionSharing::Private;
    bench::settledFleet(vehicles, layout); // no lapse flag due: the refresh writes none
    const QString path = bench::fleetPath(vehicles, layout);
    const QDate month = alerts::MonthStart(store::Today());
    int members = 0, flagsWritten = 0;
    for (auto _ : state) {
        store::DatabaseConnection mainWindow;
        if (shared && !mainWindow.OpenDatabaseFile(path, store::kDatabasePassword, sharing)) {
            state.SkipWithError("the main window's connection did not open");
            break;
        }
        {
            store::DatabaseConnection signInWindow;
            if (!openAsWindow(signInWindow, path, sharing) || !signIn(signInWindow)) {
                state.SkipWithError("sign-in failed");
                break;
            }
        }
        if (!shared && !openAsWindow(mainWindow, path, sharing)) {
            state.SkipWithError("the main window's connection did not open");
            break;
        }
        benchmark::DoNotOptimize(archive::ReadInsuranceKinds(mainWindow));
        const alerts::AlertResult r = alerts::ComputeAlerts(mainWindow, month);
        members = 0;
        for (const QStringList& s : r.sets)
            members += int(s.size());
        flagsWritten = r.flagUpdates;
        state.PauseTiming();
        mainWindow.CloseDatabase();
        state.ResumeTiming();
    }
    state.counters["members"] = members;
    state.counters["flags_written"] = flagsWritten;
}

// ---- child processes ---------------------------------------------------------------------------

// Times child runs: the benchmark's time is the child's wall time, from its fork to its end;
// child_cpu_ms and peak_rss_MB are the child's own (the summary takes child_cpu_ms as the CPU time).
void timeChild(benchmark::State& state, const QStringList& arguments, const QString& inputPath) {
    const QString errors = QDir(bench::benchDir()).filePath(u"child-stderr.txt"_s);
    std::vector<std::string> argv;
    for (const QString& a : arguments)
        argv.push_back(QFile::encodeName(a).toStdString());
    const std::string input = QFile::encodeName(inputPath.isEmpty() ? u"/dev/null"_s : inputPath).toStdString();
    double cpuMs = 0;
    long peakKb = 0;
    for (auto _ : state) {
        const bench::ChildRun run = bench::RunChild(argv, input, QFile::encodeName(errors).toStdString());
        if (!run.ok) {
            QFile file(errors);
            const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll().left(300) : QByteArray();
            state.SkipWithError(("child failed: " + text.toStdString()).c_str());
            return;
        }
        state.SetIterationTime(run.wallMs / 1e3);
        cpuMs += run.cpuMs;
        peakKb = std::max(peakKb, run.peakRssKb);
    }
    state.counters["child_cpu_ms"] = cpuMs / double(state.iterations());
    state.counters["peak_rss_MB"] = double(peakKb) / 1024.0;
}

// A data folder holding the fleet as clxx.mdb (a link to the fleet's file), for velmora-cli.
QString cliDataDir(int vehicles, int layout) {
    const QString target = bench::fleetPath(vehicles, layout);
    const QString dir = QDir(bench::benchDir()).filePath((layout ? u"cli-last-%1"_s : u"cli-%1"_s).arg(vehicles));
    QDir().mkpath(dir);
    const QString link = QDir(dir).filePath(store::kDatabaseFileName);
    if (QFileInfo(link).symLinkTarget() != QFileInfo(target).absoluteFilePath()) {
        QFile::remove(link);
        if (!QFile::link(target, link))
            std::abort();
    }
    return dir;
}

// velmora-cli alerts on an unchanged fleet (already refreshed once: no flag to write).
void BM_CliAlerts(benchmark::State& state) {
    const int vehicles = int(state.range(0)), layout = int(state.range(1));
    if (!QFileInfo::exists(QStringLiteral(VELMORA_CLI))) {
        state.SkipWithError("velmora-cli is not built");
        return;
    }
    bench::settledFleet(vehicles, layout);
    timeChild(state, {QStringLiteral(VELMORA_CLI), u"alerts"_s, u"--data-dir"_s, cliDataDir(vehicles, layout)}, {});
}

// The sqlcipher shell reading the refresh's columns of every vehicle table of the images-last
// fleet: the key, then one select per vehicle table (the tables 总表 lists).
void BM_SqlcipherShellFloor(benchmark::State& state) {
    const int vehicles = int(state.range(0));
    const QString shell = QStringLiteral(VELMORA_SQLCIPHER_SHELL);
    if (shell.isEmpty() || !QFileInfo::exists(shell)) {
        state.SkipWithError("the sqlcipher shell is not installed");
        return;
    }
    const QString script = QDir(bench::benchDir()).filePath(u"floor-last-%1.sql"_s.arg(vehicles));
    {
        QFile file(script);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            state.SkipWithError("the script could not be written");
            return;
        }
        QByteArray text = "PRAGMA key='" + store::SqlText(store::kDatabasePassword).toUtf8() + "';\n";
        for (const QString& plate : bench::plates(bench::fleet(vehicles, 1)))
            text += bench::kRefreshColumns + plate.toUtf8() + ";\n";
        file.write(text);
    }
    timeChild(state, {shell, u"-bail"_s, bench::fleetPath(vehicles, 1)}, script);
}

[[maybe_unused]] const bool kConnectionComparisons = [] {
    for (const std::string v : {"1000", "5000"}) {
        const std::string vehicles = ", " + v + " vehicles";
        const std::string privateOld = "BM_OpenWindowConnection/" + v + "/0/0";
        bench::Compare({"window's open" + vehicles + ": shared, main's open (last) / private (old)",
                        privateOld,
                        "BM_OpenWindowConnection/" + v + "/1/2",
                        {}});
        bench::Compare({"window's open" + vehicles + ": first shared (last) / private (old)",
                        privateOld,
                        "BM_OpenWindowConnection/" + v + "/1/1",
                        {}});
        bench::Compare({"window's open" + vehicles + ": private (last) / private (old)",
                        privateOld,
                        "BM_OpenWindowConnection/" + v + "/1/0",
                        {}});
        bench::Compare({"window's open" + vehicles + ": shared, main's open / private (both last)",
                        "BM_OpenWindowConnection/" + v + "/1/0",
                        "BM_OpenWindowConnection/" + v + "/1/2",
                        {}});
        const std::string today = "BM_StartUp/" + v + "/0";
        bench::Compare({"start-up" + vehicles + ": images last, shared / today", today, "BM_StartUp/" + v + "/2", {}});
        bench::Compare({"start-up" + vehicles + ": images last, private / today", today, "BM_StartUp/" + v + "/1", {}});
        bench::Compare({"velmora-cli alerts" + vehicles + " (images last / old layout)",
                        "BM_CliAlerts/" + v + "/0",
                        "BM_CliAlerts/" + v + "/1",
                        {}});
        bench::Compare({"velmora-cli alerts peak memory" + vehicles + " (last / old)", "BM_CliAlerts/" + v + "/0",
                        "BM_CliAlerts/" + v + "/1", "peak_rss_MB"});
        bench::Compare({"velmora-cli alerts / sqlcipher shell" + vehicles + " (images last)",
                        "BM_SqlcipherShellFloor/" + v,
                        "BM_CliAlerts/" + v + "/1",
                        {}});
    }
    return true;
}();

} // namespace

// Args: vehicles, layout, mode (0 private, 1 first shared, 2 shared while another is open).
BENCHMARK(BM_OpenWindowConnection)
    ->ArgsProduct({{1000, 5000}, {0, 1}, {PrivateOpen, FirstSharedOpen, SharedWhileHeld}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);
// Args: vehicles, variant (0 today, 1 images last private, 2 images last shared).
BENCHMARK(BM_StartUp)->ArgsProduct({{1000, 5000}, {0, 1, 2}})->Unit(benchmark::kMillisecond);
// Args: vehicles, layout. Wall time; the child's CPU time and peak memory are counters.
BENCHMARK(BM_CliAlerts)->ArgsProduct({{1000, 5000}, {0, 1}})->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_SqlcipherShellFloor)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond)->UseManualTime();
