#pragma once

#include <QStringList>
#include <QTextStream>

namespace cli {

// velmora-cli alerts [--today YYYY-MM-DD] [--format json|text] [--data-dir DIR]
int AlertsCommand(QStringList args, QTextStream& out, QTextStream& err);

}  // namespace cli
