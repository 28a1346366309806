#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// The one way the program writes a file for the operator: exports, printed PDFs, exported images,
// backups and the upgrade's copy. A write never lands on the open database (or a file SQLite
// keeps beside it), and never leaves a half-written file under the target's name.
namespace store {

// Refuses target when it is the open database file by any spelling (symlink, `..`, hard link:
// canonical path and device/inode) or a file SQLite keeps beside it (-journal, -wal, -shm); also a
// folder or anything but a regular file (a device, a pipe). The reason in Chinese in *error.
// The database files are the data directory's clxx.mdb and every file this process has open
// through a DatabaseConnection.
bool OutputPathAllowed(const QString& target, QString* error);
// The same, refusing also the database files named in alsoRefused (a backup's source).
bool OutputPathAllowed(const QString& target, const QStringList& alsoRefused, QString* error);

// Writes target through a temporary file beside it: produce(tempPath, error) writes the whole file;
// only on success is the temporary renamed over target; on any failure the temporary is removed and
// an earlier target stays as it was. The temporary is "<target>.XXXXXX.part" (and, where produce
// writes an SQLite file, its "-journal"); stale ones of the same target left by a killed writer are
// removed first (see RemoveStaleTemporaries). A symbolic link as target is followed: the file it
// names is replaced, the link stays. A new file gets the usual permissions (0666 less the umask),
// a replaced one keeps its own.
bool WriteOutputFile(const QString& target, const std::function<bool(const QString& tempPath, QString* error)>& produce,
                     QString* error);
// The same, refusing also alsoRefused (see OutputPathAllowed).
bool WriteOutputFile(const QString& target, const QStringList& alsoRefused,
                     const std::function<bool(const QString& tempPath, QString* error)>& produce, QString* error);
bool WriteOutputBytes(const QString& target, const QByteArray& bytes, QString* error);

// Writes a file that must not exist yet, a new database, through the same temporary as
// WriteOutputFile (so a killed writer's leftovers are removed by the next write of that name), but
// without refusing the database's own names, which is what it makes: refuses an existing target,
// and never replaces a file that appears under its name while produce runs. The new file is the
// owner's alone (0600).
bool WriteNewFile(const QString& target, const std::function<bool(const QString& tempPath, QString* error)>& produce,
                  QString* error);

// Temporaries older than this are taken as left by a killed or failed writer.
inline constexpr int kStaleTemporaryMinutes = 60;
// Removes the stale temporaries of target: files in its folder named exactly as WriteOutputFile
// names them ("<target file name>.XXXXXX.part", six letters or digits, and that name + "-journal")
// whose last change is at least minAgeSeconds ago. Returns how many it removed. Nothing else in the
// folder is touched.
int RemoveStaleTemporaries(const QString& target, qint64 minAgeSeconds = qint64(kStaleTemporaryMinutes) * 60);

// The reason for a failed system call in Chinese (disk full, no permission, read-only file system…).
QString SystemErrorText(int errorNumber);

// Called by the database connection when it opens and closes a file, so that no output replaces a
// database this process has open.
void NoteDatabaseFile(const QString& path, bool open);

} // namespace store
