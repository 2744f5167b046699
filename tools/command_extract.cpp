#include <cstring>
#include <filesystem>

#include "archive/extract_archive.h"
#include "common/bounded_text.h"
#include "common/file_system.h"
#include "tools/archive_catalog.h"
#include "tools/command_options.h"
#include "tools/diagnostics.h"
#include "tools/entry_name_check.h"
#include "tools/mksetup_commands.h"
#include "tools/result_messages.h"
#include "tools/seal_record.h"

namespace fs = std::filesystem;

namespace {

struct ExtractRun {
  std::string folder;                        // full path, ending in a separator
  std::vector<const CatalogEntry*> offered;  // the entries the pass offers, in order
  size_t next = 0;
  size_t refused = 0;
  size_t written = 0;
  std::string current;       // the entry being handled, for messages
  std::string current_path;  // and where it goes
  bool current_placed = false;  // it is to be written, not skipped
  std::ostream* err;
};

std::string NativeName(std::string name) {
#ifndef _WIN32
  for (char& c : name) {
    if (c == '\\') c = '/';
  }
#endif
  return name;
}

// A symbolic link already in the folder would take the entry somewhere
// else: the first one on the way to the entry (its folders, then the entry
// itself), or "".
std::string LinkOnTheWay(const std::string& folder, const std::string& name) {
  for (size_t end = 0; end <= name.size(); ++end) {
    if (end < name.size() && name[end] != '\\') continue;
    std::string part = name.substr(0, end);
    if (FsIsLink((folder + NativeName(part)).c_str())) return part;
  }
  return "";
}

// Why the entry must not be written, or "".
std::string RefusalReason(const CatalogEntry& entry, const std::string& folder) {
  if (entry.NameWasCut()) return "name longer than 259 bytes";
  if (entry.NameHasNul()) return "name holds a NUL byte";
  std::string reason = UnsafeNameReason(entry.name);
  if (!reason.empty()) return reason;
  if (folder.size() + entry.name.size() >= kNameSize) return "path longer than 259 bytes";
  std::string link = LinkOnTheWay(folder, entry.name);
  if (!link.empty()) return link + " is a symbolic link in " + folder + "; it is not followed";
  return "";
}

int PlaceEntry(char* name, const uint8_t*, uint32_t, void* user) {
  ExtractRun* run = static_cast<ExtractRun*>(user);
  const CatalogEntry& entry = *run->offered[run->next++];
  run->current = entry.name;
  run->current_placed = false;
  name[0] = '\0';  // skipped unless it is placed below
  if (entry.IsVolumeLabel()) return 0;
  std::string reason = RefusalReason(entry, run->folder);
  if (!reason.empty()) {
    ReportError(*run->err, "refused " + entry.name + ": " + reason);
    ++run->refused;
    return 0;
  }
  std::string path = run->folder + NativeName(entry.name);
  std::error_code ignored;
  fs::create_directories(fs::path(path).parent_path(), ignored);
  // An earlier extraction may have left the file read-only; it is replaced.
  if (fs::is_regular_file(path, ignored)) {
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ignored);
  }
  run->current_path = path;
  CopyBounded(name, path.c_str(), kNameSize);
  run->current_placed = true;
  ++run->written;
  return 0;
}

}  // namespace

int CommandExtract(const CommandArgs& args, std::ostream& out, std::ostream& err) {
  CommandLine line;
  if (!ParseCommandLine(args, {}, &line, err) || line.operands.size() != 2) {
    err << ShortUsage("extract");
    return 2;
  }
  const std::string& file = line.operands[0];
  const std::string& target = line.operands[1];
  Catalog catalog = ReadCatalog(file);
  // A package that does not match its seal is still extracted as far as its
  // entries check, and reported as damaged.
  SealReport seal = CheckFileSeal(file, catalog);
  ExtractRun run;
  run.err = &err;
  std::error_code error;
  fs::create_directories(target, error);
  char folder[kNameSize];
  if (FsFullPath(target.c_str(), folder, sizeof folder) == 0 || !fs::is_directory(target, error)) {
    ReportError(err, "cannot use " + target + " as the folder to extract to");
    return 1;
  }
  run.folder = folder;
  if (!run.folder.empty() && run.folder.back() != '/' && run.folder.back() != '\\') {
#ifdef _WIN32
    run.folder += '\\';
#else
    run.folder += '/';
#endif
  }

  // Folders come first: the pass never offers them.
  for (const CatalogEntry& entry : catalog.entries) {
    if (!entry.IsDirectory()) {
      run.offered.push_back(&entry);
      continue;
    }
    std::string reason = RefusalReason(entry, run.folder);
    if (!reason.empty()) {
      ReportError(err, "refused " + entry.name + ": " + reason);
      ++run.refused;
      continue;
    }
    fs::create_directories(run.folder + NativeName(entry.name), error);
  }

  uint32_t failure = kFailureNone;
  int result = kExtractNoArchive;
  if (catalog.found) result = ExtractArchive(file.c_str(), PlaceEntry, &run, &failure);
  if (seal.sealed && seal.check != kSealHolds) ReportError(err, seal.text);
  if (result != kExtractOk) {
    // A damaged archive is found between entries: no entry is to blame.
    bool archive_failed = result == kExtractBadEntry && IsArchiveFailure(failure);
    const CatalogEntry* last = run.next > 0 && !archive_failed ? run.offered[run.next - 1] : nullptr;
    std::string reason = FailureReason(failure, last != nullptr ? last->header : FileHeader{});
    std::string named = result == kExtractCannotCreate ? run.current_path : run.current;
    if (archive_failed) named.clear();
    ReportError(err, ResultMessage(result, file, catalog, named, reason));
    // The entry the pass stopped at was counted when it was placed.
    if (!archive_failed && run.current_placed &&
        (result == kExtractBadEntry || result == kExtractNoCopyBuffer || result == kExtractCannotCreate)) {
      --run.written;
    }
  }
  out << run.written << " files written to " << run.folder;
  if (run.refused > 0) out << ", " << run.refused << " entries refused";
  out << "\n";
  bool whole = result == kExtractOk && run.refused == 0 && (!seal.sealed || seal.check == kSealHolds);
  return whole ? 0 : 1;
}
