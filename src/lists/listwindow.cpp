#include "lists/listwindow.h"

#include "report/exports.h"
#include "store/session.h"
#include "ui/dialogs.h"
#include "ui/mainparts.h"
#include "ui/reportgrid.h"
#include "ui/reportprint.h"
#include "ui/windowsetup.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace lists {

ListSelectorFlags& ListSelector() {
    static ListSelectorFlags flags{};
    return flags;
}

GridCell& GridCurrentCell() {
    static GridCell cell;
    return cell;
}

namespace {

QPushButton* button(QWidget* parent, const QString& name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setMinimumWidth(80);
    return b;
}

QDate referenceMonthDate() {
    const QDate month = store::session().ReferenceMonth;
    return month.isValid() ? month : alerts::MonthStart(store::Today());
}

} // namespace

ListWindow::ListWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(u"ListWindow"_s);
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    title_ = new QLabel(this);
    title_->setObjectName(u"透明标签_打印窗口的标题"_s);
    title_->setAlignment(Qt::AlignCenter);
    QFont titleFont = title_->font();
    titleFont.setPointSize(16);
    titleFont.setBold(true);
    title_->setFont(titleFont);
    layout->addWidget(title_);

    auto* buttons = new QHBoxLayout;
    QPushButton* print = button(this, u"超级按钮_打印"_s, u"打印"_s);
    QPushButton* preview = button(this, u"超级按钮_打印预览"_s, u"打印预览"_s);
    QPushButton* exporting = button(this, u"超级按钮_导出"_s, u"导出"_s);
    buttons->addWidget(print);
    buttons->addWidget(preview);
    buttons->addWidget(exporting);
    QPushButton* notices = button(this, u"超级按钮_车主通知单"_s, u"车主通知单"_s);
    noticeMenu_ = new QMenu(u"车主通知单"_s, this);
    noticeMenu_->setObjectName(u"车主通知单"_s);
    const std::pair<const char16_t*, void (ListWindow::*)()> noticeItems[] = {
        {u"通知单打印预览", &ListWindow::previewNoticesCommand},
        {u"打印通知单", &ListWindow::printNoticesCommand},
        {u"导出通知单", &ListWindow::exportNoticesCommand},
    };
    for (const auto& [caption, command] : noticeItems) {
        QAction* a = noticeMenu_->addAction(QString::fromUtf16(caption));
        a->setObjectName(u"菜单_"_s + QString::fromUtf16(caption));
        connect(a, &QAction::triggered, this, command);
    }
    notices->setMenu(noticeMenu_);
    buttons->addWidget(notices);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    grid_ = new ui::ReportGrid(this);
    layout->addWidget(grid_, 1);

    tableMenu_ = new QMenu(u"表格操作"_s, this);
    tableMenu_->setObjectName(u"表格操作"_s);
    QAction* deleteRow = tableMenu_->addAction(u"删除行"_s);
    deleteRow->setObjectName(u"菜单_删除行"_s);
    QAction* deleteColumn = tableMenu_->addAction(u"删除列"_s);
    deleteColumn->setObjectName(u"菜单_删除列"_s);
    connect(deleteRow, &QAction::triggered, this, &ListWindow::deleteRowCommand);
    connect(deleteColumn, &QAction::triggered, this, &ListWindow::deleteColumnCommand);
    connect(grid_, &ui::ReportGrid::contextMenuRequested, this, [this](const QPoint& at) { tableMenu_->popup(at); });
    connect(grid_, &ui::ReportGrid::currentCellChanged, this, [](int row, int column) {
        GridCurrentCell() = GridCell{row, column};
    });
    ui::ConnectReportButtons(grid_, print, preview, exporting);
    ui::AddReportShortcuts(
        this, [print] { print->click(); }, [exporting] { exporting->click(); });

    // The whole screen, laid out by the layouts above.
    if (QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());

    // The build, once.
    ui::OpenWindowDatabase(db_);
    if (const std::optional<int> list = SelectedList(ListSelector())) {
        build_ = BuildList(db_, *list, store::session().AlertSets, referenceMonthDate());
        setWindowTitle(build_.table.title);
        title_->setText(build_.table.title);
        grid_->setTable(build_.table);
        const GridCell remembered = GridCurrentCell();
        if (remembered.row < build_.table.rowCount() && remembered.column < build_.table.columnCount())
            grid_->setCurrentCell(remembered.row, remembered.column);
        GridCurrentCell() = remembered;
        for (const QString& message : build_.messages)
            ui::MessageBox(message, ui::Buttons::Ok, {}, this);
    }
}

