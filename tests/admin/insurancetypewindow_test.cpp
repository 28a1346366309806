#include "admin/accounts.h"
#include "admin/insurancetypewindow.h"
#include "app/mainwindow.h"
#include "store/session.h"
#include "support/testsupport.h"
#include "ui/widgets.h"

#include <QComboBox>
#include <QPushButton>
#include <QTableWidget>

using namespace Qt::StringLiterals;

using testing_support::DataDirTest;

namespace {

const QStringList kDefaultKinds = {u"交强险"_s,       u"商业险"_s,         u"车辆损失险"_s,
                                   u"第三者责任险"_s, u"车上人员责任险"_s, u"不计免赔险"_s};

class InsuranceTypeWindowTest : public DataDirTest {
protected:
    QStringList storedNames() {
        // Read raw, blanks included, to see exactly what the table holds.
        QStringList names;
        const int rs = db().OpenRecordSet(u"select 险种名称 from 险种名称 "_s);
        EXPECT_NE(rs, 0);
        for (db().MoveFirst(rs); !db().AtEnd(rs); db().MoveNext(rs))
            names << db().ReadField(rs, u"险种名称"_s).text();
        db().CloseRecordSet(rs);
        return names;
    }
    void replaceStored(const QStringList& names) {
        ASSERT_TRUE(db().ExecuteStatement(u"delete from [险种名称] "_s));
        for (const QString& n : names)
            ASSERT_TRUE(db().ExecuteStatement(u"insert into 险种名称([险种名称]) values ('%1')"_s.arg(n)));
    }
    static QTableWidget* grid(admin::InsuranceTypeWindow& w) { return w.findChild<QTableWidget*>(u"高级表格1"_s); }
    static void click(admin::InsuranceTypeWindow& w, const char* name) {
        w.findChild<QPushButton*>(QString::fromUtf8(name))->click();
    }
};

} // namespace

