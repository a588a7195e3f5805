#include "tests/support/ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kelvane::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::function<void()>& beforeExec) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return;
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        if (beforeExec)
            beforeExec();
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    out_ = pipeFds[0];
}

ChildProcess::~ChildProcess() {
    KillAndReap();
    if (out_ >= 0)
        ::close(out_);
}

std::string ChildProcess::ReadLine(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::size_t newline = buffer_.find('\n');
        if (newline != std::string::npos) {
            std::string line = buffer_.substr(0, newline);
            buffer_.erase(0, newline + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (out_ < 0 || left.count() <= 0)
            return {};
        pollfd p{out_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char chunk[256];
        const ssize_t n = ::read(out_, chunk, sizeof chunk);
        if (n <= 0)
            return {};
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

int ChildProcess::KillAndReap() {
    int status = 0;
    if (pid_ > 0 && !reaped_) {
        ::kill(pid_, SIGKILL);
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        reaped_ = true;
    }
    return status;
}

bool ChildProcess::WaitExitedNoReap(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        ::usleep(2000);
    }
}

std::string Shell(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen((command + " 2>&1").c_str(), "r")) {
        char chunk[512];
        while (std::fgets(chunk, sizeof chunk, pipe) != nullptr)
            output += chunk;
        ::pclose(pipe);
    }
    return output;
}

std::string TestChildPath() {
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string();
    dir = dir.substr(0, dir.rfind('/'));
    return dir + "/kelvane_test_child";
}

SharedCopy::SharedCopy(const std::string& program) {
    namespace fs = std::filesystem;
    char dirTemplate[] = "/tmp/kelvane-shared-XXXXXX";
    if (::mkdtemp(dirTemplate) == nullptr) {
        error_ = std::string("mkdtemp in /tmp: ") + std::strerror(errno);
        return;
    }
    dir_ = dirTemplate;
    const std::string copy = dir_ + "/" + fs::path(program).filename().string();
    const auto everyone = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                          fs::perms::others_read | fs::perms::others_exec;
    std::error_code ec;
    fs::permissions(dir_, everyone, ec);
    if (!ec)
        fs::copy_file(program, copy, ec);
    if (!ec)
        fs::permissions(copy, everyone, ec);
    if (ec)
        error_ = "copying " + program + " to " + dir_ + ": " + ec.message();
    else
        path_ = copy;
}

SharedCopy::~SharedCopy() {
    std::error_code ec;
    if (!dir_.empty())
        std::filesystem::remove_all(dir_, ec);
}

} // namespace kelvane::test
