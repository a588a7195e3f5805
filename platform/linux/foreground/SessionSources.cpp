#include "platform/linux/foreground/SessionSources.h"

#include <cstdlib>
#include <sys/stat.h>

namespace kelvane::linux_port {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

} // namespace

const char* SourceKindName(SourceKind kind) {
    switch (kind) {
    case SourceKind::X11:
        return "x11";
    case SourceKind::KWin:
        return "kwin";
    case SourceKind::GnomeShell:
        return "gnome-shell";
    case SourceKind::Sway:
        return "sway";
    case SourceKind::XWayland:
        return "xwayland";
    }
    return "?";
}

SessionEnvironment SessionEnvironment::FromProcess() {
    SessionEnvironment env;
    env.display = Env("DISPLAY");
    env.waylandDisplay = Env("WAYLAND_DISPLAY");
    env.sessionType = Env("XDG_SESSION_TYPE");
    env.swaySocket = Env("SWAYSOCK");
    // Without an address libdbus falls back to $XDG_RUNTIME_DIR/bus; never let it autolaunch a bus.
    const std::string runtimeDir = Env("XDG_RUNTIME_DIR");
    struct stat st {};
    env.sessionBus =
        !Env("DBUS_SESSION_BUS_ADDRESS").empty() ||
        (!runtimeDir.empty() && ::stat((runtimeDir + "/bus").c_str(), &st) == 0 && S_ISSOCK(st.st_mode));
    return env;
}

bool IsWaylandSession(const SessionEnvironment& env) {
    return !env.waylandDisplay.empty() || env.sessionType == "wayland";
}

std::vector<SourceKind> CandidateSources(const SessionEnvironment& env) {
    std::vector<SourceKind> kinds;
    if (!IsWaylandSession(env)) {
        if (!env.display.empty())
            kinds.push_back(SourceKind::X11);
        return kinds;
    }
    if (env.sessionBus) {
        kinds.push_back(SourceKind::KWin);
        kinds.push_back(SourceKind::GnomeShell);
    }
    if (!env.swaySocket.empty())
        kinds.push_back(SourceKind::Sway);
    if (!env.display.empty())
        kinds.push_back(SourceKind::XWayland);
    return kinds;
}

} // namespace kelvane::linux_port
