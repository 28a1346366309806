// What a window's connection costs, the program's start-up, and velmora-cli alerts as a process
// (its wall time and peak memory) beside the sqlcipher shell reading the same columns; each for
// 1,000 and 5,000 vehicles and both table layouts, with their ratios printed after the table. Then
// the refresh, the start-up, LoadVehicle, the company ledger and velmora-cli alerts on a PostgreSQL
// server of the tests' kind, beside the same on the file.
//
// Args of every benchmark here start with the number of vehicles; the layout is 0 for older files
// (images among the columns) and 1 for images last. Run a part of them with, for example,
//   build-bench/bench/velmora_bench --benchmark_filter='BM_OpenWindowConnection|BM_StartUp'

#include "benchfleet.h"
#include "childrun.h"
#include "summary.h"

#include "alerts/rules.h"
#include "archive/vehicledata.h"
#include "lists/listbuild.h"
#include "store/database.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/sqltext.h"
#include "store/target.h"
#include "store/upgrade.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
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

// ---- the same work on a PostgreSQL server --------------------------------------------------------

// A private cluster (the tests' script) holding the 1,000-vehicle fleet of the file, images left
// out: the refresh never reads them, and the server keeps large values apart from the row. Over
// its Unix socket (0) and over 127.0.0.1 (1), as the password role velmora_pw.
struct ServerFleet {
    QString info;
    QString targets[2];
    bool ok = false;
    ~ServerFleet() {
        if (!info.isEmpty())
            QProcess::execute(u"bash"_s, {QStringLiteral(VELMORA_PGCLUSTER_SCRIPT), u"stop"_s, info});
    }
};

QString literal(const store::FieldValue& v) {
    if (v.isNull)
        return u"NULL"_s;
    switch (v.kind) {
    case store::FieldKind::DateTime:
        return u"'"_s + v.date().toString(Qt::ISODate) + u"'"_s;
    case store::FieldKind::YesNo:
        return store::SqlBool(v.yesNo());
    case store::FieldKind::Number:
        return v.text();
    default:
        return u"'"_s + store::SqlText(v.text()) + u"'"_s;
    }
}

// The vehicle BM_LoadVehicle loads: the one whose images the copy keeps, since loading reads them.
const QString kLoadedPlate = u"京B10500"_s;

bool copyImages(store::DatabaseConnection& from, store::DatabaseConnection& to, const QString& plate) {
    QStringList images;
    for (const store::ColumnDef& c : store::StorageColumns())
        if (c.type == store::ColumnType::Bytes)
            images << c.name;
    const int h = from.OpenRecordSet(u"select [编号],["_s + images.join(u"],["_s) + u"] from "_s + plate);
    bool ok = h != 0;
    for (from.MoveFirst(h); ok && !from.AtEnd(h); from.MoveNext(h)) {
        QList<QByteArray> values;
        QStringList assignments;
        for (const QString& c : images) {
            const store::FieldValue v = from.ReadField(h, c);
            if (v.isNull)
                continue;
            values << v.bytes();
            assignments << u"["_s + c + u"]=?"_s;
        }
        if (!assignments.isEmpty())
            ok = to.ExecuteWithBinaries(u"update "_s + plate + u" set "_s + assignments.join(u","_s) +
                                            u" where [编号]="_s + from.ReadField(h, u"编号"_s).text(),
                                        values);
    }
    from.CloseRecordSet(h);
    return ok;
}

