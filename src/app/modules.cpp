#include "mainwindow.h"

namespace app {

void AttachModules(ui::MainParts& parts)
{
    (void)parts;
}

}  // namespace app
