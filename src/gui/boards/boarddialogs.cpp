#include "gui/boards/boarddialogs.h"

#include "gui/boards/boardchooserdialog.h"
#include "gui/main/dialogregistry.h"

namespace kestavo::daughterboards {

void registerBoardDialogs(core::DialogRegistry& registry, const BoardTimings& timings)
{
    registry.add(core::DialogId::DaughterBoards, [timings](core::Context& context, int) -> QWidget* {
        return new BoardChooserDialog(context, timings);
    });
}

} // namespace kestavo::daughterboards
