// kelvanectl run with a test double of the foreground query: the process given on the command line
// is the foreground application, so the boost can be measured without a desktop.
//   latency_run_with_foreground PID --settings FILE
// Everything else is the real Linux port. Used by run_latency.sh inside a private PID namespace.

#include <QCoreApplication>
#include <QTextStream>
#include <atomic>
#include <csignal>

#include "engine/EngineHost.h"
#include "engine/MessageStrings.h"
#include "platform/linux/LinuxProcessApi.h"
#include "tools/kelvanectl/ProcessCommands.h"

using namespace kelvane;

namespace {

std::atomic<bool> stop{false};

class NoHost final : public EngineHost {
public:
    void MessageBox(const QString&, MessageKind) override {}
};

// Forwards every operation to the real port but answers the foreground query itself.
class ForegroundDouble final : public ProcessApi {
public:
    explicit ForegroundDouble(Pid foreground) : foreground_(foreground) {}
    ProcessHandle OpenProcess(std::uint32_t access, Pid pid) override { return real_.OpenProcess(access, pid); }
    ProcessHandle GetCurrentProcess() override { return real_.GetCurrentProcess(); }
    void CloseHandle(ProcessHandle& handle) override { real_.CloseHandle(handle); }
    bool GetExitCodeProcess(const ProcessHandle& h, std::uint32_t& code) override { return real_.GetExitCodeProcess(h, code); }
    std::uint32_t GetPriorityClass(const ProcessHandle& h) override { return real_.GetPriorityClass(h); }
    bool SetPriorityClass(const ProcessHandle& h, std::uint32_t c) override { return real_.SetPriorityClass(h, c); }
    bool GetProcessTimes(const ProcessHandle& h, ProcessTimes& t) override { return real_.GetProcessTimes(h, t); }
    bool GetProcessAffinityMask(const ProcessHandle& h, std::uint64_t& p, std::uint64_t& s) override {
        return real_.GetProcessAffinityMask(h, p, s);
    }
    bool SetProcessAffinityMask(const ProcessHandle& h, std::uint64_t m) override { return real_.SetProcessAffinityMask(h, m); }
    bool TerminateProcess(const ProcessHandle& h, std::uint32_t c) override { return real_.TerminateProcess(h, c); }
    bool BindEnumeration() override { return real_.BindEnumeration(); }
    void ReleaseEnumeration() override { real_.ReleaseEnumeration(); }
    bool EnumerationBound() const override { return real_.EnumerationBound(); }
    bool EnumProcesses(std::vector<Pid>& pids) override { return real_.EnumProcesses(pids); }
    bool EnumProcessModules(const ProcessHandle& h, ModuleHandle& m) override { return real_.EnumProcessModules(h, m); }
    QString GetModuleFileNameExW(const ProcessHandle& h, ModuleHandle m) override { return real_.GetModuleFileNameExW(h, m); }
    std::optional<int> LookupPrivilegeValue(const QString& name) override { return real_.LookupPrivilegeValue(name); }
    bool AdjustPrivilege(int p, bool e) override { return real_.AdjustPrivilege(p, e); }
    Pid GetForegroundProcessId() override { return foreground_; }
    int GetNumberOfProcessors() override { return real_.GetNumberOfProcessors(); }
    Pid PidLimit() override { return real_.PidLimit(); }
    Pid SystemPid() override { return real_.SystemPid(); }
    std::int64_t QueryPerformanceCounter() override { return real_.QueryPerformanceCounter(); }
    std::int64_t QueryPerformanceFrequency() override { return real_.QueryPerformanceFrequency(); }
    void Sleep(std::uint32_t ms) override { real_.Sleep(ms); }
    void EndOfPass(const std::vector<Pid>& used, const std::function<Pid()>& foreground) override {
        real_.EndOfPass(used, foreground);
    }
    void RestoreGroups() override { real_.RestoreGroups(); }
    QStringList TakeNotices() override { return real_.TakeNotices(); }
    int GetLastError() const override { return real_.GetLastError(); }
    void SetLastError(int error) override { real_.SetLastError(error); }
    QString SysErrorMessage(int error) const override { return real_.SysErrorMessage(error); }

private:
    LinuxProcessApi real_;
    Pid foreground_;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty())
        return 2;
    ForegroundDouble api(args.takeFirst().toUInt());
    NoHost host;
    MessageStrings strings;
    strings.LoadLanguageStrings(DefaultLanguageTable(), host);
    struct sigaction action {};
    action.sa_handler = [](int) { stop = true; };
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    QTextStream err(stderr);
    return CommandRun(api, host, strings, args, QString(), err, stop);
}
