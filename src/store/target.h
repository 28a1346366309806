#pragma once

#include "store/database.h"

#include <QString>

namespace store {

// The settings file beside the program: "database=" names the database, "password=" the server
// password when no .pgpass holds it. It should be readable by the operator's account alone.
inline constexpr const char* kSettingsFileName = "velmora.ini";

// Where the program's data lives, decided here alone: the environment variable VELMORA_DATABASE
// (velmora-cli's --database sets it), else "database=" in velmora.ini beside the program, else
// the file clxx.mdb in the data directory. A server is named by a PostgreSQL URI
// (postgresql://…, postgres://…) or key=value text (host=… dbname=…); anything else is a file path.
QString DatabaseTarget();
bool IsServerTarget(const QString& target);

// "password=" of velmora.ini, empty when there is none.
QString ServerPassword();

// What is wrong with velmora.ini beyond its contents (for now: other accounts may read it); empty
// when nothing is.
QString SettingsWarning();

// True for a file target whose file does not exist (a server is never "missing" beforehand).
bool TargetMissing(const QString& target);

// The one way the program opens its database: the file with its key, or the server.
bool OpenTarget(DatabaseConnection& db, const QString& target, ConnectionSharing sharing = ConnectionSharing::Shared);
inline bool OpenTarget(DatabaseConnection& db) {
    return OpenTarget(db, DatabaseTarget());
}

} // namespace store
