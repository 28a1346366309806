#include "archive/records.h"
#include "store/session.h"
#include "support/testsupport.h"

#include <QDate>

using testing_support::DataDirTest;

using namespace Qt::StringLiterals;

namespace {

const QString kPlate = u"京A12345"_s;

class RecordsTest : public DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        addVehicleTable(kPlate, u"001"_s);
    }
    void TearDown() override {
        store::DatabaseConnection::SetStatementLogging(false);
        store::DatabaseConnection::ClearStatementLog();
        DataDirTest::TearDown();
    }

    void addVehicleTable(const QString& plate, const QString& archive) {
        ASSERT_TRUE(db().ExecuteStatement("select * into " + plate + " from yangbiao"));
        ASSERT_TRUE(
            db().ExecuteStatement("Alter table " + plate + "  Add  Constraint  PrimaryKey  Primary  Key (编号)"));
        ASSERT_TRUE(
            db().ExecuteStatement("insert into [总表]([档案编号],[车牌号]) values('" + archive + "','" + plate + "')"));
    }

    // Runs fn with the statement log on and returns what it sent.
    template <typename Fn> QStringList sent(Fn fn) {
        store::DatabaseConnection::ClearStatementLog();
        store::DatabaseConnection::SetStatementLogging(true);
        fn();
        store::DatabaseConnection::SetStatementLogging(false);
        return store::DatabaseConnection::StatementLog();
    }

    int count(const QString& where) {
        const int rs = db().OpenRecordSet("select count(*) as[数量] from " + kPlate + where);
        EXPECT_NE(rs, 0);
        const int n = int(db().ReadField(rs, "数量").number());
        db().CloseRecordSet(rs);
        return n;
    }

    store::FieldValue field(qint64 number, const QString& column) {
        const int rs =
            db().OpenRecordSet("select [" + column + "] from " + kPlate + " where [编号]=" + QString::number(number));
        EXPECT_NE(rs, 0);
        const store::FieldValue v = db().ReadField(rs, column);
        db().CloseRecordSet(rs);
        return v;
    }

    static archive::RecordValues inspection(const QDate& due, bool lapsed) {
        return {{"下次审车日期", due},
                {"下次挂车审车日期", QDate(2000, 1, 1)},
                {"审车是否通知车主", "已通知"},
                {"审车应缴费用", "1000"},
                {"审车已缴费用", "400"},
                {"是否脱审", lapsed},
                {"是否提醒主车审车", true},
                {"是否提醒挂车审车", false},
                {"审车备注", "年审"},
                {"审车缴费日期", QDate(2026, 3, 5)},
                {"审车车号", kPlate}};
    }

    static archive::RecordValues basic() {
        archive::RecordValues v;
        for (const archive::RecordField& f : archive::RecordFields(0)) {
            if (f.kind == archive::ValueKind::Text)
                v.insert(f.column, f.column + "值");
        }
        v["档案编号"] = "001";
        v["主车牌号"] = kPlate;
        v["买入日期"] = QDate(2025, 12, 8);
        v["车辆状态"] = 2;
        v["车主身份证信息"] = QByteArray("id");
        v["车辆照片信息"] = QByteArray("p1");
        v["车辆照片信息2"] = QByteArray("p2");
        v["行车证信息1"] = QByteArray("l1");
        v["行车证信息2"] = QByteArray("l2");
        return v;
    }
};

} // namespace

// ---- Adding records ---------------------------------------------------------------------

