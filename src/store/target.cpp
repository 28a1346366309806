#include "target.h"

#include "database.h"
#include "schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace store {

namespace {
QString settingsPath() {
    const QString dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return QDir(dir).filePath(QString::fromLatin1(kSettingsFileName));
}

QString setting(const QString& key) {
    const QString path = settingsPath();
    if (!QFileInfo::exists(path))
        return {};
    const QSettings settings(path, QSettings::IniFormat);
    return settings.value(key).toString().trimmed();
}
} // namespace

bool IsServerTarget(const QString& target) {
    static const QRegularExpression keyValue(u"^\\s*[A-Za-z_]+\\s*="_s);
    const QString t = target.trimmed();
    return t.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           t.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive) || keyValue.match(t).hasMatch();
}

QString DatabaseTarget() {
    const QString env = QString::fromLocal8Bit(qgetenv("VELMORA_DATABASE")).trimmed();
    if (!env.isEmpty())
        return IsServerTarget(env) ? env : QFileInfo(env).absoluteFilePath();
    const QString configured = setting(u"database"_s);
    if (!configured.isEmpty()) {
        if (IsServerTarget(configured))
            return configured;
        // A relative file path is taken from the program's folder, where the settings are.
        return QFileInfo(QFileInfo(settingsPath()).absolutePath(), configured).absoluteFilePath();
    }
    return DatabasePath();
}

QString ServerPassword() {
    return setting(u"password"_s);
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

bool OpenTarget(DatabaseConnection& db, const QString& target, ConnectionSharing sharing) {
    return db.Open(target, kDatabasePassword, sharing);
}

} // namespace store
