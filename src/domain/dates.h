#pragma once

#include <QDate>

namespace domain {

// 2000-01-01 stands for "no date" in every date column and date box.
inline const QDate kUnsetDate{2000, 1, 1};

// The first day of d's month.
inline QDate MonthStart(const QDate& d) {
    return d.isValid() ? QDate(d.year(), d.month(), 1) : QDate();
}

// a minus b in whole calendar months; the day of the month plays no part.
inline int MonthsBetween(const QDate& a, const QDate& b) {
    return (a.year() - b.year()) * 12 + (a.month() - b.month());
}

// A date counts as set when it is a date outside January 2000 (2000-01-01 stands for no date).
inline bool IsSetDate(const QDate& d) {
    return d.isValid() && MonthStart(d) != kUnsetDate;
}

} // namespace domain
