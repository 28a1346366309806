#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>

#include <optional>

class QPainter;

namespace images {

// Writes an acquired picture to the working bitmap 扫描.bmp, replacing it.
bool SaveScanBitmap(const QImage& image);

// What 保存 of ScannerWindow stores: 扫描.jpg is removed, the picture written again to 扫描.bmp,
// that bitmap converted to 扫描.jpg at JPEG quality 75, and the JPEG file's bytes returned.
// Nothing when any step fails, so that a box is never filled from a stale or missing file.
std::optional<QByteArray> ConvertScanToJpeg(const QImage& image);

inline constexpr int kScanJpegQuality = 75;

// The picture of the image print as it is about to be drawn: the bytes written to dayin.jpg and
// the width and height read back from that file (0 × 0 when it holds no readable picture).
struct PrintPicture {
    QImage picture; // made from the bytes; null when they are no picture
    int width = 0;
    int height = 0;
    bool written = false; // dayin.jpg now holds the bytes
};
PrintPicture PreparePrintPicture(const QByteArray& bytes);

inline constexpr int kPrintLeft = 10;
inline constexpr int kPrintTop = 10;

// Draws the picture with its top left corner at (10, 10) and the given size in the painter's
// device pixels. Only the part that falls inside visibleArea is drawn, resampled to its size in
// device pixels, so an enormous scale never builds an enormous bitmap.
void DrawPrintPicture(QPainter& painter, const QRect& visibleArea, const QImage& picture, int width, int height);

} // namespace images
