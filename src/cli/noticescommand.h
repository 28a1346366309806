#pragma once

#include <QStringList>
#include <QTextStream>

namespace cli {

// velmora-cli notices [--today YYYY-MM-DD] [--list TITLE] [--format pdf|csv] [--output FILE]
// [--no-fees] [--data-dir DIR] [--database URL]: the owner notices as the list window prints them. Read-only.
int NoticesCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace cli
