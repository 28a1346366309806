#include "images/documents.h"
#include "images/frames.h"

#include <QtEndian>

#include <gtest/gtest.h>

#include <cstring>

using namespace Qt::StringLiterals;

using images::FrameAssembler;
using images::FrameKind;
using images::FrameParameters;

namespace {

FrameParameters frame(FrameKind kind, int depth, int pixels, int bytesPerLine, int lines, bool last = true) {
    FrameParameters p;
    p.kind = kind;
    p.depth = depth;
    p.pixelsPerLine = pixels;
    p.bytesPerLine = bytesPerLine;
    p.lines = lines;
    p.lastFrame = last;
    return p;
}

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

// Two 16-bit samples in the machine's own byte order.
QByteArray native16(std::initializer_list<quint16> values) {
    QByteArray b;
    for (quint16 v : values)
        b.append(reinterpret_cast<const char*>(&v), sizeof v);
    return b;
}

QImage assemble(const QList<QPair<FrameParameters, QByteArray>>& frames) {
    FrameAssembler a;
    for (const auto& [p, data] : frames) {
        EXPECT_TRUE(a.beginFrame(p)) << a.error().toStdString();
        a.append(data);
        a.endFrame();
    }
    EXPECT_TRUE(a.complete());
    return a.image();
}

} // namespace

TEST(FrameAssembly, LineArtSetBitIsBlackLeftmostPixelInTheHighBitAndPaddingIgnored) {
    // 10 pixels need 2 bytes; the device pads each line to 3.
    const QImage image = assemble(
        {{frame(FrameKind::Gray, 1, 10, 3, 2), bytes({0b10100000, 0b01000000, 0xFF, 0x00, 0b10000000, 0xFF})}});
    ASSERT_EQ(image.size(), QSize(10, 2));
    ASSERT_EQ(image.format(), QImage::Format_Grayscale8);
    const int row0[10] = {0, 255, 0, 255, 255, 255, 255, 255, 255, 0};
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(qGray(image.pixel(x, 0)), row0[x]) << "x=" << x;
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(qGray(image.pixel(x, 1)), x == 8 ? 0 : 255) << "x=" << x;
}

TEST(FrameAssembly, SixteenBitSamplesAreReadInTheMachinesByteOrder) {
    const QImage gray = assemble({{frame(FrameKind::Gray, 16, 2, 4, 1), native16({0x12AB, 0xFE01})}});
    ASSERT_EQ(gray.size(), QSize(2, 1));
    EXPECT_EQ(qGray(gray.pixel(0, 0)), 0x12);
    EXPECT_EQ(qGray(gray.pixel(1, 0)), 0xFE);

    const QImage rgb =
        assemble({{frame(FrameKind::Rgb, 16, 2, 12, 1), native16({0x10FF, 0x2000, 0x30AA, 0xF000, 0x0100, 0x8080})}});
    ASSERT_EQ(rgb.size(), QSize(2, 1));
    EXPECT_EQ(rgb.pixel(0, 0), qRgb(0x10, 0x20, 0x30));
    EXPECT_EQ(rgb.pixel(1, 0), qRgb(0xF0, 0x01, 0x80));
}

TEST(FrameAssembly, EightBitGrayAndRgbWithPaddedLines) {
    const QImage gray = assemble({{frame(FrameKind::Gray, 8, 3, 4, 2), bytes({1, 2, 3, 99, 4, 5, 6, 99})}});
    ASSERT_EQ(gray.size(), QSize(3, 2));
    EXPECT_EQ(qGray(gray.pixel(2, 0)), 3);
    EXPECT_EQ(qGray(gray.pixel(0, 1)), 4);

    const QImage rgb =
        assemble({{frame(FrameKind::Rgb, 8, 2, 7, 2), bytes({255, 0, 0, 0, 255, 0, 77, 0, 0, 255, 9, 8, 7, 77})}});
    ASSERT_EQ(rgb.size(), QSize(2, 2));
    EXPECT_EQ(rgb.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(rgb.pixel(1, 0), qRgb(0, 255, 0));
    EXPECT_EQ(rgb.pixel(0, 1), qRgb(0, 0, 255));
    EXPECT_EQ(rgb.pixel(1, 1), qRgb(9, 8, 7));
}

TEST(FrameAssembly, OneBitColourSetBitIsFullIntensity) {
    // Pixels red, cyan, white: bits 100 011 111 (then padding).
    const QImage image = assemble({{frame(FrameKind::Rgb, 1, 3, 2, 1), bytes({0b10001111, 0b10000000})}});
    ASSERT_EQ(image.size(), QSize(3, 1));
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(1, 0), qRgb(0, 255, 255));
    EXPECT_EQ(image.pixel(2, 0), qRgb(255, 255, 255));
}

