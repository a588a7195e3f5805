#pragma once
// A dbus-daemon of the test's own, made the session bus of the test process. It must start before
// the process's first D-Bus connection: libdbus reads the address only once.

#include <memory>
#include <string>

#include "tests/support/ChildProcess.h"

namespace kelvane::test {

class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    bool Up() const { return !address_.empty(); }
    const std::string& Address() const { return address_; }

private:
    std::string dir_;
    std::string address_;
    std::unique_ptr<ChildProcess> daemon_;
};

} // namespace kelvane::test
