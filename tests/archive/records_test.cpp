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
        ASSERT_TRUE(db().ExecuteStatement(u"select * into "_s + plate + u" from yangbiao"_s));
        ASSERT_TRUE(
            db().ExecuteStatement(u"Alter table "_s + plate + u"  Add  Constraint  PrimaryKey  Primary  Key (编号)"_s));
        ASSERT_TRUE(db().ExecuteStatement(u"insert into [总表]([档案编号],[车牌号]) values('"_s + archive + u"','"_s +
                                          plate + u"')"_s));
    }

    // Runs fn with the statement log on and returns what it sent to the vehicle's tables (the
    // version bookkeeping of every command has its own tests).
    template <typename Fn> QStringList sent(Fn fn) {
        store::DatabaseConnection::ClearStatementLog();
        store::DatabaseConnection::SetStatementLogging(true);
        fn();
        store::DatabaseConnection::SetStatementLogging(false);
        QStringList log = store::DatabaseConnection::StatementLog();
        log.removeIf([](const QString& s) { return s.contains(u"[车辆版本]"_s); });
        return log;
    }

    int count(const QString& where) {
        const int rs = db().OpenRecordSet(u"select count(*) as[数量] from "_s + kPlate + where);
        EXPECT_NE(rs, 0);
        const int n = int(db().ReadField(rs, u"数量"_s).number());
        db().CloseRecordSet(rs);
        return n;
    }

    store::FieldValue field(qint64 number, const QString& column) {
        const int rs = db().OpenRecordSet(u"select ["_s + column + u"] from "_s + kPlate + u" where [编号]="_s +
                                          QString::number(number));
        EXPECT_NE(rs, 0);
        store::FieldValue v = db().ReadField(rs, column);
        db().CloseRecordSet(rs);
        return v;
    }

    static archive::RecordValues inspection(const QDate& due, bool lapsed) {
        return {{u"下次审车日期"_s, due},
                {u"下次挂车审车日期"_s, QDate(2000, 1, 1)},
                {u"审车是否通知车主"_s, u"已通知"_s},
                {u"审车应缴费用"_s, u"1000"_s},
                {u"审车已缴费用"_s, u"400"_s},
                {u"是否脱审"_s, lapsed},
                {u"是否提醒主车审车"_s, true},
                {u"是否提醒挂车审车"_s, false},
                {u"审车备注"_s, u"年审"_s},
                {u"审车缴费日期"_s, QDate(2026, 3, 5)},
                {u"审车车号"_s, kPlate}};
    }

    static archive::RecordValues basic() {
        archive::RecordValues v;
        for (const archive::RecordField& f : archive::RecordFields(0)) {
            if (f.kind == archive::ValueKind::Text)
                v.insert(f.column, f.column + u"值"_s);
        }
        v[u"档案编号"_s] = u"001"_s;
        v[u"主车牌号"_s] = kPlate;
        v[u"买入日期"_s] = QDate(2025, 12, 8);
        v[u"车辆状态"_s] = 2;
        v[u"车主身份证信息"_s] = QByteArray("id");
        v[u"车辆照片信息"_s] = QByteArray("p1");
        v[u"车辆照片信息2"_s] = QByteArray("p2");
        v[u"行车证信息1"_s] = QByteArray("l1");
        v[u"行车证信息2"_s] = QByteArray("l2");
        return v;
    }
};

} // namespace

// ---- Adding records ---------------------------------------------------------------------

