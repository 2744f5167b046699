#include "archive/stored_entry.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/archive/test_context.h"
#include "tests/support/scratch.h"
#include "tools/archive_writer.h"

namespace {

struct StoredCase {
  const char* why;
  size_t file_bytes;  // bytes in the file from the entry's data on
  int32_t packed;
  int32_t unpacked;
  size_t expected;  // bytes delivered
};

const StoredCase kStoredCases[] = {
    {"an empty entry delivers nothing", 10, 0, 0, 0},
    {"a small entry is copied whole", 100, 100, 100, 100},
    {"bytes after the packed data are not read", 200, 100, 100, 100},
    {"packed bytes beyond the unpacked size are dropped", 105, 105, 100, 100},
    {"a packed size short of the unpacked size delivers what there is", 100, 60, 100, 60},
    {"a file cut short delivers what it holds", 50, 100, 100, 50},
    {"several copy blocks, the last one partial", 100000, 100000, 100000, 100000},
    {"a size of 2 GiB or more delivers nothing", 100, 100, static_cast<int32_t>(0x80000000u), 0},
};

TEST(CopyStored, DeliversAtMostTheUnpackedSize) {
  for (const StoredCase& c : kStoredCases) {
    TestContext context;
    std::string bytes = PatternBytes(c.file_bytes);
    context.SetInput(ScratchFolder() + "archive", bytes, c.packed);
    context.decoder()->unpacked_left = c.unpacked;
    context->memory_buffer = context.buffer();
    context->entry_crc = 0xFFFFFFFF;
    EXPECT_EQ(CopyStored(context.get()), 0) << c.why;
    EXPECT_EQ(context.Delivered(), bytes.substr(0, c.expected)) << c.why;
    // The running value has no final inversion yet.
    EXPECT_EQ(context->entry_crc, ~Crc32Of(bytes.substr(0, c.expected))) << c.why;
  }
}

}  // namespace
