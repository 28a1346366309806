#include "claims/claims.h"
#include "store/database.h"
#include "support/testsupport.h"

using namespace Qt::StringLiterals;
using claims::Claim;
using testing_support::DataDirTest;

namespace {

Claim makeClaim(const QString& date, const QString& plate, const QString& owner, bool closed = false) {
    Claim c;
    c.date = date;
    c.plate = plate;
    c.owner = owner;
    c.phone = u"13800000000"_s;
    c.insurer = u"人保财险"_s;
    c.policy = u"PDAA2026"_s;
    c.amount = u"1200.50"_s;
    c.closed = closed;
    c.remarks = u"追尾"_s;
    return c;
}

class ClaimsCoreTest : public DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        claims::ResetClaimState();
    }
    void add(const Claim& c) { ASSERT_TRUE(claims::InsertClaim(db(), c)) << db().LastError().toStdString(); }
    QList<Claim> load(const QDate& first, const QDate& last) {
        const auto list = claims::LoadClaims(db(), first, last);
        EXPECT_TRUE(list.has_value()) << db().LastError().toStdString();
        return list.value_or(QList<Claim>{});
    }
    QStringList plates(const QList<Claim>& list) {
        QStringList out;
        for (const Claim& c : list)
            out << c.plate;
        return out;
    }
    int storedCount() {
        const int rs = db().OpenRecordSet(u"select count(*) as[数量] from [报险表]"_s);
        EXPECT_NE(rs, 0);
        const int n = int(db().ReadField(rs, u"数量"_s).number());
        db().CloseRecordSet(rs);
        return n;
    }
    const QDate from{2026, 11, 8};
    const QDate to{2026, 12, 8};
};

} // namespace

TEST_F(ClaimsCoreTest, RangeIncludesBothEndsInTableOrderAndCountsTheRows) {
    add(makeClaim(u"2026-12-8"_s, u"终点"_s, u"甲"_s));
    add(makeClaim(u"2026-11-7"_s, u"前一天"_s, u"乙"_s));
    add(makeClaim(u"2026-11-8"_s, u"起点"_s, u"丙"_s));
    add(makeClaim(u"2026-12-9"_s, u"后一天"_s, u"丁"_s));
    add(makeClaim(u"2026年11月20日"_s, u"中间"_s, u"戊"_s, true));

    const QList<Claim> list = load(from, to);
    EXPECT_EQ(plates(list), QStringList({u"终点"_s, u"起点"_s, u"中间"_s}));
    EXPECT_EQ(claims::ClaimRowCount, 3);

    // Every column comes back as stored, the date as its ISO text.
    ASSERT_EQ(list.size(), 3);
    const Claim& last = list.at(2);
    EXPECT_GT(last.number, list.at(1).number);
    EXPECT_EQ(last.date, u"2026-11-20"_s);
    EXPECT_EQ(last.owner, u"戊"_s);
    EXPECT_EQ(last.phone, u"13800000000"_s);
    EXPECT_EQ(last.insurer, u"人保财险"_s);
    EXPECT_EQ(last.policy, u"PDAA2026"_s);
    EXPECT_EQ(last.amount, u"1200.50"_s);
    EXPECT_TRUE(last.closed);
    EXPECT_FALSE(list.at(0).closed);
    EXPECT_EQ(last.remarks, u"追尾"_s);

    // Reading without the register's state leaves the count alone.
    EXPECT_EQ(claims::ReadClaims(db(), from, to, claims::MakeClaimFilters({}, u"丙"_s, {}, {}, claims::kClosedAll))
                  .value_or(QList<Claim>{})
                  .size(),
              1);
    EXPECT_EQ(claims::ClaimRowCount, 3);

    // A later, emptier range resets the count.
    EXPECT_TRUE(load(QDate(2025, 1, 1), QDate(2025, 1, 31)).isEmpty());
    EXPECT_EQ(claims::ClaimRowCount, 0);
}

TEST_F(ClaimsCoreTest, ClosedChoiceSelectsOpenOrClosedClaimsAndUnknownValuesKeepTheFragment) {
    add(makeClaim(u"2026-11-10"_s, u"开1"_s, u"甲"_s, false));
    add(makeClaim(u"2026-11-11"_s, u"结1"_s, u"乙"_s, true));
    add(makeClaim(u"2026-11-12"_s, u"开2"_s, u"丙"_s, false));

    claims::SetClaimFilters({}, {}, {}, {}, claims::kClosedOpen);
    EXPECT_EQ(plates(load(from, to)), QStringList({u"开1"_s, u"开2"_s}));
    claims::SetClaimFilters({}, {}, {}, {}, claims::kClosedOnly);
    EXPECT_EQ(plates(load(from, to)), QStringList({u"结1"_s}));
    claims::SetClaimFilters({}, {}, {}, {}, 7);
    EXPECT_EQ(claims::ClaimFilters.closed, u" and 是否结案=true"_s);
    claims::SetClaimFilters({}, {}, {}, {}, claims::kClosedAll);
    EXPECT_EQ(plates(load(from, to)), QStringList({u"开1"_s, u"结1"_s, u"开2"_s}));
}

