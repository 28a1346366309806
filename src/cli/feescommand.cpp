#include "cli/feescommand.h"

#include "cli/options.h"

#include "fees/feestatistics.h"
#include "report/exports.h"
#include "store/database.h"
#include "store/schema.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

const CommandSpec kFeesSpec{
    .usage = u"velmora-cli fees --from YYYY-MM-DD --to YYYY-MM-DD [--plate 主车牌号] "
             u"[--item 全部费用|审车类|二维类|保险类|管理费用类|营运证类] [--format json|csv|xlsx|pdf] [--output 文件] "
             u"[--data-dir DIR] [--database URL]"_s,
    .help = u"与“缴费查询”相同：统计期间内（含两端）各车各项费用的应缴、已缴和缴费日期，附小计和合计。\n"
            u"  --plate 主车牌号 只统计这一辆车（默认全部车辆）\n"
            u"  --item 项目      全部费用（默认）、审车类、二维类、保险类、管理费用类或营运证类\n"
            u"  --format 格式    json（默认）、csv、xlsx 或 pdf（xlsx 和 pdf 须给 --output）\n"
            u"  --output 文件    写入文件；json 和 csv 默认输出到标准输出\n"
            u"  --data-dir DIR   数据目录\n"
            u"  --database URL   数据库（文件路径或 postgresql:// 服务器连接文本）\n"
            u"只读：只读打开数据库，不修改数据库（只读文件也可以）。\n"_s,
    .options = {{u"--from"_s, OptionKind::Date, true},
                {u"--to"_s, OptionKind::Date, true},
                {u"--plate"_s, OptionKind::Text},
                {u"--item"_s, OptionKind::Text},
                {u"--format"_s, OptionKind::Choice, false, ReportFormatNames()},
                {u"--output"_s, OptionKind::Path}},
};

// The report as JSON, with the due and paid totals of each reported kind.
QByteArray jsonText(const fees::FeeReport& report, int item) {
    QJsonObject root = report::ToJson(report.table);
    QJsonObject totals;
    for (int k = 0; k < fees::kKindCount; ++k) {
        if (!fees::KindReported(item, k))
            continue;
        QJsonObject sums;
        sums.insert(u"due"_s, report.statistics.dueTotals[std::size_t(k)].toString());
        sums.insert(u"paid"_s, report.statistics.paidTotals[std::size_t(k)].toString());
        totals.insert(fees::Kind(k).item, sums);
    }
    root.insert(u"totals"_s, totals);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace

int FeesCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    const ParsedCommand o = ParseCommandLine(kFeesSpec, args, out, err);
    if (!o.ok())
        return o.exitStatus;
    const QDate from = *o.date(u"--from"_s);
    const QDate to = *o.date(u"--to"_s);
    const QString plate = o.value(u"--plate"_s);
    QString itemText = o.value(u"--item"_s);
    const QString output = o.value(u"--output"_s);
    if (itemText.isEmpty())
        itemText = fees::ItemTexts().first();
    const int item = fees::ItemIndex(itemText);
    if (item < 0) {
        err << u"没有这个项目：%1\n可用的项目：%2\n"_s.arg(itemText, fees::ItemTexts().join(u'、'));
        return 2;
    }
    const std::optional<report::ExportFormat> format = ReportFormat(o.value(u"--format"_s), output, err);
    if (!format)
        return 2;
    store::DatabaseConnection db;
    if (!OpenDataDatabase(db, err, OpenFor::ReadOnly))
        return 1;
    // A plate given here is one chosen from the list: it names the titles.
    const fees::FeeReport report = fees::BuildFeeReport(db, {plate, false, from, to, item});
    if (!report.choice.ok) {
        err << report.choice.message << "\n";
        return 1;
    }
    for (const QString& message : report.statistics.messages)
        err << message << "\n";

    // The JSON adds the totals of each reported kind to the table.
    const bool written = *format == report::ExportFormat::Json ? WriteText(jsonText(report, item), output, out, err)
                                                               : WriteTable(report.table, *format, output, out, err);
    if (!written)
        return 1;
    return report.statistics.messages.isEmpty() ? 0 : 1;
}

} // namespace cli
