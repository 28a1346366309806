#include "archive/vehicledata.h"
#include "cli/commands.h"
#include "store/schema.h"
#include "store/session.h"
#include "support/testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using testing_support::DataDirTest;
using namespace archive;

namespace {

QString u(const char* s) {
    return QString::fromUtf8(s);
}

// A new vehicle as the emptied form would give it, with the values a test cares about.
NewVehicle vehicle(const QString& plate, const QString& archiveNumber, const QString& owner = u("张三")) {
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
        v.values.insert(u(reminder), true);
    for (const char* notice : {"审车是否通知车主", "二维是否通知车主", "管理费是否通知车主", "营运证是否通知车主"})
        v.values.insert(u(notice), u("未到通知时间"));
    for (const char* paid : {"审车缴费日期", "二维缴费日期", "保险缴费日期", "管理缴费日期", "营运缴费日期"})
        v.values.insert(u(paid), QDate(2026, 3, 9));
    v.values.insert(u("是否驻内"), u("驻内"));
    v.values.insert(u("车辆状态"), 1);
    v.values.insert(u("主车牌号"), plate);
    v.values.insert(u("档案编号"), archiveNumber);
    v.values.insert(u("车主姓名"), owner);
    for (const char* copy : {"审车车号", "二维车号", "保险车号", "管理车号", "营运车号"})
        v.values.insert(u(copy), plate);
    return v;
}

class VehicleDataTest : public DataDirTest {
protected:
    bool tableExists(const QString& table) {
        const int rs = db().OpenRecordSet(u("select * from ") + table);
        if (rs)
            db().CloseRecordSet(rs);
        return rs != 0;
    }
    QStringList masterPlates() {
        QStringList plates;
        const int rs = db().OpenRecordSet(u("select 车牌号 from [总表] "));
        EXPECT_NE(rs, 0);
        for (; rs && !db().AtEnd(rs); db().MoveNext(rs))
            plates << db().ReadField(rs, u("车牌号")).text();
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
        exec(u("drop table yangbiao"));
        QStringList cols;
        for (const store::ColumnDef& c : store::VehicleColumns()) {
            if (c.name == missing)
                continue;
            QString type = u("TEXT");
            if (c.type == store::ColumnType::Number)
                type = u("INTEGER PRIMARY KEY AUTOINCREMENT");
            else if (c.type == store::ColumnType::Date)
                type = u("DATE");
            else if (c.type == store::ColumnType::YesNo)
                type = u("YESNO");
            else if (c.type == store::ColumnType::Bytes)
                type = u("BLOB");
            cols << u("[") + c.name + u("] ") + type;
        }
        exec(u("create table yangbiao (") + cols.join(u(", ")) + u(")"));
    }
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Saving a new vehicle

TEST_F(VehicleDataTest, SaveWritesTheFirstRowWithAllColumnsPlateCopiesAndReminders) {
    NewVehicle v = vehicle(u("鲁A12345"), u("007"));
    v.values.insert(u("挂车牌号"), u("鲁A6789挂"));
    v.values.insert(u("下次审车日期"), QDate(2026, 12, 8));
    v.values.insert(u("审车应缴费用"), u("1000"));
    v.values.insert(u("是否提醒管理"), false);
    v.values.insert(u("车辆状态"), 2);
    v.images = {QByteArray("id"), QByteArray("photo-1"), QByteArray(), QByteArray("lic-1"), QByteArray("lic-22")};
    store::DatabaseConnection::SetStatementLogging(true);
    const SaveResult r = SaveNewVehicleRows(db(), v);
    ASSERT_TRUE(r.ok) << db().LastError().toStdString();
    EXPECT_EQ(r.message, u("新车辆添加成功！"));
    const QStringList log = store::DatabaseConnection::StatementLog();
    EXPECT_TRUE(log.contains(u("select * into 鲁A12345 from yangbiao")));
    EXPECT_TRUE(log.contains(u("Alter table 鲁A12345  Add  Constraint  PrimaryKey  Primary  Key (编号)")));
    EXPECT_TRUE(log.contains(u("insert into [总表]([档案编号],[车牌号]) values('007','鲁A12345')")));
    const QString insert = log.last();
    EXPECT_TRUE(insert.startsWith(u("insert into 鲁A12345([档案编号],[车主姓名],"))) << insert.toStdString();
    EXPECT_TRUE(insert.contains(u("'',2,'',''"))) << "status unquoted";
    EXPECT_TRUE(insert.contains(u("'',?,?,?,?,?,''")));

    EXPECT_EQ(FirstRowColumns().size(), 94);
    EXPECT_EQ(QStringList(FirstRowColumns()).removeDuplicates(), 0);
    const int rs = db().OpenRecordSet(u("select * from 鲁A12345"));
    ASSERT_NE(rs, 0);
    ASSERT_EQ(db().RowCount(rs), 1);
    EXPECT_EQ(db().ReadField(rs, u("编号")).number(), 1);
    for (const char* copy : {"主车牌号", "审车车号", "二维车号", "保险车号", "管理车号", "营运车号"})
        EXPECT_EQ(db().ReadField(rs, u(copy)).text(), u("鲁A12345")) << copy;
    for (const char* reminder :
         {"是否提醒主车审车", "是否提醒挂车审车", "是否提醒保险", "是否提醒二维", "是否提醒营运", "是否提醒挂车保险"})
        EXPECT_TRUE(db().ReadField(rs, u(reminder)).yesNo()) << reminder;
    EXPECT_FALSE(db().ReadField(rs, u("是否提醒管理")).yesNo());
    EXPECT_FALSE(db().ReadField(rs, u("是否提醒管理")).isNull);
    EXPECT_EQ(db().ReadField(rs, u("下次审车日期")).date(), QDate(2026, 12, 8));
    EXPECT_EQ(db().ReadField(rs, u("下次二维日期")).date(), QDate(2000, 1, 1));
    EXPECT_EQ(db().ReadField(rs, u("审车缴费日期")).date(), QDate(2026, 3, 9));
    EXPECT_EQ(db().ReadField(rs, u("车辆状态")).text(), u("2"));
    EXPECT_EQ(db().ReadField(rs, u("审车应缴费用")).text(), u("1000"));
    EXPECT_EQ(db().ReadField(rs, u("挂车牌号")).text(), u("鲁A6789挂"));
    EXPECT_EQ(db().ReadField(rs, u("是否驻内")).text(), u("驻内"));
    EXPECT_EQ(db().ReadField(rs, u("车主身份证信息")).bytes(), QByteArray("id"));
    EXPECT_EQ(db().ReadField(rs, u("车辆照片信息")).bytes(), QByteArray("photo-1"));
    EXPECT_TRUE(db().ReadField(rs, u("车辆照片信息2")).bytes().isEmpty());
    EXPECT_EQ(db().ReadField(rs, u("行车证信息2")).bytes(), QByteArray("lic-22"));
    // Not part of the insert: stays null.
    EXPECT_TRUE(db().ReadField(rs, u("保险是否通知车主")).isNull);
    db().CloseRecordSet(rs);
    EXPECT_EQ(masterPlates(), QStringList({u("鲁A12345")}));
}

TEST_F(VehicleDataTest, FailedTableCopyLeavesNothingNew) {
    exec(u("select * into 鲁A12345 from yangbiao"));
    const SaveResult r = SaveNewVehicleRows(db(), vehicle(u("鲁A12345"), u("1")));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedStep, SaveStep::CopyTable);
    EXPECT_EQ(r.message, u("创建新车表格失败！"));
    EXPECT_TRUE(masterPlates().isEmpty());
}

TEST_F(VehicleDataTest, FailedKeyLeavesNothingAndTheSamePlateSavesAfterwards) {
    breakTemplate(u("编号"));
    const SaveResult r = SaveNewVehicleRows(db(), vehicle(u("鲁A12345"), u("1")));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedStep, SaveStep::PrimaryKey);
    EXPECT_EQ(r.message, u("设置主键失败！"));
    EXPECT_FALSE(tableExists(u("鲁A12345")));
    EXPECT_TRUE(masterPlates().isEmpty());
    breakTemplate(u("not-a-column"));
    save(vehicle(u("鲁A12345"), u("1")));
    EXPECT_EQ(masterPlates(), QStringList({u("鲁A12345")}));
}

