#pragma once

#include <QStringList>
#include <QTextStream>

namespace cli {

// velmora-cli search --by plate|trailer|owner|archive TEXT [--data-dir DIR]
int SearchCommand(const QStringList& args, QTextStream& out, QTextStream& err);
// velmora-cli show PLATE [--today YYYY-MM-DD] [--data-dir DIR]
int ShowCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace cli
