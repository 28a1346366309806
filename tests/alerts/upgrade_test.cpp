// Files made before the image columns moved last: new files, velmora-cli upgrade, the start-up
// notice, and a failed or killed upgrade that must leave the old file whole.

#include "alerts/rules.h"
#include "cli/commands.h"
#include "fleet.h"
#include "store/schema.h"
#include "store/upgrade.h"
#include "support/testsupport.h"
#include "ui/dialogs.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <map>
#include <string>

#include <sys/stat.h>

#ifndef SQLITE_HAS_CODEC
#define SQLITE_HAS_CODEC 1
#endif
#include <sqlite3.h>

using namespace Qt::StringLiterals;
using alerts_test::Fleet;

namespace {

const QDate kMay{2026, 5, 1};
const QStringList kImageColumns = {u"车主身份证信息"_s, u"车辆照片信息"_s, u"车辆照片信息2"_s, u"行车证信息1"_s,
                                   u"行车证信息2"_s};

// A raw keyed, read-only connection to a file; one for many queries, as each open derives the key.
class RawConnection {
public:
    explicit RawConnection(const QString& path) {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, SQLITE_OPEN_READONLY, nullptr);
        const QByteArray key = store::kDatabasePassword.toUtf8();
        sqlite3_key(db_, key.constData(), int(key.size()));
    }
    ~RawConnection() { sqlite3_close(db_); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    // A query's rows as text.
    QList<QStringList> rows(const QString& sql) const {
        QList<QStringList> out;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.toUtf8().constData(), -1, &stmt, nullptr) == SQLITE_OK) {
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                QStringList row;
                for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
                    row << (text ? QString::fromUtf8(text) : u"<null>"_s);
                }
                out << row;
            }
        } else {
            out << QStringList{u"<error> "_s + QString::fromUtf8(sqlite3_errmsg(db_))};
        }
        sqlite3_finalize(stmt);
        return out;
    }

private:
    sqlite3* db_ = nullptr;
};

QList<QStringList> rawRows(const QString& path, const QString& sql) {
    return RawConnection(path).rows(sql);
}

QStringList storedColumns(const RawConnection& c, const QString& table) {
    QStringList names;
    for (const QStringList& row : c.rows(u"PRAGMA table_info(\""_s + table + u"\")"_s))
        names << row.value(1);
    return names;
}

QStringList storedColumns(const QString& path, const QString& table) {
    return storedColumns(RawConnection(path), table);
}

