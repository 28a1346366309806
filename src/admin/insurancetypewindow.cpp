#include "insurancetypewindow.h"

#include "accounts.h"
#include "store/schema.h"
#include "ui/dialogs.h"
#include "ui/widgets.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace admin {

namespace {

constexpr quint32 kMarkColour = 0x80e000; // header and number column, 0x00BBGGRR

QTableWidgetItem* fixedItem(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

InsuranceTypeWindow::InsuranceTypeWindow(QWidget* owner) : QDialog(owner) {
    setObjectName(u"InsuranceTypeWindow"_s);
    setWindowTitle(u"投保险种设置"_s);
    setModal(true);
    resize(483, 377);

    grid_ = new QTableWidget(1, 2, this);
    grid_->setObjectName(u"高级表格1"_s);
    // Row 0 of the grid is its header, as the grid is numbered 1 … count below it.
    grid_->horizontalHeader()->setVisible(false);
    grid_->verticalHeader()->setVisible(false);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setColumnWidth(0, 60);
    grid_->setColumnWidth(1, 375);
    grid_->horizontalHeader()->setStretchLastSection(true);

    addButton_ = new QPushButton(u"增加"_s, this);
    addButton_->setObjectName(u"按钮_增加"_s);
    saveButton_ = new QPushButton(u"保存"_s, this);
    saveButton_->setObjectName(u"按钮_保存"_s);
    deleteButton_ = new QPushButton(u"删除"_s, this);
    deleteButton_->setObjectName(u"按钮_删除"_s);
    for (QPushButton* b : {addButton_, saveButton_, deleteButton_}) {
        b->setAutoDefault(false);
        b->setMinimumHeight(28);
    }

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(addButton_);
    buttons->addWidget(deleteButton_);
    buttons->addWidget(saveButton_);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(grid_, 1);
    outer->addLayout(buttons);

    connect(addButton_, &QPushButton::clicked, this, &InsuranceTypeWindow::addRow);
    connect(deleteButton_, &QPushButton::clicked, this, &InsuranceTypeWindow::deleteRow);
    connect(saveButton_, &QPushButton::clicked, this, &InsuranceTypeWindow::save);

    clock_ = new QTimer(this);
    clock_->setObjectName(u"时钟1"_s);
    clock_->setInterval(100);
    connect(clock_, &QTimer::timeout, this, &InsuranceTypeWindow::colourNumberColumn);
    clock_->start();

    ui::OpenWindowDatabase(db_);

    grid_->setItem(0, 0, fixedItem(u"编号"_s));
    grid_->setItem(0, 1, fixedItem(u"险种名称"_s));
    grid_->item(0, 1)->setBackground(ui::ColorFromBgr(kMarkColour));
    QFont bold = grid_->font();
    bold.setBold(true);
    grid_->item(0, 0)->setFont(bold);
    grid_->item(0, 1)->setFont(bold);
    fillGrid();
}

void InsuranceTypeWindow::fillGrid() {
    const auto names = ReadInsuranceKinds(db_);
    if (!names) {
        ui::MessageBox(u"读取数据失败!?/"_s, ui::Buttons::Ok, {}, this);
        return;
    }
    for (const QString& name : *names) {
        ++rowCount_;
        grid_->setRowCount(rowCount_ + 1);
        grid_->setItem(rowCount_, 0, fixedItem(QString::number(rowCount_)));
        grid_->setItem(rowCount_, 1, new QTableWidgetItem(name));
    }
    colourNumberColumn();
}

void InsuranceTypeWindow::colourNumberColumn() {
    const QColor colour = ui::ColorFromBgr(kMarkColour);
    const int last = qMin(100, grid_->rowCount() - 1);
    for (int r = 0; r <= last; ++r) {
        QTableWidgetItem* item = grid_->item(r, 0);
        if (!item) {
            item = fixedItem({});
            grid_->setItem(r, 0, item);
        }
        if (item->background().color() != colour)
            item->setBackground(colour);
    }
}

void InsuranceTypeWindow::addRow() {
    ++rowCount_;
    grid_->setRowCount(rowCount_ + 1);
    grid_->setItem(rowCount_, 0, fixedItem({}));
    grid_->setItem(rowCount_, 1, new QTableWidgetItem);
    colourNumberColumn();
    grid_->setCurrentCell(rowCount_, 1);
    grid_->editItem(grid_->item(rowCount_, 1));
}

void InsuranceTypeWindow::deleteRow() {
    const int row = grid_->currentRow();
    // The header row is not a kind and stays.
    if (row < 1 || row > rowCount_)
        return;
    grid_->removeRow(row);
    --rowCount_;
}

QStringList InsuranceTypeWindow::gridNames() const {
    QStringList names;
    for (int r = 1; r <= rowCount_; ++r) {
        const QTableWidgetItem* item = grid_->item(r, 1);
        names << (item ? item->text() : QString());
    }
    return names;
}

void InsuranceTypeWindow::save() {
    switch (SaveInsuranceKinds(db_, gridNames())) {
    case SaveKindsResult::Saved:
        ui::MessageBox(u"险种名称保存成功！"_s, ui::Buttons::Ok, {}, this);
        break;
    case SaveKindsResult::DeleteFailed:
        ui::MessageBox(u"没有删除原始数据语句"_s, ui::Buttons::Ok, {}, this);
        break;
    case SaveKindsResult::InsertFailed:
        ui::MessageBox(u"在新表录入记录失败！"_s, ui::Buttons::Ok, {}, this);
        break;
    }
}

} // namespace admin
