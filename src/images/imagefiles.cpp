#include "imagefiles.h"

#include "documents.h"

#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <cmath>

using namespace Qt::StringLiterals;

namespace images {

bool SaveScanBitmap(const QImage& image) {
    if (image.isNull())
        return false;
    QImageWriter writer(WorkingFile(kScanBitmapName), "bmp");
    return writer.write(image);
}

std::optional<QByteArray> ConvertScanToJpeg(const QImage& image) {
    const QString jpegPath = WorkingFile(kScanJpegName);
    QFile::remove(jpegPath);
    if (!SaveScanBitmap(image))
        return std::nullopt;
    QImageReader reader(WorkingFile(kScanBitmapName), "bmp");
    const QImage bitmap = reader.read();
    if (bitmap.isNull())
        return std::nullopt;
    QImageWriter writer(jpegPath, "jpeg");
    writer.setQuality(kScanJpegQuality);
    if (!writer.write(bitmap))
        return std::nullopt;
    QFile file(jpegPath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

PrintPicture PreparePrintPicture(const QByteArray& bytes) {
    PrintPicture result;
    const QString path = WorkingFile(kPrintFileName);
    result.written = WriteWholeFile(path, bytes);
    result.picture = QImage::fromData(bytes);
    if (result.written) {
        QImageReader reader(path);
        const QSize size = reader.size();
        if (size.isValid()) {
            result.width = size.width();
            result.height = size.height();
        }
    }
    return result;
}

void DrawPrintPicture(QPainter& painter, const QRect& visibleArea, const QImage& picture, int width, int height) {
    if (picture.isNull() || width <= 0 || height <= 0)
        return;
    const QRect target(kPrintLeft, kPrintTop, width, height);
    const QRect shown = target.intersected(visibleArea);
    if (shown.isEmpty())
        return;
    if (shown == target) {
        painter.drawImage(target.topLeft(),
                          picture.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        return;
    }
    // The part of the picture behind the shown rectangle, in the picture's own pixels.
    const double fx = double(picture.width()) / width;
    const double fy = double(picture.height()) / height;
    const int x0 = int(std::floor((shown.left() - target.left()) * fx));
    const int y0 = int(std::floor((shown.top() - target.top()) * fy));
    const int x1 = int(std::ceil((shown.right() + 1 - target.left()) * fx));
    const int y1 = int(std::ceil((shown.bottom() + 1 - target.top()) * fy));
    const QImage part = picture.copy(QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1)));
    painter.drawImage(shown.topLeft(), part.scaled(shown.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

} // namespace images
