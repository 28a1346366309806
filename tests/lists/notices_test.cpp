#include "listfleet.h"

#include "cli/commands.h"
#include "domain/obligations.h"
#include "lists/duecalendar.h"
#include "lists/notices.h"
#include "report/readback.h"
#include "store/company.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimeZone>

using lists_test::ListTest;

namespace {

QByteArray fileHash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// velmora-cli in this process; the exit status, with standard output and error kept.
struct CliRun {
    int status = -1;
    QString out, err;
};
CliRun runCli(const QStringList& args) {
    CliRun r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.status = cli::Run(args, out, err);
    out.flush();
    err.flush();
    return r;
}

const store::CompanyDetails kCompany{u"泰安顺达运输有限公司"_s, u"泰安市泰山区东岳大街18号"_s, u"0538-8123456"_s};

// Three owners in May 2026: 张三 with two vehicles due (one this month, one two months lapsed),
// 李四 with one due next month and one far ahead, 王五 with nothing due, and a transferred vehicle
// long overdue. The lapsed insurance of 张三 is three months overdue on the trailer: a refresh
// would write its flag.
class NoticeTest : public ListTest {
protected:
    void SetUp() override {
        ListTest::SetUp();
        vehicle(u"鲁A10001"_s, u"001"_s, u"张三"_s, u"13800000001"_s);
        fee(u"鲁A10001"_s, 0, QDate(2026, 5, 20), u"300"_s);
        vehicle(u"鲁A10002"_s, u"002"_s, u"张三"_s, u"13800000001"_s);
        fee(u"鲁A10002"_s, 2, QDate(2026, 3, 8), u"4500"_s, QDate(2026, 2, 1));
        vehicle(u"鲁B20001"_s, u"003"_s, u"李四"_s, u"13900000002"_s);
        fee(u"鲁B20001"_s, 1, QDate(2026, 6, 15), u"120"_s);
        vehicle(u"鲁B20002"_s, u"004"_s, u"李四"_s, u"13900000002"_s);
        fee(u"鲁B20002"_s, 3, QDate(2026, 12, 1), u"800"_s);
        vehicle(u"鲁C30001"_s, u"005"_s, u"王五"_s, u"13700000003"_s);
        fee(u"鲁C30001"_s, 4, QDate(2027, 3, 1), u"50"_s);
        vehicle(u"鲁D40001"_s, u"006"_s, u"赵六"_s, u"13600000004"_s);
        fleet->row(u"鲁D40001"_s, {{u"车辆状态"_s, u"2"_s}, {u"档案编号"_s, u"006"_s}, {u"车主姓名"_s, u"赵六"_s}});
        fee(u"鲁D40001"_s, 0, QDate(2025, 12, 1), u"300"_s);
        ASSERT_TRUE(store::SaveCompanyDetails(db(), kCompany));
    }

    // A record of kind k (alerts::Kind order) with its due date(s) and fee due.
    void fee(const QString& plate, int k, const QDate& due, const QString& amount, const QDate& trailer = {}) {
        const domain::ObligationColumns& o = domain::Obligation(domain::ObligationKind(k));
        QList<QPair<QString, QVariant>> v = {{o.plateCopy, plate}, {o.dueDate, due}, {o.dueFee, amount}};
        if (trailer.isValid())
            v.append({o.trailerDue, trailer});
        fleet->row(plate, v);
    }