TEST_F(RecordsTest, AddSendsTheInsertOfEachPageAndTheLapseReset) {
    const QStringList inspectionSent =
        sent([&] { EXPECT_TRUE(archive::AddRecordRow(db(), 1, kPlate, inspection(QDate(2026, 12, 8), true)).ok); });
    EXPECT_EQ(inspectionSent,
              QStringList({u"insert into 京A12345([下次审车日期],[下次挂车审车日期],[审车是否通知车主],[审车应缴费用],"
                           "[审车已缴费用],[是否脱审],[是否提醒主车审车],[是否提醒挂车审车],[审车备注],[审车缴费日期],"
                           "[审车车号]) values('2026年12月8日','2000年1月1日','已通知','1000','400',true,true,false,"
                           "'年审','2026年3月5日','京A12345')"_s,
                           u"update 京A12345 set [是否脱审]=false"_s}));

    const archive::RecordValues maintenance{{u"下次二维日期"_s, QDate(2026, 6, 1)},
                                            {u"二维是否通知车主"_s, u"未通知"_s},
                                            {u"二维应缴费用"_s, u"300"_s},
                                            {u"二维已缴费用"_s, u"0"_s},
                                            {u"二维驻外"_s, true},
                                            {u"是否脱维"_s, false},
                                            {u"是否提醒二维"_s, true},
                                            {u"二维卡号"_s, u"K9"_s},
                                            {u"二维备注"_s, u""_s},
                                            {u"二维缴费日期"_s, QDate(2026, 1, 2)},
                                            {u"二维车号"_s, kPlate}};
    EXPECT_EQ(
        sent([&] { EXPECT_TRUE(archive::AddRecordRow(db(), 2, kPlate, maintenance).ok); }),
        QStringList({u"insert into 京A12345([下次二维日期],[二维是否通知车主],[二维应缴费用],[二维已缴费用],"
                     "[二维驻外],[是否脱维],[是否提醒二维],[二维卡号],[二维备注],[二维缴费日期],[二维车号]) "
                     "values('2026年6月1日','未通知','300','0',true,false,true,'K9','','2026年1月2日','京A12345')"_s,
                     u"update 京A12345 set [是否脱维]=false"_s}));

    const archive::RecordValues insurance{{u"下次保险日期"_s, QDate(2026, 9, 30)},
                                          {u"下次挂车保险日期"_s, QDate(2026, 10, 1)},
                                          {u"是否提醒保险"_s, true},
                                          {u"是否提醒挂车保险"_s, false},
                                          {u"保险公司名称"_s, u"平安"_s},
                                          {u"投保险种"_s, u"全险"_s},
                                          {u"保单号"_s, u"S1"_s},
                                          {u"强险单号"_s, u"Q1"_s},
                                          {u"挂车商险单号"_s, u"S2"_s},
                                          {u"挂车强险单号"_s, u"Q2"_s},
                                          {u"保险应缴费用"_s, u"5000"_s},
                                          {u"保险已缴费用"_s, u"5000"_s},
                                          {u"保险缴费日期"_s, QDate(2025, 9, 30)},
                                          {u"保险备注"_s, u"备"_s},
                                          {u"是否脱保"_s, false},
                                          {u"交强险"_s, u"a"_s},
                                          {u"车损"_s, u"b"_s},
                                          {u"三责"_s, u"c"_s},
                                          {u"人员"_s, u"d"_s},
                                          {u"不计免赔"_s, u"e"_s},
                                          {u"其他"_s, u"f"_s},
                                          {u"保险车号"_s, kPlate}};
    EXPECT_EQ(
        sent([&] { EXPECT_TRUE(archive::AddRecordRow(db(), 3, kPlate, insurance).ok); }),
        QStringList({u"insert into 京A12345 ([下次保险日期],[下次挂车保险日期],[是否提醒保险],[是否提醒挂车保险],"
                     "[保险公司名称],[投保险种],[保单号],[强险单号],[挂车商险单号],[挂车强险单号],[保险应缴费用],"
                     "[保险已缴费用],[保险缴费日期],[保险备注],[是否脱保],[交强险],[车损],[三责],[人员],[不计免赔],"
                     "[其他],[保险车号]) values('2026年9月30日','2026年10月1日',true,false,'平安','全险','S1',"
                     "'Q1','S2','Q2','5000','5000','2025年9月30日','备',false,'a','b','c','d','e','f','京A12345')"_s,
                     u"update 京A12345 set [是否脱保]=false"_s}));

    const archive::RecordValues fee{{u"下次管理费用日期"_s, QDate(2027, 1, 1)},
                                    {u"管理费是否通知车主"_s, u"未到通知时间"_s},
                                    {u"管理应缴费用"_s, u"1200"_s},
                                    {u"管理已缴费用"_s, u"600"_s},
                                    {u"是否脱管"_s, true},
                                    {u"是否提醒管理"_s, true},
                                    {u"管理备注"_s, u"半年"_s},
                                    {u"管理缴费日期"_s, QDate(2026, 7, 1)},
                                    {u"管理车号"_s, kPlate}};
    EXPECT_EQ(
        sent([&] { EXPECT_TRUE(archive::AddRecordRow(db(), 4, kPlate, fee).ok); }),
        QStringList({u"insert into 京A12345 ([下次管理费用日期],[管理费是否通知车主],[管理应缴费用],[管理已缴费用],"
                     "[是否脱管],[是否提醒管理],[管理备注],[管理缴费日期],[管理车号]) values('2027年1月1日',"
                     "'未到通知时间','1200','600',true,true,'半年','2026年7月1日','京A12345')"_s,
                     u"update 京A12345 set [是否脱管]=false"_s}));

    const archive::RecordValues permit{{u"下次营运证日期"_s, QDate(2026, 4, 4)},
                                       {u"营运证是否通知车主"_s, u"通知未达"_s},
                                       {u"营运证应缴费用"_s, u"80"_s},
                                       {u"营运证已缴费用"_s, u"80"_s},
                                       {u"是否脱营"_s, false},
                                       {u"是否提醒营运"_s, false},
                                       {u"营运证备注"_s, u""_s},
                                       {u"营运缴费日期"_s, QDate(2026, 4, 1)},
                                       {u"营运证办理日期"_s, QDate(2020, 4, 4)},
                                       {u"营运证号"_s, u"Y-77"_s},
                                       {u"是否驻内"_s, u"驻外"_s},
                                       {u"营运车号"_s, kPlate}};
    EXPECT_EQ(
        sent([&] { EXPECT_TRUE(archive::AddRecordRow(db(), 5, kPlate, permit).ok); }),
        QStringList({u"insert into 京A12345([下次营运证日期],[营运证是否通知车主],[营运证应缴费用],[营运证已缴费用],"
                     "[是否脱营],[是否提醒营运],[营运证备注],[营运缴费日期],[营运证办理日期],[营运证号],[是否驻内],"
                     "[营运车号]) values('2026年4月4日','通知未达','80','80',false,false,'','2026年4月1日',"
                     "'2020年4月4日','Y-77','驻外','京A12345')"_s,
                     u"update 京A12345 set [是否脱营]=false"_s}));
    EXPECT_EQ(count(u""_s), 5);
}

