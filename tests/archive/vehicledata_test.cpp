#include "archive/vehicledata.h"
#include "cli/commands.h"
#include "store/schema.h"
#include "store/session.h"
#include "support/testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

using testing_support::DataDirTest;
using namespace archive;

namespace {

// A new vehicle as the emptied form would give it, with the values a test cares about.
NewVehicle vehicle(const QString& plate, const QString& archiveNumber, const QString& owner = u"张三"_s) {
    NewVehicle v;
    for (const store::ColumnDef& c : store::VehicleColumns()) {
        switch (c.type) {
        case store::ColumnType::Text:
            v.values.insert(c.name, QString());
            break;
        case store::ColumnType::Date:
            v.values.insert(c.name, QDate(2000, 1, 1));
            break;
        case store::ColumnType::YesNo:
            v.values.insert(c.name, false);
            break;
        default:
            break;
        }
    }
    for (const char* reminder : {"是否提醒主车审车", "是否提醒挂车审车", "是否提醒保险", "是否提醒二维", "是否提醒管理",
                                 "是否提醒营运", "是否提醒挂车保险"})
        v.values.insert(QString::fromUtf8(reminder), true);
    for (const char* notice : {"审车是否通知车主", "二维是否通知车主", "管理费是否通知车主", "营运证是否通知车主"})
        v.values.insert(QString::fromUtf8(notice), u"未到通知时间"_s);
    for (const char* paid : {"审车缴费日期", "二维缴费日期", "保险缴费日期", "管理缴费日期", "营运缴费日期"})
        v.values.insert(QString::fromUtf8(paid), QDate(2026, 3, 9));
    v.values.insert(u"是否驻内"_s, u"驻内"_s);
    v.values.insert(u"车辆状态"_s, 1);
    v.values.insert(u"主车牌号"_s, plate);
    v.values.insert(u"档案编号"_s, archiveNumber);
    v.values.insert(u"车主姓名"_s, owner);
    for (const char* copy : {"审车车号", "二维车号", "保险车号", "管理车号", "营运车号"})
        v.values.insert(QString::fromUtf8(copy), plate);
    return v;
}

class VehicleDataTest : public DataDirTest {
protected:
    bool tableExists(const QString& table) {
        const int rs = db().OpenRecordSet(u"select * from "_s + table);
        if (rs)
            db().CloseRecordSet(rs);
        return rs != 0;
    }
    QStringList masterPlates() {
        QStringList plates;
        const int rs = db().OpenRecordSet(u"select 车牌号 from [总表] "_s);
        EXPECT_NE(rs, 0);
        for (; rs && !db().AtEnd(rs); db().MoveNext(rs))
            plates << db().ReadField(rs, u"车牌号"_s).text();
        db().CloseRecordSet(rs);
        return plates;
    }
    void save(const NewVehicle& v) {
        const SaveResult r = SaveNewVehicleRows(db(), v);
        ASSERT_TRUE(r.ok) << r.message.toStdString() << " " << db().LastError().toStdString();
    }
    void exec(const QString& statement) {
        ASSERT_TRUE(db().ExecuteStatement(statement))
            << statement.toStdString() << ": " << db().LastError().toStdString();
    }
    // Replaces yangbiao by a copy that lacks one column (or 编号 when none is named).
    void breakTemplate(const QString& missing) {
        exec(u"drop table yangbiao"_s);
        QStringList cols;
        for (const store::ColumnDef& c : store::VehicleColumns()) {
            if (c.name == missing)
                continue;
            QString type = u"TEXT"_s;
            if (c.type == store::ColumnType::Number)
                type = u"INTEGER PRIMARY KEY AUTOINCREMENT"_s;
            else if (c.type == store::ColumnType::Date)
                type = u"DATE"_s;
            else if (c.type == store::ColumnType::YesNo)
                type = u"YESNO"_s;
            else if (c.type == store::ColumnType::Bytes)
                type = u"BLOB"_s;
            cols << u"["_s + c.name + u"] "_s + type;
        }
        exec(u"create table yangbiao ("_s + cols.join(u", "_s) + u")"_s);
    }
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Saving a new vehicle

TEST_F(VehicleDataTest, SaveWritesTheFirstRowWithAllColumnsPlateCopiesAndReminders) {
    NewVehicle v = vehicle(u"鲁A12345"_s, u"007"_s);
    v.values.insert(u"挂车牌号"_s, u"鲁A6789挂"_s);
    v.values.insert(u"下次审车日期"_s, QDate(2026, 12, 8));
    v.values.insert(u"审车应缴费用"_s, u"1000"_s);
    v.values.insert(u"是否提醒管理"_s, false);
    v.values.insert(u"车辆状态"_s, 2);
    v.images = {QByteArray("id"), QByteArray("photo-1"), QByteArray(), QByteArray("lic-1"), QByteArray("lic-22")};
    store::DatabaseConnection::SetStatementLogging(true);
    const SaveResult r = SaveNewVehicleRows(db(), v);
    ASSERT_TRUE(r.ok) << db().LastError().toStdString();
    EXPECT_EQ(r.message, u"新车辆添加成功！"_s);
    const QStringList log = store::DatabaseConnection::StatementLog();
    EXPECT_TRUE(log.contains(u"select * into 鲁A12345 from yangbiao"_s));
    EXPECT_TRUE(log.contains(u"Alter table 鲁A12345  Add  Constraint  PrimaryKey  Primary  Key (编号)"_s));
    EXPECT_TRUE(log.contains(u"insert into [总表]([档案编号],[车牌号]) values('007','鲁A12345')"_s));
    const QString& insert = log.last();
    EXPECT_TRUE(insert.startsWith(u"insert into 鲁A12345([档案编号],[车主姓名],"_s)) << insert.toStdString();
    EXPECT_TRUE(insert.contains(u"'',2,'',''"_s)) << "status unquoted";
    EXPECT_TRUE(insert.contains(u"'',?,?,?,?,?,''"_s));

    EXPECT_EQ(FirstRowColumns().size(), 94);
    EXPECT_EQ(QStringList(FirstRowColumns()).removeDuplicates(), 0);
    const int rs = db().OpenRecordSet(u"select * from 鲁A12345"_s);
    ASSERT_NE(rs, 0);
    ASSERT_EQ(db().RowCount(rs), 1);
    EXPECT_EQ(db().ReadField(rs, u"编号"_s).number(), 1);
    for (const char* copy : {"主车牌号", "审车车号", "二维车号", "保险车号", "管理车号", "营运车号"})
        EXPECT_EQ(db().ReadField(rs, QString::fromUtf8(copy)).text(), u"鲁A12345"_s) << copy;
    for (const char* reminder :
         {"是否提醒主车审车", "是否提醒挂车审车", "是否提醒保险", "是否提醒二维", "是否提醒营运", "是否提醒挂车保险"})
        EXPECT_TRUE(db().ReadField(rs, QString::fromUtf8(reminder)).yesNo()) << reminder;
    EXPECT_FALSE(db().ReadField(rs, u"是否提醒管理"_s).yesNo());
    EXPECT_FALSE(db().ReadField(rs, u"是否提醒管理"_s).isNull);
    EXPECT_EQ(db().ReadField(rs, u"下次审车日期"_s).date(), QDate(2026, 12, 8));
    EXPECT_EQ(db().ReadField(rs, u"下次二维日期"_s).date(), QDate(2000, 1, 1));
    EXPECT_EQ(db().ReadField(rs, u"审车缴费日期"_s).date(), QDate(2026, 3, 9));
    EXPECT_EQ(db().ReadField(rs, u"车辆状态"_s).text(), u"2"_s);
    EXPECT_EQ(db().ReadField(rs, u"审车应缴费用"_s).text(), u"1000"_s);
    EXPECT_EQ(db().ReadField(rs, u"挂车牌号"_s).text(), u"鲁A6789挂"_s);
    EXPECT_EQ(db().ReadField(rs, u"是否驻内"_s).text(), u"驻内"_s);
    EXPECT_EQ(db().ReadField(rs, u"车主身份证信息"_s).bytes(), QByteArray("id"));
    EXPECT_EQ(db().ReadField(rs, u"车辆照片信息"_s).bytes(), QByteArray("photo-1"));
    EXPECT_TRUE(db().ReadField(rs, u"车辆照片信息2"_s).bytes().isEmpty());
    EXPECT_EQ(db().ReadField(rs, u"行车证信息2"_s).bytes(), QByteArray("lic-22"));
    // Not part of the insert: stays null.
    EXPECT_TRUE(db().ReadField(rs, u"保险是否通知车主"_s).isNull);
    db().CloseRecordSet(rs);
    EXPECT_EQ(masterPlates(), QStringList({u"鲁A12345"_s}));
}

TEST_F(VehicleDataTest, FailedTableCopyLeavesNothingNew) {
    exec(u"select * into 鲁A12345 from yangbiao"_s);
    const SaveResult r = SaveNewVehicleRows(db(), vehicle(u"鲁A12345"_s, u"1"_s));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedStep, SaveStep::CopyTable);
    EXPECT_EQ(r.message, u"创建新车表格失败！"_s);
    EXPECT_TRUE(masterPlates().isEmpty());
}

TEST_F(VehicleDataTest, FailedKeyLeavesNothingAndTheSamePlateSavesAfterwards) {
    breakTemplate(u"编号"_s);
    const SaveResult r = SaveNewVehicleRows(db(), vehicle(u"鲁A12345"_s, u"1"_s));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedStep, SaveStep::PrimaryKey);
    EXPECT_EQ(r.message, u"设置主键失败！"_s);
    EXPECT_FALSE(tableExists(u"鲁A12345"_s));
    EXPECT_TRUE(masterPlates().isEmpty());
    breakTemplate(u"not-a-column"_s);
    save(vehicle(u"鲁A12345"_s, u"1"_s));
    EXPECT_EQ(masterPlates(), QStringList({u"鲁A12345"_s}));
}

