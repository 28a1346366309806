#include "recordcommands.h"

#include "archive/formfields.h"
#include "archive/questionwindow.h"
#include "archive/recordform.h"
#include "archive/vehicledata.h"
#include "archive/vehicleform.h"
#include "store/session.h"
#include "store/versions.h"
#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/mainparts.h"
#include "ui/widgets.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace archive {

namespace {

int g_currentPageIndex = 0;
// Set while QuestionWindow's command runs inside an interrupted tab change: that change decides
// which page is shown, so a modify does not turn to page 0 under it.
bool g_offering = false;

const QString kAddButton = u"超级按钮_加记录"_s;
const QString kModifyButton = u"超级按钮_修改记录"_s;
const QString kDeleteButton = u"超级按钮_删除记录"_s;
const QString kBackupButton = u"超级按钮_数据备份"_s;

const QStringList& documentButtons() {
    static const QStringList names = {u"超级按钮_扫描身份证"_s,  u"超级按钮_扫描车辆1"_s,   u"超级按钮_扫描车辆2"_s,
                                      u"超级按钮_扫描行车证1"_s, u"超级按钮_扫描行车证2"_s, u"超级按钮_导入身份证"_s,
                                      u"超级按钮_导入车辆"_s,    u"超级按钮_导入车辆1"_s,   u"超级按钮_导入行车证"_s,
                                      u"超级按钮_导入行车证1"_s};
    return names;
}

QWidget* control(ui::MainParts& parts, const QString& name) {
    if (QPushButton* b = parts.button(name))
        return b;
    return ui::Control(parts.window, name);
}

void setEnabled(ui::MainParts& parts, const QString& name, bool enabled) {
    if (QWidget* w = control(parts, name))
        w->setEnabled(enabled);
}

QString plate() {
    return store::session().CurrentPlate;
}

// ---- The vehicle form's loaders, by page ---------------------------------------------------

void runPageLoader(ui::MainParts& parts, int page) {
    FormFill fill;
    LoadPage(parts, page);
}

void runListLoader(ui::MainParts& parts, int page) {
    FormFill fill;
    LoadPageList(parts, page);
    // A reloaded list has no chosen row: the commands that act on the chosen record wait for
    // the operator to choose one again, instead of staying on and doing nothing.
    setEnabled(parts, kModifyButton, false);
    setEnabled(parts, kDeleteButton, false);
}

// The shown vehicle's plate names the table of every record statement: it must be a vehicle of
// [总表], never a fixed table or an SQL word. Says why when it is not.
bool plateUsable(ui::MainParts& parts) {
    QString refusal;
    if (parts.db && PlateUsableAsTableName(*parts.db, plate(), &refusal))
        return true;
    ui::MessageBox(refusal, ui::Buttons::OkExclamation, {}, parts.window);
    return false;
}

void refreshAlertTree(ui::MainParts& parts) {
    if (parts.refreshAlertTree)
        parts.refreshAlertTree();
}

int currentTab(ui::MainParts& parts) {
    return parts.tabs ? parts.tabs->currentIndex() : 0;
}

// The record number of the list's current row; 0 when no row is current.
qint64 currentRecordNumber(QWidget* window, int page) {
    ui::SuperListBox* list = PageList(window, page);
    if (!list || list->currentRow() < 0)
        return 0;
    return list->rowNumber(list->currentRow());
}

void buildViolationView(ui::MainParts& parts) {
    QWidget* area = ui::Control(parts.window, u"违章查询视图区"_s);
    if (!area)
        area = parts.pages[kViolationPage];
    if (!area)
        return;
    auto* view = new QWidget(area);
    view->setObjectName(u"超文本浏览框"_s);
    auto* address = new QLabel(u"违章查询网址："_s + kViolationQueryAddress, view);
    address->setObjectName(u"标签_违章查询网址"_s);
    address->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* open = new QPushButton(u"在浏览器中打开违章查询网页"_s, view);
    open->setObjectName(u"按钮_打开违章查询"_s);
    auto* hint = new QLabel(u"在网页中输入上方的姓名、身份证号、车牌号或车架号即可查询违章记录。"_s, view);
    hint->setWordWrap(true);
    auto* row = new QHBoxLayout;
    row->addWidget(address);
    row->addWidget(open);
    row->addStretch();
    auto* layout = new QVBoxLayout(view);
    layout->addLayout(row);
    layout->addWidget(hint);
    layout->addStretch();
    if (!area->layout())
        new QVBoxLayout(area);
    area->layout()->addWidget(view);
    QObject::connect(open, &QPushButton::clicked, view, [] {
        if (!ui::dialogs().openExternal(kViolationQueryAddress))
            ui::MessageBox(u"无法打开违章查询网页，请在浏览器中输入"_s + kViolationQueryAddress);
    });
}

// A combo box shows the stored text itself: the matching item, the text typed into an editable
// box, or no item at all when a fixed list does not hold it (an empty text included).
void showChoice(QComboBox* combo, const QString& text) {
    const int index = combo->findText(text);
    if (index >= 0) {
        combo->setCurrentIndex(index);
        if (combo->isEditable())
            combo->setEditText(text);
        return;
    }
    combo->setCurrentIndex(-1);
    if (combo->isEditable())
        combo->setEditText(text);
}

} // namespace

