#pragma once

#include <QString>

namespace store {

// Writes a consistent, checked copy of the database file source to destination, encrypted with
// the same password. The copy is taken with SQLite's online backup in one step, so it is one
// snapshot even while other connections write; it is written under a temporary name beside the
// destination and renamed over it only once it opens with the password, holds the fixed tables
// and passes "PRAGMA integrity_check". On failure nothing is left at the destination: an earlier
// file there stays as it was, and the temporary is removed (a killed backup's are removed by the
// next one after an hour). Refuses a destination that is the database file itself by any spelling,
// or a file SQLite keeps beside it (see WriteOutputFile).
bool BackupDatabase(const QString& source, const QString& destination, QString* error = nullptr);

} // namespace store
