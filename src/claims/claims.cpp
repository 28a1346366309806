#include "claims.h"

#include "report/exports.h"
#include "store/recordset.h"
#include "store/sqltext.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace claims {

ClaimFilterSet ClaimFilters;
int ClaimRowCount = 0;

void ResetClaimState() {
    ClaimFilters = {};
    ClaimRowCount = 0;
}

QString LikeFragment(const QString& column, const QString& text) {
    if (text.isEmpty())
        return {};
    // Without an escape clause % and _ are wildcards; only a text that holds one of them
    // needs the clause, so every other filter keeps the plain form.
    const bool wildcards = text.contains(u'%') || text.contains(u'_');
    QString pattern = text;
    if (wildcards) {
        pattern.replace(u"\\"_s, u"\\\\"_s);
        pattern.replace(u"%"_s, u"\\%"_s);
        pattern.replace(u"_"_s, u"\\_"_s);
    }
    QString fragment = u" and "_s + column + u" like '%"_s + store::SqlText(pattern) + u"%'"_s;
    if (wildcards)
        fragment += u" escape '\\'"_s;
    return fragment;
}

QString ClosedFragment(int choice, const QString& current) {
    switch (choice) {
    case kClosedAll:
        return {};
    case kClosedOpen:
        return u" and 是否结案=false"_s;
    case kClosedOnly:
        return u" and 是否结案=true"_s;
    default:
        return current;
    }
}

ClaimFilterSet MakeClaimFilters(const QString& plate, const QString& owner, const QString& insurer,
                                const QString& policy, int closedChoice, const ClaimFilterSet& previous) {
    ClaimFilterSet f;
    f.owner = LikeFragment(u"车主姓名"_s, owner);
    f.plate = LikeFragment(u"主车牌号"_s, plate);
    f.policy = LikeFragment(u"保单号"_s, policy);
    f.insurer = LikeFragment(u"保险公司名称"_s, insurer);
    f.closed = ClosedFragment(closedChoice, previous.closed);
    return f;
}

void SetClaimFilters(const QString& plate, const QString& owner, const QString& insurer, const QString& policy,
                     int closedChoice) {
    ClaimFilters = MakeClaimFilters(plate, owner, insurer, policy, closedChoice, ClaimFilters);
}

QString LoadClaimsStatement(const QDate& start, const QDate& end, const ClaimFilterSet& filters) {
    return u"select * from [报险表] where 报险日期>="_s + store::SqlDateLiteral(start) + u" and 报险日期<="_s +
           store::SqlDateLiteral(end) + filters.plate + filters.owner + filters.closed + filters.insurer +
           filters.policy;
}

namespace {

QList<Claim> readRows(store::DatabaseConnection& db, int rs) {
    QList<Claim> list;
    auto text = [&](const QString& column) { return db.ReadField(rs, column).text(); };
    for (db.MoveFirst(rs); !db.AtEnd(rs); db.MoveNext(rs)) {
        Claim c;
        c.number = qint64(db.ReadField(rs, u"编号"_s).number());
        c.date = text(u"报险日期"_s);
        c.plate = text(u"主车牌号"_s);
        c.owner = text(u"车主姓名"_s);
        c.phone = text(u"车主电话"_s);
        c.insurer = text(u"保险公司名称"_s);
        c.policy = text(u"保单号"_s);
        c.amount = text(u"理赔金额"_s);
        c.closed = db.ReadField(rs, u"是否结案"_s).yesNo();
        c.remarks = text(u"备注"_s);
        list << c;
    }
    return list;
}

} // namespace

std::optional<QList<Claim>> ReadClaims(store::DatabaseConnection& db, const QDate& start, const QDate& end,
                                       const ClaimFilterSet& filters) {
    store::RecordSetGuard rs(db, LoadClaimsStatement(start, end, filters));
    if (!rs.ok())
        return std::nullopt;
    return readRows(db, rs.handle());
}

