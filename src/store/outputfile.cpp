#include "outputfile.h"

#include "schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace store {

namespace {

// The files SQLite keeps beside a database: the rollback journal, and the two of WAL mode.
const QStringList kSidecarSuffixes = {u"-journal"_s, u"-wal"_s, u"-shm"_s};

QMutex& registryMutex() {
    static QMutex mutex;
    return mutex;
}

// The database files this process has open, as they were opened, with how many opens each.
QHash<QString, int>& openDatabases() {
    static QHash<QString, int> files;
    return files;
}

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

QString fromNative(const char* path) {
    return QFile::decodeName(QByteArray(path));
}

// The physical path of an existing folder: symbolic links and ".." resolved as the system
// resolves them (not as text: "d/../x" with d a link leads where the link's parent is).
std::optional<QString> realFolder(const QString& folder) {
    char buffer[PATH_MAX];
    if (!::realpath(native(folder.isEmpty() ? u"."_s : folder).constData(), buffer))
        return std::nullopt;
    return fromNative(buffer);
}

struct Location {
    QString path; // canonical folder + the name a write lands on, links followed
    bool exists = false;
    struct stat st {};
};

// Where a write to target lands: the folder part resolved physically and a symbolic link at the
// end followed, however many, even when the last one points at a file that does not exist yet.
std::optional<Location> locate(const QString& target, QString* why) {
    QString path = target;
    for (int hop = 0; hop < 40; ++hop) {
        const qsizetype slash = path.lastIndexOf(u'/');
        const QString folder = slash < 0 ? u"."_s : (slash == 0 ? u"/"_s : path.left(slash));
        const QString name = path.mid(slash + 1);
        if (name.isEmpty() || name == u"."_s || name == u".."_s) {
            *why = u"输出文件名无效：%1"_s.arg(QDir::toNativeSeparators(target));
            return std::nullopt;
        }
        const std::optional<QString> real = realFolder(folder);
        if (!real) {
            *why = u"输出目录不存在：%1"_s.arg(QDir::toNativeSeparators(folder));
            return std::nullopt;
        }
        Location at;
        at.path = (*real == u"/"_s ? QString() : *real) + u'/' + name;
        struct stat link {};
        if (::lstat(native(at.path).constData(), &link) != 0) {
            return at; // a new file
        }
        if (!S_ISLNK(link.st_mode)) {
            at.exists = true;
            at.st = link;
            return at;
        }
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(native(at.path).constData(), buffer, sizeof buffer - 1);
        if (n < 0) {
            *why = u"无法读取符号链接：%1"_s.arg(QDir::toNativeSeparators(at.path));
            return std::nullopt;
        }
        buffer[n] = '\0';
        const QString linked = fromNative(buffer);
        path = linked.startsWith(u'/') ? linked : *real + u'/' + linked;
    }
    *why = u"符号链接层数过多：%1"_s.arg(QDir::toNativeSeparators(target));
    return std::nullopt;
}

bool sameIdentity(const struct stat& a, const QString& path) {
    struct stat b {};
    return ::stat(native(path).constData(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

QStringList databaseFiles(const QStringList& alsoRefused) {
    QStringList files = alsoRefused;
    files << DatabasePath();
    const QMutexLocker lock(&registryMutex());
    files << openDatabases().keys();
    return files;
}

void setError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

// The temporary's own files: itself and the journal SQLite keeps beside it while writing it.
void removeTemporary(const QString& temp) {
    ::unlink(native(temp).constData());
    ::unlink(native(temp + u"-journal"_s).constData());
}

bool syncFile(const QString& path, QString* why) {
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        *why = SystemErrorText(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
    return true;
}

mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

QString SystemErrorText(int errorNumber) {
    switch (errorNumber) {
    case ENOSPC:
        return u"磁盘已满"_s;
    case EDQUOT:
        return u"超出磁盘配额"_s;
    case EFBIG:
        return u"文件超出允许的大小"_s;
    case EACCES:
    case EPERM:
        return u"没有写入权限"_s;
    case EROFS:
        return u"文件系统只读"_s;
    case ENOENT:
        return u"文件或目录不存在"_s;
    case EISDIR:
        return u"目标是一个目录"_s;
    case EIO:
        return u"读写磁盘出错"_s;
    default:
        return QString::fromLocal8Bit(std::strerror(errorNumber));
    }
}

void NoteDatabaseFile(const QString& path, bool open) {
    const QMutexLocker lock(&registryMutex());
    QHash<QString, int>& files = openDatabases();
    if (open) {
        ++files[path];
    } else if (auto it = files.find(path); it != files.end() && --it.value() <= 0) {
        files.erase(it);
    }
}

bool OutputPathAllowed(const QString& target, QString* error) {
    return OutputPathAllowed(target, {}, error);
}

namespace {

// Where the output goes when it may go there: the checks of OutputPathAllowed, whose location the
// writer then uses.
std::optional<Location> allowedOutput(const QString& target, const QStringList& alsoRefused, QString* error) {
    if (target.isEmpty()) {
        setError(error, u"输出文件名为空"_s);
        return std::nullopt;
    }
    QString why;
    const std::optional<Location> at = locate(target, &why);
    if (!at) {
        setError(error, why);
        return std::nullopt;
    }
    const QString shown = QDir::toNativeSeparators(target);
    if (at->exists && S_ISDIR(at->st.st_mode)) {
        setError(error, u"输出文件是一个目录：%1"_s.arg(shown));
        return std::nullopt;
    }
    // Renaming over a device or a pipe would put a plain file in its place.
    if (at->exists && !S_ISREG(at->st.st_mode)) {
        setError(error, u"输出文件不是普通文件：%1"_s.arg(shown));
        return std::nullopt;
    }
    for (const QString& database : databaseFiles(alsoRefused)) {
        if (database.isEmpty())
            continue;
        // The database under the name it was given and under its physical path.
        QStringList spellings;
        if (const std::optional<Location> db = locate(database, &why))
            spellings << db->path;
        spellings << QFileInfo(database).absoluteFilePath();
        if (at->exists && sameIdentity(at->st, database)) {
            setError(error, u"不能写入数据库文件本身：%1"_s.arg(shown));
            return std::nullopt;
        }
        for (const QString& spelling : std::as_const(spellings)) {
            if (at->path == spelling) {
                setError(error, u"不能写入数据库文件本身：%1"_s.arg(shown));
                return std::nullopt;
            }
            for (const QString& suffix : kSidecarSuffixes) {
                if (at->path == spelling + suffix || (at->exists && sameIdentity(at->st, spelling + suffix))) {
                    setError(error, u"不能写入数据库的日志文件：%1"_s.arg(shown));
                    return std::nullopt;
                }
            }
        }
    }
    return at;
}

} // namespace

bool OutputPathAllowed(const QString& target, const QStringList& alsoRefused, QString* error) {
    return allowedOutput(target, alsoRefused, error).has_value();
}

int RemoveStaleTemporaries(const QString& target, qint64 minAgeSeconds) {
    QString why;
    const std::optional<Location> at = locate(target, &why);
    if (!at)
        return 0;
    const QFileInfo info(at->path);
    const QString name = info.fileName();
    // Exactly the names QTemporaryFile makes of "<name>.XXXXXX.part", and the journal beside one.
    const QRegularExpression own(u"^"_s + QRegularExpression::escape(name) + u"\\.[A-Za-z0-9]{6}\\.part(-journal)?$"_s);
    const QDir folder = info.absoluteDir();
    const qint64 now = qint64(::time(nullptr));
    int removed = 0;
    const QStringList candidates = folder.entryList({name + u".*.part*"_s}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& candidate : candidates) {
        if (!own.match(candidate).hasMatch())
            continue;
        const QString path = folder.filePath(candidate);
        struct stat st {};
        if (::lstat(native(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (now - qint64(st.st_mtime) < minAgeSeconds)
            continue;
        if (::unlink(native(path).constData()) == 0)
            ++removed;
    }
    return removed;
}

bool WriteOutputFile(const QString& target, const std::function<bool(const QString&, QString*)>& produce,
                     QString* error) {
    return WriteOutputFile(target, {}, produce, error);
}

namespace {

// How the finished temporary takes the target's name.
enum class Rename {
    Replace,   // over whatever is there
    NoReplace, // only where nothing is: a file that appeared in the meantime stays, the write fails
};

// Gives from the name to, unless a file has that name: 0, or the error number (EEXIST then).
int renameNoReplace(const QString& from, const QString& to) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, native(from).constData(), AT_FDCWD, native(to).constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
#endif
    // A file system without that rename: a second name, which link() never gives over an existing
    // file, then the first one goes.
    if (::link(native(from).constData(), native(to).constData()) != 0)
        return errno;
    ::unlink(native(from).constData());
    return 0;
}

// The temporary beside the target, produce, the sync and the rename: the part of every write that
// does not depend on what the target may be.
bool writeThroughTemporary(const QString& target, const Location& at,
                           const std::function<bool(const QString&, QString*)>& produce, Rename rename,
                           QString* error) {
    RemoveStaleTemporaries(at.path);
    const QString folder = QFileInfo(at.path).absolutePath();
    QString temp;
    {
        // A name of its own beside the target: the rename stays on one file system, and two
        // writers of the same target at once never share a temporary.
        QTemporaryFile reserved(at.path + u".XXXXXX.part"_s);
        if (!reserved.open()) {
            const int code = errno;
            setError(error,
                     u"无法在目录中写入：%1（%2）"_s.arg(QDir::toNativeSeparators(folder), SystemErrorText(code)));
            return false;
        }
        reserved.setAutoRemove(false);
        temp = reserved.fileName();
    }
    auto fail = [&](const QString& message) {
        removeTemporary(temp);
        setError(error, message);
        return false;
    };
    QString failure;
    if (!produce(temp, &failure))
        return fail(failure.isEmpty() ? u"写入失败"_s : failure);
    struct stat written {};
    if (::stat(native(temp).constData(), &written) != 0 || !S_ISREG(written.st_mode))
        return fail(u"写入失败：临时文件丢失"_s);
    if (!syncFile(temp, &failure))
        return fail(u"写入失败：%1"_s.arg(failure));
    // A new database (the one file written without replacing) holds owners' identity numbers and
    // telephones: its owner's account alone reads it, as databases were always made.
    const mode_t mode = at.exists ? (at.st.st_mode & 07777) : rename == Rename::NoReplace ? 0600 : newFileMode();
    ::chmod(native(temp).constData(), mode);
    if (rename == Rename::Replace) {
        if (::rename(native(temp).constData(), native(at.path).constData()) != 0) {
            const int code = errno;
            return fail(u"无法写入：%1（%2）"_s.arg(QDir::toNativeSeparators(target), SystemErrorText(code)));
        }
    } else if (const int code = renameNoReplace(temp, at.path); code != 0) {
        return fail(code == EEXIST
                        ? u"文件已存在，不会覆盖：%1"_s.arg(QDir::toNativeSeparators(target))
                        : u"无法写入：%1（%2）"_s.arg(QDir::toNativeSeparators(target), SystemErrorText(code)));
    }
    ::unlink(native(temp + u"-journal"_s).constData());
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace

bool WriteOutputFile(const QString& target, const QStringList& alsoRefused,
                     const std::function<bool(const QString&, QString*)>& produce, QString* error) {
    const std::optional<Location> at = allowedOutput(target, alsoRefused, error);
    if (!at)
        return false;
    return writeThroughTemporary(target, *at, produce, Rename::Replace, error);
}

bool WriteNewFile(const QString& target, const std::function<bool(const QString&, QString*)>& produce, QString* error) {
    QString why;
    const std::optional<Location> at = locate(target, &why);
    if (!at) {
        setError(error, why);
        return false;
    }
    if (at->exists) {
        setError(error, u"文件已存在，不会覆盖：%1"_s.arg(QDir::toNativeSeparators(target)));
        return false;
    }
    return writeThroughTemporary(target, *at, produce, Rename::NoReplace, error);
}

bool WriteOutputBytes(const QString& target, const QByteArray& bytes, QString* error) {
    return WriteOutputFile(
        target,
        [&bytes](const QString& temp, QString* why) {
            const int fd = ::open(native(temp).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
            if (fd < 0) {
                *why = u"写入失败：%1"_s.arg(SystemErrorText(errno));
                return false;
            }
            const char* data = bytes.constData();
            qsizetype left = bytes.size();
            while (left > 0) {
                const ssize_t n = ::write(fd, data, size_t(left));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0) {
                    // A short write without an error number is the disk filling up.
                    *why = u"写入失败：%1"_s.arg(SystemErrorText(n < 0 ? errno : ENOSPC));
                    ::close(fd);
                    return false;
                }
                data += n;
                left -= n;
            }
            if (::close(fd) != 0) {
                *why = u"写入失败：%1"_s.arg(SystemErrorText(errno));
                return false;
            }
            return true;
        },
        error);
}

} // namespace store