TEST_F(RecordsTest, AddSendsTheInsertOfEachPageAndTheLapseReset) {
    const QStringList inspectionSent =
        sent([&] { EXPECT_TRUE(archive::AddRecordRow(db(), 1, kPlate, inspection(QDate(2026, 12, 8), true)).ok); });
    EXPECT_EQ(inspectionSent,
              QStringList({"insert into 京A12345([下次审车日期],[下次挂车审车日期],[审车是否通知车主],[审车应缴费用],"
                           "[审车已缴费用],[是否脱审],[是否提醒主车审车],[是否提醒挂车审车],[审车备注],[审车缴费日期],"
                           "[审车车号]) values('2026年12月8日','2000年1月1日','已通知','1000','400',true,true,false,"
                           "'年审','2026年3月5日','京A12345')",
                           "update 京A12345 set [是否脱审]=false"}));

    const archive::RecordValues maintenance{{"下次二维日期", QDate(2026, 6, 1)},
                                            {"二维是否通知车主", "未通知"},
                                            {"二维应缴费用", "300"},
                                            {"二维已缴费用", "0"},
                                            {"二维驻外", true},
                                            {"是否脱维", false},
                                            {"是否提醒二维", true},
                                            {"二维卡号", "K9"},
                                            {"二维备注", ""},
                                            {"二维缴费日期", QDate(2026, 1, 2)},
                                            {"二维车号", kPlate}};
    EXPECT_EQ(
        sent([&] { EXPECT_TRUE(archive::AddRecordRow(db(), 2, kPlate, maintenance).ok); }),
        QStringList({"insert into 京A12345([下次二维日期],[二维是否通知车主],[二维应缴费用],[二维已缴费用],"
                     "[二维驻外],[是否脱维],[是否提醒二维],[二维卡号],[二维备注],[二维缴费日期],[二维车号]) "
                     "values('2026年6月1日','未通知','300','0',true,false,true,'K9','','2026年1月2日','京A12345')",
                     "update 京A12345 set [是否脱维]=false"}));

    const archive::RecordValues insurance{{"下次保险日期", QDate(2026, 9, 30)},
                                          {"下次挂车保险日期", QDate(2026, 10, 1)},
                                          {"是否提醒保险", true},
                                          {"是否提醒挂车保险", false},
                                          {"保险公司名称", "平安"},
                                          {"投保险种", "全险"},
                                          {"保单号", "S1"},
                                          {"强险单号", "Q1"},
                                          {"挂车商险单号", "S2"},
                                          {"挂车强险单号", "Q2"},
                                          {"保险应缴费用", "5000"},
                                          {"保险已缴费用", "5000"},
                                          {"保险缴费日期", QDate(2025, 9, 30)},
                                          {"保险备注", "备"},
                                          {"是否脱保", false},
                                          {"交强险", "a"},
                                          {"车损", "b"},
                                          {"三责", "c"},
                                          {"人员", "d"},
                                          {"不计免赔", "e"},
                                          {"其他", "f"},
                                          {"保险车号", kPlate}};
    EXPECT_EQ(
        sent([&] { EXPECT_TRUE(archive::AddRecordRow(db(), 3, kPlate, insurance).ok); }),
        QStringList({"insert into 京A12345 ([下次保险日期],[下次挂车保险日期],[是否提醒保险],[是否提醒挂车保险],"
                     "[保险公司名称],[投保险种],[保单号],[强险单号],[挂车商险单号],[挂车强险单号],[保险应缴费用],"
                     "[保险已缴费用],[保险缴费日期],[保险备注],[是否脱保],[交强险],[车损],[三责],[人员],[不计免赔],"
                     "[其他],[保险车号]) values('2026年9月30日','2026年10月1日',true,false,'平安','全险','S1',"
                     "'Q1','S2','Q2','5000','5000','2025年9月30日','备',false,'a','b','c','d','e','f','京A12345')",
                     "update 京A12345 set [是否脱保]=false"}));

    const archive::RecordValues fee{{"下次管理费用日期", QDate(2027, 1, 1)},
                                    {"管理费是否通知车主", "未到通知时间"},
                                    {"管理应缴费用", "1200"},
                                    {"管理已缴费用", "600"},
                                    {"是否脱管", true},
                                    {"是否提醒管理", true},
                                    {"管理备注", "半年"},
                                    {"管理缴费日期", QDate(2026, 7, 1)},
                                    {"管理车号", kPlate}};
    EXPECT_EQ(
        sent([&] { EXPECT_TRUE(archive::AddRecordRow(db(), 4, kPlate, fee).ok); }),
        QStringList({"insert into 京A12345 ([下次管理费用日期],[管理费是否通知车主],[管理应缴费用],[管理已缴费用],"
                     "[是否脱管],[是否提醒管理],[管理备注],[管理缴费日期],[管理车号]) values('2027年1月1日',"
                     "'未到通知时间','1200','600',true,true,'半年','2026年7月1日','京A12345')",
                     "update 京A12345 set [是否脱管]=false"}));

    const archive::RecordValues permit{{"下次营运证日期", QDate(2026, 4, 4)},
                                       {"营运证是否通知车主", "通知未达"},
                                       {"营运证应缴费用", "80"},
                                       {"营运证已缴费用", "80"},
                                       {"是否脱营", false},
                                       {"是否提醒营运", false},
                                       {"营运证备注", ""},
                                       {"营运缴费日期", QDate(2026, 4, 1)},
                                       {"营运证办理日期", QDate(2020, 4, 4)},
                                       {"营运证号", "Y-77"},
                                       {"是否驻内", "驻外"},
                                       {"营运车号", kPlate}};
    EXPECT_EQ(
        sent([&] { EXPECT_TRUE(archive::AddRecordRow(db(), 5, kPlate, permit).ok); }),
        QStringList({"insert into 京A12345([下次营运证日期],[营运证是否通知车主],[营运证应缴费用],[营运证已缴费用],"
                     "[是否脱营],[是否提醒营运],[营运证备注],[营运缴费日期],[营运证办理日期],[营运证号],[是否驻内],"
                     "[营运车号]) values('2026年4月4日','通知未达','80','80',false,false,'','2026年4月1日',"
                     "'2020年4月4日','Y-77','驻外','京A12345')",
                     "update 京A12345 set [是否脱营]=false"}));
    EXPECT_EQ(count(""), 5);
}

