#include "pack/history.h"

#include <cstring>

#include "pack/lz_format.h"

namespace pack {

namespace {
// A window of history, one of look-ahead and room to read in large pieces.
constexpr uint32_t kCapacity = 4 * kWindowSize;
}  // namespace

History::History() : data_(kCapacity) {}

void History::Reset() {
  base_ = start_ = end_ = entry_start_ = kFirstPosition;
  saved_.clear();
}

// Callers keep end() - keep_from + count within kCapacity - kWindowSize, so
// one slide always makes room.
uint8_t* History::Reserve(uint32_t count, uint32_t keep_from) {
  if (end_ - base_ + count > kCapacity) {
    uint32_t new_base = keep_from > base_ + kWindowSize ? keep_from - kWindowSize : base_;
    uint32_t protect = entry_start_ > start_ + kWindowSize ? entry_start_ - kWindowSize : start_;
    if (new_base > protect && saved_.empty() && entry_start_ > protect) {
      saved_.assign(At(protect), At(entry_start_));
      saved_base_ = protect;
    }
    std::memmove(data_.data(), At(new_base), end_ - new_base);
    base_ = new_base;
  }
  return &data_[end_ - base_];
}

void History::BeginEntry() {
  entry_start_ = end_;
  saved_.clear();
}

void History::TakeBackEntry() {
  if (!saved_.empty()) {
    std::memcpy(data_.data(), saved_.data(), saved_.size());
    base_ = saved_base_;
    saved_.clear();
  } else if (base_ > entry_start_) {
    base_ = entry_start_;  // the entry had no history before it
  }
  end_ = entry_start_;
}

}  // namespace pack
