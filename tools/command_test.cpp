#include <set>

#include "archive/extract_archive.h"
#include "common/entry_names.h"
#include "common/path_helpers.h"
#include "tools/archive_catalog.h"
#include "tools/command_options.h"
#include "tools/diagnostics.h"
#include "tools/entry_name_check.h"
#include "tools/json_report.h"
#include "tools/mksetup_commands.h"
#include "tools/result_messages.h"
#include "tools/seal_record.h"
#include "tools/shown_name.h"

namespace {

// The installer's first pass, without the memory it would need for the
// entries it reads: every entry is checked and nothing is kept, and a name
// the installer cannot write as it is ends the pass, as it ends the
// installer's.
struct TestRun {
  size_t offered = 0;
  std::set<std::string> names;  // folded as Windows compares them
  int refused = kNameFine;      // EntryNameFault of the entry that ended the pass
};

int VerifyEverything(char* name, const uint8_t*, uint32_t, void* user) {
  TestRun* run = static_cast<TestRun*>(user);
  ++run->offered;
  char folded[kPathSize];
  FoldEntryName(name, folded, sizeof folded);
  run->refused = InstallerNameFault(name);
  if (run->refused == kNameFine && !run->names.insert(folded).second) run->refused = kNameTaken;
  if (run->refused != kNameFine) return 1;
  name[0] = kVerifyOnlyMarker;
  name[1] = '\0';
  return 0;
}

std::string RefusalText(int fault) {
  return fault == kNameTaken ? "differs only in case from an earlier entry, whose file it would take"
                             : NameFaultText(fault);
}

enum Outcome { kSound, kBad, kNotChecked };

// What the check made of one entry: sound (with a note on what kind of
// entry it is), bad with the reason, or not reached.
struct EntryOutcome {
  const CatalogEntry* entry;
  Outcome outcome;
  std::string remark;  // the note or the reason; "" for none
};

struct TestReport {
  SealReport seal;
  std::vector<EntryOutcome> entries;
  std::string archive_failure;  // why the archive as a whole is bad, or ""
  int result = kExtractOk;
  bool seal_broken = false;              // no entry read: the result is "damaged"
  const CatalogEntry* failed = nullptr;  // the entry the pass stopped at, if any
  std::string failed_reason;
};

// Each entry's outcome, from where the pass stopped. The pass offers every
// entry but folders, in order, and stops right after the entry that
// failed: the last one it offered. Damage between entries stops it after
// the last entry it could walk to, and a damaged main header before the
// first.
void JudgeEntries(const Catalog& catalog, const TestRun& run, uint32_t failure, TestReport* report) {
  int result = report->result;
  bool archive_failed = result == kExtractBadEntry && run.refused == kNameFine && IsArchiveFailure(failure);
  bool stopped_at_entry = !archive_failed && (result == kExtractBadEntry || result == kExtractNoCopyBuffer);
  bool entries_reached = !report->seal_broken &&
                         (result == kExtractOk || stopped_at_entry || (archive_failed && !catalog.main_header_bad));
  // A name with a NUL byte is refused before it is offered.
  size_t stopped_at = failure == kFailureNameNul ? run.offered + 1 : run.offered;
  size_t seen = 0;
  for (const CatalogEntry& entry : catalog.entries) {
    if (!entry.IsDirectory()) ++seen;
    bool after_failure = report->failed != nullptr || seen > stopped_at;
    if (!entries_reached || (stopped_at_entry && after_failure)) {
      report->entries.push_back({&entry, kNotChecked, ""});
      continue;
    }
    if (stopped_at_entry && !entry.IsDirectory() && seen == stopped_at) {
      report->failed = &entry;
      report->failed_reason = run.refused != kNameFine     ? RefusalText(run.refused)
                              : result == kExtractBadEntry ? FailureReason(failure, entry.header)
                                                           : "no memory to copy it";
      report->entries.push_back({&entry, kBad, report->failed_reason});
      continue;
    }
    std::string note;
    if (entry.IsDirectory()) note = "folder";
    if (entry.IsVolumeLabel()) note = "volume label";
    if (entry.NameWasCut()) note = "name cut to 259 bytes";
    report->entries.push_back({&entry, kSound, note});
  }
  if (archive_failed) report->archive_failure = FailureReason(failure, FileHeader{});
}

void PrintReport(const Catalog& catalog, const TestReport& report, std::ostream& out) {
  if (!report.seal_broken && !report.seal.text.empty()) out << report.seal.text << "\n";
  std::string signature = SignatureLine(catalog);
  if (!signature.empty() && !report.seal_broken) out << signature << "\n";
  for (const EntryOutcome& checked : report.entries) {
    const char* mark = checked.outcome == kSound ? "OK  " : checked.outcome == kBad ? "BAD " : "--  ";
    std::string remark = checked.outcome == kNotChecked ? "not checked" : checked.remark;
    out << mark << ShownName(checked.entry->name) << (remark.empty() ? "" : " (" + remark + ")") << "\n";
  }
  if (!report.archive_failure.empty()) out << "BAD archive (" << report.archive_failure << ")\n";
  out << "result: " << (report.seal_broken ? "damaged" : std::to_string(report.result)) << "\n";
}

std::string ReportJson(const std::string& file, const Catalog& catalog, const TestReport& report) {
  std::vector<std::string> entries;
  for (const EntryOutcome& checked : report.entries) {
    const char* outcome = checked.outcome == kSound ? "sound" : checked.outcome == kBad ? "bad" : "not checked";
    JsonObject entry = EntryJson(*checked.entry);
    entry.Add("outcome", JsonString(outcome));
    if (!checked.remark.empty()) entry.Add(checked.outcome == kBad ? "reason" : "note", JsonString(checked.remark));
    entries.push_back(entry.Text());
  }
  return JsonObject()
      .Add("file", JsonText(file))
      .Add("seal", SealJson(report.seal))
      .Add("signature", SignatureJson(catalog))
      .Add("entries", JsonArray(entries))
      .Add("archive_failure", report.archive_failure.empty() ? kJsonNull : JsonString(report.archive_failure))
      .Add("result", report.seal_broken ? JsonString("damaged") : std::to_string(report.result))
      .Add("sound", JsonBool(!report.seal_broken && report.result == kExtractOk))
      .Text(true);
}

const std::vector<OptionSpec> kTestOptions = {{"--json", nullptr, false}};

}  // namespace

