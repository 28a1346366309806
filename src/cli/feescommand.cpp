#include "cli/feescommand.h"

#include "fees/feestatistics.h"
#include "report/exports.h"
#include "store/database.h"
#include "store/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

const QString kUsage =
    u"用法：velmora-cli fees --from YYYY-MM-DD --to YYYY-MM-DD [--plate 主车牌号] "
    u"[--item 全部费用|审车类|二维类|保险类|管理费用类|营运证类] [--format json|csv|xlsx|pdf] [--output 文件] "
    u"[--data-dir 目录]\n"_s;

// Takes "--name value" out of args; *bad is set when the value is missing.
QString takeValue(QStringList& args, const QString& name, bool* bad) {
    const int i = int(args.indexOf(name));
    if (i < 0)
        return {};
    if (i + 1 >= args.size()) {
        *bad = true;
        args.remove(i);
        return {};
    }
    const QString value = args.at(i + 1);
    args.remove(i, 2);
    return value;
}

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
    const QString dir = takeValue(args, u"--data-dir"_s, &bad);
    const QString fromText = takeValue(args, u"--from"_s, &bad);
    const QString toText = takeValue(args, u"--to"_s, &bad);
    const QString plate = takeValue(args, u"--plate"_s, &bad);
    QString itemText = takeValue(args, u"--item"_s, &bad);
    QString formatName = takeValue(args, u"--format"_s, &bad);
    const QString output = takeValue(args, u"--output"_s, &bad);
    if (bad || !args.isEmpty() || fromText.isEmpty() || toText.isEmpty()) {
        err << kUsage;
        return 2;
    }
    const QDate from = QDate::fromString(fromText, Qt::ISODate);
    const QDate to = QDate::fromString(toText, Qt::ISODate);
    for (const auto& [text, date] : {std::pair{fromText, from}, std::pair{toText, to}}) {
        if (!date.isValid()) {
            err << u"日期无效，应为 YYYY-MM-DD：%1\n"_s.arg(text);
            return 2;
        }
    }
    if (itemText.isEmpty())
        itemText = fees::ItemTexts().first();
    const int item = fees::ItemIndex(itemText);
    if (item < 0) {
        err << u"没有这个项目：%1\n可用的项目：%2\n"_s.arg(itemText, fees::ItemTexts().join(u'、'));
        return 2;
    }
    if (formatName.isEmpty())
        formatName = u"json"_s;
    const std::optional<report::ExportFormat> format = report::FormatForName(formatName);
    if (!format) {
        err << u"输出格式只能是 json、csv、xlsx 或 pdf：%1\n"_s.arg(formatName);
        return 2;
    }
    const bool binary = *format == report::ExportFormat::Xlsx || *format == report::ExportFormat::Pdf;
    if (binary && output.isEmpty()) {
        err << u"xlsx 和 pdf 格式需要 --output 文件\n"_s;
        return 2;
    }
    if (!dir.isEmpty())
        qputenv("VELMORA_DATA_DIR", QDir(dir).absolutePath().toLocal8Bit());

    const QString path = store::DatabasePath();
    if (!QFileInfo::exists(path)) {
        err << u"数据库丢失！%1\n"_s.arg(QDir::toNativeSeparators(path));
        return 1;
    }
    store::DatabaseConnection db;
    if (!db.OpenDatabaseFile(path, store::kDatabasePassword)) {
        err << u"数据库打开失败！%1\n"_s.arg(db.LastError());
        return 1;
    }
    // A plate given here is one chosen from the list: it names the titles.
    const fees::FeeReport report = fees::BuildFeeReport(db, {plate, false, from, to, item});
    if (!report.choice.ok) {
        err << report.choice.message << "\n";
        return 1;
    }
    for (const QString& message : report.statistics.messages)
        err << message << "\n";

    QString error;
    if (*format == report::ExportFormat::Json || *format == report::ExportFormat::Csv) {
        const QByteArray bytes =
            *format == report::ExportFormat::Json ? jsonText(report, item) : report::CsvText(report.table);
        if (output.isEmpty()) {
            out << QString::fromUtf8(bytes);
        } else {
            QFile file(output);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
                err << u"写入失败：%1 %2\n"_s.arg(QDir::toNativeSeparators(output), file.errorString());
                return 1;
            }
        }
    } else if (!report::WriteReport(report.table, output, *format, &error)) {
        err << u"写入失败：%1 %2\n"_s.arg(QDir::toNativeSeparators(output), error);
        return 1;
    }
    return report.statistics.messages.isEmpty() ? 0 : 1;
}

} // namespace cli
