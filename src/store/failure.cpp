#include "failure.h"

#ifndef SQLITE_HAS_CODEC
#define SQLITE_HAS_CODEC 1
#endif
#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace store {

FailureKind FailureKindOfSqliteCode(int resultCode) {
    switch (resultCode & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return FailureKind::None;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return FailureKind::Busy;
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN: // the journal cannot be made beside a file in a read-only folder
    case SQLITE_PERM:
        return FailureKind::ReadOnly;
    case SQLITE_FULL:
        return FailureKind::DiskFull;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return FailureKind::Corrupt;
    case SQLITE_IOERR:
        return FailureKind::IoError;
    default:
        return FailureKind::Other;
    }
}

QString FailureText(FailureKind kind) {
    switch (kind) {
    case FailureKind::Busy:
        return u"数据库正忙"_s;
    case FailureKind::ReadOnly:
        return u"数据库文件只读"_s;
    case FailureKind::DiskFull:
        return u"磁盘已满"_s;
    case FailureKind::Corrupt:
        return u"数据库文件损坏"_s;
    case FailureKind::IoError:
        return u"读写数据库文件出错"_s;
    case FailureKind::None:
    case FailureKind::Other:
        break;
    }
    return {};
}

} // namespace store
