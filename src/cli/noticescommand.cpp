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

const CommandSpec kNoticesSpec{
    .usage = u"velmora-cli notices [--today YYYY-MM-DD] [--list 清单名称] [--format pdf|csv] [--output 文件] "
             u"[--no-fees] [--data-dir DIR] [--database URL]"_s,
    .help = u"车主通知单：每位车主一页，列出其车辆已到期、本月或下月到期的项目、到期月份和应缴费用，\n"
            u"页首为公司名称、地址和电话（设置 → 公司信息设置），页尾留车主签字处。\n"
            u"  --list 清单名称  只通知此清单中的车辆（默认全部在册车辆，转出和注销的除外）\n"
            u"  --format 格式    pdf（默认，须给 --output）或 csv（每个项目一行，默认输出到标准输出）\n"
            u"  --output 文件    写入文件\n"
            u"  --no-fees        不列应缴费用\n"
            u"  --today 日期     按此日期所在月份计算（默认今天）\n"
            u"  --data-dir DIR   数据目录\n"
            u"  --database URL   数据库（文件路径或 postgresql:// 服务器连接文本）\n"
            u"只读：不修改数据库（按预警规则计算，不写入脱期标志）。\n"_s,
    .options = {{u"--today"_s, OptionKind::Date},
                {u"--list"_s, OptionKind::Text},
                {u"--format"_s, OptionKind::Choice, false, {u"pdf"_s, u"csv"_s}},
                {u"--output"_s, OptionKind::Path},
                {u"--no-fees"_s, OptionKind::Flag}},
};

} // namespace

int NoticesCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    const ParsedCommand o = ParseCommandLine(kNoticesSpec, args, out, err);
    if (!o.ok())
        return o.exitStatus;
    const QString output = o.value(u"--output"_s);
    const QString formatName =
        o.value(u"--format"_s, output.endsWith(u".csv"_s, Qt::CaseInsensitive) ? u"csv"_s : u"pdf"_s);
    const report::ExportFormat format = formatName == u"csv"_s ? report::ExportFormat::Csv : report::ExportFormat::Pdf;
    if (format == report::ExportFormat::Pdf && output.isEmpty()) {
        err << u"pdf 格式需要 --output 文件\n用法："_s << kNoticesSpec.usage << "\n";
        return 2;
    }
    std::optional<int> list;
    if (o.has(u"--list"_s)) {
        list = lists::FindList(o.value(u"--list"_s));
        if (!list) {
            err << u"没有这个清单：%1\n可用的清单：\n"_s.arg(o.value(u"--list"_s)) << lists::ListTitles().join(u'\n')
                << "\n";
            return 2;
        }
    }
    if (const std::optional<QDate> today = o.date(u"--today"_s))
        store::SetToday(*today);
    store::DatabaseConnection db;
    if (!OpenDataDatabase(db, err, OpenFor::ReadOnly))
        return 1;

    // The tree as a refresh would build it, without writing its lapse flags: the notices only read.
    const QDate today = store::Today();
    const alerts::AlertResult tree = alerts::ComputeAlerts(
        db, alerts::MonthStart(today), alerts::ReadMode::OneQueryPerTable, alerts::FlagWrites::Skip);
    QStringList failures = tree.messages;
    const std::optional<QStringList> plates = list ? std::optional<QStringList>(tree.sets[lists::Lists()[*list].node])
                                                   : lists::VehiclesInService(db, tree.sets);
    if (!plates)
        failures << u"查询失败！"_s;
    const lists::NoticeBuild build =
        lists::BuildNotices(db, plates.value_or(QStringList{}), today, !o.has(u"--no-fees"_s));
    failures << build.messages;
    for (const QString& message : failures)
        err << message << "\n";
    if (build.companyMissing)
        err << lists::kCompanyMissing << "\n";

    const report::ReportTable& table = format == report::ExportFormat::Pdf ? build.pages : build.rows;
    if (!WriteTable(table, format, output, out, err, {}, StdoutMark::Kept))
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
