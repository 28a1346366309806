#include "records.h"

#include "archive/vehicledata.h"
#include "domain/obligations.h"
#include "domain/vehiclecolumns.h"
#include "store/database.h"
#include "store/recordset.h"
#include "store/sqltext.h"
#include "store/versions.h"

#include <QDate>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace archive {

namespace {

using K = ValueKind;

// The tables below are written with UTF-8 char literals; these take them and QStrings alike.
struct Utf8 {
    QString text;
    Utf8(const char* s) : text(QString::fromUtf8(s)) {}
    Utf8(const QString& s) : text(s) {}
};
const domain::ObligationColumns& obligation(domain::ObligationKind kind) {
    return domain::Obligation(kind);
}

RecordField Edit(const Utf8& column, const Utf8& control) {
    return {column.text, control.text, K::Text, true};
}
RecordField Choice(const Utf8& column, const Utf8& control) {
    return {column.text, control.text, K::Choice, false};
}
RecordField Date(const Utf8& column, const Utf8& control) {
    return {column.text, control.text, K::Date, false};
}
RecordField Check(const Utf8& column, const Utf8& control) {
    return {column.text, control.text, K::YesNo, false};
}
RecordField Image(const Utf8& column, const Utf8& control) {
    return {column.text, control.text, K::Image, false};
}

const QString kMainPlateBox = u"带标签编辑框_主车牌号"_s;

QList<RecordPage> makePages() {
    QList<RecordPage> pages(kRecordPageCount);
    pages[0] = {0,
                u"车辆具体信息"_s,
                u"超级列表框_基本信息"_s,
                u"select [编号],[档案编号],[车主姓名],[车主电话],[从业资格证号],[车主身份证号],[车主详细住址],"
                u"[主车牌号],[挂车牌号],[发动机号],[买入日期],[主车架号],[挂车架号],[主车吨位],[挂车吨位],"
                u"[主车品牌],[挂车品牌],[驾驶员A身份证号],[A姓名],[驾驶员B身份证号],[B姓名],[车辆颜色],"
                u"[购车方式],[车主身份证信息],[车辆照片信息],[车辆照片信息2],[行车证信息1],[行车证信息2],"
                u"[基本信息备注],[车辆状态] from "_s,
                u"登陆失败超级列表框基本信息"_s,
                u"([档案编号],[车主姓名],[车主电话],[从业资格证号],[车主身份证号],[车主详细住址],[主车牌号],"
                u"[挂车牌号],[买入日期],[主车架号],[挂车架号],[主车吨位],[挂车吨位],[主车品牌],[挂车品牌],"
                u"[驾驶员A身份证号],[A姓名],[驾驶员B身份证号],[B姓名],[车辆颜色],[购车方式],[车主身份证信息],"
                u"[车辆照片信息],[车辆照片信息2],[行车证信息1],[行车证信息2],[基本信息备注],[发动机号],"
                u"[车辆状态]) values('"_s,
                u"在新表录入记录失败！"_s,
                u"修改不成功!"_s,
                u"的车辆基本信息修改成功！"_s,
                {},
                {},
                {},
                {}};
    pages[1] = {1,
                u"审车信息"_s,
                u"超级列表框_审车"_s,
                u"select [编号],[下次审车日期],[下次挂车审车日期],[审车是否通知车主],[审车应缴费用],"
                u"[审车已缴费用],[审车缴费日期],[审车备注],[是否脱审],[是否提醒主车审车],[是否提醒挂车审车] from "_s,
                u"登陆失败!"_s,
                u"([下次审车日期],[下次挂车审车日期],[审车是否通知车主],[审车应缴费用],[审车已缴费用],[是否脱审],"
                u"[是否提醒主车审车],[是否提醒挂车审车],[审车备注],[审车缴费日期],[审车车号]) values('"_s,
                u"在新表录入记录失败！1"_s,
                u"修改不成功"_s,
                u"的审车信息修改成功！"_s,
                obligation(domain::ObligationKind::Inspection).lapsed,
                u"带标签编辑框_审车应缴费用"_s,
                u"带标签编辑框_审车已缴费用"_s,
                u"带标签编辑框_审车还欠费用"_s};
    pages[2] = {2,
                u"二级维护信息"_s,
                u"超级列表框_二维"_s,
                u"select [编号],[二维卡号],[二维应缴费用],[二维已缴费用],[二维备注],[下次二维日期],[二维缴费日期],"
                u"[二维是否通知车主],[二维驻外],[是否脱维],[是否提醒二维] from "_s,
                u"超级列表框_二维_左键单击表项!"_s,
                u"([下次二维日期],[二维是否通知车主],[二维应缴费用],[二维已缴费用],[二维驻外],[是否脱维],"
                u"[是否提醒二维],[二维卡号],[二维备注],[二维缴费日期],[二维车号]) values('"_s,
                u"在新表录入记录失败！"_s,
                u"修改不成功"_s,
                u"的二维信息修改成功！"_s,
                obligation(domain::ObligationKind::Maintenance).lapsed,
                u"带标签编辑框_二维应缴费用"_s,
                u"带标签编辑框_二维已缴费用"_s,
                u"带标签编辑框_二维还欠费用"_s};
    pages[3] = {3,
                u"保险信息"_s,
                u"超级列表框_保险"_s,
                u"select [编号],[保险公司名称],[保单号],[投保险种],[强险单号],[挂车商险单号],[挂车强险单号],"
                u"[下次挂车保险日期],[保险应缴费用],[保险已缴费用],[不计免赔],[其他],[保险备注],[三责],[车损],"
                u"[交强险],[人员],[下次保险日期],[保险缴费日期],[保险是否通知车主],[是否脱保],[是否提醒保险],"
                u"[是否提醒挂车保险] from "_s,
                u"超级列表框_保险_左键单击表项!"_s,
                u" ([下次保险日期],[下次挂车保险日期],[是否提醒保险],[是否提醒挂车保险],[保险公司名称],[投保险种],"
                u"[保单号],[强险单号],[挂车商险单号],[挂车强险单号],[保险应缴费用],[保险已缴费用],[保险缴费日期],"
                u"[保险备注],[是否脱保],[交强险],[车损],[三责],[人员],[不计免赔],[其他],[保险车号]) values('"_s,
                u"在新表录入记录失败！"_s,
                u"修改不成功"_s,
                u"的保险信息修改成功！"_s,
                obligation(domain::ObligationKind::Insurance).lapsed,
                u"带标签编辑框_保险应缴费用"_s,
                u"带标签编辑框_保险已缴费用"_s,
                u"带标签编辑框_保险还欠费用"_s};
    pages[4] = {4,
                u"管理费用信息"_s,
                u"超级列表框_管理"_s,
                u"select [编号],[下次管理费用日期],[管理费是否通知车主],[管理应缴费用],[管理已缴费用],"
                u"[管理缴费日期],[管理备注],[是否脱管],[是否提醒管理] from "_s,
                u"超级列表框_管理_左键单击表项!"_s,
                u" ([下次管理费用日期],[管理费是否通知车主],[管理应缴费用],[管理已缴费用],[是否脱管],[是否提醒管理],"
                u"[管理备注],[管理缴费日期],[管理车号]) values('"_s,
                u"在新表录入记录失败！"_s,
                u"修改不成功"_s,
                u"的管理费信息修改成功！"_s,
                obligation(domain::ObligationKind::ManagementFee).lapsed,
                u"带标签编辑框_管理应缴费用"_s,
                u"带标签编辑框_管理已缴费用"_s,
                u"带标签编辑框_管理还欠费用"_s};
    pages[5] = {5,
                u"营运证信息"_s,
                u"超级列表框_营运"_s,
                u"select [编号],[下次营运证日期],[营运证是否通知车主],[营运证应缴费用],[营运证已缴费用],"
                u"[营运缴费日期],[营运证备注],[是否脱营],[是否提醒营运],[营运证办理日期],[营运证号],[是否驻内] from "_s,
                u"超级列表框_营运_左键单击表项!"_s,
                u"([下次营运证日期],[营运证是否通知车主],[营运证应缴费用],[营运证已缴费用],[是否脱营],[是否提醒营运],"
                u"[营运证备注],[营运缴费日期],[营运证办理日期],[营运证号],[是否驻内],[营运车号]) values('"_s,
                u"在新表录入记录失败！"_s,
                u"修改不成功"_s,
                u"的营运信息修改成功！"_s,
                obligation(domain::ObligationKind::OperatingPermit).lapsed,
                u"带标签编辑框_营运应缴费用"_s,
                u"带标签编辑框_营运已缴费用"_s,
                u"带标签编辑框_营运还欠费用"_s};
    return pages;
}

QList<QList<RecordField>> makeFields() {
    const domain::VehicleColumnNames& c = domain::VehicleColumn();
    const auto& [inspection, maintenance, insurance, management, permit] = domain::Obligations();
    QList<QList<RecordField>> f(kRecordPageCount);
    f[0] = {Edit(c.archiveNumber, "带标签编辑框_档案编号"),
            Edit(c.ownerName, "带标签编辑框_车主姓名"),
            Edit(c.ownerPhone, "带标签编辑框_车主电话"),
            Edit(c.qualification, "带标签编辑框_从业资格证号"),
            Edit(c.ownerId, "带标签编辑框_车主身份证号"),
            Edit(c.ownerAddress, "带标签编辑框_车主地址"),
            Edit(c.mainPlate, kMainPlateBox),
            Edit(c.trailerPlate, "带标签编辑框_挂车牌号"),
            Edit(c.engine, "带标签编辑框_发动机号"),
            Date(c.boughtOn, "日期框_入户时间"),
            Edit(c.mainFrame, "带标签编辑框_主车架号"),
            Edit(c.trailerFrame, "带标签编辑框_挂车架号"),
            Edit(c.mainTonnage, "带标签编辑框_主车吨位"),
            Edit(c.trailerTonnage, "带标签编辑框_挂车吨位"),
            Edit(c.mainBrand, "带标签编辑框_主车品牌"),
            Edit(c.trailerBrand, "带标签编辑框_挂车品牌"),
            Edit(c.driverAId, "带标签编辑框_驾驶员A身份证号"),
            Edit(c.driverAName, "带标签编辑框_A姓名"),
            Edit(c.driverBId, "带标签编辑框_驾驶员B身份证号"),
            Edit(c.driverBName, "带标签编辑框_B姓名"),
            Edit(c.colour, "带标签编辑框_车辆颜色"),
            Edit(c.purchase, "带标签编辑框_购车方式"),
            Image(c.ownerIdImage, "图片框_身份证"),
            Image(c.photo1, "图片框_车辆照片1"),
            Image(c.photo2, "图片框_车辆照片2"),
            Image(c.licence1, "图片框_行车证1"),
            Image(c.licence2, "图片框_行车证2"),
            Edit(c.basicRemark, "带标签编辑框_车辆信息备注"),
            RecordField{c.status, u"组合框_车辆状态"_s, K::State, false}};
    f[1] = {Date(inspection.dueDate, "日期框_下次主车审车"),
            Date(inspection.trailerDue, "日期框_下次挂车审车"),
            Choice(inspection.notified, "组合框_审车"),
            Edit(inspection.dueFee, "带标签编辑框_审车应缴费用"),
            Edit(inspection.paidFee, "带标签编辑框_审车已缴费用"),
            Date(inspection.payDate, "日期框_审车缴费时间"),
            Edit(inspection.remark, "带标签编辑框_审车备注"),
            Check(inspection.lapsed, "选择框_是否脱审"),
            Check(inspection.remind, "选择框_是否提醒主车审车"),
            Check(inspection.remindTrailer, "选择框_是否提醒挂车审车"),
            Edit(inspection.plateCopy, kMainPlateBox)};
    f[2] = {Edit(c.maintenanceCard, "带标签编辑框_二维卡号"),
            Edit(maintenance.dueFee, "带标签编辑框_二维应缴费用"),
            Edit(maintenance.paidFee, "带标签编辑框_二维已缴费用"),
            Edit(maintenance.remark, "带标签编辑框_二维备注"),
            Date(maintenance.dueDate, "日期框_下次二维"),
            Date(maintenance.payDate, "日期框_二维缴费时间"),
            Choice(maintenance.notified, "组合框_二级维护"),
            Check(c.stationedAway, "选择框_二维驻外"),
            Check(maintenance.lapsed, "选择框_是否脱维"),
            Check(maintenance.remind, "选择框_是否提醒二维"),
            Edit(maintenance.plateCopy, kMainPlateBox)};
    f[3] = {Edit(c.insurer, "带标签编辑框_保险公司名称"), Edit(c.policy, "带标签编辑框_保险编号"),
            RecordField{c.insuranceKind, u"组合框_投保险种"_s, K::Choice, true},
            Edit(c.compulsoryPolicy, "带标签编辑框_强险编号"), Edit(c.trailerPolicy, "带标签编辑框_挂车保险编号"),
            Edit(c.trailerCompulsoryPolicy, "带标签编辑框_挂车强险编号"),
            Date(insurance.trailerDue, "日期框_下次挂车保险"), Edit(insurance.dueFee, "带标签编辑框_保险应缴费用"),
            Edit(insurance.paidFee, "带标签编辑框_保险已缴费用"), Edit(c.noDeductible, "带标签编辑框_保险不计免赔"),
            Edit(c.otherCover, "带标签编辑框_保险其他"), Edit(insurance.remark, "带标签编辑框_保险备注"),
            Edit(c.thirdParty, "带标签编辑框_三者"), Edit(c.damage, "带标签编辑框_车损"),
            Edit(c.compulsory, "带标签编辑框_交强险"), Edit(c.occupants, "带标签编辑框_人员"),
            Date(insurance.dueDate, "日期框_下次保险"), Date(insurance.payDate, "日期框_保险缴费时间"),
            // Selected with the record but the page has no box for it; no statement writes it.
            Choice(insurance.notified, QString()), Check(insurance.lapsed, "选择框_是否脱保"),
            Check(insurance.remind, "选择框_是否提醒保险"), Check(insurance.remindTrailer, "选择框_是否提醒挂车保险"),
            Edit(insurance.plateCopy, "带标签编辑框_保险主车牌号")};
    f[4] = {Date(management.dueDate, "日期框_下次管理费"),
            Choice(management.notified, "组合框_管理费"),
            Edit(management.dueFee, "带标签编辑框_管理应缴费用"),
            Edit(management.paidFee, "带标签编辑框_管理已缴费用"),
            Date(management.payDate, "日期框_管理缴费时间"),
            Edit(management.remark, "带标签编辑框_管理备注"),
            Check(management.lapsed, "选择框_是否脱管"),
            Check(management.remind, "选择框_是否提醒管理"),
            Edit(management.plateCopy, kMainPlateBox)};
    f[5] = {Date(permit.dueDate, "日期框_下次营运证日期"),
            Choice(permit.notified, "组合框_营运"),
            Edit(permit.dueFee, "带标签编辑框_营运应缴费用"),
            Edit(permit.paidFee, "带标签编辑框_营运已缴费用"),
            Date(permit.payDate, "日期框_营运缴费时间"),
            Edit(permit.remark, "带标签编辑框_营运备注"),
            Check(permit.lapsed, "选择框_是否脱营"),
            Check(permit.remind, "选择框_是否提醒营运"),
            Date(c.permitIssued, "日期框_营运证办理日期"),
            Edit(c.permitNumber, "带标签编辑框_营运证号码"),
            Choice(c.stationedIn, "组合框_类别"),
            Edit(permit.plateCopy, kMainPlateBox)};
    return f;
}

QList<QStringList> makeUpdateOrders() {
    const domain::VehicleColumnNames& c = domain::VehicleColumn();
    const auto& [inspection, maintenance, insurance, management, permit] = domain::Obligations();
    QList<QStringList> u(kRecordPageCount);
    u[0] = {c.archiveNumber,  c.ownerName,    c.ownerPhone,   c.qualification, c.ownerId,      c.ownerAddress,
            c.mainPlate,      c.trailerPlate, c.boughtOn,     c.mainFrame,     c.trailerFrame, c.mainTonnage,
            c.trailerTonnage, c.mainBrand,    c.trailerBrand, c.colour,        c.purchase,     c.engine,
            c.basicRemark,    c.status,       c.driverAId,    c.driverAName,   c.driverBName,  c.driverBId,
            c.ownerIdImage,   c.photo1,       c.photo2,       c.licence1,      c.licence2};
    u[1] = {inspection.dueDate, inspection.notified,      inspection.dueFee, inspection.paidFee, inspection.lapsed,
            inspection.remind,  inspection.remindTrailer, inspection.remark, inspection.payDate, inspection.trailerDue};
    u[2] = {maintenance.dueDate, maintenance.notified, maintenance.dueFee, maintenance.paidFee, c.stationedAway,
            maintenance.lapsed,  maintenance.remind,   maintenance.remark, maintenance.payDate, c.maintenanceCard};
    // The notification column is left as stored: the page has no box that could supply it.
    u[3] = {insurance.dueDate,
            insurance.trailerDue,
            insurance.dueFee,
            insurance.paidFee,
            insurance.lapsed,
            insurance.remind,
            insurance.remindTrailer,
            insurance.remark,
            insurance.payDate,
            c.insurer,
            c.policy,
            c.compulsory,
            c.damage,
            c.trailerCompulsoryPolicy,
            c.trailerPolicy,
            c.compulsoryPolicy,
            c.insuranceKind,
            c.occupants,
            c.thirdParty,
            c.noDeductible,
            c.otherCover};
    u[4] = {management.dueDate, management.notified, management.dueFee, management.paidFee,
            management.lapsed,  management.remind,   management.remark, management.payDate};
    u[5] = {permit.dueDate, permit.notified, permit.dueFee,  permit.paidFee, permit.lapsed, permit.remind,
            permit.remark,  permit.payDate,  c.permitNumber, c.stationedIn,  c.permitIssued};
    return u;
}

const QList<RecordPage>& pages() {
    static const QList<RecordPage> p = makePages();
    return p;
}

const QList<QList<RecordField>>& fields() {
    static const QList<QList<RecordField>> f = makeFields();
    return f;
}

int checkedPage(int page) {
    return page >= 0 && page < kRecordPageCount ? page : 0;
}

QStringList bracketedNames(const QString& text) {
    static const QRegularExpression re(u"\\[([^\\]]+)\\]"_s);
    QStringList names;
    for (auto it = re.globalMatch(text); it.hasNext();)
        names << it.next().captured(1);
    return names;
}

// One value in the statement's quoting, or nothing when it cannot be written (an unreadable date).
struct Literal {
    QString text;
    bool quoted = true;
    bool usable = true;
};

Literal literalFor(const RecordField& field, const QVariant& value, bool modifying, QList<QByteArray>* binaries) {
    switch (field.kind) {
    case K::Text:
    case K::Choice: {
        QString text = value.toString();
        if (modifying && field.trimOnModify)
            text = text.trimmed();
        return {store::SqlText(text), true, true};
    }
    case K::Date: {
        const QDate date = value.toDate();
        if (!date.isValid())
            return {{}, true, false};
        return {store::SqlDate(date), true, true};
    }
    case K::YesNo:
        return {store::SqlBool(value.toBool()), false, true};
    case K::Image:
        binaries->append(value.toByteArray());
        return {u"?"_s, false, true};
    case K::State: {
        // No item shown: the record keeps no state.
        if (value.isNull())
            return {u"NULL"_s, false, true};
        // Only a known item value; anything else would be text the statement carries bare.
        bool ok = false;
        const int state = value.toString().trimmed().toInt(&ok);
        if (!ok || state < 1 || state > 3)
            return {{}, false, false};
        return {QString::number(state), modifying, true};
    }
    }
    return {{}, true, false};
}

QString quotedOrBare(const Literal& l) {
    return l.quoted ? QLatin1Char('\'') + l.text + QLatin1Char('\'') : l.text;
}

} // namespace

