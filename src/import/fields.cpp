#include "fields.h"

#include "archive/formfields.h"
#include "domain/obligations.h"
#include "domain/vehiclecolumns.h"

#include <QHash>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace fleetimport {

namespace {

// Headers offices write for a field besides its caption and column name.
QHash<QString, QStringList> variants() {
    const domain::VehicleColumnNames& c = domain::VehicleColumn();
    const auto& [inspection, maintenance, insurance, management, permit] = domain::Obligations();
    return {
        {c.mainPlate, {u"车号"_s, u"车牌号"_s, u"车牌"_s, u"车牌号码"_s, u"主车号"_s, u"主车车牌号"_s, u"牌照号"_s}},
        {c.trailerPlate, {u"挂车号"_s, u"挂车"_s, u"挂车车牌"_s, u"挂车车牌号"_s, u"挂车号码"_s}},
        {c.archiveNumber, {u"档案号"_s, u"档案编码"_s}},
        {c.ownerName, {u"车主"_s, u"车主名称"_s, u"业户"_s, u"业户名称"_s}},
        {c.ownerPhone, {u"电话"_s, u"联系电话"_s, u"手机"_s, u"手机号"_s, u"车主手机"_s}},
        {c.ownerId, {u"身份证号"_s, u"身份证"_s, u"车主身份证"_s, u"身份证号码"_s}},
        {c.qualification, {u"从业资格证"_s, u"资格证号"_s}},
        {c.ownerAddress, {u"地址"_s, u"住址"_s, u"车主地址"_s, u"详细地址"_s}},
        {c.boughtOn, {u"入户日期"_s, u"购买日期"_s, u"购车日期"_s}},
        {c.mainFrame, {u"车架号"_s, u"车辆识别代号"_s}},
        {c.mainTonnage, {u"吨位"_s}},
        {c.mainBrand, {u"品牌"_s, u"厂牌型号"_s}},
        {c.engine, {u"发动机号码"_s}},
        {c.colour, {u"颜色"_s}},
        {c.basicRemark, {u"备注"_s}},
        {c.driverAName, {u"驾驶员A"_s, u"驾驶员A姓名"_s}},
        {c.driverBName, {u"驾驶员B"_s, u"驾驶员B姓名"_s}},
        {inspection.dueDate, {u"审车日期"_s, u"下次审车"_s, u"年审日期"_s, u"下次年审日期"_s}},
        {maintenance.dueDate, {u"二维日期"_s, u"二级维护日期"_s, u"下次二维"_s}},
        {insurance.dueDate, {u"保险日期"_s, u"保险到期日期"_s, u"下次保险"_s}},
        {management.dueDate, {u"管理费日期"_s, u"下次管理费"_s}},
        {permit.dueDate, {u"营运证日期"_s, u"营运证到期日期"_s}},
        {c.permitNumber, {u"营运证号码"_s}},
        {c.insurer, {u"保险公司"_s}},
        {c.policy, {u"商险单号"_s, u"保险单号"_s}},
    };
}

QList<ImportField> buildFields() {
    QList<ImportField> fields;
    QHash<QString, int> captionCount;
    for (int page = 0; page < 6; ++page)
        for (const archive::FieldDef& f : archive::PageFields(page))
            if (!f.column.isEmpty())
                ++captionCount[NormalisedHeader(f.caption)];
    const QHash<QString, QStringList> extra = variants();
    for (int page = 0; page < 6; ++page) {
        for (const archive::FieldDef& f : archive::PageFields(page)) {
            if (f.column.isEmpty() || f.kind == archive::FieldKind::Picture || f.kind == archive::FieldKind::Display)
                continue;
            ImportField field;
            field.column = f.column;
            field.caption = f.caption;
            field.caption.remove(u"："_s);
            switch (f.kind) {
            case archive::FieldKind::Date:
                field.kind = ValueKind::Date;
                break;
            case archive::FieldKind::Check:
                field.kind = ValueKind::YesNo;
                break;
            case archive::FieldKind::Combo:
                field.kind = !f.itemValues.isEmpty() ? ValueKind::Status
                             : f.items.isEmpty()     ? ValueKind::InsuranceKind
                                                     : ValueKind::Choice;
                field.items = f.items;
                field.itemValues = f.itemValues;
                break;
            default:
                field.kind = ValueKind::Text;
                break;
            }
            field.names << NormalisedHeader(f.column);
            const QString caption = NormalisedHeader(f.caption);
            if (captionCount.value(caption) == 1 && !field.names.contains(caption))
                field.names << caption;
            for (const QString& v : extra.value(f.column))
                field.names << NormalisedHeader(v);
            fields << field;
        }
    }
    return fields;
}

bool isYes(const QString& t) {
    static const QStringList yes = {u"是"_s, u"√"_s, u"1"_s, u"true"_s, u"y"_s, u"yes"_s, u"有"_s, u"✔"_s};
    return yes.contains(t.toLower());
}

bool isNo(const QString& t) {
    static const QStringList no = {u"否"_s, u"×"_s, u"0"_s, u"false"_s, u"n"_s, u"no"_s, u"无"_s, u"✘"_s, u"x"_s};
    return no.contains(t.toLower());
}

} // namespace

