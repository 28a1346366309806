#pragma once

#include "domain/plates.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

using namespace Qt::StringLiterals;

namespace store {
class DatabaseConnection;
}

namespace archive {

// The history records of one vehicle, page by page of the record form: page 0 the basic record,
// pages 1 to 5 the obligations (inspection, maintenance, insurance, management fee, operating
// permit). Page 6, the violation look-up, keeps no records.
constexpr int kRecordPageCount = 6;
constexpr int kViolationPage = 6;

// The traffic-violation query service shown on the look-up page.
inline const QString kViolationQueryAddress = u"https://gab.122.gov.cn"_s;

// How a column's value travels between the form and a statement.
enum class ValueKind {
    Text,   // edit box: quoted text, trimmed on modify
    Choice, // combo box text: quoted, stored unchanged
    Date,   // date box: quoted long date text
    YesNo,  // check box: bare true/false
    Image,  // picture box: bound byte array
    State,  // vehicle state item value 1..3: bare on insert, quoted on modify
};

struct RecordField {
    QString column;
    QString control; // objectName of the form control; empty when the column is shown nowhere
    ValueKind kind = ValueKind::Text;
    bool trimOnModify = false;
};

// Column -> value: QString for Text/Choice, QDate for Date, bool for YesNo, QByteArray for Image,
// int for State.
using RecordValues = QHash<QString, QVariant>;

struct RecordPage {
    int index = 0;
    QString tabCaption;
    QString listName;
    QString selectText; // followed by the plate and " where [编号]=" + number
    QString selectFailure;
    QString insertColumns; // the text after the table name, up to and including "values('"
    QString insertFailure;
    QString updateFailure;
    QString updateSuccessEnding;
    QString lapseColumn;   // empty on page 0
    QString dueFeeControl; // fee boxes of the obligation pages; empty on page 0
    QString paidFeeControl;
    QString owedFeeControl;
};

const RecordPage& RecordPageInfo(int page); // page 0..5

// Every column the page's statements read or write, with the control it comes from.
const QList<RecordField>& RecordFields(int page);
const RecordField* FindRecordField(int page, const QString& column);
// Columns of the select-one text (without 编号), of the insert and of the update, in statement order.
QStringList SelectedColumns(int page);
QStringList InsertedColumns(int page);
QStringList UpdatedColumns(int page);

// A statement ready to run, or the message to show instead when it cannot be built.
struct BuiltStatement {
    QString text;
    QList<QByteArray> binaries; // bound in order to the "?" placeholders
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// A table name is the plate inserted bare, so a plate that could end or extend a statement
// is never used as one.
// Never a fixed table (总表, 权限, 险种名称, 报险表, yangbiao, sqlite_*) nor an SQL word either.
using domain::PlateUsableAsTableName;
// The same, and the plate must be a vehicle listed in [总表]: for statements on an existing
// vehicle table. On false, *refusal (when given) holds the message to show.
bool PlateUsableAsTableName(store::DatabaseConnection& db, const QString& plate, QString* refusal = nullptr);

BuiltStatement BuildInsert(int page, const QString& plate, const RecordValues& values);
BuiltStatement BuildUpdate(int page, const QString& plate, const RecordValues& values, qint64 number);
QString BuildSelectOne(int page, const QString& plate, qint64 number);
QString BuildDeleteOne(const QString& plate, qint64 number);
// After a new obligation record the kind is no longer lapsed: clears its flag on every row.
QString BuildLapseReset(int page, const QString& plate);
QString BuildMasterRowDelete(const QString& plate);
QString BuildDropTable(const QString& plate);

// The last-record rule: the list shows exactly one row and that row is record 1.
bool IsLastRecordOfVehicle(int listRowCount, qint64 number);

// ---- Running the commands against a connection -------------------------------------------

struct RecordOutcome {
    bool ok = false;
    QString message;      // the text to show: the success text, or the failure message
    bool changed = false; // refused: another operator changed the vehicle after it was loaded
    qint64 version = 0;   // the vehicle's version after a write that succeeded
};

// Each command below checks and raises the vehicle's version in its own transaction (see
// store/versions.h): given the version the form loaded, a vehicle that another operator changed
// since is refused with store::kVehicleChangedMessage (changed set) and nothing is written.
// Without one the version is raised unchecked.

// Appends a record of the page; for an obligation the kind's lapse flag is then cleared on every
// row, in the same transaction: when the reset fails, neither is written and the failure is
// reported.
RecordOutcome AddRecordRow(store::DatabaseConnection& db, int page, const QString& plate, const RecordValues& values,
                           std::optional<qint64> loadedVersion = std::nullopt);
// Writes the values over record number; edit-box texts are trimmed first.
RecordOutcome ModifyRecordRow(store::DatabaseConnection& db, int page, const QString& plate, const RecordValues& values,
                              qint64 number, std::optional<qint64> loadedVersion = std::nullopt);
// Deletes the page's record number: "删除成功!" or "删除不成功". A row that also carries another
// group (its marker set: the first row carries every group) keeps that group: only the page's
// columns are set to NULL, its marker included.
RecordOutcome DeleteRecordRow(store::DatabaseConnection& db, int page, const QString& plate, qint64 number,
                              std::optional<qint64> loadedVersion = std::nullopt);
// The columns of page's group that a delete empties (编号 never among them).
QStringList GroupColumns(int page);
// Removes the vehicle's master row and drops its table together: true only when both happened;
// on false neither did (*changed set when the vehicle's version was no longer the loaded one).
bool RemoveVehicleWithLastRecord(store::DatabaseConnection& db, const QString& plate,
                                 std::optional<qint64> loadedVersion = std::nullopt, bool* changed = nullptr);
// Reads one record of the page into values (column -> value, kinds as RecordValues). On failure
// returns false and leaves values untouched.
bool ReadRecord(store::DatabaseConnection& db, int page, const QString& plate, qint64 number, RecordValues* values);

} // namespace archive
