#include "clifixture.h"

#include "report/reporttable.h"
#include "store/upgrade.h"
#include "ui/reportprint.h"

#include <QFileInfo>

#include <sys/stat.h>
#include <utime.h>

using namespace Qt::StringLiterals;
using cli_test::CliTest;
using cli_test::Outcome;
using cli_test::Sha256;

namespace {

// Where an output is aimed. suffix is the writer's file suffix; refused targets are the database
// under another spelling or a file SQLite keeps beside it.
struct PathCase {
    const char* name;
    bool refused;
    // Makes the target (links, earlier files) in out beside the data directory db.
    QString (*make)(const QString& db, const QString& out, const QString& suffix);
};

QString linked(const QString& target, const QString& link) {
    QFile::link(target, link);
    return link;
}

const PathCase kPaths[] = {
    {"DatabaseItself", true, [](const QString& db, const QString&, const QString&) { return db; }},
    {"SymlinkToDatabase", true,
     [](const QString& db, const QString& out, const QString& suffix) {
         return linked(db, out + u"/report."_s + suffix);
     }},
    {"SymlinkToSymlink", true,
     [](const QString& db, const QString& out, const QString& suffix) {
         return linked(linked(db, out + u"/first"_s), out + u"/report."_s + suffix);
     }},
    {"DotDotSpelling", true,
     [](const QString& db, const QString&, const QString&) {
         const QFileInfo file(db);
         const QString folder = file.absoluteDir().dirName();
         return file.absolutePath() + u"/../"_s + folder + u"/"_s + file.fileName();
     }},
    {"HardLink", true,
     [](const QString& db, const QString& out, const QString& suffix) {
         QString link = out + u"/report."_s + suffix;
         ::link(QFile::encodeName(db).constData(), QFile::encodeName(link).constData());
         return link;
     }},
    {"Journal", true, [](const QString& db, const QString&, const QString&) { return db + u"-journal"_s; }},
    {"WalBesideLinkedName", true,
     [](const QString& db, const QString& out, const QString&) {
         return linked(db + u"-wal"_s, out + u"/wal.link"_s);
     }},
    {"NewFile", false,
     [](const QString&, const QString& out, const QString& suffix) { return out + u"/report."_s + suffix; }},
    {"EarlierFileReplaced", false,
     [](const QString&, const QString& out, const QString& suffix) {
         QFile f(out + u"/report."_s + suffix);
         if (f.open(QIODevice::WriteOnly))
             f.write("an earlier report");
         return f.fileName();
     }},
    {"SymlinkToOrdinaryFile", false,
     [](const QString&, const QString& out, const QString& suffix) {
         return linked(out + u"/real."_s + suffix, out + u"/report."_s + suffix);
     }},
};

// What writes the output: a velmora-cli command, the windows' 导出, or a backup.
enum class Via { Cli, WindowExport, Backup };
struct Writer {
    const char* name;
    Via via;
    const char* suffix;
    QStringList args; // velmora-cli arguments before --output
    QByteArray magic; // how a written file begins
};

const Writer kWriters[] = {
    {"ListCsv",
     Via::Cli,
     "csv",
     {u"list"_s, u"公司车辆台账清单"_s, u"--today"_s, u"2026-03-01"_s, u"--format"_s, u"csv"_s},
     "\xEF\xBB\xBF"},
    {"ListJson",
     Via::Cli,
     "json",
     {u"list"_s, u"公司车辆台账清单"_s, u"--today"_s, u"2026-03-01"_s, u"--format"_s, u"json"_s},
     "{"},
    {"ListXlsx",
     Via::Cli,
     "xlsx",
     {u"list"_s, u"公司车辆台账清单"_s, u"--today"_s, u"2026-03-01"_s, u"--format"_s, u"xlsx"_s},
     "PK"},
    {"ListPdf",
     Via::Cli,
     "pdf",
     {u"list"_s, u"公司车辆台账清单"_s, u"--today"_s, u"2026-03-01"_s, u"--format"_s, u"pdf"_s},
     "%PDF"},
    {"FeesCsv",
     Via::Cli,
     "csv",
     {u"fees"_s, u"--from"_s, u"2026-01-01"_s, u"--to"_s, u"2026-12-31"_s, u"--format"_s, u"csv"_s},
     "\xEF\xBB\xBF"},
    {"ClaimsXlsx",
     Via::Cli,
     "xlsx",
     {u"claims"_s, u"--from"_s, u"2026-01-01"_s, u"--to"_s, u"2026-12-31"_s, u"--format"_s, u"xlsx"_s},
     "PK"},
    {"WindowExportXlsx", Via::WindowExport, "xlsx", {}, "PK"},
    {"WindowExportPdf", Via::WindowExport, "pdf", {}, "%PDF"},
    {"Backup", Via::Backup, "mdb", {u"backup"_s}, {}},
};

class OutputPathTest : public CliTest, public testing::WithParamInterface<std::tuple<PathCase, Writer>> {};

TEST_P(OutputPathTest, RefusesTheDatabaseAndWritesWholeFilesElsewhere) {
    const auto& [path, writer] = GetParam();
    const QString out = QDir(dataDir()).filePath(u"out"_s);
    ASSERT_TRUE(QDir().mkpath(out));
    const QString target = path.make(dbPath(), out, QString::fromLatin1(writer.suffix));
    const QStringList outBefore = QDir(out).entryList(QDir::Files | QDir::System);
    const std::string before = Sha256(dbPath());

    bool ok = false;
    QString said;
    if (writer.via == Via::WindowExport) {
        dialogs.files.push_back(target);
        report::ReportTable table;
        table.title = u"清单"_s;
        table.setText(0, 0, u"主车牌号"_s);
        table.setText(1, 0, u"京A001"_s);
        ok = ui::ExportReport(table);
        said = dialogs.shown.join(u'\n');
        EXPECT_EQ(dialogs.shown.size(), 1);
    } else {
        QStringList args = writer.args;
        if (writer.via == Via::Cli)
            args << u"--output"_s;
        const Outcome o = run(args << target);
        ok = o.status == 0;
        said = o.err;
        if (path.refused) {
            EXPECT_EQ(o.status, 1) << said.toStdString();
        }
    }

    EXPECT_EQ(Sha256(dbPath()), before) << "the database changed";
    EXPECT_EQ(strayFiles(dataDir(), {store::kDatabaseFileName}), QStringList()) << said.toStdString();
    if (path.refused) {
        EXPECT_FALSE(ok);
        EXPECT_FALSE(said.isEmpty());
        EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::System), outBefore);
        return;
    }
    ASSERT_TRUE(ok) << said.toStdString();
    QFile written(target);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    if (!writer.magic.isEmpty()) {
        EXPECT_TRUE(bytes.startsWith(writer.magic)) << bytes.left(16).toHex().toStdString();
    }
    EXPECT_GT(bytes.size(), 20);
    // Only the report itself is new: no temporary is left beside it; a link stays a link.
    QStringList expected = outBefore;
    if (!expected.contains(QFileInfo(target).fileName()))
        expected << QFileInfo(target).fileName();
    if (QFileInfo(target).isSymLink())
        expected << QFileInfo(QFileInfo(target).symLinkTarget()).fileName();
    EXPECT_EQ(strayFiles(out, expected), QStringList());
    if (QString::fromLatin1(path.name) == u"SymlinkToOrdinaryFile"_s) {
        EXPECT_TRUE(QFileInfo(target).isSymLink());
    }
}

