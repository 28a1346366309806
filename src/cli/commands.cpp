#include "commands.h"

#include "alertscommand.h"
#include "calendarcommand.h"
#include "claimscommand.h"
#include "feescommand.h"
#include "importcommand.h"
#include "listcommand.h"
#include "migratecommand.h"
#include "noticescommand.h"
#include "options.h"
#include "store/backup.h"
#include "store/database.h"
#include "store/migrate.h"
#include "store/schema.h"
#include "store/target.h"
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
    "  import 文件 [--sheet 工作表] [--dry-run] [--map 列名=字段]... [--format json|text|csv] [--output 文件] "
    "[--data-dir DIR]    "
    "从 .xlsx、.xls 或 .csv 导入车辆\n"
    "  upgrade [--data-dir DIR]    把旧文件的车辆表改为图片列在后的存储布局（先写备份；刷新和启动更快）\n"
    "  migrate --from-file clxx.mdb --database URL    把数据库文件整体迁移到空的目标数据库并逐表校验\n"
    "  notices [--today YYYY-MM-DD] [--list 清单名称] [--format pdf|csv] [--output 文件] [--no-fees]    "
    "车主通知单（只读）\n"
    "  calendar [--today YYYY-MM-DD] [--months N] [--output 文件.ics]    到期日历 iCalendar（只读）\n"
    "每个命令都可加 --help 查看说明；--data-dir DIR 和 --database URL 对每个命令都有效（URL 为数据库文件路径，\n"
    "或 postgresql://主机/数据库、host=… dbname=… 形式的服务器连接文本；口令写在 .pgpass 或 velmora.ini 中）。\n";

const CommandSpec kInitSpec{
    .usage = u"velmora-cli init [--data-dir DIR] [--database URL]"_s,
    .help = u"在数据目录中新建加密数据库 clxx.mdb，并建立初始管理员。已有文件时不覆盖，报错退出。\n"
            u"  --data-dir DIR   数据目录（默认为环境变量 VELMORA_DATA_DIR 或程序目录）\n"
            u"  --database URL   新数据库文件的路径，或一个空的服务器数据库（在其中建表；已有任何表时拒绝）\n"
            u"写入：新建数据库文件，或在服务器数据库中建表。\n"_s,
};

int init(const QStringList& args, QTextStream& out, QTextStream& err) {
    const ParsedCommand o = ParseCommandLine(kInitSpec, args, out, err);
    if (!o.ok())
        return o.exitStatus;
    const store::DatabaseTargetInfo target = store::DatabaseTarget();
    if (!target.ok()) {
        err << target.refusal << "\n";
        return 1;
    }
    QString error;
    if (target.isServer()) {
        if (!store::CreateServerDatabase(target.server, &error)) {
            err << error << "\n";
            return 1;
        }
        out << u"已在服务器数据库中建表：%1\n初始管理员：%2  口令：%3\n"_s.arg(target.server, store::kInitialOperator,
                                                                               store::kInitialPassword);
        return 0;
    }
    if (!store::CreateDatabase(target.file, &error)) {
        err << error << "\n";
        return 1;
    }
    out << u"已创建数据库：%1\n初始管理员：%2  口令：%3\n"_s.arg(QDir::toNativeSeparators(target.file),
                                                                 store::kInitialOperator, store::kInitialPassword);
    return 0;
}

const CommandSpec kBackupSpec{
    .usage = u"velmora-cli backup 目标文件或目录 [--data-dir DIR] [--database URL]"_s,
    .help = u"把数据库备份为一致、校验过的副本（可在定时任务中使用）。目标是目录时写入其中的 clxx.mdb。\n"
            u"副本完整并通过校验后才替换同名的旧副本；不会覆盖数据库文件本身。\n"
            u"数据库在服务器上时，在一个只读的快照事务中读出，写成普通的加密 clxx.mdb 文件（程序可直接打开，\n"
            u"也可用 migrate 恢复到服务器）；备份期间其他操作员照常工作。\n"
            u"被中断的备份留下的临时文件（目标名.XXXXXX.part）在下一次备份时删除（一小时以上的）。\n"
            u"  --data-dir DIR   数据目录\n"
            u"  --database URL   要备份的数据库（文件路径或服务器）\n"
            u"写入：只写备份副本，不修改数据库。\n"_s,
    .minArguments = 1,
    .maxArguments = 1,
};

