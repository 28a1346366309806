#include "mainwindow.h"

#include "signinwindow.h"
#include "store/backup.h"
#include "store/migrate.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/target.h"
#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/widgets.h"
#include "ui/windowsetup.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStandardPaths>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace app {

namespace {

struct MenuEntry {
    const char* caption;
    std::initializer_list<const char*> items;
};

// The main menu: top-level captions and their items, in order.
const std::initializer_list<MenuEntry> kMenus = {
    {"文件", {"导入车辆…", "备份", "退出"}},
    {"编辑", {"复制", "剪切", "粘贴"}},
    {"车辆管理", {"删除车辆", "增加车辆", "保存增加车辆"}},
    {"车辆预警",
     {"预警年审车辆", "预警二维车辆", "预警保险车辆", "预警管理车辆", "预警营运车辆", "本月需审车辆", "本月需维车辆",
      "本月需保车辆", "本月需管车辆", "本月需营车辆", "脱审车辆", "脱维车辆", "脱保车辆", "脱管车辆", "脱营车辆"}},
    {"车辆清单",
     {"公司车辆台账清单", "预警年审车辆清单", "预警二维车辆清单", "预警保险车辆清单", "预警管理车辆清单",
      "预警营运车辆清单", "本月需审车辆清单", "本月需维车辆清单", "本月需保车辆清单", "本月需管车辆清单",
      "本月需营车辆清单", "脱审车辆清单", "脱维车辆清单", "脱保车辆清单", "脱管车辆清单", "脱营车辆清单",
      "拉黑车辆清单"}},
    {"保险理赔", {"报险清单"}},
    {"统计查询", {"缴费查询"}},
    {"设置", {"权限设置", "投保险种设置", "公司信息设置"}},
    {"帮助", {"及时帮助", "联系我们"}},
};

struct ButtonEntry {
    const char* name;
    const char* caption;
};

const std::initializer_list<ButtonEntry> kButtons = {
    {"超级按钮_增加车辆", "增加车辆"}, {"超级按钮_保存增加", "保存增加"}, {"超级按钮_删除车辆", "删除车辆"},
    {"超级按钮_加记录", "加记录"},     {"超级按钮_修改记录", "修改记录"}, {"超级按钮_删除记录", "删除记录"},
    {"超级按钮_刷新", "刷新"},         {"超级按钮_数据备份", "数据备份"},
};

const char* const kTabCaptions[7] = {"车辆具体信息", "审车信息",   "二级维护信息", "保险信息",
                                     "管理费用信息", "营运证信息", "违章查询"};
const char* const kPageGroups[7] = {"分组框_基本信息", "分组框_审车",   "分组框_二级维护", "分组框_保险",
                                    "分组框_管理费用", "分组框_营运证", "分组框_查询"};

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName(u"MainWindow"_s);
    setWindowTitle(u"Velmora"_s);
    setAttribute(Qt::WA_DeleteOnClose, false);
    parts_.window = this;
    parts_.db = &db_;
    parts_.backup = [this] { backupCommand(); };
    buildMenus();
    buildFrame();

    clock1_ = new QTimer(this); // period 0, no handler: kept only because the form has it
    clock1_->setObjectName(u"时钟1"_s);
    clock2_ = new QTimer(this);
    clock2_->setObjectName(u"时钟2"_s);
    clock2_->setInterval(100);
    connect(clock2_, &QTimer::timeout, this, &MainWindow::updateReferenceMonth);
    updateReferenceMonth();
    clock2_->start();

    connect(parts_.action(u"退出"_s), &QAction::triggered, this, &MainWindow::exitCommand);
    connect(parts_.action(u"备份"_s), &QAction::triggered, this, &MainWindow::backupCommand);
    connect(parts_.button(u"超级按钮_数据备份"_s), &QPushButton::clicked, this, &MainWindow::backupCommand);
    connect(parts_.button(u"超级按钮_刷新"_s), &QPushButton::clicked, this, [this] {
        if (parts_.refreshAlertTree)
            parts_.refreshAlertTree();
    });

    AttachModules(parts_);
    buildKeyboard();
}

