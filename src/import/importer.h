#pragma once

// Importing vehicles from a sheet: each data row becomes a new vehicle exactly as the record
// form's save makes one (the same blank first row, the same checks, the same statements), and
// all accepted rows are written in one transaction.

#include "fields.h"
#include "workbook.h"

#include "archive/vehicledata.h"
#include "report/reporttable.h"

#include <QDate>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace store {
class DatabaseConnection;
}

namespace fleetimport {

struct RowOutcome {
    int row = 0; // the sheet's row number
    QString plate;
    bool accepted = false; // dry run: would be added; real run: added
    // The messages the form's save shows for this vehicle, one after another, then whatever the
    // cells themselves were refused for; for an accepted row, what the save would warn about.
    QString reason;
    int repeatsRow = 0; // a refused row's plate or archive number is that of this earlier row of the file
    // The reason as the report shows it, naming the repeated row.
    QString shownReason() const;
};

// The rows of a sheet checked against the database, written nowhere.
struct ImportPlan {
    QList<RowOutcome> rows;              // one per non-empty data row, in sheet order
    QList<archive::NewVehicle> vehicles; // the accepted rows' vehicles
    QList<int> vehicleRows;              // index into rows of each vehicle
    int acceptedCount() const { return int(vehicles.size()); }
};

struct PlanOutcome {
    std::optional<ImportPlan> plan;
    QString refusal; // the whole sheet is refused: empty, no plate column, unreadable database
};

// Checks every row: the save's checks (archive::CheckNewVehicle) against [总表] and the rows
// above it in the file, then its values (dates, choices). Reads the database only.
PlanOutcome PlanImport(store::DatabaseConnection& db, const Sheet& sheet, const ColumnMap& map, const QDate& today);

// Told after each written row; returning false cancels the import (nothing is kept).
using ImportProgress = std::function<bool(int done, int total)>;

struct RunOutcome {
    bool committed = false;
    bool cancelled = false;
    QString failure; // why nothing was written (begin or commit failed), empty otherwise
    QList<RowOutcome> rows;
    int added = 0;
};

// Writes the plan's vehicles in one transaction: all the rows that can be written, or none when
// the operator cancels, the transaction cannot be begun or committed. A row whose statements fail
// is rolled back alone and reported with the save's message.
RunOutcome RunImport(store::DatabaseConnection& db, const ImportPlan& plan, const ImportProgress& progress = {});

enum class ReportKind { DryRun, Import };

// The report as a table (行号, 主车牌号, 结果, 原因): shown, printed and exported like the lists.
report::ReportTable ImportReport(const QList<RowOutcome>& rows, ReportKind kind);

// The sheet of a workbook by name (empty: the first); nullptr when there is none.
const Sheet* FindSheet(const Workbook& book, const QString& name);

} // namespace fleetimport
