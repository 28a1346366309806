#include "alerts/alerttree.h"
#include "alerts/rules.h"
#include "app/mainwindow.h"
#include "archive/records.h"
#include "archive/vehicledata.h"
#include "cli/commands.h"
#include "fleet.h"
#include "store/session.h"
#include "support/testsupport.h"

#include <QAction>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

using alerts_test::Fleet;

namespace {

class AlertTreeTest : public testing_support::DataDirTest {
protected:
    std::unique_ptr<Fleet> fleet;
    QStringList loaded;

    void SetUp() override {
        DataDirTest::SetUp();
        store::SetToday(QDate(2026, 5, 12));
        fleet = std::make_unique<Fleet>(db());
    }
    std::unique_ptr<app::MainWindow> start(bool mayManageVehicles = true) {
        auto w = std::make_unique<app::MainWindow>();
        EXPECT_TRUE(w->initialise([mayManageVehicles](QWidget*) {
            store::Permissions p;
            p.修改车辆信息 = p.增加车辆信息 = p.费用可见 = p.统计查询 = p.权限设置 = true;
            p.增删车辆 = mayManageVehicles;
            store::session().OperatorPermissions = p;
            return true;
        }));
        w->parts().loadVehicle = [this](const QString& plate) { loaded << plate; };
        return w;
    }
    static QTreeWidget* tree(app::MainWindow& w) { return w.parts().tree; }
    static QStringList children(QTreeWidgetItem* node) {
        QStringList texts;
        for (int i = 0; i < node->childCount(); ++i)
            texts << node->child(i)->text(0);
        return texts;
    }
    static QAction* action(app::MainWindow& w, const char* caption) {
        return w.parts().action(QString::fromUtf8(caption));
    }
    static QString tip(app::MainWindow& w) { return w.parts().statusTip->text(); }
};

} // namespace

// ---- the rebuilt tree ----------------------------------------------------------------------

