#include "platform/windows/Win32RunTime.h"

#include "platform/Paths.h"
#include "platform/RemovalOnInterrupt.h"
#include "platform/TemporaryName.h"
#include "platform/windows/CngSha256.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <utility>
#include <vector>

namespace tren::platform {

ErrorCode CodeOfWin32Error(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        return ErrorCode::FileNotFound;
    case ERROR_PATH_NOT_FOUND:
        return ErrorCode::PathNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return ErrorCode::PermissionDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ErrorCode::DiskFull;
    // Named apart, as on Linux: a failing device is not a wrong path.
    case ERROR_IO_DEVICE:
    case ERROR_CRC:
        return ErrorCode::DeviceIo;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_NO_UNICODE_TRANSLATION:
        return ErrorCode::BadFileName;
    default:
        return ErrorCode::PathFileAccess;
    }
}

std::string SystemMessage(DWORD error) {
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message =
        length > 0 && text ? std::string(text, length) : "system error " + std::to_string(error);
    ::LocalFree(text);
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n' ||
                                message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    return message;
}

namespace {

constexpr const char* Reading = "Cannot read";
constexpr const char* Writing = "Cannot write";
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The system's words for an error, or none where they only say again what the
// code's own text says ("Disk full (There is not enough space on the disk)").
std::string ReasonFor(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_ACCESS_DENIED:
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return {};
    default:
        return SystemMessage(error);
    }
}

[[noreturn]] void Fail(DWORD error, const char* operation, const std::string& path) {
    throw RunTimeError(CodeOfWin32Error(error), operation, path, ReasonFor(error));
}

[[noreturn]] void FailLast(const char* operation, const std::string& path) {
    Fail(::GetLastError(), operation, path);
}