TEST_F(VehicleDataTest, FailedMasterRowLeavesNoTable) {
    exec(u"drop table [总表]"_s);
    exec(u"create table [总表] ([档案编号] text, [车牌号] text check (length(车牌号) > 20))"_s);
    const SaveResult r = SaveNewVehicleRows(db(), vehicle(u"鲁A12345"_s, u"1"_s));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedStep, SaveStep::MasterRow);
    EXPECT_EQ(r.message, u"在总表创建新车记录失败！"_s);
    EXPECT_FALSE(tableExists(u"鲁A12345"_s));
    EXPECT_TRUE(masterPlates().isEmpty());
}

TEST_F(VehicleDataTest, FailedFirstRowLeavesNoTableNoMasterRowAndTheSamePlateSavesAgain) {
    breakTemplate(u"其他"_s);
    const SaveResult r = SaveNewVehicleRows(db(), vehicle(u"鲁A12345"_s, u"1"_s));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedStep, SaveStep::FirstRow);
    EXPECT_EQ(r.message, u"在新表录入记录失败!！"_s);
    EXPECT_FALSE(tableExists(u"鲁A12345"_s));
    EXPECT_TRUE(masterPlates().isEmpty());

    breakTemplate(u"not-a-column"_s);
    save(vehicle(u"鲁A12345"_s, u"1"_s));
    EXPECT_TRUE(tableExists(u"鲁A12345"_s));
    EXPECT_EQ(masterPlates(), QStringList({u"鲁A12345"_s}));
}

