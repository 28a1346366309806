#include "lists/listbuild.h"
#include "lists/tablescan.h"

#include "archive/records.h"
#include "domain/dates.h"
#include "domain/obligations.h"
#include "store/database.h"
#include "store/recordset.h"

#include <QSet>

#include <array>
#include <cstdlib>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace lists {

namespace {

using alerts::Kind;

const QString kFailed = u"查询失败车辆！"_s;
const QString kStatusFailed = u"查询失败车辆！！"_s;
const QString kPermitFailed = u"查询营运失败车辆！"_s;

const QString kBasicColumns[4] = {u"档案编号"_s, u"主车牌号"_s, u"车主姓名"_s, u"车主电话"_s};
// The due-date and lapse-flag columns of the five kinds, in alerts::Kind order.
const domain::ObligationColumns& obligationOf(int k) {
    return domain::Obligation(domain::ObligationKind(k));
}
const QString kDateColumns[5] = {obligationOf(0).dueDate, obligationOf(1).dueDate, obligationOf(2).dueDate,
                                 obligationOf(3).dueDate, obligationOf(4).dueDate};
const QString kFlagColumns[5] = {obligationOf(0).lapsed, obligationOf(1).lapsed, obligationOf(2).lapsed,
                                 obligationOf(3).lapsed, obligationOf(4).lapsed};

struct KindTexts {
    const char16_t* thisMonth;
    const char16_t* nextMonth;
    const char16_t* later;
    const char16_t* lapsed;
    const char16_t* caption;
};
const KindTexts kTexts[5] = {
    {u"本月需审", u"下月需审", u"个月后审车", u"已经脱审", u"审车日期"},
    {u"本月需维", u"下月需维", u"个月后二维", u"已经脱维", u"二维日期"},
    {u"本月需保", u"下月需保", u"个月后续保", u"已经脱保", u"保险日期"},
    {u"本月需管", u"下月需管", u"个月后续管", u"已经脱管", u"管理日期"},
    {u"本月需营", u"下月需营", u"个月后续营", u"已经脱营", u"营运日期"},
};

// List kind of each list in build order: the kind of an alert list, or the two special lists.
enum class Shape { Alert, Blacklist, Ledger };

Shape shapeOf(int node) {
    if (node == alerts::kCompanyNode)
        return Shape::Ledger;
    if (node == alerts::kBlacklistNode)
        return Shape::Blacklist;
    return Shape::Alert;
}

Kind kindOfNode(int node) {
    return Kind((node - 1) % alerts::kKindCount);
}

QString dateText(const store::FieldValue& v) {
    if (v.isNull)
        return {};
    const QDate d = v.date();
    return d.isValid() ? d.toString(Qt::ISODate) : v.text();
}

QString basicSelect(const QString& plate) {
    return u"select [档案编号],[主车牌号],[车主姓名],[车主电话] from "_s + plate + u" where 档案编号 is not null"_s;
}

QString statusSelect(Kind kind, const QString& plate) {
    const QString& column = kDateColumns[int(kind)];
    return u"select ["_s + column + u"] from "_s + plate + u" where "_s + column + u" is not null"_s;
}

QString flagSelect(int flag, const QString& plate) {
    return u"select ["_s + kFlagColumns[flag] + u"] from "_s + plate;
}

const QString kLedgerBasicColumns[8] = {u"车主姓名"_s,        u"主车牌号"_s,     u"挂车牌号"_s, u"主车架号"_s,
                                        u"驾驶员A身份证号"_s, u"从业资格证号"_s, u"A姓名"_s,    u"下次审车日期"_s};

QString ledgerBasicSelect(const QString& plate) {
    return u"select [车主姓名],[主车牌号],[挂车牌号],[主车架号],[驾驶员A身份证号],[从业资格证号],[A姓名],[下次审车日期] from "_s +
           plate + u" where 主车牌号 is not null"_s;
}
QString ledgerInspectionSelect(const QString& plate) {
    return u"select [下次审车日期] from "_s + plate + u" where 下次审车日期 is not null"_s;
}
QString ledgerMaintenanceSelect(const QString& plate) {
    return u"select [下次二维日期],[二维卡号],[二维驻外] from "_s + plate + u" where 下次二维日期 is not null"_s;
}
QString ledgerInsuranceSelect(const QString& plate) {
    return u"select [下次保险日期],[保险公司名称],[保单号] from "_s + plate + u" where 下次保险日期 is not null"_s;
}
QString ledgerPermitSelect(const QString& plate) {
    return u"select [下次营运证日期],[营运证号] from "_s + plate + u" where 下次营运证日期 is not null"_s;
}

// ---- what one vehicle's rows give a list --------------------------------------------------

struct AlertFacts {
    Group basic;                 // 档案编号, 主车牌号, 车主姓名, 车主电话
    std::array<Group, 5> status; // one date each
    bool statusFailed[5] = {};
    bool flags[5] = {};  // any row true
    int failedFlag = -1; // first blacklist flag whose query fails
};

struct LedgerFacts {
    Group basic, inspection, maintenance, insurance, permit;
    int failedStep = -1; // 0 basic, 1 inspection, 2 maintenance, 3 insurance, 4 permit
};

// Opens select, moves to the last row and reads the columns; false when the query fails.
// A plate names a table only when it is a well-formed vehicle plate that [总表] lists: a plate
// taken from the alert sets might be stale or name a fixed table.
bool usableTable(const QString& plate, const QSet<QString>& listed) {
    return listed.contains(plate) && archive::PlateUsableAsTableName(plate);
}

// The plates [总表] lists, read once per build; empty when it cannot be read, so that no plate
// reaches a statement then.
QSet<QString> listedPlates(store::DatabaseConnection& db) {
    QSet<QString> plates;
    const int h = db.OpenRecordSet(u"select 车牌号 from [总表] "_s);
    if (!h)
        return plates;
    store::RecordSetGuard guard(db, h);
    for (db.MoveFirst(h); !db.AtEnd(h); db.MoveNext(h))
        plates.insert(db.ReadField(h, u"车牌号"_s).text());
    guard.close();
    return plates;
}

bool readLast(store::DatabaseConnection& db, const QString& select, const QStringList& columns, Group& out) {
    const int h = db.OpenRecordSet(select);
    if (!h)
        return false;
    store::RecordSetGuard guard(db, h);
    db.MoveLast(h);
    if (!db.AtEnd(h)) {
        out.found = true;
        for (const QString& c : columns)
            out.values << db.ReadField(h, c);
    }
    guard.close();
    return true;
}

QStringList basicColumns() {
    return {kBasicColumns[0], kBasicColumns[1], kBasicColumns[2], kBasicColumns[3]};
}

// The columns of an alert list's (or the blacklist's) one read of a vehicle table.
const QStringList& alertColumns(bool blacklist) {
    static const std::array<QStringList, 2> columns = [] {
        std::array<QStringList, 2> both;
        for (int b = 0; b < 2; ++b) {
            both[b] = basicColumns();
            for (int k = 0; k < 5; ++k)
                both[b] << (b ? kFlagColumns[k] : kDateColumns[k]);
        }
        return both;
    }();
    return columns[blacklist ? 1 : 0];
}

void scanAlertFacts(TableScan& scan, bool blacklist, AlertFacts& f) {
    const QStringList basic = basicColumns();
    scan.forEach([&] {
        scan.take(f.basic, kBasicColumns[0], basic);
        for (int k = 0; k < 5; ++k) {
            if (blacklist)
                f.flags[k] = f.flags[k] || scan.field(kFlagColumns[k]).yesNo();
            else
                scan.take(f.status[k], kDateColumns[k], {kDateColumns[k]});
        }
    });
}

// Each usable plate's table read once, all of them through one call (the server reads many
// tables to a statement): the facts of plates[i], or none when its table could not be read that
// way; the build then reads that one query by query when it gets to it, as the design does.
template <typename Facts, typename Scan>
std::vector<std::optional<Facts>> readOnce(store::DatabaseConnection& db, const QStringList& plates,
                                           const QSet<QString>& listed, const QStringList& columns, Scan scan) {
    std::vector<std::optional<Facts>> out(size_t(plates.size()));
    QStringList tables;
    std::vector<qsizetype> at;
    // A plate that cannot name a table ends the build at its row: nothing after it is read.
    for (qsizetype i = 0; i < plates.size() && usableTable(plates[i], listed); ++i) {
        tables << plates[i];
        at.push_back(i);
    }
    db.ReadTables(tables, columns, [&](qsizetype k, int handle) {
        if (!handle)
            return;
        TableScan table(db, handle);
        Facts f;
        scan(table, f);
        out[size_t(at[size_t(k)])] = std::move(f);
    });
    return out;
}

// The queries one by one: stops at the first failing basic or flag query as the build does.
bool readAlertFactsByQueries(store::DatabaseConnection& db, const QString& plate, bool blacklist, AlertFacts& f) {
    if (!readLast(db, basicSelect(plate), basicColumns(), f.basic))
        return false;
    for (int k = 0; k < 5; ++k) {
        if (blacklist) {
            const int h = db.OpenRecordSet(flagSelect(k, plate));
            if (!h) {
                f.failedFlag = k;
                break;
            }
            store::RecordSetGuard guard(db, h);
            for (db.MoveFirst(h); !db.AtEnd(h); db.MoveNext(h)) {
                if (db.ReadField(h, kFlagColumns[k]).yesNo()) {
                    f.flags[k] = true;
                    break;
                }
            }
            guard.close();
        } else if (!readLast(db, statusSelect(Kind(k), plate), {kDateColumns[k]}, f.status[k])) {
            f.statusFailed[k] = true;
        }
    }
    return true;
}

const QStringList kLedgerColumns = {u"车主姓名"_s,        u"主车牌号"_s,     u"挂车牌号"_s,       u"主车架号"_s,
                                    u"驾驶员A身份证号"_s, u"从业资格证号"_s, u"A姓名"_s,          u"下次审车日期"_s,
                                    u"下次二维日期"_s,    u"二维卡号"_s,     u"二维驻外"_s,       u"下次保险日期"_s,
                                    u"保险公司名称"_s,    u"保单号"_s,       u"下次营运证日期"_s, u"营运证号"_s};

void scanLedgerFacts(TableScan& scan, LedgerFacts& f) {
    const QStringList basic(std::begin(kLedgerBasicColumns), std::end(kLedgerBasicColumns));
    const QStringList maintenance = {u"下次二维日期"_s, u"二维卡号"_s, u"二维驻外"_s};
    const QStringList insurance = {u"下次保险日期"_s, u"保险公司名称"_s, u"保单号"_s};
    const QStringList permit = {u"下次营运证日期"_s, u"营运证号"_s};
    scan.forEach([&] {
        scan.take(f.basic, u"主车牌号"_s, basic);
        scan.take(f.inspection, u"下次审车日期"_s, {u"下次审车日期"_s});
        scan.take(f.maintenance, maintenance.first(), maintenance);
        scan.take(f.insurance, insurance.first(), insurance);
        scan.take(f.permit, permit.first(), permit);
    });
}

void readLedgerFactsByQueries(store::DatabaseConnection& db, const QString& plate, LedgerFacts& f) {
    const QStringList basic(std::begin(kLedgerBasicColumns), std::end(kLedgerBasicColumns));
    if (!readLast(db, ledgerBasicSelect(plate), basic, f.basic)) {
        f.failedStep = 0;
    } else if (!readLast(db, ledgerInspectionSelect(plate), {u"下次审车日期"_s}, f.inspection)) {
        f.failedStep = 1;
    } else if (!readLast(db, ledgerMaintenanceSelect(plate), {u"下次二维日期"_s, u"二维卡号"_s, u"二维驻外"_s},
                         f.maintenance)) {
        f.failedStep = 2;
    } else if (!readLast(db, ledgerInsuranceSelect(plate), {u"下次保险日期"_s, u"保险公司名称"_s, u"保单号"_s},
                         f.insurance)) {
        f.failedStep = 3;
    } else if (!readLast(db, ledgerPermitSelect(plate), {u"下次营运证日期"_s, u"营运证号"_s}, f.permit)) {
        f.failedStep = 4;
    }
}

QString valueText(const Group& g, int i) {
    return g.found && i < g.values.size() ? g.values.at(i).text() : QString();
}
QString valueDate(const Group& g, int i) {
    return g.found && i < g.values.size() ? dateText(g.values.at(i)) : QString();
}

// ---- the build ----------------------------------------------------------------------------

void commonHeader(report::ReportTable& t) {
    t.setColumnCount(10);
    t.appendRow();
    t.setColumnWidth(0, 30);
    t.setColumnWidth(4, 110);
    for (int c = 5; c <= 9; ++c)
        t.setColumnWidth(c, 80);
    for (int c = 0; c < 4; ++c)
        t.setText(0, c + 1, kBasicColumns[c]);
}

void setPrintTitle(report::ReportTable& t, const QString& text) {
    t.printTitle.text = text;
    t.printTitle.fontName = u"黑体"_s;
    t.printTitle.pointSize = 20;
    t.printTitle.bold = true;
}

// The row of a vehicle whose basic query failed: its number and plate, so the operator sees
// which vehicle stopped the list.
void failedRow(report::ReportTable& t, int row, int number, const QString& plate, int plateColumn) {
    t.ensureSize(row + 1, t.columnCount());
    t.setText(row, 0, QString::number(number));
    t.setText(row, plateColumn, plate);
}

void buildAlert(store::DatabaseConnection& db, const ListInfo& info, const QStringList& plates,
                const QSet<QString>& listed, const QDate& month, ReadMode mode, ListBuild& out) {
    report::ReportTable& t = out.table;
    const Kind kind = kindOfNode(info.node);
    const std::array<Kind, 5> order = StatusColumnOrder(kind);
    const auto once = mode == ReadMode::OneQueryPerTable
                          ? readOnce<AlertFacts>(db, plates, listed, alertColumns(false),
                                                 [](TableScan& scan, AlertFacts& f) { scanAlertFacts(scan, false, f); })
                          : std::vector<std::optional<AlertFacts>>(size_t(plates.size()));
    for (int i = 1; i <= plates.size(); ++i) {
        const QString& plate = plates.at(i - 1);
        AlertFacts f;
        bool read = false;
        if (usableTable(plate, listed)) {
            read = once[size_t(i - 1)].has_value();
            if (read)
                f = *once[size_t(i - 1)];
            else
                read = readAlertFactsByQueries(db, plate, false, f);
        }
        if (!read) {
            failedRow(t, i, i, plate, 2);
            out.messages << kFailed;
            return;
        }
        setPrintTitle(t, info.printTitle);
        for (int c = 0; c < 5; ++c)
            t.setText(0, 5 + c, StatusCaption(order[c]));
        t.ensureSize(i + 1, t.columnCount());
        t.setRowKey(i, plate);
        t.setText(i, 0, QString::number(i));
        for (int c = 0; c < 4; ++c)
            t.setText(i, c + 1, valueText(f.basic, c));
        for (int c = 0; c < 5; ++c) {
            const int k = int(order[c]);
            if (f.statusFailed[k]) {
                out.messages << kStatusFailed;
                continue;
            }
            if (f.status[k].found) {
                const QDate due = f.status[k].values.at(0).date();
                if (due.isValid())
                    t.setText(i, 5 + c, StatusText(order[c], due, month));
            }
        }
    }
    out.completed = true;
}

void buildBlacklist(store::DatabaseConnection& db, const ListInfo& info, const QStringList& plates,
                    const QSet<QString>& listed, ReadMode mode, const alerts::LapseFlagPlates& flagsTakenAsSet,
                    ListBuild& out) {
    report::ReportTable& t = out.table;
    const auto once = mode == ReadMode::OneQueryPerTable
                          ? readOnce<AlertFacts>(db, plates, listed, alertColumns(true),
                                                 [](TableScan& scan, AlertFacts& f) { scanAlertFacts(scan, true, f); })
                          : std::vector<std::optional<AlertFacts>>(size_t(plates.size()));
    for (int i = 1; i <= plates.size(); ++i) {
        const QString& plate = plates.at(i - 1);
        AlertFacts f;
        bool read = false;
        if (usableTable(plate, listed)) {
            read = once[size_t(i - 1)].has_value();
            if (read)
                f = *once[size_t(i - 1)];
            else
                read = readAlertFactsByQueries(db, plate, true, f);
        }
        if (!read) {
            failedRow(t, i + (i > 1 || t.headerRows == 2 ? 1 : 0), i, plate, 2);
            out.messages << kFailed;
            return;
        }
        setPrintTitle(t, info.printTitle);
        if (t.headerRows == 1) {
            t.headerRows = 2;
            t.ensureSize(2, 10);
            t.merge(0, 1, 1, 4);
            t.setText(0, 1, u"客户信息"_s);
            t.merge(0, 5, 1, 5);
            t.setText(0, 5, u"拉黑具体原因"_s);
            const char16_t* const captions[9] = {u"档案编号", u"主车牌号", u"车主姓名",   u"车主电话",  u"审车过期",
                                                 u"二维过期", u"保险过期", u"管理费过期", u"营运证过期"};
            for (int c = 0; c < 9; ++c)
                t.setText(1, c + 1, QString::fromUtf16(captions[c]));
        }
        const int row = i + 1;
        t.ensureSize(row + 1, t.columnCount());
        t.setRowKey(row, plate);
        t.setText(row, 0, QString::number(i));
        for (int c = 0; c < 4; ++c)
            t.setText(row, c + 1, valueText(f.basic, c));
        for (int k = 0; k < 5; ++k) {
            if (f.failedFlag == k) {
                out.messages << kFailed;
                return;
            }
            if (f.flags[k] || flagsTakenAsSet[std::size_t(k)].contains(plate))
                t.setText(row, 5 + k, u"拉黑"_s);
        }
    }
    out.completed = true;
}

void buildLedger(store::DatabaseConnection& db, const ListInfo& info, const QStringList& plates,
                 const QSet<QString>& listed, ReadMode mode, ListBuild& out) {
    report::ReportTable& t = out.table;
    const auto once = mode == ReadMode::OneQueryPerTable
                          ? readOnce<LedgerFacts>(db, plates, listed, kLedgerColumns, scanLedgerFacts)
                          : std::vector<std::optional<LedgerFacts>>(size_t(plates.size()));
    for (int i = 1; i <= plates.size(); ++i) {
        const QString& plate = plates.at(i - 1);
        LedgerFacts f;
        if (!usableTable(plate, listed))
            f.failedStep = 0;
        else if (once[size_t(i - 1)])
            f = *once[size_t(i - 1)];
        else
            readLedgerFactsByQueries(db, plate, f);
        if (f.failedStep == 0 || f.failedStep == 1) {
            failedRow(t, i, i, plate, 2);
            out.messages << kFailed;
            return;
        }
        setPrintTitle(t, info.printTitle);
        t.setColumnCount(18);
        t.setColumnWidth(0, 20);
        for (int c = 4; c <= 7; ++c)
            t.setColumnWidth(c, 80);
        const char16_t* const captions[] = {u"车主姓名",       u"主车牌号",   u"挂车牌号",     u"主车架号",
                                            u"驾驶员身份证号", u"驾驶员姓名", u"从业资格证号", u"下次审车日期"};
        for (int c = 0; c < 8; ++c)
            t.setText(0, c + 1, QString::fromUtf16(captions[c]));
        t.setText(0, 17, u"备注"_s);
        t.ensureSize(i + 1, 18);
        t.setRowKey(i, plate);
        t.setText(i, 0, QString::number(i));
        // 车主姓名, 主车牌号, 挂车牌号, 主车架号, 驾驶员A身份证号, A姓名, 从业资格证号.
        const int fromBasic[7] = {0, 1, 2, 3, 4, 6, 5};
        for (int c = 0; c < 7; ++c)
            t.setText(i, c + 1, valueText(f.basic, fromBasic[c]));
        t.setText(i, 8, valueDate(f.inspection, 0));
        if (f.failedStep == 2) {
            out.messages << kFailed;
            return;
        }
        t.setColumnKind(11, report::CellKind::YesNo);
        t.setText(0, 9, u"二维卡号"_s);
        t.setText(0, 10, u"下次二维日期"_s);
        t.setText(0, 11, u"二维驻外"_s);
        t.setText(i, 9, valueText(f.maintenance, 1));
        t.setText(i, 10, valueDate(f.maintenance, 0));
        t.setYesNo(i, 11, f.maintenance.found && f.maintenance.values.at(2).yesNo());
        if (f.failedStep == 3) {
            out.messages << kFailed;
            return;
        }
        t.setText(0, 12, u"保险公司名称"_s);
        t.setText(0, 13, u"保单号"_s);
        t.setText(0, 14, u"下次保险日期"_s);
        t.setText(i, 12, valueText(f.insurance, 1));
        t.setText(i, 13, valueText(f.insurance, 2));
        t.setText(i, 14, valueDate(f.insurance, 0));
        if (f.failedStep == 4) {
            out.messages << kPermitFailed;
            return;
        }
        t.setText(0, 15, u"下次营运证日期"_s);
        t.setText(0, 16, u"营运证号"_s);
        t.setText(i, 15, valueDate(f.permit, 0));
        t.setText(i, 16, valueText(f.permit, 1));
    }
    out.completed = true;
}

} // namespace

