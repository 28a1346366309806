#include "vehicleform.h"

#include "archive/formfields.h"
#include "archive/recordform.h"
#include "archive/searchwindow.h"
#include "domain/dates.h"
#include "domain/obligations.h"
#include "store/session.h"
#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/mainparts.h"
#include "ui/widgets.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace archive {

namespace {

bool g_addMode = false;

store::Session& state() {
    return store::session();
}

QString currentPlate() {
    return state().CurrentPlate;
}

VehicleGroup groupOfPage(int page) {
    return AllGroups().value(page, VehicleGroup::Basic);
}

void setCombo(QComboBox* combo, const FieldDef& f, const store::FieldValue& value, bool trim) {
    if (!f.itemValues.isEmpty()) {
        // The vehicle status: its number picks the item; any other value shows no item.
        const int index = f.itemValues.indexOf(int(value.text().trimmed().toDouble()));
        combo->setCurrentIndex(index);
        return;
    }
    const QString text = trim ? value.text().trimmed() : value.text();
    if (combo->isEditable())
        combo->setCurrentText(text);
    else
        combo->setCurrentIndex(combo->findText(text));
}

// Writes a group's current row into the controls of its page.
void fillPage(QWidget* window, int page, const GroupRow& row, bool trim) {
    for (const FieldDef& f : PageFields(page)) {
        if (f.column.isEmpty() || !row.columns.contains(f.column))
            continue;
        const store::FieldValue value = row.value(f.column);
        switch (f.kind) {
        case FieldKind::Edit:
        case FieldKind::Display:
            ui::SetControlText(window, f.name, trim ? value.text().trimmed() : value.text());
            break;
        case FieldKind::Date: {
            const QDate d = value.date();
            ui::SetControlDate(window, f.name, d.isValid() ? d : ui::kUnsetDate);
            break;
        }
        case FieldKind::Check:
            ui::SetControlChecked(window, f.name, value.yesNo());
            break;
        case FieldKind::Combo:
            if (auto* combo = ui::FindControl<QComboBox>(window, f.name))
                setCombo(combo, f, value, trim);
            break;
        case FieldKind::Picture:
            ui::SetControlImage(window, f.name, value.bytes());
            break;
        }
    }
}

// The display copies and the owed amount of an obligation page.
void fillDerived(QWidget* window, int page) {
    QString due, paid, owedBox;
    for (const FieldDef& f : PageFields(page)) {
        if (!f.copyOf.isEmpty())
            ui::SetControlText(window, f.name, ui::ControlText(window, f.copyOf));
        else if (f.kind == FieldKind::Edit && f.column.isEmpty())
            owedBox = f.name;
    }
    const GroupInfo& groupDef = GroupDef(groupOfPage(page));
    for (const FieldDef& f : PageFields(page)) {
        if (f.column == groupDef.dueFee)
            due = ui::ControlText(window, f.name);
        else if (f.column == groupDef.paidFee)
            paid = ui::ControlText(window, f.name);
    }
    if (!owedBox.isEmpty())
        ui::SetControlText(window, owedBox, OwedText(due, paid));
}

void loadPage(ui::MainParts& parts, int page) {
    if (page < 0 || page > 5 || !parts.db)
        return;
    FormFill fill;
    const VehicleGroup group = groupOfPage(page);
    const GroupInfo& groupDef = GroupDef(group);
    QWidget* window = parts.window;

    if (group == VehicleGroup::Insurance) {
        auto* kinds = ui::FindControl<QComboBox>(window, u"组合框_投保险种"_s);
        if (kinds)
            kinds->clear();
        const std::optional<QStringList> names = ReadInsuranceKinds(*parts.db);
        if (!names) {
            ui::MessageBox(u"险种记录集句柄失败"_s);
            return;
        }
        if (kinds)
            kinds->addItems(*names);
    }

    const std::optional<GroupRow> row = ReadCurrentGroup(*parts.db, group, currentPlate());
    if (!row) {
        ui::MessageBox(groupDef.pageFailure);
        return;
    }
    if (group != VehicleGroup::Basic && group != VehicleGroup::Inspection)
        ui::SetTabColours(parts.tabs, groupDef.tab, TabColourValue(TabColour::Green), 0xFFFF00, 0xFFFFFF);
    fillPage(window, page, *row, groupDef.trimmed);
    if (group == VehicleGroup::Basic) {
        QList<QByteArray> copies;
        for (const QString& column : ImageColumns())
            copies << row->value(column).bytes();
        state().DocumentImageCopies = copies;
        return;
    }
    fillDerived(window, page);
    const TabColour colour = GroupTabColour(
        group, *row, state().ReferenceMonth.isValid() ? state().ReferenceMonth : domain::MonthStart(store::Today()));
    ui::SetTabColours(parts.tabs, groupDef.tab, TabColourValue(colour), 0xFFFF00, 0xFFFFFF);
}

void loadList(ui::MainParts& parts, int page) {
    if (page < 0 || page > 5 || !parts.db)
        return;
    FormFill fill;
    ui::SuperListBox* list = PageList(parts.window, page);
    if (!list)
        return;
    list->clearRows();
    const VehicleGroup group = groupOfPage(page);
    const GroupInfo& groupDef = GroupDef(group);
    const bool fees = state().OperatorPermissions.费用可见;
    const std::optional<QList<ListRow>> rows = ReadGroupList(*parts.db, group, currentPlate(), fees);
    if (!rows) {
        ui::MessageBox(ListFailureMessage(currentPlate()));
        return;
    }
    const int plain = int(groupDef.listColumns.size());
    for (const ListRow& r : *rows) {
        list->insertRow(0, r.caption, r.number);
        for (int i = 0; i < r.cells.size(); ++i)
            if (i < plain || fees)
                list->setCell(0, i + 1, r.cells.at(i));
    }
    // No row looks chosen until the operator chooses one: a highlighted row whose record is not
    // loaded into the page, with the record buttons still off, would be taken for a selection.
    list->clearCurrentRow();
}

QAction* action(ui::MainParts& parts, const char* caption) {
    return parts.action(QString::fromUtf8(caption));
}

// The vehicle commands are only ever enabled for an operator who may add and delete vehicles.
bool mayManageVehicles() {
    return state().OperatorPermissions.增删车辆;
}

void setCommand(ui::MainParts& parts, const char* button, const char* menuItem, bool enabled) {
    enabled = enabled && mayManageVehicles();
    if (QPushButton* b = parts.button(QString::fromUtf8(button)))
        b->setEnabled(enabled);
    if (QAction* a = action(parts, menuItem))
        a->setEnabled(enabled);
}

// The controls AddMode switches: the tree and the six page lists, the add and save commands.
void setAddModeControls(ui::MainParts& parts, bool adding) {
    if (parts.tree)
        parts.tree->setEnabled(!adding);
    for (int page = 0; page < 6; ++page)
        if (ui::SuperListBox* list = PageList(parts.window, page))
            list->setEnabled(!adding);
    setCommand(parts, "超级按钮_增加车辆", "增加车辆", !adding);
    setCommand(parts, "超级按钮_保存增加", "保存增加车辆", adding);
    ui::SetControlReadOnly(parts.window, u"带标签编辑框_主车牌号"_s, !adding);
    ui::SetControlReadOnly(parts.window, u"带标签编辑框_档案编号"_s, !adding);
}

void refreshAlerts(ui::MainParts& parts) {
    if (parts.refreshAlertTree)
        parts.refreshAlertTree();
}

void buildSearchGroup(ui::MainParts& parts) {
    QGroupBox* group = parts.searchGroup;
    if (!group)
        return;
    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    auto* label = new QLabel(u"选择搜索条件"_s, group);
    label->setObjectName(u"标签_选择搜索条件"_s);
    auto* condition = new QComboBox(group);
    condition->setObjectName(u"组合框_搜索条件"_s);
    condition->addItems({u"主车牌号"_s, u"挂车牌号"_s, u"车主姓名"_s, u"档案编号"_s});
    label->setBuddy(condition);
    auto* text = new ui::LabeledEdit(u"带标签编辑框_搜索内容"_s, u"输入搜索内容："_s, group);
    auto* button = new QPushButton(u"搜索"_s, group);
    button->setObjectName(u"超级按钮_确认搜索"_s);
    layout->addWidget(label);
    layout->addWidget(condition);
    layout->addWidget(text);
    layout->addWidget(button);
    parts.buttons.insert(button->objectName(), button);

    QObject::connect(button, &QPushButton::clicked, group, [&parts] { SearchVehicle(parts); });
    QObject::connect(text->lineEdit(), &QLineEdit::returnPressed, group, [&parts] { SearchVehicle(parts); });
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Loaders

void LoadPage(ui::MainParts& parts, int page) {
    loadPage(parts, page);
}
void LoadPageList(ui::MainParts& parts, int page) {
    loadList(parts, page);
}

void LoadBasicList(ui::MainParts& parts) {
    loadList(parts, 0);
}
void LoadBasicPage(ui::MainParts& parts) {
    loadPage(parts, 0);
}
void LoadInspectionList(ui::MainParts& parts) {
    loadList(parts, 1);
}
void LoadInspectionPage(ui::MainParts& parts) {
    loadPage(parts, 1);
}
void LoadMaintenancePage(ui::MainParts& parts) {
    loadPage(parts, 2);
}
void LoadMaintenanceList(ui::MainParts& parts) {
    loadList(parts, 2);
}
void LoadInsurancePage(ui::MainParts& parts) {
    loadPage(parts, 3);
}
void LoadInsuranceList(ui::MainParts& parts) {
    loadList(parts, 3);
}
void LoadManagementFeePage(ui::MainParts& parts) {
    loadPage(parts, 4);
}
void LoadManagementFeeList(ui::MainParts& parts) {
    loadList(parts, 4);
}
void LoadOperatingPermitPage(ui::MainParts& parts) {
    loadPage(parts, 5);
}
void LoadOperatingPermitList(ui::MainParts& parts) {
    loadList(parts, 5);
}

void LoadVehicle(ui::MainParts& parts) {
    // The version first: a change between it and the records makes the next save refuse.
    if (parts.db)
        RememberLoadedVersion(*parts.db, currentPlate());
    // The basic page goes first: the obligation pages copy four of its boxes.
    LoadBasicList(parts);
    LoadBasicPage(parts);
    LoadInspectionList(parts);
    LoadInspectionPage(parts);
    LoadMaintenancePage(parts);
    LoadMaintenanceList(parts);
    LoadInsurancePage(parts);
    LoadInsuranceList(parts);
    LoadManagementFeePage(parts);
    LoadManagementFeeList(parts);
    LoadOperatingPermitPage(parts);
    LoadOperatingPermitList(parts);
}

// ---------------------------------------------------------------------------------------------
// Search

void SearchVehicle(ui::MainParts& parts) {
    SearchResultLists& results = SearchResults();
    results.clear();
    state().SearchResults.clear();
    const QString text = ui::ControlText(parts.window, u"带标签编辑框_搜索内容"_s);
    if (text.isEmpty()) {
        ui::MessageBox(u"请输入搜索条件后后再次搜索！"_s);
        return;
    }
    if (!parts.db)
        return;
    auto* condition = ui::FindControl<QComboBox>(parts.window, u"组合框_搜索条件"_s);
    const SearchOutcome outcome = SearchVehicles(*parts.db, condition ? condition->currentIndex() : -1, text);
    if (outcome.masterUnreadable) {
        ui::MessageBox(u"没有找到！"_s);
        return;
    }
    for (int i = 0; i < outcome.unreadableTables; ++i)
        ui::MessageBox(u"没有找到小表！"_s);
    for (const SearchHit& hit : outcome.hits)
        results.append(hit);
    state().SearchResults = results.plates;
    if (results.anyEmpty()) {
        ui::MessageBox(u"对不起！没有类似于"_s + text + u"的车辆信息"_s);
        return;
    }
    // Before any result replaces the vehicle shown, its unsaved page is offered for saving.
    if (parts.leavingVehicle)
        parts.leavingVehicle();
    if (results.plates.size() == 1) {
        state().CurrentPlate = results.plates.first();
    } else {
        SearchResultWindow window(parts.window);
        window.exec();
    }
    if (!currentPlate().isEmpty())
        LoadVehicle(parts);
}

// ---------------------------------------------------------------------------------------------
// Adding, saving and deleting

void EnterAddMode(ui::MainParts& parts) {
    state().CurrentPlate.clear();
    for (int tab = 0; tab < 7; ++tab)
        ui::SetTabColours(parts.tabs, tab, 0xFFFFFF, 0xFFFF00, 0xFFFFFF);
    // The lists would otherwise go on showing the records of the vehicle that was shown before.
    for (int page = 0; page < 6; ++page)
        if (ui::SuperListBox* list = PageList(parts.window, page))
            list->clearRows();
    g_addMode = true;
    setAddModeControls(parts, true);
    if (parts.tabs)
        parts.tabs->setCurrentIndex(0);
    state().DataModifiedFlag = 1;
    ResetVehicleForm(parts.window);
}

NewVehicle ReadNewVehicle(QWidget* window) {
    NewVehicle v;
    for (int page = 0; page < 6; ++page) {
        for (const FieldDef& f : PageFields(page)) {
            if (f.column.isEmpty())
                continue;
            switch (f.kind) {
            case FieldKind::Edit:
                v.values.insert(f.column, ui::ControlText(window, f.name));
                break;
            case FieldKind::Date:
                v.values.insert(f.column, ui::ControlDate(window, f.name));
                break;
            case FieldKind::Check:
                v.values.insert(f.column, ui::ControlChecked(window, f.name));
                break;
            case FieldKind::Combo: {
                auto* combo = ui::FindControl<QComboBox>(window, f.name);
                if (!combo)
                    break;
                if (!f.itemValues.isEmpty()) {
                    const QVariant data = combo->currentData();
                    v.values.insert(f.column, data.isValid() ? data.toInt() : f.itemValues.value(0, 1));
                } else {
                    v.values.insert(f.column, combo->currentText());
                }
                break;
            }
            case FieldKind::Display:
            case FieldKind::Picture:
                break;
            }
        }
    }
    SetNewVehiclePlate(v, ui::ControlText(window, u"带标签编辑框_主车牌号"_s));
    for (const FieldDef& f : PageFields(0))
        if (f.kind == FieldKind::Picture)
            v.images << ui::ControlImage(window, f.name);
    return v;
}

bool SaveNewVehicle(ui::MainParts& parts) {
    QWidget* window = parts.window;
    const NewVehicle vehicle = ReadNewVehicle(window);
    std::optional<VehicleRoster> roster;
    const RosterSource fromDatabase = [&parts, &roster]() -> const VehicleRoster* {
        if (parts.db)
            roster = VehicleRoster::Read(*parts.db);
        return roster ? &*roster : nullptr;
    };
    const NewVehicleCheck check = CheckNewVehicle(vehicle, fromDatabase, !PlateCheckDue(window));
    if (check.plateLooked)
        NotePlateChecked(window);
    for (qsizetype i = 0; i < check.messages.size(); ++i) {
        // A taken number empties its box, so that the next save stops at "请输入档案编号！".
        if (check.stop == NewVehicleStop::ArchiveTaken && i == check.messages.size() - 1)
            ui::SetControlText(window, u"带标签编辑框_档案编号"_s, QString());
        ShowCheckMessage(check.messages.at(i));
    }
    if (check.refused() || !parts.db)
        return false;
    const SaveResult result = SaveNewVehicleRows(*parts.db, vehicle);
    ui::MessageBox(result.message);
    if (!result.ok)
        return false;
    refreshAlerts(parts);
    return true;
}

// The 增加车辆 menu item: saving becomes possible on an empty form; the shown vehicle, the tab
// colours, the selected tab, the tree, the lists and the add commands stay as they are.
void AddVehicleFromMenu(ui::MainParts& parts) {
    if (!mayManageVehicles())
        return;
    setCommand(parts, "超级按钮_保存增加", "保存增加车辆", true);
    state().DataModifiedFlag = 1;
    ResetVehicleForm(parts.window);
}

void SaveAddedVehicle(ui::MainParts& parts) {
    if (!mayManageVehicles())
        return;
    state().DataModifiedFlag = 1;
    if (!SaveNewVehicle(parts))
        return;
    // Whichever command started the adding and whichever saves it, a saved vehicle leaves the
    // tree, the lists and the add commands usable again.
    g_addMode = false;
    setAddModeControls(parts, false);
}

void DeleteVehicle(ui::MainParts& parts) {
    if (!mayManageVehicles())
        return;
    state().DataModifiedFlag = 1;
    const QString plate = currentPlate();
    if (plate.isEmpty()) {
        ui::MessageBox(u"没有选中车辆，请先选择要删除的车辆！"_s);
        return;
    }
    if (!parts.db)
        return;
    // The plate comes from row data: it must name a listed vehicle, never a fixed table.
    const QString refusal = PlateTableRefusal(*parts.db, plate);
    if (!refusal.isEmpty()) {
        ui::MessageBox(refusal, ui::Buttons::OkExclamation);
        return;
    }
    if (ui::AskWithDefault(u"确实要删除车号为"_s + plate + u"的车辆吗？"_s, ui::Buttons::OkCancel, ui::Answer::Cancel,
                           u"警告！"_s) != ui::Answer::Ok)
        return;
    const DeleteResult result = DeleteVehicleRows(*parts.db, plate, LoadedVersionOf(plate));
    if (!result.dropFailure.isEmpty())
        ui::MessageBox(result.dropFailure);
    ui::MessageBox(result.message);
    if (!result.ok)
        return;
    refreshAlerts(parts);
    ResetVehicleForm(parts.window);
    for (int tab = 0; tab < 6; ++tab)
        ui::SetTabColours(parts.tabs, tab, 0xFFFFFF, 0xC06000, 0xFFFFFF);
    for (int page = 0; page < 6; ++page)
        if (ui::SuperListBox* list = PageList(parts.window, page))
            list->clearRows();
    state().CurrentPlate.clear();
}

// ---------------------------------------------------------------------------------------------

void AttachVehicleCommands(ui::MainParts& parts) {
    g_addMode = false;
    SearchResults().clear();
    buildSearchGroup(parts);

    // Saving is only offered once a vehicle is being added.
    setCommand(parts, "超级按钮_保存增加", "保存增加车辆", false);

    auto connectCommand = [&parts](const char* button, const char* menuItem, void (*command)(ui::MainParts&)) {
        if (QPushButton* b = parts.button(QString::fromUtf8(button)))
            QObject::connect(b, &QPushButton::clicked, b, [&parts, command] { command(parts); });
        if (QAction* a = action(parts, menuItem))
            QObject::connect(a, &QAction::triggered, a, [&parts, command] { command(parts); });
    };
    if (QPushButton* b = parts.button(u"超级按钮_增加车辆"_s))
        QObject::connect(b, &QPushButton::clicked, b, [&parts] {
            if (mayManageVehicles())
                EnterAddMode(parts);
        });
    if (QAction* a = action(parts, "增加车辆"))
        QObject::connect(a, &QAction::triggered, a, [&parts] { AddVehicleFromMenu(parts); });
    connectCommand("超级按钮_保存增加", "保存增加车辆", &SaveAddedVehicle);
    connectCommand("超级按钮_删除车辆", "删除车辆", &DeleteVehicle);

    parts.loadVehicle = [&parts](const QString& plate) {
        if (!plate.isEmpty())
            store::session().CurrentPlate = plate;
        if (!store::session().CurrentPlate.isEmpty())
            LoadVehicle(parts);
    };
}

} // namespace archive
