#pragma once

#include <QMainWindow>

#include "store/database.h"
#include "ui/mainparts.h"

#include <functional>

class QTimer;

class QLabel;

namespace app {

// The program's hub: menus, tool buttons, the record tabs, the alert tree, the search and photo
// groups and the status bar. The feature modules attach their controls and commands to it.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Shows the sign-in modally over the window and returns true when an operator signed in.
    using SignInStep = std::function<bool(QWidget* owner)>;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence after the frame is built: sign-in, database, presets, permissions,
    // the alert tree. Returns false when the sign-in was cancelled (the program then ends).
    bool initialise(const SignInStep& signIn = {});

    ui::MainParts& parts() { return parts_; }
    store::DatabaseConnection& database() { return db_; }

    // 退出: asks, then closes the connection and the window.
    void exitCommand();
    // 备份: copies the database file to a place the operator chooses.
    void backupCommand();
    // The backup itself; true when a copy was written.
    bool runBackup();
    // Opens the menu bar at its first menu, as F10 and a lone Alt do.
    void activateMenuBar();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildFrame();
    void buildKeyboard();
    void applyPermissions();
    void updateReferenceMonth();

    store::DatabaseConnection db_; // 外部数据库1
    ui::MainParts parts_;
    QTimer* clock1_ = nullptr;        // 时钟1
    QTimer* clock2_ = nullptr;        // 时钟2
    bool altAlone_ = false;           // Alt is down and no other key came with it
    QLabel* databaseLabel_ = nullptr; // which database is open: file path or server host/db
};

// Every module's attach function, in the order the start-up relies on.
void AttachModules(ui::MainParts& parts);

} // namespace app