TEST_F(VehicleDataTest, PlateAlreadyListedIsNotSavedTwice) {
    save(vehicle(u"鲁A12345"_s, u"1"_s));
    const SaveResult r = SaveNewVehicleRows(db(), vehicle(u"鲁A12345"_s, u"2"_s));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, u"创建新车表格失败！"_s);
    EXPECT_EQ(masterPlates().size(), 1);
    // Listed but its table gone: still no second master row.
    exec(u"drop table 鲁A12345"_s);
    EXPECT_FALSE(SaveNewVehicleRows(db(), vehicle(u"鲁A12345"_s, u"2"_s)).ok);
    EXPECT_EQ(masterPlates().size(), 1);
}

TEST_F(VehicleDataTest, ArchiveNumbersDifferingOnlyInLeadingZerosAreTheSame) {
    EXPECT_EQ(ArchiveKey(u"003"_s), u"3"_s);
    EXPECT_EQ(ArchiveKey(u"0"_s), QString());
    EXPECT_EQ(ArchiveKey(u"300"_s), u"300"_s);
    EXPECT_EQ(ArchiveNumberTaken(db(), u"3"_s), std::optional<bool>(false));
    save(vehicle(u"鲁A12345"_s, u"3"_s));
    EXPECT_EQ(ArchiveNumberTaken(db(), u"003"_s), std::optional<bool>(true));
    EXPECT_EQ(ArchiveNumberTaken(db(), u"3"_s), std::optional<bool>(true));
    EXPECT_EQ(ArchiveNumberTaken(db(), u"30"_s), std::optional<bool>(false));
    EXPECT_EQ(ArchiveNumberTaken(db(), u"03a"_s), std::optional<bool>(false));
}

// ---------------------------------------------------------------------------------------------
// Plates as table names

TEST_F(VehicleDataTest, PlatesThatCannotNameATableAreRefusedBeforeAnyStatement) {
    for (const char* good : {"鲁A12345", "AB12345", "京A1234挂", "鲁B9X8Y7"})
        EXPECT_TRUE(IsSafePlate(QString::fromUtf8(good))) << good;
    for (const char* bad : {"鲁A 12345", "鲁A'12345", "鲁A[1]", "鲁A;drop", "鲁A-1234", "鲁A.1234", "x\"y", "12345678",
                            "鲁A\t1", "鲁A(1)", "鲁A，123"}) {
        EXPECT_FALSE(IsSafePlate(QString::fromUtf8(bad))) << bad;
        EXPECT_FALSE(PlateRefusal(QString::fromUtf8(bad)).isEmpty());
    }
    EXPECT_EQ(PlateRefusal(QString()), u"请输入主车车牌号！"_s);

    store::DatabaseConnection::SetStatementLogging(true);
    const SaveResult r = SaveNewVehicleRows(db(), vehicle(u"鲁A1;drop table 总表"_s, u"1"_s));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, PlateRefusal(u"鲁A1;drop table 总表"_s));
    EXPECT_TRUE(store::DatabaseConnection::StatementLog().isEmpty());
    EXPECT_FALSE(ReadCurrentGroup(db(), VehicleGroup::Basic, u"总表 --"_s).has_value());
    EXPECT_TRUE(store::DatabaseConnection::StatementLog().isEmpty());
}

TEST_F(VehicleDataTest, ValuesWithQuotesAreSavedFoundAndLoadedAsTyped) {
    const QString owner = u"O'Neil 张'三"_s;
    NewVehicle v = vehicle(u"鲁A12345"_s, u"12'3"_s, owner);
    v.values.insert(u"基本信息备注"_s, u"x','y"_s);
    save(v);
    const auto row = ReadCurrentGroup(db(), VehicleGroup::Basic, u"鲁A12345"_s);
    ASSERT_TRUE(row && row->present);
    EXPECT_EQ(row->text(u"车主姓名"_s, true), owner);
    EXPECT_EQ(row->text(u"档案编号"_s, true), u"12'3"_s);
    EXPECT_EQ(row->text(u"基本信息备注"_s, true), u"x','y"_s);
    const SearchOutcome found = SearchVehicles(db(), 2, u"O'Neil"_s);
    ASSERT_EQ(found.hits.size(), 1);
    EXPECT_EQ(found.hits[0].ownerName, owner);
    EXPECT_EQ(found.hits[0].archiveNumber, u"12'3"_s);
    EXPECT_EQ(ArchiveNumberTaken(db(), u"0012'3"_s), std::optional<bool>(true));
}

