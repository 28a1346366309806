#include "frames.h"

#include <cstring>

using namespace Qt::StringLiterals;

namespace images {

namespace {

bool singleColour(FrameKind kind) {
    return kind == FrameKind::Red || kind == FrameKind::Green || kind == FrameKind::Blue;
}

int samplesPerPixel(FrameKind kind) {
    return kind == FrameKind::Rgb ? 3 : 1;
}

qint64 neededBytesPerLine(const FrameParameters& p) {
    return (qint64(p.pixelsPerLine) * samplesPerPixel(p.kind) * p.depth + 7) / 8;
}

QString checkParameters(const FrameParameters& p) {
    if (p.kind != FrameKind::Gray && p.kind != FrameKind::Rgb && !singleColour(p.kind))
        return u"不支持的图像帧格式"_s;
    if (p.depth != 1 && p.depth != 8 && p.depth != 16)
        return u"不支持的位深度：%1"_s.arg(p.depth);
    if (p.pixelsPerLine <= 0 || p.bytesPerLine <= 0 || p.bytesPerLine < neededBytesPerLine(p))
        return u"图像行的大小不正确"_s;
    if (p.lines < -1)
        return u"图像行数不正确"_s;
    return {};
}

// Sample i of a line as an 8-bit intensity; for one bit, a set bit reads as 255.
int sample(const uchar* line, qint64 i, int depth) {
    switch (depth) {
    case 1:
        return ((line[i / 8] >> (7 - i % 8)) & 1) ? 255 : 0;
    case 8:
        return line[i];
    default: {
        quint16 v;
        std::memcpy(&v, line + 2 * i, sizeof v); // the machine's own byte order
        return v >> 8;
    }
    }
}

// Complete lines the data holds, never more than the frame announced.
int availableLines(const FrameParameters& p, const QByteArray& data) {
    const qint64 whole = data.size() / p.bytesPerLine;
    return int(p.lines >= 0 ? qMin<qint64>(p.lines, whole) : whole);
}

} // namespace

QImage ImageFromFrame(const FrameParameters& p, const QByteArray& data) {
    if (!checkParameters(p).isEmpty() || singleColour(p.kind))
        return {};
    const int lines = availableLines(p, data);
    if (lines <= 0)
        return {};
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    if (p.kind == FrameKind::Gray) {
        QImage image(p.pixelsPerLine, lines, QImage::Format_Grayscale8);
        for (int y = 0; y < lines; ++y) {
            const uchar* line = bytes + qint64(y) * p.bytesPerLine;
            uchar* out = image.scanLine(y);
            for (int x = 0; x < p.pixelsPerLine; ++x) {
                const int v = sample(line, x, p.depth);
                out[x] = uchar(p.depth == 1 ? 255 - v : v); // line art: a set bit is black
            }
        }
        return image;
    }
    QImage image(p.pixelsPerLine, lines, QImage::Format_RGB32);
    for (int y = 0; y < lines; ++y) {
        const uchar* line = bytes + qint64(y) * p.bytesPerLine;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < p.pixelsPerLine; ++x) {
            const qint64 s = qint64(x) * 3;
            out[x] = qRgb(sample(line, s, p.depth), sample(line, s + 1, p.depth), sample(line, s + 2, p.depth));
        }
    }
    return image;
}

bool FrameAssembler::beginFrame(const FrameParameters& parameters) {
    if (complete_ || open_) {
        error_ = u"图像帧的顺序不正确"_s;
        return false;
    }
    error_ = checkParameters(parameters);
    if (!error_.isEmpty())
        return false;
    if (!frames_.isEmpty() && (!singleColour(parameters.kind) || !singleColour(frames_.first().parameters.kind))) {
        error_ = u"图像帧的顺序不正确"_s;
        return false;
    }
    frames_.append({parameters, {}});
    if (parameters.lines > 0)
        frames_.last().data.reserve(qint64(parameters.lines) * parameters.bytesPerLine);
    open_ = true;
    return true;
}

void FrameAssembler::append(const char* data, qsizetype size) {
    if (!open_ || size <= 0)
        return;
    frames_.last().data.append(data, size);
    received_ += size;
}

bool FrameAssembler::endFrame() {
    if (!open_)
        return complete_;
    open_ = false;
    const FrameParameters& p = frames_.last().parameters;
    // A single-colour frame that claims to be the last one still ends the acquisition; image()
    // then reports the colours that never came.
    if (p.lastFrame || !singleColour(p.kind) || frames_.size() >= 3)
        complete_ = true;
    return complete_;
}

qint64 FrameAssembler::expectedBytes() const {
    if (frames_.isEmpty())
        return -1;
    const FrameParameters& p = frames_.last().parameters;
    if (p.lines < 0)
        return -1;
    const qint64 frame = qint64(p.lines) * p.bytesPerLine;
    return singleColour(p.kind) ? 3 * frame : frame;
}

QImage FrameAssembler::image() const {
    if (!complete_ || frames_.isEmpty())
        return {};
    const Frame& first = frames_.first();
    if (!singleColour(first.parameters.kind))
        return ImageFromFrame(first.parameters, first.data);

    const Frame* channel[3] = {nullptr, nullptr, nullptr};
    for (const Frame& f : frames_)
        channel[int(f.parameters.kind) - int(FrameKind::Red)] = &f;
    for (const Frame* f : channel)
        if (!f || f->parameters.pixelsPerLine != first.parameters.pixelsPerLine)
            return {};
    int lines = availableLines(channel[0]->parameters, channel[0]->data);
    for (const Frame* f : channel)
        lines = qMin(lines, availableLines(f->parameters, f->data));
    if (lines <= 0)
        return {};
    const int width = first.parameters.pixelsPerLine;
    QImage image(width, lines, QImage::Format_RGB32);
    for (int y = 0; y < lines; ++y) {
        const uchar* line[3];
        for (int c = 0; c < 3; ++c)
            line[c] = reinterpret_cast<const uchar*>(channel[c]->data.constData()) +
                      qint64(y) * channel[c]->parameters.bytesPerLine;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            out[x] =
                qRgb(sample(line[0], x, channel[0]->parameters.depth), sample(line[1], x, channel[1]->parameters.depth),
                     sample(line[2], x, channel[2]->parameters.depth));
    }
    return image;
}

} // namespace images
