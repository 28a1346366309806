#pragma once

#include "alerts/rules.h"
#include "report/reporttable.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace store {
class DatabaseConnection;
}

namespace lists {

inline constexpr int kListCount = 17;

// One list of the menu 车辆清单, in the order in which the build tests ListSelector.
struct ListInfo {
    QString menuItem;
    int node; // its AlertSets node
    QString title;
    QString printTitle;
};

// The seventeen lists in build order (index 0 = "预警年审车辆清单" … 16 = "公司车辆台账清单").
const std::array<ListInfo, kListCount>& Lists();
// The list named by its title or by its menu item text, nothing for another text.
std::optional<int> FindList(const QString& titleOrMenuItem);
QStringList ListTitles();

// The status text of one obligation for a due date against the reference month: "本月需审",
// "下月需审", "2个月后审车", "已经脱审2个月" and likewise for the other kinds.
QString StatusText(alerts::Kind kind, const QDate& due, const QDate& referenceMonth);
QString StatusCaption(alerts::Kind kind); // "审车日期" … "营运日期"
// The five kinds in the order of an alert list's status columns 5 to 9.
std::array<alerts::Kind, 5> StatusColumnOrder(alerts::Kind listKind);

// The ListSelector flag a menu command sets, and the list the build picks: the first set flag.
using ListSelectorFlags = std::array<bool, kListCount>;
std::optional<int> SelectedList(const ListSelectorFlags& flags);

enum class ReadMode {
    OneQueryPerTable, // each vehicle table read once; per-query reads only for a table that fails
    PerQuery,         // the statements of the list as designed, one per group and kind
};

struct ListBuild {
    report::ReportTable table;
    QStringList messages;   // failure messages to show, in order
    bool completed = false; // false when a failure stopped the build
};

// Builds list `list` (index into Lists()) for the vehicles of its node in `sets`, reading the
// details from each vehicle table. referenceMonth is ReferenceMonthDate. Each vehicle's row carries
// its plate as the row key (report::ReportTable::rowKey). The lapse flags in flagsTakenAsSet read
// as set whatever the file holds: a build after a refresh that did not write them (its dueFlags)
// shows what it would show had the refresh written them.
ListBuild BuildList(store::DatabaseConnection& db, int list, const alerts::AlertSetList& sets,
                    const QDate& referenceMonth, ReadMode mode = ReadMode::OneQueryPerTable,
                    const alerts::LapseFlagPlates& flagsTakenAsSet = {});

} // namespace lists
