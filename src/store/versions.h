#pragma once

#include <QString>

#include <optional>

using namespace Qt::StringLiterals;

namespace store {

class DatabaseConnection;

// Every vehicle carries a version in a table of its own, keyed by plate: a save that still holds
// the version it loaded may write; one that finds another operator's write since is refused.
// The row outlives the vehicle (a delete raises it too), so a form loaded before a delete never
// matches a vehicle added again under the same plate. A file made before versions were kept has
// no such table: it is created by the first write that needs it, and every vehicle reads as 0
// until then, so older files open, upgrade and back up as before.
inline const QString kVehicleVersionTable = u"车辆版本"_s;
inline const QString kVehicleChangedMessage = u"该车辆已被其他操作员修改，请重新载入后再保存。"_s;
// The row that adds of new vehicles take first: two adds at once run one after the other, so the
// second sees the plate and archive number of the first. No plate is empty.
inline const QString kFleetVersionKey = QString();

// Makes sure the key has a row (a version 0 one when it had none), outside any transaction of the
// caller's: a lock row that exists before two writers meet there. A failure because another
// writer made the row at the same moment leaves what was wanted.
void EnsureVersionRow(DatabaseConnection& db, const QString& key);

// The statement creating the table; the schema of new files runs the same.
QString VehicleVersionTableStatement();

// The plate's version: 0 when it has none yet. nullopt when it cannot be read.
std::optional<qint64> ReadVehicleVersion(DatabaseConnection& db, const QString& plate);

enum class VersionCheck { Current, Changed, Failed };

struct VersionOutcome {
    VersionCheck check = VersionCheck::Failed;
    qint64 version = 0; // the plate's version after this write, when Current
    bool ok() const { return check == VersionCheck::Current; }
};

// Within the caller's open transaction: locks the plate's version, checks that it still is
// expected (no check without one) and raises it by one. The raise is the lock: on a server a
// second writer waits here until the first has committed or rolled back and then reads the
// version the first left. On Changed or Failed the caller rolls back and writes nothing.
VersionOutcome TakeVehicleVersion(DatabaseConnection& db, const QString& plate, std::optional<qint64> expected);

} // namespace store
