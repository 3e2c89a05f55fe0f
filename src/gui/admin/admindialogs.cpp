#include "admin/admindialogs.h"

#include "core/dialogregistry.h"

#include "admin/changeipdialog.h"
#include "admin/changemacdialog.h"
#include "admin/securitydialog.h"
#include "admin/stationnamedialog.h"
#include "admin/uptimedialog.h"

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
