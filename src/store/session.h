#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

namespace store {

// The six rights of the signed-in operator; all false until a sign-in succeeds.
struct Permissions {
    bool 增删车辆 = false;
    bool 修改车辆信息 = false;
    bool 增加车辆信息 = false;
    bool 费用可见 = false;
    bool 统计查询 = false;
    bool 权限设置 = false;
};

// Process-wide state shared by the windows. Each member is written by one part of the
// program and read by the others when they are created.
struct Session {
    Permissions OperatorPermissions;
    int DataModifiedFlag = 0;
    QString CurrentPlate;
    // One ordered list of plate texts per alert tree node (19 nodes); a node's count is its size.
    std::array<QStringList, 19> AlertSets;
    QStringList SearchResults;
    QDate ReferenceMonth;
    int ListSelector = 0;
    QList<QByteArray> DocumentImageCopies;
    int EnlargeTarget = 0;
};

Session& session();
// Puts every member back to its start value (tests use it between cases).
void ResetSession();

// Today's date. The windows and the command-line tool ask this clock, never the system directly,
// so that reports and tests can stand in another date.
QDate Today();
void SetToday(const QDate& date); // an invalid date returns to the system clock

} // namespace store
