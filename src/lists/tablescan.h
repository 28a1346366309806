#pragma once

// Reading a vehicle table in one query, shared by the list builders and the notices (no part of the
// library's interface).

#include "store/database.h"
#include "store/recordset.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace lists {

struct Group {
    bool found = false;              // a row with the group's marker present
    QList<store::FieldValue> values; // the columns of the group's select, from that row
};

// The whole table in one query: the current row of each group is the last row, in table order,
// where the group's marker is present, which is what each group's own query returns last.
class TableScan {
public:
    TableScan(store::DatabaseConnection& db, const QString& select) : db_(db) {
        rs_.emplace(db, select);
        h_ = rs_->handle();
    }
    // Over a record set its opener closes (one that DatabaseConnection::ReadTables hands out).
    TableScan(store::DatabaseConnection& db, int handle) : db_(db), h_(handle) {}
    bool ok() const { return h_ != 0; }
    template <typename Row> void forEach(Row row) {
        for (db_.MoveFirst(h_); !db_.AtEnd(h_); db_.MoveNext(h_))
            row();
    }
    store::FieldValue field(const QString& column) const { return db_.ReadField(h_, column); }
    // Takes the group's columns from the current row when its marker is present.
    void take(Group& g, const QString& marker, const QStringList& columns) const {
        if (field(marker).isNull)
            return;
        g.found = true;
        g.values.clear();
        for (const QString& c : columns)
            g.values << field(c);
    }

private:
    store::DatabaseConnection& db_;
    std::optional<store::RecordSetGuard> rs_;
    int h_ = 0;
};

} // namespace lists