// ---------------------------------------------------------------------------------------------
// Search

TEST_F(VehicleDataTest, SearchFiltersAreTheFourConditions) {
    EXPECT_EQ(SearchFilter(0, u"123"_s), u" where 主车牌号 like'%123%' escape '\\'"_s);
    EXPECT_EQ(SearchFilter(1, u"挂"_s), u" where 挂车牌号 like'%挂%' escape '\\'"_s);
    EXPECT_EQ(SearchFilter(2, u"张"_s), u" where 车主姓名 like'张%' escape '\\'"_s);
    EXPECT_EQ(SearchFilter(3, u"0'7"_s), u" where 档案编号 like'%0''7%' escape '\\'"_s);
    EXPECT_EQ(SearchFilter(3, u"5%_\\"_s), u" where 档案编号 like'%5\\%\\_\\\\%' escape '\\'"_s);
    EXPECT_TRUE(SearchFilter(4, u"x"_s).isEmpty());
    EXPECT_TRUE(SearchFilter(-1, u"x"_s).isEmpty());
}

TEST_F(VehicleDataTest, OwnerNamesMatchFromTheirStartAndPlatesAnywhere) {
    NewVehicle a = vehicle(u"鲁A12345"_s, u"1"_s, u"张三"_s);
    a.values.insert(u"挂车牌号"_s, u"鲁B777挂"_s);
    save(a);
    save(vehicle(u"鲁C99123"_s, u"2"_s, u"王张"_s));
    save(vehicle(u"鲁D55555"_s, u"13"_s, u"李四"_s));

    store::DatabaseConnection::SetStatementLogging(true);
    SearchOutcome owners = SearchVehicles(db(), 2, u"张"_s);
    ASSERT_EQ(owners.hits.size(), 1);
    EXPECT_EQ(owners.hits[0].plate, u"鲁A12345"_s);
    EXPECT_EQ(owners.hits[0].trailerPlate, u"鲁B777挂"_s);
    const QStringList log = store::DatabaseConnection::StatementLog();
    EXPECT_EQ(log.first(), u"select [车牌号] from 总表 "_s);
    EXPECT_TRUE(log.contains(
        u"select [主车牌号],[挂车牌号],[车主姓名],[档案编号] from 鲁C99123 where 车主姓名 like'张%' escape '\\'"_s));

    SearchOutcome plates = SearchVehicles(db(), 0, u"123"_s);
    ASSERT_EQ(plates.hits.size(), 2);
    EXPECT_EQ(plates.hits[0].plate, u"鲁A12345"_s);
    EXPECT_EQ(plates.hits[1].plate, u"鲁C99123"_s);
    EXPECT_EQ(SearchVehicles(db(), 1, u"777"_s).hits.size(), 1);
    const SearchOutcome archives = SearchVehicles(db(), 3, u"1"_s);
    ASSERT_EQ(archives.hits.size(), 2);
    EXPECT_EQ(archives.hits[1].archiveNumber, u"13"_s);
    EXPECT_TRUE(SearchVehicles(db(), 2, u"赵"_s).hits.isEmpty());
    EXPECT_TRUE(SearchVehicles(db(), 7, u"张"_s).hits.isEmpty());
}

TEST_F(VehicleDataTest, AVehicleYieldsOneResultFromItsLastMatchingRow) {
    save(vehicle(u"鲁A12345"_s, u"1"_s, u"张三"_s));
    exec(u"insert into 鲁A12345([档案编号],[车主姓名],[主车牌号]) values('1','张五','鲁A12345')"_s);
    exec(u"insert into 鲁A12345([档案编号],[车主姓名],[主车牌号]) values('1','李六','鲁A12345')"_s);
    const SearchOutcome found = SearchVehicles(db(), 2, u"张"_s);
    ASSERT_EQ(found.hits.size(), 1);
    EXPECT_EQ(found.hits[0].ownerName, u"张五"_s);
    // A matching row without a plate yields nothing.
    exec(u"insert into 鲁A12345([车主姓名]) values('张七')"_s);
    EXPECT_TRUE(SearchVehicles(db(), 2, u"张七"_s).hits.isEmpty());
}

TEST_F(VehicleDataTest, UnreadableTablesAreCountedAndSkipped) {
    save(vehicle(u"鲁A12345"_s, u"1"_s, u"张三"_s));
    exec(u"insert into [总表]([档案编号],[车牌号]) values('2','鲁Z00000')"_s);
    exec(u"insert into [总表]([档案编号],[车牌号]) values('3','bad name')"_s);
    const SearchOutcome found = SearchVehicles(db(), 2, u"张"_s);
    EXPECT_EQ(found.unreadableTables, 2);
    EXPECT_EQ(found.hits.size(), 1);
    exec(u"drop table [总表]"_s);
    EXPECT_TRUE(SearchVehicles(db(), 2, u"张"_s).masterUnreadable);
}

