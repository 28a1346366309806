#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QVariant>

#include <memory>

class QThread;

namespace images {

struct ScanDevice {
    QString name; // the scanner interface's device name, used to open it
    QString vendor;
    QString model;
    // What 来源列表 shows: the model and the vendor.
    QString displayName() const;
};

// An option set by name before the acquisition starts: bool, int, double (for fixed-point
// options) or text, converted to the option's own type.
using ScanOption = QPair<QString, QVariant>;

struct ScanRequest {
    QString deviceName;
    // Set first: colour mode, the device's default resolution, no dialog of the device's own.
    bool colour = true;
    // Further options, set after the colour mode in the given order.
    QList<ScanOption> options;
};

struct ScanShared;
class ScanWorker;

// Talks to the scanners through SANE on a thread of its own, so that neither the device search
// (which can take seconds) nor an acquisition ever blocks the window. All SANE calls except
// cancel happen on that thread; one SANE session is open in the process at a time.
class Scanner : public QObject {
    Q_OBJECT
public:
    explicit Scanner(QObject* parent = nullptr);
    // Cancels a running acquisition and ends the SANE session.
    ~Scanner() override;

    void findDevices();                    // answers with devicesFound
    void scan(const ScanRequest& request); // answers with acquired, failed or cancelled
    // Asks the device to stop (sane_cancel); the acquisition then ends with cancelled().
    void cancel();
    bool scanning() const;

signals:
    void devicesFound(const QList<images::ScanDevice>& devices);
    // Percent of the acquisition received, or -1 while the size of the image is not known.
    void progress(int percent);
    void acquired(const QImage& image);
    void failed(const QString& message);
    void cancelled();

private:
    std::shared_ptr<ScanShared> shared_;
    QThread* thread_ = nullptr;
    ScanWorker* worker_ = nullptr;
};

// The text shown when an acquisition fails: "扫描失败：" and the reason.
QString ScanFailureMessage(const QString& reason);

} // namespace images
