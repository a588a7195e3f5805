#include "platform/linux/ProgramIdentity.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <pwd.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvane::linux_port {
namespace {

// How an interpreter reads its command line: short option letters that mean "no script follows"
// (a program given inline, a module, standard input), letters that take a value (the rest of the
// word or the next word), letters whose value is the script, and the same for long options.
struct Interpreter {
    std::array<std::string_view, 4> names;
    std::string_view noScript;
    std::string_view takesValue;
    std::string_view scriptValue;
    std::array<std::string_view, 4> longNoScript;
    std::array<std::string_view, 5> longTakesValue;
};

constexpr Interpreter kInterpreters[] = {
    {{"python", "pypy", "pypy3"}, "cm", "WXQ", "", {}, {"--check-hash-based-pycs"}},
    {{"perl"}, "eE", "", "", {}, {}},
    {{"ruby"}, "e", "ICr", "", {}, {}},
    {{"node", "nodejs"}, "ep", "r", "", {"--eval", "--print", "--interactive"},
     {"--require", "--import", "--loader", "--input-type"}},
    {{"bash", "sh", "dash", "zsh"}, "cs", "oO", "", {}, {"--rcfile", "--init-file"}},
    {{"ksh", "mksh", "fish"}, "cs", "o", "", {"--command"}, {}},
    {{"lua", "luajit"}, "", "el", "", {}, {}},
    {{"php"}, "raBRE", "cdz", "f", {}, {}},
    {{"tclsh", "wish"}, "", "", "", {}, {"-encoding", "-display", "-geometry", "-name", "-visual"}},
};

std::string_view BaseName(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// "python3.11" is python, "lua5.4" lua: the name, then only digits and dots.
bool NamesVersionOf(std::string_view base, std::string_view name) {
    if (name.empty() || base.substr(0, name.size()) != name)
        return false;
    return std::all_of(base.begin() + static_cast<std::ptrdiff_t>(name.size()), base.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)) || c == '.'; });
}

const Interpreter* InterpreterOf(std::string_view executable) {
    const std::string_view base = BaseName(executable);
    for (const Interpreter& interpreter : kInterpreters)
        for (const std::string_view name : interpreter.names)
            if (NamesVersionOf(base, name))
                return &interpreter;
    return nullptr;
}

template <std::size_t N>
bool Holds(const std::array<std::string_view, N>& list, std::string_view word) {
    return !word.empty() && std::find(list.begin(), list.end(), word) != list.end();
}

std::string ScriptOf(const Interpreter& in, const std::vector<std::string>& argv) {
    for (std::size_t i = 1; i < argv.size(); ++i) {
        const std::string_view word = argv[i];
        if (word == "--")
            return i + 1 < argv.size() ? argv[i + 1] : std::string();
        if (word == "-")
            return {}; // standard input
        if (word.size() < 2 || (word[0] != '-' && word[0] != '+'))
            return std::string(word);
        if (word.substr(0, 2) == "--" || Holds(in.longTakesValue, word)) {
            const std::string_view name = word.substr(0, word.find('='));
            if (Holds(in.longNoScript, name))
                return {};
            if (Holds(in.longTakesValue, word))
                ++i;
            continue;
        }
        // A group of short options: each letter a flag, until one that takes the rest as its value.
        for (std::size_t at = 1; at < word.size(); ++at) {
            const char letter = word[at];
            if (in.noScript.find(letter) != std::string_view::npos)
                return {};
            const bool script = in.scriptValue.find(letter) != std::string_view::npos;
            if (script || in.takesValue.find(letter) != std::string_view::npos) {
                const bool valueFollows = at + 1 == word.size();
                if (script)
                    return valueFollows ? (i + 1 < argv.size() ? argv[i + 1] : std::string())
                                        : std::string(word.substr(at + 1));
                if (valueFollows)
                    ++i;
                break;
            }
        }
    }
    return {};
}

std::string JarOf(const std::vector<std::string>& argv) {
    static constexpr std::array<std::string_view, 12> kTakesValue = {
        "-cp", "-classpath", "--class-path", "-p", "--module-path", "--upgrade-module-path",
        "--add-modules", "--limit-modules", "--add-reads", "--add-exports", "--add-opens", "--patch-module"};
    for (std::size_t i = 1; i < argv.size(); ++i) {
        const std::string_view word = argv[i];
        if (word == "-jar")
            return i + 1 < argv.size() ? argv[i + 1] : std::string();
        if (word.empty() || word[0] != '-' || word == "-m" || word == "--module")
            return {}; // a main class or a module: the program is the virtual machine's
        if (Holds(kTakesValue, word))
            ++i;
    }
    return {};
}

bool IsWindowsPath(std::string_view word) {
    return word.size() >= 3 && std::isalpha(static_cast<unsigned char>(word[0])) && word[1] == ':' &&
           (word[2] == '\\' || word[2] == '/');
}