// ---------------------------------------------------------------------------------------------
// Current rows and histories

TEST_F(VehicleDataTest, LoadingPicksEachGroupsLastRowWithItsMarker) {
    NewVehicle v = vehicle(u"鲁A12345"_s, u"1"_s, u"  张三  "_s);
    v.values.insert(u"二维卡号"_s, u" K1 "_s);
    v.values.insert(u"审车备注"_s, u" first "_s);
    save(v);
    exec(u"insert into 鲁A12345([下次审车日期],[审车应缴费用],[审车已缴费用],[审车备注],[审车车号]) "
         u"values('2027年3月1日','1000','400',' second ','鲁A12345')"_s);
    exec(u"insert into 鲁A12345([档案编号],[车主姓名],[车辆状态]) values('1','李四','3')"_s);
    exec(u"insert into 鲁A12345([审车备注]) values('no marker')"_s);

    const auto basic = ReadCurrentGroup(db(), VehicleGroup::Basic, u"鲁A12345"_s);
    ASSERT_TRUE(basic && basic->present);
    EXPECT_EQ(basic->text(u"车主姓名"_s, true), u"李四"_s);
    EXPECT_EQ(basic->text(u"车辆状态"_s, true), u"3"_s);
    EXPECT_EQ(basic->columns.size(), 29);

    const auto inspection = ReadCurrentGroup(db(), VehicleGroup::Inspection, u"鲁A12345"_s);
    ASSERT_TRUE(inspection && inspection->present);
    EXPECT_EQ(inspection->value(u"下次审车日期"_s).date(), QDate(2027, 3, 1));
    EXPECT_EQ(inspection->text(u"审车备注"_s, GroupDef(VehicleGroup::Inspection).trimmed), u" second "_s);
    EXPECT_EQ(OwedText(inspection->text(u"审车应缴费用"_s, false), inspection->text(u"审车已缴费用"_s, false)),
              u"600"_s);

    const auto maintenance = ReadCurrentGroup(db(), VehicleGroup::Maintenance, u"鲁A12345"_s);
    ASSERT_TRUE(maintenance && maintenance->present);
    EXPECT_EQ(maintenance->text(u"二维卡号"_s, GroupDef(VehicleGroup::Maintenance).trimmed), u"K1"_s);

    exec(u"update 鲁A12345 set [下次保险日期]=null"_s);
    const auto insurance = ReadCurrentGroup(db(), VehicleGroup::Insurance, u"鲁A12345"_s);
    ASSERT_TRUE(insurance.has_value());
    EXPECT_FALSE(insurance->present);
    EXPECT_FALSE(ReadCurrentGroup(db(), VehicleGroup::Basic, u"鲁Q11111"_s).has_value());
    EXPECT_EQ(PageQuery(VehicleGroup::ManagementFee, u"P"_s),
              u"select [管理应缴费用],[管理已缴费用],[管理备注],[下次管理费用日期],[管理缴费日期],[管理费是否通知车主],"
              u"[是否脱管],[是否提醒管理] from P  where 下次管理费用日期 is not null"_s);
}

TEST_F(VehicleDataTest, HistoryListsCarryTheRowNumbersAndShowFeesOnlyWhenVisible) {
    NewVehicle v = vehicle(u"鲁A12345"_s, u"1"_s);
    v.values.insert(u"审车应缴费用"_s, u"100"_s);
    v.values.insert(u"保险公司名称"_s, u"平安"_s);
    v.values.insert(u"保险应缴费用"_s, u"900"_s);
    save(v);
    exec(u"insert into 鲁A12345([下次审车日期],[审车应缴费用]) values('2027年3月1日','200')"_s);
    exec(u"insert into 鲁A12345([档案编号],[车主姓名]) values('1','')"_s);

    const auto inspection = ReadGroupList(db(), VehicleGroup::Inspection, u"鲁A12345"_s, true);
    ASSERT_TRUE(inspection.has_value());
    ASSERT_EQ(inspection->size(), 2);
    EXPECT_EQ((*inspection)[0].number, 1);
    EXPECT_EQ((*inspection)[1].number, 2);
    EXPECT_EQ((*inspection)[1].caption, u"2027-03-01"_s);
    EXPECT_EQ((*inspection)[1].cells.value(0), u"200"_s);
    EXPECT_EQ((*inspection)[0].cells.value(2), u"2026-03-09"_s);

    const auto hidden = ReadGroupList(db(), VehicleGroup::Inspection, u"鲁A12345"_s, false);
    ASSERT_TRUE(hidden.has_value());
    EXPECT_EQ((*hidden)[1].cells, QStringList({QString(), QString(), QString()}));

    const auto insurance = ReadGroupList(db(), VehicleGroup::Insurance, u"鲁A12345"_s, false);
    ASSERT_TRUE(insurance && insurance->size() == 1);
    EXPECT_EQ((*insurance)[0].cells.value(0), u"平安"_s);
    EXPECT_EQ((*insurance)[0].cells.size(), 11);
    EXPECT_TRUE((*insurance)[0].cells.value(8).isEmpty());

    // Basic rows without an owner name are left out of the list.
    const auto basic = ReadGroupList(db(), VehicleGroup::Basic, u"鲁A12345"_s, true);
    ASSERT_TRUE(basic && basic->size() == 1);
    EXPECT_EQ((*basic)[0].caption, u"张三"_s);
    EXPECT_FALSE(ReadGroupList(db(), VehicleGroup::Basic, u"鲁Q11111"_s, true).has_value());
    EXPECT_EQ(ListFailureMessage(u"鲁Q11111"_s), u"没有打开车号为鲁Q11111的车辆信息！"_s);
}

