#pragma once

#include "archive/records.h"

class QWidget;

namespace ui {
struct MainParts;
}

namespace archive {

// Wires the page switch (with the save question), the six record lists and the add, modify and
// delete record buttons, and fills the violation look-up page's view area. Attach after the
// record form and the vehicle loaders.
void AttachRecordCommands(ui::MainParts& parts);

// Index of the page last switched to (0 to 6); chooses the list a delete works on.
int CurrentPageIndex();

// The tab selection has changed to page: record buttons off, header copies, document buttons,
// the page and its list reloaded, RecordSelectedFlag cleared.
void SwitchPage(ui::MainParts& parts, int page);
// The tab selection is about to leave the current page: asks QuestionWindow when the selected
// record was changed, and runs the chosen command on that page.
void OfferSavePage(ui::MainParts& parts);
// Another vehicle is about to be shown: the save question for the page being left, naming and
// acting on the vehicle still shown; then that vehicle's edits are forgotten.
void LeaveVehicle(ui::MainParts& parts);

// A row of page's list was clicked: the record is read into the page and the record buttons are
// enabled by permission.
void SelectRecord(ui::MainParts& parts, int page, int row);

// The record commands; they work on the current tab (delete: on CurrentPageIndex()).
void AddRecord(ui::MainParts& parts);
void ModifyRecord(ui::MainParts& parts);
void DeleteRecord(ui::MainParts& parts);

// The values of page's controls, by column, for its insert and update.
RecordValues ReadPageValues(QWidget* window, int page);
// Writes a record's values into page's controls (and the owed amount of an obligation page).
void ShowRecordValues(QWidget* window, int page, const RecordValues& values);

} // namespace archive
