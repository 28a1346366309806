#include "cli/commands.h"

#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Reports render PDF pages, which needs fonts and so a GUI application: headless unless a
    // platform is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
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
