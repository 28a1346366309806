#include "workbook.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <freexl.h>
#include <unzip.h>

#include <cmath>

using namespace Qt::StringLiterals;

namespace fleetimport {

SheetCell SheetCell::Text(const QString& text) {
    SheetCell c;
    c.kind = text.isEmpty() ? Kind::Empty : Kind::Text;
    c.text = text;
    return c;
}

SheetCell SheetCell::Number(double value) {
    SheetCell c;
    c.kind = Kind::Number;
    c.number = value;
    c.text = QString::number(value, 'g', 15);
    return c;
}

SheetCell SheetCell::Date(const QDate& date) {
    SheetCell c;
    c.kind = Kind::Date;
    c.date = date;
    c.text = date.toString(Qt::ISODate);
    return c;
}

std::optional<QDate> ExcelSerialDate(double serial, bool date1904) {
    if (!std::isfinite(serial) || serial < 1 || serial > 2958465.0)
        return std::nullopt;
    const qint64 days = qint64(std::floor(serial));
    if (date1904)
        return QDate(1904, 1, 1).addDays(days);
    // The 1900 system counts a 29 February 1900: serial 60 is that day, later serials are one
    // day ahead of the calendar.
    if (days == 60)
        return std::nullopt;
    return days < 60 ? QDate(1899, 12, 31).addDays(days) : QDate(1899, 12, 30).addDays(days);
}

QList<QString> HeaderCaptions(const Sheet& sheet) {
    int columns = 0;
    for (int r = 0; r < sheet.headerRows && r < sheet.rows.size(); ++r)
        columns = std::max(columns, int(sheet.rows.at(r).size()));
    QList<QString> captions;
    for (int c = 0; c < columns; ++c) {
        QString caption;
        QString previous;
        for (int r = 0; r < sheet.headerRows && r < sheet.rows.size(); ++r) {
            const QString part = sheet.rows.at(r).value(c).text.trimmed();
            if (!part.isEmpty() && part != previous)
                caption += part;
            previous = part;
        }
        captions << caption;
    }
    return captions;
}

namespace {

ReadOutcome refused(const QString& why) {
    ReadOutcome out;
    out.refusal = why;
    return out;
}

// Fills every cell of a merged block with its top-left value; a block that starts in the first
// row and reaches further down makes the header that many rows high.
struct MergeRange {
    int row = 0, column = 0, lastRow = 0, lastColumn = 0;
};

void applyMerges(Sheet& sheet, const QList<MergeRange>& merges) {
    for (const MergeRange& m : merges) {
        if (m.row >= sheet.rows.size())
            continue;
        const SheetCell origin = sheet.rows.at(m.row).value(m.column);
        for (int r = m.row; r <= m.lastRow && r < sheet.rows.size(); ++r) {
            QList<SheetCell>& row = sheet.rows[r];
            if (row.size() <= m.lastColumn)
                row.resize(m.lastColumn + 1);
            for (int c = m.column; c <= m.lastColumn; ++c)
                row[c] = origin;
        }
        if (m.row == 0)
            sheet.headerRows = std::max(sheet.headerRows, m.lastRow + 1);
    }
}

void dropTrailingEmptyRows(Sheet& sheet) {
    while (!sheet.rows.isEmpty()) {
        bool empty = true;
        for (const SheetCell& c : sheet.rows.last())
            empty = empty && c.isEmpty();
        if (!empty)
            break;
        sheet.rows.removeLast();
    }
}

// ---------------------------------------------------------------------------------------------
// .xlsx

// "AB12" -> column 27 (0-based), row 11 (0-based); false for anything else.
bool parseCellRef(QStringView ref, int* row, int* column) {
    int i = 0;
    int col = 0;
    while (i < ref.size() && ref[i].isLetter() && ref[i].unicode() < 128) {
        col = col * 26 + (ref[i].toUpper().unicode() - 'A' + 1);
        ++i;
        if (col > 16384)
            return false;
    }
    bool ok = false;
    const int r = ref.mid(i).toInt(&ok);
    if (i == 0 || !ok || r < 1 || r > 1048576)
        return false;
    *row = r - 1;
    *column = col - 1;
    return true;
}

bool isDateFormatCode(const QString& code) {
    QString bare;
    bool quoted = false;
    bool bracket = false;
    for (int i = 0; i < code.size(); ++i) {
        const QChar ch = code.at(i);
        if (quoted) {
            quoted = ch != QLatin1Char('"');
            continue;
        }
        if (bracket) {
            bracket = ch != QLatin1Char(']');
            continue;
        }
        if (ch == QLatin1Char('"'))
            quoted = true;
        else if (ch == QLatin1Char('['))
            bracket = true;
        else if (ch == QLatin1Char('\\'))
            ++i;
        else
            bare += ch.toLower();
    }
    return bare.contains(QLatin1Char('y')) || bare.contains(QLatin1Char('d')) || bare.contains(QLatin1Char('m')) ||
           bare.contains(u"年"_s) || bare.contains(u"日"_s);
}

bool isBuiltinDateFormat(int id) {
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58);
}

// The package's entries through minizip's reader: the same zip library the xlsx export links, so
// that one process never holds two libraries exporting the same zip function names (the dynamic
// linker would bind the export's calls to the other library's and crash it).
class XlsxPackage {
public:
    explicit XlsxPackage(const QString& path) : path_(QFile::encodeName(path)) {}
    ~XlsxPackage() {
        if (zip_)
            unzClose(zip_);
    }
    XlsxPackage(const XlsxPackage&) = delete;
    XlsxPackage& operator=(const XlsxPackage&) = delete;
    bool open() {
        zip_ = unzOpen64(path_.constData());
        return zip_ != nullptr;
    }
    bool has(const QString& name) { return zip_ && unzLocateFile(zip_, name.toUtf8().constData(), 1) == UNZ_OK; }
    // The whole entry, checked against its CRC; nullopt when missing or damaged.
    std::optional<QByteArray> read(const QString& name) {
        if (!has(name) || unzOpenCurrentFile(zip_) != UNZ_OK)
            return std::nullopt;
        QByteArray bytes;
        char buffer[65536];
        int n = 0;
        while ((n = unzReadCurrentFile(zip_, buffer, sizeof buffer)) > 0)
            bytes.append(buffer, n);
        // The CRC is compared when the entry is closed after its last byte.
        const int closed = unzCloseCurrentFile(zip_);
        if (n < 0 || closed != UNZ_OK)
            return std::nullopt;
        return bytes;
    }

private:
    QByteArray path_;
    unzFile zip_ = nullptr;
};

QString attr(const QXmlStreamReader& xml, QStringView name) {
    for (const QXmlStreamAttribute& a : xml.attributes())
        if (a.name() == name)
            return a.value().toString();
    return {};
}

bool readSharedStrings(const QByteArray& bytes, QStringList* out) {
    QXmlStreamReader xml(bytes);
    QString current;
    bool inItem = false;
    int phonetic = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == u"si") {
                inItem = true;
                current.clear();
            } else if (xml.name() == u"rPh") {
                ++phonetic;
            } else if (xml.name() == u"t" && inItem && phonetic == 0) {
                current += xml.readElementText();
            }
        } else if (xml.isEndElement()) {
            if (xml.name() == u"si") {
                *out << current;
                inItem = false;
            } else if (xml.name() == u"rPh") {
                --phonetic;
            }
        }
    }
    return !xml.hasError();
}