INSTANTIATE_TEST_SUITE_P(PathsAndWriters, OutputPathTest,
                         testing::Combine(testing::ValuesIn(kPaths), testing::ValuesIn(kWriters)),
                         [](const testing::TestParamInfo<OutputPathTest::ParamType>& p) {
                             return std::string(std::get<0>(p.param).name) + "_" + std::get<1>(p.param).name;
                         });

// A full disk (a small file system with no block left, or where this process may not mount one,
// a limit on the size of files the child may write): the export fails with the reason, an
// earlier file keeps its content and no temporary is left.
TEST_F(CliTest, FullDiskLeavesTheEarlierFileAndNoTemporary) {
    cli_test::SmallDisk disk;
    const QString out = disk.mounted() ? disk.path() : QDir(dataDir()).filePath(u"out"_s);
    ASSERT_TRUE(QDir().mkpath(out));
    for (const char* format : {"pdf", "xlsx", "csv"}) {
        const QString target = out + u"/ledger."_s + QString::fromLatin1(format);
        {
            QFile earlier(target);
            ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
            earlier.write("earlier");
        }
        if (disk.mounted())
            disk.fill();
        const QStringList args = {u"list"_s,     u"公司车辆台账清单"_s,       u"--today"_s,  u"2026-03-01"_s,
                                  u"--format"_s, QString::fromLatin1(format), u"--output"_s, target};
        // 2 blocks of 512 bytes: more than the earlier file, less than a PDF or a workbook.
        const Outcome o = disk.mounted() ? run(args) : runChild(args, false, u"ulimit -f 2; trap '' XFSZ"_s);
        QFile::remove(out + u"/filler"_s);
        if (!disk.mounted() && QString::fromLatin1(format) == u"csv"_s)
            continue; // a CSV this small fits under the limit
        EXPECT_EQ(o.status, 1) << format << o.err.toStdString();
        EXPECT_TRUE(o.err.contains(u"写入失败"_s)) << o.err.toStdString();
        if (disk.mounted()) {
            EXPECT_TRUE(o.err.contains(u"磁盘已满"_s)) << o.err.toStdString();
        }
        QFile earlier(target);
        ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
        EXPECT_EQ(earlier.readAll(), QByteArray("earlier")) << format;
        EXPECT_EQ(strayFiles(out, {u"ledger.pdf"_s, u"ledger.xlsx"_s, u"ledger.csv"_s}), QStringList()) << format;
    }
}

