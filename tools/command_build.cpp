#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <optional>
#include <sstream>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "archive/archive_format.h"
#include "pack/packer.h"
#include "tools/archive_catalog.h"
#include "tools/build_progress.h"
#include "tools/command_options.h"
#include "tools/diagnostics.h"
#include "tools/mksetup_commands.h"
#include "tools/package_builder.h"
#include "tools/package_checks.h"
#include "tools/package_read_back.h"
#include "tools/package_source.h"
#include "tools/seal_record.h"
#include "tools/temporary_output.h"
#include "tools/uninstall_list.h"

namespace fs = std::filesystem;

namespace {

// The last offset at which the installer still finds the archive's marker.
constexpr uint64_t kLastArchiveOffset = kSearchStart + kSearchLength - 10;

struct BuildArgs {
  std::string source;
  std::string output;
  std::string stub;
  bool no_stub = false;
  bool quiet = false;            // no progress line, no summary
  bool verbose = false;          // a line for every file as it is added
  bool werror = false;           // warnings stop the build
  bool uninstaller = false;      // add the ready uninstaller as UnInst.exe
  std::string uninstaller_stub;  // the uninstaller program; "" to look for it as for Setup.exe
  BuildOptions options;
};

const std::vector<OptionSpec> kBuildOptions = {
    {"--output", "-o", true},          {"--stub", nullptr, true},
    {"--no-stub", nullptr, false},     {"--level", nullptr, true},
    {"--no-solid", nullptr, false},    {"--quiet", "-q", false},
    {"--verbose", "-v", false},        {"--werror", nullptr, false},
    {"--uninstaller", nullptr, false}, {"--uninstaller-stub", nullptr, true},
};

bool ParseArgs(const CommandArgs& args, BuildArgs* parsed, std::ostream& err) {
  CommandLine line;
  if (!ParseCommandLine(args, kBuildOptions, &line, err)) return false;
  if (line.operands.size() != 1) {
    ReportError(err, line.operands.empty() ? "name the product folder to pack" : "more than one product folder");
    return false;
  }
  parsed->source = line.operands[0];
  parsed->output = line.Value("--output");
  parsed->stub = line.Value("--stub");
  parsed->no_stub = line.Has("--no-stub");
  parsed->options.solid = !line.Has("--no-solid");
  parsed->quiet = line.Has("--quiet");
  parsed->verbose = line.Has("--verbose");
  parsed->werror = line.Has("--werror");
  parsed->uninstaller_stub = line.Value("--uninstaller-stub");
  parsed->uninstaller = line.Has("--uninstaller") || line.Has("--uninstaller-stub");
  if (line.Has("--level")) {
    std::string value = line.Value("--level");
    if (value.size() != 1 || value[0] < '0' || value[0] > '0' + pack::kMaxLevel) {
      ReportError(err, "--level takes 0 (store) to 5 (smallest), not " + value);
      return false;
    }
    parsed->options.level = value[0] - '0';
  }
  if (parsed->output.empty()) {
    ReportError(err, "name the installer to write with -o OUT");
    return false;
  }
  if (parsed->no_stub && line.Has("--stub")) {
    ReportError(err, "--stub and --no-stub exclude each other");
    return false;
  }
  if (parsed->quiet && parsed->verbose) {
    ReportError(err, "--quiet and --verbose exclude each other");
    return false;
  }
  return true;
}

// The folder this program runs from.
fs::path OwnFolder() {
#ifdef _WIN32
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return fs::path();
  return fs::path(path).parent_path();
#else
  std::error_code error;
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::path() : self.parent_path();
#endif
}

bool OnTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}

// Where a program of ours that is not named is looked for: beside mksetup,
// as in the build tree and on Windows, then where make install puts it for
// a mksetup in PREFIX/bin.
std::vector<fs::path> DefaultPlaces(const char* file_name) {
  fs::path own = OwnFolder();
  if (own.empty()) return {};
  return {own / file_name, own.parent_path() / "share" / "tolvenwark" / file_name};
}

// The program's path: the one named, else the first default place that
// holds it. False when there is none, with the places looked at in
// `looked` (" at A or B", or "").
bool FindProgram(const std::string& named, const char* file_name, fs::path* path, std::string* looked) {
  looked->clear();
  if (!named.empty()) {
    *path = fs::path(named);
    return true;
  }
  for (const fs::path& candidate : DefaultPlaces(file_name)) {
    std::error_code error;
    if (fs::is_regular_file(candidate, error)) {
      *path = candidate;
      return true;
    }
    *looked += (looked->empty() ? " at " : " or ") + candidate.u8string();
  }
  return false;
}