// Which cell styles (by index into cellXfs) show their number as a date.
bool readDateStyles(const QByteArray& bytes, QList<bool>* dateStyles) {
    QXmlStreamReader xml(bytes);
    QHash<int, bool> customDate;
    bool inCellXfs = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == u"numFmt")
                customDate.insert(attr(xml, u"numFmtId").toInt(), isDateFormatCode(attr(xml, u"formatCode")));
            else if (xml.name() == u"cellXfs")
                inCellXfs = true;
            else if (xml.name() == u"xf" && inCellXfs) {
                const int id = attr(xml, u"numFmtId").toInt();
                *dateStyles << (customDate.contains(id) ? customDate.value(id) : isBuiltinDateFormat(id));
            }
        } else if (xml.isEndElement() && xml.name() == u"cellXfs") {
            inCellXfs = false;
        }
    }
    return !xml.hasError();
}

struct XlsxContext {
    QStringList sharedStrings;
    QList<bool> dateStyles;
    bool date1904 = false;
};

bool readWorksheet(const QByteArray& bytes, const XlsxContext& context, Sheet* sheet) {
    QXmlStreamReader xml(bytes);
    QList<MergeRange> merges;
    int nextRow = 0;
    int row = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"row") {
            const QString r = attr(xml, u"r");
            row = r.isEmpty() ? nextRow : r.toInt() - 1;
            if (row < 0 || row >= 1048576)
                return false;
            nextRow = row + 1;
        } else if (xml.name() == u"c") {
            int r = row;
            int c = 0;
            const QString ref = attr(xml, u"r");
            if (ref.isEmpty()) {
                c = sheet->rows.value(row).size();
            } else if (!parseCellRef(ref, &r, &c)) {
                return false;
            }
            const QString type = attr(xml, u"t");
            const int style = attr(xml, u"s").toInt();
            QString value;
            QString inlineText;
            bool hasValue = false;
            while (!xml.atEnd()) {
                xml.readNext();
                if (xml.isEndElement() && xml.name() == u"c")
                    break;
                if (!xml.isStartElement())
                    continue;
                if (xml.name() == u"v") {
                    value = xml.readElementText();
                    hasValue = true;
                } else if (xml.name() == u"t") {
                    inlineText += xml.readElementText();
                    hasValue = true;
                } else if (xml.name() == u"rPh") {
                    xml.skipCurrentElement();
                }
            }
            if (xml.hasError())
                return false;
            SheetCell cell;
            if (type == u"s") {
                bool ok = false;
                const int index = value.toInt(&ok);
                if (!ok || index < 0 || index >= context.sharedStrings.size())
                    return false;
                cell = SheetCell::Text(context.sharedStrings.at(index));
            } else if (type == u"inlineStr" || type == u"str" || type == u"e") {
                cell = SheetCell::Text(type == u"inlineStr" ? inlineText : value);
            } else if (type == u"b") {
                cell = SheetCell::Text(value == u"1" ? u"是"_s : u"否"_s);
            } else if (hasValue && !value.isEmpty()) {
                bool ok = false;
                const double number = value.toDouble(&ok);
                if (!ok)
                    return false;
                cell = SheetCell::Number(number);
                if (context.dateStyles.value(style, false)) {
                    if (const std::optional<QDate> d = ExcelSerialDate(number, context.date1904))
                        cell = SheetCell::Date(*d);
                }
            }
            if (cell.kind == SheetCell::Kind::Empty)
                continue;
            if (sheet->rows.size() <= r)
                sheet->rows.resize(r + 1);
            QList<SheetCell>& cells = sheet->rows[r];
            if (cells.size() <= c)
                cells.resize(c + 1);
            cells[c] = cell;
        } else if (xml.name() == u"mergeCell") {
            const QStringList parts = attr(xml, u"ref").split(QLatin1Char(':'));
            MergeRange m;
            if (parts.size() == 2 && parseCellRef(parts[0], &m.row, &m.column) &&
                parseCellRef(parts[1], &m.lastRow, &m.lastColumn) && m.lastRow >= m.row && m.lastColumn >= m.column)
                merges << m;
        }
    }
    if (xml.hasError())
        return false;
    applyMerges(*sheet, merges);
    return true;
}

