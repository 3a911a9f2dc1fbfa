#include "platform/console/ConsoleCommand.h"

#include <iostream>

int main(int argc, char** argv) {
    return tren::platform::console::RunCommand(argc, argv, std::cout, std::cerr);
}
