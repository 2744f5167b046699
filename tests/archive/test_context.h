// A zero-filled pass context for tests of the pieces below the driver, with
// its CRC table built and, when asked, a window.
#pragma once

#include <cstdio>
#include <string>

#include "archive/extract_context.h"

// Bytes that differ from their neighbours, so that a shifted or repeated
// piece shows.
inline std::string PatternBytes(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
  return bytes;
}

class TestContext {
 public:
  TestContext() {
    context_ = static_cast<ExtractContext*>(ZeroAlloc(sizeof(ExtractContext)));
    BuildCrc32Table(&context_->crc32_table);
    context_->archive_flavour = 2;
    MemoryBufferInit(&buffer_);
  }
  ~TestContext() {
    if (context_->archive_file != nullptr) fclose(context_->archive_file);
    if (context_->output_file != nullptr) fclose(context_->output_file);
    MemoryBufferRelease(&buffer_);
    FreeAndNull(context_->window);
    FreeAndNull(context_);
  }
  TestContext(const TestContext&) = delete;
  TestContext& operator=(const TestContext&) = delete;

  ExtractContext* operator->() { return context_; }
  ExtractContext* get() { return context_; }
  Decoder* decoder() { return &context_->decoder; }
  BitInput* input() { return &context_->decoder.input; }
  MemoryBuffer* buffer() { return &buffer_; }

  // Makes `bytes` the packed input, with `packed_size` of them belonging to
  // the entry.
  void SetInput(const std::string& path, const std::string& bytes, int32_t packed_size) {
    FILE* file = fopen(path.c_str(), "w+b");
    fwrite(bytes.data(), 1, bytes.size(), file);
    rewind(file);
    context_->archive_file = file;
    context_->decoder.input.input_file = file;
    context_->decoder.input.packed_left = packed_size;
  }

  // The memory buffer as a string.
  std::string Delivered() const { return std::string(reinterpret_cast<const char*>(buffer_.data), buffer_.length); }

 private:
  ExtractContext* context_;
  MemoryBuffer buffer_;
};
