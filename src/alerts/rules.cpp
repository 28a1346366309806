#include "alerts/rules.h"

#include "domain/obligations.h"
#include "domain/plates.h"
#include "domain/vehiclecolumns.h"

#include "store/database.h"
#include "store/recordset.h"

#include <QRegularExpression>
#include <QSet>

#include <cmath>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace alerts {

namespace {

const char* const kNodeTexts[kNodeCount] = {
    "公司车辆",       "预警年审车辆", "预警二级维护车辆", "预警保险车辆", "预警管理费用车辆",
    "预警营运证车辆", "本月需审车辆", "本月需维车辆",     "本月需保车辆", "本月需管车辆",
    "本月需营车辆",   "脱审车辆",     "脱维车辆",         "脱保车辆",     "脱管车辆",
    "脱营运车辆",     "拉黑车辆",     "转出车辆",         "注销车辆",
};

// Per node 1..15: the list item under 车辆清单 and the item under 车辆预警 that opens the node.
const char* const kListItems[kNodeCount] = {
    nullptr,
    "预警年审车辆清单",
    "预警二维车辆清单",
    "预警保险车辆清单",
    "预警管理车辆清单",
    "预警营运车辆清单",
    "本月需审车辆清单",
    "本月需维车辆清单",
    "本月需保车辆清单",
    "本月需管车辆清单",
    "本月需营车辆清单",
    "脱审车辆清单",
    "脱维车辆清单",
    "脱保车辆清单",
    "脱管车辆清单",
    "脱营车辆清单",
    "拉黑车辆清单",
    nullptr,
    nullptr,
};
const char* const kOpenItems[kNodeCount] = {
    nullptr,        "预警年审车辆", "预警二维车辆", "预警保险车辆", "预警管理车辆", "预警营运车辆", "本月需审车辆",
    "本月需维车辆", "本月需保车辆", "本月需管车辆", "本月需营车辆", "脱审车辆",     "脱维车辆",     "脱保车辆",
    "脱管车辆",     "脱营车辆",     nullptr,        nullptr,        nullptr,
};

// The statements of a kind's three class passes; the columns they read are the kind's in
// domain::Obligation.
struct KindDef {
    const char* selects[kClassCount];
    const char* where;
    const char* flagText;
};

const KindDef kKinds[kKindCount] = {
    {{"select "
      "[审车车号],[下次审车日期],[下次挂车审车日期],[是否提醒主车审车],[是否提醒挂车审车],[是否脱审],[审车是否通知车主]"
      " from ",
      "select [审车车号],[下次审车日期],[是否脱审],[是否提醒主车审车],[是否提醒挂车审车],[下次挂车审车日期] from ",
      "select [编号],[审车车号],[下次审车日期],[是否脱审],[下次挂车审车日期],[是否提醒主车审车],[是否提醒挂车审车] "
      "from "},
     " where 下次审车日期 is not null",
     " set [是否脱审]=true where [编号]="},
    {{"select [二维车号],[下次二维日期],[是否脱维],[是否提醒二维] from ",
      "select [二维车号],[下次二维日期],[是否脱维],[是否提醒二维] from ",
      "select [编号],[二维车号],[下次二维日期],[是否脱维],[是否提醒二维] from "},
     " where 下次二维日期 is not null",
     " set [是否脱维]=true where [编号]="},
    {{"select [保险车号],[下次保险日期],[下次挂车保险日期],[是否脱保],[是否提醒保险],[是否提醒挂车保险] from ",
      "select [保险车号],[下次保险日期],[下次挂车保险日期],[是否脱保],[是否提醒保险],[是否提醒挂车保险] from ",
      "select [编号],[保险车号],[下次保险日期],[下次挂车保险日期],[是否脱保],[是否提醒保险],[是否提醒挂车保险] from "},
     " where 下次保险日期 is not null",
     " set [是否脱保]=true where [编号]="},
    {{"select [管理车号],[下次管理费用日期],[是否脱管],[是否提醒管理] from ",
      "select [管理车号],[下次管理费用日期],[是否脱管],[是否提醒管理] from ",
      "select [编号],[管理车号],[下次管理费用日期],[是否脱管],[是否提醒管理] from "},
     " where 下次管理费用日期 is not null",
     " set [是否脱管]=true where [编号]="},
    {{"select [营运车号],[下次营运证日期],[是否脱营],[是否提醒营运] from ",
      "select [营运车号],[下次营运证日期],[是否脱营],[是否提醒营运] from ",
      "select [编号],[营运车号],[下次营运证日期],[是否脱营],[是否提醒营运] from "},
     " where 下次营运证日期 is not null",
     " set [是否脱营]=true where [编号]="},
};

const domain::ObligationColumns& obligation(int kind) {
    return domain::Obligation(domain::ObligationKind(kind));
}

// The blacklist pass's six date columns: the five main due dates and the trailer inspection date.
QString blacklistColumn(int column) {
    static const QString columns[6] = {obligation(0).dueDate, obligation(0).trailerDue, obligation(1).dueDate,
                                       obligation(2).dueDate, obligation(3).dueDate,    obligation(4).dueDate};
    return columns[column];
}

const char* const kClassMessages[kNodeCount] = {
    nullptr,
    "刷新树状图预警年审车辆！?",
    "刷新树状图预警二级维护车辆！?",
    "刷新树状图预警保险车辆！?",
    "刷新树状图预警管理费用车辆！?",
    "刷新树状图预警营运证车辆！?",
    "刷新本月需审车辆！?",
    "刷新本月需维车辆！?",
    "刷新本月需保车辆失败",
    "刷新本月需管车辆失败",
    "刷新本月需营车辆",
    "刷新树状图脱审车辆！?",
    "刷新树状图脱维车辆！?",
    "刷新树状图脱险车辆！?",
    "刷新树状图脱管车辆！?",
    "刷新树状图脱营运车辆！?",
    nullptr,
    nullptr,
    nullptr,
};

// Every column that any of a vehicle's twenty-two queries names, so that this one read
// succeeds exactly when each of them would: the row number and the status, then each kind's
// columns in the order its class queries first name them. (The blacklist columns are among the
// kinds'.)
const QStringList& wholeColumns() {
    static const QStringList columns = [] {
        const domain::VehicleColumnNames& c = domain::VehicleColumn();
        QStringList names = {c.number, c.status};
        static const QRegularExpression bracketed(u"\\[([^\\]]+)\\]"_s);
        for (const KindDef& kind : kKinds)
            for (const char* select : kind.selects)
                for (auto it = bracketed.globalMatch(QString::fromUtf8(select)); it.hasNext();)
                    if (const QString name = it.next().captured(1); !names.contains(name))
                        names << name;
        return names;
    }();
    return columns;
}

// The current row of one kind: the last row whose main due date is present.
struct KindRow {
    bool found = false;
    QDate main;
    QDate trailer;
    QString plate;
    qint64 number = 0;
    bool flagSet = false; // the row's lapse flag already reads true
};

// What the twenty-two queries of one vehicle table would have read.
struct VehicleFacts {
    bool statusFailed = false;
    int status = 0;
    bool classFailed[kKindCount][kClassCount] = {};
    KindRow rows[kKindCount];
    bool blacklistFailed[6] = {};
    QDate blacklistDates[6];
};

// Column names as QStrings, built once: the reads below run for every row of the fleet.
struct Names {
    QString number = domain::VehicleColumn().number;
    QString status = domain::VehicleColumn().status;
    QString plate[kKindCount];
    QString main[kKindCount];
    QString trailer[kKindCount];
    QString flag[kKindCount];
    QString blacklist[6];
    Names() {
        for (int k = 0; k < kKindCount; ++k) {
            plate[k] = obligation(k).plateCopy;
            main[k] = obligation(k).dueDate;
            trailer[k] = obligation(k).trailerDue;
            flag[k] = obligation(k).lapsed;
        }
        for (int c = 0; c < 6; ++c)
            blacklist[c] = blacklistColumn(c);
    }
};

const Names& names() {
    static const Names n;
    return n;
}

qint64 wholeNumber(double value) {
    return qint64(std::trunc(value));
}

// Reads the current row of a kind at the record set's current position.
KindRow readKindRow(store::DatabaseConnection& db, int handle, int kind, bool withNumber) {
    const Names& n = names();
    KindRow row;
    row.found = true;
    row.main = db.ReadField(handle, n.main[kind]).date();
    if (!n.trailer[kind].isEmpty())
        row.trailer = db.ReadField(handle, n.trailer[kind]).date();
    row.plate = db.ReadField(handle, n.plate[kind]).text();
    if (withNumber) {
        // The Lapsed query names both the row number and the flag it would set.
        row.number = wholeNumber(db.ReadField(handle, n.number).number());
        row.flagSet = db.ReadField(handle, n.flag[kind]).yesNo();
    }
    return row;
}

void markAllFailed(VehicleFacts& f) {
    f.statusFailed = true;
    for (auto& kind : f.classFailed)
        for (bool& failed : kind)
            failed = true;
    for (bool& failed : f.blacklistFailed)
        failed = true;
}

// The vehicle's queries one by one, as the refresh was designed: used when the table cannot be
// read in one query, so that exactly the queries that fail are reported.
VehicleFacts readByQueries(store::DatabaseConnection& db, const QString& plate) {
    VehicleFacts f;
    if (!domain::IsSafePlate(plate)) {
        markAllFailed(f);
        return f;
    }
    const Names& n = names();
    if (const store::RecordSetGuard rs(db, StatusSelect(plate)); rs.ok()) {
        const int h = rs.handle();
        db.MoveLast(h);
        if (!db.AtEnd(h))
            f.status = VehicleStatus(db.ReadField(h, n.status).text());
    } else {
        f.statusFailed = true;
    }
    for (int k = 0; k < kKindCount; ++k) {
        for (int c = 0; c < kClassCount; ++c) {
            const store::RecordSetGuard rs(db, ClassSelect(Kind(k), AlertClass(c), plate));
            if (!rs.ok()) {
                f.classFailed[k][c] = true;
                continue;
            }
            const int h = rs.handle();
            db.MoveLast(h);
            if (!db.AtEnd(h)) {
                // The three queries of a kind share their where text and so their row; the
                // Lapsed query alone carries the row number.
                const bool lapsedQuery = AlertClass(c) == AlertClass::Lapsed;
                const KindRow row = readKindRow(db, h, k, lapsedQuery);
                if (!f.rows[k].found || lapsedQuery)
                    f.rows[k] = row;
            }
        }
    }
    for (int c = 0; c < 6; ++c) {
        const store::RecordSetGuard rs(db, BlacklistSelect(c, plate));
        if (!rs.ok()) {
            f.blacklistFailed[c] = true;
            continue;
        }
        const int h = rs.handle();
        db.MoveLast(h);
        if (!db.AtEnd(h))
            f.blacklistDates[c] = db.ReadField(h, n.blacklist[c]).date();
    }
    return f;
}

// The whole table read once (the record set of wholeColumns()); the current row of each query is
// then the last row of the table whose where column is present, as a scan in table order returns
// them.
void readWholeTable(store::DatabaseConnection& db, int h, VehicleFacts& f) {
    const Names& n = names();
    // Markers: status, the five main dates, the trailer inspection date (a blacklist column).
    enum { kStatus = 0, kFirstMain = 1, kTrailerInspection = 6, kMarkers = 7 };
    const QString* markers[kMarkers] = {&n.status,  &n.main[0], &n.main[1],   &n.main[2],
                                        &n.main[3], &n.main[4], &n.trailer[0]};
    int last[kMarkers];
    std::fill(std::begin(last), std::end(last), -1);
    int index = 0;
    for (db.MoveFirst(h); !db.AtEnd(h); db.MoveNext(h), ++index)
        for (int m = 0; m < kMarkers; ++m)
            if (!db.ReadField(h, *markers[m]).isNull)
                last[m] = index;
    auto seek = [&](int row) {
        db.MoveFirst(h);
        for (int i = 0; i < row; ++i)
            db.MoveNext(h);
    };
    if (last[kStatus] >= 0) {
        seek(last[kStatus]);
        f.status = VehicleStatus(db.ReadField(h, n.status).text());
    }
    for (int k = 0; k < kKindCount; ++k) {
        if (last[kFirstMain + k] < 0)
            continue;
        seek(last[kFirstMain + k]);
        f.rows[k] = readKindRow(db, h, k, true);
    }
    // Blacklist columns 0, 2..5 are the main dates; column 1 the trailer inspection date.
    const int mainOfColumn[6] = {0, -1, 1, 2, 3, 4};
    for (int c = 0; c < 6; ++c) {
        if (mainOfColumn[c] >= 0) {
            if (f.rows[mainOfColumn[c]].found)
                f.blacklistDates[c] = f.rows[mainOfColumn[c]].main;
        } else if (last[kTrailerInspection] >= 0) {
            seek(last[kTrailerInspection]);
            f.blacklistDates[c] = db.ReadField(h, n.trailer[0]).date();
        }
    }
}

// Every vehicle's facts, in the order of plates. Each table is read once where it can be (all of
// them through one call, which lets the server read many tables to a statement); a table that
// cannot is read query by query, so that exactly its failing queries are reported.
std::vector<std::optional<VehicleFacts>> readFleet(store::DatabaseConnection& db, const QStringList& plates,
                                                   ReadMode mode) {
    std::vector<std::optional<VehicleFacts>> facts(size_t(plates.size()));
    QStringList tables;
    std::vector<qsizetype> at;
    for (qsizetype i = 0; i < plates.size(); ++i) {
        if (mode == ReadMode::OneQueryPerTable && domain::IsSafePlate(plates[i])) {
            tables << plates[i];
            at.push_back(i);
        } else {
            facts[size_t(i)].emplace(readByQueries(db, plates[i]));
        }
    }
    db.ReadTables(tables, wholeColumns(), [&](qsizetype k, int handle) {
        std::optional<VehicleFacts>& f = facts[size_t(at[size_t(k)])];
        if (handle)
            readWholeTable(db, handle, f.emplace());
        else
            f.emplace(readByQueries(db, tables[k]));
    });
    return facts;
}

} // namespace

