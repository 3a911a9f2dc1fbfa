// Throughput of MultiplyAdd in GF(2^16), in source bytes times destinations per
// second, for each method this processor runs: once on a block that stays in the
// cache (the arithmetic alone), then as a recovery set uses it, one input slice of
// 5,000,000 bytes into 3 and into 26 recovery slices.
//
//   gf16_bench [SLICE_BYTES]

#include "engine/Galois16.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
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
    std::mt19937_64 random(2003);
    const std::size_t cacheBytes = 16 * 1024;
    const auto block = RandomBytes(cacheBytes, random);
    auto blockTarget = RandomBytes(cacheBytes, random);
    const auto slice = RandomBytes(sliceBytes, random);
    std::vector<std::vector<std::uint8_t>> recovery;
    for (int j = 0; j < 26; ++j)
        recovery.push_back(RandomBytes(sliceBytes, random));
    std::vector<std::uint8_t*> targets;
    std::vector<Symbol> factors;
    for (int j = 0; j < 26; ++j) {
        targets.push_back(recovery[j].data());
        factors.push_back(Coefficient(1000, static_cast<std::uint32_t>(j)));
    }

    std::printf("GF(2^16) multiply-add, GB/s of source bytes x destinations (chosen: %s)\n",
                MethodName(ChosenMethod()));
    std::printf("%-10s %14s %24s %24s\n", "method", "16 KiB block",
                (std::to_string(sliceBytes) + " B slice x 3").c_str(),
                (std::to_string(sliceBytes) + " B slice x 26").c_str());
    for (Method method : AvailableMethods()) {
        const double inCache =
            Throughput(cacheBytes, [&] { MultiplyAddWith(method, 0x1234, block, blockTarget); });
        double sets[2];
        const std::size_t counts[2] = {3, 26};
        for (int k = 0; k < 2; ++k)
            sets[k] = Throughput(static_cast<double>(sliceBytes * counts[k]), [&] {
                MultiplyAddEachWith(method, std::span(factors).first(counts[k]), slice,
                                    std::span(targets).first(counts[k]));
            });
        std::printf("%-10s %14.2f %24.2f %24.2f\n", MethodName(method), inCache, sets[0], sets[1]);
    }
}
