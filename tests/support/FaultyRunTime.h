#pragma once

#include "platform/posix/PosixRunTime.h"

#include <cstdint>
#include <limits>

namespace tren::test {

// The real run-time services with faults caused on purpose: a disk that fills up
// after a number of bytes, and a kernel that will not copy between files.
class FaultyRunTime final : public platform::RunTime {
public:
    // Bytes that may still be written before the disk is full.
    std::int64_t WriteBudget = std::numeric_limits<std::int64_t>::max();
    bool KernelCopy = true;

    std::int64_t FileLength(const std::string& path) override { return real_.FileLength(path); }
    bool FolderExists(const std::string& path) override { return real_.FolderExists(path); }
    void CreateFolder(const std::string& path) override { real_.CreateFolder(path); }
    void CheckReadable(const std::string& path) override { real_.CheckReadable(path); }
    std::size_t ReadAt(const std::string& path, std::int64_t offset,
                       std::span<std::uint8_t> into) override {
        return real_.ReadAt(path, offset, into);
    }
    void WriteAt(const std::string& path, std::int64_t offset,
                 std::span<const std::uint8_t> from) override;
    std::int64_t CopyRange(const std::string& from, std::int64_t fromOffset, const std::string& to,
                           std::int64_t toOffset, std::int64_t count) override;
    platform::Replacement BeginReplacement(const std::string& destination) override {
        return real_.BeginReplacement(destination);
    }
    void CommitReplacement(const platform::Replacement& replacement) override {
        real_.CommitReplacement(replacement);
    }
    void DiscardReplacement(const platform::Replacement& replacement) noexcept override {
        real_.DiscardReplacement(replacement);
    }
    std::string LookUpEntry(const std::string& path, int attributes) override {
        return real_.LookUpEntry(path, attributes);
    }
    std::string ProgramPath() override { return real_.ProgramPath(); }
    std::string HomeFolder() override { return real_.HomeFolder(); }
    std::string CurrentDirectory() override { return real_.CurrentDirectory(); }

private:
    platform::PosixRunTime real_;
};

} // namespace tren::test
