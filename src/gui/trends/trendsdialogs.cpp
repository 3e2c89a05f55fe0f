#include "trends/trendsdialogs.h"

#include "core/dialogregistry.h"

#include "trends/trendswindow.h"

namespace kestavo::trends {

void registerTrendsWindow(core::DialogRegistry& registry, history::HistoryStore& history)
{
    registry.add(core::DialogId::Trends, [&history](core::Context& context, int argument) -> QWidget* {
        return new TrendsWindow(context, history, argument >= 1 && argument <= 9 ? argument : 0);
    });
}

} // namespace kestavo::trends
