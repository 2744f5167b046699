// A pass context with a window and a memory destination, fed hand-built
// packed streams one entry at a time.
#pragma once

#include <cstdio>
#include <string>

#include "archive/extract_context.h"
#include "archive/packed_entry.h"
#include "tests/archive/test_context.h"
#include "tests/support/scratch.h"
#include "unpack/bit_input.h"
#include "unpack/lz_decoder.h"

class UnpackHarness {
 public:
  UnpackHarness() : folder_(ScratchFolder()) {
    context_->window = static_cast<uint8_t*>(ZeroAlloc(kWindowBufferSize));
    context_->decoder.window = context_->window;
    context_->memory_buffer = context_.buffer();
  }

  // The decoder under test, and the pass context around it.
  Decoder* operator->() { return context_.decoder(); }
  Decoder* get() { return context_.decoder(); }
  ExtractContext* context() { return context_.get(); }

  // Makes `packed` the packed data of the next entry and fills in_buf.
  void Input(const std::string& packed) {
    if (context_->archive_file != nullptr) fclose(context_->archive_file);
    context_.SetInput(folder_ + "packed" + std::to_string(inputs_++), packed, static_cast<int32_t>(packed.size()));
    FillInput(context_.input(), true);
  }

  // Unpacks one entry of `size` bytes from `packed` with `decoder`; returns
  // what it delivered.
  std::string Entry(const std::string& packed, int32_t size, bool solid,
                    void (*decoder)(ExtractContext*, uint8_t*, bool) = UnpackEntry) {
    if (context_->archive_file != nullptr) fclose(context_->archive_file);
    context_.SetInput(folder_ + "packed" + std::to_string(inputs_++), packed, static_cast<int32_t>(packed.size()));
    MemoryBufferReset(context_.buffer());
    context_->decoder.unpacked_left = size;
    context_->entry_crc = 0xFFFFFFFF;
    decoder(context_.get(), context_->window, solid);
    return context_.Delivered();
  }

 private:
  TestContext context_;
  std::string folder_;
  int inputs_ = 0;
};
