#include "importfleet.h"

#include "app/mainwindow.h"
#include "archive/recordform.h"
#include "archive/vehicleform.h"
#include "import/importwindow.h"
#include "store/schema.h"
#include "store/session.h"
#include "ui/controls.h"
#include "ui/reportgrid.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace import_test;
using testing_support::DataDirTest;
using testing_support::WhenModal;

namespace {

class ImportWindowTest : public DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        store::SetToday(QDate(2026, 3, 9));
    }
    void start(bool mayAddVehicles = true) {
        w = std::make_unique<app::MainWindow>();
        ASSERT_TRUE(w->initialise([mayAddVehicles](QWidget*) {
            store::Permissions p;
            p.修改车辆信息 = p.增加车辆信息 = p.统计查询 = p.权限设置 = p.费用可见 = true;
            p.增删车辆 = mayAddVehicles;
            store::session().OperatorPermissions = p;
            return true;
        }));
        auto original = w->parts().refreshAlertTree;
        w->parts().refreshAlertTree = [this, original] {
            ++refreshes;
            if (original)
                original();
        };
        dialogs.shown.clear();
    }
    QString file(const QString& name) const { return QDir(dataDir()).filePath(name); }
    int vehicleCount() {
        const int rs = db().OpenRecordSet(u"select count(*) as[数量] from [总表]"_s);
        if (!rs)
            return -1;
        const int n = int(db().ReadField(rs, u"数量"_s).number());
        db().CloseRecordSet(rs);
        return n;
    }
    // Every stored column of a vehicle's first row but its key.
    QHash<QString, QString> firstRow(const QString& plate) {
        QHash<QString, QString> values;
        const int rs = db().OpenRecordSet(u"select * from "_s + plate);
        EXPECT_TRUE(rs) << plate.toStdString();
        if (!rs)
            return values;
        for (const QString& c : db().Columns(rs))
            if (c != u"编号")
                values.insert(c, db().ReadField(rs, c).text());
        db().CloseRecordSet(rs);
        return values;
    }
    QComboBox* fieldCombo(fleetimport::ImportWindow& window, int row) {
        return qobject_cast<QComboBox*>(ui::FindControl<QTableWidget>(&window, u"表格_列对应"_s)->cellWidget(row, 2));
    }
    QPushButton* button(QWidget* window, const char* name) {
        return ui::FindControl<QPushButton>(window, QString::fromUtf8(name));
    }
    // The report grid's column 结果 of every data row.
    QStringList results(fleetimport::ImportWindow& window) {
        QStringList out;
        const report::ReportTable& t = window.reportGrid()->table();
        for (int r = t.headerRows; r < t.rowCount(); ++r)
            out << t.cell(r, 2).text;
        return out;
    }
    void screenshot(QWidget* widget, const char* name) {
        const QByteArray dir = qgetenv("VELMORA_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            widget->grab().save(QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromUtf8(name)));
    }

    std::unique_ptr<app::MainWindow> w;
    int refreshes = 0;
};

// The blank first row of an import is what the emptied form holds, column for column.
TEST_F(ImportWindowTest, BlankVehicleIsTheEmptiedForm) {
    start();
    button(w.get(), "超级按钮_增加车辆")->click();
    const archive::NewVehicle form = archive::ReadNewVehicle(w.get());
    const std::optional<QStringList> kinds = archive::ReadInsuranceKinds(db());
    ASSERT_TRUE(kinds);
    const archive::NewVehicle blank = archive::BlankNewVehicle(store::Today(), kinds->value(0));
    for (const QString& column : archive::FirstRowColumns())
        EXPECT_EQ(blank.values.value(column), form.values.value(column)) << column.toStdString();
    EXPECT_EQ(blank.images, form.images);
}

// A vehicle imported and one saved through the form with the same typed values have the same
// first row.
TEST_F(ImportWindowTest, ImportedVehicleHasTheFormsFirstRow) {
    start();
    button(w.get(), "超级按钮_增加车辆")->click();
    ui::SetControlText(w.get(), u"带标签编辑框_主车牌号"_s, u"鲁A30001"_s);
    ui::SetControlText(w.get(), u"带标签编辑框_档案编号"_s, u"1"_s);
    ui::SetControlText(w.get(), u"带标签编辑框_车主姓名"_s, u"孙七"_s);
    ui::SetControlText(w.get(), u"带标签编辑框_挂车牌号"_s, u"鲁B3000挂"_s);
    ui::SetControlDate(w.get(), u"日期框_下次主车审车"_s, QDate(2026, 7, 1));
    button(w.get(), "超级按钮_保存增加")->click();
    ASSERT_EQ(dialogs.shown.value(dialogs.shown.size() - 1), u"新车辆添加成功！"_s);

    const QString path = file(u"one.csv"_s);
    WriteBytes(path, "车号,档案编号,车主,挂车号,下次审车日期\n鲁A30002,2,孙七,鲁B3000挂,2026-07-01\n");
    fleetimport::ImportWindow window(w.get());
    ASSERT_TRUE(window.loadFile(path));
    dialogs.answers = {ui::Answer::Yes, ui::Answer::Ok};
    window.importCommand();
    ASSERT_EQ(vehicleCount(), 2);

    QHash<QString, QString> saved = firstRow(u"鲁A30001"_s);
    QHash<QString, QString> imported = firstRow(u"鲁A30002"_s);
    ASSERT_EQ(saved.size(), 95);
    for (QHash<QString, QString>* row : {&saved, &imported})
        for (auto it = row->begin(); it != row->end(); ++it)
            if (*it == u"鲁A30001" || *it == u"鲁A30002")
                *it = u"PLATE"_s;
    saved[u"档案编号"_s] = imported[u"档案编号"_s];
    EXPECT_EQ(saved, imported);
}

