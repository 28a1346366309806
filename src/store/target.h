#pragma once

#include "store/database.h"

#include <QString>

namespace store {

// The settings file beside the program: "database=" names the database, "password=" the server
// password when no .pgpass holds it. It should be readable by the operator's account alone.
inline constexpr const char* kSettingsFileName = "velmora.ini";

// Where the program's data is.
struct DatabaseTargetInfo {
    QString file;    // the database file, when the data is in a file
    QString server;  // the server's connection text, when it is on a server
    QString refusal; // why what is named cannot be used, in Chinese; empty when it can
    bool ok() const { return refusal.isEmpty(); }
    bool isServer() const { return !server.isEmpty(); }
    // What DatabaseConnection::Open takes.
    QString text() const { return isServer() ? server : file; }
};

// Decided here alone: the environment variable VELMORA_DATABASE (velmora-cli's --database sets
// it), else "database=" in velmora.ini beside the program, else the file clxx.mdb in the data
// directory (DataDirectory()). A server is named by a PostgreSQL URI (postgresql://…, postgres://…)
// or key=value text (host=… dbname=…); a plain path or a file: URL names a file; any other scheme
// is refused. Every opener of the program's database asks here first.
DatabaseTargetInfo DatabaseTarget();
bool IsServerTarget(const QString& target);

// "password=" of velmora.ini, empty when there is none.
QString ServerPassword();

// The folder velmora.ini is read from: the program's own, unless another is set (tests set one of
// their own); an empty dir returns to the program's folder.
void SetSettingsDirectory(const QString& dir);

// What is wrong with velmora.ini beyond its contents (for now: other accounts may read it); empty
// when nothing is.
QString SettingsWarning();

// True for a file target whose file does not exist (a server is never "missing" beforehand).
bool TargetMissing(const QString& target);

// The one way the program opens its database: the file with its key, or the server.
bool OpenTarget(DatabaseConnection& db, const QString& target, ConnectionSharing sharing = ConnectionSharing::Shared,
                OpenAccess access = OpenAccess::ReadWrite);
// DatabaseTarget()'s database; false at once when the target is refused.
bool OpenTarget(DatabaseConnection& db);

} // namespace store