bool IsMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// One open handle, closed when it goes; Close reports a failing close, where a
// lost write can hide.
class Handle {
  public:
    Handle(Win32Calls& sys, HANDLE handle) : sys_(sys), handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (Valid())
            sys_.CloseHandle(handle_);
    }
    HANDLE get() const noexcept { return handle_; }
    HANDLE Release() noexcept { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
    bool Valid() const noexcept { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    bool Close() {
        if (!Valid())
            return true;
        const HANDLE handle = std::exchange(handle_, INVALID_HANDLE_VALUE);
        return sys_.CloseHandle(handle) != FALSE;
    }
    // On the write path: a failing close is a failure of the file named.
    void Close(const char* operation, const std::string& named) {
        if (!Close())
            FailLast(operation, named);
    }

  private:
    Win32Calls& sys_;
    HANDLE handle_;
};

OVERLAPPED At(std::int64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    return at;
}

FileId IdOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return {info.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// Opens what stands at path only to look at it: no access asked, so it never
// meets another handle's sharing mode, and folders open too.
HANDLE OpenToLook(Win32Calls& sys, const std::string& path, bool followLinks) {
    return sys.CreateFileA(path.c_str(), 0, ShareAll, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS |
                               (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT));
}

// Whether an open handle is a file or folder on a disk, rather than a device
// (NUL, CON, COM1) or a pipe.
bool OnDisk(Win32Calls& sys, HANDLE file, const char* operation, const std::string& path) {
    const DWORD type = sys.GetFileType(file);
    if (type == FILE_TYPE_UNKNOWN && ::GetLastError() != NO_ERROR)
        FailLast(operation, path);
    return type == FILE_TYPE_DISK;
}

// The kind of something on a disk.
EntryKind KindOf(const BY_HANDLE_FILE_INFORMATION& info) {
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return EntryKind::Link;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return EntryKind::Folder;
    return EntryKind::Regular;
}

// Kind and identity of what path names; Missing when nothing is there. A failure
// to look is one of the operation that looks.
std::pair<EntryKind, FileId> Look(Win32Calls& sys, const std::string& path, bool followLinks,
                                  const char* operation) {
    Handle file(sys, OpenToLook(sys, path, followLinks));
    if (!file.Valid()) {
        const DWORD error = ::GetLastError();
        if (IsMissing(error))
            return {EntryKind::Missing, {}};
        Fail(error, operation, path);
    }
    // A device has no file information to give.
    if (!OnDisk(sys, file.get(), operation, path))
        return {EntryKind::Other, {}};
    BY_HANDLE_FILE_INFORMATION info{};
    if (!sys.GetFileInformationByHandle(file.get(), &info))
        FailLast(operation, path);
    return {KindOf(info), IdOf(info)};
}

EntryInfo ExamineFor(Win32Calls& sys, const std::string& path, const char* operation) {
    EntryInfo info;
    std::tie(info.Kind, info.Id) = Look(sys, path, false, operation);
    info.TargetKind = info.Kind;
    info.TargetId = info.Id;
    if (info.Kind == EntryKind::Link)
        std::tie(info.TargetKind, info.TargetId) = Look(sys, path, true, operation);
    return info;
}

[[noreturn]] void NotRegular(const char* operation, const std::string& path, EntryKind kind) {
    throw RunTimeError(ErrorCode::PathFileAccess, operation, path,
                       kind == EntryKind::Folder ? "it is a folder"
                                                 : "it is a device, not a regular file");
}

// The file a link leads to, so that the new file lands where a plain write would
// have written.
std::string FinalPath(Win32Calls& sys, const std::string& path) {
    Handle file(sys, OpenToLook(sys, path, true));
    if (!file.Valid())
        return path;
    std::vector<char> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD n = sys.GetFinalPathNameByHandleA(file.get(), buffer.data(),
                                                      static_cast<DWORD>(buffer.size()));
        if (n == 0)
            FailLast("Cannot follow the link", path);
        if (n < buffer.size()) {
            std::string final(buffer.data(), n);
            if (final.rfind("\\\\?\\", 0) == 0 && final.rfind("\\\\?\\UNC\\", 0) != 0)
                final.erase(0, 4);
            return final;
        }
        buffer.resize(n + 1);
    }
}

class Win32InputFile final : public InputFile {
  public:
    Win32InputFile(Win32Calls& sys, std::string path, HANDLE handle, FileId id)
        : path_(std::move(path)), file_(sys, handle), sys_(sys), id_(id) {}

    const std::string& Path() const override { return path_; }
    FileId Id() const override { return id_; }

    // The change time moves with every change, attributes included, where the
    // time of the last write does not.
    FileStamp Stamp() override {
        BY_HANDLE_FILE_INFORMATION info{};
        FILE_BASIC_INFO basic{};
        if (!sys_.GetFileInformationByHandle(file_.get(), &info) ||
            !sys_.GetFileInformationByHandleEx(file_.get(), FileBasicInfo, &basic, sizeof basic))
            FailLast(Reading, path_);
        return {static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) |
                                          info.nFileSizeLow),
                static_cast<std::int64_t>(
                    (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                    info.ftLastWriteTime.dwLowDateTime),
                basic.ChangeTime.QuadPart};
    }
    std::int64_t Length() override {
        LARGE_INTEGER size{};
        if (!sys_.GetFileSizeEx(file_.get(), &size))
            FailLast(Reading, path_);
        return size.QuadPart;
    }

    std::size_t ReadAt(std::int64_t offset, std::span<std::uint8_t> into) override {
        std::size_t done = 0;
        while (done < into.size()) {
            const DWORD ask =
                static_cast<DWORD>(std::min<std::size_t>(into.size() - done, 1u << 30));
            OVERLAPPED at = At(offset + static_cast<std::int64_t>(done));
            DWORD got = 0;
            if (!sys_.ReadFile(file_.get(), into.data() + done, ask, &got, &at)) {
                if (::GetLastError() == ERROR_HANDLE_EOF)
                    break;
                FailLast(Reading, path_);
            }
            if (got == 0)
                break;
            done += got;
        }
        return done;
    }

  private:
    std::string path_;
    Handle file_;
    Win32Calls& sys_;
    FileId id_;
};

