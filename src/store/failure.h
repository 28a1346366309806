#pragma once

#include <QString>

namespace store {

// Why a database operation failed, as far as the caller needs to tell the operator: busy is worth
// trying again later, the others are not.
enum class FailureKind {
    None,
    Busy,     // another connection holds the lock (SQLITE_BUSY, SQLITE_LOCKED, another window's transaction)
    ReadOnly, // the file, its folder or the connection may not be written (SQLITE_READONLY, SQLITE_CANTOPEN)
    DiskFull, // no room left on the disk (SQLITE_FULL)
    Corrupt,  // a damaged page or not a database (SQLITE_CORRUPT, SQLITE_NOTADB)
    IoError,  // the disk failed a read or write (SQLITE_IOERR)
    Other,    // anything else (a statement the engine refused, …)
};

// The kind of an SQLite result code (primary or extended).
FailureKind FailureKindOfSqliteCode(int resultCode);

// The cause in Chinese, for messages such as "预警标记写入失败：…": "数据库正忙" for Busy,
// "数据库文件只读", "磁盘已满", "数据库文件损坏", "读写数据库文件出错"; empty for None and Other.
QString FailureText(FailureKind kind);

} // namespace store
