#include "importfleet.h"

#include "app/mainwindow.h"
#include "archive/vehicledata.h"
#include "cli/commands.h"
#include "domain/dates.h"
#include "import/fields.h"
#include "import/importer.h"
#include "import/workbook.h"
#include "store/schema.h"
#include "store/session.h"
#include "ui/controls.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QTextStream>

#include <csignal>

using namespace Qt::StringLiterals;
using namespace import_test;
using testing_support::DataDirTest;

namespace {

struct CliResult {
    int code = -1;
    QString out, err;
};

class ImportTest : public DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        store::SetToday(QDate(2026, 3, 9));
    }
    QString file(const QString& name) const { return QDir(dataDir()).filePath(name); }
    // The test's connection, opened again after a test closed it to take a checksum.
    store::DatabaseConnection& conn() {
        if (!db().IsOpen()) {
            EXPECT_TRUE(db().OpenDatabaseFile(dbPath(), store::kDatabasePassword));
        }
        return db();
    }

    CliResult cli(QStringList args) {
        args << u"--data-dir"_s << dataDir();
        CliResult r;
        QTextStream out(&r.out);
        QTextStream err(&r.err);
        r.code = cli::Run(args, out, err);
        out.flush();
        err.flush();
        return r;
    }
    CliResult importJson(const QString& path, const QStringList& more = {}) {
        return cli(QStringList{u"import"_s, path, u"--format"_s, u"json"_s} + more);
    }
    int vehicleCount() {
        int n = -1;
        const int rs = conn().OpenRecordSet(u"select count(*) as[数量] from [总表]"_s);
        if (rs) {
            n = int(conn().ReadField(rs, u"数量"_s).number());
            conn().CloseRecordSet(rs);
        }
        return n;
    }
    archive::GroupRow current(archive::VehicleGroup group, const QString& plate) {
        const std::optional<archive::GroupRow> row = archive::ReadCurrentGroup(conn(), group, plate);
        EXPECT_TRUE(row && row->present) << plate.toStdString();
        return row.value_or(archive::GroupRow{});
    }
    // The outcome texts of the JSON report by row number.
    static QMap<int, QString> outcomes(const CliResult& r, QMap<int, QString>* reasons = nullptr) {
        QMap<int, QString> map;
        const QJsonArray rows = QJsonDocument::fromJson(r.out.toUtf8()).object().value(u"rows"_s).toArray();
        for (const QJsonValue v : rows) {
            map.insert(v[u"row"_s].toInt(), v[u"outcome"_s].toString());
            if (reasons)
                reasons->insert(v[u"row"_s].toInt(), v[u"reason"_s].toString());
        }
        return map;
    }
};

// ---------------------------------------------------------------------------------------------
// Every format brings in the same vehicles

struct FormatCase {
    const char* name;
    const char* file;
    const char* encoding; // what the command says it read ("" for Excel files)
    std::function<void(const QString& path)> write;
};

class FormatTest : public ImportTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(FormatTest, ImportsTheFleetAsTheSaveWouldAddIt) {
    const FormatCase& c = GetParam();
    const QString path = file(QString::fromUtf8(c.file));
    c.write(path);
    const CliResult r = importJson(path);
    ASSERT_EQ(r.code, 1) << r.err.toStdString(); // the repeated plate is refused
    const QJsonObject root = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(root.value(u"encoding"_s).toString(), QString::fromUtf8(c.encoding));
    EXPECT_TRUE(root.value(u"committed"_s).toBool());
    QMap<int, QString> reasons;
    const QMap<int, QString> outcome = outcomes(r, &reasons);
    EXPECT_EQ(outcome, (QMap<int, QString>{{2, u"已添加"_s}, {3, u"已添加"_s}, {4, u"已添加"_s}, {5, u"拒绝"_s}}));
    EXPECT_EQ(reasons.value(5), u"对不起！已经存在此车辆的信息了！；创建新车表格失败！（与第 2 行重复）"_s);
    ASSERT_EQ(vehicleCount(), 3);

