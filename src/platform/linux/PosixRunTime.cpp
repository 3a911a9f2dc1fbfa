#include "platform/linux/PosixRunTime.h"

#include "platform/Paths.h"
#include "platform/RemovalOnInterrupt.h"
#include "platform/TemporaryName.h"
#include "platform/linux/Sha256.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tren::platform {

ErrorCode CodeOfErrno(int error) {
    switch (error) {
    case ENOENT:
        return ErrorCode::FileNotFound;
    case ENOTDIR:
        return ErrorCode::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return ErrorCode::PermissionDenied;
    case ENOSPC:
    case EDQUOT:
        return ErrorCode::DiskFull;
    case EISDIR:
        return ErrorCode::PathFileAccess;
    case EIO:
        return ErrorCode::DeviceIo;
    case ENAMETOOLONG:
        return ErrorCode::BadFileName;
    case ENOMEM:
        return ErrorCode::OutOfMemory;
    default:
        return ErrorCode::PathFileAccess;
    }
}

namespace {

constexpr const char* Reading = "Cannot read";
constexpr const char* Writing = "Cannot write";

// The system's words for an error, or none where they only say again what the
// code's own text says ("Disk full (No space left on device)").
std::string ReasonFor(int error) {
    switch (error) {
    case ENOENT:
    case EACCES:
    case EPERM:
    case ENOSPC:
        return {};
    default:
        return std::strerror(error);
    }
}

[[noreturn]] void Fail(int error, const char* operation, const std::string& path) {
    throw RunTimeError(CodeOfErrno(error), operation, path, ReasonFor(error));
}

[[noreturn]] void NotRegular(const char* operation, const std::string& path, mode_t mode) {
    const char* what = S_ISDIR(mode)    ? "it is a folder"
                       : S_ISFIFO(mode) ? "it is a pipe, not a regular file"
                       : S_ISSOCK(mode) ? "it is a socket, not a regular file"
                                        : "it is a device, not a regular file";
    throw RunTimeError(ErrorCode::PathFileAccess, operation, path, what);
}

// One open descriptor, closed when it goes; Close reports a failing close, where a
// lost write can hide.
class Descriptor {
  public:
    Descriptor(SystemCalls& sys, int fd) : sys_(sys), fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0)
            sys_.Close(fd_);
    }
    int fd() const noexcept { return fd_; }
    int Release() noexcept { return std::exchange(fd_, -1); }
    bool Close() {
        const int fd = std::exchange(fd_, -1);
        return fd < 0 || sys_.Close(fd) == 0 || errno == EINTR;
    }
    // On the write path: a failing close is a failure of the file named.
    void Close(const char* operation, const std::string& named) {
        if (!Close())
            Fail(errno, operation, named);
    }

  private:
    SystemCalls& sys_;
    int fd_;
};

int OpenRetrying(SystemCalls& sys, const char* path, int flags, mode_t mode = 0666) {
    int fd;
    do
        fd = sys.Open(path, flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

std::string FolderToOpen(const std::string& path) {
    const std::string folder = FolderOf(path);
    return folder.empty() ? "." : folder;
}

// Puts a folder's entries on the disk; a failure names the file the user knows.
void FlushFolderOf(SystemCalls& sys, const std::string& folder, const std::string& named) {
    Descriptor dir(sys, OpenRetrying(sys, folder.c_str(), O_RDONLY | O_DIRECTORY));
    if (dir.fd() < 0)
        Fail(errno, Writing, named);
    // A file system that cannot flush a folder says EINVAL: nothing waits.
    if (sys.FSync(dir.fd()) != 0 && errno != EINVAL)
        Fail(errno, Writing, named);
    dir.Close(Writing, named);
}

EntryKind KindOf(mode_t mode) {
    if (S_ISREG(mode))
        return EntryKind::Regular;
    if (S_ISDIR(mode))
        return EntryKind::Folder;
    if (S_ISLNK(mode))
        return EntryKind::Link;
    return EntryKind::Other;
}

FileId IdOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

// A final symbolic link is followed to the file it names, so that the new file
// lands where a plain write would have written.
std::string ResolveLinks(SystemCalls& sys, std::string path) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (sys.LStat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::vector<char> target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) +
                                 1);
        const ssize_t n = sys.ReadLink(path.c_str(), target.data(), target.size());
        if (n < 0)
            Fail(errno, "Cannot follow the link", path);
        std::string next(target.data(), static_cast<std::size_t>(n));
        path = (!next.empty() && next.front() == '/') ? next : FolderOf(path) + next;
    }
    Fail(ELOOP, "Cannot follow the link", path);
}

