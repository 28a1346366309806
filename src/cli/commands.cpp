#include "commands.h"

#include "alertscommand.h"
#include "feescommand.h"
#include "claimscommand.h"
#include "listcommand.h"
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
    "  alerts [--today YYYY-MM-DD] [--format json|text] [--data-dir DIR]    刷新预警树（写入脱期标志）并输出各节点车辆\n"
    "  list 清单名称 [--today YYYY-MM-DD] [--format json|csv|xlsx|pdf] [--output 文件] [--data-dir DIR]    生成清单\n"
    "  list --titles    列出十七个清单名称\n"
    "  fees --from YYYY-MM-DD --to YYYY-MM-DD [--plate 主车牌号] [--item 项目] [--format json|csv|xlsx|pdf] [--output 文件] [--data-dir DIR]    缴费查询\n"
    "  backup 目标文件或目录 [--data-dir DIR]    把数据库备份为一致、校验过的副本（可用于定时备份）\n"
    "  claims --from YYYY-MM-DD --to YYYY-MM-DD [--plate|--owner|--insurer|--policy 文字] [--closed all|open|closed]\n"
    "         [--format json|csv|xlsx|pdf] [--output 文件] [--data-dir DIR]    报险清单\n"
    "  upgrade [--data-dir DIR]    把旧文件的车辆表改为图片列在后的存储布局（先写备份；刷新和启动更快）\n";

// Takes "--name value" out of args; returns the value or an empty string.
QString takeOption(QStringList& args, const QString& name)
{
    const int i = args.indexOf(name);
    if (i < 0 || i + 1 >= args.size())
        return {};
    const QString value = args.at(i + 1);
    args.remove(i, 2);
    return value;
}

int init(QStringList args, QTextStream& out, QTextStream& err)
{
    const QString dir = takeOption(args, QStringLiteral("--data-dir"));
    if (!dir.isEmpty())
        qputenv("VELMORA_DATA_DIR", QDir(dir).absolutePath().toLocal8Bit());
    const QString path = store::DatabasePath();
    QString error;
    if (!store::CreateDatabase(path, &error)) {
        err << error << "\n";
        return 1;
    }
    out << QStringLiteral("已创建数据库：%1\n初始管理员：%2  口令：%3\n")
               .arg(QDir::toNativeSeparators(path), store::kInitialOperator, store::kInitialPassword);
    return 0;
}

// velmora-cli backup DEST [--data-dir DIR]: DEST is the copy's file name, or a folder that then
// receives clxx.mdb. An earlier copy there is replaced only by a whole, checked one.
int backup(QStringList args, QTextStream& out, QTextStream& err)
{
    const int at = args.indexOf(QStringLiteral("--data-dir"));
    if (at >= 0 && at + 1 >= args.size()) {
        err << QStringLiteral("--data-dir 需要一个目录\n");
        return 2;
    }
    const QString dir = takeOption(args, QStringLiteral("--data-dir"));
    if (args.size() != 1 || args.first().isEmpty()) {
        err << QStringLiteral("用法：velmora-cli backup 目标文件或目录 [--data-dir DIR]\n");
        return 2;
    }
    if (!dir.isEmpty())
        qputenv("VELMORA_DATA_DIR", QDir(dir).absolutePath().toLocal8Bit());
    QString destination = args.first();
    if (QFileInfo(destination).isDir())
        destination = QDir(destination).filePath(store::kDatabaseFileName);
    QString error;
    if (!store::BackupDatabase(store::DatabasePath(), destination, &error)) {
        err << QStringLiteral("数据备份失败！%1\n").arg(error);
        return 1;
    }
    out << QStringLiteral("数据备份成功！%1\n").arg(QDir::toNativeSeparators(QFileInfo(destination).absoluteFilePath()));
    return 0;
}

// velmora-cli upgrade [--data-dir DIR]: rewrites the tables of an older file with the image
// columns last, after a checked copy of the file; a file already in that layout is left alone.
int upgrade(QStringList args, QTextStream& out, QTextStream& err)
{
    const int at = args.indexOf(u"--data-dir"_s);
    if (at >= 0 && at + 1 >= args.size()) {
        err << u"--data-dir 需要一个目录\n"_s;
        return 2;
    }
    const QString dir = takeOption(args, u"--data-dir"_s);
    if (!args.isEmpty()) {
        err << u"用法：velmora-cli upgrade [--data-dir DIR]\n"_s;
        return 2;
    }
    if (!dir.isEmpty())
        qputenv("VELMORA_DATA_DIR", QDir(dir).absolutePath().toLocal8Bit());
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

}  // namespace

int Run(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    QStringList args = arguments;
    if (args.isEmpty()) {
        err << QString::fromUtf8(kUsage);
        return 2;
    }
    const QString command = args.takeFirst();
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
    err << QStringLiteral("未知命令：%1\n").arg(command) << QString::fromUtf8(kUsage);
    return 2;
}

}  // namespace cli