const std::array<ListInfo, kListCount>& Lists() {
    static const std::array<ListInfo, kListCount> lists = {{
        {u"预警年审车辆清单"_s, 1, u"预警年审车辆清单"_s, u"预警年审车辆清单"_s},
        {u"预警二维车辆清单"_s, 2, u"预警二维车辆清单"_s, u"预警二维车辆清单"_s},
        {u"预警保险车辆清单"_s, 3, u"预警保险车辆清单"_s, u"预警保险车辆清单"_s},
        {u"预警管理车辆清单"_s, 4, u"预警管理费用车辆清单"_s, u"预警管理费用车辆清单"_s},
        {u"预警营运车辆清单"_s, 5, u"预警营运证车辆清单"_s, u"预警营运证车辆清单"_s},
        {u"脱审车辆清单"_s, 11, u"脱审车辆清单"_s, u"脱审车辆清单"_s},
        {u"脱维车辆清单"_s, 12, u"脱维车辆清单"_s, u"脱维车辆清单"_s},
        {u"脱保车辆清单"_s, 13, u"脱保车辆清单"_s, u"脱保车辆清单"_s},
        {u"脱管车辆清单"_s, 14, u"脱管车辆清单"_s, u"脱管理车辆清单"_s},
        {u"脱营车辆清单"_s, 15, u"脱营运车辆清单"_s, u"脱营运车辆清单"_s},
        {u"本月需审车辆清单"_s, 6, u"本月需审车辆清单"_s, u"本月需审车辆清单"_s},
        {u"本月需维车辆清单"_s, 7, u"本月需维车辆清单"_s, u"本月需维车辆清单"_s},
        {u"本月需保车辆清单"_s, 8, u"本月需保车辆清单"_s, u"本月需保车辆清单"_s},
        {u"本月需管车辆清单"_s, 9, u"本月需管车辆清单"_s, u"本月需管车辆清单"_s},
        {u"本月需营车辆清单"_s, 10, u"本月需营车辆清单"_s, u"本月需营车辆清单"_s},
        {u"拉黑车辆清单"_s, 16, u"拉黑车辆清单"_s, u"拉黑车辆清单"_s},
        {u"公司车辆台账清单"_s, 0, u"公司车辆台账清单"_s, u"公司车辆台账清单"_s},
    }};
    return lists;
}

