#include "searchwindow.h"

#include "archive/vehicledata.h"
#include "store/session.h"
#include "ui/widgets.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace archive {

namespace {

QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

} // namespace

SearchResultWindow::SearchResultWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(u"SearchResultWindow"_s);
    setWindowTitle(u"搜索结果"_s);
    setModal(true);

    grid_ = new QTableWidget(this);
    grid_->setObjectName(u"高级表格1"_s);
    grid_->setColumnCount(4);
    grid_->horizontalHeader()->setVisible(false);
    grid_->verticalHeader()->setVisible(false);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    // A result is a whole vehicle: the row is chosen, not one of its cells.
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setMinimumSize(360, 204);

    open_ = new QPushButton(u"打开"_s, this);
    open_->setObjectName(u"按钮_打开"_s);
    open_->setMinimumSize(172, 32);
    open_->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grid_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(open_);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    resize(383, 283);

    // Row 0 is the grid's own header row.
    const SearchResultLists& results = SearchResults();
    grid_->setRowCount(1);
    const char* const headers[] = {"档案编号", "主车牌号", "挂车牌号", "车主姓名"};
    for (int c = 0; c < 4; ++c)
        grid_->setItem(0, c, cell(QString::fromUtf8(headers[c])));
    for (int i = 0; i < results.plates.size(); ++i) {
        grid_->insertRow(i + 1);
        grid_->setItem(i + 1, 1, cell(results.plates.at(i)));
    }
    const QStringList* columns[] = {&results.archiveNumbers, nullptr, &results.trailerPlates, &results.ownerNames};
    for (int c : {0, 2, 3})
        for (int i = 0; i < columns[c]->size() && i < results.plates.size(); ++i)
            grid_->setItem(i + 1, c, cell(columns[c]->at(i)));
    for (int c = 0; c < 4; ++c)
        grid_->item(0, c)->setBackground(ui::ColorFromBgr(0x80E000));
    grid_->resizeColumnsToContents();

    connect(grid_, &QTableWidget::currentCellChanged, this,
            [this](int row, int column, int, int) { currentCellChanged(row, column); });
    connect(open_, &QPushButton::clicked, this, &SearchResultWindow::openChosen);
    // Double-click or Enter on a result opens it, whichever of its cells was hit: every row names
    // one vehicle. The header row opens nothing.
    auto openRow = [this](const QModelIndex& index) {
        if (!isVisible() || !index.isValid() || index.row() <= 0)
            return;
        grid_->setCurrentCell(index.row(), index.column());
        openChosen();
    };
    connect(grid_, &QTableWidget::activated, this, openRow);
    connect(grid_, &QTableWidget::doubleClicked, this, openRow);
}

void SearchResultWindow::currentCellChanged(int row, int column) {
    // Column 0 does not open (as designed); nor does the header row, which names no vehicle.
    if (column > 0 && row > 0)
        open_->setEnabled(true);
}

void SearchResultWindow::openChosen() {
    const int row = grid_->currentRow();
    QString plate;
    if (row > 0 && grid_->currentColumn() >= 0 && grid_->item(row, 1))
        plate = grid_->item(row, 1)->text();
    store::session().CurrentPlate = plate;
    accept();
}

void SearchResultWindow::done(int result) {
    SearchResults().clear();
    store::session().SearchResults.clear();
    QDialog::done(result);
}

} // namespace archive
