#include "migratecommand.h"

#include "options.h"
#include "store/migrate.h"
#include "store/target.h"

#include <QDir>
#include <QElapsedTimer>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

const CommandSpec kMigrateSpec{
    .usage = u"velmora-cli migrate --from-file clxx.mdb --database URL [--data-dir DIR]"_s,
    .help = u"把已有的数据库文件（新旧两种存储布局均可）整体复制到一个空的目标数据库：所有车辆表及其行、编号、\n"
            u"图片（逐字节）、操作员、险种、报险记录和其他表，在一个事务中完成。完成后逐表比较两边的行数和校验和\n"
            u"并输出；有任何不同则全部撤销，目标保持为空。\n"
            u"  --from-file 文件  要迁移的 clxx.mdb\n"
            u"  --database URL    空的目标数据库：服务器上没有任何表的数据库（postgresql://主机/库 或\n"
            u"                    host=… dbname=…），或尚不存在的文件路径；缺省为程序配置的数据库\n"
            u"写入：只写目标数据库；源文件不变。\n"_s,
    .options = {{u"--from-file"_s, OptionKind::Path, true}},
};

} // namespace

int MigrateCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    const ParsedCommand o = ParseCommandLine(kMigrateSpec, args, out, err);
    if (!o.ok())
        return o.exitStatus;
    // --database (applied by the parser) or the program's configured database.
    const store::DatabaseTargetInfo target = store::DatabaseTarget();
    if (!target.ok()) {
        err << target.refusal << u"\n"_s;
        return 1;
    }
    const QString from = o.value(u"--from-file"_s);
    // From here the target is a new database being written, no longer the one the program has
    // open: the output-file guard, which refuses the program's database, keeps guarding the data
    // directory's file and the source instead.
    qunsetenv("VELMORA_DATABASE");
    store::CopyReport report;
    QString error;
    QElapsedTimer timer;
    timer.start();
    const bool ok = store::MigrateFile(from, target.text(), &report, &error);
    out << store::DescribeCopy(report);
    if (!ok) {
        err << error << u"\n"_s;
        return 1;
    }
    const double seconds = double(timer.elapsed()) / 1000.0;
    out << u"迁移完成：%1 个表，%2 行，%3 MB，%4 秒。\n"_s.arg(report.source.size())
               .arg(report.rows)
               .arg(double(report.bytes) / 1e6, 0, 'f', 1)
               .arg(seconds, 0, 'f', 1);
    return 0;
}

} // namespace cli
