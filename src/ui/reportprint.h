#pragma once

#include "report/render.h"
#include "report/reporttable.h"

#include <functional>

class QPrinter;
class QPrintPreviewDialog;
class QPushButton;
class QWidget;

namespace ui {

class ReportGrid;

// Shows the platform print dialog for the printer; true when the operator chose to print.
// Tests replace it (e.g. to print into a PDF file without a dialog); nullptr restores it.
using PrintDialogHook = std::function<bool(QPrinter& printer, QWidget* parent)>;
void SetPrintDialogHook(PrintDialogHook hook);

// Runs the preview dialog (exec by default). Tests replace it to look at the dialog and close it.
using PreviewHook = std::function<void(QPrintPreviewDialog& dialog)>;
void SetPreviewHook(PreviewHook hook);

// 打印: the print dialog, then the pages of RenderReport. False when cancelled or nothing printed.
bool PrintReport(const report::ReportTable& table, QWidget* parent = nullptr,
                 const report::RenderOptions& options = {});
// 打印预览: QPrintPreviewDialog painting through RenderReport.
void PreviewReport(const report::ReportTable& table, QWidget* parent = nullptr,
                   const report::RenderOptions& options = {});

// The file filter of 导出 and the default file name (the list title, Excel first).
QString ExportFilter();
QString DefaultExportPath(const report::ReportTable& table);
// 导出: asks for a file through the dialog layer and writes Excel, CSV or PDF by the suffix
// (no suffix: Excel). Reports "导出成功！" or "导出失败！" with the reason. False when cancelled
// or failed.
bool ExportReport(const report::ReportTable& table, QWidget* parent = nullptr,
                  const report::RenderOptions& options = {});

// Connects a report window's 打印, 打印预览 and 导出 buttons (any may be nullptr) to what its grid
// shows at the moment of the click.
void ConnectReportButtons(ReportGrid* grid, QPushButton* print, QPushButton* preview, QPushButton* exportButton,
                          const report::RenderOptions& options = {});

} // namespace ui