TEST_F(VehicleDataTest, FailedMasterRowLeavesNoTable) {
    exec(u("drop table [总表]"));
    exec(u("create table [总表] ([档案编号] text, [车牌号] text check (length(车牌号) > 20))"));
    const SaveResult r = SaveNewVehicleRows(db(), vehicle(u("鲁A12345"), u("1")));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedStep, SaveStep::MasterRow);
    EXPECT_EQ(r.message, u("在总表创建新车记录失败！"));
    EXPECT_FALSE(tableExists(u("鲁A12345")));
    EXPECT_TRUE(masterPlates().isEmpty());
}

TEST_F(VehicleDataTest, FailedFirstRowLeavesNoTableNoMasterRowAndTheSamePlateSavesAgain) {
    breakTemplate(u("其他"));
    const SaveResult r = SaveNewVehicleRows(db(), vehicle(u("鲁A12345"), u("1")));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failedStep, SaveStep::FirstRow);
    EXPECT_EQ(r.message, u("在新表录入记录失败!！"));
    EXPECT_FALSE(tableExists(u("鲁A12345")));
    EXPECT_TRUE(masterPlates().isEmpty());

    breakTemplate(u("not-a-column"));
    save(vehicle(u("鲁A12345"), u("1")));
    EXPECT_TRUE(tableExists(u("鲁A12345")));
    EXPECT_EQ(masterPlates(), QStringList({u("鲁A12345")}));
}

