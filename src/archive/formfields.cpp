#include "formfields.h"

#include "archive/vehicledata.h"
#include "domain/obligations.h"
#include "domain/vehiclecolumns.h"
#include "store/database.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace archive {

namespace {

// Small builders so that each table line reads like the form it describes.
FieldDef edit(const char* name, const char* caption, const QString& column, Tracking tracking = Tracking::Edit) {
    FieldDef f;
    f.name = QString::fromUtf8(name);
    f.caption = QString::fromUtf8(caption);
    f.kind = FieldKind::Edit;
    f.column = column;
    f.tracking = tracking;
    return f;
}

FieldDef display(const char* name, const char* caption) {
    FieldDef f;
    f.name = QString::fromUtf8(name);
    f.caption = QString::fromUtf8(caption);
    f.kind = FieldKind::Display;
    f.readOnly = true;
    return f;
}

FieldDef date(const char* name, const char* labelName, const char* caption, const QString& column, Tracking tracking,
              bool arms) {
    FieldDef f;
    f.name = QString::fromUtf8(name);
    f.labelName = QString::fromUtf8(labelName);
    f.caption = QString::fromUtf8(caption);
    f.kind = FieldKind::Date;
    f.column = column;
    f.tracking = tracking;
    f.armsEdit = arms;
    return f;
}

FieldDef check(const char* name, const char* caption, const QString& column, Tracking tracking) {
    FieldDef f;
    f.name = QString::fromUtf8(name);
    f.caption = QString::fromUtf8(caption);
    f.kind = FieldKind::Check;
    f.column = column;
    f.tracking = tracking;
    return f;
}

FieldDef combo(const char* name, const char* labelName, const char* caption, const QString& column, Tracking tracking,
               const QStringList& items) {
    FieldDef f;
    f.name = QString::fromUtf8(name);
    f.labelName = QString::fromUtf8(labelName);
    f.caption = QString::fromUtf8(caption);
    f.kind = FieldKind::Combo;
    f.column = column;
    f.tracking = tracking;
    f.items = items;
    return f;
}

FieldDef picture(const char* name, const char* caption, const QString& column) {
    FieldDef f;
    f.name = QString::fromUtf8(name);
    f.caption = QString::fromUtf8(caption);
    f.kind = FieldKind::Picture;
    f.column = column;
    return f;
}

FieldDef wide(FieldDef f) {
    f.wide = true;
    return f;
}

FieldDef beside(FieldDef f) {
    f.besidePrevious = true;
    return f;
}

FieldDef readOnly(FieldDef f) {
    f.readOnly = true;
    return f;
}

FieldDef fee(FieldDef f) {
    f.fee = true;
    return f;
}

// A display box that repeats the text of source, a box of page 0.
FieldDef copyOf(FieldDef f, const char* source) {
    f.copyOf = QString::fromUtf8(source);
    return f;
}

// The four copies of the basic record at the head of each obligation page.
QList<FieldDef> headerCopies(const char* archive, const char* plate, const char* owner, const char* phone) {
    return {copyOf(display(archive, "档案编号："), "带标签编辑框_档案编号"),
            copyOf(display(plate, "主车牌号："), "带标签编辑框_主车牌号"),
            copyOf(display(owner, "车主姓名："), "带标签编辑框_车主姓名"),
            copyOf(display(phone, "车主电话："), "带标签编辑框_车主电话")};
}

QList<FieldDef> basicPage() {
    const domain::VehicleColumnNames& c = domain::VehicleColumn();
    FieldDef status = combo("组合框_车辆状态", "透明标签_车辆状态", "车辆状态", c.status, Tracking::None,
                            {u"正常"_s, u"转出"_s, u"注销"_s});
    status.itemValues = {1, 2, 3};
    return {
        readOnly(edit("带标签编辑框_档案编号", "档案编号：", c.archiveNumber)),
        readOnly(edit("带标签编辑框_主车牌号", "主车牌号：", c.mainPlate)),
        edit("带标签编辑框_挂车牌号", "挂车牌号：", c.trailerPlate),
        edit("带标签编辑框_车主姓名", "车主姓名：", c.ownerName),
        edit("带标签编辑框_车主电话", "车主电话：", c.ownerPhone),
        status,
        edit("带标签编辑框_车主身份证号", "车主身份证号：", c.ownerId),
        edit("带标签编辑框_从业资格证号", "从业资格号：", c.qualification),
        date("日期框_入户时间", "透明标签_入户时间", "入户时间：", c.boughtOn, Tracking::Edit, true),
        edit("带标签编辑框_驾驶员A身份证号", "驾驶员A证件号", c.driverAId),
        edit("带标签编辑框_A姓名", "A姓名", c.driverAName, Tracking::None),
        edit("带标签编辑框_购车方式", "购车方式：", c.purchase),
        edit("带标签编辑框_驾驶员B身份证号", "驾驶员B证件号", c.driverBId),
        edit("带标签编辑框_B姓名", "B姓名", c.driverBName, Tracking::None),
        edit("带标签编辑框_车辆颜色", "车辆颜色：", c.colour),
        edit("带标签编辑框_发动机号", "发动机号：", c.engine),
        edit("带标签编辑框_主车架号", "主车架号：", c.mainFrame),
        edit("带标签编辑框_挂车架号", "挂车架号：", c.trailerFrame),
        edit("带标签编辑框_主车吨位", "主车吨位：", c.mainTonnage),
        edit("带标签编辑框_主车品牌", "主车品牌：", c.mainBrand),
        edit("带标签编辑框_挂车吨位", "挂车吨位：", c.trailerTonnage),
        edit("带标签编辑框_挂车品牌", "挂车品牌：", c.trailerBrand),
        wide(edit("带标签编辑框_车主地址", "车主详细住址：", c.ownerAddress)),
        wide(edit("带标签编辑框_车辆信息备注", "备注：", c.basicRemark)),
        picture("图片框_身份证", "车主身份证信息", c.ownerIdImage),
        picture("图片框_车辆照片1", "车辆照片信息", c.photo1),
        picture("图片框_车辆照片2", "车辆照片信息", c.photo2),
        picture("图片框_行车证1", "行车证信息", c.licence1),
        picture("图片框_行车证2", "行车证信息", c.licence2),
    };
}

QList<FieldDef> inspectionPage() {
    const domain::ObligationColumns& o = domain::Obligation(domain::ObligationKind::Inspection);
    QList<FieldDef> f = headerCopies("带标签编辑框_审车档案编号", "带标签编辑框_审车车牌号",
                                     "带标签编辑框_审车车主姓名", "带标签编辑框_审车车主电话");
    f << date("日期框_下次主车审车", "透明标签_下次主车审车日期", "下次主车审车日期", o.dueDate, Tracking::Edit, true)
      << beside(check("选择框_是否提醒主车审车", "是否提醒", o.remind, Tracking::None))
      << date("日期框_下次挂车审车", "透明标签_下次挂车审车日期1", "下次挂车审车日期", o.trailerDue, Tracking::None,
              false)
      << beside(check("选择框_是否提醒挂车审车", "是否提醒", o.remindTrailer, Tracking::None))
      << combo("组合框_审车", "透明标签_审车通知", "审车是否通知车主", o.notified, Tracking::Choice,
               NotificationItems())
      << fee(edit("带标签编辑框_审车应缴费用", "应缴费用：", o.dueFee))
      << fee(edit("带标签编辑框_审车已缴费用", "已缴费用：", o.paidFee))
      << fee(edit("带标签编辑框_审车还欠费用", "还欠费用：", {}, Tracking::None))
      << fee(date("日期框_审车缴费时间", "透明标签_审车缴费时间", "缴费时间", o.payDate, Tracking::Edit, true))
      << check("选择框_是否脱审", "是否脱审", o.lapsed, Tracking::Choice)
      << wide(edit("带标签编辑框_审车备注", "备注：", o.remark));
    return f;
}

QList<FieldDef> maintenancePage() {
    const domain::VehicleColumnNames& c = domain::VehicleColumn();
    const domain::ObligationColumns& o = domain::Obligation(domain::ObligationKind::Maintenance);
    QList<FieldDef> f = headerCopies("带标签编辑框_二维档案编号", "带标签编辑框_二维主车牌号",
                                     "带标签编辑框_二维车主姓名", "带标签编辑框_二维车主电话");
    f << date("日期框_下次二维", "透明标签_下次二级维护", "下次二级维护日期", o.dueDate, Tracking::Edit, true)
      << beside(check("选择框_是否提醒二维", "是否提醒", o.remind, Tracking::None))
      << edit("带标签编辑框_二维卡号", "二维卡号：", c.maintenanceCard)
      << combo("组合框_二级维护", "透明标签_二级维护通知", "二级维护是否通知车主", o.notified, Tracking::Choice,
               NotificationItems())
      << fee(edit("带标签编辑框_二维应缴费用", "应缴费用：", o.dueFee))
      << fee(edit("带标签编辑框_二维已缴费用", "已缴费用：", o.paidFee))
      << fee(edit("带标签编辑框_二维还欠费用", "还欠费用：", {}, Tracking::None))
      << fee(date("日期框_二维缴费时间", "透明标签_二维缴费时间", "缴费时间", o.payDate, Tracking::Edit, true))
      << check("选择框_二维驻外", "二维驻外", c.stationedAway, Tracking::None)
      << check("选择框_是否脱维", "是否脱维", o.lapsed, Tracking::Choice)
      << wide(edit("带标签编辑框_二维备注", "备注：", o.remark));
    return f;
}

QList<FieldDef> insurancePage() {
    const domain::VehicleColumnNames& c = domain::VehicleColumn();
    const domain::ObligationColumns& o = domain::Obligation(domain::ObligationKind::Insurance);
    QList<FieldDef> f = headerCopies("带标签编辑框_保险档案编号", "带标签编辑框_保险主车牌号",
                                     "带标签编辑框_保险车主姓名", "带标签编辑框_保险车主电话");
    f << edit("带标签编辑框_保险公司名称", "保险公司名称：", c.insurer)
      << combo("组合框_投保险种", "透明标签_投保险种", "投保险种", c.insuranceKind, Tracking::Choice, {})
      << edit("带标签编辑框_保险编号", "商险单号：", c.policy)
      << edit("带标签编辑框_强险编号", "强险单号：", c.compulsoryPolicy, Tracking::None)
      << edit("带标签编辑框_挂车保险编号", "挂车商险单号：", c.trailerPolicy, Tracking::None)
      << edit("带标签编辑框_挂车强险编号", "挂车强险单号：", c.trailerCompulsoryPolicy, Tracking::None)
      << edit("带标签编辑框_交强险", "交强险：", c.compulsory) << edit("带标签编辑框_车损", "车损：", c.damage)
      << edit("带标签编辑框_三者", "三者险：", c.thirdParty) << edit("带标签编辑框_人员", "人员：", c.occupants)
      << edit("带标签编辑框_保险不计免赔", "不计免赔：", c.noDeductible)
      << edit("带标签编辑框_保险其他", "其他：", c.otherCover)
      << date("日期框_下次保险", "透明标签_下次保险", "下次主车保险日期", o.dueDate, Tracking::Edit, true)
      << beside(check("选择框_是否提醒保险", "是否提醒", o.remind, Tracking::None))
      << date("日期框_下次挂车保险", "透明标签_下次挂车保险", "下次挂车保险日期", o.trailerDue, Tracking::None, false)
      << beside(check("选择框_是否提醒挂车保险", "挂车是否提醒", o.remindTrailer, Tracking::None))
      << fee(edit("带标签编辑框_保险应缴费用", "应缴费用：", o.dueFee))
      << fee(edit("带标签编辑框_保险已缴费用", "已缴费用：", o.paidFee))
      << fee(edit("带标签编辑框_保险还欠费用", "还欠费用：", {}, Tracking::None))
      << fee(date("日期框_保险缴费时间", "透明标签_保险缴费时间", "缴费时间", o.payDate, Tracking::Edit, true))
      << check("选择框_是否脱保", "是否脱保", o.lapsed, Tracking::Choice)
      << wide(edit("带标签编辑框_保险备注", "备注：", o.remark));
    return f;
}

QList<FieldDef> managementFeePage() {
    const domain::ObligationColumns& o = domain::Obligation(domain::ObligationKind::ManagementFee);
    QList<FieldDef> f = headerCopies("带标签编辑框_管理档案编号", "带标签编辑框_管理主车牌号",
                                     "带标签编辑框_管理车主姓名", "带标签编辑框_管理车主电话");
    f << date("日期框_下次管理费", "透明标签_下次管理费", "下次管理费日期", o.dueDate, Tracking::Edit, true)
      << beside(check("选择框_是否提醒管理", "是否提醒", o.remind, Tracking::None))
      << combo("组合框_管理费", "透明标签_管理费用通知", "管理费是否通知车主", o.notified, Tracking::Choice,
               NotificationItems())
      << check("选择框_是否脱管", "是否脱管", o.lapsed, Tracking::Choice)
      << fee(edit("带标签编辑框_管理应缴费用", "应缴费用：", o.dueFee))
      << fee(edit("带标签编辑框_管理已缴费用", "已缴费用：", o.paidFee))
      << fee(edit("带标签编辑框_管理还欠费用", "还欠费用：", {}, Tracking::None))
      << fee(date("日期框_管理缴费时间", "透明标签_管理缴费时间", "缴费时间", o.payDate, Tracking::Edit, true))
      << wide(edit("带标签编辑框_管理备注", "备注：", o.remark));
    return f;
}

QList<FieldDef> operatingPermitPage() {
    const domain::VehicleColumnNames& c = domain::VehicleColumn();
    const domain::ObligationColumns& o = domain::Obligation(domain::ObligationKind::OperatingPermit);
    QList<FieldDef> f = headerCopies("带标签编辑框_营运档案编号", "带标签编辑框_营运主车牌号",
                                     "带标签编辑框_营运车主姓名", "带标签编辑框_营运车主电话");
    FieldDef category =
        combo("组合框_类别", "透明标签_是否驻内", "是否驻内", c.stationedIn, Tracking::Edit, {u"驻内"_s, u"驻外"_s});
    category.armsEdit = true;
    f << date("日期框_下次营运证日期", "透明标签_下次营运证日期", "下次营运证日期", o.dueDate, Tracking::Edit, true)
      << beside(check("选择框_是否提醒营运", "是否提醒", o.remind, Tracking::None))
      << date("日期框_营运证办理日期", "透明标签_营运证办理日期", "营运证办理日期", c.permitIssued, Tracking::Edit,
              true)
      << edit("带标签编辑框_营运证号码", "营运证号码：", c.permitNumber) << category
      << combo("组合框_营运", "透明标签_营运通知", "营运证是否通知车主", o.notified, Tracking::Choice,
               NotificationItems())
      << check("选择框_是否脱营", "是否脱营", o.lapsed, Tracking::Choice)
      << fee(edit("带标签编辑框_营运应缴费用", "应缴费用：", o.dueFee))
      << fee(edit("带标签编辑框_营运已缴费用", "已缴费用：", o.paidFee))
      << fee(edit("带标签编辑框_营运还欠费用", "还欠费用：", {}, Tracking::None))
      << fee(date("日期框_营运缴费时间", "透明标签_营运缴费时间", "缴费时间", o.payDate, Tracking::Edit, true))
      << wide(edit("带标签编辑框_营运备注", "备注：", o.remark));
    return f;
}

QList<FieldDef> lookupPage() {
    return {copyOf(display("带标签编辑框_查询姓名", "姓名："), "带标签编辑框_车主姓名"),
            copyOf(display("带标签编辑框_查询身份证号", "身份证号："), "带标签编辑框_车主身份证号"),
            copyOf(display("带标签编辑框_查询车牌号", "车牌号："), "带标签编辑框_主车牌号"),
            copyOf(display("带标签编辑框_查询车架号", "车架号："), "带标签编辑框_主车架号")};
}

QList<ListColumn> feeColumns() {
    return {{u"应缴费用"_s, 90}, {u"已缴费用"_s, 90}, {u"缴费时间"_s, 120}};
}

} // namespace

