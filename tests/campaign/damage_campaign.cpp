// The damage campaign. A package of the sample product is built at level 3
// solid and at level 0, each as a sealed installer and as a bare archive.
// Then every byte of its archive (or, by default, a fixed sample of at least
// 2,000 bytes with every header byte among them) is damaged in turn, once by
// flipping one bit and once by writing another value, and the file is cut
// after each sampled length and at 200 evenly spaced ones. Every damaged
// file goes through `mksetup test`, the installer's own check, and, when
// that passes, through `mksetup extract`. A case is
//   DETECTED  when either of them fails,
//   HARMLESS  when both pass and the extracted tree is the good one,
//   SILENT    when both pass and anything extracted differs.
// Two more rows damage the package as a whole: blocks or bytes appended
// after the archive (also between it and a signature), and every bit of a
// sealed installer's seal record flipped in a copy cut where a file header
// begins. A sealed installer must have no SILENT case. A bare archive
// carries no record of its own length: cut exactly where a file header
// begins, or with whole blocks added, it reads like another archive, and
// only those SILENT cases are let pass.
//
// usage: damage_campaign [--full] [--level 0|3] [--sealed | --bare]
//                        [--case flip|set|cut OFFSET] PRODUCT STUB WORK
//   PRODUCT  the sample product folder with its programs
//   STUB     Setup.exe, for the sealed installers
//   WORK     a folder the campaign may fill and empty
//   --full   every byte instead of the sample
//   --case   one case only, told in full; OFFSET counts from the archive's start
// Exits 0 when no SILENT case fails, 1 when one does, 2 on a usage or build
// error, 77 when the product or the stub is missing.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/campaign/control_cases.h"
#include "tests/campaign/damage_regions.h"
#include "tests/campaign/extracted_tree.h"
#include "tests/support/scratch.h"
#include "archive/package_seal.h"
#include "tools/archive_catalog.h"
#include "tools/archive_writer.h"
#include "tools/mksetup_commands.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kSeed = 0x70C0A11E;  // fixes the sample and every damaged value
constexpr size_t kSampleSize = 2000;
constexpr uint32_t kEvenCuts = 200;
constexpr int kSkipped = 77;
constexpr size_t kSilentShownPerRegion = 10;

enum Mutation { kFlip, kSet, kCut, kMutationCount };
enum Verdict { kDetected, kHarmless, kSilent, kVerdictCount };

const char* const kMutationNames[kMutationCount] = {"bit flipped", "value set", "file cut"};

struct DamageCase {
  Mutation mutation;
  uint32_t offset;  // of the damaged byte in the archive; for a cut, the archive bytes kept
  uint8_t value;    // the byte written
};

struct Outcome {
  Verdict verdict = kDetected;
  int check = 0;     // exit status of mksetup test
  int extract = 0;   // of mksetup extract, when it ran
  std::string said;  // what the two commands printed
  std::string difference;
};

struct Package {
  std::string label;
  fs::path path;
  std::string bytes;
  uint32_t archive_start = 0;
  uint32_t archive_size = 0;
  Catalog catalog;
  std::vector<Region> regions;
  std::vector<uint32_t> block_starts;
  ExtractedTree good_tree;
};

struct Options {
  bool full = false;
  int level = -1;   // both
  int sealed = -1;  // both
  bool one_case = false;
  DamageCase the_case{kFlip, 0, 0};
  std::string product, stub, work;
};

uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15u;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
  return x ^ (x >> 31);
}

// The damage done at an offset depends on the offset alone, so that the
// sample's cases are the full run's cases.
DamageCase MakeCase(Mutation mutation, uint32_t offset, uint8_t original) {
  uint64_t h = Mix(kSeed ^ offset);
  uint8_t value = mutation == kFlip ? static_cast<uint8_t>(original ^ (1u << (h & 7)))
                                    : static_cast<uint8_t>(original ^ (1 + (h >> 3) % 255));
  return {mutation, offset, value};
}

int RunCommand(int (*command)(const CommandArgs&, std::ostream&, std::ostream&), const CommandArgs& args,
               std::string* said) {
  std::ostringstream out, err;
  int status = command(args, out, err);
  *said += out.str() + err.str();
  return status;
}

// The installer's check first: what it refuses is never installed. Only
// when it passes does the extraction run and its tree count.
Outcome Judge(const Package& package, const fs::path& file, const fs::path& folder) {
  Outcome outcome;
  outcome.check = RunCommand(CommandTest, {file.string()}, &outcome.said);
  if (outcome.check != 0) return outcome;
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  outcome.extract = RunCommand(CommandExtract, {file.string(), folder.string()}, &outcome.said);
  if (outcome.extract != 0) return outcome;
  ExtractedTree tree = ReadExtractedTree(folder.string(), ReadCatalog(file.string()));
  outcome.difference = TreeDifference(package.good_tree, tree);
  outcome.verdict = outcome.difference.empty() ? kHarmless : kSilent;
  return outcome;
}

