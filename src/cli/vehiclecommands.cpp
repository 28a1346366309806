#include "vehiclecommands.h"

#include "cli/options.h"

#include "alerts/monthmath.h"
#include "archive/vehicledata.h"
#include "store/database.h"
#include "store/schema.h"
#include "store/session.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

const CommandSpec kSearchSpec{
    .usage = u"velmora-cli search --by plate|trailer|owner|archive 搜索内容 [--data-dir DIR] [--database URL]"_s,
    .help = u"按主车牌号、挂车牌号、车主姓名（从开头匹配）或档案编号搜索车辆，输出 JSON 数组。\n"
            u"  --by 条件        plate 主车牌号（默认），trailer 挂车牌号，owner 车主姓名，archive 档案编号\n"
            u"  --data-dir DIR   数据目录\n"
            u"  --database URL   数据库（文件路径或 postgresql:// 服务器连接文本）\n"
            u"只读：只读打开数据库，不修改数据库（只读文件也可以）。\n"_s,
    .options = {{u"--by"_s, OptionKind::Choice, false, {u"plate"_s, u"trailer"_s, u"owner"_s, u"archive"_s}}},
    .minArguments = 0, // an empty search has a message of its own
    .maxArguments = 1,
};

const CommandSpec kShowSpec{
    .usage = u"velmora-cli show 主车牌号 [--today YYYY-MM-DD] [--data-dir DIR] [--database URL]"_s,
    .help = u"输出车辆的当前档案和各项义务的最新记录（JSON）。\n"
            u"  --today 日期     按此日期计算到期状态（默认今天）\n"
            u"  --data-dir DIR   数据目录\n"
            u"  --database URL   数据库（文件路径或 postgresql:// 服务器连接文本）\n"
            u"只读：只读打开数据库，不修改数据库（只读文件也可以）。\n"_s,
    .options = {{u"--today"_s, OptionKind::Date}},
    .minArguments = 1,
    .maxArguments = 1,
};

QString json(const QJsonDocument& doc) {
    return QString::fromUtf8(doc.toJson(QJsonDocument::Indented));
}

QJsonValue fieldJson(const store::FieldValue& f, bool trim) {
    if (f.kind == store::FieldKind::Bytes)
        return double(f.bytes().size());
    if (f.isNull)
        return QJsonValue::Null;
    switch (f.kind) {
    case store::FieldKind::DateTime:
        return f.date().isValid() ? f.date().toString(Qt::ISODate) : f.text();
    case store::FieldKind::YesNo:
        return f.yesNo();
    case store::FieldKind::Number:
        return f.number();
    default:
        return trim ? f.text().trimmed() : f.text();
    }
}

} // namespace

int SearchCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    const ParsedCommand options = ParseCommandLine(kSearchSpec, args, out, err);
    if (!options.ok())
        return options.exitStatus;
    const QStringList conditions = {u"plate"_s, u"trailer"_s, u"owner"_s, u"archive"_s};
    const int condition = int(conditions.indexOf(options.value(u"--by"_s, u"plate"_s)));
    if (options.arguments.isEmpty() || options.arguments.first().isEmpty()) {
        err << u"请输入搜索条件后后再次搜索！\n"_s;
        return 2;
    }
    store::DatabaseConnection db;
    if (!OpenDataDatabase(db, err, OpenFor::ReadOnly))
        return 1;
    const QStringList words = options.arguments;
    const archive::SearchOutcome outcome = archive::SearchVehicles(db, condition, words.first());
    if (outcome.masterUnreadable) {
        err << u"没有找到！\n"_s;
        return 1;
    }
    for (int i = 0; i < outcome.unreadableTables; ++i)
        err << u"没有找到小表！\n"_s;
    QJsonArray array;
    for (const archive::SearchHit& hit : outcome.hits) {
        QJsonObject o;
        o.insert(u"档案编号"_s, hit.archiveNumber);
        o.insert(u"主车牌号"_s, hit.plate);
        o.insert(u"挂车牌号"_s, hit.trailerPlate);
        o.insert(u"车主姓名"_s, hit.ownerName);
        array.append(o);
    }
    out << json(QJsonDocument(array));
    return 0;
}

int ShowCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    const ParsedCommand options = ParseCommandLine(kShowSpec, args, out, err);
    if (!options.ok())
        return options.exitStatus;
    if (const std::optional<QDate> today = options.date(u"--today"_s))
        store::SetToday(*today);
    store::DatabaseConnection db;
    if (!OpenDataDatabase(db, err, OpenFor::ReadOnly))
        return 1;
    const QString plate = options.arguments.first();
    const std::optional<bool> listed = archive::PlateListed(db, plate);
    if (!listed) {
        err << u"查询失败！\n"_s;
        return 1;
    }
    if (!*listed || !archive::IsSafePlate(plate)) {
        err << u"没有车牌号为%1的车辆！\n"_s.arg(plate);
        return 1;
    }
    const QDate referenceMonth = alerts::MonthStart(store::Today());
    QJsonObject result;
    QJsonObject colours;
    for (archive::VehicleGroup group : archive::AllGroups()) {
        const archive::GroupInfo& groupDef = archive::GroupDef(group);
        const std::optional<archive::GroupRow> row = archive::ReadCurrentGroup(db, group, plate);
        if (!row) {
            err << groupDef.pageFailure << "\n";
            return 1;
        }
        if (group != archive::VehicleGroup::Basic)
            colours.insert(groupDef.key, archive::TabColourName(archive::GroupTabColour(group, *row, referenceMonth)));
        if (!row->present) {
            result.insert(groupDef.key, QJsonValue::Null);
            continue;
        }
        QJsonObject o;
        for (const QString& column : row->columns)
            o.insert(column, fieldJson(row->value(column), groupDef.trimmed));
        if (!groupDef.dueFee.isEmpty())
            o.insert(u"owed"_s,
                     archive::OwedAmount(row->value(groupDef.dueFee).text(), row->value(groupDef.paidFee).text()));
        result.insert(groupDef.key, o);
    }
    result.insert(u"tab_colours"_s, colours);
    out << json(QJsonDocument(result));
    return 0;
}

} // namespace cli
