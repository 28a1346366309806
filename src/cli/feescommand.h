#pragma once

#include <QStringList>
#include <QTextStream>

namespace cli {

// velmora-cli fees --from YYYY-MM-DD --to YYYY-MM-DD [--plate PLATE] [--item ITEM]
//                  [--format json|csv|xlsx|pdf] [--output FILE] [--data-dir DIR]
int FeesCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace cli