int CurrentPageIndex() {
    return g_currentPageIndex;
}

RecordValues ReadPageValues(QWidget* window, int page) {
    RecordValues values;
    for (const RecordField& f : RecordFields(page)) {
        if (f.control.isEmpty())
            continue;
        switch (f.kind) {
        case ValueKind::Text:
        case ValueKind::Choice:
            values.insert(f.column, ui::ControlText(window, f.control));
            break;
        case ValueKind::Date:
            values.insert(f.column, ui::ControlDate(window, f.control));
            break;
        case ValueKind::YesNo:
            values.insert(f.column, ui::ControlChecked(window, f.control));
            break;
        case ValueKind::Image:
            values.insert(f.column, ui::ControlImage(window, f.control));
            break;
        case ValueKind::State:
            if (auto* combo = qobject_cast<QComboBox*>(ui::Control(window, f.control))) {
                // No item shown stores no state.
                const QVariant data = combo->currentData();
                if (combo->currentIndex() < 0)
                    values.insert(f.column, QVariant());
                else
                    values.insert(f.column, data.isValid() ? data.toInt() : combo->currentIndex() + 1);
            }
            break;
        }
    }
    return values;
}

void ShowRecordValues(QWidget* window, int page, const RecordValues& values) {
    FormFill fill;
    for (const QString& column : SelectedColumns(page)) {
        const RecordField* f = FindRecordField(page, column);
        if (!f || f->control.isEmpty() || !values.contains(column))
            continue;
        const QVariant v = values.value(column);
        switch (f->kind) {
        case ValueKind::Text:
            ui::SetControlText(window, f->control, v.toString());
            break;
        case ValueKind::Choice:
            if (auto* combo = qobject_cast<QComboBox*>(ui::Control(window, f->control)))
                showChoice(combo, v.toString());
            else
                ui::SetControlText(window, f->control, v.toString());
            break;
        case ValueKind::Date:
            ui::SetControlDate(window, f->control, v.toDate());
            break;
        case ValueKind::YesNo:
            ui::SetControlChecked(window, f->control, v.toBool());
            break;
        case ValueKind::Image:
            ui::SetControlImage(window, f->control, v.toByteArray());
            break;
        case ValueKind::State:
            if (auto* combo = qobject_cast<QComboBox*>(ui::Control(window, f->control))) {
                // An empty or unknown state shows no item rather than the previous record's.
                int index = v.isNull() ? -1 : combo->findData(v.toInt());
                if (index < 0 && !v.isNull() && v.toInt() >= 1 && v.toInt() <= combo->count())
                    index = v.toInt() - 1;
                combo->setCurrentIndex(index);
            }
            break;
        }
    }
    const RecordPage& info = RecordPageInfo(page);
    if (!info.owedFeeControl.isEmpty())
        ui::SetControlText(
            window, info.owedFeeControl,
            OwedText(ui::ControlText(window, info.dueFeeControl), ui::ControlText(window, info.paidFeeControl)));
}

void SwitchPage(ui::MainParts& parts, int page) {
    for (const QString& name : {kModifyButton, kAddButton, kDeleteButton})
        setEnabled(parts, name, false);

    {
        FormFill fill;
        // The header copies of the obligation pages and the look-up boxes repeat boxes of page 0.
        for (int p = 1; p < kPageCount; ++p)
            for (const FieldDef& f : PageFields(p))
                if (!f.copyOf.isEmpty())
                    ui::SetControlText(parts.window, f.name, ui::ControlText(parts.window, f.copyOf));
    }

    for (const QString& name : documentButtons())
        setEnabled(parts, name, plate().isEmpty());

    g_currentPageIndex = page;

    if (!plate().isEmpty() && page >= 0 && page < kRecordPageCount) {
        if (page == 0)
            for (const QString& name : documentButtons())
                setEnabled(parts, name, true);
        runPageLoader(parts, page);
        runListLoader(parts, page);
    }

    formState().RecordSelectedFlag = 0;
}