TEST_F(ClaimsCoreTest, TextFiltersMatchAnyPartAndCombine) {
    add(makeClaim(u"2026-11-10"_s, u"粤A12345"_s, u"欧阳建国"_s));
    add(makeClaim(u"2026-11-11"_s, u"粤B77777"_s, u"建华"_s));
    Claim other = makeClaim(u"2026-11-12"_s, u"湘C00001"_s, u"李四"_s);
    other.insurer = u"平安保险"_s;
    other.policy = u"XYZ-9"_s;
    add(other);

    claims::SetClaimFilters({}, u"建"_s, {}, {}, claims::kClosedAll);
    EXPECT_EQ(plates(load(from, to)), QStringList({u"粤A12345"_s, u"粤B77777"_s}));
    claims::SetClaimFilters({}, u"国"_s, {}, {}, claims::kClosedAll);
    EXPECT_EQ(plates(load(from, to)), QStringList({u"粤A12345"_s}));
    claims::SetClaimFilters(u"7777"_s, {}, {}, {}, claims::kClosedAll);
    EXPECT_EQ(plates(load(from, to)), QStringList({u"粤B77777"_s}));
    claims::SetClaimFilters({}, {}, u"平安"_s, {}, claims::kClosedAll);
    EXPECT_EQ(plates(load(from, to)), QStringList({u"湘C00001"_s}));
    claims::SetClaimFilters({}, {}, {}, u"Z-"_s, claims::kClosedAll);
    EXPECT_EQ(plates(load(from, to)), QStringList({u"湘C00001"_s}));
    claims::SetClaimFilters(u"粤"_s, u"建"_s, u"人保"_s, u"PDAA"_s, claims::kClosedAll);
    EXPECT_EQ(plates(load(from, to)).size(), 2);
    claims::SetClaimFilters(u"粤"_s, u"李"_s, {}, {}, claims::kClosedAll);
    EXPECT_TRUE(load(from, to).isEmpty());
}

TEST_F(ClaimsCoreTest, PercentAndUnderscoreInAFilterMatchThemselves) {
    Claim a = makeClaim(u"2026-11-10"_s, u"粤A_1"_s, u"张三"_s);
    a.policy = u"50%-A"_s;
    Claim b = makeClaim(u"2026-11-11"_s, u"粤AB1"_s, u"张四"_s);
    b.policy = u"500-A"_s;
    Claim c = makeClaim(u"2026-11-12"_s, u"粤A\\_1"_s, u"张五"_s);
    c.policy = u"5\\0%"_s;
    add(a);
    add(b);
    add(c);

    claims::SetClaimFilters(u"A_1"_s, {}, {}, {}, claims::kClosedAll);
    EXPECT_EQ(plates(load(from, to)), QStringList({u"粤A_1"_s}));
    claims::SetClaimFilters({}, {}, {}, u"0%"_s, claims::kClosedAll);
    EXPECT_EQ(plates(load(from, to)), QStringList({u"粤A_1"_s, u"粤A\\_1"_s}));
    claims::SetClaimFilters({}, {}, {}, u"\\0%"_s, claims::kClosedAll);
    EXPECT_EQ(plates(load(from, to)), QStringList({u"粤A\\_1"_s}));
    // A backslash alone is no escape either.
    claims::SetClaimFilters(u"\\"_s, {}, {}, {}, claims::kClosedAll);
    EXPECT_EQ(plates(load(from, to)), QStringList({u"粤A\\_1"_s}));
    claims::SetClaimFilters(u"%"_s, {}, {}, {}, claims::kClosedAll);
    EXPECT_TRUE(load(from, to).isEmpty());
}

