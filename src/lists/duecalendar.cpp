#include "lists/duecalendar.h"

#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace lists {

namespace {

QString dateValue(const QDate& d) {
    return d.toString(u"yyyyMMdd"_s);
}

} // namespace

QString EventUid(const QString& plate, const DueItem& item) {
    static const char* const keys[alerts::kKindCount] = {"inspection", "maintenance", "insurance", "management-fee",
                                                         "operating-permit"};
    return QString::fromLatin1(keys[int(item.kind)]) + (item.trailer ? u"-trailer"_s : QString()) + u'-' +
           QString::fromLatin1(plate.toUtf8().toHex()) + u"@velmora"_s;
}

QList<CalendarEvent> DueEvents(const QList<VehicleDue>& vehicles, const QDate& today, int months) {
    const QDate from(today.year(), today.month(), 1);
    const QDate to = today.addMonths(months);
    struct Dated {
        CalendarEvent event;
        QString plate;
    };
    QList<Dated> dated;
    for (const VehicleDue& v : vehicles) {
        for (const DueItem& item : v.items) {
            if (item.due < from || item.due > to)
                continue;
            CalendarEvent e;
            e.uid = EventUid(v.plate, item);
            e.date = item.due;
            QStringList summary = {DueItemName(item) + u"到期"_s, v.plate};
            if (!v.owner.trimmed().isEmpty())
                summary << v.owner.trimmed();
            e.summary = summary.join(u' ');
            QStringList description = {u"车号：%1"_s.arg(v.plate), u"车主：%1"_s.arg(v.owner.trimmed()),
                                       u"车主电话：%1"_s.arg(v.phone.trimmed()),
                                       u"%1到期日期：%2"_s.arg(DueItemName(item), item.due.toString(Qt::ISODate))};
            e.description = description.join(u'\n');
            dated << Dated{e, v.plate};
        }
    }
    std::stable_sort(dated.begin(), dated.end(), [](const Dated& a, const Dated& b) {
        return a.event.date != b.event.date ? a.event.date < b.event.date : a.plate < b.plate;
    });
    QList<CalendarEvent> events;
    for (const Dated& d : dated)
        events << d.event;
    return events;
}

QString EscapeText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\\' || c == u';' || c == u',') {
            out += u'\\';
            out += c;
        } else if (c == u'\r') {
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            out += u"\\n"_s;
        } else if (c == u'\n') {
            out += u"\\n"_s;
        } else if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            // Other control characters are not allowed in a TEXT value.
            out += u' ';
        } else {
            out += c;
        }
    }
    return out;
}

QByteArray FoldLine(const QString& line) {
    const QByteArray bytes = line.toUtf8();
    QByteArray out;
    qsizetype start = 0;
    int limit = 75; // the first line; a continuation's leading blank counts against the next ones
    while (bytes.size() - start > limit) {
        qsizetype cut = start + limit;
        // Back off to the start of a UTF-8 sequence (continuation bytes are 10xxxxxx).
        while (cut > start && (uchar(bytes.at(cut)) & 0xC0) == 0x80)
            --cut;
        out += bytes.mid(start, cut - start);
        out += "\r\n ";
        start = cut;
        limit = 74;
    }
    out += bytes.mid(start);
    out += "\r\n";
    return out;
}

QByteArray CalendarText(const QList<CalendarEvent>& events, const QDateTime& stamp, const QString& calendarName) {
    const QString stampText = stamp.toUTC().toString(u"yyyyMMdd'T'HHmmss'Z'"_s);
    QByteArray out;
    auto add = [&out](const QString& l) { out += FoldLine(l); };
    add(u"BEGIN:VCALENDAR"_s);
    add(u"VERSION:2.0"_s);
    add(u"PRODID:-//Velmora//Due dates//ZH"_s);
    add(u"CALSCALE:GREGORIAN"_s);
    add(u"METHOD:PUBLISH"_s);
    add(u"X-WR-CALNAME:"_s + EscapeText(calendarName));
    for (const CalendarEvent& e : events) {
        add(u"BEGIN:VEVENT"_s);
        add(u"UID:"_s + e.uid);
        add(u"DTSTAMP:"_s + stampText);
        add(u"DTSTART;VALUE=DATE:"_s + dateValue(e.date));
        add(u"DTEND;VALUE=DATE:"_s + dateValue(e.date.addDays(1)));
        // A later due date of the same obligation (after a renewal) is a newer version of it.
        add(u"SEQUENCE:%1"_s.arg(std::max<qint64>(0, e.date.toJulianDay() - QDate(2000, 1, 1).toJulianDay())));
        add(u"SUMMARY:"_s + EscapeText(e.summary));
        add(u"DESCRIPTION:"_s + EscapeText(e.description));
        add(u"TRANSP:TRANSPARENT"_s);
        add(u"BEGIN:VALARM"_s);
        add(u"ACTION:DISPLAY"_s);
        add(u"DESCRIPTION:"_s + EscapeText(e.summary));
        add(u"TRIGGER:-P%1D"_s.arg(kAlarmDaysBefore));
        add(u"END:VALARM"_s);
        add(u"END:VEVENT"_s);
    }
    add(u"END:VCALENDAR"_s);
    return out;
}

} // namespace lists
