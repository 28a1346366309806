#include "report/exports.h"

#include "store/outputfile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPdfWriter>
#include <QRegularExpression>

#include <xlsxwriter.h>

#include <cerrno>

using namespace Qt::StringLiterals;

namespace report {

namespace {

void setError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

bool writeBytes(const QString& path, const QByteArray& bytes, QString* error) {
    return store::WriteOutputBytes(path, bytes, error);
}

QString csvField(const QString& text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u"\""_s, u"\"\""_s);
    return u'"' + quoted + u'"';
}

QString titleRowText(const ReportTable& t, const RenderOptions& options) {
    if (!options.withTitle)
        return {};
    return t.printTitle.text.isEmpty() ? t.title : t.printTitle.text;
}

lxw_color_t rgb(const QColor& c) {
    return lxw_color_t(c.rgb() & 0xFFFFFF);
}

// libxlsxwriter formats are owned by the workbook; one per distinct look.
class Formats {
public:
    explicit Formats(lxw_workbook* book) : book_(book) {}
    lxw_format* get(bool header, const QColor& background, const QColor& foreground) {
        const QString key = u"%1|%2|%3"_s.arg(header)
                                .arg(background.isValid() ? background.name() : QString())
                                .arg(foreground.isValid() ? foreground.name() : QString());
        if (lxw_format* f = cache_.value(key))
            return f;
        lxw_format* f = workbook_add_format(book_);
        format_set_border(f, LXW_BORDER_THIN);
        format_set_align(f, LXW_ALIGN_CENTER);
        format_set_align(f, LXW_ALIGN_VERTICAL_CENTER);
        format_set_text_wrap(f);
        if (header) {
            format_set_bold(f);
            format_set_bg_color(f, background.isValid() ? rgb(background) : lxw_color_t(0xE8E8E8));
        } else if (background.isValid()) {
            format_set_bg_color(f, rgb(background));
        }
        if (foreground.isValid())
            format_set_font_color(f, rgb(foreground));
        cache_.insert(key, f);
        return f;
    }

private:
    lxw_workbook* book_;
    QHash<QString, lxw_format*> cache_;
};

QByteArray sheetName(const QString& title) {
    QString name = title;
    static const QRegularExpression bad(u"[\\[\\]:*?/\\\\]"_s);
    name.remove(bad);
    name = name.left(31).trimmed();
    return (name.isEmpty() ? u"表格"_s : name).toUtf8();
}

// Writes the workbook straight to path (the temporary of WriteXlsx).
bool writeXlsxFile(const ReportTable& t, const QString& path, QString* error, const RenderOptions& options);

} // namespace

std::optional<ExportFormat> FormatForName(const QString& name) {
    const QString n = name.toLower();
    if (n == u"xlsx"_s)
        return ExportFormat::Xlsx;
    if (n == u"csv"_s)
        return ExportFormat::Csv;
    if (n == u"pdf"_s)
        return ExportFormat::Pdf;
    if (n == u"json"_s)
        return ExportFormat::Json;
    return std::nullopt;
}

std::optional<ExportFormat> FormatForPath(const QString& path) {
    return FormatForName(QFileInfo(path).suffix());
}

QJsonObject ToJson(const ReportTable& t) {
    QJsonArray rows;
    for (int r = 0; r < t.rowCount(); ++r) {
        QJsonArray cells;
        for (int c = 0; c < t.columnCount(); ++c) {
            const Cell& cell = t.cell(r, c);
            if (cell.kind == CellKind::YesNo)
                cells.append(cell.yes);
            else
                cells.append(cell.displayText());
        }
        rows.append(cells);
    }
    QJsonObject root;
    root.insert(u"title"_s, t.title);
    root.insert(u"print_title"_s, t.printTitle.text);
    root.insert(u"header_rows"_s, t.headerRows);
    root.insert(u"rows"_s, rows);
    return root;
}

QByteArray JsonText(const ReportTable& t) {
    return QJsonDocument(ToJson(t)).toJson(QJsonDocument::Indented);
}

QString CsvCellText(const Cell& cell) {
    QString text = cell.displayText();
    // A spreadsheet runs a cell that begins with one of these as a formula, quoted or not: a
    // leading apostrophe makes it text. Dates are left alone, and so is a number the report holds
    // as such when its text is the plain form a spreadsheet reads: an amount a report takes for a
    // number may still be typed "+5" or with a tab before it.
    if (cell.kind == CellKind::Text && !(cell.number && IsNumericText(text)) && !text.isEmpty()) {
        static const QString kFormulaStarts = u"=+-@\t\r"_s;
        if (kFormulaStarts.contains(text.front()))
            text.prepend(u'\'');
    }
    return text;
}

