#pragma once

#include "store/database.h"
#include "store/schema.h"
#include "store/sqltext.h"

#include <QDate>
#include <QPair>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace alerts_test {

// Builds vehicle tables the way the program does: a row in 总表, a copy of yangbiao, then one
// row per recorded period.
class Fleet {
public:
    explicit Fleet(store::DatabaseConnection& db) : db_(db) {}

    // Lists the plate in 总表 and creates its table with a basic row carrying the status
    // (a null status when status is a null QString).
    void vehicle(const QString& plate, const QString& status = u"1"_s) {
        listOnly(plate);
        run(u"select * into "_s + plate + u" from yangbiao"_s);
        if (status.isNull())
            row(plate, {{u"主车牌号"_s, plate}});
        else
            row(plate, {{u"主车牌号"_s, plate}, {u"车辆状态"_s, status}});
    }
    // A vehicle whose table was made without one of the template's columns: exactly the
    // queries that name that column fail.
    void vehicleWithout(const QString& plate, const QString& missingColumn, const QString& status = u"1"_s) {
        listOnly(plate);
        QStringList columns;
        for (const store::ColumnDef& c : store::VehicleColumns()) {
            if (c.name == missingColumn)
                continue;
            static const char* const types[] = {"integer primary key autoincrement", "text", "date", "yesno default 0",
                                                "blob"};
            columns << QLatin1Char('[') + c.name + u"] "_s + QString::fromLatin1(types[int(c.type)]);
        }
        run(u"create table "_s + plate + u" ("_s + columns.join(u", "_s) + QLatin1Char(')'));
        if (missingColumn != u"车辆状态"_s)
            row(plate, {{u"主车牌号"_s, plate}, {u"车辆状态"_s, status}});
    }
    // A vehicle whose table was made by another hand, with one column of another type than the
    // template's: the refresh reads it as before, but no statement can read it with the others.
    void vehicleRetyped(const QString& plate, const QString& column, const QString& type) {
        listOnly(plate);
        QStringList columns;
        for (const store::ColumnDef& c : store::VehicleColumns()) {
            static const char* const types[] = {"integer primary key autoincrement", "text", "date", "yesno default 0",
                                                "blob"};
            columns << QLatin1Char('[') + c.name + u"] "_s +
                           (c.name == column ? type : QString::fromLatin1(types[int(c.type)]));
        }
        run(u"create table "_s + plate + u" ("_s + columns.join(u", "_s) + QLatin1Char(')'));
        row(plate, {{u"主车牌号"_s, plate}, {u"车辆状态"_s, u"1"_s}});
    }
    // Only the 总表 entry, no table: every query of this vehicle fails.
    void listOnly(const QString& plate) {
        run(u"insert into 总表 (车牌号) values ('"_s + store::SqlText(plate) + u"')"_s);
    }
    // Appends a row with the given columns; QDate values are written as dates.
    void row(const QString& plate, const QList<QPair<QString, QVariant>>& values) {
        QStringList columns, literals;
        for (const auto& [column, value] : values) {
            columns << QLatin1Char('[') + column + QLatin1Char(']');
            if (value.typeId() == QMetaType::QDate)
                literals << QLatin1Char('\'') + store::SqlDate(value.toDate()) + QLatin1Char('\'');
            else
                literals << QLatin1Char('\'') + store::SqlText(value.toString()) + QLatin1Char('\'');
        }
        run(u"insert into "_s + plate + u" ("_s + columns.join(QLatin1Char(',')) + u") values ("_s +
            literals.join(QLatin1Char(',')) + QLatin1Char(')'));
    }
    void inspection(const QString& plate, const QDate& main, const QDate& trailer = {}) {
        QList<QPair<QString, QVariant>> v = {{u"审车车号"_s, plate}, {u"下次审车日期"_s, main}};
        if (trailer.isValid())
            v.append({u"下次挂车审车日期"_s, trailer});
        row(plate, v);
    }
    void maintenance(const QString& plate, const QDate& due) {
        row(plate, {{u"二维车号"_s, plate}, {u"下次二维日期"_s, due}});
    }
    void insurance(const QString& plate, const QDate& main, const QDate& trailer = {}) {
        QList<QPair<QString, QVariant>> v = {{u"保险车号"_s, plate}, {u"下次保险日期"_s, main}};
        if (trailer.isValid())
            v.append({u"下次挂车保险日期"_s, trailer});
        row(plate, v);
    }
    void managementFee(const QString& plate, const QDate& due) {
        row(plate, {{u"管理车号"_s, plate}, {u"下次管理费用日期"_s, due}});
    }
    void operatingPermit(const QString& plate, const QDate& due) {
        row(plate, {{u"营运车号"_s, plate}, {u"下次营运证日期"_s, due}});
    }
    void run(const QString& statement) {
        ASSERT_TRUE(db_.ExecuteStatement(statement))
            << statement.toStdString() << ": " << db_.LastError().toStdString();
    }

private:
    store::DatabaseConnection& db_;
};

} // namespace alerts_test