// Runs the cases of one package on a copy of it, one damaged byte at a time,
// put back after each case.
class CaseRunner {
 public:
  CaseRunner(const Package& package, const fs::path& work)
      : package_(package), damaged_(work / "damaged"), cut_(work / "cut"), folder_(work / "tree") {
    WriteWholeFile(damaged_.string(), package.bytes);
    file_ = fopen(damaged_.string().c_str(), "r+b");
  }
  ~CaseRunner() {
    if (file_ != nullptr) fclose(file_);
  }
  bool ready() const { return file_ != nullptr; }

  Outcome Run(const DamageCase& damage) {
    if (damage.mutation == kCut) {
      // Cuts come longest first, so each one only shortens the last; a
      // longer one starts over from the good bytes.
      uint64_t length = package_.archive_start + damage.offset;
      std::error_code error;
      if (length > cut_length_ || !fs::exists(cut_, error)) {
        WriteWholeFile(cut_.string(), package_.bytes);
      }
      fs::resize_file(cut_, length, error);
      cut_length_ = length;
      return Judge(package_, cut_, folder_);
    }
    long at = static_cast<long>(package_.archive_start + damage.offset);
    Poke(at, damage.value);
    Outcome outcome = Judge(package_, damaged_, folder_);
    Poke(at, static_cast<uint8_t>(package_.bytes[static_cast<size_t>(at)]));
    return outcome;
  }

 private:
  void Poke(long at, uint8_t value) {
    fseek(file_, at, SEEK_SET);
    fputc(value, file_);
    fflush(file_);
  }

  const Package& package_;
  fs::path damaged_, cut_, folder_;
  uint64_t cut_length_ = 0;
  FILE* file_ = nullptr;
};

std::string BuildPackage(const Options& options, int level, bool sealed, Package* package) {
  package->label =
      std::string(level == 0 ? "level 0" : "level 3 solid") + (sealed ? ", sealed installer" : ", bare archive");
  package->path = fs::path(options.work) / ("level" + std::to_string(level) + (sealed ? "-sealed.exe" : "-bare.rar"));
  CommandArgs args = {options.product, "-o", package->path.string(), "--level", std::to_string(level)};
  if (sealed) {
    args.insert(args.end(), {"--stub", options.stub});
  } else {
    args.push_back("--no-stub");
  }
  std::string said;
  if (RunCommand(CommandBuild, args, &said) != 0) return "mksetup build failed:\n" + said;
  package->bytes = ReadWholeFile(package->path.string());
  package->catalog = ReadCatalog(package->path.string());
  if (!package->catalog.found) return "the built package has no archive";
  package->archive_start = static_cast<uint32_t>(package->catalog.archive_start);
  package->archive_size = static_cast<uint32_t>(package->bytes.size()) - package->archive_start;
  package->regions = MapRegions(package->catalog, package->archive_size);
  package->block_starts = BlockStarts(package->catalog);

  // The good package itself must pass and give the tree every case is
  // compared with.
  fs::path folder = fs::path(options.work) / "good-tree";
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  said.clear();
  if (RunCommand(CommandTest, {package->path.string()}, &said) != 0 ||
      RunCommand(CommandExtract, {package->path.string(), folder.string()}, &said) != 0) {
    return "the good package does not pass:\n" + said;
  }
  package->good_tree = ReadExtractedTree(folder.string(), package->catalog);
  return "";
}

// Every header byte and random bytes of packed data, at least kSampleSize
// in all; or every byte.
std::vector<uint32_t> Positions(const Package& package, bool full) {
  std::vector<uint32_t> positions;
  if (full) {
    for (uint32_t i = 0; i < package.archive_size; ++i) positions.push_back(i);
    return positions;
  }
  std::set<uint32_t> chosen;
  std::vector<uint32_t> data;
  for (uint32_t i = 0; i < package.archive_size; ++i) {
    if (package.regions[i] == kRegionPackedData) {
      data.push_back(i);
    } else {
      chosen.insert(i);
    }
  }
  std::mt19937 random(kSeed);
  while (chosen.size() < kSampleSize && chosen.size() < package.archive_size) {
    chosen.insert(data[random() % data.size()]);
  }
  return std::vector<uint32_t>(chosen.begin(), chosen.end());
}