bool copyFleet(store::DatabaseConnection& from, store::DatabaseConnection& to) {
    QStringList columns;
    for (const store::ColumnDef& c : store::StorageColumns())
        if (c.type != store::ColumnType::Bytes)
            columns << c.name;
    QStringList bracketed;
    for (const QString& c : columns)
        bracketed << u"["_s + c + u"]"_s;
    const QString list = bracketed.join(u","_s);
    if (!to.BeginTransaction())
        return false;
    for (const QString& plate : bench::plates(from)) {
        if (!to.ExecuteStatement(u"insert into [总表]([档案编号],[车牌号]) values('"_s + store::SqlText(plate) +
                                 u"','"_s + store::SqlText(plate) + u"')"_s) ||
            !to.ExecuteStatement(u"select * into "_s + plate + u" from yangbiao"_s))
            return false;
        const int h = from.OpenRecordSet(u"select "_s + list + u" from "_s + plate);
        QStringList rows;
        for (from.MoveFirst(h); !from.AtEnd(h); from.MoveNext(h)) {
            QStringList values;
            for (const QString& c : columns)
                values << literal(from.ReadField(h, c));
            rows << u"("_s + values.join(u","_s) + u")"_s;
        }
        from.CloseRecordSet(h);
        if (!rows.isEmpty() &&
            !to.ExecuteStatement(u"insert into "_s + plate + u"("_s + list + u") values "_s + rows.join(u","_s)))
            return false;
        if (plate == kLoadedPlate && !copyImages(from, to, plate))
            return false;
    }
    return to.CommitTransaction();
}

ServerFleet& serverFleet() {
    // Stopped with the application object, while a process can still be run and waited for.
    static std::unique_ptr<ServerFleet> fleet = [] {
        qAddPostRoutine([] { fleet.reset(); });
        auto made = std::make_unique<ServerFleet>();
        ServerFleet& f = *made;
        if (!QFileInfo::exists(u"/usr/lib/postgresql/15/bin/initdb"_s))
            return made;
        f.info = QDir(bench::benchDir()).filePath(u"pgcluster.info"_s);
        if (QProcess::execute(u"bash"_s, {QStringLiteral(VELMORA_PGCLUSTER_SCRIPT), u"start"_s, f.info}) != 0)
            return made;
        QFile infoFile(f.info);
        if (!infoFile.open(QIODevice::ReadOnly))
            return made;
        QString socket, port;
        for (const QByteArray& line : infoFile.readAll().split('\n')) {
            if (line.startsWith("socket="))
                socket = QString::fromUtf8(line.mid(7));
            if (line.startsWith("port="))
                port = QString::fromUtf8(line.mid(5));
        }
        const QString passFile = QDir(bench::benchDir()).filePath(u"pgpass"_s);
        QFile pass(passFile);
        if (!pass.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return made;
        pass.write(u"127.0.0.1:%1:*:velmora_pw:velmora-pw\n"_s.arg(port).toUtf8());
        pass.close();
        pass.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        qputenv("PGPASSFILE", QFile::encodeName(passFile));
        QProcess::execute(u"psql"_s, {u"-h"_s, socket, u"-p"_s, port, u"-U"_s, u"velmora_test"_s, u"-d"_s,
                                      u"postgres"_s, u"-qc"_s, u"CREATE DATABASE fleet OWNER velmora_pw"_s});
        f.targets[0] = u"host=%1 port=%2 user=velmora_pw dbname=fleet"_s.arg(socket, port);
        f.targets[1] = u"host=127.0.0.1 port=%1 user=velmora_pw dbname=fleet"_s.arg(port);
        QString error;
        store::DatabaseConnection to;
        f.ok = store::CreateServerDatabase(f.targets[0], &error) &&
               to.Open(f.targets[0], store::kDatabasePassword, store::ConnectionSharing::Private) &&
               copyFleet(bench::fleet(1000, 1), to);
        if (f.ok) // settled, as the file's fleet is before its refresh is timed
            alerts::ComputeAlerts(to, alerts::MonthStart(store::Today()));
        return made;
    }();
    return *fleet;
}

// The server fleet's address the benchmark's first argument names (0 Unix socket, 1 127.0.0.1), or
// empty after marking the benchmark skipped when there is no server fleet.
QString serverTarget(benchmark::State& state) {
    const ServerFleet& f = serverFleet();
    if (!f.ok) {
        state.SkipWithError("no server fleet (PostgreSQL server programs missing?)");
        return {};
    }
    return f.targets[state.range(0)];
}

// A connection of its own to the server fleet (args: 0 Unix socket, 1 127.0.0.1), or a skip.
bool openServer(benchmark::State& state, store::DatabaseConnection& db,
                ConnectionSharing sharing = ConnectionSharing::Private) {
    const QString target = serverTarget(state);
    if (target.isEmpty())
        return false;
    if (!db.Open(target, store::kDatabasePassword, sharing)) {
        state.SkipWithError(db.LastError().toStdString().c_str());
        return false;
    }
    return true;
}

// The CPU time the server's process for db has used so far (ms), read from /proc: the server
// runs on this machine; -1 where it cannot be read.
struct ServerProcess {
    QString stat;
    explicit ServerProcess(store::DatabaseConnection& db) {
        const int h = db.OpenRecordSet(u"select pg_backend_pid() as pid"_s);
        if (h)
            stat = u"/proc/%1/stat"_s.arg(db.ReadField(h, u"pid"_s).text());
        db.CloseRecordSet(h);
    }
    double cpuMs() const {
        QFile file(stat);
        if (stat.isEmpty() || !file.open(QIODevice::ReadOnly))
            return -1;
        // After the command name in parentheses: utime and stime are fields 14 and 15.
        const QByteArray text = file.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 13)
            return -1;
        return double(fields[11].toLongLong() + fields[12].toLongLong()) * 1000.0 / double(sysconf(_SC_CLK_TCK));
    }
};

