#include "feestatistics.h"

#include "archive/formfields.h"
#include "archive/records.h"
#include "store/database.h"
#include "store/recordset.h"
#include "store/sqltext.h"

#include <QSet>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace fees {

namespace {

using store::RecordSetGuard;

const std::array<FeeKind, kKindCount>& kinds() {
    static const std::array<FeeKind, kKindCount> table = {{
        {u"审车类"_s, u"审车类费用及日期"_s, u"审车应缴费用"_s, u"审车已缴费用"_s, u"审车缴费日期"_s,
         u"select [审车应缴费用],[审车已缴费用],[审车缴费日期] from "_s, u" where [审车缴费日期]>=#"_s,
         u"# and [审车缴费日期]<= #"_s, u"查询失败！"_s},
        {u"二维类"_s, u"二维类费用及日期"_s, u"二维应缴费用"_s, u"二维已缴费用"_s, u"二维缴费日期"_s,
         u"select [二维应缴费用],[二维已缴费用],[二维缴费日期] from "_s, u" where [二维缴费日期]>=#"_s,
         u"# and [二维缴费日期]<= #"_s, u"查询失败！"_s},
        {u"保险类"_s, u"保险类费用及日期"_s, u"保险应缴费用"_s, u"保险已缴费用"_s, u"保险缴费日期"_s,
         u"select [保险应缴费用],[保险已缴费用],[保险缴费日期] from "_s, u" where [保险缴费日期]>=#"_s,
         u"# and [保险缴费日期]<= #"_s, u"查询失败！"_s},
        {u"管理费用类"_s, u"管理费用类及日期"_s, u"管理应缴费用"_s, u"管理已缴费用"_s, u"管理缴费日期"_s,
         u"select [管理应缴费用],[管理已缴费用],[管理缴费日期] from "_s, u" where [管理缴费日期]>=#"_s,
         u"# and [管理缴费日期]<= #"_s, u"查询失败！"_s},
        {u"营运证类"_s, u"营运证费用类及日期"_s, u"营运证应缴费用"_s, u"营运证已缴费用"_s, u"营运缴费日期"_s,
         u"select [营运证应缴费用],[营运证已缴费用],[营运缴费日期] from "_s, u" where [营运缴费日期]>=#"_s,
         u"# and [营运缴费日期]<= #"_s, u"查询失败！！"_s},
    }};
    return table;
}

// The range condition of kind k as its own query writes it, for the one read of a whole table.
QString rangeCondition(int k, const QDate& from, const QDate& to) {
    const FeeKind& kind = kinds()[std::size_t(k)];
    return u"(["_s + kind.dateColumn + u"]>=#"_s + PeriodText(from) + u"# and ["_s + kind.dateColumn + u"]<= #"_s +
           PeriodText(to) + u"#)"_s;
}

// The column of the one read that tells in which kinds' periods a row lies: bit k for kind k.
const QString kInPeriodColumn = u"期内"_s;

// One query for all reported kinds of a vehicle: their columns and, per row, the kinds whose own
// range condition it meets; only rows in the period of some kind.
QString wholeTableQuery(const QString& plate, const QDate& from, const QDate& to, int item) {
    QStringList columns;
    QStringList flags;
    QStringList conditions;
    for (int k = 0; k < kKindCount; ++k) {
        if (!KindReported(item, k))
            continue;
        const FeeKind& kind = kinds()[std::size_t(k)];
        columns << u"["_s + kind.dueColumn + u"]"_s << u"["_s + kind.paidColumn + u"]"_s
                << u"["_s + kind.dateColumn + u"]"_s;
        flags << u"(case when "_s + rangeCondition(k, from, to) + u" then "_s + QString::number(1 << k) +
                     u" else 0 end)"_s;
        conditions << rangeCondition(k, from, to);
    }
    columns << flags.join(u"+"_s) + u" as ["_s + kInPeriodColumn + u"]"_s;
    return u"select "_s + columns.join(u","_s) + u" from "_s + plate + u" where "_s + conditions.join(u" or "_s);
}

FeeRecord readRecord(store::DatabaseConnection& db, int handle, const FeeKind& kind) {
    return {db.ReadField(handle, kind.dueColumn).text(), db.ReadField(handle, kind.paidColumn).text(),
            db.ReadField(handle, kind.dateColumn).text()};
}

void addRecord(KindFees& fees, FeeRecord record) {
    if (record.due.isEmpty())
        return;
    fees.dueSum += AmountValue(record.due);
    fees.paidSum += AmountValue(record.paid);
    fees.records << std::move(record);
}

// The kind's own query; false when it fails.
bool readKind(store::DatabaseConnection& db, const QString& plate, int k, const QDate& from, const QDate& to,
              KindFees& fees) {
    if (!archive::PlateUsableAsTableName(plate))
        return false;
    const int handle = db.OpenRecordSet(KindQuery(k, plate, from, to));
    if (!handle)
        return false;
    RecordSetGuard guard(db, handle);
    const FeeKind& kind = kinds()[std::size_t(k)];
    for (db.MoveFirst(handle); !db.AtEnd(handle); db.MoveNext(handle))
        addRecord(fees, readRecord(db, handle, kind));
    return true;
}

bool readWholeTable(store::DatabaseConnection& db, const QString& plate, const QDate& from, const QDate& to, int item,
                    VehicleFees& vehicle) {
    if (!archive::PlateUsableAsTableName(plate))
        return false;
    const int handle = db.OpenRecordSet(wholeTableQuery(plate, from, to, item));
    if (!handle)
        return false;
    RecordSetGuard guard(db, handle);
    for (db.MoveFirst(handle); !db.AtEnd(handle); db.MoveNext(handle)) {
        const int inPeriod = int(db.ReadField(handle, kInPeriodColumn).number());
        for (int k = 0; k < kKindCount; ++k) {
            KindFees& fees = vehicle.kinds[std::size_t(k)];
            if (fees.reported && (inPeriod & (1 << k)))
                addRecord(fees, readRecord(db, handle, kinds()[std::size_t(k)]));
        }
    }
    return true;
}

int reportedKindCount(int item) {
    int n = 0;
    for (int k = 0; k < kKindCount; ++k)
        n += KindReported(item, k) ? 1 : 0;
    return n;
}

} // namespace

