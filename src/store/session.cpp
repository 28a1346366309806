#include "session.h"

namespace store {

namespace {
QDate g_today;
}

Session& session() {
    static Session s;
    return s;
}

void ResetSession() {
    session() = Session{};
}

QDate Today() {
    return g_today.isValid() ? g_today : QDate::currentDate();
}

void SetToday(const QDate& date) {
    g_today = date;
}

} // namespace store