class UpgradeTest : public testing_support::DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        // The fixture's file, remade in the layout of older files.
        ASSERT_TRUE(QFile::remove(dbPath()));
        QString error;
        ASSERT_TRUE(store::CreateDatabase(dbPath(), &error, store::TableLayout::ImagesAmongColumns))
            << error.toStdString();
        Fleet fleet(db());
        fleet.vehicle(u"京U001"_s);
        fleet.inspection(u"京U001"_s, QDate(2026, 1, 10)); // lapsed three months: a flag
        fleet.insurance(u"京U001"_s, QDate(2026, 5, 20), QDate(2026, 6, 2));
        fleet.vehicle(u"京U002"_s, u"2"_s);
        fleet.maintenance(u"京U002"_s, QDate(2026, 6, 15));
        fleet.vehicle(u"京U003"_s);
        fleet.managementFee(u"京U003"_s, QDate(2026, 4, 1));
        fleet.operatingPermit(u"京U003"_s, QDate(2026, 2, 1));
        fleet.vehicleWithout(u"京U004"_s, u"是否提醒二维"_s);
        fleet.maintenance(u"京U004"_s, QDate(2026, 5, 3));
        // Images on the first rows, as the archive stores them.
        for (const QString& plate : {u"京U001"_s, u"京U003"_s}) {
            QList<QByteArray> images;
            for (int i = 0; i < 5; ++i)
                images << QByteArray(3000 + 1000 * i, char('a' + i)) + plate.toUtf8();
            images[3] = QByteArray(); // one column stays empty
            ASSERT_TRUE(db().ExecuteWithBinaries(u"update "_s + plate +
                                                     u" set [车主身份证信息]=?,[车辆照片信息]=?,[车辆照片信息2]=?,"
                                                     "[行车证信息1]=?,[行车证信息2]=? where [编号]=1"_s,
                                                 images))
                << db().LastError().toStdString();
        }
        // Deleted rows leave the counter above the highest 编号 kept.
        fleet.inspection(u"京U003"_s, QDate(2026, 8, 1));
        fleet.inspection(u"京U003"_s, QDate(2026, 9, 1));
        fleet.run(u"delete from 京U003 where [编号]>=4"_s);
        fleet.run(u"create index 京U002_审车 on 京U002 ([下次审车日期])"_s);
    }

    // Every value of every table but sqlite_master, with each table's counter: what the upgrade
    // must keep. Columns are listed by name, so the stored order does not show.
    std::map<std::string, std::string> contents(const QString& path) {
        const RawConnection raw(path);
        std::map<std::string, std::string> out;
        for (const QStringList& t : raw.rows(u"SELECT name FROM sqlite_master WHERE type='table'"_s)) {
            QStringList columns = storedColumns(raw, t.at(0));
            columns.sort();
            QStringList quotedColumns;
            for (const QString& c : columns)
                quotedColumns << u"quote(\""_s + c + u"\")"_s;
            QStringList lines;
            for (const QStringList& row :
                 raw.rows(u"SELECT "_s + quotedColumns.join(u',') + u" FROM \""_s + t.at(0) + u"\" ORDER BY rowid"_s))
                lines << QString::fromLatin1(
                    QCryptographicHash::hash(row.join(u'|').toUtf8(), QCryptographicHash::Sha1).toHex());
            out[t.at(0).toStdString()] = (columns.join(u',') + u"\n"_s + lines.join(u'\n')).toStdString();
        }
        for (const QStringList& s : raw.rows(u"SELECT name, seq FROM sqlite_sequence"_s))
            out[(u"seq:"_s + s.at(0)).toStdString()] = s.at(1).toStdString();
        for (const QStringList& s : raw.rows(u"SELECT name, tbl_name FROM sqlite_master WHERE type='index' "
                                             "AND sql IS NOT NULL"_s))
            out[(u"index:"_s + s.at(0)).toStdString()] = s.at(1).toStdString();
        return out;
    }

    bool imagesLastEverywhere(const QString& path) {
        for (const QString& table : {u"yangbiao"_s, u"京U001"_s, u"京U002"_s, u"京U003"_s, u"京U004"_s}) {
            const QStringList columns = storedColumns(path, table);
            if (columns.size() < 90 || store::ImagesBeforeOtherColumns(columns))
                return false;
        }
        return true;
    }

    int runCli(const QStringList& args, QString* outText = nullptr, QString* errText = nullptr) {
        QString o, e;
        QTextStream out(&o), err(&e);
        const int rc = cli::Run(args, out, err);
        if (outText)
            *outText = o;
        if (errText)
            *errText = e;
        return rc;
    }
};

} // namespace

TEST(NewDatabaseLayout, StoresTheImageColumnsLastAndVehicleTablesCopyIt) {
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(store::kDatabaseFileName);
    ASSERT_TRUE(store::CreateDatabase(path));
    const QStringList columns = storedColumns(path, u"yangbiao"_s);
    ASSERT_EQ(columns.size(), 96);
    EXPECT_EQ(columns.mid(91), kImageColumns);
    EXPECT_FALSE(store::ImagesBeforeOtherColumns(columns));
    QStringList sorted = columns, expected;
    for (const store::ColumnDef& c : store::VehicleColumns())
        expected << c.name;
    sorted.sort();
    expected.sort();
    EXPECT_EQ(sorted, expected);

    store::DatabaseConnection db;
    ASSERT_TRUE(db.OpenDatabaseFile(path, store::kDatabasePassword));
    EXPECT_FALSE(store::HasOldTableLayout(db));
    Fleet(db).vehicle(u"京N001"_s);
    db.CloseDatabase();
    EXPECT_EQ(storedColumns(path, u"京N001"_s), columns);

    // The older layout, as files made before the change have it.
    const QString old = QDir(dir.path()).filePath(u"old.mdb"_s);
    ASSERT_TRUE(store::CreateDatabase(old, nullptr, store::TableLayout::ImagesAmongColumns));
    EXPECT_TRUE(store::ImagesBeforeOtherColumns(storedColumns(old, u"yangbiao"_s)));
    ASSERT_TRUE(db.OpenDatabaseFile(old, store::kDatabasePassword));
    EXPECT_TRUE(store::HasOldTableLayout(db));
}