const QList<FieldDef>& PageFields(int page) {
    static const QList<FieldDef> pages[kPageCount] = {basicPage(),     inspectionPage(),    maintenancePage(),
                                                      insurancePage(), managementFeePage(), operatingPermitPage(),
                                                      lookupPage()};
    static const QList<FieldDef> none;
    return page >= 0 && page < kPageCount ? pages[page] : none;
}

const FieldDef* FindField(const QString& name) {
    static const QHash<QString, const FieldDef*> index = [] {
        QHash<QString, const FieldDef*> h;
        for (int p = 0; p < kPageCount; ++p)
            for (const FieldDef& f : PageFields(p))
                h.insert(f.name, &f);
        return h;
    }();
    return index.value(name, nullptr);
}

QString PageGroupName(int page) {
    static const char* const names[kPageCount] = {"分组框_基本信息", "分组框_审车",   "分组框_二级维护", "分组框_保险",
                                                  "分组框_管理费用", "分组框_营运证", "分组框_查询"};
    return page >= 0 && page < kPageCount ? QString::fromUtf8(names[page]) : QString();
}

QString PageListName(int page) {
    static const char* const names[6] = {"超级列表框_基本信息", "超级列表框_审车", "超级列表框_二维",
                                         "超级列表框_保险",     "超级列表框_管理", "超级列表框_营运"};
    return page >= 0 && page < 6 ? QString::fromUtf8(names[page]) : QString();
}

