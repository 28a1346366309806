#include "cli/noticescommand.h"

#include "cli/options.h"

#include "alerts/rules.h"
#include "lists/listbuild.h"
#include "lists/notices.h"
#include "store/database.h"
#include "store/session.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

const QString kUsage = u"用法：velmora-cli notices [--today YYYY-MM-DD] [--list 清单名称] [--format pdf|csv] [--output "
                       u"文件] [--no-fees] [--data-dir 目录]\n"_s;

} // namespace

int NoticesCommand(QStringList args, QTextStream& out, QTextStream& err) {
    bool bad = false;
    const QString dir = TakeValue(args, u"--data-dir"_s, &bad);
    const QString todayText = TakeValue(args, u"--today"_s, &bad);
    const QString listName = TakeValue(args, u"--list"_s, &bad);
    QString formatName = TakeValue(args, u"--format"_s, &bad);
    const QString output = TakeValue(args, u"--output"_s, &bad);
    const bool noFees = args.removeAll(u"--no-fees"_s) > 0;
    if (bad || !args.isEmpty()) {
        err << kUsage;
        return 2;
    }
    if (formatName.isEmpty())
        formatName = output.endsWith(u".csv"_s, Qt::CaseInsensitive) ? u"csv"_s : u"pdf"_s;
    const std::optional<report::ExportFormat> format = report::FormatForName(formatName);
    if (!format || (*format != report::ExportFormat::Pdf && *format != report::ExportFormat::Csv)) {
        err << u"通知单的输出格式只能是 pdf 或 csv：%1\n"_s.arg(formatName);
        return 2;
    }
    if (*format == report::ExportFormat::Pdf && output.isEmpty()) {
        err << u"pdf 格式需要 --output 文件\n"_s;
        return 2;
    }
    std::optional<int> list;
    if (!listName.isEmpty()) {
        list = lists::FindList(listName);
        if (!list) {
            err << u"没有这个清单：%1\n可用的清单：\n"_s.arg(listName) << lists::ListTitles().join(u'\n') << "\n";
            return 2;
        }
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

    // The tree as a refresh would build it, without writing its lapse flags: the notices only read.
    const QDate today = store::Today();
    const alerts::AlertResult tree = alerts::ComputeAlerts(
        db, alerts::MonthStart(today), alerts::ReadMode::OneQueryPerTable, alerts::FlagWrites::Leave);
    QStringList failures = tree.messages;
    QStringList plates;
    if (list) {
        plates = tree.sets[lists::Lists()[*list].node];
    } else if (const std::optional<QStringList> inService = lists::VehiclesInService(db, tree.sets)) {
        plates = *inService;
    } else {
        failures << u"查询失败！"_s;
    }
    const lists::NoticeBuild build = lists::BuildNotices(db, plates, today, !noFees);
    failures << build.messages;
    for (const QString& message : failures)
        err << message << "\n";
    if (build.companyMissing)
        err << lists::kCompanyMissing << "\n";

    const report::ReportTable& table = *format == report::ExportFormat::Pdf ? build.pages : build.rows;
    if (!WriteTable(table, *format, output, out, err, {}, StdoutMark::Kept))
        return 1;
    if (!output.isEmpty()) {
        int vehicles = 0;
        for (const lists::OwnerNotice& n : build.notices)
            vehicles += int(n.vehicles.size());
        out << u"已写入 %1 位车主的通知单（%2 辆车）：%3\n"_s.arg(build.notices.size())
                   .arg(vehicles)
                   .arg(QDir::toNativeSeparators(output));
    }
    return failures.isEmpty() ? 0 : 1;
}

} // namespace cli
