#include "unpack/output_sink.h"

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
    for (uint32_t i = 0; i < kWindowBufferSize; ++i) context_->window[i] = static_cast<uint8_t>(i % 251);
    context_->memory_buffer = context_.buffer();
    context_->entry_crc = 0xFFFFFFFF;
  }
  std::string WindowBytes(uint32_t from, uint32_t count) {
    return std::string(reinterpret_cast<const char*>(context_->window) + from, count);
  }
  TestContext context_;
};

TEST_F(FlushTest, WrappedBytesGoOutTailFirstInTwoPieces) {
  context_->win_flushed = kWindowBufferSize - 16;
  context_->win_pos = 10;
  FlushWindow(context_.get());
  EXPECT_EQ(context_.buffer()->append_count, 2);
  EXPECT_EQ(context_.Delivered(), WindowBytes(kWindowBufferSize - 16, 16) + WindowBytes(0, 10));
  EXPECT_EQ(context_->win_flushed, 10u);
}

TEST_F(FlushTest, PendingBytesGoOutInOnePiece) {
  context_->win_flushed = 100;
  context_->win_pos = 400;
  FlushWindow(context_.get());
  EXPECT_EQ(context_.buffer()->append_count, 1);
  EXPECT_EQ(context_.Delivered(), WindowBytes(100, 300));
  EXPECT_EQ(context_->win_flushed, 400u);
}

TEST_F(FlushTest, NothingPendingWritesNothingAndKeepsTheChecksum) {
  context_->win_flushed = context_->win_pos = 777;
  FlushWindow(context_.get());
  EXPECT_EQ(context_.buffer()->length, 0u);
  EXPECT_EQ(context_->entry_crc, 0xFFFFFFFFu);
}

TEST_F(FlushTest, SkippedOutputStillMovesTheFlushedPosition) {
  context_->memory_buffer = nullptr;
  context_->skip_output = 1;
  context_->win_flushed = 5;
  context_->win_pos = 5000;
  FlushWindow(context_.get());
  EXPECT_EQ(context_->win_flushed, 5000u);
  EXPECT_EQ(context_->entry_crc, 0xFFFFFFFFu);
}

}  // namespace
