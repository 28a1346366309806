#include "cli/commands.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char* argv[]) {
    // Reports render PDF pages, which needs fonts and so a GUI application: headless unless a
    // platform is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a session (cron, ssh) Qt falls back to a runtime folder of its own but says so on
    // standard error, where a caller reads our messages: name that same folder quietly.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QByteArray runtime = QFile::encodeName(QDir::tempPath()) + "/runtime-" + qgetenv("USER");
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