TEST_F(RecordsTest, BasicRecordBindsTheFiveImagesInOrderAndWritesTheStateBare) {
    const archive::BuiltStatement s = archive::BuildInsert(0, kPlate, basic());
    ASSERT_TRUE(s.ok()) << s.error.toStdString();
    EXPECT_EQ(
        s.text,
        u"insert into 京A12345([档案编号],[车主姓名],[车主电话],[从业资格证号],[车主身份证号],[车主详细住址],[主车牌号],"_s
        u"[挂车牌号],[买入日期],[主车架号],[挂车架号],[主车吨位],[挂车吨位],[主车品牌],[挂车品牌],[驾驶员A身份证号],"_s
        u"[A姓名],[驾驶员B身份证号],[B姓名],[车辆颜色],[购车方式],[车主身份证信息],[车辆照片信息],[车辆照片信息2],"_s
        u"[行车证信息1],[行车证信息2],[基本信息备注],[发动机号],[车辆状态]) values('001','车主姓名值','车主电话值',"_s
        u"'从业资格证号值','车主身份证号值','车主详细住址值','京A12345','挂车牌号值','2025年12月8日','主车架号值',"_s
        u"'挂车架号值','主车吨位值','挂车吨位值','主车品牌值','挂车品牌值','驾驶员A身份证号值','A姓名值',"_s
        "'驾驶员B身份证号值','B姓名值','车辆颜色值','购车方式值',?,?,?,?,?,'基本信息备注值','发动机号值',2)");
    EXPECT_EQ(s.binaries, QList<QByteArray>({"id", "p1", "p2", "l1", "l2"}));

    ASSERT_TRUE(archive::AddRecordRow(db(), 0, kPlate, basic()).ok);
    EXPECT_EQ(field(1, u"行车证信息2"_s).bytes(), QByteArray("l2"));
    EXPECT_EQ(field(1, u"车辆状态"_s).text(), u"2"_s);
    // No lapse flag belongs to the basic record.
    EXPECT_EQ(archive::BuildLapseReset(0, kPlate), QString());
}