// Written under a hidden temporary name beside its target and moved over the
// target only when whole; removed when dropped before that. Until then the system
// is told to delete it when its last handle goes, so that a run that is killed
// (End task, TerminateProcess) leaves nothing behind either.
class Win32OutputFile final : public OutputFile {
  public:
    Win32OutputFile(Win32Calls& sys, std::string path, std::string target, std::string temporary,
                    HANDLE handle)
        : sys_(sys), path_(std::move(path)), target_(std::move(target)),
          temporary_(std::move(temporary)), file_(sys, handle), removal_(temporary_) {}
    Win32OutputFile(const Win32OutputFile&) = delete;
    Win32OutputFile& operator=(const Win32OutputFile&) = delete;

    ~Win32OutputFile() override {
        file_.Close();
        if (!published_)
            sys_.DeleteFileA(temporary_.c_str());
    }

    const std::string& Path() const override { return path_; }

    // A file system that keeps no such mark still gets the file removed by the
    // destructor, as long as the process lives to run it.
    void DeleteOnClose(bool deleting) {
        FILE_DISPOSITION_INFO disposition{static_cast<BOOLEAN>(deleting)};
        if (sys_.SetFileInformationByHandle(file_.get(), FileDispositionInfo, &disposition,
                                            sizeof disposition)) {
            marked_ = deleting;
            return;
        }
        const DWORD error = ::GetLastError();
        if (!deleting || (error != ERROR_INVALID_FUNCTION && error != ERROR_NOT_SUPPORTED))
            Fail(error, Writing, path_);
    }

    void WriteAt(std::int64_t offset, std::span<const std::uint8_t> from) override {
        flushed_ = false;
        std::size_t done = 0;
        while (done < from.size()) {
            const DWORD count =
                static_cast<DWORD>(std::min<std::size_t>(from.size() - done, 1u << 30));
            OVERLAPPED at = At(offset + static_cast<std::int64_t>(done));
            DWORD written = 0;
            if (!sys_.WriteFile(file_.get(), from.data() + done, count, &written, &at))
                FailLast(Writing, path_);
            if (written == 0)
                throw RunTimeError(ErrorCode::DeviceIo, Writing, path_,
                                   "the write made no progress");
            done += written;
        }
    }

    // Windows has no copy between two open files at given offsets.
    std::int64_t CopyFrom(InputFile&, std::int64_t, std::int64_t, std::int64_t) override {
        return -1;
    }

    // The system writes back on its own; Flush waits for it.
    void StartFlush() override {}

    void Flush() override {
        if (!file_.Valid())
            return;
        if (!sys_.FlushFileBuffers(file_.get()))
            FailLast(Writing, path_);
        flushed_ = true;
        if (published_)
            file_.Close(Writing, path_);
    }

