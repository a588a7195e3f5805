#pragma once
// The focus on sway (and compositors with its IPC): window and workspace events of the $SWAYSOCK
// socket, read on the worker thread as they arrive.

#include <memory>
#include <string>

#include "platform/linux/foreground/ForegroundSource.h"
#include "platform/linux/foreground/SwayIpc.h"

class QSocketNotifier;

namespace kelvane::linux_port {

class SwayIpcSource final : public ForegroundSource {
public:
    // `socketPath` is $SWAYSOCK; `procRoot` is where an app id is looked up when sway gives no PID.
    explicit SwayIpcSource(std::string socketPath, std::string procRoot = "/proc");
    ~SwayIpcSource() override;

    const char* Name() const override { return "sway"; }
    bool Start(ForegroundSink& sink) override;

private:
    void ReadEvents();
    // Handles the complete messages received; false when the stream is broken.
    bool Dispatch();
    void Report();

    std::string socketPath_;
    std::string procRoot_;
    int fd_ = -1;
    ForegroundSink* sink_ = nullptr;
    sway::Stream stream_;
    sway::Focus focus_;
    bool treeSeen_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace kelvane::linux_port
