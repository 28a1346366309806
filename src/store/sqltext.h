#pragma once

#include <QDate>
#include <QString>

using namespace Qt::StringLiterals;

namespace store {

// The one way an operator's text goes into a statement: between the single quotes the
// statement already has, with every quote inside the value doubled, so that no value can
// end the literal early and change the meaning of the statement.
inline QString SqlText(const QString& value) {
    QString out = value;
    out.replace(QLatin1Char('\''), QLatin1String("''"));
    return out;
}

// Dates in insert and update statements: the long form 2026年12月8日, no leading zeros.
inline QString SqlDate(const QDate& date) {
    return u"%1年%2月%3日"_s.arg(date.year()).arg(date.month()).arg(date.day());
}

// Dates in range queries: a #2026-12-8# literal.
inline QString SqlDateLiteral(const QDate& date) {
    return u"#%1-%2-%3#"_s.arg(date.year()).arg(date.month()).arg(date.day());
}

inline QString SqlBool(bool value) {
    return value ? u"true"_s : u"false"_s;
}

} // namespace store