TEST_F(UpgradeTest, KeepsEveryValueImageNumberCounterAndKeyAndTheRefreshAgrees) {
    const alerts::AlertResult before = alerts::ComputeAlerts(db(), kMay);
    ASSERT_GT(before.flagUpdates, 0);
    db().CloseDatabase();
    const std::map<std::string, std::string> kept = contents(dbPath());
    ASSERT_FALSE(imagesLastEverywhere(dbPath()));
    ASSERT_TRUE(kept.count("seq:京U003"));
    ASSERT_TRUE(kept.count("index:京U002_审车"));

    QString out, err;
    ASSERT_EQ(runCli({u"upgrade"_s, u"--data-dir"_s, dataDir()}, &out, &err), 0) << err.toStdString();
    EXPECT_TRUE(out.contains(u"升级完成"_s)) << out.toStdString();
    EXPECT_TRUE(imagesLastEverywhere(dbPath()));
    EXPECT_EQ(contents(dbPath()), kept);
    EXPECT_EQ(rawRows(dbPath(), u"PRAGMA integrity_check"_s), QList<QStringList>{{u"ok"_s}});
    // The copy written first is the file as it was.
    const QString copy = QDir(dataDir()).filePath(store::kUpgradeBackupFileName);
    ASSERT_TRUE(QFile::exists(copy));
    EXPECT_EQ(contents(copy), kept);
    EXPECT_TRUE(store::ImagesBeforeOtherColumns(storedColumns(copy, u"yangbiao"_s)));

    // Same key, same tree, flags already set; the counter goes on where it was.
    ASSERT_TRUE(db().OpenDatabaseFile(dbPath(), store::kDatabasePassword)) << db().LastError().toStdString();
    EXPECT_FALSE(store::HasOldTableLayout(db()));
    const alerts::AlertResult after = alerts::ComputeAlerts(db(), kMay);
    for (int k = 0; k < alerts::kNodeCount; ++k)
        EXPECT_EQ(after.sets[k], before.sets[k]) << "node " << k;
    EXPECT_EQ(after.messages, before.messages);
    EXPECT_EQ(after.flagUpdates, 0);
    const int seq = std::stoi(kept.at("seq:京U003"));
    Fleet(db()).inspection(u"京U003"_s, QDate(2026, 10, 1));
    const int rs = db().OpenRecordSet(u"select max([编号]) as [n] from 京U003"_s);
    ASSERT_NE(rs, 0);
    EXPECT_EQ(db().ReadField(rs, u"n"_s).number(), seq + 1);
    db().CloseRecordSet(rs);
    // A vehicle added now copies the new template.
    Fleet(db()).vehicle(u"京U005"_s);
    db().CloseDatabase();
    EXPECT_FALSE(store::ImagesBeforeOtherColumns(storedColumns(dbPath(), u"京U005"_s)));

    // A second run finds nothing to do and writes no new copy.
    ASSERT_TRUE(QFile::remove(copy));
    ASSERT_EQ(runCli({u"upgrade"_s, u"--data-dir"_s, dataDir()}, &out, &err), 0) << err.toStdString();
    EXPECT_TRUE(out.contains(u"无需升级"_s)) << out.toStdString();
    EXPECT_FALSE(QFile::exists(copy));
}

