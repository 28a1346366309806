#include "ui/reportprint.h"

#include "report/exports.h"
#include "ui/dialogs.h"
#include "ui/printoutput.h"
#include "ui/reportgrid.h"

#include <QDir>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

PrintDialogHook& printHook() {
    static PrintDialogHook hook;
    return hook;
}

PreviewHook& previewHook() {
    static PreviewHook hook;
    return hook;
}

} // namespace

void SetPrintDialogHook(PrintDialogHook hook) {
    printHook() = std::move(hook);
}

void SetPreviewHook(PreviewHook hook) {
    previewHook() = std::move(hook);
}

bool PrintReport(const report::ReportTable& table, QWidget* parent, const report::RenderOptions& options) {
    QPrinter printer(QPrinter::HighResolution);
    report::PreparePageLayout(table, printer);
    printer.setDocName(table.title);
    bool accepted = false;
    if (printHook()) {
        accepted = printHook()(printer, parent);
    } else {
        QPrintDialog dialog(&printer, parent);
        dialog.setWindowTitle(u"打印"_s);
        accepted = dialog.exec() == QDialog::Accepted;
    }
    if (!accepted)
        return false;
    return RenderToPrinter(printer, parent,
                           [&](QPrinter& target) { return report::RenderReport(table, target, options) > 0; });
}

void PreviewReport(const report::ReportTable& table, QWidget* parent, const report::RenderOptions& options) {
    QPrinter printer(QPrinter::HighResolution);
    report::PreparePageLayout(table, printer);
    printer.setDocName(table.title);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName(u"打印预览"_s);
    dialog.setWindowTitle(u"打印预览"_s);
    // The same slot paints the preview and, after the dialog's own print button, the print.
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&table, options, &dialog](QPrinter* p) {
        RenderToPrinter(*p, &dialog,
                        [&](QPrinter& target) { return report::RenderReport(table, target, options) > 0; });
    });
    if (previewHook())
        previewHook()(dialog);
    else
        dialog.exec();
}

QString ExportFilter() {
    return u"Excel 工作簿 (*.xlsx);;CSV 文件 (*.csv);;PDF 文件 (*.pdf)"_s;
}

QString DefaultExportPath(const report::ReportTable& table) {
    QString name = table.title.isEmpty() ? u"表格"_s : table.title;
    static const QRegularExpression bad(u"[\\\\/:*?\"<>|]"_s);
    name.replace(bad, u"_"_s);
    return QDir(QDir::homePath()).filePath(name + u".xlsx"_s);
}

bool ExportReport(const report::ReportTable& table, QWidget* parent, const report::RenderOptions& options) {
    const std::optional<QString> chosen =
        dialogs().saveFile(parent, u"导出"_s, DefaultExportPath(table), ExportFilter());
    if (!chosen || chosen->isEmpty())
        return false;
    QString path = *chosen;
    if (QFileInfo(path).suffix().isEmpty())
        path += u".xlsx"_s;
    const std::optional<report::ExportFormat> format = report::FormatForPath(path);
    if (!format || *format == report::ExportFormat::Json) {
        MessageBox(u"只能导出为 Excel（.xlsx）、CSV（.csv）或 PDF（.pdf）文件！"_s, Buttons::Ok, {}, parent);
        return false;
    }
    QString error;
    if (!report::WriteReport(table, path, *format, &error, options)) {
        MessageBox(u"导出失败！"_s + (error.isEmpty() ? QString() : u"\n"_s + error), Buttons::Ok, {}, parent);
        return false;
    }
    MessageBox(u"导出成功！"_s, Buttons::Ok, {}, parent);
    return true;
}

void ConnectReportButtons(ReportGrid* grid, QPushButton* print, QPushButton* preview, QPushButton* exportButton,
                          const report::RenderOptions& options) {
    QWidget* window = grid->window();
    if (print)
        QObject::connect(print, &QPushButton::clicked, grid,
                         [grid, window, options] { PrintReport(grid->currentTable(), window, options); });
    if (preview)
        QObject::connect(preview, &QPushButton::clicked, grid,
                         [grid, window, options] { PreviewReport(grid->currentTable(), window, options); });
    if (exportButton)
        QObject::connect(exportButton, &QPushButton::clicked, grid,
                         [grid, window, options] { ExportReport(grid->currentTable(), window, options); });
}

} // namespace ui
