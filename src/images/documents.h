#pragma once

#include <QByteArray>
#include <QString>

#include <array>

using namespace Qt::StringLiterals;

namespace images {

// The five document images of a vehicle, in the order of their columns in the vehicle table.
enum class Document { IdentityCard = 0, VehiclePhoto1, VehiclePhoto2, Licence1, Licence2 };
inline constexpr int kDocumentCount = 5;

struct DocumentControls {
    Document document;
    QString pictureBox;    // 图片框_…
    QString column;        // the vehicle-table column that stores the bytes
    QString importButton;  // 超级按钮_导入…
    QString exportButton;  // 超级按钮_导出…
    QString enlargeButton; // 超级按钮_放大…
    QString scanButton;    // 超级按钮_扫描…
};

const std::array<DocumentControls, kDocumentCount>& Documents();
const DocumentControls& ControlsOf(Document document);

// EnlargeTarget in the session holds 0 for none, else the document's position + 1.
int EnlargeTargetValue(Document document);
bool EnlargeTargetDocument(int value, Document* document);

// The picture box the next 保存 of ScannerWindow fills; none until a scan button sets it.
void SetScanTarget(Document document);
void ClearScanTarget();
bool ScanTarget(Document* document);

// The program's folder for its working files (扫描.bmp, 扫描.jpg, dayin.jpg): the folder named by
// VELMORA_WORK_DIR when set, otherwise a folder of this user's own under the system's temporary
// folder. Created when missing.
QString WorkingFolder();
QString WorkingFile(const QString& name);

inline const QString kScanBitmapName = u"扫描.bmp"_s;
inline const QString kScanJpegName = u"扫描.jpg"_s;
inline const QString kPrintFileName = u"dayin.jpg"_s;

// The number a scale text starts with ("1.5", " 2", "0.5倍"); a text that starts with no number
// reads as 0.
double LeadingNumber(const QString& text);

// The size a picture of width × height pixels is drawn at for a scale: each side multiplied and
// truncated towards zero; negative results draw nothing and read as 0.
struct PrintExtent {
    int width = 0;
    int height = 0;
};
PrintExtent ScaledExtent(int width, int height, double scale);

// Writes bytes to a file, replacing it; false when the file cannot be written.
bool WriteWholeFile(const QString& path, const QByteArray& bytes);

} // namespace images
