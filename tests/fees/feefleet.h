#pragma once

#include "archive/records.h"
#include "archive/vehicledata.h"
#include "fees/feestatistics.h"
#include "store/database.h"

#include <QDate>
#include <QString>

#include <gtest/gtest.h>

namespace fees_test {

using namespace Qt::StringLiterals;

// Fills a database the way the program does: a new vehicle through the vehicle save, payments as
// obligation records through the record command of the kind's page.
class FeeFleet {
public:
    explicit FeeFleet(store::DatabaseConnection& db) : db_(db) {}

    void vehicle(const QString& plate) {
        archive::NewVehicle v;
        v.values.insert(u"主车牌号"_s, plate);
        v.values.insert(u"档案编号"_s, QString::number(++archiveNumber_));
        v.values.insert(u"车主姓名"_s, u"车主"_s + plate);
        v.values.insert(u"车辆状态"_s, 1);
        const archive::SaveResult r = archive::SaveNewVehicleRows(db_, v);
        ASSERT_TRUE(r.ok) << r.message.toStdString();
    }

    // A record of kind k (0 inspection … 4 operating permit) with its amounts and payment date.
    void pay(const QString& plate, int k, const QString& due, const QString& paid, const QDate& date) {
        const int page = k + 1;
        archive::RecordValues values;
        for (const archive::RecordField& f : archive::RecordFields(page)) {
            switch (f.kind) {
            case archive::ValueKind::Date:
                values.insert(f.column, QDate(2027, 6, 1));
                break;
            case archive::ValueKind::YesNo:
                values.insert(f.column, false);
                break;
            default:
                values.insert(f.column, QString());
            }
        }
        const fees::FeeKind& kind = fees::Kind(k);
        values.insert(kind.dueColumn, due);
        values.insert(kind.paidColumn, paid);
        values.insert(kind.dateColumn, date);
        static const char16_t* const plateColumns[] = {u"审车车号", u"二维车号", u"保险车号", u"管理车号", u"营运车号"};
        values.insert(QString::fromUtf16(plateColumns[k]), plate);
        const archive::RecordOutcome r = archive::AddRecordRow(db_, page, plate, values);
        ASSERT_TRUE(r.ok) << r.message.toStdString();
    }

private:
    store::DatabaseConnection& db_;
    int archiveNumber_ = 0;
};

} // namespace fees_test
