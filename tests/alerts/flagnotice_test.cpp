#include "alerts/alerttree.h"
#include "alerts/rules.h"
#include "fleet.h"
#include "support/testsupport.h"
#include "ui/mainparts.h"

#include <QAction>
#include <QTreeWidget>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

class FlagNoticeTest : public testing_support::DataDirTest {};

} // namespace

// The tree refresh shows the tree it computed and says once that the flags were not written.
TEST_F(FlagNoticeTest, RefreshUnderAHeldWriteLockShowsTheTreeAndOneNotice) {
    alerts_test::Fleet fleet(db());
    for (const QString& p : {u"京N001"_s, u"京N002"_s}) {
        fleet.vehicle(p);
        fleet.inspection(p, QDate(2020, 1, 10)); // years overdue: a flag each
    }
    store::DatabaseConnection holder;
    ASSERT_TRUE(holder.OpenDatabaseFile(dbPath(), store::kDatabasePassword));
    ASSERT_TRUE(holder.BeginTransaction());

    store::DatabaseConnection refresher;
    ASSERT_TRUE(refresher.OpenDatabaseFile(dbPath(), store::kDatabasePassword));
    refresher.SetBusyTimeout(200);
    QTreeWidget tree;
    ui::MainParts parts;
    parts.db = &refresher;
    parts.tree = &tree;
    // The refresh enables the menu items of the nodes it fills: they are there as in the main window.
    std::vector<std::unique_ptr<QAction>> items;
    for (int k = 0; k < alerts::kNodeCount; ++k)
        for (const QString& caption : alerts::NodeMenuItems(k))
            if (!parts.actions.contains(caption)) {
                items.push_back(std::make_unique<QAction>(caption));
                parts.actions.insert(caption, items.back().get());
            }
    alerts::RefreshAlertTree(parts);
    holder.RollbackTransaction();

    EXPECT_EQ(dialogs.shown, QStringList({alerts::kFlagWriteFailedMessage}));
    ASSERT_EQ(tree.topLevelItemCount(), alerts::kNodeCount);
    EXPECT_EQ(tree.topLevelItem(alerts::kBlacklistNode)->childCount(), 2);

    dialogs.shown.clear();
    alerts::RefreshAlertTree(parts);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(u"|"_s).toStdString();
    const int h = db().OpenRecordSet(u"select [编号] from 京N001 where [是否脱审]=true"_s);
    ASSERT_NE(h, 0);
    EXPECT_EQ(db().RowCount(h), 1);
    db().CloseRecordSet(h);
}
