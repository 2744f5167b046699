// The walk over the block headers, seen through the entries a pass offers.
#include <gtest/gtest.h>

#include "tests/archive/archive_builders.h"
#include "tests/archive/pass_recorder.h"
#include "tests/support/scratch.h"

namespace {

// The names offered, in order, by a pass that takes every entry into memory,
// with the pass's result last.
std::vector<std::string> OfferedNames(const std::string& archive) {
  PassRecorder pass(AllInMemory());
  int result = pass.Run(ScratchFolder() + "walk.rar", archive);
  std::vector<std::string> names;
  for (const CallbackCall& call : pass.calls) {
    if (!call.has_data) names.push_back(call.name);
  }
  names.push_back("result " + std::to_string(result));
  return names;
}

using Names = std::vector<std::string>;

TEST(HeaderWalk, StepsOverMainHeaderExtrasAndOtherBlocks) {
  MainHeaderFields commented;
  commented.extra = std::string(38, 'c');  // a comment inside the main header
  ArchiveWriter writer;
  writer.AddMainHeader(commented);
  writer.AddBlock(0x75, 0, "comment");
  writer.AddFile(StoredEntry("a.txt", "a"));
  writer.AddBlock(0x77, kFlagLongBlock, "sub", std::string(300, 's'));
  writer.AddFile(StoredEntry("b.txt", "b"));
  writer.AddBlock(0x79, kFlagLongBlock, "", "trailing data");
  EXPECT_EQ(OfferedNames(writer.bytes()), (Names{"a.txt", "b.txt", "result 0"}));
}

TEST(HeaderWalk, AMainHeaderSizeBelowItsFixedPartIsNotSteppedBackInto) {
  MainHeaderFields small;
  small.size = 7;
  EXPECT_EQ(OfferedNames(ArchiveOf({StoredEntry("a.txt", "a")}, small)), (Names{"a.txt", "result 0"}));
}

struct EndCase {
  const char* why;
  std::string tail;  // bytes after a good first entry
};

// A malformed block ends the walk like the end of the archive: the entries
// before it are done and the pass succeeds.
TEST(HeaderWalk, MalformedBlocksEndTheWalk) {
  FileEntryFields no_data_size = StoredEntry("b.txt", "b");
  no_data_size.flags = 0;
  FileEntryFields tiny = StoredEntry("b.txt", "b");
  tiny.header_size = 6;
  ArchiveWriter wrapping;
  wrapping.AddBlock(0x79, kFlagLongBlock, "", "x");
  std::string huge = wrapping.bytes();
  huge.replace(7, 4, "\xF0\xFF\xFF\xFF");  // an add size that reaches past 2 GiB
  const EndCase cases[] = {
      {"the end of the file", ""},
      {"a block header cut by the end of the file", std::string("\x00\x00\x74\x00\x80", 5)},
      {"a file header cut after its common part",
       ArchiveOf({StoredEntry("b.txt", "b")}).substr(20, 20)},
      {"a header size below 7", ArchiveOf({tiny}).substr(20)},
      {"a file header without a data size", ArchiveOf({no_data_size}).substr(20)},
      {"a block reaching past 2 GiB", huge},
  };
  for (const EndCase& c : cases) {
    std::string archive = ArchiveOf({StoredEntry("a.txt", "a")}) + c.tail;
    EXPECT_EQ(OfferedNames(archive), (Names{"a.txt", "result 0"})) << c.why;
  }
}

TEST(HeaderWalk, AnEndBlockOfSevenBytesAtTheEndIsSteppedOver) {
  ArchiveWriter writer;
  writer.AddMainHeader();
  writer.AddFile(StoredEntry("a.txt", "a"));
  writer.AddBlock(0x7B, 0);
  EXPECT_EQ(OfferedNames(writer.bytes()), (Names{"a.txt", "result 0"}));
}

TEST(HeaderWalk, LongNamesAreCutAndTheWalkStaysInStep) {
  std::string long_name(300, 'n');
  EXPECT_EQ(OfferedNames(ArchiveOf({StoredEntry(long_name, "x"), StoredEntry("next.txt", "y")})),
            (Names{std::string(259, 'n'), "next.txt", "result 0"}));
}

TEST(HeaderWalk, SlashesBecomeBackslashes) {
  EXPECT_EQ(OfferedNames(ArchiveOf({StoredEntry("dir/sub/file.txt", "x")})),
            (Names{"dir\\sub\\file.txt", "result 0"}));
}

TEST(HeaderWalk, HeaderCheckMismatchesChangeNothing) {
  FileEntryFields bad_check = StoredEntry("a.txt", "a");
  bad_check.bad_header_check = true;
  MainHeaderFields bad_main;
  bad_main.bad_check = true;
  EXPECT_EQ(OfferedNames(ArchiveOf({bad_check, StoredEntry("b.txt", "b")}, bad_main)),
            (Names{"a.txt", "b.txt", "result 0"}));
}

struct HostCase {
  const char* why;
  uint8_t host;
  uint16_t flags;
  uint32_t stored_attributes;
  bool offered;  // false: taken for a directory
};

const HostCase kHostCases[] = {
    {"host 3 with all dictionary bits is a directory", 3, 0x80E0, 0x41ED, false},
    {"host 3 with other dictionary bits is a file", 3, 0x8090, 0x41ED, true},
    {"hosts above 3 follow the same rule", 5, 0x80E0, 0x0020, false},
    {"hosts above 3 make plain files of the rest", 7, 0x8000, 0x0010, true},
    {"host 2 keeps its directory attribute", 2, 0x8000, 0x0010, false},
    {"host 0 keeps its file attribute despite the bits", 0, 0x80E0, 0x0020, true},
};

TEST(HeaderWalk, HostSystemDecidesWhoseAttributesCount) {
  for (const HostCase& c : kHostCases) {
    FileEntryFields entry = StoredEntry("entry", "");
    entry.host_system = c.host;
    entry.flags = c.flags;
    entry.attributes = c.stored_attributes;
    Names expected = c.offered ? Names{"entry", "result 0"} : Names{"result 0"};
    EXPECT_EQ(OfferedNames(ArchiveOf({entry})), expected) << c.why;
  }
}

}  // namespace
