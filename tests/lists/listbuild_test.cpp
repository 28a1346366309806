#include "listfleet.h"

#include "store/database.h"

using lists_test::ListTest;
using namespace Qt::StringLiterals;

namespace {

// ---- status texts ------------------------------------------------------------------------

TEST(StatusText, MonthCountsAgainstTheReferenceMonth) {
    const QDate may(2026, 5, 1);
    using alerts::Kind;
    EXPECT_EQ(lists::StatusText(Kind::Inspection, QDate(2026, 5, 31), may), u"本月需审"_s);
    EXPECT_EQ(lists::StatusText(Kind::Inspection, QDate(2026, 6, 1), may), u"下月需审"_s);
    // Three calendar months ahead reads "2个月后…": the count is x - 1.
    EXPECT_EQ(lists::StatusText(Kind::Inspection, QDate(2026, 8, 30), may), u"2个月后审车"_s);
    EXPECT_EQ(lists::StatusText(Kind::Inspection, QDate(2026, 3, 31), may), u"已经脱审2个月"_s);
    EXPECT_EQ(lists::StatusText(Kind::Inspection, QDate(2026, 4, 1), may), u"已经脱审1个月"_s);
    // 2000-01-01 is no special date here: overdue by the months since January 2000.
    EXPECT_EQ(lists::StatusText(Kind::Inspection, QDate(2000, 1, 1), may), u"已经脱审316个月"_s);
    // Across a year end.
    EXPECT_EQ(lists::StatusText(Kind::Insurance, QDate(2027, 1, 2), QDate(2026, 12, 1)), u"下月需保"_s);
}

TEST(StatusText, EachKindHasItsOwnWords) {
    const QDate may(2026, 5, 1);
    using alerts::Kind;
    const struct {
        Kind kind;
        const char16_t *now, *next, *later, *lapsed, *caption;
    } kinds[] = {
        {Kind::Inspection, u"本月需审", u"下月需审", u"3个月后审车", u"已经脱审4个月", u"审车日期"},
        {Kind::Maintenance, u"本月需维", u"下月需维", u"3个月后二维", u"已经脱维4个月", u"二维日期"},
        {Kind::Insurance, u"本月需保", u"下月需保", u"3个月后续保", u"已经脱保4个月", u"保险日期"},
        {Kind::ManagementFee, u"本月需管", u"下月需管", u"3个月后续管", u"已经脱管4个月", u"管理日期"},
        {Kind::OperatingPermit, u"本月需营", u"下月需营", u"3个月后续营", u"已经脱营4个月", u"营运日期"},
    };
    for (const auto& k : kinds) {
        EXPECT_EQ(lists::StatusText(k.kind, QDate(2026, 5, 9), may), QString::fromUtf16(k.now));
        EXPECT_EQ(lists::StatusText(k.kind, QDate(2026, 6, 9), may), QString::fromUtf16(k.next));
        EXPECT_EQ(lists::StatusText(k.kind, QDate(2026, 9, 9), may), QString::fromUtf16(k.later));
        EXPECT_EQ(lists::StatusText(k.kind, QDate(2026, 1, 9), may), QString::fromUtf16(k.lapsed));
        EXPECT_EQ(lists::StatusCaption(k.kind), QString::fromUtf16(k.caption));
    }
}

// ---- the seventeen lists -----------------------------------------------------------------

TEST(ListTable, TitlesMenuItemsAndNodesInBuildOrder) {
    const auto& all = lists::Lists();
    ASSERT_EQ(all.size(), 17u);
    EXPECT_EQ(all[0].title, u"预警年审车辆清单"_s);
    EXPECT_EQ(all[3].menuItem, u"预警管理车辆清单"_s);
    EXPECT_EQ(all[3].title, u"预警管理费用车辆清单"_s);
    EXPECT_EQ(all[8].title, u"脱管车辆清单"_s);
    EXPECT_EQ(all[8].printTitle, u"脱管理车辆清单"_s);
    EXPECT_EQ(all[16].node, 0);
    EXPECT_EQ(all[15].node, 16);
    // Every node from 0 to 16 has exactly one list.
    QList<int> nodes;
    for (const auto& l : all)
        nodes << l.node;
    std::sort(nodes.begin(), nodes.end());
    for (int k = 0; k < 17; ++k)
        EXPECT_EQ(nodes[k], k);
    // A title and its menu item both name the list.
    EXPECT_EQ(lists::FindList(u"脱营车辆清单"_s), 9);
    EXPECT_EQ(lists::FindList(u"脱营运车辆清单"_s), 9);
    EXPECT_FALSE(lists::FindList(u"脱营运车辆"_s).has_value());
    // The build takes the first flag set, in this order.
    lists::ListSelectorFlags flags{};
    EXPECT_FALSE(lists::SelectedList(flags).has_value());
    flags[16] = flags[5] = true;
    EXPECT_EQ(lists::SelectedList(flags), 5);
}

// ---- alert lists ---------------------------------------------------------------------------

TEST_F(ListTest, AlertListShowsTheFiveStatusTextsOfEachVehicle) {
    vehicle(u"鲁A10001"_s, u"001"_s, u"张三"_s, u"13800000001"_s);
    fleet->inspection(u"鲁A10001"_s, QDate(2026, 5, 20));
    fleet->maintenance(u"鲁A10001"_s, QDate(2026, 6, 3));
    fleet->insurance(u"鲁A10001"_s, QDate(2026, 8, 1));
    fleet->managementFee(u"鲁A10001"_s, QDate(2026, 3, 15));
    fleet->operatingPermit(u"鲁A10001"_s, QDate(2000, 1, 1));

    const lists::ListBuild b = build(u"本月需审车辆清单"_s);
    EXPECT_TRUE(b.completed);
    EXPECT_TRUE(b.messages.isEmpty()) << b.messages.join(u' ').toStdString();
    const report::ReportTable& t = b.table;
    EXPECT_EQ(t.title, u"本月需审车辆清单"_s);
    EXPECT_EQ(t.printTitle.text, u"本月需审车辆清单"_s);
    EXPECT_EQ(t.printTitle.fontName, u"黑体"_s);
    EXPECT_EQ(t.printTitle.pointSize, 20);
    EXPECT_TRUE(t.printTitle.bold);
    ASSERT_EQ(t.rowCount(), 2); // header and one vehicle, no empty trailing row
    EXPECT_EQ(rowTexts(t, 0), QStringList({u""_s, u"档案编号"_s, u"主车牌号"_s, u"车主姓名"_s, u"车主电话"_s,
                                           u"审车日期"_s, u"二维日期"_s, u"保险日期"_s, u"管理日期"_s, u"营运日期"_s}));
    EXPECT_EQ(rowTexts(t, 1), QStringList({u"1"_s, u"001"_s, u"鲁A10001"_s, u"张三"_s, u"13800000001"_s, u"本月需审"_s,
                                           u"下月需维"_s, u"2个月后续保"_s, u"已经脱管2个月"_s, u"已经脱营316个月"_s}));
    EXPECT_EQ(t.columnWidth(0), 30);
    EXPECT_EQ(t.columnWidth(4), 110);
    EXPECT_EQ(t.columnWidth(7), 80);
}

TEST_F(ListTest, EachKindPutsItsOwnStatusColumnFirst) {
    const struct {
        const char16_t* title;
        QStringList captions;
    } lists[] = {
        {u"脱审车辆清单", {u"审车日期"_s, u"二维日期"_s, u"保险日期"_s, u"管理日期"_s, u"营运日期"_s}},
        {u"脱维车辆清单", {u"二维日期"_s, u"审车日期"_s, u"保险日期"_s, u"管理日期"_s, u"营运日期"_s}},
        {u"脱保车辆清单", {u"保险日期"_s, u"审车日期"_s, u"二维日期"_s, u"管理日期"_s, u"营运日期"_s}},
        {u"脱管车辆清单", {u"管理日期"_s, u"审车日期"_s, u"二维日期"_s, u"保险日期"_s, u"营运日期"_s}},
        {u"脱营运车辆清单", {u"营运日期"_s, u"审车日期"_s, u"二维日期"_s, u"保险日期"_s, u"管理日期"_s}},
    };
    // One vehicle lapsed by one month in every kind, due this month by nothing.
    vehicle(u"鲁A10002"_s, u"002"_s);
    fleet->inspection(u"鲁A10002"_s, QDate(2026, 4, 2));
    fleet->maintenance(u"鲁A10002"_s, QDate(2026, 4, 3));
    fleet->insurance(u"鲁A10002"_s, QDate(2026, 4, 4));
    fleet->managementFee(u"鲁A10002"_s, QDate(2026, 4, 5));
    fleet->operatingPermit(u"鲁A10002"_s, QDate(2026, 3, 6));
    const char16_t* const lapsedTexts[5] = {u"已经脱审1个月", u"已经脱维1个月", u"已经脱保1个月", u"已经脱管1个月",
                                            u"已经脱营2个月"};
    for (const auto& l : lists) {
        const lists::ListBuild b = build(QString::fromUtf16(l.title));
        ASSERT_EQ(b.table.rowCount(), 2) << QString::fromUtf16(l.title).toStdString();
        EXPECT_EQ(rowTexts(b.table, 0).mid(5), l.captions);
        // Each status text sits under its own caption.
        for (int c = 5; c <= 9; ++c) {
            const int kind = int(std::find_if(std::begin(lapsedTexts), std::end(lapsedTexts),
                                              [&](const char16_t* text) {
                                                  return b.table.cell(1, c).text == QString::fromUtf16(text);
                                              }) -
                                 std::begin(lapsedTexts));
            ASSERT_LT(kind, 5);
            EXPECT_EQ(b.table.cell(0, c).text, lists::StatusCaption(alerts::Kind(kind)));
        }
    }
}

TEST_F(ListTest, DetailsComeFromTheLastRowOfEachGroupInNodeOrder) {
    vehicle(u"鲁A10003"_s, u"003"_s, u"李四"_s);
    fleet->inspection(u"鲁A10003"_s, QDate(2026, 6, 10));
    vehicle(u"鲁A10004"_s, u"004"_s);
    fleet->inspection(u"鲁A10004"_s, QDate(2026, 4, 10));             // older record …
    fleet->inspection(u"鲁A10004"_s, QDate(2026, 6, 20));             // … renewed: due next month
    basicRow(u"鲁A10003"_s, u"003"_s, u"李四改"_s, u"13900000003"_s); // a later basic record

    const alerts::AlertSetList sets = refresh();
    ASSERT_EQ(sets[1], QStringList({u"鲁A10003"_s, u"鲁A10004"_s}));
    const lists::ListBuild b = build(u"预警年审车辆清单"_s);
    ASSERT_EQ(b.table.rowCount(), 3);
    EXPECT_EQ(b.table.cell(1, 3).text, u"李四改"_s);
    EXPECT_EQ(b.table.cell(1, 4).text, u"13900000003"_s);
    EXPECT_EQ(b.table.cell(2, 0).text, u"2"_s);
    EXPECT_EQ(b.table.cell(2, 5).text, u"下月需审"_s);
}

TEST_F(ListTest, ListsUseAlertSetsAsOfTheLastRefresh) {
    vehicle(u"鲁A10005"_s, u"005"_s);
    fleet->inspection(u"鲁A10005"_s, QDate(2026, 5, 5));
    const alerts::AlertSetList sets = refresh();
    // A renewal after the refresh: still listed, with the fresh detail.
    fleet->inspection(u"鲁A10005"_s, QDate(2027, 5, 5));
    const lists::ListBuild b = lists::BuildList(db(), *lists::FindList(u"本月需审车辆清单"_s), sets, month);
    ASSERT_EQ(b.table.rowCount(), 2);
    EXPECT_EQ(b.table.cell(1, 5).text, u"11个月后审车"_s);
}

TEST_F(ListTest, ANodeWithoutMembersShowsOnlyTheCommonHeader) {
    for (const lists::ListInfo& info : lists::Lists()) {
        const lists::ListBuild b = build(info.title);
        EXPECT_TRUE(b.messages.isEmpty());
        EXPECT_EQ(b.table.title, info.title);
        EXPECT_TRUE(b.table.printTitle.text.isEmpty()) << info.title.toStdString();
        EXPECT_EQ(b.table.headerRows, 1);
        ASSERT_EQ(b.table.rowCount(), 1);
        EXPECT_EQ(rowTexts(b.table, 0), QStringList({u""_s, u"档案编号"_s, u"主车牌号"_s, u"车主姓名"_s, u"车主电话"_s,
                                                     u""_s, u""_s, u""_s, u""_s, u""_s}));
        EXPECT_TRUE(b.table.merges().isEmpty());
    }
}

// ---- blacklist -----------------------------------------------------------------------------

TEST_F(ListTest, BlacklistHasTwoHeaderRowsAndReasonsFromAnyRow) {
    vehicle(u"鲁A10006"_s, u"006"_s, u"王五"_s, u"13700000006"_s);
    fleet->inspection(u"鲁A10006"_s, QDate(2025, 1, 1)); // three and more months overdue: blacklisted
    // An old row flagged lapsed for insurance, a later row not: the reason still shows.
    fleet->run(
        u"insert into 鲁A10006 ([保险车号],[下次保险日期],[是否脱保]) values ('鲁A10006','2026年9月1日',true)"_s);
    fleet->run(
        u"insert into 鲁A10006 ([保险车号],[下次保险日期],[是否脱保]) values ('鲁A10006','2026年10月1日',false)"_s);

    const alerts::AlertSetList sets = refresh();
    ASSERT_EQ(sets[16], QStringList({u"鲁A10006"_s}));
    const lists::ListBuild b = build(u"拉黑车辆清单"_s);
    EXPECT_TRUE(b.completed);
    const report::ReportTable& t = b.table;
    EXPECT_EQ(t.printTitle.text, u"拉黑车辆清单"_s);
    EXPECT_EQ(t.headerRows, 2);
    ASSERT_EQ(t.rowCount(), 3);
    EXPECT_EQ(rowTexts(t, 0),
              QStringList({u""_s, u"客户信息"_s, u""_s, u""_s, u""_s, u"拉黑具体原因"_s, u""_s, u""_s, u""_s, u""_s}));
    ASSERT_EQ(t.merges().size(), 2);
    EXPECT_EQ(t.mergeAt(0, 4)->column, 1);
    EXPECT_EQ(t.mergeAt(0, 4)->columnSpan, 4);
    EXPECT_EQ(t.mergeAt(0, 9)->column, 5);
    EXPECT_EQ(t.mergeAt(0, 9)->columnSpan, 5);
    EXPECT_EQ(t.mergeAt(1, 1), nullptr);
    EXPECT_EQ(rowTexts(t, 1),
              QStringList({u""_s, u"档案编号"_s, u"主车牌号"_s, u"车主姓名"_s, u"车主电话"_s, u"审车过期"_s,
                           u"二维过期"_s, u"保险过期"_s, u"管理费过期"_s, u"营运证过期"_s}));
    // The refresh wrote 是否脱审 for the inspection three months and more overdue.
    EXPECT_EQ(rowTexts(t, 2), QStringList({u"1"_s, u"006"_s, u"鲁A10006"_s, u"王五"_s, u"13700000006"_s, u"拉黑"_s,
                                           u""_s, u"拉黑"_s, u""_s, u""_s}));
}

// ---- company ledger ------------------------------------------------------------------------

TEST_F(ListTest, LedgerHasEighteenColumnsAndAYesNoCell) {
    const QString p = u"鲁A10007"_s;
    vehicle(p, u"007"_s, u"赵六"_s);
    fleet->row(p, {{u"主车牌号"_s, p},
                   {u"档案编号"_s, u"007"_s},
                   {u"车主姓名"_s, u"赵六"_s},
                   {u"挂车牌号"_s, u"鲁A7挂"_s},
                   {u"主车架号"_s, u"LVS123"_s},
                   {u"驾驶员A身份证号"_s, u"370102199001011234"_s},
                   {u"A姓名"_s, u"司机甲"_s},
                   {u"从业资格证号"_s, u"ZG0007"_s}});
    fleet->inspection(p, QDate(2026, 9, 9));
    fleet->run(
        u"insert into 鲁A10007 ([二维车号],[下次二维日期],[二维卡号],[二维驻外]) values ('鲁A10007','2026年7月7日','EW07',true)"_s);
    fleet->row(p, {{u"保险车号"_s, p},
                   {u"下次保险日期"_s, QDate(2026, 10, 10)},
                   {u"保险公司名称"_s, u"人保"_s},
                   {u"保单号"_s, u"BD07"_s}});
    fleet->row(p, {{u"营运车号"_s, p}, {u"下次营运证日期"_s, QDate(2026, 11, 11)}, {u"营运证号"_s, u"YY07"_s}});

    const lists::ListBuild b = build(u"公司车辆台账清单"_s);
    EXPECT_TRUE(b.completed) << b.messages.join(u' ').toStdString();
    const report::ReportTable& t = b.table;
    EXPECT_EQ(t.printTitle.text, u"公司车辆台账清单"_s);
    ASSERT_EQ(t.columnCount(), 18);
    ASSERT_EQ(t.rowCount(), 2);
    EXPECT_EQ(rowTexts(t, 0),
              QStringList({u""_s, u"车主姓名"_s, u"主车牌号"_s, u"挂车牌号"_s, u"主车架号"_s, u"驾驶员身份证号"_s,
                           u"驾驶员姓名"_s, u"从业资格证号"_s, u"下次审车日期"_s, u"二维卡号"_s, u"下次二维日期"_s,
                           u"二维驻外"_s, u"保险公司名称"_s, u"保单号"_s, u"下次保险日期"_s, u"下次营运证日期"_s,
                           u"营运证号"_s, u"备注"_s}));
    EXPECT_EQ(rowTexts(t, 1),
              QStringList({u"1"_s, u"赵六"_s, p, u"鲁A7挂"_s, u"LVS123"_s, u"370102199001011234"_s, u"司机甲"_s,
                           u"ZG0007"_s, u"2026-09-09"_s, u"EW07"_s, u"2026-07-07"_s, u"true"_s, u"人保"_s, u"BD07"_s,
                           u"2026-10-10"_s, u"2026-11-11"_s, u"YY07"_s, u""_s}));
    EXPECT_EQ(t.cell(1, 11).kind, report::CellKind::YesNo);
    EXPECT_TRUE(t.cell(1, 11).yes);
    EXPECT_EQ(t.columnKind(11), report::CellKind::YesNo);
    EXPECT_EQ(t.columnWidth(0), 20);
    EXPECT_EQ(t.columnWidth(5), 80);
    EXPECT_EQ(t.columnWidth(9), 80);
    EXPECT_EQ(t.columnWidth(4), 80);
}

TEST_F(ListTest, LedgerInspectionDateIsTheCurrentInspectionRow) {
    const QString p = u"鲁A10008"_s;
    vehicle(p, u"008"_s);
    fleet->inspection(p, QDate(2026, 6, 1));
    fleet->inspection(p, QDate(2027, 6, 1)); // renewed
    basicRow(p, u"008"_s, u"新车主"_s);      // and a later basic record without any date
    const lists::ListBuild b = build(u"公司车辆台账清单"_s);
    ASSERT_EQ(b.table.rowCount(), 2);
    EXPECT_EQ(b.table.cell(1, 1).text, u"新车主"_s);
    EXPECT_EQ(b.table.cell(1, 8).text, u"2027-06-01"_s);
    // Not in service: not in the ledger.
    vehicle(u"鲁A10009"_s, u"009"_s);
    fleet->row(u"鲁A10009"_s, {{u"车辆状态"_s, u"2"_s}});
    EXPECT_EQ(build(u"公司车辆台账清单"_s).table.rowCount(), 2);
}

// ---- failures ------------------------------------------------------------------------------

TEST_F(ListTest, AFailingBasicQueryStopsTheBuildAndKeepsTheRowsFilled) {
    vehicle(u"鲁A10010"_s, u"010"_s);
    fleet->inspection(u"鲁A10010"_s, QDate(2026, 5, 5));
    vehicle(u"鲁A10011"_s, u"011"_s);
    fleet->inspection(u"鲁A10011"_s, QDate(2026, 5, 6));
    vehicle(u"鲁A10012"_s, u"012"_s);
    fleet->inspection(u"鲁A10012"_s, QDate(2026, 5, 7));
    alerts::AlertSetList sets = refresh();
    ASSERT_EQ(sets[6].size(), 3);
    // The second table goes after the refresh: its basic query fails.
    fleet->run(u"drop table 鲁A10011"_s);
    for (auto mode : {lists::ReadMode::OneQueryPerTable, lists::ReadMode::PerQuery}) {
        const lists::ListBuild b = lists::BuildList(db(), *lists::FindList(u"本月需审车辆清单"_s), sets, month, mode);
        EXPECT_FALSE(b.completed);
        EXPECT_EQ(b.messages, QStringList({u"查询失败车辆！"_s}));
        ASSERT_EQ(b.table.rowCount(), 3);
        EXPECT_EQ(b.table.cell(1, 2).text, u"鲁A10010"_s);
        EXPECT_EQ(b.table.cell(1, 5).text, u"本月需审"_s);
        // The failing vehicle's row names it, nothing more; the third vehicle is not reached.
        EXPECT_EQ(rowTexts(b.table, 2),
                  QStringList({u"2"_s, u""_s, u"鲁A10011"_s, u""_s, u""_s, u""_s, u""_s, u""_s, u""_s, u""_s}));
    }
}

TEST_F(ListTest, AFailingStatusQueryLeavesItsCellEmptyAndGoesOn) {
    fleet->vehicleWithout(u"鲁A10013"_s, u"下次二维日期"_s);
    basicRow(u"鲁A10013"_s, u"013"_s);
    fleet->inspection(u"鲁A10013"_s, QDate(2026, 5, 5));
    vehicle(u"鲁A10014"_s, u"014"_s);
    fleet->inspection(u"鲁A10014"_s, QDate(2026, 5, 6));
    fleet->maintenance(u"鲁A10014"_s, QDate(2026, 5, 6));
    for (auto mode : {lists::ReadMode::OneQueryPerTable, lists::ReadMode::PerQuery}) {
        const lists::ListBuild b = build(u"本月需审车辆清单"_s, mode);
        EXPECT_TRUE(b.completed);
        EXPECT_EQ(b.messages, QStringList({u"查询失败车辆！！"_s}));
        ASSERT_EQ(b.table.rowCount(), 3);
        EXPECT_EQ(b.table.cell(1, 5).text, u"本月需审"_s);
        EXPECT_EQ(b.table.cell(1, 6).text, u""_s); // 二维日期
        EXPECT_EQ(b.table.cell(2, 6).text, u"本月需维"_s);
    }
}

TEST_F(ListTest, LedgerStopsWithItsOwnMessages) {
    fleet->vehicleWithout(u"鲁A10016"_s, u"营运证号"_s);
    vehicle(u"鲁A10015"_s, u"015"_s);
    for (auto mode : {lists::ReadMode::OneQueryPerTable, lists::ReadMode::PerQuery}) {
        lists::ListBuild b = build(u"公司车辆台账清单"_s, mode);
        EXPECT_FALSE(b.completed);
        EXPECT_EQ(b.messages, QStringList({u"查询营运失败车辆！"_s}));
        ASSERT_EQ(b.table.rowCount(), 2);                  // the second vehicle is not reached
        EXPECT_EQ(b.table.cell(1, 2).text, u"鲁A10016"_s); // filled up to the insurance columns
        EXPECT_EQ(b.table.cell(0, 14).text, u"下次保险日期"_s);
        EXPECT_EQ(b.table.cell(0, 15).text, u""_s); // captions of the last step never written
    }
    fleet->run(u"drop table 鲁A10016"_s);
    fleet->run(u"delete from 总表 where 车牌号='鲁A10016'"_s);
    fleet->vehicleWithout(u"鲁A10018"_s, u"二维卡号"_s);
    for (auto mode : {lists::ReadMode::OneQueryPerTable, lists::ReadMode::PerQuery}) {
        const lists::ListBuild b = build(u"公司车辆台账清单"_s, mode);
        EXPECT_EQ(b.messages, QStringList({u"查询失败车辆！"_s}));
        ASSERT_EQ(b.table.rowCount(), 3);
        EXPECT_EQ(b.table.cell(2, 2).text, u"鲁A10018"_s);
        EXPECT_EQ(b.table.cell(2, 9).text, u""_s); // the maintenance step never ran
    }
}

TEST_F(ListTest, APlateThatCannotNameATableNeverReachesAStatement) {
    vehicle(u"鲁A10019"_s, u"019"_s);
    alerts::AlertSetList sets = refresh();
    sets[0].prepend(u"鲁A1 from 总表;--"_s);
    store::DatabaseConnection::ClearStatementLog();
    store::DatabaseConnection::SetStatementLogging(true);
    const lists::ListBuild b = lists::BuildList(db(), *lists::FindList(u"公司车辆台账清单"_s), sets, month);
    store::DatabaseConnection::SetStatementLogging(false);
    EXPECT_TRUE(store::DatabaseConnection::StatementLog().isEmpty());
    EXPECT_EQ(b.messages, QStringList({u"查询失败车辆！"_s}));
    ASSERT_EQ(b.table.rowCount(), 2);
    EXPECT_EQ(b.table.cell(1, 2).text, u"鲁A1 from 总表;--"_s);
}

// ---- one read per table ---------------------------------------------------------------------

TEST_F(ListTest, OneReadPerTableGivesTheListsOfTheDesignedQueries) {
    const QDate dates[] = {QDate(2026, 5, 3),  QDate(2026, 6, 4), QDate(2026, 4, 5), QDate(2026, 3, 6),
                           QDate(2025, 11, 7), QDate(2026, 9, 8), QDate(2000, 1, 1)};
    for (int v = 0; v < 14; ++v) {
        const QString p = u"鲁B%1"_s.arg(20000 + v);
        vehicle(p, QString::number(v));
        fleet->inspection(p, dates[v % 7]);
        fleet->maintenance(p, dates[(v + 1) % 7]);
        fleet->insurance(p, dates[(v + 2) % 7]);
        if (v % 3)
            fleet->managementFee(p, dates[(v + 3) % 7]);
        fleet->operatingPermit(p, dates[(v + 4) % 7]);
        if (v % 4 == 0)
            basicRow(p, QString::number(v), u"改名%1"_s.arg(v));
        if (v % 5 == 0)
            fleet->run(u"insert into "_s + p + u" ([二维车号],[下次二维日期],[二维驻外]) values ('"_s + p + u"','"_s +
                       store::SqlDate(dates[v % 7]) + u"',true)"_s);
    }
    fleet->vehicleWithout(u"鲁B29998"_s, u"下次保险日期"_s);
    basicRow(u"鲁B29998"_s, u"998"_s);
    fleet->inspection(u"鲁B29998"_s, QDate(2026, 5, 1));
    const alerts::AlertSetList sets = refresh();
    int rows = 0;
    for (int list = 0; list < lists::kListCount; ++list) {
        const lists::ListBuild once = lists::BuildList(db(), list, sets, month, lists::ReadMode::OneQueryPerTable);
        const lists::ListBuild each = lists::BuildList(db(), list, sets, month, lists::ReadMode::PerQuery);
        EXPECT_EQ(report::JsonText(once.table), report::JsonText(each.table))
            << lists::Lists()[list].title.toStdString();
        EXPECT_EQ(once.messages, each.messages);
        EXPECT_EQ(once.completed, each.completed);
        rows += once.table.dataRowCount();
    }
    EXPECT_GT(rows, 40); // the fleet fills most lists
}

TEST_F(ListTest, OneReadPerTableOpensOneRecordSetPerVehicle) {
    for (int v = 0; v < 5; ++v) {
        const QString p = u"鲁C%1"_s.arg(30000 + v);
        vehicle(p, QString::number(v));
        fleet->inspection(p, QDate(2026, 5, 9));
    }
    const alerts::AlertSetList sets = refresh();
    for (int list : {*lists::FindList(u"本月需审车辆清单"_s), *lists::FindList(u"公司车辆台账清单"_s)}) {
        store::DatabaseConnection::ClearStatementLog();
        store::DatabaseConnection::SetStatementLogging(true);
        lists::BuildList(db(), list, sets, month);
        store::DatabaseConnection::SetStatementLogging(false);
        EXPECT_EQ(store::DatabaseConnection::StatementLog().size(), 5);
    }
}

} // namespace
