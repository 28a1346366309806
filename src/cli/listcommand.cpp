#include "cli/listcommand.h"

#include "alerts/rules.h"
#include "lists/listbuild.h"
#include "report/exports.h"
#include "store/database.h"
#include "store/schema.h"
#include "store/session.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

const QString kUsage = u"用法：velmora-cli list 清单名称 [--today YYYY-MM-DD] [--format json|csv|xlsx|pdf] [--output "
                       u"文件] [--data-dir 目录]\n"
                       "      velmora-cli list --titles\n"_s;

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

int ListCommand(QStringList args, QTextStream& out, QTextStream& err) {
    if (args.removeAll(u"--titles"_s) > 0) {
        if (!args.isEmpty()) {
            err << kUsage;
            return 2;
        }
        for (const QString& title : lists::ListTitles())
            out << title << "\n";
        return 0;
    }
    bool bad = false;
    const QString dir = takeValue(args, u"--data-dir"_s, &bad);
    const QString todayText = takeValue(args, u"--today"_s, &bad);
    QString formatName = takeValue(args, u"--format"_s, &bad);
    const QString output = takeValue(args, u"--output"_s, &bad);
    if (bad || args.size() != 1 || args.first().startsWith(u"--"_s)) {
        err << kUsage;
        return 2;
    }
    const std::optional<int> list = lists::FindList(args.first());
    if (!list) {
        err << u"没有这个清单：%1\n可用的清单：\n"_s.arg(args.first()) << lists::ListTitles().join(u'\n') << "\n";
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
    if (!todayText.isEmpty()) {
        const QDate today = QDate::fromString(todayText, Qt::ISODate);
        if (!today.isValid()) {
            err << u"日期无效，应为 YYYY-MM-DD：%1\n"_s.arg(todayText);
            return 2;
        }
        store::SetToday(today);
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
    const QDate month = alerts::MonthStart(store::Today());
    const alerts::AlertResult refresh = alerts::ComputeAlerts(db, month);
    for (const QString& message : refresh.messages)
        err << message << "\n";
    const lists::ListBuild build = lists::BuildList(db, *list, refresh.sets, month);
    for (const QString& message : build.messages)
        err << message << "\n";

    if (output.isEmpty()) {
        if (*format == report::ExportFormat::Csv) // the byte-order mark kept as a character
            out << QChar(0xFEFF) << QString::fromUtf8(report::CsvText(build.table).mid(3));
        else
            out << QString::fromUtf8(report::JsonText(build.table));
    } else {
        QString error;
        if (!report::WriteReport(build.table, output, *format, &error)) {
            err << u"写入失败：%1 %2\n"_s.arg(QDir::toNativeSeparators(output), error);
            return 1;
        }
    }
    return refresh.messages.isEmpty() && build.messages.isEmpty() ? 0 : 1;
}

} // namespace cli