QString NodeText(int node) {
    return node >= 0 && node < kNodeCount ? QString::fromUtf8(kNodeTexts[node]) : QString();
}

QStringList NodeMenuItems(int node) {
    QStringList items;
    if (node < 0 || node >= kNodeCount)
        return items;
    if (kListItems[node])
        items << QString::fromUtf8(kListItems[node]);
    if (kOpenItems[node])
        items << QString::fromUtf8(kOpenItems[node]);
    return items;
}

QStringList AlertMenuItems() {
    QStringList items;
    for (int k = 0; k < kNodeCount; ++k)
        items << NodeMenuItems(k);
    return items;
}

QString NodeOpenItem(int node) {
    return node >= 0 && node < kNodeCount && kOpenItems[node] ? QString::fromUtf8(kOpenItems[node]) : QString();
}

bool DueSoon(const QDate& main, const QDate& trailer, const QDate& referenceMonth) {
    const QDate n = MonthStart(referenceMonth);
    return (IsSetDate(main) && MonthsBetween(main, n) == 1) || (IsSetDate(trailer) && MonthsBetween(trailer, n) == 1);
}

bool DueThisMonth(const QDate& main, const QDate& trailer, const QDate& referenceMonth) {
    const QDate n = MonthStart(referenceMonth);
    return (IsSetDate(main) && MonthsBetween(main, n) == 0) || (IsSetDate(trailer) && MonthsBetween(trailer, n) == 0);
}

