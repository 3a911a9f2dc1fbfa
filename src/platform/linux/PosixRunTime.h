#pragma once

#include "platform/RunTime.h"
#include "platform/RunTimeError.h"
#include "platform/linux/SystemCalls.h"

namespace tren::platform {

// The run-time code of a system error number.
ErrorCode CodeOfErrno(int error);

// The run-time services on Linux and other POSIX systems.
class PosixRunTime final : public RunTime {
  public:
    explicit PosixRunTime(SystemCalls& calls = RealSystemCalls()) : sys_(calls) {}

    std::int64_t FileLength(const std::string& path) override;
    EntryInfo Examine(const std::string& path) override;
    void CreateFolder(const std::string& path) override;
    void RemoveFile(const std::string& path) override;
    void FlushFolder(const std::string& folder) override;
    void FlushDisk(const std::string& folder) override;
    std::size_t MaxNameLength(const std::string& folder) override;
    using RunTime::LockFolder;
    std::unique_ptr<FolderLock> LockFolder(const std::string& folder, LockKind kind,
                                           const std::function<void()>& waiting) override;
    DiskSpace SpaceOf(const std::string& folder) override;
    std::string NameRefusal(const std::string& folder, const std::string& name) override;
    int Leftovers(const std::string& folder, bool remove) override;
    std::vector<std::string> NamesStartingWith(const std::string& folder,
                                               const std::string& prefix) override;
    bool HasTrash(const std::string& path) override;
    std::unique_ptr<TrashedFile> MoveToTrash(const std::string& path) override;
    std::unique_ptr<InputFile> OpenInput(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateOutput(const std::string& path, Naming naming) override;
    std::unique_ptr<Hasher> NewSha256() override;
    std::unique_ptr<Md5Hasher> NewMd5() override;
    std::string LookUpEntry(const std::string& path, int attributes) override;
    std::string ProgramPath() override;
    std::string HomeFolder() override;
    // ~/TEMP
    std::string DefaultFolder() override;
    std::string CurrentDirectory() override;
    std::string FullPath(const std::string& path) override;

  private:
    SystemCalls& sys_;
};

} // namespace tren::platform