TEST_F(VehicleDataTest, OwedAmountCountsEmptyAndUnreadableBoxesAsZero) {
    EXPECT_DOUBLE_EQ(OwedAmount(u"1000"_s, u"400"_s), 600);
    EXPECT_DOUBLE_EQ(OwedAmount(QString(), u"400"_s), -400);
    EXPECT_DOUBLE_EQ(OwedAmount(u" 12.5 "_s, QString()), 12.5);
    EXPECT_DOUBLE_EQ(OwedAmount(u"abc"_s, u"1"_s), -1);
    EXPECT_EQ(OwedText(u"1000.5"_s, u"0.25"_s), u"1000.25"_s);
    EXPECT_EQ(OwedText(QString(), QString()), u"0"_s);
}

TEST_F(VehicleDataTest, InsuranceKindsComeInTableOrder) {
    const auto kinds = ReadInsuranceKinds(db());
    ASSERT_TRUE(kinds.has_value());
    ASSERT_FALSE(kinds->isEmpty());
    EXPECT_EQ(kinds->first(), u"交强险"_s);
    exec(u"drop table 险种名称"_s);
    EXPECT_FALSE(ReadInsuranceKinds(db()).has_value());
}

// ---------------------------------------------------------------------------------------------
// Tab colours

TEST(DueColourTest, MonthOffsetsGiveTheColours) {
    EXPECT_EQ(DueColour(-4), TabColour::Black);
    EXPECT_EQ(DueColour(-3), TabColour::Black);
    EXPECT_EQ(DueColour(-2), TabColour::DarkRed);
    EXPECT_EQ(DueColour(-1), TabColour::DarkRed);
    EXPECT_EQ(DueColour(0), TabColour::Red);
    EXPECT_EQ(DueColour(1), TabColour::Yellow);
    EXPECT_EQ(DueColour(2), TabColour::Green);
    EXPECT_EQ(DueColour(std::nullopt), TabColour::Green);
    EXPECT_EQ(TabColourValue(TabColour::Green), 0x00FF00u);
    EXPECT_EQ(TabColourValue(TabColour::Yellow), 0x00FFFFu);
    EXPECT_EQ(TabColourValue(TabColour::Red), 0x0000FFu);
    EXPECT_EQ(TabColourValue(TabColour::DarkRed), 0x000080u);
    EXPECT_EQ(TabColourValue(TabColour::Black), 0x000000u);
    EXPECT_EQ(TabColourName(TabColour::DarkRed), u"darkred"_s);
}

TEST(DueColourTest, TheEarlierOfTwoSetDatesDecides) {
    const QDate month(2026, 3, 1);
    // Main this month, trailer two months later: red.
    EXPECT_EQ(DueMonthOffset({2026, 3, 28}, {2026, 5, 2}, month), 0);
    // Trailer earlier than main: the trailer decides.
    EXPECT_EQ(DueMonthOffset({2026, 6, 1}, {2025, 12, 31}, month), -3);
    // Trailer in January 2000 counts as not set: the main date alone decides.
    EXPECT_EQ(DueMonthOffset({2026, 5, 1}, {2000, 1, 20}, month), 2);
    EXPECT_EQ(DueMonthOffset({2000, 1, 1}, {2026, 4, 30}, month), 1);
    EXPECT_EQ(DueMonthOffset({2000, 1, 1}, {2000, 1, 1}, month), std::nullopt);
    EXPECT_EQ(DueMonthOffset({}, {}, month), std::nullopt);
    // The day of the month plays no part.
    EXPECT_EQ(DueMonthOffset({2026, 2, 28}, {}, {2026, 3, 31}), -1);
}

TEST_F(VehicleDataTest, TabColourOfAGroupFollowsItsCurrentRow) {
    NewVehicle v = vehicle(u"鲁A12345"_s, u"1"_s);
    v.values.insert(u"下次审车日期"_s, QDate(2026, 3, 20));
    v.values.insert(u"下次挂车审车日期"_s, QDate(2026, 5, 20));
    v.values.insert(u"下次二维日期"_s, QDate(2025, 12, 1));
    v.values.insert(u"下次管理费用日期"_s, QDate(2026, 2, 1));
    v.values.insert(u"下次营运证日期"_s, QDate(2026, 4, 1));
    save(v);
    const QDate month(2026, 3, 1);
    auto colour = [&](VehicleGroup g) { return GroupTabColour(g, *ReadCurrentGroup(db(), g, u"鲁A12345"_s), month); };
    EXPECT_EQ(colour(VehicleGroup::Inspection), TabColour::Red);
    EXPECT_EQ(colour(VehicleGroup::Maintenance), TabColour::Black);
    EXPECT_EQ(colour(VehicleGroup::Insurance), TabColour::Green);
    EXPECT_EQ(colour(VehicleGroup::ManagementFee), TabColour::DarkRed);
    EXPECT_EQ(colour(VehicleGroup::OperatingPermit), TabColour::Yellow);
}

