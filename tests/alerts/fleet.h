#pragma once

#include "store/database.h"
#include "store/schema.h"
#include "store/sqltext.h"

#include <QDate>
#include <QPair>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace alerts_test {

// Builds vehicle tables the way the program does: a row in 总表, a copy of yangbiao, then one
// row per recorded period.
class Fleet {
public:
    explicit Fleet(store::DatabaseConnection& db) : db_(db) {}

    // Lists the plate in 总表 and creates its table with a basic row carrying the status
    // (a null status when status is a null QString).
    void vehicle(const QString& plate, const QString& status = QStringLiteral("1"))
    {
        listOnly(plate);
        run(QStringLiteral("select * into ") + plate + QStringLiteral(" from yangbiao"));
        if (status.isNull())
            row(plate, {{QStringLiteral("主车牌号"), plate}});
        else
            row(plate, {{QStringLiteral("主车牌号"), plate}, {QStringLiteral("车辆状态"), status}});
    }
    // A vehicle whose table was made without one of the template's columns: exactly the
    // queries that name that column fail.
    void vehicleWithout(const QString& plate, const QString& missingColumn, const QString& status = QStringLiteral("1"))
    {
        listOnly(plate);
        QStringList columns;
        for (const store::ColumnDef& c : store::VehicleColumns()) {
            if (c.name == missingColumn)
                continue;
            static const char* const types[] = {"integer primary key autoincrement", "text", "date", "yesno default 0",
                                                "blob"};
            columns << QLatin1Char('[') + c.name + QStringLiteral("] ") + QString::fromLatin1(types[int(c.type)]);
        }
        run(QStringLiteral("create table ") + plate + QStringLiteral(" (") + columns.join(QStringLiteral(", ")) +
            QLatin1Char(')'));
        if (missingColumn != QStringLiteral("车辆状态"))
            row(plate, {{QStringLiteral("主车牌号"), plate}, {QStringLiteral("车辆状态"), status}});
    }
    // Only the 总表 entry, no table: every query of this vehicle fails.
    void listOnly(const QString& plate)
    {
        run(QStringLiteral("insert into 总表 (车牌号) values ('") + store::SqlText(plate) + QStringLiteral("')"));
    }
    // Appends a row with the given columns; QDate values are written as dates.
    void row(const QString& plate, const QList<QPair<QString, QVariant>>& values)
    {
        QStringList columns, literals;
        for (const auto& [column, value] : values) {
            columns << QLatin1Char('[') + column + QLatin1Char(']');
            if (value.typeId() == QMetaType::QDate)
                literals << QLatin1Char('\'') + store::SqlDate(value.toDate()) + QLatin1Char('\'');
            else
                literals << QLatin1Char('\'') + store::SqlText(value.toString()) + QLatin1Char('\'');
        }
        run(QStringLiteral("insert into ") + plate + QStringLiteral(" (") + columns.join(QLatin1Char(',')) +
            QStringLiteral(") values (") + literals.join(QLatin1Char(',')) + QLatin1Char(')'));
    }
    void inspection(const QString& plate, const QDate& main, const QDate& trailer = {})
    {
        QList<QPair<QString, QVariant>> v = {{QStringLiteral("审车车号"), plate},
                                             {QStringLiteral("下次审车日期"), main}};
        if (trailer.isValid())
            v.append({QStringLiteral("下次挂车审车日期"), trailer});
        row(plate, v);
    }
    void maintenance(const QString& plate, const QDate& due)
    {
        row(plate, {{QStringLiteral("二维车号"), plate}, {QStringLiteral("下次二维日期"), due}});
    }
    void insurance(const QString& plate, const QDate& main, const QDate& trailer = {})
    {
        QList<QPair<QString, QVariant>> v = {{QStringLiteral("保险车号"), plate},
                                             {QStringLiteral("下次保险日期"), main}};
        if (trailer.isValid())
            v.append({QStringLiteral("下次挂车保险日期"), trailer});
        row(plate, v);
    }
    void managementFee(const QString& plate, const QDate& due)
    {
        row(plate, {{QStringLiteral("管理车号"), plate}, {QStringLiteral("下次管理费用日期"), due}});
    }
    void operatingPermit(const QString& plate, const QDate& due)
    {
        row(plate, {{QStringLiteral("营运车号"), plate}, {QStringLiteral("下次营运证日期"), due}});
    }
    void run(const QString& statement)
    {
        ASSERT_TRUE(db_.ExecuteStatement(statement))
            << statement.toStdString() << ": " << db_.LastError().toStdString();
    }

private:
    store::DatabaseConnection& db_;
};

}  // namespace alerts_test