TEST_F(UpgradeTest, AStatementThatFailsAnywhereLeavesTheOldFileWhole) {
    alerts::ComputeAlerts(db(), kMay);
    db().CloseDatabase();
    const std::map<std::string, std::string> kept = contents(dbPath());
    const QString copy = QDir(dataDir()).filePath(store::kUpgradeBackupFileName);

    // Count the statements of a whole upgrade without running any, then fail each kind of them
    // in turn: the first, a drop, a rename of a later table, the counter, the commit.
    QStringList statements;
    QString error;
    EXPECT_FALSE(store::UpgradeDatabase(dbPath(), copy, nullptr, &error, [&](const QString& sql) {
        statements << sql;
        return sql.startsWith(u"BEGIN"_s);
    }));
    ASSERT_EQ(statements.size(), 2); // BEGIN ran, the first CREATE was refused
    int total = 0;
    ASSERT_TRUE(QFile::copy(dbPath(), dbPath() + u".probe"_s));
    statements.clear();
    ASSERT_TRUE(store::UpgradeDatabase(dbPath() + u".probe"_s, copy + u".probe"_s, nullptr, &error,
                                       [&](const QString& sql) {
                                           statements << sql;
                                           return true;
                                       }))
        << error.toStdString();
    total = int(statements.size());
    ASSERT_GT(total, 20);
    ASSERT_EQ(statements.last(), u"COMMIT"_s);

    QList<int> failAt = {1, total - 1};
    for (int i = 0; i < total; ++i) {
        if (statements[i].startsWith(u"DROP TABLE"_s) && failAt.size() < 3)
            failAt << i;
        if (statements[i].startsWith(u"INSERT INTO sqlite_sequence"_s))
            failAt << i;
    }
    for (int i = total - 1; i >= 0; --i)
        if (statements[i].startsWith(u"ALTER TABLE"_s)) {
            failAt << i;
            break;
        }
    for (int at : std::as_const(failAt)) {
        int seen = 0;
        store::UpgradeReport report;
        EXPECT_FALSE(
            store::UpgradeDatabase(dbPath(), copy, &report, &error, [&](const QString&) { return seen++ != at; }))
            << "statement " << at;
        EXPECT_EQ(report.tablesRewritten, 0) << "statement " << at;
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(contents(dbPath()), kept) << "statement " << at << ": " << statements[at].toStdString();
        EXPECT_TRUE(store::ImagesBeforeOtherColumns(storedColumns(dbPath(), u"yangbiao"_s)));
        EXPECT_TRUE(store::ImagesBeforeOtherColumns(storedColumns(dbPath(), u"京U004"_s)));
    }
    ASSERT_TRUE(db().OpenDatabaseFile(dbPath(), store::kDatabasePassword));
    EXPECT_TRUE(store::HasOldTableLayout(db()));
}

