#include "importwindow.h"

#include "store/session.h"
#include "ui/dialogs.h"
#include "ui/mainparts.h"
#include "ui/reportgrid.h"
#include "ui/reportprint.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace fleetimport {

namespace {

QPushButton* button(const QString& name, const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

const QString kNotImported = u"（不导入）"_s;

} // namespace

ImportWindow::ImportWindow(QWidget* owner) : QDialog(owner) {
    setObjectName(u"导入车辆窗口"_s);
    setWindowTitle(u"导入车辆"_s);
    resize(900, 680);

    file_ = new QLineEdit(this);
    file_->setObjectName(u"编辑框_文件"_s);
    file_->setReadOnly(true);
    choose_ = button(u"按钮_选择文件"_s, u"选择文件…"_s, this);
    sheet_ = new QComboBox(this);
    sheet_->setObjectName(u"组合框_工作表"_s);
    encoding_ = new QLabel(this);
    encoding_->setObjectName(u"标签_文件格式"_s);

    mapping_ = new QTableWidget(0, 3, this);
    mapping_->setObjectName(u"表格_列对应"_s);
    mapping_->setHorizontalHeaderLabels({u"文件中的列"_s, u"第一行数据"_s, u"对应字段"_s});
    mapping_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    mapping_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    mapping_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    mapping_->verticalHeader()->setVisible(false);
    mapping_->setEditTriggers(QAbstractItemView::NoEditTriggers);

    dryRun_ = button(u"按钮_试导入"_s, u"试导入"_s, this);
    import_ = button(u"按钮_导入"_s, u"导入"_s, this);
    cancel_ = button(u"按钮_取消导入"_s, u"取消"_s, this);
    saveReport_ = button(u"按钮_保存报告"_s, u"保存报告"_s, this);
    close_ = button(u"按钮_关闭"_s, u"关闭"_s, this);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(u"进度条_导入"_s);
    progress_->setFormat(u"%v / %m"_s);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setTextVisible(false); // until rows are written
    status_ = new QLabel(this);
    status_->setObjectName(u"标签_状态"_s);
    status_->setWordWrap(true);
    grid_ = new ui::ReportGrid(this);
    grid_->setObjectName(u"高级表格_报告"_s);

    auto* top = new QGridLayout;
    top->addWidget(new QLabel(u"文件："_s, this), 0, 0);
    top->addWidget(file_, 0, 1);
    top->addWidget(choose_, 0, 2);
    top->addWidget(new QLabel(u"工作表："_s, this), 1, 0);
    auto* sheetRow = new QHBoxLayout;
    sheetRow->addWidget(sheet_, 1);
    sheetRow->addWidget(encoding_, 2);
    top->addLayout(sheetRow, 1, 1, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(dryRun_);
    buttons->addWidget(import_);
    buttons->addWidget(progress_, 1);
    buttons->addWidget(cancel_);
    buttons->addWidget(saveReport_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(new QLabel(u"列对应（第一行是表头；请确认或改选每列对应的字段）："_s, this));
    layout->addWidget(mapping_, 2);
    layout->addLayout(buttons);
    layout->addWidget(status_);
    layout->addWidget(new QLabel(u"报告："_s, this));
    layout->addWidget(grid_, 3);

    connect(choose_, &QPushButton::clicked, this, &ImportWindow::chooseFileCommand);
    connect(sheet_, &QComboBox::currentIndexChanged, this, &ImportWindow::showSheet);
    connect(dryRun_, &QPushButton::clicked, this, &ImportWindow::dryRunCommand);
    connect(import_, &QPushButton::clicked, this, &ImportWindow::importCommand);
    connect(cancel_, &QPushButton::clicked, this, [this] { cancelRequested_ = true; });
    connect(saveReport_, &QPushButton::clicked, this, &ImportWindow::saveReportCommand);
    connect(close_, &QPushButton::clicked, this, &ImportWindow::reject);
    setBusy(false);

    ui::OpenWindowDatabase(db_);
}

void ImportWindow::reject() {
    if (busy_) {
        cancelRequested_ = true;
        return;
    }
    QDialog::reject();
}

void ImportWindow::setBusy(bool busy) {
    busy_ = busy;
    const bool ready = book_.has_value() && !busy;
    mapping_->setEnabled(!busy);
    close_->setEnabled(!busy);
    choose_->setEnabled(!busy);
    sheet_->setEnabled(ready);
    dryRun_->setEnabled(ready);
    import_->setEnabled(ready);
    cancel_->setEnabled(busy);
    saveReport_->setEnabled(!busy && grid_->table().rowCount() > 1);
}

void ImportWindow::chooseFileCommand() {
    const std::optional<QString> path =
        ui::dialogs().openFile(this, u"导入车辆"_s, QDir::homePath(), u"表格文件 (*.xlsx *.xls *.csv);;所有文件 (*)"_s);
    if (path)
        loadFile(*path);
}

bool ImportWindow::loadFile(const QString& path) {
    ReadOutcome read = ReadWorkbook(path);
    if (!read.book) {
        ui::MessageBox(read.refusal, ui::Buttons::OkExclamation, {}, this);
        return false;
    }
    book_ = std::move(read.book);
    file_->setText(QDir::toNativeSeparators(path));
    QString format = book_->format;
    if (!book_->encoding.isEmpty())
        format += u"，编码 "_s + book_->encoding;
    encoding_->setText(u"格式："_s + format);
    grid_->setTable(report::ReportTable());
    status_->clear();
    {
        const QSignalBlocker block(sheet_);
        sheet_->clear();
        for (const Sheet& s : book_->sheets)
            sheet_->addItem(s.name);
    }
    showSheet(0);
    setBusy(false);
    return true;
}

void ImportWindow::showSheet(int index) {
    mapping_->setRowCount(0);
    if (!book_ || index < 0 || index >= book_->sheets.size())
        return;
    const Sheet& sheet = book_->sheets.at(index);
    const QStringList headers = HeaderCaptions(sheet);
    const ColumnMap map = MatchColumns(headers);
    const QList<SheetCell> example = sheet.rows.value(sheet.headerRows);
    mapping_->setRowCount(int(headers.size()));
    for (int r = 0; r < headers.size(); ++r) {
        mapping_->setItem(r, 0, new QTableWidgetItem(headers.at(r)));
        mapping_->setItem(r, 1, new QTableWidgetItem(example.value(r).text.simplified()));
        auto* combo = new QComboBox(mapping_);
        combo->setObjectName(u"组合框_对应字段%1"_s.arg(r + 1));
        combo->addItem(kNotImported, QString());
        for (const ImportField& f : ImportFields()) {
            const QString label =
                f.caption == f.column || f.caption.isEmpty() ? f.column : u"%1（%2）"_s.arg(f.column, f.caption);
            combo->addItem(label, f.column);
        }
        combo->setCurrentIndex(std::max(0, combo->findData(map.fields.at(r))));
        mapping_->setCellWidget(r, 2, combo);
    }
    status_->setText(map.hasPlate() ? QString() : u"没有找到主车牌号列：请在“对应字段”中指定哪一列是主车牌号。"_s);
}

ColumnMap ImportWindow::currentMap() const {
    ColumnMap map;
    for (int r = 0; r < mapping_->rowCount(); ++r) {
        map.headers << (mapping_->item(r, 0) ? mapping_->item(r, 0)->text() : QString());
        auto* combo = qobject_cast<QComboBox*>(mapping_->cellWidget(r, 2));
        map.fields << (combo ? combo->currentData().toString() : QString());
    }
    return map;
}

std::optional<ImportPlan> ImportWindow::plan() {
    if (!book_)
        return std::nullopt;
    const Sheet* sheet = FindSheet(*book_, sheet_->currentText());
    if (!sheet)
        return std::nullopt;
    PlanOutcome planned = PlanImport(db_, *sheet, currentMap(), store::Today());
    if (!planned.plan) {
        ui::MessageBox(planned.refusal, ui::Buttons::OkExclamation, {}, this);
        return std::nullopt;
    }
    return std::move(planned.plan);
}

void ImportWindow::dryRunCommand() {
    const std::optional<ImportPlan> p = plan();
    if (!p)
        return;
    grid_->setTable(ImportReport(p->rows, ReportKind::DryRun));
    const int refused = int(p->rows.size()) - p->acceptedCount();
    status_->setText(u"试导入：将添加 %1 辆，拒绝 %2 行；数据库没有改动。"_s.arg(p->acceptedCount()).arg(refused));
    setBusy(false);
}

void ImportWindow::importCommand() {
    if (!store::session().OperatorPermissions.增删车辆)
        return;
    store::session().DataModifiedFlag = 1;
    const std::optional<ImportPlan> p = plan();
    if (!p)
        return;
    const int refused = int(p->rows.size()) - p->acceptedCount();
    if (p->acceptedCount() == 0) {
        grid_->setTable(ImportReport(p->rows, ReportKind::DryRun));
        ui::MessageBox(u"没有可以导入的车辆：%1 行都被拒绝，原因见报告。"_s.arg(refused), ui::Buttons::Ok, {}, this);
        setBusy(false);
        return;
    }
    if (ui::MessageBox(u"将导入 %1 辆车辆（拒绝 %2 行），是否继续？"_s.arg(p->acceptedCount()).arg(refused),
                       ui::Buttons::YesNo, u"导入车辆"_s, this) != ui::Answer::Yes)
        return;
    cancelRequested_ = false;
    progress_->setRange(0, p->acceptedCount());
    progress_->setValue(0);
    progress_->setTextVisible(true);
    setBusy(true);
    const RunOutcome run = RunImport(db_, *p, [this](int done, int) {
        progress_->setValue(done);
        // Keeps the window painting and the cancel button answering while the rows are written.
        if (done % 25 == 0)
            QApplication::processEvents();
        return !cancelRequested_;
    });
    grid_->setTable(ImportReport(run.rows, ReportKind::Import));
    setBusy(false);
    const int notAdded = int(run.rows.size()) - run.added;
    if (run.cancelled) {
        progress_->setValue(0);
        status_->setText(u"已取消导入，没有添加任何车辆。"_s);
        ui::MessageBox(u"已取消导入，没有添加任何车辆。"_s, ui::Buttons::Ok, {}, this);
        return;
    }
    if (!run.committed) {
        status_->setText(run.failure);
        ui::MessageBox(run.failure, ui::Buttons::OkExclamation, {}, this);
        return;
    }
    status_->setText(u"导入完成：已添加 %1 辆，拒绝 %2 行。"_s.arg(run.added).arg(notAdded));
    if (onImported)
        onImported();
    ui::MessageBox(u"导入完成：已添加 %1 辆，拒绝 %2 行。"_s.arg(run.added).arg(notAdded), ui::Buttons::Ok, {}, this);
}

void ImportWindow::saveReportCommand() {
    if (grid_->table().rowCount() <= 1)
        return;
    ui::ExportReport(grid_->currentTable(), this);
}

void AttachImportCommand(ui::MainParts& parts) {
    QAction* action = parts.action(u"导入车辆…"_s);
    if (!action)
        return;
    QWidget* window = parts.window;
    QObject::connect(action, &QAction::triggered, window, [&parts, window] {
        if (!store::session().OperatorPermissions.增删车辆)
            return;
        ImportWindow importWindow(window);
        importWindow.onImported = [&parts] {
            if (parts.refreshAlertTree)
                parts.refreshAlertTree();
        };
        importWindow.exec();
    });
}

} // namespace fleetimport