TEST_F(RecordsTest, BasicRecordBindsTheFiveImagesInOrderAndWritesTheStateBare) {
    const archive::BuiltStatement s = archive::BuildInsert(0, kPlate, basic());
    ASSERT_TRUE(s.ok()) << s.error.toStdString();
    EXPECT_EQ(
        s.text,
        "insert into 京A12345([档案编号],[车主姓名],[车主电话],[从业资格证号],[车主身份证号],[车主详细住址],[主车牌号],"
        "[挂车牌号],[买入日期],[主车架号],[挂车架号],[主车吨位],[挂车吨位],[主车品牌],[挂车品牌],[驾驶员A身份证号],"
        "[A姓名],[驾驶员B身份证号],[B姓名],[车辆颜色],[购车方式],[车主身份证信息],[车辆照片信息],[车辆照片信息2],"
        "[行车证信息1],[行车证信息2],[基本信息备注],[发动机号],[车辆状态]) values('001','车主姓名值','车主电话值',"
        "'从业资格证号值','车主身份证号值','车主详细住址值','京A12345','挂车牌号值','2025年12月8日','主车架号值',"
        "'挂车架号值','主车吨位值','挂车吨位值','主车品牌值','挂车品牌值','驾驶员A身份证号值','A姓名值',"
        "'驾驶员B身份证号值','B姓名值','车辆颜色值','购车方式值',?,?,?,?,?,'基本信息备注值','发动机号值',2)");
    EXPECT_EQ(s.binaries, QList<QByteArray>({"id", "p1", "p2", "l1", "l2"}));

    ASSERT_TRUE(archive::AddRecordRow(db(), 0, kPlate, basic()).ok);
    EXPECT_EQ(field(1, "行车证信息2").bytes(), QByteArray("l2"));
    EXPECT_EQ(field(1, "车辆状态").text(), "2");
    // No lapse flag belongs to the basic record.
    EXPECT_EQ(archive::BuildLapseReset(0, kPlate), QString());
}

TEST_F(RecordsTest, BasicRecordNeedsPlateAndArchiveNumber) {
    auto v = basic();
    v["主车牌号"] = "";
    EXPECT_EQ(archive::AddRecordRow(db(), 0, kPlate, v).message, "请输入主车车牌号！");
    v = basic();
    v["档案编号"] = "";
    EXPECT_EQ(archive::AddRecordRow(db(), 0, kPlate, v).message, "请输入档案编号！");
    EXPECT_EQ(count(""), 0);
}

TEST_F(RecordsTest, NewInspectionClearsTheLapseFlagOnEveryRowEvenWhenChecked) {
    ASSERT_TRUE(archive::AddRecordRow(db(), 1, kPlate, inspection(QDate(2025, 1, 1), true)).ok);
    // Lapse the history behind the program's back, as the alert refresh does.
    ASSERT_TRUE(db().ExecuteStatement("update " + kPlate + " set [是否脱审]=true"));
    ASSERT_TRUE(db().ExecuteStatement("insert into " + kPlate + "([档案编号]) values('001')"));
    ASSERT_TRUE(db().ExecuteStatement("update " + kPlate + " set [是否脱审]=true"));
    ASSERT_EQ(count(" where [是否脱审]=true"), 2);

    const archive::RecordOutcome added = archive::AddRecordRow(db(), 1, kPlate, inspection(QDate(2026, 12, 8), true));
    EXPECT_TRUE(added.ok);
    EXPECT_EQ(added.message, "添加车辆历史记录成功！");
    EXPECT_EQ(count(""), 3);
    EXPECT_EQ(count(" where [是否脱审]=true"), 0);
}