    const domain::VehicleColumnNames& col = domain::VehicleColumn();
    const QList<int> statuses = {1, 2, 3};
    for (int i = 0; i < 3; ++i) {
        const FleetRow& f = kFleetRows.at(i);
        const archive::GroupRow basic = current(archive::VehicleGroup::Basic, f.plate);
        EXPECT_EQ(basic.text(col.ownerName, false), f.owner) << c.name;
        EXPECT_EQ(basic.text(col.trailerPlate, false), f.trailer) << c.name;
        EXPECT_EQ(basic.text(col.archiveNumber, false), f.archive) << c.name;
        EXPECT_EQ(basic.text(col.ownerPhone, false), f.phone) << c.name;
        EXPECT_EQ(basic.value(col.boughtOn).date(), f.bought.isValid() ? f.bought : domain::kUnsetDate) << c.name;
        EXPECT_EQ(int(basic.value(col.status).number()), statuses.at(i)) << c.name;
        const archive::GroupRow inspection = current(archive::VehicleGroup::Inspection, f.plate);
        EXPECT_EQ(inspection.value(u"下次审车日期"_s).date(), f.inspection) << c.name;
        // What the emptied form holds for the rest: today's payment date, the reminders on.
        EXPECT_EQ(inspection.value(u"审车缴费日期"_s).date(), QDate(2026, 3, 9)) << c.name;
        EXPECT_TRUE(inspection.value(u"是否提醒主车审车"_s).yesNo()) << c.name;
        EXPECT_EQ(inspection.text(u"审车是否通知车主"_s, false), u"未到通知时间"_s) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, FormatTest,
    ::testing::Values(FormatCase{"xlsx", "fleet.xlsx", "", [](const QString& p) { WriteFleetXlsx(p); }},
                      FormatCase{"xls", "fleet.xls", "",
                                 [](const QString& p) { ASSERT_TRUE(QFile::copy(FixturePath(u"fleet.xls"_s), p)); }},
                      FormatCase{"csv_utf8", "fleet.csv", "UTF-8",
                                 [](const QString& p) { WriteBytes(p, FleetCsvText().toUtf8()); }},
                      FormatCase{"csv_utf8_bom", "fleet.csv", "UTF-8（带BOM）",
                                 [](const QString& p) { WriteBytes(p, "\xEF\xBB\xBF" + FleetCsvText().toUtf8()); }},
                      FormatCase{"csv_gb18030", "fleet.csv", "GB18030",
                                 [](const QString& p) { WriteBytes(p, Encode(FleetCsvText(), "GB18030")); }},
                      // Excel's "Unicode text": UTF-16 with its byte-order mark, the fields separated by tabs.
                      FormatCase{"unicode_text_tabs", "fleet.txt", "UTF-16",
                                 [](const QString& p) {
                                     QString text = FleetCsvText();
                                     text.replace(QLatin1Char(','), QLatin1Char('\t'));
                                     WriteBytes(p, "\xFF\xFE" + Encode(text, "UTF-16LE"));
                                 }}),
    [](const ::testing::TestParamInfo<FormatCase>& p) { return std::string(p.param.name); });

// A sheet other than the first, and a sheet that does not exist.
TEST_F(ImportTest, SheetIsChosenByName) {
    const QString path = file(u"fleet.xlsx"_s);
    WriteFleetXlsx(path);
    const CliResult notes = cli({u"import"_s, path, u"--sheet"_s, u"备注"_s, u"--dry-run"_s});
    EXPECT_EQ(notes.code, 1);
    EXPECT_TRUE(notes.err.contains(u"工作表“备注”是空的"_s)) << notes.err.toStdString();
    const CliResult missing = cli({u"import"_s, path, u"--sheet"_s, u"没有"_s});
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(missing.err.contains(u"工作表有：车辆、备注"_s)) << missing.err.toStdString();
    EXPECT_EQ(vehicleCount(), 0);
}

// ---------------------------------------------------------------------------------------------
// .xlsx as other writers store it: inline strings, merged header cells, serial dates

// A workbook written by hand: the header's 车号 and 档案编号 merged down over two rows, 车主 merged
// across 姓名 and 电话, inline strings, and serial numbers around the 1900 leap-year quirk.
void writeHandmadeXlsx(const QString& path, bool date1904 = false) {
    const QString sheet = uR"(<?xml version="1.0" encoding="UTF-8"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>
<row r="1"><c r="A1" t="inlineStr"><is><t>车号</t></is></c><c r="B1" t="inlineStr"><is><t>车主</t></is></c>
<c r="D1" t="inlineStr"><is><t>档案编号</t></is></c><c r="E1" t="inlineStr"><is><t>下次审车日期</t></is></c></row>
<row r="2"><c r="B2" t="inlineStr"><is><r><t>姓</t></r><r><t>名</t></r></is></c><c r="C2" t="s"><v>0</v></c></row>
<row r="3"><c r="A3" t="inlineStr"><is><t>鲁A00001</t></is></c><c r="B3" t="inlineStr"><is><t>甲</t></is></c>
<c r="C3" t="inlineStr"><is><t>111</t></is></c><c r="D3"><v>1</v></c><c r="E3" s="1"><v>59</v></c></row>
<row r="5"><c r="A5" t="inlineStr"><is><t>鲁A00002</t></is></c><c r="D5"><v>2</v></c><c r="E5" s="1"><v>61</v></c></row>
<row r="6"><c r="A6" t="inlineStr"><is><t>鲁A00003</t></is></c><c r="D6"><v>3</v></c><c r="E6" s="1"><v>60</v></c></row>
<row r="7"><c r="A7" t="inlineStr"><is><t>鲁A00004</t></is></c><c r="D7"><v>4</v></c><c r="E7" s="1"><v>46086</v></c></row>
</sheetData><mergeCells count="3"><mergeCell ref="A1:A2"/><mergeCell ref="B1:C1"/><mergeCell ref="D1:D2"/></mergeCells>
</worksheet>)"_s;
    RunPython(
        u"import zipfile\n"
        u"z = zipfile.ZipFile(%1, 'w', zipfile.ZIP_DEFLATED)\n"
        u"z.writestr('[Content_Types].xml', '<Types "
        u"xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>')\n"
        u"z.writestr('xl/workbook.xml', '<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        u"xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><workbookPr date1904=\"%2\"/>"
        u"<sheets><sheet name=\"表一\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>')\n"
        u"z.writestr('xl/_rels/workbook.xml.rels', '<Relationships "
        u"xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        u"<Relationship Id=\"rId1\" Type=\"worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>')\n"
        u"z.writestr('xl/sharedStrings.xml', '<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        u"<si><t>电话</t><rPh><t>でんわ</t></rPh></si></sst>')\n"
        u"z.writestr('xl/styles.xml', '<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        u"<numFmts count=\"1\"><numFmt numFmtId=\"176\" "
        u"formatCode=\"yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;\"/></numFmts>"
        u"<cellStyleXfs count=\"1\"><xf numFmtId=\"0\"/></cellStyleXfs>"
        u"<cellXfs count=\"2\"><xf numFmtId=\"0\"/><xf numFmtId=\"176\"/></cellXfs></styleSheet>')\n"
        u"z.writestr('xl/worksheets/sheet1.xml', %3)\n"
        u"z.close()\n"_s.arg(PyText(path), date1904 ? u"1"_s : u"0"_s, PyText(sheet)));
}

