// The options and operands of one mksetup command. A long option takes its
// value as the next argument or after "=" (--level 5, --level=5); a short
// one as the next argument (-o OUT). "--" ends the options, so that a file
// whose name starts with "-" can still be named.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "tools/mksetup_commands.h"

struct OptionSpec {
  const char* name;        // "--level"
  const char* short_name;  // "-o", or nullptr
  bool takes_value;
};

struct CommandLine {
  std::map<std::string, std::string> options;  // by long name; a flag maps to ""
  std::vector<std::string> operands;

  bool Has(const char* name) const { return options.count(name) != 0; }
  std::string Value(const char* name) const {
    auto found = options.find(name);
    return found == options.end() ? std::string() : found->second;
  }
};

// False, with the reason reported on `err`, for an unknown option, or a
// value missing or given to a flag.
bool ParseCommandLine(const CommandArgs& args, const std::vector<OptionSpec>& specs, CommandLine* parsed,
                      std::ostream& err);
