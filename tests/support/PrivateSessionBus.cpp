#include "tests/support/PrivateSessionBus.h"

#include <cstdlib>
#include <unistd.h>

namespace kelvane::test {

PrivateSessionBus::PrivateSessionBus() {
    char dirTemplate[] = "/tmp/kelvane-bus-XXXXXX";
    if (::mkdtemp(dirTemplate) == nullptr)
        return;
    dir_ = dirTemplate;
    daemon_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/usr/bin/dbus-daemon", "--session", "--nofork", "--nopidfile",
                                 "--print-address=1", "--address=unix:path=" + dir_ + "/bus"});
    address_ = daemon_->ReadLine();
    if (!address_.empty())
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
}

PrivateSessionBus::~PrivateSessionBus() {
    daemon_.reset();
    if (!dir_.empty())
        Shell("rm -rf " + dir_);
}

} // namespace kelvane::test