TEST_F(ImportTest, HandmadeXlsxMergedHeaderInlineStringsAndLeapYearQuirk) {
    const QString path = file(u"handmade.xlsx"_s);
    writeHandmadeXlsx(path);
    const fleetimport::ReadOutcome read = fleetimport::ReadWorkbook(path);
    ASSERT_TRUE(read.book) << read.refusal.toStdString();
    const fleetimport::Sheet& sheet = read.book->sheets.at(0);
    EXPECT_EQ(sheet.name, u"表一"_s);
    EXPECT_EQ(sheet.headerRows, 2);
    EXPECT_EQ(fleetimport::HeaderCaptions(sheet),
              (QStringList{u"车号"_s, u"车主姓名"_s, u"车主电话"_s, u"档案编号"_s, u"下次审车日期"_s}));
    const fleetimport::ColumnMap map = fleetimport::MatchColumns(fleetimport::HeaderCaptions(sheet));
    EXPECT_EQ(map.fields, (QStringList{u"主车牌号"_s, u"车主姓名"_s, u"车主电话"_s, u"档案编号"_s, u"下次审车日期"_s}));

    const CliResult r = importJson(path);
    QMap<int, QString> reasons;
    const QMap<int, QString> outcome = outcomes(r, &reasons);
    // Serial 60 is the 29 February 1900 that never was: that row is refused.
    EXPECT_EQ(outcome, (QMap<int, QString>{{3, u"已添加"_s}, {5, u"已添加"_s}, {6, u"拒绝"_s}, {7, u"已添加"_s}}));
    EXPECT_TRUE(reasons.value(6).contains(u"下次审车日期“60”不是可识别的日期"_s)) << reasons.value(6).toStdString();
    EXPECT_EQ(current(archive::VehicleGroup::Inspection, u"鲁A00001"_s).value(u"下次审车日期"_s).date(),
              QDate(1900, 2, 28));
    EXPECT_EQ(current(archive::VehicleGroup::Inspection, u"鲁A00002"_s).value(u"下次审车日期"_s).date(),
              QDate(1900, 3, 1));
    EXPECT_EQ(current(archive::VehicleGroup::Inspection, u"鲁A00004"_s).value(u"下次审车日期"_s).date(),
              QDate(2026, 3, 5));
    const archive::GroupRow first = current(archive::VehicleGroup::Basic, u"鲁A00001"_s);
    EXPECT_EQ(first.text(u"车主姓名"_s, false), u"甲"_s);
    EXPECT_EQ(first.text(u"车主电话"_s, false), u"111"_s);
    EXPECT_EQ(first.text(u"档案编号"_s, false), u"1"_s);
}

TEST_F(ImportTest, Xlsx1904DateSystem) {
    const QString path = file(u"mac.xlsx"_s);
    writeHandmadeXlsx(path, true);
    const fleetimport::ReadOutcome read = fleetimport::ReadWorkbook(path);
    ASSERT_TRUE(read.book);
    // Serial 60 counts from 1 January 1904 there, with no quirk.
    EXPECT_EQ(read.book->sheets.at(0).rows.at(5).at(4).date, QDate(1904, 3, 1));
}

// ---------------------------------------------------------------------------------------------
// Dates in the forms offices type

struct DateCase {
    const char* text;
    QDate expected; // invalid: refused
};

class DateFormTest : public ImportTest, public ::testing::WithParamInterface<DateCase> {};