// Reads a whole regular file of at most `limit` bytes without following a last link, without
// blocking on a FIFO and without reading a device: a sandbox's root is the sandbox's to fill.
std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    std::optional<std::string> text;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) <= limit) {
        text.emplace();
        char buffer[4096];
        ssize_t got = 0;
        while ((got = ::read(fd, buffer, sizeof buffer)) > 0 && text->size() <= limit)
            text->append(buffer, static_cast<std::size_t>(got));
        if (got < 0 || text->size() > limit)
            text.reset();
    }
    ::close(fd);
    return text;
}

// A file of /proc/PID: the command line and environment may be larger than a page.
std::optional<std::string> ReadProcFile(const std::string& path, std::size_t limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string text;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0 && text.size() < limit)
        text.append(buffer, static_cast<std::size_t>(got));
    ::close(fd);
    if (got < 0)
        return std::nullopt;
    return text;
}

std::vector<std::string> SplitNul(std::string_view text) {
    std::vector<std::string> words;
    while (!text.empty()) {
        const auto end = text.find('\0');
        words.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return words;
}

std::optional<std::string> ReadLink(const std::string& path) {
    std::string target(4096, '\0');
    const ssize_t got = ::readlink(path.c_str(), target.data(), target.size());
    if (got <= 0 || static_cast<std::size_t>(got) >= target.size())
        return std::nullopt;
    target.resize(static_cast<std::size_t>(got));
    return target;
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Normal(const std::string& path) {
    return std::filesystem::path(path).lexically_normal().string();
}

// What the process reads under /proc/PID: its root, where its own paths lead.
struct ProcessView {
    std::string dir;  // procRoot/PID/
    std::string root; // procRoot/PID/root

    std::string Under(const std::string& absolute) const { return root + absolute; }
    // `path` as the process means it: absolute, against its working folder; empty if unreadable.
    std::string Absolute(const std::string& path) const {
        if (!path.empty() && path[0] == '/')
            return Normal(path);
        const std::optional<std::string> cwd = ReadLink(dir + "cwd");
        return cwd && !cwd->empty() && (*cwd)[0] == '/' ? Normal(*cwd + "/" + path) : std::string();
    }
    // The value of an environment variable of the process; empty when unset or unreadable.
    std::string Environment(std::string_view name) const {
        const std::optional<std::string> text = ReadProcFile(dir + "environ", 1 << 20);
        if (!text)
            return {};
        for (const std::string& entry : SplitNul(*text))
            if (entry.size() > name.size() && entry.compare(0, name.size(), name) == 0 && entry[name.size()] == '=')
                return entry.substr(name.size() + 1);
        return {};
    }
    std::string Home() const {
        struct stat st {};
        if (::stat(dir.c_str(), &st) != 0)
            return {};
        std::vector<char> buffer(16384);
        passwd entry{};
        passwd* found = nullptr;
        if (::getpwuid_r(st.st_uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
            found->pw_dir == nullptr)
            return {};
        return found->pw_dir;
    }
};

Program Inside(const ProcessView& view, const std::string& executable, const std::vector<std::string>& argv) {
    const HostKind host = HostKindOf(executable);
    const std::string named = NamedProgram(executable, argv);
    if (named.empty())
        return {ProgramKind::Executable, executable};
    if (host == HostKind::Interpreter || host == HostKind::Java) {
        const std::string path = view.Absolute(named);
        if (path.empty() || !IsRegularFile(view.Under(path)))
            return {ProgramKind::Executable, executable};
        return {host == HostKind::Java ? ProgramKind::Jar : ProgramKind::Script, path};
    }
    std::string path;
    if (IsWindowsPath(named)) {
        std::string prefix = view.Environment("WINEPREFIX");
        if (prefix.empty()) {
            const std::string home = view.Home();
            prefix = home.empty() ? std::string() : home + "/.wine";
        }
        if (!prefix.empty())
            path = UnixPathOfWindowsPath(view.root, prefix, named);
    } else if (named[0] == '/') {
        path = Normal(named); // "wine /home/u/game.exe"
    }
    if (path.empty() || !IsRegularFile(view.Under(path)))
        return {ProgramKind::Executable, executable};
    return {ProgramKind::Windows, path};
}

} // namespace

HostKind HostKindOf(std::string_view executable) {
    const std::string_view base = BaseName(executable);
    if (base == "wine-preloader" || base == "wine64-preloader")
        return HostKind::WineLoader;
    if (base == "wine" || base == "wine64")
        return HostKind::WineStarter;
    if (base == "java")
        return HostKind::Java;
    return InterpreterOf(executable) != nullptr ? HostKind::Interpreter : HostKind::None;
}

std::string NamedProgram(std::string_view executable, const std::vector<std::string>& argv) {
    const HostKind kind = HostKindOf(executable);
    switch (kind) {
    case HostKind::None:
        return {};
    case HostKind::Java:
        return JarOf(argv);
    case HostKind::Interpreter: {
        // The kernel hands a script started by its "#!" line to its interpreter as an argument,
        // so both ways of starting it name it the same way.
        return ScriptOf(*InterpreterOf(executable), argv);
    }
    case HostKind::WineLoader:
    case HostKind::WineStarter:
        // Wine puts the Windows program's path first; "wine PROGRAM" names it second.
        if (!argv.empty() && IsWindowsPath(argv[0]))
            return argv[0];
        if (kind == HostKind::WineStarter && argv.size() > 1 && argv[1].size() > 1 &&
            (IsWindowsPath(argv[1]) || argv[1][0] == '/'))
            return argv[1];
        return {};
    }
    return {};
}

std::string UnixPathOfWindowsPath(const std::string& root, const std::string& prefix, std::string_view windowsPath) {
    if (!IsWindowsPath(windowsPath) || prefix.empty() || prefix[0] != '/')
        return {};
    const char drive = static_cast<char>(std::tolower(static_cast<unsigned char>(windowsPath[0])));
    const std::string devices = Normal(prefix + "/dosdevices");
    std::string base;
    if (const std::optional<std::string> link = ReadLink(root + devices + "/" + drive + ":")) {
        base = (*link)[0] == '/' ? *link : devices + "/" + *link;
    } else if (drive == 'z') {
        base = "/";
    } else {
        return {};
    }
    std::string rest(windowsPath.substr(3));
    std::replace(rest.begin(), rest.end(), '\\', '/');
    return Normal(base + "/" + rest);
}

std::string SandboxOfFlatpakInfo(std::string_view text) {
    bool inApplication = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty() && line[0] == '[') {
            inApplication = line == "[Application]";
        } else if (inApplication && line.substr(0, 5) == "name=") {
            const std::string_view id = line.substr(5);
            const bool valid = !id.empty() && std::all_of(id.begin(), id.end(), [](char c) {
                return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
            });
            return valid ? "flatpak:" + std::string(id) : std::string();
        }
    }
    return {};
}

