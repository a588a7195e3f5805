#pragma once
// A child process started by a test, with its standard output readable line by line. The child is
// killed and reaped when the object goes away, so a test never leaves a process behind.

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kelvane::test {

class ChildProcess {
public:
    // Runs `argv` (argv[0] a path). `beforeExec` runs in the child between fork and exec (set the
    // nice value, limits, user ...); it must only make async-signal-safe calls.
    explicit ChildProcess(const std::vector<std::string>& argv, const std::function<void()>& beforeExec = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    // The next line of the child's output without its newline; empty at the end or after
    // `timeoutMs` without one.
    std::string ReadLine(int timeoutMs = 10000);
    // Kills (SIGKILL) and reaps the child; returns its wait status.
    int KillAndReap();
    // Waits for the child to exit by itself, without reaping it (it stays a zombie).
    bool WaitExitedNoReap(int timeoutMs = 10000);

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
    bool reaped_ = false;
};

// Runs a shell command and returns what it printed (standard output and error).
std::string Shell(const std::string& command);

// The path of the test child program (kelvane_test_child, built beside the tests).
std::string TestChildPath();

// A copy of a program in a folder of its own under /tmp that every user may enter and run, for a
// child started as another user: the build folder may lie where only its owner may go (a clone in
// /root, mode 0700). The folder goes with the object.
class SharedCopy {
public:
    explicit SharedCopy(const std::string& program);
    ~SharedCopy();
    SharedCopy(const SharedCopy&) = delete;
    SharedCopy& operator=(const SharedCopy&) = delete;

    // The copy's path; empty when it could not be made, and then error() says why.
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

private:
    std::string dir_;
    std::string path_;
    std::string error_;
};

} // namespace kelvane::test