const QStringList& NotificationItems() {
    static const QStringList items = {u"未到通知时间"_s, u"已通知"_s, u"未通知"_s, u"通知未达"_s};
    return items;
}

const QStringList& PaymentDateBoxes() {
    static const QStringList names = {u"日期框_审车缴费时间"_s, u"日期框_二维缴费时间"_s, u"日期框_保险缴费时间"_s,
                                      u"日期框_管理缴费时间"_s, u"日期框_营运缴费时间"_s};
    return names;
}

const QStringList& ReminderBoxes() {
    static const QStringList names = {u"选择框_是否提醒主车审车"_s, u"选择框_是否提醒挂车审车"_s,
                                      u"选择框_是否提醒保险"_s,     u"选择框_是否提醒二维"_s,
                                      u"选择框_是否提醒管理"_s,     u"选择框_是否提醒营运"_s,
                                      u"选择框_是否提醒挂车保险"_s};
    return names;
}

const QStringList& FeeControls() {
    static const QStringList names = [] {
        QStringList n;
        for (const char* kind : {"审车", "二维", "保险", "管理", "营运"}) {
            const QString k = QString::fromUtf8(kind);
            n << u"带标签编辑框_%1应缴费用"_s.arg(k) << u"带标签编辑框_%1已缴费用"_s.arg(k)
              << u"带标签编辑框_%1还欠费用"_s.arg(k) << u"透明标签_%1缴费时间"_s.arg(k)
              << u"日期框_%1缴费时间"_s.arg(k);
        }
        return n;
    }();
    return names;
}

