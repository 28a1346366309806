#include "cli/claimscommand.h"

#include "cli/options.h"

#include "claims/claims.h"
#include "report/exports.h"
#include "store/database.h"
#include "store/schema.h"

using namespace Qt::StringLiterals;

namespace cli {

namespace {

const CommandSpec kClaimsSpec{
    .usage = u"velmora-cli claims --from YYYY-MM-DD --to YYYY-MM-DD [--plate 文字] [--owner 文字] [--insurer 文字] "
             u"[--policy 文字] [--closed all|open|closed] [--format json|csv|xlsx|pdf] [--output 文件] "
             u"[--data-dir DIR] [--database URL]"_s,
    .help = u"与“报险清单”相同：列出报险日期在期间内（含两端）的理赔记录；文字条件匹配任意部分。\n"
            u"  --closed 状态    all 全部（默认）、open 未结案、closed 已结案\n"
            u"  --format 格式    json（默认）、csv、xlsx 或 pdf（xlsx 和 pdf 须给 --output）\n"
            u"  --output 文件    写入文件；json 和 csv 默认输出到标准输出\n"
            u"  --data-dir DIR   数据目录\n"
            u"  --database URL   数据库（文件路径或 postgresql:// 服务器连接文本）\n"
            u"只读：只读打开数据库，不修改数据库（只读文件也可以）。\n"_s,
    .options = {{u"--from"_s, OptionKind::Date, true},
                {u"--to"_s, OptionKind::Date, true},
                {u"--plate"_s, OptionKind::Text},
                {u"--owner"_s, OptionKind::Text},
                {u"--insurer"_s, OptionKind::Text},
                {u"--policy"_s, OptionKind::Text},
                {u"--closed"_s, OptionKind::Choice, false, {u"all"_s, u"open"_s, u"closed"_s}},
                {u"--format"_s, OptionKind::Choice, false, ReportFormatNames()},
                {u"--output"_s, OptionKind::Path}},
};

} // namespace

int ClaimsCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    const ParsedCommand o = ParseCommandLine(kClaimsSpec, args, out, err);
    if (!o.ok())
        return o.exitStatus;
    const QDate from = *o.date(u"--from"_s);
    const QDate to = *o.date(u"--to"_s);
    const QString closedName = o.value(u"--closed"_s, u"all"_s);
    const QString output = o.value(u"--output"_s);
    int closed = 0;
    if (closedName == u"all"_s)
        closed = claims::kClosedAll;
    else if (closedName == u"open"_s)
        closed = claims::kClosedOpen;
    else
        closed = claims::kClosedOnly;
    const std::optional<report::ExportFormat> format = ReportFormat(o.value(u"--format"_s), output, err);
    if (!format)
        return 2;
    store::DatabaseConnection db;
    if (!OpenDataDatabase(db, err, OpenFor::ReadOnly))
        return 1;
    const claims::ClaimFilterSet filters = claims::MakeClaimFilters(
        o.value(u"--plate"_s), o.value(u"--owner"_s), o.value(u"--insurer"_s), o.value(u"--policy"_s), closed);
    const std::optional<QList<claims::Claim>> list = claims::ReadClaims(db, from, to, filters);
    if (!list) {
        err << u"查询失败?！%1\n"_s.arg(db.LastError());
        return 1;
    }
    const report::ReportTable table = claims::ClaimsTable(*list);
    return WriteTable(table, *format, output, out, err, report::RenderOptions{.withTitle = false}) ? 0 : 1;
}

} // namespace cli
