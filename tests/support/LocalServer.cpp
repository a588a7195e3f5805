#include "tests/support/LocalServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace kelvane::test {

int BindLoopback(std::uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("bind");
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

namespace {

// Polls `fd` for `events` and the stop pipe; true when `fd` is ready before a stop.
bool WaitFor(int fd, short events, int stopFd, int timeoutMs) {
    pollfd fds[2] = {{fd, events, 0}, {stopFd, POLLIN, 0}};
    const int ready = ::poll(fds, 2, timeoutMs);
    return ready > 0 && fds[1].revents == 0 && fds[0].revents != 0;
}

} // namespace

std::string LocalServer::Connection::ReadRequest() {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && WaitFor(fd_, POLLIN, stopFd_, 2000)) {
        const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        request.append(buffer, static_cast<std::size_t>(got));
    }
    const std::lock_guard lock(server_.mutex_);
    server_.requests_.push_back(request);
    return request;
}

bool LocalServer::Connection::Send(std::string_view data) {
    while (!data.empty()) {
        if (!WaitFor(fd_, POLLOUT, stopFd_, 5000))
            return false;
        const ssize_t sent = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

void LocalServer::Connection::WaitUntilClosed() {
    char buffer[4096];
    while (WaitFor(fd_, POLLIN, stopFd_, -1) && ::recv(fd_, buffer, sizeof buffer, 0) > 0) {
    }
}

bool LocalServer::Connection::Pause(std::chrono::milliseconds time) {
    pollfd stop{stopFd_, POLLIN, 0};
    return ::poll(&stop, 1, static_cast<int>(time.count())) == 0;
}

void LocalServer::Connection::Reset() {
    const linger option{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &option, sizeof option);
    ::shutdown(fd_, SHUT_RDWR);
}

LocalServer::LocalServer(Handler handler) : handler_(std::move(handler)) {
    listenFd_ = BindLoopback(port_);
    if (::listen(listenFd_, SOMAXCONN) != 0 || ::pipe2(stopPipe_, O_CLOEXEC) != 0)
        throw std::runtime_error("listen");
    thread_ = std::thread([this] { Run(); });
}

LocalServer::~LocalServer() {
    const char byte = 0;
    [[maybe_unused]] const ssize_t written = ::write(stopPipe_[1], &byte, 1);
    thread_.join();
    ::close(listenFd_);
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

std::string LocalServer::Url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<std::string> LocalServer::Requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

void LocalServer::Run() {
    while (true) {
        if (!WaitFor(listenFd_, POLLIN, stopPipe_[0], 100)) {
            pollfd stop{stopPipe_[0], POLLIN, 0};
            if (::poll(&stop, 1, 0) > 0)
                return;
            continue;
        }
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++connections_;
        Connection connection(fd, stopPipe_[0], *this);
        handler_(connection);
        ::close(fd);
    }
}

std::uint16_t ClosedPort() {
    std::uint16_t port = 0;
    const int fd = BindLoopback(port);
    ::close(fd); // bound but never listening: a connection is refused
    return port;
}

} // namespace kelvane::test
