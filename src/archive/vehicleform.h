#pragma once

#include "archive/vehicledata.h"

class QWidget;

namespace ui {
struct MainParts;
}

namespace archive {

// Builds the search controls into parts.searchGroup, wires search, add, save and delete (buttons
// and the 车辆管理 menu items alike) and fills parts.loadVehicle. Attach after the record form.
void AttachVehicleCommands(ui::MainParts& parts);

// Shows store::session().CurrentPlate in the record form: the twelve loaders below, in order.
void LoadVehicle(ui::MainParts& parts);

// The loaders, each usable alone. A page loader fills its page from the newest row of its kind
// (and colours an obligation tab by its due month); a list loader lists every row of its kind,
// newest at the top, each row carrying its 编号.
void LoadBasicList(ui::MainParts& parts);
void LoadBasicPage(ui::MainParts& parts);
void LoadInspectionList(ui::MainParts& parts);
void LoadInspectionPage(ui::MainParts& parts);
void LoadMaintenancePage(ui::MainParts& parts);
void LoadMaintenanceList(ui::MainParts& parts);
void LoadInsurancePage(ui::MainParts& parts);
void LoadInsuranceList(ui::MainParts& parts);
void LoadManagementFeePage(ui::MainParts& parts);
void LoadManagementFeeList(ui::MainParts& parts);
void LoadOperatingPermitPage(ui::MainParts& parts);
void LoadOperatingPermitList(ui::MainParts& parts);
// The same loaders by page index 0-5 (other indexes do nothing).
void LoadPage(ui::MainParts& parts, int page);
void LoadPageList(ui::MainParts& parts, int page);

// 搜索: finds vehicles by the chosen condition, opens the only match or offers several.
void SearchVehicle(ui::MainParts& parts);

// 增加车辆 (button): enters AddMode with an empty form.
void EnterAddMode(ui::MainParts& parts);
// 保存增加车辆 (button and menu item): saves; leaves AddMode only when the vehicle was saved, so a
// validation message or a failed write keeps every typed value for another try.
void SaveAddedVehicle(ui::MainParts& parts);
// The 增加车辆 menu item: enables saving and empties the form, nothing else.
void AddVehicleFromMenu(ui::MainParts& parts);
// Validates the form and writes the new vehicle; true when it was saved.
bool SaveNewVehicle(ui::MainParts& parts);
// 删除车辆 (button and menu item).
void DeleteVehicle(ui::MainParts& parts);

// The first row of a new vehicle as the form shows it.
NewVehicle ReadNewVehicle(QWidget* window);

} // namespace archive
