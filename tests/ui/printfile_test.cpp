#include "images/imageprintwindow.h"
#include "report/reporttable.h"
#include "store/schema.h"
#include "ui/reportprint.h"

#include "report/readback.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

// A print whose printer the operator turned into a PDF file ("print to file") writes that file as
// an export does: never over the database, and under its name only once whole.

report::ReportTable table() {
    report::ReportTable t;
    t.title = u"拉黑车辆清单"_s;
    t.headerRows = 1;
    t.setColumnCount(2);
    t.appendRow();
    t.setText(0, 0, u"编号"_s);
    t.setText(0, 1, u"车牌"_s);
    const int r = t.appendRow();
    t.setText(r, 0, u"1"_s);
    t.setText(r, 1, u"鲁A10001"_s);
    return t;
}

QByteArray sha256(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
}

// Which print: 打印 of a report window, the print button of its preview, the image print.
enum class Via { ReportPrint, PreviewPrint, ImagePrint };
struct PrintPath {
    const char* name;
    Via via;
};

const PrintPath kPrints[] = {
    {"ReportPrint", Via::ReportPrint},
    {"PreviewPrint", Via::PreviewPrint},
    {"ImagePrint", Via::ImagePrint},
};

// The file the operator names in the print dialog, made in out beside the database db.
struct PrintTarget {
    const char* name;
    bool refused;
    QString (*make)(const QString& db, const QString& out);
};

const PrintTarget kTargets[] = {
    {"DatabaseItself", true, [](const QString& db, const QString&) { return db; }},
    {"SymlinkToDatabase", true,
     [](const QString& db, const QString& out) {
         QString link = out + u"/printed.pdf"_s;
         QFile::link(db, link);
         return link;
     }},
    {"NewFile", false, [](const QString&, const QString& out) { return out + u"/printed.pdf"_s; }},
};

class PrintFileTest : public testing_support::DataDirTest,
                      public testing::WithParamInterface<std::tuple<PrintPath, PrintTarget>> {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        ASSERT_TRUE(work_.isValid());
        qputenv("VELMORA_WORK_DIR", work_.path().toLocal8Bit()); // the image print's working copy
    }
    void TearDown() override {
        ui::SetPrintDialogHook(nullptr);
        ui::SetPreviewHook(nullptr);
        images::SetPrintDialogHook({});
        qunsetenv("VELMORA_WORK_DIR");
        DataDirTest::TearDown();
    }

    // Prints through the path with the printer aimed at file as the print dialog would leave it.
    // previewPages: what the preview showed before its print button (PreviewPrint only).
    void print(Via via, const QString& file, int* previewPages) {
        auto aim = [&file](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(file);
        };
        switch (via) {
        case Via::ReportPrint:
            ui::SetPrintDialogHook([&](QPrinter& printer, QWidget*) {
                aim(printer);
                return true;
            });
            ui::PrintReport(table());
            break;
        case Via::PreviewPrint:
            // The file is named before the preview paints: painting the preview itself writes
            // nothing, only the print button does.
            ui::SetPreviewHook([&](QPrintPreviewDialog& dialog) {
                aim(*dialog.printer());
                dialog.show();
                QCoreApplication::processEvents();
                auto* preview = dialog.findChild<QPrintPreviewWidget*>();
                *previewPages = preview->pageCount();
                preview->print();
                dialog.close();
            });
            ui::PreviewReport(table());
            break;
        case Via::ImagePrint: {
            images::SetPrintDialogHook([&](QPrinter& printer, QWidget*) {
                aim(printer);
                return true;
            });
            images::ImagePrintWindow window(nullptr);
            window.findChild<QPushButton*>(u"按钮_打印"_s)->click();
            break;
        }
        }
    }

    QTemporaryDir work_;
};

TEST_P(PrintFileTest, RefusesTheDatabaseAndRenamesWholePdfs) {
    const auto& [path, target] = GetParam();
    const QString out = QDir(dataDir()).filePath(u"out"_s);
    ASSERT_TRUE(QDir().mkpath(out));
    const QString file = target.make(dbPath(), out);
    const QStringList outBefore = QDir(out).entryList(QDir::Files | QDir::System);
    const QByteArray before = sha256(dbPath());

    int previewPages = -1;
    print(path.via, file, &previewPages);

    EXPECT_EQ(sha256(dbPath()), before) << "the database changed";
    EXPECT_EQ(QDir(dataDir()).entryList(QDir::Files | QDir::System), QStringList{store::kDatabaseFileName});
    if (path.via == Via::PreviewPrint) {
        EXPECT_EQ(previewPages, 1);
    }
    if (target.refused) {
        ASSERT_EQ(dialogs.shown.size(), 1) << dialogs.shown.join(u" | "_s).toStdString();
        EXPECT_TRUE(dialogs.shown[0].startsWith(u"打印失败！"_s)) << dialogs.shown[0].toStdString();
        EXPECT_TRUE(dialogs.shown[0].contains(u"数据库文件"_s)) << dialogs.shown[0].toStdString();
        EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::System), outBefore);
        return;
    }
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.shown.join(u" | "_s).toStdString();
    EXPECT_TRUE(report_test::run(u"pdfinfo"_s, {file}).contains(u"Pages:"_s));
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::System), QStringList{u"printed.pdf"_s});
}

INSTANTIATE_TEST_SUITE_P(PrintsAndTargets, PrintFileTest,
                         testing::Combine(testing::ValuesIn(kPrints), testing::ValuesIn(kTargets)),
                         [](const testing::TestParamInfo<PrintFileTest::ParamType>& p) {
                             return std::string(std::get<0>(p.param).name) + "_" + std::get<1>(p.param).name;
                         });

} // namespace