void MainWindow::buildKeyboard() {
    // Everyday commands. Menu items show their keys beside the caption; the tool buttons show
    // theirs in the tooltip.
    parts_.action(u"退出"_s)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    parts_.action(u"及时帮助"_s)->setShortcut(QKeySequence(Qt::Key_F1));
    if (QPushButton* refresh = parts_.button(u"超级按钮_刷新"_s)) {
        refresh->setShortcut(QKeySequence(Qt::Key_F5));
        refresh->setToolTip(u"刷新预警 (F5)"_s);
    }
    auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    find->setObjectName(u"快捷键_搜索"_s);
    connect(find, &QShortcut::activated, this, [this] {
        auto* box = ui::FindControl<ui::LabeledEdit>(this, u"带标签编辑框_搜索内容"_s);
        if (!box || !box->isEnabled())
            return;
        box->lineEdit()->setFocus(Qt::ShortcutFocusReason);
        box->lineEdit()->selectAll();
    });
    if (auto* box = ui::FindControl<ui::LabeledEdit>(this, u"带标签编辑框_搜索内容"_s))
        box->lineEdit()->setPlaceholderText(u"Ctrl+F"_s);

    // F10, and Alt pressed and released alone, open the menu bar as on the operator's other
    // programs; the arrow keys and Enter then work the menus.
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    menuKey->setObjectName(u"快捷键_菜单"_s);
    connect(menuKey, &QShortcut::activated, this, &MainWindow::activateMenuBar);
    if (!style()->styleHint(QStyle::SH_MenuBar_AltKeyNavigation, nullptr, menuBar()))
        qApp->installEventFilter(this);
}

void MainWindow::activateMenuBar() {
    for (QAction* action : menuBar()->actions()) {
        if (action->isVisible() && !action->isSeparator()) {
            menuBar()->setFocus(Qt::MenuBarFocusReason);
            menuBar()->setActiveAction(action);
            return;
        }
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        // Only keys meant for this window (not for a dialog over it), each seen once: the
        // filter sees an event at every object it passes.
        if (widget && widget->window() == this && !key->isAutoRepeat() && watched == QApplication::focusWidget()) {
            if (event->type() == QEvent::KeyPress)
                altAlone_ = key->key() == Qt::Key_Alt && key->modifiers() == Qt::AltModifier;
            else if (key->key() == Qt::Key_Alt && altAlone_) {
                altAlone_ = false;
                if (menuBar()->activeAction())
                    menuBar()->setActiveAction(nullptr);
                else
                    activateMenuBar();
            }
        }
    } else if (event->type() == QEvent::MouseButtonPress) {
        altAlone_ = false;
    }
    return QMainWindow::eventFilter(watched, event);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenus() {
    for (const MenuEntry& m : kMenus) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(m.caption));
        menu->setObjectName(u"菜单_"_s + QString::fromUtf8(m.caption));
        menu->menuAction()->setObjectName(u"菜单_"_s + QString::fromUtf8(m.caption));
        parts_.menus.insert(QString::fromUtf8(m.caption), menu);
        for (const char* item : m.items) {
            QAction* action = menu->addAction(QString::fromUtf8(item));
            action->setObjectName(u"菜单_"_s + QString::fromUtf8(item));
            parts_.actions.insert(QString::fromUtf8(item), action);
        }
    }
    // 粘贴 stays off until a copy has put text on the clipboard.
    parts_.action(u"粘贴"_s)->setEnabled(false);
}