const RecordPage& RecordPageInfo(int page) {
    return pages()[checkedPage(page)];
}

const QList<RecordField>& RecordFields(int page) {
    return fields()[checkedPage(page)];
}

const RecordField* FindRecordField(int page, const QString& column) {
    for (const RecordField& f : RecordFields(page))
        if (f.column == column)
            return &f;
    return nullptr;
}

QStringList SelectedColumns(int page) {
    QStringList names = bracketedNames(RecordPageInfo(page).selectText);
    names.removeAll(domain::VehicleColumn().number);
    return names;
}

QStringList InsertedColumns(int page) {
    return bracketedNames(RecordPageInfo(page).insertColumns);
}

QStringList UpdatedColumns(int page) {
    static const QList<QStringList> u = makeUpdateOrders();
    return u[checkedPage(page)];
}

bool PlateUsableAsTableName(store::DatabaseConnection& db, const QString& plate, QString* refusal) {
    const QString why = PlateTableRefusal(db, plate);
    if (refusal)
        *refusal = why;
    return why.isEmpty();
}

BuiltStatement BuildInsert(int page, const QString& plate, const RecordValues& values) {
    const RecordPage& info = RecordPageInfo(page);
    BuiltStatement out;
    if (info.index == 0) {
        if (values.value(domain::VehicleColumn().mainPlate).toString().isEmpty()) {
            out.error = u"请输入主车车牌号！"_s;
            return out;
        }
        if (values.value(domain::VehicleColumn().archiveNumber).toString().isEmpty()) {
            out.error = u"请输入档案编号！"_s;
            return out;
        }
    }
    if (!PlateUsableAsTableName(plate)) {
        out.error = info.insertFailure;
        return out;
    }
    QStringList parts;
    for (const QString& column : InsertedColumns(page)) {
        const RecordField* field = FindRecordField(page, column);
        const Literal l =
            field ? literalFor(*field, values.value(column), false, &out.binaries) : Literal{{}, true, false};
        if (!l.usable) {
            out = {};
            out.error = info.insertFailure;
            return out;
        }
        parts << quotedOrBare(l);
    }
    // The column list already opens the first quote of the values.
    QString columns = info.insertColumns;
    columns.chop(1);
    out.text = u"insert into "_s + plate + columns + parts.join(QLatin1Char(',')) + u")"_s;
    return out;
}

