#include "domain/vehiclecolumns.h"

using namespace Qt::StringLiterals;

namespace domain {

const VehicleColumnNames& VehicleColumn() {
    static const VehicleColumnNames names = {
        u"编号"_s,

        u"档案编号"_s,       u"车主姓名"_s,
        u"车主电话"_s,       u"从业资格证号"_s,
        u"车主身份证号"_s,   u"车主详细住址"_s,
        u"主车牌号"_s,       u"挂车牌号"_s,
        u"买入日期"_s,       u"主车架号"_s,
        u"挂车架号"_s,       u"主车吨位"_s,
        u"挂车吨位"_s,       u"主车品牌"_s,
        u"挂车品牌"_s,       u"驾驶员A身份证号"_s,
        u"A姓名"_s,          u"驾驶员B身份证号"_s,
        u"B姓名"_s,          u"车辆颜色"_s,
        u"购车方式"_s,       u"发动机号"_s,
        u"基本信息备注"_s,   u"车辆状态"_s,
        u"车主身份证信息"_s, u"车辆照片信息"_s,
        u"车辆照片信息2"_s,  u"行车证信息1"_s,
        u"行车证信息2"_s,

        u"二维卡号"_s,       u"二维驻外"_s,

        u"保险公司名称"_s,   u"投保险种"_s,
        u"保单号"_s,         u"强险单号"_s,
        u"挂车商险单号"_s,   u"挂车强险单号"_s,
        u"交强险"_s,         u"车损"_s,
        u"三责"_s,           u"人员"_s,
        u"不计免赔"_s,       u"其他"_s,

        u"营运证办理日期"_s, u"营运证号"_s,
        u"是否驻内"_s,
    };
    return names;
}

QStringList VehicleColumnNameList() {
    const VehicleColumnNames& c = VehicleColumn();
    return {c.number,          c.archiveNumber,
            c.ownerName,       c.ownerPhone,
            c.qualification,   c.ownerId,
            c.ownerAddress,    c.mainPlate,
            c.trailerPlate,    c.boughtOn,
            c.mainFrame,       c.trailerFrame,
            c.mainTonnage,     c.trailerTonnage,
            c.mainBrand,       c.trailerBrand,
            c.driverAId,       c.driverAName,
            c.driverBId,       c.driverBName,
            c.colour,          c.purchase,
            c.engine,          c.basicRemark,
            c.status,          c.ownerIdImage,
            c.photo1,          c.photo2,
            c.licence1,        c.licence2,
            c.maintenanceCard, c.stationedAway,
            c.insurer,         c.insuranceKind,
            c.policy,          c.compulsoryPolicy,
            c.trailerPolicy,   c.trailerCompulsoryPolicy,
            c.compulsory,      c.damage,
            c.thirdParty,      c.occupants,
            c.noDeductible,    c.otherCover,
            c.permitIssued,    c.permitNumber,
            c.stationedIn};
}

} // namespace domain
