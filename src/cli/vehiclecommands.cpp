#include "vehiclecommands.h"

#include "cli/options.h"

#include "alerts/monthmath.h"
#include "archive/vehicledata.h"
#include "store/database.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/target.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

// Opens the database named by --data-dir (or the usual place); reports on err when it cannot.
bool openDatabase(QStringList& args, store::DatabaseConnection& db, QTextStream& err) {
    bool missing = false;
    const QString dir = TakeValue(args, u"--data-dir"_s, &missing);
    if (missing) {
        err << u"--data-dir 需要一个目录\n"_s;
        return false;
    }
    UseDataDirectory(dir);
    const QString target = store::DatabaseTarget();
    if (store::TargetMissing(target)) {
        err << u"数据库不存在：%1\n"_s.arg(QDir::toNativeSeparators(target));
        return false;
    }
    if (!store::OpenTarget(db, target)) {
        err << u"数据库打开失败：%1（%2）\n"_s.arg(QDir::toNativeSeparators(target), db.LastError());
        return false;
    }
    return true;
}

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

int SearchCommand(QStringList args, QTextStream& out, QTextStream& err) {
    bool missing = false;
    const QString by = TakeValue(args, u"--by"_s, &missing);
    if (missing) {
        err << u"用法：velmora-cli search --by plate|trailer|owner|archive 搜索内容\n"_s;
        return 2;
    }
    const QStringList conditions = {u"plate"_s, u"trailer"_s, u"owner"_s, u"archive"_s};
    const int condition = conditions.indexOf(by.isEmpty() ? u"plate"_s : by);
    if (condition < 0) {
        err << u"未知的搜索条件：%1（可用 plate、trailer、owner、archive）\n"_s.arg(by);
        return 2;
    }
    store::DatabaseConnection db;
    if (!openDatabase(args, db, err))
        return 1;
    if (args.size() > 1) {
        err << u"用法：velmora-cli search --by plate|trailer|owner|archive 搜索内容\n"_s;
        return 2;
    }
    if (args.isEmpty() || args.first().isEmpty()) {
        err << u"请输入搜索条件后后再次搜索！\n"_s;
        return 2;
    }
    const archive::SearchOutcome outcome = archive::SearchVehicles(db, condition, args.first());
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

int ShowCommand(QStringList args, QTextStream& out, QTextStream& err) {
    bool missing = false;
    const QString todayText = TakeValue(args, u"--today"_s, &missing);
    if (missing) {
        err << u"--today 需要一个日期（YYYY-MM-DD）\n"_s;
        return 2;
    }
    if (!todayText.isEmpty()) {
        const QDate today = QDate::fromString(todayText, Qt::ISODate);
        if (!today.isValid()) {
            err << u"日期无效：%1（应为 YYYY-MM-DD）\n"_s.arg(todayText);
            return 2;
        }
        store::SetToday(today);
    }
    store::DatabaseConnection db;
    if (!openDatabase(args, db, err))
        return 1;
    if (args.size() != 1 || args.first().isEmpty()) {
        err << u"用法：velmora-cli show 主车牌号 [--today YYYY-MM-DD]\n"_s;
        return 2;
    }
    const QString plate = args.first();
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
