#pragma once

#include "domain/plates.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace store {
class DatabaseConnection;
}

namespace archive {

// What sort of control a field of the record form is, after the prefix of its name.
enum class FieldKind {
    Edit,    // 带标签编辑框: the text is the value
    Display, // 带标签编辑框 that only repeats another value; always read-only, never stored
    Date,    // 日期框 with its caption label beside it
    Check,   // 选择框: the caption is the box's own text
    Combo,   // 组合框 with its caption label beside it
    Picture, // 图片框: lives in the photo group beside the tabs, not on a page
};

// How an edit of the field counts as a change of the page (see formState()).
enum class Tracking {
    None,   // never marks the page modified
    Edit,   // marks it once the edit is armed (EditArmedFlag)
    Choice, // marks it while a record is selected (RecordSelectedFlag)
};

// One control of the record form. The tables below are the single description of the form:
// the window is built from them, and loaders, savers and the reset walk them.
struct FieldDef {
    QString name;    // objectName
    QString caption; // the caption shown with it (the check box's own text for checks)
    FieldKind kind = FieldKind::Edit;
    QString column;    // VehicleTable column; empty for copies and computed amounts
    QString labelName; // objectName of the caption label of a date or combo box
    Tracking tracking = Tracking::None;
    bool armsEdit = false;       // getting the focus arms the edit tracking while a record is selected
    bool fee = false;            // one of the fee controls shown only to operators who may see fees
    bool readOnly = false;       // read-only from the start (display copies; plate and archive number)
    bool wide = false;           // takes the whole width of the page (addresses, remarks)
    bool besidePrevious = false; // sits in the same cell as the field before it
    QStringList items;           // preset items of a combo box
    QList<int> itemValues;       // numeric value carried by each item, where the items have one
    QString copyOf;              // a display copy: objectName of the box of page 0 whose text it shows
};

inline constexpr int kPageCount = 7;

// The fields of page 0 (basic record) to 6 (look-ups), in layout order. Page 0 includes the five
// picture boxes of the photo group. Pages out of range give an empty list.
const QList<FieldDef>& PageFields(int page);
// The field with that objectName on any page, or nullptr.
const FieldDef* FindField(const QString& name);

QString PageGroupName(int page); // 分组框_基本信息 … 分组框_查询
QString PageListName(int page);  // the page's record list; empty for page 6

// The shared item list of the four owner-notification combo boxes.
const QStringList& NotificationItems();

// The five payment-date boxes, set to today whenever the form is emptied.
const QStringList& PaymentDateBoxes();
// The seven reminder check boxes, checked for a new vehicle.
const QStringList& ReminderBoxes();
// The 25 fee controls (due, paid and owed boxes, payment-date label and box of each kind).
const QStringList& FeeControls();
// Combo boxes whose first item is selected at start-up.
const QStringList& StartupComboBoxes();
// Edit boxes without the edit menu on the right mouse button.
const QStringList& EditBoxesWithoutContextMenu();

struct ListColumn {
    QString caption;
    int width = 100;
};
// Columns a page's record list has once the window is ready, for an operator who may or may not
// see fees. Page 6 has no list.
QList<ListColumn> ListColumns(int page, bool feesVisible);
// The columns of the basic and insurance lists as designed (before the fee columns go).
QList<ListColumn> DesignedListColumns(int page);

// GBK length and plate plausibility live in the domain layer.
using domain::GbkLength;
using domain::PlateLengthPlausible;

// The form's edit flags, process-wide like the rest of the session. All 0 at start.
struct FormState {
    int RecordSelectedFlag = 0; // a record of a page list is selected
    int EditArmedFlag = 0;      // edits count as changes from now on (never reset)
    int PageModifiedFlag = 0;   // the shown record was changed by the operator
    int fillDepth = 0;          // above 0 while the program itself fills the form
};
FormState& formState();
void ResetFormState();

// Held while the program fills the form (loading a vehicle, selecting a record, emptying the
// form): the values it writes are not the operator's edits and must not mark the page modified.
class FormFill {
public:
    FormFill() { ++formState().fillDepth; }
    ~FormFill() { --formState().fillDepth; }
    FormFill(const FormFill&) = delete;
    FormFill& operator=(const FormFill&) = delete;
};

} // namespace archive
