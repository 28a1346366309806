// Every name held in the archive's tables resolves: columns to a column of the vehicle table,
// control names to a field of the record form. A misspelt name in any table fails here instead of
// reading empty at run time.

#include "app/mainwindow.h"
#include "archive/formfields.h"
#include "archive/records.h"
#include "archive/vehicledata.h"
#include "domain/obligations.h"
#include "domain/vehiclecolumns.h"
#include "store/database.h"
#include "store/schema.h"
#include "store/session.h"
#include "support/testsupport.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

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
        for (const archive::FieldDef& f : archive::PageFields(page)) {
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

// ---------------------------------------------------------------------------------------------
// The names against a real database and the built form

namespace {

using Named = std::vector<std::pair<std::string, QString>>; // where the name is held, the name

void add(Named& out, const std::string& where, const QString& name) {
    out.emplace_back(where, name);
}

// Every column an obligation kind names; the trailer reminder and due date only where the kind
// has a trailer.
QStringList obligationColumnList(const domain::ObligationColumns& o) {
    QStringList names = {o.dueDate,   o.dueFee, o.paidFee,  o.payDate, o.lapsed,
                         o.plateCopy, o.remind, o.notified, o.remark};
    if (!o.trailerDue.isEmpty())
        names << o.trailerDue << o.remindTrailer;
    return names;
}

// Every column name held in the domain's and the archive's tables.
Named tableColumns() {
    Named out;
    for (const domain::ObligationKind kind : domain::kObligationKinds) {
        const domain::ObligationColumns& o = domain::Obligation(kind);
        for (const QString& c : obligationColumnList(o))
            add(out, "obligation " + o.key.toStdString(), c);
    }
    for (const QString& c : domain::VehicleColumnNameList())
        add(out, "vehicle columns", c);
    for (int page = 0; page < archive::kPageCount; ++page)
        for (const archive::FieldDef& f : archive::PageFields(page))
            if (!f.column.isEmpty())
                add(out, "form field " + f.name.toStdString(), f.column);
    for (int page = 0; page < archive::kRecordPageCount; ++page) {
        const std::string where = "record page " + std::to_string(page);
        for (const archive::RecordField& r : archive::RecordFields(page))
            add(out, where, r.column);
        for (const QString& c : archive::SelectedColumns(page) + archive::InsertedColumns(page) +
                                    archive::UpdatedColumns(page) + archive::GroupColumns(page))
            add(out, where + " statements", c);
        if (page > 0)
            add(out, where + " lapse", archive::RecordPageInfo(page).lapseColumn);
    }
    for (const archive::VehicleGroup g : archive::AllGroups()) {
        const archive::GroupInfo& s = archive::GroupDef(g);
        for (const QString& c : QStringList{s.mainDue, s.trailerDue, s.dueFee, s.paidFee, s.listCaption} +
                                    s.listColumns + s.listFeeColumns)
            if (!c.isEmpty())
                add(out, "group " + s.key.toStdString(), c);
    }
    for (const QString& c : archive::FirstRowColumns() + archive::ImageColumns())
        add(out, "first row", c);
    return out;
}

// Every control name held in the archive's tables.
Named tableControls() {
    Named out;
    for (int page = 0; page < archive::kPageCount; ++page) {
        const std::string where = "page " + std::to_string(page);
        add(out, where + " group", archive::PageGroupName(page));
        if (page < archive::kRecordPageCount)
            add(out, where + " list", archive::PageListName(page));
        for (const archive::FieldDef& f : archive::PageFields(page)) {
            add(out, where, f.name);
            if (!f.labelName.isEmpty())
                add(out, where + " label of " + f.name.toStdString(), f.labelName);
            if (!f.copyOf.isEmpty())
                add(out, where + " source of " + f.name.toStdString(), f.copyOf);
        }
    }
    for (int page = 0; page < archive::kRecordPageCount; ++page) {
        const std::string where = "record page " + std::to_string(page);
        const archive::RecordPage& info = archive::RecordPageInfo(page);
        add(out, where + " list", info.listName);
        for (const archive::RecordField& r : archive::RecordFields(page))
            if (!r.control.isEmpty())
                add(out, where + " " + r.column.toStdString(), r.control);
        if (page > 0)
            for (const QString& c : {info.dueFeeControl, info.paidFeeControl, info.owedFeeControl})
                add(out, where + " fee box", c);
    }
    for (const archive::VehicleGroup g : archive::AllGroups())
        add(out, "group " + archive::GroupDef(g).key.toStdString() + " list", archive::GroupDef(g).listName);
    const std::pair<const char*, const QStringList*> lists[] = {
        {"payment dates", &archive::PaymentDateBoxes()},
        {"reminders", &archive::ReminderBoxes()},
        {"fee controls", &archive::FeeControls()},
        {"start-up combo boxes", &archive::StartupComboBoxes()},
        {"no context menu", &archive::EditBoxesWithoutContextMenu()},
    };
    for (const auto& [what, names] : lists)
        for (const QString& n : *names)
            add(out, what, n);
    return out;
}

class NameResolution : public testing_support::DataDirTest {};

} // namespace

// The stored layout is the template table a new database holds, in the program's layout and in
// the layout of older files alike.
TEST(NameTables, EveryColumnNameIsAStoredColumnOfYangbiao) {
    const Named names = tableColumns();
    ASSERT_GT(names.size(), 200u);
    for (const store::TableLayout layout : {store::TableLayout::ImagesLast, store::TableLayout::ImagesAmongColumns}) {
        const std::string which = layout == store::TableLayout::ImagesLast ? "images last" : "images among columns";
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = QDir(dir.path()).filePath(store::kDatabaseFileName);
        QString error;
        ASSERT_TRUE(store::CreateDatabase(path, &error, layout)) << which << ": " << error.toStdString();
        store::DatabaseConnection db;
        ASSERT_TRUE(db.OpenDatabaseFile(path, store::kDatabasePassword)) << which;
        const QStringList storedList = db.StoredColumns(u"yangbiao"_s);
        const QSet<QString> stored(storedList.begin(), storedList.end());
        ASSERT_EQ(stored.size(), store::VehicleColumns().size()) << which;
        for (const auto& [where, name] : names)
            EXPECT_TRUE(stored.contains(name))
                << which << ", " << where << ": yangbiao has no column \"" << name.toStdString() << '"';
        db.CloseDatabase();
    }
}

// Between them the obligation kinds and the vehicle column table name every stored column
// exactly once, so that no column is left to a literal and no name is held twice.
TEST(NameTables, DomainTablesNameEachStoredColumnOnce) {
    QStringList named = domain::VehicleColumnNameList();
    // The list walks every member of the table.
    EXPECT_EQ(std::size_t(named.size()), sizeof(domain::VehicleColumnNames) / sizeof(QString));
    for (const domain::ObligationKind kind : domain::kObligationKinds)
        named += obligationColumnList(domain::Obligation(kind));
    QSet<QString> declared;
    for (const store::ColumnDef& c : store::VehicleColumns())
        declared.insert(c.name);
    const QSet<QString> namedSet(named.begin(), named.end());
    EXPECT_EQ(namedSet.size(), named.size()) << "a column is named twice";
    for (const QString& c : declared)
        EXPECT_TRUE(namedSet.contains(c)) << "no domain table names the column " << c.toStdString();
    for (const QString& c : namedSet)
        EXPECT_TRUE(declared.contains(c)) << "the domain tables name a column yangbiao lacks: " << c.toStdString();
}

// Every control name of the tables is a control of the window the program builds; a display copy
// repeats a box of page 0.
TEST_F(NameResolution, EveryControlNameIsAControlOfTheBuiltForm) {
    auto w = std::make_unique<app::MainWindow>();
    ASSERT_TRUE(w->initialise([](QWidget*) {
        store::Permissions p;
        p.增删车辆 = p.修改车辆信息 = p.增加车辆信息 = p.统计查询 = p.权限设置 = p.费用可见 = true;
        store::session().OperatorPermissions = p;
        return true;
    }));
    const Named names = tableControls();
    ASSERT_GT(names.size(), 200u);
    for (const auto& [where, name] : names) {
        EXPECT_FALSE(name.isEmpty()) << where;
        EXPECT_NE(w->findChild<QWidget*>(name), nullptr)
            << where << ": the form has no control \"" << name.toStdString() << '"';
    }
    int copies = 0;
    for (int page = 1; page < archive::kPageCount; ++page) {
        for (const archive::FieldDef& f : archive::PageFields(page)) {
            if (f.copyOf.isEmpty())
                continue;
            ++copies;
            EXPECT_EQ(f.kind, archive::FieldKind::Display) << f.name.toStdString();
            const archive::FieldDef* source = archive::FindField(f.copyOf);
            bool onBasicPage = false;
            for (const archive::FieldDef& basic : archive::PageFields(0))
                onBasicPage = onBasicPage || &basic == source;
            EXPECT_TRUE(onBasicPage) << f.name.toStdString() << " repeats " << f.copyOf.toStdString();
        }
    }
    // Four header copies on each obligation page, four look-up boxes.
    EXPECT_EQ(copies, 5 * 4 + 4);
}
