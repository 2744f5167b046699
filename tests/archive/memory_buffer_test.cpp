#include "archive/memory_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

struct GrowthCase {
  const char* why;
  uint32_t held;  // bytes already in a buffer of capacity `capacity` (0 = no storage)
  uint32_t capacity;
  uint32_t appended;
  uint32_t expected_capacity;
};

// Storage grows by the larger of the append and 4 KiB, and at least doubles.
const GrowthCase kGrowthCases[] = {
    {"a small first append takes the minimum step", 0, 0, 10, 4096},
    {"a large first append takes exactly its size", 0, 0, 5000, 5000},
    {"an append that fits keeps the storage", 4000, 4096, 96, 4096},
    {"a small overflow grows by one step", 4090, 4096, 100, 8192},
    {"a large overflow grows by the append", 4090, 4096, 6000, 10096},
    {"a small overflow of a larger storage doubles it", 8000, 8000, 500, 16000},
};

TEST(MemoryBuffer, GrowsByTheAppendOrOneStepAndAtLeastDoubles) {
  for (const GrowthCase& c : kGrowthCases) {
    MemoryBuffer buffer;
    MemoryBufferInit(&buffer);
    std::vector<uint8_t> first(c.held), second(c.appended);
    for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<uint8_t>(i * 7);
    for (size_t i = 0; i < second.size(); ++i) second[i] = static_cast<uint8_t>(i * 13 + 1);
    if (c.capacity > 0) {
      ASSERT_EQ(MemoryBufferAppend(&buffer, first.data(), c.held), 0) << c.why;
      ASSERT_EQ(buffer.capacity, c.capacity) << c.why;
    }
    ASSERT_EQ(MemoryBufferAppend(&buffer, second.data(), c.appended), 0) << c.why;
    EXPECT_EQ(buffer.capacity, c.expected_capacity) << c.why;
    ASSERT_EQ(buffer.length, c.held + c.appended) << c.why;
    // The content survives the move into grown storage.
    EXPECT_TRUE(std::equal(first.begin(), first.end(), buffer.data)) << c.why;
    EXPECT_TRUE(std::equal(second.begin(), second.end(), buffer.data + c.held)) << c.why;
    EXPECT_EQ(buffer.append_count, c.capacity > 0 ? 2 : 1) << c.why;
    MemoryBufferRelease(&buffer);
  }
}

// Reset keeps the storage for the next entry. A growth that cannot be had
// (here: past 4 GiB) loses the content and reports that nothing was
// appended; the next append starts afresh. Release frees it all.
TEST(MemoryBuffer, ResetKeepsTheStorageAndFailedGrowthDropsIt) {
  MemoryBuffer buffer;
  MemoryBufferInit(&buffer);
  std::vector<uint8_t> big(6000, 'x');
  ASSERT_EQ(MemoryBufferAppend(&buffer, big.data(), 6000), 0);
  uint8_t* storage = buffer.data;
  MemoryBufferReset(&buffer);
  ASSERT_EQ(MemoryBufferAppend(&buffer, reinterpret_cast<const uint8_t*>("abc"), 3), 0);
  EXPECT_EQ(buffer.length, 3u);
  EXPECT_EQ(buffer.append_count, 1);
  EXPECT_EQ(buffer.data, storage);
  EXPECT_EQ(buffer.capacity, 6000u);

  const uint8_t unread = 0;  // the failing append must not read its bytes
  EXPECT_EQ(MemoryBufferAppend(&buffer, &unread, 0xFFFFFFF0u), 1);
  EXPECT_EQ(buffer.data, nullptr);
  EXPECT_EQ(buffer.length, 0u);
  ASSERT_EQ(MemoryBufferAppend(&buffer, reinterpret_cast<const uint8_t*>("de"), 2), 0);
  EXPECT_EQ(buffer.length, 2u);
  EXPECT_EQ(buffer.append_count, 1);

  MemoryBufferRelease(&buffer);
  EXPECT_EQ(buffer.data, nullptr);
  EXPECT_EQ(buffer.capacity, 0u);
  EXPECT_EQ(buffer.length, 0u);
}

}  // namespace
