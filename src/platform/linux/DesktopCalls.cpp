#include "platform/linux/DesktopCalls.h"

#include "platform/linux/SystemCalls.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tren::platform {

int DesktopCalls::Open(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}

ssize_t DesktopCalls::Read(int fd, void* buffer, size_t count) {
    return ::read(fd, buffer, count);
}

ssize_t DesktopCalls::Write(int fd, const void* buffer, size_t count) {
    return ::write(fd, buffer, count);
}

int DesktopCalls::FSync(int fd) {
    return ::fsync(fd);
}

int DesktopCalls::Close(int fd) {
    return ::close(fd);
}

int DesktopCalls::Rename(const char* from, const char* to) {
    return ::rename(from, to);
}

int DesktopCalls::Unlink(const char* path) {
    return ::unlink(path);
}

int DesktopCalls::MkDir(const char* path, mode_t mode) {
    return ::mkdir(path, mode);
}

int DesktopCalls::Stat(const char* path, struct stat* st) {
    return ::stat(path, st);
}

int DesktopCalls::Access(const char* path, int mode) {
    return ::access(path, mode);
}

int DesktopCalls::ListFolder(const char* path, std::vector<std::string>& names) {
    return RealSystemCalls().ListFolder(path, names);
}

int DesktopCalls::Run(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int started = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        errno = started;
        return -1;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

ssize_t DesktopCalls::ReadLink(const char* path, char* buffer, size_t size) {
    return ::readlink(path, buffer, size);
}

DesktopCalls& RealDesktopCalls() {
    static DesktopCalls calls;
    return calls;
}

} // namespace tren::platform