TEST_F(VehicleDataTest, PlateAlreadyListedIsNotSavedTwice) {
    save(vehicle(u("鲁A12345"), u("1")));
    const SaveResult r = SaveNewVehicleRows(db(), vehicle(u("鲁A12345"), u("2")));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, u("创建新车表格失败！"));
    EXPECT_EQ(masterPlates().size(), 1);
    // Listed but its table gone: still no second master row.
    exec(u("drop table 鲁A12345"));
    EXPECT_FALSE(SaveNewVehicleRows(db(), vehicle(u("鲁A12345"), u("2"))).ok);
    EXPECT_EQ(masterPlates().size(), 1);
}

TEST_F(VehicleDataTest, ArchiveNumbersDifferingOnlyInLeadingZerosAreTheSame) {
    EXPECT_EQ(ArchiveKey(u("003")), u("3"));
    EXPECT_EQ(ArchiveKey(u("0")), QString());
    EXPECT_EQ(ArchiveKey(u("300")), u("300"));
    EXPECT_EQ(ArchiveNumberTaken(db(), u("3")), std::optional<bool>(false));
    save(vehicle(u("鲁A12345"), u("3")));
    EXPECT_EQ(ArchiveNumberTaken(db(), u("003")), std::optional<bool>(true));
    EXPECT_EQ(ArchiveNumberTaken(db(), u("3")), std::optional<bool>(true));
    EXPECT_EQ(ArchiveNumberTaken(db(), u("30")), std::optional<bool>(false));
    EXPECT_EQ(ArchiveNumberTaken(db(), u("03a")), std::optional<bool>(false));
}

// ---------------------------------------------------------------------------------------------
// Plates as table names

TEST_F(VehicleDataTest, PlatesThatCannotNameATableAreRefusedBeforeAnyStatement) {
    for (const char* good : {"鲁A12345", "AB12345", "京A1234挂", "鲁B9X8Y7"})
        EXPECT_TRUE(IsSafePlate(u(good))) << good;
    for (const char* bad : {"鲁A 12345", "鲁A'12345", "鲁A[1]", "鲁A;drop", "鲁A-1234", "鲁A.1234", "x\"y", "12345678",
                            "鲁A\t1", "鲁A(1)", "鲁A，123"}) {
        EXPECT_FALSE(IsSafePlate(u(bad))) << bad;
        EXPECT_FALSE(PlateRefusal(u(bad)).isEmpty());
    }
    EXPECT_EQ(PlateRefusal(QString()), u("请输入主车车牌号！"));

    store::DatabaseConnection::SetStatementLogging(true);
    const SaveResult r = SaveNewVehicleRows(db(), vehicle(u("鲁A1;drop table 总表"), u("1")));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, PlateRefusal(u("鲁A1;drop table 总表")));
    EXPECT_TRUE(store::DatabaseConnection::StatementLog().isEmpty());
    EXPECT_FALSE(ReadCurrentGroup(db(), VehicleGroup::Basic, u("总表 --")).has_value());
    EXPECT_TRUE(store::DatabaseConnection::StatementLog().isEmpty());
}

