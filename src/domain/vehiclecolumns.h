#pragma once

// The columns of a vehicle table besides the ones every obligation has (those are in
// obligations.h): the row number, the basic record with its five images, and the columns only
// one obligation has. Every library that names these columns takes them from here; the stored
// layout itself is the template table's definition in the store.

#include <QString>
#include <QStringList>

namespace domain {

struct VehicleColumnNames {
    QString number; // 编号: the row's key

    // The basic record (page 0 of the record form).
    QString archiveNumber;  // 档案编号
    QString ownerName;      // 车主姓名
    QString ownerPhone;     // 车主电话
    QString qualification;  // 从业资格证号
    QString ownerId;        // 车主身份证号
    QString ownerAddress;   // 车主详细住址
    QString mainPlate;      // 主车牌号
    QString trailerPlate;   // 挂车牌号
    QString boughtOn;       // 买入日期
    QString mainFrame;      // 主车架号
    QString trailerFrame;   // 挂车架号
    QString mainTonnage;    // 主车吨位
    QString trailerTonnage; // 挂车吨位
    QString mainBrand;      // 主车品牌
    QString trailerBrand;   // 挂车品牌
    QString driverAId;      // 驾驶员A身份证号
    QString driverAName;    // A姓名
    QString driverBId;      // 驾驶员B身份证号
    QString driverBName;    // B姓名
    QString colour;         // 车辆颜色
    QString purchase;       // 购车方式
    QString engine;         // 发动机号
    QString basicRemark;    // 基本信息备注
    QString status;         // 车辆状态: 1 normal, 2 transferred, 3 cancelled
    QString ownerIdImage;   // 车主身份证信息 (image)
    QString photo1;         // 车辆照片信息 (image)
    QString photo2;         // 车辆照片信息2 (image)
    QString licence1;       // 行车证信息1 (image)
    QString licence2;       // 行车证信息2 (image)

    // Maintenance only.
    QString maintenanceCard; // 二维卡号
    QString stationedAway;   // 二维驻外

    // Insurance only.
    QString insurer;                 // 保险公司名称
    QString insuranceKind;           // 投保险种
    QString policy;                  // 保单号
    QString compulsoryPolicy;        // 强险单号
    QString trailerPolicy;           // 挂车商险单号
    QString trailerCompulsoryPolicy; // 挂车强险单号
    QString compulsory;              // 交强险
    QString damage;                  // 车损
    QString thirdParty;              // 三责
    QString occupants;               // 人员
    QString noDeductible;            // 不计免赔
    QString otherCover;              // 其他

    // Operating permit only.
    QString permitIssued; // 营运证办理日期
    QString permitNumber; // 营运证号
    QString stationedIn;  // 是否驻内
};

const VehicleColumnNames& VehicleColumn();

// Every name of VehicleColumnNames, in declaration order.
QStringList VehicleColumnNameList();

} // namespace domain