    // A file not yet flushed stays open, so that it can still be flushed under its
    // new name: it shares deletion, which is what a move asks. One already flushed
    // is closed before it takes the name, so that a failing close leaves the name
    // as it was.
    void Publish() override {
        // The hidden mark belongs to the temporary name only.
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        if (!sys_.SetFileInformationByHandle(file_.get(), FileBasicInfo, &basic, sizeof basic))
            FailLast(Writing, path_);
        // Last before the move: a name marked for deletion cannot be moved on
        // Windows, and the mark would take the published file with the handle.
        if (marked_)
            DeleteOnClose(false);
        if (flushed_)
            file_.Close(Writing, path_);
        if (!sys_.MoveFileExA(temporary_.c_str(), target_.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            FailLast(Writing, path_);
        published_ = true;
        removal_.Release();
    }

    // The move was written through.
    void FlushName() override {}

    void Release() override {
        Flush();
        if (file_.Valid())
            file_.Close(Writing, path_);
    }

  private:
    Win32Calls& sys_;
    std::string path_;
    std::string target_;
    std::string temporary_;
    Handle file_;
    RemovalOnInterrupt removal_;
    bool published_ = false;
    bool flushed_ = false;
    bool marked_ = false;
};

// A byte-range lock on a file of the user's temporary folder named after the
// folder, so that nothing is left in the folder itself: readers share the range,
// a writer has it alone, and the system lets go of it when a process ends.
class Win32FolderLock final : public FolderLock {
  public:
    Win32FolderLock(Win32Calls& sys, HANDLE file) : sys_(sys), file_(sys, file) {}
    ~Win32FolderLock() override {
        OVERLAPPED at{};
        sys_.UnlockFileEx(file_.get(), 1, &at);
    }

  private:
    Win32Calls& sys_;
    Handle file_;
};

// The same name for every spelling of a folder: full, without a trailing
// separator, and case-blind, as file names are here.
std::string LockFileName(Win32Calls& sys, const std::string& fullFolder) {
    std::string key = fullFolder;
    for (char& c : key)
        if (c == '/')
            c = '\\';
    while (key.size() > 3 && IsSeparator(key.back()))
        key.pop_back();
    ::CharUpperBuffA(key.data(), static_cast<DWORD>(key.size()));
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : key)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char temporary[MAX_PATH + 1] = {};
    const DWORD n = sys.GetTempPathA(sizeof temporary, temporary);
    if (n == 0 || n > MAX_PATH)
        FailLast("Cannot lock the folder", fullFolder);
    char name[64];
    std::snprintf(name, sizeof name, "tren-folder-%016llx.lock",
                  static_cast<unsigned long long>(hash));
    return WithTrailingSeparator(std::string(temporary, n)) + name;
}

// A name that is not there is "Path not found" where a file stands on its way,
// as on Linux, and "File not found" where only folders are missing.
bool UnderAFile(Win32Calls& sys, std::string path) {
    for (;;) {
        while (EndsWithSeparator(path))
            path.pop_back();
        path = FolderOf(path);
        while (EndsWithSeparator(path))
            path.pop_back();
        if (path.empty() || path.back() == ':')
            return false;
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (sys.GetFileAttributesExA(path.c_str(), &data))
            return !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        if (!IsMissing(::GetLastError()))
            return false;
    }
}

} // namespace

std::int64_t Win32RunTime::FileLength(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!sys_.GetFileAttributesExA(path.c_str(), &data)) {
        const DWORD error = ::GetLastError();
        // As the run-time library has it: no such file, wherever a folder is
        // missing; but a file on the way is no folder at all.
        if (IsMissing(error))
            throw RunTimeError(UnderAFile(sys_, path) ? ErrorCode::PathNotFound
                                                      : ErrorCode::FileNotFound,
                               "Cannot measure", path);
        Fail(error, "Cannot measure", path);
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        throw RunTimeError(ErrorCode::PathFileAccess, "Cannot measure", path, "it is a folder");
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                     data.nFileSizeLow);
}

EntryInfo Win32RunTime::Examine(const std::string& path) {
    return ExamineFor(sys_, path, "Cannot look at");
}

void Win32RunTime::CreateFolder(const std::string& path) {
    if (!sys_.CreateDirectoryA(path.c_str())) {
        const DWORD error = ::GetLastError();
        if (!(error == ERROR_ALREADY_EXISTS && FolderExists(path)))
            Fail(error, "Cannot create the folder", path);
    }
}

void Win32RunTime::RemoveFile(const std::string& path) {
    if (!sys_.DeleteFileA(path.c_str()) && !IsMissing(::GetLastError()))
        FailLast("Cannot remove", path);
}

// Windows offers no flush of a folder's entries; the moves that name new files
// are written through instead.
void Win32RunTime::FlushFolder(const std::string&) {}

// Each file was flushed as it was let go: Windows flushes a whole volume only for
// an administrator.
void Win32RunTime::FlushDisk(const std::string&) {}

// Every file system Windows writes long names on (NTFS, FAT32, exFAT, UDF) takes
// 255 characters; a name counted in bytes is never longer than in characters.
// The volume's own answer is not asked for: under Wine, asking reads the disk
// device and complains on the console.
std::size_t Win32RunTime::MaxNameLength(const std::string&) {
    return 255;
}