// The stub's path: the one named, else the first default that exists.
// False, and said why, when there is none.
bool FindStub(const std::string& named, fs::path* stub, std::ostream& err) {
  std::string looked;
  if (FindProgram(named, "Setup.exe", stub, &looked)) return true;
  ReportError(err, "no Setup.exe to put in front of the archive" + looked +
                       "; name one with --stub PATH, or write a bare archive with --no-stub");
  return false;
}

bool ReadProgram(const fs::path& path, std::string* bytes) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream read;
  read << file.rdbuf();
  *bytes = read.str();
  return static_cast<bool>(file);
}

std::string Percent(uint64_t part, uint64_t whole) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(1) << (whole ? 100.0 * part / whole : 100.0) << "%";
  return text.str();
}

// SOURCE_DATE_EPOCH, the latest time stamp a reproducible build may carry:
// false when it is set but not a count of seconds.
bool LatestTimeFromEnvironment(std::optional<int64_t>* latest, std::ostream& err) {
  const char* text = std::getenv("SOURCE_DATE_EPOCH");
  if (text == nullptr || *text == '\0') return true;
  int64_t seconds = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9' || seconds > (INT64_MAX - 9) / 10) {
      ReportError(err, std::string("SOURCE_DATE_EPOCH must be a number of seconds since 1970, not ") + text);
      return false;
    }
    seconds = seconds * 10 + (*c - '0');
  }
  *latest = seconds;
  return true;
}

// Takes the output out of the product's files when it is one of them: an
// earlier build there is left out; any other file of the product would be
// overwritten, which is refused.
bool SetOutputApart(PackageSource* source, const fs::path& output, std::ostream& err) {
  std::error_code error;
  for (auto entry = source->entries.begin(); entry != source->entries.end(); ++entry) {
    if (!fs::equivalent(entry->source, output, error)) continue;
    if (!ReadCatalog(output.string()).found) {
      ReportError(err, "the output " + output.u8string() + " is one of the product's own files; choose another");
      return false;
    }
    source->entries.erase(entry);
    return true;
  }
  return true;
}

// Seconds on a clock that only moves forward, for the progress line.
double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// One line of the verbose listing: how the file went into the archive.
std::string AddedLine(const PackageEntry& entry, uint64_t packed, bool stored) {
  char line[96];
  std::snprintf(line, sizeof line, "%-6s %10llu %10llu %6s  ", stored ? "stored" : "packed",
                static_cast<unsigned long long>(entry.size), static_cast<unsigned long long>(packed),
                Percent(packed, entry.size).c_str());
  return line + entry.name;
}

// The ready uninstaller's name in the package: the name Setup.exe
// registers as the uninstall command.
const char kUninstallerName[] = "UnInst.exe";

// Adds the ready uninstaller, filled with what this package places, to the
// entries as UnInst.exe, in its place by name. False, with the reason said
// on `err`, when it cannot.
bool AddUninstaller(const BuildArgs& parsed, std::optional<int64_t> latest_time, PackageSource* source,
                    std::ostream& err) {
  for (const std::string& name : PlacedFileNames(NamesOf(source->entries))) {
    if (SameFileName(name, kUninstallerName)) {
      ReportError(err, "the product already has an uninstaller, " + name +
                           "; --uninstaller adds the ready one under that name: leave out one of the two");
      return false;
    }
  }
  fs::path program_path;
  std::string looked;
  if (!FindProgram(parsed.uninstaller_stub, kUninstallerName, &program_path, &looked)) {
    ReportError(err, "no UnInst.exe to add as the uninstaller" + looked + "; name one with --uninstaller-stub PATH");
    return false;
  }
  std::string program;
  if (!ReadProgram(program_path, &program)) {
    ReportError(err, program_path.u8string() + ": cannot be read");
    return false;
  }

  PackageEntry entry;
  entry.name = kUninstallerName;
  auto place = std::lower_bound(source->entries.begin(), source->entries.end(), entry,
                                [](const PackageEntry& a, const PackageEntry& b) { return a.name < b.name; });
  std::vector<std::string> names = NamesOf(source->entries);
  names.insert(names.begin() + (place - source->entries.begin()), entry.name);
  auto contents = [&](const std::string& name) { return DescriptionBytesOf(source->entries, name); };
  std::string filled;
  std::string problem = FillUninstaller(program, EncodeUninstallList(UninstallContentsOf(names, contents)), &filled);
  if (!problem.empty()) {
    ReportError(err, program_path.u8string() + ": " + problem);
    return false;
  }

  // The uninstaller's own time stamp, so that the same product and
  // uninstaller always build to the same bytes; never read-only, whatever
  // the file that mksetup took it from.
  entry.source = program_path;
  std::error_code error;
  if (!ReadFileFacts(latest_time, &entry, &error)) {
    ReportError(err, program_path.u8string() + ": " + error.message());
    return false;
  }
  entry.attributes = kAttributeArchive;
  entry.size = filled.size();
  entry.contents = std::move(filled);
  source->entries.insert(place, std::move(entry));
  return true;
}