std::optional<int> FindList(const QString& name) {
    const auto& all = Lists();
    for (int i = 0; i < kListCount; ++i)
        if (all[i].title == name)
            return i;
    for (int i = 0; i < kListCount; ++i)
        if (all[i].menuItem == name)
            return i;
    return std::nullopt;
}

QStringList ListTitles() {
    QStringList titles;
    for (const ListInfo& l : Lists())
        titles << l.title;
    return titles;
}

QString StatusText(Kind kind, const QDate& due, const QDate& referenceMonth) {
    const KindTexts& texts = kTexts[int(kind)];
    const int x = domain::MonthsBetween(domain::MonthStart(due), domain::MonthStart(referenceMonth));
    if (x == 0)
        return QString::fromUtf16(texts.thisMonth);
    if (x == 1)
        return QString::fromUtf16(texts.nextMonth);
    if (x >= 2)
        return QString::number(x - 1) + QString::fromUtf16(texts.later);
    return QString::fromUtf16(texts.lapsed) + QString::number(std::abs(x)) + u"个月"_s;
}

QString StatusCaption(Kind kind) {
    return QString::fromUtf16(kTexts[int(kind)].caption);
}

std::array<Kind, 5> StatusColumnOrder(Kind listKind) {
    std::array<Kind, 5> order{};
    order[0] = listKind;
    int c = 1;
    for (int k = 0; k < 5; ++k)
        if (Kind(k) != listKind)
            order[c++] = Kind(k);
    return order;
}

std::optional<int> SelectedList(const ListSelectorFlags& flags) {
    for (int i = 0; i < kListCount; ++i)
        if (flags[i])
            return i;
    return std::nullopt;
}

ListBuild BuildList(store::DatabaseConnection& db, int list, const alerts::AlertSetList& sets,
                    const QDate& referenceMonth, ReadMode mode, const alerts::LapseFlagPlates& flagsTakenAsSet) {
    ListBuild out;
    if (list < 0 || list >= kListCount)
        return out;
    const ListInfo& info = Lists()[list];
    out.table.title = info.title;
    commonHeader(out.table);
    const QStringList& plates = sets[info.node];
    const QSet<QString> listed = plates.isEmpty() ? QSet<QString>{} : listedPlates(db);
    switch (shapeOf(info.node)) {
    case Shape::Alert:
        buildAlert(db, info, plates, listed, referenceMonth, mode, out);
        break;
    case Shape::Blacklist:
        buildBlacklist(db, info, plates, listed, mode, flagsTakenAsSet, out);
        break;
    case Shape::Ledger:
        buildLedger(db, info, plates, listed, mode, out);
        break;
    }
    return out;
}

} // namespace lists
