#pragma once

namespace kestavo::core {
class DialogRegistry;
}
namespace kestavo::history {
class HistoryStore;
}

namespace kestavo::trends {

/// Registers the Trends window (DialogId::Trends) reading from `history`.
void registerTrendsWindow(core::DialogRegistry& registry, history::HistoryStore& history);

} // namespace kestavo::trends
