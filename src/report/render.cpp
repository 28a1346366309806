#include "report/render.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace report {

namespace {

constexpr double kBodyPointSize = 10.0;
constexpr double kMinBodyPointSize = 5.0;
const QColor kHeaderBackground(0xE8, 0xE8, 0xE8);

QString defaultBodyFamily() {
    return ResolveFontFamily(u"宋体"_s);
}

// Everything the painting needs, measured once for one device.
struct Layout {
    double pageWidth = 0;
    double pageHeight = 0;
    double unit = 1;       // device pixels per table pixel (the column scale)
    QList<double> columnX; // left edge of each column, plus the right edge at the end
    QList<double> rowHeight;
    QFont body;
    QFont header;
    QFont titleFont;
    QFont footer;
    double titleHeight = 0;
    double footerHeight = 0;
    double headerHeight = 0;
    double padding = 0;
    double pageHeaderHeight = 0;
    QList<double> headingHeight; // per section
    QList<double> closingHeight; // per section
    QList<int> pageStarts;       // first data row (table index) of each page
    QList<int> pageSection;      // the section (index) each page belongs to, -1 for none
    QList<bool> pageCloses;      // the page ends its section: the closing goes below its rows
};

int dpiOf(QPagedPaintDevice& device) {
    const int dpi = device.logicalDpiY();
    return dpi > 0 ? dpi : 96;
}

QRectF cellRect(const Layout& l, int column, int span, double top, double height) {
    return QRectF(l.columnX.at(column), top, l.columnX.at(column + span) - l.columnX.at(column), height);
}

// Centred, wrapped at word boundaries and, for a long number that fits nowhere, anywhere.
QTextOption cellOption() {
    QTextOption option(Qt::AlignCenter);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

double textHeight(const QFont& font, QPaintDevice* device, const QString& text, double width) {
    const QFontMetricsF fm(font, device);
    if (text.isEmpty())
        return fm.height();
    QTextLayout layout(text, font, device);
    layout.setTextOption(cellOption());
    layout.beginLayout();
    double height = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(width, 1.0));
        height += line.height();
    }
    layout.endLayout();
    return std::max(height, fm.height());
}

QFont blockFont(const BlockLine& line) {
    QFont f(defaultBodyFamily());
    f.setPointSizeF(line.pointSize > 0 ? line.pointSize : 11);
    f.setBold(line.bold);
    return f;
}

