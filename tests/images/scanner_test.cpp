#include "images/scanner.h"
#include "sanetestdevice.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using images::Scanner;
using images::ScanOption;
using images::ScanRequest;
using namespace Qt::StringLiterals;

namespace {

struct Outcome {
    QImage image;
    QString failure;
    bool cancelled = false;
    QList<int> progress;
};

// Runs one acquisition on test:0 and waits for its end.
Outcome scanWith(Scanner& scanner, const QList<ScanOption>& options,
                 const std::function<void()>& onFirstProgress = {}) {
    Outcome out;
    QEventLoop loop;
    bool ended = false;
    auto end = [&] {
        ended = true;
        loop.quit();
    };
    QObject context;
    QObject::connect(&scanner, &Scanner::acquired, &context, [&](const QImage& i) {
        out.image = i;
        end();
    });
    QObject::connect(&scanner, &Scanner::failed, &context, [&](const QString& m) {
        out.failure = m;
        end();
    });
    QObject::connect(&scanner, &Scanner::cancelled, &context, [&] {
        out.cancelled = true;
        end();
    });
    QObject::connect(&scanner, &Scanner::progress, &context, [&](int p) {
        out.progress << p;
        if (out.progress.size() == 1 && onFirstProgress)
            onFirstProgress();
    });
    ScanRequest request;
    request.deviceName = u"test:0"_s;
    request.options = options;
    scanner.scan(request);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    if (!ended)
        loop.exec();
    EXPECT_TRUE(ended) << "the acquisition never ended";
    return out;
}

QImage scanImage(Scanner& scanner, const QList<ScanOption>& options) {
    const Outcome out = scanWith(scanner, options);
    EXPECT_TRUE(out.failure.isEmpty()) << out.failure.toStdString();
    return out.image;
}

QList<ScanOption> opts(const QString& mode, int depth, const QString& picture, const QList<ScanOption>& more = {}) {
    QList<ScanOption> o = {{u"mode"_s, mode}, {u"depth"_s, depth}, {u"test-picture"_s, picture}};
    o += more;
    return o;
}

bool uniform(const QImage& image, QRgb colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != colour)
                return false;
    return true;
}

int distinctColours(const QImage& image) {
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            seen.insert(image.pixel(x, y));
    return int(seen.size());
}

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);
// The test device at 50 dpi over 80 × 100 mm.
const QSize kPage(157, 196);

class ScannerTest : public ::testing::Test {
protected:
    images_test::SaneTestDevice device;
};

} // namespace

TEST_F(ScannerTest, DevicesAreListedWithModelAndVendor) {
    Scanner scanner;
    QSignalSpy found(&scanner, &Scanner::devicesFound);
    scanner.findDevices();
    ASSERT_TRUE(found.wait(30000));
    const auto devices = found.at(0).at(0).value<QList<images::ScanDevice>>();
    ASSERT_EQ(devices.size(), 2);
    EXPECT_EQ(devices.at(0).name, u"test:0"_s);
    EXPECT_EQ(devices.at(1).name, u"test:1"_s);
    EXPECT_EQ(devices.at(0).displayName(), u"frontend-tester Noname"_s);
}

TEST(ScannerWithoutDevices, TheListIsEmpty) {
    images_test::SaneTestDevice none(false);
    Scanner scanner;
    QSignalSpy found(&scanner, &Scanner::devicesFound);
    scanner.findDevices();
    ASSERT_TRUE(found.wait(30000));
    EXPECT_TRUE(found.at(0).at(0).value<QList<images::ScanDevice>>().isEmpty());
}