BuiltStatement BuildUpdate(int page, const QString& plate, const RecordValues& values, qint64 number) {
    const RecordPage& info = RecordPageInfo(page);
    BuiltStatement out;
    if (!PlateUsableAsTableName(plate)) {
        out.error = info.updateFailure;
        return out;
    }
    QStringList assignments;
    for (const QString& column : UpdatedColumns(page)) {
        const RecordField* field = FindRecordField(page, column);
        const Literal l =
            field ? literalFor(*field, values.value(column), true, &out.binaries) : Literal{{}, true, false};
        if (!l.usable) {
            out = {};
            out.error = info.updateFailure;
            return out;
        }
        assignments << QLatin1Char('[') + column + u"]="_s + quotedOrBare(l);
    }
    out.text = u"update "_s + plate + u" set "_s + assignments.join(QLatin1Char(',')) + u" where [编号]="_s +
               QString::number(number);
    return out;
}

QString BuildSelectOne(int page, const QString& plate, qint64 number) {
    return RecordPageInfo(page).selectText + plate + u" where [编号]="_s + QString::number(number);
}

QString BuildDeleteOne(const QString& plate, qint64 number) {
    return u"delete * from "_s + plate + u" where [编号]="_s + QString::number(number);
}

QString BuildLapseReset(int page, const QString& plate) {
    const RecordPage& info = RecordPageInfo(page);
    if (info.lapseColumn.isEmpty())
        return {};
    return u"update "_s + plate + u" set ["_s + info.lapseColumn + u"]=false"_s;
}