LapseOutcome Lapsed(const QDate& main, const QDate& trailer, const QDate& referenceMonth) {
    const bool mainSet = IsSetDate(main);
    const bool trailerSet = IsSetDate(trailer);
    if (!mainSet && !trailerSet)
        return LapseOutcome::None;
    QDate earlier;
    if (mainSet && trailerSet)
        earlier = MonthsBetween(main, trailer) <= 0 ? main : trailer;
    else
        earlier = mainSet ? main : trailer;
    const int x = MonthsBetween(earlier, MonthStart(referenceMonth));
    if (x < -2)
        return LapseOutcome::FlagOnly;
    if (x < 0)
        return LapseOutcome::Lapsed;
    return LapseOutcome::None;
}

DueState DueStateOf(const QDate& due, const QDate& referenceMonth) {
    if (DueThisMonth(due, {}, referenceMonth))
        return DueState::DueThisMonth;
    if (DueSoon(due, {}, referenceMonth))
        return DueState::DueSoon;
    switch (Lapsed(due, {}, referenceMonth)) {
    case LapseOutcome::Lapsed:
        return DueState::Lapsed;
    case LapseOutcome::FlagOnly:
        return DueState::LongOverdue;
    case LapseOutcome::None:
        break;
    }
    return DueState::None;
}

