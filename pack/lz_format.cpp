#include "pack/lz_format.h"

namespace pack {

namespace {

// The last slot whose base is not above `value`, by binary search.
template <typename Base, uint32_t N>
uint32_t SlotOf(const Base (&base)[N], uint32_t value) {
  uint32_t low = 0, high = N - 1;
  while (low < high) {
    uint32_t mid = (low + high + 1) / 2;
    if (base[mid] <= value)
      low = mid;
    else
      high = mid - 1;
  }
  return low;
}

struct LengthLookup {
  uint8_t slot[kMaxLengthValue + 1];
  LengthLookup() {
    for (uint32_t v = 0; v <= kMaxLengthValue; ++v) slot[v] = static_cast<uint8_t>(SlotOf(kLengthBase, v));
  }
};
const LengthLookup kLengthLookup;

}  // namespace

SlotCode LengthSlot(uint32_t value) {
  uint32_t slot = kLengthLookup.slot[value];
  return SlotCode{slot, kLengthBits[slot], value - kLengthBase[slot]};
}

SlotCode DistanceSlot(uint32_t distance) {
  uint32_t slot = DistanceSlotOf(distance);
  return SlotCode{slot, kDistBits[slot], distance - 1 - kDistBase[slot]};
}

SlotCode ShortSlot(uint32_t distance) {
  uint32_t slot = SlotOf(kShortBase, distance - 1);
  return SlotCode{slot, kShortBits[slot], distance - 1 - kShortBase[slot]};
}

}  // namespace pack
