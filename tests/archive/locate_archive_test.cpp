// Finding the archive: at offset 0, or by searching the head of a file that
// looks like an executable.
#include <gtest/gtest.h>

#include "tests/archive/archive_builders.h"
#include "tests/archive/pass_recorder.h"
#include "tests/archive/test_context.h"
#include "tests/support/scratch.h"

namespace {

TEST(LocateArchive, PassesOverAMarkerWhoseMainHeaderIsNotOne) {
  ArchiveWriter decoy;
  MainHeaderFields not_main;
  not_main.type = 0x74;
  decoy.AddMainHeader(not_main);
  decoy.AddFile(StoredEntry("decoy.txt", "never seen"));
  std::string file = FakeExecutable(1000) + decoy.bytes();
  file += FakeExecutable(5000).substr(2) + ArchiveOf({StoredEntry("real.txt", "found")});
  PassRecorder pass(AllInMemory());
  EXPECT_EQ(pass.Run(ScratchFolder() + "setup.exe", file), kExtractOk);
  ASSERT_EQ(pass.calls.size(), 2u);
  EXPECT_EQ(pass.calls[0].name, "real.txt");
  EXPECT_EQ(pass.calls[1].data, "found");
}

// The older flavour is recognised only with its tag in the executable's
// header, and its entries are checked with the 16-bit sum.
TEST(LocateArchive, OlderFlavourNeedsItsTagAndUsesTheSum) {
  for (bool tagged : {true, false}) {
    ArchiveWriter writer(kFlavourOld);
    writer.AddMainHeader();
    writer.AddFile(StoredEntry("old.txt", "summed"));
    FileEntryFields bad = StoredEntry("bad.txt", "summed");
    bad.data_crc = Crc32Of("summed");  // the CRC-32 does not count here
    writer.AddFile(bad);
    PassRecorder pass(AllInMemory());
    int result = pass.Run(ScratchFolder() + "old.exe", FakeExecutable(4096, tagged) + writer.bytes());
    if (!tagged) {
      EXPECT_EQ(result, kExtractNoArchive);
      continue;
    }
    EXPECT_EQ(result, kExtractBadEntry);
    ASSERT_EQ(pass.calls.size(), 3u);
    EXPECT_EQ(pass.calls[1].data, "summed");
    EXPECT_EQ(pass.calls[2].name, "bad.txt");
  }
}

struct LocateCase {
  const char* why;
  std::string file;
  int result;
  size_t calls;  // of a pass that takes every entry into memory
};

// The archive stands at offset 0, or after an executable within the searched
// window. A signing tool appends a certificate table after the archive and
// names it in the PE header: the archive ends where the table begins, and
// nothing of the table is read, even where it looks like a file header.
TEST(LocateArchive, FindsTheArchiveOnlyWhereItMayStand) {
  const std::string archive = ArchiveOf(ThreeEntries());
  auto at = [&](size_t offset) { return FakeExecutable(offset) + archive; };
  MainHeaderFields odd;
  odd.type = 0x99;
  std::string image = FakeExecutable(4096) + archive;
  std::string ghost = ArchiveWriter().FileHeaderBytes(StoredEntry("ghost.txt", "boo")) + "boo";
  std::vector<FileEntryFields> damaged = ThreeEntries();
  damaged[1].bad_header_check = true;
  const LocateCase cases[] = {
      {"a marker at offset 0 needs no search", at(0), kExtractOk, 6},
      {"at offset 0 whatever its main header type", ArchiveOf(ThreeEntries(), odd), kExtractOk, 6},
      {"offsets 1 to 6 lie before the searched window", at(3), kExtractNoArchive, 0},
      {"the window starts at offset 7", at(7), kExtractOk, 6},
      {"an archive after a typical installer image", at(61440), kExtractOk, 6},
      {"the last offset whose main header type lies in the window", at(249996), kExtractOk, 6},
      {"one further and the type byte falls outside", at(249997), kExtractNoArchive, 0},
      {"far beyond the window", at(300000), kExtractNoArchive, 0},
      {"an empty file", "", kExtractNoArchive, 0},
      {"shorter than a marker", "Rar!", kExtractNoArchive, 0},
      {"a marker whose main header is cut", archive.substr(0, 15), kExtractNoArchive, 0},
      {"an executable without any marker", FakeExecutable(100000), kExtractNoArchive, 0},
      {"a searched marker whose main header is cut", FakeExecutable(500) + archive.substr(0, 12), kExtractNoArchive, 0},
      {"signed: a table of certificates", SignedImage(image, PatternBytes(1500)), kExtractOk, 6},
      {"signed: a table that begins like a file header", SignedImage(image, ghost), kExtractOk, 6},
      {"signed: up to 7 zero bytes align it", SignedImage(image, ghost, 7), kExtractOk, 6},
      {"signed: 8 are more than alignment", SignedImage(image, ghost, 8), kExtractBadEntry, 6},
      {"signed: a damaged header before it", SignedImage(FakeExecutable(4096) + ArchiveOf(damaged), ghost),
       kExtractBadEntry, 2},
      {"signed: an archive cut before it", SignedImage(image.substr(0, image.size() - 1), ghost), kExtractBadEntry, 4},
      {"signed: a table that does not end the file is none", SignedImage(image, ghost) + "x", kExtractBadEntry, 8},
      {"signed: nor one that holds the archive", SignedImage(FakeExecutable(4096), archive), kExtractOk, 6},
  };
  for (const LocateCase& c : cases) {
    PassRecorder pass(AllInMemory());
    EXPECT_EQ(pass.Run(ScratchFolder() + "setup.exe", c.file), c.result) << c.why;
    EXPECT_EQ(pass.calls.size(), c.calls) << c.why;
  }
  PassRecorder pass(AllInMemory());
  EXPECT_EQ(pass.RunFile(ScratchFolder() + "missing.rar"), kExtractNoArchive);
}

}  // namespace