TEST_F(RecordsTest, BasicRecordNeedsPlateAndArchiveNumber) {
    auto v = basic();
    v[u"主车牌号"_s] = u""_s;
    EXPECT_EQ(archive::AddRecordRow(db(), 0, kPlate, v).message, u"请输入主车车牌号！"_s);
    v = basic();
    v[u"档案编号"_s] = u""_s;
    EXPECT_EQ(archive::AddRecordRow(db(), 0, kPlate, v).message, u"请输入档案编号！"_s);
    EXPECT_EQ(count(u""_s), 0);
}

TEST_F(RecordsTest, NewInspectionClearsTheLapseFlagOnEveryRowEvenWhenChecked) {
    ASSERT_TRUE(archive::AddRecordRow(db(), 1, kPlate, inspection(QDate(2025, 1, 1), true)).ok);
    // Lapse the history behind the program's back, as the alert refresh does.
    ASSERT_TRUE(db().ExecuteStatement(u"update "_s + kPlate + u" set [是否脱审]=true"_s));
    ASSERT_TRUE(db().ExecuteStatement(u"insert into "_s + kPlate + u"([档案编号]) values('001')"_s));
    ASSERT_TRUE(db().ExecuteStatement(u"update "_s + kPlate + u" set [是否脱审]=true"_s));
    ASSERT_EQ(count(u" where [是否脱审]=true"_s), 2);

    const archive::RecordOutcome added = archive::AddRecordRow(db(), 1, kPlate, inspection(QDate(2026, 12, 8), true));
    EXPECT_TRUE(added.ok);
    EXPECT_EQ(added.message, u"添加车辆历史记录成功！"_s);
    EXPECT_EQ(count(u""_s), 3);
    EXPECT_EQ(count(u" where [是否脱审]=true"_s), 0);
}

TEST_F(RecordsTest, AnInvalidDateIsRefusedWithThePageMessageAndNothingIsSent) {
    QStringList log = sent([&] {
        const auto out = archive::AddRecordRow(db(), 1, kPlate, inspection(QDate(), false));
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(out.message, u"在新表录入记录失败！1"_s);
    });
    EXPECT_TRUE(log.isEmpty());
    auto v = inspection(QDate(2026, 1, 1), false);
    v.remove(u"审车缴费日期"_s);
    EXPECT_EQ(archive::AddRecordRow(db(), 1, kPlate, v).message, u"在新表录入记录失败！1"_s);
    EXPECT_EQ(count(u""_s), 0);

    ASSERT_TRUE(archive::AddRecordRow(db(), 1, kPlate, inspection(QDate(2026, 1, 1), false)).ok);
    log = sent([&] {
        EXPECT_EQ(archive::ModifyRecordRow(db(), 1, kPlate, inspection(QDate(), false), 1).message, u"修改不成功"_s);
    });
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(field(1, u"下次审车日期"_s).date(), QDate(2026, 1, 1));
}

TEST_F(RecordsTest, AFailedInsertReportsThePageMessageAndSkipsTheReset) {
    const QStringList log = sent([&] {
        const auto out = archive::AddRecordRow(
            db(), 2, u"京B00000"_s, {{u"下次二维日期"_s, QDate(2026, 1, 1)}, {u"二维缴费日期"_s, QDate(2026, 1, 1)}});
        EXPECT_FALSE(out.ok);
        EXPECT_EQ(out.message, u"在新表录入记录失败！"_s);
    });
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith(u"insert into 京B00000("_s));
}

// ---- Modifying records ------------------------------------------------------------------