// The file's modification time and size, to see the first write of a process into it.
struct FileStamp {
    qint64 seconds = 0, nanoseconds = 0, size = -1;
    bool operator==(const FileStamp&) const = default;
};
FileStamp stampOf(const QString& path) {
    struct stat st {};
    if (stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {qint64(st.st_mtim.tv_sec), qint64(st.st_mtim.tv_nsec), qint64(st.st_size)};
}

QByteArray fileHash(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(&file);
    return hash.result();
}

TEST_F(UpgradeTest, AnUpgradeKilledPartWayLeavesTheOldFileWholeAndAnotherRunCompletesIt) {
#ifndef VELMORA_CLI
    GTEST_SKIP() << "velmora-cli's path is not known to this build";
#else
    const QString cli = QStringLiteral(VELMORA_CLI);
    if (!QFileInfo::exists(cli))
        GTEST_SKIP() << "velmora-cli is not built: " << cli.toStdString();

    // Enough vehicles with images that the rewrite outgrows the page cache and writes into the
    // file long before its commit: the kill then lands in a transaction that has changed the file.
    ASSERT_TRUE(db().BeginTransaction());
    Fleet fleet(db());
    for (int v = 0; v < 120; ++v) {
        const QString plate = u"京K%1"_s.arg(100 + v);
        fleet.vehicle(plate, v % 7 == 6 ? u"2"_s : u"1"_s);
        fleet.inspection(plate, QDate(2026, 1 + v % 12, 1 + v % 28));
        fleet.insurance(plate, QDate(2026, 1 + (v + 5) % 12, 3));
        QList<QByteArray> images;
        for (int i = 0; i < 5; ++i)
            images << QByteArray(16000 + 100 * i, char('A' + (v + i) % 26)) + plate.toUtf8();
        ASSERT_TRUE(db().ExecuteWithBinaries(u"update "_s + plate +
                                                 u" set [车主身份证信息]=?,[车辆照片信息]=?,[车辆照片信息2]=?,"
                                                 "[行车证信息1]=?,[行车证信息2]=? where [编号]=1"_s,
                                             images))
            << db().LastError().toStdString();
    }
    ASSERT_TRUE(db().CommitTransaction()) << db().LastError().toStdString();
    alerts::ComputeAlerts(db(), kMay);
    db().CloseDatabase();
    const std::map<std::string, std::string> kept = contents(dbPath());
    ASSERT_GT(kept.size(), 240u);
    const QString journal = dbPath() + u"-journal"_s;
    const QString copy = QDir(dataDir()).filePath(store::kUpgradeBackupFileName);
    ASSERT_FALSE(QFile::exists(journal));
    const FileStamp untouched = stampOf(dbPath());
    const QByteArray untouchedBytes = fileHash(dbPath());

    // Killed well into the rewrite: the file itself has been written to and its journal holds more
    // than 1 MB of the pages the rewrite replaced (tables dropped after their copy, their pages
    // reused for the next ones), so several tables have been rewritten in the transaction.
    QProcess upgrade;
    upgrade.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    upgrade.start(cli, {u"upgrade"_s, u"--data-dir"_s, dataDir()});
    ASSERT_TRUE(upgrade.waitForStarted(10000));
    bool killed = false;
    while (!upgrade.waitForFinished(1)) {
        if (stampOf(journal).size > 1024 * 1024 && !(stampOf(dbPath()) == untouched)) {
            upgrade.kill();
            killed = upgrade.waitForFinished(10000);
            break;
        }
    }
    ASSERT_TRUE(killed) << "the upgrade ended (status " << upgrade.exitCode()
                        << ") without a transaction of 1 MB of journal that had written into the file";
    EXPECT_EQ(upgrade.exitStatus(), QProcess::CrashExit);
    ASSERT_TRUE(QFile::exists(journal)) << "killed after its commit";
    ASSERT_NE(fileHash(dbPath()), untouchedBytes) << "the kill came before the file was written to";
    // The copy was complete before the rewrite began.
    EXPECT_EQ(contents(copy), kept);

    // The next connection finds the journal and rolls the rewrite back.
    ASSERT_TRUE(db().OpenDatabaseFile(dbPath(), store::kDatabasePassword)) << db().LastError().toStdString();
    EXPECT_TRUE(store::HasOldTableLayout(db()));
    db().CloseDatabase();
    EXPECT_FALSE(QFile::exists(journal));
    EXPECT_EQ(contents(dbPath()), kept);
    EXPECT_EQ(rawRows(dbPath(), u"PRAGMA integrity_check"_s), QList<QStringList>{{u"ok"_s}});
    for (const QString& table : {u"yangbiao"_s, u"京K100"_s, u"京K219"_s, u"京U004"_s})
        EXPECT_TRUE(store::ImagesBeforeOtherColumns(storedColumns(dbPath(), table))) << table.toStdString();

    // Run again to its end, it upgrades the file it left.
    QString out, err;
    ASSERT_EQ(runCli({u"upgrade"_s, u"--data-dir"_s, dataDir()}, &out, &err), 0) << err.toStdString();
    EXPECT_TRUE(out.contains(u"升级完成"_s)) << out.toStdString();
    EXPECT_TRUE(imagesLastEverywhere(dbPath()));
    EXPECT_FALSE(store::ImagesBeforeOtherColumns(storedColumns(dbPath(), u"京K219"_s)));
    EXPECT_EQ(contents(dbPath()), kept);
    EXPECT_EQ(rawRows(dbPath(), u"PRAGMA integrity_check"_s), QList<QStringList>{{u"ok"_s}});
#endif
}

TEST_F(UpgradeTest, TheProgramSaysOnceWithoutWaitingThatAnOldFileCanBeUpgraded) {
    store::DatabaseConnection first, second;
    ASSERT_TRUE(ui::OpenWindowDatabase(first));
    ASSERT_TRUE(ui::OpenWindowDatabase(second));
    EXPECT_EQ(dialogs.notices, QStringList{ui::OldLayoutNotice()});
    EXPECT_TRUE(ui::OldLayoutNotice().contains(u"velmora-cli upgrade"_s));
    EXPECT_TRUE(dialogs.shown.isEmpty()); // nothing that waits for an answer
    first.CloseDatabase();
    second.CloseDatabase();

    // An upgraded or new file says nothing.
    db().CloseDatabase();
    ASSERT_EQ(runCli({u"upgrade"_s, u"--data-dir"_s, dataDir()}), 0);
    QTemporaryDir other;
    qputenv("VELMORA_DATA_DIR", other.path().toLocal8Bit());
    ASSERT_TRUE(store::CreateDatabase(store::DatabasePath()));
    store::DatabaseConnection fresh;
    ASSERT_TRUE(ui::OpenWindowDatabase(fresh));
    EXPECT_EQ(dialogs.notices.size(), 1);
}
