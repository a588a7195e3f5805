#pragma once
// TStandardSystemMenu keeps a taskbar button's window menu in step with the main window where the
// taskbar button belongs to a hidden application window. On Linux the taskbar entry is the main
// window's own, so installing it does nothing; its command translation and item states are kept
// as data so that the behaviour is written down and tested.

#include <array>
#include <cstdint>
#include <optional>

class QWidget;

namespace kelvane::app {

class TStandardSystemMenu {
public:
    enum Command : std::uint16_t {
        SC_SIZE = 0xF000,
        SC_MOVE = 0xF010,
        SC_MINIMIZE = 0xF020,
        SC_MAXIMIZE = 0xF030,
        SC_RESTORE = 0xF120,
    };
    enum CopyId : std::uint16_t { IdRestore = 0xFFF0, IdMaximize = 0xFFF3, IdSize = 0xFFF4, IdMove = 0xFFF5 };
    enum class WindowState { Normal, Minimized, Maximized };
    enum ItemState { Enabled = 0, Greyed = 3 };

    // The identifier a source command gets in the copied menu.
    static std::uint16_t CopyIdentifier(std::uint16_t sourceCommand);
    // The command a chosen copy item is forwarded as; none for items that are not forwarded
    // (maximize is handled on its own).
    static std::optional<std::uint16_t> ForwardedCommand(std::uint16_t copyIdentifier);
    // The states of Restore, Move, Size, Minimize and Maximize in this order.
    static std::array<ItemState, 5> ItemStates(WindowState state);

    // Installs the component on its owner form: nothing to do where the taskbar entry is the
    // form's own.
    void Loaded(QWidget* owner);
    bool Installed() const { return false; }
};

} // namespace kelvane::app
