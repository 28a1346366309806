#include "commands.h"

#include "alertscommand.h"
#include "calendarcommand.h"
#include "claimscommand.h"
#include "feescommand.h"
#include "listcommand.h"
#include "noticescommand.h"
#include "options.h"
#include "store/backup.h"
#include "store/schema.h"
#include "store/upgrade.h"
#include "vehiclecommands.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

const char* const kUsage =
    "用法：velmora-cli <命令> [选项]\n"
    "  init [--data-dir DIR]    在数据目录中新建加密数据库 clxx.mdb（不覆盖已有文件）\n"
    "  search --by plate|trailer|owner|archive 内容 [--data-dir DIR]    按条件搜索车辆（JSON）\n"
    "  show 主车牌号 [--today YYYY-MM-DD] [--data-dir DIR]    显示车辆当前档案（JSON）\n"
    "  alerts [--today YYYY-MM-DD] [--format json|text] [--dry-run] [--data-dir DIR]    "
    "刷新预警树（写入脱期标志）并输出各节点车辆\n"
    "  list 清单名称 [--today YYYY-MM-DD] [--format json|csv|xlsx|pdf] [--output 文件] [--data-dir DIR]    生成清单\n"
    "  list --titles    列出十七个清单名称\n"
    "  fees --from YYYY-MM-DD --to YYYY-MM-DD [--plate 主车牌号] [--item 项目] [--format json|csv|xlsx|pdf] [--output "
    "文件] [--data-dir DIR]    缴费查询\n"
    "  backup 目标文件或目录 [--data-dir DIR]    把数据库备份为一致、校验过的副本（可用于定时备份）\n"
    "  claims --from YYYY-MM-DD --to YYYY-MM-DD [--plate|--owner|--insurer|--policy 文字] [--closed all|open|closed]\n"
    "         [--format json|csv|xlsx|pdf] [--output 文件] [--data-dir DIR]    报险清单\n"
    "  upgrade [--data-dir DIR]    把旧文件的车辆表改为图片列在后的存储布局（先写备份；刷新和启动更快）\n"
    "  notices [--today YYYY-MM-DD] [--list 清单名称] [--format pdf|csv] [--output 文件] [--no-fees] [--data-dir DIR]  "
    "  "
    "车主通知单（只读）\n"
    "  calendar [--today YYYY-MM-DD] [--months N] [--output 文件.ics] [--data-dir DIR]    到期日历 iCalendar（只读）\n"
    "每个命令都可加 --help 查看说明。\n";