QString damaged(const QString& part) {
    return u"文件已损坏或不完整，未能读完（%1），没有导入任何车辆。"_s.arg(part);
}

} // namespace

ReadOutcome ReadXlsx(const QString& path) {
    XlsxPackage package(path);
    if (!package.open())
        return refused(u"无法打开 Excel 文件：不是有效的 .xlsx 文件，或文件已损坏。"_s);
    const std::optional<QByteArray> workbookXml = package.read(u"xl/workbook.xml"_s);
    const std::optional<QByteArray> relsXml = package.read(u"xl/_rels/workbook.xml.rels"_s);
    if (!workbookXml || !relsXml)
        return refused(damaged(u"工作簿"_s));

    XlsxContext context;
    QHash<QString, QString> targets;
    {
        QXmlStreamReader xml(*relsXml);
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == u"Relationship") {
                QString target = attr(xml, u"Target");
                target = target.startsWith(QLatin1Char('/')) ? target.mid(1) : u"xl/"_s + target;
                targets.insert(attr(xml, u"Id"), target);
            }
        }
        if (xml.hasError())
            return refused(damaged(u"工作簿关系"_s));
    }
    QList<QPair<QString, QString>> sheetEntries; // name, zip entry
    {
        QXmlStreamReader xml(*workbookXml);
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            if (xml.name() == u"workbookPr") {
                const QString v = attr(xml, u"date1904");
                context.date1904 = v == u"1" || v == u"true";
            } else if (xml.name() == u"sheet") {
                sheetEntries << qMakePair(attr(xml, u"name"), targets.value(attr(xml, u"id")));
            }
        }
        if (xml.hasError())
            return refused(damaged(u"工作簿"_s));
    }
    if (package.has(u"xl/sharedStrings.xml"_s)) {
        const std::optional<QByteArray> bytes = package.read(u"xl/sharedStrings.xml"_s);
        if (!bytes || !readSharedStrings(*bytes, &context.sharedStrings))
            return refused(damaged(u"共享字符串"_s));
    }
    if (package.has(u"xl/styles.xml"_s)) {
        const std::optional<QByteArray> bytes = package.read(u"xl/styles.xml"_s);
        if (!bytes || !readDateStyles(*bytes, &context.dateStyles))
            return refused(damaged(u"样式"_s));
    }
    Workbook book;
    book.format = u"xlsx"_s;
    for (const auto& [name, entry] : sheetEntries) {
        const std::optional<QByteArray> bytes = package.read(entry);
        Sheet sheet;
        sheet.name = name;
        if (!bytes || !readWorksheet(*bytes, context, &sheet))
            return refused(damaged(u"工作表“%1”"_s.arg(name)));
        dropTrailingEmptyRows(sheet);
        book.sheets << sheet;
    }
    if (book.sheets.isEmpty())
        return refused(damaged(u"没有工作表"_s));
    ReadOutcome out;
    out.book = book;
    return out;
}

