#include "gui/trends/trendsdialogs.h"

#include "gui/main/dialogregistry.h"
#include "gui/trends/trendswindow.h"

namespace kestavo::trends {

void registerTrendsWindow(core::DialogRegistry& registry, history::HistoryStore& history)
{
    registry.add(core::DialogId::Trends, [&history](core::Context& context, int argument) -> QWidget* {
        return new TrendsWindow(context, history, argument >= 1 && argument <= 9 ? argument : 0);
    });
}

} // namespace kestavo::trends
