#pragma once

#include "platform/RunTime.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tren::test {

// Any system's run-time, with the answers that name the user's or the program's
// own places replaced where a test sets them, so that no test changes the
// process's environment.
class ForwardingRunTime final : public platform::RunTime {
  public:
    explicit ForwardingRunTime(platform::RunTime& inner) : inner_(inner) {}

    std::optional<std::string> Default;
    std::optional<std::string> Program;
    std::optional<platform::DiskSpace> Space;
    // Where set: why the disk refuses a name, and the trash that takes a file.
    std::function<std::string(const std::string& name)> NameRule;
    std::function<void(const std::string& path)> Trash;
    // Stands between a test and every file opened for reading, where set.
    std::function<std::unique_ptr<platform::InputFile>(std::unique_ptr<platform::InputFile>)>
        WrapInput;

    std::int64_t FileLength(const std::string& path) override { return inner_.FileLength(path); }
    platform::EntryInfo Examine(const std::string& path) override { return inner_.Examine(path); }
    void CreateFolder(const std::string& path) override { inner_.CreateFolder(path); }
    void RemoveFile(const std::string& path) override { inner_.RemoveFile(path); }
    void FlushFolder(const std::string& folder) override { inner_.FlushFolder(folder); }
    void FlushDisk(const std::string& folder) override { inner_.FlushDisk(folder); }
    std::size_t MaxNameLength(const std::string& folder) override {
        return inner_.MaxNameLength(folder);
    }
    using platform::RunTime::LockFolder;
    std::unique_ptr<platform::FolderLock>
    LockFolder(const std::string& folder, platform::LockKind kind,
               const std::function<void()>& waiting) override {
        return inner_.LockFolder(folder, kind, waiting);
    }
    platform::DiskSpace SpaceOf(const std::string& folder) override {
        return Space ? *Space : inner_.SpaceOf(folder);
    }
    std::string NameRefusal(const std::string& folder, const std::string& name) override {
        return NameRule ? NameRule(name) : inner_.NameRefusal(folder, name);
    }
    int Leftovers(const std::string& folder, bool remove) override {
        return inner_.Leftovers(folder, remove);
    }
    bool HasTrash(const std::string& path) override { return Trash || inner_.HasTrash(path); }
    std::unique_ptr<platform::TrashedFile> MoveToTrash(const std::string& path) override {
        if (!Trash)
            return inner_.MoveToTrash(path);
        Trash(path);
        return nullptr;
    }
    std::unique_ptr<platform::InputFile> OpenInput(const std::string& path) override {
        auto file = inner_.OpenInput(path);
        return WrapInput ? WrapInput(std::move(file)) : std::move(file);
    }
    std::unique_ptr<platform::OutputFile> CreateOutput(const std::string& path,
                                                       platform::Naming naming) override {
        return inner_.CreateOutput(path, naming);
    }
    std::unique_ptr<platform::Hasher> NewSha256() override { return inner_.NewSha256(); }
    std::unique_ptr<platform::Md5Hasher> NewMd5() override { return inner_.NewMd5(); }
    std::vector<std::string> NamesStartingWith(const std::string& folder,
                                               const std::string& prefix) override {
        return inner_.NamesStartingWith(folder, prefix);
    }
    std::string LookUpEntry(const std::string& path, int attributes) override {
        return inner_.LookUpEntry(path, attributes);
    }
    std::string ProgramPath() override { return Program ? *Program : inner_.ProgramPath(); }
    std::string HomeFolder() override { return inner_.HomeFolder(); }
    std::string DefaultFolder() override { return Default ? *Default : inner_.DefaultFolder(); }
    std::string CurrentDirectory() override { return inner_.CurrentDirectory(); }
    std::string FullPath(const std::string& path) override { return inner_.FullPath(path); }

  private:
    platform::RunTime& inner_;
};

} // namespace tren::test
