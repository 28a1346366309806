#pragma once

#include "report/reporttable.h"

#include <QPageLayout>
#include <QString>

class QPagedPaintDevice;

namespace report {

struct RenderOptions {
    bool withTitle = true; // the claims register prints without a title
};

// The first installed family of: the requested one, then the CJK families this program knows
// (WenQuanYi Zen Hei and others), then any family that covers Simplified Chinese; so a title
// asked for in 黑体 never prints as empty boxes where that font is missing.
QString ResolveFontFamily(const QString& requested);

// Landscape when the table is wider than tall (its height counted up to one portrait page).
QPageLayout::Orientation PreferredOrientation(const ReportTable& table);
// Sets A4, 10 mm margins and the preferred orientation; call before the print dialog or writer.
void PreparePageLayout(const ReportTable& table, QPagedPaintDevice& device);

// The one rendering routine of the report windows, for the printer, the preview and PDF: the
// table's page header block and the print title centred on top of every page, the header rows
// (merged cells kept) repeated on every page, rows never cut between pages, each section on pages
// of its own (its heading above the header rows, its closing below its last row), the columns
// scaled to the page width and "第 n 页 / 共 N 页" at the foot of every page. Returns the number of pages painted (0
// when the device could not be painted on).
int RenderReport(const ReportTable& table, QPagedPaintDevice& device, const RenderOptions& options = {});

// How the rows fall onto pages for a page of the given size in device pixels at dpi: the data
// row indexes (into the table) that start each page. Exposed for tests of the pagination.
QList<int> PageBreaks(const ReportTable& table, QPagedPaintDevice& device, const RenderOptions& options = {});

} // namespace report
