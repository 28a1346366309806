#include "app/mainwindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    application.setApplicationName(QStringLiteral("Velmora"));
    app::MainWindow window;
    if (!window.initialise())
        return 0;
    window.show();
    return application.exec();
}
