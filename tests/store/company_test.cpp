#include "store/backup.h"
#include "store/company.h"
#include "store/database.h"
#include "store/schema.h"
#include "store/upgrade.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct FileCase {
    const char* name;
    store::TableLayout layout;
    bool withoutCompanyTable; // made before the table existed
};

class CompanyDetailsFile : public ::testing::TestWithParam<FileCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(u"clxx.mdb"_s);
        ASSERT_TRUE(store::CreateDatabase(path, nullptr, GetParam().layout));
        ASSERT_TRUE(open(db, path));
        if (GetParam().withoutCompanyTable) {
            ASSERT_TRUE(db.ExecuteStatement(u"drop table [公司信息]"_s)) << db.LastError().toStdString();
            ASSERT_TRUE(db.StoredColumns(store::kCompanyTable).isEmpty());
        }
    }
    static bool open(store::DatabaseConnection& c, const QString& file) {
        return c.OpenDatabaseFile(file, store::kDatabasePassword, store::ConnectionSharing::Private);
    }
    static store::CompanyDetails read(store::DatabaseConnection& c) {
        store::CompanyDetails d{u"x"_s, u"x"_s, u"x"_s};
        QString error;
        EXPECT_TRUE(store::ReadCompanyDetails(c, &d, &error)) << error.toStdString();
        return d;
    }

    QTemporaryDir dir;
    QString path;
    store::DatabaseConnection db;
};

// Older files open and read as having no details; the first save makes the table; a save replaces
// the details (one row); backup and upgrade take the table along.
TEST_P(CompanyDetailsFile, SavedOnceKeptThroughBackupAndUpgrade) {
    EXPECT_EQ(read(db), store::CompanyDetails{});
    const store::CompanyDetails first{u"顺达's 运输"_s, u"泰安市东岳大街18号"_s, u"0538-8123456"_s};
    const store::CompanyDetails second{u"顺达运输有限公司"_s, u"泰安市泰山区"_s, u""_s};
    QString error;
    ASSERT_TRUE(store::SaveCompanyDetails(db, first, &error)) << error.toStdString();
    EXPECT_EQ(read(db), first);
    ASSERT_TRUE(store::SaveCompanyDetails(db, second, &error)) << error.toStdString();
    EXPECT_EQ(read(db), second);
    const int rs = db.OpenRecordSet(u"select * from [公司信息]"_s);
    EXPECT_EQ(db.RowCount(rs), 1);
    db.CloseRecordSet(rs);
    db.CloseDatabase();

    const QString copy = dir.filePath(u"copy.mdb"_s);
    ASSERT_TRUE(store::BackupDatabase(path, copy, &error)) << error.toStdString();
    store::UpgradeReport report;
    ASSERT_TRUE(store::UpgradeDatabase(path, dir.filePath(u"before.mdb"_s), &report, &error)) << error.toStdString();
    EXPECT_EQ(report.tablesRewritten > 0, GetParam().layout == store::TableLayout::ImagesAmongColumns);
    for (const QString& file : {path, copy}) {
        store::DatabaseConnection c;
        ASSERT_TRUE(open(c, file)) << file.toStdString();
        EXPECT_EQ(read(c), second) << file.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Files, CompanyDetailsFile,
                         ::testing::Values(FileCase{"New", store::TableLayout::ImagesLast, false},
                                           FileCase{"Older", store::TableLayout::ImagesLast, true},
                                           FileCase{"OlderLayout", store::TableLayout::ImagesAmongColumns, true}),
                         [](const auto& p) { return std::string(p.param.name); });

// A table of that name that is not ours (a file someone edited) is refused and left as it was.
TEST(CompanyDetails, ForeignTableOfThatNameIsLeftAlone) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"clxx.mdb"_s);
    ASSERT_TRUE(store::CreateDatabase(path));
    store::DatabaseConnection db;
    ASSERT_TRUE(db.OpenDatabaseFile(path, store::kDatabasePassword, store::ConnectionSharing::Private));
    ASSERT_TRUE(db.ExecuteStatement(u"drop table [公司信息]"_s));
    ASSERT_TRUE(db.ExecuteStatement(u"create table [公司信息] ([甲] text)"_s));
    ASSERT_TRUE(db.ExecuteStatement(u"insert into [公司信息] ([甲]) values ('旧')"_s));
    store::CompanyDetails d;
    QString error;
    EXPECT_FALSE(store::ReadCompanyDetails(db, &d, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(store::SaveCompanyDetails(db, {u"新"_s, {}, {}}, &error));
    const int rs = db.OpenRecordSet(u"select [甲] from [公司信息]"_s);
    ASSERT_NE(rs, 0);
    EXPECT_EQ(db.ReadField(rs, u"甲"_s).text(), u"旧"_s);
    db.CloseRecordSet(rs);
}

} // namespace
