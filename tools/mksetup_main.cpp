// mksetup: the package author's tool. Each command lives in its own file.
#include <iostream>

#include "tools/mksetup_commands.h"

int main(int argc, char** argv) { return RunMksetup(CommandArgs(argv + 1, argv + argc), std::cout, std::cerr); }
