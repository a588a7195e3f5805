#include "app/SingleInstance.h"

#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kelvane::app {

namespace {

constexpr char kShowRequest[] = "show\n";
constexpr char kShownAnswer[] = "shown\n";

bool SocketAddress(const QString& path, sockaddr_un& address) {
    const QByteArray native = QFile::encodeName(path);
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (static_cast<std::size_t>(native.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, native.constData(), static_cast<std::size_t>(native.size()));
    return true;
}

QString Base(const QString& folder, const QString& key) { return folder + QStringLiteral("/window-") + key; }

QString Errno() { return QString::fromLocal8Bit(std::strerror(errno)); }

} // namespace

SingleInstance::~SingleInstance() {
    delete notifier_;
    if (listener_ >= 0) {
        ::close(listener_);
        ::unlink(QFile::encodeName(socketPath_).constData()); // still under the lock: no one else's
    }
}

QString SingleInstance::SessionKey() {
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    QString key = linux_port::PidNamespaceKey() + u'-';
    for (const QChar c : display)
        key += c.isLetterOrNumber() || c == u'.' ? c : u'_';
    return key;
}

SingleInstance::Claimed SingleInstance::Claim(const QString& folder, const QString& key, std::function<void()> show) {
    if (folder.isEmpty())
        return Claimed::Unavailable;
    if (!lock_.Try(Base(folder, key) + QStringLiteral(".lock"), linux_port::FileLock::Mode::Exclusive, true))
        return errno == EWOULDBLOCK ? Claimed::Others : Claimed::Unavailable;
    lock_.Describe(QByteArray("PID ") + QByteArray::number(::getpid()));
    show_ = std::move(show);
    socketPath_ = Base(folder, key) + QStringLiteral(".socket");
    sockaddr_un address {};
    if (!SocketAddress(socketPath_, address))
        return Claimed::Ours; // later starts just cannot reach it
    ::unlink(address.sun_path); // a killed one's
    listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listener_ < 0)
        return Claimed::Ours;
    if (::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 8) != 0) {
        ::close(listener_);
        listener_ = -1;
        return Claimed::Ours;
    }
    notifier_ = new QSocketNotifier(listener_, QSocketNotifier::Read);
    QObject::connect(notifier_, &QSocketNotifier::activated, this, [this] { Serve(); });
    return Claimed::Ours;
}

void SingleInstance::Serve() {
    for (;;) {
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            return;
        // The asker writes its request at once; one that does not holds the window up 500 ms at most.
        char request[16] = {};
        pollfd readable {client, POLLIN, 0};
        const ssize_t got = ::poll(&readable, 1, 500) == 1 ? ::read(client, request, sizeof request - 1) : -1;
        if (got > 0 && std::strcmp(request, kShowRequest) == 0) {
            if (show_)
                show_();
            [[maybe_unused]] const ssize_t sent = ::send(client, kShownAnswer, sizeof kShownAnswer - 1, MSG_NOSIGNAL);
        }
        ::close(client);
    }
}

bool SingleInstance::AskToShow(const QString& folder, const QString& key, int timeoutMs, QString* error) {
    const QString path = Base(folder, key) + QStringLiteral(".socket");
    sockaddr_un address {};
    if (!SocketAddress(path, address)) {
        *error = path + QStringLiteral(": the path is too long for a socket");
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::send(fd, kShowRequest, sizeof kShowRequest - 1, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof kShowRequest - 1)) {
        *error = path + QStringLiteral(": ") + Errno();
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    char answer[16] = {};
    pollfd readable {fd, POLLIN, 0};
    const ssize_t got = ::poll(&readable, 1, timeoutMs) == 1 ? ::read(fd, answer, sizeof answer - 1) : -1;
    ::close(fd);
    if (got <= 0 || std::strcmp(answer, kShownAnswer) != 0) {
        *error = QStringLiteral("it did not answer within %1 ms").arg(timeoutMs);
        return false;
    }
    return true;
}

} // namespace kelvane::app