TEST_F(RecordsTest, AnInvalidDateIsRefusedWithThePageMessageAndNothingIsSent) {
    QStringList log = sent([&] {
        const auto out = archive::AddRecordRow(db(), 1, kPlate, inspection(QDate(), false));
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(out.message, "在新表录入记录失败！1");
    });
    EXPECT_TRUE(log.isEmpty());
    auto v = inspection(QDate(2026, 1, 1), false);
    v.remove("审车缴费日期");
    EXPECT_EQ(archive::AddRecordRow(db(), 1, kPlate, v).message, "在新表录入记录失败！1");
    EXPECT_EQ(count(""), 0);

    ASSERT_TRUE(archive::AddRecordRow(db(), 1, kPlate, inspection(QDate(2026, 1, 1), false)).ok);
    log = sent([&] {
        EXPECT_EQ(archive::ModifyRecordRow(db(), 1, kPlate, inspection(QDate(), false), 1).message, "修改不成功");
    });
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(field(1, "下次审车日期").date(), QDate(2026, 1, 1));
}

TEST_F(RecordsTest, AFailedInsertReportsThePageMessageAndSkipsTheReset) {
    const QStringList log = sent([&] {
        const auto out = archive::AddRecordRow(
            db(), 2, "京B00000", {{"下次二维日期", QDate(2026, 1, 1)}, {"二维缴费日期", QDate(2026, 1, 1)}});
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(out.message, "在新表录入记录失败！");
    });
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith("insert into 京B00000("));
}

// ---- Modifying records ------------------------------------------------------------------

TEST_F(RecordsTest, ModifySendsTheUpdateOfEachPage) {
    ASSERT_TRUE(archive::AddRecordRow(db(), 1, kPlate, inspection(QDate(2026, 1, 1), false)).ok);
    auto v = inspection(QDate(2027, 2, 3), false);
    v["审车备注"] = "  复审  ";
    v["审车是否通知车主"] = " 已通知 ";
    const QStringList log = sent([&] {
        const auto out = archive::ModifyRecordRow(db(), 1, kPlate, v, 1);
        EXPECT_TRUE(out.ok);
        EXPECT_EQ(out.message, "车号为京A12345的审车信息修改成功！");
    });
    // Edit-box texts are trimmed; the notification choice is stored as it stands.
    EXPECT_EQ(log, QStringList({"update 京A12345 set [下次审车日期]='2027年2月3日',[审车是否通知车主]=' 已通知 ',"
                                "[审车应缴费用]='1000',[审车已缴费用]='400',[是否脱审]=false,[是否提醒主车审车]=true,"
                                "[是否提醒挂车审车]=false,[审车备注]='复审',[审车缴费日期]='2026年3月5日',"
                                "[下次挂车审车日期]='2000年1月1日' where [编号]=1"}));
    EXPECT_EQ(field(1, "审车备注").text(), "复审");
    EXPECT_EQ(field(1, "下次审车日期").date(), QDate(2027, 2, 3));

    const archive::RecordValues m{{"下次二维日期", QDate(2026, 6, 1)},
                                  {"二维是否通知车主", "未通知"},
                                  {"二维应缴费用", "300"},
                                  {"二维已缴费用", "0"},
                                  {"二维驻外", true},
                                  {"是否脱维", false},
                                  {"是否提醒二维", true},
                                  {"二维卡号", " K9"},
                                  {"二维备注", ""},
                                  {"二维缴费日期", QDate(2026, 1, 2)}};
    EXPECT_EQ(archive::BuildUpdate(2, kPlate, m, 7).text,
              "update 京A12345 set [下次二维日期]='2026年6月1日',[二维是否通知车主]='未通知',[二维应缴费用]='300',"
              "[二维已缴费用]='0',[二维驻外]=true,[是否脱维]=false,[是否提醒二维]=true,[二维备注]='',"
              "[二维缴费日期]='2026年1月2日',[二维卡号]='K9' where [编号]=7");

    const archive::RecordValues f{{"下次管理费用日期", QDate(2027, 1, 1)},
                                  {"管理费是否通知车主", "已通知"},
                                  {"管理应缴费用", "1200"},
                                  {"管理已缴费用", "600"},
                                  {"是否脱管", false},
                                  {"是否提醒管理", true},
                                  {"管理备注", "x"},
                                  {"管理缴费日期", QDate(2026, 7, 1)}};
    EXPECT_EQ(
        archive::BuildUpdate(4, kPlate, f, 3).text,
        "update 京A12345 set [下次管理费用日期]='2027年1月1日',[管理费是否通知车主]='已通知',[管理应缴费用]='1200',"
        "[管理已缴费用]='600',[是否脱管]=false,[是否提醒管理]=true,[管理备注]='x',[管理缴费日期]='2026年7月1日' "
        "where [编号]=3");

    const archive::RecordValues p{{"下次营运证日期", QDate(2026, 4, 4)},
                                  {"营运证是否通知车主", "通知未达"},
                                  {"营运证应缴费用", "80"},
                                  {"营运证已缴费用", "80"},
                                  {"是否脱营", false},
                                  {"是否提醒营运", false},
                                  {"营运证备注", ""},
                                  {"营运缴费日期", QDate(2026, 4, 1)},
                                  {"营运证办理日期", QDate(2020, 4, 4)},
                                  {"营运证号", "Y-77 "},
                                  {"是否驻内", "驻内"}};
    EXPECT_EQ(
        archive::BuildUpdate(5, kPlate, p, 2).text,
        "update 京A12345 set [下次营运证日期]='2026年4月4日',[营运证是否通知车主]='通知未达',[营运证应缴费用]='80',"
        "[营运证已缴费用]='80',[是否脱营]=false,[是否提醒营运]=false,[营运证备注]='',[营运缴费日期]='2026年4月1日',"
        "[营运证号]='Y-77',[是否驻内]='驻内',[营运证办理日期]='2020年4月4日' where [编号]=2");

    const archive::BuiltStatement b = archive::BuildUpdate(0, kPlate, basic(), 1);
    EXPECT_EQ(b.text,
              "update 京A12345 set [档案编号]='001',[车主姓名]='车主姓名值',[车主电话]='车主电话值',"
              "[从业资格证号]='从业资格证号值',[车主身份证号]='车主身份证号值',[车主详细住址]='车主详细住址值',"
              "[主车牌号]='京A12345',[挂车牌号]='挂车牌号值',[买入日期]='2025年12月8日',[主车架号]='主车架号值',"
              "[挂车架号]='挂车架号值',[主车吨位]='主车吨位值',[挂车吨位]='挂车吨位值',[主车品牌]='主车品牌值',"
              "[挂车品牌]='挂车品牌值',[车辆颜色]='车辆颜色值',[购车方式]='购车方式值',[发动机号]='发动机号值',"
              "[基本信息备注]='基本信息备注值',[车辆状态]='2',[驾驶员A身份证号]='驾驶员A身份证号值',[A姓名]='A姓名值',"
              "[B姓名]='B姓名值',[驾驶员B身份证号]='驾驶员B身份证号值',[车主身份证信息]=?,[车辆照片信息]=?,"
              "[车辆照片信息2]=?,[行车证信息1]=?,[行车证信息2]=? where [编号]=1");
    EXPECT_EQ(b.binaries, QList<QByteArray>({"id", "p1", "p2", "l1", "l2"}));
}

