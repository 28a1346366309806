#pragma once

// The fee statistics without any window: which vehicles a request names, the payments of each
// obligation kind in a period read from the vehicle tables, the report's rows with exact subtotals
// and a grand total. FeeQueryWindow and velmora-cli fees both build their report here.

#include "fees/decimal.h"
#include "report/reporttable.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace store {
class DatabaseConnection;
}

namespace fees {

// ---- the five kinds and the items of 组合框_项目 ------------------------------------------------

inline constexpr int kKindCount = 5;
inline constexpr int kColumnCount = 17;
inline constexpr int kHeaderRowCount = 2;

struct FeeKind {
    QString item;    // its item of 组合框_项目: 审车类 …
    QString caption; // the merged caption over its three columns
    QString dueColumn;
    QString paidColumn;
    QString dateColumn;
    QString selectText;  // followed by the plate
    QString firstRange;  // followed by the start of the period
    QString secondRange; // followed by the end of the period and "#"
    QString failure;     // shown when the kind's query fails
};

// Kind k = 0 (inspection) … 4 (operating permit), in the order of the report's columns.
const FeeKind& Kind(int k);
// Columns of kind k: due, paid and date side by side, from column 2 on.
inline int DueColumn(int k) {
    return 3 * k + 2;
}
inline int PaidColumn(int k) {
    return 3 * k + 3;
}
inline int DateColumn(int k) {
    return 3 * k + 4;
}

// "全部费用", then the item of each kind (indices 0 to 5).
const QStringList& ItemTexts();
inline constexpr int kAllFeesItem = 0;
// Kind k is reported for item 0 (全部费用) and for its own item k + 1.
inline bool KindReported(int item, int k) {
    return item == kAllFeesItem || item == k + 1;
}
// The item index of a text of ItemTexts(), -1 for any other text.
int ItemIndex(const QString& text);

QString AllVehiclesText(); // 全部车辆

// ---- statement and title texts --------------------------------------------------------------

// A date of the period as the statements and titles write it: year-month-day without leading
// zeros ("2026-1-5").
QString PeriodText(const QDate& date);
// The kind's query for one vehicle table, both ends of the period included.
QString KindQuery(int k, const QString& plate, const QDate& from, const QDate& to);
QString MasterSelect(); // "select 车牌号 from [总表] "
// The count query of a typed plate; the plate is quoted through the one quoting helper.
QString CountQuery(const QString& plate);

// "车号为" + W + "从" + S + "到" + E + "的" + I + "的内容。", the grid's print title.
QString PrintTitle(const QString& vehicle, const QDate& from, const QDate& to, int item);
// The same text after "当前显示", for the label above the grid.
QString TitleLabelText(const QString& vehicle, const QDate& from, const QDate& to, int item);
inline constexpr int kPrintTitleSize = 15;
QString PrintTitleFont(); // 黑体

// Windows colour value (0x00BBGGRR) of the subtotal and grand-total cells.
inline constexpr unsigned kSubtotalColour = 0xFF8800;
// The same colour as red, green and blue (0x00RRGGBB).
inline constexpr unsigned kSubtotalRgb =
    ((kSubtotalColour & 0xFF) << 16) | (kSubtotalColour & 0xFF00) | ((kSubtotalColour >> 16) & 0xFF);
inline constexpr unsigned kInvalidAmountRgb = 0xFF0000; // text colour of an amount that is no number

QString TotalRowText(); // 合计

// ---- vehicles of a request ------------------------------------------------------------------

// The plates of [总表] in table order; nullopt when it cannot be read ("查询失败！").
std::optional<QStringList> ReadPlates(store::DatabaseConnection& db);

struct PlateChoice {
    bool ok = false;
    QStringList plates;
    QString message;      // the refusal or failure to show when !ok
    bool warning = false; // the message carries the warning icon
};

// The vehicles a text of 组合框_车号 names: every plate of [总表] for an empty text or 全部车辆;
// otherwise that one plate, once it is 8 bytes long in GBK and [总表] lists it. No vehicle
// table is read here.
PlateChoice ChoosePlates(store::DatabaseConnection& db, const QString& vehicleText);

// W of the titles: 全部车辆 for a typed text that is not an item of the list, else the text.
QString TitleVehicle(const QString& vehicleText, bool typed);

// ---- reading the payments -------------------------------------------------------------------

struct FeeRecord {
    QString due;
    QString paid;
    QString date; // YYYY-MM-DD
};

struct KindFees {
    bool reported = false;
    bool failed = false;      // the kind's query failed: no records for this vehicle
    QList<FeeRecord> records; // in table order, records with an empty due text left out
    Decimal dueSum;
    Decimal paidSum;
};

struct VehicleFees {
    QString plate;
    std::array<KindFees, kKindCount> kinds;
    // Rows of the vehicle's block: its deepest kind's records and the subtotal row.
    int blockRows() const;
};

enum class ReadMode {
    OneQueryPerTable, // each vehicle table read once for all reported kinds; per-kind queries
                      // only for a table that fails that read
    PerKindQuery,     // one query per vehicle and reported kind, as the statistics were designed
};

struct FeeStatistics {
    QList<VehicleFees> vehicles;
    QStringList messages; // failure messages of kind queries, in the order they occurred
    std::array<Decimal, kKindCount> dueTotals;
    std::array<Decimal, kKindCount> paidTotals;
};

// The payments of the reported kinds whose payment date lies in [from, to], per vehicle in the
// given order. A plate that cannot name a table fails each of its kind queries.
FeeStatistics ReadFeeStatistics(store::DatabaseConnection& db, const QStringList& plates, const QDate& from,
                                const QDate& to, int item, ReadMode mode = ReadMode::OneQueryPerTable);

// An amount text as the sums count it: its number, or 0 when it holds none.
Decimal AmountValue(const QString& text);
// True for a non-empty amount text that holds no number: it counts 0 and its cell is marked.
bool IsInvalidAmount(const QString& text);

// ---- the report's rows ----------------------------------------------------------------------

enum class CellMark { None, InvalidAmount, Subtotal };

struct FeeCell {
    QString text;
    CellMark mark = CellMark::None;
};
using FeeRow = std::array<FeeCell, kColumnCount>;

// The two header rows: row 0 with the numbers 0 and the five merged captions (written in the
// first column of each merge), row 1 with 1, "车号" and 应缴/已缴/日期 under each caption.
std::array<FeeRow, kHeaderRowCount> HeaderRows();
// First columns of the five merged captions of row 0; each merge spans three columns.
inline int CaptionColumn(int k) {
    return DueColumn(k);
}
// Column widths in pixels; 0 keeps the grid's default.
int ColumnWidth(int column);

// Data rows after the two header rows: one block per vehicle (plate in its first row, each
// reported kind filling its own columns downwards from there, subtotals of all ten amount
// columns in the block's last row), then the grand total row 合计. Column 0 holds each row's
// own grid index.
QList<FeeRow> ReportRows(const FeeStatistics& statistics);

// The shared report table: the two header rows with their five merges, the data rows, column
// widths, subtotal colours, red text for amounts that are no number, and the print title in
// 黑体 15 bold. Its title is the print title, which also names an exported file.
report::ReportTable FeeReportTable(const QString& printTitle, const QList<FeeRow>& rows);

// ---- one whole request ------------------------------------------------------------------

struct FeeRequest {
    QString vehicleText; // the text of 组合框_车号
    bool typed = false;  // the text was typed rather than chosen from the list
    QDate from;
    QDate to;
    int item = kAllFeesItem;
};

struct FeeReport {
    PlateChoice choice; // !choice.ok: refused before any vehicle table was read
    QString vehicle;    // W of the titles
    QString printTitle;
    QString labelText;
    FeeStatistics statistics;
    QList<FeeRow> rows;        // data rows after the two header rows
    report::ReportTable table; // what the grid shows, prints and exports
};

// Checks the vehicle text and, when it passes, reads the statistics and lays out the rows.
FeeReport BuildFeeReport(store::DatabaseConnection& db, const FeeRequest& request,
                         ReadMode mode = ReadMode::OneQueryPerTable);

} // namespace fees