std::vector<uint32_t> CutLengths(const Package& package, const std::vector<uint32_t>& sample) {
  std::set<uint32_t> lengths(sample.begin(), sample.end());
  for (uint32_t i = 0; i < kEvenCuts; ++i) {
    lengths.insert(static_cast<uint32_t>(uint64_t{package.archive_size} * i / kEvenCuts));
  }
  return std::vector<uint32_t>(lengths.begin(), lengths.end());
}

Region RegionOf(const Package& package, const DamageCase& damage) {
  return damage.mutation == kCut ? kRegionTruncation : package.regions[damage.offset];
}

// The entry whose header or data holds the archive offset, or "".
std::string EntryAt(const Package& package, uint32_t offset) {
  std::string name;
  for (const CatalogEntry& entry : package.catalog.entries) {
    if (static_cast<uint32_t>(entry.position - package.catalog.archive_start) <= offset) {
      name = entry.name;
    }
  }
  return name;
}

bool AtBlockStart(const Package& package, uint32_t length) {
  return std::find(package.block_starts.begin(), package.block_starts.end(), length) != package.block_starts.end();
}

std::string Describe(const Package& package, const DamageCase& damage) {
  std::ostringstream text;
  if (damage.mutation == kCut) {
    text << "cut after " << damage.offset << " archive bytes";
    if (AtBlockStart(package, damage.offset)) text << " (where a file header begins)";
    return text.str();
  }
  uint8_t original = static_cast<uint8_t>(package.bytes[package.archive_start + damage.offset]);
  text << kMutationNames[damage.mutation] << " at archive offset " << damage.offset << " (file "
       << package.archive_start + damage.offset << "), " << Hex(original, 2) << " -> " << Hex(damage.value, 2) << ", "
       << RegionName(RegionOf(package, damage));
  std::string entry = EntryAt(package, damage.offset);
  if (!entry.empty()) text << " of " << entry;
  return text.str();
}

struct Tally {
  size_t counts[kRegionCount][kMutationCount][kVerdictCount] = {};
  size_t failing = 0;
  std::vector<std::string> silent[kRegionCount];
};

void PrintLine(const std::string& line) { std::cout << line.substr(0, line.find_last_not_of(' ') + 1) << "\n"; }

// One row: the region's name, then detected, harmless and silent for each
// kind of damage that reached it.
std::string Row(const std::string& name, const size_t (*counts)[kVerdictCount]) {
  std::ostringstream line;
  line << std::left << std::setw(17) << name << std::right;
  for (int m = 0; m < kMutationCount; ++m) {
    const size_t* row = counts[m];
    if (row[kDetected] + row[kHarmless] + row[kSilent] == 0) {
      line << std::setw(27) << "";
    } else {
      line << std::setw(8) << row[kDetected] << std::setw(9) << row[kHarmless] << std::setw(8) << row[kSilent] << "  ";
    }
  }
  return line.str();
}

void PrintTable(const Package& package, const Tally& tally) {
  std::cout << "\n"
            << package.label << ": archive of " << package.archive_size << " bytes at offset " << package.archive_start
            << ", " << package.catalog.entries.size() << " entries\n";
  std::ostringstream heading;
  heading << std::left << std::setw(17) << "";
  for (const char* name : kMutationNames) heading << std::setw(27) << name;
  PrintLine(heading.str());
  heading.str("");
  heading << std::left << std::setw(17) << "region";
  for (int m = 0; m < kMutationCount; ++m) heading << "detected harmless  silent  ";
  PrintLine(heading.str());

  size_t total[kMutationCount][kVerdictCount] = {};
  bool header_title = false;
  for (int r = 0; r < kRegionCount; ++r) {
    size_t cases = 0;
    for (int m = 0; m < kMutationCount; ++m) {
      for (int v = 0; v < kVerdictCount; ++v) {
        cases += tally.counts[r][m][v];
        total[m][v] += tally.counts[r][m][v];
      }
    }
    if (cases == 0) continue;
    Region region = static_cast<Region>(r);
    if (IsFileHeaderField(region) && !header_title) {
      PrintLine("file header");
      header_title = true;
    }
    std::string name = (IsFileHeaderField(region) ? "  " : "") + std::string(RegionName(region));
    PrintLine(Row(name, tally.counts[r]));
  }
  PrintLine(Row("all", total));

  for (int r = 0; r < kRegionCount; ++r) {
    const std::vector<std::string>& lines = tally.silent[r];
    for (size_t i = 0; i < lines.size() && i < kSilentShownPerRegion; ++i) {
      std::cout << "  SILENT " << lines[i] << "\n";
    }
    if (lines.size() > kSilentShownPerRegion) {
      std::cout << "  ... and " << lines.size() - kSilentShownPerRegion << " more SILENT in "
                << RegionName(static_cast<Region>(r)) << "\n";
    }
  }
}