// Round trips to the server per iteration, from the count at the start.
void countRoundTrips(benchmark::State& state, qint64 atStart) {
    state.counters["round_trips"] = double(store::DatabaseConnection::ServerRoundTrips() - atStart) /
                                    double(std::max<benchmark::IterationCount>(state.iterations(), 1));
}

void BM_ServerRefresh(benchmark::State& state) {
    store::DatabaseConnection db;
    if (!openServer(state, db))
        return;
    const QDate month = alerts::MonthStart(store::Today());
    int members = 0;
    const ServerProcess server(db);
    const double serverCpu = server.cpuMs();
    const qint64 trips = store::DatabaseConnection::ServerRoundTrips();
    for (auto _ : state) {
        const alerts::AlertResult r = alerts::ComputeAlerts(db, month);
        members = 0;
        for (const QStringList& set : r.sets)
            members += int(set.size());
        benchmark::DoNotOptimize(members);
    }
    countRoundTrips(state, trips);
    state.counters["server_cpu_ms"] =
        (server.cpuMs() - serverCpu) / double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["members"] = members;
}

// BM_StartUp's images-last shared variant on the server: the main window's session first, the
// sign-in window's joining it, the sign-in, the insurance kinds and the first refresh. Each
// iteration connects anew (the sessions are closed, untimed, at its end).
void BM_ServerStartUp(benchmark::State& state) {
    const QString target = serverTarget(state);
    if (target.isEmpty())
        return;
    const QDate month = alerts::MonthStart(store::Today());
    int members = 0;
    double serverCpu = 0;
    qint64 queries = 0;
    const qint64 trips = store::DatabaseConnection::ServerRoundTrips();
    for (auto _ : state) {
        store::DatabaseConnection mainWindow;
        if (!mainWindow.Open(target, store::kDatabasePassword, ConnectionSharing::Shared)) {
            state.SkipWithError(mainWindow.LastError().toStdString().c_str());
            break;
        }
        {
            store::DatabaseConnection signInWindow;
            if (!signInWindow.Open(target, store::kDatabasePassword, ConnectionSharing::Shared) ||
                !signIn(signInWindow)) {
                state.SkipWithError("sign-in failed");
                break;
            }
            benchmark::DoNotOptimize(store::HasOldTableLayout(signInWindow));
        }
        benchmark::DoNotOptimize(archive::ReadInsuranceKinds(mainWindow));
        const alerts::AlertResult r = alerts::ComputeAlerts(mainWindow, month);
        members = 0;
        for (const QStringList& s : r.sets)
            members += int(s.size());
        state.PauseTiming();
        // The session began in this iteration: all its server's CPU time is the start-up's.
        serverCpu += ServerProcess(mainWindow).cpuMs();
        ++queries;
        mainWindow.CloseDatabase();
        state.ResumeTiming();
    }
    state.counters["server_cpu_ms"] = serverCpu / double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    // Less the look at the server's process.
    state.counters["round_trips"] = double(store::DatabaseConnection::ServerRoundTrips() - trips - queries) /
                                    double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["members"] = members;
}

