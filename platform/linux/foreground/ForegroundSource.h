#pragma once
// One way of learning the focused window's process on a desktop session. A source lives on the
// tracker's worker thread, which runs a Qt event loop: it follows its desktop's events there and
// reports each change through its sink, so reading the foreground never waits for the desktop.

#include <sys/types.h>

#include <string>

namespace kelvane::linux_port {

class ForegroundSink {
public:
    virtual ~ForegroundSink() = default;
    // The process that owns the focused window now; 0 for none or unknown.
    virtual void Foreground(pid_t pid) = 0;
    // The source stopped working (the desktop went away, the extension was disabled). The source is
    // destroyed afterwards; it must not report again.
    virtual void Lost(const std::string& why) = 0;
    // A limitation the user should hear about once.
    virtual void Notice(const std::string& text) = 0;
};

class ForegroundSource {
public:
    virtual ~ForegroundSource() = default;
    // The name `kelvanectl foreground --verbose` shows ("x11", "sway", "kwin", ...).
    virtual const char* Name() const = 0;
    // Starts following the focus on the calling (worker) thread; false when this session has no
    // such source. A source that starts reports the current foreground soon after (possibly before
    // Start returns).
    virtual bool Start(ForegroundSink& sink) = 0;
};

} // namespace kelvane::linux_port