TEST_F(ImportWindowTest, MenuItemNeedsThePermissionToAddVehicles) {
    start(false);
    EXPECT_FALSE(w->parts().action(u"导入车辆…"_s)->isEnabled());
    w.reset();
    start(true);
    QAction* item = w->parts().action(u"导入车辆…"_s);
    ASSERT_TRUE(item->isEnabled());
    const QString path = file(u"fleet.csv"_s);
    WriteBytes(path, FleetCsvText().toUtf8());
    dialogs.files = {path};
    bool opened = false;
    WhenModal([&](QWidget* dialog) {
        auto* window = qobject_cast<fleetimport::ImportWindow*>(dialog);
        ASSERT_TRUE(window);
        opened = true;
        button(window, "按钮_选择文件")->click();
        EXPECT_EQ(ui::FindControl<QLabel>(window, u"标签_文件格式"_s)->text(), u"格式：csv，编码 UTF-8"_s);
        dialogs.answers = {ui::Answer::Yes, ui::Answer::Ok};
        button(window, "按钮_导入")->click();
        window->reject();
    });
    item->trigger();
    EXPECT_TRUE(opened);
    EXPECT_EQ(vehicleCount(), 3);
    EXPECT_EQ(refreshes, 1); // the alert tree shows the new vehicles
    EXPECT_EQ(store::session().DataModifiedFlag, 1);
}

// ---------------------------------------------------------------------------------------------
// The mapping table: what it matched, what the operator changes, and what the import then does

struct MappingCase {
    const char* name;
    const char* csv;
    QList<std::pair<int, QString>> choices; // row of the mapping table, field ("" 不导入)
    QStringList matched;                    // the fields shown before the choices
    QStringList results;                    // the report's 结果 after 试导入 (empty: refused)
    const char* owner;                      // 车主姓名 of 鲁A40001 after the import
};

class MappingTest : public ImportWindowTest, public ::testing::WithParamInterface<MappingCase> {};

