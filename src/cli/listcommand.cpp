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

const CommandSpec kListSpec{
    .usage = u"velmora-cli list 清单名称 [--today YYYY-MM-DD] [--format json|csv|xlsx|pdf] [--output 文件] "
             u"[--data-dir DIR] [--database URL]\n"
             u"      velmora-cli list --titles"_s,
    .help = u"按预警树刷新后的结果（与 alerts 相同）生成与“车辆清单”窗口相同的清单。清单名称可用标题或菜单项文字。\n"
            u"  --titles         列出十七个清单名称\n"
            u"  --today 日期     按此日期所在月份计算（默认今天）\n"
            u"  --format 格式    json（默认）、csv、xlsx 或 pdf（xlsx 和 pdf 须给 --output）\n"
            u"  --output 文件    写入文件；json 和 csv 默认输出到标准输出\n"
            u"  --data-dir DIR   数据目录\n"
            u"  --database URL   数据库（文件路径或 postgresql:// 服务器连接文本）\n"
            u"只读：只读打开数据库，不写入脱期标志，数据库文件保持不变（只读文件也可以）；刷新应写入的脱期标志\n"
            u"在清单中按已写入显示，与窗口刷新后的清单相同。\n"_s,
    .options = {{u"--titles"_s, OptionKind::Flag},
                {u"--today"_s, OptionKind::Date},
                {u"--format"_s, OptionKind::Choice, false, ReportFormatNames()},
                {u"--output"_s, OptionKind::Path}},
    .minArguments = 0,
    .maxArguments = 1,
};

} // namespace

int ListCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    const ParsedCommand o = ParseCommandLine(kListSpec, args, out, err);
    if (!o.ok())
        return o.exitStatus;
    if (o.has(u"--titles"_s)) {
        if (!o.arguments.isEmpty() || o.has(u"--today"_s) || o.has(u"--format"_s) || o.has(u"--output"_s)) {
            err << u"--titles 不与清单名称或其他清单选项同用\n用法："_s << kListSpec.usage << "\n";
            return 2;
        }
        for (const QString& title : lists::ListTitles())
            out << title << "\n";
        return 0;
    }
    if (o.arguments.size() != 1) {
        err << u"缺少清单名称\n用法："_s << kListSpec.usage << "\n";
        return 2;
    }
    const std::optional<int> list = lists::FindList(o.arguments.first());
    if (!list) {
        err << u"没有这个清单：%1\n可用的清单：\n"_s.arg(o.arguments.first()) << lists::ListTitles().join(u'\n')
            << "\n";
        return 2;
    }
    const QString output = o.value(u"--output"_s);
    const std::optional<report::ExportFormat> format = ReportFormat(o.value(u"--format"_s), output, err);
    if (!format)
        return 2;
    if (const std::optional<QDate> today = o.date(u"--today"_s))
        store::SetToday(*today);
    // The refresh's computation without its writes: the file is opened read-only and stays
    // byte-identical, and the list is the one the window shows after its refresh, the lapse flags
    // that refresh would write read as written.
    store::DatabaseConnection db;
    if (!OpenDataDatabase(db, err, OpenFor::ReadOnly))
        return 1;
    const QDate month = alerts::MonthStart(store::Today());
    const alerts::AlertResult refresh =
        alerts::ComputeAlerts(db, month, alerts::ReadMode::OneQueryPerTable, alerts::FlagWrites::Skip);
    for (const QString& message : refresh.messages)
        err << message << "\n";
    const lists::ListBuild build =
        lists::BuildList(db, *list, refresh.sets, month, lists::ReadMode::OneQueryPerTable, refresh.dueFlags);
    for (const QString& message : build.messages)
        err << message << "\n";

    if (!WriteTable(build.table, *format, output, out, err, {}, StdoutMark::Kept))
        return 1;
    return refresh.messages.isEmpty() && build.messages.isEmpty() ? 0 : 1;
}

} // namespace cli
