#pragma once
// The sway IPC protocol ("i3-ipc" framing over $SWAYSOCK) and what its replies and events say about
// the focused window. No I/O here: SwayIpcSource does the socket.

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace kelvane::linux_port::sway {

constexpr std::uint32_t kGetTree = 4;
constexpr std::uint32_t kSubscribe = 2;
constexpr std::uint32_t kEventWorkspace = 0x80000000U;
constexpr std::uint32_t kEventWindow = 0x80000003U;
constexpr std::uint32_t kEventShutdown = 0x80000006U;

// One framed message: magic, payload length and type (native byte order), payload.
std::string Frame(std::uint32_t type, const std::string& payload);

// Splits a byte stream into messages.
class Stream {
public:
    void Feed(const char* data, std::size_t size) { buffer_.append(data, size); }
    // The next complete message; false when none is complete yet or the stream is not i3-ipc.
    bool Next(std::uint32_t& type, std::string& payload);
    bool Broken() const { return broken_; }

private:
    std::string buffer_;
    bool broken_ = false;
};

// The focused window as far as the messages so far tell.
struct Focus {
    long long container = 0; // sway's container id; 0 when no window is focused
    pid_t pid = 0;
    std::string appId; // app_id, or the X11 class of an XWayland window
};

// Applies a GET_TREE reply or a window or workspace event to `focus`; false when the message says
// nothing about the focus (a title change, another window closing).
bool Apply(std::uint32_t type, const std::string& payload, Focus& focus);

} // namespace kelvane::linux_port::sway
