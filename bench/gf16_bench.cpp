// Throughput of MultiplyAddEach in GF(2^16), in source bytes times destinations per
// second, for each method this processor runs: on 64 KiB that stay in the cache with
// their destinations (the arithmetic alone), then as a recovery set uses it, one
// input slice of 5,000,000 bytes into 3 and into 26 recovery slices. The same
// recovery slices take every input slice in turn, so 3 of them stay in a large
// last-level cache; 26 come from memory every time.
//
//   gf16_bench [SLICE_BYTES]

#include "engine/Galois16.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

using namespace tren::gf16;
using Clock = std::chrono::steady_clock;

std::vector<std::uint8_t> RandomBytes(std::size_t size, std::mt19937_64& random) {
    std::vector<std::uint8_t> bytes(size);
    for (auto& byte : bytes)
        byte = static_cast<std::uint8_t>(random());
    return bytes;
}

// The best of a few runs of at least a quarter of a second each, in GB/s.
template <class Work> double Throughput(double bytesPerCall, Work work) {
    double best = 0;
    for (int run = 0; run < 3; ++run) {
        long calls = 0;
        const auto start = Clock::now();
        std::chrono::duration<double> elapsed{};
        do {
            work();
            ++calls;
            elapsed = Clock::now() - start;
        } while (elapsed.count() < 0.25);
        best = std::max(best, bytesPerCall * static_cast<double>(calls) / elapsed.count() / 1e9);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t sliceBytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 5'000'000;
    const std::size_t cacheBytes = 64 * 1024;
    constexpr std::size_t most = 26;
    std::mt19937_64 random(2003);
    const auto slice = RandomBytes(sliceBytes, random);
    std::vector<std::vector<std::uint8_t>> recovery;
    std::vector<std::uint8_t*> targets;
    std::vector<Symbol> factors;
    for (std::size_t j = 0; j < most; ++j) {
        recovery.push_back(RandomBytes(sliceBytes, random));
        targets.push_back(recovery.back().data());
        factors.push_back(Coefficient(1000, static_cast<std::uint32_t>(j)));
    }

    struct Case {
        const char* Name;
        std::size_t Bytes;
        std::size_t Destinations;
    };
    const Case cases[] = {
        {"64 KiB x 1", cacheBytes, 1},
        {"64 KiB x 26", cacheBytes, most},
        {"slice x 3", sliceBytes, 3},
        {"slice x 26", sliceBytes, most},
    };
    std::printf("GF(2^16) multiply-add, GB/s of source bytes x destinations; a slice is %zu "
                "bytes; MultiplyAdd uses %s\n%-10s",
                sliceBytes, MethodName(ChosenMethod()), "method");
    for (const Case& c : cases)
        std::printf(" %12s", c.Name);
    std::printf("\n");
    for (Method method : AvailableMethods()) {
        std::printf("%-10s", MethodName(method));
        for (const Case& c : cases) {
            const auto from = std::span(slice).first(c.Bytes);
            const auto factorsUsed = std::span(factors).first(c.Destinations);
            const auto into = std::span(targets).first(c.Destinations);
            std::printf(" %12.2f", Throughput(static_cast<double>(c.Bytes * c.Destinations), [&] {
                            MultiplyAddEachWith(method, factorsUsed, from, into);
                        }));
            std::fflush(stdout);
        }
        std::printf("\n");
    }
}