int CommandTest(const CommandArgs& args, std::ostream& out, std::ostream& err) {
  CommandLine line;
  if (!ParseCommandLine(args, kTestOptions, &line, err) || line.operands.size() != 1) {
    err << ShortUsage("test");
    return 2;
  }
  const std::string& file = line.operands[0];
  Catalog catalog = ReadCatalog(file);
  TestReport report;
  // The installer checks the seal first and reads no entry of a package
  // that does not match it.
  report.seal = CheckFileSeal(file);
  report.seal_broken = report.seal.Refused();
  TestRun run;
  uint32_t failure = kFailureNone;
  if (!report.seal_broken) report.result = ExtractArchive(file.c_str(), VerifyEverything, &run, &failure);
  if (run.refused != kNameFine) report.result = kExtractBadEntry;
  JudgeEntries(catalog, run, failure, &report);
  int result = report.result;

  if (line.Has("--json")) {
    out << ReportJson(file, catalog, report) << "\n";
  } else {
    PrintReport(catalog, report, out);
  }
  if (report.seal_broken) {
    ReportError(err, report.seal.text);
  } else if (result != kExtractOk) {
    std::string name = report.failed != nullptr ? ShownName(report.failed->name) : "";
    std::string reason = report.failed != nullptr ? report.failed_reason : FailureReason(failure, FileHeader{});
    ReportError(err, ResultMessage(result, file, catalog, name, reason));
  }
  return !report.seal_broken && result == kExtractOk ? 0 : 1;
}