QTextOption blockOption(const BlockLine& line) {
    QTextOption option(line.centred ? Qt::AlignHCenter | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

// A line's height with some leading; a long line wraps over the page width, an empty one is a gap.
double blockLineHeight(const BlockLine& line, QPaintDevice* device, double width) {
    return textHeight(blockFont(line), device, line.text, width) * 1.3;
}

double blockHeight(const QList<BlockLine>& lines, QPaintDevice* device, double width) {
    double h = 0;
    for (const BlockLine& line : lines)
        h += blockLineHeight(line, device, width);
    return h;
}

double paintBlock(QPainter& p, const QList<BlockLine>& lines, double width, double top) {
    for (const BlockLine& line : lines) {
        const double h = blockLineHeight(line, p.device(), width);
        if (!line.text.isEmpty()) {
            p.setPen(Qt::black);
            p.setFont(blockFont(line));
            p.drawText(QRectF(0, top, width, h), line.text, blockOption(line));
        }
        top += h;
    }
    return top;
}

Layout measure(const ReportTable& t, QPagedPaintDevice& device, const RenderOptions& options) {
    Layout l;
    const int dpi = dpiOf(device);
    l.pageWidth = device.width();
    l.pageHeight = device.height();
    const double natural = dpi / 96.0;
    const int total = std::max(t.totalWidth(), 1);
    l.unit = l.pageWidth / total;
    // Text shrinks with the columns when they are narrower than at screen size, never grows.
    const double shrink = std::min(1.0, l.unit / natural);
    const QString family = defaultBodyFamily();
    l.body = QFont(family);
    l.body.setPointSizeF(std::max(kBodyPointSize * shrink, kMinBodyPointSize));
    l.header = l.body;
    l.header.setBold(true);
    l.footer = QFont(family);
    l.footer.setPointSizeF(9);
    l.padding = 3 * natural * shrink;

    double x = 0;
    for (int c = 0; c < t.columnCount(); ++c) {
        l.columnX << x;
        x += t.columnWidth(c) * l.unit;
    }
    l.columnX << x;

    const bool titled = options.withTitle && !t.printTitle.text.isEmpty();
    if (titled) {
        l.titleFont = QFont(ResolveFontFamily(t.printTitle.fontName.isEmpty() ? u"黑体"_s : t.printTitle.fontName));
        l.titleFont.setPointSizeF(t.printTitle.pointSize > 0 ? t.printTitle.pointSize : 20);
        l.titleFont.setBold(t.printTitle.bold);
        l.titleHeight = QFontMetricsF(l.titleFont, &device).height() * 1.6;
    }
    l.footerHeight = QFontMetricsF(l.footer, &device).height() * 2.0;

    // Row heights: the tallest wrapped text of the row's cells; merged blocks spread over rows
    // only add what their own rows do not already give.
    for (int r = 0; r < t.rowCount(); ++r) {
        const bool head = r < t.headerRows;
        const QFont& f = head ? l.header : l.body;
        double h = QFontMetricsF(f, &device).height();
        for (int c = 0; c < t.columnCount(); ++c) {
            const Merge* m = t.mergeAt(r, c);
            if (m && (m->row != r || m->column != c || m->rowSpan > 1))
                continue;
            const int span = m ? m->columnSpan : 1;
            const Cell& cell = t.cell(r, c);
            if (cell.kind == CellKind::Text && !cell.text.isEmpty())
                h = std::max(
                    h, textHeight(f, &device, cell.text, l.columnX.at(c + span) - l.columnX.at(c) - 2 * l.padding));
        }
        l.rowHeight << h + 2 * l.padding;
    }
    for (int r = 0; r < std::min(t.headerRows, t.rowCount()); ++r)
        l.headerHeight += l.rowHeight.at(r);

    l.pageHeaderHeight = blockHeight(t.pageHeader, &device, l.pageWidth);
    for (const Section& s : t.sections()) {
        l.headingHeight << blockHeight(s.heading, &device, l.pageWidth);
        l.closingHeight << blockHeight(s.closing, &device, l.pageWidth);
    }

    // Pages: every section starts a page; whole rows only; a row taller than a page gets a page
    // of its own; a section's closing stays on the page of its last row.
    struct Segment {
        int first, end, section;
    };
    QList<Segment> segments;
    const QList<Section>& sections = t.sections();
    const int firstSectionRow = sections.isEmpty() ? t.rowCount() : sections.first().firstRow;
    if (sections.isEmpty() || firstSectionRow > t.headerRows)
        segments << Segment{t.headerRows, std::max(firstSectionRow, t.headerRows), -1};
    for (int i = 0; i < sections.size(); ++i)
        segments << Segment{sections.at(i).firstRow,
                            i + 1 < sections.size() ? sections.at(i + 1).firstRow : t.rowCount(), i};
    for (const Segment& seg : segments) {
        const double heading = seg.section >= 0 ? l.headingHeight.at(seg.section) : 0;
        const double closing = seg.section >= 0 ? l.closingHeight.at(seg.section) : 0;
        const double room =
            l.pageHeight - l.pageHeaderHeight - l.titleHeight - heading - l.headerHeight - l.footerHeight;
        double used = 0;
        l.pageStarts << seg.first;
        l.pageSection << seg.section;
        l.pageCloses << false;
        for (int r = seg.first; r < seg.end; ++r) {
            const double h = l.rowHeight.at(r);
            const double need = h + (r + 1 == seg.end ? closing : 0);
            if (used > 0 && used + need > room) {
                l.pageStarts << r;
                l.pageSection << seg.section;
                l.pageCloses << false;
                used = 0;
            }
            used += h;
        }
        l.pageCloses.last() = true;
    }
    return l;
}

void paintCell(QPainter& p, const Layout& l, const Cell& cell, const QRectF& rect, bool header) {
    QColor fill = cell.background.isValid() ? cell.background : header ? kHeaderBackground : QColor(Qt::white);
    p.fillRect(rect, fill);
    p.setPen(QPen(Qt::black, 0));
    p.drawRect(rect);
    const QColor ink = cell.foreground.isValid() ? cell.foreground : QColor(Qt::black);
    if (cell.kind == CellKind::YesNo) {
        const double line = QFontMetricsF(l.body, p.device()).height();
        const double side = std::min({rect.height() * 0.6, rect.width() * 0.6, line * 0.8});
        const QRectF box(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
        p.setPen(QPen(ink, std::max(1.0, side / 10)));
        p.drawRect(box);
        if (cell.yes) {
            QPainterPath tick;
            tick.moveTo(box.left() + side * 0.2, box.top() + side * 0.5);
            tick.lineTo(box.left() + side * 0.42, box.top() + side * 0.75);
            tick.lineTo(box.left() + side * 0.8, box.top() + side * 0.25);
            p.drawPath(tick);
        }
        return;
    }
    const QString text = cell.displayText();
    if (text.isEmpty())
        return;
    p.setPen(ink);
    p.setFont(header ? l.header : l.body);
    p.drawText(rect.adjusted(l.padding, l.padding, -l.padding, -l.padding), text, cellOption());
}

// Paints the rows [first, last) of the table from top; merged blocks are drawn once, from their
// top-left cell, clipped to the rows on this page.
double paintRows(QPainter& p, const Layout& l, const ReportTable& t, int first, int last, double top) {
    QList<double> rowTop;
    double y = top;
    for (int r = first; r < last; ++r) {
        rowTop << y;
        y += l.rowHeight.at(r);
    }
    rowTop << y;
    for (int r = first; r < last; ++r) {
        const bool header = r < t.headerRows;
        for (int c = 0; c < t.columnCount(); ++c) {
            const Merge* m = t.mergeAt(r, c);
            int span = 1;
            int rows = 1;
            if (m) {
                const bool anchorHere = m->column == c && (m->row == r || (r == first && m->row < first));
                if (!anchorHere)
                    continue;
                span = m->columnSpan;
                rows = std::min(m->row + m->rowSpan, last) - r;
            }
            const double h = rowTop.at(r - first + rows) - rowTop.at(r - first);
            const Cell& cell = m ? t.cell(m->row, m->column) : t.cell(r, c);
            paintCell(p, l, cell, cellRect(l, c, span, rowTop.at(r - first), h), header);
        }
    }
    return y;
}

} // namespace

QString ResolveFontFamily(const QString& requested) {
    const QStringList families = QFontDatabase::families();
    if (!requested.isEmpty() && families.contains(requested, Qt::CaseInsensitive))
        return requested;
    static const char16_t* const kKnown[] = {u"WenQuanYi Zen Hei",   u"Noto Sans CJK SC",  u"Source Han Sans SC",
                                             u"WenQuanYi Micro Hei", u"Noto Serif CJK SC", u"AR PL UMing CN"};
    for (const char16_t* name : kKnown) {
        QString family = QString::fromUtf16(name);
        if (families.contains(family, Qt::CaseInsensitive))
            return family;
    }
    const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    if (!chinese.isEmpty())
        return chinese.first();
    return requested;
}

QPageLayout::Orientation PreferredOrientation(const ReportTable& table) {
    // A4 portrait, 10 mm margins, at screen size: 718 x 1047 pixels.
    constexpr int kPortraitHeight = 1047;
    constexpr int kRowHeight = 24;
    constexpr int kTitleHeight = 48;
    // A table in sections fills a page per section however few its rows.
    const int tall = table.sections().isEmpty()
                         ? std::min(kTitleHeight + table.rowCount() * kRowHeight, kPortraitHeight)
                         : kPortraitHeight;
    return table.totalWidth() > tall ? QPageLayout::Landscape : QPageLayout::Portrait;
}

void PreparePageLayout(const ReportTable& table, QPagedPaintDevice& device) {
    const QPageLayout layout(QPageSize(QPageSize::A4), PreferredOrientation(table), QMarginsF(10, 10, 10, 10),
                             QPageLayout::Millimeter);
    device.setPageLayout(layout);
}

QList<int> PageBreaks(const ReportTable& table, QPagedPaintDevice& device, const RenderOptions& options) {
    return measure(table, device, options).pageStarts;
}

int RenderReport(const ReportTable& table, QPagedPaintDevice& device, const RenderOptions& options) {
    QPainter p;
    if (!p.begin(&device))
        return 0;
    const Layout l = measure(table, device, options);
    const int pages = int(l.pageStarts.size());
    const double tableWidth = l.columnX.isEmpty() ? 0 : l.columnX.last();
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            device.newPage();
        double y = paintBlock(p, table.pageHeader, l.pageWidth, 0);
        if (l.titleHeight > 0) {
            p.setPen(Qt::black);
            p.setFont(l.titleFont);
            p.drawText(QRectF(0, y, l.pageWidth, l.titleHeight), Qt::AlignCenter, table.printTitle.text);
            y += l.titleHeight;
        }
        const int section = l.pageSection.at(page);
        if (section >= 0)
            y = paintBlock(p, table.sections().at(section).heading, l.pageWidth, y);
        y = paintRows(p, l, table, 0, std::min(table.headerRows, table.rowCount()), y);
        const int first = l.pageStarts.at(page);
        const int last = page + 1 < pages ? l.pageStarts.at(page + 1) : table.rowCount();
        y = paintRows(p, l, table, first, last, y);
        if (section >= 0 && l.pageCloses.at(page))
            paintBlock(p, table.sections().at(section).closing, l.pageWidth, y);
        p.setPen(Qt::black);
        p.setFont(l.footer);
        p.drawText(QRectF(0, l.pageHeight - l.footerHeight, std::max(tableWidth, l.pageWidth), l.footerHeight),
                   Qt::AlignCenter, u"第 %1 页 / 共 %2 页"_s.arg(page + 1).arg(pages));
    }
    p.end();
    return pages;
}

} // namespace report
