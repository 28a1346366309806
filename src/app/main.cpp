#include "app/mainwindow.h"
#include "ui/windowsetup.h"

#include <QApplication>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    application.setApplicationName(u"Velmora"_s);
    ui::InstallChineseTranslations(application);
    app::MainWindow window;
    if (!window.initialise())
        return 0;
    ui::ShowFillingScreen(&window);
    return application.exec();
}