    QStringList cli(const QStringList& args) { return args + QStringList{u"--data-dir"_s, dataDir()}; }
};

TEST_F(NoticeTest, OwnersAreToldOfWhatFallsDueOrIsOverdue) {
    const alerts::AlertSetList sets = refresh();
    const lists::NoticeBuild b =
        lists::BuildNotices(db(), lists::VehiclesInService(db(), sets).value(), QDate(2026, 5, 12), true);
    EXPECT_TRUE(b.messages.isEmpty()) << b.messages.join(u'\n').toStdString();
    ASSERT_EQ(b.notices.size(), 2);
    EXPECT_EQ(b.notices[0].owner, u"张三"_s);
    ASSERT_EQ(b.notices[0].vehicles.size(), 2);
    // 鲁A10002: the main insurance date lapsed two months, the trailer's three (both told).
    QStringList items;
    for (const lists::DueItem& i : b.notices[0].vehicles[1].items)
        items << lists::DueItemName(i) + u':' + lists::StatusText(i.kind, i.due, month);
    EXPECT_EQ(items, (QStringList{u"保险:已经脱保2个月"_s, u"挂车保险:已经脱保3个月"_s}));
    EXPECT_EQ(b.notices[1].owner, u"李四"_s);
    ASSERT_EQ(b.notices[1].vehicles.size(), 1) << "the vehicle due in December is not told";
    EXPECT_EQ(b.notices[1].vehicles[0].plate, u"鲁B20001"_s);
}

struct FeeCase {
    const char* name;
    bool feesVisible;
};
class NoticePdf : public NoticeTest, public ::testing::WithParamInterface<FeeCase> {};

// One page per owner with only his vehicles, the letterhead and a place to sign; the amounts only
// where the fee columns are visible.
TEST_P(NoticePdf, EachOwnerOnHisOwnPage) {
    const lists::NoticeBuild b = lists::BuildNotices(db(), lists::VehiclesInService(db(), refresh()).value(),
                                                     QDate(2026, 5, 12), GetParam().feesVisible);
    const QString path = QDir(dataDir()).filePath(u"notices.pdf"_s);
    ASSERT_TRUE(report::WritePdf(b.pages, path));
    const QStringList pages = report_test::pdfPages(path);
    ASSERT_EQ(pages.size(), 2);
    const struct {
        QString owner;
        QStringList own, others;
        QStringList amounts;
    } expected[] = {
        {u"张三"_s,
         {u"鲁A10001"_s, u"鲁A10002"_s},
         {u"鲁B20001"_s, u"李四"_s},
         {u"本月需审|300"_s, u"已经脱保2个月|4500"_s}},
        {u"李四"_s, {u"鲁B20001"_s}, {u"鲁A10001"_s, u"鲁A10002"_s, u"张三"_s, u"鲁B20002"_s}, {u"下月需维|120"_s}},
    };
    for (int p = 0; p < 2; ++p) {
        const QString page = report_test::squeezed(pages[p]);
        EXPECT_TRUE(page.contains(u"车主："_s + expected[p].owner)) << page.toStdString();
        for (const QString& plate : expected[p].own)
            EXPECT_TRUE(page.contains(plate)) << plate.toStdString();
        for (const QString& other : expected[p].others)
            EXPECT_FALSE(page.contains(other)) << other.toStdString() << " on the page of " << p;
        // The amount stands in the cell after the item's status.
        for (const QString& cells : expected[p].amounts) {
            const QString status = cells.section(u'|', 0, 0);
            EXPECT_TRUE(page.contains(status)) << status.toStdString();
            EXPECT_EQ(page.contains(status + cells.section(u'|', 1)), GetParam().feesVisible) << cells.toStdString();
        }
        EXPECT_EQ(page.contains(u"应缴费用"_s), GetParam().feesVisible);
        for (const QString& detail : {kCompany.公司名称, kCompany.地址, kCompany.电话, u"车主签字"_s})
            EXPECT_TRUE(page.contains(detail)) << detail.toStdString();
        EXPECT_TRUE(page.contains(u"第%1页/共2页"_s.arg(p + 1)));
    }
    // The insurance fee covers the trailer too: it is not told twice.
    EXPECT_FALSE(report_test::squeezed(pages[0]).contains(u"已经脱保3个月4500"_s));
    if (const QString shots = qEnvironmentVariable("VELMORA_SHOT_DIR"); !shots.isEmpty() && GetParam().feesVisible)
        QFile::copy(path, QDir(shots).filePath(u"notices.pdf"_s));
    EXPECT_FALSE(pages.join(QString()).contains(u"王五"_s));
    EXPECT_FALSE(pages.join(QString()).contains(u"鲁D40001"_s)) << "a transferred vehicle is not told";
}

INSTANTIATE_TEST_SUITE_P(Fees, NoticePdf, ::testing::Values(FeeCase{"Visible", true}, FeeCase{"Hidden", false}),
                         [](const auto& p) { return std::string(p.param.name); });

// The command line: the notices of one list, or of every vehicle; the CSV names the owner on every
// row; --no-fees leaves the amounts out.
TEST_F(NoticeTest, CommandLineWritesTheNoticesOfAListOrOfAll) {
    const QString pdf = QDir(dataDir()).filePath(u"n.pdf"_s);
    CliRun r = runCli(
        cli({u"notices"_s, u"--today"_s, u"2026-05-12"_s, u"--list"_s, u"本月需审车辆清单"_s, u"--output"_s, pdf}));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QStringList pages = report_test::pdfPages(pdf);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(pages[0].contains(u"鲁A10001"_s));
    EXPECT_FALSE(pages[0].contains(u"鲁B20001"_s));

    r = runCli(cli({u"notices"_s, u"--today"_s, u"2026-05-12"_s, u"--format"_s, u"csv"_s, u"--no-fees"_s}));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(u"\r\n"_s, Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1 + 4) << r.out.toStdString();
    EXPECT_EQ(lines[0], QChar(0xFEFF) + u"车主姓名,车主电话,车号,项目,到期月份,状态"_s);
    EXPECT_EQ(lines[1], u"张三,13800000001,鲁A10001,审车,2026-05,本月需审"_s);
    EXPECT_EQ(lines[4], u"李四,13900000002,鲁B20001,二级维护,2026-06,下月需维"_s);
}

struct GroupCase {
    const char* name;
    QList<QStringList> vehicles; // plate, owner, id number, phone
    QList<QStringList> pages;    // the plates on each owner's page
};
class OwnerGrouping : public ::testing::TestWithParam<GroupCase> {};

TEST_P(OwnerGrouping, OwnersAreNeverMixed) {
    QList<lists::VehicleDue> vehicles;
    for (const QStringList& v : GetParam().vehicles) {
        lists::VehicleDue due{v[0], v[1], v[3], v[2], {}};
        lists::DueItem item;
        item.due = QDate(2026, 5, 20);
        item.state = v.size() > 4 ? alerts::DueState::None : alerts::DueState::DueThisMonth;
        due.items << item;
        vehicles << due;
    }
    QList<QStringList> pages;
    for (const lists::OwnerNotice& n : lists::GroupByOwner(vehicles)) {
        QStringList plates;
        for (const lists::VehicleDue& v : n.vehicles)
            plates << v.plate;
        pages << plates;
    }
    EXPECT_EQ(pages, GetParam().pages);
}

INSTANTIATE_TEST_SUITE_P(
    Owners, OwnerGrouping,
    ::testing::Values(
        GroupCase{"SameOwner",
                  {{u"A"_s, u"张三"_s, u"1"_s, u"9"_s}, {u"B"_s, u" 张三 "_s, u"1"_s, u"9"_s}},
                  {{u"A"_s, u"B"_s}}},
        GroupCase{"SameNameOtherPerson",
                  {{u"A"_s, u"张三"_s, u"1"_s, u"9"_s},
                   {u"B"_s, u"张三"_s, u"2"_s, u"9"_s},
                   {u"C"_s, u"张三"_s, u"1"_s, u"9"_s}},
                  {{u"A"_s, u"C"_s}, {u"B"_s}}},
        GroupCase{"NoName", {{u"A"_s, u""_s, u""_s, u""_s}, {u"B"_s, u""_s, u""_s, u""_s}}, {{u"A"_s}, {u"B"_s}}},
        GroupCase{"NothingDue",
                  {{u"A"_s, u"张三"_s, u""_s, u""_s, u"none"_s}, {u"B"_s, u"李四"_s, u""_s, u""_s}},
                  {{u"B"_s}}}),
    [](const auto& p) { return std::string(p.param.name); });

struct StateCase {
    QDate due;
    alerts::DueState state;
};
class DueStates : public ::testing::TestWithParam<StateCase> {};

// The states come from the alert rules: the month decides, not the day.
TEST_P(DueStates, ByTheMonthAgainstMay2026) {
    EXPECT_EQ(alerts::DueStateOf(GetParam().due, QDate(2026, 5, 12)), GetParam().state)
        << GetParam().due.toString(Qt::ISODate).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Dates, DueStates,
                         ::testing::Values(StateCase{QDate(2026, 6, 30), alerts::DueState::DueSoon},
                                           StateCase{QDate(2026, 5, 1), alerts::DueState::DueThisMonth},
                                           StateCase{QDate(2026, 4, 30), alerts::DueState::Lapsed},
                                           StateCase{QDate(2026, 3, 1), alerts::DueState::Lapsed},
                                           StateCase{QDate(2026, 2, 28), alerts::DueState::LongOverdue},
                                           StateCase{QDate(2026, 7, 1), alerts::DueState::None},
                                           StateCase{QDate(2000, 1, 15), alerts::DueState::None},
                                           StateCase{QDate(), alerts::DueState::None}));

// ---- the calendar -----------------------------------------------------------------------------

// The events of an .ics file as python3-icalendar reads them, one JSON object per event.
QJsonArray icsEvents(const QString& path) {
    const QString script = uR"(
import sys, json, icalendar
cal = icalendar.Calendar.from_ical(open(sys.argv[1], 'rb').read())
out = []
for e in cal.walk('VEVENT'):
    alarms = [str(a.get('TRIGGER').dt) for a in e.walk('VALARM')]
    out.append({'uid': str(e['UID']), 'summary': str(e['SUMMARY']), 'description': str(e['DESCRIPTION']),
                'start': e['DTSTART'].dt.isoformat(), 'end': e['DTEND'].dt.isoformat(),
                'stamp': bool(e.get('DTSTAMP')), 'alarms': alarms})
print(json.dumps(out))
)"_s;
    return QJsonDocument::fromJson(report_test::run(u"/usr/bin/python3"_s, {u"-c"_s, script, path}).toUtf8()).array();
}

