#include "backup.h"

#include "database.h"
#include "outputfile.h"
#include "schema.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QThread>

#ifndef SQLITE_HAS_CODEC
#define SQLITE_HAS_CODEC 1
#endif
#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace store {

namespace {

// How long the copy keeps trying to read while other connections write, and the pause between
// tries. A writer that commits in a loop leaves only short gaps between its locks; a reader
// that asks often finds one, whereas SQLite's own busy wait backs off and can miss them all.
constexpr int kLockWaitMs = 30000;
constexpr int kRetryPauseUs = 200;

// Closes the handle when the scope ends, however it ends.
struct Handle {
    sqlite3* db = nullptr;
    ~Handle() { sqlite3_close(db); }
};

bool openKeyed(Handle& h, const QString& path, int flags, QString* error) {
    const QByteArray file = QFile::encodeName(path);
    if (sqlite3_open_v2(file.constData(), &h.db, flags, nullptr) != SQLITE_OK) {
        *error = h.db ? QString::fromUtf8(sqlite3_errmsg(h.db)) : u"cannot open"_s;
        return false;
    }
    const QByteArray key = kDatabasePassword.toUtf8();
    sqlite3_key(h.db, key.constData(), int(key.size()));
    sqlite3_busy_timeout(h.db, kLockWaitMs);
    return true;
}

// Copies every page of source into target while holding source's read lock for the whole
// copy: one step of all pages. A writer of another connection that holds the lock at the moment
// makes the step report busy; it is then tried again until the wait is over.
bool copyPages(sqlite3* source, sqlite3* target, QString* error) {
    sqlite3_backup* backup = sqlite3_backup_init(target, "main", source, "main");
    if (!backup) {
        *error = QString::fromUtf8(sqlite3_errmsg(target));
        return false;
    }
    QDeadlineTimer deadline(kLockWaitMs);
    int rc;
    while ((rc = sqlite3_backup_step(backup, -1)) == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        if (deadline.hasExpired())
            break;
        QThread::usleep(kRetryPauseUs);
    }
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) {
        const QString cause = FailureText(FailureKindOfSqliteCode(rc));
        *error = cause.isEmpty() ? QString::fromUtf8(sqlite3_errstr(rc)) : cause;
        return false;
    }
    const int finished = sqlite3_errcode(target);
    if (finished != SQLITE_OK && finished != SQLITE_DONE) {
        const QString cause = FailureText(FailureKindOfSqliteCode(finished));
        *error = cause.isEmpty() ? QString::fromUtf8(sqlite3_errmsg(target)) : cause;
        return false;
    }
    return true;
}

// The copy opens with the password as a database of the program and is whole.
bool checkCopy(const QString& path, QString* error) {
    DatabaseConnection copy;
    if (!copy.OpenDatabaseFile(path, kDatabasePassword)) {
        *error = copy.LastError();
        return false;
    }
    copy.CloseDatabase();
    Handle h;
    if (!openKeyed(h, path, SQLITE_OPEN_READONLY, error))
        return false;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(h.db, "PRAGMA integrity_check", -1, &stmt, nullptr) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(h.db));
        return false;
    }
    QStringList problems;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        problems << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        *error = QString::fromUtf8(sqlite3_errmsg(h.db));
        return false;
    }
    if (problems != QStringList{u"ok"_s}) {
        *error = u"备份文件校验失败：%1"_s.arg(problems.join(u"; "_s));
        return false;
    }
    return true;
}

} // namespace

bool BackupDatabase(const QString& source, const QString& destination, QString* error) {
    auto failed = [&](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    if (!QFileInfo(source).isFile())
        return failed(u"数据库丢失！%1"_s.arg(QDir::toNativeSeparators(source)));
    const QFileInfo target(destination);
    if (target.fileName().isEmpty())
        return failed(u"备份文件名为空"_s);
    if (target.isDir())
        return failed(u"备份文件名是一个目录：%1"_s.arg(QDir::toNativeSeparators(destination)));
    if (!target.absoluteDir().exists())
        return failed(u"备份目录不存在：%1"_s.arg(QDir::toNativeSeparators(target.absolutePath())));

    // Written under a temporary name beside the target and renamed over it only once whole and
    // checked; the source and the files beside it are never a target.
    QString failure;
    const bool written = WriteOutputFile(
        destination, {source},
        [&source](const QString& temp, QString* why) {
            {
                Handle from;
                if (!openKeyed(from, source, SQLITE_OPEN_READONLY, why)) {
                    *why = u"数据库打开失败：%1"_s.arg(*why);
                    return false;
                }
                sqlite3_busy_timeout(from.db, 0); // the copy's own loop retries, without backing off
                Handle to;
                if (!openKeyed(to, temp, SQLITE_OPEN_READWRITE, why)) {
                    *why = u"无法写入备份文件：%1"_s.arg(*why);
                    return false;
                }
                if (!copyPages(from.db, to.db, why)) {
                    *why = u"复制数据库失败：%1"_s.arg(*why);
                    return false;
                }
            }
            return checkCopy(temp, why);
        },
        &failure);
    if (!written) {
        if (failure.startsWith(u"不能写入数据库文件本身"_s))
            failure = u"不能备份到数据库文件本身：%1"_s.arg(QDir::toNativeSeparators(destination));
        return failed(failure);
    }
    return true;
}

} // namespace store
