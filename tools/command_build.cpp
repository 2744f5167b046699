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
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "archive/archive_format.h"
#include "pack/packer.h"
#include "tools/archive_catalog.h"
#include "tools/mksetup_commands.h"
#include "tools/package_builder.h"
#include "tools/package_checks.h"
#include "tools/package_source.h"
#include "tools/seal_record.h"

namespace fs = std::filesystem;

namespace {

// The last offset at which the installer still finds the archive's marker.
constexpr uint64_t kLastArchiveOffset = kSearchStart + kSearchLength - 10;

struct BuildArgs {
  std::string source;
  std::string output;
  std::string stub;
  bool no_stub = false;
  BuildOptions options;
};

bool ParseArgs(const CommandArgs& args, BuildArgs* parsed, std::ostream& err) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    bool has_value = i + 1 < args.size();
    if ((arg == "-o" || arg == "--stub" || arg == "--level") && !has_value) {
      err << "mksetup build: " << arg << " needs a value\n";
      return false;
    }
    if (arg == "-o") {
      parsed->output = args[++i];
    } else if (arg == "--stub") {
      parsed->stub = args[++i];
    } else if (arg == "--no-stub") {
      parsed->no_stub = true;
    } else if (arg == "--no-solid") {
      parsed->options.solid = false;
    } else if (arg == "--level") {
      const std::string& value = args[++i];
      if (value.size() != 1 || value[0] < '0' || value[0] > '0' + pack::kMaxLevel) {
        err << "mksetup build: --level takes 0 (store) to 5 (smallest), not " << value << "\n";
        return false;
      }
      parsed->options.level = value[0] - '0';
    } else if (!arg.empty() && arg[0] == '-') {
      err << "mksetup build: unknown option " << arg << "\n";
      return false;
    } else if (parsed->source.empty()) {
      parsed->source = arg;
    } else {
      err << "mksetup build: more than one source folder\n";
      return false;
    }
  }
  if (parsed->source.empty() || parsed->output.empty()) return false;
  if (parsed->no_stub && !parsed->stub.empty()) {
    err << "mksetup build: --stub and --no-stub exclude each other\n";
    return false;
  }
  return true;
}

// The folder this program runs from: the default stub lies beside it.
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
      err << "mksetup build: SOURCE_DATE_EPOCH must be a number of seconds since 1970, not "
          << text << "\n";
      return false;
    }
    seconds = seconds * 10 + (*c - '0');
  }
  *latest = seconds;
  return true;
}

// Inputs below this size finish too soon for progress lines to help.
constexpr uint64_t kProgressFrom = 8u << 20;

// The installer is written under this name beside the output and renamed
// into place only once it is whole and checked, so that an interrupted or
// failed build never leaves something that looks like an installer there,
// and an earlier one survives.
std::string TemporaryName(const std::string& output) {
#ifdef _WIN32
  int id = _getpid();
#else
  int id = static_cast<int>(getpid());
#endif
  return output + ".mksetup-" + std::to_string(id);
}