// A name that is not there is "Path not found" where its folder is not there
// either, as on Windows, and "File not found" where only the file is missing.
[[noreturn]] void FailNaming(SystemCalls& sys, int error, const char* operation,
                             const std::string& path) {
    if (error == ENOENT && !FolderOf(path).empty()) {
        struct stat st {};
        if (sys.Stat(FolderOf(path).c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR))
            throw RunTimeError(ErrorCode::PathNotFound, operation, path);
    }
    Fail(error, operation, path);
}

// Holds back the signals that remove hidden names from the moment a name is made
// until it is registered for removal: a stop in between would leave it behind.
class StopSignalsHeld {
  public:
    StopSignalsHeld() {
        sigset_t stops;
        sigemptyset(&stops);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&stops, signal);
        ::pthread_sigmask(SIG_BLOCK, &stops, &before_);
    }
    StopSignalsHeld(const StopSignalsHeld&) = delete;
    StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;
    ~StopSignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &before_, nullptr); }

  private:
    sigset_t before_;
};

class PosixInputFile final : public InputFile {
  public:
    PosixInputFile(SystemCalls& sys, std::string path, int fd, FileId id)
        : path_(std::move(path)), file_(sys, fd), sys_(sys), id_(id) {}

    const std::string& Path() const override { return path_; }
    FileId Id() const override { return id_; }
    int fd() const { return file_.fd(); }

    FileStamp Stamp() override { return {Length(), 0, 0}; } // PLACEHOLDER
    std::int64_t Length() override {
        struct stat st {};
        if (sys_.FStat(file_.fd(), &st) != 0)
            Fail(errno, Reading, path_);
        return st.st_size;
    }

