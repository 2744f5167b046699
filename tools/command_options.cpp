#include "tools/command_options.h"

#include "tools/diagnostics.h"

namespace {

const OptionSpec* FindSpec(const std::vector<OptionSpec>& specs, const std::string& name) {
  for (const OptionSpec& spec : specs) {
    if (name == spec.name || (spec.short_name != nullptr && name == spec.short_name)) return &spec;
  }
  return nullptr;
}

}  // namespace

bool ParseCommandLine(const CommandArgs& args, const std::vector<OptionSpec>& specs, CommandLine* parsed,
                      std::ostream& err) {
  bool options_end = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_end || arg.size() < 2 || arg[0] != '-') {
      parsed->operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_end = true;
      continue;
    }
    // Only a long option carries its value after "=".
    size_t equals = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
    std::string name = arg.substr(0, equals);
    const OptionSpec* spec = FindSpec(specs, name);
    if (spec == nullptr) {
      ReportError(err, "unknown option " + name);
      return false;
    }
    std::string value;
    if (equals != std::string::npos) {
      if (!spec->takes_value) {
        ReportError(err, std::string(spec->name) + " takes no value");
        return false;
      }
      value = arg.substr(equals + 1);
    } else if (spec->takes_value) {
      if (i + 1 >= args.size()) {
        ReportError(err, name + " needs a value");
        return false;
      }
      value = args[++i];
    }
    // The last of repeated options counts, so that a script can add to a
    // command line it was given.
    parsed->options[spec->name] = value;
  }
  return true;
}
