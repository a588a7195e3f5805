#pragma once
// A TCP server on 127.0.0.1 (an ephemeral port) for the network tests: it serves each connection
// in turn on its own thread with a handler that may answer anything, or nothing at all.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kelvane::test {

class LocalServer {
public:
    // One accepted connection, as the handler sees it. Every wait ends when the server stops.
    class Connection {
    public:
        Connection(int fd, int stopFd, LocalServer& server) : fd_(fd), stopFd_(stopFd), server_(server) {}
        int Fd() const { return fd_; }
        // The request head up to its blank line ("" when none came within two seconds).
        std::string ReadRequest();
        // Writes all of `data`; false when the client is gone or the server stops.
        bool Send(std::string_view data);
        // Waits until the client closes the connection.
        void WaitUntilClosed();
        // Waits for `time`; false when the server stops first.
        bool Pause(std::chrono::milliseconds time);
        // Closes the connection with a TCP reset.
        void Reset();

    private:
        int fd_;
        int stopFd_;
        LocalServer& server_;
    };
    using Handler = std::function<void(Connection&)>;

    explicit LocalServer(Handler handler);
    ~LocalServer();
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    std::uint16_t Port() const { return port_; }
    std::string Url(std::string_view path = "/Kelvane/verdescription.txt") const;
    int Connections() const { return connections_; }
    // Requests read with ReadRequest, in order.
    std::vector<std::string> Requests() const;

private:
    void Run();

    Handler handler_;
    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// A TCP socket bound to 127.0.0.1 on an ephemeral port, not yet listening; `port` receives the port.
int BindLoopback(std::uint16_t& port);
// A port on 127.0.0.1 that nothing listens on.
std::uint16_t ClosedPort();

} // namespace kelvane::test