TEST_F(VehicleDataTest, ValuesWithQuotesAreSavedFoundAndLoadedAsTyped) {
    const QString owner = u("O'Neil 张'三");
    NewVehicle v = vehicle(u("鲁A12345"), u("12'3"), owner);
    v.values.insert(u("基本信息备注"), u("x','y"));
    save(v);
    const auto row = ReadCurrentGroup(db(), VehicleGroup::Basic, u("鲁A12345"));
    ASSERT_TRUE(row && row->present);
    EXPECT_EQ(row->text(u("车主姓名"), true), owner);
    EXPECT_EQ(row->text(u("档案编号"), true), u("12'3"));
    EXPECT_EQ(row->text(u("基本信息备注"), true), u("x','y"));
    const SearchOutcome found = SearchVehicles(db(), 2, u("O'Neil"));
    ASSERT_EQ(found.hits.size(), 1);
    EXPECT_EQ(found.hits[0].ownerName, owner);
    EXPECT_EQ(found.hits[0].archiveNumber, u("12'3"));
    EXPECT_EQ(ArchiveNumberTaken(db(), u("0012'3")), std::optional<bool>(true));
}

// ---------------------------------------------------------------------------------------------
// Search

TEST_F(VehicleDataTest, SearchFiltersAreTheFourConditions) {
    EXPECT_EQ(SearchFilter(0, u("123")), u(" where 主车牌号 like'%123%' escape '\\'"));
    EXPECT_EQ(SearchFilter(1, u("挂")), u(" where 挂车牌号 like'%挂%' escape '\\'"));
    EXPECT_EQ(SearchFilter(2, u("张")), u(" where 车主姓名 like'张%' escape '\\'"));
    EXPECT_EQ(SearchFilter(3, u("0'7")), u(" where 档案编号 like'%0''7%' escape '\\'"));
    EXPECT_EQ(SearchFilter(3, u("5%_\\")), u(" where 档案编号 like'%5\\%\\_\\\\%' escape '\\'"));
    EXPECT_TRUE(SearchFilter(4, u("x")).isEmpty());
    EXPECT_TRUE(SearchFilter(-1, u("x")).isEmpty());
}

TEST_F(VehicleDataTest, OwnerNamesMatchFromTheirStartAndPlatesAnywhere) {
    NewVehicle a = vehicle(u("鲁A12345"), u("1"), u("张三"));
    a.values.insert(u("挂车牌号"), u("鲁B777挂"));
    save(a);
    save(vehicle(u("鲁C99123"), u("2"), u("王张")));
    save(vehicle(u("鲁D55555"), u("13"), u("李四")));

    store::DatabaseConnection::SetStatementLogging(true);
    SearchOutcome owners = SearchVehicles(db(), 2, u("张"));
    ASSERT_EQ(owners.hits.size(), 1);
    EXPECT_EQ(owners.hits[0].plate, u("鲁A12345"));
    EXPECT_EQ(owners.hits[0].trailerPlate, u("鲁B777挂"));
    const QStringList log = store::DatabaseConnection::StatementLog();
    EXPECT_EQ(log.first(), u("select [车牌号] from 总表 "));
    EXPECT_TRUE(
        log.contains(u("select [主车牌号],[挂车牌号],[车主姓名],[档案编号] from 鲁C99123 where 车主姓名 like'张%' escape '\\'")));

    SearchOutcome plates = SearchVehicles(db(), 0, u("123"));
    ASSERT_EQ(plates.hits.size(), 2);
    EXPECT_EQ(plates.hits[0].plate, u("鲁A12345"));
    EXPECT_EQ(plates.hits[1].plate, u("鲁C99123"));
    EXPECT_EQ(SearchVehicles(db(), 1, u("777")).hits.size(), 1);
    const SearchOutcome archives = SearchVehicles(db(), 3, u("1"));
    ASSERT_EQ(archives.hits.size(), 2);
    EXPECT_EQ(archives.hits[1].archiveNumber, u("13"));
    EXPECT_TRUE(SearchVehicles(db(), 2, u("赵")).hits.isEmpty());
    EXPECT_TRUE(SearchVehicles(db(), 7, u("张")).hits.isEmpty());
}

TEST_F(VehicleDataTest, AVehicleYieldsOneResultFromItsLastMatchingRow) {
    save(vehicle(u("鲁A12345"), u("1"), u("张三")));
    exec(u("insert into 鲁A12345([档案编号],[车主姓名],[主车牌号]) values('1','张五','鲁A12345')"));
    exec(u("insert into 鲁A12345([档案编号],[车主姓名],[主车牌号]) values('1','李六','鲁A12345')"));
    const SearchOutcome found = SearchVehicles(db(), 2, u("张"));
    ASSERT_EQ(found.hits.size(), 1);
    EXPECT_EQ(found.hits[0].ownerName, u("张五"));
    // A matching row without a plate yields nothing.
    exec(u("insert into 鲁A12345([车主姓名]) values('张七')"));
    EXPECT_TRUE(SearchVehicles(db(), 2, u("张七")).hits.isEmpty());
}

