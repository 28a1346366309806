#pragma once

#include "archive/formfields.h"

class QMenu;
class QWidget;

namespace store {
class DatabaseConnection;
}

namespace ui {
class LabeledEdit;
class SuperListBox;
struct MainParts;
} // namespace ui

namespace archive {

struct CheckMessage;

// Builds every control of the seven record pages into parts.pages from the field tables, each
// page's record list under its fields, the change tracking, the two uniqueness checks on leaving
// the plate and archive-number boxes, the edit menu on the right mouse button, and queues the
// start-up presets (combo and date presets, list columns and fee controls by 费用可见).
void AttachRecordForm(ui::MainParts& parts);

// Empties the form for a new vehicle: plate and archive number writable, every edit box empty,
// every combo box on its first item, every date box unset, check boxes cleared, payment dates
// today, the seven reminders checked, the five pictures empty. Lists, tab colours and
// CurrentPlate stay as they are.
void ResetVehicleForm(QWidget* window);

// Run when the operator leaves the plate box: does nothing while the box is read-only or empty;
// shows PlateCheckMessages.
void CheckPlateUnique(QWidget* window, store::DatabaseConnection& db);
// True when a save is to run the plate check on the plate box: the box is writable and holds a
// text the check has not yet looked at (leaving the box for the save button has just run it).
bool PlateCheckDue(QWidget* window);
// The plate check has looked at the text now in the plate box.
void NotePlateChecked(QWidget* window);
// Run when the operator leaves the archive-number box: does nothing while the box is read-only
// or empty; empties the box when the number (leading zeros aside) is taken.
void CheckArchiveNumberUnique(QWidget* window, store::DatabaseConnection& db);
// Shows one message of the checks of a new vehicle, with its icon.
void ShowCheckMessage(const CheckMessage& message);

// The start-up presets, also usable alone: combo boxes on their first item (the insurance
// kinds read from db first, when given), date boxes unset and the payment dates today.
void PresetFormValues(QWidget* window, store::DatabaseConnection* db);
// Gives the four obligation lists their columns and takes the fee columns off the insurance
// list when fees are not visible. Runs once, on lists as designed.
void ShapeRecordLists(QWidget* window, bool feesVisible);
// Shows or hides the 25 fee controls.
void ShowFeeControls(QWidget* window, bool feesVisible);

// Opens menu (the main menu's 编辑) at the mouse when the right button is pressed in box.
void AttachEditContextMenu(ui::LabeledEdit* box, QMenu* menu);

// The record list of page 0-5, or nullptr.
ui::SuperListBox* PageList(QWidget* window, int page);

} // namespace archive
