#include "daughterboards/boarddialogs.h"

#include "core/dialogregistry.h"

#include "daughterboards/boardchooserdialog.h"

namespace kestavo::daughterboards {

void registerBoardDialogs(core::DialogRegistry& registry, const BoardTimings& timings)
{
    registry.add(core::DialogId::DaughterBoards, [timings](core::Context& context, int) -> QWidget* {
        return new BoardChooserDialog(context, timings);
    });
}

} // namespace kestavo::daughterboards
