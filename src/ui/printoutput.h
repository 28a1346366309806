#pragma once

#include <functional>

class QPrinter;
class QWidget;

namespace ui {

// Runs render on printer as the print dialog left it; false when nothing was printed.
// The dialog's "print to file" turns the printer into a PDF writer of a file the operator names,
// which Qt would otherwise write in place, over whatever is there (the database included). Such a
// file is written as every output file is (store::WriteOutputFile): never over the open database
// or a file SQLite keeps beside it, and under its name only once the whole document is rendered.
// A refused or failed file is said through the dialog layer ("打印失败！" and the reason); nothing is
// written then. A printer painting a preview renders into the preview whatever its output, so it
// goes straight to render.
bool RenderToPrinter(QPrinter& printer, QWidget* parent, const std::function<bool(QPrinter& printer)>& render);

} // namespace ui