const FeeKind& Kind(int k) {
    return kinds()[std::size_t(std::clamp(k, 0, kKindCount - 1))];
}

const QStringList& ItemTexts() {
    static const QStringList items = {u"全部费用"_s, u"审车类"_s,     u"二维类"_s,
                                      u"保险类"_s,   u"管理费用类"_s, u"营运证类"_s};
    return items;
}

int ItemIndex(const QString& text) {
    return int(ItemTexts().indexOf(text));
}

QString AllVehiclesText() {
    return u"全部车辆"_s;
}

QString PeriodText(const QDate& date) {
    return QString::number(date.year()) + u"-"_s + QString::number(date.month()) + u"-"_s + QString::number(date.day());
}

QString KindQuery(int k, const QString& plate, const QDate& from, const QDate& to) {
    const FeeKind& kind = Kind(k);
    return kind.selectText + plate + kind.firstRange + PeriodText(from) + kind.secondRange + PeriodText(to) + u"#"_s;
}

QString MasterSelect() {
    return u"select 车牌号 from [总表] "_s;
}

QString CountQuery(const QString& plate) {
    return u"select count(*) as[数量] from [总表] where [车牌号]='"_s + store::SqlText(plate) + u"'"_s;
}

QString PrintTitle(const QString& vehicle, const QDate& from, const QDate& to, int item) {
    return u"车号为"_s + vehicle + u"从"_s + PeriodText(from) + u"到"_s + PeriodText(to) + u"的"_s +
           ItemTexts().value(item) + u"的内容。"_s;
}

QString TitleLabelText(const QString& vehicle, const QDate& from, const QDate& to, int item) {
    return u"当前显示"_s + PrintTitle(vehicle, from, to, item);
}

QString PrintTitleFont() {
    return u"黑体"_s;
}

QString TotalRowText() {
    return u"合计"_s;
}

std::optional<QStringList> ReadPlates(store::DatabaseConnection& db) {
    const int handle = db.OpenRecordSet(MasterSelect());
    if (!handle)
        return std::nullopt;
    RecordSetGuard guard(db, handle);
    QStringList plates;
    for (db.MoveFirst(handle); !db.AtEnd(handle); db.MoveNext(handle))
        plates << db.ReadField(handle, u"车牌号"_s).text();
    return plates;
}