TEST_F(RecordsTest, InsuranceModifyLeavesTheNotificationColumnAsStored) {
    ASSERT_TRUE(archive::AddRecordRow(db(), 3, kPlate,
                                      {{"下次保险日期", QDate(2026, 9, 30)},
                                       {"下次挂车保险日期", QDate(2000, 1, 1)},
                                       {"保险缴费日期", QDate(2025, 9, 30)},
                                       {"投保险种", "全险"}})
                    .ok);
    ASSERT_TRUE(db().ExecuteStatement("update " + kPlate + " set [保险是否通知车主]='已通知' where [编号]=1"));
    archive::RecordValues v{{"下次保险日期", QDate(2027, 9, 30)},
                            {"下次挂车保险日期", QDate(2000, 1, 1)},
                            {"保险缴费日期", QDate(2026, 9, 30)},
                            {"投保险种", "  三者险 "},
                            {"保险公司名称", "人保"},
                            {"是否脱保", false}};
    const QStringList log = sent([&] { EXPECT_TRUE(archive::ModifyRecordRow(db(), 3, kPlate, v, 1).ok); });
    ASSERT_EQ(log.size(), 1);
    EXPECT_EQ(log[0],
              "update 京A12345 set [下次保险日期]='2027年9月30日',[下次挂车保险日期]='2000年1月1日',"
              "[保险应缴费用]='',[保险已缴费用]='',[是否脱保]=false,[是否提醒保险]=false,[是否提醒挂车保险]=false,"
              "[保险备注]='',[保险缴费日期]='2026年9月30日',[保险公司名称]='人保',[保单号]='',[交强险]='',"
              "[车损]='',[挂车强险单号]='',[挂车商险单号]='',[强险单号]='',[投保险种]='三者险',[人员]='',"
              "[三责]='',[不计免赔]='',[其他]='' where [编号]=1");
    EXPECT_EQ(field(1, "保险是否通知车主").text(), "已通知");
    EXPECT_EQ(field(1, "投保险种").text(), "三者险");
}

