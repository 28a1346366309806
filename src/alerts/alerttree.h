#pragma once

#include <Qt>

class QTreeWidget;
class QTreeWidgetItem;

namespace ui {
struct MainParts;
}

namespace alerts {

// Item data role holding an item's kind value: 1 for the nineteen nodes, 2 for a vehicle item.
inline constexpr int kItemKindRole = Qt::UserRole;
inline constexpr int kNodeItem = 1;
inline constexpr int kVehicleItem = 2;

// Connects the tree's reactions and the alert menu commands, and installs parts.refreshAlertTree.
void AttachAlertTree(ui::MainParts& parts);

// Rebuilds the tree, the session's AlertSets and the enabled state of the alert menu items from
// the main window's database, writing the lapse flags; shows the failure messages afterwards.
void RefreshAlertTree(ui::MainParts& parts);

// Opens (expands) node k, addressed by its flat index in the current AlertSets, and shows its tip.
void OpenAlertNode(ui::MainParts& parts, int node);

// An item's position in a pre-order walk over the whole tree, counted from 0; -1 when absent.
int FlatIndexOf(const QTreeWidget* tree, const QTreeWidgetItem* item);
QTreeWidgetItem* ItemAtFlatIndex(const QTreeWidget* tree, int index);

} // namespace alerts