QString NormalisedHeader(const QString& header) {
    QString out;
    int depth = 0;
    for (QChar ch : header) {
        // Full-width letters and digits as their ASCII forms.
        if (ch.unicode() >= 0xFF01 && ch.unicode() <= 0xFF5E)
            ch = QChar(ch.unicode() - 0xFEE0);
        if (ch == QLatin1Char('(') || ch == u'（') {
            ++depth;
            continue;
        }
        if (ch == QLatin1Char(')') || ch == u'）') {
            depth = std::max(0, depth - 1);
            continue;
        }
        if (depth > 0 || ch.isSpace() || ch == QLatin1Char(':') || ch == u'：' || ch == QLatin1Char('*'))
            continue;
        out += ch.toUpper();
    }
    return out;
}

const QList<ImportField>& ImportFields() {
    static const QList<ImportField> fields = buildFields();
    return fields;
}

const ImportField* FindImportField(const QString& name) {
    const QString key = NormalisedHeader(name);
    const ImportField* found = nullptr;
    for (const ImportField& f : ImportFields()) {
        if (f.column == name)
            return &f;
        if (f.names.contains(key)) {
            if (found && found != &f)
                return nullptr;
            found = &f;
        }
    }
    return found;
}

bool ColumnMap::hasPlate() const {
    return fields.contains(domain::VehicleColumn().mainPlate);
}

QString ColumnMap::duplicateField() const {
    for (int i = 0; i < fields.size(); ++i)
        if (!fields.at(i).isEmpty() && fields.indexOf(fields.at(i), i + 1) > i)
            return fields.at(i);
    return {};
}

ColumnMap MatchColumns(const QStringList& headers) {
    ColumnMap map;
    map.headers = headers;
    for (const QString& header : headers) {
        const QString key = NormalisedHeader(header);
        QString column;
        if (!key.isEmpty()) {
            for (const ImportField& f : ImportFields()) {
                if (f.names.contains(key) && !map.fields.contains(f.column)) {
                    column = f.column;
                    break;
                }
            }
        }
        map.fields << column;
    }
    return map;
}