// ---------------------------------------------------------------------------------------------
// .xls

ReadOutcome ReadXls(const QString& path) {
    const void* handle = nullptr;
    const QByteArray native = QFile::encodeName(path);
    if (freexl_open(native.constData(), &handle) != FREEXL_OK) {
        if (handle)
            freexl_close(handle);
        return refused(u"无法读取 Excel 97-2003 文件：不是有效的 .xls 文件，或文件已损坏。"_s);
    }
    struct Closer {
        const void* h;
        ~Closer() { freexl_close(h); }
    } closer{handle};
    unsigned int sheetCount = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheetCount) != FREEXL_OK || sheetCount == 0)
        return refused(damaged(u"没有工作表"_s));
    Workbook book;
    book.format = u"xls"_s;
    for (unsigned int s = 0; s < sheetCount; ++s) {
        Sheet sheet;
        const char* name = nullptr;
        if (freexl_get_worksheet_name(handle, static_cast<unsigned short>(s), &name) != FREEXL_OK ||
            freexl_select_active_worksheet(handle, static_cast<unsigned short>(s)) != FREEXL_OK)
            return refused(damaged(u"工作表 %1"_s.arg(s + 1)));
        sheet.name = QString::fromUtf8(name ? name : "");
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK)
            return refused(damaged(u"工作表“%1”"_s.arg(sheet.name)));
        for (unsigned int r = 0; r < rows; ++r) {
            QList<SheetCell> cells(columns);
            for (unsigned short c = 0; c < columns; ++c) {
                FreeXL_CellValue v;
                if (freexl_get_cell_value(handle, r, c, &v) != FREEXL_OK)
                    return refused(damaged(u"工作表“%1”第 %2 行"_s.arg(sheet.name).arg(r + 1)));
                switch (v.type) {
                case FREEXL_CELL_INT:
                    cells[c] = SheetCell::Number(v.value.int_value);
                    break;
                case FREEXL_CELL_DOUBLE:
                    cells[c] = SheetCell::Number(v.value.double_value);
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                case FREEXL_CELL_TIME:
                    cells[c] = SheetCell::Text(QString::fromUtf8(v.value.text_value));
                    break;
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME: {
                    const QString text = QString::fromUtf8(v.value.text_value);
                    const QDate d = QDate::fromString(text.left(10), Qt::ISODate);
                    cells[c] = d.isValid() ? SheetCell::Date(d) : SheetCell::Text(text);
                    break;
                }
                default:
                    break;
                }
            }
            sheet.rows << cells;
        }
        dropTrailingEmptyRows(sheet);
        book.sheets << sheet;
    }
    ReadOutcome out;
    out.book = book;
    return out;
}

