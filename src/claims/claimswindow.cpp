#include "claimswindow.h"

#include "claims.h"
#include "claimsgrid.h"
#include "store/session.h"
#include "ui/dialogs.h"
#include "ui/mainparts.h"
#include "ui/reportprint.h"
#include "ui/widgets.h"
#include "ui/windowsetup.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace claims {

namespace {

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    b->setMinimumWidth(72);
    return b;
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    return label;
}

QString updateFailureText(const UpdateOutcome& outcome) {
    switch (outcome.failure) {
    case UpdateOutcome::InvalidDate:
        return u"修改不成功\n第%1行：报险日期不是有效日期"_s.arg(outcome.failedRow);
    case UpdateOutcome::InvalidNumber:
        return u"修改不成功\n第%1行：不是已保存的报险记录"_s.arg(outcome.failedRow);
    case UpdateOutcome::ChangedByOther:
        return u"修改不成功\n第%1行："_s.arg(outcome.failedRow) + kClaimChangedMessage;
    case UpdateOutcome::Refused:
        return u"修改不成功\n第%1行：数据库未能保存"_s.arg(outcome.failedRow);
    default:
        return u"修改不成功"_s;
    }
}

} // namespace

ClaimsWindow::ClaimsWindow(QWidget* owner) : QDialog(owner) {
    setObjectName(u"ClaimsWindow"_s);
    setWindowTitle(u"报险情况"_s);
    setModal(true);
    resize(639, 640);

    start_ = new ui::DateBox(u"日期框_开始"_s, this);
    end_ = new ui::DateBox(u"日期框_截止"_s, this);
    plate_ = new ui::LabeledEdit(u"带标签编辑框_主车牌号"_s, u"主车牌号："_s, this);
    owner_ = new ui::LabeledEdit(u"带标签编辑框_车主姓名"_s, u"车主姓名："_s, this);
    insurer_ = new ui::LabeledEdit(u"带标签编辑框_保险公司名称"_s, u"保险公司名称："_s, this);
    policy_ = new ui::LabeledEdit(u"带标签编辑框_保单号"_s, u"保单号："_s, this);
    closed_ = new QComboBox(this);
    closed_->setObjectName(u"组合框_是否结案"_s);
    closed_->addItem(u"全部"_s, kClosedAll);
    closed_->addItem(u"未结案"_s, kClosedOpen);
    closed_->addItem(u"已结案"_s, kClosedOnly);
    QPushButton* find = makeButton(this, u"按钮_查找"_s, u"查找"_s);

    auto* filters = new QGridLayout;
    filters->setHorizontalSpacing(8);
    filters->addWidget(makeLabel(this, u"透明标签_起始日期"_s, u"起始日期："_s), 0, 0);
    filters->addWidget(start_, 0, 1);
    filters->addWidget(makeLabel(this, u"透明标签_截止日期"_s, u"截止日期："_s), 0, 2);
    filters->addWidget(end_, 0, 3);
    filters->addWidget(makeLabel(this, u"透明标签_是否结案"_s, u"是否结案："_s), 0, 4);
    filters->addWidget(closed_, 0, 5);
    filters->addWidget(plate_, 1, 0, 1, 2);
    filters->addWidget(owner_, 1, 2, 1, 2);
    filters->addWidget(find, 1, 4, 1, 2);
    filters->addWidget(insurer_, 2, 0, 1, 2);
    filters->addWidget(policy_, 2, 2, 1, 2);
    filters->setColumnStretch(1, 1);
    filters->setColumnStretch(3, 1);

    grid_ = new ClaimsGrid(this);
    grid_->setMinimumHeight(300);

    QPushButton* saveNew = makeButton(this, u"按钮_保存增加"_s, u"保存增加"_s);
    QPushButton* saveChanges = makeButton(this, u"按钮_保存修改"_s, u"保存修改"_s);
    QPushButton* print = makeButton(this, u"超级按钮_打印"_s, u"打印"_s);
    QPushButton* preview = makeButton(this, u"超级按钮_打印预览"_s, u"打印预览"_s);
    QPushButton* exporting = makeButton(this, u"超级按钮_导出"_s, u"导出"_s);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(saveNew);
    buttons->addWidget(saveChanges);
    buttons->addStretch(1);
    buttons->addWidget(print);
    buttons->addWidget(preview);
    buttons->addWidget(exporting);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(grid_, 1);
    layout->addLayout(buttons);

    connect(find, &QPushButton::clicked, this, &ClaimsWindow::findCommand);
    connect(saveNew, &QPushButton::clicked, this, &ClaimsWindow::saveNewCommand);
    connect(saveChanges, &QPushButton::clicked, this, &ClaimsWindow::saveChangesCommand);
    // The register prints and exports without a title.
    ui::ConnectReportButtons(grid_, print, preview, exporting, report::RenderOptions{.withTitle = false});
    ui::AddReportShortcuts(
        this, [print] { print->click(); }, [exporting] { exporting->click(); });

    ui::OpenWindowDatabase(db_);
    start_->setDate(store::Today().addMonths(-1));
    // The end of the range is left to the box; it starts on today so the last month shows.
    end_->setDate(store::Today());
    ResetClaimState();
    closed_->setCurrentIndex(0);
    loadClaims();
}

