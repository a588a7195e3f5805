#pragma once
// Which foreground sources a desktop session may offer, in the order they are tried, from the
// session's environment variables.

#include <string>
#include <vector>

namespace kelvane::linux_port {

enum class SourceKind { X11, KWin, GnomeShell, Sway, XWayland };

const char* SourceKindName(SourceKind kind);

struct SessionEnvironment {
    std::string display;        // DISPLAY
    std::string waylandDisplay; // WAYLAND_DISPLAY
    std::string sessionType;    // XDG_SESSION_TYPE
    std::string swaySocket;     // SWAYSOCK
    bool sessionBus = false;    // DBUS_SESSION_BUS_ADDRESS set, or $XDG_RUNTIME_DIR/bus exists

    static SessionEnvironment FromProcess();
};

bool IsWaylandSession(const SessionEnvironment& env);

// Wayland: KWin and GNOME Shell over the session bus, the sway IPC, then XWayland through X11.
// Otherwise X11 when there is a display. Empty when nothing can be asked.
std::vector<SourceKind> CandidateSources(const SessionEnvironment& env);

} // namespace kelvane::linux_port
