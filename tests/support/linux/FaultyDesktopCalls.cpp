#include "support/linux/FaultyDesktopCalls.h"

namespace tren::test {

bool FaultyDesktopCalls::Fails(std::string name) {
    Made.push_back(std::move(name));
    if (static_cast<long>(Made.size()) != FailAt)
        return false;
    errno = FailWith;
    return true;
}

int FaultyDesktopCalls::Close(int fd) {
    // close gives the descriptor back even when it reports a failure.
    const bool fails = Fails("close");
    const int result = DesktopCalls::Close(fd);
    if (fails)
        errno = FailWith;
    return fails ? -1 : result;
}

} // namespace tren::test
