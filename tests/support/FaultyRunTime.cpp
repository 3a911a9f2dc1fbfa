#include "support/FaultyRunTime.h"

#include <algorithm>

namespace tren::test {

namespace {

[[noreturn]] void DiskFull(const std::string& path) {
    throw RunTimeError(ErrorCode::DiskFull, "Cannot write", path, "No space left on device");
}

} // namespace

void FaultyRunTime::WriteAt(const std::string& path, std::int64_t offset,
                            std::span<const std::uint8_t> from) {
    const auto allowed = static_cast<std::size_t>(
        std::clamp<std::int64_t>(WriteBudget, 0, static_cast<std::int64_t>(from.size())));
    WriteBudget -= static_cast<std::int64_t>(allowed);
    real_.WriteAt(path, offset, from.first(allowed));
    if (allowed < from.size())
        DiskFull(path);
}

std::int64_t FaultyRunTime::CopyRange(const std::string& from, std::int64_t fromOffset,
                                      const std::string& to, std::int64_t toOffset,
                                      std::int64_t count) {
    if (!KernelCopy)
        return -1;
    const std::int64_t allowed = std::clamp<std::int64_t>(WriteBudget, 0, count);
    const std::int64_t copied = real_.CopyRange(from, fromOffset, to, toOffset, allowed);
    if (copied < 0)
        return copied;
    WriteBudget -= copied;
    if (allowed < count && copied == allowed)
        DiskFull(to);
    return copied;
}

} // namespace tren::test
