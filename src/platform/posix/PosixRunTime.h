#pragma once

#include "engine/RunTimeError.h"
#include "platform/RunTime.h"

namespace tren::platform {

// The run-time code of a system error number.
ErrorCode CodeOfErrno(int error);

// The run-time services on Linux and other POSIX systems.
class PosixRunTime final : public RunTime {
public:
    std::int64_t FileLength(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    void CreateFolder(const std::string& path) override;
    void CheckReadable(const std::string& path) override;
    std::size_t ReadAt(const std::string& path, std::int64_t offset,
                       std::span<std::uint8_t> into) override;
    void WriteAt(const std::string& path, std::int64_t offset,
                 std::span<const std::uint8_t> from) override;
    std::int64_t CopyRange(const std::string& from, std::int64_t fromOffset, const std::string& to,
                           std::int64_t toOffset, std::int64_t count) override;
    Replacement BeginReplacement(const std::string& destination) override;
    void CommitReplacement(const Replacement& replacement) override;
    void DiscardReplacement(const Replacement& replacement) noexcept override;
    std::string LookUpEntry(const std::string& path, int attributes) override;
    std::string ProgramPath() override;
    std::string HomeFolder() override;
    std::string CurrentDirectory() override;
};

} // namespace tren::platform
