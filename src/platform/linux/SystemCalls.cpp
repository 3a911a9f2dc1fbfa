#include "platform/linux/SystemCalls.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace tren::platform {

int SystemCalls::Open(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}

int SystemCalls::Close(int fd) {
    return ::close(fd);
}

ssize_t SystemCalls::PRead(int fd, void* buffer, size_t count, off_t offset) {
    return ::pread(fd, buffer, count, offset);
}

ssize_t SystemCalls::PWrite(int fd, const void* buffer, size_t count, off_t offset) {
    return ::pwrite(fd, buffer, count, offset);
}

ssize_t SystemCalls::CopyFileRange(int in, off_t* inOffset, int out, off_t* outOffset,
                                   size_t count) {
    return ::copy_file_range(in, inOffset, out, outOffset, count, 0);
}

int SystemCalls::FStat(int fd, struct stat* st) {
    return ::fstat(fd, st);
}
int SystemCalls::LStat(const char* path, struct stat* st) {
    return ::lstat(path, st);
}
int SystemCalls::Stat(const char* path, struct stat* st) {
    return ::stat(path, st);
}
int SystemCalls::FDataSync(int fd) {
    return ::fdatasync(fd);
}
int SystemCalls::FSync(int fd) {
    return ::fsync(fd);
}

int SystemCalls::SyncFs(int fd) {
    return ::syncfs(fd);
}

int SystemCalls::FStatFs(int fd, struct statfs* st) {
    return ::fstatfs(fd, st);
}

int SystemCalls::SyncFileRange(int fd) {
    return ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
}

int SystemCalls::FChmod(int fd, mode_t mode) {
    return ::fchmod(fd, mode);
}

// An unnamed file gets its name through its /proc entry: AT_EMPTY_PATH would need
// a capability that ordinary users do not have.
int SystemCalls::LinkAt(int fd, const char* path) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path, AT_SYMLINK_FOLLOW);
}

int SystemCalls::ProcEntry(int fd) {
    struct stat st {};
    return ::lstat(("/proc/self/fd/" + std::to_string(fd)).c_str(), &st);
}

int SystemCalls::Rename(const char* from, const char* to) {
    return ::rename(from, to);
}
int SystemCalls::Unlink(const char* path) {
    return ::unlink(path);
}
int SystemCalls::MkDir(const char* path, mode_t mode) {
    return ::mkdir(path, mode);
}
int SystemCalls::Flock(int fd, int operation) {
    return ::flock(fd, operation);
}
long SystemCalls::FPathConf(int fd, int name) {
    return ::fpathconf(fd, name);
}

ssize_t SystemCalls::ReadLink(const char* path, char* buffer, size_t size) {
    return ::readlink(path, buffer, size);
}

char* SystemCalls::GetCwd(char* buffer, size_t size) {
    return ::getcwd(buffer, size);
}

int SystemCalls::Dup(int fd) {
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}
int SystemCalls::StatFs(const char* path, struct statfs* st) {
    return ::statfs(path, st);
}
int SystemCalls::StatVfs(const char* path, struct statvfs* st) {
    return ::statvfs(path, st);
}
int SystemCalls::Access(const char* path, int mode) {
    return ::access(path, mode);
}

std::string SystemCalls::RealPath(const char* path) {
    char* resolved = ::realpath(path, nullptr);
    if (resolved == nullptr)
        return {};
    std::string result = resolved;
    std::free(resolved);
    return result;
}

int SystemCalls::ListFolder(const char* path, std::vector<std::string>& names) {
    DIR* folder = ::opendir(path);
    if (folder == nullptr)
        return -1;
    errno = 0;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    const int error = errno;
    ::closedir(folder);
    errno = error;
    return error == 0 ? 0 : -1;
}

int SystemCalls::GetRLimit(int resource, struct rlimit* limit) {
    return ::getrlimit(static_cast<decltype(RLIMIT_NOFILE)>(resource), limit);
}
int SystemCalls::SetRLimit(int resource, const struct rlimit* limit) {
    return ::setrlimit(static_cast<decltype(RLIMIT_NOFILE)>(resource), limit);
}

SystemCalls& RealSystemCalls() {
    static SystemCalls calls;
    return calls;
}

} // namespace tren::platform
