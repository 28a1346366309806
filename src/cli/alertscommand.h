#pragma once

#include <QStringList>
#include <QTextStream>

namespace cli {

// velmora-cli alerts [--today YYYY-MM-DD] [--format json|text] [--dry-run] [--data-dir DIR]
// With --dry-run nothing is written: the lapse flags the rules set are rolled back.
int AlertsCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace cli