QString BuildMasterRowDelete(const QString& plate) {
    return u"delete * from [总表] where [车牌号]='"_s + store::SqlText(plate) + u"'"_s;
}

QString BuildDropTable(const QString& plate) {
    return u"DROP TABLE "_s + plate;
}

bool IsLastRecordOfVehicle(int listRowCount, qint64 number) {
    return listRowCount == 1 && number == 1;
}

namespace {

// Opens the command's transaction and takes the vehicle's version in it. On a refusal the
// transaction is already rolled back and *refused holds what to report.
bool beginVersioned(store::DatabaseConnection& db, const QString& plate, std::optional<qint64> loadedVersion,
                    const QString& failure, RecordOutcome* refused, qint64* version) {
    if (!db.BeginTransaction()) {
        *refused = {false, failure};
        return false;
    }
    const store::VersionOutcome taken = store::TakeVehicleVersion(db, plate, loadedVersion);
    if (!taken.ok()) {
        db.RollbackTransaction();
        *refused = taken.check == store::VersionCheck::Changed
                       ? RecordOutcome{false, store::kVehicleChangedMessage, true}
                       : RecordOutcome{false, failure};
        return false;
    }
    *version = taken.version;
    return true;
}

RecordOutcome commitVersioned(store::DatabaseConnection& db, const QString& message, const QString& failure,
                              qint64 version) {
    if (!db.CommitTransaction()) {
        db.RollbackTransaction();
        return {false, failure};
    }
    return {true, message, false, version};
}

} // namespace

