// The command line of mksetup: which command runs, and the help of each.
#include <string>

#include "tools/diagnostics.h"
#include "tools/mksetup_commands.h"

namespace {

struct Command {
  const char* name;
  const char* summary;  // one line in the overview
  const char* help;     // usage line first, then every option
  int (*run)(const CommandArgs& args, std::ostream& out, std::ostream& err);
};

const Command kCommands[] = {
    {"build", "pack a product folder into an installer",
     "usage: mksetup build SOURCE_DIR -o OUT [--stub PATH | --no-stub] [--level N] [--no-solid]\n"
     "                     [-q | -v] [--werror] [--uninstaller | --uninstaller-stub PATH]\n"
     "\n"
     "Packs every file under SOURCE_DIR into OUT: Setup.exe with the archive\n"
     "after it. How to lay out the product folder (editions, languages, the\n"
     "description files, the special names) is told in the guide for package\n"
     "authors, packaging.md: in docs/ of the source, in share/doc/tolvenwark/\n"
     "once installed.\n"
     "\n"
     "  -o, --output OUT  the installer to write; an existing file is replaced\n"
     "  --stub PATH       the Setup.exe to put in front of the archive (default:\n"
     "                    the one beside mksetup, else ../share/tolvenwark/Setup.exe\n"
     "                    from mksetup's folder, where make install puts it)\n"
     "  --no-stub         write the bare archive, without a Setup.exe in front\n"
     "  --level N         0 stores every file as it is; 1 (fastest) to 5\n"
     "                    (smallest) pack; default 3. Every level packs on a\n"
     "                    second core too where there is one (the bytes are the\n"
     "                    same either way). A file that packing makes less than\n"
     "                    1 % (or 16 bytes) smaller is stored as it is, at any level\n"
     "  --no-solid        pack each file on its own; by default the files form one\n"
     "                    solid stream, in which later files refer to earlier ones\n"
     "  -q, --quiet       print nothing but warnings and errors\n"
     "  -v, --verbose     print a line for every file as it is added: stored or\n"
     "                    packed, its size, its size in the archive and the ratio\n"
     "  --werror          fail on warnings, before anything is packed (for CI)\n"
     "  --uninstaller     add the ready uninstaller as UnInst.exe, which removes\n"
     "                    exactly what this package installs; the product must\n"
     "                    not have an UnInst.exe of its own\n"
     "  --uninstaller-stub PATH\n"
     "                    the ready uninstaller to add (default: looked for as\n"
     "                    Setup.exe is, as UnInst.exe); implies --uninstaller\n"
     "\n"
     "An option's value may also follow it after \"=\" (--level=5). While it\n"
     "packs, mksetup shows a progress line on standard error when that is a\n"
     "terminal: files and bytes done, percent, rate and time left.\n"
     "\n"
     "The package is checked before it is written: errors stop the build,\n"
     "warnings name what the installer would do unexpectedly. Messages start\n"
     "with \"mksetup: error:\" or \"mksetup: warning:\". The installer is\n"
     "written beside OUT and renamed into place once whole, and sealed: the\n"
     "archive's length and CRC-32 go into a record in Setup.exe's header,\n"
     "which checks them before it reads an entry (signing the installer\n"
     "afterwards keeps the seal whole). Until then the file beside OUT is\n"
     "marked as unfinished, and the installer refuses it; a later build of\n"
     "OUT removes what an interrupted one left.\n"
     "\n"
     "The same folder always gives the same bytes. Each file keeps its last\n"
     "write time (local time, to two seconds); when SOURCE_DATE_EPOCH is set\n"
     "(seconds since 1970), later times are set back to it.\n"
     "\n"
     "Exit status: 0 written; 1 the package cannot be built, there is no\n"
     "Setup.exe, or --werror met a warning (nothing is left behind); 2 wrong\n"
     "arguments.\n",
     CommandBuild},
    {"list", "show the entries of an installer or archive",
     "usage: mksetup list [--json] FILE\n"
     "\n"
     "One line per entry of the archive in FILE (an installer or a bare\n"
     "archive): unpacked and packed size, method, version needed, flags,\n"
     "attributes, time stamp and name; then the number of entries and the\n"
     "totals, and whether FILE is signed. Nothing is unpacked. Damaged headers\n"
     "or a package that does not match its seal are named after the listing of\n"
     "what could be read.\n"
     "\n"
     "  --json  one JSON document (UTF-8) instead, for scripts: \"entries\"\n"
     "          (each with name, size, packed, method, level, version, flags,\n"
     "          crc, time, attributes, folder), the totals \"size\" and\n"
     "          \"packed\", \"seal\", \"signature\" and \"damage\" (null when\n"
     "          there is none)\n"
     "\n"
     "Exit status: 0 listed; 1 no archive found, or it is damaged; 2 wrong\n"
     "arguments.\n",
     CommandList},
    {"test", "check every entry as the installer would",
     "usage: mksetup test [--json] FILE\n"
     "\n"
     "Checks FILE exactly as Setup.exe does before it shows its dialog: the\n"
     "seal first (a sealed installer says \"sealed: ...\", any other package\n"
     "\"not sealed: ...\"; one that does not match its seal, or has data\n"
     "after it, is damaged and no entry is read), then every entry, unpacked\n"
     "in memory, and its name: one the installer could not write as it is\n"
     "(a device name, a stream, a trailing dot or blank, one taken by an\n"
     "earlier entry) makes it refuse the package. One line per entry: OK,\n"
     "BAD with the reason (the check stops there), or -- for entries not\n"
     "reached; then \"result: N\", the installer's own result code (0 when\n"
     "the whole package is sound), or \"result: damaged\". A signed installer also says \"signed: ...\" and\n"
     "where its certificate table lies; the signature itself is not checked.\n"
     "Run it in CI on every installer you publish, after signing it.\n"
     "\n"
     "  --json  one JSON document (UTF-8) instead, for scripts: \"seal\",\n"
     "          \"signature\", \"entries\" (as list --json gives them, each with\n"
     "          its \"outcome\": sound, bad or not checked, and the \"reason\" of a\n"
     "          bad one), \"archive_failure\", \"result\" and \"sound\", true\n"
     "          when the installer would accept the package\n"
     "\n"
     "Exit status: 0 every entry is sound; 1 the installer would refuse the\n"
     "package; 2 wrong arguments.\n",
     CommandTest},
    {"extract", "write every entry under a folder",
     "usage: mksetup extract FILE DIR\n"
     "\n"
     "Writes every entry of FILE under DIR (made when missing) with its\n"
     "folders, time stamp and attributes. A file of the same name is\n"
     "replaced by a new one, never written into; links in DIR are never\n"
     "followed, not even ones put there while the extraction runs. Names that\n"
     "would leave DIR, that Windows reserves or would change, and blocks after\n"
     "a package's seal are refused and named. On POSIX names are written in\n"
     "UTF-8.\n"
     "\n"
     "Exit status: 0 everything written; 1 an entry was refused, bad or could\n"
     "not be written; 2 wrong arguments.\n",
     CommandExtract},
};

const char kOverview[] =
    "usage: mksetup COMMAND ARGUMENTS\n"
    "       mksetup help [COMMAND] | mksetup COMMAND --help | mksetup --version\n"
    "\n"
    "The package author's tool of Tolvenwark Setup.\n"
    "\n";

const Command* Find(const std::string& name) {
  for (const Command& command : kCommands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

bool AsksForHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

void PrintOverview(std::ostream& out) {
  out << kOverview << "Commands:\n";
  for (const Command& command : kCommands) {
    out << "  " << command.name << std::string(9 - std::string(command.name).size(), ' ') << command.summary << "\n";
  }
  for (const Command& command : kCommands) out << "\n" << command.help;
}

}  // namespace

std::string ShortUsage(const std::string& name) {
  const Command* command = Find(name);
  if (command == nullptr) return "";
  std::string help = command->help;
  return help.substr(0, help.find('\n') + 1) + "(mksetup help " + name + " explains it)\n";
}

int RunMksetup(const CommandArgs& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    PrintOverview(err);
    return 2;
  }
  const std::string& first = args[0];
  if (AsksForHelp(first) || (first == "help" && args.size() == 1)) {
    PrintOverview(out);
    return 0;
  }
  if (first == "--version") {
    out << "mksetup " TOLVEN_VERSION "\n";
    return 0;
  }
  if (first == "help") {
    const Command* command = args.size() == 2 ? Find(args[1]) : nullptr;
    if (command == nullptr) {
      std::string known;
      for (const Command& each : kCommands) known += std::string(" ") + each.name;
      ReportError(err, "help takes one command:" + known);
      return 2;
    }
    out << command->help;
    return 0;
  }
  const Command* command = Find(first);
  if (command == nullptr) {
    ReportError(err, "unknown command " + first + " (mksetup --help lists them)");
    return 2;
  }
  CommandArgs rest(args.begin() + 1, args.end());
  for (const std::string& arg : rest) {
    if (AsksForHelp(arg)) {
      out << command->help;
      return 0;
    }
  }
  return command->run(rest, out, err);
}
