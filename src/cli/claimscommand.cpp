#include "cli/claimscommand.h"

#include "claims/claims.h"
#include "report/exports.h"
#include "store/database.h"
#include "store/schema.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

const QString kUsage =
    u"用法：velmora-cli claims --from YYYY-MM-DD --to YYYY-MM-DD [--plate 文字] [--owner 文字] [--insurer 文字] "
    u"[--policy 文字] [--closed all|open|closed] [--format json|csv|xlsx|pdf] [--output 文件] [--data-dir 目录]\n"_s;

// Takes "--name value" out of args; *bad is set when the value is missing.
QString takeValue(QStringList& args, const QString& name, bool* bad) {
    const int i = args.indexOf(name);
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

} // namespace

int ClaimsCommand(QStringList args, QTextStream& out, QTextStream& err) {
    bool bad = false;
    const QString dir = takeValue(args, u"--data-dir"_s, &bad);
    const QString fromText = takeValue(args, u"--from"_s, &bad);
    const QString toText = takeValue(args, u"--to"_s, &bad);
    const QString plate = takeValue(args, u"--plate"_s, &bad);
    const QString owner = takeValue(args, u"--owner"_s, &bad);
    const QString insurer = takeValue(args, u"--insurer"_s, &bad);
    const QString policy = takeValue(args, u"--policy"_s, &bad);
    QString closedName = takeValue(args, u"--closed"_s, &bad);
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
    if (closedName.isEmpty())
        closedName = u"all"_s;
    int closed = 0;
    if (closedName == u"all"_s)
        closed = claims::kClosedAll;
    else if (closedName == u"open"_s)
        closed = claims::kClosedOpen;
    else if (closedName == u"closed"_s)
        closed = claims::kClosedOnly;
    else {
        err << u"--closed 只能是 all、open 或 closed：%1\n"_s.arg(closedName);
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
    const claims::ClaimFilterSet filters = claims::MakeClaimFilters(plate, owner, insurer, policy, closed);
    const std::optional<QList<claims::Claim>> list = claims::ReadClaims(db, from, to, filters);
    if (!list) {
        err << u"查询失败?！%1\n"_s.arg(db.LastError());
        return 1;
    }
    const report::ReportTable table = claims::ClaimsTable(*list);
    if (output.isEmpty()) {
        const QByteArray bytes =
            *format == report::ExportFormat::Csv ? report::CsvText(table) : report::JsonText(table);
        out << QString::fromUtf8(bytes);
        return 0;
    }
    QString error;
    if (!report::WriteReport(table, output, *format, &error, report::RenderOptions{.withTitle = false})) {
        err << u"写入失败：%1 %2\n"_s.arg(QDir::toNativeSeparators(output), error);
        return 1;
    }
    return 0;
}

} // namespace cli
