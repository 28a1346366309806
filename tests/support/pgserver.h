#pragma once

#include <QString>

#include <memory>

namespace testing_support {

// Where a test's data lives: the encrypted file or a database on the test server.
enum class Engine { File, Server };
const char* EngineName(Engine engine);
// File, unless VELMORA_TEST_ENGINE=server.
Engine DefaultEngine();

// A PostgreSQL cluster of the tests, run by tests/support/pgcluster.sh as an unprivileged user
// on a private socket folder and port.
class PgCluster {
public:
    // Starts a cluster of its own; ok() is false (and why() says so) when the server programs
    // are missing or it did not start. Stopped and removed when the object goes.
    PgCluster();
    // Adopts the cluster described by an info file another process started (not stopped here).
    explicit PgCluster(const QString& infoFile);
    ~PgCluster();
    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    bool ok() const { return !port_.isEmpty(); }
    QString why() const { return why_; }
    QString socketDir() const { return socket_; }
    QString port() const { return port_; }

    // key=value text of a database over the Unix socket (no password needed there).
    QString SocketTarget(const QString& database) const;
    // The same database over TCP on 127.0.0.1 as the password role velmora_pw.
    QString TcpTarget(const QString& database) const;
    // Creates an empty database with a name of its own and returns the name.
    QString CreateEmptyDatabase(const QString& owner = {});
    void DropDatabase(const QString& name);
    // Runs sql as the cluster's superuser on database (postgres when empty); false with the reason.
    bool Admin(const QString& sql, const QString& database = {}, QString* error = nullptr);

    // As a crash: the server ends at once; Restart() brings it back on the same port.
    bool Kill();
    bool Restart();

private:
    bool script(const QString& action, QString* output = nullptr);
    bool readInfo();

    QString info_;
    bool owned_ = false;
    QString socket_, port_, user_, why_;
};

// The cluster of this test binary: the one CTest started for the run (VELMORA_TEST_PG_INFO), or
// one of the binary's own, started at the first call and stopped at exit. Null when none can run;
// why then says why.
PgCluster* TestCluster(QString* why = nullptr);

} // namespace testing_support