void OfferSavePage(ui::MainParts& parts) {
    const store::Permissions& may = store::session().OperatorPermissions;
    const FormState& form = formState();
    if (plate().isEmpty() || form.RecordSelectedFlag != 1 || form.PageModifiedFlag != 1 ||
        !(may.修改车辆信息 || may.增加车辆信息))
        return;
    QuestionWindow::Choice choice;
    {
        const QString caption = parts.tabs ? parts.tabs->tabText(parts.tabs->currentIndex()) : QString();
        QuestionWindow question(plate(), caption, may.修改车辆信息, may.增加车辆信息, parts.window);
        question.exec();
        choice = question.choice();
    }
    const bool wasOffering = g_offering;
    g_offering = true;
    if (choice == QuestionWindow::Choice::AddRecord)
        AddRecord(parts);
    else if (choice == QuestionWindow::Choice::ModifyRecord)
        ModifyRecord(parts);
    g_offering = wasOffering;
}

void LeaveVehicle(ui::MainParts& parts) {
    OfferSavePage(parts);
    FormState& form = formState();
    form.RecordSelectedFlag = 0;
    form.PageModifiedFlag = 0;
}

void SelectRecord(ui::MainParts& parts, int page, int row) {
    if (plate().isEmpty() || page < 0 || page >= kRecordPageCount)
        return;
    ui::SuperListBox* list = PageList(parts.window, page);
    const qint64 number = list ? list->rowNumber(row) : 0;
    if (number == 0)
        return;
    RecordValues values;
    if (!parts.db || !ReadRecord(*parts.db, page, plate(), number, &values)) {
        ui::MessageBox(RecordPageInfo(page).selectFailure, ui::Buttons::Ok, {}, parts.window);
        return;
    }
    ShowRecordValues(parts.window, page, values);

    const store::Permissions& may = store::session().OperatorPermissions;
    if (may.修改车辆信息) {
        setEnabled(parts, kModifyButton, true);
        setEnabled(parts, kDeleteButton, true);
    }
    if (may.增加车辆信息)
        setEnabled(parts, kAddButton, true);
    if (may.修改车辆信息 || may.增加车辆信息) {
        setEnabled(parts, kBackupButton, true);
        if (QAction* backup = parts.action(u"备份"_s))
            backup->setEnabled(true);
    }
    formState().RecordSelectedFlag = 1;
}

void AddRecord(ui::MainParts& parts) {
    FormState& form = formState();
    form.RecordSelectedFlag = 0;
    form.PageModifiedFlag = 0;
    store::session().DataModifiedFlag = 1;

    const int page = currentTab(parts);
    if (page >= 0 && page < kRecordPageCount && parts.db && plateUsable(parts)) {
        const RecordOutcome out =
            AddRecordRow(*parts.db, page, plate(), ReadPageValues(parts.window, page), LoadedVersionOf(plate()));
        if (out.ok) {
            KeepSavedVersion(plate(), out.version);
            ui::SetControlReadOnly(parts.window, u"带标签编辑框_档案编号"_s, true);
            ui::SetControlReadOnly(parts.window, u"带标签编辑框_主车牌号"_s, true);
            ui::MessageBox(out.message, ui::Buttons::Ok, {}, parts.window);
            runPageLoader(parts, page);
        } else {
            ui::MessageBox(out.message, ui::Buttons::Ok, {}, parts.window);
        }
        runListLoader(parts, page);
    }
    refreshAlertTree(parts);
}

