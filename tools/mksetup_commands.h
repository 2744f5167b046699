// The commands of mksetup. Each takes the arguments after its name and
// returns the process exit status.
#pragma once

#include <ostream>
#include <string>
#include <vector>

using CommandArgs = std::vector<std::string>;

// list FILE: one line per entry, then the totals.
int CommandList(const CommandArgs& args, std::ostream& out, std::ostream& err);

// test FILE: the installer's own check of every entry.
int CommandTest(const CommandArgs& args, std::ostream& out, std::ostream& err);

// extract FILE DIR: every entry under DIR, with folders, times and attributes.
int CommandExtract(const CommandArgs& args, std::ostream& out, std::ostream& err);
