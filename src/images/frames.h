#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

namespace images {

// The kinds of frame a scanner hands over, numbered as the scanner interface numbers them.
enum class FrameKind { Gray = 0, Rgb = 1, Red = 2, Green = 3, Blue = 4 };

struct FrameParameters {
    FrameKind kind = FrameKind::Gray;
    bool lastFrame = true;
    int bytesPerLine = 0;
    int pixelsPerLine = 0;
    int lines = -1; // -1: not known before the frame ends (hand scanners)
    int depth = 8;  // bits per sample: 1, 8 or 16 (16-bit samples in the machine's byte order)
};

// Collects the frames of one acquisition and builds the picture from them: one gray or RGB
// frame, or three single-colour frames (three-pass scanners) in any order.
//   1-bit gray: a set bit is black, the leftmost pixel in the most significant bit.
//   1-bit colour: a set bit is the full intensity of its colour.
//   16-bit samples are reduced to their high eight bits.
// The result is Format_Grayscale8 for gray frames and Format_RGB32 for colour.
class FrameAssembler {
public:
    // Starts the next frame; false (see error()) when its parameters cannot describe a picture.
    bool beginFrame(const FrameParameters& parameters);
    void append(const char* data, qsizetype size);
    void append(const QByteArray& data) { append(data.constData(), data.size()); }
    // Ends the current frame; true once the last frame has ended.
    bool endFrame();

    bool complete() const { return complete_; }
    // The bytes the whole acquisition will carry, or -1 while the height is unknown.
    qint64 expectedBytes() const;
    qint64 receivedBytes() const { return received_; }
    // The assembled picture (null until complete, or when the frames do not fit together).
    QImage image() const;
    QString error() const { return error_; }

private:
    struct Frame {
        FrameParameters parameters;
        QByteArray data;
    };
    QList<Frame> frames_;
    bool open_ = false;
    bool complete_ = false;
    qint64 received_ = 0;
    QString error_;
};

// Builds a picture from one frame's data alone (gray or RGB).
QImage ImageFromFrame(const FrameParameters& parameters, const QByteArray& data);

} // namespace images
