#include "platform/windows/Win32RunTime.h"

#include "platform/Paths.h"
#include "platform/RemovalOnInterrupt.h"
#include "platform/TemporaryName.h"
#include "platform/windows/CngSha256.h"

#include <shlobj.h>

#include <algorithm>
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

[[noreturn]] void Fail(DWORD error, const char* operation, const std::string& path) {
    throw RunTimeError(CodeOfWin32Error(error), operation, path, SystemMessage(error));
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

EntryKind KindOf(HANDLE file, const BY_HANDLE_FILE_INFORMATION& info) {
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return EntryKind::Link;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return EntryKind::Folder;
    return ::GetFileType(file) == FILE_TYPE_DISK ? EntryKind::Regular : EntryKind::Other;
}

// Kind and identity of what path names; Missing when nothing is there.
std::pair<EntryKind, FileId> Look(Win32Calls& sys, const std::string& path, bool followLinks) {
    Handle file(sys, OpenToLook(sys, path, followLinks));
    if (!file.Valid()) {
        const DWORD error = ::GetLastError();
        if (IsMissing(error))
            return {EntryKind::Missing, {}};
        Fail(error, "Cannot look at", path);
    }
    // A device (NUL, CON, COM1) has no file information to give.
    if (::GetFileType(file.get()) != FILE_TYPE_DISK)
        return {EntryKind::Other, {}};
    BY_HANDLE_FILE_INFORMATION info{};
    if (!sys.GetFileInformationByHandle(file.get(), &info))
        FailLast("Cannot look at", path);
    return {KindOf(file.get(), info), IdOf(info)};
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
        const DWORD n = ::GetFinalPathNameByHandleA(file.get(), buffer.data(),
                                                    static_cast<DWORD>(buffer.size()), 0);
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

    std::int64_t Length() override {
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(file_.get(), &size))
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
// target only when whole; removed when dropped before that.
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

    void WriteAt(std::int64_t offset, std::span<const std::uint8_t> from) override {
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
        if (!sys_.FlushFileBuffers(file_.get()))
            FailLast(Writing, path_);
    }

    // The file stays open, so that it can still be flushed under its new name:
    // it shares deletion, which is what a move asks.
    void Publish() override {
        // The hidden mark belongs to the temporary name only.
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        if (!sys_.SetFileInformationByHandle(file_.get(), FileBasicInfo, &basic, sizeof basic))
            FailLast(Writing, path_);
        if (!sys_.MoveFileExA(temporary_.c_str(), target_.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            FailLast(Writing, path_);
        published_ = true;
        removal_.Release();
    }

    // The move was written through.
    void FlushName() override {}

  private:
    Win32Calls& sys_;
    std::string path_;
    std::string target_;
    std::string temporary_;
    Handle file_;
    RemovalOnInterrupt removal_;
    bool published_ = false;
};

// A named mutex per folder, so that processes of every session of this user meet
// on it. Windows has no shared lock on a folder: readers wait for each other too.
class Win32FolderLock final : public FolderLock {
  public:
    explicit Win32FolderLock(HANDLE mutex) : mutex_(mutex) {}
    ~Win32FolderLock() override {
        ::ReleaseMutex(mutex_);
        ::CloseHandle(mutex_);
    }

  private:
    HANDLE mutex_;
};

std::string LockName(const std::string& folder) {
    std::vector<char> full(MAX_PATH + 1);
    DWORD n =
        ::GetFullPathNameA(folder.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n >= full.size()) {
        full.resize(n + 1);
        n = ::GetFullPathNameA(folder.c_str(), static_cast<DWORD>(full.size()), full.data(),
                               nullptr);
    }
    std::string key = n > 0 && n < full.size() ? std::string(full.data(), n) : folder;
    while (key.size() > 3 && IsSeparator(key.back()))
        key.pop_back();
    // File names are case-blind here: so is the lock.
    ::CharUpperBuffA(key.data(), static_cast<DWORD>(key.size()));
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : key)
        hash = (hash ^ static_cast<unsigned char>(c == '/' ? '\\' : c)) * 1099511628211ull;
    char name[64];
    std::snprintf(name, sizeof name, "Local\\tren-folder-%016llx",
                  static_cast<unsigned long long>(hash));
    return name;
}

} // namespace

std::int64_t Win32RunTime::FileLength(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = ::GetLastError();
        // As the run-time library has it: no such file, wherever the name fails.
        if (IsMissing(error))
            throw RunTimeError(ErrorCode::FileNotFound, "Cannot measure", path,
                               SystemMessage(error));
        Fail(error, "Cannot measure", path);
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        throw RunTimeError(ErrorCode::PathFileAccess, "Cannot measure", path, "it is a folder");
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                     data.nFileSizeLow);
}

