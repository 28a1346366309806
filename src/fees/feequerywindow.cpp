#include "feequerywindow.h"

#include "store/schema.h"
#include "store/session.h"
#include "store/target.h"
#include "ui/dialogs.h"
#include "ui/mainparts.h"
#include "ui/reportgrid.h"
#include "ui/reportprint.h"
#include "ui/widgets.h"
#include "ui/windowsetup.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace fees {

namespace {

constexpr int kGridWidth = 895; // the report grid's width, centred on the screen

QLabel* label(const QString& name, const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

QPushButton* button(const QString& name, const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    b->setMinimumHeight(28);
    return b;
}

} // namespace

FeeQueryWindow::FeeQueryWindow(QWidget* owner) : QDialog(owner) {
    setObjectName(u"FeeQueryWindow"_s);
    setWindowTitle(u"查询参数设置窗口"_s);
    setModal(true);
    resize(459, 381);

    form_ = new QGroupBox(u"设置查询参数"_s, this);
    form_->setObjectName(u"分组框_查询参数设置"_s);
    form_->setFixedSize(442, 336);
    vehicleBox_ = new QComboBox(form_);
    vehicleBox_->setObjectName(u"组合框_车号"_s);
    vehicleBox_->setEditable(true);
    // A typed plate is looked up as typed; it never becomes an item of the list.
    vehicleBox_->setInsertPolicy(QComboBox::NoInsert);
    fromBox_ = new ui::DateBox(u"日期框_起始"_s, form_);
    toBox_ = new ui::DateBox(u"日期框_截止"_s, form_);
    const QDate today = store::Today();
    fromBox_->setDate(QDate(today.year(), 1, 1));
    toBox_->setDate(today);
    itemBox_ = new QComboBox(form_);
    itemBox_->setObjectName(u"组合框_项目"_s);
    itemBox_->addItems(ItemTexts());
    okButton_ = button(u"超级按钮_参数确定"_s, u"确定"_s, form_);
    cancelButton_ = button(u"超级按钮_参数取消"_s, u"取消"_s, form_);

    auto* fields = new QGridLayout;
    fields->setVerticalSpacing(18);
    fields->addWidget(label(u"透明标签_输入车号"_s, u"请选择输入欲车号："_s, form_), 0, 0);
    fields->addWidget(vehicleBox_, 0, 1);
    fields->addWidget(label(u"透明标签_起始日期"_s, u"请选择起始日期："_s, form_), 1, 0);
    fields->addWidget(fromBox_, 1, 1);
    fields->addWidget(label(u"透明标签_截止日期"_s, u"请选择截止日期："_s, form_), 2, 0);
    fields->addWidget(toBox_, 2, 1);
    fields->addWidget(label(u"透明标签_项目"_s, u"请选择欲查询项目："_s, form_), 3, 0);
    fields->addWidget(itemBox_, 3, 1);
    fields->setColumnStretch(1, 1);
    auto* formButtons = new QHBoxLayout;
    formButtons->addStretch(1);
    formButtons->addWidget(okButton_);
    formButtons->addSpacing(24);
    formButtons->addWidget(cancelButton_);
    formButtons->addStretch(1);
    auto* formLayout = new QVBoxLayout(form_);
    formLayout->setContentsMargins(24, 24, 24, 24);
    formLayout->addLayout(fields);
    formLayout->addStretch(1);
    formLayout->addLayout(formButtons);

    reportPart_ = new QWidget(this);
    reportPart_->setObjectName(u"报表区域"_s);
    titleLabel_ = label(u"透明标签_打印窗口的标题"_s, QString(), reportPart_);
    titleLabel_->setAlignment(Qt::AlignCenter);
    printButton_ = button(u"超级按钮_打印"_s, u"打印"_s, reportPart_);
    previewButton_ = button(u"超级按钮_打印预览"_s, u"打印预览"_s, reportPart_);
    exportButton_ = button(u"超级按钮_导出"_s, u"导出"_s, reportPart_);
    grid_ = new ui::ReportGrid(reportPart_);
    grid_->setFixedWidth(kGridWidth);
    ui::ConnectReportButtons(grid_, printButton_, previewButton_, exportButton_);
    // The shortcuts act only once the report is shown (the buttons are hidden before).
    ui::AddReportShortcuts(
        this,
        [this] {
            if (printButton_->isVisible())
                printButton_->click();
        },
        [this] {
            if (exportButton_->isVisible())
                exportButton_->click();
        });
    auto* reportButtons = new QHBoxLayout;
    reportButtons->addWidget(printButton_);
    reportButtons->addWidget(previewButton_);
    reportButtons->addWidget(exportButton_);
    reportButtons->addStretch(1);
    auto* gridColumn = new QVBoxLayout;
    gridColumn->addLayout(reportButtons);
    gridColumn->addWidget(grid_, 1);
    auto* centred = new QHBoxLayout;
    centred->addStretch(1);
    centred->addLayout(gridColumn);
    centred->addStretch(1);
    auto* reportLayout = new QVBoxLayout(reportPart_);
    reportLayout->setContentsMargins(0, 0, 0, 0);
    reportLayout->addWidget(titleLabel_);
    reportLayout->addLayout(centred, 1);
    reportPart_->hide();

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(form_, 0, Qt::AlignCenter);
    outer->addWidget(reportPart_, 1);

    connect(okButton_, &QPushButton::clicked, this, [this] { buildReport(); });
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);

