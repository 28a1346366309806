#pragma once

#include <QHash>
#include <QString>

#include <functional>
#include <vector>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;
class QTimer;
class QTreeWidget;
class QWidget;

namespace store {
class DatabaseConnection;
}

namespace ui {

// The main window's frame as the feature modules see it. The application builds the frame and
// hands this to each module, which adds its controls and connects its commands; modules reach
// one another only through the hooks below, so none of them depends on another's window code.
struct MainParts {
    QWidget* window = nullptr;
    store::DatabaseConnection* db = nullptr; // 外部数据库1 of the main window
    QTabWidget* tabs = nullptr;              // 高级选择夹1
    QGroupBox* pages[7] = {};                // 分组框_基本信息 … 分组框_查询
    QTreeWidget* tree = nullptr;             // 树型框
    QGroupBox* searchGroup = nullptr;        // 分组框_搜索
    QGroupBox* photoGroup = nullptr;         // 分组框_照片
    QLabel* statusTip = nullptr;             // 标签_状态提示
    QHash<QString, QMenu*> menus;            // top-level menus by caption
    QHash<QString, QAction*> actions;        // menu items by caption
    QHash<QString, QPushButton*> buttons;    // tool buttons by objectName

    // Filled by the modules that own them; empty hooks do nothing.
    std::function<void()> refreshAlertTree;
    std::function<void(const QString& plate)> loadVehicle;
    std::function<void()> backup;
    // Run before another vehicle is shown: offers to save the modified page of the vehicle still
    // shown, then forgets the edits, which belong to that vehicle alone.
    std::function<void()> leavingVehicle;

    // Start-up work run after the database is open and the permissions are known, in the
    // order the modules were attached (presets, list columns, fee controls).
    std::vector<std::function<void()>> startupSteps;

    // Checked like every control lookup: an unknown caption or name stops a strict run (tests)
    // and reads as null otherwise.
    QAction* action(const QString& caption) const;
    QPushButton* button(const QString& name) const;
};

} // namespace ui
