// Preloaded into the window's process by the tests that act during a run: every
// write of a piece (a pwrite, or a copy_file_range straight from the source)
// first waits TREN_TEST_WRITE_DELAY_MS milliseconds, so that a run of a few
// megabytes lasts long enough to click and type during it.
#include <dlfcn.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

void Wait() {
    if (const char* delay = std::getenv("TREN_TEST_WRITE_DELAY_MS"))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(delay)));
}

template <class Call> Call Real(const char* name) {
    return reinterpret_cast<Call>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    static const auto real = Real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    Wait();
    return real(fd, buffer, count, offset);
}

extern "C" ssize_t pwrite64(int fd, const void* buffer, size_t count, off64_t offset) {
    static const auto real = Real<ssize_t (*)(int, const void*, size_t, off64_t)>("pwrite64");
    Wait();
    return real(fd, buffer, count, offset);
}

extern "C" ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset,
                                   size_t count, unsigned int flags) {
    static const auto real =
        Real<ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned int)>("copy_file_range");
    Wait();
    return real(in, inOffset, out, outOffset, count, flags);
}
