// mksetup: the package author's tool. Each command lives in its own file.
#include <iostream>
#include <string>

#include "tools/mksetup_commands.h"

namespace {

struct Command {
  const char* name;
  const char* usage;
  int (*run)(const CommandArgs& args, std::ostream& out, std::ostream& err);
};

const Command kCommands[] = {
    {"build", "build DIR -o OUT   pack a product folder into an installer (see mksetup build)", CommandBuild},
    {"list", "list FILE          show the entries of an installer or archive", CommandList},
    {"test", "test FILE          check every entry as the installer would", CommandTest},
    {"extract", "extract FILE DIR   write every entry under DIR", CommandExtract},
};

int Usage() {
  std::cerr << "usage: mksetup COMMAND ARGUMENTS\n";
  for (const Command& command : kCommands) std::cerr << "  mksetup " << command.usage << "\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string name = argv[1];
  for (const Command& command : kCommands) {
    if (name == command.name) {
      return command.run(CommandArgs(argv + 2, argv + argc), std::cout, std::cerr);
    }
  }
  std::cerr << "mksetup: unknown command " << name << "\n";
  return Usage();
}
