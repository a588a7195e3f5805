#include "platform/linux/foreground/ForegroundTracker.h"

#include "platform/linux/X11Foreground.h"
#include "platform/linux/foreground/GnomeShellSource.h"
#include "platform/linux/foreground/KWinScriptSource.h"
#include "platform/linux/foreground/SwayIpcSource.h"
#include "platform/linux/foreground/X11Source.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>

namespace kelvane::linux_port {

struct ForegroundTracker::State {
    std::atomic<pid_t> pid{0};
    std::mutex mutex;
    std::condition_variable answered;
    bool picked = false;   // the first pick is over
    bool reported = false; // the source in use gave its first answer
    std::string source = "none";
    std::vector<std::string> notices;
    std::set<std::string> noticed;

    void Notice(const std::string& text) {
        const std::lock_guard lock(mutex);
        if (noticed.insert(text).second)
            notices.push_back(text);
    }
};

// Lives on the tracker's thread: owns the source in use and the retry timers.
class ForegroundTracker::Worker final : public QObject, public ForegroundSink {
public:
    Worker(std::shared_ptr<State> state, SessionEnvironment env, Factory factory, Timing timing)
        : state_(std::move(state)), env_(std::move(env)), factory_(std::move(factory)), timing_(timing),
          retryDelay_(timing.retryMs) {}

    // On the worker thread.
    void Begin() {
        retry_ = new QTimer(this);
        retry_->setSingleShot(true);
        QObject::connect(retry_, &QTimer::timeout, this, [this] { Pick(candidates_.size()); });
        upgrade_ = new QTimer(this);
        QObject::connect(upgrade_, &QTimer::timeout, this, [this] { Pick(inUse_); });
        candidates_ = CandidateSources(env_);
        Pick(candidates_.size());
        {
            const std::lock_guard lock(state_->mutex);
            state_->picked = true;
        }
        state_->answered.notify_all();
    }

    void Stop() {
        retry_->stop();
        upgrade_->stop();
        source_.reset();
    }

    void Foreground(pid_t pid) override {
        state_->pid.store(pid > 0 ? pid : 0, std::memory_order_relaxed);
        {
            const std::lock_guard lock(state_->mutex);
            state_->reported = true;
        }
        state_->answered.notify_all();
    }

    void Lost(const std::string& why) override {
        state_->pid.store(0, std::memory_order_relaxed);
        Notice("the foreground source " + std::string(source_ ? source_->Name() : "?") + " stopped (" + why +
               "): trying the others, no process is boosted meanwhile");
        SetSource("none");
        // The source is inside its own callback: drop it from the event loop.
        QTimer::singleShot(0, this, [this] {
            source_.reset();
            inUse_ = candidates_.size();
            upgrade_->stop();
            retryDelay_ = timing_.retryMs;
            Pick(candidates_.size());
        });
    }

    void Notice(const std::string& text) override { state_->Notice(text); }

private:
    // Tries the first `count` candidates in order, replacing the source in use when one starts.
    void Pick(std::size_t count) {
        for (std::size_t i = 0; i < std::min(count, candidates_.size()); ++i) {
            std::unique_ptr<ForegroundSource> source = factory_(candidates_[i]);
            if (!source)
                continue;
            // The source in use keeps reporting until the new one has started.
            std::unique_ptr<ForegroundSource> previous = std::move(source_);
            source_ = std::move(source);
            if (!source_->Start(*this)) {
                source_ = std::move(previous);
                continue;
            }
            previous.reset();
            inUse_ = i;
            SetSource(source_->Name());
            if (candidates_[i] == SourceKind::XWayland)
                Notice("on this Wayland desktop only the windows of X11 applications (XWayland) are seen: "
                       "native "
                       "Wayland applications are not boosted");
            retry_->stop();
            retryDelay_ = timing_.retryMs;
            if (i > 0 && !upgrade_->isActive())
                upgrade_->start(timing_.upgradeMs);
            else if (i == 0)
                upgrade_->stop();
            return;
        }
        if (source_)
            return; // an upgrade that found nothing better
        state_->pid.store(0, std::memory_order_relaxed);
        if (IsWaylandSession(env_))
            Notice(
                "no source of the focused window on this Wayland desktop (KWin, the GNOME Shell extension, "
                "sway or XWayland): no process is boosted");
        retry_->start(retryDelay_);
        retryDelay_ = std::min(retryDelay_ * 2, 16000);
    }

