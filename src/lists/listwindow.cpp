#include "lists/listwindow.h"

#include "store/session.h"
#include "ui/dialogs.h"
#include "ui/mainparts.h"
#include "ui/reportgrid.h"
#include "ui/reportprint.h"
#include "ui/windowsetup.h"

#include <QAction>
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
