#include "admin/companywindow.h"
#include "store/company.h"
#include "store/session.h"
#include "support/testsupport.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

using testing_support::DataDirTest;

namespace {

struct EditCase {
    const char* name;
    bool mayEdit;      // the operator holds 权限设置
    QString typedName; // typed into 公司名称
    QString message;   // what 保存 shows
    bool stored;       // the typed details are in the file afterwards
};

class CompanyWindowTest : public DataDirTest, public ::testing::WithParamInterface<EditCase> {
protected:
    store::CompanyDetails stored() {
        store::CompanyDetails d;
        EXPECT_TRUE(store::ReadCompanyDetails(db(), &d));
        return d;
    }
};

// Only 权限设置 may change the details; a name is required; what is saved is read back as typed
// (blanks at the ends dropped), and the window shows what the file holds when it opens.
TEST_P(CompanyWindowTest, SavesWhatTheOperatorMayChange) {
    const EditCase& c = GetParam();
    const store::CompanyDetails before{u"旧公司"_s, u"旧地址"_s, u"旧电话"_s};
    ASSERT_TRUE(store::SaveCompanyDetails(db(), before));
    store::session().OperatorPermissions.权限设置 = c.mayEdit;
    admin::CompanyWindow w;
    auto* name = w.findChild<QLineEdit*>(u"编辑框_公司名称"_s);
    auto* address = w.findChild<QLineEdit*>(u"编辑框_地址"_s);
    auto* phone = w.findChild<QLineEdit*>(u"编辑框_电话"_s);
    auto* save = w.findChild<QPushButton*>(u"超级按钮_保存"_s);
    ASSERT_TRUE(name && address && phone && save);
    EXPECT_EQ(name->text(), before.公司名称);
    EXPECT_EQ(phone->text(), before.电话);
    EXPECT_EQ(name->isReadOnly(), !c.mayEdit);
    EXPECT_EQ(save->isEnabled(), c.mayEdit);
    name->setText(c.typedName);
    address->setText(u" 泰安市东岳大街18号 "_s);
    phone->setText(u"0538-8123456"_s);
    dialogs.shown.clear();
    EXPECT_EQ(w.save(), c.stored);
    EXPECT_EQ(dialogs.shown, QStringList{c.message});
    const store::CompanyDetails expected{c.typedName.trimmed(), u"泰安市东岳大街18号"_s, u"0538-8123456"_s};
    EXPECT_EQ(stored(), c.stored ? expected : before);
    if (c.stored) {
        EXPECT_EQ(address->text(), expected.地址);
    }
    if (const QString dir = qEnvironmentVariable("VELMORA_SHOT_DIR"); !dir.isEmpty() && c.stored) {
        w.show();
        QDir().mkpath(dir);
        w.grab().save(QDir(dir).filePath(u"company-window.png"_s));
    }
}

INSTANTIATE_TEST_SUITE_P(Operators, CompanyWindowTest,
                         ::testing::Values(EditCase{"Saves", true, u" 泰安顺达运输有限公司 "_s, u"公司信息保存成功！"_s,
                                                    true},
                                           EditCase{"NameRequired", true, u"  "_s, u"公司名称不能为空！"_s, false},
                                           EditCase{"WithoutRight", false, u"别的公司"_s,
                                                    u"只有具有“权限设置”权限的管理员可以修改公司信息。"_s, false}),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
