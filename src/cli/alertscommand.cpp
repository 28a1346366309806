#include "alertscommand.h"

#include "alerts/rules.h"
#include "store/database.h"
#include "store/schema.h"
#include "store/session.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace cli {

namespace {

QString takeValue(QStringList& args, const QString& name, bool* missing)
{
    const int i = args.indexOf(name);
    if (i < 0)
        return {};
    if (i + 1 >= args.size()) {
        *missing = true;
        args.remove(i);
        return {};
    }
    const QString value = args.at(i + 1);
    args.remove(i, 2);
    return value;
}

QString jsonText(const QDate& month, const alerts::AlertSetList& sets)
{
    QJsonArray nodes;
    for (int k = 0; k < alerts::kNodeCount; ++k) {
        QJsonObject node;
        node.insert(QStringLiteral("text"), alerts::NodeText(k));
        node.insert(QStringLiteral("count"), int(sets[k].size()));
        node.insert(QStringLiteral("members"), QJsonArray::fromStringList(sets[k]));
        nodes.append(node);
    }
    QJsonObject root;
    root.insert(QStringLiteral("reference_month"), month.toString(Qt::ISODate));
    root.insert(QStringLiteral("nodes"), nodes);
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
}

QString treeText(const QDate& month, const alerts::AlertSetList& sets)
{
    QString text = QStringLiteral("预警月份：%1\n").arg(month.toString(Qt::ISODate));
    for (int k = 0; k < alerts::kNodeCount; ++k) {
        text += QStringLiteral("%1（%2辆）\n").arg(alerts::NodeText(k)).arg(sets[k].size());
        for (const QString& plate : sets[k])
            text += QStringLiteral("    ") + plate + QLatin1Char('\n');
    }
    return text;
}

}  // namespace

int AlertsCommand(QStringList args, QTextStream& out, QTextStream& err)
{
    bool missing = false;
    const QString dir = takeValue(args, QStringLiteral("--data-dir"), &missing);
    const QString todayText = takeValue(args, QStringLiteral("--today"), &missing);
    QString format = takeValue(args, QStringLiteral("--format"), &missing);
    const bool dryRun = args.removeAll(QStringLiteral("--dry-run")) > 0;
    if (missing || !args.isEmpty()) {
        err << QStringLiteral(
            "用法：velmora-cli alerts [--today YYYY-MM-DD] [--format json|text] [--dry-run] [--data-dir DIR]\n");
        return 2;
    }
    if (format.isEmpty())
        format = QStringLiteral("text");
    if (format != QLatin1String("json") && format != QLatin1String("text")) {
        err << QStringLiteral("输出格式只能是 json 或 text：%1\n").arg(format);
        return 2;
    }
    if (!todayText.isEmpty()) {
        const QDate today = QDate::fromString(todayText, Qt::ISODate);
        if (!today.isValid()) {
            err << QStringLiteral("日期无效，应为 YYYY-MM-DD：%1\n").arg(todayText);
            return 2;
        }
        store::SetToday(today);
    }
    if (!dir.isEmpty())
        qputenv("VELMORA_DATA_DIR", QDir(dir).absolutePath().toLocal8Bit());

    const QString path = store::DatabasePath();
    if (!QFileInfo::exists(path)) {
        err << QStringLiteral("数据库丢失！%1\n").arg(QDir::toNativeSeparators(path));
        return 1;
    }
    store::DatabaseConnection db;
    if (!db.OpenDatabaseFile(path, store::kDatabasePassword)) {
        err << QStringLiteral("数据库打开失败！%1\n").arg(db.LastError());
        return 1;
    }
    const QDate month = alerts::MonthStart(store::Today());
    // A dry run computes inside a transaction that is rolled back: the lapse flags the rules
    // write are undone, and the file is left as it was. When the transaction cannot be begun the
    // dry run refuses to compute rather than write.
    if (dryRun && !db.BeginTransaction()) {
        err << QStringLiteral("无法开始事务，未计算：%1\n").arg(db.LastError());
        return 1;
    }
    const alerts::AlertResult result = alerts::ComputeAlerts(db, month);
    if (dryRun)
        db.RollbackTransaction();
    for (const QString& message : result.messages)
        err << message << "\n";
    if (result.flagsUnwritten)
        err << QStringLiteral("未写入的脱期标志：%1 个（%2）\n").arg(result.flagsDue).arg(result.flagWriteError);
    out << (format == QLatin1String("json") ? jsonText(month, result.sets) : treeText(month, result.sets));
    return result.messages.isEmpty() ? 0 : 1;
}

}  // namespace cli
