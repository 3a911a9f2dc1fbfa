#pragma once

#include "platform/RunTime.h"
#include "platform/RunTimeError.h"
#include "platform/windows/Win32Calls.h"

#include <string>

namespace tren::platform {

// The run-time code of a Win32 error.
ErrorCode CodeOfWin32Error(DWORD error);
// The system's own text for a Win32 error, without its closing full stop.
std::string SystemMessage(DWORD error);

// The run-time services on Windows, through the narrow (A) entry points: with the
// program's manifest asking for UTF-8, paths are UTF-8 byte strings, as on Linux.
class Win32RunTime final : public RunTime {
  public:
    explicit Win32RunTime(Win32Calls& calls = RealWin32Calls()) : sys_(calls) {}

    // A missing file, or a file in a missing folder, is "File not found" (53); a
    // name under a file is "Path not found" (76).
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
    // C:\TEMP
    std::string DefaultFolder() override;
    std::string CurrentDirectory() override;
    std::string FullPath(const std::string& path) override;

  private:
    Win32Calls& sys_;
};

} // namespace tren::platform
