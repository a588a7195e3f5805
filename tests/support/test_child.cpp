// A child program for the port tests. Modes:
//   threads N [fifo]  start N extra threads (one of them SCHED_FIFO 10 with "fifo"), print
//                     "ready <tid of the FIFO thread or 0>", then sleep until killed
//   busy              burn CPU until killed, after printing "ready"
//   exit CODE         exit at once with CODE
//   nodump            make itself non-dumpable (as ssh-agent does), print "ready", sleep
//   spawn             print "ready", then start one more thread at each SIGUSR1 and print
//                     "thread <its tid>"
// With KELVANE_TEST_CHILD_IDLE set it takes no mode: whatever its arguments, it prints "ready" and
// sleeps, as a stand-in for a program run with a command line of its own (an interpreter's).
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <sched.h>
#include <csignal>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    if (std::getenv("KELVANE_TEST_CHILD_IDLE") != nullptr) {
        std::printf("ready\n");
        std::fflush(stdout);
        for (;;)
            pause();
    }
    if (argc >= 2 && std::strcmp(argv[1], "exit") == 0)
        return argc >= 3 ? std::atoi(argv[2]) : 0;
    if (argc >= 2 && std::strcmp(argv[1], "nodump") == 0) {
        prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
        std::printf("ready\n");
        std::fflush(stdout);
        for (;;)
            pause();
    }
    if (argc >= 2 && std::strcmp(argv[1], "spawn") == 0) {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGUSR1);
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        std::printf("ready\n");
        std::fflush(stdout);
        for (;;) {
            int signal = 0;
            if (sigwait(&set, &signal) != 0)
                continue;
            std::thread([] {
                std::printf("thread %ld\n", static_cast<long>(syscall(SYS_gettid)));
                std::fflush(stdout);
                for (;;)
                    pause();
            }).detach();
        }
    }
    if (argc >= 2 && std::strcmp(argv[1], "busy") == 0) {
        std::printf("ready\n");
        std::fflush(stdout);
        volatile unsigned long counter = 0;
        for (;;)
            counter = counter + 1;
    }
    if (argc >= 3 && std::strcmp(argv[1], "threads") == 0) {
        const int count = std::atoi(argv[2]);
        const bool fifo = argc >= 4 && std::strcmp(argv[3], "fifo") == 0;
        std::atomic<long> fifoTid{0};
        std::atomic<int> started{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < count; ++i) {
            threads.emplace_back([i, fifo, &fifoTid, &started] {
                if (fifo && i == 0) {
                    sched_param param{};
                    param.sched_priority = 10;
                    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0)
                        fifoTid = syscall(SYS_gettid);
                    else
                        fifoTid = -1;
                }
                ++started;
                for (;;)
                    pause();
            });
        }
        while (started.load() < count)
            usleep(1000);
        std::printf("ready %ld\n", fifoTid.load());
        std::fflush(stdout);
        for (;;)
            pause();
    }
    std::fprintf(stderr, "usage: kelvane_test_child threads N [fifo] | busy | exit CODE | nodump | spawn\n");
    return 2;
}
