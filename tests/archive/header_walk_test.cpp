// The walk over the block headers, seen through the entries a pass offers.
#include <gtest/gtest.h>

#include "archive/archive_format.h"
#include "tests/archive/archive_builders.h"
#include "tests/archive/pass_recorder.h"
#include "tests/archive/test_context.h"
#include "tests/support/scratch.h"

namespace {

// The names offered, in order, by a pass that takes every entry into memory,
// with the pass's result last; `failure` receives the pass's failure.
std::vector<std::string> OfferedNames(const std::string& archive, uint32_t* failure = nullptr) {
  PassRecorder pass(AllInMemory());
  int result = pass.Run(ScratchFolder() + "walk.rar", archive);
  std::vector<std::string> names;
  for (const CallbackCall& call : pass.calls) {
    if (!call.has_data) names.push_back(call.name);
  }
  names.push_back("result " + std::to_string(result));
  if (failure != nullptr) *failure = pass.failure;
  return names;
}

using Names = std::vector<std::string>;

// Why the walk over `archive`, stepping from entry to entry as the driver
// does, ended.
uint32_t WalkEndOf(const std::string& archive) {
  std::string path = ScratchFolder() + "walk-end.rar";
  WriteWholeFile(path, archive);
  TestContext context;
  context->archive_file = fopen(path.c_str(), "rb");
  if (!LocateArchive(context.get())) return ~0u;
  SkipMainHeaderRest(context.get());
  while (ReadNextEntry(context.get()) != 0) fseek(context->archive_file, context->next_block_pos, SEEK_SET);
  return context->walk_end;
}

struct EndCase {
  const char* why;
  std::string tail;   // bytes after a good first entry
  uint32_t failure;   // kFailureNone: the archive ended where it should
  uint32_t walk_end;  // the walk's own reason, which the failure only classes
};

// The archive must end exactly at the end of the file. Any other end of
// the walk is damage: the entries before it are done, and the pass fails.
TEST(HeaderWalk, AWalkThatDoesNotEndAtTheEndOfTheFileFails) {
  FileEntryFields no_data_size = StoredEntry("b.txt", "b");
  no_data_size.flags = 0;
  FileEntryFields tiny = StoredEntry("b.txt", "b");
  tiny.header_size = 6;
  FileEntryFields name_outside = StoredEntry("b.txt", "b");
  name_outside.header_size = 32 + 4;  // the name's last byte lies outside the header
  ArchiveWriter wrapping;
  wrapping.AddBlock(0x79, kFlagLongBlock, "", "x");
  std::string huge = wrapping.bytes();
  huge.replace(7, 4, "\xF0\xFF\xFF\xFF");  // an add size that reaches past 2 GiB
  ArchiveWriter short_add;
  short_add.AddBlock(0x79, 0, "", "");
  std::string add_outside = short_add.bytes();
  add_outside[3] = '\x00';
  add_outside[4] = '\x80';  // a long block whose header has no room for its add size
  std::string second = ArchiveOf({StoredEntry("b.txt", "bbbb")}).substr(20);
  const EndCase cases[] = {
      {"the end of the file", "", kFailureNone, kWalkEndOfFile},
      {"a block header cut by the end of the file", std::string("\x00\x00\x74\x00\x80", 5), kFailureCut,
       kWalkCutHeader},
      {"a file header cut after its common part", second.substr(0, 20), kFailureCut, kWalkCutHeader},
      {"a file header cut inside its name", second.substr(0, 35), kFailureCut, kWalkCutHeader},
      {"a file's data cut short", second.substr(0, second.size() - 1), kFailureCut, kWalkCutData},
      {"a header size below 7", ArchiveOf({tiny}).substr(20), kFailureHeader, kWalkBadSize},
      {"a name that does not fit its header", ArchiveOf({name_outside}).substr(20), kFailureHeader, kWalkBadSize},
      {"a long block without room for its add size", add_outside, kFailureHeader, kWalkBadSize},
      {"a file header without a data size", ArchiveOf({no_data_size}).substr(20), kFailureHeader, kWalkNoDataSize},
      {"a block reaching past 2 GiB", huge, kFailureHeader, kWalkNoAdvance},
      {"bytes after the last block", std::string(8, '\0'), kFailureHeader, kWalkBadSize},
  };
  for (const EndCase& c : cases) {
    std::string archive = ArchiveOf({StoredEntry("a.txt", "a")}) + c.tail;
    uint32_t failure = 0;
    std::string result = c.failure == kFailureNone ? "result 0" : "result 3";
    EXPECT_EQ(OfferedNames(archive, &failure), (Names{"a.txt", result})) << c.why;
    EXPECT_EQ(failure, c.failure) << c.why;
    EXPECT_EQ(WalkEndOf(archive), c.walk_end) << c.why;
  }
}

struct CheckCase {
  const char* why;
  std::string archive;
  Names offered;  // and the pass's result
};

// The walk steps over every block that is no entry and offers each entry
// under its name. Writers compute a header's check value over the header as
// stored or over its fixed part and name; a value that matches neither is a
// damaged header, which must not be read for an entry under some other name,
// or for none. Directories are never offered; the host system decides whose
// attributes say so.
TEST(HeaderWalk, OffersEveryEntryOfHeadersThatMatchTheirCheckValues) {
  MainHeaderFields commented;
  commented.extra = std::string(38, 'c');  // a comment inside the main header
  ArchiveWriter other_blocks;
  other_blocks.AddMainHeader(commented);
  other_blocks.AddBlock(0x75, 0, "comment");
  other_blocks.AddFile(StoredEntry("a.txt", "a"));
  other_blocks.AddBlock(0x77, kFlagLongBlock, "sub", std::string(300, 's'));
  other_blocks.AddFile(StoredEntry("b.txt", "b"));
  other_blocks.AddBlock(0x79, kFlagLongBlock, "", "trailing data");
  ArchiveWriter seven_bytes;
  seven_bytes.AddMainHeader();
  seven_bytes.AddFile(StoredEntry("a.txt", "a"));
  seven_bytes.AddBlock(0x7B, 0);
  seven_bytes.AddFile(StoredEntry("b.txt", "b"));
  MainHeaderFields small_main;
  small_main.size = 7;
  // An entry of `host` system: whose attributes say it is a directory.
  auto hosted = [](uint8_t host, uint16_t flags, uint32_t attributes) {
    FileEntryFields entry = StoredEntry("entry", "");
    entry.host_system = host;
    entry.flags = flags;
    entry.attributes = attributes;
    return ArchiveOf({entry});
  };
  FileEntryFields bad_check = StoredEntry("b.txt", "b");
  bad_check.bad_header_check = true;
  FileEntryFields with_extra = StoredEntry("b.txt", "b");
  with_extra.header_extra = "extra";
  FileEntryFields name_and_fixed_part = with_extra;
  name_and_fixed_part.check_skips_extra = true;
  MainHeaderFields bad_main;
  bad_main.bad_check = true;
  MainHeaderFields comment;
  comment.extra = "a comment";
  MainHeaderFields whole_comment = comment;
  whole_comment.check_covers_extra = true;
  std::string good = ArchiveOf({StoredEntry("a.txt", "a"), with_extra});
  const size_t second = good.find("b.txt") - 32;  // where the second file header starts
  auto changed = [&](size_t offset, char value) {
    std::string damaged = good;
    damaged[second + offset] = value;
    return damaged;
  };
  // A file header whose type byte says comment still checks as a file header.
  std::string as_comment = changed(2, '\x75');
  ArchiveWriter unknown;
  unknown.AddMainHeader();
  unknown.AddFile(StoredEntry("a.txt", "a"));
  unknown.AddBlock(0x80, 0, "tail");
  const CheckCase cases[] = {
      {"other blocks and main header extras stepped over", other_blocks.bytes(), {"a.txt", "b.txt", "result 0"}},
      {"a seven-byte block between entries stepped over", seven_bytes.bytes(), {"a.txt", "b.txt", "result 0"}},
      {"a main header size below its fixed part is not stepped back into",
       ArchiveOf({StoredEntry("a.txt", "a")}, small_main),
       {"a.txt", "result 0"}},
      {"a long name is cut and the walk stays in step",
       ArchiveOf({StoredEntry(std::string(300, 'n'), "x"), StoredEntry("next.txt", "y")}),
       {std::string(259, 'n'), "next.txt", "result 0"}},
      {"slashes become backslashes",
       ArchiveOf({StoredEntry("dir/sub/file.txt", "x")}),
       {"dir\\sub\\file.txt", "result 0"}},
      {"host 3 with all dictionary bits is a directory", hosted(3, 0x80E0, 0x41ED), {"result 0"}},
      {"host 3 with other dictionary bits is a file", hosted(3, 0x8090, 0x41ED), {"entry", "result 0"}},
      {"host 4 is the first above 3", hosted(4, 0x80E0, 0x0020), {"result 0"}},
      {"hosts above 3 follow the same rule", hosted(5, 0x80E0, 0x0020), {"result 0"}},
      {"hosts above 3 make plain files of the rest", hosted(7, 0x8000, 0x0010), {"entry", "result 0"}},
      {"host 2 keeps its directory attribute", hosted(2, 0x8000, 0x0010), {"result 0"}},
      {"host 0 keeps its file attribute despite the bits", hosted(0, 0x80E0, 0x0020), {"entry", "result 0"}},
      {"checks over the whole header", good, {"a.txt", "b.txt", "result 0"}},
      {"checks over the fixed part and name",
       ArchiveOf({StoredEntry("a.txt", "a"), name_and_fixed_part}),
       {"a.txt", "b.txt", "result 0"}},
      {"a main header checked over its fixed part",
       ArchiveOf({StoredEntry("a.txt", "a")}, comment),
       {"a.txt", "result 0"}},
      {"a main header checked with its comment",
       ArchiveOf({StoredEntry("a.txt", "a")}, whole_comment),
       {"a.txt", "result 0"}},
      {"a check value that matches neither", ArchiveOf({StoredEntry("a.txt", "a"), bad_check}), {"a.txt", "result 3"}},
      {"a damaged name", changed(33, 'c'), {"a.txt", "result 3"}},
      {"damage after the name", changed(37, 'X'), {"a.txt", "result 3"}},
      {"damaged attributes", changed(28, '\x27'), {"a.txt", "result 3"}},
      {"a file header turned into another block type", as_comment, {"a.txt", "result 3"}},
      {"a block type the format does not have", unknown.bytes(), {"a.txt", "result 3"}},
      {"a damaged main header", ArchiveOf({StoredEntry("a.txt", "a")}, bad_main), {"result 3"}},
  };
  for (const CheckCase& c : cases) {
    uint32_t failure = 0;
    EXPECT_EQ(OfferedNames(c.archive, &failure), c.offered) << c.why;
    EXPECT_EQ(failure, c.offered.back() == "result 0" ? kFailureNone : kFailureHeader) << c.why;
  }
}

}  // namespace
