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
    // Invariant: pending_ holds pending_bits_ (< 32 after each call) bits,
    // right-aligned, not yet in bytes_; 31 + 32 bits fit its 64. Handing
    // out four bytes at a time keeps the per-symbol work to a shift and an
    // add.
    pending_ = (pending_ << count) | (value & ((uint64_t{1} << count) - 1));
    pending_bits_ += count;
    if (pending_bits_ >= 32) {
      pending_bits_ -= 32;
      uint32_t word = static_cast<uint32_t>(pending_ >> pending_bits_);
      // bytes_ is kept at least 4 bytes larger than what it holds.
      uint8_t* out = &bytes_[used_];
      out[0] = static_cast<uint8_t>(word >> 24);
      out[1] = static_cast<uint8_t>(word >> 16);
      out[2] = static_cast<uint8_t>(word >> 8);
      out[3] = static_cast<uint8_t>(word);
      used_ += 4;
      if (bytes_.size() - used_ < 4) bytes_.resize(2 * bytes_.size());
    }
  }

  // Pads the last byte with zero bits.
  void AlignToByte() {
    if (pending_bits_ % 8 != 0) Write(0, 8 - pending_bits_ % 8);
  }

  uint64_t BitCount() const { return uint64_t{used_} * 8 + pending_bits_; }

  // Hands over the whole bytes written so far and keeps the partial byte.
  void TakeBytes(std::vector<uint8_t>* out) {
    MoveWholeBytes();
    out->insert(out->end(), bytes_.begin(), bytes_.begin() + used_);
    used_ = 0;
  }
  void Clear() {
    used_ = 0;
    pending_ = 0;
    pending_bits_ = 0;
  }

 private:
  // Fewer than 32 bits are pending, so at most 3 whole bytes move, and the
  // room of 4 always holds them.
  void MoveWholeBytes() {
    while (pending_bits_ >= 8) {
      pending_bits_ -= 8;
      bytes_[used_++] = static_cast<uint8_t>(pending_ >> pending_bits_);
    }
    if (bytes_.size() - used_ < 4) bytes_.resize(2 * bytes_.size());
  }

  std::vector<uint8_t> bytes_ = std::vector<uint8_t>(1u << 16);
  size_t used_ = 0;  // bytes_[0, used_) holds the whole bytes written
  uint64_t pending_ = 0;
  int pending_bits_ = 0;
};

}  // namespace pack