TEST_F(InsuranceTypeWindowTest, GridShowsHeaderNumbersAndTheStoredKinds) {
    admin::InsuranceTypeWindow w;
    EXPECT_EQ(w.windowTitle(), u"投保险种设置"_s);
    QTableWidget* g = grid(w);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->columnCount(), 2);
    EXPECT_EQ(g->columnWidth(0), 60);
    EXPECT_EQ(g->item(0, 0)->text(), u"编号"_s);
    EXPECT_EQ(g->item(0, 1)->text(), u"险种名称"_s);
    EXPECT_EQ(w.rowCount(), kDefaultKinds.size());
    EXPECT_EQ(w.gridNames(), kDefaultKinds);
    for (int r = 1; r <= w.rowCount(); ++r)
        EXPECT_EQ(g->item(r, 0)->text(), QString::number(r));
    // Header cell of the names and the whole number column are marked green (0x80e000 as BGR).
    const QColor mark(0x00, 0xe0, 0x80);
    EXPECT_EQ(g->item(0, 1)->background().color(), mark);
    for (int r = 0; r <= w.rowCount(); ++r)
        EXPECT_EQ(g->item(r, 0)->background().color(), mark) << r;
    EXPECT_NE(g->item(1, 1)->background().color(), mark);
    // Neither the header nor the numbers can be typed over.
    EXPECT_FALSE(g->item(0, 1)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(g->item(1, 0)->flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(g->item(1, 1)->flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(InsuranceTypeWindowTest, LoadingShowsNamesThatFollowABlankOne) {
    replaceStored({u"甲险"_s, u""_s, u"乙险"_s, u"  "_s, u"丙险"_s});
    admin::InsuranceTypeWindow w;
    EXPECT_EQ(w.gridNames(), QStringList({u"甲险"_s, u"乙险"_s, u"丙险"_s}));
}

TEST_F(InsuranceTypeWindowTest, SavingAnUnchangedListRewritesItUnchanged) {
    admin::InsuranceTypeWindow w;
    store::DatabaseConnection::SetStatementLogging(true);
    click(w, "按钮_保存");
    EXPECT_EQ(dialogs.shown, QStringList({u"险种名称保存成功！"_s}));
    EXPECT_EQ(storedNames(), kDefaultKinds);
    const QStringList log = store::DatabaseConnection::StatementLog();
    ASSERT_TRUE(log.contains(u"delete from [险种名称] "_s));
    EXPECT_TRUE(log.contains(u"insert into 险种名称([险种名称]) values ('交强险')"_s));
}

TEST_F(InsuranceTypeWindowTest, AddDeleteAndSaveReplaceTheList) {
    admin::InsuranceTypeWindow w;
    QTableWidget* g = grid(w);
    click(w, "按钮_增加");
    EXPECT_EQ(w.rowCount(), 7);
    g->item(7, 1)->setText(u"货物运输险"_s);
    // A new row carries no number until the window is opened again.
    EXPECT_TRUE(g->item(7, 0)->text().isEmpty());
    click(w, "按钮_增加"); // left empty: not stored
    click(w, "按钮_增加");
    g->item(9, 1)->setText(u"O'Neil 特约险"_s);

    g->setCurrentCell(2, 1); // 商业险
    click(w, "按钮_删除");
    EXPECT_EQ(w.rowCount(), 8);
    g->setCurrentCell(0, 1); // the header row stays
    click(w, "按钮_删除");
    EXPECT_EQ(w.rowCount(), 8);
    EXPECT_EQ(g->item(0, 1)->text(), u"险种名称"_s);

    // Nothing is written before 保存.
    EXPECT_EQ(storedNames(), kDefaultKinds);
    click(w, "按钮_保存");
    EXPECT_EQ(dialogs.shown, QStringList({u"险种名称保存成功！"_s}));
    const QStringList expected = {u"交强险"_s,     u"车辆损失险"_s, u"第三者责任险"_s, u"车上人员责任险"_s,
                                  u"不计免赔险"_s, u"货物运输险"_s, u"O'Neil 特约险"_s};
    EXPECT_EQ(storedNames(), expected);

    admin::InsuranceTypeWindow reopened;
    EXPECT_EQ(reopened.gridNames(), expected);
    EXPECT_EQ(grid(reopened)->item(7, 0)->text(), u"7"_s);
}

TEST_F(InsuranceTypeWindowTest, AFailingInsertLeavesTheOldListWhole) {
    ASSERT_TRUE(db().ExecuteStatement(u"create trigger 拒绝坏名 before insert on 险种名称 when new.险种名称 = '坏名' "
                                      u"begin select raise(abort, 'refused'); end"_s))
        << db().LastError().toStdString();
    admin::InsuranceTypeWindow w;
    // The refused name comes second, so a save that is not one unit would already have lost
    // every name but the first when it fails.
    grid(w)->item(2, 1)->setText(u"坏名"_s);
    click(w, "按钮_增加");
    grid(w)->item(7, 1)->setText(u"好名"_s);
    click(w, "按钮_保存");
    EXPECT_EQ(dialogs.shown, QStringList({u"在新表录入记录失败！"_s}));
    EXPECT_EQ(storedNames(), kDefaultKinds);

    // The window still holds the edits; removing the refused name lets the save go through.
    grid(w)->setCurrentCell(2, 1);
    click(w, "按钮_删除");
    click(w, "按钮_保存");
    EXPECT_EQ(dialogs.shown.last(), u"险种名称保存成功！"_s);
    QStringList expected = kDefaultKinds;
    expected.removeAt(1);
    EXPECT_EQ(storedNames(), expected + QStringList({u"好名"_s}));
}

TEST_F(InsuranceTypeWindowTest, SaveKindsSkipsBlankNamesAndKeepsOrder) {
    EXPECT_EQ(admin::SaveInsuranceKinds(db(), {u"b"_s, u""_s, u"  "_s, u"a"_s}), admin::SaveKindsResult::Saved);
    EXPECT_EQ(storedNames(), QStringList({u"b"_s, u"a"_s}));
    EXPECT_EQ(admin::ReadInsuranceKinds(db()), QStringList({u"b"_s, u"a"_s}));
    EXPECT_EQ(admin::SaveInsuranceKinds(db(), {}), admin::SaveKindsResult::Saved);
    EXPECT_TRUE(storedNames().isEmpty());
}

TEST_F(InsuranceTypeWindowTest, TheInsurancePageOffersTheSavedKinds) {
    {
        admin::InsuranceTypeWindow w;
        click(w, "按钮_增加");
        grid(w)->item(7, 1)->setText(u"承运人责任险"_s);
        grid(w)->setCurrentCell(1, 1);
        click(w, "按钮_删除");
        click(w, "按钮_保存");
        ASSERT_EQ(dialogs.shown, QStringList({u"险种名称保存成功！"_s}));
    }
    app::MainWindow main;
    ASSERT_TRUE(main.initialise([](QWidget*) {
        store::session().OperatorPermissions.费用可见 = true;
        return true;
    }));
    auto* combo = main.findChild<QComboBox*>(u"组合框_投保险种"_s);
    ASSERT_TRUE(combo);
    QStringList offered;
    for (int i = 0; i < combo->count(); ++i)
        offered << combo->itemText(i);
    EXPECT_EQ(offered, kDefaultKinds.mid(1) + QStringList({u"承运人责任险"_s}));
}
