#include "support/windows/FaultyWin32Calls.h"

#include <algorithm>

namespace tren::test {

bool FaultyWin32Calls::Fails(const char* name) {
    Made.emplace_back(name);
    if (static_cast<long>(Made.size()) != FailAt && !Failing.count(name))
        return false;
    ::SetLastError(FailWith);
    return true;
}

BOOL FaultyWin32Calls::WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done,
                                 OVERLAPPED* at) {
    if (Fails("WriteFile"))
        return FALSE;
    if (WriteBudget <= 0) {
        ::SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    count = static_cast<DWORD>(std::min<std::int64_t>(WriteBudget, count));
    const BOOL written = Win32Calls::WriteFile(file, buffer, count, done, at);
    if (written)
        WriteBudget -= *done;
    return written;
}

} // namespace tren::test
