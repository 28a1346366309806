#include "target.h"

#include "database.h"
#include "schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace store {

namespace {
QString& settingsDirectory() {
    static QString dir;
    return dir;
}

QString settingsPath() {
    QString dir = settingsDirectory();
    if (dir.isEmpty())
        dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return QDir(dir).filePath(QString::fromLatin1(kSettingsFileName));
}

QString setting(const QString& key) {
    const QString path = settingsPath();
    if (!QFileInfo::exists(path))
        return {};
    const QSettings settings(path, QSettings::IniFormat);
    return settings.value(key).toString().trimmed();
}

// A named database: a server, a file (relative paths from base), or a refusal.
DatabaseTargetInfo named(const QString& text, const QString& base) {
    static const QRegularExpression scheme(u"^[A-Za-z][A-Za-z0-9+.-]+:"_s);
    if (IsServerTarget(text))
        return {{}, text.trimmed(), {}};
    if (text.startsWith(u"file:"_s, Qt::CaseInsensitive)) {
        const QString local = QUrl(text).toLocalFile();
        if (!local.isEmpty())
            return {QDir(local).absolutePath(), {}, {}};
    } else if (!scheme.match(text).hasMatch()) {
        return {QFileInfo(QDir(base), text).absoluteFilePath(), {}, {}};
    }
    return {{},
            {},
            u"不支持的数据库地址：%1（请给出数据库文件的路径，或 postgresql://主机/数据库、host=… dbname=… "
            u"形式的服务器连接文本）"_s.arg(text)};
}
} // namespace

bool IsServerTarget(const QString& target) {
    static const QRegularExpression keyValue(u"^\\s*[A-Za-z_]+\\s*="_s);
    const QString t = target.trimmed();
    return t.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           t.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive) || keyValue.match(t).hasMatch();
}

DatabaseTargetInfo DatabaseTarget() {
    const QString env = qEnvironmentVariable("VELMORA_DATABASE").trimmed();
    if (!env.isEmpty())
        return named(env, QDir::currentPath());
    // A relative file path in the settings is taken from the program's folder, where they are.
    const QString configured = setting(u"database"_s);
    if (!configured.isEmpty())
        return named(configured, QFileInfo(settingsPath()).absolutePath());
    return {QDir(DataDirectory()).filePath(kDatabaseFileName), {}, {}};
}

QString ServerPassword() {
    return setting(u"password"_s);
}

void SetSettingsDirectory(const QString& dir) {
    settingsDirectory() = dir;
}

QString SettingsWarning() {
    const QFileInfo info(settingsPath());
    if (!info.exists())
        return {};
    if (info.permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup))
        return u"设置文件 %1 其他用户也能读取，请改为只有本账户可读（chmod 600）。"_s.arg(
            QDir::toNativeSeparators(info.absoluteFilePath()));
    return {};
}

bool TargetMissing(const QString& target) {
    return !IsServerTarget(target) && !QFileInfo::exists(target);
}

bool OpenTarget(DatabaseConnection& db, const QString& target, ConnectionSharing sharing, OpenAccess access) {
    return db.Open(target, kDatabasePassword, sharing, access);
}

bool OpenTarget(DatabaseConnection& db) {
    const DatabaseTargetInfo target = DatabaseTarget();
    return target.ok() && OpenTarget(db, target.text());
}

} // namespace store