TEST_P(MappingTest, OperatorConfirmsOrChangesTheMatch) {
    const MappingCase& c = GetParam();
    start();
    const QString path = file(u"map.csv"_s);
    WriteBytes(path, QByteArray(c.csv));
    fleetimport::ImportWindow window(w.get());
    dialogs.files = {path};
    button(&window, "按钮_选择文件")->click();
    QStringList matched;
    for (int r = 0; r < ui::FindControl<QTableWidget>(&window, u"表格_列对应"_s)->rowCount(); ++r)
        matched << fieldCombo(window, r)->currentData().toString();
    EXPECT_EQ(matched, c.matched);
    for (const auto& [row, field] : c.choices) {
        QComboBox* combo = fieldCombo(window, row);
        combo->setCurrentIndex(combo->findData(field));
    }
    const QByteArray before = FileChecksum(dbPath());
    dialogs.shown.clear();
    button(&window, "按钮_试导入")->click();
    EXPECT_EQ(FileChecksum(dbPath()), before);
    if (c.results.isEmpty()) {
        EXPECT_TRUE(dialogs.shown.value(0).contains(u"没有主车牌号列"_s)) << dialogs.shown.join(u"|"_s).toStdString();
        EXPECT_TRUE(results(window).isEmpty());
        return;
    }
    EXPECT_EQ(results(window), c.results);
    screenshot(&window, (std::string("import-dryrun-") + c.name + ".png").c_str());
    dialogs.answers = {ui::Answer::Yes, ui::Answer::Ok};
    button(&window, "按钮_导入")->click();
    EXPECT_EQ(dialogs.shown.last(), u"导入完成：已添加 1 辆，拒绝 %1 行。"_s.arg(c.results.size() - 1));
    screenshot(&window, (std::string("import-report-") + c.name + ".png").c_str());
    const std::optional<archive::GroupRow> basic =
        archive::ReadCurrentGroup(db(), archive::VehicleGroup::Basic, u"鲁A40001"_s);
    ASSERT_TRUE(basic && basic->present);
    EXPECT_EQ(basic->text(u"车主姓名"_s, false), QString::fromUtf8(c.owner));

    // 保存报告 writes the report table as the exports do.
    const QString report = file(u"报告.csv"_s);
    dialogs.files = {report};
    button(&window, "按钮_保存报告")->click();
    QFile saved(report);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(saved.readAll());
    EXPECT_TRUE(text.contains(u"行号,主车牌号,结果,原因"_s)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"2,鲁A40001,已添加"_s)) << text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Mappings, MappingTest,
    ::testing::Values(MappingCase{"as_matched",
                                  "车号,车主,档案编号\n鲁A40001,周八,1\n鲁A40001,周九,2\n",
                                  {},
                                  {u"主车牌号"_s, u"车主姓名"_s, u"档案编号"_s},
                                  {u"将添加"_s, u"拒绝"_s},
                                  "周八"},
                      MappingCase{"plate_column_chosen",
                                  "号牌,业主,档案编号\n鲁A40001,吴十,1\n",
                                  {{0, u"主车牌号"_s}, {1, u"车主姓名"_s}},
                                  {QString(), QString(), u"档案编号"_s},
                                  {u"将添加"_s},
                                  "吴十"},
                      MappingCase{"column_left_out",
                                  "车号,车主,档案编号\n鲁A40001,郑一,1\n",
                                  {{1, QString()}},
                                  {u"主车牌号"_s, u"车主姓名"_s, u"档案编号"_s},
                                  {u"将添加"_s},
                                  ""},
                      MappingCase{"owner_moved_to_another_column",
                                  "车号,车主,联系人,档案编号\n鲁A40001,王二,王三,1\n",
                                  {{1, u"车主电话"_s}, {2, u"车主姓名"_s}},
                                  {u"主车牌号"_s, u"车主姓名"_s, QString(), u"档案编号"_s},
                                  {u"将添加"_s},
                                  "王三"},
                      MappingCase{
                          "no_plate_column", "号牌,档案编号\n鲁A40001,1\n", {}, {QString(), u"档案编号"_s}, {}, ""}),
    [](const ::testing::TestParamInfo<MappingCase>& p) { return std::string(p.param.name); });

// Cancel while the rows are written: nothing of the file is kept. The parameter: closing the
// window instead of 取消.
class CancelTest : public ImportWindowTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CancelTest, CancelDuringTheImportKeepsNothing) {
    start();
    QByteArray text = "车号,档案编号\n";
    for (int i = 0; i < 120; ++i)
        text += u"鲁D%1,%2\n"_s.arg(10000 + i).arg(i + 1).toUtf8();
    const QString path = file(u"many.csv"_s);
    WriteBytes(path, text);
    fleetimport::ImportWindow window(w.get());
    ASSERT_TRUE(window.loadFile(path));
    dialogs.answers = {ui::Answer::Yes, ui::Answer::Ok};
    // The click lands while the window answers events between rows.
    QTimer::singleShot(0, &window, [&] {
        EXPECT_TRUE(button(&window, "按钮_取消导入")->isEnabled());
        EXPECT_GT(ui::FindControl<QProgressBar>(&window, u"进度条_导入"_s)->value(), 0);
        screenshot(&window, "import-progress.png");
        EXPECT_FALSE(button(&window, "按钮_关闭")->isEnabled());
        // Esc or the window's close button while rows are written cancels, as 取消 does.
        if (GetParam())
            window.reject();
        else
            button(&window, "按钮_取消导入")->click();
    });
    window.importCommand();
    EXPECT_EQ(dialogs.shown.last(), u"已取消导入，没有添加任何车辆。"_s);
    EXPECT_EQ(vehicleCount(), 0);
    EXPECT_EQ(results(window), QStringList(120, u"未添加"_s));
    EXPECT_FALSE(button(&window, "按钮_取消导入")->isEnabled());
    EXPECT_EQ(refreshes, 0);
}

INSTANTIATE_TEST_SUITE_P(Cancel, CancelTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "Escape" : "CancelButton"; });

// A damaged file is refused with its reason and the window keeps nothing of it.
TEST_F(ImportWindowTest, RefusedFileIsReported) {
    start();
    const QString path = file(u"cut.csv"_s);
    WriteBytes(path, "车号,档案编号\n\"鲁A1,1\n");
    fleetimport::ImportWindow window(w.get());
    EXPECT_FALSE(window.loadFile(path));
    EXPECT_TRUE(dialogs.shown.value(0).contains(u"引号没有结束"_s));
    EXPECT_FALSE(button(&window, "按钮_导入")->isEnabled());
}

} // namespace