TEST_P(DateFormTest, StoredOrRefusedWithTheReason) {
    const DateCase& c = GetParam();
    const QString path = file(u"dates.csv"_s);
    WriteBytes(path, (u"车号,档案编号,下次保险日期\n鲁A55555,9,"_s + QString::fromUtf8(c.text) + u"\n"_s).toUtf8());
    const CliResult r = importJson(path);
    QMap<int, QString> reasons;
    const QMap<int, QString> outcome = outcomes(r, &reasons);
    if (c.expected.isValid()) {
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(current(archive::VehicleGroup::Insurance, u"鲁A55555"_s).value(u"下次保险日期"_s).date(), c.expected);
    } else {
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(outcome.value(2), u"拒绝"_s);
        EXPECT_EQ(reasons.value(2),
                  u"下次保险日期“%1”不是可识别的日期（可写 2026-03-05、2026/3/5、2026.3.5、2026年3月5日）"_s.arg(
                      QString::fromUtf8(c.text)));
        EXPECT_EQ(vehicleCount(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Dates, DateFormTest,
    ::testing::Values(DateCase{"2026-03-05", QDate(2026, 3, 5)}, DateCase{"2026/3/5", QDate(2026, 3, 5)},
                      DateCase{"2026.3.5", QDate(2026, 3, 5)}, DateCase{"2026年3月5日", QDate(2026, 3, 5)},
                      DateCase{"2026 年 12 月 31 日", QDate(2026, 12, 31)}, DateCase{"46086", QDate(2026, 3, 5)},
                      DateCase{"2026-03-05 08:30", QDate(2026, 3, 5)}, DateCase{"2026-2-30", QDate()},
                      DateCase{"2026/13/1", QDate()}, DateCase{"2026-3/5", QDate()}, DateCase{"05.03.2026", QDate()},
                      DateCase{"明天", QDate()}, DateCase{"2026年3月", QDate()}, DateCase{"60", QDate()}));

// The serial numbers themselves, the quirk on both sides of it.
TEST(ExcelSerial, LeapYearQuirkAndLimits) {
    const QList<std::pair<double, QDate>> cases = {
        {1, QDate(1900, 1, 1)},
        {59, QDate(1900, 2, 28)},
        {60, QDate()},
        {61, QDate(1900, 3, 1)},
        {46086.75, QDate(2026, 3, 5)},
        {2958465, QDate(9999, 12, 31)},
        {2958466, QDate()},
        {0, QDate()},
        {-3, QDate()},
    };
    for (const auto& [serial, expected] : cases)
        EXPECT_EQ(fleetimport::ExcelSerialDate(serial).value_or(QDate()), expected) << serial;
    EXPECT_EQ(fleetimport::ExcelSerialDate(0.5), std::nullopt);
}

// ---------------------------------------------------------------------------------------------
// A row is refused or added as 保存增加车辆 refuses or adds the same vehicle, in its words; the
// other rows go in

struct RowCase {
    const char* name;
    const char* plate;
    const char* archive;
    const char* rest; // the CSV cells after 档案编号: 车主,车辆状态,是否脱审,投保险种,审车是否通知车主
    QStringList messages; // what the save shows before it writes; the import's reason, joined
    bool accepted;
    int repeatsRow; // the earlier row of the file the import names
    bool formToo;   // the form can be given the same vehicle (its choices offer no such value)
};

void PrintTo(const RowCase& c, std::ostream* os) {
    *os << c.name;
}

class RefusalTest : public ImportTest, public ::testing::WithParamInterface<RowCase> {
protected:
    void SetUp() override {
        ImportTest::SetUp();
        // A vehicle already in the archive, added as the form's save adds one.
        archive::NewVehicle v = archive::BlankNewVehicle(QDate(2026, 3, 9), QString());
        archive::SetNewVehiclePlate(v, u"鲁A99999"_s);
        v.values.insert(u"档案编号"_s, u"7"_s);
        ASSERT_TRUE(archive::SaveNewVehicleRows(db(), v).ok);
    }
    // 增加车辆, the plate, archive-number and owner boxes, 保存增加车辆: the messages shown.
    QStringList saveThroughForm(const RowCase& c) {
        app::MainWindow w;
        EXPECT_TRUE(w.initialise([](QWidget*) {
            store::session().OperatorPermissions.增删车辆 = true;
            return true;
        }));
        w.findChild<QPushButton*>(u"超级按钮_增加车辆"_s)->click();
        ui::SetControlText(&w, u"带标签编辑框_主车牌号"_s, QString::fromUtf8(c.plate));
        ui::SetControlText(&w, u"带标签编辑框_档案编号"_s, QString::fromUtf8(c.archive));
        ui::SetControlText(&w, u"带标签编辑框_车主姓名"_s, u"乙"_s);
        dialogs.shown.clear();
        w.findChild<QPushButton*>(u"超级按钮_保存增加"_s)->click();
        return dialogs.shown;
    }
};

TEST_P(RefusalTest, RowMeetsTheChecksOfTheFormsSave) {
    const RowCase& c = GetParam();
    const QString path = file(u"refuse.csv"_s);
    WriteBytes(path, (u"车号,档案编号,车主,车辆状态,是否脱审,投保险种,审车是否通知车主\n"
                      u"鲁A10001,100,甲,正常,否,,已通知\n%1,%2,%3\n鲁A10003,300,丙,2,是,,\n"_s)
                         .arg(QString::fromUtf8(c.plate), QString::fromUtf8(c.archive), QString::fromUtf8(c.rest))
                         .toUtf8());
    QString reason = c.messages.join(u"；"_s);
    if (c.repeatsRow)
        reason += u"（与第 %1 行重复）"_s.arg(c.repeatsRow);
    for (const bool dryRun : {true, false}) {
        const CliResult r = importJson(path, dryRun ? QStringList{u"--dry-run"_s} : QStringList{});
        EXPECT_EQ(r.code, c.accepted ? 0 : 1) << dryRun;
        const QString added = dryRun ? u"将添加"_s : u"已添加"_s;
        QMap<int, QString> reasons;
        EXPECT_EQ(outcomes(r, &reasons),
                  (QMap<int, QString>{{2, added}, {3, c.accepted ? added : u"拒绝"_s}, {4, added}}))
            << dryRun;
        EXPECT_EQ(reasons.value(3), reason) << dryRun;
    }
    EXPECT_EQ(vehicleCount(), c.accepted ? 4 : 3);
    const archive::GroupRow first = current(archive::VehicleGroup::Inspection, u"鲁A10001"_s);
    EXPECT_EQ(first.text(u"审车是否通知车主"_s, false), u"已通知"_s);
    EXPECT_TRUE(current(archive::VehicleGroup::Inspection, u"鲁A10003"_s).value(u"是否脱审"_s).yesNo());
    if (!c.formToo)
        return;
    // The form meets what the row met: the archive and the file's rows above it.
    if (c.accepted) {
        ASSERT_TRUE(archive::DeleteVehicleRows(conn(), QString::fromUtf8(c.plate)).ok);
    }
    QStringList shown = c.messages;
    if (c.accepted)
        shown << u"新车辆添加成功！"_s;
    EXPECT_EQ(saveThroughForm(c), shown);
    EXPECT_EQ(vehicleCount(), c.accepted ? 4 : 3);
}

const QString kPlateTaken = u"对不起！已经存在此车辆的信息了！"_s;
const QString kArchiveTaken = u"对不起！已经存在此档案编号的信息了！"_s;
const QString kCopyFails = u"创建新车表格失败！"_s;
const QString kNoArchive = u"请输入档案编号！"_s;
const QString kSymbols = u"主车牌号只能由汉字、字母和数字组成，不能含有空格、引号、括号、分号等符号！"_s;
const QString kFixedTable = u"主车牌号“yangbiao”是数据库的固定表名，不能作为车牌号使用！"_s;
const QString kKeyword = u"主车牌号“select”是数据库的保留字，不能作为车牌号使用！"_s;
const QString kStatus = u"车辆状态“停用”应为正常、转出、注销之一"_s;
const QString kKind = u"投保险种“神仙险”不在投保险种设置的险种中"_s;
const QString kNotice = u"审车是否通知车主“打过电话”应为未到通知时间、已通知、未通知、通知未达之一"_s;
constexpr const char* kRest = "乙,正常,否,,";

INSTANTIATE_TEST_SUITE_P(
    Rows, RefusalTest,
    ::testing::Values(
        RowCase{"valid", "鲁A10002", "200", kRest, {}, true, 0, true},
        RowCase{"plate_length_warned", "鲁A102", "200", kRest, {u"请检查主车牌号是否正确"_s}, true, 0, true},
        RowCase{"no_plate", "", "200", kRest, {u"请输入主车车牌号！"_s}, false, 0, true},
        RowCase{"plate_symbols", "鲁A 10002", "200", kRest, {kSymbols}, false, 0, true},
        RowCase{"plate_table_name", "yangbiao", "200", kRest, {kFixedTable}, false, 0, true},
        RowCase{"plate_keyword", "select", "200", kRest, {kKeyword}, false, 0, true},
        RowCase{"plate_present", "鲁A99999", "200", kRest, {kPlateTaken, kCopyFails}, false, 0, true},
        RowCase{"plate_case_only", "鲁a99999", "200", kRest, {kCopyFails}, false, 0, true},
        RowCase{"plate_present_no_archive", "鲁A99999", "", kRest, {kPlateTaken, kNoArchive}, false, 0, true},
        RowCase{"plate_and_archive_present", "鲁A99999", "7", kRest, {kPlateTaken, kArchiveTaken}, false, 0, true},
        RowCase{"plate_twice_in_file", "鲁A10001", "200", kRest, {kPlateTaken, kCopyFails}, false, 2, true},
        RowCase{"plate_case_twice_in_file", "鲁a10001", "200", kRest, {kCopyFails}, false, 2, true},
        RowCase{"no_archive_number", "鲁A10002", "", kRest, {kNoArchive}, false, 0, true},
        RowCase{"archive_taken_leading_zeros", "鲁A10002", "0007", kRest, {kArchiveTaken}, false, 0, true},
        RowCase{"archive_twice_in_file", "鲁A10002", "0100", kRest, {kArchiveTaken}, false, 2, true},
        RowCase{"status", "鲁A10002", "200", "乙,停用,否,,", {kStatus}, false, 0, false},
        RowCase{"yes_no", "鲁A10002", "200", "乙,正常,也许,,", {u"是否脱审“也许”应为“是”或“否”"_s}, false, 0, false},
        RowCase{"insurance_kind", "鲁A10002", "200", "乙,正常,否,神仙险,", {kKind}, false, 0, false},
        RowCase{"notification", "鲁A10002", "200", "乙,正常,否,,打过电话", {kNotice}, false, 0, false},
        RowCase{"plate_and_cell_refused",
                "鲁A99999",
                "200",
                "乙,停用,否,,",
                {kPlateTaken, kCopyFails, kStatus},
                false,
                0,
                false}),
    [](const ::testing::TestParamInfo<RowCase>& p) { return std::string(p.param.name); });

// A vehicle another operator adds between the plan and the run is refused inside the run's
// transaction, in the words the plan would now give.
TEST_F(ImportTest, VehiclesAddedAfterThePlanAreRefusedAsTheSaveRefusesThem) {
    const QString path = file(u"later.csv"_s);
    WriteBytes(path, "车号,档案编号\n鲁E10001,1\n鲁e10002,2\n鲁E10003,003\n鲁E10004,4\n");
    const fleetimport::ReadOutcome read = fleetimport::ReadWorkbook(path);
    ASSERT_TRUE(read.book);
    const fleetimport::Sheet& sheet = read.book->sheets.at(0);
    const fleetimport::ColumnMap map = fleetimport::MatchColumns(fleetimport::HeaderCaptions(sheet));
    const fleetimport::PlanOutcome planned = fleetimport::PlanImport(conn(), sheet, map, QDate(2026, 3, 9));
    ASSERT_TRUE(planned.plan);
    ASSERT_EQ(planned.plan->acceptedCount(), 4);
    for (const auto& [plate, number] :
         {std::pair{u"鲁E10001"_s, u"91"_s}, std::pair{u"鲁E10002"_s, u"92"_s}, std::pair{u"鲁E19999"_s, u"3"_s}}) {
        archive::NewVehicle v = archive::BlankNewVehicle(QDate(2026, 3, 9), QString());
        archive::SetNewVehiclePlate(v, plate);
        v.values.insert(u"档案编号"_s, number);
        ASSERT_TRUE(archive::SaveNewVehicleRows(conn(), v).ok) << plate.toStdString();
    }
    const fleetimport::RunOutcome run = fleetimport::RunImport(conn(), *planned.plan);
    EXPECT_TRUE(run.committed);
    EXPECT_EQ(run.added, 1);
    QStringList reasons;
    for (const fleetimport::RowOutcome& r : run.rows)
        reasons << r.reason;
    EXPECT_EQ(reasons, (QStringList{kPlateTaken + u"；"_s + kCopyFails, kCopyFails, kArchiveTaken, QString()}));
    const fleetimport::PlanOutcome again = fleetimport::PlanImport(conn(), sheet, map, QDate(2026, 3, 9));
    ASSERT_TRUE(again.plan);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(again.plan->rows.at(i).reason, reasons.at(i)) << i;
    EXPECT_EQ(vehicleCount(), 4);
}

// ---------------------------------------------------------------------------------------------
// Whole files refused: nothing written

struct FileRefusalCase {
    const char* name;
    const char* file;
    std::function<void(const QString& path)> write;
    const char* message;
};

class FileRefusalTest : public ImportTest, public ::testing::WithParamInterface<FileRefusalCase> {};

TEST_P(FileRefusalTest, ClearRefusalAndTheFileUnchanged) {
    const FileRefusalCase& c = GetParam();
    const QString path = file(QString::fromUtf8(c.file));
    c.write(path);
    db().CloseDatabase();
    const QByteArray before = FileChecksum(dbPath());
    const CliResult r = cli({u"import"_s, path});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.message))) << r.err.toStdString();
    EXPECT_EQ(FileChecksum(dbPath()), before);
}