std::optional<Claim> ReadClaim(store::DatabaseConnection& db, qint64 number) {
    store::RecordSetGuard rs(db, u"select * from [报险表] where [编号]="_s + QString::number(number));
    if (!rs.ok())
        return std::nullopt;
    const QList<Claim> list = readRows(db, rs.handle());
    return list.isEmpty() ? std::nullopt : std::optional<Claim>(list.first());
}

bool SameClaim(const Claim& a, const Claim& b) {
    Claim left = a;
    Claim right = b;
    const QDate da = ClaimDate(a.date);
    const QDate db = ClaimDate(b.date);
    if (da.isValid() || db.isValid()) {
        if (da != db)
            return false;
        left.date.clear();
        right.date.clear();
    }
    return left == right;
}

std::optional<QList<Claim>> LoadClaims(store::DatabaseConnection& db, const QDate& start, const QDate& end) {
    ClaimRowCount = 0;
    std::optional<QList<Claim>> list = ReadClaims(db, start, end, ClaimFilters);
    if (list)
        ClaimRowCount = int(list->size());
    return list;
}

QDate ClaimDate(const QString& text) {
    static const QRegularExpression numeric(u"^(\\d{4})[-/.](\\d{1,2})[-/.](\\d{1,2})$"_s);
    static const QRegularExpression longForm(u"^(\\d{4})年(\\d{1,2})月(\\d{1,2})日$"_s);
    const QString t = text.trimmed();
    QRegularExpressionMatch m = numeric.match(t);
    if (!m.hasMatch())
        m = longForm.match(t);
    if (!m.hasMatch())
        return {};
    return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
}

QString InsertClaimStatement(const Claim& c) {
    using store::SqlText;
    return u"insert into 报险表 ([报险日期],[主车牌号],[车主姓名],[车主电话],[保险公司名称],[保单号],[理赔金额],[是否结案],[备注]) values('"_s +
           store::SqlDate(ClaimDate(c.date)) + u"','"_s + SqlText(c.plate) + u"','"_s + SqlText(c.owner) + u"','"_s +
           SqlText(c.phone) + u"','"_s + SqlText(c.insurer) + u"','"_s + SqlText(c.policy) + u"','"_s +
           SqlText(c.amount) + u"',"_s + store::SqlBool(c.closed) + u",'"_s + SqlText(c.remarks) + u"')"_s;
}

QString UpdateClaimStatement(const Claim& c) {
    using store::SqlText;
    return u"update 报险表 set [报险日期]='"_s + store::SqlDate(ClaimDate(c.date)) + u"',[主车牌号]='"_s +
           SqlText(c.plate) + u"',[车主姓名]='"_s + SqlText(c.owner) + u"',[车主电话]='"_s + SqlText(c.phone) +
           u"',[保险公司名称]='"_s + SqlText(c.insurer) + u"',[保单号]='"_s + SqlText(c.policy) + u"',[理赔金额]='"_s +
           SqlText(c.amount) + u"',[是否结案]="_s + store::SqlBool(c.closed) + u",[备注]='"_s + SqlText(c.remarks) +
           u"' where [编号]="_s + QString::number(c.number);
}

namespace {

// Locks the stored claim first (on a server a second writer waits here for the first), then
// compares it with what was loaded.
bool unchangedSinceLoaded(store::DatabaseConnection& db, const Claim& loaded) {
    const QString number = QString::number(loaded.number);
    if (loaded.number <= 0 || !db.ExecuteStatement(u"update 报险表 set [编号]=[编号] where [编号]="_s + number))
        return false;
    const std::optional<Claim> stored = ReadClaim(db, loaded.number);
    return stored && SameClaim(*stored, loaded);
}

} // namespace

bool InsertClaim(store::DatabaseConnection& db, const Claim& claim) {
    // A claim without its date would never show in any date range again.
    if (!ClaimDate(claim.date).isValid())
        return false;
    return db.ExecuteStatement(InsertClaimStatement(claim));
}

