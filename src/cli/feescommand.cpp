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

const QString kUsage =
    u"用法：velmora-cli fees --from YYYY-MM-DD --to YYYY-MM-DD [--plate 主车牌号] "
    u"[--item 全部费用|审车类|二维类|保险类|管理费用类|营运证类] [--format json|csv|xlsx|pdf] [--output 文件] "
    u"[--data-dir 目录]\n"_s;

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

int FeesCommand(QStringList args, QTextStream& out, QTextStream& err) {
    bool bad = false;
    const QString dir = TakeValue(args, u"--data-dir"_s, &bad);
    const QString fromText = TakeValue(args, u"--from"_s, &bad);
    const QString toText = TakeValue(args, u"--to"_s, &bad);
    const QString plate = TakeValue(args, u"--plate"_s, &bad);
    QString itemText = TakeValue(args, u"--item"_s, &bad);
    const QString formatName = TakeValue(args, u"--format"_s, &bad);
    const QString output = TakeValue(args, u"--output"_s, &bad);
    if (bad || !args.isEmpty() || fromText.isEmpty() || toText.isEmpty()) {
        err << kUsage;
        return 2;
    }
    const std::optional<Period> period = ParsePeriod(fromText, toText, err);
    if (!period)
        return 2;
    const auto [from, to] = *period;
    if (itemText.isEmpty())
        itemText = fees::ItemTexts().first();
    const int item = fees::ItemIndex(itemText);
    if (item < 0) {
        err << u"没有这个项目：%1\n可用的项目：%2\n"_s.arg(itemText, fees::ItemTexts().join(u'、'));
        return 2;
    }
    const std::optional<report::ExportFormat> format = ReportFormat(formatName, output, err);
    if (!format)
        return 2;
    UseDataDirectory(dir);
    store::DatabaseConnection db;
    if (!OpenDataDatabase(db, err))
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
