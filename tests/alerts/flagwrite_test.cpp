#include "alerts/rules.h"
#include "cli/commands.h"
#include "fleet.h"
#include "store/session.h"
#include "support/testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTextStream>
#include <QThread>

#include <libpq-fe.h>

#include <cstdlib>
#include <memory>

#ifndef SQLITE_HAS_CODEC
#define SQLITE_HAS_CODEC 1
#endif
#include <sqlite3.h>

#include <unistd.h>

using namespace Qt::StringLiterals;
using alerts::AlertClass;
using alerts::Kind;
using alerts_test::Fleet;

namespace {

const QDate kMay{2026, 5, 1};
const QString kReadOnlyNotice = u"预警标记写入失败：数据库文件只读。"_s;
const QStringList kPlates = {u"京F001"_s, u"京F002"_s, u"京F003"_s};

// A raw second connection to the file, for locks the program's connection never takes alone.
struct RawConnection {
    sqlite3* db = nullptr;
    explicit RawConnection(const QString& path) {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        const QByteArray key = store::kDatabasePassword.toUtf8();
        sqlite3_key(db, key.constData(), int(key.size()));
    }
    ~RawConnection() { sqlite3_close(db); }
    bool exec(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
};

class FlagWriteTest : public testing_support::DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        Fleet fleet(db());
        // Three vehicles whose inspection is three months overdue in May (a flag each) and one
        // that is one month overdue (the Lapsed node, no flag).
        for (const QString& p : kPlates) {
            fleet.vehicle(p);
            fleet.inspection(p, QDate(2026, 2, 10));
        }
        fleet.vehicle(u"京F004"_s);
        fleet.inspection(u"京F004"_s, QDate(2026, 4, 10));
    }
    int flagsSet() {
        int set = 0;
        for (const QString& p : kPlates) {
            const int h = db().OpenRecordSet(u"select [是否脱审] from "_s + p + u" where [是否脱审]=true"_s);
            EXPECT_NE(h, 0) << db().LastError().toStdString();
            set += db().RowCount(h);
            db().CloseRecordSet(h);
        }
        return set;
    }
    // The tree computed in memory, whatever became of the flags.
    void expectTree(const alerts::AlertResult& r) {
        EXPECT_EQ(r.sets[alerts::ClassNode(AlertClass::Lapsed, Kind::Inspection)], QStringList({u"京F004"_s}));
        EXPECT_EQ(r.sets[alerts::kBlacklistNode], kPlates);
        EXPECT_EQ(r.flagsDue, 3);
    }
    // The notice says busy only when another connection holds the lock.
    void expectUnwrittenOnce(const alerts::AlertResult& r, const QString& notice = alerts::kFlagWriteFailedMessage) {
        EXPECT_TRUE(r.flagsUnwritten);
        EXPECT_EQ(r.flagUpdates, 0);
        EXPECT_EQ(r.messages, QStringList({notice}));
        EXPECT_FALSE(r.flagWriteError.isEmpty());
        EXPECT_EQ(flagsSet(), 0);
    }
    struct Cli {
        int status = 0;
        QString outText, errText;
    };
    Cli alertsCommand() {
        Cli c;
        QTextStream out(&c.outText), err(&c.errText);
        c.status = cli::Run({u"alerts"_s, u"--today"_s, u"2026-05-20"_s, u"--data-dir"_s, dataDir()}, out, err);
        qputenv("VELMORA_DATA_DIR", dataDir().toLocal8Bit());
        return c;
    }
};

} // namespace

// Another connection holds the write lock: the refresh waits the busy timeout once, not once per
// flag, writes none of them, still returns the tree, and says so once.
TEST_F(FlagWriteTest, HeldWriteLockCostsOneWaitAndWritesNoFlag) {
    RawConnection holder(dbPath());
    ASSERT_TRUE(holder.exec("BEGIN IMMEDIATE"));
    ASSERT_TRUE(holder.exec("UPDATE 险种名称 SET 险种名称 = 险种名称"));
    constexpr int kTimeoutMs = 1000;
    db().SetBusyTimeout(kTimeoutMs);
    QElapsedTimer clock;
    clock.start();
    const alerts::AlertResult r = alerts::ComputeAlerts(db(), kMay);
    const qint64 elapsed = clock.elapsed();
    EXPECT_GE(elapsed, kTimeoutMs / 2); // it did wait for the lock
    EXPECT_LT(elapsed, 2 * kTimeoutMs);
    expectTree(r);
    ASSERT_TRUE(holder.exec("ROLLBACK"));
    expectUnwrittenOnce(r);

    // Once the lock is gone the same refresh writes all three.
    const alerts::AlertResult again = alerts::ComputeAlerts(db(), kMay);
    expectTree(again);
    EXPECT_FALSE(again.flagsUnwritten);
    EXPECT_EQ(again.flagUpdates, 3);
    EXPECT_TRUE(again.messages.isEmpty());
    EXPECT_EQ(flagsSet(), 3);
}

