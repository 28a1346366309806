#include "alertscommand.h"

#include "cli/options.h"

#include "alerts/rules.h"
#include "store/database.h"
#include "store/schema.h"
#include "store/session.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

QString jsonText(const QDate& month, const alerts::AlertSetList& sets) {
    QJsonArray nodes;
    for (int k = 0; k < alerts::kNodeCount; ++k) {
        QJsonObject node;
        node.insert(u"text"_s, alerts::NodeText(k));
        node.insert(u"count"_s, int(sets[k].size()));
        node.insert(u"members"_s, QJsonArray::fromStringList(sets[k]));
        nodes.append(node);
    }
    QJsonObject root;
    root.insert(u"reference_month"_s, month.toString(Qt::ISODate));
    root.insert(u"nodes"_s, nodes);
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
}

QString treeText(const QDate& month, const alerts::AlertSetList& sets) {
    QString text = u"预警月份：%1\n"_s.arg(month.toString(Qt::ISODate));
    for (int k = 0; k < alerts::kNodeCount; ++k) {
        text += u"%1（%2辆）\n"_s.arg(alerts::NodeText(k)).arg(sets[k].size());
        for (const QString& plate : sets[k])
            text += u"    "_s + plate + QLatin1Char('\n');
    }
    return text;
}

} // namespace

int AlertsCommand(QStringList args, QTextStream& out, QTextStream& err) {
    bool missing = false;
    const QString dir = TakeValue(args, u"--data-dir"_s, &missing);
    const QString todayText = TakeValue(args, u"--today"_s, &missing);
    QString format = TakeValue(args, u"--format"_s, &missing);
    const bool dryRun = args.removeAll(u"--dry-run"_s) > 0;
    if (missing || !args.isEmpty()) {
        err << u"用法：velmora-cli alerts [--today YYYY-MM-DD] [--format json|text] [--dry-run] [--data-dir DIR]\n"_s;
        return 2;
    }
    if (format.isEmpty())
        format = u"text"_s;
    if (format != QLatin1String("json") && format != QLatin1String("text")) {
        err << u"输出格式只能是 json 或 text：%1\n"_s.arg(format);
        return 2;
    }
    if (!todayText.isEmpty()) {
        const std::optional<QDate> today = ParseDate(todayText, err);
        if (!today)
            return 2;
        store::SetToday(*today);
    }
    UseDataDirectory(dir);
    store::DatabaseConnection db;
    if (!OpenDataDatabase(db, err))
        return 1;
    const QDate month = alerts::MonthStart(store::Today());
    // A dry run computes inside a transaction that is rolled back: the lapse flags the rules
    // write are undone, and the file is left as it was. When the transaction cannot be begun the
    // dry run refuses to compute rather than write.
    if (dryRun && !db.BeginTransaction()) {
        err << u"无法开始事务，未计算：%1\n"_s.arg(db.LastError());
        return 1;
    }
    const alerts::AlertResult result = alerts::ComputeAlerts(db, month);
    if (dryRun)
        db.RollbackTransaction();
    for (const QString& message : result.messages)
        err << message << "\n";
    if (result.flagsUnwritten)
        err << u"未写入的脱期标志：%1 个（%2）\n"_s.arg(result.flagsDue).arg(result.flagWriteError);
    out << (format == QLatin1String("json") ? jsonText(month, result.sets) : treeText(month, result.sets));
    return result.messages.isEmpty() ? 0 : 1;
}

} // namespace cli