TEST_F(RecordsTest, ModifySendsTheUpdateOfEachPage) {
    ASSERT_TRUE(archive::AddRecordRow(db(), 1, kPlate, inspection(QDate(2026, 1, 1), false)).ok);
    auto v = inspection(QDate(2027, 2, 3), false);
    v[u"审车备注"_s] = u"  复审  "_s;
    v[u"审车是否通知车主"_s] = u" 已通知 "_s;
    const QStringList log = sent([&] {
        const auto out = archive::ModifyRecordRow(db(), 1, kPlate, v, 1);
        EXPECT_TRUE(out.ok);
        EXPECT_EQ(out.message, u"车号为京A12345的审车信息修改成功！"_s);
    });
    // Edit-box texts are trimmed; the notification choice is stored as it stands.
    EXPECT_EQ(log, QStringList({"update 京A12345 set [下次审车日期]='2027年2月3日',[审车是否通知车主]=' 已通知 ',"
                                "[审车应缴费用]='1000',[审车已缴费用]='400',[是否脱审]=false,[是否提醒主车审车]=true,"
                                "[是否提醒挂车审车]=false,[审车备注]='复审',[审车缴费日期]='2026年3月5日',"
                                u"[下次挂车审车日期]='2000年1月1日' where [编号]=1"_s}));
    EXPECT_EQ(field(1, u"审车备注"_s).text(), u"复审"_s);
    EXPECT_EQ(field(1, u"下次审车日期"_s).date(), QDate(2027, 2, 3));

    const archive::RecordValues m{{u"下次二维日期"_s, QDate(2026, 6, 1)},
                                  {u"二维是否通知车主"_s, u"未通知"_s},
                                  {u"二维应缴费用"_s, u"300"_s},
                                  {u"二维已缴费用"_s, u"0"_s},
                                  {u"二维驻外"_s, true},
                                  {u"是否脱维"_s, false},
                                  {u"是否提醒二维"_s, true},
                                  {u"二维卡号"_s, u" K9"_s},
                                  {u"二维备注"_s, u""_s},
                                  {u"二维缴费日期"_s, QDate(2026, 1, 2)}};
    EXPECT_EQ(archive::BuildUpdate(2, kPlate, m, 7).text,
              u"update 京A12345 set [下次二维日期]='2026年6月1日',[二维是否通知车主]='未通知',[二维应缴费用]='300',"_s
              u"[二维已缴费用]='0',[二维驻外]=true,[是否脱维]=false,[是否提醒二维]=true,[二维备注]='',"_s
              u"[二维缴费日期]='2026年1月2日',[二维卡号]='K9' where [编号]=7"_s);

    const archive::RecordValues f{{u"下次管理费用日期"_s, QDate(2027, 1, 1)},
                                  {u"管理费是否通知车主"_s, u"已通知"_s},
                                  {u"管理应缴费用"_s, u"1200"_s},
                                  {u"管理已缴费用"_s, u"600"_s},
                                  {u"是否脱管"_s, false},
                                  {u"是否提醒管理"_s, true},
                                  {u"管理备注"_s, u"x"_s},
                                  {u"管理缴费日期"_s, QDate(2026, 7, 1)}};
    EXPECT_EQ(
        archive::BuildUpdate(4, kPlate, f, 3).text,
        u"update 京A12345 set [下次管理费用日期]='2027年1月1日',[管理费是否通知车主]='已通知',[管理应缴费用]='1200',"_s
        u"[管理已缴费用]='600',[是否脱管]=false,[是否提醒管理]=true,[管理备注]='x',[管理缴费日期]='2026年7月1日' "_s
        u"where [编号]=3"_s);

    const archive::RecordValues p{{u"下次营运证日期"_s, QDate(2026, 4, 4)},
                                  {u"营运证是否通知车主"_s, u"通知未达"_s},
                                  {u"营运证应缴费用"_s, u"80"_s},
                                  {u"营运证已缴费用"_s, u"80"_s},
                                  {u"是否脱营"_s, false},
                                  {u"是否提醒营运"_s, false},
                                  {u"营运证备注"_s, u""_s},
                                  {u"营运缴费日期"_s, QDate(2026, 4, 1)},
                                  {u"营运证办理日期"_s, QDate(2020, 4, 4)},
                                  {u"营运证号"_s, u"Y-77 "_s},
                                  {u"是否驻内"_s, u"驻内"_s}};
    EXPECT_EQ(
        archive::BuildUpdate(5, kPlate, p, 2).text,
        u"update 京A12345 set [下次营运证日期]='2026年4月4日',[营运证是否通知车主]='通知未达',[营运证应缴费用]='80',"_s
        u"[营运证已缴费用]='80',[是否脱营]=false,[是否提醒营运]=false,[营运证备注]='',[营运缴费日期]='2026年4月1日',"_s
        u"[营运证号]='Y-77',[是否驻内]='驻内',[营运证办理日期]='2020年4月4日' where [编号]=2"_s);

    const archive::BuiltStatement b = archive::BuildUpdate(0, kPlate, basic(), 1);
    EXPECT_EQ(
        b.text,
        u"update 京A12345 set [档案编号]='001',[车主姓名]='车主姓名值',[车主电话]='车主电话值',"_s
        u"[从业资格证号]='从业资格证号值',[车主身份证号]='车主身份证号值',[车主详细住址]='车主详细住址值',"_s
        u"[主车牌号]='京A12345',[挂车牌号]='挂车牌号值',[买入日期]='2025年12月8日',[主车架号]='主车架号值',"_s
        u"[挂车架号]='挂车架号值',[主车吨位]='主车吨位值',[挂车吨位]='挂车吨位值',[主车品牌]='主车品牌值',"_s
        u"[挂车品牌]='挂车品牌值',[车辆颜色]='车辆颜色值',[购车方式]='购车方式值',[发动机号]='发动机号值',"_s
        u"[基本信息备注]='基本信息备注值',[车辆状态]='2',[驾驶员A身份证号]='驾驶员A身份证号值',[A姓名]='A姓名值',"_s
        u"[B姓名]='B姓名值',[驾驶员B身份证号]='驾驶员B身份证号值',[车主身份证信息]=?,[车辆照片信息]=?,"_s
        "[车辆照片信息2]=?,[行车证信息1]=?,[行车证信息2]=? where [编号]=1");
    EXPECT_EQ(b.binaries, QList<QByteArray>({"id", "p1", "p2", "l1", "l2"}));
}