void MainWindow::buildFrame() {
    auto* central = new QWidget(this);
    central->setObjectName(u"中央区域"_s);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(4, 4, 4, 2);
    outer->setSpacing(4);

    auto* toolbar = new QHBoxLayout;
    toolbar->setSpacing(4);
    for (const ButtonEntry& b : kButtons) {
        auto* button = new QPushButton(QString::fromUtf8(b.caption), central);
        button->setObjectName(QString::fromUtf8(b.name));
        button->setMinimumHeight(30);
        toolbar->addWidget(button);
        parts_.buttons.insert(QString::fromUtf8(b.name), button);
    }
    toolbar->addStretch(1);
    outer->addLayout(toolbar);

    auto* middle = new QHBoxLayout;
    middle->setSpacing(4);

    auto* left = new QVBoxLayout;
    parts_.searchGroup = new QGroupBox(u"搜索"_s, central);
    parts_.searchGroup->setObjectName(u"分组框_搜索"_s);
    parts_.searchGroup->setFixedWidth(220);
    left->addWidget(parts_.searchGroup);
    parts_.tree = new QTreeWidget(central);
    parts_.tree->setObjectName(u"树型框"_s);
    parts_.tree->setHeaderHidden(true);
    parts_.tree->setFixedWidth(220);
    // The two display options of the tree: connecting lines and expand buttons.
    parts_.tree->setRootIsDecorated(true);
    parts_.tree->setAnimated(false);
    left->addWidget(parts_.tree, 1);
    middle->addLayout(left);

    parts_.tabs = new QTabWidget(central);
    parts_.tabs->setObjectName(u"高级选择夹1"_s);
    for (int i = 0; i < 7; ++i) {
        auto* page = new QWidget;
        page->setObjectName(u"页面_%1"_s.arg(i));
        auto* pageLayout = new QVBoxLayout(page);
        pageLayout->setContentsMargins(4, 4, 4, 4);
        auto* group = new QGroupBox(page);
        group->setObjectName(QString::fromUtf8(kPageGroups[i]));
        pageLayout->addWidget(group);
        parts_.pages[i] = group;
        parts_.tabs->addTab(page, QString::fromUtf8(kTabCaptions[i]));
    }
    middle->addWidget(parts_.tabs, 1);

    parts_.photoGroup = new QGroupBox(u"证件照片"_s, central);
    parts_.photoGroup->setObjectName(u"分组框_照片"_s);
    parts_.photoGroup->setFixedWidth(210);
    auto* photos = new QVBoxLayout(parts_.photoGroup);
    photos->setSpacing(2);
    auto addCaption = [&](const char* text, const char* name) {
        auto* label = new QLabel(QString::fromUtf8(text), parts_.photoGroup);
        label->setObjectName(QString::fromUtf8(name));
        photos->addWidget(label);
    };
    auto addPicture = [&](const char* name, QBoxLayout* into) {
        auto* box = new ui::PictureBox(QString::fromUtf8(name), parts_.photoGroup);
        into->addWidget(box, 1);
    };
    addCaption("车主身份证信息", "透明标签_车主身份证信息");
    addPicture("图片框_身份证", photos);
    addCaption("车辆照片信息", "透明标签_车辆照片信息");
    auto* vehiclePhotos = new QVBoxLayout;
    addPicture("图片框_车辆照片1", vehiclePhotos);
    addPicture("图片框_车辆照片2", vehiclePhotos);
    photos->addLayout(vehiclePhotos, 2);
    addCaption("行车证信息", "透明标签_行车证信息");
    auto* licences = new QVBoxLayout;
    addPicture("图片框_行车证1", licences);
    addPicture("图片框_行车证2", licences);
    photos->addLayout(licences, 2);
    middle->addWidget(parts_.photoGroup);
    outer->addLayout(middle, 1);

    auto* bar = new QGroupBox(central);
    bar->setObjectName(u"分组框_下标"_s);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(6, 2, 6, 2);
    parts_.statusTip = new QLabel(bar);
    parts_.statusTip->setObjectName(u"标签_状态提示"_s);
    parts_.statusTip->setMinimumWidth(400);
    databaseLabel_ = new QLabel(bar);
    databaseLabel_->setObjectName(u"标签_数据库"_s);
    auto* company = new QLabel(u"Velmora 车辆档案管理系统"_s, bar);
    company->setObjectName(u"标签_软件公司"_s);
    company->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    barLayout->addWidget(parts_.statusTip, 1);
    barLayout->addWidget(databaseLabel_);
    barLayout->addWidget(company, 1);
    outer->addWidget(bar);

    setCentralWidget(central);
}

bool MainWindow::initialise(const SignInStep& signIn) {
    // Fill the screen's available area (less the task bars), as the layouts size everything
    // inside. move() places the frame, so the title bar stays on screen; the window is shown
    // maximised by ui::ShowFillingScreen.
    if (QScreen* screen = QApplication::primaryScreen()) {
        const QRect r = screen->availableGeometry();
        move(r.topLeft());
        resize(r.width(), qMax(600, r.height() - 30));
    }

    // Told once at start-up, without holding it up: the file may hold the server's password.
    if (const QString warning = store::SettingsWarning(); !warning.isEmpty())
        ui::dialogs().notice(this, warning, u"设置文件"_s);

    // The main window's connection is opened before the sign-in window's, so that the two
    // share one open file: the key is derived and the schema read once. A failure is reported
    // after the sign-in, by the same open that reports it in every window.
    const store::DatabaseTargetInfo where = store::DatabaseTarget();
    const QString target = where.text();
    // A lost server connection is told at once, whichever window's statement met it.
    store::DatabaseConnection::SetConnectionLostHandler([](const QString& message) { ui::MessageBox(message); });
    if (!store::TargetMissing(target))
        store::OpenTarget(db_, target);
    // Without its server the program cannot do anything: it says why and ends.
    if (where.isServer() && !db_.IsOpen()) {
        ui::MessageBox(u"数据库打开失败！\n"_s + db_.LastError());
        return false;
    }

    const bool signedIn = signIn ? signIn(this) : [this] {
        SignInWindow window(this);
        return window.exec() == QDialog::Accepted;
    }();
    if (!signedIn) {
        db_.CloseDatabase();
        return false;
    }

    if (!db_.IsOpen())
        ui::OpenWindowDatabase(db_);
    databaseLabel_->setText(db_.IsOpen() ? u"数据库：%1"_s.arg(db_.Describe()) : QString());

    for (const auto& step : parts_.startupSteps)
        step();

    ui::SetTabColours(parts_.tabs, 0, 0xffffff, 0xffff00, 0xffffff);
    ui::SetTabColours(parts_.tabs, 6, 0xffffff, 0xffff00, 0xffffff);
    applyPermissions();

    if (parts_.refreshAlertTree)
        parts_.refreshAlertTree();
    return true;
}