bool BlacklistDate(const QDate& date, const QDate& referenceMonth) {
    return date.isValid() && date != kUnsetDate && MonthsBetween(date, MonthStart(referenceMonth)) < -2;
}

int VehicleStatus(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok)
        return 0;
    for (int status : {1, 2, 3})
        if (value == status)
            return status;
    return 0;
}

bool IsTransferredOrCancelled(const AlertSetList& sets, const QString& plate) {
    return sets[kTransferredNode].contains(plate, Qt::CaseSensitive) ||
           sets[kCancelledNode].contains(plate, Qt::CaseSensitive);
}

int NodeFlatIndex(const AlertSetList& sets, int node) {
    int index = node;
    for (int k = 0; k < node && k < kNodeCount; ++k)
        index += int(sets[k].size());
    return index;
}

QString StatusSelect(const QString& plate) {
    return u"select 车辆状态 from "_s + plate + u" where 车辆状态 is not null"_s;
}

QString ClassSelect(Kind kind, AlertClass cls, const QString& plate) {
    const KindDef& kindDef = kKinds[int(kind)];
    return QString::fromUtf8(kindDef.selects[int(cls)]) + plate + QString::fromUtf8(kindDef.where);
}

QString BlacklistSelect(int column, const QString& plate) {
    const QString name = blacklistColumn(column);
    return u"select ["_s + name + u"] from "_s + plate + u" where "_s + name + u" is not null"_s;
}

