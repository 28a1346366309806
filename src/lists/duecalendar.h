#pragma once

#include "lists/notices.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

// The due-date calendar: an iCalendar file (RFC 5545) with one all-day event per vehicle and due
// date, for the clerks' phones and desktop calendars.
namespace lists {

struct CalendarEvent {
    QString uid; // the same for a vehicle's obligation from one file to the next
    QDate date;
    QString summary; // "审车到期 鲁A12345 张三"
    QString description;
};

inline constexpr int kDefaultCalendarMonths = 3;
inline constexpr int kMaxCalendarMonths = 120;
inline constexpr int kAlarmDaysBefore = 7;

// The events of the due dates from the first day of today's month (what is due this month stays
// on the calendar until it is renewed) up to today plus `months` months, in date order, then plate.
QList<CalendarEvent> DueEvents(const QList<VehicleDue>& vehicles, const QDate& today, int months);

// A vehicle's obligation's identity: the plate (as UTF-8 hex, so any plate makes a valid UID) and
// the kind, with the trailer's dates apart from the main ones.
QString EventUid(const QString& plate, const DueItem& item);

// TEXT value escaping: backslash, semicolon, comma and line breaks.
QString EscapeText(const QString& text);
// One content line folded so that no line exceeds 75 octets, never inside a UTF-8 sequence,
// each line ended by CRLF.
QByteArray FoldLine(const QString& line);

// The whole file: VCALENDAR with the events, each with a reminder kAlarmDaysBefore days before.
// stamp (UTC) is every event's DTSTAMP.
QByteArray CalendarText(const QList<CalendarEvent>& events, const QDateTime& stamp, const QString& calendarName);

} // namespace lists