QByteArray truncatedXlsx(const QString& scratch) {
    WriteFleetXlsx(scratch);
    QFile f(scratch);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.readAll();
    return all.left(all.size() * 2 / 3);
}

// A zip whose sheet entry has its bytes damaged after the header: the CRC check catches it.
QByteArray corruptedXlsx(const QString& scratch) {
    RunPython(u"import openpyxl\nwb = openpyxl.Workbook()\nws = wb.active\n"
              u"for i in range(300): ws.append(['鲁A%05d' % i, str(i), '车主%d' % i])\n"
              u"wb.save(%1)\n"_s.arg(PyText(scratch)));
    QFile f(scratch);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray all = f.readAll();
    const qsizetype at = all.indexOf("xl/worksheets/sheet1.xml");
    for (qsizetype i = at + 200; i < at + 260 && i < all.size(); ++i)
        all[i] = char(all[i] ^ 0x5A);
    return all;
}

INSTANTIATE_TEST_SUITE_P(
    Files, FileRefusalTest,
    ::testing::Values(
        FileRefusalCase{"header_only", "empty.csv", [](const QString& p) { WriteBytes(p, "车号,档案编号\r\n"); },
                        "是空的"},
        FileRefusalCase{"no_rows_at_all", "nothing.csv", [](const QString& p) { WriteBytes(p, ""); }, "是空的"},
        FileRefusalCase{"no_plate_column", "noplate.csv",
                        [](const QString& p) { WriteBytes(p, "车主,档案编号\n张三,1\n"); }, "没有主车牌号列"},
        FileRefusalCase{"open_quote", "cut.csv",
                        [](const QString& p) { WriteBytes(p, "车号,档案编号,车主\n鲁A1,1,\"张\n鲁A2,2,李\n"); },
                        "从第 2 行开始的引号没有结束"},
        FileRefusalCase{"not_utf8_or_gb18030", "bad.csv",
                        [](const QString& p) { WriteBytes(p, "\xB3\xB5\xBA\xC5,\x81\x30\n\xFF\xFF\xFF\n"); },
                        "无法识别文件的编码"},
        FileRefusalCase{"truncated_xlsx", "half.xlsx",
                        [](const QString& p) { WriteBytes(p, truncatedXlsx(p + u".whole.xlsx"_s)); },
                        "不是有效的 .xlsx 文件"},
        FileRefusalCase{"damaged_sheet_xlsx", "damaged.xlsx",
                        [](const QString& p) { WriteBytes(p, corruptedXlsx(p + u".whole.xlsx"_s)); },
                        "文件已损坏或不完整，未能读完"},
        FileRefusalCase{"not_an_xls", "text.xls", [](const QString& p) { WriteBytes(p, "车号\n鲁A1\n"); },
                        "不是有效的 .xls 文件"},
        FileRefusalCase{"other_type", "fleet.ods", [](const QString& p) { WriteBytes(p, "x"); }, "不支持的文件类型"}),
    [](const ::testing::TestParamInfo<FileRefusalCase>& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------------------------
// A dry run writes nothing; the real run writes what it listed

TEST_F(ImportTest, DryRunLeavesTheFileByteIdenticalAndListsWhatWouldBeAdded) {
    const QString path = file(u"fleet.csv"_s);
    WriteBytes(path, FleetCsvText().toUtf8());
    db().CloseDatabase();
    const QByteArray before = FileChecksum(dbPath());
    const CliResult dry = importJson(path, {u"--dry-run"_s});
    EXPECT_EQ(FileChecksum(dbPath()), before);
    EXPECT_EQ(outcomes(dry),
              (QMap<int, QString>{{2, u"将添加"_s}, {3, u"将添加"_s}, {4, u"将添加"_s}, {5, u"拒绝"_s}}));
    EXPECT_FALSE(QJsonDocument::fromJson(dry.out.toUtf8()).object().value(u"committed"_s).toBool());
    EXPECT_EQ(vehicleCount(), 0);

    const CliResult real = importJson(path);
    EXPECT_NE(FileChecksum(dbPath()), before);
    QMap<int, QString> listed = outcomes(dry);
    for (auto it = listed.begin(); it != listed.end(); ++it)
        if (*it == u"将添加")
            *it = u"已添加"_s;
    EXPECT_EQ(outcomes(real), listed);
    // The same file again: every row is now a vehicle already present.
    const CliResult again = importJson(path, {u"--dry-run"_s});
    EXPECT_EQ(outcomes(again).values(), QList<QString>(4, u"拒绝"_s));
}

TEST_F(ImportTest, TextReportNamesEncodingMappingAndOutcomes) {
    const QString path = file(u"fleet.csv"_s);
    WriteBytes(path, Encode(FleetCsvText(), "GB18030"));
    const CliResult r = cli({u"import"_s, path, u"--dry-run"_s});
    EXPECT_TRUE(r.out.contains(u"编码 GB18030"_s)) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(u"车号→主车牌号"_s));
    EXPECT_TRUE(r.out.contains(
        u"第 5 行  鲁A12345  拒绝：对不起！已经存在此车辆的信息了！；创建新车表格失败！（与第 2 行重复）"_s));
    EXPECT_TRUE(r.out.contains(u"试导入：将添加 3 辆，拒绝 1 行；数据库没有改动。"_s));

    // The report table as the exports write it, into a file.
    const QString report = file(u"报告.csv"_s);
    const CliResult csv = cli({u"import"_s, path, u"--dry-run"_s, u"--format"_s, u"csv"_s, u"--output"_s, report});
    EXPECT_EQ(csv.code, 1);
    EXPECT_TRUE(csv.out.isEmpty());
    QFile saved(report);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(saved.readAll()).remove(QChar(0xFEFF)).split(u"\r\n"_s);
    EXPECT_EQ(lines.value(0), u"行号,主车牌号,结果,原因"_s);
    EXPECT_EQ(lines.value(1), u"2,鲁A12345,将添加,"_s);
    EXPECT_EQ(lines.value(4),
              u"5,鲁A12345,拒绝,对不起！已经存在此车辆的信息了！；创建新车表格失败！（与第 2 行重复）"_s);
}

// ---------------------------------------------------------------------------------------------
// Column matching and --map

struct MatchCase {
    const char* header;
    const char* field; // "" not matched
};

class MatchTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(MatchTest, HeaderFindsItsField) {
    const fleetimport::ColumnMap map = fleetimport::MatchColumns({QString::fromUtf8(GetParam().header)});
    EXPECT_EQ(map.fields.value(0), QString::fromUtf8(GetParam().field));
}

INSTANTIATE_TEST_SUITE_P(
    Headers, MatchTest,
    ::testing::Values(MatchCase{"车号", "主车牌号"}, MatchCase{"车牌号", "主车牌号"},
                      MatchCase{"主车牌号：", "主车牌号"}, MatchCase{" 车牌号码 ", "主车牌号"},
                      MatchCase{"车主", "车主姓名"}, MatchCase{"车主姓名", "车主姓名"}, MatchCase{"挂车号", "挂车牌号"},
                      MatchCase{"档案编号*", "档案编号"}, MatchCase{"档案编号（必填）", "档案编号"},
                      MatchCase{"下次主车审车日期", "下次审车日期"}, MatchCase{"入户时间", "买入日期"},
                      MatchCase{"三者险", "三责"}, MatchCase{"驾驶员Ａ证件号", "驾驶员A身份证号"},
                      MatchCase{"营运证号码", "营运证号"},
                      // Captions several pages share name no field.
                      MatchCase{"应缴费用", ""}, MatchCase{"是否提醒", ""}, MatchCase{"序号", ""}, MatchCase{"", ""}));

TEST(MatchColumns, AFieldGoesToTheFirstColumnNamingIt) {
    const fleetimport::ColumnMap map = fleetimport::MatchColumns({u"车号"_s, u"车牌号"_s, u"车主"_s});
    EXPECT_EQ(map.fields, (QStringList{u"主车牌号"_s, QString(), u"车主姓名"_s}));
}

struct MapOptionCase {
    const char* option;
    QStringList fields; // after the option; empty: refused
    const char* refusal;
};

class MapOptionTest : public ::testing::TestWithParam<MapOptionCase> {};

TEST_P(MapOptionTest, AppliesOrNamesTheOption) {
    fleetimport::ColumnMap map = fleetimport::MatchColumns({u"车号"_s, u"号牌"_s, u"车主"_s});
    const std::optional<QString> refusal = fleetimport::ApplyMapOption(map, QString::fromUtf8(GetParam().option));
    if (GetParam().fields.isEmpty()) {
        ASSERT_TRUE(refusal);
        EXPECT_TRUE(refusal->contains(QString::fromUtf8(GetParam().refusal))) << refusal->toStdString();
    } else {
        EXPECT_FALSE(refusal) << refusal.value_or(QString()).toStdString();
        EXPECT_EQ(map.fields, GetParam().fields);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, MapOptionTest,
    ::testing::Values(MapOptionCase{"号牌=主车牌号", {QString(), u"主车牌号"_s, u"车主姓名"_s}, ""},
                      MapOptionCase{"号牌=车号", {QString(), u"主车牌号"_s, u"车主姓名"_s}, ""},
                      MapOptionCase{"车主=挂车牌号", {u"主车牌号"_s, QString(), u"挂车牌号"_s}, ""},
                      MapOptionCase{"车主=-", {u"主车牌号"_s, QString(), QString()}, ""},
                      MapOptionCase{"车主=", {u"主车牌号"_s, QString(), QString()}, ""},
                      MapOptionCase{"颜色=车辆颜色", {}, "文件中没有名为“颜色”的列"},
                      MapOptionCase{"车主=应缴费用", {}, "没有名为“应缴费用”的字段"},
                      MapOptionCase{"车主", {}, "--map 的格式应为 列名=字段"}));

TEST_F(ImportTest, MapOptionGivesThePlateColumn) {
    const QString path = file(u"odd.csv"_s);
    WriteBytes(path, "号牌,档案,业主\n鲁A20001,1,张\n");
    const CliResult without = cli({u"import"_s, path});
    EXPECT_EQ(without.code, 1);
    EXPECT_TRUE(without.err.contains(u"没有主车牌号列"_s));
    const CliResult with = cli({u"import"_s, path, u"--map"_s, u"号牌=主车牌号"_s, u"--map"_s, u"档案=档案编号"_s,
                                u"--map"_s, u"业主=车主姓名"_s});
    EXPECT_EQ(with.code, 0) << with.err.toStdString();
    EXPECT_EQ(current(archive::VehicleGroup::Basic, u"鲁A20001"_s).text(u"车主姓名"_s, false), u"张"_s);
    const CliResult badMap = cli({u"import"_s, path, u"--map"_s, u"无此列=主车牌号"_s});
    EXPECT_EQ(badMap.code, 2);
}

// ---------------------------------------------------------------------------------------------
// One transaction: killed midway, nothing of the file is kept

TEST_F(ImportTest, KilledMidwayLeavesNoVehicleOfTheFile) {
    const QString path = file(u"big.csv"_s);
    QByteArray text = "车号,档案编号,车主\n";
    for (int i = 0; i < 800; ++i)
        text += u"鲁K%1,%2,车主%2\n"_s.arg(i, 5, 10, QLatin1Char('0')).arg(i + 1).toUtf8();
    WriteBytes(path, text);
    db().CloseDatabase();

    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(QString::fromUtf8(VELMORA_CLI), {u"import"_s, path, u"--data-dir"_s, dataDir()});
    ASSERT_TRUE(child.waitForStarted());
    QByteArray progress;
    while (!progress.contains("已写入") && child.state() == QProcess::Running) {
        child.waitForReadyRead(100);
        progress += child.readAllStandardError();
    }
    ASSERT_TRUE(progress.contains("已写入")) << progress.toStdString();
    ::kill(pid_t(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished(10000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

    // The next open rolls the interrupted transaction back.
    EXPECT_EQ(vehicleCount(), 0);
    EXPECT_TRUE(conn().StoredColumns(u"鲁K00000"_s).isEmpty());
    // Every row of the file is still to be added.
    db().CloseDatabase();
    const CliResult r = importJson(path, {u"--dry-run"_s});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(r.out.toUtf8()).object().value(u"accepted"_s).toInt(), 800);
}

// The run rolls everything back when told to stop, and a row whose statements fail is rolled back
// alone.
TEST_F(ImportTest, CancelKeepsNothingAndAFailedRowKeepsNothingOfItself) {
    fleetimport::Sheet sheet;
    sheet.name = u"表"_s;
    sheet.rows << QList<fleetimport::SheetCell>{fleetimport::SheetCell::Text(u"车号"_s),
                                                fleetimport::SheetCell::Text(u"档案编号"_s)};
    for (int i = 0; i < 10; ++i)
        sheet.rows << QList<fleetimport::SheetCell>{fleetimport::SheetCell::Text(u"鲁C%1"_s.arg(10000 + i)),
                                                    fleetimport::SheetCell::Number(i + 1)};
    const fleetimport::ColumnMap map = fleetimport::MatchColumns(fleetimport::HeaderCaptions(sheet));
    const fleetimport::PlanOutcome planned = fleetimport::PlanImport(db(), sheet, map, QDate(2026, 3, 9));
    ASSERT_TRUE(planned.plan);
    ASSERT_EQ(planned.plan->acceptedCount(), 10);

    const fleetimport::RunOutcome cancelled =
        fleetimport::RunImport(db(), *planned.plan, [](int done, int) { return done < 6; });
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_FALSE(cancelled.committed);
    EXPECT_EQ(vehicleCount(), 0);
    for (const fleetimport::RowOutcome& r : cancelled.rows)
        EXPECT_FALSE(r.accepted);

    // A table of that name appeared after the plan was made: that row's copy fails, the rest go in.
    ASSERT_TRUE(db().ExecuteStatement(u"select * into 鲁C10004 from yangbiao"_s));
    const fleetimport::RunOutcome run = fleetimport::RunImport(db(), *planned.plan);
    EXPECT_TRUE(run.committed);
    EXPECT_EQ(run.added, 9);
    EXPECT_EQ(run.rows.at(4).reason, u"创建新车表格失败！"_s);
    EXPECT_EQ(vehicleCount(), 9);
    EXPECT_EQ(archive::PlateListed(db(), u"鲁C10004"_s), std::optional<bool>(false));
}

} // namespace
