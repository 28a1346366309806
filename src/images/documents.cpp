#include "documents.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cmath>
#include <limits>
#include <optional>

using namespace Qt::StringLiterals;

namespace images {

const std::array<DocumentControls, kDocumentCount>& Documents() {
    static const std::array<DocumentControls, kDocumentCount> table = {{
        {Document::IdentityCard, u"图片框_身份证"_s, u"车主身份证信息"_s, u"超级按钮_导入身份证"_s,
         u"超级按钮_导出身份证"_s, u"超级按钮_放大身份证"_s, u"超级按钮_扫描身份证"_s},
        {Document::VehiclePhoto1, u"图片框_车辆照片1"_s, u"车辆照片信息"_s, u"超级按钮_导入车辆"_s,
         u"超级按钮_导出车辆"_s, u"超级按钮_放大车辆照片"_s, u"超级按钮_扫描车辆1"_s},
        {Document::VehiclePhoto2, u"图片框_车辆照片2"_s, u"车辆照片信息2"_s, u"超级按钮_导入车辆1"_s,
         u"超级按钮_导出车辆1"_s, u"超级按钮_放大车辆照片1"_s, u"超级按钮_扫描车辆2"_s},
        {Document::Licence1, u"图片框_行车证1"_s, u"行车证信息1"_s, u"超级按钮_导入行车证"_s, u"超级按钮_导出行车证"_s,
         u"超级按钮_放大行车证"_s, u"超级按钮_扫描行车证1"_s},
        {Document::Licence2, u"图片框_行车证2"_s, u"行车证信息2"_s, u"超级按钮_导入行车证1"_s,
         u"超级按钮_导出行车证1"_s, u"超级按钮_放大行车证1"_s, u"超级按钮_扫描行车证2"_s},
    }};
    return table;
}

const DocumentControls& ControlsOf(Document document) {
    return Documents()[std::size_t(document)];
}

int EnlargeTargetValue(Document document) {
    return int(document) + 1;
}

bool EnlargeTargetDocument(int value, Document* document) {
    if (value < 1 || value > kDocumentCount)
        return false;
    *document = Document(value - 1);
    return true;
}

namespace {
std::optional<Document> g_scanTarget;
}

void SetScanTarget(Document document) {
    g_scanTarget = document;
}
void ClearScanTarget() {
    g_scanTarget.reset();
}

bool ScanTarget(Document* document) {
    if (!g_scanTarget)
        return false;
    *document = *g_scanTarget;
    return true;
}

QString WorkingFolder() {
    QString folder = qEnvironmentVariable("VELMORA_WORK_DIR");
    if (folder.isEmpty()) {
        QString user = qEnvironmentVariable("USER");
        if (user.isEmpty())
            user = u"user"_s;
        folder = QDir(QDir::tempPath()).filePath(u"velmora-"_s + user);
    }
    QDir().mkpath(folder);
    return folder;
}

QString WorkingFile(const QString& name) {
    return QDir(WorkingFolder()).filePath(name);
}

double LeadingNumber(const QString& text) {
    static const QRegularExpression number(u"^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?"_s);
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch())
        return 0;
    bool ok = false;
    const double value = m.captured(0).trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0;
}

PrintExtent ScaledExtent(int width, int height, double scale) {
    auto side = [scale](int pixels) {
        const double v = std::trunc(double(pixels) * scale);
        if (!(v > 0))
            return 0;
        return v >= double(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max() : int(v);
    };
    return {side(width), side(height)};
}

bool WriteWholeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool ok = file.write(bytes) == bytes.size();
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}

} // namespace images