// velmora-cli <command> --help: what the command does, its options, and whether it writes.
QString commandHelp(const QString& command) {
    if (command == QLatin1String("init"))
        return u"用法：velmora-cli init [--data-dir DIR]\n"
               u"在数据目录中新建加密数据库 clxx.mdb，并建立初始管理员。已有文件时不覆盖，报错退出。\n"
               u"  --data-dir DIR   数据目录（默认为环境变量 VELMORA_DATA_DIR 或程序目录）\n"
               u"写入：新建数据库文件。\n"_s;
    if (command == QLatin1String("search"))
        return u"用法：velmora-cli search --by plate|trailer|owner|archive 内容 [--data-dir DIR]\n"
               u"按主车牌号、挂车牌号、车主姓名（从开头匹配）或档案编号搜索车辆，输出 JSON 数组。\n"
               u"  --by 条件        plate 主车牌号，trailer 挂车牌号，owner 车主姓名，archive 档案编号\n"
               u"  --data-dir DIR   数据目录\n"
               u"只读：不修改数据库。\n"_s;
    if (command == QLatin1String("show"))
        return u"用法：velmora-cli show 主车牌号 [--today YYYY-MM-DD] [--data-dir DIR]\n"
               u"输出车辆的当前档案和各项义务的最新记录（JSON）。\n"
               u"  --today 日期     按此日期计算到期状态（默认今天）\n"
               u"  --data-dir DIR   数据目录\n"
               u"只读：不修改数据库。\n"_s;
    if (command == QLatin1String("alerts"))
        return u"用法：velmora-cli alerts [--today YYYY-MM-DD] [--format json|text] [--dry-run] [--data-dir DIR]\n"
               u"与主窗口的“刷新”相同：计算预警树的各节点车辆并输出。\n"
               u"  --today 日期     按此日期所在月份计算（默认今天）\n"
               u"  --format 格式    text（默认）或 json\n"
               u"  --dry-run        只计算和输出，不写入任何脱期标志，数据库文件保持不变\n"
               u"  --data-dir DIR   数据目录\n"
               u"写入：逾期三个月以上的义务记录被置为脱审、脱维、脱保、脱管或脱营（与主窗口相同），\n"
               u"除非加 --dry-run。用 --today 预览将来的日期时请加 --dry-run。\n"_s;
    if (command == QLatin1String("list"))
        return u"用法：velmora-cli list 清单名称 [--today YYYY-MM-DD] [--format json|csv|xlsx|pdf] [--output 文件] "
               u"[--data-dir DIR]\n"
               u"       velmora-cli list --titles\n"
               u"先刷新预警树（与 alerts 相同），再生成与“车辆清单”窗口相同的清单。清单名称可用标题或菜单项文字。\n"
               u"  --titles         列出十七个清单名称\n"
               u"  --today 日期     按此日期所在月份计算（默认今天）\n"
               u"  --format 格式    json（默认）、csv、xlsx 或 pdf（xlsx 和 pdf 须给 --output）\n"
               u"  --output 文件    写入文件；json 和 csv 默认输出到标准输出\n"
               u"  --data-dir DIR   数据目录\n"
               u"写入：与 alerts 相同，刷新时写入逾期三个月以上的脱期标志。\n"_s;
    if (command == QLatin1String("fees"))
        return u"用法：velmora-cli fees --from YYYY-MM-DD --to YYYY-MM-DD [--plate 主车牌号] [--item 项目]\n"
               u"       [--format json|csv|xlsx|pdf] [--output 文件] [--data-dir DIR]\n"
               u"与“缴费查询”相同：统计期间内（含两端）各车各项费用的应缴、已缴和缴费日期，附小计和合计。\n"
               u"  --plate 主车牌号 只统计这一辆车（默认全部车辆）\n"
               u"  --item 项目      全部费用（默认）、审车类、二维类、保险类、管理费用类或营运证类\n"
               u"  --format 格式    json（默认）、csv、xlsx 或 pdf（xlsx 和 pdf 须给 --output）\n"
               u"  --data-dir DIR   数据目录\n"
               u"只读：不修改数据库。\n"_s;
    if (command == QLatin1String("claims"))
        return u"用法：velmora-cli claims --from YYYY-MM-DD --to YYYY-MM-DD [--plate 文字] [--owner 文字] [--insurer "
               u"文字]\n"
               u"       [--policy 文字] [--closed all|open|closed] [--format json|csv|xlsx|pdf] [--output 文件] "
               u"[--data-dir DIR]\n"
               u"与“报险清单”相同：列出报险日期在期间内（含两端）的理赔记录；文字条件匹配任意部分。\n"
               u"  --closed 状态    all 全部（默认）、open 未结案、closed 已结案\n"
               u"  --format 格式    json（默认）、csv、xlsx 或 pdf（xlsx 和 pdf 须给 --output）\n"
               u"  --data-dir DIR   数据目录\n"
               u"只读：不修改数据库。\n"_s;
    if (command == QLatin1String("backup"))
        return u"用法：velmora-cli backup 目标文件或目录 [--data-dir DIR]\n"
               u"把数据库备份为一致、校验过的副本（可在定时任务中使用）。目标是目录时写入其中的 clxx.mdb。\n"
               u"副本完整并通过校验后才替换同名的旧副本；不会覆盖数据库文件本身。\n"
               u"  --data-dir DIR   数据目录\n"
               u"写入：只写备份副本，不修改数据库。\n"_s;
    if (command == QLatin1String("upgrade"))
        return u"用法：velmora-cli upgrade [--data-dir DIR]\n"
               u"把旧文件的 yangbiao 和各车辆表改为图片列在后的存储布局，预警刷新和启动因此更快。\n"
               u"先写备份副本 clxx升级前备份.mdb；改写在一个事务中完成并经完整性检查，失败时原文件不变。\n"
               u"  --data-dir DIR   数据目录\n"
               u"写入：改写数据库文件（行、编号和数据不变）。\n"_s;
    if (command == QLatin1String("notices"))
        return u"用法：velmora-cli notices [--today YYYY-MM-DD] [--list 清单名称] [--format pdf|csv] [--output 文件] "
               u"[--no-fees] [--data-dir DIR]\n"
               u"车主通知单：每位车主一页，列出其车辆已到期或即将到期（下月）的项目、到期月份和应缴费用，\n"
               u"页首为公司名称、地址和电话（设置 → 公司信息设置），页尾留车主签字处。\n"
               u"  --list 清单名称  只通知此清单中的车辆（默认全部在册车辆，转出和注销的除外）\n"
               u"  --format 格式    pdf（默认，须给 --output）或 csv（每个项目一行，默认输出到标准输出）\n"
               u"  --no-fees        不列应缴费用\n"
               u"  --today 日期     按此日期所在月份计算（默认今天）\n"
               u"  --data-dir DIR   数据目录\n"
               u"只读：不修改数据库（不写入脱期标志）。\n"_s;
    if (command == QLatin1String("calendar"))
        return u"用法：velmora-cli calendar [--today YYYY-MM-DD] [--months N] [--output 文件.ics] [--data-dir DIR]\n"
               u"到期日历（iCalendar，RFC 5545）：在册车辆每项到期日一个全天事件，提前 7 天提醒；\n"
               u"同一车辆同一项目的事件标识不变，重新导入或订阅时更新而不重复。\n"
               u"  --months N       从本月初到今天之后 N 个月内的到期日（默认 3，1 到 120）\n"
               u"  --output 文件    写入文件（默认输出到标准输出）\n"
               u"  --today 日期     按此日期计算（默认今天）\n"
               u"  --data-dir DIR   数据目录\n"
               u"只读：不修改数据库。\n"_s;
    return {};
}

