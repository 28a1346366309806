#pragma once

#include "store/database.h"

namespace store {

// Owns a record set of a connection: closes it when the guard leaves its scope, however the
// reader leaves it (early return, failure path), or earlier through close(). A zero handle (a
// select that failed) is never closed.
class RecordSetGuard {
public:
    RecordSetGuard(DatabaseConnection& db, int handle) : db_(db), handle_(handle) {}
    // Opens the record set of select; ok() tells whether it opened.
    RecordSetGuard(DatabaseConnection& db, const QString& select) : db_(db), handle_(db.OpenRecordSet(select)) {}
    ~RecordSetGuard() { close(); }
    RecordSetGuard(const RecordSetGuard&) = delete;
    RecordSetGuard& operator=(const RecordSetGuard&) = delete;

    int handle() const { return handle_; }
    bool ok() const { return handle_ != 0; }
    // Closes the record set now, for a caller that must release it before its next statement.
    void close() {
        if (handle_)
            db_.CloseRecordSet(handle_);
        handle_ = 0;
    }

private:
    DatabaseConnection& db_;
    int handle_;
};

} // namespace store