// BM_LoadVehicle on the server: every group's current row and list of one vehicle, images included.
void BM_ServerLoadVehicle(benchmark::State& state) {
    store::DatabaseConnection db;
    if (!openServer(state, db))
        return;
    const qint64 trips = store::DatabaseConnection::ServerRoundTrips();
    for (auto _ : state) {
        for (archive::VehicleGroup g : archive::AllGroups()) {
            benchmark::DoNotOptimize(archive::ReadCurrentGroup(db, g, kLoadedPlate));
            if (g != archive::VehicleGroup::Basic)
                benchmark::DoNotOptimize(archive::ReadGroupList(db, g, kLoadedPlate, true));
        }
    }
    countRoundTrips(state, trips);
}

// BM_LedgerBuild on the server: the company ledger from the refresh's sets.
void BM_ServerLedgerBuild(benchmark::State& state) {
    store::DatabaseConnection db;
    if (!openServer(state, db))
        return;
    const QDate month = alerts::MonthStart(store::Today());
    const alerts::AlertSetList sets = alerts::ComputeAlerts(db, month).sets;
    const int ledger = *lists::FindList(u"公司车辆台账清单"_s);
    int rows = 0;
    const qint64 trips = store::DatabaseConnection::ServerRoundTrips();
    for (auto _ : state) {
        rows = lists::BuildList(db, ledger, sets, month).table.dataRowCount();
        benchmark::DoNotOptimize(rows);
    }
    countRoundTrips(state, trips);
    state.counters["rows"] = rows;
}

void BM_ServerCliAlerts(benchmark::State& state) {
    const QString target = serverTarget(state);
    if (target.isEmpty())
        return;
    // The children are started by a helper forked before the password file was named: env names it.
    timeChild(state,
              {u"/usr/bin/env"_s, u"PGPASSFILE="_s + qEnvironmentVariable("PGPASSFILE"), QStringLiteral(VELMORA_CLI),
               u"alerts"_s, u"--database"_s, target},
              {});
}

BENCHMARK(BM_ServerRefresh)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ServerStartUp)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ServerLoadVehicle)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ServerLedgerBuild)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ServerCliAlerts)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime();

[[maybe_unused]] const bool kServerComparisons = [] {
    bench::Compare(
        {"refresh, 1000 vehicles (server over a Unix socket / file)", "BM_Refresh/1000/1", "BM_ServerRefresh/0", {}});
    bench::Compare(
        {"refresh, 1000 vehicles (server over 127.0.0.1 / file)", "BM_Refresh/1000/1", "BM_ServerRefresh/1", {}});
    for (const auto& [way, arg] : {std::pair<std::string, std::string>{"a Unix socket", "0"}, {"127.0.0.1", "1"}}) {
        bench::Compare({"start-up, 1000 vehicles (server over " + way + " / file, shared)",
                        "BM_StartUp/1000/2",
                        "BM_ServerStartUp/" + arg,
                        {}});
        bench::Compare(
            {"LoadVehicle (server over " + way + " / file)", "BM_LoadVehicle/1", "BM_ServerLoadVehicle/" + arg, {}});
        bench::Compare({"company ledger, 1000 vehicles (server over " + way + " / file)",
                        "BM_LedgerBuild/1000/1",
                        "BM_ServerLedgerBuild/" + arg,
                        {}});
    }
    bench::Compare({"velmora-cli alerts, 1000 vehicles (server over a Unix socket / file)",
                    "BM_CliAlerts/1000/1",
                    "BM_ServerCliAlerts/0",
                    {}});
    bench::Compare({"velmora-cli alerts, 1000 vehicles (server over 127.0.0.1 / file)",
                    "BM_CliAlerts/1000/1",
                    "BM_ServerCliAlerts/1",
                    {}});
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
