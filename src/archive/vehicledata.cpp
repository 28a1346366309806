#include "vehicledata.h"

#include "domain/dates.h"
#include "domain/obligations.h"
#include "domain/vehiclecolumns.h"
#include "formfields.h"
#include "store/recordset.h"
#include "store/schema.h"
#include "store/sqltext.h"
#include "store/versions.h"

using namespace Qt::StringLiterals;

namespace archive {

namespace {

// The column names of a "select [a],[b],…" list, in order.
QStringList selectedColumns(const QString& select) {
    QStringList out;
    int i = 0;
    while ((i = select.indexOf(QLatin1Char('['), i)) >= 0) {
        const int end = select.indexOf(QLatin1Char(']'), i);
        if (end < 0)
            break;
        out << select.mid(i + 1, end - i - 1);
        i = end + 1;
    }
    return out;
}

using store::RecordSetGuard;

QList<GroupInfo> buildTable() {
    const domain::VehicleColumnNames& c = domain::VehicleColumn();
    const auto& [inspection, maintenance, insurance, management, permit] = domain::Obligations();
    QList<GroupInfo> table;
    table << GroupInfo{
        VehicleGroup::Basic,
        u"basic"_s,
        0,
        u"select [档案编号],[车主姓名],[车主电话],[从业资格证号],[车主身份证号],[车主详细住址],[主车牌号],"
        u"[驾驶员A身份证号],[A姓名],[驾驶员B身份证号],[B姓名],[挂车牌号],[发动机号],[买入日期],[主车架号],"
        u"[挂车架号],[主车吨位],[挂车吨位],[主车品牌],[挂车品牌],[车辆颜色],[购车方式],[车主身份证信息],"
        u"[车辆照片信息],[车辆照片信息2],[行车证信息1],[行车证信息2],[基本信息备注],[车辆状态]"_s,
        u" where 档案编号 is not null"_s,
        u"刷新显示车辆基本信息!?/"_s,
        {},
        {},
        {},
        {},
        true,
        u"超级列表框_基本信息"_s,
        u"select [编号],[档案编号],[车主姓名],[车主电话],[从业资格证号],[车主身份证号],[车主详细住址],[主车牌号],"
        u"[挂车牌号],[发动机号],[买入日期],[主车架号],[挂车架号],[主车吨位],[挂车吨位],[主车品牌],[挂车品牌],"
        u"[驾驶员A身份证号],[驾驶员B身份证号],[车辆颜色],[购车方式],[车主身份证信息],[车辆照片信息],[基本信息备注]"_s,
        {},
        c.ownerName,
        QStringList{c.boughtOn, c.ownerPhone, c.ownerId, c.ownerAddress, c.driverAId},
        {}};
    table << GroupInfo{
        VehicleGroup::Inspection,
        u"Inspection"_s,
        1,
        u"select [下次审车日期],[下次挂车审车日期],[是否提醒主车审车],[是否提醒挂车审车],[审车是否通知车主],"
        u"[审车应缴费用],[审车已缴费用],[审车缴费日期],[审车备注],[是否脱审]"_s,
        u" where 下次审车日期 is not null"_s,
        u"刷新显示车辆审车信息!1"_s,
        domain::Obligation(domain::ObligationKind::Inspection).dueDate,
        domain::Obligation(domain::ObligationKind::Inspection).trailerDue,
        domain::Obligation(domain::ObligationKind::Inspection).dueFee,
        domain::Obligation(domain::ObligationKind::Inspection).paidFee,
        false,
        u"超级列表框_审车"_s,
        u"select [编号],[下次审车日期],[审车应缴费用],[审车已缴费用],[审车缴费日期]"_s,
        u" where 下次审车日期 is not null"_s,
        domain::Obligation(domain::ObligationKind::Inspection).dueDate,
        {},
        QStringList{inspection.dueFee, inspection.paidFee, inspection.payDate}};
    table << GroupInfo{
        VehicleGroup::Maintenance,
        u"Maintenance"_s,
        2,
        u"select [下次二维日期],[二维是否通知车主],[二维应缴费用],[二维已缴费用],[二维缴费日期],[二维备注],"
        u"[二维驻外],[是否脱维],[是否提醒二维],[二维卡号]"_s,
        u" where 下次二维日期 is not null"_s,
        u"登陆失败刷新显示二维"_s,
        domain::Obligation(domain::ObligationKind::Maintenance).dueDate,
        domain::Obligation(domain::ObligationKind::Maintenance).trailerDue,
        domain::Obligation(domain::ObligationKind::Maintenance).dueFee,
        domain::Obligation(domain::ObligationKind::Maintenance).paidFee,
        true,
        u"超级列表框_二维"_s,
        u"select [编号],[下次二维日期],[二维应缴费用],[二维已缴费用],[二维缴费日期]"_s,
        u" where 下次二维日期 is not null"_s,
        domain::Obligation(domain::ObligationKind::Maintenance).dueDate,
        {},
        QStringList{maintenance.dueFee, maintenance.paidFee, maintenance.payDate}};
    table << GroupInfo{
        VehicleGroup::Insurance,
        u"Insurance"_s,
        3,
        u"select "
        u"[下次保险日期],[下次挂车保险日期],[是否提醒保险],[是否提醒挂车保险],[保险公司名称],[投保险种],[保单号],"
        u"[强险单号],[挂车商险单号],[挂车强险单号],[保险是否通知车主],[保险应缴费用],[保险已缴费用],[保险缴费日期],"
        u"[保险备注],[是否脱保],[交强险],[车损],[三责],[人员],[不计免赔],[其他]"_s,
        u" where 下次保险日期 is not null"_s,
        u"刷新显示车辆保险信息"_s,
        domain::Obligation(domain::ObligationKind::Insurance).dueDate,
        domain::Obligation(domain::ObligationKind::Insurance).trailerDue,
        domain::Obligation(domain::ObligationKind::Insurance).dueFee,
        domain::Obligation(domain::ObligationKind::Insurance).paidFee,
        false,
        u"超级列表框_保险"_s,
        u"select [编号],[下次保险日期],[保险是否通知车主],[保险应缴费用],[保险已缴费用],[保险缴费日期],[保险备注],"
        u"[是否脱保],[保险公司名称],[保单号],[交强险],[车损],[三责],[人员],[不计免赔],[其他]"_s,
        u" where 下次保险日期 is not null"_s,
        domain::Obligation(domain::ObligationKind::Insurance).dueDate,
        QStringList{c.insurer, c.policy, c.compulsory, c.damage, c.occupants, c.thirdParty, c.noDeductible,
                    c.otherCover},
        QStringList{insurance.dueFee, insurance.paidFee, insurance.payDate}};
    table << GroupInfo{VehicleGroup::ManagementFee,
                       u"ManagementFee"_s,
                       4,
                       u"select [管理应缴费用],[管理已缴费用],[管理备注],[下次管理费用日期],[管理缴费日期],"
                       u"[管理费是否通知车主],[是否脱管],[是否提醒管理]"_s,
                       u"  where 下次管理费用日期 is not null"_s,
                       u"刷新显示车辆管理信息!"_s,
                       domain::Obligation(domain::ObligationKind::ManagementFee).dueDate,
                       domain::Obligation(domain::ObligationKind::ManagementFee).trailerDue,
                       domain::Obligation(domain::ObligationKind::ManagementFee).dueFee,
                       domain::Obligation(domain::ObligationKind::ManagementFee).paidFee,
                       false,
                       u"超级列表框_管理"_s,
                       u"select [编号],[下次管理费用日期],[管理应缴费用],[管理已缴费用],[管理缴费日期]"_s,
                       u" where 下次管理费用日期 is not null"_s,
                       domain::Obligation(domain::ObligationKind::ManagementFee).dueDate,
                       {},
                       QStringList{management.dueFee, management.paidFee, management.payDate}};
    table << GroupInfo{VehicleGroup::OperatingPermit,
                       u"OperatingPermit"_s,
                       5,
                       u"select [营运证应缴费用],[营运证已缴费用],[营运证备注],[下次营运证日期],[营运缴费日期],"
                       u"[营运证是否通知车主],[是否脱营],[是否提醒营运],[营运证办理日期],[是否驻内],[营运证号]"_s,
                       u" where 下次营运证日期 is not null"_s,
                       u"刷新显示车辆营运信息!?/"_s,
                       domain::Obligation(domain::ObligationKind::OperatingPermit).dueDate,
                       domain::Obligation(domain::ObligationKind::OperatingPermit).trailerDue,
                       domain::Obligation(domain::ObligationKind::OperatingPermit).dueFee,
                       domain::Obligation(domain::ObligationKind::OperatingPermit).paidFee,
                       false,
                       u"超级列表框_营运"_s,
                       u"select [编号],[下次营运证日期],[营运证应缴费用],[营运证已缴费用],[营运缴费日期]"_s,
                       u" where 下次营运证日期 is not null"_s,
                       domain::Obligation(domain::ObligationKind::OperatingPermit).dueDate,
                       {},
                       QStringList{permit.dueFee, permit.paidFee, permit.payDate}};
    return table;
}

const QList<GroupInfo>& groupTable() {
    static const QList<GroupInfo> all = buildTable();
    return all;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Plates and archive numbers

QString PlateTableRefusal(store::DatabaseConnection& db, const QString& plate) {
    QString refusal = PlateRefusal(plate);
    if (!refusal.isEmpty())
        return refusal;
    const std::optional<bool> listed = PlateListed(db, plate);
    if (!listed)
        return u"查询总表失败，无法确认车牌号"_s + plate + u"！"_s;
    if (!*listed)
        return u"总表中没有车牌号为"_s + plate + u"的车辆！"_s;
    return {};
}

std::optional<bool> PlateListed(store::DatabaseConnection& db, const QString& plate) {
    VehicleRoster roster;
    if (!roster.readPlates(db))
        return std::nullopt;
    return roster.plateListed(plate);
}

QString ArchiveKey(const QString& archiveNumber) {
    int i = 0;
    while (i < archiveNumber.size() && archiveNumber.at(i) == QLatin1Char('0'))
        ++i;
    return archiveNumber.mid(i);
}

std::optional<bool> ArchiveNumberTaken(store::DatabaseConnection& db, const QString& archiveNumber) {
    VehicleRoster roster;
    if (!roster.readArchiveNumbers(db))
        return std::nullopt;
    return roster.archiveTaken(archiveNumber);
}

std::optional<VehicleRoster> VehicleRoster::Read(store::DatabaseConnection& db) {
    VehicleRoster roster;
    if (!roster.readPlates(db) || !roster.readArchiveNumbers(db))
        return std::nullopt;
    return roster;
}

bool VehicleRoster::readPlates(store::DatabaseConnection& db) {
    const int rs = db.OpenRecordSet(u"select 车牌号 from [总表] "_s);
    if (!rs)
        return false;
    RecordSetGuard guard(db, rs);
    for (db.MoveFirst(rs); !db.AtEnd(rs); db.MoveNext(rs)) {
        const QString plate = db.ReadField(rs, u"车牌号"_s).text();
        plates_.insert(plate);
        tableNames_.insert(TableNameKey(plate), plate);
    }
    return true;
}

bool VehicleRoster::readArchiveNumbers(store::DatabaseConnection& db) {
    const int rs = db.OpenRecordSet(u"select 档案编号 from [总表] "_s);
    if (!rs)
        return false;
    RecordSetGuard guard(db, rs);
    for (db.MoveFirst(rs); !db.AtEnd(rs); db.MoveNext(rs))
        archiveKeys_.insert(ArchiveKey(db.ReadField(rs, u"档案编号"_s).text()));
    return true;
}

QString VehicleRoster::TableNameKey(const QString& plate) {
    QString key = plate;
    for (QChar& c : key)
        if (c.unicode() < 128)
            c = c.toLower();
    return key;
}

void VehicleRoster::add(const QString& plate, const QString& archiveNumber) {
    plates_.insert(plate);
    tableNames_.insert(TableNameKey(plate), plate);
    archiveKeys_.insert(ArchiveKey(archiveNumber));
}

// ---------------------------------------------------------------------------------------------
// Search

QString LikePatternText(const QString& text) {
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return store::SqlText(escaped);
}

QString SearchFilter(int condition, const QString& text) {
    // What the operator types matches itself: % and _ are escaped, and the pattern says which
    // character escapes them.
    const QString x = LikePatternText(text);
    const QString escape = u" escape '\\'"_s;
    switch (condition) {
    case 0:
        return u" where 主车牌号 like'%"_s + x + u"%'"_s + escape;
    case 1:
        return u" where 挂车牌号 like'%"_s + x + u"%'"_s + escape;
    case 2:
        return u" where 车主姓名 like'"_s + x + u"%'"_s + escape;
    case 3:
        return u" where 档案编号 like'%"_s + x + u"%'"_s + escape;
    default:
        return {};
    }
}

SearchOutcome SearchVehicles(store::DatabaseConnection& db, int condition, const QString& text) {
    SearchOutcome outcome;
    const QString filter = SearchFilter(condition, text);
    if (filter.isEmpty() || text.isEmpty())
        return outcome;
    const int master = db.OpenRecordSet(u"select [车牌号] from 总表 "_s);
    if (!master) {
        outcome.masterUnreadable = true;
        return outcome;
    }
    RecordSetGuard masterGuard(db, master);
    for (db.MoveFirst(master); !db.AtEnd(master); db.MoveNext(master)) {
        const QString plate = db.ReadField(master, u"车牌号"_s).text();
        if (!IsSafePlate(plate)) {
            ++outcome.unreadableTables;
            continue;
        }
        const int rs = db.OpenRecordSet(u"select [主车牌号],[挂车牌号],[车主姓名],[档案编号] from "_s + plate + filter);
        if (!rs) {
            ++outcome.unreadableTables;
            continue;
        }
        RecordSetGuard guard(db, rs);
        if (db.RowCount(rs) == 0)
            continue;
        db.MoveLast(rs);
        SearchHit hit;
        hit.plate = db.ReadField(rs, domain::VehicleColumn().mainPlate).text();
        if (hit.plate.isEmpty())
            continue;
        hit.trailerPlate = db.ReadField(rs, domain::VehicleColumn().trailerPlate).text();
        hit.ownerName = db.ReadField(rs, domain::VehicleColumn().ownerName).text();
        hit.archiveNumber = db.ReadField(rs, domain::VehicleColumn().archiveNumber).text();
        outcome.hits << hit;
    }
    return outcome;
}

void SearchResultLists::clear() {
    plates.clear();
    archiveNumbers.clear();
    ownerNames.clear();
    trailerPlates.clear();
}

bool SearchResultLists::anyEmpty() const {
    return plates.isEmpty() || archiveNumbers.isEmpty() || ownerNames.isEmpty() || trailerPlates.isEmpty();
}

void SearchResultLists::append(const SearchHit& hit) {
    plates << hit.plate;
    archiveNumbers << hit.archiveNumber;
    ownerNames << hit.ownerName;
    trailerPlates << hit.trailerPlate;
}

SearchResultLists& SearchResults() {
    static SearchResultLists lists;
    return lists;
}

// ---------------------------------------------------------------------------------------------
// Groups

const GroupInfo& GroupDef(VehicleGroup group) {
    return groupTable().at(int(group));
}

QList<VehicleGroup> AllGroups() {
    return {VehicleGroup::Basic,     VehicleGroup::Inspection,    VehicleGroup::Maintenance,
            VehicleGroup::Insurance, VehicleGroup::ManagementFee, VehicleGroup::OperatingPermit};
}

QString PageQuery(VehicleGroup group, const QString& plate) {
    const GroupInfo& s = GroupDef(group);
    return s.pageSelect + u" from "_s + plate + s.condition;
}

QString ListQuery(VehicleGroup group, const QString& plate) {
    const GroupInfo& s = GroupDef(group);
    return s.listSelect + u" from "_s + plate + s.listCondition;
}

QString GroupRow::text(const QString& column, bool trim) const {
    const QString t = values.value(column).text();
    return trim ? t.trimmed() : t;
}

std::optional<GroupRow> ReadCurrentGroup(store::DatabaseConnection& db, VehicleGroup group, const QString& plate) {
    if (!IsSafePlate(plate))
        return std::nullopt;
    const int rs = db.OpenRecordSet(PageQuery(group, plate));
    if (!rs)
        return std::nullopt;
    RecordSetGuard guard(db, rs);
    GroupRow row;
    row.columns = selectedColumns(GroupDef(group).pageSelect);
    if (db.RowCount(rs) == 0)
        return row;
    db.MoveLast(rs);
    row.present = true;
    for (const QString& c : row.columns)
        row.values.insert(c, db.ReadField(rs, c));
    return row;
}

std::optional<QList<ListRow>> ReadGroupList(store::DatabaseConnection& db, VehicleGroup group, const QString& plate,
                                            bool feesVisible) {
    if (!IsSafePlate(plate))
        return std::nullopt;
    const GroupInfo& s = GroupDef(group);
    const int rs = db.OpenRecordSet(ListQuery(group, plate));
    if (!rs)
        return std::nullopt;
    RecordSetGuard guard(db, rs);
    QList<ListRow> rows;
    for (db.MoveFirst(rs); !db.AtEnd(rs); db.MoveNext(rs)) {
        ListRow row;
        row.caption = db.ReadField(rs, s.listCaption).text();
        if (group == VehicleGroup::Basic && row.caption.isEmpty())
            continue;
        row.number = qint64(db.ReadField(rs, domain::VehicleColumn().number).number());
        for (const QString& c : s.listColumns)
            row.cells << db.ReadField(rs, c).text();
        for (const QString& c : s.listFeeColumns)
            row.cells << (feesVisible ? db.ReadField(rs, c).text() : QString());
        rows << row;
    }
    return rows;
}

std::optional<QStringList> ReadInsuranceKinds(store::DatabaseConnection& db) {
    const int rs = db.OpenRecordSet(u"select [险种名称] from 险种名称 where 险种名称 is not null"_s);
    if (!rs)
        return std::nullopt;
    RecordSetGuard guard(db, rs);
    QStringList kinds;
    for (db.MoveFirst(rs); !db.AtEnd(rs); db.MoveNext(rs))
        kinds << db.ReadField(rs, u"险种名称"_s).text();
    return kinds;
}

QString ListFailureMessage(const QString& plate) {
    return u"没有打开车号为"_s + plate + u"的车辆信息！"_s;
}

double OwedAmount(const QString& due, const QString& paid) {
    auto number = [](const QString& text) {
        bool ok = false;
        const double v = text.trimmed().toDouble(&ok);
        return ok ? v : 0.0;
    };
    return number(due) - number(paid);
}

QString OwedText(const QString& due, const QString& paid) {
    return QString::number(OwedAmount(due, paid), 'g', 15);
}

// ---------------------------------------------------------------------------------------------
// Tab colours

std::optional<int> DueMonthOffset(const QDate& mainDue, const QDate& trailerDue, const QDate& referenceMonth) {
    const bool mainSet = domain::IsSetDate(mainDue);
    const bool trailerSet = domain::IsSetDate(trailerDue);
    QDate chosen;
    if (mainSet && trailerSet)
        chosen = domain::MonthsBetween(mainDue, trailerDue) > 0 ? trailerDue : mainDue;
    else if (mainSet)
        chosen = mainDue;
    else if (trailerSet)
        chosen = trailerDue;
    else
        return std::nullopt;
    return domain::MonthsBetween(domain::MonthStart(chosen), domain::MonthStart(referenceMonth));
}

TabColour DueColour(std::optional<int> monthOffset) {
    if (!monthOffset)
        return TabColour::Green;
    const int d = *monthOffset;
    if (d >= 2)
        return TabColour::Green;
    if (d == 1)
        return TabColour::Yellow;
    if (d == 0)
        return TabColour::Red;
    if (d >= -2)
        return TabColour::DarkRed;
    return TabColour::Black;
}

quint32 TabColourValue(TabColour colour) {
    switch (colour) {
    case TabColour::Green:
        return 0x00FF00;
    case TabColour::Yellow:
        return 0x00FFFF;
    case TabColour::Red:
        return 0x0000FF;
    case TabColour::DarkRed:
        return 0x000080;
    case TabColour::Black:
        return 0x000000;
    }
    return 0x00FF00;
}

QString TabColourName(TabColour colour) {
    switch (colour) {
    case TabColour::Green:
        return u"green"_s;
    case TabColour::Yellow:
        return u"yellow"_s;
    case TabColour::Red:
        return u"red"_s;
    case TabColour::DarkRed:
        return u"darkred"_s;
    case TabColour::Black:
        return u"black"_s;
    }
    return u"green"_s;
}

TabColour GroupTabColour(VehicleGroup group, const GroupRow& row, const QDate& referenceMonth) {
    const GroupInfo& s = GroupDef(group);
    if (!row.present || s.mainDue.isEmpty())
        return TabColour::Green;
    const QDate main = row.value(s.mainDue).date();
    const QDate trailer = s.trailerDue.isEmpty() ? QDate() : row.value(s.trailerDue).date();
    return DueColour(DueMonthOffset(main, trailer, referenceMonth));
}

// ---------------------------------------------------------------------------------------------
// Creating and deleting vehicles

const QStringList& FirstRowColumns() {
    static const QStringList columns = [] {
        const domain::VehicleColumnNames& c = domain::VehicleColumn();
        const auto& [inspection, maintenance, insurance, management, permit] = domain::Obligations();
        return QStringList{c.archiveNumber,
                           c.ownerName,
                           c.ownerPhone,
                           c.qualification,
                           c.ownerId,
                           c.ownerAddress,
                           c.mainPlate,
                           c.trailerPlate,
                           c.boughtOn,
                           c.mainFrame,
                           c.trailerFrame,
                           c.mainTonnage,
                           c.trailerTonnage,
                           c.mainBrand,
                           c.trailerBrand,
                           c.driverAId,
                           c.driverAName,
                           c.driverBId,
                           c.driverBName,
                           c.status,
                           c.colour,
                           c.purchase,
                           c.ownerIdImage,
                           c.photo1,
                           c.photo2,
                           c.licence1,
                           c.licence2,
                           c.basicRemark,
                           inspection.dueDate,
                           inspection.trailerDue,
                           inspection.notified,
                           inspection.dueFee,
                           inspection.paidFee,
                           inspection.lapsed,
                           inspection.remind,
                           inspection.remindTrailer,
                           insurance.remind,
                           c.stationedAway,
                           maintenance.remind,
                           management.remind,
                           permit.remind,
                           inspection.remark,
                           maintenance.dueDate,
                           maintenance.notified,
                           c.maintenanceCard,
                           maintenance.dueFee,
                           maintenance.paidFee,
                           maintenance.lapsed,
                           maintenance.remark,
                           insurance.dueDate,
                           c.insuranceKind,
                           c.insurer,
                           c.policy,
                           c.compulsory,
                           c.damage,
                           c.thirdParty,
                           c.occupants,
                           c.noDeductible,
                           c.otherCover,
                           insurance.dueFee,
                           insurance.paidFee,
                           insurance.lapsed,
                           insurance.remark,
                           management.dueDate,
                           management.notified,
                           management.dueFee,
                           management.paidFee,
                           management.lapsed,
                           management.remark,
                           c.permitIssued,
                           permit.dueDate,
                           permit.notified,
                           c.permitNumber,
                           c.stationedIn,
                           permit.dueFee,
                           permit.paidFee,
                           permit.lapsed,
                           permit.remark,
                           inspection.payDate,
                           maintenance.payDate,
                           insurance.payDate,
                           management.payDate,
                           permit.payDate,
                           c.engine,
                           inspection.plateCopy,
                           maintenance.plateCopy,
                           insurance.plateCopy,
                           management.plateCopy,
                           permit.plateCopy,
                           c.compulsoryPolicy,
                           c.trailerPolicy,
                           c.trailerCompulsoryPolicy,
                           insurance.trailerDue,
                           insurance.remindTrailer};
    }();
    return columns;
}

const QStringList& ImageColumns() {
    static const QStringList columns = [] {
        const domain::VehicleColumnNames& c = domain::VehicleColumn();
        return QStringList{c.ownerIdImage, c.photo1, c.photo2, c.licence1, c.licence2};
    }();
    return columns;
}

namespace {

store::ColumnType columnType(const QString& name) {
    for (const store::ColumnDef& c : store::VehicleColumns()) {
        if (c.name == name)
            return c.type;
    }
    return store::ColumnType::Text;
}

} // namespace

QString FirstRowInsert(const NewVehicle& vehicle) {
    const QString plate = vehicle.plate();
    QStringList names;
    QStringList values;
    for (const QString& column : FirstRowColumns()) {
        names << u"["_s + column + u"]"_s;
        const QVariant v = vehicle.values.value(column);
        if (column == domain::VehicleColumn().status) {
            values << QString::number(v.isValid() ? v.toInt() : 1);
            continue;
        }
        switch (columnType(column)) {
        case store::ColumnType::Bytes:
            values << u"?"_s;
            break;
        case store::ColumnType::Date: {
            const QDate d = v.toDate();
            values << u"'"_s + store::SqlDate(d.isValid() ? d : domain::kUnsetDate) + u"'"_s;
            break;
        }
        case store::ColumnType::YesNo:
            values << store::SqlBool(v.toBool());
            break;
        default:
            values << u"'"_s + store::SqlText(v.toString()) + u"'"_s;
            break;
        }
    }
    return u"insert into "_s + plate + u"("_s + names.join(QLatin1Char(',')) + u") values ("_s +
           values.join(QLatin1Char(',')) + u")"_s;
}

void SetNewVehiclePlate(NewVehicle& vehicle, const QString& plate) {
    vehicle.values.insert(domain::VehicleColumn().mainPlate, plate);
    for (const domain::ObligationKind kind : domain::kObligationKinds)
        vehicle.values.insert(domain::Obligation(kind).plateCopy, plate);
}

NewVehicle BlankNewVehicle(const QDate& today, const QString& insuranceKind) {
    NewVehicle v;
    for (int page = 0; page < 6; ++page) {
        for (const FieldDef& f : PageFields(page)) {
            if (f.column.isEmpty())
                continue;
            switch (f.kind) {
            case FieldKind::Edit:
                v.values.insert(f.column, QString());
                break;
            case FieldKind::Date:
                v.values.insert(f.column, PaymentDateBoxes().contains(f.name) ? today : domain::kUnsetDate);
                break;
            case FieldKind::Check:
                v.values.insert(f.column, ReminderBoxes().contains(f.name));
                break;
            case FieldKind::Combo:
                if (!f.itemValues.isEmpty())
                    v.values.insert(f.column, f.itemValues.first());
                else if (f.column == domain::VehicleColumn().insuranceKind)
                    v.values.insert(f.column, insuranceKind);
                else
                    v.values.insert(f.column, f.items.value(0));
                break;
            case FieldKind::Display:
            case FieldKind::Picture:
                break;
            }
        }
    }
    SetNewVehiclePlate(v, QString());
    for (int i = 0; i < ImageColumns().size(); ++i)
        v.images << QByteArray();
    return v;
}

QList<CheckMessage> PlateCheckMessages(const QString& plate, const RosterSource& roster) {
    if (!domain::PlateLengthPlausible(plate))
        return {{u"请检查主车牌号是否正确"_s, true}};
    const VehicleRoster* listed = roster();
    if (!listed)
        return {{u"查询失败！"_s}};
    if (listed->plateListed(plate))
        return {{u"对不起！已经存在此车辆的信息了！"_s}};
    return {};
}

ArchiveNumberCheck CheckArchiveNumber(const QString& archiveNumber, const RosterSource& roster) {
    const VehicleRoster* listed = roster();
    if (!listed)
        return {u"查询失败！"_s, false};
    if (listed->archiveTaken(archiveNumber))
        return {u"对不起！已经存在此档案编号的信息了！"_s, true};
    return {};
}

QString NewVehicleCheck::reason() const {
    QStringList texts;
    for (const CheckMessage& m : messages)
        texts << m.text;
    return texts.join(u"；"_s);
}

NewVehicleCheck CheckNewVehicle(const NewVehicle& vehicle, const RosterSource& roster, bool plateChecked) {
    NewVehicleCheck check;
    // [总表] is read once however many checks ask, and not at all when the plate stops the save.
    std::optional<const VehicleRoster*> fetched;
    const RosterSource once = [&fetched, &roster] {
        if (!fetched)
            fetched = roster();
        return *fetched;
    };
    auto stop = [&check](NewVehicleStop where, const QString& text, bool exclamation = false) {
        check.messages << CheckMessage{text, exclamation};
        check.stop = where;
        return check;
    };
    const QString plate = vehicle.plate();
    if (plate.isEmpty())
        return stop(NewVehicleStop::NoPlate, u"请输入主车车牌号！"_s);
    if (const QString refusal = PlateRefusal(plate); !refusal.isEmpty())
        return stop(NewVehicleStop::PlateRules, refusal, true);
    if (!plateChecked) {
        check.messages << PlateCheckMessages(plate, once);
        check.plateLooked = true;
    }
    const QString archiveNumber = vehicle.archiveNumber();
    if (archiveNumber.isEmpty())
        return stop(NewVehicleStop::NoArchiveNumber, u"请输入档案编号！"_s);
    const ArchiveNumberCheck archive = CheckArchiveNumber(archiveNumber, once);
    if (!archive.message.isEmpty())
        return stop(archive.taken ? NewVehicleStop::ArchiveTaken : NewVehicleStop::ArchiveUnread, archive.message);
    // The archive check has read [总表]. A listed plate is refused even when its table has gone,
    // so that it never gets a second master row; one differing only in the case of its letters
    // names the same table, which the database would refuse to copy.
    if (!once()->sameTableAs(plate).isEmpty())
        return stop(NewVehicleStop::PlateTaken, u"创建新车表格失败！"_s);
    return check;
}

SaveResult SaveNewVehicleRows(store::DatabaseConnection& db, const NewVehicle& vehicle) {
    SaveResult result;
    auto fail = [&result](SaveStep step, const QString& message) {
        result.failedStep = step;
        result.message = message;
        return result;
    };
    bool asked = false;
    bool began = false;
    bool queued = false;
    std::optional<VehicleRoster> roster;
    // Asked only once the plate has passed its rules: a refused plate runs no statement at all.
    const RosterSource underQueue = [&]() -> const VehicleRoster* {
        asked = true;
        // The row the adds queue on exists before any of them begins (on a server two that both
        // found none would meet at its insert instead, and one would fail for no reason of its own).
        store::EnsureVersionRow(db, store::kFleetVersionKey);
        began = db.BeginTransaction();
        // Adds queue on one row: what the checks read is then what the adds before left.
        queued = began && store::TakeVehicleVersion(db, store::kFleetVersionKey, std::nullopt).ok();
        if (queued)
            roster = VehicleRoster::Read(db);
        return roster ? &*roster : nullptr;
    };
    // The form has shown the plate check already; only the refusal counts here.
    const NewVehicleCheck check = CheckNewVehicle(vehicle, underQueue, true);
    if (began && (!queued || check.refused()))
        db.RollbackTransaction();
    if (asked && !queued)
        return fail(SaveStep::CopyTable, u"创建新车表格失败！"_s);
    switch (check.stop) {
    case NewVehicleStop::None:
        break;
    case NewVehicleStop::NoPlate:
    case NewVehicleStop::PlateRules:
    case NewVehicleStop::PlateTaken:
        return fail(SaveStep::CopyTable, check.refusal());
    case NewVehicleStop::NoArchiveNumber:
    case NewVehicleStop::ArchiveUnread:
    case NewVehicleStop::ArchiveTaken:
        return fail(SaveStep::MasterRow, check.refusal());
    }
    result = WriteNewVehicleRows(db, vehicle);
    if (!result.ok) {
        db.RollbackTransaction();
        return result;
    }
    if (!db.CommitTransaction()) {
        db.RollbackTransaction();
        return fail(SaveStep::FirstRow, u"在新表录入记录失败!！"_s);
    }
    return result;
}

SaveResult WriteNewVehicleRows(store::DatabaseConnection& db, const NewVehicle& vehicle) {
    SaveResult result;
    const QString plate = vehicle.plate();
    const QString archiveNumber = vehicle.archiveNumber();
    auto fail = [&](SaveStep step, const QString& message) {
        result.failedStep = step;
        result.message = message;
        return result;
    };
    if (!IsSafePlate(plate))
        return fail(SaveStep::CopyTable, PlateRefusal(plate));
    if (!db.ExecuteStatement(u"select * into "_s + plate + u" from yangbiao"_s))
        return fail(SaveStep::CopyTable, u"创建新车表格失败！"_s);
    // Without the key the rows of the new table would carry no numbers, and every record
    // command addresses rows by number: a vehicle without it is not created at all.
    if (!db.ExecuteStatement(u"Alter table "_s + plate + u"  Add  Constraint  PrimaryKey  Primary  Key (编号)"_s))
        return fail(SaveStep::PrimaryKey, u"设置主键失败！"_s);
    if (!db.ExecuteStatement(u"insert into [总表]([档案编号],[车牌号]) values('"_s + store::SqlText(archiveNumber) +
                             u"','"_s + plate + u"')"_s))
        return fail(SaveStep::MasterRow, u"在总表创建新车记录失败！"_s);
    QList<QByteArray> images = vehicle.images;
    while (images.size() < ImageColumns().size())
        images << QByteArray();
    images = images.mid(0, ImageColumns().size());
    if (!db.ExecuteWithBinaries(FirstRowInsert(vehicle), images))
        return fail(SaveStep::FirstRow, u"在新表录入记录失败!！"_s);
    // A plate used before keeps counting from where its deleted vehicle left off.
    const store::VersionOutcome version = store::TakeVehicleVersion(db, plate, std::nullopt);
    if (!version.ok())
        return fail(SaveStep::FirstRow, u"在新表录入记录失败!！"_s);
    result.version = version.version;
    result.ok = true;
    result.message = u"新车辆添加成功！"_s;
    return result;
}

DeleteResult DeleteVehicleRows(store::DatabaseConnection& db, const QString& plate,
                               std::optional<qint64> loadedVersion) {
    DeleteResult result;
    const QString refusal = PlateTableRefusal(db, plate);
    if (!refusal.isEmpty()) {
        result.message = refusal;
        return result;
    }
    if (!db.BeginTransaction()) {
        result.message = u"没有删除"_s;
        return result;
    }
    const store::VersionOutcome version = store::TakeVehicleVersion(db, plate, loadedVersion);
    if (!version.ok()) {
        db.RollbackTransaction();
        result.message = version.check == store::VersionCheck::Changed ? store::kVehicleChangedMessage : u"没有删除"_s;
        return result;
    }
    if (!db.ExecuteStatement(u"drop table "_s + plate)) {
        RecordSetGuard probe(db, u"select * from "_s + plate);
        if (probe.ok()) {
            // The table is there and could not be dropped: keep the vehicle whole.
            probe.close();
            db.RollbackTransaction();
            result.message = u"没有删除"_s;
            return result;
        }
        result.dropFailure = u"没有删除"_s;
    }
    if (!db.ExecuteStatement(u"delete from [总表] where 车牌号='"_s + store::SqlText(plate) + u"'"_s) ||
        !db.CommitTransaction()) {
        db.RollbackTransaction();
        result.message = u"没有删除主表"_s;
        return result;
    }
    result.ok = true;
    result.message = u"已经成功删除主表主车号为"_s + plate + u"的车辆档案信息"_s;
    return result;
}

// ---------------------------------------------------------------------------------------------
// The version of the vehicle the record form shows

LoadedVehicleVersion& LoadedVersion() {
    static LoadedVehicleVersion loaded;
    return loaded;
}

void RememberLoadedVersion(store::DatabaseConnection& db, const QString& plate) {
    LoadedVersion() = {plate, store::ReadVehicleVersion(db, plate)};
}

std::optional<qint64> LoadedVersionOf(const QString& plate) {
    const LoadedVehicleVersion& loaded = LoadedVersion();
    return loaded.plate == plate ? loaded.version : std::nullopt;
}

void KeepSavedVersion(const QString& plate, qint64 version) {
    LoadedVersion() = {plate, version};
}

} // namespace archive
