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

const CommandSpec kAlertsSpec{
    .usage = u"velmora-cli alerts [--today YYYY-MM-DD] [--format json|text] [--dry-run] [--data-dir DIR] "
             u"[--database URL]"_s,
    .help = u"与主窗口的“刷新”相同：计算预警树的各节点车辆并输出。\n"
            u"  --today 日期     按此日期所在月份计算（默认今天）\n"
            u"  --format 格式    text（默认）或 json\n"
            u"  --dry-run        只读打开数据库，只计算和输出，不写入任何脱期标志，数据库文件保持不变\n"
            u"                   （只读文件和只读副本也可以）\n"
            u"  --data-dir DIR   数据目录\n"
            u"  --database URL   数据库（文件路径或 postgresql:// 服务器连接文本）\n"
            u"写入：逾期三个月以上的义务记录被置为脱审、脱维、脱保、脱管或脱营（与主窗口相同），\n"
            u"除非加 --dry-run。用 --today 预览将来的日期时请加 --dry-run。\n"_s,
    .options = {{u"--today"_s, OptionKind::Date},
                {u"--format"_s, OptionKind::Choice, false, {u"json"_s, u"text"_s}},
                {u"--dry-run"_s, OptionKind::Flag}},
};

int AlertsCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    const ParsedCommand o = ParseCommandLine(kAlertsSpec, args, out, err);
    if (!o.ok())
        return o.exitStatus;
    const bool dryRun = o.has(u"--dry-run"_s);
    if (const std::optional<QDate> today = o.date(u"--today"_s))
        store::SetToday(*today);
    // A dry run opens the file read-only and writes nothing at all, not even pages it would roll
    // back: the file stays byte-identical, and a read-only file or copy serves as well.
    store::DatabaseConnection db;
    if (!OpenDataDatabase(db, err, dryRun ? OpenFor::ReadOnly : OpenFor::ReadWrite))
        return 1;
    const QDate month = alerts::MonthStart(store::Today());
    const alerts::AlertResult result = alerts::ComputeAlerts(
        db, month, alerts::ReadMode::OneQueryPerTable, dryRun ? alerts::FlagWrites::Skip : alerts::FlagWrites::Write);
    for (const QString& message : result.messages)
        err << message << "\n";
    if (result.flagsUnwritten)
        err << u"未写入的脱期标志：%1 个（%2）\n"_s.arg(result.flagsDue).arg(result.flagWriteError);
    const QString format = o.value(u"--format"_s, u"text"_s);
    out << (format == QLatin1String("json") ? jsonText(month, result.sets) : treeText(month, result.sets));
    return result.messages.isEmpty() ? 0 : 1;
}

} // namespace cli
