// A child for the end-to-end tests that keeps COUNT processors busy (default: all of them), so that
// its share of the machine is the same on any number of processors. Prints "ready" once it runs.
//   busy_child [COUNT]
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    const unsigned count =
        argc >= 2 ? static_cast<unsigned>(std::atoi(argv[1])) : std::thread::hardware_concurrency();
    auto spin = [] {
        volatile unsigned long counter = 0;
        for (;;)
            counter = counter + 1;
    };
    std::vector<std::thread> threads;
    for (unsigned i = 1; i < count; ++i)
        threads.emplace_back(spin);
    std::printf("ready\n");
    std::fflush(stdout);
    spin();
}