RecordOutcome AddRecordRow(store::DatabaseConnection& db, int page, const QString& plate, const RecordValues& values,
                           std::optional<qint64> loadedVersion) {
    const BuiltStatement insert = BuildInsert(page, plate, values);
    if (!insert.ok())
        return {false, insert.error};
    const RecordPage& info = RecordPageInfo(page);
    RecordOutcome refused;
    qint64 version = 0;
    if (!beginVersioned(db, plate, loadedVersion, info.insertFailure, &refused, &version))
        return refused;
    const bool written =
        info.index == 0 ? db.ExecuteWithBinaries(insert.text, insert.binaries) : db.ExecuteStatement(insert.text);
    if (!written) {
        db.RollbackTransaction();
        return {false, info.insertFailure};
    }
    const QString reset = BuildLapseReset(page, plate);
    if (!reset.isEmpty() && !db.ExecuteStatement(reset)) {
        db.RollbackTransaction();
        return {false, u"清除"_s + info.lapseColumn + u"标记失败，历史记录没有添加！"_s};
    }
    return commitVersioned(db, u"添加车辆历史记录成功！"_s, info.insertFailure, version);
}

RecordOutcome ModifyRecordRow(store::DatabaseConnection& db, int page, const QString& plate, const RecordValues& values,
                              qint64 number, std::optional<qint64> loadedVersion) {
    const RecordPage& info = RecordPageInfo(page);
    const BuiltStatement update = BuildUpdate(page, plate, values, number);
    if (!update.ok())
        return {false, update.error};
    RecordOutcome refused;
    qint64 version = 0;
    if (!beginVersioned(db, plate, loadedVersion, info.updateFailure, &refused, &version))
        return refused;
    const bool written =
        info.index == 0 ? db.ExecuteWithBinaries(update.text, update.binaries) : db.ExecuteStatement(update.text);
    if (!written) {
        db.RollbackTransaction();
        return {false, info.updateFailure};
    }
    return commitVersioned(db, u"车号为"_s + plate + info.updateSuccessEnding, info.updateFailure, version);
}