TEST_F(ClaimsCoreTest, QuotesInEveryCellAreStoredAndFoundAsTyped) {
    Claim q;
    q.date = u"2026-11-20"_s;
    q.plate = u"粤'A1"_s;
    q.owner = u"O'Neil"_s;
    q.phone = u"13'9"_s;
    q.insurer = u"人保'财险"_s;
    q.policy = u"P'1"_s;
    q.amount = u"1'000"_s;
    q.remarks = u"'); delete from [报险表] where ('1'='1"_s;
    add(q);
    add(makeClaim(u"2026-11-21"_s, u"粤B2"_s, u"其他"_s));

    claims::SetClaimFilters(u"'A"_s, u"O'N"_s, u"保'财"_s, u"P'"_s, claims::kClosedAll);
    QList<Claim> list = load(from, to);
    ASSERT_EQ(list.size(), 1);
    q.number = list.at(0).number;
    EXPECT_EQ(list.at(0), q);

    // The same values written back by an update stay as typed.
    q.owner = u"D'Arcy ''x''"_s;
    ASSERT_TRUE(claims::UpdateClaims(db(), {q}).ok()) << db().LastError().toStdString();
    claims::SetClaimFilters({}, u"''x''"_s, {}, {}, claims::kClosedAll);
    list = load(from, to);
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list.at(0), q);
    EXPECT_EQ(storedCount(), 2);
}

TEST_F(ClaimsCoreTest, AClaimWithoutAValidReportDateIsRefusedAndNothingIsWritten) {
    store::DatabaseConnection::SetStatementLogging(true);
    for (const QString& bad : {u""_s, u"   "_s, u"2026-2-30"_s, u"明天"_s, u"2026-12-08 abc"_s, u"12/8/2026x"_s}) {
        Claim c = makeClaim(bad, u"粤A1"_s, u"张三"_s);
        EXPECT_FALSE(claims::InsertClaim(db(), c)) << bad.toStdString();
    }
    Claim blank;
    EXPECT_FALSE(claims::InsertClaim(db(), blank));
    EXPECT_TRUE(store::DatabaseConnection::StatementLog().filter(u"insert"_s).isEmpty());
    EXPECT_EQ(storedCount(), 0);
}

TEST_F(ClaimsCoreTest, NewDatabaseRefusesAClaimWithoutDateButVehicleTablesKeepOptionalDates) {
    // Sent straight to the store, past the register's own check.
    EXPECT_FALSE(db().ExecuteStatement(u"insert into 报险表 ([报险日期],[主车牌号]) values('','粤A1')"_s));
    EXPECT_FALSE(db().ExecuteStatement(u"insert into 报险表 ([主车牌号]) values('粤A1')"_s));
    EXPECT_EQ(storedCount(), 0);
    ASSERT_TRUE(db().ExecuteStatement(u"insert into 报险表 ([报险日期],[主车牌号]) values('2026年1月2日','粤A1')"_s));
    EXPECT_FALSE(db().ExecuteStatement(u"update 报险表 set [报险日期]='' where [主车牌号]='粤A1'"_s));
    EXPECT_EQ(storedCount(), 1);

    ASSERT_TRUE(db().ExecuteStatement(u"select * into 粤Z9 from yangbiao"_s));
    EXPECT_TRUE(db().ExecuteStatement(u"insert into 粤Z9 ([档案编号],[买入日期],[下次审车日期]) values('1','','')"_s))
        << db().LastError().toStdString();
}

TEST_F(ClaimsCoreTest, UpdateWritesEveryRowOrNone) {
    add(makeClaim(u"2026-11-10"_s, u"一"_s, u"甲"_s));
    add(makeClaim(u"2026-11-11"_s, u"二"_s, u"乙"_s));
    add(makeClaim(u"2026-11-12"_s, u"三"_s, u"丙"_s));
    const QList<Claim> stored = load(from, to);
    ASSERT_EQ(stored.size(), 3);

    QList<Claim> edited = stored;
    edited[0].owner = u"甲改"_s;
    edited[1].closed = true;
    edited[2].date = QString();
    claims::UpdateOutcome out = claims::UpdateClaims(db(), edited);
    EXPECT_EQ(out.failure, claims::UpdateOutcome::InvalidDate);
    EXPECT_EQ(out.failedRow, 3);
    EXPECT_EQ(load(from, to), stored);

    // A row the database itself refuses rolls back the rows before it as well.
    ASSERT_TRUE(db().ExecuteStatement(u"create trigger 拒绝 before update on [报险表] when new.[备注] = '拒绝' "
                                      u"begin select raise(abort, '拒绝'); end"_s))
        << db().LastError().toStdString();
    edited[2].date = u"2026-11-30"_s;
    edited[1].remarks = u"拒绝"_s;
    out = claims::UpdateClaims(db(), edited);
    EXPECT_EQ(out.failure, claims::UpdateOutcome::Refused);
    EXPECT_EQ(out.failedRow, 2);
    EXPECT_EQ(load(from, to), stored);

    // A row without its number is never sent.
    edited[1].remarks = u"改好"_s;
    edited[0].number = 0;
    out = claims::UpdateClaims(db(), edited);
    EXPECT_EQ(out.failure, claims::UpdateOutcome::InvalidNumber);
    EXPECT_EQ(out.failedRow, 1);
    EXPECT_EQ(load(from, to), stored);

    edited[0].number = stored[0].number;
    out = claims::UpdateClaims(db(), edited);
    ASSERT_TRUE(out.ok()) << db().LastError().toStdString();
    EXPECT_EQ(out.failedRow, 0);
    EXPECT_EQ(load(from, QDate(2026, 11, 30)), edited);
}

