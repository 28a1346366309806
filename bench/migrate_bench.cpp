// velmora-cli migrate of the 1,000-vehicle fleet (images included) into a PostgreSQL database,
// beside a bulk load of the same tables with COPY as a dump restore does it: the same rows read
// from the same file, the fixed tables made the same way, then every vehicle table streamed with
// COPY … FROM STDIN in one transaction, without the checksums of both sides that migrate adds.
// The server is named by $VELMORA_BENCH_PG (key=value connection text without dbname, of a role
// that may create databases); without it both are skipped.

#include "benchfleet.h"
#include "summary.h"

#include "store/database.h"
#include "store/migrate.h"
#include "store/recordset.h"
#include "store/schema.h"

#include <QElapsedTimer>
#include <QUuid>

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

using namespace Qt::StringLiterals;

namespace {

QString serverBase() {
    return QString::fromLocal8Bit(qgetenv("VELMORA_BENCH_PG")).trimmed();
}

bool admin(const QString& sql) {
    PGconn* c = PQconnectdb((serverBase() + u" dbname=postgres"_s).toUtf8().constData());
    const bool ok =
        PQstatus(c) == CONNECTION_OK && PQresultStatus(PQexec(c, sql.toUtf8().constData())) == PGRES_COMMAND_OK;
    PQfinish(c);
    return ok;
}

// A new empty database for one run; its connection text.
QString freshDatabase(QString* name) {
    *name = u"bench_"_s + QUuid::createUuid().toString(QUuid::Id128).left(12);
    if (!admin(u"CREATE DATABASE "_s + *name))
        return {};
    return serverBase() + u" dbname="_s + *name;
}

// COPY's text format: backslash escapes, \N for null, bytea as \x hex.
void appendCopyValue(QByteArray& line, const store::FieldValue& v) {
    if (v.isNull) {
        line += "\\N";
        return;
    }
    if (v.kind == store::FieldKind::Bytes) {
        line += "\\\\x";
        line += v.bytes().toHex();
        return;
    }
    if (v.kind == store::FieldKind::YesNo) {
        line += v.yesNo() ? "t" : "f";
        return;
    }
    const QByteArray text = v.text().toUtf8();
    for (const char c : text) {
        switch (c) {
        case '\\':
            line += "\\\\";
            break;
        case '\t':
            line += "\\t";
            break;
        case '\n':
            line += "\\n";
            break;
        case '\r':
            line += "\\r";
            break;
        default:
            line += c;
        }
    }
}

bool run(PGconn* c, const QByteArray& sql) {
    PGresult* r = PQexec(c, sql.constData());
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    PQclear(r);
    return ok;
}

// The bulk load: fixed tables as init makes them, then each table of the file by COPY.
bool bulkLoad(store::DatabaseConnection& source, const QString& target, qint64* bytes) {
    if (!store::CreateServerDatabase(target))
        return false;
    PGconn* c = PQconnectdb(target.toUtf8().constData());
    bool ok = PQstatus(c) == CONNECTION_OK && run(c, "BEGIN");
    for (const QString& table : source.TableNames()) {
        if (!ok)
            break;
        QStringList columns;
        {
            store::RecordSetGuard probe(source, u"select * from ["_s + table + u"] where 1=0"_s);
            columns = source.Columns(probe.handle());
        }
        QStringList quoted;
        for (const QString& col : columns)
            quoted << u"\""_s + col + u"\""_s;
        const bool fixed = store::FixedTableNames().contains(table) || table == u"车辆版本"_s;
        if (!fixed && columns.size() == store::VehicleColumns().size())
            ok = run(c, (u"CREATE TABLE \"%1\" (LIKE yangbiao INCLUDING ALL)"_s.arg(table)).toUtf8());
        else if (!fixed)
            ok = run(c, (u"CREATE TABLE \"%1\" (%2 text)"_s.arg(table, quoted.join(u" text, "_s))).toUtf8());
        if (fixed && (table == u"权限"_s || table == u"险种名称"_s))
            ok = ok && run(c, (u"DELETE FROM \"%1\""_s.arg(table)).toUtf8());
        PGresult* r =
            PQexec(c, (u"COPY \"%1\" (%2) FROM STDIN"_s.arg(table, quoted.join(u","_s))).toUtf8().constData());
        ok = ok && PQresultStatus(r) == PGRES_COPY_IN;
        PQclear(r);
        store::RecordSetGuard rs(source, u"select * from ["_s + table + u"]"_s);
        const int h = rs.handle();
        for (source.MoveFirst(h); ok && !source.AtEnd(h); source.MoveNext(h)) {
            QByteArray line;
            for (int i = 0; i < columns.size(); ++i) {
                if (i)
                    line += '\t';
                const store::FieldValue v = source.ReadField(h, columns.at(i));
                // Counted as migrate counts: texts as UTF-8, images as stored (not as their hex).
                if (!v.isNull)
                    *bytes += v.kind == store::FieldKind::Bytes ? v.bytes().size() : v.text().toUtf8().size();
                appendCopyValue(line, v);
            }
            line += '\n';
            ok = PQputCopyData(c, line.constData(), int(line.size())) == 1;
        }
        ok = PQputCopyEnd(c, nullptr) == 1 && ok;
        r = PQgetResult(c);
        ok = ok && PQresultStatus(r) == PGRES_COMMAND_OK;
        PQclear(r);
        while ((r = PQgetResult(c)))
            PQclear(r);
    }
    ok = ok && run(c, "COMMIT");
    PQfinish(c);
    return ok;
}

void BM_MigrateToServer(benchmark::State& state) {
    if (serverBase().isEmpty()) {
        state.SkipWithError("VELMORA_BENCH_PG names no server");
        return;
    }
    const QString fleet = bench::fleetPath(int(state.range(0)), 1);
    qint64 bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QString name;
        const QString target = freshDatabase(&name);
        state.ResumeTiming();
        store::CopyReport report;
        QString error;
        if (target.isEmpty() || !store::MigrateFile(fleet, target, &report, &error)) {
            state.SkipWithError(error.toStdString().c_str());
            break;
        }
        bytes = report.bytes;
        state.PauseTiming();
        admin(u"DROP DATABASE "_s + name);
        state.ResumeTiming();
    }
    state.counters["MB"] = double(bytes) / 1e6;
    state.counters["MB/s"] =
        benchmark::Counter(double(bytes) / 1e6 * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_CopyBulkLoad(benchmark::State& state) {
    if (serverBase().isEmpty()) {
        state.SkipWithError("VELMORA_BENCH_PG names no server");
        return;
    }
    const QString fleet = bench::fleetPath(int(state.range(0)), 1);
    qint64 bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QString name;
        const QString target = freshDatabase(&name);
        state.ResumeTiming();
        // Opened inside the timing, as migrate opens its source.
        store::DatabaseConnection source;
        bytes = 0;
        if (target.isEmpty() ||
            !source.OpenDatabaseFile(fleet, store::kDatabasePassword, store::ConnectionSharing::Private) ||
            !bulkLoad(source, target, &bytes)) {
            state.SkipWithError("bulk load failed");
            break;
        }
        state.PauseTiming();
        admin(u"DROP DATABASE "_s + name);
        state.ResumeTiming();
    }
    state.counters["MB"] = double(bytes) / 1e6;
    state.counters["MB/s"] =
        benchmark::Counter(double(bytes) / 1e6 * double(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

// Wall time: most of the work is the server's, outside this process's CPU time.
BENCHMARK(BM_MigrateToServer)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_CopyBulkLoad)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

static const bool kMigrateSummary = bench::Compare({"migrate into the server (checked) against a COPY bulk load",
                                                    "BM_CopyBulkLoad/1000", "BM_MigrateToServer/1000", ""});