// ---------------------------------------------------------------------------------------------
// Deleting

TEST_F(VehicleDataTest, DeleteRemovesTableAndMasterRowTogether) {
    save(vehicle(u"鲁A12345"_s, u"1"_s));
    save(vehicle(u"鲁B12345"_s, u"2"_s));
    const DeleteResult r = DeleteVehicleRows(db(), u"鲁A12345"_s);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.message, u"已经成功删除主表主车号为鲁A12345的车辆档案信息"_s);
    EXPECT_FALSE(tableExists(u"鲁A12345"_s));
    EXPECT_EQ(masterPlates(), QStringList({u"鲁B12345"_s}));
    // The same plate starts again from an empty history.
    save(vehicle(u"鲁A12345"_s, u"1"_s));
    const auto list = ReadGroupList(db(), VehicleGroup::Inspection, u"鲁A12345"_s, true);
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(list->size(), 1);
}

TEST_F(VehicleDataTest, FailedDeleteChangesNothing) {
    save(vehicle(u"鲁A12345"_s, u"1"_s));
    // The master list becomes a view: its row cannot be deleted, so the table must stay.
    exec(u"select * into 总表数据 from [总表]"_s);
    exec(u"drop table [总表]"_s);
    exec(u"create view [总表] as select * from 总表数据"_s);
    DeleteResult r = DeleteVehicleRows(db(), u"鲁A12345"_s);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, u"没有删除主表"_s);
    EXPECT_TRUE(tableExists(u"鲁A12345"_s));
    EXPECT_EQ(masterPlates(), QStringList({u"鲁A12345"_s}));

    r = DeleteVehicleRows(db(), u"鲁Q00000"_s);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, u"总表中没有车牌号为鲁Q00000的车辆！"_s);
    store::DatabaseConnection::SetStatementLogging(true);
    EXPECT_FALSE(DeleteVehicleRows(db(), QString()).ok);
    EXPECT_FALSE(DeleteVehicleRows(db(), u"鲁A1;x"_s).ok);
    EXPECT_TRUE(store::DatabaseConnection::StatementLog().isEmpty());
}

// ---------------------------------------------------------------------------------------------
// velmora-cli search and show

namespace {

struct CliResult {
    int status;
    QString out;
    QString err;
};

CliResult runCli(const QStringList& args) {
    QString out, err;
    QTextStream o(&out), e(&err);
    const int status = cli::Run(args, o, e);
    o.flush();
    e.flush();
    return {status, out, err};
}

} // namespace

class VehicleCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        store::ResetSession();
        store::SetToday({});
        const CliResult init = runCli({u"init"_s, u"--data-dir"_s, dir_.path()});
        ASSERT_EQ(init.status, 0) << init.err.toStdString();
        ASSERT_TRUE(db_.OpenDatabaseFile(store::DatabasePath(), store::kDatabasePassword));
    }
    void TearDown() override {
        store::SetToday({});
        qunsetenv("VELMORA_DATA_DIR");
    }
    CliResult cli(QStringList args) {
        args << u"--data-dir"_s << dir_.path();
        return runCli(args);
    }
    QTemporaryDir dir_;
    store::DatabaseConnection db_;
};

TEST_F(VehicleCliTest, SearchPrintsTheMatchesInMasterOrder) {
    NewVehicle a = vehicle(u"鲁A12345"_s, u"001"_s, u"张三"_s);
    a.values.insert(u"挂车牌号"_s, u"鲁A999挂"_s);
    ASSERT_TRUE(SaveNewVehicleRows(db_, a).ok);
    ASSERT_TRUE(SaveNewVehicleRows(db_, vehicle(u"鲁B12399"_s, u"002"_s, u"张'四"_s)).ok);
    ASSERT_TRUE(SaveNewVehicleRows(db_, vehicle(u"鲁C55555"_s, u"003"_s, u"王张"_s)).ok);

    CliResult r = cli({u"search"_s, u"--by"_s, u"owner"_s, u"张"_s});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QJsonArray hits = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(hits.size(), 2);
    const QJsonObject first = hits[0].toObject();
    EXPECT_EQ(first.keys().size(), 4);
    EXPECT_EQ(first[u"档案编号"_s].toString(), u"001"_s);
    EXPECT_EQ(first[u"主车牌号"_s].toString(), u"鲁A12345"_s);
    EXPECT_EQ(first[u"挂车牌号"_s].toString(), u"鲁A999挂"_s);
    EXPECT_EQ(first[u"车主姓名"_s].toString(), u"张三"_s);
    EXPECT_EQ(hits[1].toObject()[u"车主姓名"_s].toString(), u"张'四"_s);

    r = cli({u"search"_s, u"--by"_s, u"plate"_s, u"123"_s});
    EXPECT_EQ(QJsonDocument::fromJson(r.out.toUtf8()).array().size(), 2);
    r = cli({u"search"_s, u"--by"_s, u"archive"_s, u"3"_s});
    EXPECT_EQ(QJsonDocument::fromJson(r.out.toUtf8()).array().size(), 1);
    r = cli({u"search"_s, u"--by"_s, u"trailer"_s, u"999"_s});
    EXPECT_EQ(QJsonDocument::fromJson(r.out.toUtf8()).array().size(), 1);
    r = cli({u"search"_s, u"--by"_s, u"owner"_s, u"赵"_s});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(QJsonDocument::fromJson(r.out.toUtf8()).array().isEmpty());

    r = cli({u"search"_s, u"--by"_s, u"colour"_s, u"x"_s});
    EXPECT_NE(r.status, 0);
    EXPECT_FALSE(r.err.isEmpty());
    r = cli({u"search"_s, u"--by"_s, u"owner"_s});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.err.contains(u"请输入搜索条件"_s));
}

