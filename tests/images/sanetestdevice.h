#pragma once

#include <QByteArray>
#include <QString>

namespace images_test {

// A private SANE configuration: SANE_CONFIG_DIR names a folder whose dll.conf holds only the
// `test` backend (two virtual devices, 50 dpi, 80 × 100 mm), or no backend at all, so tests never
// wait on the system's backends or on hardware. SANE reads SANE_CONFIG_DIR once per process, so
// there is one folder for the whole test binary, made before the first SANE call; each instance
// rewrites its dll.conf (read again at every sane_init).
class SaneTestDevice {
public:
    explicit SaneTestDevice(bool withDevices = true);
    ~SaneTestDevice();
    static QString folder();
};

} // namespace images_test
