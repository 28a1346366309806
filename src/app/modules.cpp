#include "mainwindow.h"

#include "admin/admincommands.h"
#include "alerts/alerttree.h"
#include "archive/recordcommands.h"
#include "archive/recordform.h"
#include "archive/vehicleform.h"
#include "claims/claimswindow.h"
#include "fees/feequerywindow.h"
#include "images/photocommands.h"
#include "import/importwindow.h"
#include "lists/listwindow.h"

namespace app {

void AttachModules(ui::MainParts& parts) {
    archive::AttachRecordForm(parts);
    archive::AttachVehicleCommands(parts);
    archive::AttachRecordCommands(parts);
    admin::AttachAdminCommands(parts);
    alerts::AttachAlertTree(parts);
    images::AttachPhotoCommands(parts);
    lists::AttachListCommands(parts);
    fees::AttachFeeQuery(parts);
    claims::AttachClaimsCommands(parts);
    fleetimport::AttachImportCommand(parts);
}

} // namespace app
