#pragma once
// The foreground process of the desktop session, kept current by the session's own events. The
// first call picks the source (SessionSources gives the order) on a worker thread and waits briefly
// for its first answer; after that a call is the read of an atomic, whatever the source.
//
// A source that stops (the compositor restarts, the extension is disabled) makes the foreground 0
// at once and the others are tried; while the source in use is not the first choice, the better
// ones are tried again now and then, so that a desktop coming back is taken up again.

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/linux/foreground/ForegroundSource.h"
#include "platform/linux/foreground/SessionSources.h"

class QThread;

namespace kelvane::linux_port {

class X11Foreground;

class ForegroundTracker {
public:
    using Factory = std::function<std::unique_ptr<ForegroundSource>(SourceKind)>;
    struct Timing {
        int firstAnswerMs = 1500; // how long the first call waits for the first answer
        int retryMs = 1000;       // after a loss, or while no source answers (doubling up to 16 s)
        int upgradeMs = 10000;    // how often better sources are tried while a fallback is in use
    };

    // The sources of this process's session.
    ForegroundTracker();
    ForegroundTracker(SessionEnvironment env, Factory factory, Timing timing);
    ~ForegroundTracker();
    ForegroundTracker(const ForegroundTracker&) = delete;
    ForegroundTracker& operator=(const ForegroundTracker&) = delete;

    // The process owning the focused window; 0 without a source or a focused window.
    pid_t Pid();
    // The name of the source in use ("x11", "kwin", "gnome-shell", "sway", "xwayland"; "x11-direct"
    // in a program without a QCoreApplication, where X11 is asked on each call); "none".
    std::string SourceName();
    // The limitations met since the last call, each once in the tracker's life.
    std::vector<std::string> TakeNotices();

    // The real sources, for the tracker's default factory.
    static std::unique_ptr<ForegroundSource> MakeSource(SourceKind kind, const SessionEnvironment& env);

private:
    void EnsureStarted();

    struct State;
    class Worker;
    std::shared_ptr<State> state_;
    SessionEnvironment env_;
    Factory factory_;
    Timing timing_;
    std::unique_ptr<QThread> thread_;
    Worker* worker_ = nullptr;
    std::unique_ptr<X11Foreground> direct_;
};

} // namespace kelvane::linux_port
