#pragma once

#include <QStringList>
#include <QTextStream>

namespace cli {

// Runs one command of the headless tool. args excludes the program name. Results go to out,
// errors to err; returns the process exit status.
int Run(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace cli
