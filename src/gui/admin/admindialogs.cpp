#include "gui/admin/admindialogs.h"

#include "gui/admin/changeipdialog.h"
#include "gui/admin/changemacdialog.h"
#include "gui/admin/securitydialog.h"
#include "gui/admin/stationnamedialog.h"
#include "gui/admin/uptimedialog.h"
#include "gui/main/dialogregistry.h"

namespace kestavo::admin {

void registerAdminDialogs(core::DialogRegistry& registry)
{
    using core::Context;
    using core::DialogId;
    registry.add(DialogId::Security, [](Context& context, int) { return new SecurityDialog(context); });
    registry.add(DialogId::ChangeIp, [](Context& context, int) { return new ChangeIpDialog(context); });
    registry.add(DialogId::ChangeMac, [](Context& context, int) { return new ChangeMacDialog(context); });
    registry.add(DialogId::StationName, [](Context& context, int) { return new StationNameDialog(context); });
    registry.add(DialogId::Uptime, [](Context& context, int) { return new UptimeDialog(context); });
}

} // namespace kestavo::admin