TEST_F(VehicleCliTest, ShowPrintsTheCurrentRowsOwedAmountsAndTabColours) {
    NewVehicle v = vehicle(u"鲁A12345"_s, u"007"_s, u" 张三 "_s);
    v.values.insert(u"下次审车日期"_s, QDate(2026, 3, 15));
    v.values.insert(u"下次挂车审车日期"_s, QDate(2026, 5, 15));
    v.values.insert(u"审车应缴费用"_s, u"1000"_s);
    v.values.insert(u"审车已缴费用"_s, u"400"_s);
    v.values.insert(u"下次二维日期"_s, QDate(2025, 12, 1));
    v.values.insert(u"下次营运证日期"_s, QDate(2026, 4, 1));
    v.images = {QByteArray(10, 'a'), QByteArray(), QByteArray(3, 'c'), QByteArray(), QByteArray()};
    ASSERT_TRUE(SaveNewVehicleRows(db_, v).ok);
    ASSERT_TRUE(db_.ExecuteStatement(u"update 鲁A12345 set [下次保险日期]=null"_s));

    const CliResult r = cli({u"show"_s, u"鲁A12345"_s, u"--today"_s, u"2026-03-09"_s});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    const QJsonObject basic = o[u"basic"_s].toObject();
    EXPECT_EQ(basic[u"车主姓名"_s].toString(), u"张三"_s);
    EXPECT_EQ(basic[u"档案编号"_s].toString(), u"007"_s);
    EXPECT_EQ(basic[u"车主身份证信息"_s].toDouble(), 10);
    EXPECT_EQ(basic[u"车辆照片信息"_s].toDouble(), 0);
    EXPECT_EQ(basic[u"车辆照片信息2"_s].toDouble(), 3);
    EXPECT_EQ(basic[u"买入日期"_s].toString(), u"2000-01-01"_s);
    EXPECT_FALSE(basic.contains(u"owed"_s));
    const QJsonObject inspection = o[u"Inspection"_s].toObject();
    EXPECT_EQ(inspection[u"下次审车日期"_s].toString(), u"2026-03-15"_s);
    EXPECT_EQ(inspection[u"是否提醒主车审车"_s].toBool(false), true);
    EXPECT_TRUE(inspection[u"是否脱审"_s].isBool());
    EXPECT_EQ(inspection[u"owed"_s].toDouble(), 600);
    EXPECT_TRUE(o[u"Insurance"_s].isNull());
    EXPECT_EQ(o[u"ManagementFee"_s].toObject()[u"owed"_s].toDouble(), 0);
    const QJsonObject colours = o[u"tab_colours"_s].toObject();
    EXPECT_EQ(colours[u"Inspection"_s].toString(), u"red"_s);
    EXPECT_EQ(colours[u"Maintenance"_s].toString(), u"black"_s);
    EXPECT_EQ(colours[u"Insurance"_s].toString(), u"green"_s);
    EXPECT_EQ(colours[u"ManagementFee"_s].toString(), u"green"_s); // January 2000: no date
    EXPECT_EQ(colours[u"OperatingPermit"_s].toString(), u"yellow"_s);
    EXPECT_FALSE(colours.contains(u"basic"_s));

    const CliResult later = cli({u"show"_s, u"鲁A12345"_s, u"--today"_s, u"2026-05-31"_s});
    const QJsonObject laterColours = QJsonDocument::fromJson(later.out.toUtf8()).object()[u"tab_colours"_s].toObject();
    EXPECT_EQ(laterColours[u"Inspection"_s].toString(), u"darkred"_s);
    EXPECT_EQ(laterColours[u"OperatingPermit"_s].toString(), u"darkred"_s);
}

TEST_F(VehicleCliTest, ShowRefusesUnknownPlatesAndBadDates) {
    CliResult r = cli({u"show"_s, u"鲁X00000"_s});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains(u"鲁X00000"_s)) << r.err.toStdString();
    r = cli({u"show"_s, u"总表 --"_s});
    EXPECT_NE(r.status, 0);
    r = cli({u"show"_s, u"鲁A12345"_s, u"--today"_s, u"2026-13-01"_s});
    EXPECT_NE(r.status, 0);
    EXPECT_FALSE(r.err.isEmpty());
    r = runCli({u"show"_s, u"鲁A12345"_s, u"--data-dir"_s, dir_.path() + u"/missing"_s});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.err.contains(u"数据库丢失"_s)) << r.err.toStdString();
}
