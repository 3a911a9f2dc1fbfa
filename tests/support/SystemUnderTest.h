#pragma once

// This system's own run-time, over calls that fail on purpose, and the names and
// errors the tests cause faults with.
#ifdef _WIN32
#include "platform/windows/Win32RunTime.h"
#include "support/windows/FaultyWin32Calls.h"
#else
#include "platform/linux/PosixRunTime.h"
#include "support/linux/FaultyCalls.h"
#endif

namespace tren::test {

// The ways a file's bytes reach the disk: copied in the kernel into an unnamed
// file, or through MultiBuff into a file with a hidden name. Linux has both;
// Windows only the second.
enum class Road { Kernel, Buffer };

#ifdef _WIN32
using FaultyCalls = FaultyWin32Calls;
using SystemRunTime = platform::Win32RunTime;
inline constexpr const char* ReadCall = "ReadFile";
inline constexpr const char* WriteCall = "WriteFile";
inline constexpr DWORD DiskFullError = ERROR_DISK_FULL;
inline constexpr DWORD IoError = ERROR_IO_DEVICE;
inline constexpr Road Roads[] = {Road::Buffer};
inline void TakeRoad(FaultyCalls&, Road) {}
#else
using SystemRunTime = platform::PosixRunTime;
inline constexpr const char* ReadCall = "read";
inline constexpr const char* WriteCall = "write";
inline constexpr int DiskFullError = ENOSPC;
inline constexpr int IoError = EIO;
inline constexpr Road Roads[] = {Road::Kernel, Road::Buffer};
inline void TakeRoad(FaultyCalls& calls, Road road) {
    calls.KernelCopy = calls.UnnamedFiles = road == Road::Kernel;
}
#endif

} // namespace tren::test