std::optional<QString> ApplyMapOption(ColumnMap& map, const QString& option) {
    const qsizetype eq = option.lastIndexOf(QLatin1Char('='));
    if (eq <= 0)
        return u"--map 的格式应为 列名=字段：%1"_s.arg(option);
    const QString header = option.left(eq).trimmed();
    const QString target = option.mid(eq + 1).trimmed();
    int column = int(map.headers.indexOf(header));
    if (column < 0) {
        for (int i = 0; i < map.headers.size() && column < 0; ++i)
            if (NormalisedHeader(map.headers.at(i)) == NormalisedHeader(header))
                column = i;
    }
    if (column < 0)
        return u"文件中没有名为“%1”的列（--map %2）"_s.arg(header, option);
    if (target.isEmpty() || target == u"-") {
        map.fields[column].clear();
        return std::nullopt;
    }
    const ImportField* field = FindImportField(target);
    if (!field)
        return u"没有名为“%1”的字段，或这个名称指不止一个字段（--map %2）：请写车辆表的列名，如 主车牌号、车主姓名、"
               u"下次审车日期"_s.arg(target, option);
    // The field leaves the column it was matched to before.
    for (QString& f : map.fields)
        if (f == field->column)
            f.clear();
    map.fields[column] = field->column;
    return std::nullopt;
}

std::optional<QDate> ParseOfficeDate(const SheetCell& cell) {
    if (cell.kind == SheetCell::Kind::Date)
        return cell.date;
    if (cell.kind == SheetCell::Kind::Number)
        return ExcelSerialDate(cell.number);
    const QString t = cell.text.trimmed();
    static const QRegularExpression separated(
        uR"(^(\d{4})([-/.])(\d{1,2})\2(\d{1,2})(?:[ T]\d{1,2}:\d{2}(?::\d{2})?)?$)"_s);
    static const QRegularExpression chinese(uR"(^(\d{4})\s*年\s*(\d{1,2})\s*月\s*(\d{1,2})\s*日$)"_s);
    static const QRegularExpression serial(uR"(^\d{1,7}(?:\.\d+)?$)"_s);
    QRegularExpressionMatch m = separated.match(t);
    if (m.hasMatch()) {
        const QDate d(m.captured(1).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
        return d.isValid() ? std::optional<QDate>(d) : std::nullopt;
    }
    m = chinese.match(t);
    if (m.hasMatch()) {
        const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        return d.isValid() ? std::optional<QDate>(d) : std::nullopt;
    }
    if (serial.match(t).hasMatch())
        return ExcelSerialDate(t.toDouble());
    return std::nullopt;
}

FieldValue ConvertCell(const ImportField& field, const SheetCell& cell, const QStringList& insuranceKinds) {
    FieldValue out;
    const QString text = cell.text.trimmed();
    switch (field.kind) {
    case ValueKind::Text:
        out.value = text;
        break;
    case ValueKind::Date: {
        const std::optional<QDate> d = ParseOfficeDate(cell);
        if (d)
            out.value = *d;
        else
            out.refusal = u"%1“%2”不是可识别的日期（可写 2026-03-05、2026/3/5、2026.3.5、2026年3月5日）"_s.arg(
                field.column, text);
        break;
    }
    case ValueKind::YesNo:
        if (isYes(text))
            out.value = true;
        else if (isNo(text))
            out.value = false;
        else
            out.refusal = u"%1“%2”应为“是”或“否”"_s.arg(field.column, text);
        break;
    case ValueKind::Status: {
        int index = int(field.items.indexOf(text));
        if (index < 0)
            index = int(field.itemValues.indexOf(text.toInt()));
        if (index < 0 || text.isEmpty())
            out.refusal = u"%1“%2”应为%3之一"_s.arg(field.column, text, field.items.join(u"、"_s));
        else
            out.value = field.itemValues.at(index);
        break;
    }
    case ValueKind::Choice:
        if (field.items.contains(text))
            out.value = text;
        else
            out.refusal = u"%1“%2”应为%3之一"_s.arg(field.column, text, field.items.join(u"、"_s));
        break;
    case ValueKind::InsuranceKind:
        if (insuranceKinds.contains(text))
            out.value = text;
        else
            out.refusal = u"投保险种“%1”不在投保险种设置的险种中"_s.arg(text);
        break;
    }
    return out;
}

} // namespace fleetimport