int init(QStringList args, QTextStream& out, QTextStream& err) {
    bool missing = false; // init has always ignored a --data-dir without a value
    UseDataDirectory(TakeValue(args, u"--data-dir"_s, &missing));
    const QString path = store::DatabasePath();
    QString error;
    if (!store::CreateDatabase(path, &error)) {
        err << error << "\n";
        return 1;
    }
    out << u"已创建数据库：%1\n初始管理员：%2  口令：%3\n"_s.arg(QDir::toNativeSeparators(path),
                                                                 store::kInitialOperator, store::kInitialPassword);
    return 0;
}

// velmora-cli backup DEST [--data-dir DIR]: DEST is the copy's file name, or a folder that then
// receives clxx.mdb. An earlier copy there is replaced only by a whole, checked one.
int backup(QStringList args, QTextStream& out, QTextStream& err) {
    bool missing = false;
    const QString dir = TakeValue(args, u"--data-dir"_s, &missing);
    if (missing) {
        err << u"--data-dir 需要一个目录\n"_s;
        return 2;
    }
    if (args.size() != 1 || args.first().isEmpty()) {
        err << u"用法：velmora-cli backup 目标文件或目录 [--data-dir DIR]\n"_s;
        return 2;
    }
    UseDataDirectory(dir);
    QString destination = args.first();
    if (QFileInfo(destination).isDir())
        destination = QDir(destination).filePath(store::kDatabaseFileName);
    QString error;
    if (!store::BackupDatabase(store::DatabasePath(), destination, &error)) {
        err << u"数据备份失败！%1\n"_s.arg(error);
        return 1;
    }
    out << u"数据备份成功！%1\n"_s.arg(QDir::toNativeSeparators(QFileInfo(destination).absoluteFilePath()));
    return 0;
}

// velmora-cli upgrade [--data-dir DIR]: rewrites the tables of an older file with the image
// columns last, after a checked copy of the file; a file already in that layout is left alone.
int upgrade(QStringList args, QTextStream& out, QTextStream& err) {
    bool missing = false;
    const QString dir = TakeValue(args, u"--data-dir"_s, &missing);
    if (missing) {
        err << u"--data-dir 需要一个目录\n"_s;
        return 2;
    }
    if (!args.isEmpty()) {
        err << u"用法：velmora-cli upgrade [--data-dir DIR]\n"_s;
        return 2;
    }
    UseDataDirectory(dir);
    const QString path = store::DatabasePath();
    const QString copy = QDir(store::DataDirectory()).filePath(store::kUpgradeBackupFileName);
    store::UpgradeReport report;
    QString error;
    if (!store::UpgradeDatabase(path, copy, &report, &error)) {
        err << u"升级失败，数据库未改动：%1\n"_s.arg(error);
        return 1;
    }
    if (report.tablesRewritten == 0) {
        out << u"数据库已是新的存储布局，无需升级。\n"_s;
        return 0;
    }
    out << u"升级完成：改写了 %1 个表。升级前的备份：%2\n"_s.arg(report.tablesRewritten)
               .arg(QDir::toNativeSeparators(report.backupPath));
    return 0;
}

} // namespace

int Run(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    QStringList args = arguments;
    if (args.isEmpty()) {
        err << QString::fromUtf8(kUsage);
        return 2;
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
        out << QString::fromUtf8(kUsage);
        return 0;
    }
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        const QString help = commandHelp(command);
        if (!help.isEmpty()) {
            out << help;
            return 0;
        }
    }
    if (command == QLatin1String("init"))
        return init(args, out, err);
    if (command == QLatin1String("search"))
        return SearchCommand(args, out, err);
    if (command == QLatin1String("show"))
        return ShowCommand(args, out, err);
    if (command == QLatin1String("alerts"))
        return AlertsCommand(args, out, err);
    if (command == QLatin1String("claims"))
        return ClaimsCommand(args, out, err);
    if (command == QLatin1String("list"))
        return ListCommand(args, out, err);
    if (command == QLatin1String("fees"))
        return FeesCommand(args, out, err);
    if (command == QLatin1String("backup"))
        return backup(args, out, err);
    if (command == QLatin1String("upgrade"))
        return upgrade(args, out, err);
    if (command == QLatin1String("notices"))
        return NoticesCommand(args, out, err);
    if (command == QLatin1String("calendar"))
        return CalendarCommand(args, out, err);
    err << u"未知命令：%1\n"_s.arg(command) << QString::fromUtf8(kUsage);
    return 2;
}

} // namespace cli
