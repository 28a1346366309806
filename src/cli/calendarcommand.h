#pragma once

#include <QStringList>
#include <QTextStream>

namespace cli {

// velmora-cli calendar [--today YYYY-MM-DD] [--months N] [--output FILE] [--data-dir DIR] [--database URL]: the
// due dates of the next N months as an iCalendar file. Read-only.
int CalendarCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace cli