// The program put in front of the archive: its bytes, empty for a bare
// archive, and whether its header has room for the seal record.
struct Stub {
  std::string bytes;
  int seal_room = kStubNoRoom;
};

// Paths on the command line are in the system's own encoding (the ANSI
// code page on Windows), which is what a path made from a string expects.
bool ReadStub(const BuildArgs& parsed, Stub* stub, std::ostream& err) {
  if (parsed.no_stub) return true;
  fs::path stub_path;
  if (!FindStub(parsed.stub, &stub_path, err)) return false;
  if (!ReadProgram(stub_path, &stub->bytes)) {
    ReportError(err, stub_path.u8string() + ": cannot be read");
    return false;
  }
  const std::string& bytes = stub->bytes;
  if (bytes.empty()) {
    ReportError(err, "the stub " + stub_path.u8string() +
                         " is empty; name a Setup.exe, or write a bare archive with --no-stub");
    return false;
  }
  if (bytes.size() > kLastArchiveOffset || bytes.size() < kSearchStart) {
    ReportError(err, "the stub is " + std::to_string(bytes.size()) +
                         " bytes; the installer only finds an archive that starts at offset 0 or at 7 to " +
                         std::to_string(kLastArchiveOffset));
    return false;
  }
  stub->seal_room = StubSealRoom(bytes);
  if (stub->seal_room == kStubBadRecord) {
    ReportError(err,
                "the stub's header holds other bytes where the seal record goes (offsets 40 to 59);"
                " the installer would take them for a damaged seal");
    return false;
  }
  return true;
}

// The files of the product folder that go into the package, the output
// left out and the uninstaller added if asked for. False, with the errors
// said, when there is none or one cannot go in.
bool GatherEntries(const BuildArgs& parsed, PackageSource* source, std::ostream& err) {
  std::optional<int64_t> latest_time;
  if (!LatestTimeFromEnvironment(&latest_time, err)) return false;
  *source = ScanPackageSource(fs::path(parsed.source), latest_time);
  for (const std::string& error : source->errors) ReportError(err, error);
  if (!source->errors.empty()) return false;
  if (!SetOutputApart(source, fs::path(parsed.output), err)) return false;
  if (source->entries.empty()) {
    ReportError(err, parsed.source + " holds no file to install; nothing written");
    return false;
  }
  return !parsed.uninstaller || AddUninstaller(parsed, latest_time, source, err);
}

// Says what the installer would read otherwise than the author meant.
// False when --werror makes that stop the build, which is checked before
// anything is packed: a build that fails on its warnings should not first
// take minutes.
bool SayWarnings(const BuildArgs& parsed, const Stub& stub, const PackageSource& source, std::ostream& err) {
  std::vector<std::string> warnings = source.warnings;
  if (!stub.bytes.empty() && stub.seal_room != kStubSealable) {
    warnings.push_back(std::string("unsealed stub: ") +
                       (stub.seal_room == kStubNoRoom ? "it is too short to hold" : "its header holds") +
                       " a seal record of another layout, so a package cut between two of its blocks cannot be"
                       " told from a whole one");
  }
  for (const std::string& warning : CheckPackage(source.entries)) warnings.push_back(warning);
  for (const std::string& warning : warnings) ReportWarning(err, warning);
  if (!parsed.werror || warnings.empty()) return true;
  ReportError(err, std::to_string(warnings.size()) + (warnings.size() == 1 ? " warning" : " warnings") +
                       ", and --werror makes warnings fail the build; nothing written");
  return false;
}

// What the build shows as it goes: a progress line on a terminal (unless
// quiet) and, when verbose, a line for each file added.
struct BuildDisplay {
  ProgressLine line;
  uint64_t done_before = 0;  // bytes of the entries before the one being read
  size_t current = 0;        // the entry whose bytes are being read
  BuildProgress progress;
};