std::string SandboxOfCgroup(std::string_view text) {
    const auto valid = [](std::string_view id) {
        return !id.empty() && std::all_of(id.begin(), id.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
        });
    };
    // ".../app-flatpak-org.gnome.Maps-12345.scope" and ".../snap.firefox.firefox-1a2b.scope".
    for (auto at = text.find("app-flatpak-"); at != std::string_view::npos; at = text.find("app-flatpak-", at + 1)) {
        std::string_view unit = text.substr(at + 12);
        unit = unit.substr(0, unit.find_first_of("/\n"));
        if (unit.size() > 6 && unit.substr(unit.size() - 6) == ".scope") {
            const std::string_view id = unit.substr(0, unit.rfind('-'));
            if (id.size() < unit.size() && valid(id))
                return "flatpak:" + std::string(id);
        }
    }
    for (auto at = text.find("/snap."); at != std::string_view::npos; at = text.find("/snap.", at + 1)) {
        std::string_view unit = text.substr(at + 6);
        const std::string_view id = unit.substr(0, unit.find('.'));
        if (id.size() < unit.size() && valid(id))
            return "snap:" + std::string(id);
    }
    return {};
}

Program IdentifyProgram(const std::string& procRoot, pid_t pid, const std::string& executable,
                        const std::string& ownMountNamespace) {
    ProcessView view;
    view.dir = procRoot + "/" + std::to_string(pid) + "/";
    view.root = view.dir + "root";
    std::string sandbox;
    if (!ownMountNamespace.empty()) {
        const std::optional<std::string> ns = ReadLink(view.dir + "ns/mnt");
        if (ns && *ns != ownMountNamespace) {
            if (const std::optional<std::string> info = ReadRegularFile(view.root + "/.flatpak-info", 64 << 10))
                sandbox = SandboxOfFlatpakInfo(*info);
            if (sandbox.empty())
                if (const std::optional<std::string> cgroup = ReadProcFile(view.dir + "cgroup", 64 << 10))
                    sandbox = SandboxOfCgroup(*cgroup);
        }
    }
    Program program{ProgramKind::Executable, executable};
    if (HostKindOf(executable) != HostKind::None)
        if (const std::optional<std::string> cmdline = ReadProcFile(view.dir + "cmdline", 256 << 10))
            program = Inside(view, executable, SplitNul(*cmdline));
    if (!sandbox.empty())
        program = {ProgramKind::Sandboxed, sandbox + ":" + program.path};
    return program;
}

} // namespace kelvane::linux_port
