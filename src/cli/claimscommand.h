#pragma once

#include <QStringList>
#include <QTextStream>

namespace cli {

// velmora-cli claims --from YYYY-MM-DD --to YYYY-MM-DD [--plate T] [--owner T] [--insurer T]
//                    [--policy T] [--closed all|open|closed] [--format json|csv|xlsx|pdf]
//                    [--output FILE] [--data-dir DIR]
// The claims register with the query and filters of ClaimsWindow, as the grid shows it without
// its entry row. json and csv go to standard output without --output; xlsx and pdf need it.
int ClaimsCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace cli
