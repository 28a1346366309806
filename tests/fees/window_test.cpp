#include "feefleet.h"

#include "fees/feequerywindow.h"
#include "store/database.h"
#include "store/session.h"
#include "support/testsupport.h"
#include "ui/widgets.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using testing_support::DataDirTest;

namespace {

const QString kA = u"京A12345"_s;
const QString kB = u"京B23456"_s;

std::string s(const QString& text) {
    return text.toStdString();
}

// Records the buttons (and so the icon) of every message as well as its text.
class IconDialogs : public testing_support::ScriptedDialogs {
public:
    QList<ui::Buttons> buttons;
    ui::Answer message(QWidget* parent, const QString& text, ui::Buttons b, const QString& title) override {
        buttons << b;
        return ScriptedDialogs::message(parent, text, b, title);
    }
};

class FeeQueryWindowTest : public DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        ui::SetDialogProvider(&shown);
        fleet = std::make_unique<fees_test::FeeFleet>(db());
        fleet->vehicle(kB);
        fleet->vehicle(kA);
    }

    template <typename T> static T* child(fees::FeeQueryWindow& w, const QString& name) {
        T* widget = w.findChild<T*>(name);
        EXPECT_TRUE(widget) << s(name);
        return widget;
    }
    static void typeVehicle(fees::FeeQueryWindow& w, const QString& text) {
        child<QComboBox>(w, u"组合框_车号"_s)->lineEdit()->setText(text);
    }
    static void setPeriod(fees::FeeQueryWindow& w, const QDate& from, const QDate& to) {
        child<ui::DateBox>(w, u"日期框_起始"_s)->setDate(from);
        child<ui::DateBox>(w, u"日期框_截止"_s)->setDate(to);
    }
    static void confirm(fees::FeeQueryWindow& w) { child<QPushButton>(w, u"超级按钮_参数确定"_s)->click(); }
    static bool formShown(fees::FeeQueryWindow& w) {
        return !child<QGroupBox>(w, u"分组框_查询参数设置"_s)->isHidden();
    }

    IconDialogs shown;
    std::unique_ptr<fees_test::FeeFleet> fleet;
};

TEST_F(FeeQueryWindowTest, OpensWithTheParameterFormAndEveryPlate) {
    fees::FeeQueryWindow w;
    EXPECT_EQ(s(w.windowTitle()), "查询参数设置窗口");
    QComboBox* vehicles = child<QComboBox>(w, u"组合框_车号"_s);
    QStringList items;
    for (int i = 0; i < vehicles->count(); ++i)
        items << vehicles->itemText(i);
    EXPECT_EQ(items, QStringList({u"全部车辆"_s, kB, kA}));
    EXPECT_EQ(vehicles->currentIndex(), 0);
    QComboBox* kinds = child<QComboBox>(w, u"组合框_项目"_s);
    items.clear();
    for (int i = 0; i < kinds->count(); ++i)
        items << kinds->itemText(i);
    EXPECT_EQ(items,
              QStringList({u"全部费用"_s, u"审车类"_s, u"二维类"_s, u"保险类"_s, u"管理费用类"_s, u"营运证类"_s}));
    EXPECT_EQ(s(child<QGroupBox>(w, u"分组框_查询参数设置"_s)->title()), "设置查询参数");
    EXPECT_TRUE(formShown(w));
    EXPECT_FALSE(child<QLabel>(w, u"透明标签_打印窗口的标题"_s)->isVisibleTo(&w));
    EXPECT_TRUE(shown.shown.isEmpty());
}

TEST_F(FeeQueryWindowTest, MissingDatabaseShowsOnlyItsOneMessage) {
    QTemporaryDir empty;
    qputenv("VELMORA_DATA_DIR", empty.path().toLocal8Bit());
    fees::FeeQueryWindow w;
    EXPECT_EQ(shown.shown, QStringList({u"数据库丢失！"_s}));
    EXPECT_EQ(child<QComboBox>(w, u"组合框_车号"_s)->count(), 1);
}

TEST_F(FeeQueryWindowTest, SevenBytePlateIsRefusedWithTheWarningIconBeforeAnyQuery) {
    fees::FeeQueryWindow w;
    typeVehicle(w, u"京A1234"_s);
    store::DatabaseConnection::ClearStatementLog();
    store::DatabaseConnection::SetStatementLogging(true);
    confirm(w);
    store::DatabaseConnection::SetStatementLogging(false);
    EXPECT_TRUE(store::DatabaseConnection::StatementLog().isEmpty());
    EXPECT_EQ(shown.shown, QStringList({u"请检查主车牌号是否正确"_s}));
    EXPECT_EQ(shown.buttons, QList<ui::Buttons>({ui::Buttons::OkExclamation}));
    EXPECT_TRUE(formShown(w));
    EXPECT_FALSE(w.reportShown());
    EXPECT_EQ(s(w.windowTitle()), "查询参数设置窗口");
}

TEST_F(FeeQueryWindowTest, UnknownPlateIsRefusedAndTheOperatorMayCorrectIt) {
    fees::FeeQueryWindow w;
    typeVehicle(w, u"京Z99999"_s);
    confirm(w);
    EXPECT_EQ(shown.shown, QStringList({u"对不起！请核对车号后再次输入！没有找到车号为京Z99999的车辆"_s}));
    EXPECT_EQ(shown.buttons, QList<ui::Buttons>({ui::Buttons::Ok}));
    EXPECT_TRUE(formShown(w));
    typeVehicle(w, kA);
    confirm(w);
    EXPECT_TRUE(w.reportShown());
    EXPECT_FALSE(formShown(w));
    EXPECT_EQ(s(w.windowTitle()), "费用明细");
    EXPECT_EQ(shown.shown.size(), 1);
}

TEST_F(FeeQueryWindowTest, TypedPlateIsReportedAloneWhileTheTitlesNameAllVehicles) {
    fees::FeeQueryWindow w;
    setPeriod(w, QDate(2026, 3, 5), QDate(2026, 11, 20));
    typeVehicle(w, kB);
    confirm(w);
    ASSERT_TRUE(w.reportShown());
    EXPECT_EQ(s(child<QLabel>(w, u"透明标签_打印窗口的标题"_s)->text()),
              "当前显示车号为全部车辆从2026-3-5到2026-11-20的全部费用的内容。");
}

TEST_F(FeeQueryWindowTest, ChosenPlateNamesTheTitles) {
    fees::FeeQueryWindow w;
    setPeriod(w, QDate(2026, 1, 1), QDate(2026, 12, 31));
    child<QComboBox>(w, u"组合框_车号"_s)->setCurrentIndex(2);
    child<QComboBox>(w, u"组合框_项目"_s)->setCurrentIndex(3);
    confirm(w);
    ASSERT_TRUE(w.reportShown());
    EXPECT_EQ(s(child<QLabel>(w, u"透明标签_打印窗口的标题"_s)->text()),
              "当前显示车号为京A12345从2026-1-1到2026-12-31的保险类的内容。");
    for (const char16_t* name : {u"超级按钮_打印", u"超级按钮_打印预览", u"超级按钮_导出"})
        EXPECT_TRUE(child<QPushButton>(w, QString::fromUtf16(name))->isVisibleTo(&w));
    for (const char16_t* name : {u"超级按钮_参数确定", u"超级按钮_参数取消"})
        EXPECT_FALSE(child<QPushButton>(w, QString::fromUtf16(name))->isVisibleTo(&w));
}

} // namespace