TEST_F(VehicleDataTest, UnreadableTablesAreCountedAndSkipped) {
    save(vehicle(u("鲁A12345"), u("1"), u("张三")));
    exec(u("insert into [总表]([档案编号],[车牌号]) values('2','鲁Z00000')"));
    exec(u("insert into [总表]([档案编号],[车牌号]) values('3','bad name')"));
    const SearchOutcome found = SearchVehicles(db(), 2, u("张"));
    EXPECT_EQ(found.unreadableTables, 2);
    EXPECT_EQ(found.hits.size(), 1);
    exec(u("drop table [总表]"));
    EXPECT_TRUE(SearchVehicles(db(), 2, u("张")).masterUnreadable);
}

// ---------------------------------------------------------------------------------------------
// Current rows and histories

TEST_F(VehicleDataTest, LoadingPicksEachGroupsLastRowWithItsMarker) {
    NewVehicle v = vehicle(u("鲁A12345"), u("1"), u("  张三  "));
    v.values.insert(u("二维卡号"), u(" K1 "));
    v.values.insert(u("审车备注"), u(" first "));
    save(v);
    exec(u("insert into 鲁A12345([下次审车日期],[审车应缴费用],[审车已缴费用],[审车备注],[审车车号]) "
           "values('2027年3月1日','1000','400',' second ','鲁A12345')"));
    exec(u("insert into 鲁A12345([档案编号],[车主姓名],[车辆状态]) values('1','李四','3')"));
    exec(u("insert into 鲁A12345([审车备注]) values('no marker')"));

    const auto basic = ReadCurrentGroup(db(), VehicleGroup::Basic, u("鲁A12345"));
    ASSERT_TRUE(basic && basic->present);
    EXPECT_EQ(basic->text(u("车主姓名"), true), u("李四"));
    EXPECT_EQ(basic->text(u("车辆状态"), true), u("3"));
    EXPECT_EQ(basic->columns.size(), 29);

    const auto inspection = ReadCurrentGroup(db(), VehicleGroup::Inspection, u("鲁A12345"));
    ASSERT_TRUE(inspection && inspection->present);
    EXPECT_EQ(inspection->value(u("下次审车日期")).date(), QDate(2027, 3, 1));
    EXPECT_EQ(inspection->text(u("审车备注"), GroupDef(VehicleGroup::Inspection).trimmed), u(" second "));
    EXPECT_EQ(OwedText(inspection->text(u("审车应缴费用"), false), inspection->text(u("审车已缴费用"), false)),
              u("600"));

    const auto maintenance = ReadCurrentGroup(db(), VehicleGroup::Maintenance, u("鲁A12345"));
    ASSERT_TRUE(maintenance && maintenance->present);
    EXPECT_EQ(maintenance->text(u("二维卡号"), GroupDef(VehicleGroup::Maintenance).trimmed), u("K1"));

    exec(u("update 鲁A12345 set [下次保险日期]=null"));
    const auto insurance = ReadCurrentGroup(db(), VehicleGroup::Insurance, u("鲁A12345"));
    ASSERT_TRUE(insurance.has_value());
    EXPECT_FALSE(insurance->present);
    EXPECT_FALSE(ReadCurrentGroup(db(), VehicleGroup::Basic, u("鲁Q11111")).has_value());
    EXPECT_EQ(
        PageQuery(VehicleGroup::ManagementFee, u("P")),
        u("select [管理应缴费用],[管理已缴费用],[管理备注],[下次管理费用日期],[管理缴费日期],[管理费是否通知车主],"
          "[是否脱管],[是否提醒管理] from P  where 下次管理费用日期 is not null"));
}

