#include "pgserver.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>

#include <libpq-fe.h>

using namespace Qt::StringLiterals;

namespace testing_support {

const char* EngineName(Engine engine) {
    return engine == Engine::Server ? "Server" : "File";
}

Engine DefaultEngine() {
    static const Engine engine = qgetenv("VELMORA_TEST_ENGINE") == "server" ? Engine::Server : Engine::File;
    return engine;
}

namespace {
QString scriptPath() {
    return QString::fromUtf8(VELMORA_PGCLUSTER_SCRIPT);
}

} // namespace

PgCluster::PgCluster() : owned_(true) {
    // The info file lives in a folder of this object's own; the cluster's folder is the script's.
    info_ = QDir(QDir::tempPath()).filePath(u"velmora-pg-%1.info"_s.arg(QUuid::createUuid().toString(QUuid::Id128)));
    QString output;
    if (!script(u"start"_s, &output)) {
        why_ = u"the test cluster did not start: "_s + output;
        return;
    }
    if (!readInfo())
        why_ = output.isEmpty() ? u"the test cluster did not start"_s : output.trimmed();
}

PgCluster::PgCluster(const QString& infoFile) : info_(infoFile) {
    if (!readInfo())
        why_ = u"no test cluster described in "_s + infoFile;
}

PgCluster::~PgCluster() {
    if (owned_)
        script(u"stop"_s);
}

bool PgCluster::script(const QString& action, QString* output) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(u"bash"_s, {scriptPath(), action, info_});
    const bool finished = p.waitForFinished(60000);
    if (output)
        *output = QString::fromUtf8(p.readAll());
    return finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool PgCluster::readInfo() {
    QFile f(info_);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QString l = QString::fromUtf8(line);
        if (l.startsWith(u"socket="_s))
            socket_ = l.mid(7);
        else if (l.startsWith(u"port="_s))
            port_ = l.mid(5);
        else if (l.startsWith(u"user="_s))
            user_ = l.mid(5);
    }
    return !socket_.isEmpty() && !port_.isEmpty();
}

QString PgCluster::SocketTarget(const QString& database) const {
    return u"host=%1 port=%2 user=%3 dbname=%4"_s.arg(socket_, port_, user_, database);
}

QString PgCluster::TcpTarget(const QString& database) const {
    return u"postgresql://velmora_pw@127.0.0.1:%1/%2"_s.arg(port_, database);
}

bool PgCluster::Admin(const QString& sql, const QString& database, QString* error) {
    const QByteArray target = SocketTarget(database.isEmpty() ? u"postgres"_s : database).toUtf8();
    PGconn* conn = PQconnectdb(target.constData());
    bool ok = PQstatus(conn) == CONNECTION_OK;
    if (ok) {
        PQsetNoticeProcessor(
            conn, [](void*, const char*) {}, nullptr);
        PGresult* r = PQexec(conn, sql.toUtf8().constData());
        ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
        PQclear(r);
    }
    if (!ok && error)
        *error = QString::fromUtf8(PQerrorMessage(conn));
    PQfinish(conn);
    return ok;
}

QString PgCluster::CreateEmptyDatabase(const QString& owner) {
    static QAtomicInt counter;
    const QString name = u"t%1_%2_%3"_s.arg(QCoreApplication::applicationPid())
                             .arg(counter.fetchAndAddRelaxed(1))
                             .arg(QUuid::createUuid().toString(QUuid::Id128).left(8));
    QString error;
    const QString ownerClause = owner.isEmpty() ? QString() : u" OWNER "_s + owner;
    if (!Admin(u"CREATE DATABASE "_s + name + ownerClause + u" TEMPLATE template0"_s, {}, &error))
        return {};
    return name;
}

void PgCluster::DropDatabase(const QString& name) {
    if (!name.isEmpty())
        Admin(u"DROP DATABASE IF EXISTS "_s + name + u" WITH (FORCE)"_s);
}

bool PgCluster::Kill() {
    return script(u"kill"_s);
}

bool PgCluster::Restart() {
    return script(u"restart"_s);
}

PgCluster* TestCluster(QString* why) {
    static std::unique_ptr<PgCluster> cluster = [] {
        // Stopped with the application object, while processes can still be run and waited for.
        qAddPostRoutine([] { cluster.reset(); });
        const QString info = QString::fromLocal8Bit(qgetenv("VELMORA_TEST_PG_INFO"));
        if (!info.isEmpty() && QFile::exists(info)) {
            auto shared = std::make_unique<PgCluster>(info);
            if (shared->ok() && shared->Admin(u"SELECT 1"_s))
                return shared;
        }
        return std::make_unique<PgCluster>();
    }();
    if (!cluster->ok()) {
        if (why)
            *why = cluster->why();
        return nullptr;
    }
    return cluster.get();
}

} // namespace testing_support
