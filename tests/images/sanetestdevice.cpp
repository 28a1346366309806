#include "sanetestdevice.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace images_test {

namespace {

void writeFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
}

// The test backend takes its start values from test.conf; without one its resolution and
// scan area are zero.
const char* const kTestConf = R"(number_of_devices 2
mode Gray
depth 8
hand-scanner false
three-pass false
three-pass-order RGB
resolution_min 1.0
resolution_max 1200.0
resolution_quant 1.0
resolution 50.0
test-picture "Solid black"
invert-endianess false
read-limit false
read-limit-size 1
read-delay false
read-delay-duration 1000
read-status-code "Default"
fuzzy-parameters false
ppl-loss 0
non-blocking false
select-fd true
enable-test-options false
geometry_min 0.0
geometry_max 200.0
geometry_quant 1.0
tl_x 0.0
tl_y 0.0
br_x 80.0
br_y 100.0
)";

} // namespace

QString SaneTestDevice::folder() {
    static QTemporaryDir dir;
    [[maybe_unused]] static const bool made = [] {
        writeFile(QDir(dir.path()).filePath(u"test.conf"_s), QByteArray(kTestConf));
        // No trailing colon: the system's configuration folders are not searched after this one.
        qputenv("SANE_CONFIG_DIR", dir.path().toLocal8Bit());
        return true;
    }();
    return dir.path();
}

SaneTestDevice::SaneTestDevice(bool withDevices) {
    writeFile(QDir(folder()).filePath(u"dll.conf"_s), withDevices ? QByteArray("test\n") : QByteArray());
}

SaneTestDevice::~SaneTestDevice() {
    writeFile(QDir(folder()).filePath(u"dll.conf"_s), QByteArray("test\n"));
}

} // namespace images_test
