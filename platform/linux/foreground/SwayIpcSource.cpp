#include "platform/linux/foreground/SwayIpcSource.h"

#include "platform/linux/foreground/AppScope.h"

#include <QSocketNotifier>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kelvane::linux_port {

namespace {

constexpr int kStartTimeoutMs = 2000;

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

SwayIpcSource::SwayIpcSource(std::string socketPath, std::string procRoot)
    : socketPath_(std::move(socketPath)), procRoot_(std::move(procRoot)) {}

SwayIpcSource::~SwayIpcSource() {
    notifier_.reset();
    if (fd_ >= 0)
        ::close(fd_);
}

bool SwayIpcSource::Start(ForegroundSink& sink) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath_.empty() || socketPath_.size() >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, socketPath_.c_str(), socketPath_.size() + 1);
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0)
        return false;
    // A local socket connects at once or not at all.
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
        return false;
    if (!WriteAll(fd_, sway::Frame(sway::kSubscribe, R"(["window","workspace","shutdown"])")) ||
        !WriteAll(fd_, sway::Frame(sway::kGetTree, "")))
        return false;
    sink_ = &sink;
    // Wait for the tree, so the first reading is the desktop's present focus; events that come
    // before it are older than the tree and are applied in order anyway.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (!treeSeen_) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        pollfd poller{fd_, POLLIN, 0};
        if (left <= 0 || ::poll(&poller, 1, static_cast<int>(left)) <= 0)
            return false;
        char buffer[65536];
        const ssize_t n = ::recv(fd_, buffer, sizeof(buffer), 0);
        if (n <= 0)
            return false;
        stream_.Feed(buffer, static_cast<std::size_t>(n));
        if (!Dispatch())
            return false;
    }
    Report();
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { ReadEvents(); });
    return true;
}

bool SwayIpcSource::Dispatch() {
    std::uint32_t type = 0;
    std::string payload;
    while (stream_.Next(type, payload)) {
        if (type == sway::kEventShutdown)
            return false;
        const bool changed = sway::Apply(type, payload, focus_);
        if (type == sway::kGetTree)
            treeSeen_ = true;
        else if (changed && treeSeen_ && notifier_)
            Report();
    }
    return !stream_.Broken();
}

void SwayIpcSource::Report() {
    pid_t pid = focus_.pid;
    if (pid <= 0 && focus_.container != 0 && !focus_.appId.empty())
        pid = PidOfApp(focus_.appId, procRoot_);
    sink_->Foreground(pid);
}

void SwayIpcSource::ReadEvents() {
    for (;;) {
        char buffer[65536];
        const ssize_t n = ::recv(fd_, buffer, sizeof(buffer), 0);
        if (n > 0) {
            stream_.Feed(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        notifier_->setEnabled(false);
        sink_->Lost(n == 0 ? "the sway IPC socket closed"
                           : std::string("the sway IPC socket failed: ") + std::strerror(errno));
        return;
    }
    if (!Dispatch()) {
        notifier_->setEnabled(false);
        sink_->Lost("sway is shutting down or sent a message that is not sway IPC");
    }
}

} // namespace kelvane::linux_port