std::unique_ptr<FolderLock> Win32RunTime::LockFolder(const std::string& folder, LockKind kind,
                                                     const std::function<void()>& waiting) {
    const std::string name = LockFileName(sys_, FullPath(folder));
    Handle file(sys_, sys_.CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, ShareAll,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL));
    if (!file.Valid())
        FailLast("Cannot lock the folder", folder);
    const DWORD exclusive = kind == LockKind::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0;
    OVERLAPPED at{};
    if (!sys_.LockFileEx(file.get(), exclusive | LOCKFILE_FAIL_IMMEDIATELY, 1, &at)) {
        if (::GetLastError() != ERROR_LOCK_VIOLATION)
            FailLast("Cannot lock the folder", folder);
        if (waiting)
            waiting();
        at = {};
        if (!sys_.LockFileEx(file.get(), exclusive, 1, &at))
            FailLast("Cannot lock the folder", folder);
    }
    return std::make_unique<Win32FolderLock>(sys_, file.Release());
}

std::unique_ptr<InputFile> Win32RunTime::OpenInput(const std::string& path) {
    // Others may not read (nor change) a file while it is read here.
    Handle file(sys_, sys_.CreateFileA(path.c_str(), GENERIC_READ, 0, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN |
                                           FILE_FLAG_BACKUP_SEMANTICS));
    if (!file.Valid())
        FailLast(Reading, path);
    if (!OnDisk(sys_, file.get(), Reading, path))
        NotRegular(Reading, path, EntryKind::Other);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!sys_.GetFileInformationByHandle(file.get(), &info))
        FailLast(Reading, path);
    if (const EntryKind kind = KindOf(info); kind != EntryKind::Regular)
        NotRegular(Reading, path, kind);
    return std::make_unique<Win32InputFile>(sys_, path, file.Release(), IdOf(info));
}

std::unique_ptr<OutputFile> Win32RunTime::CreateOutput(const std::string& path, Naming naming) {
    const EntryInfo entry = ExamineFor(sys_, path, Writing);
    std::string target = path;
    if (entry.Kind == EntryKind::Link && naming == Naming::ReplaceLinkTarget &&
        entry.TargetKind != EntryKind::Missing)
        target = FinalPath(sys_, path);
    const EntryKind kind = target == path ? entry.Kind : entry.TargetKind;
    if (kind == EntryKind::Folder || kind == EntryKind::Other)
        NotRegular(Writing, path, kind);
    if (kind == EntryKind::Regular) {
        // A file that may not be written is not replaced either.
        Handle probe(sys_, sys_.CreateFileA(target.c_str(), GENERIC_WRITE, ShareAll, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL));
        if (!probe.Valid())
            FailLast(Writing, path);
        probe.Close(Writing, path);
    }

    for (int attempt = 0;; ++attempt) {
        std::string temporary = TemporaryName(target);
        // Deletion is shared so that an interrupted run can still remove it, and
        // asked for so that the file can be marked to go with its handle.
        const HANDLE handle =
            sys_.CreateFileA(temporary.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE,
                             CREATE_NEW, FILE_ATTRIBUTE_HIDDEN);
        if (handle != INVALID_HANDLE_VALUE) {
            auto file =
                std::make_unique<Win32OutputFile>(sys_, path, target, std::move(temporary), handle);
            file->DeleteOnClose(true);
            return file;
        }
        const DWORD error = ::GetLastError();
        if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt == 100)
            Fail(error, Writing, path);
    }
}

std::unique_ptr<Hasher> Win32RunTime::NewSha256() {
    return NewCngSha256();
}

std::unique_ptr<Md5Hasher> Win32RunTime::NewMd5() {
    return NewCngMd5();
}

std::string Win32RunTime::LookUpEntry(const std::string& path, int attributes) {
    constexpr DWORD Hidden = 2, System = 4, Folder = 16;
    if (path.empty())
        throw RunTimeError(ErrorCode::InvalidArgument, "Cannot look up", path, "no name given");
    WIN32_FIND_DATAA found{};
    const HANDLE search = sys_.FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (IsMissing(error) || error == ERROR_NO_MORE_FILES)
            return {};
        Fail(error, "Cannot look up", path);
    }
    std::string name;
    DWORD error = NO_ERROR;
    do {
        const DWORD a = found.dwFileAttributes;
        if (((a & FILE_ATTRIBUTE_HIDDEN) && !(attributes & Hidden)) ||
            ((a & FILE_ATTRIBUTE_SYSTEM) && !(attributes & System)) ||
            ((a & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & Folder)))
            continue;
        name = found.cFileName;
        break;
    } while (sys_.FindNextFileA(search, &found) || (error = ::GetLastError(), false));
    sys_.FindClose(search);
    if (name.empty() && error != ERROR_NO_MORE_FILES && error != NO_ERROR)
        Fail(error, "Cannot look up", path);
    return name;
}

