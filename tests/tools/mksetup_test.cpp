// mksetup list, test and extract, run as the package author would.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>
#include <filesystem>
#include <sstream>

#include "tests/archive/archive_builders.h"
#include "tests/support/scratch.h"
#include "archive/extract_context.h"
#include "common/file_system.h"
#include "tools/archive_catalog.h"
#include "tools/build_progress.h"
#include "tools/mksetup_commands.h"
#include "tools/shown_name.h"

namespace {

// What test and list say first of an archive without a program in front.
const std::string kBare = "not sealed: a bare archive; a cut between two of its blocks would not show\n";

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome Mksetup(int (*command)(const CommandArgs&, std::ostream&, std::ostream&), const CommandArgs& args) {
  std::ostringstream out, err;
  int status = command(args, out, err);
  return {status, out.str(), err.str()};
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

FileEntryFields Folder(const std::string& name) {
  FileEntryFields entry = StoredEntry(name, "");
  entry.attributes = kAttributeDirectory;
  return entry;
}

// Help and version go to standard output with status 0; a wrong call says
// what is wrong on standard error with status 2.
TEST(MksetupCommandLine, HelpExplainsEveryOptionAndWrongCallsSayWhy) {
  const std::vector<std::string> build_options = {"-o, --output OUT",  "--stub PATH",  "--no-stub",     "--level N",
                                                  "--no-solid",        "-q, --quiet",  "-v, --verbose", "--werror",
                                                  "SOURCE_DATE_EPOCH", "packaging.md", "Exit status"};
  struct {
    const char* why;
    CommandArgs args;
    int status;
    std::string shown;              // at the start of the stream that is written
    std::vector<std::string> also;  // further parts of it
  } const cases[] = {
      {"the whole help", {"--help"}, 0, "usage: mksetup COMMAND", build_options},
      {"the whole help, asked by name", {"help"}, 0, "usage: mksetup COMMAND", {"usage: mksetup extract"}},
      {"one command's help", {"help", "build"}, 0, "usage: mksetup build SOURCE_DIR", build_options},
      {"--help after the command", {"build", "product", "--help"}, 0, "usage: mksetup build", build_options},
      {"-h after the command", {"test", "-h"}, 0, "usage: mksetup test [--json] FILE\n", {"result: N", "--json"}},
      {"the version", {"--version"}, 0, "mksetup ", {}},
      {"no command", {}, 2, "usage: mksetup COMMAND", {"mksetup --version"}},
      {"help on an unknown command", {"help", "pack"}, 2, "mksetup: error: help takes one command: build", {}},
      {"an unknown command", {"pack"}, 2, "mksetup: error: unknown command pack", {}},
      {"a command without its file", {"list"}, 2, "usage: mksetup list [--json] FILE\n", {"mksetup help list"}},
      {"an option a command does not take",
       {"test", "-x", "a.exe"},
       2,
       "mksetup: error: unknown option -x\n",
       {"usage: mksetup test"}},
      {"build without -o",
       {"build", "product"},
       2,
       "mksetup: error: name the installer to write with -o OUT\n",
       {"usage: mksetup build", "mksetup help build"}},
  };
  for (const auto& c : cases) {
    Outcome run = Mksetup(RunMksetup, c.args);
    EXPECT_EQ(run.status, c.status) << c.why;
    const std::string& shown = c.status == 0 ? run.out : run.err;
    EXPECT_EQ(shown.substr(0, c.shown.size()), c.shown) << c.why << ":\n" << shown;
    for (const std::string& part : c.also) EXPECT_TRUE(Contains(shown, part)) << c.why << ": " << part;
    EXPECT_EQ(c.status == 0 ? run.err : run.out, "") << c.why << ": the other stream stays empty";
  }
}

TEST(BuildProgress, TellsHowFarHowFastAndHowLongIsLeft) {
  constexpr uint64_t kMiB = 1 << 20;
  struct {
    const char* why;
    size_t files_done, files_total;
    uint64_t bytes_done, bytes_total;
    double elapsed;
    const char* line;
  } const cases[] = {
      {"nothing read yet: no rate", 0, 10, 0, 100 * kMiB, 0.5, "0/10 files, 0.0 of 100.0 MiB, 0 %, -- MiB/s"},
      {"half way", 5, 10, 50 * kMiB, 100 * kMiB, 10, "5/10 files, 50.0 of 100.0 MiB, 50 %, 5.0 MiB/s, 0:10 left"},
      {"hours left", 1, 2, kMiB, 4000 * kMiB, 1, "1/2 files, 1.0 of 4000.0 MiB, 0 %, 1.0 MiB/s, 1:06:39 left"},
      {"empty files only: by files", 3, 4, 0, 0, 1, "3/4 files, 0.0 of 0.0 MiB, 75 %, -- MiB/s"},
      {"a file grown since the scan counts no more than the total", 2, 2, 110 * kMiB, 100 * kMiB, 10,
       "2/2 files, 100.0 of 100.0 MiB, 100 %, 10.0 MiB/s, 0:00 left"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProgressText(c.files_done, c.files_total, c.bytes_done, c.bytes_total, c.elapsed), c.line) << c.why;
  }
}

// A build reports every block it reads; the terminal gets a line a tenth of
// a second, none before the first tenth, and a shorter line blanks what
// the longer one before it left.
TEST(BuildProgress, RedrawsAtMostTenTimesASecond) {
  std::ostringstream err;
  ProgressLine line{&err, 1000, uint64_t{1} << 40, 100.0, 100.0, 0};
  for (int ms = 0; ms <= 1000; ++ms) ShowProgress(&line, ms, uint64_t{1} << 30, 100.0 + ms / 1000.0);
  const std::string drawn = err.str();
  // Ten tenths, of which the clock's rounding may cost the last.
  auto draws = std::count(drawn.begin(), drawn.end(), '\r');
  EXPECT_LE(draws, 10) << drawn;
  EXPECT_GE(draws, 9) << drawn;
  EXPECT_EQ(drawn.find("\r0/1000 files"), std::string::npos) << "nothing in the first tenth";
  const std::string text = "1/1 files, 0.0 of 0.0 MiB, 100 %, -- MiB/s";
  ProgressLine shorter{&err, 1, 0, 0, 0, 50};  // 50 columns left by a line before
  err.str("");
  ShowProgress(&shorter, 1, 0, 1);
  EXPECT_EQ(err.str(), "\r" + text + std::string(50 - text.size(), ' '));
  err.str("");
  ClearProgress(&shorter);
  EXPECT_EQ(err.str(), "\r" + std::string(text.size(), ' ') + "\r");
}

TEST(MksetupList, ShowsEveryEntryAndTheTotals) {
  std::string archive = ScratchFolder() + "a.rar";
  FileEntryFields packed = StoredEntry("docs/readme.txt", "hello");
  packed.unpacked_size = 12;
  packed.method = '3';
  packed.flags = 0x8010;
  WriteWholeFile(archive, ArchiveOf({Folder("docs"), packed, StoredEntry(std::string(300, 'n'), "x")}));
  Outcome listed = Mksetup(CommandList, {archive});
  EXPECT_EQ(listed.status, 0);
  EXPECT_TRUE(Contains(listed.out, "docs\\\n")) << listed.out;
  EXPECT_TRUE(Contains(listed.out,
                       "        12          5 3       20  0x8010 0x00000020 "
                       "2007-06-15 12:30:00 docs\\readme.txt\n"))
      << listed.out;
  EXPECT_TRUE(Contains(listed.out, "(name cut from 300 bytes)")) << listed.out;
  EXPECT_TRUE(Contains(listed.out, "3 entries (1 folders), 13 bytes, 6 packed\n")) << listed.out;
}

// Whether the file is signed, and how large its certificate table is; the
// signature itself is not judged.
TEST(MksetupList, SaysThatAFileIsSigned) {
  std::string file = ScratchFolder() + "signed.exe";
  std::string image = FakeExecutable(4096) + ArchiveOf({StoredEntry("a", "first")});
  WriteWholeFile(file, SignedImage(image, std::string(1000, 'c'), 3));
  std::string line = "signed: a certificate table of 1000 bytes at offset " + std::to_string(image.size() + 3) +
                     " follows the archive (the signature is not checked)\n";
  Outcome listed = Mksetup(CommandList, {file});
  EXPECT_EQ(listed.status, 0) << listed.err;
  EXPECT_TRUE(Contains(listed.out, line)) << listed.out;
  Outcome tested = Mksetup(CommandTest, {file});
  EXPECT_EQ(tested.status, 0) << tested.err;
  EXPECT_EQ(tested.out,
            "not sealed: unsealed stub (its header holds no seal record that this mksetup reads); a cut "
            "between two of its blocks would not show\n" +
                line + "OK  a\nresult: 0\n");
}

TEST(MksetupList, SaysWhyThereIsNothingToList) {
  std::string folder = ScratchFolder();
  WriteWholeFile(folder + "plain.exe", FakeExecutable(4000));
  WriteWholeFile(folder + "part2.rar", ArchiveOf({[] {
                   FileEntryFields entry = StoredEntry("rest", "x");
                   entry.flags = kFlagLongBlock | kFlagFromPreviousVolume;
                   return entry;
                 }()}));
  Outcome plain = Mksetup(CommandList, {folder + "plain.exe"});
  EXPECT_EQ(plain.status, 1);
  EXPECT_TRUE(Contains(plain.err, "no archive found in " + folder +
                                      "plain.exe (its marker must "
                                      "start at offset 0 or between offsets 7 and 249,996)"))
      << plain.err;
  EXPECT_TRUE(Contains(Mksetup(CommandList, {folder + "missing"}).err, "cannot open"));
  Outcome part = Mksetup(CommandTest, {folder + "part2.rar"});
  EXPECT_TRUE(Contains(part.err, "later part of a volume set")) << part.err;
  EXPECT_TRUE(Contains(part.out, "--  rest (not checked)\nresult: 2\n")) << part.out;
}

struct TestCase {
  const char* why;
  FileEntryFields second;  // between a good first and a good third entry
  std::string expected;    // the lines from the second entry on
  int status;
};

std::vector<TestCase> TestCases() {
  FileEntryFields bad = StoredEntry("b", "data");
  bad.data_crc = 1;
  FileEntryFields old_method = StoredEntry("b", "data");
  old_method.method = '2';
  old_method.unpack_version = 13;
  return {
      {"a good entry", StoredEntry("b", "data"), "OK  b\nOK  c\nresult: 0\n", 0},
      {"a damaged entry", bad, "BAD b (CRC mismatch)\n--  c (not checked)\nresult: 3\n", 1},
      {"an enciphered entry", WithFlags(bad, kFlagEnciphered),
       "BAD b (enciphered entry)\n--  c (not checked)\nresult: 3\n", 1},
      {"a split entry", WithFlags(StoredEntry("b", "data"), kFlagToNextVolume),
       "BAD b (continues in another volume)\n--  c (not checked)\nresult: 3\n", 1},
      {"an old method", old_method, "BAD b (unsupported method version 13)\n--  c (not checked)\nresult: 3\n", 1},
      {"a folder is never checked", Folder("b"), "OK  b (folder)\nOK  c\nresult: 0\n", 0},
      // Names the installer cannot write as they are refuse the package.
      {"a device name", StoredEntry("CON", "data"), "BAD CON (Windows device name)\n--  c (not checked)\nresult: 3\n",
       1},
      {"a device with an extension", StoredEntry("nul.txt", "data"),
       "BAD nul.txt (Windows device name)\n--  c (not checked)\nresult: 3\n", 1},
      {"a stream", StoredEntry("x:stream", "data"),
       "BAD x:stream (drive or stream name (colon))\n--  c (not checked)\nresult: 3\n", 1},
      {"a trailing dot", StoredEntry("trail.", "data"),
       "BAD trail. (Windows drops the dot or blank at the end of a name)\n--  c (not checked)\nresult: 3\n", 1},
      {"a trailing blank", StoredEntry("trail ", "data"),
       "BAD trail  (Windows drops the dot or blank at the end of a name)\n--  c (not checked)\nresult: 3\n", 1},
      {"a NUL byte in the name", StoredEntry(std::string("b\0x", 3), "data"),
       "BAD b (name holds a NUL byte)\n--  c (not checked)\nresult: 3\n", 1},
      {"the first entry's name in another case", StoredEntry("A", "data"),
       "BAD A (differs only in case from an earlier entry, whose file it would take)\n--  c (not checked)\n"
       "result: 3\n",
       1},
  };
}

TEST(MksetupTest, ChecksEveryEntryAndStopsAtTheFirstBadOne) {
  for (const TestCase& c : TestCases()) {
    std::string archive = ScratchFolder() + "a.rar";
    WriteWholeFile(archive, ArchiveOf({StoredEntry("a", "first"), c.second, StoredEntry("c", "third")}));
    Outcome tested = Mksetup(CommandTest, {archive});
    EXPECT_EQ(tested.status, c.status) << c.why;
    EXPECT_EQ(tested.out, kBare + "OK  a\n" + c.expected) << c.why;
  }
}

#ifndef _WIN32
// What a real JSON reader makes of a document: python3's json module loads
// it (strictly, as UTF-8) and prints `projection` of it, an expression of
// the loaded document `d`, as JSON with every non-ASCII character escaped.
std::string ReadByPython(const std::string& json, const std::string& projection) {
  std::string folder = ScratchFolder();
  WriteWholeFile(folder + "doc.json", json);
  WriteWholeFile(folder + "read.py",
                 "import json, sys\n"
                 "d = json.load(open(sys.argv[1], encoding='utf-8'))\n"
                 "print(json.dumps(" +
                     projection + "))\n");
  std::string command = "python3 '" + folder + "read.py' '" + folder + "doc.json' > '" + folder + "out' 2>&1";
  int status = std::system(command.c_str());
  std::string read = ReadWholeFile(folder + "out");
  return status == 0 ? read : "python3 failed: " + read;
}

// Both documents, whatever the archive holds: names with every character
// JSON must escape and Windows-1252 letters (which must arrive as the same
// letters in UTF-8), folders, a bad entry, damage, a seal and a signature.
TEST(MksetupJson, ListAndTestWriteOneDocumentThatAParserReadsBack) {
  FileEntryFields bad = StoredEntry("b.txt", "data");
  bad.data_crc = 1;
  const std::string odd = std::string("q\"b\\c\x01\x1F d\xE4\x80\x81.txt");
  const std::string odd_read = "q\\\"b\\\\c\\u0001\\u001f d\\u00e4\\u20ac\\u0081.txt";
  const std::string unsigned_image = FakeExecutable(4096) + ArchiveOf({StoredEntry("a", "first")});
  // The signing tool's 3 bytes of padding come before the table.
  const std::string table = "{\"offset\": " + std::to_string(unsigned_image.size() + 3) + ", \"size\": 1000}";
  struct {
    const char* why;
    std::string file;
    std::string list;  // the start of the projection's output for list --json
    std::string test;  // and for test --json
  } const cases[] = {
      {"names JSON must escape, and a folder", ArchiveOf({Folder("dir"), StoredEntry(odd, "x")}),
       "[[\"dir\", true, 0], [\"", "[[\"dir\", \"sound\", \"folder\"], [\""},
      {"a bad entry stops the check", ArchiveOf({StoredEntry("a", "first"), bad, StoredEntry("c", "third")}),
       "[[\"a\", false, 5], [\"b.txt\", false, 4], [\"c\", false, 5], null, null, null]\n",
       "[[\"a\", \"sound\", null], [\"b.txt\", \"bad\", \"CRC mismatch\"], [\"c\", \"not checked\", null], 3, false, "
       "null]\n"},
      {"a cut archive", ArchiveOf({StoredEntry("a", "first")}) + std::string("\x00\x00\x74\x00\x80", 5),
       "[[\"a\", false, 5], \"at offset 58 a block header is cut short by the end of the archive; nothing after it is "
       "read\", null, null]\n",
       "[[\"a\", \"sound\", null], 3, false, \"archive cut short\"]\n"},
      {"a signed installer", SignedImage(unsigned_image, std::string(1000, 'c'), 3),
       "[[\"a\", false, 5], null, null, " + table + "]\n", "[[\"a\", \"sound\", null], 0, true, " + table + "]\n"},
  };
  for (const auto& c : cases) {
    std::string file = ScratchFolder() + "package.exe";
    WriteWholeFile(file, c.file);
    Outcome listed = Mksetup(CommandList, {"--json", file});
    Outcome tested = Mksetup(CommandTest, {file, "--json"});
    std::string list = ReadByPython(
        listed.out,
        "[[e['name'], e['folder'], e['size']] for e in d['entries']] + [d['damage'], d['seal'], d['signature']]");
    std::string test =
        ReadByPython(tested.out,
                     "[[e['name'], e['outcome'], e.get('reason', e.get('note'))] for e in d['entries']] + "
                     "[d['result'], d['sound'], d['signature'] or d['archive_failure']]");
    EXPECT_EQ(list.substr(0, c.list.size()), c.list) << c.why << ":\n" << listed.out;
    EXPECT_EQ(test.substr(0, c.test.size()), c.test) << c.why << ":\n" << tested.out;
    if (&c == &cases[0]) {
      EXPECT_TRUE(Contains(list, odd_read + "\", false, 1]")) << list;
      EXPECT_TRUE(Contains(test, odd_read + "\", \"sound\", null]")) << test;
    }
  }
}
#endif

struct DamageCase {
  const char* why;
  std::string archive;
  std::string out;           // what test prints
  std::string err;           // part of its message
  std::string totals;        // the start of the totals line list prints
  std::string list_warning;  // part of list's warning; "" when list sees no damage
};

// Damage between entries, or before the first, is no entry's fault: the
// archive is reported bad, and test and extract end with status 1. List
// shows what it could read, then warns and ends with status 1 too.
TEST(MksetupTest, ADamagedCutOrEmptyArchiveFails) {
  MainHeaderFields bad_main;
  bad_main.bad_check = true;
  const DamageCase cases[] = {
      {"a cut header", ArchiveOf({StoredEntry("a", "first")}) + std::string("\x00\x00\x74\x00\x80", 5),
       "OK  a\nBAD archive (archive cut short)\nresult: 3\n",
       "is damaged (archive cut short): at offset 58 a block header is cut short", "1 entries",
       "warning: the archive is damaged at offset 58 a block header is cut short"},
      {"a damaged main header", ArchiveOf({StoredEntry("a", "first")}, bad_main),
       "--  a (not checked)\nBAD archive (damaged header)\nresult: 3\n",
       "is damaged (damaged header): the main header at offset 7 does not match its check value", "1 entries",
       "warning: the archive is damaged the main header at offset 7"},
      {"no entry at all: an empty listing, which only the check refuses", ArchiveOf({}),
       "BAD archive (no file entry)\nresult: 3\n", "is damaged (no file entry)", "0 entries", ""},
  };
  for (const DamageCase& c : cases) {
    std::string folder = ScratchFolder();
    WriteWholeFile(folder + "a.rar", c.archive);
    Outcome tested = Mksetup(CommandTest, {folder + "a.rar"});
    EXPECT_EQ(tested.status, 1) << c.why;
    EXPECT_EQ(tested.out, kBare + c.out) << c.why;
    EXPECT_TRUE(Contains(tested.err, c.err)) << c.why << ": " << tested.err;
    Outcome extracted = Mksetup(CommandExtract, {folder + "a.rar", folder + "out"});
    EXPECT_EQ(extracted.status, 1) << c.why;
    EXPECT_TRUE(Contains(extracted.err, c.err)) << c.why << ": " << extracted.err;
    Outcome listed = Mksetup(CommandList, {folder + "a.rar"});
    EXPECT_EQ(listed.status, c.list_warning.empty() ? 0 : 1) << c.why;
    EXPECT_TRUE(Contains(listed.out, "\n" + c.totals + " (")) << c.why << ": " << listed.out;
    EXPECT_TRUE(Contains(listed.err, c.list_warning)) << c.why << ": " << listed.err;
  }
}

#ifndef _WIN32
// A real signature, added after the build as package authors add theirs:
// the installer still passes, and damage to its archive is still found.
TEST(MksetupTest, ASignedInstallerPassesAndADamagedOneFails) {
  TOLVEN_SKIP_UNLESS(std::filesystem::exists(TOLVEN_SETUP_STUB),
                     "no Setup.exe at " TOLVEN_SETUP_STUB " (make all puts the Windows build's there)");
  std::string folder = ScratchFolder();
  std::filesystem::create_directories(folder + "product/xp");
  WriteWholeFile(folder + "product/FILE_ID.DIZ", "Signed Product Version 1.0\r\n");
  WriteWholeFile(folder + "product/SIGNED.INF", "[Package]\r\nID=TWS\r\nGroup=Signed Product\r\nExe=KSIGNED.EXE\r\n");
  WriteWholeFile(folder + "product/xp/KSIGNED.EXE", FakeExecutable(5000));
  Outcome built = Mksetup(CommandBuild, {folder + "product", "-o", folder + "setup.exe", "--stub", TOLVEN_SETUP_STUB});
  ASSERT_EQ(built.status, 0) << built.err;
  std::string sign = std::string(TOLVEN_SIGN_INSTALLER) + " '" + folder + "setup.exe' '" + folder + "signed.exe'";
  ASSERT_EQ(std::system(sign.c_str()), 0) << sign;

  Outcome tested = Mksetup(CommandTest, {folder + "signed.exe"});
  EXPECT_EQ(tested.status, 0) << tested.out << tested.err;
  EXPECT_TRUE(Contains(tested.out, "\nsigned: a certificate table of ")) << tested.out;
  EXPECT_TRUE(Contains(tested.out, "OK  xp\\KSIGNED.EXE\n")) << tested.out;

  std::string damaged = ReadWholeFile(folder + "signed.exe");
  const CatalogEntry& first = ReadCatalog(folder + "signed.exe").entries.at(0);
  damaged[first.position + kFileHeaderSize] ^= 0x01;  // its name's first byte
  WriteWholeFile(folder + "damaged.exe", damaged);
  EXPECT_EQ(Mksetup(CommandTest, {folder + "damaged.exe"}).status, 1);
}
#endif

TEST(MksetupExtract, WritesEntriesWithTheirFoldersAndReplacesFiles) {
  std::string folder = ScratchFolder();
  std::string archive = folder + "a.rar";
  FileEntryFields read_only = StoredEntry("bin/tool.exe", "MZ tool");
  read_only.attributes = 0x21;
  WriteWholeFile(archive, ArchiveOf({Folder("empty"), Folder("bin"), read_only,
                                     StoredEntry("docs\\deep\\readme.txt", "read me")}));
  std::string out = folder + "out";
  for (int round = 0; round < 2; ++round) {  // the second round replaces read-only files
    Outcome extracted = Mksetup(CommandExtract, {archive, out});
    EXPECT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_TRUE(std::filesystem::is_directory(out + "/empty"));
    EXPECT_EQ(ReadWholeFile(out + "/bin/tool.exe"), "MZ tool");
    EXPECT_EQ(ReadWholeFile(out + "/docs/deep/readme.txt"), "read me");
  }
  chmod((out + "/bin/tool.exe").c_str(), 0644);
}

// Names come out in the reader's own encoding: UTF-8 on POSIX, from the
// archive's Windows-1252.
TEST(MksetupExtract, NamesAreWrittenAndShownInTheSystemsEncoding) {
  std::string folder = ScratchFolder();
  WriteWholeFile(folder + "a.rar", ArchiveOf({StoredEntry("caf\xE9\\\x80.txt", "euro")}));
  Outcome extracted = Mksetup(CommandExtract, {folder + "a.rar", folder + "out"});
  EXPECT_EQ(extracted.status, 0) << extracted.err;
  EXPECT_EQ(Mksetup(CommandTest, {folder + "a.rar"}).out, kBare + ShownName("OK  caf\xE9\\\x80.txt\nresult: 0\n"));
  EXPECT_TRUE(Contains(Mksetup(CommandList, {folder + "a.rar"}).out, ShownName("caf\xE9\\\x80.txt")));
#ifndef _WIN32
  EXPECT_EQ(ReadWholeFile(folder + u8"out/caf\u00E9/\u20AC.txt"), "euro");
#endif
}

TEST(MksetupExtract, RefusesNamesThatLeaveTheFolder) {
  const std::string refused[] = {
      "\\abs.txt",   "/abs.txt", "C:evil.txt", "a:stream",      "..\\up.txt", "sub/../../up.txt",
      "...\\up.txt", "CON",      "nul.txt",    "sub\\COM1.log", "what?.txt",  ".",
      "sub\\.",      "dir/",  // name a folder: nothing could be created there
      "COM0",        "lpt0.txt", "COM\xB9",    "LPT\xB2.log",   "com\xB3",  // every port Windows knows
      "trail.",      "trail ",   "x.\\y",  // Windows would write them as "trail" and "x\\y"
      "star*.txt",                         // a wildcard: no file can be made under it
  };
  for (const std::string& name : refused) {
    std::string folder = ScratchFolder();
    WriteWholeFile(folder + "a.rar", ArchiveOf({StoredEntry(name, "x"), StoredEntry("fine.txt", "ok")}));
    Outcome extracted = Mksetup(CommandExtract, {folder + "a.rar", folder + "out"});
    EXPECT_EQ(extracted.status, 1) << name;
    std::string shown = name;  // as the walk hands it on, in UTF-8
    for (char& c : shown) {
      if (c == '/') c = '\\';
    }
    shown = ShownName(shown);
    EXPECT_TRUE(Contains(extracted.err, "refused " + shown + ": ")) << extracted.err;
    EXPECT_EQ(ReadWholeFile(folder + "out/fine.txt"), "ok") << name;
  }
  // Names that only look like those are written.
  const std::string allowed[] = {"dir\\sub\\file.txt", "a/b",         ".hidden", "x.y\\z",
                                 "CONFIG.SYS",         "console.log", "COM10",   "LPT"};
  std::vector<FileEntryFields> entries;
  for (const std::string& name : allowed) entries.push_back(StoredEntry(name, name));
  std::string folder = ScratchFolder();
  WriteWholeFile(folder + "a.rar", ArchiveOf(entries));
  Outcome extracted = Mksetup(CommandExtract, {folder + "a.rar", folder + "out"});
  EXPECT_EQ(extracted.status, 0) << extracted.err;
  for (const std::string& name : allowed) {
    std::string written = name;
    std::replace(written.begin(), written.end(), '\\', '/');
    EXPECT_EQ(ReadWholeFile(folder + "out/" + written), name);
  }
  struct {
    std::string name;
    const char* reason;
  } const odd[] = {
      {std::string(300, 'n'), "name longer than 259 bytes"},
      {std::string("nul\0byte.txt", 12), "name holds a NUL byte"},
  };
  for (const auto& c : odd) {
    std::string folder = ScratchFolder();
    WriteWholeFile(folder + "a.rar", ArchiveOf({StoredEntry(c.name, "x")}));
    Outcome refused_entry = Mksetup(CommandExtract, {folder + "a.rar", folder + "out"});
    EXPECT_EQ(refused_entry.status, 1);
    EXPECT_TRUE(Contains(refused_entry.err, c.reason)) << refused_entry.err;
  }
}

// A full path takes at most 259 bytes and its terminator: one that fits is
// written whole, one byte more is refused rather than cut.
TEST(MksetupExtract, PathsAreWrittenWholeOrRefused) {
  std::string folder = ScratchFolder();
  std::string out = folder + "out";
  ASSERT_TRUE(std::filesystem::create_directory(out));
  char full[kNameSize];
  ASSERT_NE(FsFullPath(out.c_str(), full, sizeof full), 0u);
  const size_t room = kNameSize - 1 - (std::string(full).size() + 1);  // after the separator
  std::string fits(room, 'f'), longer(room + 1, 'l');
  WriteWholeFile(folder + "a.rar", ArchiveOf({StoredEntry(fits, "x"), StoredEntry(longer, "y")}));
  Outcome extracted = Mksetup(CommandExtract, {folder + "a.rar", out});
  EXPECT_EQ(extracted.status, 1);
  EXPECT_EQ(ReadWholeFile(out + "/" + fits), "x");
  EXPECT_TRUE(Contains(extracted.err, "refused " + longer + ": path longer than 259 bytes")) << extracted.err;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), std::filesystem::directory_iterator()), 1);
}

