#include "domain/obligations.h"

using namespace Qt::StringLiterals;

namespace domain {

const std::array<ObligationColumns, kObligationKindCount>& Obligations() {
    static const std::array<ObligationColumns, kObligationKindCount> table = {{
        {ObligationKind::Inspection, u"Inspection"_s, u"下次审车日期"_s, u"下次挂车审车日期"_s, u"审车应缴费用"_s,
         u"审车已缴费用"_s, u"审车缴费日期"_s, u"是否脱审"_s, u"审车车号"_s, u"是否提醒主车审车"_s,
         u"是否提醒挂车审车"_s, u"审车是否通知车主"_s, u"审车备注"_s},
        {ObligationKind::Maintenance,
         u"Maintenance"_s,
         u"下次二维日期"_s,
         {},
         u"二维应缴费用"_s,
         u"二维已缴费用"_s,
         u"二维缴费日期"_s,
         u"是否脱维"_s,
         u"二维车号"_s,
         u"是否提醒二维"_s,
         {},
         u"二维是否通知车主"_s,
         u"二维备注"_s},
        {ObligationKind::Insurance, u"Insurance"_s, u"下次保险日期"_s, u"下次挂车保险日期"_s, u"保险应缴费用"_s,
         u"保险已缴费用"_s, u"保险缴费日期"_s, u"是否脱保"_s, u"保险车号"_s, u"是否提醒保险"_s, u"是否提醒挂车保险"_s,
         u"保险是否通知车主"_s, u"保险备注"_s},
        {ObligationKind::ManagementFee,
         u"ManagementFee"_s,
         u"下次管理费用日期"_s,
         {},
         u"管理应缴费用"_s,
         u"管理已缴费用"_s,
         u"管理缴费日期"_s,
         u"是否脱管"_s,
         u"管理车号"_s,
         u"是否提醒管理"_s,
         {},
         u"管理费是否通知车主"_s,
         u"管理备注"_s},
        {ObligationKind::OperatingPermit,
         u"OperatingPermit"_s,
         u"下次营运证日期"_s,
         {},
         u"营运证应缴费用"_s,
         u"营运证已缴费用"_s,
         u"营运缴费日期"_s,
         u"是否脱营"_s,
         u"营运车号"_s,
         u"是否提醒营运"_s,
         {},
         u"营运证是否通知车主"_s,
         u"营运证备注"_s},
    }};
    return table;
}

const ObligationColumns& Obligation(ObligationKind kind) {
    return Obligations()[static_cast<std::size_t>(kind)];
}

} // namespace domain