void ClaimsWindow::loadClaims() {
    const std::optional<QList<Claim>> list = LoadClaims(db_, start_->date(), end_->date());
    grid_->setEntryRowEnabled(false);
    loaded_ = list.value_or(QList<Claim>{});
    if (!list) {
        grid_->setTable(ClaimsTable({}));
        ui::MessageBox(u"查询失败?！"_s, ui::Buttons::Ok, {}, this);
        return;
    }
    grid_->setTable(ClaimsTable(*list));
    for (int c = 1; c <= 9; ++c)
        grid_->setColumnEditable(c, true);
    grid_->setEntryRowEnabled(true);
}

void ClaimsWindow::findCommand() {
    SetClaimFilters(plate_->text(), owner_->text(), insurer_->text(), policy_->text(), closed_->currentData().toInt());
    loadClaims();
}

void ClaimsWindow::saveNewCommand() {
    grid_->commitOpenEdit();
    // Row ClaimRowCount + 1 is the entry row; without one (a failed load) nothing is typed.
    const QList<report::Cell> entry =
        grid_->reportModel()->entryRowEnabled() ? grid_->entryRowCells() : QList<report::Cell>{};
    if (!InsertClaim(db_, ClaimFromRow(entry))) {
        ui::MessageBox(u"在报险表录入记录失败！"_s, ui::Buttons::Ok, {}, this);
        return;
    }
    ui::MessageBox(u"添加报险记录成功！"_s, ui::Buttons::Ok, {}, this);
    loadClaims();
}

void ClaimsWindow::saveChangesCommand() {
    grid_->commitOpenEdit();
    const report::ReportTable& table = grid_->table();
    QList<Claim> rows;
    for (int r = 1; r <= ClaimRowCount && r < table.rowCount(); ++r)
        rows << ClaimFromRow(table.row(r));
    const UpdateOutcome outcome = UpdateClaims(db_, rows, &loaded_);
    if (!outcome.ok()) {
        // Nothing was written; the typed values stay for the operator to correct.
        if (outcome.failedRow > 0)
            grid_->setCurrentCell(outcome.failedRow, outcome.failure == UpdateOutcome::InvalidDate ? 1 : 2);
        ui::MessageBox(updateFailureText(outcome), ui::Buttons::Ok, {}, this);
        return;
    }
    loaded_ = rows; // what is stored now
    ui::MessageBox(u"修改成功！"_s, ui::Buttons::Ok, {}, this);
}

void AttachClaimsCommands(ui::MainParts& parts) {
    QAction* action = parts.action(u"报险清单"_s);
    if (!action)
        return;
    QWidget* window = parts.window;
    QObject::connect(action, &QAction::triggered, window, [window] {
        ClaimsWindow claimsWindow(window);
        claimsWindow.exec();
    });
}

} // namespace claims
