// Every name held in the archive's tables resolves: columns to a column of the vehicle table,
// control names to a field of the record form. A misspelt name in any table fails here instead of
// reading empty at run time.

#include "archive/formfields.h"
#include "archive/records.h"
#include "archive/vehicledata.h"
#include "domain/obligations.h"
#include "store/schema.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QSet<QString> vehicleColumns() {
    QSet<QString> names;
    for (const store::ColumnDef& c : store::VehicleColumns())
        names.insert(c.name);
    return names;
}

void expectColumn(const QSet<QString>& columns, const QString& name, const std::string& where) {
    EXPECT_TRUE(columns.contains(name)) << where << ": no column " << name.toStdString();
}

void expectField(const QString& name, const std::string& where) {
    EXPECT_NE(archive::FindField(name), nullptr) << where << ": no control " << name.toStdString();
}

} // namespace

TEST(NameTables, ObligationColumnsAreVehicleColumns) {
    const QSet<QString> columns = vehicleColumns();
    for (const domain::ObligationKind kind : domain::kObligationKinds) {
        const domain::ObligationColumns& o = domain::Obligation(kind);
        EXPECT_EQ(o.kind, kind);
        const std::string where = o.key.toStdString();
        for (const QString& c : {o.dueDate, o.dueFee, o.paidFee, o.payDate, o.lapsed})
            expectColumn(columns, c, where);
        if (!o.trailerDue.isEmpty())
            expectColumn(columns, o.trailerDue, where);
    }
}

TEST(NameTables, FormFieldsNameVehicleColumnsAndDistinctControls) {
    const QSet<QString> columns = vehicleColumns();
    QSet<QString> controls;
    for (int page = 0; page < archive::kPageCount; ++page) {
        for (const archive::FieldSpec& f : archive::PageFields(page)) {
            const std::string where = "page " + std::to_string(page) + " " + f.name.toStdString();
            EXPECT_FALSE(f.name.isEmpty()) << where;
            EXPECT_FALSE(controls.contains(f.name)) << where << ": objectName used twice";
            controls.insert(f.name);
            if (!f.column.isEmpty())
                expectColumn(columns, f.column, where);
            EXPECT_EQ(archive::FindField(f.name), &f) << where;
        }
    }
}

TEST(NameTables, RecordStatementsNameVehicleColumnsAndFormControls) {
    const QSet<QString> columns = vehicleColumns();
    for (int page = 0; page < archive::kRecordPageCount; ++page) {
        const std::string where = "record page " + std::to_string(page);
        for (const archive::RecordField& r : archive::RecordFields(page)) {
            expectColumn(columns, r.column, where);
            if (!r.control.isEmpty())
                expectField(r.control, where + " " + r.column.toStdString());
        }
        for (const QString& c : archive::SelectedColumns(page))
            expectColumn(columns, c, where + " select");
        for (const QString& c : archive::InsertedColumns(page))
            expectColumn(columns, c, where + " insert");
        for (const QString& c : archive::UpdatedColumns(page))
            expectColumn(columns, c, where + " update");
        const archive::RecordPage& info = archive::RecordPageInfo(page);
        if (page > 0) {
            expectColumn(columns, info.lapseColumn, where + " lapse");
            for (const QString& c : {info.dueFeeControl, info.paidFeeControl, info.owedFeeControl})
                expectField(c, where + " fee box");
        }
    }
}

// (The start-up and context-menu lists also name the search bar, which is no form field; the
// window test finds those controls in the built window.)
TEST(NameTables, ControlListsNameFormFields) {
    const std::pair<const char*, const QStringList*> lists[] = {
        {"payment dates", &archive::PaymentDateBoxes()},
        {"reminders", &archive::ReminderBoxes()},
    };
    for (const auto& [what, names] : lists) {
        EXPECT_FALSE(names->isEmpty()) << what;
        for (const QString& n : *names)
            expectField(n, what);
    }
}

TEST(NameTables, GroupInfoColumnsAreVehicleColumns) {
    const QSet<QString> columns = vehicleColumns();
    for (const archive::VehicleGroup g : archive::AllGroups()) {
        const archive::GroupInfo& s = archive::GroupDef(g);
        const std::string where = s.key.toStdString();
        for (const QString& c : {s.mainDue, s.trailerDue, s.dueFee, s.paidFee, s.listCaption})
            if (!c.isEmpty())
                expectColumn(columns, c, where);
        for (const QString& c : s.listColumns + s.listFeeColumns)
            expectColumn(columns, c, where + " list");
    }
}