TEST_F(RecordsTest, AFailedUpdateReportsThePageMessage) {
    auto out = archive::ModifyRecordRow(db(), 0, "京C99999", basic(), 1);
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.message, "修改不成功!");
    out = archive::ModifyRecordRow(db(), 4, "京C99999",
                                   {{"下次管理费用日期", QDate(2026, 1, 1)}, {"管理缴费日期", QDate(2026, 1, 1)}}, 1);
    EXPECT_EQ(out.message, "修改不成功");
}

// ---- Values that carry quotes --------------------------------------------------------------

TEST_F(RecordsTest, QuotesInValuesAreStoredAsTypedAndCannotChangeTheStatement) {
    auto v = inspection(QDate(2026, 5, 5), false);
    v["审车备注"] = "O'Brien', [是否脱审]=true --";
    v["审车是否通知车主"] = "'";
    const archive::BuiltStatement s = archive::BuildInsert(1, kPlate, v);
    EXPECT_TRUE(s.text.contains("'O''Brien'', [是否脱审]=true --'"));
    ASSERT_TRUE(archive::AddRecordRow(db(), 1, kPlate, v).ok);
    EXPECT_EQ(field(1, "审车备注").text(), "O'Brien', [是否脱审]=true --");
    EXPECT_EQ(field(1, "审车是否通知车主").text(), "'");
    EXPECT_FALSE(field(1, "是否脱审").yesNo());

    v["审车备注"] = "x' where [编号]=0 or '1'='1";
    ASSERT_TRUE(archive::ModifyRecordRow(db(), 1, kPlate, v, 1).ok);
    EXPECT_EQ(field(1, "审车备注").text(), "x' where [编号]=0 or '1'='1");
}

TEST_F(RecordsTest, APlateThatCouldExtendAStatementIsNeverUsedAsATableName) {
    for (const QString& plate : {u"京A1 2345"_s, u"京A1;drop"_s, u"京A'12"_s, u"[总表]"_s, QString()}) {
        EXPECT_FALSE(archive::PlateUsableAsTableName(plate)) << plate.toStdString();
        const QStringList log = sent([&] {
            EXPECT_FALSE(archive::AddRecordRow(db(), 1, plate, inspection(QDate(2026, 1, 1), false)).ok);
            EXPECT_FALSE(archive::DeleteRecordRow(db(), 1, plate, 1).ok);
            EXPECT_FALSE(archive::RemoveVehicleWithLastRecord(db(), plate));
        });
        EXPECT_TRUE(log.isEmpty());
    }
    EXPECT_TRUE(archive::PlateUsableAsTableName(kPlate));
}

TEST_F(RecordsTest, FixedTablesAndSqlWordsNeverNameAVehicleTable) {
    for (const QString& plate :
         {u"总表"_s, u"权限"_s, u"险种名称"_s, u"报险表"_s, u"yangbiao"_s, u"YangBiao"_s, u"sqlite_master"_s,
          u"SQLITE_sequence"_s, u"TRUE"_s, u"null"_s, u"Order"_s, u"select"_s, u"PrimaryKey"_s}) {
        SCOPED_TRACE(plate.toStdString());
        EXPECT_FALSE(archive::PlateUsableAsTableName(plate));
        QString why;
        EXPECT_FALSE(archive::PlateUsableAsTableName(db(), plate, &why));
        EXPECT_TRUE(why.contains(plate));
        const QStringList log = sent([&] {
            EXPECT_FALSE(archive::AddRecordRow(db(), 1, plate, inspection(QDate(2026, 1, 1), false)).ok);
            EXPECT_FALSE(archive::DeleteRecordRow(db(), 1, plate, 1).ok);
            EXPECT_FALSE(archive::RemoveVehicleWithLastRecord(db(), plate));
        });
        EXPECT_TRUE(log.isEmpty());
    }
    // Letters that merely contain such a word are an ordinary plate; a listed one names a table.
    EXPECT_TRUE(archive::PlateUsableAsTableName(u"京ORDER1"_s));
    QString why;
    EXPECT_FALSE(archive::PlateUsableAsTableName(db(), u"京B00000"_s, &why));
    EXPECT_EQ(why, u"总表中没有车牌号为京B00000的车辆！"_s);
    EXPECT_TRUE(archive::PlateUsableAsTableName(db(), kPlate, &why));
    EXPECT_TRUE(why.isEmpty());
}

