#include "importer.h"

#include "domain/vehiclecolumns.h"
#include "store/database.h"
#include "store/versions.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace fleetimport {

namespace {

PlanOutcome refusedPlan(const QString& why) {
    PlanOutcome out;
    out.refusal = why;
    return out;
}

bool rowEmpty(const QList<SheetCell>& row) {
    for (const SheetCell& c : row)
        if (!c.isEmpty())
            return false;
    return true;
}

} // namespace

QString RowOutcome::shownReason() const {
    return repeatsRow > 0 ? reason + u"（与第 %1 行重复）"_s.arg(repeatsRow) : reason;
}

const Sheet* FindSheet(const Workbook& book, const QString& name) {
    if (name.isEmpty())
        return book.sheets.isEmpty() ? nullptr : &book.sheets.first();
    for (const Sheet& s : book.sheets)
        if (s.name == name)
            return &s;
    return nullptr;
}

PlanOutcome PlanImport(store::DatabaseConnection& db, const Sheet& sheet, const ColumnMap& map, const QDate& today) {
    const domain::VehicleColumnNames& c = domain::VehicleColumn();
    bool anyData = false;
    for (int r = sheet.headerRows; r < sheet.rows.size() && !anyData; ++r)
        anyData = !rowEmpty(sheet.rows.at(r));
    if (sheet.rows.isEmpty() || !anyData)
        return refusedPlan(u"工作表“%1”是空的：表头下面没有可导入的行，没有导入任何车辆。"_s.arg(sheet.name));
    if (!map.hasPlate())
        return refusedPlan(
            u"工作表“%1”没有主车牌号列（表头可写 主车牌号、车号 或 车牌号），没有导入任何车辆。"_s.arg(sheet.name));
    if (const QString twice = map.duplicateField(); !twice.isEmpty())
        return refusedPlan(u"有两列都对应到字段“%1”：每个字段只能对应一列。"_s.arg(twice));

    std::optional<archive::VehicleRoster> roster = archive::VehicleRoster::Read(db);
    if (!roster)
        return refusedPlan(u"查询失败！无法读取总表，没有导入任何车辆。"_s);
    const std::optional<QStringList> kinds = archive::ReadInsuranceKinds(db);
    if (!kinds)
        return refusedPlan(u"险种记录集句柄失败"_s);
    const archive::NewVehicle blank = archive::BlankNewVehicle(today, kinds->value(0));

    QList<const ImportField*> fieldOfColumn;
    for (const QString& column : map.fields) {
        const ImportField* field = nullptr;
        if (!column.isEmpty())
            for (const ImportField& f : ImportFields())
                if (f.column == column)
                    field = &f;
        fieldOfColumn << field;
    }

    ImportPlan plan;
    QHash<QString, int> plateRow;   // the file's accepted rows by the vehicle table their plate names
    QHash<QString, int> archiveRow; // and by their archive numbers' ArchiveKey
    const archive::RosterSource known = [&roster] { return &*roster; };
    for (int r = sheet.headerRows; r < sheet.rows.size(); ++r) {
        const QList<SheetCell>& cells = sheet.rows.at(r);
        if (rowEmpty(cells))
            continue;
        archive::NewVehicle vehicle = blank;
        QStringList valueRefusals;
        for (int col = 0; col < fieldOfColumn.size(); ++col) {
            const ImportField* field = fieldOfColumn.at(col);
            const SheetCell cell = cells.value(col);
            if (!field || cell.isEmpty())
                continue;
            const FieldValue v = ConvertCell(*field, cell, *kinds);
            if (!v.refusal.isEmpty())
                valueRefusals << v.refusal;
            else
                vehicle.values.insert(field->column, v.value);
        }
        archive::SetNewVehiclePlate(vehicle, vehicle.values.value(c.mainPlate).toString());
        RowOutcome outcome;
        outcome.row = sheet.sheetRow(r);
        outcome.plate = vehicle.plate();
        // What the form's save would show for this vehicle, with the rows above in [总表] already.
        const archive::NewVehicleCheck check = archive::CheckNewVehicle(vehicle, known);
        const QString plateKey = archive::VehicleRoster::TableNameKey(outcome.plate);
        const QString archiveKey = archive::ArchiveKey(vehicle.archiveNumber());
        if (check.stop == archive::NewVehicleStop::ArchiveTaken)
            outcome.repeatsRow = archiveRow.value(archiveKey);
        if ((check.stop == archive::NewVehicleStop::PlateTaken ||
             check.stop == archive::NewVehicleStop::ArchiveTaken) &&
            outcome.repeatsRow == 0)
            outcome.repeatsRow = plateRow.value(plateKey);
        QStringList reasons = {check.reason()};
        reasons << valueRefusals;
        reasons.removeAll(QString());
        outcome.reason = reasons.join(u"；"_s);
        outcome.accepted = !check.refused() && valueRefusals.isEmpty();
        if (outcome.accepted) {
            roster->add(outcome.plate, vehicle.archiveNumber());
            plateRow.insert(plateKey, outcome.row);
            archiveRow.insert(archiveKey, outcome.row);
            plan.vehicleRows << int(plan.rows.size());
            plan.vehicles << vehicle;
        }
        plan.rows << outcome;
    }
    PlanOutcome out;
    out.plan = std::move(plan);
    return out;
}