TEST_F(ClaimsCoreTest, StatementsSentAreTheRegistersOwnTexts) {
    add(makeClaim(u"2026-11-10"_s, u"粤A1"_s, u"张三"_s));
    store::DatabaseConnection::ClearStatementLog();
    store::DatabaseConnection::SetStatementLogging(true);

    claims::SetClaimFilters(u"粤A"_s, u"张"_s, u"人保"_s, u"PD"_s, claims::kClosedOpen);
    const QList<Claim> list = load(QDate(2026, 1, 5), QDate(2026, 12, 8));
    ASSERT_EQ(list.size(), 1);

    Claim n = makeClaim(u"2026-12-08"_s, u"粤B'2"_s, u"李四"_s, true);
    ASSERT_TRUE(claims::InsertClaim(db(), n));
    Claim u = list.at(0);
    u.date = u"2026/3/4"_s;
    ASSERT_TRUE(claims::UpdateClaims(db(), {u}).ok());

    const QStringList expected = {
        u"select * from [报险表] where 报险日期>=#2026-1-5# and 报险日期<=#2026-12-8# and 主车牌号 like '%粤A%' "
        u"and 车主姓名 like '%张%' and 是否结案=false and 保险公司名称 like '%人保%' and 保单号 like '%PD%'"_s,
        u"insert into 报险表 "
        u"([报险日期],[主车牌号],[车主姓名],[车主电话],[保险公司名称],[保单号],[理赔金额],[是否结案],"
        u"[备注]) values('2026年12月8日','粤B''2','李四','13800000000','人保财险','PDAA2026','1200.50',true,'追尾')"_s,
        u"update 报险表 set [报险日期]='2026年3月4日',[主车牌号]='粤A1',[车主姓名]='张三',[车主电话]='13800000000',"
        u"[保险公司名称]='人保财险',[保单号]='PDAA2026',[理赔金额]='1200.50',[是否结案]=false,[备注]='追尾' "
        u"where [编号]="_s +
            QString::number(u.number),
    };
    EXPECT_EQ(store::DatabaseConnection::StatementLog(), expected);

    // A filter holding a wildcard character gets an escape clause, and only then.
    EXPECT_EQ(claims::LikeFragment(u"保单号"_s, u"5%'_"_s), u" and 保单号 like '%5\\%''\\_%' escape '\\'"_s);
    EXPECT_EQ(claims::LikeFragment(u"保单号"_s, u"a\\b"_s), u" and 保单号 like '%a\\b%'"_s);
    EXPECT_EQ(claims::LikeFragment(u"保单号"_s, {}), QString());
}

TEST(ClaimDate, ReadsTheFormsTheProgramWritesAndRefusesEverythingElse) {
    EXPECT_EQ(claims::ClaimDate(u"2026-12-08"_s), QDate(2026, 12, 8));
    EXPECT_EQ(claims::ClaimDate(u" 2026-1-5 "_s), QDate(2026, 1, 5));
    EXPECT_EQ(claims::ClaimDate(u"2026/1/5"_s), QDate(2026, 1, 5));
    EXPECT_EQ(claims::ClaimDate(u"2026年1月5日"_s), QDate(2026, 1, 5));
    EXPECT_EQ(claims::ClaimDate(u"2024-2-29"_s), QDate(2024, 2, 29));
    for (const QString& bad : {u""_s, u"2026-2-29"_s, u"2026-13-1"_s, u"26-1-5"_s, u"2026-1-5x"_s, u"x2026-1-5"_s,
                               u"2026年1月5"_s, u"20260105"_s})
        EXPECT_FALSE(claims::ClaimDate(bad).isValid()) << bad.toStdString();
}
