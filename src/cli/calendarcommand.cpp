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

const QString kUsage =
    u"用法：velmora-cli calendar [--today YYYY-MM-DD] [--months N] [--output 文件.ics] [--data-dir 目录]\n"_s;

} // namespace

int CalendarCommand(QStringList args, QTextStream& out, QTextStream& err) {
    bool bad = false;
    const QString dir = TakeValue(args, u"--data-dir"_s, &bad);
    const QString todayText = TakeValue(args, u"--today"_s, &bad);
    const QString monthsText = TakeValue(args, u"--months"_s, &bad);
    const QString output = TakeValue(args, u"--output"_s, &bad);
    if (bad || !args.isEmpty()) {
        err << kUsage;
        return 2;
    }
    int months = lists::kDefaultCalendarMonths;
    if (!monthsText.isNull()) {
        bool ok = false;
        months = monthsText.toInt(&ok);
        if (!ok || months < 1 || months > lists::kMaxCalendarMonths) {
            err << u"--months 应为 1 到 %1 之间的整数：%2\n"_s.arg(lists::kMaxCalendarMonths).arg(monthsText);
            return 2;
        }
    }
    if (!todayText.isEmpty()) {
        const std::optional<QDate> today = ParseDate(todayText, err);
        if (!today)
            return 2;
        store::SetToday(*today);
    }
    UseDataDirectory(dir);
    store::DatabaseConnection db;
    if (!OpenDataDatabase(db, err))
        return 1;

    const QDate today = store::Today();
    const alerts::AlertResult tree = alerts::ComputeAlerts(
        db, alerts::MonthStart(today), alerts::ReadMode::OneQueryPerTable, alerts::FlagWrites::Leave);
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
    if (!WriteText(text, output, out, err))
        return 1;
    if (!output.isEmpty())
        err << u"已写入 %1 个到期事件：%2\n"_s.arg(events.size()).arg(QDir::toNativeSeparators(output));
    return failures.isEmpty() ? 0 : 1;
}

} // namespace cli
