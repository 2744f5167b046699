#include "archive/entry_output.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/archive/test_context.h"
#include "tests/support/scratch.h"

namespace {

const uint8_t kAbc[] = {'a', 'b', 'c'};

enum Destination { kToFile, kToMemory, kVerify, kSkipped, kNowhere };

struct SinkCase {
  const char* why;
  Destination destination;
  uint32_t flavour;
  uint32_t expected_written;
  uint32_t expected_crc;  // the running value after "abc"
};

const SinkCase kSinkCases[] = {
    {"a file takes every byte and advances the CRC", kToFile, 2, 3, 0xCADBBE3D},
    {"memory takes every byte and advances the CRC", kToMemory, 2, 3, 0xCADBBE3D},
    {"a verified entry reports every byte and advances the CRC", kVerify, 2, 3, 0xCADBBE3D},
    {"the older flavour sums instead", kToMemory, 1, 3, 0x0556},
    {"a skipped entry delivers nothing and keeps its seed", kSkipped, 2, 0, 0xFFFFFFFF},
    {"no destination delivers nothing and the CRC covers nothing", kNowhere, 2, 0, 0xFFFFFFFF},
};

TEST(OutputSink, DeliversToTheChosenDestination) {
  for (const SinkCase& c : kSinkCases) {
    TestContext context;
    std::string path = ScratchFolder() + "out";
    context->archive_flavour = c.flavour;
    context->entry_crc = c.flavour == 1 ? 0 : 0xFFFFFFFF;
    if (c.destination == kToFile) context->output_file = fopen(path.c_str(), "w+b");
    if (c.destination == kToMemory) context->memory_buffer = context.buffer();
    if (c.destination == kVerify) context->verify_only = 1;
    if (c.destination == kSkipped) context->skip_output = 1;
    EXPECT_EQ(WriteOut(context.get(), kAbc, 3), c.expected_written) << c.why;
    EXPECT_EQ(context->entry_crc, c.expected_crc) << c.why;
    EXPECT_EQ(context->output_failed, 0u) << c.why;
    if (c.destination == kToFile) {
      fclose(context->output_file);
      context->output_file = nullptr;
      EXPECT_EQ(ReadWholeFile(path), "abc") << c.why;
    }
    if (c.destination == kToMemory) {
      EXPECT_EQ(context.Delivered(), "abc") << c.why;
    }
  }
}

// A file that refuses the bytes lowers the count, leaves them out of the
// checksum and marks the entry as damaged.
TEST(OutputSink, AFailedWriteIsCountedAndMarked) {
  TestContext context;
  std::string path = ScratchFolder() + "out";
  WriteWholeFile(path, "");
  context->output_file = fopen(path.c_str(), "rb");
  context->entry_crc = 0xFFFFFFFF;
  EXPECT_EQ(WriteOut(context.get(), kAbc, 3), 0u);
  EXPECT_EQ(context->entry_crc, 0xFFFFFFFFu);
  EXPECT_EQ(context->output_failed, 1u);
}

class FlushTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_->window = static_cast<uint8_t*>(ZeroAlloc(kWindowBufferSize));
    context_->decoder.window = context_->window;
    for (uint32_t i = 0; i < kWindowBufferSize; ++i) context_->window[i] = static_cast<uint8_t>(i % 251);
    context_->memory_buffer = context_.buffer();
    context_->entry_crc = 0xFFFFFFFF;
  }
  std::string WindowBytes(uint32_t from, uint32_t count) {
    return std::string(reinterpret_cast<const char*>(context_->window) + from, count);
  }
  TestContext context_;
};

// The bytes between the flushed position and the write position go out,
// those that wrapped tail first; the flushed position catches up in every
// case.
TEST_F(FlushTest, PendingBytesGoOutInOrderAndTheFlushedPositionCatchesUp) {
  const uint32_t tail = kWindowBufferSize - 16;
  struct {
    const char* why;
    uint32_t flushed, pos;
    bool skip;
    int pieces;  // appends to memory; -1: not counted (an empty one is harmless)
    std::string delivered;
  } const cases[] = {
      {"wrapped: tail first, in two pieces", tail, 10, false, 2, WindowBytes(tail, 16) + WindowBytes(0, 10)},
      {"in one piece", 100, 400, false, 1, WindowBytes(100, 300)},
      {"nothing pending writes nothing", 777, 777, false, -1, ""},
      {"skipped output still moves on", 5, 5000, true, 0, ""},
  };
  for (const auto& c : cases) {
    MemoryBufferReset(context_.buffer());
    context_->memory_buffer = c.skip ? nullptr : context_.buffer();
    context_->skip_output = c.skip;
    context_->entry_crc = 0xFFFFFFFF;
    context_.decoder()->win_flushed = c.flushed;
    context_.decoder()->win_pos = c.pos;
    FlushWindow(context_.get());
    EXPECT_TRUE(c.pieces < 0 || context_.buffer()->append_count == c.pieces) << c.why;
    EXPECT_EQ(context_.Delivered(), c.delivered) << c.why;
    EXPECT_EQ(context_.decoder()->win_flushed, c.pos) << c.why;
    // The checksum covers what went out, and nothing else.
    EXPECT_EQ(context_->entry_crc == 0xFFFFFFFFu, c.delivered.empty()) << c.why;
  }
}

}  // namespace
