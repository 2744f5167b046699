// Finding the archive: at offset 0, or by searching the head of a file that
// looks like an executable.
#include <gtest/gtest.h>

#include "tests/archive/archive_builders.h"
#include "tests/archive/pass_recorder.h"
#include "tests/archive/test_context.h"
#include "tests/support/scratch.h"

namespace {

struct LocateCase {
  const char* why;
  size_t offset;  // where the marker starts
  bool found;
};

const LocateCase kLocateCases[] = {
    {"a marker at offset 0 needs no search", 0, true},
    {"offsets 1 to 6 lie before the searched window", 3, false},
    {"the window starts at offset 7", 7, true},
    {"an archive after a typical installer image", 61440, true},
    {"the last offset whose main header type lies in the window", 249996, true},
    {"one further and the type byte falls outside", 249997, false},
    {"far beyond the window", 300000, false},
};

TEST(LocateArchive, FindsMarkersOnlyInsideTheWindow) {
  for (const LocateCase& c : kLocateCases) {
    PassRecorder pass(AllInMemory());
    std::string file = FakeExecutable(c.offset) + ArchiveOf(ThreeEntries());
    int result = pass.Run(ScratchFolder() + "setup.exe", file);
    EXPECT_EQ(result, c.found ? kExtractOk : kExtractNoArchive) << c.why;
    EXPECT_EQ(pass.calls.size(), c.found ? 6u : 0u) << c.why;
  }
}

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

TEST(LocateArchive, AMarkerAtOffsetZeroIsTakenWhateverItsMainHeaderType) {
  MainHeaderFields odd;
  odd.type = 0x99;
  PassRecorder pass(AllInMemory());
  EXPECT_EQ(pass.Run(ScratchFolder() + "a.rar", ArchiveOf(ThreeEntries(), odd)), kExtractOk);
  EXPECT_EQ(pass.calls.size(), 6u);
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

struct SignedCase {
  const char* why;
  std::string file;
  int result;
  size_t calls;  // of a pass that takes every entry into memory
};

// A signing tool appends a certificate table after the archive and names it
// in the PE header: the archive ends where the table begins, and nothing of
// the table is read, even where it looks like a file header.
TEST(LocateArchive, TheArchiveOfASignedImageEndsAtItsCertificateTable) {
  std::string image = FakeExecutable(4096) + ArchiveOf(ThreeEntries());
  std::string ghost = ArchiveWriter().FileHeaderBytes(StoredEntry("ghost.txt", "boo")) + "boo";
  std::vector<FileEntryFields> damaged = ThreeEntries();
  damaged[1].bad_header_check = true;
  const SignedCase cases[] = {
      {"a table of certificates", SignedImage(image, PatternBytes(1500)), kExtractOk, 6},
      {"a table that begins like a file header", SignedImage(image, ghost), kExtractOk, 6},
      {"up to 7 zero bytes align it", SignedImage(image, ghost, 7), kExtractOk, 6},
      {"8 are more than alignment", SignedImage(image, ghost, 8), kExtractBadEntry, 6},
      {"a damaged header before it", SignedImage(FakeExecutable(4096) + ArchiveOf(damaged), ghost),
       kExtractBadEntry, 2},
      {"an archive cut before it", SignedImage(image.substr(0, image.size() - 1), ghost), kExtractBadEntry, 4},
      {"a table that does not end the file is none", SignedImage(image, ghost) + "x", kExtractBadEntry, 8},
      {"nor one that holds the archive", SignedImage(FakeExecutable(4096), ArchiveOf(ThreeEntries())),
       kExtractOk, 6},
  };
  for (const SignedCase& c : cases) {
    PassRecorder pass(AllInMemory());
    EXPECT_EQ(pass.Run(ScratchFolder() + "signed.exe", c.file), c.result) << c.why;
    EXPECT_EQ(pass.calls.size(), c.calls) << c.why;
  }
}

struct NotFoundCase {
  const char* why;
  std::string file;
};

TEST(LocateArchive, ReportsNoArchive) {
  std::string archive = ArchiveOf(ThreeEntries());
  const NotFoundCase cases[] = {
      {"an empty file", ""},
      {"shorter than a marker", "Rar!"},
      {"a marker whose main header is cut", archive.substr(0, 15)},
      {"an executable without any marker", FakeExecutable(100000)},
      {"a searched marker whose main header is cut", FakeExecutable(500) + archive.substr(0, 12)},
  };
  for (const NotFoundCase& c : cases) {
    PassRecorder pass(AllInMemory());
    EXPECT_EQ(pass.Run(ScratchFolder() + "file", c.file), kExtractNoArchive) << c.why;
    EXPECT_TRUE(pass.calls.empty()) << c.why;
  }
  PassRecorder pass(AllInMemory());
  EXPECT_EQ(pass.RunFile(ScratchFolder() + "missing.rar"), kExtractNoArchive);
}

}  // namespace
