// The bytes the compressor can still refer to: every compressed entry's data
// since the last reset, as one stream in absolute positions, of which the
// last window's worth (plus what is not yet parsed) stays in memory.
#pragma once

#include <cstdint>
#include <vector>

#include "pack/lz_format.h"

namespace pack {

// Absolute positions start here, so that 0 never names a real byte.
constexpr uint32_t kFirstPosition = 1;

class History {
 public:
  History();

  // Drops everything; the next byte gets position kFirstPosition.
  void Reset();

  uint32_t start() const { return start_; }  // first position since the reset
  uint32_t end() const { return end_; }      // one past the last byte read
  const uint8_t* At(uint32_t position) const { return &data_[position - base_]; }
  // The first position a match at `position` may refer to.
  uint32_t WindowStart(uint32_t position) const {
    return position - start_ > kWindowSize ? position - kWindowSize : start_;
  }

  // Room for `count` more bytes at end(), sliding out bytes more than one
  // window before `keep_from`. Commit then adds the bytes written there.
  uint8_t* Reserve(uint32_t count, uint32_t keep_from);
  void Commit(uint32_t count) { end_ += count; }

  // Marks the start of an entry that may be taken back; TakeBackEntry then
  // returns to the state before its first byte (the window before it is
  // saved aside if a slide would drop it).
  void BeginEntry();
  void TakeBackEntry();

 private:
  std::vector<uint8_t> data_;
  uint32_t base_ = kFirstPosition;  // position of data_[0]
  uint32_t start_ = kFirstPosition;
  uint32_t end_ = kFirstPosition;
  uint32_t entry_start_ = kFirstPosition;
  std::vector<uint8_t> saved_;  // the window before entry_start_, once a slide needed it
  uint32_t saved_base_ = 0;
};

}  // namespace pack
