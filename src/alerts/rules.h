#pragma once

#include "alerts/monthmath.h"
#include "store/failure.h"

#include <QDate>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>

using namespace Qt::StringLiterals;

namespace store {
class DatabaseConnection;
}

namespace alerts {

// The five obligation kinds, in the order of the tree's node groups.
enum class Kind { Inspection = 0, Maintenance, Insurance, ManagementFee, OperatingPermit };
inline constexpr int kKindCount = 5;

// The three date classes of the class passes, in node order.
enum class AlertClass { DueSoon = 0, DueThisMonth, Lapsed };
inline constexpr int kClassCount = 3;

inline constexpr int kNodeCount = 19;
inline constexpr int kCompanyNode = 0;
inline constexpr int kBlacklistNode = 16;
inline constexpr int kTransferredNode = 17;
inline constexpr int kCancelledNode = 18;

using AlertSetList = std::array<QStringList, kNodeCount>;

// Node k of a class and kind: 1 + class * 5 + kind.
inline int ClassNode(AlertClass c, Kind k) {
    return 1 + int(c) * kKindCount + int(k);
}

QString NodeText(int node);
// The menu items a node enables once it has a member (none for nodes 0, 17 and 18).
QStringList NodeMenuItems(int node);
// All thirty-one items the refresh disables first, in node order.
QStringList AlertMenuItems();
// The "车辆预警" item that opens node k (nodes 1 to 15), empty for the other nodes.
QString NodeOpenItem(int node);

// ---- date rules -------------------------------------------------------------------------
// main and trailer are the obligation's due dates as read (invalid when absent); N is the
// reference month. Kinds without a trailer date pass an invalid trailer date.
bool DueSoon(const QDate& main, const QDate& trailer, const QDate& referenceMonth);
bool DueThisMonth(const QDate& main, const QDate& trailer, const QDate& referenceMonth);

enum class LapseOutcome {
    None,     // not overdue, or no date set
    Lapsed,   // one or two months overdue: the vehicle joins the Lapsed node
    FlagOnly, // three or more months overdue: the lapse flag is written, no node
};
// Decides on the earlier of the two set dates (the month decides, the day plays no part).
LapseOutcome Lapsed(const QDate& main, const QDate& trailer, const QDate& referenceMonth);

// One due date alone against the reference month, by the three class rules: what a notice or a
// calendar tells the owner about it. LongOverdue is three or more months overdue (the lapse flag's
// case); None also for an unset date and one more than a month ahead.
enum class DueState { None, DueSoon, DueThisMonth, Lapsed, LongOverdue };
DueState DueStateOf(const QDate& due, const QDate& referenceMonth);

// One of the six blacklist dates: the date itself is tested against 2000-01-01 (so a date in
// January 2000 other than the first still counts).
bool BlacklistDate(const QDate& date, const QDate& referenceMonth);

// The vehicle status text as a number: 1, 2 or 3; anything else (empty, words) is 0.
int VehicleStatus(const QString& text);

// Yes when plate is (exactly) a member of node 17 or 18.
bool IsTransferredOrCancelled(const AlertSetList& sets, const QString& plate);
// Position of node k in a pre-order walk of the tree: k plus the counts of the nodes before it.
int NodeFlatIndex(const AlertSetList& sets, int node);

// ---- statement texts --------------------------------------------------------------------
inline const QString kMasterSelect = u"select 车牌号 from [总表] "_s;
QString StatusSelect(const QString& plate);
QString ClassSelect(Kind kind, AlertClass cls, const QString& plate);
QString BlacklistSelect(int column, const QString& plate); // column 0..5
QString LapseFlagUpdate(Kind kind, const QString& plate, qint64 number);
QString ClassFailureMessage(int node);
QString BlacklistFailureMessage(int column); // column 0..5

// ---- the refresh's computation ----------------------------------------------------------
enum class ReadMode {
    OneQueryPerTable, // each vehicle table read once; per-query reads only for a table that fails
    PerQuery,         // the status, fifteen class and six blacklist queries of every vehicle
};

// Shown once when the lapse flags could not be written because another connection holds the lock.
inline const QString kFlagWriteFailedMessage = u"预警标记写入失败：数据库正忙，请稍后刷新。"_s;
// The notice for a failure of the given kind: kFlagWriteFailedMessage only when the database is
// busy; otherwise the cause ("预警标记写入失败：数据库文件只读。", 磁盘已满, 数据库文件损坏, 读写数据库文件
// 出错), or the database's own message for another failure.
QString FlagWriteFailedMessage(store::FailureKind kind, const QString& databaseError);

// Whether the refresh writes the lapse flags it finds due. Skip computes the same tree and counts
// the flags without any write (a dry run, a read-only file): the connection may be read-only.
enum class FlagWrites { Write, Skip };

// Per kind (alerts::Kind order), the vehicles whose lapse flag of that kind is meant.
using LapseFlagPlates = std::array<QSet<QString>, kKindCount>;

struct AlertResult {
    AlertSetList sets;           // members of each node, in the order they were added
    QStringList messages;        // failure messages to show, in order
    int flagsDue = 0;            // lapse flags the passes found due
    int flagUpdates = 0;         // lapse flags written (0 when the write failed as a whole)
    bool flagsUnwritten = false; // flags were due and none was written; messages ends with the notice
    QString flagWriteError;      // the database's reason when flagsUnwritten
    store::FailureKind flagWriteFailure = store::FailureKind::None; // its kind
    // The flags flagsDue counts, by vehicle: what the refresh writes. A reader that writes nothing
    // takes them as set, and so reads the file as the windows do after their refresh.
    LapseFlagPlates dueFlags;
};

// Classifies the fleet against the reference month and writes the lapse flags. The passes run in
// node order with the failure rules of the refresh: a failing vehicle query ends that pass only.
// The reads and the flag writes share one write transaction, begun first (waiting the busy
// timeout once): when it cannot begin, or a flag write or the commit fails, no flag is written,
// the tree is still computed from what was read and the failure is reported once.
AlertResult ComputeAlerts(store::DatabaseConnection& db, const QDate& referenceMonth,
                          ReadMode mode = ReadMode::OneQueryPerTable, FlagWrites writes = FlagWrites::Write);

} // namespace alerts