PlateChoice ChoosePlates(store::DatabaseConnection& db, const QString& vehicleText) {
    PlateChoice choice;
    if (vehicleText.isEmpty() || vehicleText == AllVehiclesText()) {
        const std::optional<QStringList> plates = ReadPlates(db);
        if (!plates) {
            choice.message = u"查询失败！"_s;
            return choice;
        }
        choice.ok = true;
        choice.plates = *plates;
        return choice;
    }
    if (archive::GbkLength(vehicleText) != 8) {
        choice.message = u"请检查主车牌号是否正确"_s;
        choice.warning = true;
        return choice;
    }
    const int handle = db.OpenRecordSet(CountQuery(vehicleText));
    if (!handle) {
        choice.message = u"查询失败！"_s;
        return choice;
    }
    RecordSetGuard guard(db, handle);
    db.MoveLast(handle);
    if (db.ReadField(handle, u"数量"_s).number() == 0) {
        choice.message = u"对不起！请核对车号后再次输入！没有找到车号为"_s + vehicleText + u"的车辆"_s;
        return choice;
    }
    choice.ok = true;
    choice.plates = {vehicleText};
    return choice;
}

QString TitleVehicle(const QString& vehicleText, bool typed) {
    return typed || vehicleText.isEmpty() ? AllVehiclesText() : vehicleText;
}

int VehicleFees::blockRows() const {
    qsizetype deepest = 0;
    for (const KindFees& k : kinds)
        deepest = std::max(deepest, k.records.size());
    return int(deepest) + 1;
}

Decimal AmountValue(const QString& text) {
    return Decimal::Parse(text).value_or(Decimal());
}

bool IsInvalidAmount(const QString& text) {
    return !text.isEmpty() && !Decimal::Parse(text);
}

FeeStatistics ReadFeeStatistics(store::DatabaseConnection& db, const QStringList& plates, const QDate& from,
                                const QDate& to, int item, ReadMode mode) {
    FeeStatistics out;
    // A single kind is read by its own query anyway.
    const bool wholeTable = mode == ReadMode::OneQueryPerTable && reportedKindCount(item) > 1;
    for (const QString& plate : plates) {
        VehicleFees vehicle;
        vehicle.plate = plate;
        for (int k = 0; k < kKindCount; ++k)
            vehicle.kinds[std::size_t(k)].reported = KindReported(item, k);
        if (!wholeTable || !readWholeTable(db, plate, from, to, item, vehicle)) {
            for (int k = 0; k < kKindCount; ++k) {
                KindFees& fees = vehicle.kinds[std::size_t(k)];
                if (!fees.reported)
                    continue;
                fees = KindFees{};
                fees.reported = true;
                if (!readKind(db, plate, k, from, to, fees)) {
                    fees = KindFees{};
                    fees.reported = true;
                    fees.failed = true;
                    out.messages << kinds()[std::size_t(k)].failure;
                }
            }
        }
        for (int k = 0; k < kKindCount; ++k) {
            out.dueTotals[std::size_t(k)] += vehicle.kinds[std::size_t(k)].dueSum;
            out.paidTotals[std::size_t(k)] += vehicle.kinds[std::size_t(k)].paidSum;
        }
        out.vehicles << std::move(vehicle);
    }
    return out;
}

std::array<FeeRow, kHeaderRowCount> HeaderRows() {
    std::array<FeeRow, kHeaderRowCount> rows;
    rows[0][0].text = u"0"_s;
    rows[1][0].text = u"1"_s;
    rows[1][1].text = u"车号"_s;
    for (int k = 0; k < kKindCount; ++k) {
        rows[0][std::size_t(CaptionColumn(k))].text = kinds()[std::size_t(k)].caption;
        rows[1][std::size_t(DueColumn(k))].text = u"应缴"_s;
        rows[1][std::size_t(PaidColumn(k))].text = u"已缴"_s;
        rows[1][std::size_t(DateColumn(k))].text = u"日期"_s;
    }
    return rows;
}

int ColumnWidth(int column) {
    if (column == 1)
        return 60;
    if (column >= 4 && column <= 16 && (column - 4) % 3 == 0)
        return 90;
    return 0;
}

