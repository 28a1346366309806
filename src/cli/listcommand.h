#pragma once

#include <QStringList>
#include <QTextStream>

namespace cli {

// velmora-cli list TITLE [--today YYYY-MM-DD] [--format json|csv|xlsx|pdf] [--output FILE]
//                        [--data-dir DIR]
// velmora-cli list --titles
// Runs the alert refresh, then builds the list exactly as ListWindow does. json and csv go to
// standard output without --output; xlsx and pdf need it. PDF needs a QGuiApplication.
int ListCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace cli