// Takes the output out of the product's files when it is one of them: an
// earlier build there is left out; any other file of the product would be
// overwritten, which is refused.
bool SetOutputApart(PackageSource* source, const fs::path& output, std::ostream& err) {
  std::error_code error;
  for (auto entry = source->entries.begin(); entry != source->entries.end(); ++entry) {
    if (!fs::equivalent(entry->source, output, error)) continue;
    if (!ReadCatalog(output.string()).found) {
      err << "mksetup build: the output " << output.u8string()
          << " is one of the product's own files; choose another\n";
      return false;
    }
    source->entries.erase(entry);
    return true;
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

  // Paths on the command line are in the system's own encoding (the ANSI
  // code page on Windows), which is what a path made from a string expects.
  std::string stub;
  std::vector<size_t> seal_records;
  if (!parsed.no_stub) {
    fs::path stub_path = parsed.stub.empty() ? OwnFolder() / "Setup.exe" : fs::path(parsed.stub);
    std::error_code error;
    if (parsed.stub.empty() && !fs::is_regular_file(stub_path, error)) {
      err << "mksetup build: no Setup.exe beside mksetup to put in front of the archive;"
             " name one with --stub PATH, or write a bare archive with --no-stub\n";
      return 2;
    }
    std::ifstream file(stub_path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    if (!file) {
      err << "mksetup build: " << stub_path.u8string() << ": cannot be read\n";
      return 1;
    }
    stub = bytes.str();
    if (stub.size() > kLastArchiveOffset || (stub.size() > 0 && stub.size() < kSearchStart)) {
      err << "mksetup build: the stub is " << stub.size()
          << " bytes; the installer only finds an archive that starts at offset 0 or at 7 to "
          << kLastArchiveOffset << "\n";
      return 1;
    }
    seal_records = FindSealRecords(stub);
    if (seal_records.size() > 1) {
      err << "mksetup build: the stub holds " << seal_records.size()
          << " seal records; it can only be sealed with one\n";
      return 1;
    }
  }

  std::optional<int64_t> latest_time;
  if (!LatestTimeFromEnvironment(&latest_time, err)) return 1;
  fs::path output(parsed.output);
  PackageSource source = ScanPackageSource(fs::path(parsed.source), latest_time);
  for (const std::string& error : source.errors) err << "error: " << error << "\n";
  if (!source.errors.empty()) return 1;
  if (!SetOutputApart(&source, output, err)) return 1;
  if (source.entries.empty()) {
    err << "mksetup build: " << parsed.source << " holds no file to install; nothing written\n";
    return 1;
  }
  for (const std::string& warning : source.warnings) err << "warning: " << warning << "\n";
  if (!stub.empty() && seal_records.empty()) {
    err << "warning: the stub has no seal record, so a package cut between two of its blocks"
           " cannot be told from a whole one\n";
  }
  for (const std::string& warning : CheckPackage(source.entries)) {
    err << "warning: " << warning << "\n";
  }

  uint64_t total = 0;
  for (const PackageEntry& entry : source.entries) total += entry.size;
  bool show_progress = total >= kProgressFrom && OnTerminal();
  uint64_t done_before = 0;
  const PackageEntry* current = nullptr;
  BuildProgress progress = [&](const PackageEntry& entry, uint64_t done, uint64_t written) {
    if (current != &entry) {
      if (current != nullptr) done_before += current->size;
      current = &entry;
    }
    uint64_t all = done_before + done;
    err << "\r" << entry.name << "  " << (all >> 20) << " of " << (total >> 20) << " MiB, "
        << Percent(written, all) << "   " << std::flush;
  };

  const std::string temporary = TemporaryName(parsed.output);
  BuildOutcome outcome = BuildPackage(stub, source.entries, parsed.options, fs::path(temporary),
                                      show_progress ? progress : nullptr);
  if (show_progress) err << "\n";
  std::error_code ignored;
  if (!outcome.ok) {
    err << "mksetup build: " << outcome.error << "; nothing written\n";
    fs::remove(temporary, ignored);
    return 1;
  }

  // The installer must find this archive, and no earlier look-alike in the
  // stub, where it was written.
  Catalog catalog = ReadCatalog(temporary);
  if (!catalog.found || static_cast<uint64_t>(catalog.archive_start) != outcome.archive_offset ||
      catalog.entries.size() != source.entries.size()) {
    err << "mksetup build: the installer would not find this archive at offset "
        << outcome.archive_offset;
    if (catalog.found && static_cast<uint64_t>(catalog.archive_start) != outcome.archive_offset) {
      err << " (the stub holds something that looks like an archive at offset "
          << catalog.archive_start << ")";
    }
    err << "; nothing written\n";
    fs::remove(temporary, ignored);
    return 1;
  }
  if (!seal_records.empty()) {
    std::string problem = SealPackage(temporary, seal_records[0], outcome.file_size - outcome.archive_offset);
    if (!problem.empty()) {
      err << "mksetup build: " << problem << "; nothing written\n";
      fs::remove(temporary, ignored);
      return 1;
    }
  }
  std::error_code renamed;
  fs::rename(temporary, output, renamed);
  if (renamed) {
    err << "mksetup build: " << parsed.output << ": " << renamed.message() << "; nothing written\n";
    fs::remove(temporary, ignored);
    return 1;
  }

  out << parsed.output << ": " << source.entries.size() << " files, " << outcome.unpacked
      << " bytes packed to " << outcome.packed << " (" << Percent(outcome.packed, outcome.unpacked)
      << "), level " << parsed.options.level << (parsed.options.solid ? ", solid" : "")
      << (outcome.stored ? ", " + std::to_string(outcome.stored) + " stored" : "") << "; "
      << outcome.file_size << " bytes with the stub\n";
  return 0;
}
