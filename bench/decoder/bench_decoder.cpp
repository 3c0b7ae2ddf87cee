// Decodes every line of the APRS sample over and over on one thread and
// reports packets per second and heap allocations per packet, two ways: into
// one Packet the loop keeps (as a feed that decodes line after line does), and
// into a new Packet each time. Usage: bench_decoder [seconds] (default 5).
// Besides wall-clock time it reports the thread's CPU time, which other load
// on a shared machine does not inflate.

#include "aprs/AprsDecoder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

// Every heap allocation of the process, Qt's included: QString storage comes
// from malloc, not operator new, so malloc itself is counted (glibc lets a
// program put its own malloc in front of the C library's).
extern "C" {
void *__libc_malloc(std::size_t);
void *__libc_calloc(std::size_t, std::size_t);
void *__libc_realloc(void *, std::size_t);
}
namespace {
std::size_t allocations = 0;
}
extern "C" void *malloc(std::size_t size)
{
    ++allocations;
    return __libc_malloc(size);
}
extern "C" void *calloc(std::size_t n, std::size_t size)
{
    ++allocations;
    return __libc_calloc(n, size);
}
extern "C" void *realloc(void *p, std::size_t size)
{
    ++allocations;
    return __libc_realloc(p, size);
}

namespace {

double threadSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

template <typename Pass>
void measure(const char *name, double seconds, std::size_t linesPerPass, Pass pass)
{
    using Clock = std::chrono::steady_clock;
    for (int i = 0; i < 20; ++i)  // warm caches, the allocator and the packet's storage
        pass();
    std::size_t packets = 0;
    const std::size_t allocationsBefore = allocations;
    const double cpuStart = threadSeconds();
    const auto start = Clock::now();
    auto now = start;
    while (std::chrono::duration<double>(now - start).count() < seconds) {
        pass();
        packets += linesPerPass;
        now = Clock::now();
    }
    const double elapsed = std::chrono::duration<double>(now - start).count();
    const double cpu = threadSeconds() - cpuStart;
    const double perPacket = static_cast<double>(allocations - allocationsBefore) / static_cast<double>(packets);
    std::printf("%s: %zu packets in %.2f s wall, %.2f s thread CPU\n", name, packets, elapsed, cpu);
    std::printf("  wall clock: %.0f packets/s (%.0f ns per packet)\n", packets / elapsed, elapsed * 1e9 / packets);
    std::printf("  thread CPU: %.0f packets/s (%.0f ns per packet)\n", packets / cpu, cpu * 1e9 / packets);
    std::printf("  heap allocations per packet: %.3f\n", perPacket);
}

}  // namespace

int main(int argc, char **argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    const char *path = KELDAN_TEST_DATA "/aprs/aprs-sample.tnc2";
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", path);
        return 1;
    }
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    std::printf("lines: %zu\n", lines.size());

    std::size_t sink = 0;  // keeps the work observable
    aprs::Packet kept;
    measure("one packet, reused", seconds, lines.size(), [&] {
        for (const std::string &line : lines) {
            aprs::decode(line, kept);
            sink += static_cast<std::size_t>(kept.information.size()) + (kept.ok() ? 1 : 0);
        }
    });
    measure("a new packet each time", seconds, lines.size(), [&] {
        for (const std::string &line : lines) {
            const aprs::Packet p = aprs::decode(line);
            sink += static_cast<std::size_t>(p.information.size()) + (p.ok() ? 1 : 0);
        }
    });
    std::printf("(sink %zu)\n", sink % 10);
    return 0;
}