    std::size_t ReadAt(std::int64_t offset, std::span<std::uint8_t> into) override {
        std::size_t done = 0;
        while (done < into.size()) {
            const ssize_t n =
                sys_.PRead(file_.fd(), into.data() + done, into.size() - done,
                           static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                Fail(errno, Reading, path_);
            if (n == 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        return done;
    }

  private:
    std::string path_;
    Descriptor file_;
    SystemCalls& sys_;
    FileId id_;
};

class PosixOutputFile final : public OutputFile {
  public:
    // Written where it stands (a device), or new and unnamed (temporary empty), or
    // new under a hidden temporary name.
    PosixOutputFile(SystemCalls& sys, std::string path, std::string target, int fd,
                    std::string temporary, bool inPlace)
        : sys_(sys), path_(std::move(path)), target_(std::move(target)), file_(sys, fd),
          temporary_(std::move(temporary)), inPlace_(inPlace) {
        if (!temporary_.empty())
            removal_ = std::make_unique<RemovalOnInterrupt>(temporary_);
    }
    PosixOutputFile(const PosixOutputFile&) = delete;
    PosixOutputFile& operator=(const PosixOutputFile&) = delete;

    ~PosixOutputFile() override {
        if (!published_ && !inPlace_ && !temporary_.empty())
            sys_.Unlink(temporary_.c_str());
    }

    const std::string& Path() const override { return path_; }

    void WriteAt(std::int64_t offset, std::span<const std::uint8_t> from) override {
        flushed_ = false;
        std::size_t done = 0;
        while (done < from.size()) {
            const ssize_t n =
                sys_.PWrite(file_.fd(), from.data() + done, from.size() - done,
                            static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                Fail(errno, Writing, path_);
            if (n == 0)
                throw RunTimeError(ErrorCode::DeviceIo, Writing, path_,
                                   "the write made no progress");
            done += static_cast<std::size_t>(n);
        }
    }

    std::int64_t CopyFrom(InputFile& from, std::int64_t fromOffset, std::int64_t toOffset,
                          std::int64_t count) override {
        auto* input = dynamic_cast<PosixInputFile*>(&from);
        if (input == nullptr)
            return -1;
        flushed_ = false;
        off_t in = fromOffset;
        off_t out = toOffset;
        std::int64_t done = 0;
        while (done < count) {
            const ssize_t n = sys_.CopyFileRange(input->fd(), &in, file_.fd(), &out,
                                                 static_cast<std::size_t>(count - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                // These can only be the written side's; anything else (an I/O error
                // above all) may be either, and the plain read and write that follow
                // name the side that fails.
                if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG)
                    Fail(errno, Writing, path_);
                return -1;
            }
            // Some file systems report no data where there is some: the plain read
            // tells whether the input really ends here.
            if (n == 0)
                return -1;
            done += n;
        }
        return done;
    }

    void StartFlush() override {
        if (closed_)
            return;
        if (sys_.SyncFileRange(file_.fd()) != 0 && errno != EINVAL && errno != ESPIPE &&
            errno != ENOSYS && errno != EINTR)
            Fail(errno, Writing, path_);
    }

    void Flush() override {
        if (closed_)
            return;
        // A device or file system that cannot be flushed says EINVAL: nothing waits.
        if (sys_.FDataSync(file_.fd()) != 0 && errno != EINVAL && errno != EROFS)
            Fail(errno, Writing, path_);
        flushed_ = true;
        if (published_)
            Close();
    }

    void Publish() override {
        if (inPlace_) {
            published_ = true;
            Close();
            return;
        }
        if (temporary_.empty()) {
            // An unnamed file takes a free name at once; a taken one is replaced
            // through a hidden name, since only rename replaces.
            if (sys_.LinkAt(file_.fd(), target_.c_str()) == 0) {
                published_ = true;
                if (flushed_)
                    Close();
                return;
            }
            if (errno != EEXIST)
                Fail(errno, Writing, path_);
            for (int attempt = 0;; ++attempt) {
                const std::string name = TemporaryName(target_);
                const StopSignalsHeld held;
                if (sys_.LinkAt(file_.fd(), name.c_str()) == 0) {
                    // Named now: removed on interruption and by the destructor
                    // until it is renamed.
                    temporary_ = name;
                    removal_ = std::make_unique<RemovalOnInterrupt>(temporary_);
                    break;
                }
                if (errno != EEXIST || attempt == 100)
                    Fail(errno, Writing, path_);
            }
        }
        // A file already on the disk is closed before it takes the name, so that
        // a failing close leaves the name as it was.
        if (flushed_)
            Close();
        if (sys_.Rename(temporary_.c_str(), target_.c_str()) != 0)
            Fail(errno, Writing, path_);
        published_ = true;
        removal_.reset();
    }

    void FlushName() override {
        if (!inPlace_)
            FlushFolderOf(sys_, FolderToOpen(target_), path_);
    }

  private:
    // Whichever of Flush and Publish comes second closes the file, and a failing
    // close fails it: that is where a lost write can show.
    void Close() {
        closed_ = true;
        file_.Close(Writing, path_);
    }

    SystemCalls& sys_;
    std::string path_;
    std::string target_;
    Descriptor file_;
    std::string temporary_;
    bool inPlace_;
    bool published_ = false;
    bool flushed_ = false;
    bool closed_ = false;
    std::unique_ptr<RemovalOnInterrupt> removal_;
};

class PosixFolderLock final : public FolderLock {
  public:
    PosixFolderLock(SystemCalls& sys, int fd) : file_(sys, fd) {}

  private:
    Descriptor file_;
};

} // namespace

std::int64_t PosixRunTime::FileLength(const std::string& path) {
    struct stat st {};
    if (sys_.Stat(path.c_str(), &st) != 0)
        Fail(errno, "Cannot measure", path);
    if (S_ISDIR(st.st_mode))
        NotRegular("Cannot measure", path, st.st_mode);
    return st.st_size;
}

EntryInfo PosixRunTime::Examine(const std::string& path) {
    EntryInfo info;
    struct stat st {};
    if (sys_.LStat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return info;
        Fail(errno, "Cannot look at", path);
    }
    info.Kind = info.TargetKind = KindOf(st.st_mode);
    info.Id = info.TargetId = IdOf(st);
    if (info.Kind == EntryKind::Link) {
        if (sys_.Stat(path.c_str(), &st) == 0) {
            info.TargetKind = KindOf(st.st_mode);
            info.TargetId = IdOf(st);
        } else if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP) {
            info.TargetKind = EntryKind::Missing;
            info.TargetId = {};
        } else {
            Fail(errno, "Cannot look at", path);
        }
    }
    return info;
}

void PosixRunTime::CreateFolder(const std::string& path) {
    if (sys_.MkDir(path.c_str(), 0777) != 0 && !(errno == EEXIST && FolderExists(path)))
        Fail(errno, "Cannot create the folder", path);
}

void PosixRunTime::RemoveFile(const std::string& path) {
    if (sys_.Unlink(path.c_str()) != 0 && errno != ENOENT)
        Fail(errno, "Cannot remove", path);
}

void PosixRunTime::FlushFolder(const std::string& folder) {
    FlushFolderOf(sys_, folder, folder);
}

std::size_t PosixRunTime::MaxNameLength(const std::string& folder) {
    // Some file systems (vfat) report more than they take; no name over 255 bytes
    // is taken anywhere.
    constexpr long Longest = 255;
    Descriptor dir(sys_, OpenRetrying(sys_, folder.c_str(), O_RDONLY | O_DIRECTORY));
    if (dir.fd() < 0)
        Fail(errno, "Cannot open the folder", folder);
    errno = 0;
    const long limit = sys_.FPathConf(dir.fd(), _PC_NAME_MAX);
    // No limit at all leaves errno alone; EINVAL is a file system that does not say.
    if (limit < 0 && errno != 0 && errno != EINVAL)
        Fail(errno, "Cannot open the folder", folder);
    return static_cast<std::size_t>(limit > 0 ? std::min(limit, Longest) : Longest);
}

std::unique_ptr<FolderLock> PosixRunTime::LockFolder(const std::string& folder, LockKind kind,
                                              const std::function<void()>& waiting) {
    (void)waiting; // PLACEHOLDER
    const int fd = OpenRetrying(sys_, folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        Fail(errno, "Cannot open the folder", folder);
    auto lock = std::make_unique<PosixFolderLock>(sys_, fd);
    int result;
    do
        result = sys_.Flock(fd, kind == LockKind::Exclusive ? LOCK_EX : LOCK_SH);
    while (result != 0 && errno == EINTR);
    // A file system without locks (some network ones) is used unlocked rather than
    // not at all.
    if (result != 0 && errno != ENOLCK && errno != EOPNOTSUPP && errno != EINVAL)
        Fail(errno, "Cannot lock the folder", folder);
    return lock;
}

std::unique_ptr<InputFile> PosixRunTime::OpenInput(const std::string& path) {
    // Not blocking: a pipe standing at the name must be refused, not waited on.
    const int fd = OpenRetrying(sys_, path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        FailNaming(sys_, errno, Reading, path);
    Descriptor file(sys_, fd);
    struct stat st {};
    if (sys_.FStat(fd, &st) != 0)
        Fail(errno, Reading, path);
    if (!S_ISREG(st.st_mode))
        NotRegular(Reading, path, st.st_mode);
    return std::make_unique<PosixInputFile>(sys_, path, file.Release(), IdOf(st));
}

std::unique_ptr<OutputFile> PosixRunTime::CreateOutput(const std::string& path, Naming naming) {
    const std::string target =
        naming == Naming::ReplaceLinkTarget ? ResolveLinks(sys_, path) : path;

    bool replaces = false;
    struct stat st {};
    if (sys_.LStat(target.c_str(), &st) == 0) {
        if (S_ISREG(st.st_mode)) {
            // A file that may not be written is not replaced either.
            Descriptor probe(sys_, OpenRetrying(sys_, target.c_str(), O_WRONLY | O_NONBLOCK));
            if (probe.fd() < 0)
                Fail(errno, Writing, path);
            probe.Close(Writing, path);
            replaces = true;
        } else if ((S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) &&
                   naming == Naming::ReplaceLinkTarget) {
            // A device is written where it stands, as a plain write would.
            const int fd = OpenRetrying(sys_, target.c_str(), O_WRONLY | O_NOCTTY);
            if (fd < 0)
                Fail(errno, Writing, path);
            return std::make_unique<PosixOutputFile>(sys_, path, target, fd, std::string(), true);
        } else if (!S_ISLNK(st.st_mode)) {
            NotRegular(Writing, path, st.st_mode);
        }
    } else if (errno != ENOENT) {
        Fail(errno, Writing, path);
    }

    const std::string folder = FolderToOpen(target);
    std::string temporary;
    const StopSignalsHeld held;
    int fd = OpenRetrying(sys_, folder.c_str(), O_TMPFILE | O_WRONLY);
    // Where the file system has no unnamed files (vfat), a hidden name stands in.
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        for (int attempt = 0;; ++attempt) {
            temporary = TemporaryName(target);
            fd = OpenRetrying(sys_, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL);
            if (fd >= 0 || errno != EEXIST || attempt == 100)
                break;
        }
    }
    if (fd < 0)
        FailNaming(sys_, errno, Writing, path);
    auto output = std::make_unique<PosixOutputFile>(sys_, path, target, fd, temporary, false);
    // A new file has the usual mode (0666 less the umask); one that is replaced
    // keeps its own.
    if (replaces && sys_.FChmod(fd, st.st_mode & 07777) != 0)
        Fail(errno, Writing, path);
    return output;
}

std::unique_ptr<Hasher> PosixRunTime::NewSha256() {
    return NewOpenSslSha256();
}

std::string PosixRunTime::LookUpEntry(const std::string& path, int attributes) {
    constexpr int Hidden = 2;
    constexpr int Folder = 16;
    if (path.empty())
        throw RunTimeError(ErrorCode::InvalidArgument, "Cannot look up", path, "no name given");
    struct stat st {};
    if (sys_.Stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        Fail(errno, "Cannot look up", path);
    }
    // There are no short names here: an entry's stored name is the one asked for.
    // A name beginning with a dot is what this system calls hidden.
    const std::string name = FileNameOf(path);
    const bool hidden = !name.empty() && name.front() == '.';
    if ((hidden && !(attributes & Hidden)) || (S_ISDIR(st.st_mode) && !(attributes & Folder)))
        return {};
    return name;
}

std::string PosixRunTime::ProgramPath() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = sys_.ReadLink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            Fail(errno, "Cannot find the program file", "/proc/self/exe");
        if (static_cast<std::size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

std::string PosixRunTime::HomeFolder() {
    std::string home;
    if (const char* env = std::getenv("HOME"); env && *env)
        home = env;
    else if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        home = entry->pw_dir;
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return home;
}

std::string PosixRunTime::DefaultFolder() {
    return WithTrailingSeparator(HomeFolder()) + "TEMP";
}

std::string PosixRunTime::CurrentDirectory() {
    std::vector<char> buffer(4096);
    while (sys_.GetCwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            Fail(errno, "Cannot read the current directory", {});
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

std::string PosixRunTime::FullPath(const std::string& path) {
    if (path.empty())
        throw RunTimeError(ErrorCode::InvalidArgument, "Cannot find the full path of", path,
                           "no name given");
    std::filesystem::path full(path);
    if (!full.is_absolute())
        full = std::filesystem::path(CurrentDirectory()) / full;
    return full.lexically_normal().string();
}

// PLACEHOLDER: the services below are yet to be written for this system.
DiskSpace PosixRunTime::SpaceOf(const std::string&) { return {INT64_MAX, 1}; }
std::string PosixRunTime::NameRefusal(const std::string&, const std::string&) { return {}; }
int PosixRunTime::Leftovers(const std::string&, bool) { return 0; }
bool PosixRunTime::HasTrash(const std::string&) { return false; }
void PosixRunTime::MoveToTrash(const std::string& path) {
    throw RunTimeError(ErrorCode::InvalidArgument, "Cannot move to the trash", path, "no trash");
}

} // namespace tren::platform
