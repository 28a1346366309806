#include "cli/options.h"

#include "store/database.h"
#include "store/outputfile.h"
#include "store/schema.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace cli {

QString TakeValue(QStringList& args, const QString& name, bool* bad) {
    const auto i = args.indexOf(name);
    if (i < 0)
        return {};
    if (i + 1 >= args.size()) {
        *bad = true;
        args.remove(i);
        return {};
    }
    QString value = args.at(i + 1);
    args.remove(i, 2);
    return value;
}

std::optional<QDate> ParseDate(const QString& text, QTextStream& err) {
    const QDate date = QDate::fromString(text, Qt::ISODate);
    if (!date.isValid()) {
        err << u"日期无效，应为 YYYY-MM-DD：%1\n"_s.arg(text);
        return std::nullopt;
    }
    return date;
}

std::optional<Period> ParsePeriod(const QString& fromText, const QString& toText, QTextStream& err) {
    const std::optional<QDate> from = ParseDate(fromText, err);
    const std::optional<QDate> to = from ? ParseDate(toText, err) : std::nullopt;
    if (!to)
        return std::nullopt;
    return Period{*from, *to};
}

void UseDataDirectory(const QString& dir) {
    if (!dir.isEmpty())
        qputenv("VELMORA_DATA_DIR", QDir(dir).absolutePath().toLocal8Bit());
}

bool OpenDataDatabase(store::DatabaseConnection& db, QTextStream& err) {
    const QString path = store::DatabasePath();
    if (!QFileInfo::exists(path)) {
        err << u"数据库丢失！%1\n"_s.arg(QDir::toNativeSeparators(path));
        return false;
    }
    if (!db.OpenDatabaseFile(path, store::kDatabasePassword)) {
        err << u"数据库打开失败！%1\n"_s.arg(db.LastError());
        return false;
    }
    return true;
}

std::optional<report::ExportFormat> ReportFormat(const QString& name, const QString& output, QTextStream& err) {
    const QString formatName = name.isEmpty() ? u"json"_s : name;
    const std::optional<report::ExportFormat> format = report::FormatForName(formatName);
    if (!format) {
        err << u"输出格式只能是 json、csv、xlsx 或 pdf：%1\n"_s.arg(formatName);
        return std::nullopt;
    }
    const bool binary = *format == report::ExportFormat::Xlsx || *format == report::ExportFormat::Pdf;
    if (binary && output.isEmpty()) {
        err << u"xlsx 和 pdf 格式需要 --output 文件\n"_s;
        return std::nullopt;
    }
    return format;
}

bool WriteText(const QByteArray& bytes, const QString& output, QTextStream& out, QTextStream& err, StdoutMark mark) {
    if (output.isEmpty()) {
        // fromUtf8 drops a leading byte-order mark; where it is kept, it goes out as a character.
        if (mark == StdoutMark::Kept && bytes.startsWith("\xEF\xBB\xBF"))
            out << QChar(0xFEFF) << QString::fromUtf8(bytes.mid(3));
        else
            out << QString::fromUtf8(bytes);
        return true;
    }
    QString error;
    if (!store::WriteOutputBytes(output, bytes, &error)) {
        err << u"写入失败：%1 %2\n"_s.arg(QDir::toNativeSeparators(output), error);
        return false;
    }
    return true;
}

bool WriteTable(const report::ReportTable& table, report::ExportFormat format, const QString& output, QTextStream& out,
                QTextStream& err, const report::RenderOptions& options, StdoutMark mark) {
    if (output.isEmpty())
        return WriteText(format == report::ExportFormat::Csv ? report::CsvText(table) : report::JsonText(table), {},
                         out, err, mark);
    QString error;
    if (!report::WriteReport(table, output, format, &error, options)) {
        err << u"写入失败：%1 %2\n"_s.arg(QDir::toNativeSeparators(output), error);
        return false;
    }
    return true;
}

} // namespace cli