UpdateOutcome UpdateClaims(store::DatabaseConnection& db, const QList<Claim>& list, const QList<Claim>* loaded) {
    UpdateOutcome outcome;
    if (!db.BeginTransaction()) {
        outcome.failure = UpdateOutcome::NotCommitted;
        return outcome;
    }
    for (int i = 0; i < list.size(); ++i) {
        const Claim& c = list.at(i);
        const Claim* before = loaded && i < loaded->size() ? &loaded->at(i) : nullptr;
        if (before && before->number == c.number && SameClaim(c, *before))
            continue; // left as loaded: another operator's change to it is kept
        if (!ClaimDate(c.date).isValid())
            outcome.failure = UpdateOutcome::InvalidDate;
        else if (c.number <= 0)
            outcome.failure = UpdateOutcome::InvalidNumber;
        else if (before && !unchangedSinceLoaded(db, *before))
            outcome.failure = UpdateOutcome::ChangedByOther;
        else if (!db.ExecuteStatement(UpdateClaimStatement(c)))
            outcome.failure = UpdateOutcome::Refused;
        if (!outcome.ok()) {
            outcome.failedRow = i + 1;
            db.RollbackTransaction();
            return outcome;
        }
    }
    if (!db.CommitTransaction())
        outcome.failure = UpdateOutcome::NotCommitted;
    return outcome;
}

report::ReportTable ClaimsTable(const QList<Claim>& list) {
    using report::CellKind;
    report::ReportTable t;
    t.title = u"报险情况"_s;
    t.headerRows = 1;
    t.setColumnCount(kClaimColumnCount);
    const QStringList headers = {u"编号"_s,     u"报险日期"_s,     u"主车牌号"_s, u"车主姓名"_s,
                                 u"车主电话"_s, u"保险公司名称"_s, u"保单号"_s,   u"理赔金额"_s,
                                 u"是否结案"_s, u"备注"_s,         QString()};
    const int widths[kClaimColumnCount] = {1, 100, 80, 64, 96, 96, 112, 64, 60, 110, 36};
    t.appendRow();
    for (int c = 0; c < kClaimColumnCount; ++c) {
        t.setText(0, c, headers.at(c));
        t.setColumnWidth(c, widths[c]);
    }
    t.setColumnKind(1, CellKind::Date);
    t.setColumnKind(8, CellKind::YesNo);
    int r = 0;
    for (const Claim& c : list) {
        const int row = t.appendRow();
        const QList<report::Cell> cells = ClaimRowCells(c, ++r);
        for (int col = 0; col < kClaimColumnCount; ++col)
            t.setCell(row, col, cells.at(col));
    }
    return t;
}

namespace {

// The amount as typed; one that reads as a number is held as one (exports need not guard it).
report::Cell amountCell(const QString& amount) {
    report::Cell cell = report::Cell::Text(amount);
    cell.number = report::IsNumericText(amount);
    return cell;
}

} // namespace

QList<report::Cell> ClaimRowCells(const Claim& c, int runningNumber) {
    using report::Cell;
    return {Cell::Text(c.number > 0 ? QString::number(c.number) : QString()),
            Cell::Date(ClaimDate(c.date)),
            Cell::Text(c.plate),
            Cell::Text(c.owner),
            Cell::Text(c.phone),
            Cell::Text(c.insurer),
            Cell::Text(c.policy),
            amountCell(c.amount),
            Cell::YesNo(c.closed),
            Cell::Text(c.remarks),
            Cell::Text(QString::number(runningNumber))};
}

Claim ClaimFromRow(const QList<report::Cell>& cells) {
    auto at = [&](int c) { return c < cells.size() ? cells.at(c) : report::Cell{}; };
    Claim claim;
    bool ok = false;
    const qint64 number = at(0).text.trimmed().toLongLong(&ok);
    claim.number = ok ? number : 0;
    const report::Cell date = at(1);
    if (date.kind == report::CellKind::Date)
        claim.date = date.date.isValid() ? date.date.toString(Qt::ISODate) : QString();
    else
        claim.date = date.text;
    claim.plate = at(2).text;
    claim.owner = at(3).text;
    claim.phone = at(4).text;
    claim.insurer = at(5).text;
    claim.policy = at(6).text;
    claim.amount = at(7).text;
    claim.closed = at(8).kind == report::CellKind::YesNo && at(8).yes;
    claim.remarks = at(9).text;
    return claim;
}

} // namespace claims
