#pragma once
// The program a process runs, which on Linux is often not its executable: a script's interpreter, a
// Java virtual machine, the Wine loader of a Windows program, or an executable inside a sandbox
// whose paths mean something else on the host. Profiles, rows and actions belong to the program.
//
// Only what the process lets Kelvane read is read (its command line, working folder, environment
// and root, all through /proc/PID); where anything is unreadable or ambiguous the program is the
// executable. Nothing is guessed.

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace kelvane::linux_port {

enum class ProgramKind { Executable, Script, Jar, Windows, Sandboxed };

struct Program {
    ProgramKind kind = ProgramKind::Executable;
    // The program's path as bytes: the executable, the script, the jar, the Unix path of the
    // Windows executable, or "flatpak:ID:PATH" / "snap:ID:PATH" for a sandboxed one.
    std::string path;
};

// Executables whose program the command line names: interpreters, Java, the Wine loaders.
enum class HostKind { None, Interpreter, Java, WineLoader, WineStarter };
HostKind HostKindOf(std::string_view executable);
// The script, jar or Windows path that the command line `argv` of `executable` names, read without
// touching the file system; empty when it names none (an interpreter's -c or -m, a main class, no
// argument, an executable that is no host).
std::string NamedProgram(std::string_view executable, const std::vector<std::string>& argv);

// A Windows path ("C:\dir\x.exe", "z:/x.exe") as a Unix path, through the prefix's dosdevices
// links (read under `root`, the process's root); "Z:" is "/" when the prefix has no such link.
// Empty when the drive is unknown.
std::string UnixPathOfWindowsPath(const std::string& root, const std::string& prefix, std::string_view windowsPath);

// The sandbox of a process from its /.flatpak-info text or its cgroup text: "flatpak:ID" or
// "snap:ID"; empty when neither tells one.
std::string SandboxOfFlatpakInfo(std::string_view flatpakInfo);
std::string SandboxOfCgroup(std::string_view cgroup);

// The program of process `pid` whose executable link read `executable`. `procRoot` is "/proc" on a
// live system. `ownMountNamespace` is Kelvane's own mount namespace link text ("mnt:[N]"): a
// process of another one may be sandboxed.
Program IdentifyProgram(const std::string& procRoot, pid_t pid, const std::string& executable,
                        const std::string& ownMountNamespace);

} // namespace kelvane::linux_port
