#include "recordform.h"

#include "archive/vehicledata.h"

#include "store/database.h"
#include "store/session.h"
#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/mainparts.h"
#include "ui/widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include <functional>
#include <map>

using namespace Qt::StringLiterals;

namespace archive {

namespace {

// The plate the uniqueness check last looked at, kept on the plate box: a save right after the
// box was left does not warn a second time about the same text.
const char* const kCheckedPlateProperty = "velmoraCheckedPlate";

constexpr int kFieldColumns = 3;

// Calls a function on selected events of the watched widget, without a class per use.
class EventHook : public QObject {
public:
    using Handler = std::function<void(QEvent*)>;
    EventHook(QObject* watched, QEvent::Type type, Handler handler)
        : QObject(watched), type_(type), handler_(std::move(handler)) {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == type_)
            handler_(event);
        return false;
    }

private:
    QEvent::Type type_;
    Handler handler_;
};

// The change tracking of the form; the program's own fills never count.
void editChanged() {
    FormState& s = formState();
    if (s.fillDepth == 0 && s.EditArmedFlag == 1)
        s.PageModifiedFlag = 1;
}

void choiceChanged() {
    FormState& s = formState();
    if (s.fillDepth == 0 && s.RecordSelectedFlag == 1)
        s.PageModifiedFlag = 1;
}

void armEdit() {
    FormState& s = formState();
    if (s.RecordSelectedFlag == 1)
        s.EditArmedFlag = 1;
}

// Losing the focus to another control of the program runs a check; losing it because a message
// box or another window came up does not, or the check's own message would run it again.
bool OperatorLeftBox(QEvent* event) {
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

void connectTracking(QWidget* control, const FieldDef& f) {
    if (f.tracking == Tracking::None)
        return;
    const auto rule = f.tracking == Tracking::Edit ? &editChanged : &choiceChanged;
    if (auto* e = qobject_cast<ui::LabeledEdit*>(control))
        QObject::connect(e, &ui::LabeledEdit::textChanged, e, [rule] { rule(); });
    else if (auto* d = qobject_cast<QDateEdit*>(control))
        QObject::connect(d, &QDateEdit::dateChanged, d, [rule] { rule(); });
    else if (auto* check = qobject_cast<QCheckBox*>(control))
        QObject::connect(check, &QCheckBox::toggled, check, [rule] { rule(); });
    else if (auto* c = qobject_cast<QComboBox*>(control)) {
        if (c->isEditable())
            QObject::connect(c, &QComboBox::currentTextChanged, c, [rule] { rule(); });
        else
            QObject::connect(c, &QComboBox::currentIndexChanged, c, [rule] { rule(); });
    }
}

// One cell of a page's grid: the control, and the caption label whose width is lined up with
// the other labels of its column.
struct Cell {
    QWidget* widget = nullptr;
    QLabel* label = nullptr;
    QHBoxLayout* row = nullptr; // for cells that take a companion beside them
};

QWidget* createControl(const FieldDef& f, QWidget* parent, Cell& cell) {
    switch (f.kind) {
    case FieldKind::Edit:
    case FieldKind::Display: {
        auto* e = new ui::LabeledEdit(f.name, f.caption, parent);
        e->setReadOnly(f.readOnly);
        e->lineEdit()->setMinimumWidth(70);
        cell.widget = e;
        cell.label = e->label();
        return e;
    }
    case FieldKind::Check: {
        auto* c = new QCheckBox(f.caption, parent);
        c->setObjectName(f.name);
        cell.widget = c;
        return c;
    }
    case FieldKind::Date:
    case FieldKind::Combo: {
        auto* holder = new QWidget(parent);
        auto* row = new QHBoxLayout(holder);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(4);
        auto* label = new QLabel(f.caption, holder);
        label->setObjectName(f.labelName);
        row->addWidget(label);
        QWidget* control = nullptr;
        if (f.kind == FieldKind::Date) {
            control = new ui::DateBox(f.name, holder);
        } else {
            auto* combo = new QComboBox(holder);
            combo->setObjectName(f.name);
            // The insurance kinds are an open list kept in the database: a stored kind that was
            // removed since must still show.
            combo->setEditable(f.items.isEmpty());
            for (qsizetype i = 0; i < f.items.size(); ++i) {
                if (i < f.itemValues.size())
                    combo->addItem(f.items.at(i), f.itemValues.at(i));
                else
                    combo->addItem(f.items.at(i));
            }
            combo->setMinimumContentsLength(6);
            control = combo;
        }
        label->setBuddy(control);
        row->addWidget(control, 1);
        cell.widget = holder;
        cell.label = label;
        cell.row = row;
        return control;
    }
    case FieldKind::Picture:
        break;
    }
    return nullptr;
}

struct PageBuild {
    ui::MainParts& parts;
    QMenu* editMenu = nullptr;
    std::vector<QWidget*> controls; // every control built, for the hooks
};

void hookControl(PageBuild& build, QWidget* control, const FieldDef& f) {
    connectTracking(control, f);
    if (f.armsEdit)
        new EventHook(control, QEvent::FocusIn, [](QEvent*) { armEdit(); });
    if (auto* e = qobject_cast<ui::LabeledEdit*>(control)) {
        if (!EditBoxesWithoutContextMenu().contains(f.name) && build.editMenu)
            AttachEditContextMenu(e, build.editMenu);
    }
}

void buildPage(PageBuild& build, int page) {
    QGroupBox* group = build.parts.pages[page];
    if (!group)
        return;
    auto* outer = new QVBoxLayout(group);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->setSpacing(6);

    const QList<FieldDef>& fields = PageFields(page);

    // The copies of the basic record (and the look-up boxes of page 6) make one row of their own.
    auto* header = new QHBoxLayout;
    header->setSpacing(10);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(6);

    std::map<int, std::vector<QLabel*>> labelsByColumn;
    Cell previous;
    int index = 0; // running cell number in the grid
    int row = 0;
    for (const FieldDef& f : fields) {
        if (f.kind == FieldKind::Picture)
            continue;
        const bool beside = f.besidePrevious && previous.row;
        Cell cell;
        QWidget* control = createControl(f, beside ? previous.widget : group, cell);
        hookControl(build, control, f);
        build.controls.push_back(control);
        if (f.kind == FieldKind::Display) {
            header->addWidget(cell.widget, 1);
            continue;
        }
        if (beside) {
            previous.row->addWidget(control);
            continue;
        }
        if (f.wide) {
            if (index % kFieldColumns != 0)
                index += kFieldColumns - index % kFieldColumns;
            row = index / kFieldColumns;
            grid->addWidget(cell.widget, row, 0, 1, kFieldColumns);
            if (cell.label)
                labelsByColumn[0].push_back(cell.label);
            index += kFieldColumns;
        } else {
            row = index / kFieldColumns;
            const int column = index % kFieldColumns;
            grid->addWidget(cell.widget, row, column);
            if (cell.label)
                labelsByColumn[column].push_back(cell.label);
            ++index;
        }
        previous = cell;
    }
    // Line up the captions of each column so that the boxes start at one edge.
    for (auto& [column, labels] : labelsByColumn) {
        int width = 0;
        for (QLabel* l : labels)
            width = qMax(width, l->sizeHint().width());
        for (QLabel* l : labels)
            l->setMinimumWidth(width);
    }
    for (int c = 0; c < kFieldColumns; ++c)
        grid->setColumnStretch(c, 1);

    if (header->count() > 0)
        outer->addLayout(header);
    else
        delete header; // page 0 has no header row, and a layout nobody holds is never freed
    outer->addLayout(grid);

    if (page == 6) {
        // The traffic-violation look-up is placed here by its own module.
        auto* area = new QWidget(group);
        area->setObjectName(u"违章查询视图区"_s);
        auto* areaLayout = new QVBoxLayout(area);
        areaLayout->setContentsMargins(0, 0, 0, 0);
        outer->addWidget(area, 1);
        return;
    }

    auto* list = new ui::SuperListBox(PageListName(page), group);
    for (const ListColumn& c : DesignedListColumns(page))
        list->addColumn(c.caption, c.width);
    outer->addWidget(list, 1);
}

template <typename T> QList<T*> formChildren(QWidget* window, const QString& prefix) {
    QList<T*> found;
    if (!window)
        return found;
    for (T* w : window->findChildren<T*>())
        if (w->window() == window && w->objectName().startsWith(prefix))
            found << w;
    return found;
}

} // namespace

void AttachEditContextMenu(ui::LabeledEdit* box, QMenu* menu) {
    QLineEdit* edit = box->lineEdit();
    edit->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(edit, &QWidget::customContextMenuRequested, edit,
                     [edit, menu](const QPoint& pos) { menu->popup(edit->mapToGlobal(pos)); });
}

ui::SuperListBox* PageList(QWidget* window, int page) {
    const QString name = PageListName(page);
    return window && !name.isEmpty() ? ui::FindControl<ui::SuperListBox>(window, name) : nullptr;
}

void AttachRecordForm(ui::MainParts& parts) {
    ResetFormState();
    PageBuild build{parts, ui::MainMenu(parts, u"编辑"_s), {}};
    for (int page = 0; page < kPageCount; ++page)
        buildPage(build, page);

    // The tool buttons around the form carry the captions of the record commands; the three
    // record buttons wait for a record to be selected.
    const std::pair<const char*, const char*> captions[] = {
        {"超级按钮_保存增加", "保存增加车辆"},
        {"超级按钮_增加车辆", "增加车辆"},
        {"超级按钮_删除车辆", "删除车辆"},
        {"超级按钮_加记录", "加记录"},
        {"超级按钮_删除记录", "删记录"},
        {"超级按钮_修改记录", "改记录"},
        {"超级按钮_刷新", "刷新"},
        {"超级按钮_数据备份", "备份"},
    };
    for (const auto& [name, caption] : captions)
        if (QPushButton* b = parts.button(QString::fromUtf8(name)))
            b->setText(QString::fromUtf8(caption));
    for (const char* name : {"超级按钮_加记录", "超级按钮_修改记录", "超级按钮_删除记录"})
        if (QPushButton* b = parts.button(QString::fromUtf8(name)))
            b->setEnabled(false);

    QWidget* window = parts.window;
    store::DatabaseConnection* db = parts.db;
    if (auto* plate = ui::FindControl<ui::LabeledEdit>(window, u"带标签编辑框_主车牌号"_s)) {
        new EventHook(plate->lineEdit(), QEvent::FocusOut, [window, db](QEvent* e) {
            if (db && OperatorLeftBox(e))
                CheckPlateUnique(window, *db);
        });
    }
    if (auto* archive = ui::FindControl<ui::LabeledEdit>(window, u"带标签编辑框_档案编号"_s)) {
        new EventHook(archive->lineEdit(), QEvent::FocusOut, [window, db](QEvent* e) {
            if (db && OperatorLeftBox(e))
                CheckArchiveNumberUnique(window, *db);
        });
    }

    parts.startupSteps.push_back([window, db] {
        const bool fees = store::session().OperatorPermissions.费用可见;
        PresetFormValues(window, db);
        ShapeRecordLists(window, fees);
        ShowFeeControls(window, fees);
    });
}

void PresetFormValues(QWidget* window, store::DatabaseConnection* db) {
    FormFill fill;
    if (db && db->IsOpen()) {
        // A new vehicle can only be given a kind the list offers, so offer the kinds from the start.
        if (auto* kinds = ui::FindControl<QComboBox>(window, u"组合框_投保险种"_s)) {
            if (const auto names = ReadInsuranceKinds(*db)) {
                kinds->clear();
                kinds->addItems(*names);
            }
        }
    }
    for (const QString& name : StartupComboBoxes())
        if (auto* c = ui::FindControl<QComboBox>(window, name); c && c->count() > 0)
            c->setCurrentIndex(0);
    for (QDateEdit* d : formChildren<QDateEdit>(window, u"日期框"_s))
        d->setDate(ui::kUnsetDate);
    for (const QString& name : PaymentDateBoxes())
        ui::SetControlDate(window, name, store::Today());
}

void ShapeRecordLists(QWidget* window, bool feesVisible) {
    for (int page : {1, 2, 4, 5}) {
        ui::SuperListBox* list = PageList(window, page);
        if (!list || list->columnCount() > 0)
            continue;
        for (const ListColumn& c : ListColumns(page, feesVisible))
            list->addColumn(c.caption, c.width);
    }
    if (!feesVisible) {
        ui::SuperListBox* insurance = PageList(window, 3);
        if (insurance && insurance->columnCount() == DesignedListColumns(3).size())
            for (int column : {11, 10, 9})
                insurance->deleteColumn(column);
    }
}

void ShowFeeControls(QWidget* window, bool feesVisible) {
    for (const QString& name : FeeControls())
        if (QWidget* w = ui::Control(window, name))
            w->setVisible(feesVisible);
}

void ResetVehicleForm(QWidget* window) {
    if (!window)
        return;
    FormFill fill;
    ui::SetControlReadOnly(window, u"带标签编辑框_档案编号"_s, false);
    ui::SetControlReadOnly(window, u"带标签编辑框_主车牌号"_s, false);
    if (auto* plate = ui::FindControl<ui::LabeledEdit>(window, u"带标签编辑框_主车牌号"_s))
        plate->setProperty(kCheckedPlateProperty, QVariant());
    for (ui::LabeledEdit* e : formChildren<ui::LabeledEdit>(window, u"带标签编辑框"_s))
        e->setText(QString());
    for (QComboBox* c : formChildren<QComboBox>(window, u"组合框"_s))
        if (c->count() > 0)
            c->setCurrentIndex(0);
    for (QDateEdit* d : formChildren<QDateEdit>(window, u"日期框"_s))
        d->setDate(ui::kUnsetDate);
    for (QCheckBox* c : formChildren<QCheckBox>(window, u"选择框"_s))
        c->setChecked(false);
    for (const QString& name : PaymentDateBoxes())
        ui::SetControlDate(window, name, store::Today());
    for (const QString& name : ReminderBoxes())
        ui::SetControlChecked(window, name, true);
    for (const FieldDef& f : PageFields(0))
        if (f.kind == FieldKind::Picture)
            ui::SetControlImage(window, f.name, QByteArray());
}

void ShowCheckMessage(const CheckMessage& message) {
    ui::MessageBox(message.text, message.exclamation ? ui::Buttons::OkExclamation : ui::Buttons::Ok);
}

void CheckPlateUnique(QWidget* window, store::DatabaseConnection& db) {
    auto* box = ui::FindControl<ui::LabeledEdit>(window, u"带标签编辑框_主车牌号"_s);
    if (!box || box->isReadOnly() || box->text().isEmpty())
        return;
    NotePlateChecked(window);
    VehicleRoster plates;
    const RosterSource listedPlates = [&db, &plates] { return plates.readPlates(db) ? &plates : nullptr; };
    for (const CheckMessage& m : PlateCheckMessages(box->text(), listedPlates))
        ShowCheckMessage(m);
}

bool PlateCheckDue(QWidget* window) {
    auto* box = ui::FindControl<ui::LabeledEdit>(window, u"带标签编辑框_主车牌号"_s);
    return box && !box->isReadOnly() && !box->text().isEmpty() &&
           box->property(kCheckedPlateProperty).toString() != box->text();
}

void NotePlateChecked(QWidget* window) {
    if (auto* box = ui::FindControl<ui::LabeledEdit>(window, u"带标签编辑框_主车牌号"_s))
        box->setProperty(kCheckedPlateProperty, box->text());
}

void CheckArchiveNumberUnique(QWidget* window, store::DatabaseConnection& db) {
    auto* box = ui::FindControl<ui::LabeledEdit>(window, u"带标签编辑框_档案编号"_s);
    if (!box || box->isReadOnly() || box->text().isEmpty())
        return;
    VehicleRoster numbers;
    const RosterSource takenNumbers = [&db, &numbers] { return numbers.readArchiveNumbers(db) ? &numbers : nullptr; };
    const ArchiveNumberCheck check = CheckArchiveNumber(box->text(), takenNumbers);
    // A taken number is emptied, so that a save started afterwards stops at the missing number.
    if (check.taken)
        box->setText(QString());
    if (!check.message.isEmpty())
        ui::MessageBox(check.message);
}

} // namespace archive