TEST(MksetupExtract, NamesTheFileItCannotCreate) {
  std::string folder = ScratchFolder();
  WriteWholeFile(folder + "a.rar", ArchiveOf({StoredEntry("taken", "x")}));
  ASSERT_TRUE(std::filesystem::create_directory(folder + "out"));
  ASSERT_TRUE(std::filesystem::create_directory(folder + "out/taken"));
  Outcome extracted = Mksetup(CommandExtract, {folder + "a.rar", folder + "out"});
  EXPECT_EQ(extracted.status, 1);
  EXPECT_TRUE(Contains(extracted.err, "cannot create ")) << extracted.err;
  EXPECT_TRUE(Contains(extracted.err, "taken")) << extracted.err;
}

#ifndef _WIN32
// Links already in the folder are never followed: not a folder on the way,
// not the file itself, not for a folder entry. The rest is still written.
TEST(MksetupExtract, NeverFollowsLinksAlreadyInTheFolder) {
  namespace fs = std::filesystem;
  std::string folder = ScratchFolder();
  std::string elsewhere = folder + "elsewhere/";
  ASSERT_TRUE(fs::create_directories(elsewhere));
  WriteWholeFile(elsewhere + "victim", "keep");
  chmod((elsewhere + "victim").c_str(), 0444);
  ASSERT_TRUE(fs::create_directories(folder + "out"));
  fs::create_directory_symlink(elsewhere, folder + "out/sub");
  fs::create_symlink(elsewhere + "victim", folder + "out/a.txt");
  // A hard link is another name of the file elsewhere: writing into it
  // would change that file, so a new file takes the name instead.
  WriteWholeFile(elsewhere + "linked", "keep too");
  chmod((elsewhere + "linked").c_str(), 0644);
  fs::create_hard_link(elsewhere + "linked", folder + "out/hard.txt");
  struct stat linked_before;
  ASSERT_EQ(stat((elsewhere + "linked").c_str(), &linked_before), 0);
  FileEntryFields hard = StoredEntry("hard.txt", "new");
  hard.attributes = 0x21;
  WriteWholeFile(folder + "a.rar",
                 ArchiveOf({Folder("sub\\deeper"), StoredEntry("sub\\x.txt", "x"), StoredEntry("a.txt", "overwritten"),
                            StoredEntry("fine.txt", "ok"), hard}));
  Outcome extracted = Mksetup(CommandExtract, {folder + "a.rar", folder + "out"});
  EXPECT_EQ(extracted.status, 1);
  for (const char* name : {"sub\\deeper: sub", "sub\\x.txt: sub", "a.txt: a.txt"}) {
    EXPECT_TRUE(Contains(extracted.err, "refused " + std::string(name) + " is a symbolic link")) << extracted.err;
  }
  EXPECT_EQ(ReadWholeFile(folder + "out/fine.txt"), "ok");
  EXPECT_EQ(ReadWholeFile(elsewhere + "victim"), "keep");
  struct stat victim;
  ASSERT_EQ(stat((elsewhere + "victim").c_str(), &victim), 0);
  EXPECT_EQ(victim.st_mode & 0222, 0u) << "the victim stays read-only";
  EXPECT_FALSE(fs::exists(elsewhere + "x.txt"));
  EXPECT_FALSE(fs::exists(elsewhere + "deeper"));
  EXPECT_EQ(ReadWholeFile(folder + "out/hard.txt"), "new");
  EXPECT_EQ(ReadWholeFile(elsewhere + "linked"), "keep too");
  struct stat linked_after;
  ASSERT_EQ(stat((elsewhere + "linked").c_str(), &linked_after), 0);
  EXPECT_EQ(linked_after.st_mode, linked_before.st_mode) << "its mode stays";
  EXPECT_EQ(linked_after.st_mtime, linked_before.st_mtime) << "and its time";
  EXPECT_EQ(linked_after.st_nlink, 1u) << "the folder's name now holds a file of its own";
  chmod((elsewhere + "victim").c_str(), 0644);
  chmod((folder + "out/hard.txt").c_str(), 0644);
}

