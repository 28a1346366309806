#include "app/mainwindow.h"
#include "store/migrate.h"
#include "store/schema.h"
#include "store/session.h"
#include "support/testsupport.h"

#include <QAction>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

// Records where each save dialog starts, and answers as the script says.
class RecordingDialogs : public testing_support::ScriptedDialogs {
public:
    QStringList defaults;
    std::optional<QString> saveFile(QWidget* w, const QString& c, const QString& d, const QString& f) override {
        defaults << d;
        return ScriptedDialogs::saveFile(w, c, d, f);
    }
};

class BackupCommandTest : public testing_support::DataDirTest {
protected:
    RecordingDialogs recording;
    void SetUp() override {
        DataDirTest::SetUp();
        ui::SetDialogProvider(&recording);
    }
    std::unique_ptr<app::MainWindow> start() {
        auto w = std::make_unique<app::MainWindow>();
        EXPECT_TRUE(w->initialise([](QWidget*) {
            store::Permissions p;
            p.增删车辆 = p.修改车辆信息 = p.增加车辆信息 = p.费用可见 = p.统计查询 = p.权限设置 = true;
            store::session().OperatorPermissions = p;
            return true;
        }));
        recording.shown.clear();
        return w;
    }
    static void backup(app::MainWindow& w) { w.findChild<QAction*>(u"菜单_备份"_s)->trigger(); }
    static QByteArray digest(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                           : QByteArray();
    }
};

} // namespace

TEST_F(BackupCommandTest, DialogOffersClxxMdbOnTheDesktop) {
    auto w = start();
    recording.files = {std::nullopt};
    backup(*w);
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    ASSERT_EQ(recording.defaults.size(), 1);
    EXPECT_EQ(QFileInfo(recording.defaults.first()).fileName(), u"clxx.mdb"_s);
    EXPECT_EQ(QFileInfo(recording.defaults.first()).absolutePath(), QDir(desktop).absolutePath());
    EXPECT_TRUE(recording.shown.isEmpty());
}

// Backups through the menu while another connection commits: each one is whole.
TEST_F(BackupCommandTest, MenuBackupUnderAWriterIsWholeAndChecked) {
    auto w = start();
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        store::DatabaseConnection c;
        if (!c.OpenDatabaseFile(dbPath(), store::kDatabasePassword))
            return;
        const QString pad(2000, QLatin1Char('y'));
        while (!stop)
            c.ExecuteStatement(u"insert into [报险表]([主车牌号],[备注]) values('京W2','%1')"_s.arg(pad));
    });
    for (int n = 0; n < 5; ++n) {
        const QString target = QDir(dataDir()).filePath(u"menu%1.mdb"_s.arg(n));
        recording.files = {target};
        recording.shown.clear();
        backup(*w);
        EXPECT_EQ(recording.shown, QStringList({u"数据备份成功！"_s}));
        store::DatabaseConnection copy;
        EXPECT_TRUE(copy.OpenDatabaseFile(target, store::kDatabasePassword)) << copy.LastError().toStdString();
    }
    stop = true;
    writer.join();
}

// A copy that fails its check is reported as a failure and replaces nothing.
TEST_F(BackupCommandTest, FailedCheckShowsFailureAndKeepsTheEarlierFile) {
    auto w = start();
    const QString target = QDir(dataDir()).filePath(u"keep.mdb"_s);
    recording.files = {target};
    backup(*w);
    ASSERT_EQ(recording.shown, QStringList({u"数据备份成功！"_s}));
    const QByteArray earlier = digest(target);

    // The database file now read is empty (the data folder points elsewhere).
    QTemporaryDir other;
    QFile empty(QDir(other.path()).filePath(store::kDatabaseFileName));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    qputenv("VELMORA_DATA_DIR", other.path().toLocal8Bit());
    recording.shown.clear();
    recording.files = {target};
    backup(*w);
    ASSERT_EQ(recording.shown.size(), 1);
    EXPECT_TRUE(recording.shown.first().startsWith(u"数据备份失败！\n"_s)) << recording.shown.first().toStdString();
    EXPECT_EQ(digest(target), earlier);
    EXPECT_EQ(QDir(dataDir()).entryList({u"keep.mdb*"_s}, QDir::Files | QDir::Hidden), QStringList({u"keep.mdb"_s}));
}

namespace {

// 文件 → 备份 on a server: the snapshot is written as an ordinary file of the program, table for
// table equal to the server.
class ServerBackupTest : public BackupCommandTest {
protected:
    testing_support::Engine engine() const override { return testing_support::Engine::Server; }
};

TEST_F(ServerBackupTest, MenuBackupWritesTheServerAsAnEncryptedFile) {
    if (!cluster())
        GTEST_SKIP() << "no PostgreSQL server programs";
    ASSERT_TRUE(db().ExecuteStatement(u"insert into [报险表]([报险日期],[主车牌号]) values('2026年5月1日','京W1')"_s));
    auto w = start();
    const QString copy = QDir(dataDir()).filePath(u"服务器备份.mdb"_s);
    recording.files = {copy};
    backup(*w);
    EXPECT_EQ(recording.shown, QStringList({u"数据备份成功！"_s}));
    store::DatabaseConnection file;
    ASSERT_TRUE(file.OpenDatabaseFile(copy, store::kDatabasePassword)) << file.LastError().toStdString();
    QString error;
    const auto fromFile = store::SummariseTables(file, &error);
    const auto fromServer = store::SummariseTables(db(), &error);
    ASSERT_TRUE(fromFile && fromServer) << error.toStdString();
    EXPECT_EQ(*fromFile, *fromServer);
    EXPECT_EQ(fromFile->size(), store::FixedTableNames().size() + 2); // with 车辆版本 and 公司信息
}

} // namespace