// velmora-cli backup DEST: DEST is the copy's file name, or a folder that then receives clxx.mdb.
// An earlier copy there is replaced only by a whole, checked one.
int backup(const QStringList& args, QTextStream& out, QTextStream& err) {
    const ParsedCommand o = ParseCommandLine(kBackupSpec, args, out, err);
    if (!o.ok())
        return o.exitStatus;
    if (o.arguments.first().isEmpty()) {
        err << u"备份文件名为空\n用法："_s << kBackupSpec.usage << "\n";
        return 2;
    }
    const store::DatabaseTargetInfo target = store::DatabaseTarget();
    if (!target.ok()) {
        err << target.refusal << "\n";
        return 1;
    }
    QString destination = o.arguments.first();
    if (QFileInfo(destination).isDir())
        destination = QDir(destination).filePath(store::kDatabaseFileName);
    QString error;
    if (!store::BackupTarget(target.text(), destination, &error)) {
        err << u"数据备份失败！%1\n"_s.arg(error);
        return 1;
    }
    out << u"数据备份成功！%1\n"_s.arg(QDir::toNativeSeparators(QFileInfo(destination).absoluteFilePath()));
    return 0;
}

const CommandSpec kUpgradeSpec{
    .usage = u"velmora-cli upgrade [--data-dir DIR] [--database URL]"_s,
    .help = u"把旧文件的 yangbiao 和各车辆表改为图片列在后的存储布局，预警刷新和启动因此更快。\n"
            u"先写备份副本 clxx升级前备份.mdb；改写在一个事务中完成并经完整性检查，失败时原文件不变。\n"
            u"  --data-dir DIR   数据目录\n"
            u"  --database URL   数据库（文件路径或 postgresql:// 服务器连接文本）\n"
            u"写入：改写数据库文件（行、编号和数据不变）。\n"_s,
};

// velmora-cli upgrade: rewrites the tables of an older file with the image columns last, after a
// checked copy of the file beside it; a file already in that layout is left alone.
int upgrade(const QStringList& args, QTextStream& out, QTextStream& err) {
    const ParsedCommand o = ParseCommandLine(kUpgradeSpec, args, out, err);
    if (!o.ok())
        return o.exitStatus;
    const store::DatabaseTargetInfo target = store::DatabaseTarget();
    if (!target.ok()) {
        err << target.refusal << "\n";
        return 1;
    }
    if (target.isServer()) {
        err << u"此命令只适用于数据库文件，不适用于服务器数据库：%1\n"_s.arg(target.server);
        return 1;
    }
    const QString path = target.file;
    const QString copy = QFileInfo(path).absoluteDir().filePath(store::kUpgradeBackupFileName);
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
    const QString settingsWarning = store::SettingsWarning();
    if (!settingsWarning.isEmpty())
        err << settingsWarning << "\n";
    // A lost server connection is said on stderr as it happens; the command then fails.
    struct LostConnectionReport {
        explicit LostConnectionReport(QTextStream& stream) {
            store::DatabaseConnection::SetConnectionLostHandler([&stream](const QString& m) { stream << m << "\n"; });
        }
        ~LostConnectionReport() { store::DatabaseConnection::SetConnectionLostHandler({}); }
    } lostConnectionReport(err);
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
    if (command == QLatin1String("migrate"))
        return MigrateCommand(args, out, err);
    if (command == QLatin1String("import"))
        return ImportCommand(args, out, err);
    if (command == QLatin1String("notices"))
        return NoticesCommand(args, out, err);
    if (command == QLatin1String("calendar"))
        return CalendarCommand(args, out, err);
    err << u"未知命令：%1\n"_s.arg(command) << QString::fromUtf8(kUsage);
    return 2;
}

} // namespace cli
