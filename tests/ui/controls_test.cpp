// Lookups of controls and menus by name: a name that resolves to nothing, or to a control of
// another kind, ends a strict run (VELMORA_STRICT_NAMES, as the test runs set it) and otherwise
// reads as null and is recorded; an optional lookup stays quiet about absence.

#include "ui/controls.h"
#include "ui/mainparts.h"
#include "ui/widgets.h"

#include <QComboBox>
#include <QMenu>

#include <gtest/gtest.h>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

// A form with one control of each kind the lookups are asked for.
struct Form {
    QWidget root;
    ui::LabeledEdit* plate = new ui::LabeledEdit(u"带标签编辑框_主车牌号"_s, u"主车牌号"_s, &root);
    QComboBox* state = new QComboBox(&root);
    QMenu* vehicles = new QMenu(&root);
    ui::MainParts parts;

    Form() {
        root.setObjectName(u"窗口_测试"_s);
        state->setObjectName(u"组合框_车辆状态"_s);
        state->addItems({u"正常"_s, u"拉黑"_s});
        parts.window = &root;
        parts.menus.insert(u"车辆管理"_s, vehicles);
    }
};

// Sets or clears VELMORA_STRICT_NAMES for one test and puts the run's own value back after it.
class StrictNames {
public:
    explicit StrictNames(bool strict) {
        if (qEnvironmentVariableIsSet(kName))
            saved_ = qgetenv(kName);
        if (strict)
            qputenv(kName, "1");
        else
            qunsetenv(kName);
    }
    ~StrictNames() {
        if (saved_)
            qputenv(kName, *saved_);
        else
            qunsetenv(kName);
    }
    StrictNames(const StrictNames&) = delete;
    StrictNames& operator=(const StrictNames&) = delete;

private:
    static constexpr const char* kName = "VELMORA_STRICT_NAMES";
    std::optional<QByteArray> saved_;
};

} // namespace

TEST(ControlLookup, KnownNamesResolveToTheirControlOfTheAskedKind) {
    const StrictNames strict(true);
    Form f;
    ui::UnresolvedControlNames().clear();
    EXPECT_EQ(ui::Control(&f.root, u"带标签编辑框_主车牌号"_s), f.plate);
    EXPECT_EQ(ui::FindControl<ui::LabeledEdit>(&f.root, u"带标签编辑框_主车牌号"_s), f.plate);
    EXPECT_EQ(ui::FindControl<QComboBox>(&f.root, u"组合框_车辆状态"_s), f.state);
    EXPECT_EQ(ui::FindOptionalControl<QComboBox>(&f.root, u"组合框_车辆状态"_s), f.state);
    EXPECT_EQ(ui::MainMenu(f.parts, u"车辆管理"_s), f.vehicles);
    ui::SetControlText(&f.root, u"组合框_车辆状态"_s, u"拉黑"_s);
    EXPECT_EQ(f.state->currentIndex(), 1);
    EXPECT_TRUE(ui::UnresolvedControlNames().isEmpty());
}

TEST(ControlLookupDeathTest, AStrictRunEndsOnAnUnknownNameOrAControlOfAnotherKind) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const StrictNames strict(true);
    Form f;
    EXPECT_DEATH(ui::Control(&f.root, u"带标签编辑框_主车牌"_s), "unknown control name");
    // The readers and writers look up through the same check.
    EXPECT_DEATH(ui::ControlText(&f.root, u"组合框_车辆"_s), "unknown control name");
    EXPECT_DEATH(ui::SetControlChecked(&f.root, u"选择框_是否脱审"_s, true), "unknown control name");
    EXPECT_DEATH(ui::FindControl<QComboBox>(&f.root, u"带标签编辑框_主车牌号"_s), "no QComboBox named");
    EXPECT_DEATH(ui::FindOptionalControl<QComboBox>(&f.root, u"带标签编辑框_主车牌号"_s), "no QComboBox named");
    EXPECT_DEATH(ui::MainMenu(f.parts, u"车辆管"_s), "unknown menu");
}

TEST(ControlLookup, OutsideAStrictRunFailedLookupsReadAsNullAndAreRecordedInOrder) {
    const StrictNames relaxed(false);
    Form f;
    ui::UnresolvedControlNames().clear();
    EXPECT_EQ(ui::Control(&f.root, u"带标签编辑框_主车牌"_s), nullptr);
    EXPECT_EQ(ui::FindControl<QComboBox>(&f.root, u"带标签编辑框_主车牌号"_s), nullptr);
    EXPECT_EQ(ui::MainMenu(f.parts, u"车辆管"_s), nullptr);
    EXPECT_TRUE(ui::ControlText(&f.root, u"组合框_车辆"_s).isEmpty());
    ui::SetControlText(&f.root, u"组合框_车辆"_s, u"拉黑"_s);
    EXPECT_EQ(f.state->currentIndex(), 0);
    EXPECT_EQ(ui::UnresolvedControlNames(), QStringList({u"带标签编辑框_主车牌"_s, u"带标签编辑框_主车牌号"_s,
                                                         u"车辆管"_s, u"组合框_车辆"_s, u"组合框_车辆"_s}));
}

TEST(ControlLookup, AnOptionalControlMayBeAbsentWithoutFailingEvenInAStrictRun) {
    const StrictNames strict(true);
    Form f;
    ui::UnresolvedControlNames().clear();
    EXPECT_EQ(ui::OptionalControl(&f.root, u"组合框_搜索条件"_s), nullptr);
    EXPECT_EQ(ui::FindOptionalControl<QComboBox>(&f.root, u"组合框_搜索条件"_s), nullptr);
    EXPECT_EQ(ui::OptionalControl(nullptr, u"组合框_车辆状态"_s), nullptr);
    EXPECT_EQ(ui::OptionalControl(&f.root, u"组合框_车辆状态"_s), f.state);
    EXPECT_TRUE(ui::UnresolvedControlNames().isEmpty());
}