// Stale temporaries: a killed backup, upgrade, init or migrate leaves "<target>.XXXXXX.part" and
// its journal; the next one of the same target removes those older than an hour and nothing else.
enum class Writes { Backup, Upgrade, Init, Migrate };
struct StaleCase {
    const char* name;
    Writes writes;
};

class StaleTemporaryTest : public CliTest, public testing::WithParamInterface<StaleCase> {};

TEST_P(StaleTemporaryTest, NextRunRemovesItsOwnOldTemporariesOnly) {
    const Writes writes = GetParam().writes;
    const QString folder = writes == Writes::Upgrade ? dataDir() : QDir(dataDir()).filePath(u"copies"_s);
    ASSERT_TRUE(QDir().mkpath(folder));
    // The upgrade writes its copy only for a file in the older layout.
    if (writes == Writes::Upgrade) {
        QFile::remove(dbPath());
        ASSERT_TRUE(store::CreateDatabase(dbPath(), nullptr, store::TableLayout::ImagesAmongColumns));
    }
    const QString name = writes == Writes::Upgrade ? store::kUpgradeBackupFileName
                         : writes == Writes::Init  ? store::kDatabaseFileName
                                                   : u"nightly.mdb"_s;
    const QStringList stale = {name + u".Ab3dE9.part"_s, name + u".Ab3dE9.part-journal"_s, name + u".zz0000.part"_s};
    const QStringList kept = {
        name + u".Fresh1.part"_s,      // a writer running now
        name + u".Ab3dE.part"_s,       // not the pattern: five characters
        name + u".Ab3dE9.part.keep"_s, // not the pattern: more after it
        u"other.mdb.Ab3dE9.part"_s,    // another target's
        name + u".Ab3dE9.new"_s,       // not a temporary of this writer
        u"notes.txt"_s,
    };
    const time_t old = time(nullptr) - time_t(2) * 3600;
    for (const QString& file : stale + kept) {
        QFile f(QDir(folder).filePath(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
        f.close();
        if (!file.contains(u"Fresh"_s)) {
            const utimbuf times{old, old};
            ASSERT_EQ(::utime(QFile::encodeName(f.fileName()).constData(), &times), 0);
        }
    }
    const QString target = QDir(folder).filePath(name);
    Outcome o;
    switch (writes) {
    case Writes::Backup:
        o = run({u"backup"_s, target});
        break;
    case Writes::Upgrade:
        o = run({u"upgrade"_s});
        break;
    case Writes::Init:
        o = run({u"init"_s, u"--data-dir"_s, folder});
        break;
    case Writes::Migrate:
        o = run({u"migrate"_s, u"--from-file"_s, dbPath(), u"--database"_s, target});
        break;
    }
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    QStringList expected = kept;
    expected << name;
    if (writes == Writes::Upgrade)
        expected << store::kDatabaseFileName;
    EXPECT_EQ(strayFiles(folder, expected), QStringList());
    for (const QString& file : kept)
        EXPECT_TRUE(QFile::exists(QDir(folder).filePath(file))) << file.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Writers, StaleTemporaryTest,
                         testing::Values(StaleCase{"Backup", Writes::Backup}, StaleCase{"Upgrade", Writes::Upgrade},
                                         StaleCase{"Init", Writes::Init}, StaleCase{"Migrate", Writes::Migrate}),
                         [](const testing::TestParamInfo<StaleCase>& p) { return std::string(p.param.name); });

// A copy that fails (a page of the database damaged) removes its own temporary and journal at
// once; the earlier copy stays. The upgrade writes its copy through the same routine before it
// changes anything.
struct FailedCopyCase {
    const char* name;
    bool upgrade;
};

class FailedCopyTest : public CliTest, public testing::WithParamInterface<FailedCopyCase> {};

// Overwrites bytes [from, from + count) of a file with garbage.
void damage(const QString& path, qint64 from, qint64 count) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.seek(from));
    f.write(QByteArray(count, '\x5a'));
}