ListWindow::~ListWindow() {
    ListSelector().fill(false);
}

void ListWindow::done(int result) {
    ListSelector().fill(false);
    QDialog::done(result);
}

void ListWindow::deleteRowCommand() {
    grid_->deleteRow(GridCurrentCell().row);
}

void ListWindow::deleteColumnCommand() {
    grid_->deleteColumn(GridCurrentCell().column);
}

NoticeBuild ListWindow::buildNotices() {
    const report::ReportTable shown = grid_->currentTable();
    QStringList plates;
    for (int r = shown.headerRows; r < shown.rowCount(); ++r)
        if (const QString plate = shown.rowKey(r); !plate.isEmpty() && !plates.contains(plate))
            plates << plate;
    return BuildNotices(db_, plates, store::Today(), store::session().OperatorPermissions.费用可见);
}

std::optional<NoticeBuild> ListWindow::noticesToPrint() {
    NoticeBuild notices = buildNotices();
    for (const QString& message : notices.messages)
        ui::MessageBox(message, ui::Buttons::Ok, {}, this);
    if (notices.notices.isEmpty()) {
        ui::MessageBox(u"清单中的车辆没有已到期或即将到期的项目，没有需要通知的车主！"_s, ui::Buttons::Ok, {}, this);
        return std::nullopt;
    }
    if (notices.companyMissing)
        ui::MessageBox(kCompanyMissing, ui::Buttons::Ok, {}, this);
    return notices;
}

void ListWindow::previewNoticesCommand() {
    if (const std::optional<NoticeBuild> notices = noticesToPrint())
        ui::PreviewReport(notices->pages, this);
}

void ListWindow::printNoticesCommand() {
    if (const std::optional<NoticeBuild> notices = noticesToPrint())
        ui::PrintReport(notices->pages, this);
}

// One PDF of all the pages, or a CSV with a row per item and the owner on each row.
void ListWindow::exportNoticesCommand() {
    const std::optional<NoticeBuild> notices = noticesToPrint();
    if (!notices)
        return;
    const QString suggested = QDir(QDir::homePath()).filePath(build_.table.title + kNoticeTitle + u".pdf"_s);
    const std::optional<QString> chosen =
        ui::dialogs().saveFile(this, u"导出通知单"_s, suggested, u"PDF 文件 (*.pdf);;CSV 文件 (*.csv)"_s);
    if (!chosen || chosen->isEmpty())
        return;
    QString path = *chosen;
    if (QFileInfo(path).suffix().isEmpty())
        path += u".pdf"_s;
    const std::optional<report::ExportFormat> format = report::FormatForPath(path);
    if (format != report::ExportFormat::Pdf && format != report::ExportFormat::Csv) {
        ui::MessageBox(u"通知单只能导出为 PDF（.pdf）或 CSV（.csv）文件！"_s, ui::Buttons::Ok, {}, this);
        return;
    }
    QString error;
    const report::ReportTable& table = *format == report::ExportFormat::Pdf ? notices->pages : notices->rows;
    if (!report::WriteReport(table, path, *format, &error)) {
        ui::MessageBox(u"导出失败！"_s + (error.isEmpty() ? QString() : u"\n"_s + error), ui::Buttons::Ok, {}, this);
        return;
    }
    ui::MessageBox(u"导出成功！"_s, ui::Buttons::Ok, {}, this);
}

void OpenList(QWidget* parent, int list) {
    if (list < 0 || list >= kListCount)
        return;
    ListSelector()[list] = true;
    ListWindow window(parent);
    ui::ShowFillingScreen(&window);
    window.exec();
}

void AttachListCommands(ui::MainParts& parts) {
    for (int i = 0; i < kListCount; ++i) {
        QAction* action = parts.action(Lists()[i].menuItem);
        if (!action)
            continue;
        QWidget* window = parts.window;
        QObject::connect(action, &QAction::triggered, window, [window, i] { OpenList(window, i); });
    }
}

} // namespace lists