QByteArray CsvText(const ReportTable& t) {
    QString text;
    for (int r = 0; r < t.rowCount(); ++r) {
        QStringList fields;
        for (int c = 0; c < t.columnCount(); ++c)
            fields << csvField(CsvCellText(t.cell(r, c)));
        text += fields.join(u',') + u"\r\n"_s;
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

bool IsNumericText(const QString& text) {
    static const QRegularExpression number(u"^-?(0|[1-9][0-9]{0,9})(\\.[0-9]+)?$"_s);
    return number.match(text).hasMatch();
}

bool WriteJson(const ReportTable& t, const QString& path, QString* error) {
    return writeBytes(path, JsonText(t), error);
}

bool WriteCsv(const ReportTable& t, const QString& path, QString* error) {
    return writeBytes(path, CsvText(t), error);
}

bool WritePdf(const ReportTable& t, const QString& path, QString* error, const RenderOptions& options) {
    // Rendered in memory and written in one go: a failed write leaves no part of a PDF behind.
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(300);
        writer.setTitle(t.title);
        writer.setCreator(u"Velmora"_s);
        PreparePageLayout(t, writer);
        if (RenderReport(t, writer, options) == 0) {
            setError(error, u"无法写入 PDF 文件"_s);
            return false;
        }
    }
    if (bytes.isEmpty()) {
        setError(error, u"无法写入 PDF 文件"_s);
        return false;
    }
    return writeBytes(path, bytes, error);
}

bool WriteXlsx(const ReportTable& t, const QString& path, QString* error, const RenderOptions& options) {
    return store::WriteOutputFile(
        path, [&](const QString& temp, QString* why) { return writeXlsxFile(t, temp, why, options); }, error);
}

namespace {

bool writeXlsxFile(const ReportTable& t, const QString& path, QString* error, const RenderOptions& options) {
    const QByteArray file = QFile::encodeName(path);
    lxw_workbook* book = workbook_new(file.constData());
    if (!book) {
        setError(error, u"无法创建 Excel 文件"_s);
        return false;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(book, sheetName(t.title).constData());
    Formats formats(book);
    const int columns = std::max(t.columnCount(), 1);
    for (int c = 0; c < t.columnCount(); ++c)
        worksheet_set_column_pixels(sheet, lxw_col_t(c), lxw_col_t(c), uint32_t(t.columnWidth(c)), nullptr);

    int offset = 0;
    const QString title = titleRowText(t, options);
    if (!title.isEmpty()) {
        lxw_format* f = workbook_add_format(book);
        format_set_bold(f);
        format_set_font_size(f, t.printTitle.pointSize > 0 ? t.printTitle.pointSize : 20);
        format_set_align(f, LXW_ALIGN_CENTER);
        format_set_align(f, LXW_ALIGN_VERTICAL_CENTER);
        const QByteArray text = title.toUtf8();
        if (columns > 1)
            worksheet_merge_range(sheet, 0, 0, 0, lxw_col_t(columns - 1), text.constData(), f);
        else
            worksheet_write_string(sheet, 0, 0, text.constData(), f);
        worksheet_set_row(sheet, 0, 32, nullptr);
        offset = 1;
    }
    for (int r = 0; r < t.rowCount(); ++r) {
        const bool header = r < t.headerRows;
        for (int c = 0; c < t.columnCount(); ++c) {
            const Merge* m = t.mergeAt(r, c);
            if (m && (m->row != r || m->column != c))
                continue;
            const Cell& cell = t.cell(r, c);
            lxw_format* f = formats.get(header, cell.background, cell.foreground);
            const auto row = lxw_row_t(r + offset);
            const auto col = lxw_col_t(c);
            QString text;
            if (cell.kind == CellKind::YesNo)
                text = cell.yes ? u"是"_s : u"否"_s;
            else
                text = cell.displayText();
            const QByteArray utf8 = text.toUtf8();
            if (m) {
                worksheet_merge_range(sheet, row, col, lxw_row_t(m->row + m->rowSpan - 1 + offset),
                                      lxw_col_t(m->column + m->columnSpan - 1), utf8.constData(), f);
            } else if (!header && cell.kind == CellKind::Text && IsNumericText(text)) {
                worksheet_write_number(sheet, row, col, text.toDouble(), f);
            } else if (text.isEmpty()) {
                worksheet_write_blank(sheet, row, col, f);
            } else {
                worksheet_write_string(sheet, row, col, utf8.constData(), f);
            }
        }
    }
    if (t.headerRows > 0)
        worksheet_freeze_panes(sheet, lxw_row_t(t.headerRows + offset), 0);
    errno = 0;
    const lxw_error result = workbook_close(book);
    const int code = errno; // the zip writer's failed system call, such as a full disk
    if (result != LXW_NO_ERROR) {
        setError(error, code != 0 ? u"无法写入 Excel 文件：%1"_s.arg(store::SystemErrorText(code))
                                  : u"无法写入 Excel 文件（%1）"_s.arg(QString::fromUtf8(lxw_strerror(result))));
        return false;
    }
    return true;
}

} // namespace

bool WriteReport(const ReportTable& t, const QString& path, ExportFormat format, QString* error,
                 const RenderOptions& options) {
    switch (format) {
    case ExportFormat::Xlsx:
        return WriteXlsx(t, path, error, options);
    case ExportFormat::Csv:
        return WriteCsv(t, path, error);
    case ExportFormat::Pdf:
        return WritePdf(t, path, error, options);
    case ExportFormat::Json:
        return WriteJson(t, path, error);
    }
    return false;
}

} // namespace report