TEST_F(NoticeTest, CalendarHasAnEventPerDueDateWithStableUids) {
    const QString first = QDir(dataDir()).filePath(u"1.ics"_s);
    const QString second = QDir(dataDir()).filePath(u"2.ics"_s);
    for (const QString& path : {first, second}) {
        const CliRun r = runCli(cli({u"calendar"_s, u"--today"_s, u"2026-05-12"_s, u"--output"_s, path}));
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
    }
    const QJsonArray events = icsEvents(first);
    // From May 1 to Aug 12: 鲁A10001 inspection (May 20) and 鲁B20001 maintenance (June 15); the
    // lapsed insurance of March and the transferred vehicle are not on it.
    ASSERT_EQ(events.size(), 2) << QJsonDocument(events).toJson().toStdString();
    const QJsonObject a = events[0].toObject();
    EXPECT_EQ(a[u"summary"_s].toString(), u"审车到期 鲁A10001 张三"_s);
    EXPECT_EQ(a[u"start"_s].toString(), u"2026-05-20"_s);
    EXPECT_EQ(a[u"end"_s].toString(), u"2026-05-21"_s);
    EXPECT_EQ(a[u"alarms"_s].toArray(), QJsonArray{u"-7 days, 0:00:00"_s});
    EXPECT_TRUE(a[u"stamp"_s].toBool());
    EXPECT_TRUE(a[u"description"_s].toString().contains(u"车主电话：13800000001"_s));
    EXPECT_EQ(events[1].toObject()[u"summary"_s].toString(), u"二级维护到期 鲁B20001 李四"_s);
    const QJsonArray again = icsEvents(second);
    ASSERT_EQ(again.size(), events.size());
    for (qsizetype i = 0; i < events.size(); ++i)
        EXPECT_EQ(again[i].toObject()[u"uid"_s], events[i].toObject()[u"uid"_s]);
    EXPECT_NE(events[0].toObject()[u"uid"_s], events[1].toObject()[u"uid"_s]);

    // A year ahead takes in the December fee and the permit of March 2027.
    const CliRun r = runCli(cli({u"calendar"_s, u"--today"_s, u"2026-05-12"_s, u"--months"_s, u"12"_s}));
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.count(u"BEGIN:VEVENT"_s), 4);
}

