#include "domain/obligations.h"

using namespace Qt::StringLiterals;

namespace domain {

const ObligationColumns& Obligation(ObligationKind kind) {
    static const std::array<ObligationColumns, kObligationKindCount> table = {{
        {ObligationKind::Inspection, u"Inspection"_s, u"下次审车日期"_s, u"下次挂车审车日期"_s, u"审车应缴费用"_s,
         u"审车已缴费用"_s, u"审车缴费日期"_s, u"是否脱审"_s},
        {ObligationKind::Maintenance,
         u"Maintenance"_s,
         u"下次二维日期"_s,
         {},
         u"二维应缴费用"_s,
         u"二维已缴费用"_s,
         u"二维缴费日期"_s,
         u"是否脱维"_s},
        {ObligationKind::Insurance, u"Insurance"_s, u"下次保险日期"_s, u"下次挂车保险日期"_s, u"保险应缴费用"_s,
         u"保险已缴费用"_s, u"保险缴费日期"_s, u"是否脱保"_s},
        {ObligationKind::ManagementFee,
         u"ManagementFee"_s,
         u"下次管理费用日期"_s,
         {},
         u"管理应缴费用"_s,
         u"管理已缴费用"_s,
         u"管理缴费日期"_s,
         u"是否脱管"_s},
        {ObligationKind::OperatingPermit,
         u"OperatingPermit"_s,
         u"下次营运证日期"_s,
         {},
         u"营运证应缴费用"_s,
         u"营运证已缴费用"_s,
         u"营运缴费日期"_s,
         u"是否脱营"_s},
    }};
    return table[static_cast<int>(kind)];
}

} // namespace domain