void StartDisplay(const BuildArgs& parsed, const std::vector<PackageEntry>& entries, BuildDisplay* display,
                  std::ostream& out, std::ostream& err) {
  uint64_t total = 0;
  for (const PackageEntry& entry : entries) total += entry.size;
  const double started = Now();
  display->line = ProgressLine{&err, entries.size(), total, started, started, 0};
  if (!parsed.quiet && OnTerminal()) {
    display->progress.reading = [display, &entries](size_t entry, uint64_t read) {
      for (; display->current < entry; ++display->current) display->done_before += entries[display->current].size;
      ShowProgress(&display->line, entry, display->done_before + read, Now());
    };
  }
  if (parsed.verbose) {
    std::ostream* listing = &out;
    display->progress.added = [display, &entries, listing](size_t entry, uint64_t packed, bool stored) {
      ClearProgress(&display->line);
      *listing << AddedLine(entries[entry], packed, stored) << std::endl;
    };
  }
}

// The problem that keeps the installer from finding the archive just
// written, and not an earlier look-alike in the stub, where it was
// written; "" when it finds it whole.
std::string ArchiveProblem(const std::string& path, const BuildOutcome& outcome, size_t entries) {
  Catalog catalog = ReadCatalog(path);
  bool moved = catalog.found && static_cast<uint64_t>(catalog.archive_start) != outcome.archive_offset;
  if (catalog.found && !moved && catalog.entries.size() == entries) return "";
  std::string problem = "the installer would not find this archive at offset " + std::to_string(outcome.archive_offset);
  if (moved) {
    problem += " (the stub holds something that looks like an archive at offset " +
               std::to_string(catalog.archive_start) + ")";
  }
  return problem;
}

// Writes the package into a temporary file beside the output, checks that
// the installer finds it, seals it, reads every entry back as the
// installer will, and only then puts it in the output's place; on every
// way out before that the temporary file goes, and an earlier output stays
// as it was.
bool WritePackage(const BuildArgs& parsed, const Stub& stub, const PackageSource& source, BuildDisplay* display,
                  BuildOutcome* outcome, std::ostream& err) {
  // A folder that is not there is named as the user gave it, not through
  // the temporary file beside the output.
  fs::path output(parsed.output);
  fs::path output_folder = output.parent_path().empty() ? fs::path(".") : output.parent_path();
  std::error_code missing;
  if (!fs::is_directory(output_folder, missing)) {
    ReportError(err, "cannot write " + parsed.output + ": the folder " + output_folder.u8string() +
                         " does not exist; nothing written");
    return false;
  }
  TemporaryOutput temporary(parsed.output);
  bool sealable = stub.seal_room == kStubSealable;
  *outcome = BuildPackage(sealable ? StubForBuild(stub.bytes) : stub.bytes, source.entries, parsed.options,
                          fs::path(temporary.path()), &display->progress);
  ClearProgress(&display->line);
  if (!outcome->ok) {
    ReportError(err, outcome->error + "; nothing written to " + parsed.output);
    return false;
  }
  std::string problem = ArchiveProblem(temporary.path(), *outcome, source.entries.size());
  if (problem.empty() && sealable) {
    problem = SealPackage(temporary.path(), outcome->archive_offset, outcome->file_size - outcome->archive_offset);
  }
  if (!problem.empty()) {
    ReportError(err, problem + "; nothing written");
    return false;
  }
  std::string fault = ReadBackFault(temporary.path());
  if (!fault.empty()) {
    ReportError(err, fault + "; nothing written");
    return false;
  }
  std::string renamed = temporary.Commit();
  if (!renamed.empty()) {
    ReportError(err, parsed.output + ": " + renamed + "; nothing written");
    return false;
  }
  return true;
}

}  // namespace

int CommandBuild(const CommandArgs& args, std::ostream& out, std::ostream& err) {
  BuildArgs parsed;
  if (!ParseArgs(args, &parsed, err)) {
    err << ShortUsage("build");
    return 2;
  }
  Stub stub;
  PackageSource source;
  if (!ReadStub(parsed, &stub, err) || !GatherEntries(parsed, &source, err) ||
      !SayWarnings(parsed, stub, source, err)) {
    return 1;
  }
  BuildDisplay display;
  StartDisplay(parsed, source.entries, &display, out, err);
  BuildOutcome outcome;
  if (!WritePackage(parsed, stub, source, &display, &outcome, err)) return 1;

  if (parsed.quiet) return 0;
  out << parsed.output << ": " << source.entries.size() << " files, " << outcome.unpacked << " bytes packed to "
      << outcome.packed << " (" << Percent(outcome.packed, outcome.unpacked) << "), level " << parsed.options.level
      << (parsed.options.solid ? ", solid" : "")
      << (outcome.stored ? ", " + std::to_string(outcome.stored) + " stored" : "") << "; " << outcome.file_size
      << (stub.bytes.empty() ? " bytes, a bare archive\n" : " bytes with the stub\n");
  return 0;
}