void ModifyRecord(ui::MainParts& parts) {
    store::session().DataModifiedFlag = 1;
    FormState& form = formState();
    form.RecordSelectedFlag = 0;
    form.PageModifiedFlag = 0;

    const int page = currentTab(parts);
    if (page >= 0 && page < kRecordPageCount && parts.db && plateUsable(parts)) {
        const RecordPage& info = RecordPageInfo(page);
        const qint64 number = currentRecordNumber(parts.window, page);
        // Without a selected row the update would match nothing and still read as done.
        const RecordOutcome out = number != 0
                                      ? ModifyRecordRow(*parts.db, page, plate(), ReadPageValues(parts.window, page),
                                                        number, LoadedVersionOf(plate()))
                                      : RecordOutcome{false, info.updateFailure};
        ui::MessageBox(out.message, ui::Buttons::Ok, {}, parts.window);
        // Another operator's change since the vehicle was loaded: the page keeps what was typed,
        // for the operator to compare after reloading.
        if (out.changed) {
            refreshAlertTree(parts);
            return;
        }
        if (out.ok) {
            KeepSavedVersion(plate(), out.version);
            runListLoader(parts, page);
        }
        runPageLoader(parts, page);
        if (page >= 1 && !g_offering && parts.tabs)
            parts.tabs->setCurrentIndex(0);
    }
    refreshAlertTree(parts);
}

void DeleteRecord(ui::MainParts& parts) {
    store::session().DataModifiedFlag = 1;
    const int page = g_currentPageIndex;
    ui::SuperListBox* list = PageList(parts.window, page);
    if (page < 0 || page >= kRecordPageCount || !list || !parts.db)
        return;
    const qint64 number = currentRecordNumber(parts.window, page);
    // Nothing selected: a delete would match no row and still report success.
    if (number == 0 || !plateUsable(parts))
        return;

    if (IsLastRecordOfVehicle(list->rowCount(), number)) {
        if (ui::AskWithDefault(u"已经是最后一条关于此车辆的信息了！如果删除将彻底删除此车辆信息!"_s, ui::Buttons::YesNo,
                               ui::Answer::No, {}, parts.window) != ui::Answer::Yes)
            return;
        bool changed = false;
        if (RemoveVehicleWithLastRecord(*parts.db, plate(), LoadedVersionOf(plate()), &changed)) {
            refreshAlertTree(parts);
            return;
        }
        if (changed) {
            ui::MessageBox(store::kVehicleChangedMessage, ui::Buttons::Ok, {}, parts.window);
            return;
        }
    }

    if (ui::AskWithDefault(u"确定要删除吗"_s, ui::Buttons::YesNo, ui::Answer::No, u"提示!"_s, parts.window) !=
        ui::Answer::Yes)
        return;
    const RecordOutcome out = DeleteRecordRow(*parts.db, page, plate(), number, LoadedVersionOf(plate()));
    ui::MessageBox(out.message, ui::Buttons::Ok, {}, parts.window);
    if (!out.ok)
        return;
    KeepSavedVersion(plate(), out.version);
    runPageLoader(parts, page);
    runListLoader(parts, page);
    refreshAlertTree(parts);
}

void AttachRecordCommands(ui::MainParts& parts) {
    g_currentPageIndex = 0;
    buildViolationView(parts);

    if (QPushButton* b = parts.button(kAddButton))
        QObject::connect(b, &QPushButton::clicked, parts.window, [&parts] { AddRecord(parts); });
    if (QPushButton* b = parts.button(kModifyButton))
        QObject::connect(b, &QPushButton::clicked, parts.window, [&parts] { ModifyRecord(parts); });
    if (QPushButton* b = parts.button(kDeleteButton))
        QObject::connect(b, &QPushButton::clicked, parts.window, [&parts] { DeleteRecord(parts); });

    for (int page = 0; page < kRecordPageCount; ++page)
        if (ui::SuperListBox* list = PageList(parts.window, page))
            QObject::connect(list, &ui::SuperListBox::rowClicked, parts.window,
                             [&parts, page](int row) { SelectRecord(parts, page, row); });

    parts.leavingVehicle = [&parts] { LeaveVehicle(parts); };

    if (!parts.tabs)
        return;
    // The tab widget announces a change only after it happened. To ask about the page being left
    // while it is still the current one, the change is held back: the old page is shown again for
    // the question, then the change goes on.
    auto previous = std::make_shared<int>(parts.tabs->currentIndex());
    QObject::connect(parts.tabs, &QTabWidget::currentChanged, parts.window, [&parts, previous](int index) {
        QTabWidget* tabs = parts.tabs;
        const int leaving = *previous;
        if (leaving != index && leaving >= 0 && leaving < tabs->count()) {
            const FormState& form = formState();
            if (form.RecordSelectedFlag == 1 && form.PageModifiedFlag == 1) {
                const QSignalBlocker block(tabs);
                tabs->setCurrentIndex(leaving);
                OfferSavePage(parts);
                tabs->setCurrentIndex(index);
            }
        }
        *previous = index;
        SwitchPage(parts, index);
    });
}

} // namespace archive