TEST_F(VehicleDataTest, HistoryListsCarryTheRowNumbersAndShowFeesOnlyWhenVisible) {
    NewVehicle v = vehicle(u("鲁A12345"), u("1"));
    v.values.insert(u("审车应缴费用"), u("100"));
    v.values.insert(u("保险公司名称"), u("平安"));
    v.values.insert(u("保险应缴费用"), u("900"));
    save(v);
    exec(u("insert into 鲁A12345([下次审车日期],[审车应缴费用]) values('2027年3月1日','200')"));
    exec(u("insert into 鲁A12345([档案编号],[车主姓名]) values('1','')"));

    const auto inspection = ReadGroupList(db(), VehicleGroup::Inspection, u("鲁A12345"), true);
    ASSERT_TRUE(inspection.has_value());
    ASSERT_EQ(inspection->size(), 2);
    EXPECT_EQ((*inspection)[0].number, 1);
    EXPECT_EQ((*inspection)[1].number, 2);
    EXPECT_EQ((*inspection)[1].caption, u("2027-03-01"));
    EXPECT_EQ((*inspection)[1].cells.value(0), u("200"));
    EXPECT_EQ((*inspection)[0].cells.value(2), u("2026-03-09"));

    const auto hidden = ReadGroupList(db(), VehicleGroup::Inspection, u("鲁A12345"), false);
    ASSERT_TRUE(hidden.has_value());
    EXPECT_EQ((*hidden)[1].cells, QStringList({QString(), QString(), QString()}));

    const auto insurance = ReadGroupList(db(), VehicleGroup::Insurance, u("鲁A12345"), false);
    ASSERT_TRUE(insurance && insurance->size() == 1);
    EXPECT_EQ((*insurance)[0].cells.value(0), u("平安"));
    EXPECT_EQ((*insurance)[0].cells.size(), 11);
    EXPECT_TRUE((*insurance)[0].cells.value(8).isEmpty());

    // Basic rows without an owner name are left out of the list.
    const auto basic = ReadGroupList(db(), VehicleGroup::Basic, u("鲁A12345"), true);
    ASSERT_TRUE(basic && basic->size() == 1);
    EXPECT_EQ((*basic)[0].caption, u("张三"));
    EXPECT_FALSE(ReadGroupList(db(), VehicleGroup::Basic, u("鲁Q11111"), true).has_value());
    EXPECT_EQ(ListFailureMessage(u("鲁Q11111")), u("没有打开车号为鲁Q11111的车辆信息！"));
}

TEST_F(VehicleDataTest, OwedAmountCountsEmptyAndUnreadableBoxesAsZero) {
    EXPECT_DOUBLE_EQ(OwedAmount(u("1000"), u("400")), 600);
    EXPECT_DOUBLE_EQ(OwedAmount(QString(), u("400")), -400);
    EXPECT_DOUBLE_EQ(OwedAmount(u(" 12.5 "), QString()), 12.5);
    EXPECT_DOUBLE_EQ(OwedAmount(u("abc"), u("1")), -1);
    EXPECT_EQ(OwedText(u("1000.5"), u("0.25")), u("1000.25"));
    EXPECT_EQ(OwedText(QString(), QString()), u("0"));
}

TEST_F(VehicleDataTest, InsuranceKindsComeInTableOrder) {
    const auto kinds = ReadInsuranceKinds(db());
    ASSERT_TRUE(kinds.has_value());
    ASSERT_FALSE(kinds->isEmpty());
    EXPECT_EQ(kinds->first(), u("交强险"));
    exec(u("drop table 险种名称"));
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
    EXPECT_EQ(TabColourName(TabColour::DarkRed), QStringLiteral("darkred"));
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
    NewVehicle v = vehicle(u("鲁A12345"), u("1"));
    v.values.insert(u("下次审车日期"), QDate(2026, 3, 20));
    v.values.insert(u("下次挂车审车日期"), QDate(2026, 5, 20));
    v.values.insert(u("下次二维日期"), QDate(2025, 12, 1));
    v.values.insert(u("下次管理费用日期"), QDate(2026, 2, 1));
    v.values.insert(u("下次营运证日期"), QDate(2026, 4, 1));
    save(v);
    const QDate month(2026, 3, 1);
    auto colour = [&](VehicleGroup g) { return GroupTabColour(g, *ReadCurrentGroup(db(), g, u("鲁A12345")), month); };
    EXPECT_EQ(colour(VehicleGroup::Inspection), TabColour::Red);
    EXPECT_EQ(colour(VehicleGroup::Maintenance), TabColour::Black);
    EXPECT_EQ(colour(VehicleGroup::Insurance), TabColour::Green);
    EXPECT_EQ(colour(VehicleGroup::ManagementFee), TabColour::DarkRed);
    EXPECT_EQ(colour(VehicleGroup::OperatingPermit), TabColour::Yellow);
}

// ---------------------------------------------------------------------------------------------
// Deleting