std::string Win32RunTime::ProgramPath() {
    std::vector<char> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD n = sys_.GetModuleFileNameA(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            FailLast("Cannot find the program file", {});
        if (n < buffer.size())
            return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

std::string Win32RunTime::HomeFolder() {
    char folder[MAX_PATH + 1] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return {};
    std::string home = folder;
    while (home.size() > 3 && IsSeparator(home.back()))
        home.pop_back();
    return home;
}

std::string Win32RunTime::DefaultFolder() {
    return "C:\\TEMP";
}

std::string Win32RunTime::CurrentDirectory() {
    std::vector<char> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD n = sys_.GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
        if (n == 0)
            FailLast("Cannot read the current directory", {});
        if (n < buffer.size())
            return std::string(buffer.data(), n);
        buffer.resize(n + 1);
    }
}

std::string Win32RunTime::FullPath(const std::string& path) {
    if (path.empty())
        throw RunTimeError(ErrorCode::InvalidArgument, "Cannot find the full path of", path,
                           "no name given");
    std::vector<char> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD n =
            sys_.GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data());
        if (n == 0)
            FailLast("Cannot find the full path of", path);
        if (n < buffer.size()) {
            // The narrow names are UTF-8 here (the manifest asks for it).
            const std::u8string full(buffer.begin(), buffer.begin() + n);
            const std::u8string normal = std::filesystem::path(full).lexically_normal().u8string();
            return std::string(normal.begin(), normal.end());
        }
        buffer.resize(n + 1);
    }
}

namespace {

// The shell's delete that only ever recycles. Undo is what sends the file to the
// Recycle Bin; the nuke warning makes the shell ask rather than silently delete
// outright a file the bin cannot take (too large, the bin turned off, or, under
// Wine, no trash folder), which it otherwise does even with undo asked for.
constexpr FILEOP_FLAGS TrashFlags =
    FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | FOF_WANTNUKEWARNING;

// The root of the volume holding path: a drive ("C:\"), a share or a mounted folder.
std::string VolumeRoot(Win32Calls& sys, const std::string& path, const char* operation) {
    char root[MAX_PATH + 1] = {};
    if (!sys.GetVolumePathNameA(path.c_str(), root, sizeof root))
        FailLast(operation, path);
    return root;
}

// What TemporaryName gives: ".tren-" and ten small letters or digits.
bool IsTemporaryName(std::string_view name) {
    constexpr std::string_view prefix = ".tren-";
    return name.size() == prefix.size() + 10 && name.starts_with(prefix) &&
           std::all_of(name.begin() + prefix.size(), name.end(),
                       [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); });
}

// The device a name opens instead of a file, or "": the part before the first
// dot, trailing blanks dropped, names the device whatever extension follows.
std::string DeviceOf(const std::string& name) {
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    for (char& c : base)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL")
        return base;
    if (!base.starts_with("COM") && !base.starts_with("LPT"))
        return {};
    const std::string number = base.substr(3);
    // The superscripts ¹ ² ³ count as digits here, as Windows documents.
    const bool digit = number.size() == 1 && number[0] >= '1' && number[0] <= '9';
    const bool superscript = number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3";
    return digit || superscript ? base : std::string();
}

