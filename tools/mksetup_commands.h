// The commands of mksetup. Each takes the arguments after its name and
// returns the process exit status.
#pragma once

#include <ostream>
#include <string>
#include <vector>

using CommandArgs = std::vector<std::string>;

// mksetup with the arguments after its own name: the help, the version, or
// one command, whose exit status it returns.
int RunMksetup(const CommandArgs& args, std::ostream& out, std::ostream& err);

// A command's usage line and where its whole help is, for a wrong call.
std::string ShortUsage(const std::string& name);

// build SOURCE_DIR -o OUT [--stub PATH | --no-stub] [--level N] [--no-solid]
// [--uninstaller | --uninstaller-stub PATH]: the installer (or bare archive)
// of a product folder, with package checks and, when asked, the ready
// uninstaller.
int CommandBuild(const CommandArgs& args, std::ostream& out, std::ostream& err);

// list FILE: one line per entry, then the totals.
int CommandList(const CommandArgs& args, std::ostream& out, std::ostream& err);

// test FILE: the installer's own check of the package seal and of every
// entry.
int CommandTest(const CommandArgs& args, std::ostream& out, std::ostream& err);

// extract FILE DIR: every entry under DIR, with folders, times and attributes.
int CommandExtract(const CommandArgs& args, std::ostream& out, std::ostream& err);
