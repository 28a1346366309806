#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// A modal dialog a test waited for and never saw fails that test when it ends.
class ModalWaitCheck : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override { testing_support::FailPendingModalWaits(); }
};

} // namespace

// One QApplication for every test of the binary, headless unless a display is asked for. The
// headless screen is a common office screen (1366 × 768) rather than the platform's default
// 800 × 800, so that window placement is tested on a screen the main window is made for; window
// frames are on, so a frame above the screen's top edge shows.
int main(int argc, char** argv) {
    // Every test run checks control names strictly (a misspelt name is fatal), whether CTest or a
    // developer starts the binary. (A CTest ENVIRONMENT list passed through gtest_discover_tests
    // keeps only its first entry, so the variable is set here.)
    if (!qEnvironmentVariableIsSet("VELMORA_STRICT_NAMES"))
        qputenv("VELMORA_STRICT_NAMES", "1");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir configDir;
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen" && configDir.isValid()) {
        const QString path = QDir(configDir.path()).filePath(u"screen.json"_s);
        QFile config(path);
        if (config.open(QIODevice::WriteOnly)) {
            config.write(R"({"windowFrameMargins": true, "screens": [{"name": "office", "x": 0, "y": 0,
                "width": 1366, "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
            config.close();
            qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(path));
        }
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ModalWaitCheck);
    return RUN_ALL_TESTS();
}