TEST_F(RecordsTest, TheInsertAndItsLapseResetStandOrFallTogether) {
    ASSERT_TRUE(archive::AddRecordRow(db(), 1, kPlate, inspection(QDate(2026, 1, 1), true)).ok);
    ASSERT_TRUE(db().ExecuteStatement(u"create trigger 拒绝清除 before update of 是否脱审 on "_s + kPlate +
                                      u" begin select raise(abort, 'refused'); end"_s))
        << db().LastError().toStdString();
    const archive::RecordOutcome out = archive::AddRecordRow(db(), 1, kPlate, inspection(QDate(2027, 1, 1), false));
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.message, u"清除是否脱审标记失败，历史记录没有添加！"_s);
    EXPECT_EQ(count(u" where 下次审车日期 is not null"_s), 1);
    // Page 0 has no lapse flag: the trigger does not concern it.
    EXPECT_TRUE(archive::AddRecordRow(db(), 0, kPlate, basic()).ok);
}

TEST_F(RecordsTest, DeletingARecordOfASharedRowEmptiesOnlyItsGroup) {
    archive::RecordValues first = basic();
    ASSERT_TRUE(archive::AddRecordRow(db(), 0, kPlate, first).ok);
    // Row 1 also gets the inspection and the insurance group.
    ASSERT_TRUE(db().ExecuteStatement(u"update "_s + kPlate +
                                      u" set [下次审车日期]='2026年5月1日',[审车备注]='一',[审车车号]='京A12345',"
                                      "[下次保险日期]='2026年6月1日',[保险公司名称]='人保' where [编号]=1"_s));
    ASSERT_TRUE(archive::DeleteRecordRow(db(), 1, kPlate, 1).ok);
    EXPECT_EQ(count(u""_s), 1);
    EXPECT_TRUE(field(1, u"下次审车日期"_s).isNull);
    EXPECT_TRUE(field(1, u"审车备注"_s).isNull);
    EXPECT_TRUE(field(1, u"审车车号"_s).isNull);
    EXPECT_EQ(field(1, u"档案编号"_s).text(), u"001"_s);
    EXPECT_EQ(field(1, u"车主身份证信息"_s).bytes(), QByteArray("id"));
    EXPECT_EQ(field(1, u"保险公司名称"_s).text(), u"人保"_s);
    // Then the insurance group; the basic record still holds the row.
    ASSERT_TRUE(archive::DeleteRecordRow(db(), 3, kPlate, 1).ok);
    EXPECT_TRUE(field(1, u"下次保险日期"_s).isNull);
    EXPECT_EQ(count(u""_s), 1);
    // Finally the basic record: nothing else is in the row, so the row goes.
    ASSERT_TRUE(archive::DeleteRecordRow(db(), 0, kPlate, 1).ok);
    EXPECT_EQ(count(u""_s), 0);
    EXPECT_EQ(archive::DeleteRecordRow(db(), 0, kPlate, 1).message, u"删除不成功"_s);
}

// ---- Reading one record ----------------------------------------------------------------------

TEST_F(RecordsTest, ReadRecordSendsTheSelectTextAndReadsEveryShownColumn) {
    ASSERT_TRUE(archive::AddRecordRow(db(), 1, kPlate, inspection(QDate(2026, 12, 8), true)).ok);
    archive::RecordValues values;
    const QStringList log = sent([&] { EXPECT_TRUE(archive::ReadRecord(db(), 1, kPlate, 1, &values)); });
    EXPECT_EQ(log, QStringList({"select [编号],[下次审车日期],[下次挂车审车日期],[审车是否通知车主],[审车应缴费用],"
                                "[审车已缴费用],[审车缴费日期],[审车备注],[是否脱审],[是否提醒主车审车],"
                                "[是否提醒挂车审车] from 京A12345 where [编号]=1"}));
    EXPECT_EQ(values.value("下次审车日期").toDate(), QDate(2026, 12, 8));
    EXPECT_EQ(values.value("审车应缴费用").toString(), "1000");
    EXPECT_EQ(values.value("审车是否通知车主").toString(), "已通知");
    EXPECT_FALSE(values.value("是否脱审").toBool()); // cleared by the add itself
    EXPECT_TRUE(values.value("是否提醒主车审车").toBool());
    EXPECT_FALSE(values.contains("审车车号"));

    ASSERT_TRUE(archive::AddRecordRow(db(), 0, kPlate, basic()).ok);
    ASSERT_TRUE(archive::ReadRecord(db(), 0, kPlate, 2, &values));
    EXPECT_EQ(values.value("车辆状态").toInt(), 2);
    EXPECT_EQ(values.value("车辆照片信息2").toByteArray(), QByteArray("p2"));
    EXPECT_EQ(values.value("买入日期").toDate(), QDate(2025, 12, 8));

    archive::RecordValues untouched{{"x", 1}};
    EXPECT_FALSE(archive::ReadRecord(db(), 2, "京C99999", 1, &untouched));
    EXPECT_EQ(untouched.size(), 1);
    EXPECT_EQ(archive::RecordPageInfo(2).selectFailure, "超级列表框_二维_左键单击表项!");
}

