#pragma once

#include "alerts/fleet.h"
#include "claims/claims.h"
#include "cli/commands.h"
#include "support/testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace cli_test {

struct Outcome {
    int status = -1;
    QString out, err;
};

inline std::string Sha256(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex().toStdString();
}

// A small file system of its own, mounted where this process may mount one (root in most
// containers): a disk that can be filled. Unmounted when it goes.
class SmallDisk {
public:
    SmallDisk() {
        mounted_ = dir_.isValid() && QProcess::execute(u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=256k"_s,
                                                                    u"tmpfs"_s, dir_.path()}) == 0;
    }
    ~SmallDisk() {
        if (mounted_)
            QProcess::execute(u"umount"_s, {u"-l"_s, dir_.path()});
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }
    QString path() const { return dir_.path(); }
    // Takes up every free block with one file.
    void fill() {
        QFile filler(dir_.path() + u"/filler"_s);
        if (!filler.open(QIODevice::WriteOnly))
            return;
        const QByteArray block(1024, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};

// A data directory with a small fleet: two vehicles in service, one of them three months overdue
// for its inspection in May 2026 (a lapse flag due), and a claim.
class CliTest : public testing_support::DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        alerts_test::Fleet fleet(db());
        fleet.vehicle(u"京A001"_s);
        fleet.run(u"update 京A001 set 车主姓名='张三' where 主车牌号='京A001'"_s);
        fleet.inspection(u"京A001"_s, QDate(2026, 2, 10));
        fleet.vehicle(u"京A002"_s);
        fleet.inspection(u"京A002"_s, QDate(2026, 6, 10));
        claim(newClaim(u"2026-03-01"_s, u"京A001"_s, u"张三"_s, u"800"_s));
    }
    void TearDown() override {
        qunsetenv("VELMORA_DATABASE");
        DataDirTest::TearDown();
    }

    static claims::Claim newClaim(const QString& date, const QString& plate, const QString& owner,
                                  const QString& amount) {
        claims::Claim c;
        c.date = date;
        c.plate = plate;
        c.owner = owner;
        c.amount = amount;
        return c;
    }
    void claim(const claims::Claim& c) { ASSERT_TRUE(claims::InsertClaim(db(), c)) << db().LastError().toStdString(); }

    // The command in this process, as velmora-cli runs it.
    Outcome run(const QStringList& args) {
        Outcome o;
        {
            QTextStream out(&o.out), err(&o.err);
            o.status = cli::Run(args, out, err);
        }
        // A command's --data-dir or --database must not leak into the next one.
        qputenv("VELMORA_DATA_DIR", dataDir().toLocal8Bit());
        qunsetenv("VELMORA_DATABASE");
        return o;
    }

    // velmora-cli as a child process; as the unprivileged user "nobody" when asked and this
    // process is root (root writes read-only files anyway); under "sh -c PREFIX" when given.
    Outcome runChild(const QStringList& args, bool unprivileged = false, const QString& shellPrefix = {}) {
        QStringList command = {QStringLiteral(VELMORA_CLI)};
        command << args;
        if (!shellPrefix.isEmpty())
            command = QStringList{u"sh"_s, u"-c"_s, shellPrefix + u"; exec \"$0\" \"$@\""_s} + command;
        if (unprivileged && geteuid() == 0)
            command =
                QStringList{u"setpriv"_s, u"--reuid"_s, u"65534"_s, u"--regid"_s, u"65534"_s, u"--clear-groups"_s} +
                command;
        QProcess p;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        environment.insert(u"VELMORA_DATA_DIR"_s, dataDir());
        environment.remove(u"XDG_RUNTIME_DIR"_s);
        p.setProcessEnvironment(environment);
        p.start(command.first(), command.mid(1));
        Outcome o;
        if (!p.waitForFinished(60000))
            return o;
        o.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        o.out = QString::fromUtf8(p.readAllStandardOutput());
        o.err = QString::fromUtf8(p.readAllStandardError());
        return o;
    }

    // Files of dir whose names are not in expected.
    static QStringList strayFiles(const QString& dir, const QStringList& expected) {
        QStringList stray;
        for (const QString& name : QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System))
            if (!expected.contains(name))
                stray << name;
        return stray;
    }
};

} // namespace cli_test