// A reader that keeps its lock lets the writes begin but not commit: none of them stays.
TEST_F(FlagWriteTest, FailedCommitKeepsNoFlag) {
    RawConnection reader(dbPath());
    ASSERT_TRUE(reader.exec("BEGIN"));
    ASSERT_TRUE(reader.exec("SELECT count(*) FROM 总表"));
    db().SetBusyTimeout(300);
    const alerts::AlertResult r = alerts::ComputeAlerts(db(), kMay);
    ASSERT_TRUE(reader.exec("COMMIT"));
    expectTree(r);
    expectUnwrittenOnce(r);
}

// A read-only file in a read-only folder: no flag is written, the tree is still shown, and the
// command-line refresh says so and exits non-zero. Root may write anyway, so as root the tool
// runs as an unprivileged user.
TEST_F(FlagWriteTest, ReadOnlyFileAndFolderKeepNoFlagAndTheCliFails) {
    const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    const auto folder = readOnly | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    const auto writable = folder | QFileDevice::WriteOwner;
    ASSERT_TRUE(QFile::setPermissions(dbPath(), readOnly));
    ASSERT_TRUE(QFile::setPermissions(dataDir(), folder));
    int status = 0;
    QString outText, errText;
    if (geteuid() == 0) {
        QProcess p;
        // The other user cannot read this process's private screen configuration: plain offscreen.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        p.setProcessEnvironment(environment);
        p.start(u"setpriv"_s,
                {u"--reuid"_s, u"65534"_s, u"--regid"_s, u"65534"_s, u"--clear-groups"_s, QStringLiteral(VELMORA_CLI),
                 u"alerts"_s, u"--today"_s, u"2026-05-20"_s, u"--data-dir"_s, dataDir()});
        ASSERT_TRUE(p.waitForFinished(60000));
        status = p.exitCode();
        outText = QString::fromUtf8(p.readAllStandardOutput());
        errText = QString::fromUtf8(p.readAllStandardError());
    } else {
        store::DatabaseConnection readOnlyConnection;
        ASSERT_TRUE(readOnlyConnection.OpenDatabaseFile(dbPath(), store::kDatabasePassword));
        const alerts::AlertResult r = alerts::ComputeAlerts(readOnlyConnection, kMay);
        expectTree(r);
        expectUnwrittenOnce(r, kReadOnlyNotice);
        const Cli c = alertsCommand();
        status = c.status;
        outText = c.outText;
        errText = c.errText;
    }
    QFile::setPermissions(dataDir(), writable);
    QFile::setPermissions(dbPath(), readOnly | QFileDevice::WriteOwner);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(errText.count(kReadOnlyNotice), 1) << errText.toStdString();
    EXPECT_FALSE(errText.contains(u"正忙"_s)) << errText.toStdString();
    EXPECT_TRUE(outText.contains(u"拉黑车辆（3辆）"_s)) << outText.toStdString();
    EXPECT_EQ(flagsSet(), 0);

    // Writable again, the same command writes the flags and succeeds.
    const Cli ok = alertsCommand();
    EXPECT_EQ(ok.status, 0) << ok.errText.toStdString();
    EXPECT_EQ(flagsSet(), 3);
}

// The command-line refresh under a held write lock reports the failure and exits non-zero.
TEST_F(FlagWriteTest, CliUnderAHeldWriteLockExitsNonZero) {
    RawConnection holder(dbPath());
    ASSERT_TRUE(holder.exec("BEGIN IMMEDIATE"));
    ASSERT_TRUE(holder.exec("UPDATE 险种名称 SET 险种名称 = 险种名称"));
    const Cli c = alertsCommand();
    ASSERT_TRUE(holder.exec("ROLLBACK"));
    EXPECT_EQ(c.status, 1);
    EXPECT_EQ(c.errText.count(alerts::kFlagWriteFailedMessage), 1) << c.errText.toStdString();
    EXPECT_TRUE(c.outText.contains(u"拉黑车辆（3辆）"_s)) << c.outText.toStdString();
    EXPECT_EQ(flagsSet(), 0);
}

// ---- two refreshes at once -----------------------------------------------------------------------

namespace {

// Holds what every refresh reads first (总表) until released: a refresh started meanwhile waits at
// its first read, so that two of them then run side by side.
class MasterTableHold {
public:
    MasterTableHold(const QString& path, testing_support::PgCluster* cluster, const QString& database) {
        if (cluster) {
            const QByteArray target = cluster->SocketTarget(database).toUtf8();
            server_ = PQconnectdb(target.constData());
            held_ = exec("BEGIN") && exec("LOCK TABLE \"总表\" IN ACCESS EXCLUSIVE MODE");
        } else {
            file_ = std::make_unique<RawConnection>(path);
            held_ = file_->exec("BEGIN EXCLUSIVE");
        }
    }
    ~MasterTableHold() {
        release();
        if (server_)
            PQfinish(server_);
    }
    bool held() const { return held_; }
    // Waits until count other sessions wait for the hold (the server tells; the file cannot, so
    // it gives them time to get there).
    void awaitWaiters(int count) {
        if (!server_) {
            QThread::msleep(1500);
            return;
        }
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 20000) {
            // The activity is seen as of the transaction's first look unless that is cleared.
            PGresult* r = PQexec(server_, "SELECT pg_stat_clear_snapshot(); SELECT count(*) FROM pg_stat_activity "
                                          "WHERE wait_event_type = 'Lock' AND datname = current_database()");
            const int waiting = PQresultStatus(r) == PGRES_TUPLES_OK ? std::atoi(PQgetvalue(r, 0, 0)) : -1;
            PQclear(r);
            if (waiting >= count)
                return;
            QThread::msleep(50);
        }
        ADD_FAILURE() << "the refreshes never reached the held table";
    }
    void release() {
        if (!held_)
            return;
        held_ = false;
        if (server_)
            exec("COMMIT");
        else
            file_->exec("COMMIT");
    }

private:
    bool exec(const char* sql) {
        PGresult* r = PQexec(server_, sql);
        const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
        PQclear(r);
        return ok;
    }
    PGconn* server_ = nullptr;
    std::unique_ptr<RawConnection> file_;
    bool held_ = false;
};

