#include "platform/linux/PosixRunTime.h"

#include "platform/Paths.h"
#include "platform/RemovalOnInterrupt.h"
#include "platform/TemporaryName.h"
#include "platform/linux/Sha256.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <pwd.h>
#include <random>
#include <string_view>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
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
constexpr const char* Trashing = "Cannot move to the trash";

// The open-file limit this thread last ran into, for the words of the failure that follows.
thread_local long openFileLimit = -1;

// The system's words for an error, or none where they only say again what the
// code's own text says ("Disk full (No space left on device)").
std::string ReasonFor(int error) {
    switch (error) {
    case ENOENT:
    case EACCES:
    case EPERM:
    case ENOSPC:
        return {};
    case EMFILE:
        if (openFileLimit >= 0)
            return "Too many open files: the open-file limit is " + std::to_string(openFileLimit);
        [[fallthrough]];
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

// At the open-file limit the soft limit is raised toward the hard one, once in the process's
// life, and the open tried again; where that does not help, the limit is noted for the failure.
int OpenRetrying(SystemCalls& sys, const char* path, int flags, mode_t mode = 0666) {
    static std::atomic<bool> raised = false;
    for (;;) {
        const int fd = sys.Open(path, flags | O_CLOEXEC, mode);
        if (fd < 0 && errno == EINTR)
            continue;
        if (fd >= 0 || errno != EMFILE)
            return fd;
        struct rlimit limit {};
        if (sys.GetRLimit(RLIMIT_NOFILE, &limit) != 0)
            return errno = EMFILE, -1;
        // Enough for 255 pieces and more; children need not inherit a vast limit.
        const rlim_t enough = std::min<rlim_t>(limit.rlim_max, 4096);
        if (limit.rlim_cur < enough && !raised.exchange(true)) {
            const struct rlimit raisedLimit = {enough, limit.rlim_max};
            if (sys.SetRLimit(RLIMIT_NOFILE, &raisedLimit) == 0)
                continue;
        }
        openFileLimit = static_cast<long>(std::min<rlim_t>(limit.rlim_cur, LONG_MAX));
        return errno = EMFILE, -1;
    }
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

// Local disk file systems whose syncfs puts every file and name on the disk at
// once. Elsewhere (FUSE, network file systems) syncfs may reach nothing, and
// each file is flushed on its own.
bool FlushesWholeDisk(SystemCalls& sys, int fd) {
    struct statfs st {};
    if (sys.FStatFs(fd, &st) != 0)
        return false;
    switch (static_cast<unsigned long>(st.f_type)) {
    case 0xEF53:     // ext2, ext3, ext4
    case 0x58465342: // xfs
    case 0x9123683E: // btrfs
    case 0xF2F52010: // f2fs
    case 0x01021994: // tmpfs
    case 0x4d44:     // vfat
    case 0x2011BAB0: // exfat
    case 0x7366746E: // ntfs3
        return true;
    default:
        return false;
    }
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

    FileStamp Stamp() override {
        struct stat st {};
        if (sys_.FStat(file_.fd(), &st) != 0)
            Fail(errno, Reading, path_);
        const auto nanoseconds = [](const timespec& t) {
            return std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
        };
        return {st.st_size, nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
    }
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
            // Locked before it has a name, as every hidden file is (see Leftovers).
            sys_.Flock(file_.fd(), LOCK_EX | LOCK_NB);
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
        // a failing close leaves the name as it was; a copy of its descriptor holds
        // the hidden name's lock until then.
        const Descriptor lock(sys_, flushed_ ? sys_.Dup(file_.fd()) : -1);
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

    void Release() override {
        if (closed_)
            return;
        if (!FlushesWholeDisk(sys_, file_.fd()))
            Flush();
        if (!closed_)
            Close();
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

// Every hidden file is locked for as long as its run lives, so that Leftovers tells a dead
// run's from a live one's. Another run's Leftovers may have taken the file between its making
// and the lock: false then, the name no longer leading to it. A disk without locks keeps the
// file unlocked, and Leftovers, unable to lock it either, leaves it alone.
bool LockedAsLive(SystemCalls& sys, int fd, const std::string& name) {
    int result;
    do
        result = sys.Flock(fd, LOCK_EX);
    while (result != 0 && errno == EINTR);
    struct stat mine {};
    struct stat named {};
    if (sys.FStat(fd, &mine) != 0)
        return true;
    if (sys.LStat(name.c_str(), &named) != 0)
        return errno != ENOENT;
    return mine.st_ino == named.st_ino && mine.st_dev == named.st_dev;
}

// ".tren-" and ten letters or digits, as TemporaryName makes them.
bool IsTemporaryName(std::string_view name) {
    constexpr std::string_view prefix = ".tren-";
    return name.size() == prefix.size() + 10 && name.starts_with(prefix) &&
           std::all_of(name.begin() + prefix.size(), name.end(),
                       [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); });
}

// Up to most bytes from the start of a file; "" where it cannot be read.
std::string ReadStart(SystemCalls& sys, const std::string& path, std::size_t most) {
    Descriptor file(sys, OpenRetrying(sys, path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY));
    std::string bytes(most, '\0');
    std::size_t done = 0;
    while (file.fd() >= 0 && done < most) {
        const ssize_t n =
            sys.PRead(file.fd(), bytes.data() + done, most - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

// The disk families that take neither " * : < > ? \ | nor a name ending in a dot or a
// blank, by the names their drivers go by ("fusefat", "exfat", "ntfs-3g", ...).
std::string FamilyNamed(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name.find("exfat") != std::string::npos)
        return "exFAT";
    if (name.find("ntfs") != std::string::npos)
        return "NTFS";
    if (name.find("fat") != std::string::npos || name.find("msdos") != std::string::npos)
        return "FAT";
    return {};
}

// The family a boot sector names: exFAT and NTFS by their signatures, FAT by its type field.
std::string FamilyOfBootSector(std::string_view sector) {
    if (sector.size() < 90)
        return {};
    if (sector.substr(3, 8) == "EXFAT   ")
        return "exFAT";
    if (sector.substr(3, 8) == "NTFS    ")
        return "NTFS";
    if (sector.substr(54, 3) == "FAT" || sector.substr(82, 5) == "FAT32")
        return "FAT";
    return {};
}

// "\040" in the mount table is a blank, and so on.
std::string Unescaped(std::string_view field) {
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const auto octal = [&](std::size_t at) { return field[at] >= '0' && field[at] <= '7'; };
        if (field[i] == '\\' && i + 3 < field.size() && octal(i + 1) && octal(i + 2) &&
            octal(i + 3)) {
            text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                      (field[i + 3] - '0'));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

// The family of a FUSE disk, from its line in the mount table: the driver's name, or for a
// block device's driver (fuseblk) the device's boot sector. Without /proc nothing is known.
std::string FuseFamily(SystemCalls& sys, const std::string& folder) {
    struct stat st {};
    if (sys.Stat(folder.c_str(), &st) != 0)
        return {};
    const std::string device =
        std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
    const std::string table = ReadStart(sys, "/proc/self/mountinfo", 1 << 22);
    std::string type, source;
    std::size_t start = 0;
    while (start < table.size()) {
        std::size_t end = table.find('\n', start);
        if (end == std::string::npos)
            end = table.size();
        // ID PARENT MAJOR:MINOR ROOT POINT OPTIONS [OPTIONAL...] - TYPE SOURCE OPTIONS
        std::vector<std::string_view> fields;
        for (std::size_t at = start; at < end;) {
            const std::size_t blank = std::min(table.find(' ', at), end);
            fields.emplace_back(table.data() + at, blank - at);
            at = blank + 1;
        }
        const auto dash = std::find(fields.begin(), fields.end(), "-");
        if (fields.size() > 2 && fields[2] == device && fields.end() - dash > 2) {
            type = dash[1];
            source = Unescaped(dash[2]);
        }
        start = end + 1;
    }
    if (type.starts_with("fuse."))
        return FamilyNamed(type.substr(5));
    if (type == "fuse")
        return FamilyNamed(source);
    if (type != "fuseblk")
        return {};
    // A block device's own driver: in practice ntfs-3g or exfat-fuse. A boot sector that
    // cannot be read leaves it at that.
    const std::string sector = ReadStart(sys, source, 512);
    return sector.empty() ? "FAT, exFAT or NTFS" : FamilyOfBootSector(sector);
}

// "/a/b" gives "/a", "/a" gives "/".
std::string ParentOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string Joined(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// Where a trashed file goes: the trash folder, holding files/ and info/, and the folder the
// info's Path is relative to ("" for the home trash, which takes absolute paths).
struct Trash {
    std::string Folder;
    std::string Top;
};

// A trash folder whose files/ and info/ are there and writable, or can be made in the
// nearest folder there; made when make is set.
bool TrashUsable(SystemCalls& sys, const std::string& trash, bool make) {
    for (const std::string& folder : {trash, trash + "/files", trash + "/info"}) {
        std::vector<std::string> missing;
        std::string there = folder;
        struct stat st {};
        while (sys.Stat(there.c_str(), &st) != 0) {
            if (errno != ENOENT || there == "/")
                return false;
            missing.push_back(there);
            there = ParentOf(there);
        }
        if (!S_ISDIR(st.st_mode) || sys.Access(there.c_str(), W_OK | X_OK) != 0)
            return false;
        for (auto m = missing.rbegin(); make && m != missing.rend(); ++m)
            if (sys.MkDir(m->c_str(), 0700) != 0 && errno != EEXIST)
                return false;
    }
    return true;
}

// A top folder's trash must be the user's own folder, not a link, where it is there at all.
bool OwnFolderOrNone(SystemCalls& sys, const std::string& path) {
    struct stat st {};
    if (sys.LStat(path.c_str(), &st) != 0)
        return errno == ENOENT;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

// The freedesktop.org trash for a file (its folder's links resolved) on device: the home
// trash where that is on the same device (or would be, made in its nearest folder there),
// otherwise one in the top folder of the file's mount.
std::optional<Trash> TrashFor(SystemCalls& sys, const std::string& file, dev_t device,
                              const std::string& dataHome, bool make) {
    const std::string home = dataHome + "/Trash";
    std::string there = home;
    struct stat st {};
    while (sys.Stat(there.c_str(), &st) != 0 && there != "/")
        there = ParentOf(there);
    if (st.st_dev == device && st.st_mode != 0)
        return TrashUsable(sys, home, make) ? std::optional<Trash>({home, ""}) : std::nullopt;
    std::string top = ParentOf(file);
    while (top != "/" && sys.Stat(ParentOf(top).c_str(), &st) == 0 && st.st_dev == device)
        top = ParentOf(top);
    const std::string uid = std::to_string(::getuid());
    // $topdir/.Trash/$uid where .Trash is a real folder with the sticky bit, else .Trash-$uid.
    if (sys.LStat(Joined(top, ".Trash").c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
        (st.st_mode & S_ISVTX)) {
        const std::string shared = Joined(top, ".Trash/" + uid);
        if (OwnFolderOrNone(sys, shared) && TrashUsable(sys, shared, make))
            return Trash{shared, top};
    }
    const std::string own = Joined(top, ".Trash-" + uid);
    if (OwnFolderOrNone(sys, own) && TrashUsable(sys, own, make))
        return Trash{own, top};
    return std::nullopt;
}

// A path as the trash's info file keeps it: bytes other than letters, digits, "/" and
// "-_.!~*'()" as %XX (RFC 2396).
std::string PercentEncoded(std::string_view path) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
            (byte >= '0' && byte <= '9') ||
            std::string_view("/-_.!~*'()").find(c) != std::string_view::npos) {
            text += c;
        } else {
            text += '%';
            text += hex[byte >> 4];
            text += hex[byte & 15];
        }
    }
    return text;
}

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

void PosixRunTime::FlushDisk(const std::string& folder) {
    Descriptor dir(sys_, OpenRetrying(sys_, folder.c_str(), O_RDONLY | O_DIRECTORY));
    if (dir.fd() < 0)
        Fail(errno, Writing, folder);
    // Elsewhere every file was flushed as it was let go; the folder is left.
    if (!FlushesWholeDisk(sys_, dir.fd())) {
        if (sys_.FSync(dir.fd()) != 0 && errno != EINVAL)
            Fail(errno, Writing, folder);
    } else if (sys_.SyncFs(dir.fd()) != 0) {
        Fail(errno, Writing, folder);
    }
    dir.Close(Writing, folder);
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
    const int fd = OpenRetrying(sys_, folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        Fail(errno, "Cannot open the folder", folder);
    auto lock = std::make_unique<PosixFolderLock>(sys_, fd);
    const int operation = kind == LockKind::Exclusive ? LOCK_EX : LOCK_SH;
    int result;
    do
        result = sys_.Flock(fd, operation | LOCK_NB);
    while (result != 0 && errno == EINTR);
    // Another run holds it: said once, then waited for.
    if (result != 0 && errno == EWOULDBLOCK) {
        if (waiting)
            waiting();
        do
            result = sys_.Flock(fd, operation);
        while (result != 0 && errno == EINTR);
    }
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
    // An unnamed file takes its name through /proc: where that is missing (a chroot, a
    // rescue shell) it never could, and a hidden name stands in from the start.
    if (fd >= 0 && sys_.ProcEntry(fd) != 0) {
        sys_.Close(fd);
        fd = -1;
        errno = EOPNOTSUPP;
    }
    // Where the file system has no unnamed files (vfat), a hidden name stands in.
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        for (int attempt = 0;; ++attempt) {
            temporary = TemporaryName(target);
            fd = OpenRetrying(sys_, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL);
            if (fd >= 0 && !LockedAsLive(sys_, fd, temporary)) {
                sys_.Close(fd); // another run took it for a dead run's: not ours to remove
                fd = -1;
                errno = EEXIST;
            }
            if (fd >= 0 || errno != EEXIST || attempt == 100)
                break;
        }
    }
    if (fd < 0)
        FailNaming(sys_, errno, Writing, path);
    auto output = std::make_unique<PosixOutputFile>(sys_, path, target, fd, temporary, false);
    // A new file has the usual mode (0666 less the umask); one that is replaced
    // keeps its own, where the disk keeps modes at all (fusefat does not).
    if (replaces && sys_.FChmod(fd, st.st_mode & 07777) != 0 && errno != ENOSYS &&
        errno != EOPNOTSUPP)
        Fail(errno, Writing, path);
    return output;
}

std::unique_ptr<Hasher> PosixRunTime::NewSha256() {
    return NewOpenSslSha256();
}

std::unique_ptr<Md5Hasher> PosixRunTime::NewMd5() {
    return NewOpenSslMd5();
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

DiskSpace PosixRunTime::SpaceOf(const std::string& folder) {
    struct statvfs st {};
    if (sys_.StatVfs(folder.c_str(), &st) != 0)
        Fail(errno, "Cannot measure the free space in", folder);
    // The fragment is the unit the counts are in and what a file takes at least: the
    // cluster on FAT, exFAT and NTFS. (fusefat counts in kilobytes whatever its cluster,
    // so there a file may take up to a cluster more than it says.)
    const auto unit = static_cast<std::int64_t>(
        std::max<unsigned long>(st.f_frsize != 0 ? st.f_frsize : st.f_bsize, 1));
    // A file system that counts no blocks at all (some FUSE ones) tells nothing of its room.
    if (st.f_blocks == 0)
        return {INT64_MAX, unit};
    const auto blocks = static_cast<std::int64_t>(std::min<fsblkcnt_t>(st.f_bavail, INT64_MAX));
    return {blocks > INT64_MAX / unit ? INT64_MAX : blocks * unit, unit};
}

std::string PosixRunTime::NameRefusal(const std::string& folder, const std::string& name) {
    struct statfs st {};
    if (sys_.StatFs(folder.c_str(), &st) != 0)
        Fail(errno, "Cannot look at", folder);
    std::string family;
    switch (static_cast<std::uint32_t>(st.f_type)) {
    case 0x4d44: // MSDOS_SUPER_MAGIC: vfat and msdos
        family = "FAT";
        break;
    case 0x2011BAB0: // EXFAT_SUPER_MAGIC
        family = "exFAT";
        break;
    case 0x5346544e: // NTFS_SB_MAGIC
    case 0x7366746e: // ntfs3
        family = "NTFS";
        break;
    case 0x65735546: // FUSE_SUPER_MAGIC
        family = FuseFamily(sys_, folder);
        break;
    default:
        break;
    }
    if (family.empty())
        return {};
    const std::string disk = (family.starts_with("FAT") ? " a " : " an ") + family + " disk";
    if (std::any_of(name.begin(), name.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 ||
                   std::string_view("\"*:<>?\\|").find(c) != std::string_view::npos;
        }))
        return "the characters \" * : < > ? \\ | and control characters are not allowed on" + disk;
    // Those disks drop them: "notes." would be written over "notes".
    if (!name.empty() && (name.back() == '.' || name.back() == ' '))
        return "a name ending in a dot or a blank is not allowed on" + disk;
    return {};
}

std::vector<std::string> PosixRunTime::NamesStartingWith(const std::string& folder,
                                                         const std::string& prefix) {
    std::vector<std::string> names;
    if (sys_.ListFolder(folder.c_str(), names) != 0) {
        if (errno == ENOENT)
            return {};
        Fail(errno, "Cannot read the folder", folder);
    }
    const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    std::erase_if(names, [&](const std::string& name) {
        return name.size() < prefix.size() ||
               !std::equal(prefix.begin(), prefix.end(), name.begin(),
                           [&](char a, char b) { return lower(a) == lower(b); });
    });
    return names;
}

int PosixRunTime::Leftovers(const std::string& folder, bool remove) {
    std::vector<std::string> names;
    if (sys_.ListFolder(folder.c_str(), names) != 0)
        Fail(errno, "Cannot read the folder", folder);
    int count = 0;
    for (const std::string& name : names) {
        if (!IsTemporaryName(name))
            continue;
        const std::string path = WithTrailingSeparator(folder) + name;
        // Opened for writing, as some disks (NFS) lock exclusively only then; a link, a pipe
        // or a device is no run's.
        Descriptor file(
            sys_, OpenRetrying(sys_, path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
        struct stat opened {};
        struct stat named {};
        if (file.fd() < 0 || sys_.FStat(file.fd(), &opened) != 0 || !S_ISREG(opened.st_mode))
            continue;
        // A live run holds its lock; a disk without locks cannot tell, and is left alone.
        if (sys_.Flock(file.fd(), LOCK_EX | LOCK_NB) != 0)
            continue;
        // Still the file the name leads to.
        if (sys_.LStat(path.c_str(), &named) != 0 || named.st_ino != opened.st_ino ||
            named.st_dev != opened.st_dev)
            continue;
        if (remove && sys_.Unlink(path.c_str()) != 0) {
            if (errno == ENOENT)
                continue;
            Fail(errno, "Cannot remove", path);
        }
        ++count;
    }
    return count;
}

namespace {

// The file the trash is asked about, its folder's links resolved, and its device; the
// device of its folder where the file is not there.
struct TrashSubject {
    std::string File;
    dev_t Device = 0;
    bool Exists = false;
};

std::optional<TrashSubject> SubjectOf(SystemCalls& sys, std::string full) {
    while (full.size() > 1 && full.back() == '/')
        full.pop_back();
    const std::string folder = sys.RealPath(ParentOf(full).c_str());
    if (folder.empty())
        return std::nullopt;
    TrashSubject subject{Joined(folder, FileNameOf(full))};
    struct stat st {};
    subject.Exists = sys.LStat(subject.File.c_str(), &st) == 0;
    if (!subject.Exists && sys.Stat(folder.c_str(), &st) != 0)
        return std::nullopt;
    subject.Device = st.st_dev;
    return subject;
}

bool ReadOnly(SystemCalls& sys, const std::string& file) {
    struct statvfs st {};
    return sys.StatVfs(ParentOf(file).c_str(), &st) == 0 && (st.f_flag & ST_RDONLY);
}

std::string DataHome(PosixRunTime& runTime) {
    const char* env = std::getenv("XDG_DATA_HOME");
    std::string home = env && *env == '/' ? env : runTime.HomeFolder() + "/.local/share";
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return home;
}

} // namespace

bool PosixRunTime::HasTrash(const std::string& path) {
    const auto subject = SubjectOf(sys_, FullPath(path));
    return subject && !ReadOnly(sys_, subject->File) &&
           TrashFor(sys_, subject->File, subject->Device, DataHome(*this), false);
}

namespace {

class PosixTrashedFile final : public TrashedFile {
  public:
    PosixTrashedFile(SystemCalls& sys, std::string original, std::string kept, std::string info)
        : sys_(sys), original_(std::move(original)), kept_(std::move(kept)),
          info_(std::move(info)) {}
    void PutBack() override {
        if (sys_.Rename(kept_.c_str(), original_.c_str()) != 0)
            Fail(errno, "Cannot put back from the trash", original_);
        sys_.Unlink(info_.c_str());
    }

  private:
    SystemCalls& sys_;
    std::string original_, kept_, info_;
};

} // namespace

std::unique_ptr<TrashedFile> PosixRunTime::MoveToTrash(const std::string& path) {
    const auto subject = SubjectOf(sys_, FullPath(path));
    if (!subject || !subject->Exists)
        FailNaming(sys_, subject ? ENOENT : errno, Trashing, path);
    if (ReadOnly(sys_, subject->File))
        Fail(EROFS, Trashing, path);
    const auto trash = TrashFor(sys_, subject->File, subject->Device, DataHome(*this), true);
    if (!trash)
        throw RunTimeError(ErrorCode::PermissionDenied, Trashing, path, "its disk has no trash");

    // The info file first, under a name free in both files/ and info/: the file's own, cut
    // where it would leave no room for ".trashinfo" and a number.
    std::string name = FileNameOf(subject->File);
    std::size_t keep = std::min<std::size_t>(name.size(), 240);
    while (keep > 0 && keep < name.size() &&
           (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;
    name.resize(keep);
    std::string entry, info;
    int fd = -1;
    // A few numbers in turn, then random ones: a trash holding thousands of files of
    // one name is not searched name by name.
    std::random_device random;
    for (int n = 1; fd < 0; ++n) {
        entry = n == 1   ? name
                : n < 10 ? name + "." + std::to_string(n)
                         : name + "." + std::to_string(random() % 1000000000u);
        info = trash->Folder + "/info/" + entry + ".trashinfo";
        struct stat st {};
        if (sys_.LStat((trash->Folder + "/files/" + entry).c_str(), &st) == 0)
            continue;
        fd = OpenRetrying(sys_, info.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd < 0 && (errno != EEXIST || n == 1000))
            Fail(errno, Trashing, path);
    }
    Descriptor file(sys_, fd);
    const std::string& original = subject->File;
    const std::string kept = trash->Top.empty()  ? original
                             : trash->Top == "/" ? original.substr(1)
                                                 : original.substr(trash->Top.size() + 1);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char date[32] = "";
    if (::localtime_r(&now, &local))
        std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    const std::string text =
        "[Trash Info]\nPath=" + PercentEncoded(kept) + "\nDeletionDate=" + date + "\n";
    int error = 0;
    for (std::size_t done = 0; done < text.size() && error == 0;) {
        const ssize_t n =
            sys_.PWrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n == 0 || errno != EINTR)
            error = n == 0 ? EIO : errno;
    }
    if (error == 0 && !file.Close())
        error = errno;
    if (error == 0 &&
        sys_.Rename(original.c_str(), (trash->Folder + "/files/" + entry).c_str()) != 0)
        error = errno;
    if (error != 0) {
        sys_.Unlink(info.c_str());
        Fail(error, Trashing, path);
    }
    return std::make_unique<PosixTrashedFile>(sys_, original, trash->Folder + "/files/" + entry,
                                              info);
}

} // namespace tren::platform
