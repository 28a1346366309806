#include "cli/calendarcommand.h"

#include "cli/options.h"

#include "alerts/rules.h"
#include "lists/duecalendar.h"
#include "lists/notices.h"
#include "store/company.h"
#include "store/database.h"
#include "store/session.h"

#include <QDateTime>
#include <QDir>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

const CommandSpec kCalendarSpec{
    .usage = u"velmora-cli calendar [--today YYYY-MM-DD] [--months N] [--output 文件.ics] [--data-dir DIR] "
             u"[--database URL]"_s,
    .help = u"到期日历（iCalendar，RFC 5545）：在册车辆每项到期日一个全天事件，提前 7 天提醒；\n"
            u"同一车辆同一项目的事件标识不变，重新导入或订阅时更新而不重复。\n"
            u"  --months N       从本月初到今天之后 N 个月内的到期日（默认 3，1 到 120）\n"
            u"  --output 文件    写入文件（整份写好后替换旧文件；默认输出到标准输出）\n"
            u"  --today 日期     按此日期计算（默认今天）\n"
            u"  --data-dir DIR   数据目录\n"
            u"  --database URL   数据库（文件路径或 postgresql:// 服务器连接文本）\n"
            u"只读：不修改数据库。\n"_s,
    .options = {{u"--today"_s, OptionKind::Date}, {u"--months"_s, OptionKind::Text}, {u"--output"_s, OptionKind::Path}},
};

} // namespace

int CalendarCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    const ParsedCommand o = ParseCommandLine(kCalendarSpec, args, out, err);
    if (!o.ok())
        return o.exitStatus;
    int months = lists::kDefaultCalendarMonths;
    if (o.has(u"--months"_s)) {
        bool ok = false;
        const QString text = o.value(u"--months"_s);
        months = text.toInt(&ok);
        if (!ok || months < 1 || months > lists::kMaxCalendarMonths) {
            err << u"--months 应为 1 到 %1 之间的整数：%2\n用法："_s.arg(lists::kMaxCalendarMonths).arg(text)
                << kCalendarSpec.usage << "\n";
            return 2;
        }
    }
    if (const std::optional<QDate> today = o.date(u"--today"_s))
        store::SetToday(*today);
    store::DatabaseConnection db;
    if (!OpenDataDatabase(db, err, OpenFor::ReadOnly))
        return 1;

    const QDate today = store::Today();
    const alerts::AlertResult tree = alerts::ComputeAlerts(
        db, alerts::MonthStart(today), alerts::ReadMode::OneQueryPerTable, alerts::FlagWrites::Skip);
    QStringList failures = tree.messages;
    const std::optional<QStringList> plates = lists::VehiclesInService(db, tree.sets);
    if (!plates)
        failures << u"查询失败！"_s;
    const lists::DueRead read = lists::ReadDueDates(db, plates.value_or(QStringList{}), today);
    failures << read.messages;
    store::CompanyDetails company;
    QString error;
    if (!store::ReadCompanyDetails(db, &company, &error))
        failures << u"读取公司信息失败：%1"_s.arg(error);
    for (const QString& message : failures)
        err << message << "\n";

    const QList<lists::CalendarEvent> events = lists::DueEvents(read.vehicles, today, months);
    const QString name =
        company.公司名称.trimmed().isEmpty() ? u"车辆到期提醒"_s : company.公司名称.trimmed() + u" 车辆到期提醒"_s;
    const QByteArray text = lists::CalendarText(events, QDateTime::currentDateTimeUtc(), name);
    if (!WriteText(text, o.value(u"--output"_s), out, err))
        return 1;
    if (o.has(u"--output"_s))
        err << u"已写入 %1 个到期事件：%2\n"_s.arg(events.size()).arg(QDir::toNativeSeparators(o.value(u"--output"_s)));
    return failures.isEmpty() ? 0 : 1;
}

} // namespace cli
