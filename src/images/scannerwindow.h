#pragma once

#include "scanner.h"

#include <QDialog>
#include <QImage>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace images {

class ScanCanvas;

// ScannerWindow ("扫描仪"): acquires one picture from a SANE device and, on 保存, puts its JPEG
// conversion into the picture box of the scan target. owner is the window holding the boxes.
class ScannerWindow : public QDialog {
    Q_OBJECT
public:
    explicit ScannerWindow(QWidget* owner);
    ~ScannerWindow() override;

    // Options set on the device after the colour mode, for every acquisition of this window.
    void setExtraOptions(const QList<ScanOption>& options) { extraOptions_ = options; }
    bool devicesListed() const { return devicesListed_; }
    bool scanning() const;
    QImage acquiredImage() const { return acquired_; }

    void scanCommand();   // 获取图象按钮
    void saveCommand();   // 保存
    void cancelCommand(); // 按钮_取消扫描

    void reject() override;

signals:
    void scanEnded();

private:
    void showDevices(const QList<ScanDevice>& devices);
    void showProgress(int percent);
    void imageAcquired(const QImage& image);
    void scanFailed(const QString& message);
    void scanCancelled();
    void setScanning(bool on);

    QWidget* owner_;
    Scanner scanner_;
    ScanCanvas* canvas_;
    QLabel* sourceLabel_;
    QComboBox* sources_;
    QPushButton* scanButton_;
    QPushButton* saveButton_;
    QProgressBar* progress_;
    QPushButton* cancelButton_;
    QList<ScanDevice> devices_;
    QList<ScanOption> extraOptions_;
    QImage acquired_;
    bool devicesListed_ = false;
};

} // namespace images