struct NameCase {
    const char* name;
    QString owner;
    QByteArray escaped; // the owner as a TEXT value carries it in the file
};
void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.name;
}
class CalendarText : public ::testing::TestWithParam<NameCase> {};

// Whatever the owner's name, the file parses back to the same summary and description, no line
// is longer than 75 octets and every line ends in CRLF.
TEST_P(CalendarText, FoldsAndEscapesAnyName) {
    lists::VehicleDue v{u"鲁A12345"_s, GetParam().owner, u"138"_s, {}, {}};
    lists::DueItem item;
    item.due = QDate(2026, 5, 20);
    v.items << item;
    const QList<lists::CalendarEvent> events = lists::DueEvents({v}, QDate(2026, 5, 12), 3);
    ASSERT_EQ(events.size(), 1);
    const QByteArray text =
        lists::CalendarText(events, QDateTime(QDate(2026, 5, 12), QTime(8, 0), QTimeZone::utc()), GetParam().owner);
    EXPECT_TRUE(text.endsWith("\r\n"));
    for (const QByteArray& l : text.split('\n')) {
        if (l.isEmpty())
            continue;
        EXPECT_TRUE(l.endsWith('\r')) << l.toStdString();
        EXPECT_LE(l.size() - 1, 75) << l.toStdString();
        EXPECT_EQ(QString::fromUtf8(l).toUtf8(), l) << "a line cut inside a character";
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(u"c.ics"_s);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    f.close();
    const QJsonArray parsed = icsEvents(path);
    ASSERT_EQ(parsed.size(), 1);
    EXPECT_EQ(parsed[0].toObject()[u"summary"_s].toString(), events[0].summary);
    EXPECT_EQ(parsed[0].toObject()[u"description"_s].toString(), events[0].description);

    // The bytes themselves: a reader may forgive a bare comma or semicolon, the format does not.
    QByteArray unfolded = text;
    unfolded.replace("\r\n ", "");
    auto line = [&unfolded](const QByteArray& property) {
        for (const QByteArray& l : unfolded.split('\n'))
            if (l.startsWith(property))
                return l.chopped(1);
        return QByteArray();
    };
    const QByteArray& escaped = GetParam().escaped;
    EXPECT_EQ(line("X-WR-CALNAME:").toStdString(), ("X-WR-CALNAME:" + escaped).toStdString());
    EXPECT_TRUE(line("SUMMARY:").endsWith(" 鲁A12345 " + escaped)) << line("SUMMARY:").toStdString();
    EXPECT_TRUE(line("DESCRIPTION:").contains("\\n车主：" + escaped + "\\n车主电话：138\\n"))
        << line("DESCRIPTION:").toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Names, CalendarText,
    ::testing::Values(NameCase{"Plain", u"张三"_s, "张三"},
                      NameCase{"Long", u"山东省泰安市泰山区东岳大街运输专业合作社第三车队长期合同车主代表人王某某"_s,
                               "山东省泰安市泰山区东岳大街运输专业合作社第三车队长期合同车主代表人王某某"},
                      NameCase{"Special", u"王, 某; 某\\某\n第二行"_s, "王\\, 某\\; 某\\\\某\\n第二行"},
                      NameCase{"LongAscii", QString(u'x').repeated(200) + u",;"_s, QByteArray(200, 'x') + "\\,\\;"}),
    [](const auto& p) { return std::string(p.param.name); });

// ---- refusals and the file left alone -------------------------------------------------------

class Refusals : public ListTest, public ::testing::WithParamInterface<QStringList> {};

TEST_P(Refusals, BadInputExitsWithUsageStatus) {
    vehicle(u"鲁A10001"_s, u"001"_s);
    const QByteArray before = fileHash(dbPath());
    const CliRun r = runCli(GetParam() + QStringList{u"--data-dir"_s, dataDir()});
    EXPECT_EQ(r.status, 2) << r.err.toStdString();
    EXPECT_FALSE(r.err.isEmpty());
    EXPECT_EQ(fileHash(dbPath()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, Refusals,
    ::testing::Values(QStringList{u"calendar"_s, u"--months"_s, u"0"_s},
                      QStringList{u"calendar"_s, u"--months"_s, u"drei"_s},
                      QStringList{u"calendar"_s, u"--months"_s, u"121"_s}, QStringList{u"calendar"_s, u"--months"_s},
                      QStringList{u"calendar"_s, u"--today"_s, u"2026-02-30"_s}, QStringList{u"calendar"_s, u"extra"_s},
                      QStringList{u"notices"_s, u"--today"_s, u"12.05.2026"_s, u"--output"_s, u"x.pdf"_s},
                      QStringList{u"notices"_s, u"--format"_s, u"xlsx"_s, u"--output"_s, u"x.xlsx"_s},
                      QStringList{u"notices"_s, u"--format"_s, u"pdf"_s},
                      QStringList{u"notices"_s, u"--list"_s, u"没有的清单"_s, u"--output"_s, u"x.pdf"_s},
                      QStringList{u"notices"_s, u"--fees"_s, u"--output"_s, u"x.pdf"_s}));

class LeavesTheFile : public NoticeTest, public ::testing::WithParamInterface<QStringList> {};

// A refresh would write 是否脱审 of 鲁A10002's trailer insurance: the notices and the calendar
// read the same tree without writing anything.
TEST_P(LeavesTheFile, DatabaseUnchanged) {
    const QByteArray before = fileHash(dbPath());
    ASSERT_FALSE(before.isEmpty());
    QStringList args = GetParam();
    args.replaceInStrings(u"{dir}"_s, dataDir());
    const CliRun r = runCli(cli(args));
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(fileHash(dbPath()), before);
    // and the same tree with the flags written does change it: the check above can fail
    EXPECT_GT(alerts::ComputeAlerts(db(), month).flagUpdates, 0);
    EXPECT_NE(fileHash(dbPath()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, LeavesTheFile,
    ::testing::Values(QStringList{u"notices"_s, u"--today"_s, u"2026-05-12"_s, u"--output"_s, u"{dir}/n.pdf"_s},
                      QStringList{u"notices"_s, u"--list"_s, u"脱保车辆清单"_s, u"--format"_s, u"csv"_s, u"--today"_s,
                                  u"2026-05-12"_s},
                      QStringList{u"calendar"_s, u"--today"_s, u"2026-05-12"_s, u"--output"_s, u"{dir}/due.ics"_s}));

} // namespace

namespace {

class OutputOntoTheDatabase : public ListTest, public ::testing::WithParamInterface<QString> {};

// Both commands write through the program's output routine: never onto the open database.
TEST_P(OutputOntoTheDatabase, IsRefusedAndTheFileKept) {
    const QByteArray before = fileHash(dbPath());
    const CliRun r = runCli({GetParam(), u"--output"_s, dbPath(), u"--data-dir"_s, dataDir()});
    EXPECT_EQ(r.status, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(u"写入失败"_s)) << r.err.toStdString();
    EXPECT_EQ(fileHash(dbPath()), before);
}

INSTANTIATE_TEST_SUITE_P(Commands, OutputOntoTheDatabase, ::testing::Values(u"notices"_s, u"calendar"_s));

} // namespace
