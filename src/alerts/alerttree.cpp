#include "alerts/alerttree.h"

#include "alerts/rules.h"
#include "store/session.h"
#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/mainparts.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace alerts {

namespace {

int subtreeSize(const QTreeWidgetItem* item) {
    int size = 1;
    for (int i = 0; i < item->childCount(); ++i)
        size += subtreeSize(item->child(i));
    return size;
}

int itemKind(const QTreeWidgetItem* item) {
    return item ? item->data(0, kItemKindRole).toInt() : 0;
}

QTreeWidgetItem* newItem(const QString& text, int kind) {
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, kItemKindRole, kind);
    return item;
}

QDate referenceMonth() {
    const QDate month = store::session().ReferenceMonth;
    return month.isValid() ? MonthStart(month) : MonthStart(store::Today());
}

// A node was opened: nodes 0 to 16 show their count in the status line; the two nodes of the
// vehicles that left the company and the vehicle items leave it as it is.
void nodeOpened(ui::MainParts& parts, QTreeWidgetItem* item) {
    if (!parts.statusTip || !item)
        return;
    const int index = FlatIndexOf(parts.tree, item);
    const AlertSetList& sets = store::session().AlertSets;
    for (int k = 0; k <= kBlacklistNode; ++k) {
        if (index == NodeFlatIndex(sets, k)) {
            parts.statusTip->setText(u"       提示："_s + item->text(0) + u"共"_s + QString::number(sets[k].size()) +
                                     u"辆"_s);
            return;
        }
    }
}

void vehicleChosen(ui::MainParts& parts, QTreeWidgetItem* item) {
    if (itemKind(item) != kVehicleItem)
        return;
    // The question about unsaved edits concerns the vehicle still shown, and its answer may
    // rebuild the tree (deleting item): take the plate first.
    const QString plate = item->text(0);
    if (parts.leavingVehicle)
        parts.leavingVehicle();
    store::session().CurrentPlate = plate;
    if (parts.loadVehicle)
        parts.loadVehicle(plate);
    if (parts.tabs)
        parts.tabs->setCurrentIndex(0);
}

} // namespace

int FlatIndexOf(const QTreeWidget* tree, const QTreeWidgetItem* item) {
    if (!tree || !item || item->treeWidget() != tree)
        return -1;
    // Everything before the item in pre-order: its ancestors, and each earlier sibling's subtree
    // at every level on the way up.
    int index = 0;
    const QTreeWidgetItem* current = item;
    while (current) {
        const QTreeWidgetItem* parent = current->parent();
        const int position = parent ? parent->indexOfChild(const_cast<QTreeWidgetItem*>(current))
                                    : tree->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(current));
        for (int i = 0; i < position; ++i)
            index += subtreeSize(parent ? parent->child(i) : tree->topLevelItem(i));
        if (parent)
            index += 1;
        current = parent;
    }
    return index;
}

QTreeWidgetItem* ItemAtFlatIndex(const QTreeWidget* tree, int index) {
    if (!tree || index < 0)
        return nullptr;
    int remaining = index;
    QTreeWidgetItem* parent = nullptr;
    int count = tree->topLevelItemCount();
    for (;;) {
        bool descended = false;
        for (int i = 0; i < count; ++i) {
            QTreeWidgetItem* candidate = parent ? parent->child(i) : tree->topLevelItem(i);
            const int size = subtreeSize(candidate);
            if (remaining >= size) {
                remaining -= size;
                continue;
            }
            if (remaining == 0)
                return candidate;
            remaining -= 1;
            parent = candidate;
            count = candidate->childCount();
            descended = true;
            break;
        }
        if (!descended)
            return nullptr;
    }
}