TEST_F(VehicleDataTest, DeleteRemovesTableAndMasterRowTogether) {
    save(vehicle(u("鲁A12345"), u("1")));
    save(vehicle(u("鲁B12345"), u("2")));
    const DeleteResult r = DeleteVehicleRows(db(), u("鲁A12345"));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.message, u("已经成功删除主表主车号为鲁A12345的车辆档案信息"));
    EXPECT_FALSE(tableExists(u("鲁A12345")));
    EXPECT_EQ(masterPlates(), QStringList({u("鲁B12345")}));
    // The same plate starts again from an empty history.
    save(vehicle(u("鲁A12345"), u("1")));
    const auto list = ReadGroupList(db(), VehicleGroup::Inspection, u("鲁A12345"), true);
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(list->size(), 1);
}

TEST_F(VehicleDataTest, FailedDeleteChangesNothing) {
    save(vehicle(u("鲁A12345"), u("1")));
    // The master list becomes a view: its row cannot be deleted, so the table must stay.
    exec(u("select * into 总表数据 from [总表]"));
    exec(u("drop table [总表]"));
    exec(u("create view [总表] as select * from 总表数据"));
    DeleteResult r = DeleteVehicleRows(db(), u("鲁A12345"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, u("没有删除主表"));
    EXPECT_TRUE(tableExists(u("鲁A12345")));
    EXPECT_EQ(masterPlates(), QStringList({u("鲁A12345")}));

    r = DeleteVehicleRows(db(), u("鲁Q00000"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, u("总表中没有车牌号为鲁Q00000的车辆！"));
    store::DatabaseConnection::SetStatementLogging(true);
    EXPECT_FALSE(DeleteVehicleRows(db(), QString()).ok);
    EXPECT_FALSE(DeleteVehicleRows(db(), u("鲁A1;x")).ok);
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
        const CliResult init = runCli({u("init"), u("--data-dir"), dir_.path()});
        ASSERT_EQ(init.status, 0) << init.err.toStdString();
        ASSERT_TRUE(db_.OpenDatabaseFile(store::DatabasePath(), store::kDatabasePassword));
    }
    void TearDown() override {
        store::SetToday({});
        qunsetenv("VELMORA_DATA_DIR");
    }
    CliResult cli(QStringList args) {
        args << u("--data-dir") << dir_.path();
        return runCli(args);
    }
    QTemporaryDir dir_;
    store::DatabaseConnection db_;
};

TEST_F(VehicleCliTest, SearchPrintsTheMatchesInMasterOrder) {
    NewVehicle a = vehicle(u("鲁A12345"), u("001"), u("张三"));
    a.values.insert(u("挂车牌号"), u("鲁A999挂"));
    ASSERT_TRUE(SaveNewVehicleRows(db_, a).ok);
    ASSERT_TRUE(SaveNewVehicleRows(db_, vehicle(u("鲁B12399"), u("002"), u("张'四"))).ok);
    ASSERT_TRUE(SaveNewVehicleRows(db_, vehicle(u("鲁C55555"), u("003"), u("王张"))).ok);

    CliResult r = cli({u("search"), u("--by"), u("owner"), u("张")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QJsonArray hits = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(hits.size(), 2);
    const QJsonObject first = hits[0].toObject();
    EXPECT_EQ(first.keys().size(), 4);
    EXPECT_EQ(first[u("档案编号")].toString(), u("001"));
    EXPECT_EQ(first[u("主车牌号")].toString(), u("鲁A12345"));
    EXPECT_EQ(first[u("挂车牌号")].toString(), u("鲁A999挂"));
    EXPECT_EQ(first[u("车主姓名")].toString(), u("张三"));
    EXPECT_EQ(hits[1].toObject()[u("车主姓名")].toString(), u("张'四"));

    r = cli({u("search"), u("--by"), u("plate"), u("123")});
    EXPECT_EQ(QJsonDocument::fromJson(r.out.toUtf8()).array().size(), 2);
    r = cli({u("search"), u("--by"), u("archive"), u("3")});
    EXPECT_EQ(QJsonDocument::fromJson(r.out.toUtf8()).array().size(), 1);
    r = cli({u("search"), u("--by"), u("trailer"), u("999")});
    EXPECT_EQ(QJsonDocument::fromJson(r.out.toUtf8()).array().size(), 1);
    r = cli({u("search"), u("--by"), u("owner"), u("赵")});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(QJsonDocument::fromJson(r.out.toUtf8()).array().isEmpty());

    r = cli({u("search"), u("--by"), u("colour"), u("x")});
    EXPECT_NE(r.status, 0);
    EXPECT_FALSE(r.err.isEmpty());
    r = cli({u("search"), u("--by"), u("owner")});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.err.contains(u("请输入搜索条件")));
}

TEST_F(VehicleCliTest, ShowPrintsTheCurrentRowsOwedAmountsAndTabColours) {
    NewVehicle v = vehicle(u("鲁A12345"), u("007"), u(" 张三 "));
    v.values.insert(u("下次审车日期"), QDate(2026, 3, 15));
    v.values.insert(u("下次挂车审车日期"), QDate(2026, 5, 15));
    v.values.insert(u("审车应缴费用"), u("1000"));
    v.values.insert(u("审车已缴费用"), u("400"));
    v.values.insert(u("下次二维日期"), QDate(2025, 12, 1));
    v.values.insert(u("下次营运证日期"), QDate(2026, 4, 1));
    v.images = {QByteArray(10, 'a'), QByteArray(), QByteArray(3, 'c'), QByteArray(), QByteArray()};
    ASSERT_TRUE(SaveNewVehicleRows(db_, v).ok);
    ASSERT_TRUE(db_.ExecuteStatement(u("update 鲁A12345 set [下次保险日期]=null")));

    const CliResult r = cli({u("show"), u("鲁A12345"), u("--today"), u("2026-03-09")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    const QJsonObject basic = o[u("basic")].toObject();
    EXPECT_EQ(basic[u("车主姓名")].toString(), u("张三"));
    EXPECT_EQ(basic[u("档案编号")].toString(), u("007"));
    EXPECT_EQ(basic[u("车主身份证信息")].toDouble(), 10);
    EXPECT_EQ(basic[u("车辆照片信息")].toDouble(), 0);
    EXPECT_EQ(basic[u("车辆照片信息2")].toDouble(), 3);
    EXPECT_EQ(basic[u("买入日期")].toString(), u("2000-01-01"));
    EXPECT_FALSE(basic.contains(u("owed")));
    const QJsonObject inspection = o[u("Inspection")].toObject();
    EXPECT_EQ(inspection[u("下次审车日期")].toString(), u("2026-03-15"));
    EXPECT_EQ(inspection[u("是否提醒主车审车")].toBool(false), true);
    EXPECT_TRUE(inspection[u("是否脱审")].isBool());
    EXPECT_EQ(inspection[u("owed")].toDouble(), 600);
    EXPECT_TRUE(o[u("Insurance")].isNull());
    EXPECT_EQ(o[u("ManagementFee")].toObject()[u("owed")].toDouble(), 0);
    const QJsonObject colours = o[u("tab_colours")].toObject();
    EXPECT_EQ(colours[u("Inspection")].toString(), u("red"));
    EXPECT_EQ(colours[u("Maintenance")].toString(), u("black"));
    EXPECT_EQ(colours[u("Insurance")].toString(), u("green"));
    EXPECT_EQ(colours[u("ManagementFee")].toString(), u("green")); // January 2000: no date
    EXPECT_EQ(colours[u("OperatingPermit")].toString(), u("yellow"));
    EXPECT_FALSE(colours.contains(u("basic")));

    const CliResult later = cli({u("show"), u("鲁A12345"), u("--today"), u("2026-05-31")});
    const QJsonObject laterColours = QJsonDocument::fromJson(later.out.toUtf8()).object()[u("tab_colours")].toObject();
    EXPECT_EQ(laterColours[u("Inspection")].toString(), u("darkred"));
    EXPECT_EQ(laterColours[u("OperatingPermit")].toString(), u("darkred"));
}

TEST_F(VehicleCliTest, ShowRefusesUnknownPlatesAndBadDates) {
    CliResult r = cli({u("show"), u("鲁X00000")});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains(u("鲁X00000"))) << r.err.toStdString();
    r = cli({u("show"), u("总表 --")});
    EXPECT_NE(r.status, 0);
    r = cli({u("show"), u("鲁A12345"), u("--today"), u("2026-13-01")});
    EXPECT_NE(r.status, 0);
    EXPECT_FALSE(r.err.isEmpty());
    r = runCli({u("show"), u("鲁A12345"), u("--data-dir"), dir_.path() + u("/missing")});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.err.contains(u("数据库不存在")));
}