TEST_F(ScannerTest, GrayAndColourAtOneEightAndSixteenBits) {
    Scanner scanner;
    // The colour mode is what the program asks for by itself.
    const QImage colour = scanImage(scanner, {{u"test-picture"_s, u"Solid white"_s}});
    EXPECT_EQ(colour.size(), kPage);
    EXPECT_EQ(colour.format(), QImage::Format_RGB32);
    EXPECT_TRUE(uniform(colour, kWhite));

    for (int depth : {1, 8, 16}) {
        SCOPED_TRACE(depth);
        const QImage black = scanImage(scanner, opts(u"Gray"_s, depth, u"Solid black"_s));
        EXPECT_EQ(black.size(), kPage);
        EXPECT_EQ(black.format(), QImage::Format_Grayscale8);
        EXPECT_TRUE(uniform(black, kBlack)); // at one bit the set bits are black
        const QImage white = scanImage(scanner, opts(u"Gray"_s, depth, u"Solid white"_s));
        EXPECT_TRUE(uniform(white, kWhite));
        const QImage colourBlack = scanImage(scanner, opts(u"Color"_s, depth, u"Solid black"_s));
        EXPECT_EQ(colourBlack.size(), kPage);
        EXPECT_TRUE(uniform(colourBlack, kBlack));
        const QImage colourWhite = scanImage(scanner, opts(u"Color"_s, depth, u"Solid white"_s));
        EXPECT_TRUE(uniform(colourWhite, kWhite));
    }

    // The colour test picture (bars of red, green and blue).
    const QImage pattern8 = scanImage(scanner, opts(u"Color"_s, 8, u"Color pattern"_s));
    ASSERT_EQ(pattern8.size(), kPage);
    EXPECT_GE(distinctColours(pattern8), 6);
    // At 16 bits the colour test picture is a red ramp of 256 steps per pixel: read in the
    // machine's byte order the high bytes rise by one per pixel; read the wrong way round they
    // would stand still.
    const QImage ramp = scanImage(scanner, opts(u"Color"_s, 16, u"Color pattern"_s));
    ASSERT_EQ(ramp.size(), kPage);
    // Inside its four-pixel grey frame each row's red rises by exactly one step per pixel.
    for (int y = 4; y < ramp.height(); y += 17) {
        SCOPED_TRACE(y);
        int steps = 0;
        for (int x = 5; x < ramp.width(); ++x)
            steps += qRed(ramp.pixel(x, y)) == qRed(ramp.pixel(x - 1, y)) + 1;
        EXPECT_EQ(steps, ramp.width() - 5);
        EXPECT_EQ(qRed(ramp.pixel(4, y)), 0);
    }

    const QImage grid8 = scanImage(scanner, opts(u"Gray"_s, 8, u"Grid"_s));
    EXPECT_EQ(distinctColours(grid8), 2);
    EXPECT_EQ(scanImage(scanner, opts(u"Gray"_s, 16, u"Grid"_s)), grid8);
    // The grid in line art: the same black and white squares.
    EXPECT_EQ(scanImage(scanner, opts(u"Gray"_s, 1, u"Grid"_s)), grid8);
}

TEST_F(ScannerTest, ThreePassInEveryOrderGivesTheSinglePassPicture) {
    Scanner scanner;
    const QImage single = scanImage(scanner, opts(u"Color"_s, 8, u"Color pattern"_s));
    ASSERT_EQ(single.size(), kPage);
    for (const QString& order : {u"RGB"_s, u"BGR"_s, u"GRB"_s}) {
        SCOPED_TRACE(order.toStdString());
        const Outcome out = scanWith(scanner, opts(u"Color"_s, 8, u"Color pattern"_s,
                                                   {{u"three-pass"_s, true}, {u"three-pass-order"_s, order}}));
        ASSERT_TRUE(out.failure.isEmpty()) << out.failure.toStdString();
        EXPECT_EQ(out.image, single);
        // The percentage runs over the three passes, never past 100.
        ASSERT_FALSE(out.progress.isEmpty());
        EXPECT_EQ(out.progress.last(), 100);
        EXPECT_LT(out.progress.first(), 40);
    }
}

