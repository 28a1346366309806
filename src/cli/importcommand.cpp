#include "importcommand.h"

#include "cli/options.h"

#include "import/importer.h"
#include "store/database.h"
#include "store/session.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

const CommandSpec kImportSpec{
    .usage = u"velmora-cli import 文件 [--sheet 工作表] [--dry-run] [--map 列名=字段]... [--format json|text|csv] "
             u"[--output 文件] [--today YYYY-MM-DD] [--data-dir DIR] [--database URL]"_s,
    .help =
        u"把 .xlsx、.xls 或 .csv 文件中的车辆逐行加入档案，与“保存增加车辆”相同：同样的检查（车牌号规则、已有车辆、\n"
        u"已用的档案编号，文件中重复的也算），同样的新车记录。第一行是表头，按表头对应到字段（可用 --map 改）。\n"
        u"所有可加入的行在一个事务中写入；文件损坏、工作表为空或没有主车牌号列时拒绝，什么也不写。\n"
        u"  --sheet 工作表     要导入的工作表（默认第一个）\n"
        u"  --dry-run          只检查并列出每行将添加还是拒绝及原因，不写数据库，数据库文件保持不变\n"
        u"  --map 列名=字段    把文件的一列对应到字段（可写多次；字段写车辆表的列名，如 主车牌号、下次审车日期；\n"
        u"                     写 - 表示这一列不导入）\n"
        u"  --format 格式      text（默认）、json，或 csv（报告表：行号、主车牌号、结果、原因）\n"
        u"  --output 文件      把输出写入文件（默认标准输出）\n"
        u"  --today 日期       新车记录的缴费日期按此日期（默认今天）\n"
        u"  --data-dir DIR     数据目录\n"
        u"  --database URL     数据库文件\n"
        u"写入：新车辆（除非加 --dry-run）。有被拒绝的行时退出状态为 1。\n"_s,
    .options = {{u"--sheet"_s, OptionKind::Text},
                {u"--dry-run"_s, OptionKind::Flag},
                {u"--format"_s, OptionKind::Choice, false, {u"json"_s, u"text"_s, u"csv"_s}},
                {u"--output"_s, OptionKind::Path},
                {u"--today"_s, OptionKind::Date}},
    .minArguments = 1,
    .maxArguments = 1,
};

QString outcomeText(const fleetimport::RowOutcome& r, bool dryRun) {
    if (r.accepted)
        return dryRun ? u"将添加"_s : u"已添加"_s;
    return r.reason.startsWith(u"已取消") ? u"未添加"_s : u"拒绝"_s;
}

// --map is the one option a command may give more than once: its values are taken out before the
// shared parser sees the rest. nullopt when a --map has no value.
std::optional<QStringList> takeMapOptions(QStringList& args) {
    QStringList maps;
    for (int i = 0; i < args.size();) {
        if (args.at(i) == u"--")
            break;
        if (args.at(i) == u"--map") {
            if (i + 1 >= args.size())
                return std::nullopt;
            maps << args.at(i + 1);
            args.remove(i, 2);
        } else if (args.at(i).startsWith(u"--map=")) {
            maps << args.at(i).mid(6);
            args.remove(i);
        } else {
            ++i;
        }
    }
    return maps;
}

} // namespace

