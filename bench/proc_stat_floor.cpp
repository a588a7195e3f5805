// The polling floor: what any design that reads /proc/PID/stat per process per pass costs at
// least. Every INTERVAL ms it lists /proc and opens, reads and closes the stat file of each
// process, and nothing else. Runs until SIGTERM.
//   proc_stat_floor [INTERVAL_MS]

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t stop = 0;
void OnTerm(int) {
    stop = 1;
}
} // namespace

int main(int argc, char** argv) {
    const long intervalMs = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 250;
    std::signal(SIGTERM, OnTerm);
    char buffer[1024];
    while (stop == 0) {
        if (DIR* dir = ::opendir("/proc")) {
            while (const dirent* entry = ::readdir(dir)) {
                if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
                    continue;
                const std::string path = std::string("/proc/") + entry->d_name + "/stat";
                const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
                if (fd < 0)
                    continue;
                [[maybe_unused]] const ssize_t n = ::read(fd, buffer, sizeof buffer);
                ::close(fd);
            }
            ::closedir(dir);
        }
        timespec pause{intervalMs / 1000, (intervalMs % 1000) * 1000000};
        while (::nanosleep(&pause, &pause) != 0 && errno == EINTR && stop == 0) {
        }
    }
    return 0;
}
