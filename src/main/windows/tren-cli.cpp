#include "console/ConsoleCommand.h"
#include "platform/windows/RegistryClassStore.h"
#include "platform/windows/Win32RunTime.h"

#include <windows.h>

#include <iostream>

int main(int argc, char** argv) {
    // Lines are UTF-8, as the paths in them are.
    ::SetConsoleOutputCP(CP_UTF8);
    // The progress bar redraws its line with terminal sequences, which a console
    // understands once asked to.
    const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    const bool console = ::GetConsoleMode(err, &mode) != FALSE;
    if (console)
        ::SetConsoleMode(err, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    // The console over Windows' services.
    tren::platform::Win32RunTime runTime;
    tren::platform::RegistryClassStore classStore;
    return tren::console::RunCommand(argc, argv, runTime, classStore, std::cout, std::cerr,
                                     console);
}