TEST_F(AlertTreeTest, AnEmptyFleetShowsTheNineteenNodesAndDisablesTheThirtyOneItems) {
    auto w = start();
    ASSERT_EQ(tree(*w)->topLevelItemCount(), alerts::kNodeCount);
    for (int k = 0; k < alerts::kNodeCount; ++k) {
        QTreeWidgetItem* node = tree(*w)->topLevelItem(k);
        EXPECT_EQ(node->text(0), alerts::NodeText(k));
        EXPECT_EQ(node->data(0, alerts::kItemKindRole).toInt(), alerts::kNodeItem);
        EXPECT_EQ(node->childCount(), 0);
        EXPECT_TRUE(store::session().AlertSets[k].isEmpty());
    }
    EXPECT_EQ(tree(*w)->topLevelItem(0)->text(0), u"公司车辆"_s);
    EXPECT_EQ(tree(*w)->topLevelItem(18)->text(0), u"注销车辆"_s);
    for (const QString& caption : alerts::AlertMenuItems())
        EXPECT_FALSE(w->parts().action(caption)->isEnabled()) << caption.toStdString();
    EXPECT_TRUE(action(*w, "公司车辆台账清单")->isEnabled());
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(AlertTreeTest, VehicleItemsMatchAlertSetsAndEnableTheirNodesItems) {
    fleet->vehicle(u"京A00001"_s);
    fleet->inspection(u"京A00001"_s, QDate(2026, 6, 1));
    fleet->vehicle(u"京A00002"_s, u"2"_s);
    fleet->inspection(u"京A00002"_s, QDate(2026, 6, 1));
    fleet->vehicle(u"京A00003"_s);
    fleet->operatingPermit(u"京A00003"_s, QDate(2025, 6, 1));
    auto w = start();
    const auto& sets = store::session().AlertSets;
    for (int k = 0; k < alerts::kNodeCount; ++k) {
        QTreeWidgetItem* node = tree(*w)->topLevelItem(k);
        EXPECT_EQ(children(node), sets[k]) << k;
        for (int i = 0; i < node->childCount(); ++i)
            EXPECT_EQ(node->child(i)->data(0, alerts::kItemKindRole).toInt(), alerts::kVehicleItem);
    }
    EXPECT_EQ(sets[0], QStringList({u"京A00001"_s, u"京A00003"_s}));
    EXPECT_EQ(sets[1], QStringList({u"京A00001"_s}));
    EXPECT_EQ(sets[16], QStringList({u"京A00003"_s}));
    EXPECT_EQ(sets[17], QStringList({u"京A00002"_s}));
    QStringList enabled;
    for (const QString& caption : alerts::AlertMenuItems())
        if (w->parts().action(caption)->isEnabled())
            enabled << caption;
    EXPECT_EQ(enabled, QStringList({u"预警年审车辆清单"_s, u"预警年审车辆"_s, u"拉黑车辆清单"_s}));

    // The refresh button rebuilds from the database as it is now.
    fleet->inspection(u"京A00001"_s, QDate(2026, 9, 1));
    w->parts().button(u"超级按钮_刷新"_s)->click();
    EXPECT_TRUE(store::session().AlertSets[1].isEmpty());
    EXPECT_EQ(tree(*w)->topLevelItem(1)->childCount(), 0);
    EXPECT_FALSE(action(*w, "预警年审车辆")->isEnabled());
}

TEST_F(AlertTreeTest, FailureMessagesAreShownWithoutTitleAfterTheTreeIsBuilt) {
    fleet->vehicle(u"京B00001"_s);
    fleet->listOnly(u"京B00009"_s);
    auto w = start();
    ASSERT_EQ(dialogs.shown.size(), 17);
    EXPECT_EQ(dialogs.shown.first(), u"查询小表失败！"_s);
    EXPECT_EQ(dialogs.shown.last(), u"拉黑查询失败车辆1！?"_s);
    for (const QString& title : dialogs.titles)
        EXPECT_TRUE(title.isEmpty());
    EXPECT_EQ(store::session().AlertSets[0], QStringList({u"京B00001"_s}));
}

// ---- flat index and opening nodes ----------------------------------------------------------

TEST_F(AlertTreeTest, TheMenuOpensTheNodeAtItsFlatIndexAndTheTipCountsIt) {
    fleet->vehicle(u"京C00001"_s);
    fleet->inspection(u"京C00001"_s, QDate(2026, 6, 1));
    fleet->vehicle(u"京C00002"_s);
    fleet->vehicle(u"京C00003"_s, QString());
    fleet->inspection(u"京C00003"_s, QDate(2026, 6, 2));
    fleet->vehicle(u"京C00004"_s, u""_s);
    fleet->inspection(u"京C00004"_s, QDate(2026, 6, 3));
    auto w = start();
    const auto& sets = store::session().AlertSets;
    ASSERT_EQ(sets[0].size(), 2);
    ASSERT_EQ(sets[1].size(), 3);
    EXPECT_EQ(alerts::NodeFlatIndex(sets, 1), 3);
    QTreeWidgetItem* node1 = tree(*w)->topLevelItem(1);
    EXPECT_EQ(alerts::FlatIndexOf(tree(*w), node1), 3);
    EXPECT_EQ(alerts::ItemAtFlatIndex(tree(*w), 3), node1);
    EXPECT_EQ(alerts::ItemAtFlatIndex(tree(*w), 2), tree(*w)->topLevelItem(0)->child(1));
    EXPECT_EQ(alerts::FlatIndexOf(tree(*w), node1->child(2)), 6);

    action(*w, "预警年审车辆")->trigger();
    EXPECT_TRUE(node1->isExpanded());
    EXPECT_EQ(tip(*w), u"       提示：预警年审车辆共3辆"_s);
    // Opened by hand: the same reaction.
    tree(*w)->expandItem(tree(*w)->topLevelItem(0));
    EXPECT_EQ(tip(*w), u"       提示：公司车辆共2辆"_s);
    // Already open: the menu still shows its count.
    action(*w, "预警年审车辆")->trigger();
    EXPECT_EQ(tip(*w), u"       提示：预警年审车辆共3辆"_s);
}

TEST_F(AlertTreeTest, TheLapsedItemsOpenNodesElevenToFifteen) {
    fleet->vehicle(u"京D00001"_s);
    fleet->insurance(u"京D00001"_s, QDate(2026, 4, 1));
    fleet->operatingPermit(u"京D00001"_s, QDate(2026, 3, 1));
    auto w = start();
    action(*w, "脱保车辆")->trigger();
    EXPECT_TRUE(tree(*w)->topLevelItem(13)->isExpanded());
    EXPECT_EQ(tip(*w), u"       提示：脱保车辆共1辆"_s);
    action(*w, "脱营车辆")->trigger();
    EXPECT_TRUE(tree(*w)->topLevelItem(15)->isExpanded());
    EXPECT_EQ(tip(*w), u"       提示：脱营运车辆共1辆"_s);
}

TEST_F(AlertTreeTest, OpeningTheNodesOfVehiclesThatLeftChangesNoTip) {
    fleet->vehicle(u"京E00001"_s, u"2"_s);
    fleet->vehicle(u"京E00002"_s, u"3"_s);
    auto w = start();
    w->parts().statusTip->setText(u"之前的提示"_s);
    tree(*w)->expandItem(tree(*w)->topLevelItem(17));
    tree(*w)->expandItem(tree(*w)->topLevelItem(18));
    EXPECT_EQ(tip(*w), u"之前的提示"_s);
}

// ---- choosing and the context menu ---------------------------------------------------------

TEST_F(AlertTreeTest, ChoosingAVehicleItemLoadsItAndShowsTheFirstPage) {
    fleet->vehicle(u"京F00001"_s);
    fleet->inspection(u"京F00001"_s, QDate(2025, 1, 1));
    fleet->vehicle(u"京F00002"_s, u"3"_s);
    auto w = start();
    w->parts().tabs->setCurrentIndex(3);
    tree(*w)->setCurrentItem(tree(*w)->topLevelItem(1)); // a node: nothing
    EXPECT_TRUE(loaded.isEmpty());
    EXPECT_TRUE(store::session().CurrentPlate.isEmpty());
    EXPECT_EQ(w->parts().tabs->currentIndex(), 3);

    tree(*w)->setCurrentItem(tree(*w)->topLevelItem(16)->child(0)); // under 拉黑车辆
    EXPECT_EQ(loaded, QStringList({u"京F00001"_s}));
    EXPECT_EQ(store::session().CurrentPlate, u"京F00001"_s);
    EXPECT_EQ(w->parts().tabs->currentIndex(), 0);

    tree(*w)->setCurrentItem(tree(*w)->topLevelItem(0)->child(0)); // the same vehicle elsewhere
    tree(*w)->setCurrentItem(tree(*w)->topLevelItem(18)->child(0));
    EXPECT_EQ(loaded, QStringList({u"京F00001"_s, u"京F00001"_s, u"京F00002"_s}));
}

TEST_F(AlertTreeTest, TheContextClickOffersVehicleManagementOnlyOnAVehicleItem) {
    fleet->vehicle(u"京G00001"_s);
    auto w = start();
    w->show();
    QMenu* menu = w->parts().menus.value(u"车辆管理"_s);
    tree(*w)->setCurrentItem(tree(*w)->topLevelItem(0));
    emit tree(*w)->customContextMenuRequested(QPoint(5, 5));
    EXPECT_FALSE(menu->isVisible());
    tree(*w)->setCurrentItem(tree(*w)->topLevelItem(0)->child(0));
    emit tree(*w)->customContextMenuRequested(QPoint(5, 5));
    EXPECT_TRUE(menu->isVisible());
    menu->close();
}

TEST_F(AlertTreeTest, WithoutTheVehicleRightTheContextMenuOffersNoVehicleCommand) {
    fleet->vehicle(u"京G00001"_s);
    auto w = start(false);
    w->show();
    dialogs.shown.clear();
    QMenu* menu = w->parts().menus.value(u"车辆管理"_s);
    tree(*w)->setCurrentItem(tree(*w)->topLevelItem(0)->child(0));
    ASSERT_EQ(store::session().CurrentPlate, u"京G00001"_s);
    emit tree(*w)->customContextMenuRequested(QPoint(5, 5));
    EXPECT_FALSE(menu->isVisible());
    menu->close();
    // Each command is off at the action itself, wherever the menu would be shown.
    for (QAction* item : menu->actions()) {
        EXPECT_FALSE(item->isEnabled()) << item->text().toStdString();
        item->trigger();
    }
    for (const char* name : {"超级按钮_增加车辆", "超级按钮_删除车辆", "超级按钮_保存增加"})
        EXPECT_FALSE(w->parts().button(QString::fromUtf8(name))->isEnabled()) << name;
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(u"|"_s).toStdString();
    EXPECT_EQ(archive::PlateListed(db(), u"京G00001"_s), std::optional<bool>(true));
    const int rs = db().OpenRecordSet(u"select * from 京G00001"_s);
    EXPECT_NE(rs, 0);
    db().CloseRecordSet(rs);
}

// ---- the command-line tool agrees with the tree ----------------------------------------------

TEST_F(AlertTreeTest, CliJsonMatchesTheTreeOfAFleetEnteredThroughTheProgram) {
    auto add = [&](const QString& plate, int status) {
        archive::NewVehicle v;
        v.values.insert(u"主车牌号"_s, plate);
        v.values.insert(u"档案编号"_s, plate.right(3));
        v.values.insert(u"车辆状态"_s, status);
        ASSERT_TRUE(archive::SaveNewVehicleRows(db(), v).ok) << plate.toStdString();
    };
    auto record = [&](int page, const QString& plate, const char* plateColumn, const char* dateColumn,
                      const QDate& due) {
        // Every field of the page as the form holds it untouched, then the two that matter here.
        archive::RecordValues values;
        for (const archive::RecordField& f : archive::RecordFields(page)) {
            switch (f.kind) {
            case archive::ValueKind::Date:
                values.insert(f.column, QDate(2000, 1, 1));
                break;
            case archive::ValueKind::YesNo:
                values.insert(f.column, false);
                break;
            case archive::ValueKind::Image:
                values.insert(f.column, QByteArray());
                break;
            case archive::ValueKind::State:
                values.insert(f.column, 1);
                break;
            default:
                values.insert(f.column, QString());
            }
        }
        values.insert(QString::fromUtf8(plateColumn), plate);
        values.insert(QString::fromUtf8(dateColumn), due);
        const auto outcome = archive::AddRecordRow(db(), page, plate, values);
        ASSERT_TRUE(outcome.ok) << outcome.message.toStdString();
    };
    add(u"京H00001"_s, 1);
    record(1, u"京H00001"_s, "审车车号", "下次审车日期", QDate(2026, 6, 9));
    record(3, u"京H00001"_s, "保险车号", "下次保险日期", QDate(2026, 5, 9));
    add(u"京H00002"_s, 1);
    record(2, u"京H00002"_s, "二维车号", "下次二维日期", QDate(2026, 3, 9));
    record(5, u"京H00002"_s, "营运车号", "下次营运证日期", QDate(2025, 11, 9));
    add(u"京H00003"_s, 2);
    record(4, u"京H00003"_s, "管理车号", "下次管理费用日期", QDate(2026, 5, 9));

    auto w = start();
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    ASSERT_EQ(cli::Run({u"alerts"_s, u"--format"_s, u"json"_s, u"--today"_s, u"2026-05-12"_s}, outStream, errStream), 0)
        << err.toStdString();
    outStream.flush();
    const QJsonObject root = QJsonDocument::fromJson(out.toUtf8()).object();
    EXPECT_EQ(root.value(u"reference_month"_s).toString(), u"2026-05-01"_s);
    const QJsonArray nodes = root.value(u"nodes"_s).toArray();
    ASSERT_EQ(nodes.size(), alerts::kNodeCount);
    int members = 0;
    for (int k = 0; k < alerts::kNodeCount; ++k) {
        const QJsonObject node = nodes[k].toObject();
        QTreeWidgetItem* item = tree(*w)->topLevelItem(k);
        EXPECT_EQ(node.value(u"text"_s).toString(), item->text(0));
        EXPECT_EQ(node.value(u"count"_s).toInt(), item->childCount());
        QStringList plates;
        for (const auto& v : node.value(u"members"_s).toArray())
            plates << v.toString();
        EXPECT_EQ(plates, children(item)) << k;
        members += int(plates.size());
    }
    EXPECT_EQ(members, 7); // 公司车辆 2; 预警年审, 本月需保, 脱维, 拉黑 and 转出 1 each
    EXPECT_EQ(children(tree(*w)->topLevelItem(12)), QStringList({u"京H00002"_s}));
    EXPECT_EQ(children(tree(*w)->topLevelItem(16)), QStringList({u"京H00002"_s}));

    out.clear();
    ASSERT_EQ(cli::Run({u"alerts"_s, u"--today"_s, u"2026-05-12"_s}, outStream, errStream), 0);
    outStream.flush();
    EXPECT_TRUE(out.contains(u"预警年审车辆（1辆）\n    京H00001\n"_s));
    EXPECT_EQ(cli::Run({u"alerts"_s, u"--format"_s, u"xml"_s}, outStream, errStream), 2);
}

// ---- across refreshes ----------------------------------------------------------------------

TEST_F(AlertTreeTest, ARefreshKeepsTheOpenNodesTheChosenVehicleAndShowsTheCounts) {
    fleet->vehicle(u"京A00001"_s);
    fleet->inspection(u"京A00001"_s, QDate(2026, 6, 1));
    fleet->vehicle(u"京A00002"_s);
    fleet->inspection(u"京A00002"_s, QDate(2026, 6, 1));
    fleet->vehicle(u"京A00003"_s);
    auto w = start();
    QTreeWidget* t = tree(*w);
    EXPECT_EQ(t->topLevelItem(0)->text(0), u"公司车辆"_s); // the node text stays the design's
    EXPECT_EQ(t->topLevelItem(0)->text(1), u"3"_s);
    EXPECT_EQ(t->topLevelItem(1)->text(1), u"2"_s);
    EXPECT_EQ(t->topLevelItem(6)->text(1), u"0"_s);

    t->expandItem(t->topLevelItem(1));
    t->setCurrentItem(t->topLevelItem(1)->child(1));
    ASSERT_EQ(loaded, QStringList({u"京A00002"_s}));
    const QString tipBefore = tip(*w);

    // 京A00001 leaves 预警年审车辆; 京A00003 joins 本月需审车辆.
    fleet->inspection(u"京A00001"_s, QDate(2026, 9, 1));
    fleet->inspection(u"京A00003"_s, QDate(2026, 5, 20));
    w->parts().button(u"超级按钮_刷新"_s)->click();

    EXPECT_TRUE(t->topLevelItem(1)->isExpanded());
    EXPECT_FALSE(t->topLevelItem(0)->isExpanded());
    EXPECT_FALSE(t->topLevelItem(6)->isExpanded());
    ASSERT_TRUE(t->currentItem());
    EXPECT_EQ(t->currentItem()->text(0), u"京A00002"_s);
    EXPECT_EQ(t->currentItem()->parent(), t->topLevelItem(1));
    EXPECT_TRUE(t->currentItem()->isSelected());
    EXPECT_EQ(loaded.size(), 1);   // restoring the choice loads nothing again
    EXPECT_EQ(tip(*w), tipBefore); // nor does re-opening a node rewrite the status line
    EXPECT_EQ(t->topLevelItem(1)->text(1), u"1"_s);
    EXPECT_EQ(t->topLevelItem(6)->text(1), u"1"_s);
    EXPECT_EQ(children(t->topLevelItem(6)), QStringList({u"京A00003"_s}));

    // A chosen vehicle that left its node is found under the first node that still holds it.
    fleet->inspection(u"京A00002"_s, QDate(2026, 9, 1));
    w->parts().button(u"超级按钮_刷新"_s)->click();
    ASSERT_TRUE(t->currentItem());
    EXPECT_EQ(t->currentItem()->text(0), u"京A00002"_s);
    EXPECT_EQ(t->currentItem()->parent(), t->topLevelItem(0));
    EXPECT_EQ(t->topLevelItem(1)->text(1), u"0"_s);
}

// ---- the command-line tool -----------------------------------------------------------------

namespace {

QByteArray fileChecksum(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

TEST_F(AlertTreeTest, CliDryRunPrintsTheAlertsAndLeavesTheFileUnchanged) {
    fleet->vehicle(u"京B00001"_s);
    fleet->inspection(u"京B00001"_s, QDate(2026, 6, 1));
    fleet->vehicle(u"京B00002"_s);
    fleet->maintenance(u"京B00002"_s, QDate(2026, 7, 1));
    db().CloseDatabase();
    const QByteArray before = fileChecksum(dbPath());
    ASSERT_FALSE(before.isEmpty());

    // Years ahead, the whole fleet is three months overdue: a real run would flag it.
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    ASSERT_EQ(cli::Run({u"alerts"_s, u"--today"_s, u"2030-01-01"_s, u"--dry-run"_s, u"--data-dir"_s, dataDir()},
                       outStream, errStream),
              0)
        << err.toStdString();
    outStream.flush();
    EXPECT_TRUE(out.contains(u"拉黑车辆（2辆）"_s)) << out.toStdString();
    EXPECT_EQ(fileChecksum(dbPath()), before);

    // Without --dry-run the same call writes the lapse flags: the file changes.
    out.clear();
    ASSERT_EQ(cli::Run({u"alerts"_s, u"--today"_s, u"2030-01-01"_s, u"--data-dir"_s, dataDir()}, outStream, errStream),
              0);
    EXPECT_NE(fileChecksum(dbPath()), before);
}

TEST_F(AlertTreeTest, CliHelpOnEveryCommandWritesNothing) {
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    for (const char* command : {"init", "search", "show", "alerts"}) {
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        EXPECT_EQ(
            cli::Run({QString::fromUtf8(command), u"--help"_s, u"--data-dir"_s, empty.path()}, outStream, errStream), 0)
            << command;
        outStream.flush();
        EXPECT_TRUE(out.startsWith(u"用法：velmora-cli "_s + QString::fromUtf8(command))) << out.toStdString();
        // Each says whether it writes.
        EXPECT_TRUE(out.contains(u"写入"_s) || out.contains(u"只读"_s)) << command;
    }
    EXPECT_TRUE(QDir(empty.path()).isEmpty()); // init --help created no database
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    EXPECT_EQ(cli::Run({u"--help"_s}, outStream, errStream), 0);
    outStream.flush();
    EXPECT_TRUE(out.contains(u"--dry-run"_s));
}
