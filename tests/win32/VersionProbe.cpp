// Prints a program file's version information as the system reads it, one
// NAME=VALUE line each: the fixed file version, then the texts of its first
// translation. tests/win32/package_test.sh compares them with CMake's.
#include <windows.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    std::vector<char> data(GetFileVersionInfoSizeA(argv[1], nullptr));
    if (data.empty() || !GetFileVersionInfoA(argv[1], 0, data.size(), data.data()))
        return 1;
    VS_FIXEDFILEINFO* fixed = nullptr;
    WORD* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) ||
        !VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translation), &length))
        return 1;
    std::printf("Fixed=%u.%u.%u.%u\n", HIWORD(fixed->dwFileVersionMS),
                LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                LOWORD(fixed->dwFileVersionLS));
    for (const char* name : {"ProductName", "FileDescription", "FileVersion", "ProductVersion",
                             "OriginalFilename", "LegalCopyright"}) {
        char key[80];
        char* value = nullptr;
        wsprintfA(key, "\\StringFileInfo\\%04x%04x\\%s", translation[0], translation[1], name);
        if (VerQueryValueA(data.data(), key, reinterpret_cast<void**>(&value), &length))
            std::printf("%s=%s\n", name, value);
    }
    return 0;
}
