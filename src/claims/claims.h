#pragma once

#include "report/reporttable.h"
#include "store/database.h"

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

using namespace Qt::StringLiterals;

namespace claims {

// One claim of 报险表 as the register shows and edits it: the report date as the text of its
// cell, the closed flag as a yes/no.
struct Claim {
    qint64 number = 0;   // 编号; 0 for a claim not yet stored
    QString date;        // 报险日期
    QString plate;       // 主车牌号
    QString owner;       // 车主姓名
    QString phone;       // 车主电话
    QString insurer;     // 保险公司名称
    QString policy;      // 保单号
    QString amount;      // 理赔金额, as typed
    bool closed = false; // 是否结案
    QString remarks;     // 备注

    bool operator==(const Claim&) const = default;
};

// The five condition fragments of the register's query, each empty or one condition starting
// with " and ".
struct ClaimFilterSet {
    QString plate;
    QString owner;
    QString closed;
    QString insurer;
    QString policy;

    bool operator==(const ClaimFilterSet&) const = default;
};

// Process-wide register state, kept between uses of the window: the filters last applied by
// 查找 and the number of claims last loaded (grid rows 1 … ClaimRowCount; the entry row follows).
extern ClaimFilterSet ClaimFilters;
extern int ClaimRowCount;

// Values carried by the items of 组合框_是否结案.
enum ClosedChoice { kClosedAll = 1, kClosedOpen = 2, kClosedOnly = 3 };

// Empties the filters and the row count, as the window does when it opens.
void ResetClaimState();

// " and <column> like '%text%'" with text quoted; a % or _ in the text matches itself.
// Empty text gives an empty fragment.
QString LikeFragment(const QString& column, const QString& text);

// The closed fragment for the combo item's value; an unknown value keeps the current fragment.
QString ClosedFragment(int choice, const QString& current);

// The fragments for the four filter texts and the closed choice; an unknown choice keeps the
// closed fragment of previous.
ClaimFilterSet MakeClaimFilters(const QString& plate, const QString& owner, const QString& insurer,
                                const QString& policy, int closedChoice, const ClaimFilterSet& previous = {});
// 查找: sets ClaimFilters from the four filter texts and the closed choice.
void SetClaimFilters(const QString& plate, const QString& owner, const QString& insurer, const QString& policy,
                     int closedChoice);

// The register's query for claims reported from start to end, both days included.
QString LoadClaimsStatement(const QDate& start, const QDate& end, const ClaimFilterSet& filters);

// The claims of the range that pass the filters, in table order; nothing when the query fails.
// Touches no process-wide state.
std::optional<QList<Claim>> ReadClaims(store::DatabaseConnection& db, const QDate& start, const QDate& end,
                                       const ClaimFilterSet& filters);
// The register's loader: ReadClaims with ClaimFilters, setting ClaimRowCount to the number of
// claims read (0 when the query fails).
std::optional<QList<Claim>> LoadClaims(store::DatabaseConnection& db, const QDate& start, const QDate& end);

// The date a report-date cell holds: 2026-12-8, 2026/12/8 or 2026年12月8日, blanks around it
// allowed. Invalid for an empty text, anything else, or a day the calendar lacks.
QDate ClaimDate(const QString& text);

// The statements that store a claim; the claim's date must be valid (see ClaimDate).
QString InsertClaimStatement(const Claim& claim);
QString UpdateClaimStatement(const Claim& claim);

// Stores a new claim. A claim without a valid report date is refused before anything is sent.
bool InsertClaim(store::DatabaseConnection& db, const Claim& claim);

struct UpdateOutcome {
    enum Failure { None, InvalidDate, InvalidNumber, Refused, NotCommitted, ChangedByOther };
    Failure failure = None;
    int failedRow = 0; // 1-based position in the list of the row that failed; 0 when none
    bool ok() const { return failure == None; }
};

// Writes every claim of the list back under its 编号, all of them or none: on the first row
// that is refused the rows before it are rolled back as well. Given the claims as they were
// loaded (same positions), a row left as loaded is not written (so another operator's change
// to it stays), and a changed row whose stored claim is no longer the loaded one, or is gone,
// fails the whole save with ChangedByOther.
UpdateOutcome UpdateClaims(store::DatabaseConnection& db, const QList<Claim>& claims,
                           const QList<Claim>* loaded = nullptr);
// The same claim, the dates compared as dates.
bool SameClaim(const Claim& a, const Claim& b);
// The stored claim numbered number; nullopt when it is gone or cannot be read.
std::optional<Claim> ReadClaim(store::DatabaseConnection& db, qint64 number);
inline const QString kClaimChangedMessage = u"该报险记录已被其他操作员修改，请重新查找后再保存。"_s;

// The register as a grid: header row 0 ("编号" … "备注", the running-number column without a
// caption), then one row per claim with its running number 1, 2, 3 … in column 10. Column 0
// is one pixel wide, column 1 holds date cells and column 8 yes/no cells; no print title.
inline constexpr int kClaimColumnCount = 11;
report::ReportTable ClaimsTable(const QList<Claim>& claims);
QList<report::Cell> ClaimRowCells(const Claim& claim, int runningNumber);
// A grid row read back as a claim: 编号 from column 0 (0 when it holds no number), the date
// cell as YYYY-MM-DD (empty when it holds no date), columns 2 to 9 as they stand.
Claim ClaimFromRow(const QList<report::Cell>& cells);

} // namespace claims