void RefreshAlertTree(ui::MainParts& parts) {
    AlertSetList& sets = store::session().AlertSets;
    for (QStringList& members : sets)
        members.clear();
    for (const QString& caption : AlertMenuItems())
        if (QAction* action = parts.action(caption))
            action->setEnabled(false);

    AlertResult result;
    if (parts.db)
        result = ComputeAlerts(*parts.db, referenceMonth());
    else
        result.messages = QStringList(17, u"查询失败！"_s);

    if (QTreeWidget* tree = parts.tree) {
        // What the operator had open and chosen survives the rebuild: the open nodes and the
        // chosen vehicle under its node (or, when it left that node, under the first node that
        // still holds it).
        QList<bool> wasOpen(kNodeCount, false);
        for (int k = 0; k < kNodeCount && k < tree->topLevelItemCount(); ++k)
            wasOpen[k] = tree->topLevelItem(k)->isExpanded();
        QString chosenPlate;
        int chosenNode = -1;
        if (QTreeWidgetItem* current = tree->currentItem(); itemKind(current) == kVehicleItem) {
            chosenPlate = current->text(0);
            chosenNode = current->parent() ? tree->indexOfTopLevelItem(current->parent()) : -1;
        }

        // Rebuilding replaces every item; the selection this drops is no choice of the operator,
        // and restoring it loads nothing (the vehicle is still the one shown).
        const QSignalBlocker blocker(tree);
        tree->clear();
        // The second column shows each node's vehicle count beside the node's own text.
        if (tree->columnCount() < 2) {
            tree->setColumnCount(2);
            tree->header()->setStretchLastSection(false);
            tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
            tree->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
        }
        QList<QTreeWidgetItem*> nodes;
        for (int k = 0; k < kNodeCount; ++k) {
            QTreeWidgetItem* node = newItem(NodeText(k), kNodeItem);
            node->setText(1, QString::number(result.sets[k].size()));
            node->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
            QList<QTreeWidgetItem*> vehicles;
            vehicles.reserve(result.sets[k].size());
            for (const QString& plate : result.sets[k])
                vehicles << newItem(plate, kVehicleItem);
            node->addChildren(vehicles);
            nodes << node;
        }
        tree->addTopLevelItems(nodes);
        for (int k = 0; k < kNodeCount; ++k)
            if (wasOpen[k])
                nodes[k]->setExpanded(true);
        if (!chosenPlate.isEmpty()) {
            auto vehicleUnder = [&](int k) -> QTreeWidgetItem* {
                if (k < 0 || k >= kNodeCount)
                    return nullptr;
                const int i = result.sets[k].indexOf(chosenPlate);
                return i < 0 ? nullptr : nodes[k]->child(i);
            };
            QTreeWidgetItem* again = vehicleUnder(chosenNode);
            for (int k = 0; !again && k < kNodeCount; ++k)
                again = vehicleUnder(k);
            if (again) {
                again->parent()->setExpanded(true);
                tree->setCurrentItem(again);
                tree->scrollToItem(again);
            }
        }
    }
    sets = result.sets;
    for (int k = 0; k < kNodeCount; ++k) {
        if (sets[k].isEmpty())
            continue;
        for (const QString& caption : NodeMenuItems(k))
            if (QAction* action = parts.action(caption))
                action->setEnabled(true);
    }
    for (const QString& message : result.messages)
        ui::MessageBox(message, ui::Buttons::Ok, {}, parts.window);
}

void OpenAlertNode(ui::MainParts& parts, int node) {
    if (!parts.tree || node < 0 || node >= kNodeCount)
        return;
    QTreeWidgetItem* item = ItemAtFlatIndex(parts.tree, NodeFlatIndex(store::session().AlertSets, node));
    if (!item)
        return;
    parts.tree->scrollToItem(item);
    if (item->isExpanded())
        nodeOpened(parts, item); // already open: expanding again raises nothing, the tip is still due
    else
        parts.tree->expandItem(item);
}

void AttachAlertTree(ui::MainParts& parts) {
    ui::MainParts* p = &parts;
    parts.refreshAlertTree = [p] { RefreshAlertTree(*p); };
    if (QTreeWidget* tree = parts.tree) {
        tree->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(tree, &QTreeWidget::currentItemChanged, tree,
                         [p](QTreeWidgetItem* current, QTreeWidgetItem*) { vehicleChosen(*p, current); });
        QObject::connect(tree, &QTreeWidget::itemExpanded, tree, [p](QTreeWidgetItem* item) { nodeOpened(*p, item); });
        QObject::connect(tree, &QTreeWidget::customContextMenuRequested, tree, [p, tree](const QPoint& pos) {
            // The current item decides, not the item under the mouse.
            if (itemKind(tree->currentItem()) != kVehicleItem)
                return;
            // A menu the permissions switched off is not offered here either.
            QMenu* menu = ui::MainMenu(*p, u"车辆管理"_s);
            if (menu && menu->menuAction()->isEnabled())
                menu->popup(tree->viewport()->mapToGlobal(pos));
        });
    }
    for (int k = 1; k <= 15; ++k) {
        if (QAction* action = parts.action(NodeOpenItem(k)))
            QObject::connect(action, &QAction::triggered, action, [p, k] { OpenAlertNode(*p, k); });
    }
}

} // namespace alerts
