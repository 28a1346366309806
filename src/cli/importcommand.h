#pragma once

#include <QStringList>
#include <QTextStream>

namespace cli {

// velmora-cli import FILE [--sheet NAME] [--dry-run] [--map 列名=字段]... [--format json|text]
//                          [--today YYYY-MM-DD] [--data-dir DIR] [--database URL]
// Adds the file's rows as vehicles in one transaction; --dry-run checks them and writes nothing.
int ImportCommand(QStringList args, QTextStream& out, QTextStream& err);

} // namespace cli