    // The window goes on without a database: only the list of plates stays empty.
    if (!store::OpenTarget(db_))
        ui::MessageBox(u"数据库丢失！"_s, ui::Buttons::Ok, {}, this);
    vehicleBox_->addItem(AllVehiclesText());
    if (db_.IsOpen())
        fillVehicleList();
    vehicleBox_->setCurrentIndex(0);
}

FeeQueryWindow::~FeeQueryWindow() = default;

void FeeQueryWindow::fillVehicleList() {
    const std::optional<QStringList> plates = ReadPlates(db_);
    if (!plates) {
        ui::MessageBox(u"查询失败！"_s, ui::Buttons::Ok, {}, this);
        return;
    }
    vehicleBox_->addItems(*plates);
}

bool FeeQueryWindow::vehicleTyped() const {
    const int index = vehicleBox_->currentIndex();
    return index < 0 || vehicleBox_->itemText(index) != vehicleBox_->currentText();
}

void FeeQueryWindow::layOutForScreen() {
    if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
    if (isVisible())
        ui::ShowFillingScreen(this);
}

bool FeeQueryWindow::buildReport() {
    layOutForScreen();
    FeeRequest request;
    request.vehicleText = vehicleBox_->currentText();
    request.typed = vehicleTyped();
    request.from = fromBox_->date();
    request.to = toBox_->date();
    request.item = itemBox_->currentIndex();
    FeeReport report = BuildFeeReport(db_, request);
    if (!report.choice.ok) {
        ui::MessageBox(report.choice.message, report.choice.warning ? ui::Buttons::OkExclamation : ui::Buttons::Ok, {},
                       this);
        return false;
    }
    showReportPart();
    titleLabel_->setText(report.labelText);
    setWindowTitle(u"费用明细"_s);
    for (const QString& message : report.statistics.messages)
        ui::MessageBox(message, ui::Buttons::Ok, {}, this);
    grid_->setTable(report.table);
    fitGridToReport(report);
    reportShown_ = true;
    return true;
}

void FeeQueryWindow::fitGridToReport(const FeeReport& report) {
    // The plate column keeps its designed 60 pixels unless a plate would be cut off in this font;
    // printing and export take the widths the grid shows.
    int plateWidth = ColumnWidth(1);
    for (const VehicleFees& vehicle : report.statistics.vehicles)
        plateWidth = std::max(plateWidth, grid_->fontMetrics().horizontalAdvance(vehicle.plate) + 16);
    plateWidth = std::max(plateWidth, grid_->fontMetrics().horizontalAdvance(TotalRowText()) + 16);
    grid_->setColumnWidth(1, plateWidth);
    // At least the designed width; wider, up to the window, when the seventeen columns need it.
    int width = 2 * grid_->frameWidth() + grid_->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < grid_->model()->columnCount(); ++c)
        width += grid_->columnWidth(c);
    const int room = this->width() - 2 * layout()->contentsMargins().left();
    grid_->setFixedWidth(std::max(kGridWidth, std::min(width, room)));
}

void FeeQueryWindow::showReportPart() {
    form_->hide();
    reportPart_->show();
}

void AttachFeeQuery(ui::MainParts& parts) {
    QWidget* window = parts.window;
    if (QAction* a = parts.action(u"缴费查询"_s))
        QObject::connect(a, &QAction::triggered, window, [window] {
            FeeQueryWindow w(window);
            w.exec();
        });
}

} // namespace fees