TEST_F(ScannerTest, HandScannerWithUnknownHeight) {
    Scanner scanner;
    const Outcome out = scanWith(scanner, opts(u"Color"_s, 8, u"Solid white"_s, {{u"hand-scanner"_s, true}}));
    ASSERT_TRUE(out.failure.isEmpty()) << out.failure.toStdString();
    // Hand-scanner mode fixes the width at 11 cm (216 pixels at 50 dpi); the height comes from
    // the data alone.
    EXPECT_EQ(out.image.width(), 216);
    EXPECT_GT(out.image.height(), 0);
    EXPECT_TRUE(uniform(out.image, kWhite));
    ASSERT_FALSE(out.progress.isEmpty());
    EXPECT_EQ(out.progress.first(), -1); // no percentage without a height

    const QImage gray = scanImage(scanner, opts(u"Gray"_s, 8, u"Grid"_s, {{u"hand-scanner"_s, true}}));
    EXPECT_EQ(gray.size(), out.image.size());
    EXPECT_EQ(scanImage(scanner, opts(u"Gray"_s, 16, u"Grid"_s, {{u"hand-scanner"_s, true}})), gray);
}

TEST_F(ScannerTest, AnErrorStatusIsReportedWithTheDevicesText) {
    Scanner scanner;
    const Outcome out =
        // The reader pauses after its first bytes, so the cancel that ends the failed acquisition
        // finds it waiting (the test backend stops its reader with an asynchronous thread cancel).
        scanWith(scanner, opts(u"Color"_s, 8, u"Solid white"_s,
                               {{u"read-return-value"_s, u"SANE_STATUS_JAMMED"_s},
                                {u"read-delay"_s, true},
                                {u"read-delay-duration"_s, 200000}}));
    EXPECT_TRUE(out.image.isNull());
    EXPECT_FALSE(out.cancelled);
    EXPECT_TRUE(out.failure.startsWith(u"扫描失败："_s)) << out.failure.toStdString();
    EXPECT_TRUE(out.failure.contains(u"jammed"_s, Qt::CaseInsensitive)) << out.failure.toStdString();

    // The device was closed properly: the next acquisition works (the test device keeps its
    // option values while the session lasts, so the status is set back explicitly).
    EXPECT_EQ(scanImage(scanner, opts(u"Color"_s, 8, u"Solid white"_s,
                                      {{u"read-return-value"_s, u"Default"_s}, {u"read-delay"_s, false}}))
                  .size(),
              kPage);
}

namespace {
// An acquisition that takes seconds.
QList<ScanOption> slow() {
    // The test device pauses after each 64 KiB it passes on: at 200 dpi about 23 pauses of 0.2 s.
    return opts(u"Color"_s, 8, u"Solid white"_s,
                {{u"resolution"_s, 200.0}, {u"read-delay"_s, true}, {u"read-delay-duration"_s, 200000}});
}
} // namespace

TEST_F(ScannerTest, CancelStopsTheAcquisitionAndTheDeviceScansAgain) {
    Scanner scanner;
    QElapsedTimer clock;
    clock.start();
    const Outcome out = scanWith(scanner, slow(), [&] { scanner.cancel(); });
    EXPECT_TRUE(out.cancelled);
    EXPECT_TRUE(out.image.isNull());
    EXPECT_TRUE(out.failure.isEmpty()) << out.failure.toStdString();
    EXPECT_FALSE(scanner.scanning());
    // The whole image would take about 4.6 s.
    EXPECT_LT(clock.elapsed(), 3000);

    EXPECT_TRUE(uniform(scanImage(scanner, opts(u"Color"_s, 8, u"Solid white"_s, {{u"read-delay"_s, false}})), kWhite));
}

TEST_F(ScannerTest, DestroyingTheScannerDuringAnAcquisitionEndsIt) {
    QElapsedTimer clock;
    clock.start();
    {
        auto scanner = std::make_unique<Scanner>();
        QSignalSpy progress(scanner.get(), &Scanner::progress);
        ScanRequest request;
        request.deviceName = u"test:0"_s;
        request.options = slow();
        scanner->scan(request);
        ASSERT_TRUE(progress.wait(30000));
    }
    EXPECT_LT(clock.elapsed(), 3000);
    // The SANE session was ended: a new scanner opens its own.
    Scanner next;
    EXPECT_EQ(scanImage(next, opts(u"Gray"_s, 8, u"Solid black"_s)).size(), kPage);
}