// A case made of the whole damaged file rather than of one changed byte.
struct WholeFileCase {
  Region region;
  Mutation mutation;
  std::string what;
  std::string bytes;
  bool whole_blocks;  // only whole blocks differ, which a bare archive cannot tell
};

std::vector<WholeFileCase> WholeFileCases(const Package& package, bool sealed, bool full) {
  std::vector<WholeFileCase> cases;
  const std::string& bytes = package.bytes;
  const std::string block = ArchiveOf({StoredEntry("EXTRA.TXT", "not in the package")}).substr(kMarkerSize + 13);
  const uint32_t last = package.block_starts.back();
  const std::string last_block = bytes.substr(package.archive_start + last);
  std::string noise;
  for (uint32_t i = 0; i < 100; ++i) noise += static_cast<char>(Mix(kSeed + i));
  cases.push_back({kRegionAppended, kSet, "a stored entry appended", bytes + block, true});
  cases.push_back({kRegionAppended, kSet, "the last entry appended again", bytes + last_block, true});
  cases.push_back({kRegionAppended, kSet, "one zero byte appended", bytes + std::string(1, '\0'), false});
  cases.push_back({kRegionAppended, kSet, "100 bytes appended", bytes + noise, false});
  if (sealed) {
    cases.push_back({kRegionAppended, kSet, "a stored entry between the archive and a signature",
                     SignedImage(bytes + block, std::string(600, 'S')), true});
    cases.push_back({kRegionAppended, kSet, "8 zero bytes before a signature",
                     SignedImage(bytes, std::string(600, 'S'), 8), false});
    // Every bit of the record (one bit per byte in the sample), each with
    // the package cut at every file header.
    for (uint32_t at = kSealRecordOffset; at < kSealRecordOffset + kSealRecordSize; ++at) {
      for (int bit = 0; bit < (full ? 8 : 1); ++bit) {
        std::string flipped = bytes;
        flipped[at] = static_cast<char>(flipped[at] ^ (1 << ((at + bit) % 8)));
        for (uint32_t start : package.block_starts) {
          cases.push_back({kRegionSealRecord, kFlip,
                           "bit " + std::to_string((at + bit) % 8) + " of file byte " + std::to_string(at) +
                               " flipped, cut after " + std::to_string(start) + " archive bytes",
                           flipped.substr(0, package.archive_start + start), false});
        }
      }
    }
  }
  return cases;
}

// Runs the campaign on one package; returns the number of SILENT cases that
// fail it.
size_t Campaign(const Package& package, const Options& options, bool sealed) {
  CaseRunner runner(package, options.work);
  if (!runner.ready()) {
    std::cerr << "cannot write the damaged copy in " << options.work << "\n";
    return 1;
  }
  std::vector<DamageCase> cases;
  std::vector<uint32_t> positions = Positions(package, options.full);
  for (uint32_t offset : positions) {
    uint8_t original = static_cast<uint8_t>(package.bytes[package.archive_start + offset]);
    cases.push_back(MakeCase(kFlip, offset, original));
    cases.push_back(MakeCase(kSet, offset, original));
  }
  std::vector<uint32_t> lengths = CutLengths(package, positions);
  for (auto length = lengths.rbegin(); length != lengths.rend(); ++length) {
    cases.push_back({kCut, *length, 0});
  }

  Tally tally;
  for (const DamageCase& damage : cases) {
    Outcome outcome = runner.Run(damage);
    Region region = RegionOf(package, damage);
    ++tally.counts[region][damage.mutation][outcome.verdict];
    if (outcome.verdict != kSilent) continue;
    bool excused = !sealed && damage.mutation == kCut && AtBlockStart(package, damage.offset);
    if (!excused) ++tally.failing;
    tally.silent[region].push_back(Describe(package, damage) + ": " + outcome.difference +
                                   (excused ? " (a bare archive cannot tell)" : ""));
  }
  fs::path whole = fs::path(options.work) / "whole";
  for (const WholeFileCase& damage : WholeFileCases(package, sealed, options.full)) {
    WriteWholeFile(whole.string(), damage.bytes);
    Outcome outcome = Judge(package, whole, fs::path(options.work) / "tree");
    ++tally.counts[damage.region][damage.mutation][outcome.verdict];
    if (outcome.verdict != kSilent) continue;
    bool excused = !sealed && damage.whole_blocks;
    if (!excused) ++tally.failing;
    tally.silent[damage.region].push_back(damage.what + ": " + outcome.difference +
                                          (excused ? " (a bare archive cannot tell)" : ""));
  }
  PrintTable(package, tally);
  return tally.failing;
}