TEST_F(RecordsTest, SelectTextsOfEveryPage) {
    EXPECT_EQ(
        archive::BuildSelectOne(3, kPlate, 4),
        "select [编号],[保险公司名称],[保单号],[投保险种],[强险单号],[挂车商险单号],[挂车强险单号],[下次挂车保险日期],"
        "[保险应缴费用],[保险已缴费用],[不计免赔],[其他],[保险备注],[三责],[车损],[交强险],[人员],[下次保险日期],"
        "[保险缴费日期],[保险是否通知车主],[是否脱保],[是否提醒保险],[是否提醒挂车保险] from 京A12345 where [编号]=4");
    EXPECT_EQ(
        archive::BuildSelectOne(5, kPlate, 1),
        "select [编号],[下次营运证日期],[营运证是否通知车主],[营运证应缴费用],[营运证已缴费用],[营运缴费日期],"
        "[营运证备注],[是否脱营],[是否提醒营运],[营运证办理日期],[营运证号],[是否驻内] from 京A12345 where [编号]=1");
    // Every selected column has a home on its page, except the insurance notification.
    for (int page = 0; page < archive::kRecordPageCount; ++page)
        for (const QString& column : archive::SelectedColumns(page)) {
            const archive::RecordField* f = archive::FindRecordField(page, column);
            ASSERT_TRUE(f) << column.toStdString();
            EXPECT_EQ(f->control.isEmpty(), column == "保险是否通知车主") << column.toStdString();
        }
}

// ---- Deleting and the last record ---------------------------------------------------------------

TEST_F(RecordsTest, DeleteOneRecord) {
    ASSERT_TRUE(archive::AddRecordRow(db(), 1, kPlate, inspection(QDate(2026, 1, 1), false)).ok);
    ASSERT_TRUE(archive::AddRecordRow(db(), 1, kPlate, inspection(QDate(2027, 1, 1), false)).ok);
    const QStringList log = sent([&] {
        const auto out = archive::DeleteRecordRow(db(), 1, kPlate, 2);
        EXPECT_TRUE(out.ok);
        EXPECT_EQ(out.message, "删除成功!");
    });
    // Row 2 carries nothing but its inspection record: the row itself goes.
    ASSERT_EQ(log.size(), 2);
    EXPECT_EQ(log.last(), "delete * from 京A12345 where [编号]=2");
    EXPECT_EQ(count(""), 1);
    EXPECT_EQ(archive::DeleteRecordRow(db(), 1, "京C99999", 1).message, "删除不成功");
}

TEST_F(RecordsTest, LastRecordRuleNeedsOneRowNumberedOne) {
    EXPECT_TRUE(archive::IsLastRecordOfVehicle(1, 1));
    EXPECT_FALSE(archive::IsLastRecordOfVehicle(1, 2));
    EXPECT_FALSE(archive::IsLastRecordOfVehicle(2, 1));
    EXPECT_FALSE(archive::IsLastRecordOfVehicle(0, 1));
}

TEST_F(RecordsTest, LastRecordRemovesMasterRowAndTableTogether) {
    addVehicleTable("京B54321", "002");
    const QStringList log = sent([&] { EXPECT_TRUE(archive::RemoveVehicleWithLastRecord(db(), kPlate)); });
    EXPECT_EQ(log, QStringList({"delete * from [总表] where [车牌号]='京A12345'", "DROP TABLE 京A12345"}));
    EXPECT_EQ(db().OpenRecordSet("select * from " + kPlate), 0);
    const int rs = db().OpenRecordSet("select [车牌号] from [总表]");
    ASSERT_NE(rs, 0);
    EXPECT_EQ(db().RowCount(rs), 1);
    EXPECT_EQ(db().ReadField(rs, "车牌号").text(), "京B54321");
    db().CloseRecordSet(rs);
}

TEST_F(RecordsTest, WhenTheTableCannotBeDroppedTheMasterRowStays) {
    // A master row whose table is missing: the drop fails, so the delete before it is undone.
    ASSERT_TRUE(db().ExecuteStatement("insert into [总表]([档案编号],[车牌号]) values('009','京D00001')"));
    EXPECT_FALSE(archive::RemoveVehicleWithLastRecord(db(), "京D00001"));
    const int rs = db().OpenRecordSet("select count(*) as[数量] from [总表] where [车牌号]='京D00001'");
    ASSERT_NE(rs, 0);
    EXPECT_EQ(db().ReadField(rs, "数量").number(), 1);
    db().CloseRecordSet(rs);
}
