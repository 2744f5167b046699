#include "archive/extract_archive.h"
#include "tools/archive_catalog.h"
#include "tools/command_options.h"
#include "tools/diagnostics.h"
#include "tools/mksetup_commands.h"
#include "tools/result_messages.h"
#include "tools/seal_record.h"

namespace {

// Every entry is checked and nothing is kept: the installer's first pass,
// without the memory it would need for the entries it reads.
int VerifyEverything(char* name, const uint8_t*, uint32_t, void* user) {
  ++*static_cast<size_t*>(user);
  name[0] = kVerifyOnlyMarker;
  name[1] = '\0';
  return 0;
}

}  // namespace

int CommandTest(const CommandArgs& args, std::ostream& out, std::ostream& err) {
  CommandLine line;
  if (!ParseCommandLine(args, {}, &line, err) || line.operands.size() != 1) {
    err << ShortUsage("test");
    return 2;
  }
  const std::string& file = line.operands[0];
  Catalog catalog = ReadCatalog(file);
  // The installer checks the seal first and reads no entry of a package
  // that does not match it.
  SealReport seal = CheckFileSeal(file, catalog);
  if (seal.sealed && seal.check != kSealHolds) {
    for (const CatalogEntry& entry : catalog.entries) out << "--  " << entry.name << " (not checked)\n";
    ReportError(err, seal.text);
    out << "result: damaged\n";
    return 1;
  }
  if (seal.sealed) out << seal.text << "\n";
  std::string signature = SignatureLine(catalog);
  if (!signature.empty()) out << signature << "\n";
  size_t offered = 0;
  uint32_t failure = kFailureNone;
  int result = ExtractArchive(file.c_str(), VerifyEverything, &offered, &failure);

  // The pass offers every entry but folders, in order, and stops right
  // after the entry that failed: the last one it offered. Damage between
  // entries stops it after the last entry it could walk to, and a damaged
  // main header before the first.
  bool archive_failed = result == kExtractBadEntry && IsArchiveFailure(failure);
  bool stopped_at_entry =
      !archive_failed && (result == kExtractBadEntry || result == kExtractNoCopyBuffer);
  bool entries_reached =
      result == kExtractOk || stopped_at_entry || (archive_failed && !catalog.main_header_bad);
  size_t seen = 0;
  const CatalogEntry* failed = nullptr;
  for (const CatalogEntry& entry : catalog.entries) {
    if (!entry.IsDirectory()) ++seen;
    bool after_failure = failed != nullptr || seen > offered;
    if (!entries_reached || (stopped_at_entry && after_failure)) {
      out << "--  " << entry.name << " (not checked)\n";
      continue;
    }
    if (stopped_at_entry && !entry.IsDirectory() && seen == offered) {
      failed = &entry;
      std::string reason = result == kExtractBadEntry ? FailureReason(failure, entry.header)
                                                      : "no memory to copy it";
      out << "BAD " << entry.name << " (" << reason << ")\n";
      continue;
    }
    std::string note;
    if (entry.IsDirectory()) note = " (folder)";
    if (entry.IsVolumeLabel()) note = " (volume label)";
    if (entry.NameWasCut()) note = " (name cut to 259 bytes)";
    out << "OK  " << entry.name << note << "\n";
  }
  if (archive_failed) out << "BAD archive (" << FailureReason(failure, FileHeader{}) << ")\n";
  if (result != kExtractOk) {
    std::string name = failed != nullptr ? failed->name : "";
    std::string reason = FailureReason(failure, failed != nullptr ? failed->header : FileHeader{});
    ReportError(err, ResultMessage(result, file, catalog, name, reason));
  }
  out << "result: " << result << "\n";
  return result == kExtractOk ? 0 : 1;
}