// While the extraction runs, a second thread keeps swapping the folder it
// has just made for a link to a folder outside. Every folder on the way is
// opened without following a link and every file made through the folder
// opened, so nothing ever lands outside, whoever wins the race.
TEST(MksetupExtract, AFolderSwappedForALinkDuringTheExtractionLeadsNowhere) {
  namespace fs = std::filesystem;
  std::vector<FileEntryFields> entries;
  for (int i = 0; i < 40; ++i) entries.push_back(StoredEntry("sub\\deep\\f" + std::to_string(i), "x"));
  std::string folder = ScratchFolder();
  WriteWholeFile(folder + "a.rar", ArchiveOf(entries));
  const std::string outside = folder + "outside";
  int written_outside = 0, refused = 0;
  for (int trial = 0; trial < 200; ++trial) {
    fs::remove_all(folder + "out");
    fs::remove_all(outside);
    fs::create_directories(outside + "/deep");
    fs::create_directories(folder + "out");
    std::atomic<bool> done{false};
    std::thread swapper([&] {
      // Waits for the extraction to make the folder, then puts the link in
      // its place, as fast as it can.
      std::error_code ignored;
      while (!done && !fs::exists(folder + "out/sub", ignored)) std::this_thread::yield();
      fs::rename(folder + "out/sub", folder + "out/moved-" + std::to_string(trial), ignored);
      fs::create_directory_symlink(outside, folder + "out/sub", ignored);
    });
    Outcome extracted = Mksetup(CommandExtract, {folder + "a.rar", folder + "out"});
    done = true;
    swapper.join();
    if (extracted.status != 0) ++refused;
    written_outside +=
        static_cast<int>(std::distance(fs::directory_iterator(outside + "/deep"), fs::directory_iterator()));
  }
  EXPECT_EQ(written_outside, 0);
  // The swap mostly lands in the middle of the run, which then refuses the
  // rest with a message and fails.
  EXPECT_GT(refused, 0);
}
#endif

