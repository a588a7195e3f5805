// A periodic waker: sleeps 5 ms, wakes, works 1 ms, and measures how late each wake-up came.
// Prints p50, p99 and max wake-up latency in milliseconds.
//   latency_waker [ITERATIONS]   (default 1000: about 6 seconds)

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

long long NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

} // namespace

int main(int argc, char** argv) {
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 1000;
    std::vector<long long> late;
    late.reserve(static_cast<std::size_t>(iterations));
    long long next = NowNs();
    for (int i = 0; i < iterations; ++i) {
        next += 5000000;
        const timespec at{static_cast<time_t>(next / 1000000000LL), static_cast<long>(next % 1000000000LL)};
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);
        const long long woke = NowNs();
        late.push_back(woke - next);
        while (NowNs() - woke < 1000000) {
        }
        next = NowNs();
    }
    std::sort(late.begin(), late.end());
    auto ms = [&late](double q) {
        return static_cast<double>(late[std::min(late.size() - 1, static_cast<std::size_t>(q * static_cast<double>(late.size())))]) / 1e6;
    };
    std::printf("p50 %.3f ms  p99 %.3f ms  max %.3f ms\n", ms(0.50), ms(0.99), static_cast<double>(late.back()) / 1e6);
    return 0;
}
