#pragma once

#include <QString>

namespace store {

// Where the program's data is, as the environment names it.
struct DatabaseTargetInfo {
    QString file;    // the database file to open (empty when refused)
    QString refusal; // why this build cannot open what is named, in Chinese; empty when it can
    bool ok() const { return refusal.isEmpty(); }
};

// $VELMORA_DATABASE when set and not empty: a plain file path (or a file: URL) names the database
// file itself; anything else (a server's address such as postgresql://…, or key=value connection
// settings) is refused with a clear message, rather than quietly using the file. Unset: clxx.mdb
// in the data directory (DataDirectory()). Every opener of the program's database asks here first.
DatabaseTargetInfo DatabaseTarget();

} // namespace store
