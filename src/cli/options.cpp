#include "cli/options.h"

#include "store/database.h"
#include "store/outputfile.h"
#include "store/schema.h"
#include "store/target.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

// The options every command takes besides its own.
const QList<OptionSpec>& commonOptions() {
    static const QList<OptionSpec> options = {
        {u"--data-dir"_s, OptionKind::Path},
        {u"--database"_s, OptionKind::Path},
    };
    return options;
}

const OptionSpec* findOption(const CommandSpec& declared, const QString& name) {
    for (const QList<OptionSpec>* list : {&declared.options, &commonOptions()})
        for (const OptionSpec& option : *list)
            if (option.name == name)
                return &option;
    return nullptr;
}

bool isHelp(const QString& word) {
    return word == u"--help"_s || word == u"-h"_s;
}

ParsedCommand refused(const CommandSpec& declared, const QString& reason, QTextStream& err) {
    err << reason << "\n" << u"用法："_s << declared.usage << "\n";
    ParsedCommand result;
    result.exitStatus = 2;
    return result;
}

// A value given to option, or the reason it is refused.
std::optional<QString> valueRefusal(const OptionSpec& option, const QString& value) {
    switch (option.kind) {
    case OptionKind::Flag:
    case OptionKind::Text:
        return std::nullopt;
    case OptionKind::Path:
        if (value.isEmpty())
            return u"%1 的值不能为空"_s.arg(option.name);
        return std::nullopt;
    case OptionKind::Date:
        if (!StrictDate(value))
            return u"日期无效，应为 YYYY-MM-DD：%1 %2"_s.arg(option.name, value);
        return std::nullopt;
    case OptionKind::Choice:
        if (!option.choices.contains(value))
            return u"%1 只能是 %2：%3"_s.arg(option.name, option.choices.join(u"、"_s), value);
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

std::optional<QDate> StrictDate(const QString& text) {
    // Anchored at the very end: "$" alone would also take a date followed by a newline.
    static const QRegularExpression form(QRegularExpression::anchoredPattern(u"[0-9]{4}-[0-9]{2}-[0-9]{2}"_s));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    const QDate date = QDate::fromString(text, u"yyyy-MM-dd"_s);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<QDate> ParsedCommand::date(const QString& option) const {
    if (!has(option))
        return std::nullopt;
    return StrictDate(value(option));
}

ParsedCommand ParseCommandLine(const CommandSpec& declared, const QStringList& args, QTextStream& out,
                               QTextStream& err) {
    // --help anywhere before "--" wins over everything else on the line.
    for (const QString& word : args) {
        if (word == u"--"_s)
            break;
        if (isHelp(word)) {
            out << u"用法："_s << declared.usage << "\n" << declared.help;
            ParsedCommand help;
            help.exitStatus = 0;
            return help;
        }
    }
    ParsedCommand result;
    bool argumentsOnly = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& word = args.at(i);
        if (argumentsOnly || !word.startsWith(u'-') || word == u"-"_s) {
            result.arguments << word;
            continue;
        }
        if (word == u"--"_s) {
            argumentsOnly = true;
            continue;
        }
        QString name = word;
        std::optional<QString> inlineValue;
        if (const qsizetype equals = word.indexOf(u'='); word.startsWith(u"--"_s) && equals > 2) {
            name = word.left(equals);
            inlineValue = word.mid(equals + 1);
        }
        const OptionSpec* option = findOption(declared, name);
        if (!option)
            return refused(declared, u"未知选项：%1"_s.arg(word), err);
        if (result.has(option->name))
            return refused(declared, u"选项重复：%1"_s.arg(option->name), err);
        QString value;
        if (option->kind == OptionKind::Flag) {
            if (inlineValue)
                return refused(declared, u"%1 不带值"_s.arg(option->name), err);
        } else if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < args.size() && !args.at(i + 1).startsWith(u"--"_s)) {
            // The next word is the value, unless it is another option or the "--" that ends the
            // options: "--output --format" and "--output --" lack one.
            value = args.at(++i);
        } else {
            return refused(declared, u"%1 缺少值"_s.arg(option->name), err);
        }
        if (value == u"--"_s)
            return refused(declared, u"%1 缺少值"_s.arg(option->name), err);
        if (const std::optional<QString> refusal = valueRefusal(*option, value))
            return refused(declared, *refusal, err);
        result.set(option->name, value);
    }
    for (const OptionSpec& option : declared.options)
        if (option.required && !result.has(option.name))
            return refused(declared, u"缺少选项：%1"_s.arg(option.name), err);
    if (result.arguments.size() < declared.minArguments)
        return refused(declared, u"缺少参数"_s, err);
    if (result.arguments.size() > declared.maxArguments)
        return refused(declared, u"多余的参数：%1"_s.arg(result.arguments.mid(declared.maxArguments).join(u' ')), err);
    if (result.has(u"--data-dir"_s))
        qputenv("VELMORA_DATA_DIR", QDir(result.value(u"--data-dir"_s)).absolutePath().toLocal8Bit());
    if (result.has(u"--database"_s))
        qputenv("VELMORA_DATABASE", result.value(u"--database"_s).toLocal8Bit());
    return result;
}

bool OpenDataDatabase(store::DatabaseConnection& db, QTextStream& err, OpenFor mode) {
    const store::DatabaseTargetInfo target = store::DatabaseTarget();
    if (!target.ok()) {
        err << target.refusal << "\n";
        return false;
    }
    if (target.isServer()) {
        const store::OpenAccess access =
            mode == OpenFor::ReadOnly ? store::OpenAccess::ReadOnly : store::OpenAccess::ReadWrite;
        if (!store::OpenTarget(db, target.server, store::ConnectionSharing::Shared, access)) {
            err << u"数据库打开失败！%1\n"_s.arg(db.LastError());
            return false;
        }
        return true;
    }
    const QString path = target.file;
    if (!QFileInfo::exists(path)) {
        err << u"数据库丢失！%1\n"_s.arg(QDir::toNativeSeparators(path));
        return false;
    }
    const store::OpenAccess access =
        mode == OpenFor::ReadOnly ? store::OpenAccess::ReadOnly : store::OpenAccess::ReadWrite;
    if (!db.OpenDatabaseFile(path, store::kDatabasePassword, store::ConnectionSharing::Shared, access)) {
        err << u"数据库打开失败！%1\n"_s.arg(db.LastError());
        return false;
    }
    return true;
}

const QStringList& ReportFormatNames() {
    static const QStringList names = {u"json"_s, u"csv"_s, u"xlsx"_s, u"pdf"_s};
    return names;
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
