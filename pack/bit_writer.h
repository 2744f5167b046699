// Most-significant-bit-first bit output, the order in which the decoder
// peeks 16 bits at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pack {

class BitWriter {
 public:
  // Appends the low `count` bits of `value` (count 0..32), highest first.
  void Write(uint32_t value, int count) {
    // Invariant: pending_ holds pending_bits_ (< 8 after each call) bits,
    // right-aligned, not yet in bytes_.
    pending_ = (pending_ << count) | (value & ((uint64_t{1} << count) - 1));
    pending_bits_ += count;
    while (pending_bits_ >= 8) {
      pending_bits_ -= 8;
      bytes_.push_back(static_cast<uint8_t>(pending_ >> pending_bits_));
    }
  }

  // Pads the last byte with zero bits.
  void AlignToByte() {
    if (pending_bits_ > 0) Write(0, 8 - pending_bits_);
  }

  uint64_t BitCount() const { return uint64_t{bytes_.size()} * 8 + pending_bits_; }

  // Whole bytes written so far; TakeBytes hands them over and keeps the
  // partial byte.
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  void TakeBytes(std::vector<uint8_t>* out) {
    out->insert(out->end(), bytes_.begin(), bytes_.end());
    bytes_.clear();
  }
  void Clear() {
    bytes_.clear();
    pending_ = 0;
    pending_bits_ = 0;
  }

 private:
  std::vector<uint8_t> bytes_;
  uint64_t pending_ = 0;
  int pending_bits_ = 0;
};

}  // namespace pack
