#include "archive/extract_archive.h"
#include "common/bounded_text.h"
#include "tools/archive_catalog.h"
#include "tools/command_options.h"
#include "tools/diagnostics.h"
#include "tools/entry_name_check.h"
#include "tools/extract_folder.h"
#include "tools/mksetup_commands.h"
#include "tools/result_messages.h"
#include "tools/seal_record.h"
#include "tools/shown_name.h"

namespace {

struct ExtractRun {
  OutputFolder folder;
  std::vector<const CatalogEntry*> offered;  // the entries the pass offers, in order
  size_t next = 0;
  size_t refused = 0;
  size_t written = 0;   // files the pass was asked to write
  size_t unplaced = 0;  // of those, files written whole that could not take their name
  // Entries whose header starts here or later lie outside a package's seal;
  // -1 when the seal covers everything the walk reaches.
  int64_t sealed_end = -1;
  std::string current;  // the entry being handled, for messages
  // The file the pass is writing for the current entry; it takes its name
  // once the pass has gone on past the entry, which it only does for a
  // good one.
  EntryPlace place;
  bool placed = false;
  std::ostream* err;
};

// Why the entry must not be written, or "".
std::string RefusalReason(const CatalogEntry& entry, const ExtractRun& run) {
  if (entry.NameWasCut()) return "name longer than 259 bytes";
  if (entry.NameHasNul()) return "name holds a NUL byte";
  std::string reason = UnsafeNameReason(entry.name);
  if (!reason.empty()) return reason;
  if (run.folder.path.size() + entry.name.size() >= kNameSize) return "path longer than 259 bytes";
  if (run.sealed_end >= 0 && entry.position >= run.sealed_end) return "after the sealed archive";
  return "";
}

void Refuse(ExtractRun* run, const CatalogEntry& entry, const std::string& reason) {
  ReportError(*run->err, "refused " + ShownName(entry.name) + ": " + reason);
  ++run->refused;
}

void FinishPlacedEntry(ExtractRun* run, bool good) {
  if (!run->placed) return;
  run->placed = false;
  if (!good) {
    AbandonEntryPlace(&run->place);
    return;
  }
  std::string problem = PutEntryInPlace(&run->place);
  if (!problem.empty()) {
    ReportError(*run->err, problem);
    ++run->unplaced;
  }
}

int PlaceEntry(char* name, const uint8_t*, uint32_t, void* user) {
  ExtractRun* run = static_cast<ExtractRun*>(user);
  // The pass only comes to the next entry after a good one.
  FinishPlacedEntry(run, true);
  const CatalogEntry& entry = *run->offered[run->next++];
  run->current = ShownName(entry.name);
  name[0] = '\0';  // skipped unless it is placed below
  if (entry.IsVolumeLabel()) return 0;
  std::string reason = RefusalReason(entry, *run);
  if (reason.empty()) reason = PrepareEntryFile(run->folder, entry.name, &run->place);
  if (!reason.empty()) {
    Refuse(run, entry, reason);
    return 0;
  }
  CopyBounded(name, run->place.temporary.c_str(), kNameSize);
  run->placed = true;
  ++run->written;
  return 0;
}

// Makes the folder entries, which the pass never offers, and lists the
// others in the order the pass offers them.
void MakeFolders(const Catalog& catalog, ExtractRun* run) {
  for (const CatalogEntry& entry : catalog.entries) {
    if (!entry.IsDirectory()) {
      run->offered.push_back(&entry);
      continue;
    }
    std::string reason = RefusalReason(entry, *run);
    if (reason.empty()) reason = MakeEntryFolders(run->folder, entry.name);
    if (!reason.empty()) Refuse(run, entry, reason);
  }
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
  // entries check, and reported as damaged; blocks after its sealed end are
  // not its own and are never written.
  SealReport seal = CheckFileSeal(file);
  ExtractRun run;
  run.err = &err;
  if (seal.check == kSealDataAfter) run.sealed_end = seal.SealedEnd();
  std::string problem;
  if (!OpenOutputFolder(target, &run.folder, &problem)) {
    ReportError(err, problem);
    return 1;
  }

  MakeFolders(catalog, &run);

  uint32_t failure = kFailureNone;
  int result = kExtractNoArchive;
  if (catalog.found) result = ExtractArchive(file.c_str(), PlaceEntry, &run, &failure);
  // A damaged archive is found between entries: no entry is to blame, and
  // the last one was good.
  bool archive_failed = result == kExtractBadEntry && IsArchiveFailure(failure);
  bool stopped_at_entry = !archive_failed && (result == kExtractBadEntry || result == kExtractNoCopyBuffer ||
                                              result == kExtractCannotCreate);
  std::string stopped_path = run.placed ? run.place.shown : "";
  FinishPlacedEntry(&run, !stopped_at_entry);
  if (stopped_at_entry && !stopped_path.empty()) --run.written;
  run.written -= run.unplaced;
  CloseOutputFolder(&run.folder);

  if (seal.Refused()) ReportError(err, seal.text);
  if (result != kExtractOk) {
    // A damaged archive blames no entry; a file that cannot be created is
    // named by its path.
    const CatalogEntry* last = run.next > 0 && !archive_failed ? run.offered[run.next - 1] : nullptr;
    std::string named = archive_failed ? "" : result == kExtractCannotCreate ? stopped_path : run.current;
    ReportError(err, ResultMessage(result, file, catalog, named,
                                   FailureReason(failure, last != nullptr ? last->header : FileHeader{})));
  }
  out << run.written << " files written to " << run.folder.path;
  if (run.refused > 0) out << ", " << run.refused << " entries refused";
  out << "\n";
  bool whole = result == kExtractOk && run.refused == 0 && run.unplaced == 0 && !seal.Refused();
  return whole ? 0 : 1;
}
