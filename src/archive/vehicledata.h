#pragma once

// Data access and rules of the vehicle archive that need no window: search, reading a vehicle's
// current records and histories, the owed amount, the due colour of a tab, and creating and
// deleting a vehicle. The main window and velmora-cli both call these.

#include "domain/plates.h"
#include "domain/vehiclecolumns.h"
#include "store/database.h"

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

using namespace Qt::StringLiterals;

namespace archive {

// ---------------------------------------------------------------------------------------------
// Plates

// The plate rules live in the domain layer; these names keep the archive's callers as they are.
using domain::IsFixedTableName;
using domain::IsSafePlate;
using domain::IsSqlKeyword;
using domain::PlateRefusal;
// PlateRefusal, and also refused when [总表] does not list the plate as a vehicle: a plate about
// to name an existing vehicle table in a delete, drop or record command.
QString PlateTableRefusal(store::DatabaseConnection& db, const QString& plate);

// True when [总表] lists exactly this plate. nullopt when [总表] cannot be read.
std::optional<bool> PlateListed(store::DatabaseConnection& db, const QString& plate);

// Archive numbers compare without their leading "0" characters: 003 and 3 are one number.
QString ArchiveKey(const QString& archiveNumber);
// True when [总表] holds an archive number equal to this one after ArchiveKey. nullopt when
// [总表] cannot be read.
std::optional<bool> ArchiveNumberTaken(store::DatabaseConnection& db, const QString& archiveNumber);

// The vehicles [总表] lists, read in one pass: plates as stored, archive numbers by ArchiveKey.
// PlateListed and ArchiveNumberTaken ask it; an import asks it once per row and adds each vehicle
// it accepts, so that a file naming a plate or an archive number twice is caught too.
class VehicleRoster {
public:
    // nullopt when [总表] cannot be read.
    static std::optional<VehicleRoster> Read(store::DatabaseConnection& db);
    // Each half alone, with the check's own statement; false when [总表] cannot be read.
    bool readPlates(store::DatabaseConnection& db);
    bool readArchiveNumbers(store::DatabaseConnection& db);
    bool plateListed(const QString& plate) const { return plates_.contains(plate); }
    bool archiveTaken(const QString& archiveNumber) const { return archiveKeys_.contains(ArchiveKey(archiveNumber)); }
    // The listed plate that names the same vehicle table as this one: the plate itself, or one
    // that differs only in the case of its letters (the database folds that case in table names).
    // Empty when none.
    QString sameTableAs(const QString& plate) const { return tableNames_.value(TableNameKey(plate)); }
    void add(const QString& plate, const QString& archiveNumber);
    static QString TableNameKey(const QString& plate);

private:
    QSet<QString> plates_;
    QHash<QString, QString> tableNames_;
    QSet<QString> archiveKeys_;
};

// ---------------------------------------------------------------------------------------------
// Search

enum class SearchBy { Plate = 0, TrailerPlate = 1, OwnerName = 2, ArchiveNumber = 3 };

// The filter added to each vehicle's query for condition index 0..3; empty for any other index.
// Text for a LIKE pattern that matches itself: %, _ and the escape \\ escaped, then quoted.
QString LikePatternText(const QString& text);
QString SearchFilter(int condition, const QString& text);

struct SearchHit {
    QString archiveNumber;
    QString plate;
    QString trailerPlate;
    QString ownerName;
};

struct SearchOutcome {
    bool masterUnreadable = false; // [总表] could not be read: "没有找到！"
    int unreadableTables = 0;      // vehicles skipped: one "没有找到小表！" each
    QList<SearchHit> hits;         // in the order of [总表], one per vehicle
};

// Asks every vehicle's table for rows matching the condition; a vehicle yields the values of its
// last matching row, when that row has a plate.
SearchOutcome SearchVehicles(store::DatabaseConnection& db, int condition, const QString& text);

// The four parallel lists the result window reads (process-wide, like the other shared state).
struct SearchResultLists {
    QStringList plates;
    QStringList archiveNumbers;
    QStringList ownerNames;
    QStringList trailerPlates;
    void clear();
    bool anyEmpty() const;
    void append(const SearchHit& hit);
};
SearchResultLists& SearchResults();

// ---------------------------------------------------------------------------------------------
// Groups of a vehicle table and their current rows

enum class VehicleGroup { Basic, Inspection, Maintenance, Insurance, ManagementFee, OperatingPermit };
inline constexpr VehicleGroup kObligationGroups[] = {VehicleGroup::Inspection, VehicleGroup::Maintenance,
                                                     VehicleGroup::Insurance, VehicleGroup::ManagementFee,
                                                     VehicleGroup::OperatingPermit};

struct GroupInfo {
    VehicleGroup group;
    QString key;         // "basic", "Inspection", …: the name used by velmora-cli show
    int tab;             // page of 高级选择夹1
    QString pageSelect;  // the page loader's column list ("select [...],[...]")
    QString condition;   // " where <marker> is not null" (as each loader writes it)
    QString pageFailure; // the page loader's failure message
    QString mainDue;     // due-date columns for the tab colour (empty for the basic group)
    QString trailerDue;
    QString dueFee; // fee due and fee paid, for the owed amount
    QString paidFee;
    bool trimmed; // texts shown with blanks removed at both ends
    // The history list: its query, its caption column and its further columns by position.
    QString listName;
    QString listSelect;
    QString listCondition;
    QString listCaption;
    QStringList listColumns;    // column 1, 2, … of the list
    QStringList listFeeColumns; // after listColumns, only with 费用可见
};

const GroupInfo& GroupDef(VehicleGroup group);
QList<VehicleGroup> AllGroups();

// The page loader's query for a plate (the plate must be safe; see PlateRefusal).
QString PageQuery(VehicleGroup group, const QString& plate);
QString ListQuery(VehicleGroup group, const QString& plate);

// The newest row of a group: the last row of the page query.
struct GroupRow {
    bool present = false; // false: the table has no row with the marker
    QStringList columns;  // in query order
    QHash<QString, store::FieldValue> values;
    store::FieldValue value(const QString& column) const { return values.value(column); }
    // Text as the page shows it: trimmed for the groups that trim.
    QString text(const QString& column, bool trim) const;
};

// nullopt when the query fails (the caller shows the group's failure message).
std::optional<GroupRow> ReadCurrentGroup(store::DatabaseConnection& db, VehicleGroup group, const QString& plate);

struct ListRow {
    qint64 number = 0; // 编号 of the row
    QString caption;   // column 0
    QStringList cells; // columns 1…; fee cells left empty without 费用可见
};

// All rows of a group's history in table order (the list shows the newest on top). nullopt when
// the query fails: "没有打开车号为" + plate + "的车辆信息！".
std::optional<QList<ListRow>> ReadGroupList(store::DatabaseConnection& db, VehicleGroup group, const QString& plate,
                                            bool feesVisible);
QString ListFailureMessage(const QString& plate);

// The insurance kinds offered on the insurance page, in table order. nullopt when the table
// cannot be read ("险种记录集句柄失败").
std::optional<QStringList> ReadInsuranceKinds(store::DatabaseConnection& db);

// Fee due minus fee paid, each read as a number (an empty or unreadable box counts as 0).
double OwedAmount(const QString& due, const QString& paid);
QString OwedText(const QString& due, const QString& paid);

// ---------------------------------------------------------------------------------------------
// Tab colours

enum class TabColour { Green, Yellow, Red, DarkRed, Black };

// The due month (the earlier of main and trailer when both are set) minus the reference month,
// in whole months; nullopt when no due date is set. Pass an invalid trailer date for the kinds
// that have none.
std::optional<int> DueMonthOffset(const QDate& mainDue, const QDate& trailerDue, const QDate& referenceMonth);
TabColour DueColour(std::optional<int> monthOffset);
quint32 TabColourValue(TabColour colour); // Windows 0x00BBGGRR
QString TabColourName(TabColour colour);  // green, yellow, red, darkred, black
// The colour of an obligation group's tab for its current row (green when there is none).
TabColour GroupTabColour(VehicleGroup group, const GroupRow& row, const QDate& referenceMonth);

// ---------------------------------------------------------------------------------------------
// Creating and deleting vehicles

// The 94 columns of a new vehicle's first row, in statement order.
const QStringList& FirstRowColumns();
// The five image columns, in the order their "?" placeholders are bound.
const QStringList& ImageColumns();

// Values of the first row by column: QString for texts, QDate for dates, bool for yes/no, int for
// 车辆状态. Missing texts are written empty, missing dates as 2000-01-01, missing flags as false.
struct NewVehicle {
    QHash<QString, QVariant> values;
    QList<QByteArray> images; // five, in ImageColumns order; missing ones bind empty
    QString plate() const { return values.value(domain::VehicleColumn().mainPlate).toString(); }
    QString archiveNumber() const { return values.value(domain::VehicleColumn().archiveNumber).toString(); }
};

QString FirstRowInsert(const NewVehicle& vehicle);

// Sets the plate and its five copies in the obligation columns, as the save writes them.
void SetNewVehiclePlate(NewVehicle& vehicle, const QString& plate);

// The first row of a vehicle for which nothing was typed: what the emptied record form holds
// (texts empty, dates unset, the five payment dates today, the seven reminders on, 车辆状态 1,
// each choice its first item; insuranceKind is the first kind the insurance list offers).
NewVehicle BlankNewVehicle(const QDate& today, const QString& insuranceKind);

// One message of the checks of a new vehicle, as the record form shows it.
struct CheckMessage {
    QString text;
    bool exclamation = false; // shown with the exclamation icon
};

// Where the checks of a new vehicle read [总表]: asked the first time a check needs it, so that a
// plate the rules refuse, or one of implausible length on leaving its box, is turned away before
// any statement. nullptr when [总表] cannot be read.
using RosterSource = std::function<const VehicleRoster*()>;

// The plate check of leaving the plate box: a plate of implausible length is warned about without
// asking [总表]; otherwise an unreadable [总表] or a plate it already lists is reported. The
// operator decides: none of these stops a save.
QList<CheckMessage> PlateCheckMessages(const QString& plate, const RosterSource& roster);

// The archive-number check of leaving its box: numbers compare by ArchiveKey. The form empties
// the box when the number is taken.
struct ArchiveNumberCheck {
    QString message; // empty when the number is free
    bool taken = false;
};
ArchiveNumberCheck CheckArchiveNumber(const QString& archiveNumber, const RosterSource& roster);

// Where the checks of a new vehicle stopped.
enum class NewVehicleStop {
    None,            // the vehicle may be written
    NoPlate,         // "请输入主车车牌号！"
    PlateRules,      // PlateRefusal
    NoArchiveNumber, // "请输入档案编号！"
    ArchiveUnread,   // "查询失败！"
    ArchiveTaken,    // "对不起！已经存在此档案编号的信息了！"
    PlateTaken,      // "创建新车表格失败！": [总表] lists the plate, or one naming the same table
};

struct NewVehicleCheck {
    QList<CheckMessage> messages; // in the order the save shows them; when refused, the last is why
    NewVehicleStop stop = NewVehicleStop::None;
    bool plateLooked = false; // the plate check's messages are among them
    bool refused() const { return stop != NewVehicleStop::None; }
    QString refusal() const { return refused() ? messages.last().text : QString(); }
    // The messages one after another, as a report line shows them.
    QString reason() const;
};

// The checks of 保存增加车辆, in its order and its words: no plate, a plate the rules refuse, the
// plate check (left out when plateChecked: leaving the box has shown it for this very text), no
// archive number, an unreadable [总表] or a taken archive number, and last a plate [总表] already
// holds, where the table copy would fail. The form's save, its re-check inside the transaction and
// the import all take their refusal from here.
NewVehicleCheck CheckNewVehicle(const NewVehicle& vehicle, const RosterSource& roster, bool plateChecked = false);

enum class SaveStep { None, CopyTable, PrimaryKey, MasterRow, FirstRow };

struct SaveResult {
    bool ok = false;
    SaveStep failedStep = SaveStep::None;
    QString message;    // the failure message to show, or "新车辆添加成功！"
    qint64 version = 0; // the new vehicle's version when saved
};

// Table copy, key, master row and first row as one transaction: either all of them or nothing.
// The vehicle is checked (CheckNewVehicle) again inside the transaction, after it has taken the
// adds' common version row, so that of two operators adding the same plate or archive number at
// once the second is refused; a refusal's message is the check's last.
SaveResult SaveNewVehicleRows(store::DatabaseConnection& db, const NewVehicle& vehicle);
// The four statements of SaveNewVehicleRows inside a transaction (or savepoint) the caller holds
// and rolls back on failure; the caller has checked the vehicle with CheckNewVehicle against a
// roster read in that transaction.
SaveResult WriteNewVehicleRows(store::DatabaseConnection& db, const NewVehicle& vehicle);

struct DeleteResult {
    bool ok = false;
    QString dropFailure; // "没有删除" when the vehicle table was already gone (shown first)
    QString message;     // the failure message, or the success message naming the plate
};

// Drops the vehicle table and removes the master row together, or changes nothing. A plate that
// [总表] does not list, a fixed table's name or an SQL word is refused before any statement.
// When the vehicle table no longer exists the master row alone is removed (dropFailure set), so
// that an orphan row of [总表] can be cleared; a drop that fails otherwise keeps both.
// Given the version the form loaded, a vehicle another operator changed since is kept whole and
// the result says store::kVehicleChangedMessage.
DeleteResult DeleteVehicleRows(store::DatabaseConnection& db, const QString& plate,
                               std::optional<qint64> loadedVersion = std::nullopt);

// ---------------------------------------------------------------------------------------------
// The version of the vehicle the record form shows

// Read when the vehicle is loaded (before its records, so that a change in between makes the
// next save refuse rather than overwrite) and raised by every save of the form that succeeds.
struct LoadedVehicleVersion {
    QString plate;
    std::optional<qint64> version; // nullopt: not known, saves go unchecked
};
LoadedVehicleVersion& LoadedVersion();
// Reads and keeps the plate's version; nullopt when it cannot be read.
void RememberLoadedVersion(store::DatabaseConnection& db, const QString& plate);
// The version to check a save of plate against: the kept one when it is this plate's.
std::optional<qint64> LoadedVersionOf(const QString& plate);
// After a save of plate that succeeded, the form holds the version that save left.
void KeepSavedVersion(const QString& plate, qint64 version);

} // namespace archive
