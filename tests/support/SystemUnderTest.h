#pragma once

// This system's own run-time, over calls that fail on purpose, and the names and
// errors the tests cause faults with.
#ifdef _WIN32
#include "platform/windows/Win32RunTime.h"
#include "support/windows/FaultyWin32Calls.h"

namespace tren::test {
using FaultyCalls = FaultyWin32Calls;
using SystemRunTime = platform::Win32RunTime;
inline constexpr const char* ReadCall = "ReadFile";
inline constexpr const char* WriteCall = "WriteFile";
inline constexpr DWORD DiskFullError = ERROR_DISK_FULL;
inline constexpr DWORD IoError = ERROR_IO_DEVICE;
} // namespace tren::test
#else
#include "platform/linux/PosixRunTime.h"
#include "support/linux/FaultyCalls.h"

#include <cerrno>

namespace tren::test {
using SystemRunTime = platform::PosixRunTime;
inline constexpr const char* ReadCall = "read";
inline constexpr const char* WriteCall = "write";
inline constexpr int DiskFullError = ENOSPC;
inline constexpr int IoError = EIO;
} // namespace tren::test
#endif