class ConcurrentRefreshTest : public testing_support::EngineTest {
protected:
    // Every lapse flag of the fleet, by plate, row and column.
    QMap<QString, bool> flagState(const QStringList& plates) {
        QMap<QString, bool> flags;
        for (const QString& p : plates) {
            const int h =
                db().OpenRecordSet(u"select [编号],[是否脱审],[是否脱维],[是否脱保],[是否脱管],[是否脱营] from "_s + p);
            EXPECT_NE(h, 0) << db().LastError().toStdString();
            for (db().MoveFirst(h); !db().AtEnd(h); db().MoveNext(h))
                for (const char* flag : {"是否脱审", "是否脱维", "是否脱保", "是否脱管", "是否脱营"})
                    flags.insert(p + u"/"_s + db().ReadField(h, u"编号"_s).text() + QString::fromUtf8(flag),
                                 db().ReadField(h, QString::fromUtf8(flag)).yesNo());
            db().CloseRecordSet(h);
        }
        return flags;
    }
};

} // namespace

TEST_P(ConcurrentRefreshTest, TwoAtOnceBothEndAndLeaveOneRefreshsFlags) {
    // Forty vehicles, each with every kind three or more months overdue in May: 200 flags due.
    QStringList plates;
    Fleet fleet(db());
    ASSERT_TRUE(db().BeginTransaction());
    for (int v = 0; v < 40; ++v) {
        const QString p = u"京K%1"_s.arg(100 + v);
        plates << p;
        fleet.vehicle(p);
        fleet.inspection(p, QDate(2026, 1, 9), QDate(2026, 2, 9));
        fleet.maintenance(p, QDate(2025, 12, 9));
        fleet.insurance(p, QDate(2026, 2, 1));
        fleet.managementFee(p, QDate(2025, 6, 9));
        fleet.operatingPermit(p, QDate(2026, 1, 30));
    }
    ASSERT_TRUE(db().CommitTransaction());
    const QMap<QString, bool> before = flagState(plates);
    // What one refresh writes, undone.
    ASSERT_TRUE(db().BeginTransaction());
    const alerts::AlertResult one = alerts::ComputeAlerts(db(), kMay);
    const QMap<QString, bool> flagsOfOne = flagState(plates);
    db().RollbackTransaction();
    ASSERT_EQ(one.flagUpdates, 200);
    ASSERT_EQ(flagState(plates), before);

    MasterTableHold hold(dbPath(), cluster(), serverDatabase());
    ASSERT_TRUE(hold.held());
    QProcess refreshes[2];
    for (QProcess& p : refreshes)
        p.start(QStringLiteral(VELMORA_CLI), {u"alerts"_s, u"--today"_s, u"2026-05-20"_s, u"--format"_s, u"json"_s});
    hold.awaitWaiters(2);
    hold.release();
    QByteArray printed[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(refreshes[i].waitForFinished(60000));
        EXPECT_EQ(refreshes[i].exitCode(), 0) << refreshes[i].readAllStandardError().toStdString();
        printed[i] = refreshes[i].readAllStandardOutput();
    }
    // Both print the tree one refresh computes.
    for (const QByteArray& json : printed) {
        const QJsonArray nodes = QJsonDocument::fromJson(json).object().value(u"nodes"_s).toArray();
        ASSERT_EQ(nodes.size(), alerts::kNodeCount) << json.toStdString();
        for (int k = 0; k < alerts::kNodeCount; ++k) {
            QStringList members;
            for (const QJsonValue m : nodes[k].toObject().value(u"members"_s).toArray())
                members << m.toString();
            EXPECT_EQ(members, one.sets[k]) << "node " << k;
        }
    }
    EXPECT_EQ(one.sets[alerts::kBlacklistNode], plates);
    EXPECT_EQ(flagState(plates), flagsOfOne);
    // Nothing is left due.
    EXPECT_EQ(alerts::ComputeAlerts(db(), kMay, alerts::ReadMode::OneQueryPerTable, alerts::FlagWrites::Skip).flagsDue,
              0);
}

INSTANTIATE_TEST_SUITE_P(Engines, ConcurrentRefreshTest, testing_support::BothEngines(),
                         testing_support::EngineParamName);
