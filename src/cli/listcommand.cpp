#include "cli/listcommand.h"

#include "cli/options.h"

#include "alerts/rules.h"
#include "lists/listbuild.h"
#include "report/exports.h"
#include "store/database.h"
#include "store/schema.h"
#include "store/session.h"

using namespace Qt::StringLiterals;

namespace cli {

namespace {

const QString kUsage = u"用法：velmora-cli list 清单名称 [--today YYYY-MM-DD] [--format json|csv|xlsx|pdf] [--output "
                       u"文件] [--data-dir 目录]\n"
                       "      velmora-cli list --titles\n"_s;

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
    const QString dir = TakeValue(args, u"--data-dir"_s, &bad);
    const QString todayText = TakeValue(args, u"--today"_s, &bad);
    const QString formatName = TakeValue(args, u"--format"_s, &bad);
    const QString output = TakeValue(args, u"--output"_s, &bad);
    if (bad || args.size() != 1 || args.first().startsWith(u"--"_s)) {
        err << kUsage;
        return 2;
    }
    const std::optional<int> list = lists::FindList(args.first());
    if (!list) {
        err << u"没有这个清单：%1\n可用的清单：\n"_s.arg(args.first()) << lists::ListTitles().join(u'\n') << "\n";
        return 2;
    }
    const std::optional<report::ExportFormat> format = ReportFormat(formatName, output, err);
    if (!format)
        return 2;
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
    const alerts::AlertResult refresh = alerts::ComputeAlerts(db, month);
    for (const QString& message : refresh.messages)
        err << message << "\n";
    const lists::ListBuild build = lists::BuildList(db, *list, refresh.sets, month);
    for (const QString& message : build.messages)
        err << message << "\n";

    if (!WriteTable(build.table, *format, output, out, err, {}, StdoutMark::Kept))
        return 1;
    return refresh.messages.isEmpty() && build.messages.isEmpty() ? 0 : 1;
}

} // namespace cli