TEST_P(FailedCopyTest, LeavesNothingBehind) {
    const bool upgrade = GetParam().upgrade;
    QString source = QDir(dataDir()).filePath(u"damaged.mdb"_s);
    QString folder = QDir(dataDir()).filePath(u"copies"_s);
    QString copy = folder + u"/copy.mdb"_s;
    QStringList args = {u"backup"_s, copy, u"--database"_s, source};
    if (upgrade) {
        // A file in the older layout whose last page, an overflow page of a long owner's name,
        // is read by nothing before the copy.
        source = dbPath();
        folder = dataDir();
        copy = QDir(dataDir()).filePath(store::kUpgradeBackupFileName);
        args = {u"upgrade"_s};
        QFile::remove(dbPath());
        ASSERT_TRUE(store::CreateDatabase(dbPath(), nullptr, store::TableLayout::ImagesAmongColumns));
        {
            store::DatabaseConnection old;
            ASSERT_TRUE(old.OpenDatabaseFile(dbPath(), store::kDatabasePassword, store::ConnectionSharing::Private));
            alerts_test::Fleet fleet(old);
            fleet.vehicle(u"京A001"_s);
            fleet.row(u"京A001"_s, {{u"车主姓名"_s, QString(20000, u'长')}});
        }
        damage(dbPath(), QFileInfo(dbPath()).size() - 2048, 1024);
    } else {
        ASSERT_TRUE(QFile::copy(dbPath(), source));
        damage(source, 2048, 4096);
    }
    ASSERT_TRUE(QDir().mkpath(folder));
    {
        QFile earlier(copy);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("yesterday's copy");
    }
    const std::string before = Sha256(source);
    const Outcome o = run(args);
    EXPECT_EQ(o.status, 1) << o.err.toStdString();
    // The copy itself failed, not a read before it.
    EXPECT_TRUE(o.err.contains(u"复制数据库失败"_s)) << o.err.toStdString();
    EXPECT_EQ(Sha256(source), before);
    QStringList expected = {QFileInfo(copy).fileName()};
    if (upgrade)
        expected << store::kDatabaseFileName;
    EXPECT_EQ(strayFiles(folder, expected), QStringList());
    QFile earlier(copy);
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), QByteArray("yesterday's copy"));
}

INSTANTIATE_TEST_SUITE_P(BackupAndUpgrade, FailedCopyTest,
                         testing::Values(FailedCopyCase{"Backup", false}, FailedCopyCase{"Upgrade", true}),
                         [](const testing::TestParamInfo<FailedCopyCase>& p) { return std::string(p.param.name); });

} // namespace