// The shell's codes below DE_SAMEFILE (0x71) are Win32 errors.
[[noreturn]] void FailTrashing(int result, const std::string& path) {
    constexpr const char* Trashing = "Cannot move to the trash";
    if (result < 0x71)
        Fail(static_cast<DWORD>(result), Trashing, path);
    constexpr int AccessDeniedSource = 0x78;
    char reason[48];
    std::snprintf(reason, sizeof reason, "the shell's error 0x%X", static_cast<unsigned>(result));
    throw RunTimeError(result == AccessDeniedSource ? ErrorCode::PermissionDenied
                                                    : ErrorCode::PathFileAccess,
                       Trashing, path, reason);
}

} // namespace

DiskSpace Win32RunTime::SpaceOf(const std::string& folder) {
    constexpr const char* Measuring = "Cannot measure the free space on";
    const std::string root = VolumeRoot(sys_, folder, Measuring);
    ULARGE_INTEGER available{};
    DWORD sectorsPerCluster = 0, bytesPerSector = 0;
    if (!sys_.GetDiskFreeSpaceExA(root.c_str(), &available) ||
        !sys_.GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector))
        FailLast(Measuring, folder);
    const std::uint64_t unit = static_cast<std::uint64_t>(sectorsPerCluster) * bytesPerSector;
    return {static_cast<std::int64_t>(std::min<std::uint64_t>(available.QuadPart, INT64_MAX)),
            static_cast<std::int64_t>(std::max<std::uint64_t>(unit, 1))};
}

// Every Windows disk refuses these, whatever its file system; the name alone
// decides, so nothing is asked of the system.
std::string Win32RunTime::NameRefusal(const std::string&, const std::string& name) {
    if (std::any_of(name.begin(), name.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 ||
                   std::string_view("\"*:<>?\\/|").find(c) != std::string_view::npos;
        }))
        return "the characters \" * : < > ? \\ / | and control characters are not allowed in a "
               "file name on Windows";
    // Windows drops them without a word: "notes." would be written over "notes".
    if (!name.empty() && (name.back() == '.' || name.back() == ' '))
        return "a name ending in a dot or a blank is not allowed on Windows";
    if (const std::string device = DeviceOf(name); !device.empty())
        return device + " is a device name on Windows";
    return {};
}