TEST(FrameAssembly, ThreePassFramesInAnyOrderFillTheirOwnChannel) {
    const QImage image = assemble({
        {frame(FrameKind::Blue, 8, 2, 2, 1, false), bytes({30, 60})},
        {frame(FrameKind::Red, 8, 2, 2, 1, false), bytes({10, 40})},
        {frame(FrameKind::Green, 8, 2, 2, 1, true), bytes({20, 50})},
    });
    ASSERT_EQ(image.size(), QSize(2, 1));
    EXPECT_EQ(image.pixel(0, 0), qRgb(10, 20, 30));
    EXPECT_EQ(image.pixel(1, 0), qRgb(40, 50, 60));

    // The expected size counts all three passes.
    FrameAssembler a;
    ASSERT_TRUE(a.beginFrame(frame(FrameKind::Red, 8, 2, 2, 5, false)));
    EXPECT_EQ(a.expectedBytes(), 30);

    // A pass that never came gives no picture rather than a picture with a black channel.
    FrameAssembler missing;
    ASSERT_TRUE(missing.beginFrame(frame(FrameKind::Red, 8, 2, 2, 1, false)));
    missing.append(bytes({1, 2}));
    missing.endFrame();
    ASSERT_TRUE(missing.beginFrame(frame(FrameKind::Green, 8, 2, 2, 1, true)));
    missing.append(bytes({1, 2}));
    EXPECT_TRUE(missing.endFrame());
    EXPECT_TRUE(missing.image().isNull());
}

TEST(FrameAssembly, UnknownHeightTakesEveryWholeLineReceived) {
    FrameAssembler a;
    ASSERT_TRUE(a.beginFrame(frame(FrameKind::Gray, 8, 2, 2, -1)));
    EXPECT_EQ(a.expectedBytes(), -1);
    a.append(bytes({1, 2, 3}));
    a.append(bytes({4, 5, 6, 7})); // 3.5 lines in two pieces
    ASSERT_TRUE(a.endFrame());
    const QImage image = a.image();
    ASSERT_EQ(image.size(), QSize(2, 3));
    EXPECT_EQ(qGray(image.pixel(0, 2)), 5);
    EXPECT_EQ(qGray(image.pixel(1, 2)), 6);

    // A known height is never exceeded, and a short frame keeps the lines it has.
    const QImage capped = assemble({{frame(FrameKind::Gray, 8, 1, 1, 2), bytes({1, 2, 3})}});
    EXPECT_EQ(capped.height(), 2);
    const QImage shorter = assemble({{frame(FrameKind::Gray, 8, 1, 1, 5), bytes({1, 2})}});
    EXPECT_EQ(shorter.height(), 2);
}

TEST(FrameAssembly, ParametersThatCannotDescribeAPictureAreRefused) {
    FrameAssembler a;
    EXPECT_FALSE(a.beginFrame(frame(FrameKind::Rgb, 8, 4, 11, 1))); // 4 RGB pixels need 12 bytes
    EXPECT_FALSE(a.error().isEmpty());
    EXPECT_FALSE(a.beginFrame(frame(FrameKind::Gray, 4, 4, 2, 1)));
    EXPECT_FALSE(a.beginFrame(frame(FrameKind::Gray, 8, 0, 2, 1)));
    EXPECT_FALSE(a.beginFrame(frame(FrameKind(7), 8, 2, 2, 1)));

    // A gray frame cannot follow a colour pass, nor anything follow a finished picture.
    FrameAssembler mixed;
    ASSERT_TRUE(mixed.beginFrame(frame(FrameKind::Red, 8, 1, 1, 1, false)));
    mixed.endFrame();
    EXPECT_FALSE(mixed.beginFrame(frame(FrameKind::Gray, 8, 1, 1, 1)));
    FrameAssembler done;
    ASSERT_TRUE(done.beginFrame(frame(FrameKind::Gray, 8, 1, 1, 1)));
    done.append(bytes({1}));
    EXPECT_TRUE(done.endFrame());
    EXPECT_FALSE(done.beginFrame(frame(FrameKind::Gray, 8, 1, 1, 1)));
    EXPECT_EQ(done.image().size(), QSize(1, 1));
}

TEST(PrintScale, TheScaleIsTheNumberTheTextStartsWith) {
    EXPECT_DOUBLE_EQ(images::LeadingNumber(u"1"_s), 1.0);
    EXPECT_DOUBLE_EQ(images::LeadingNumber(u" 1.5"_s), 1.5);
    EXPECT_DOUBLE_EQ(images::LeadingNumber(u"0.5倍"_s), 0.5);
    EXPECT_DOUBLE_EQ(images::LeadingNumber(u".25"_s), 0.25);
    EXPECT_DOUBLE_EQ(images::LeadingNumber(u"2e1"_s), 20.0);
    EXPECT_DOUBLE_EQ(images::LeadingNumber(u"倍1"_s), 0.0);
    EXPECT_DOUBLE_EQ(images::LeadingNumber(QString()), 0.0);
    EXPECT_DOUBLE_EQ(images::LeadingNumber(u"abc"_s), 0.0);

    const images::PrintExtent e = images::ScaledExtent(101, 33, 1.5);
    EXPECT_EQ(e.width, 151); // 151.5 truncated
    EXPECT_EQ(e.height, 49); // 49.5 truncated
    const images::PrintExtent negative = images::ScaledExtent(101, 33, -2);
    EXPECT_EQ(negative.width, 0);
    EXPECT_EQ(negative.height, 0);
    const images::PrintExtent huge = images::ScaledExtent(1000, 1000, 1e300);
    EXPECT_GT(huge.width, 0); // saturates instead of overflowing into a negative size
}
