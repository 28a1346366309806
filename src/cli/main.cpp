#include "cli/commands.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>

#include <pwd.h>
#include <unistd.h>

int main(int argc, char* argv[]) {
    // Reports render PDF pages, which needs fonts and so a GUI application: headless unless a
    // platform is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a session (cron, ssh) Qt falls back to a runtime folder of its own but says so on
    // standard error, where a caller reads our messages: name that same folder quietly.
    // The user is the process's own, not $USER: cron and su may leave that empty or another's, and
    // a folder of another account is refused with the very warning this avoids.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const passwd* account = getpwuid(geteuid());
        const QByteArray user = account && account->pw_name && *account->pw_name ? QByteArray(account->pw_name)
                                                                                 : QByteArray::number(geteuid());
        const QByteArray runtime = QFile::encodeName(QDir::tempPath()) + "/runtime-" + user;
        if (QDir().mkpath(QFile::decodeName(runtime)))
            QFile::setPermissions(QFile::decodeName(runtime), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime);
    }
    QGuiApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = application.arguments();
    args.removeFirst();
    const int status = cli::Run(args, out, err);
    out.flush();
    err.flush();
    return status;
}
