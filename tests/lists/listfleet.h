#pragma once

#include "alerts/fleet.h"
#include "alerts/rules.h"
#include "lists/listbuild.h"
#include "report/exports.h"
#include "store/session.h"
#include "support/testsupport.h"

#include <QJsonArray>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace lists_test {

// A test database of vehicles written the way the record commands write them, with the reference
// month May 2026 (today 2026-05-12).
class ListTest : public testing_support::DataDirTest {
protected:
    std::unique_ptr<alerts_test::Fleet> fleet;
    const QDate month{2026, 5, 1};

    void SetUp() override {
        DataDirTest::SetUp();
        store::SetToday(QDate(2026, 5, 12));
        fleet = std::make_unique<alerts_test::Fleet>(db());
    }

    // A vehicle in service with its archive row.
    void vehicle(const QString& plate, const QString& archive, const QString& owner = {}, const QString& phone = {}) {
        fleet->listOnly(plate);
        fleet->run(u"select * into "_s + plate + u" from yangbiao"_s);
        basicRow(plate, archive, owner, phone);
    }
    void basicRow(const QString& plate, const QString& archive, const QString& owner = {}, const QString& phone = {}) {
        fleet->row(plate, {{u"主车牌号"_s, plate},
                           {u"车辆状态"_s, u"1"_s},
                           {u"档案编号"_s, archive},
                           {u"车主姓名"_s, owner.isEmpty() ? u"车主"_s + archive : owner},
                           {u"车主电话"_s, phone.isEmpty() ? u"1380000"_s + archive : phone}});
    }

    alerts::AlertSetList refresh() { return alerts::ComputeAlerts(db(), month).sets; }

    lists::ListBuild build(const QString& title, lists::ReadMode mode = lists::ReadMode::OneQueryPerTable) {
        const std::optional<int> list = lists::FindList(title);
        EXPECT_TRUE(list.has_value()) << title.toStdString();
        return lists::BuildList(db(), list.value_or(0), refresh(), month, mode);
    }

    static QStringList rowTexts(const report::ReportTable& t, int row) {
        QStringList out;
        for (int c = 0; c < t.columnCount(); ++c)
            out << t.cell(row, c).displayText();
        return out;
    }
};

} // namespace lists_test
