#pragma once

#include <QStringList>
#include <QTextStream>

namespace cli {

// velmora-cli migrate --from-file clxx.mdb --database TARGET: copies an existing file (either
// table layout) into an empty target in one transaction and prints both sides' row counts and
// checksums. Exit 0 when every table matched, 1 on a refusal or difference (nothing written), 2
// on wrong usage.
int MigrateCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace cli
