#include "target.h"

#include "schema.h"

#include <QDir>
#include <QRegularExpression>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace store {

DatabaseTargetInfo DatabaseTarget() {
    const QString named = qEnvironmentVariable("VELMORA_DATABASE");
    if (named.isEmpty())
        return {QDir(DataDirectory()).filePath(kDatabaseFileName), {}};
    // A scheme ("postgresql:", "file:") or key=value settings ("host=… dbname=…") is not a path.
    static const QRegularExpression scheme(u"^[A-Za-z][A-Za-z0-9+.-]+:"_s);
    static const QRegularExpression settings(u"^\\s*[A-Za-z_]+\\s*="_s);
    if (named.startsWith(u"file:"_s, Qt::CaseInsensitive)) {
        const QString local = QUrl(named).toLocalFile();
        if (!local.isEmpty())
            return {QDir(local).absolutePath(), {}};
    } else if (!scheme.match(named).hasMatch() && !settings.match(named).hasMatch()) {
        return {QDir(named).absolutePath(), {}};
    }
    return {{},
            u"不支持的数据库地址：%1（此版本只能使用数据库文件，请给出文件路径，或不设 --database 与 "
            u"VELMORA_DATABASE）"_s.arg(named)};
}

} // namespace store