TEST_F(RecordsTest, InsuranceModifyLeavesTheNotificationColumnAsStored) {
    ASSERT_TRUE(archive::AddRecordRow(db(), 3, kPlate,
                                      {{u"下次保险日期"_s, QDate(2026, 9, 30)},
                                       {u"下次挂车保险日期"_s, QDate(2000, 1, 1)},
                                       {u"保险缴费日期"_s, QDate(2025, 9, 30)},
                                       {u"投保险种"_s, u"全险"_s}})
                    .ok);
    ASSERT_TRUE(db().ExecuteStatement(u"update "_s + kPlate + u" set [保险是否通知车主]='已通知' where [编号]=1"_s));
    archive::RecordValues v{{u"下次保险日期"_s, QDate(2027, 9, 30)}, {u"下次挂车保险日期"_s, QDate(2000, 1, 1)},
                            {u"保险缴费日期"_s, QDate(2026, 9, 30)}, {u"投保险种"_s, u"  三者险 "_s},
                            {u"保险公司名称"_s, u"人保"_s},          {u"是否脱保"_s, false}};
    const QStringList log = sent([&] { EXPECT_TRUE(archive::ModifyRecordRow(db(), 3, kPlate, v, 1).ok); });
    ASSERT_EQ(log.size(), 1);
    EXPECT_EQ(log[0],
              u"update 京A12345 set [下次保险日期]='2027年9月30日',[下次挂车保险日期]='2000年1月1日',"_s
              u"[保险应缴费用]='',[保险已缴费用]='',[是否脱保]=false,[是否提醒保险]=false,[是否提醒挂车保险]=false,"_s
              u"[保险备注]='',[保险缴费日期]='2026年9月30日',[保险公司名称]='人保',[保单号]='',[交强险]='',"_s
              u"[车损]='',[挂车强险单号]='',[挂车商险单号]='',[强险单号]='',[投保险种]='三者险',[人员]='',"_s
              u"[三责]='',[不计免赔]='',[其他]='' where [编号]=1"_s);
    EXPECT_EQ(field(1, u"保险是否通知车主"_s).text(), u"已通知"_s);
    EXPECT_EQ(field(1, u"投保险种"_s).text(), u"三者险"_s);
}

