#include "cli/claimscommand.h"

#include "cli/options.h"

#include "claims/claims.h"
#include "report/exports.h"
#include "store/database.h"
#include "store/schema.h"

using namespace Qt::StringLiterals;

namespace cli {

namespace {

const QString kUsage =
    u"用法：velmora-cli claims --from YYYY-MM-DD --to YYYY-MM-DD [--plate 文字] [--owner 文字] [--insurer 文字] "
    u"[--policy 文字] [--closed all|open|closed] [--format json|csv|xlsx|pdf] [--output 文件] [--data-dir 目录]\n"_s;

} // namespace

int ClaimsCommand(QStringList args, QTextStream& out, QTextStream& err) {
    bool bad = false;
    const QString dir = TakeValue(args, u"--data-dir"_s, &bad);
    const QString fromText = TakeValue(args, u"--from"_s, &bad);
    const QString toText = TakeValue(args, u"--to"_s, &bad);
    const QString plate = TakeValue(args, u"--plate"_s, &bad);
    const QString owner = TakeValue(args, u"--owner"_s, &bad);
    const QString insurer = TakeValue(args, u"--insurer"_s, &bad);
    const QString policy = TakeValue(args, u"--policy"_s, &bad);
    QString closedName = TakeValue(args, u"--closed"_s, &bad);
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
    const std::optional<report::ExportFormat> format = ReportFormat(formatName, output, err);
    if (!format)
        return 2;
    UseDataDirectory(dir);
    store::DatabaseConnection db;
    if (!OpenDataDatabase(db, err))
        return 1;
    const claims::ClaimFilterSet filters = claims::MakeClaimFilters(plate, owner, insurer, policy, closed);
    const std::optional<QList<claims::Claim>> list = claims::ReadClaims(db, from, to, filters);
    if (!list) {
        err << u"查询失败?！%1\n"_s.arg(db.LastError());
        return 1;
    }
    const report::ReportTable table = claims::ClaimsTable(*list);
    return WriteTable(table, *format, output, out, err, report::RenderOptions{.withTitle = false}) ? 0 : 1;
}

} // namespace cli
