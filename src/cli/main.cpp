#include "cli/commands.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = application.arguments();
    args.removeFirst();
    const int status = cli::Run(args, out, err);
    out.flush();
    err.flush();
    return status;
}