TEST_F(RecordsTest, AFailedUpdateReportsThePageMessage) {
    auto out = archive::ModifyRecordRow(db(), 0, u"京C99999"_s, basic(), 1);
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.message, u"修改不成功!"_s);
    out = archive::ModifyRecordRow(db(), 4, u"京C99999"_s,
                                   {{u"下次管理费用日期"_s, QDate(2026, 1, 1)}, {u"管理缴费日期"_s, QDate(2026, 1, 1)}},
                                   1);
    EXPECT_EQ(out.message, u"修改不成功"_s);
}

// ---- Values that carry quotes --------------------------------------------------------------

TEST_F(RecordsTest, QuotesInValuesAreStoredAsTypedAndCannotChangeTheStatement) {
    auto v = inspection(QDate(2026, 5, 5), false);
    v[u"审车备注"_s] = u"O'Brien', [是否脱审]=true --"_s;
    v[u"审车是否通知车主"_s] = u"'"_s;
    const archive::BuiltStatement s = archive::BuildInsert(1, kPlate, v);
    EXPECT_TRUE(s.text.contains(u"'O''Brien'', [是否脱审]=true --'"_s));
    ASSERT_TRUE(archive::AddRecordRow(db(), 1, kPlate, v).ok);
    EXPECT_EQ(field(1, u"审车备注"_s).text(), u"O'Brien', [是否脱审]=true --"_s);
    EXPECT_EQ(field(1, u"审车是否通知车主"_s).text(), u"'"_s);
    EXPECT_FALSE(field(1, u"是否脱审"_s).yesNo());

    v[u"审车备注"_s] = u"x' where [编号]=0 or '1'='1"_s;
    ASSERT_TRUE(archive::ModifyRecordRow(db(), 1, kPlate, v, 1).ok);
    EXPECT_EQ(field(1, u"审车备注"_s).text(), u"x' where [编号]=0 or '1'='1"_s);
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
                                u"[是否提醒挂车审车] from 京A12345 where [编号]=1"_s}));
    EXPECT_EQ(values.value(u"下次审车日期"_s).toDate(), QDate(2026, 12, 8));
    EXPECT_EQ(values.value(u"审车应缴费用"_s).toString(), u"1000"_s);
    EXPECT_EQ(values.value(u"审车是否通知车主"_s).toString(), u"已通知"_s);
    EXPECT_FALSE(values.value(u"是否脱审"_s).toBool()); // cleared by the add itself
    EXPECT_TRUE(values.value(u"是否提醒主车审车"_s).toBool());
    EXPECT_FALSE(values.contains(u"审车车号"_s));

    ASSERT_TRUE(archive::AddRecordRow(db(), 0, kPlate, basic()).ok);
    ASSERT_TRUE(archive::ReadRecord(db(), 0, kPlate, 2, &values));
    EXPECT_EQ(values.value(u"车辆状态"_s).toInt(), 2);
    EXPECT_EQ(values.value(u"车辆照片信息2"_s).toByteArray(), QByteArray("p2"));
    EXPECT_EQ(values.value(u"买入日期"_s).toDate(), QDate(2025, 12, 8));

    archive::RecordValues untouched{{u"x"_s, 1}};
    EXPECT_FALSE(archive::ReadRecord(db(), 2, u"京C99999"_s, 1, &untouched));
    EXPECT_EQ(untouched.size(), 1);
    EXPECT_EQ(archive::RecordPageInfo(2).selectFailure, u"超级列表框_二维_左键单击表项!"_s);
}