// The group's marker: the column its loader's condition " where <marker> is not null" names.
static QString groupMarker(const GroupInfo& group) {
    QString c = group.condition.trimmed();
    c.remove(0, c.indexOf(QLatin1Char(' ')) + 1);
    return c.left(c.indexOf(QLatin1Char(' '))).remove(QLatin1Char('[')).remove(QLatin1Char(']'));
}

QStringList GroupColumns(int page) {
    QStringList columns;
    for (const RecordField& f : RecordFields(page))
        if (f.column != domain::VehicleColumn().number && !columns.contains(f.column))
            columns << f.column;
    // The marker and the plate copy belong to the group even where the page shows neither.
    const GroupInfo& group = GroupDef(AllGroups().value(checkedPage(page)));
    const QString marker = groupMarker(group);
    if (!marker.isEmpty() && !columns.contains(marker))
        columns << marker;
    return columns;
}

RecordOutcome DeleteRecordRow(store::DatabaseConnection& db, int page, const QString& plate, qint64 number,
                              std::optional<qint64> loadedVersion) {
    RecordOutcome failed{false, u"删除不成功"_s};
    if (!PlateUsableAsTableName(plate))
        return failed;
    page = checkedPage(page);
    RecordOutcome refused;
    qint64 version = 0;
    if (!beginVersioned(db, plate, loadedVersion, failed.message, &refused, &version))
        return refused;
    auto fail = [&] {
        db.RollbackTransaction();
        return failed;
    };
    // Which other groups the row carries: each group's marker column.
    QStringList others;
    for (int p = 0; p < kRecordPageCount; ++p)
        if (p != page)
            others << groupMarker(GroupDef(AllGroups().value(p)));
    QStringList selected;
    for (const QString& m : others)
        selected << QLatin1Char('[') + m + QLatin1Char(']');
    const int rs = db.OpenRecordSet(u"select "_s + selected.join(QLatin1Char(',')) + u" from "_s + plate +
                                    u" where [编号]="_s + QString::number(number));
    if (rs == 0)
        return fail();
    store::RecordSetGuard rsGuard(db, rs);
    bool exists = false;
    bool carriesOthers = false;
    db.MoveFirst(rs);
    if (!db.AtEnd(rs)) {
        exists = true;
        for (const QString& m : others)
            if (!db.ReadField(rs, m).isNull)
                carriesOthers = true;
    }
    rsGuard.close();
    if (!exists)
        return fail();
    QString statement = BuildDeleteOne(plate, number);
    if (carriesOthers) {
        QStringList assignments;
        for (const QString& column : GroupColumns(page))
            assignments << QLatin1Char('[') + column + u"]=NULL"_s;
        statement = u"update "_s + plate + u" set "_s + assignments.join(QLatin1Char(',')) + u" where [编号]="_s +
                    QString::number(number);
    }
    if (!db.ExecuteStatement(statement))
        return fail();
    return commitVersioned(db, u"删除成功!"_s, failed.message, version);
}

