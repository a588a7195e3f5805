#include "app/StandardSystemMenu.h"

namespace kelvane::app {

std::uint16_t TStandardSystemMenu::CopyIdentifier(std::uint16_t command) {
    switch (command) {
    case SC_SIZE:
        return IdSize;
    case SC_MOVE:
        return IdMove;
    case SC_MAXIMIZE:
        return IdMaximize;
    case SC_RESTORE:
        return IdRestore;
    default: // minimize, close, separators keep theirs
        return command;
    }
}

std::optional<std::uint16_t> TStandardSystemMenu::ForwardedCommand(std::uint16_t id) {
    switch (id) {
    case IdSize:
        return SC_SIZE;
    case IdMove:
        return SC_MOVE;
    case SC_MINIMIZE:
        return SC_MINIMIZE;
    case IdRestore:
        return SC_RESTORE;
    default:
        return std::nullopt;
    }
}

std::array<TStandardSystemMenu::ItemState, 5> TStandardSystemMenu::ItemStates(WindowState state) {
    switch (state) {
    case WindowState::Maximized:
        return {Enabled, Greyed, Greyed, Enabled, Greyed};
    case WindowState::Minimized:
        return {Enabled, Greyed, Greyed, Greyed, Enabled};
    case WindowState::Normal:
        break;
    }
    return {Greyed, Enabled, Enabled, Enabled, Enabled};
}

void TStandardSystemMenu::Loaded(QWidget*) {}

} // namespace kelvane::app