    void SetSource(const char* name) {
        const std::lock_guard lock(state_->mutex);
        state_->source = name;
    }

    std::shared_ptr<State> state_;
    SessionEnvironment env_;
    Factory factory_;
    Timing timing_;
    std::vector<SourceKind> candidates_;
    std::unique_ptr<ForegroundSource> source_;
    std::size_t inUse_ = 0;
    int retryDelay_;
    QTimer* retry_ = nullptr;
    QTimer* upgrade_ = nullptr;
};

std::unique_ptr<ForegroundSource> ForegroundTracker::MakeSource(SourceKind kind,
                                                                const SessionEnvironment& env) {
    switch (kind) {
    case SourceKind::X11:
        return std::make_unique<X11Source>("x11");
    case SourceKind::XWayland:
        return std::make_unique<X11Source>("xwayland");
    case SourceKind::KWin:
        return std::make_unique<KWinScriptSource>();
    case SourceKind::GnomeShell:
        return std::make_unique<GnomeShellSource>();
    case SourceKind::Sway:
        return std::make_unique<SwayIpcSource>(env.swaySocket);
    }
    return nullptr;
}

ForegroundTracker::ForegroundTracker() : ForegroundTracker(SessionEnvironment::FromProcess(), {}, Timing{}) {}

ForegroundTracker::ForegroundTracker(SessionEnvironment env, Factory factory, Timing timing)
    : state_(std::make_shared<State>()), env_(std::move(env)), factory_(std::move(factory)), timing_(timing) {
    if (!factory_)
        factory_ = [env = env_](SourceKind kind) { return MakeSource(kind, env); };
}

ForegroundTracker::~ForegroundTracker() {
    direct_.reset();
    if (!thread_)
        return;
    // The source ends on its own thread (KWin's script is unloaded there), then the thread.
    QMetaObject::invokeMethod(
        worker_, [worker = worker_] { worker->Stop(); }, Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
    delete worker_;
}

void ForegroundTracker::EnsureStarted() {
    if (thread_ || direct_)
        return;
    if (QCoreApplication::instance() == nullptr) {
        // Without a Qt application no thread can run an event loop (nor a D-Bus connection): ask
        // the X server on each call instead.
        direct_ = std::make_unique<X11Foreground>();
        const std::lock_guard lock(state_->mutex);
        state_->source = "x11-direct";
        return;
    }
    thread_ = std::make_unique<QThread>();
    thread_->setObjectName(QStringLiteral("kelvane-foreground"));
    worker_ = new Worker(state_, env_, factory_, timing_);
    worker_->moveToThread(thread_.get());
    thread_->start();
    QMetaObject::invokeMethod(
        worker_, [worker = worker_] { worker->Begin(); }, Qt::QueuedConnection);
    std::unique_lock lock(state_->mutex);
    state_->answered.wait_for(lock, std::chrono::milliseconds(timing_.firstAnswerMs), [this] {
        return state_->picked && (state_->reported || state_->source == "none");
    });
}

pid_t ForegroundTracker::Pid() {
    EnsureStarted();
    if (direct_)
        return direct_->ForegroundPid();
    return state_->pid.load(std::memory_order_relaxed);
}

std::string ForegroundTracker::SourceName() {
    EnsureStarted();
    const std::lock_guard lock(state_->mutex);
    return state_->source;
}

std::vector<std::string> ForegroundTracker::TakeNotices() {
    const std::lock_guard lock(state_->mutex);
    std::vector<std::string> notices;
    notices.swap(state_->notices);
    return notices;
}

} // namespace kelvane::linux_port
