#include "versions.h"

#include "database.h"
#include "recordset.h"
#include "sqltext.h"

namespace store {

namespace {

QString whereKey(const QString& plate) {
    return u" where [车牌号]='"_s + SqlText(plate) + u"'"_s;
}

// The stored version, nullopt for no row; false when it cannot be read.
bool readStored(DatabaseConnection& db, const QString& plate, std::optional<qint64>* out) {
    RecordSetGuard rs(db, u"select [版本] from [车辆版本]"_s + whereKey(plate));
    if (!rs.ok())
        return false;
    db.MoveFirst(rs.handle());
    *out = db.AtEnd(rs.handle()) ? std::nullopt
                                 : std::optional<qint64>(qint64(db.ReadField(rs.handle(), u"版本"_s).number()));
    return true;
}

} // namespace

QString VehicleVersionTableStatement() {
    return u"create table [车辆版本] ([车牌号] TEXT PRIMARY KEY NOT NULL, [版本] INTEGER NOT NULL DEFAULT 0)"_s;
}

std::optional<qint64> ReadVehicleVersion(DatabaseConnection& db, const QString& plate) {
    std::optional<qint64> stored;
    if (readStored(db, plate, &stored))
        return stored.value_or(0);
    // The query has just read the schema afresh: a table missing now is a file without versions.
    if (db.IsOpen() && db.StoredColumns(kVehicleVersionTable).isEmpty())
        return 0;
    return std::nullopt;
}

void EnsureVersionRow(DatabaseConnection& db, const QString& key) {
    std::optional<qint64> stored;
    if (readStored(db, key, &stored) && stored)
        return;
    if (db.StoredColumns(kVehicleVersionTable).isEmpty())
        db.ExecuteStatement(VehicleVersionTableStatement());
    db.ExecuteStatement(u"insert into [车辆版本] ([车牌号],[版本]) values ('"_s + SqlText(key) + u"',0)"_s);
}

VersionOutcome TakeVehicleVersion(DatabaseConnection& db, const QString& plate, std::optional<qint64> expected) {
    VersionOutcome out;
    // No statement here may fail on a server, where a failed one ends the transaction: the
    // table is looked for first. The file's look may be older than another process's create;
    // that create then fails here, and having failed it has read the schema afresh.
    if (db.StoredColumns(kVehicleVersionTable).isEmpty() && !db.ExecuteStatement(VehicleVersionTableStatement()) &&
        db.StoredColumns(kVehicleVersionTable).isEmpty())
        return out;
    if (!db.ExecuteStatement(u"update [车辆版本] set [版本]=[版本]+1"_s + whereKey(plate)))
        return out;
    std::optional<qint64> stored;
    if (!readStored(db, plate, &stored))
        return out;
    if (stored) {
        if (expected && *stored - 1 != *expected) {
            out.check = VersionCheck::Changed;
            return out;
        }
        out.check = VersionCheck::Current;
        out.version = *stored;
        return out;
    }
    // No row yet: the vehicle is still at 0. Of two writers that both find none, the second
    // insert meets the first's key and fails, so only one of them goes on.
    if (expected && *expected != 0) {
        out.check = VersionCheck::Changed;
        return out;
    }
    if (!db.ExecuteStatement(u"insert into [车辆版本] ([车牌号],[版本]) values ('"_s + SqlText(plate) + u"',1)"_s)) {
        out.check = VersionCheck::Changed;
        return out;
    }
    out.check = VersionCheck::Current;
    out.version = 1;
    return out;
}

} // namespace store
