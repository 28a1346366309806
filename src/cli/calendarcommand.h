#pragma once

#include <QStringList>
#include <QTextStream>

namespace cli {

// velmora-cli calendar [--today YYYY-MM-DD] [--months N] [--output FILE] [--data-dir DIR]: the
// due dates of the next N months as an iCalendar file. Read-only.
int CalendarCommand(QStringList args, QTextStream& out, QTextStream& err);

} // namespace cli