// ---------------------------------------------------------------------------------------------
// .csv

ReadOutcome ReadCsv(const QByteArray& bytes) {
    Workbook book;
    book.format = u"csv"_s;
    QString text;
    auto decode = [&](QStringConverter::Encoding encoding, qsizetype skip) {
        QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
        text = decoder.decode(QByteArrayView(bytes).sliced(skip));
        return !decoder.hasError();
    };
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        book.encoding = u"UTF-8（带BOM）"_s;
        if (!decode(QStringConverter::Utf8, 3))
            return refused(u"文件标明为 UTF-8 编码，但内容不是有效的 UTF-8，文件可能已损坏。"_s);
    } else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        book.encoding = u"UTF-16"_s;
        if (!decode(bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE, 2))
            return refused(u"文件标明为 UTF-16 编码，但内容不完整，文件可能已损坏。"_s);
    } else if (decode(QStringConverter::Utf8, 0)) {
        book.encoding = u"UTF-8"_s;
    } else {
        QStringDecoder gb("GB18030");
        if (!gb.isValid())
            return refused(u"文件不是 UTF-8 编码，而本程序无法读取 GB18030 编码。"_s);
        text = gb.decode(bytes);
        if (gb.hasError())
            return refused(u"无法识别文件的编码：既不是 UTF-8，也不是 GB18030。"_s);
        book.encoding = u"GB18030"_s;
    }

    // The separator: a comma, or a tab where the first line has tabs and no comma.
    const qsizetype firstEnd = text.indexOf(QLatin1Char('\n'));
    const QString firstLine = text.left(firstEnd < 0 ? text.size() : firstEnd);
    const QChar separator = !firstLine.contains(QLatin1Char(',')) && firstLine.contains(QLatin1Char('\t'))
                                ? QLatin1Char('\t')
                                : QLatin1Char(',');
    Sheet sheet;
    sheet.name = u"CSV"_s;
    QList<SheetCell> row;
    QString field;
    bool quoted = false;
    bool fieldStarted = false;
    int line = 1;
    int quoteLine = 0;
    auto endField = [&] {
        row << SheetCell::Text(field);
        field.clear();
        fieldStarted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (quoted) {
            if (ch == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    field += ch;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (ch == QLatin1Char('\n'))
                    ++line;
                field += ch;
            }
            continue;
        }
        if (ch == QLatin1Char('"') && !fieldStarted && field.isEmpty()) {
            quoted = true;
            fieldStarted = true;
            quoteLine = line;
        } else if (ch == separator) {
            endField();
        } else if (ch == QLatin1Char('\r') || ch == QLatin1Char('\n')) {
            if (ch == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            endField();
            sheet.rows << row;
            row.clear();
            ++line;
        } else {
            field += ch;
        }
    }
    if (quoted)
        return refused(u"文件不完整：从第 %1 行开始的引号没有结束，没有导入任何车辆。"_s.arg(quoteLine));
    if (!field.isEmpty() || fieldStarted || !row.isEmpty()) {
        endField();
        sheet.rows << row;
    }
    dropTrailingEmptyRows(sheet);
    book.sheets << sheet;
    ReadOutcome out;
    out.book = book;
    return out;
}

ReadOutcome ReadWorkbook(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile())
        return refused(u"找不到文件：%1"_s.arg(path));
    const QString suffix = info.suffix().toLower();
    if (suffix == u"xlsx")
        return ReadXlsx(path);
    if (suffix == u"xls")
        return ReadXls(path);
    if (suffix == u"csv" || suffix == u"txt") {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return refused(u"无法打开文件：%1"_s.arg(file.errorString()));
        const QByteArray bytes = file.readAll();
        if (bytes.size() != info.size())
            return refused(damaged(u"只读到 %1 字节"_s.arg(bytes.size())));
        return ReadCsv(bytes);
    }
    return refused(u"不支持的文件类型“%1”：请选择 .xlsx、.xls 或 .csv 文件。"_s.arg(info.suffix()));
}

} // namespace fleetimport
