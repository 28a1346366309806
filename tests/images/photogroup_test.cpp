#include "app/mainwindow.h"
#include "images/documents.h"
#include "images/imageprintwindow.h"
#include "images/scannerwindow.h"
#include "sanetestdevice.h"
#include "store/session.h"
#include "support/testsupport.h"
#include "ui/controls.h"
#include "ui/mainparts.h"
#include "ui/widgets.h"

#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPrinter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

using images::Document;
using testing_support::DataDirTest;
using testing_support::WhenModal;
using namespace Qt::StringLiterals;

namespace {

QByteArray png(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

struct PdfImage {
    int width = 0;
    int height = 0;
};

// The images drawn on the pages of a PDF file, as pdfimages -list reports them.
QList<PdfImage> pdfImages(const QString& pdf) {
    QProcess p;
    p.start(u"pdfimages"_s, {u"-list"_s, pdf});
    EXPECT_TRUE(p.waitForFinished(30000)) << "pdfimages (poppler-utils) did not run";
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QList<PdfImage> images;
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n');
    for (const QString& line : lines.mid(2)) {
        const QStringList f = line.simplified().split(u' ');
        if (f.size() > 4 && f.at(2) == u"image"_s)
            images.append({f.at(3).toInt(), f.at(4).toInt()});
    }
    return images;
}

int pdfPages(const QString& pdf) {
    QProcess p;
    p.start(u"pdfinfo"_s, {pdf});
    EXPECT_TRUE(p.waitForFinished(30000));
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n'))
        if (line.startsWith(u"Pages:"_s))
            return line.mid(6).trimmed().toInt();
    return -1;
}

// Saves a picture of a widget when VELMORA_SCREENSHOT_DIR names a folder.
void screenshot(QWidget* w, const QString& name) {
    const QString dir = qEnvironmentVariable("VELMORA_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        w->grab().save(QDir(dir).filePath(name));
}

class PhotoGroupTest : public DataDirTest {
protected:
    void SetUp() override {
        DataDirTest::SetUp();
        ASSERT_TRUE(work_.isValid());
        qputenv("VELMORA_WORK_DIR", work_.path().toLocal8Bit());
        images::ClearScanTarget();
        pdf = QDir(work_.path()).filePath(u"out.pdf"_s);
        images::SetPrintDialogHook([this](QPrinter& printer, QWidget*) {
            ++printDialogs;
            if (!printAnswer)
                return false;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        });
        w = std::make_unique<app::MainWindow>();
        ASSERT_TRUE(w->initialise([](QWidget*) {
            store::Permissions p;
            p.增删车辆 = p.修改车辆信息 = p.增加车辆信息 = p.费用可见 = p.统计查询 = p.权限设置 = true;
            store::session().OperatorPermissions = p;
            return true;
        }));
        dialogs.shown.clear();
    }
    void TearDown() override {
        w.reset();
        images::SetPrintDialogHook({});
        qunsetenv("VELMORA_WORK_DIR");
        DataDirTest::TearDown();
    }

    QPushButton* button(const QString& name) { return w->findChild<QPushButton*>(name); }
    ui::PictureBox* box(Document d) { return w->findChild<ui::PictureBox*>(images::ControlsOf(d).pictureBox); }
    QByteArray boxBytes(Document d) { return ui::ControlImage(w.get(), images::ControlsOf(d).pictureBox); }
    QString file(const QString& name) { return QDir(work_.path()).filePath(name); }

    // Imports bytes into a document's box through its import button.
    void importBytes(Document d, const QByteArray& bytes, const QString& name = u"in.bin"_s) {
        const QString path = file(name);
        writeAll(path, bytes);
        dialogs.files.push_back(path);
        button(images::ControlsOf(d).importButton)->click();
    }

    // Opens ImagePrintWindow for a document, and runs script in it before closing it.
    void enlarge(Document d, const std::function<void(images::ImagePrintWindow*)>& script) {
        bool ran = false;
        WhenModal([&](QWidget* modal) {
            auto* window = qobject_cast<images::ImagePrintWindow*>(modal);
            if (window) {
                ran = true;
                script(window);
            }
            modal->close();
        });
        button(images::ControlsOf(d).enlargeButton)->click();
        EXPECT_TRUE(ran);
    }

    // Prints the document at a scale and returns the images of the PDF.
    QList<PdfImage> printAt(Document d, const QString& scale) {
        QFile::remove(pdf);
        enlarge(d, [&](images::ImagePrintWindow* window) {
            window->findChild<QLineEdit*>(u"编辑框_打印比例"_s)->setText(scale);
            window->findChild<QPushButton*>(u"按钮_打印"_s)->click();
        });
        EXPECT_TRUE(QFile::exists(pdf));
        EXPECT_EQ(pdfPages(pdf), 1);
        const QString keep = qEnvironmentVariable("VELMORA_SCREENSHOT_DIR");
        if (!keep.isEmpty()) {
            const QString copy = QDir(keep).filePath(u"imageprint-"_s + QString(scale).remove(u' ') + u".pdf"_s);
            QFile::remove(copy);
            QFile::copy(pdf, copy);
        }
        return pdfImages(pdf);
    }

    // Opens ScannerWindow through a scan button; script runs once the devices are listed.
    void scan(Document d, const std::function<void(images::ScannerWindow*)>& script) {
        bool ran = false;
        WhenModal([&](QWidget* modal) {
            auto* window = qobject_cast<images::ScannerWindow*>(modal);
            if (window) {
                ran = true;
                EXPECT_TRUE(QTest::qWaitFor([window] { return window->devicesListed(); }, 30000));
                script(window);
            }
            if (modal->isVisible())
                modal->close();
        });
        button(images::ControlsOf(d).scanButton)->click();
        EXPECT_TRUE(ran);
    }

    // One acquisition in an open ScannerWindow.
    static void acquire(images::ScannerWindow* window, const QList<images::ScanOption>& options) {
        window->setExtraOptions(options);
        QSignalSpy ended(window, &images::ScannerWindow::scanEnded);
        window->findChild<QPushButton*>(u"获取图象按钮"_s)->click();
        // Says which half failed when no end comes: the window refused to start the scan (its
        // cancel button is enabled from the click until the end is delivered), or it never ended.
        EXPECT_TRUE(window->findChild<QPushButton*>(u"按钮_取消扫描"_s)->isEnabled())
            << "the scan did not start (" << window->findChild<QComboBox*>(u"来源列表"_s)->count() << " devices)";
        EXPECT_TRUE(ended.wait(30000)) << "the scan did not end";
    }
    static void save(images::ScannerWindow* window) { window->findChild<QPushButton*>(u"保存"_s)->click(); }

    images_test::SaneTestDevice sane;
    QTemporaryDir work_;
    QString pdf;
    bool printAnswer = true;
    int printDialogs = 0;
    std::unique_ptr<app::MainWindow> w;
};

QList<images::ScanOption> picture(const QString& name) {
    return {{u"mode"_s, u"Color"_s}, {u"depth"_s, 8}, {u"test-picture"_s, name}};
}

QList<images::ScanOption> slowPicture() {
    // The test device pauses after each 64 KiB it passes on: at 200 dpi about 23 pauses of 0.2 s.
    return picture(u"Solid white"_s) + QList<images::ScanOption>{{u"resolution"_s, 200.0},
                                                                 {u"read-delay"_s, true},
                                                                 {u"read-delay-duration"_s, 200000}};
}

// Every read fails as a jammed feeder would. The device's reader pauses after its first bytes, so
// the cancel that ends the failed acquisition finds it waiting rather than freeing its buffer
// (the test backend stops its reader with an asynchronous thread cancel).
QList<images::ScanOption> jammedPicture() {
    return picture(u"Solid white"_s) + QList<images::ScanOption>{{u"read-return-value"_s, u"SANE_STATUS_JAMMED"_s},
                                                                 {u"read-delay"_s, true},
                                                                 {u"read-delay-duration"_s, 200000}};
}

const QStringList kDocumentButtons = {u"超级按钮_扫描身份证"_s,  u"超级按钮_扫描车辆1"_s,   u"超级按钮_扫描车辆2"_s,
                                      u"超级按钮_扫描行车证1"_s, u"超级按钮_扫描行车证2"_s, u"超级按钮_导入身份证"_s,
                                      u"超级按钮_导入车辆"_s,    u"超级按钮_导入车辆1"_s,   u"超级按钮_导入行车证"_s,
                                      u"超级按钮_导入行车证1"_s};

} // namespace

// ---------------------------------------------------------------------------------------------
// The photo group

TEST_F(PhotoGroupTest, TwentyButtonsFitTheGroupOnA1366By768Screen) {
    w->resize(1366, 768 - 40);
    w->show();
    QCoreApplication::processEvents();
    QGroupBox* group = w->parts().photoGroup;
    QList<QPushButton*> all;
    for (const images::DocumentControls& doc : images::Documents())
        for (const QString& name : {doc.importButton, doc.exportButton, doc.enlargeButton, doc.scanButton}) {
            QPushButton* b = button(name);
            ASSERT_TRUE(b) << name.toStdString();
            EXPECT_EQ(b->parentWidget(), group);
            all << b;
        }
    ASSERT_EQ(all.size(), 20);
    EXPECT_EQ(button(u"超级按钮_导出车辆1"_s)->text(), u"导出"_s);
    EXPECT_EQ(button(u"超级按钮_放大行车证"_s)->text(), u"放大"_s);
    EXPECT_EQ(button(u"超级按钮_扫描车辆2"_s)->text(), u"扫描"_s);
    EXPECT_EQ(button(u"超级按钮_导入身份证"_s)->text(), u"导入"_s);

    const QRect inside = group->contentsRect();
    for (int i = 0; i < all.size(); ++i) {
        QPushButton* b = all.at(i);
        SCOPED_TRACE(b->objectName().toStdString());
        EXPECT_TRUE(b->isVisible());
        EXPECT_TRUE(inside.contains(b->geometry())) << b->geometry().x() << "," << b->geometry().y();
        EXPECT_GE(b->width(), b->fontMetrics().horizontalAdvance(b->text()) + 4);
        EXPECT_GE(b->height(), 20);
        for (int j = i + 1; j < all.size(); ++j)
            EXPECT_FALSE(b->geometry().intersects(all.at(j)->geometry())) << all.at(j)->objectName().toStdString();
    }
    // Each row of buttons sits under its own picture box, and the boxes keep a usable size.
    for (const images::DocumentControls& doc : images::Documents()) {
        ui::PictureBox* pictureBox = box(doc.document);
        EXPECT_GE(pictureBox->height(), 40) << doc.pictureBox.toStdString();
        EXPECT_GE(button(doc.importButton)->y(), pictureBox->geometry().bottom());
    }
    EXPECT_LE(group->geometry().bottom(), w->centralWidget()->height());
    screenshot(w.get(), u"photogroup.png"_s);
}

TEST_F(PhotoGroupTest, ImportAndScanButtonsFollowThePageAndTheShownVehicle) {
    auto enabled = [this] {
        int n = 0;
        for (const QString& name : kDocumentButtons)
            n += button(name)->isEnabled();
        return n;
    };
    w->parts().tabs->setCurrentIndex(1);
    EXPECT_EQ(enabled(), 10); // no vehicle shown

    button(u"超级按钮_增加车辆"_s)->click();
    ui::SetControlText(w.get(), u"带标签编辑框_主车牌号"_s, u"鲁A10001"_s);
    ui::SetControlText(w.get(), u"带标签编辑框_档案编号"_s, u"1"_s);
    button(u"超级按钮_保存增加"_s)->click();
    w->parts().loadVehicle(u"鲁A10001"_s);
    w->parts().tabs->setCurrentIndex(0);
    w->parts().tabs->setCurrentIndex(2);
    EXPECT_EQ(enabled(), 0);
    EXPECT_TRUE(button(u"超级按钮_导出身份证"_s)->isEnabled());
    EXPECT_TRUE(button(u"超级按钮_放大行车证1"_s)->isEnabled());
    w->parts().tabs->setCurrentIndex(0);
    EXPECT_EQ(enabled(), 10);
}

TEST_F(PhotoGroupTest, ANonPictureIsImportedSavedAndReadBackByteForByte) {
    static const char raw[] = "PK\x03\x04 not a picture at all \x00\x01\x02\xff";
    QByteArray junk(raw, sizeof raw); // the terminating NUL byte included
    junk.append(QByteArray(3000, '\x7f'));
    button(u"超级按钮_增加车辆"_s)->click();
    ui::SetControlText(w.get(), u"带标签编辑框_主车牌号"_s, u"鲁A20002"_s);
    ui::SetControlText(w.get(), u"带标签编辑框_档案编号"_s, u"2"_s);
    importBytes(Document::Licence2, junk);
    EXPECT_EQ(boxBytes(Document::Licence2), junk);
    EXPECT_EQ(box(Document::Licence2)->text(), u"无法显示的图片"_s);
    const QByteArray photo = png({40, 30}, Qt::red);
    importBytes(Document::VehiclePhoto1, photo, u"photo.png"_s);
    EXPECT_TRUE(box(Document::VehiclePhoto1)->text().isEmpty());
    button(u"超级按钮_保存增加"_s)->click();
    ASSERT_EQ(dialogs.shown.value(dialogs.shown.size() - 1), u"新车辆添加成功！"_s)
        << dialogs.shown.join(u"|"_s).toStdString();

    const int rs =
        db().OpenRecordSet(u"select [行车证信息2],[车辆照片信息] from 鲁A20002 where 档案编号 is not null"_s);
    ASSERT_NE(rs, 0) << db().LastError().toStdString();
    db().MoveLast(rs);
    EXPECT_EQ(db().ReadField(rs, u"行车证信息2"_s).bytes(), junk);
    EXPECT_EQ(db().ReadField(rs, u"车辆照片信息"_s).bytes(), photo);
    db().CloseRecordSet(rs);

    ui::SetControlImage(w.get(), images::ControlsOf(Document::Licence2).pictureBox, {});
    w->parts().loadVehicle(u"鲁A20002"_s);
    EXPECT_EQ(boxBytes(Document::Licence2), junk);
    EXPECT_EQ(boxBytes(Document::VehiclePhoto1), photo);
}

TEST_F(PhotoGroupTest, ExportWritesTheBoxBytesAndAnEmptyBoxAnEmptyFile) {
    const QString target = file(u"exported.jpg"_s);
    writeAll(target, "an older file");
    dialogs.files.push_back(target);
    button(u"超级按钮_导出身份证"_s)->click();
    EXPECT_TRUE(QFile::exists(target));
    EXPECT_EQ(QFileInfo(target).size(), 0);

    const QByteArray photo = png({30, 20}, Qt::green);
    importBytes(Document::Licence1, photo);
    const QString named = file(u"licence"_s); // no extension: the default one is added
    dialogs.files.push_back(named);
    button(u"超级按钮_导出行车证"_s)->click();
    EXPECT_EQ(readAll(named + u".jpg"_s), photo);
    EXPECT_TRUE(dialogs.shown.isEmpty());

    // A folder that cannot be written is reported, and the box keeps its image.
    dialogs.files.push_back(file(u"missing/folder/x.jpg"_s));
    button(u"超级按钮_导出行车证"_s)->click();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown.first().startsWith(u"导出图片失败！\n输出目录不存在"_s))
        << dialogs.shown.first().toStdString();
    EXPECT_EQ(boxBytes(Document::Licence1), photo);
}

TEST_F(PhotoGroupTest, CancellingEitherDialogChangesNothing) {
    const QByteArray photo = png({30, 20}, Qt::blue);
    importBytes(Document::VehiclePhoto2, photo);
    const QStringList before = QDir(work_.path()).entryList(QDir::Files | QDir::NoDotAndDotDot);

    dialogs.files.push_back(std::nullopt);
    button(u"超级按钮_导入车辆1"_s)->click();
    EXPECT_EQ(boxBytes(Document::VehiclePhoto2), photo);
    dialogs.files.push_back(std::nullopt);
    button(u"超级按钮_导出车辆1"_s)->click();
    EXPECT_EQ(QDir(work_.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), before);
    EXPECT_EQ(boxBytes(Document::VehiclePhoto2), photo);

    // An unreadable file keeps the box's image instead of emptying it.
    dialogs.files.push_back(file(u"no-such-file.jpg"_s));
    button(u"超级按钮_导入车辆1"_s)->click();
    EXPECT_EQ(boxBytes(Document::VehiclePhoto2), photo);
    EXPECT_EQ(dialogs.shown, QStringList{u"读取图片文件失败！"_s});
}

TEST_F(PhotoGroupTest, TheClickedBoxIsMarkedAndTheOtherFourPlain) {
    w->show();
    auto styles = [this] {
        QList<int> s;
        for (const images::DocumentControls& doc : images::Documents())
            s << box(doc.document)->property("borderStyle").toInt();
        return s;
    };
    EXPECT_EQ(styles(), (QList<int>{1, 1, 1, 1, 1}));
    QTest::mouseClick(box(Document::VehiclePhoto2), Qt::LeftButton);
    EXPECT_EQ(styles(), (QList<int>{1, 1, 4, 1, 1}));
    QTest::mouseClick(box(Document::IdentityCard), Qt::RightButton);
    EXPECT_EQ(styles(), (QList<int>{1, 1, 4, 1, 1}));
    QTest::mouseClick(box(Document::Licence2), Qt::LeftButton);
    EXPECT_EQ(styles(), (QList<int>{1, 1, 1, 1, 4}));
    // The mark shows: the marked box is drawn differently from a plain one.
    const QImage marked = box(Document::Licence2)->grab().toImage();
    const QImage plain = box(Document::Licence1)->grab().toImage();
    EXPECT_NE(marked.pixel(1, 1), plain.pixel(1, 1));
}

// ---------------------------------------------------------------------------------------------
// ImagePrintWindow and the image print

TEST_F(PhotoGroupTest, EnlargingAfterAnImportShowsAndPrintsTheNewImage) {
    const QByteArray old = png({20, 20}, Qt::red);
    const QByteArray fresh = png({101, 61}, Qt::blue);
    store::session().DocumentImageCopies = {{}, {}, old, {}, {}};
    importBytes(Document::VehiclePhoto2, fresh);
    QFile::remove(pdf);
    enlarge(Document::VehiclePhoto2, [&](images::ImagePrintWindow* window) {
        EXPECT_EQ(window->parentWidget(), nullptr);
        EXPECT_EQ(window->size(), QSize(400, 640));
        EXPECT_EQ(store::session().EnlargeTarget, 3);
        EXPECT_EQ(ui::ControlImage(window, u"图片框放大"_s), fresh);
        EXPECT_EQ(store::session().DocumentImageCopies.value(2), fresh);
        EXPECT_EQ(window->findChild<QLineEdit*>(u"编辑框_打印比例"_s)->text(), u"1"_s);
        EXPECT_EQ(window->findChild<QLabel*>(u"标签_打印比例"_s)->text(), u"打印比例     倍"_s);
        window->show();
        QCoreApplication::processEvents();
        screenshot(window, u"imageprintwindow.png"_s);
        window->findChild<QPushButton*>(u"按钮_打印"_s)->click();
    });
    EXPECT_EQ(store::session().EnlargeTarget, 0);
    const QList<PdfImage> drawn = pdfImages(pdf);
    ASSERT_EQ(drawn.size(), 1);
    EXPECT_EQ(drawn.at(0).width, 101);
    EXPECT_EQ(drawn.at(0).height, 61);
    EXPECT_EQ(readAll(images::WorkingFile(images::kPrintFileName)), fresh);
}

TEST_F(PhotoGroupTest, TheScaleMultipliesBothSidesAndTruncates) {
    importBytes(Document::IdentityCard, png({101, 61}, Qt::blue));
    struct Case {
        QString scale;
        int width, height;
    };
    for (const Case& c :
         {Case{u"1"_s, 101, 61}, Case{u"0.5"_s, 50, 30}, Case{u"1.5"_s, 151, 91}, Case{u" 2倍"_s, 202, 122}}) {
        SCOPED_TRACE(c.scale.toStdString());
        const QList<PdfImage> drawn = printAt(Document::IdentityCard, c.scale);
        ASSERT_EQ(drawn.size(), 1);
        EXPECT_EQ(drawn.at(0).width, c.width);
        EXPECT_EQ(drawn.at(0).height, c.height);
    }
    // No number, no text, zero: the job still runs and its page stays blank.
    for (const QString& scale : {u"abc"_s, QString(), u"0"_s, u"-1"_s}) {
        SCOPED_TRACE(scale.toStdString());
        EXPECT_TRUE(printAt(Document::IdentityCard, scale).isEmpty());
    }
    // An empty box prints an empty page.
    EXPECT_TRUE(printAt(Document::Licence1, u"1"_s).isEmpty());
}

TEST_F(PhotoGroupTest, ThePictureIsDrawnTenDevicePixelsFromTheCorner) {
    importBytes(Document::IdentityCard, png({101, 61}, Qt::blue));
    printAt(Document::IdentityCard, u"1"_s);
    QPrinter reference;
    reference.setOutputFormat(QPrinter::PdfFormat);
    const QRect page = reference.pageRect(QPrinter::DevicePixel).toRect();
    QProcess render;
    const QString prefix = file(u"page"_s);
    render.start(u"pdftoppm"_s,
                 {u"-r"_s, QString::number(reference.resolution()), u"-png"_s, u"-singlefile"_s, pdf, prefix});
    ASSERT_TRUE(render.waitForFinished(30000));
    const QImage rendered(prefix + u".png"_s);
    ASSERT_FALSE(rendered.isNull());
    QRect ink;
    for (int y = 0; y < rendered.height(); ++y)
        for (int x = 0; x < rendered.width(); ++x)
            if (qBlue(rendered.pixel(x, y)) > 200 && qRed(rendered.pixel(x, y)) < 60)
                ink |= QRect(x, y, 1, 1);
    EXPECT_NEAR(ink.left(), page.left() + 10, 1);
    EXPECT_NEAR(ink.top(), page.top() + 10, 1);
    EXPECT_NEAR(ink.width(), 101, 1);
    EXPECT_NEAR(ink.height(), 61, 1);
}

TEST_F(PhotoGroupTest, PrintingTwiceOverwritesTheWorkingFile) {
    const QByteArray first = png({30, 30}, Qt::red);
    const QByteArray second = png({50, 20}, Qt::green);
    importBytes(Document::Licence1, first);
    enlarge(Document::Licence1, [&](images::ImagePrintWindow* window) {
        window->findChild<QPushButton*>(u"按钮_打印"_s)->click();
        EXPECT_EQ(readAll(images::WorkingFile(images::kPrintFileName)), first);
        // The operator changes the box behind the window: the window prints what it showed.
        importBytes(Document::Licence1, second);
        window->findChild<QPushButton*>(u"按钮_打印"_s)->click();
        EXPECT_EQ(readAll(images::WorkingFile(images::kPrintFileName)), first);
    });
    enlarge(Document::Licence1,
            [&](images::ImagePrintWindow* window) { window->findChild<QPushButton*>(u"按钮_打印"_s)->click(); });
    EXPECT_EQ(readAll(images::WorkingFile(images::kPrintFileName)), second);
    EXPECT_EQ(pdfImages(pdf).value(0).width, 50);

    // Cancelling the print dialog prints nothing.
    QFile::remove(pdf);
    printAnswer = false;
    enlarge(Document::Licence1,
            [&](images::ImagePrintWindow* window) { window->findChild<QPushButton*>(u"按钮_打印"_s)->click(); });
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_EQ(printDialogs, 4);
}

// ---------------------------------------------------------------------------------------------
// ScannerWindow

TEST_F(PhotoGroupTest, EachScanButtonFillsItsOwnBoxWithJpegBytes) {
    QList<Document> filled;
    for (const images::DocumentControls& doc : images::Documents()) {
        SCOPED_TRACE(doc.scanButton.toStdString());
        scan(doc.document, [&](images::ScannerWindow* window) {
            auto* sources = window->findChild<QComboBox*>(u"来源列表"_s);
            EXPECT_EQ(sources->count(), 2);
            EXPECT_EQ(sources->itemText(0), u"frontend-tester Noname"_s);
            acquire(window, picture(u"Color pattern"_s));
            save(window);
            EXPECT_FALSE(window->isVisible());
        });
        filled << doc.document;
        for (const images::DocumentControls& other : images::Documents()) {
            const QByteArray bytes = boxBytes(other.document);
            if (filled.contains(other.document)) {
                EXPECT_TRUE(bytes.startsWith("\xFF\xD8")) << other.pictureBox.toStdString();
                EXPECT_EQ(QImage::fromData(bytes).size(), QSize(157, 196));
            } else {
                EXPECT_TRUE(bytes.isEmpty()) << other.pictureBox.toStdString();
            }
        }
        Document target;
        EXPECT_FALSE(images::ScanTarget(&target));
    }
    w->resize(1366, 768 - 40);
    w->show();
    QTest::mouseClick(box(Document::Licence1), Qt::LeftButton);
    QCoreApplication::processEvents();
    screenshot(w->parts().photoGroup, u"photogroup-scanned.png"_s);
}

TEST_F(PhotoGroupTest, TheSecondOfTwoAcquisitionsIsStoredAsJpegNeverTheBitmap) {
    scan(Document::IdentityCard, [&](images::ScannerWindow* window) {
        EXPECT_EQ(window->windowTitle(), u"扫描仪"_s);
        EXPECT_EQ(window->size(), QSize(406, 655));
        acquire(window, picture(u"Solid black"_s));
        EXPECT_TRUE(readAll(images::WorkingFile(images::kScanBitmapName)).startsWith("BM"));
        acquire(window, picture(u"Color pattern"_s));
        EXPECT_EQ(window->acquiredImage().size(), QSize(157, 196));
        screenshot(window, u"scannerwindow.png"_s);
        save(window);
    });
    const QByteArray stored = boxBytes(Document::IdentityCard);
    ASSERT_TRUE(stored.startsWith("\xFF\xD8"));
    EXPECT_EQ(stored, readAll(images::WorkingFile(images::kScanJpegName)));
    EXPECT_NE(stored, readAll(images::WorkingFile(images::kScanBitmapName)));
    const QImage image = QImage::fromData(stored);
    ASSERT_EQ(image.size(), QSize(157, 196));
    // The colour picture, not the black one: a red bar shows on row 8 of the picture.
    int reddish = 0;
    for (int y = 0; y < image.height(); ++y)
        reddish += qRed(image.pixel(80, y)) > 180 && qGreen(image.pixel(80, y)) < 80;
    EXPECT_GT(reddish, 10);
}

TEST_F(PhotoGroupTest, SaveWithoutAnAcquisitionAndClosingChangeNothing) {
    const QByteArray photo = png({10, 10}, Qt::red);
    importBytes(Document::Licence1, photo);
    // Working files of an earlier scan are still on disk.
    QImage earlier(20, 20, QImage::Format_RGB32);
    earlier.fill(Qt::yellow);
    earlier.save(images::WorkingFile(images::kScanBitmapName), "BMP");
    earlier.save(images::WorkingFile(images::kScanJpegName), "JPEG");
    scan(Document::Licence1, [&](images::ScannerWindow* window) {
        save(window);
        EXPECT_TRUE(window->isVisible());
    });
    EXPECT_EQ(boxBytes(Document::Licence1), photo);

    scan(Document::Licence1, [&](images::ScannerWindow* window) { acquire(window, picture(u"Solid white"_s)); });
    EXPECT_EQ(boxBytes(Document::Licence1), photo); // closed without 保存
}

TEST_F(PhotoGroupTest, CancelAndClosingDuringAScanLeaveTheBoxUnchanged) {
    scan(Document::VehiclePhoto1, [&](images::ScannerWindow* window) {
        window->setExtraOptions(slowPicture());
        QSignalSpy ended(window, &images::ScannerWindow::scanEnded);
        window->findChild<QPushButton*>(u"获取图象按钮"_s)->click();
        EXPECT_TRUE(window->scanning());
        EXPECT_FALSE(window->findChild<QPushButton*>(u"获取图象按钮"_s)->isEnabled());
        EXPECT_TRUE(QTest::qWaitFor([window] { return window->findChild<QProgressBar*>()->value() > 0; }, 10000));
        EXPECT_TRUE(window->findChild<QPushButton*>(u"按钮_取消扫描"_s)->isEnabled());
        screenshot(window, u"scannerwindow-scanning.png"_s);
        window->findChild<QPushButton*>(u"按钮_取消扫描"_s)->click();
        EXPECT_TRUE(ended.wait(10000));
        EXPECT_TRUE(window->acquiredImage().isNull());
        EXPECT_TRUE(window->findChild<QPushButton*>(u"获取图象按钮"_s)->isEnabled());
        save(window);
    });
    EXPECT_TRUE(boxBytes(Document::VehiclePhoto1).isEmpty());

    QElapsedTimer clock;
    scan(Document::VehiclePhoto1, [&](images::ScannerWindow* window) {
        window->setExtraOptions(slowPicture());
        window->findChild<QPushButton*>(u"获取图象按钮"_s)->click();
        EXPECT_TRUE(QTest::qWaitFor([window] { return window->findChild<QProgressBar*>()->value() > 0; }, 10000));
        clock.start();
    });
    EXPECT_LT(clock.elapsed(), 3000); // the whole scan would take about 4.6 s
    EXPECT_TRUE(boxBytes(Document::VehiclePhoto1).isEmpty());
    dialogs.shown.clear();

    // The device is free again for the next window.
    scan(Document::VehiclePhoto1, [&](images::ScannerWindow* window) {
        acquire(window, picture(u"Solid white"_s) + QList<images::ScanOption>{{u"read-delay"_s, false}});
        save(window);
    });
    EXPECT_TRUE(boxBytes(Document::VehiclePhoto1).startsWith("\xFF\xD8"));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(PhotoGroupTest, AScanErrorIsShownAndTheBoxStaysUnchanged) {
    scan(Document::Licence2, [&](images::ScannerWindow* window) {
        acquire(window, jammedPicture());
        EXPECT_TRUE(window->acquiredImage().isNull());
        save(window);
        EXPECT_TRUE(window->isVisible());
    });
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown.at(0), u"扫描失败：Document feeder jammed"_s);
    EXPECT_TRUE(boxBytes(Document::Licence2).isEmpty());
}

TEST_F(PhotoGroupTest, WithoutAnyDeviceTheListIsEmptyAndScanDoesNothing) {
    images_test::SaneTestDevice none(false);
    scan(Document::IdentityCard, [&](images::ScannerWindow* window) {
        EXPECT_EQ(window->findChild<QComboBox*>(u"来源列表"_s)->count(), 0);
        window->findChild<QPushButton*>(u"获取图象按钮"_s)->click();
        EXPECT_FALSE(window->scanning());
        save(window);
        EXPECT_TRUE(window->isVisible());
    });
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_TRUE(boxBytes(Document::IdentityCard).isEmpty());
}