void MainWindow::applyPermissions() {
    const store::Permissions& p = store::session().OperatorPermissions;
    if (QMenu* settings = ui::MainMenu(parts_, u"设置"_s))
        settings->menuAction()->setVisible(p.权限设置);
    if (QMenu* statistics = ui::MainMenu(parts_, u"统计查询"_s))
        statistics->menuAction()->setVisible(p.统计查询);
    if (!p.增删车辆) {
        // The items themselves, not only their menu: the same menu also pops up over the tree.
        if (QMenu* vehicles = ui::MainMenu(parts_, u"车辆管理"_s))
            vehicles->menuAction()->setEnabled(false);
        for (const char* item : {"删除车辆", "增加车辆", "保存增加车辆"})
            parts_.action(QString::fromUtf8(item))->setEnabled(false);
        parts_.action(u"备份"_s)->setEnabled(false);
        parts_.action(u"导入车辆…"_s)->setEnabled(false);
        for (const char* name : {"超级按钮_数据备份", "超级按钮_增加车辆", "超级按钮_删除车辆", "超级按钮_保存增加"})
            parts_.button(QString::fromUtf8(name))->setEnabled(false);
    }
}

void MainWindow::updateReferenceMonth() {
    const QDate today = store::Today();
    store::session().ReferenceMonth = QDate(today.year(), today.month(), 1);
}

void MainWindow::exitCommand() {
    if (ui::MessageBox(u"真的要退出吗？"_s, ui::Buttons::YesNo) != ui::Answer::Yes)
        return;
    // The closing question may still keep the window open (取消): the connection is closed
    // only once the window really closes.
    if (close())
        db_.CloseDatabase();
}

void MainWindow::backupCommand() {
    (void)runBackup();
}

bool MainWindow::runBackup() {
    // The design's default name and extension, in the user's desktop folder.
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const auto target =
        ui::dialogs().saveFile(this, u"数据备份"_s, QDir(desktop).filePath(u"clxx.mdb"_s), u"数据库文件 (*.mdb)"_s);
    if (!target)
        return false;
    QString destination = *target;
    if (QFileInfo(destination).suffix().isEmpty())
        destination += u".mdb"_s;
    const QString source = store::DatabaseTarget().text();
    if (!store::IsServerTarget(source) &&
        QFileInfo(source).absoluteFilePath() == QFileInfo(destination).absoluteFilePath()) {
        ui::MessageBox(u"数据备份失败：不能备份到数据库文件本身！"_s);
        return false;
    }
    // A consistent snapshot, checked before it replaces anything at the chosen name; from a
    // server an ordinary encrypted file of the same tables, read in one read-only snapshot.
    QString reason;
    if (!store::BackupTarget(source, destination, &reason)) {
        // The cause goes with it (a full disk, a folder that cannot be written, a damaged file).
        ui::MessageBox(u"数据备份失败！"_s + (reason.isEmpty() ? QString() : u"\n"_s + reason));
        return false;
    }
    ui::MessageBox(u"数据备份成功！"_s);
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // With changed data the operator is offered a backup. 取消 goes back to work: the operator
    // pressed it to stay, not to quit without a backup. 是 followed by a cancelled (or failed)
    // backup asks again, so the program never ends without the backup the operator asked for.
    if (store::session().DataModifiedFlag == 1) {
        for (;;) {
            const ui::Answer answer =
                ui::MessageBox(u"当前数据已经被修改，请问是否备份？"_s, ui::Buttons::YesNoCancel, u"询问:"_s, this);
            if (answer == ui::Answer::Cancel) {
                event->ignore();
                return;
            }
            if (answer == ui::Answer::No || runBackup())
                break;
        }
    }
    db_.CloseDatabase();
    event->accept();
}

} // namespace app