QList<FeeRow> ReportRows(const FeeStatistics& statistics) {
    QList<FeeRow> rows;
    auto appendRow = [&rows] {
        FeeRow row;
        row[0].text = QString::number(kHeaderRowCount + rows.size());
        rows << row;
        return rows.size() - 1;
    };
    auto subtotal = [](FeeRow& row, int column, const Decimal& sum) {
        row[std::size_t(column)] = {sum.toString(), CellMark::Subtotal};
    };
    auto amount = [](const QString& text) {
        return FeeCell{text, IsInvalidAmount(text) ? CellMark::InvalidAmount : CellMark::None};
    };
    for (const VehicleFees& vehicle : statistics.vehicles) {
        const qsizetype first = rows.size();
        for (int r = 0; r < vehicle.blockRows(); ++r)
            appendRow();
        rows[first][1].text = vehicle.plate;
        for (int k = 0; k < kKindCount; ++k) {
            const KindFees& fees = vehicle.kinds[std::size_t(k)];
            for (qsizetype i = 0; i < fees.records.size(); ++i) {
                FeeRow& row = rows[first + i];
                row[std::size_t(DueColumn(k))] = amount(fees.records[i].due);
                row[std::size_t(PaidColumn(k))] = amount(fees.records[i].paid);
                row[std::size_t(DateColumn(k))].text = fees.records[i].date;
            }
            FeeRow& last = rows.last();
            subtotal(last, DueColumn(k), fees.dueSum);
            subtotal(last, PaidColumn(k), fees.paidSum);
        }
    }
    FeeRow& total = rows[appendRow()];
    total[1].text = TotalRowText();
    for (int k = 0; k < kKindCount; ++k) {
        subtotal(total, DueColumn(k), statistics.dueTotals[std::size_t(k)]);
        subtotal(total, PaidColumn(k), statistics.paidTotals[std::size_t(k)]);
    }
    return rows;
}

report::ReportTable FeeReportTable(const QString& printTitle, const QList<FeeRow>& rows) {
    report::ReportTable table;
    table.title = printTitle;
    table.printTitle = {printTitle, PrintTitleFont(), kPrintTitleSize, true};
    table.headerRows = kHeaderRowCount;
    table.setColumnCount(kColumnCount);
    for (int c = 0; c < kColumnCount; ++c) {
        if (ColumnWidth(c) > 0)
            table.setColumnWidth(c, ColumnWidth(c));
    }
    QSet<int> amountColumns;
    for (int k = 0; k < kKindCount; ++k)
        amountColumns << DueColumn(k) << PaidColumn(k);
    auto put = [&table, &amountColumns](const FeeRow& row, bool data) {
        const int r = table.appendRow();
        for (int c = 0; c < kColumnCount; ++c) {
            const FeeCell& cell = row[std::size_t(c)];
            table.setText(r, c, cell.text);
            // An amount that reads as one (and every subtotal) is a number of the report; a text
            // typed where an amount belongs is not, and exports treat it as any text.
            if (data && amountColumns.contains(c) && !cell.text.isEmpty() && cell.mark != CellMark::InvalidAmount)
                table.cellRef(r, c).number = true;
            if (cell.mark == CellMark::Subtotal)
                table.setColours(r, c, QColor(QRgb(kSubtotalRgb)));
            else if (cell.mark == CellMark::InvalidAmount)
                table.setColours(r, c, QColor(), QColor(QRgb(kInvalidAmountRgb)));
        }
    };
    for (const FeeRow& row : HeaderRows())
        put(row, false);
    for (int k = 0; k < kKindCount; ++k)
        table.merge(0, CaptionColumn(k), 1, 3);
    for (const FeeRow& row : rows)
        put(row, true);
    return table;
}

FeeReport BuildFeeReport(store::DatabaseConnection& db, const FeeRequest& request, ReadMode mode) {
    FeeReport report;
    report.choice = ChoosePlates(db, request.vehicleText);
    if (!report.choice.ok)
        return report;
    report.vehicle = TitleVehicle(request.vehicleText, request.typed);
    report.printTitle = PrintTitle(report.vehicle, request.from, request.to, request.item);
    report.labelText = TitleLabelText(report.vehicle, request.from, request.to, request.item);
    report.statistics = ReadFeeStatistics(db, report.choice.plates, request.from, request.to, request.item, mode);
    report.rows = ReportRows(report.statistics);
    report.table = FeeReportTable(report.printTitle, report.rows);
    return report;
}

} // namespace fees
