#include "cli/commands.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>
#include <memory>

int main(int argc, char* argv[])
{
    // The lists render PDF pages, which needs fonts and so a GUI application; headless by default.
    const bool lists = argc > 1 && (QByteArray(argv[1]) == "list" || QByteArray(argv[1]) == "claims");
    std::unique_ptr<QCoreApplication> application;
    if (lists) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = application->arguments();
    args.removeFirst();
    const int status = cli::Run(args, out, err);
    out.flush();
    err.flush();
    return status;
}
