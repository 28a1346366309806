#include "scannerwindow.h"

#include "documents.h"
#include "imagefiles.h"
#include "ui/controls.h"
#include "ui/dialogs.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace images {

// 原始图片画板: the acquired picture stretched over the whole canvas.
class ScanCanvas : public QWidget {
public:
    explicit ScanCanvas(QWidget* parent) : QWidget(parent) {
        setObjectName(u"原始图片画板"_s);
        setFixedSize(400, 580);
        setAutoFillBackground(true);
        QPalette p = palette();
        p.setColor(QPalette::Window, Qt::white);
        setPalette(p);
    }
    void setImage(const QImage& image) {
        image_ = image;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (image_.isNull())
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect(), image_);
    }

private:
    QImage image_;
};

ScannerWindow::ScannerWindow(QWidget* owner) : QDialog(owner), owner_(owner) {
    setObjectName(u"ScannerWindow"_s);
    setWindowTitle(u"扫描仪"_s);
    setFixedSize(406, 655);

    canvas_ = new ScanCanvas(this);
    sourceLabel_ = new QLabel(u"选择来源"_s, this);
    sourceLabel_->setObjectName(u"标签10"_s);
    sources_ = new QComboBox(this);
    sources_->setObjectName(u"来源列表"_s);
    scanButton_ = new QPushButton(u"扫描"_s, this);
    scanButton_->setObjectName(u"获取图象按钮"_s);
    saveButton_ = new QPushButton(u"保存"_s, this);
    saveButton_->setObjectName(u"保存"_s);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(u"进度条_扫描"_s);
    progress_->setTextVisible(true);
    cancelButton_ = new QPushButton(u"取消"_s, this);
    cancelButton_->setObjectName(u"按钮_取消扫描"_s);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, 0, 3, 4);
    layout->setSpacing(4);
    layout->addWidget(canvas_);
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    row->addWidget(sourceLabel_);
    row->addWidget(sources_, 1);
    row->addWidget(scanButton_);
    row->addWidget(saveButton_);
    layout->addLayout(row);
    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(4);
    bottom->addWidget(progress_, 1);
    bottom->addWidget(cancelButton_);
    layout->addLayout(bottom);

    connect(scanButton_, &QPushButton::clicked, this, &ScannerWindow::scanCommand);
    connect(saveButton_, &QPushButton::clicked, this, &ScannerWindow::saveCommand);
    connect(cancelButton_, &QPushButton::clicked, this, &ScannerWindow::cancelCommand);
    connect(&scanner_, &Scanner::devicesFound, this, &ScannerWindow::showDevices);
    connect(&scanner_, &Scanner::progress, this, &ScannerWindow::showProgress);
    connect(&scanner_, &Scanner::acquired, this, &ScannerWindow::imageAcquired);
    connect(&scanner_, &Scanner::failed, this, &ScannerWindow::scanFailed);
    connect(&scanner_, &Scanner::cancelled, this, &ScannerWindow::scanCancelled);

    // The device search runs on the scanner thread; until it answers the window only waits.
    sources_->setEnabled(false);
    scanButton_->setEnabled(false);
    cancelButton_->setEnabled(false);
    progress_->setRange(0, 0);
    progress_->setFormat(u"正在查找扫描仪…"_s);
    scanner_.findDevices();
}

ScannerWindow::~ScannerWindow() = default;

bool ScannerWindow::scanning() const {
    return scanner_.scanning();
}

void ScannerWindow::showDevices(const QList<ScanDevice>& devices) {
    devices_ = devices;
    sources_->clear();
    for (const ScanDevice& d : devices)
        sources_->addItem(d.displayName(), d.name);
    devicesListed_ = true;
    sources_->setEnabled(true);
    scanButton_->setEnabled(true);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setFormat(devices.isEmpty() ? u"没有找到扫描仪"_s : u"%p%"_s);
}

void ScannerWindow::setScanning(bool on) {
    sources_->setEnabled(!on);
    scanButton_->setEnabled(!on);
    saveButton_->setEnabled(!on);
    cancelButton_->setEnabled(on);
    if (on) {
        progress_->setRange(0, 100);
        progress_->setValue(0);
        progress_->setFormat(u"%p%"_s);
    }
}

void ScannerWindow::scanCommand() {
    // The selection's position is the device's position in the list.
    const int index = sources_->currentIndex();
    if (!devicesListed_ || index < 0 || index >= devices_.size() || scanner_.scanning())
        return;
    ScanRequest request;
    request.deviceName = devices_.at(index).name;
    request.options = extraOptions_;
    setScanning(true);
    scanner_.scan(request);
}

void ScannerWindow::showProgress(int percent) {
    if (percent < 0) {
        // Height unknown (hand scanners): a busy bar instead of a percentage.
        progress_->setRange(0, 0);
        progress_->setFormat(u"正在扫描…"_s);
        return;
    }
    progress_->setRange(0, 100);
    progress_->setValue(percent);
}

void ScannerWindow::imageAcquired(const QImage& image) {
    setScanning(false);
    progress_->setRange(0, 100);
    progress_->setValue(100);
    acquired_ = image;
    canvas_->setImage(image);
    SaveScanBitmap(image);
    emit scanEnded();
}

void ScannerWindow::scanFailed(const QString& message) {
    setScanning(false);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    ui::MessageBox(message, ui::Buttons::Ok, {}, this);
    emit scanEnded();
}

void ScannerWindow::scanCancelled() {
    setScanning(false);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setFormat(u"已取消"_s);
    emit scanEnded();
}

void ScannerWindow::cancelCommand() {
    scanner_.cancel();
}

void ScannerWindow::saveCommand() {
    // Only a picture acquired in this window is stored; without one the boxes stay as they are.
    if (acquired_.isNull() || scanner_.scanning())
        return;
    const std::optional<QByteArray> jpeg = ConvertScanToJpeg(acquired_);
    if (!jpeg) {
        ui::MessageBox(u"扫描图片保存失败！"_s, ui::Buttons::Ok, {}, this);
        return;
    }
    Document target;
    if (ScanTarget(&target))
        ui::SetControlImage(owner_, ControlsOf(target).pictureBox, *jpeg);
    ClearScanTarget();
    accept();
}

void ScannerWindow::reject() {
    // Closing during an acquisition stops the device; the scanner thread ends with the window.
    scanner_.cancel();
    QDialog::reject();
}

} // namespace images
