// The packer's input and output held in memory, for callers that have an
// entry's bytes at hand rather than in a file.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pack/packer.h"

namespace pack {

// Hands out the `size` bytes at `data`, which must outlive it.
class MemoryInput : public PackInput {
 public:
  MemoryInput(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), left_(size) {}
  size_t Read(uint8_t* destination, size_t count) override {
    size_t n = std::min(count, left_);
    std::copy(data_, data_ + n, destination);
    data_ += n;
    left_ -= n;
    return n;
  }

 private:
  const uint8_t* data_;
  size_t left_;
};

// Keeps every packed byte.
class MemoryOutput : public PackOutput {
 public:
  bool Write(const uint8_t* data, size_t count) override {
    bytes.insert(bytes.end(), data, data + count);
    return true;
  }
  std::vector<uint8_t> bytes;
};

}  // namespace pack
