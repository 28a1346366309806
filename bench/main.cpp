#include "childrun.h"
#include "summary.h"

#include <QGuiApplication>

int main(int argc, char** argv) {
    // Headless; the child processes the benchmarks start inherit it.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    bench::StartChildRunner();       // while the process is still small
    QGuiApplication app(argc, argv); // fonts for the PDF pages
    return bench::RunWithSummary(argc, argv);
}