TEST(MksetupCorpus, ExtractsStoredEntriesAndNamesWhatItCannotCheck) {
  std::string archive = CorpusFile("comment.rar");
  TOLVEN_SKIP_UNLESS(!archive.empty(), NoCorpus());
  std::string folder = ScratchFolder();
  Outcome extracted = Mksetup(CommandExtract, {archive, folder});
  EXPECT_EQ(extracted.status, 0) << extracted.err;
  EXPECT_EQ(ReadWholeFile(folder + "FILE1.TXT").size(), 7u);
  EXPECT_EQ(ReadWholeFile(folder + "FILE2.TXT").size(), 7u);
  EXPECT_EQ(Mksetup(CommandTest, {archive}).out, kBare + "OK  FILE1.TXT\nOK  FILE2.TXT\nresult: 0\n");
  Outcome volume = Mksetup(CommandTest, {CorpusFile("volume.part1.rar")});
  EXPECT_EQ(volume.out, kBare + "BAD vols\\bigfile.txt (continues in another volume)\nresult: 3\n");
  // The compressed corpus: every level decodes, and the entry packed with
  // audio blocks is named with its reason.
  Outcome tested = Mksetup(CommandTest, {CorpusFile("levels.rar")});
  EXPECT_NE(tested.status, 0);
  EXPECT_TRUE(Contains(tested.out, "OK  p5.bin\n")) << tested.out;
  EXPECT_TRUE(Contains(tested.out, "BAD pMM.bin (audio blocks are not supported)\n")) << tested.out;
  EXPECT_TRUE(Contains(tested.out, "result: 3\n")) << tested.out;
}

}  // namespace