// A bare archive's controls must all come out SILENT; returns how many do not.
size_t RunControls(const Package& package, const Options& options) {
  fs::path file = fs::path(options.work) / "control";
  size_t wrong = 0;
  for (const ControlCase& control : MakeControls(package.bytes, package.catalog)) {
    WriteWholeFile(file.string(), control.bytes);
    Outcome outcome = Judge(package, file, fs::path(options.work) / "tree");
    if (outcome.verdict == kSilent) {
      std::cout << "  control, " << control.what << ": SILENT as it must be (" << outcome.difference << ")\n";
    } else {
      ++wrong;
      std::cout << "  control, " << control.what << ": not SILENT, the campaign cannot be trusted\n" << outcome.said;
    }
  }
  return wrong;
}

void RunOneCase(const Package& package, const Options& options) {
  DamageCase damage = options.the_case;
  if (damage.offset >= package.archive_size + (damage.mutation == kCut ? 1 : 0)) {
    std::cout << package.label << ": the archive has only " << package.archive_size << " bytes\n";
    return;
  }
  if (damage.mutation != kCut) {
    damage = MakeCase(damage.mutation, damage.offset,
                      static_cast<uint8_t>(package.bytes[package.archive_start + damage.offset]));
  }
  CaseRunner runner(package, options.work);
  Outcome outcome = runner.Run(damage);
  static const char* const kVerdicts[] = {"DETECTED", "HARMLESS", "SILENT"};
  std::cout << "\n"
            << package.label << ": " << Describe(package, damage) << "\n"
            << "mksetup test: " << outcome.check;
  if (outcome.check == 0) std::cout << ", mksetup extract: " << outcome.extract;
  std::cout << "\n" << outcome.said << kVerdicts[outcome.verdict];
  if (!outcome.difference.empty()) std::cout << ": " << outcome.difference;
  std::cout << "\n";
}

bool ParseOptions(int argc, char** argv, Options* options) {
  std::vector<std::string> paths;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--full") {
      options->full = true;
    } else if (arg == "--sealed" || arg == "--bare") {
      options->sealed = arg == "--sealed";
    } else if (arg == "--level" && i + 1 < argc) {
      options->level = std::string(argv[++i]) == "0" ? 0 : 3;
    } else if (arg == "--case" && i + 2 < argc) {
      std::string kind = argv[++i];
      options->one_case = true;
      options->the_case.mutation = kind == "cut" ? kCut : kind == "set" ? kSet : kFlip;
      options->the_case.offset = static_cast<uint32_t>(std::stoul(argv[++i], nullptr, 0));
      if (kind != "cut" && kind != "set" && kind != "flip") return false;
    } else if (!arg.empty() && arg[0] == '-') {
      return false;
    } else {
      paths.push_back(arg);
    }
  }
  if (paths.size() != 3) return false;
  options->product = paths[0];
  options->stub = paths[1];
  options->work = paths[2];
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::cerr << "usage: damage_campaign [--full] [--level 0|3] [--sealed | --bare]\n"
                 "                       [--case flip|set|cut OFFSET] PRODUCT STUB WORK\n";
    return 2;
  }
  std::error_code error;
  if (!fs::is_directory(options.product, error) || !fs::is_regular_file(options.stub, error)) {
    std::cout << "no sample product at " << options.product << " or no Setup.exe at " << options.stub
              << ": `make` builds and places them\n";
    // Under CI both are built: one missing is a fault of the build.
    return UnderCi() ? 1 : kSkipped;
  }
  fs::create_directories(options.work, error);

  size_t failing = 0;
  for (int level : {3, 0}) {
    if (options.level >= 0 && options.level != level) continue;
    for (bool sealed : {true, false}) {
      if (options.sealed >= 0 && options.sealed != static_cast<int>(sealed)) continue;
      Package package;
      std::string problem = BuildPackage(options, level, sealed, &package);
      if (!problem.empty()) {
        std::cerr << package.label << ": " << problem << "\n";
        return 2;
      }
      if (options.one_case) {
        RunOneCase(package, options);
      } else {
        failing += Campaign(package, options, sealed);
        if (!sealed) failing += RunControls(package, options);
      }
    }
  }
  if (options.one_case) return 0;
  std::cout << "\n" << failing << " SILENT cases fail the campaign\n";
  return failing == 0 ? 0 : 1;
}
