// The owner notices of 1,000 vehicles written as PDF beside the company ledger's PDF, both built
// from the same tree in the same run.

#include "benchfleet.h"
#include "summary.h"

#include "alerts/rules.h"
#include "lists/listbuild.h"
#include "lists/notices.h"
#include "report/exports.h"
#include "store/session.h"

#include <QDir>
#include <QFileInfo>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

alerts::AlertSetList treeOf(store::DatabaseConnection& db) {
    return alerts::ComputeAlerts(db, alerts::MonthStart(store::Today()), alerts::ReadMode::OneQueryPerTable,
                                 alerts::FlagWrites::Skip)
        .sets;
}

// The ledger as the list window exports it: built from the tree, then its pages as PDF.
void BM_LedgerToPdf(benchmark::State& state) {
    auto& db = bench::fleet(int(state.range(0)));
    const alerts::AlertSetList sets = treeOf(db);
    const int ledger = *lists::FindList(u"公司车辆台账清单"_s);
    const QString path = QDir(bench::benchDir()).filePath(u"ledger-export-%1.pdf"_s.arg(state.range(0)));
    for (auto _ : state) {
        const lists::ListBuild b = lists::BuildList(db, ledger, sets, alerts::MonthStart(store::Today()));
        if (!report::WritePdf(b.table, path))
            state.SkipWithError("PDF not written");
    }
    state.counters["bytes"] = double(QFileInfo(path).size());
}

// The notices of every vehicle in service: read, grouped by owner, one page per owner, as PDF.
void BM_NoticesToPdf(benchmark::State& state) {
    auto& db = bench::fleet(int(state.range(0)));
    const QStringList plates = lists::VehiclesInService(db, treeOf(db)).value_or(QStringList{});
    const QString path = QDir(bench::benchDir()).filePath(u"notices-%1.pdf"_s.arg(state.range(0)));
    int owners = 0;
    for (auto _ : state) {
        const lists::NoticeBuild n = lists::BuildNotices(db, plates, store::Today(), true);
        owners = int(n.notices.size());
        if (!report::WritePdf(n.pages, path))
            state.SkipWithError("PDF not written");
    }
    state.counters["owners"] = owners;
    state.counters["bytes"] = double(QFileInfo(path).size());
}

[[maybe_unused]] const bool kNoticeComparison =
    bench::Compare({"owner notices to PDF, 1000 vehicles (notices / company ledger)",
                    "BM_LedgerToPdf/1000",
                    "BM_NoticesToPdf/1000",
                    {}});

} // namespace

BENCHMARK(BM_LedgerToPdf)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NoticesToPdf)->Arg(1000)->Unit(benchmark::kMillisecond);
