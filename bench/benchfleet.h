#pragma once

// The encrypted fleets the alert benchmarks read, shared by the benchmark files: built once into
// $VELMORA_BENCH_DIR (default /tmp/velmora-bench) and reused by later runs.

#include "store/database.h"

#include <QString>
#include <QStringList>

namespace bench {

QString benchDir();

// The file of a fleet, built first when it is missing. Layout 1 is that of new files (images
// last), 0 the older one (images among the columns).
QString fleetPath(int vehicles, int layout = 1);

// One open connection per fleet size and layout, kept for the process. It is a private
// connection, so that it never counts as another window's when a benchmark measures shared opens.
store::DatabaseConnection& fleet(int vehicles, int layout = 1);

// The same connection after one refresh in this process: the lapse flags due today are written,
// so a later refresh finds an unchanged fleet and writes none.
store::DatabaseConnection& settledFleet(int vehicles, int layout = 1);

// The plates of 总表, in the refresh's order.
QStringList plates(store::DatabaseConnection& db);

// The select of exactly the columns the refresh reads, to be followed by a table name.
extern const char* const kRefreshColumns;

} // namespace bench
