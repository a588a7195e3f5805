#pragma once
// The focus on an X11 desktop (or the XWayland windows of a Wayland one): the root window's
// _NET_ACTIVE_WINDOW changes arrive as property events on a connection of their own; each change
// asks X11Foreground once for the owner of the new active window.

#include <memory>

#include "platform/linux/X11Foreground.h"
#include "platform/linux/foreground/ForegroundSource.h"

class QSocketNotifier;

namespace kelvane::linux_port {

class X11Source final : public ForegroundSource {
public:
    // `name` is "x11", or "xwayland" when the display is a Wayland session's XWayland.
    explicit X11Source(const char* name = "x11");
    ~X11Source() override;

    const char* Name() const override { return name_; }
    bool Start(ForegroundSink& sink) override;

private:
    // Drains the queued events; true when the active window changed.
    bool DrainEvents();
    void OnReadable();

    const char* name_;
    struct Events; // the event connection
    std::unique_ptr<Events> events_;
    X11Foreground query_;
    ForegroundSink* sink_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace kelvane::linux_port