int ImportCommand(QStringList args, QTextStream& out, QTextStream& err) {
    const std::optional<QStringList> maps = takeMapOptions(args);
    if (!maps) {
        err << u"--map 需要一个值：列名=字段\n用法："_s << kImportSpec.usage << "\n";
        return 2;
    }
    const ParsedCommand o = ParseCommandLine(kImportSpec, args, out, err);
    if (!o.ok())
        return o.exitStatus;
    const bool dryRun = o.has(u"--dry-run"_s);
    const QString format = o.value(u"--format"_s, u"text"_s);
    const QString sheetName = o.value(u"--sheet"_s);
    if (const std::optional<QDate> today = o.date(u"--today"_s))
        store::SetToday(*today);
    const QString path = o.arguments.first();

    const fleetimport::ReadOutcome read = fleetimport::ReadWorkbook(path);
    if (!read.book) {
        err << read.refusal << "\n";
        return 1;
    }
    const fleetimport::Sheet* sheet = fleetimport::FindSheet(*read.book, sheetName);
    if (!sheet) {
        QStringList names;
        for (const fleetimport::Sheet& s : read.book->sheets)
            names << s.name;
        err << u"文件中没有工作表“%1”。工作表有：%2\n"_s.arg(sheetName, names.join(u"、"_s));
        return 1;
    }
    fleetimport::ColumnMap map = fleetimport::MatchColumns(fleetimport::HeaderCaptions(*sheet));
    for (const QString& m : *maps) {
        if (const std::optional<QString> refusal = fleetimport::ApplyMapOption(map, m)) {
            err << *refusal << u"\n用法："_s << kImportSpec.usage << "\n";
            return 2;
        }
    }

    // A dry run opens the file read-only: it cannot write, and the file stays byte-identical.
    store::DatabaseConnection db;
    if (!OpenDataDatabase(db, err, dryRun ? OpenFor::ReadOnly : OpenFor::ReadWrite))
        return 1;
    const fleetimport::PlanOutcome planned = fleetimport::PlanImport(db, *sheet, map, store::Today());
    if (!planned.plan) {
        err << planned.refusal << "\n";
        return 1;
    }
    QList<fleetimport::RowOutcome> rows = planned.plan->rows;
    bool committed = false;
    QString failure;
    if (!dryRun) {
        // Progress on stderr, so that a long import shows it is alive.
        const int step = std::max(100, planned.plan->acceptedCount() / 20);
        const fleetimport::RunOutcome run =
            fleetimport::RunImport(db, *planned.plan, [&err, step](int done, int total) {
                if (done % step == 0 && done < total) {
                    err << u"已写入 %1/%2 辆\n"_s.arg(done).arg(total);
                    err.flush();
                }
                return true;
            });
        rows = run.rows;
        committed = run.committed;
        failure = run.failure;
    }
    int accepted = 0;
    for (const fleetimport::RowOutcome& r : rows)
        accepted += r.accepted ? 1 : 0;
    const int refused = int(rows.size()) - accepted;

    const QString fileText = QFileInfo(path).fileName();
    const QString encoding = read.book->encoding;
    QString text;
    if (format == u"csv") {
        // The report table the dialog shows and saves, in the exports' CSV.
        if (!WriteTable(fleetimport::ImportReport(rows, dryRun ? fleetimport::ReportKind::DryRun
                                                               : fleetimport::ReportKind::Import),
                        report::ExportFormat::Csv, o.value(u"--output"_s), out, err))
            return 1;
    } else if (format == u"json") {
        QJsonObject root;
        root.insert(u"file"_s, fileText);
        root.insert(u"format"_s, read.book->format);
        if (!encoding.isEmpty())
            root.insert(u"encoding"_s, encoding);
        root.insert(u"sheet"_s, sheet->name);
        root.insert(u"dry_run"_s, dryRun);
        QJsonArray mapping;
        for (int i = 0; i < map.headers.size(); ++i)
            mapping.append(QJsonObject{{u"header"_s, map.headers.at(i)}, {u"field"_s, map.fields.at(i)}});
        root.insert(u"mapping"_s, mapping);
        QJsonArray list;
        for (const fleetimport::RowOutcome& r : rows)
            list.append(QJsonObject{{u"row"_s, r.row},
                                    {u"plate"_s, r.plate},
                                    {u"outcome"_s, outcomeText(r, dryRun)},
                                    {u"reason"_s, r.shownReason()}});
        root.insert(u"rows"_s, list);
        root.insert(u"accepted"_s, accepted);
        root.insert(u"refused"_s, refused);
        root.insert(u"committed"_s, committed);
        text = QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
    } else {
        text += u"文件：%1（%2%3），工作表：%4\n"_s.arg(
            fileText, read.book->format, encoding.isEmpty() ? QString() : u"，编码 "_s + encoding, sheet->name);
        QStringList pairs;
        QStringList ignored;
        for (int i = 0; i < map.headers.size(); ++i) {
            if (map.fields.at(i).isEmpty())
                ignored << map.headers.at(i);
            else
                pairs << map.headers.at(i) + u"→"_s + map.fields.at(i);
        }
        text += u"列对应：%1\n"_s.arg(pairs.join(u"，"_s));
        if (!ignored.isEmpty())
            text += u"不导入的列：%1\n"_s.arg(ignored.join(u"，"_s));
        for (const fleetimport::RowOutcome& r : rows) {
            text += u"第 %1 行  %2  %3"_s.arg(r.row).arg(r.plate, outcomeText(r, dryRun));
            if (!r.reason.isEmpty())
                text += u"："_s + r.shownReason();
            text += QLatin1Char('\n');
        }
        if (dryRun)
            text += u"试导入：将添加 %1 辆，拒绝 %2 行；数据库没有改动。\n"_s.arg(accepted).arg(refused);
        else if (committed)
            text += u"已导入 %1 辆，拒绝 %2 行。\n"_s.arg(accepted).arg(refused);
    }
    if (format != u"csv" && !WriteText(text.toUtf8(), o.value(u"--output"_s), out, err))
        return 1;
    if (!failure.isEmpty()) {
        err << failure << "\n";
        return 1;
    }
    if (refused > 0) {
        err << u"有 %1 行被拒绝（原因见报告）。\n"_s.arg(refused);
        return 1;
    }
    return 0;
}

} // namespace cli