EntryInfo Win32RunTime::Examine(const std::string& path) {
    EntryInfo info;
    std::tie(info.Kind, info.Id) = Look(sys_, path, false);
    info.TargetKind = info.Kind;
    info.TargetId = info.Id;
    if (info.Kind == EntryKind::Link)
        std::tie(info.TargetKind, info.TargetId) = Look(sys_, path, true);
    return info;
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

// Every file system Windows writes long names on (NTFS, FAT32, exFAT, UDF) takes
// 255 characters; a name counted in bytes is never longer than in characters.
// The volume's own answer is not asked for: under Wine, asking reads the disk
// device and complains on the console.
std::size_t Win32RunTime::MaxNameLength(const std::string&) {
    return 255;
}

std::unique_ptr<FolderLock> Win32RunTime::LockFolder(const std::string& folder, LockKind) {
    const HANDLE mutex = ::CreateMutexA(nullptr, FALSE, LockName(folder).c_str());
    if (mutex == nullptr)
        FailLast("Cannot lock the folder", folder);
    const DWORD waited = ::WaitForSingleObject(mutex, INFINITE);
    // An abandoned lock is held now all the same.
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(mutex);
        Fail(error, "Cannot lock the folder", folder);
    }
    return std::make_unique<Win32FolderLock>(mutex);
}

std::unique_ptr<InputFile> Win32RunTime::OpenInput(const std::string& path) {
    // Others may not read (nor change) a file while it is read here.
    Handle file(sys_, sys_.CreateFileA(path.c_str(), GENERIC_READ, 0, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN |
                                           FILE_FLAG_BACKUP_SEMANTICS));
    if (!file.Valid())
        FailLast(Reading, path);
    if (::GetFileType(file.get()) != FILE_TYPE_DISK)
        NotRegular(Reading, path, EntryKind::Other);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!sys_.GetFileInformationByHandle(file.get(), &info))
        FailLast(Reading, path);
    if (const EntryKind kind = KindOf(file.get(), info); kind != EntryKind::Regular)
        NotRegular(Reading, path, kind);
    return std::make_unique<Win32InputFile>(sys_, path, file.Release(), IdOf(info));
}

std::unique_ptr<OutputFile> Win32RunTime::CreateOutput(const std::string& path, Naming naming) {
    const EntryInfo entry = Examine(path);
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
    }

    for (int attempt = 0;; ++attempt) {
        std::string temporary = TemporaryName(target);
        // Deletion is shared so that an interrupted run can still remove it.
        const HANDLE handle = sys_.CreateFileA(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE,
                                               CREATE_NEW, FILE_ATTRIBUTE_HIDDEN);
        if (handle != INVALID_HANDLE_VALUE)
            return std::make_unique<Win32OutputFile>(sys_, path, target, std::move(temporary),
                                                     handle);
        const DWORD error = ::GetLastError();
        if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt == 100)
            Fail(error, Writing, path);
    }
}

std::unique_ptr<Hasher> Win32RunTime::NewSha256() {
    return NewCngSha256();
}

std::string Win32RunTime::LookUpEntry(const std::string& path, int attributes) {
    constexpr DWORD Hidden = 2, System = 4, Folder = 16;
    if (path.empty())
        throw RunTimeError(ErrorCode::InvalidArgument, "Cannot look up", path, "no name given");
    WIN32_FIND_DATAA found{};
    const HANDLE search = ::FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (IsMissing(error) || error == ERROR_NO_MORE_FILES)
            return {};
        Fail(error, "Cannot look up", path);
    }
    std::string name;
    do {
        const DWORD a = found.dwFileAttributes;
        if (((a & FILE_ATTRIBUTE_HIDDEN) && !(attributes & Hidden)) ||
            ((a & FILE_ATTRIBUTE_SYSTEM) && !(attributes & System)) ||
            ((a & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & Folder)))
            continue;
        name = found.cFileName;
        break;
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return name;
}

std::string Win32RunTime::ProgramPath() {
    std::vector<char> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD n =
            ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
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
        const DWORD n = ::GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
        if (n == 0)
            FailLast("Cannot read the current directory", {});
        if (n < buffer.size())
            return std::string(buffer.data(), n);
        buffer.resize(n + 1);
    }
}

} // namespace tren::platform
