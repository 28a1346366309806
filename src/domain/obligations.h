#pragma once

// The five obligations a vehicle carries (inspection, maintenance, insurance, management fee,
// operating permit) with the columns of a vehicle table that hold each one. Every library that
// names these columns takes them from here.

#include <QString>

#include <array>

namespace domain {

enum class ObligationKind { Inspection = 0, Maintenance, Insurance, ManagementFee, OperatingPermit };
inline constexpr int kObligationKindCount = 5;
inline constexpr std::array<ObligationKind, kObligationKindCount> kObligationKinds = {
    ObligationKind::Inspection, ObligationKind::Maintenance, ObligationKind::Insurance, ObligationKind::ManagementFee,
    ObligationKind::OperatingPermit};

struct ObligationColumns {
    ObligationKind kind;
    QString key;           // "Inspection", "Maintenance", …: the name velmora-cli uses
    QString dueDate;       // 下次审车日期, …: the marker column of the group's rows
    QString trailerDue;    // the trailer's due date; empty for the kinds without one
    QString dueFee;        // fee due
    QString paidFee;       // fee paid
    QString payDate;       // date of payment
    QString lapsed;        // 是否脱审, …: the lapse flag
    QString plateCopy;     // 审车车号, …: the vehicle's plate repeated on the group's rows
    QString remind;        // 是否提醒主车审车, …: remind about the main due date
    QString remindTrailer; // remind about the trailer's due date; empty for the kinds without one
    QString notified;      // 审车是否通知车主, …: the owner-notification state
    QString remark;        // 审车备注, …
};

const ObligationColumns& Obligation(ObligationKind kind);
// All five in the order of ObligationKind, for tables that name the columns of several kinds:
//   const auto& [inspection, maintenance, insurance, management, permit] = domain::Obligations();
const std::array<ObligationColumns, kObligationKindCount>& Obligations();

} // namespace domain
