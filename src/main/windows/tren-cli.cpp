#include "console/ConsoleCommand.h"
#include "console/ConsoleControls.h"
#include "platform/windows/RegistryClassStore.h"
#include "platform/windows/Win32RunTime.h"

#include <windows.h>

#include <iostream>

int main(int argc, char** argv) {
    // Lines are UTF-8, as the paths in them are.
    ::SetConsoleOutputCP(CP_UTF8);
    // Many consoles show escape sequences as text: the progress bar redraws its
    // line with a carriage return and blanks alone.
    DWORD mode = 0;
    const bool console = ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != FALSE;
    // The console over Windows' services.
    tren::platform::Win32RunTime runTime;
    tren::platform::RegistryClassStore classStore;
    return tren::console::RunCommand(argc, argv, runTime, classStore, std::cout, std::cerr,
                                     console ? tren::console::Terminal::PlainConsole
                                             : tren::console::Terminal::None);
}