bool RemoveVehicleWithLastRecord(store::DatabaseConnection& db, const QString& plate,
                                 std::optional<qint64> loadedVersion, bool* changed) {
    if (changed)
        *changed = false;
    if (!PlateUsableAsTableName(plate))
        return false;
    RecordOutcome refused;
    qint64 version = 0;
    if (!beginVersioned(db, plate, loadedVersion, {}, &refused, &version)) {
        if (changed)
            *changed = refused.changed;
        return false;
    }
    if (db.ExecuteStatement(BuildMasterRowDelete(plate)) && db.ExecuteStatement(BuildDropTable(plate)) &&
        db.CommitTransaction())
        return true;
    db.RollbackTransaction();
    return false;
}

bool ReadRecord(store::DatabaseConnection& db, int page, const QString& plate, qint64 number, RecordValues* values) {
    if (!PlateUsableAsTableName(plate))
        return false;
    const int rs = db.OpenRecordSet(BuildSelectOne(page, plate, number));
    if (rs == 0)
        return false;
    store::RecordSetGuard rsGuard(db, rs);
    db.MoveFirst(rs);
    RecordValues read;
    if (!db.AtEnd(rs)) {
        for (const QString& column : SelectedColumns(page)) {
            const RecordField* field = FindRecordField(page, column);
            if (!field)
                continue;
            const store::FieldValue v = db.ReadField(rs, column);
            switch (field->kind) {
            case K::Text:
            case K::Choice:
                read.insert(column, v.text());
                break;
            case K::Date:
                read.insert(column, v.date());
                break;
            case K::YesNo:
                read.insert(column, v.yesNo());
                break;
            case K::Image:
                read.insert(column, v.bytes());
                break;
            case K::State:
                read.insert(column, v.isNull ? QVariant() : QVariant(int(v.number())));
                break;
            }
        }
    }
    rsGuard.close();
    *values = read;
    return true;
}

} // namespace archive