std::vector<std::string> Win32RunTime::NamesStartingWith(const std::string& folder,
                                                         const std::string& prefix) {
    constexpr const char* Reading = "Cannot read the folder";
    // The system compares the pattern as it compares names: without case.
    WIN32_FIND_DATAA found{};
    const HANDLE search =
        sys_.FindFirstFileA((WithTrailingSeparator(folder) + prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (IsMissing(error) || error == ERROR_NO_MORE_FILES)
            return {};
        Fail(error, Reading, folder);
    }
    std::vector<std::string> names;
    DWORD error = NO_ERROR;
    do
        names.emplace_back(found.cFileName);
    while (sys_.FindNextFileA(search, &found) || (error = ::GetLastError(), false));
    sys_.FindClose(search);
    if (error != ERROR_NO_MORE_FILES)
        Fail(error, Reading, folder);
    return names;
}

int Win32RunTime::Leftovers(const std::string& folder, bool remove) {
    constexpr const char* Looking = "Cannot look for leftovers in";
    const std::string base = WithTrailingSeparator(folder);
    WIN32_FIND_DATAA found{};
    const HANDLE search = sys_.FindFirstFileA((base + ".tren-*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (IsMissing(error) || error == ERROR_NO_MORE_FILES)
            return 0;
        Fail(error, Looking, folder);
    }
    std::vector<std::string> candidates;
    DWORD error = NO_ERROR;
    do {
        if (!(found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
            IsTemporaryName(found.cFileName))
            candidates.push_back(base + found.cFileName);
    } while (sys_.FindNextFileA(search, &found) || (error = ::GetLastError(), false));
    sys_.FindClose(search);
    if (error != ERROR_NO_MORE_FILES)
        Fail(error, Looking, folder);

    int count = 0;
    for (const std::string& path : candidates) {
        // A live run holds its file open, sharing only its deletion, so that
        // this open fails (on Windows, one marked for deletion opens for no one).
        Handle file(sys_, sys_.CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES, 0,
                                           OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT));
        if (!file.Valid()) {
            const DWORD refused = ::GetLastError();
            if (refused == ERROR_SHARING_VIOLATION || refused == ERROR_ACCESS_DENIED ||
                IsMissing(refused))
                continue;
            Fail(refused, Looking, path);
        }
        BY_HANDLE_FILE_INFORMATION info{};
        if (!sys_.GetFileInformationByHandle(file.get(), &info))
            FailLast(Looking, path);
        if (KindOf(info) != EntryKind::Regular)
            continue;
        ++count;
        if (!remove)
            continue;
        // Through the handle held, so that only the file looked at goes, even if
        // its name were taken meanwhile.
        FILE_DISPOSITION_INFO disposition{TRUE};
        if (!sys_.SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition,
                                             sizeof disposition))
            FailLast("Cannot remove", path);
        file.Close("Cannot remove", path);
    }
    return count;
}

// Removable sticks and network shares have no Recycle Bin.
bool Win32RunTime::HasTrash(const std::string& path) {
    return sys_.GetDriveTypeA(VolumeRoot(sys_, path, "Cannot look at").c_str()) == DRIVE_FIXED;
}

namespace {

// A second name for the file, beside it, keeps it where it was while the shell
// moves it into the Recycle Bin, so that it can be put back without the shell.
class Win32TrashedFile final : public TrashedFile {
  public:
    Win32TrashedFile(Win32Calls& sys, std::string original, std::string kept)
        : sys_(sys), original_(std::move(original)), kept_(std::move(kept)) {}
    // A name another program holds for a moment (a scanner, an indexer) is asked
    // again once; one left even so is a hidden leftover the next run removes.
    ~Win32TrashedFile() override {
        if (!kept_.empty() && !sys_.DeleteFileA(kept_.c_str())) {
            ::Sleep(10);
            sys_.DeleteFileA(kept_.c_str());
        }
    }
    void PutBack() override {
        if (kept_.empty())
            throw RunTimeError(ErrorCode::PathFileAccess, "Cannot put back from the trash",
                               original_, "its disk keeps one name per file");
        if (!sys_.MoveFileExA(kept_.c_str(), original_.c_str(), 0))
            FailLast("Cannot put back from the trash", original_);
        kept_.clear();
    }

  private:
    Win32Calls& sys_;
    std::string original_;
    std::string kept_;
};

} // namespace

std::unique_ptr<TrashedFile> Win32RunTime::MoveToTrash(const std::string& path) {
    constexpr const char* Trashing = "Cannot move to the trash";
    if (!HasTrash(path))
        throw RunTimeError(ErrorCode::PathFileAccess, Trashing, path,
                           "its disk has no Recycle Bin");
    // Under Wine the shell asks, as for a file the bin cannot take, where a file
    // is not there at all.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!sys_.GetFileAttributesExA(path.c_str(), &data))
        FailLast(Trashing, path);
    // The shell takes a list of full names, each ended by a NUL and the list by another.
    const std::string full = FullPath(path);
    // Where the disk keeps only one name per file, the file cannot be put back.
    std::string kept = TemporaryName(full);
    if (!sys_.CreateHardLinkA(kept.c_str(), full.c_str()))
        kept.clear();
    auto trashed = std::make_unique<Win32TrashedFile>(sys_, full, kept);
    const int length = static_cast<int>(full.size());
    const int size = sys_.MultiByteToWideChar(full.c_str(), length, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<std::size_t>(std::max(size, 0)) + 2, L'\0');
    if (size <= 0 || sys_.MultiByteToWideChar(full.c_str(), length, wide.data(), size) != size)
        FailLast(Trashing, path);
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = wide.data();
    operation.fFlags = TrashFlags;
    static_assert(TrashFlags & FOF_ALLOWUNDO, "without undo the shell deletes outright");
    if (const int result = sys_.SHFileOperationW(&operation); result != 0)
        FailTrashing(result, path);
    if (operation.fAnyOperationsAborted)
        throw RunTimeError(ErrorCode::PathFileAccess, Trashing, path, "the removal was cancelled");
    return trashed;
}

} // namespace tren::platform