TEST_F(RecordsTest, SelectTextsOfEveryPage) {
    EXPECT_EQ(
        archive::BuildSelectOne(3, kPlate, 4),
        u"select [编号],[保险公司名称],[保单号],[投保险种],[强险单号],[挂车商险单号],[挂车强险单号],[下次挂车保险日期],"_s
        u"[保险应缴费用],[保险已缴费用],[不计免赔],[其他],[保险备注],[三责],[车损],[交强险],[人员],[下次保险日期],"_s
        u"[保险缴费日期],[保险是否通知车主],[是否脱保],[是否提醒保险],[是否提醒挂车保险] from 京A12345 where [编号]=4"_s);
    EXPECT_EQ(
        archive::BuildSelectOne(5, kPlate, 1),
        u"select [编号],[下次营运证日期],[营运证是否通知车主],[营运证应缴费用],[营运证已缴费用],[营运缴费日期],"_s
        u"[营运证备注],[是否脱营],[是否提醒营运],[营运证办理日期],[营运证号],[是否驻内] from 京A12345 where [编号]=1"_s);
    // Every selected column has a home on its page, except the insurance notification.
    for (int page = 0; page < archive::kRecordPageCount; ++page)
        for (const QString& column : archive::SelectedColumns(page)) {
            const archive::RecordField* f = archive::FindRecordField(page, column);
            ASSERT_TRUE(f) << column.toStdString();
            EXPECT_EQ(f->control.isEmpty(), column == u"保险是否通知车主"_s) << column.toStdString();
        }
}

// ---- Deleting and the last record ---------------------------------------------------------------

TEST_F(RecordsTest, DeleteOneRecord) {
    ASSERT_TRUE(archive::AddRecordRow(db(), 1, kPlate, inspection(QDate(2026, 1, 1), false)).ok);
    ASSERT_TRUE(archive::AddRecordRow(db(), 1, kPlate, inspection(QDate(2027, 1, 1), false)).ok);
    const QStringList log = sent([&] {
        const auto out = archive::DeleteRecordRow(db(), 1, kPlate, 2);
        EXPECT_TRUE(out.ok);
        EXPECT_EQ(out.message, u"删除成功!"_s);
    });
    // Row 2 carries nothing but its inspection record: the row itself goes.
    ASSERT_EQ(log.size(), 2);
    EXPECT_EQ(log.last(), u"delete * from 京A12345 where [编号]=2"_s);
    EXPECT_EQ(count(u""_s), 1);
    EXPECT_EQ(archive::DeleteRecordRow(db(), 1, u"京C99999"_s, 1).message, u"删除不成功"_s);
}

TEST_F(RecordsTest, LastRecordRuleNeedsOneRowNumberedOne) {
    EXPECT_TRUE(archive::IsLastRecordOfVehicle(1, 1));
    EXPECT_FALSE(archive::IsLastRecordOfVehicle(1, 2));
    EXPECT_FALSE(archive::IsLastRecordOfVehicle(2, 1));
    EXPECT_FALSE(archive::IsLastRecordOfVehicle(0, 1));
}

TEST_F(RecordsTest, LastRecordRemovesMasterRowAndTableTogether) {
    addVehicleTable(u"京B54321"_s, u"002"_s);
    const QStringList log = sent([&] { EXPECT_TRUE(archive::RemoveVehicleWithLastRecord(db(), kPlate)); });
    EXPECT_EQ(log, QStringList({u"delete * from [总表] where [车牌号]='京A12345'"_s, u"DROP TABLE 京A12345"_s}));
    EXPECT_EQ(db().OpenRecordSet(u"select * from "_s + kPlate), 0);
    const int rs = db().OpenRecordSet(u"select [车牌号] from [总表]"_s);
    ASSERT_NE(rs, 0);
    EXPECT_EQ(db().RowCount(rs), 1);
    EXPECT_EQ(db().ReadField(rs, u"车牌号"_s).text(), u"京B54321"_s);
    db().CloseRecordSet(rs);
}

TEST_F(RecordsTest, WhenTheTableCannotBeDroppedTheMasterRowStays) {
    // A master row whose table is missing: the drop fails, so the delete before it is undone.
    ASSERT_TRUE(db().ExecuteStatement(u"insert into [总表]([档案编号],[车牌号]) values('009','京D00001')"_s));
    EXPECT_FALSE(archive::RemoveVehicleWithLastRecord(db(), u"京D00001"_s));
    const int rs = db().OpenRecordSet(u"select count(*) as[数量] from [总表] where [车牌号]='京D00001'"_s);
    ASSERT_NE(rs, 0);
    EXPECT_EQ(db().ReadField(rs, u"数量"_s).number(), 1);
    db().CloseRecordSet(rs);
}
