#pragma once

#include "alerts/rules.h"
#include "report/reporttable.h"
#include "store/company.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

namespace store {
class DatabaseConnection;
}

// Owner notices (车主通知单): for each owner, the vehicles of a list with what falls due or is
// overdue, one owner to a page. Plain functions on a connection, shared by ListWindow and
// velmora-cli; the due-date calendar reads the same due dates.
namespace lists {

// One due date of a vehicle (the trailer's inspection and insurance dates are items of their own).
struct DueItem {
    alerts::Kind kind = alerts::Kind::Inspection;
    bool trailer = false;
    QDate due;
    alerts::DueState state = alerts::DueState::None; // by the alert rules, against the reference month
    QString fee;                                     // the kind's 应缴费用 on that row, as typed
};
// "审车", "挂车审车", "二级维护", "保险", "挂车保险", "管理费用", "营运证".
QString DueItemName(const DueItem& item);

struct VehicleDue {
    QString plate;
    QString owner;
    QString phone;
    QString idNumber;
    QList<DueItem> items; // every set due date of the current rows, in kind order, main first
};

struct DueRead {
    QList<VehicleDue> vehicles; // in the order of the plates asked for
    QStringList messages;       // one per vehicle that could not be read; it is left out
};

// Reads each vehicle's owner (its current archive row) and the current row of each kind (the last
// row with the kind's due date, as the alert tree takes it), one query per vehicle table. A plate
// that 总表 does not list or that cannot name a table is refused, never put into a statement.
DueRead ReadDueDates(store::DatabaseConnection& db, const QStringList& plates, const QDate& referenceMonth);

// The vehicles the company still runs, in the order of 总表: every listed vehicle except those
// the alert tree has under 转出车辆 or 注销车辆. nullopt when 总表 cannot be read.
std::optional<QStringList> VehiclesInService(store::DatabaseConnection& db, const alerts::AlertSetList& sets);

struct OwnerNotice {
    QString owner;
    QString phone;
    QList<VehicleDue> vehicles; // only the items that fall due or are overdue; none without any
};

// The owners in the order their first vehicle comes, each vehicle under exactly one owner. Owners
// are told apart by name, identity number and telephone together (two people of one name never
// share a page); a vehicle without an owner's name is a notice of its own.
QList<OwnerNotice> GroupByOwner(const QList<VehicleDue>& vehicles);

struct NoticeOptions {
    bool feesVisible = false; // the 应缴费用 column, by the operator's 费用可见
    store::CompanyDetails company;
    QDate today;
};

// The printed notices: the company's letterhead on every page, one section per owner (a page of
// its own, the owner's name on top, a place for the signature below), a row per due item.
report::ReportTable NoticePages(const QList<OwnerNotice>& notices, const NoticeOptions& options);
// The same items one row each with the owner's name and telephone: the CSV of the notices.
report::ReportTable NoticeRows(const QList<OwnerNotice>& notices, const NoticeOptions& options);

inline const QString kNoticeTitle = u"车主通知单"_s;
inline const QString kCompanyMissing = u"公司信息尚未设置（设置 → 公司信息设置），通知单上没有公司名称、地址和电话。"_s;

struct NoticeBuild {
    QList<OwnerNotice> notices;
    report::ReportTable pages;
    report::ReportTable rows;
    QStringList messages;        // vehicles not read, the company's details unreadable
    bool companyMissing = false; // no company name stored yet: the pages carry no letterhead
};

// Reads the vehicles and the company's details and builds both tables.
NoticeBuild BuildNotices(store::DatabaseConnection& db, const QStringList& plates, const QDate& today,
                         bool feesVisible);

} // namespace lists
