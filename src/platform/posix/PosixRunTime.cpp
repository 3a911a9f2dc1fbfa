#include "platform/posix/PosixRunTime.h"

#include "platform/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
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
    case ENOMEM:
        return ErrorCode::OutOfMemory;
    default:
        return ErrorCode::PathFileAccess;
    }
}

namespace {

[[noreturn]] void Fail(int error, const char* operation, const std::string& path) {
    throw RunTimeError(CodeOfErrno(error), operation, path, std::strerror(error));
}

// One open file; the write path closes explicitly so that a failing close, where a
// lost last piece hides, is reported.
class File {
public:
    File(const std::string& path, int flags, const char* operation)
        : path_(path), operation_(operation) {
        do
            fd_ = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
        while (fd_ < 0 && errno == EINTR);
        if (fd_ < 0)
            Fail(errno);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() {
        if (fd_ >= 0)
            ::close(fd_);
    }

    int fd() const noexcept { return fd_; }
    [[noreturn]] void Fail(int error) const { tren::platform::Fail(error, operation_, path_); }

    void Close() {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR)
            Fail(errno);
    }

    // The file ends where the last write ended, whatever it held before.
    void EndAt(std::int64_t end) {
        struct stat st {};
        if (::fstat(fd_, &st) != 0)
            Fail(errno);
        if (S_ISREG(st.st_mode) && st.st_size != end && ::ftruncate(fd_, end) != 0)
            Fail(errno);
    }

private:
    int fd_ = -1;
    std::string path_;
    const char* operation_;
};

int WriteFlags(std::int64_t offset) { return O_WRONLY | O_CREAT | (offset == 0 ? O_TRUNC : 0); }

// A final symbolic link is followed to the file it names, so that the
// replacement lands where a plain write would have written.
std::string ResolveLinks(std::string path) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::vector<char> target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1);
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0)
            Fail(errno, "Cannot follow the link", path);
        std::string next(target.data(), static_cast<std::size_t>(n));
        path = (!next.empty() && next.front() == '/') ? next : FolderOf(path) + next;
    }
    Fail(ELOOP, "Cannot follow the link", path);
}

std::string RandomSuffix() {
    static std::mt19937_64 generator{std::random_device{}()};
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (int i = 0; i < 8; ++i)
        suffix += digits[generator() % (sizeof digits - 1)];
    return suffix;
}

} // namespace

std::int64_t PosixRunTime::FileLength(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        Fail(errno, "Cannot measure", path);
    if (S_ISDIR(st.st_mode))
        Fail(EISDIR, "Cannot measure", path);
    return st.st_size;
}

bool PosixRunTime::FolderExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void PosixRunTime::CreateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) != 0 && !(errno == EEXIST && FolderExists(path)))
        Fail(errno, "Cannot create the folder", path);
}

void PosixRunTime::CheckReadable(const std::string& path) {
    File file(path, O_RDONLY, "Cannot open");
}

std::size_t PosixRunTime::ReadAt(const std::string& path, std::int64_t offset,
                                 std::span<std::uint8_t> into) {
    File file(path, O_RDONLY, "Cannot read");
    std::size_t done = 0;
    while (done < into.size()) {
        const ssize_t n = ::pread(file.fd(), into.data() + done, into.size() - done,
                                  static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            file.Fail(errno);
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

void PosixRunTime::WriteAt(const std::string& path, std::int64_t offset,
                           std::span<const std::uint8_t> from) {
    File file(path, WriteFlags(offset), "Cannot write");
    std::size_t done = 0;
    while (done < from.size()) {
        const ssize_t n = ::pwrite(file.fd(), from.data() + done, from.size() - done,
                                   static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            file.Fail(errno);
        done += static_cast<std::size_t>(n);
    }
    file.EndAt(offset + static_cast<std::int64_t>(from.size()));
    file.Close();
}

std::int64_t PosixRunTime::CopyRange(const std::string& from, std::int64_t fromOffset,
                                     const std::string& to, std::int64_t toOffset,
                                     std::int64_t count) {
    File source(from, O_RDONLY, "Cannot read");
    File target(to, WriteFlags(toOffset), "Cannot write");
    loff_t in = fromOffset;
    loff_t out = toOffset;
    std::int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::copy_file_range(source.fd(), &in, target.fd(), &out,
                                            static_cast<std::size_t>(count - done), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            // These say the kernel will not copy between these two files (other file
            // systems, special files, an old kernel), not that the data is bad.
            if (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL ||
                errno == EBADF || errno == ETXTBSY)
                return -1;
            target.Fail(errno);
        }
        if (n == 0) {
            // Some file systems report no data where there is some; let the plain read
            // decide whether the source really ends here.
            if (done == 0)
                return -1;
            break;
        }
        done += n;
    }
    target.EndAt(toOffset + done);
    target.Close();
    return done;
}

Replacement PosixRunTime::BeginReplacement(const std::string& destination) {
    Replacement replacement;
    replacement.Target = ResolveLinks(destination);
    const std::string& target = replacement.Target;

    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            Fail(EISDIR, "Cannot write", target);
        File probe(target, O_WRONLY, "Cannot write");
        if (!S_ISREG(st.st_mode)) {
            replacement.Temporary = destination;
            replacement.InPlace = true;
            return replacement;
        }
        replacement.Replaces = true;
    } else if (errno != ENOENT) {
        Fail(errno, "Cannot write", target);
    }

    // The name stays short enough for any file system, and a leading dot keeps the
    // unfinished file out of the way in a file manager.
    std::string name = FileNameOf(target).substr(0, 200);
    for (int attempt = 0;; ++attempt) {
        replacement.Temporary = FolderOf(target) + "." + name + ".tren-" + RandomSuffix();
        int fd = ::open(replacement.Temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST && attempt < 100)
            continue;
        if (fd < 0)
            Fail(errno, "Cannot write", target);
        // A new file has the usual mode (0666 less the umask, as open gives it); a
        // file that is replaced keeps its own.
        const bool modeSet = !replacement.Replaces || ::fchmod(fd, st.st_mode & 07777) == 0;
        const int error = errno;
        ::close(fd);
        if (!modeSet) {
            ::unlink(replacement.Temporary.c_str());
            Fail(error, "Cannot write", target);
        }
        return replacement;
    }
}

void PosixRunTime::CommitReplacement(const Replacement& replacement) {
    if (replacement.InPlace)
        return;
    // Until the new file is on the disk, a crash after the rename could cost the
    // old one; a new name has nothing to lose and needs no wait for the disk.
    if (replacement.Replaces) {
        File file(replacement.Temporary, O_WRONLY, "Cannot write");
        if (::fdatasync(file.fd()) != 0 && errno != EINVAL)
            file.Fail(errno);
        file.Close();
    }
    if (::rename(replacement.Temporary.c_str(), replacement.Target.c_str()) != 0)
        Fail(errno, "Cannot write", replacement.Target);
}

void PosixRunTime::DiscardReplacement(const Replacement& replacement) noexcept {
    if (!replacement.InPlace)
        ::unlink(replacement.Temporary.c_str());
}

std::string PosixRunTime::LookUpEntry(const std::string& path, int attributes) {
    constexpr int Hidden = 2;
    constexpr int Folder = 16;
    if (path.empty())
        throw RunTimeError(ErrorCode::InvalidArgument, "Cannot look up", path, "no name given");
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
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
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
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

std::string PosixRunTime::CurrentDirectory() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            Fail(errno, "Cannot read the current directory", {});
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

} // namespace tren::platform
