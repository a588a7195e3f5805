#pragma once
// The process that owns the active window of an X11 desktop (EWMH _NET_ACTIVE_WINDOW): the PID of
// the window's client as the X server knows it (X-Resource client IDs), else the window's
// _NET_WM_PID. One connection is kept and opened again after a failure. Every call is a round trip
// to the X server: foreground/X11Source calls it only when the active window changed.

#include <sys/types.h>

#include <memory>

namespace kelvane::linux_port {

class X11Foreground {
public:
    X11Foreground();
    ~X11Foreground();
    X11Foreground(const X11Foreground&) = delete;
    X11Foreground& operator=(const X11Foreground&) = delete;

    // 0 without a display, without an active window, or when the owner cannot be told.
    pid_t ForegroundPid();

private:
    bool Connect();
    void Disconnect();
    pid_t ClientPidOfWindow(unsigned window);
    pid_t WmPidOfWindow(unsigned window);

    struct Connection; // the xcb connection with its EWMH atoms
    std::unique_ptr<Connection> x_;
};

} // namespace kelvane::linux_port