QString LapseFlagUpdate(Kind kind, const QString& plate, qint64 number) {
    return u"update "_s + plate + QString::fromUtf8(kKinds[int(kind)].flagText) + QString::number(number);
}

QString ClassFailureMessage(int node) {
    return node > 0 && node < kNodeCount && kClassMessages[node] ? QString::fromUtf8(kClassMessages[node]) : QString();
}

QString BlacklistFailureMessage(int column) {
    return u"拉黑查询失败车辆%1！?"_s.arg(column + 1);
}

QString FlagWriteFailedMessage(store::FailureKind kind, const QString& databaseError) {
    if (kind == store::FailureKind::Busy)
        return kFlagWriteFailedMessage;
    const QString cause = store::FailureText(kind);
    if (!cause.isEmpty())
        return u"预警标记写入失败：%1。"_s.arg(cause);
    return u"预警标记写入失败：%1"_s.arg(databaseError.isEmpty() ? u"未知原因"_s : databaseError);
}

AlertResult ComputeAlerts(store::DatabaseConnection& db, const QDate& referenceMonth, ReadMode mode,
                          FlagWrites writes) {
    AlertResult result;
    const QDate n = MonthStart(referenceMonth);
    const QString masterFailed = u"查询失败！"_s;
    // Every pass walks 总表; when it cannot be read, each of the seventeen passes ends at once.
    QStringList plates;
    {
        const store::RecordSetGuard rs(db, kMasterSelect);
        if (!rs.ok()) {
            for (int pass = 0; pass < 17; ++pass)
                result.messages << masterFailed;
            return result;
        }
        const int master = rs.handle();
        const QString plateColumn = u"车牌号"_s;
        for (db.MoveFirst(master); !db.AtEnd(master); db.MoveNext(master))
            plates << db.ReadField(master, plateColumn).text();
    }

    // One transaction for the whole walk: the reads share one lock and the lapse flags are
    // written with one commit instead of one per statement. Begun first, so that a write lock
    // held elsewhere costs one wait of the busy timeout rather than one per flag.
    // Without writes there is no write transaction either: nothing is locked for writing, and a
    // read-only connection computes the same tree.
    const bool skip = writes == FlagWrites::Skip;
    const bool inTransaction = !skip && db.BeginTransaction();
    const QString beginError = inTransaction || skip ? QString() : db.LastError();
    const store::FailureKind beginFailure = inTransaction || skip ? store::FailureKind::None : db.LastFailure();
    QStringList flagStatements;

    const std::vector<std::optional<VehicleFacts>> facts = readFleet(db, plates, mode);

    AlertSetList& sets = result.sets;
    for (qsizetype i = 0; i < plates.size(); ++i) {
        if (facts[i]->statusFailed) {
            result.messages << u"查询小表失败！"_s;
            continue;
        }
        switch (facts[i]->status) {
        case 1:
            sets[kCompanyNode] << plates[i];
            break;
        case 2:
            sets[kTransferredNode] << plates[i];
            break;
        case 3:
            sets[kCancelledNode] << plates[i];
            break;
        default:
            break;
        }
    }

    QSet<QString> gone;
    for (const QString& p : sets[kTransferredNode])
        gone.insert(p);
    for (const QString& p : sets[kCancelledNode])
        gone.insert(p);

    for (int c = 0; c < kClassCount; ++c) {
        for (int k = 0; k < kKindCount; ++k) {
            const int node = ClassNode(AlertClass(c), Kind(k));
            for (qsizetype i = 0; i < plates.size(); ++i) {
                if (gone.contains(plates[i]))
                    continue;
                const VehicleFacts& f = *facts[i];
                if (f.classFailed[k][c]) {
                    result.messages << ClassFailureMessage(node);
                    break;
                }
                const KindRow& row = f.rows[k];
                if (!row.found)
                    continue;
                switch (AlertClass(c)) {
                case AlertClass::DueSoon:
                    if (DueSoon(row.main, row.trailer, n))
                        sets[node] << row.plate;
                    break;
                case AlertClass::DueThisMonth:
                    if (DueThisMonth(row.main, row.trailer, n))
                        sets[node] << row.plate;
                    break;
                case AlertClass::Lapsed:
                    switch (Lapsed(row.main, row.trailer, n)) {
                    case LapseOutcome::Lapsed:
                        sets[node] << row.plate;
                        break;
                    case LapseOutcome::FlagOnly:
                        // Written with the others once the passes are done: all of them or none.
                        // A flag that already reads true is left alone: the update would change
                        // no value but would still rewrite the whole record, images included.
                        if (!row.flagSet) {
                            flagStatements << LapseFlagUpdate(Kind(k), plates[i], row.number);
                            result.dueFlags[std::size_t(k)].insert(plates[i]);
                        }
                        break;
                    case LapseOutcome::None:
                        break;
                    }
                    break;
                }
            }
        }
    }

    for (qsizetype i = 0; i < plates.size(); ++i) {
        if (gone.contains(plates[i]))
            continue;
        const VehicleFacts& f = *facts[i];
        bool mark = false;
        int failedColumn = -1;
        for (int c = 0; c < 6; ++c) {
            if (f.blacklistFailed[c]) {
                failedColumn = c;
                break;
            }
            if (BlacklistDate(f.blacklistDates[c], n))
                mark = true;
        }
        if (failedColumn >= 0) {
            result.messages << BlacklistFailureMessage(failedColumn);
            break;
        }
        if (mark)
            sets[kBlacklistNode] << plates[i];
    }

    QString writeError = beginError;
    store::FailureKind writeFailure = beginFailure;
    bool written = inTransaction;
    for (const QString& statement : std::as_const(flagStatements)) {
        if (!written)
            break;
        if (!db.ExecuteStatement(statement)) {
            written = false;
            writeError = db.LastError();
            writeFailure = db.LastFailure();
        }
    }
    if (inTransaction) {
        if (!written) {
            db.RollbackTransaction();
        } else if (!db.CommitTransaction()) {
            written = false;
            writeError = db.LastError();
            writeFailure = db.LastFailure();
        }
    }
    result.flagsDue = int(flagStatements.size());
    if (skip)
        return result;
    if (written) {
        result.flagUpdates = int(flagStatements.size());
    } else if (!flagStatements.isEmpty()) {
        result.flagsUnwritten = true;
        result.flagWriteError = writeError;
        result.flagWriteFailure = writeFailure;
        result.messages << FlagWriteFailedMessage(writeFailure, writeError);
    }
    return result;
}

} // namespace alerts