const QStringList& StartupComboBoxes() {
    static const QStringList names = {u"组合框_审车"_s,    u"组合框_类别"_s,     u"组合框_营运"_s,
                                      u"组合框_管理费"_s,  u"组合框_投保险种"_s, u"组合框_二级维护"_s,
                                      u"组合框_搜索条件"_s};
    return names;
}

const QStringList& EditBoxesWithoutContextMenu() {
    static const QStringList names = {u"带标签编辑框_A姓名"_s,        u"带标签编辑框_B姓名"_s,
                                      u"带标签编辑框_强险编号"_s,     u"带标签编辑框_挂车保险编号"_s,
                                      u"带标签编辑框_挂车强险编号"_s, u"带标签编辑框_搜索内容"_s};
    return names;
}

QList<ListColumn> DesignedListColumns(int page) {
    switch (page) {
    case 0:
        return {{u"车主姓名"_s, 90},      {u"过入户时间"_s, 100}, {u"车主电话"_s, 110},
                {u"车主身份证号"_s, 160}, {u"车主住址"_s, 200},   {u"驾驶员A身份证号"_s, 160}};
    case 3:
        return QList<ListColumn>{{u"保险到期时间"_s, 100}, {u"保险公司名称"_s, 120}, {u"保单号"_s, 120},
                                 {u"交强险"_s, 70},        {u"车损险"_s, 70},        {u"人员险"_s, 70},
                                 {u"三责"_s, 70},          {u"不计免赔"_s, 80},      {u"其他"_s, 70}} +
               feeColumns();
    default:
        return {};
    }
}

QList<ListColumn> ListColumns(int page, bool feesVisible) {
    static const char* const dateCaptions[6] = {nullptr, "审车时间",     "二维时间",
                                                nullptr, "管理到期时间", "营运到期时间"};
    switch (page) {
    case 0:
        return DesignedListColumns(0);
    case 3:
        return feesVisible ? DesignedListColumns(3) : DesignedListColumns(3).mid(0, 9);
    case 1:
    case 2:
    case 4:
    case 5: {
        QList<ListColumn> columns = {{QString::fromUtf8(dateCaptions[page]), 150}};
        if (feesVisible)
            columns += feeColumns();
        return columns;
    }
    default:
        return {};
    }
}

FormState& formState() {
    static FormState state;
    return state;
}

void ResetFormState() {
    FormState& s = formState();
    s.RecordSelectedFlag = 0;
    s.EditArmedFlag = 0;
    s.PageModifiedFlag = 0;
}

} // namespace archive