RunOutcome RunImport(store::DatabaseConnection& db, const ImportPlan& plan, const ImportProgress& progress) {
    RunOutcome out;
    out.rows = plan.rows;
    auto notAdded = [&out](const QString& why) {
        for (RowOutcome& r : out.rows) {
            if (r.accepted) {
                r.accepted = false;
                r.reason = why;
            }
        }
        out.added = 0;
    };
    // The import queues on the adds' common row as a single add does, so that another operator's
    // add between the plan and this transaction is seen by the checks below, never doubled.
    store::EnsureVersionRow(db, store::kFleetVersionKey);
    if (!db.BeginTransaction()) {
        out.failure = u"无法开始事务，没有导入任何车辆：%1"_s.arg(db.LastError());
        notAdded(out.failure);
        return out;
    }
    if (!store::TakeVehicleVersion(db, store::kFleetVersionKey, std::nullopt).ok()) {
        out.failure = u"无法开始事务，没有导入任何车辆：%1"_s.arg(db.LastError());
        db.RollbackTransaction();
        notAdded(out.failure);
        return out;
    }
    // What the plan read may have changed since: another operator may have added a plate or an
    // archive number in between. Read again under the queue, once, and kept up as rows are added.
    std::optional<archive::VehicleRoster> roster = archive::VehicleRoster::Read(db);
    if (!roster) {
        out.failure = u"无法读取总表，没有导入任何车辆：%1"_s.arg(db.LastError());
        db.RollbackTransaction();
        notAdded(out.failure);
        return out;
    }
    const archive::RosterSource known = [&roster] { return &*roster; };
    const int total = plan.acceptedCount();
    for (int i = 0; i < total; ++i) {
        RowOutcome& row = out.rows[plan.vehicleRows.at(i)];
        // Each vehicle in a savepoint of its own: a vehicle whose statements fail leaves nothing
        // behind, and the others go on.
        archive::SaveResult saved;
        const archive::NewVehicle& vehicle = plan.vehicles.at(i);
        const archive::NewVehicleCheck check = archive::CheckNewVehicle(vehicle, known);
        if (check.refused()) {
            saved.message = check.reason();
        } else if (db.BeginTransaction()) {
            saved = archive::WriteNewVehicleRows(db, vehicle);
            if (saved.ok && !db.CommitTransaction()) {
                saved.ok = false;
                saved.message = u"在新表录入记录失败!！"_s;
            }
            if (!saved.ok)
                db.RollbackTransaction();
        } else {
            saved.message = u"创建新车表格失败！"_s;
        }
        if (saved.ok) {
            ++out.added;
            roster->add(vehicle.plate(), vehicle.archiveNumber());
        } else {
            row.accepted = false;
            row.reason = saved.message;
        }
        if (progress && !progress(i + 1, total)) {
            db.RollbackTransaction();
            out.cancelled = true;
            notAdded(u"已取消导入，未添加"_s);
            return out;
        }
    }
    if (!db.CommitTransaction()) {
        out.failure = u"导入未能提交，没有导入任何车辆：%1"_s.arg(db.LastError());
        db.RollbackTransaction();
        notAdded(out.failure);
        return out;
    }
    out.committed = true;
    return out;
}

report::ReportTable ImportReport(const QList<RowOutcome>& rows, ReportKind kind) {
    report::ReportTable table;
    table.title = kind == ReportKind::DryRun ? u"试导入报告"_s : u"导入车辆报告"_s;
    table.printTitle.text = table.title;
    table.headerRows = 1;
    table.setColumnCount(4);
    const QStringList header = {u"行号"_s, u"主车牌号"_s, u"结果"_s, u"原因"_s};
    table.appendRow();
    for (int c = 0; c < header.size(); ++c)
        table.setText(0, c, header.at(c));
    table.setColumnWidth(0, 60);
    table.setColumnWidth(1, 110);
    table.setColumnWidth(2, 80);
    table.setColumnWidth(3, 420);
    for (const RowOutcome& r : rows) {
        const int i = table.appendRow();
        table.setText(i, 0, QString::number(r.row));
        table.setText(i, 1, r.plate);
        table.setText(i, 2,
                      r.accepted ? (kind == ReportKind::DryRun ? u"将添加"_s : u"已添加"_s)
                                 : (r.reason.startsWith(u"已取消") ? u"未添加"_s : u"拒绝"_s));
        table.setText(i, 3, r.shownReason());
    }
    return table;
}

} // namespace fleetimport
