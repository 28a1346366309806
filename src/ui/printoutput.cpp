#include "ui/printoutput.h"

#include "store/outputfile.h"
#include "ui/dialogs.h"

#include <QPaintEngine>
#include <QPrinter>

using namespace Qt::StringLiterals;

namespace ui {

bool RenderToPrinter(QPrinter& printer, QWidget* parent, const std::function<bool(QPrinter&)>& render) {
    const QString target = printer.outputFileName();
    // The preview dialog paints its pages through the same printer with the preview's own engine
    // in place of the PDF writer; only the PDF writer opens the file.
    const QPaintEngine* engine = printer.paintEngine();
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat && !target.isEmpty() && engine &&
                        engine->type() == QPaintEngine::Pdf;
    if (!toFile)
        return render(printer);
    QString error;
    const bool written = store::WriteOutputFile(
        target,
        [&](const QString& temp, QString* why) {
            printer.setOutputFileName(temp);
            const bool rendered = render(printer);
            printer.setOutputFileName(target);
            if (!rendered)
                *why = u"无法写入 PDF 文件"_s;
            return rendered;
        },
        &error);
    if (!written)
        MessageBox(u"打印失败！\n"_s + error, Buttons::Ok, {}, parent);
    return written;
}

} // namespace ui
