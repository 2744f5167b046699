#include "pack/lz_format.h"

namespace pack {

// Each slot's base is the previous base plus 2^(previous extra-bit count),
// so the bases follow from the bit counts alone.
const uint8_t kLengthSlotBits[kRepLengthSymbols] = {
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
const uint8_t kDistSlotBits[kDistSymbols] = {
    0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,  7,  7,  8,  8,  9,  9,  10, 10,
    11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};
static const uint8_t kShortSlotBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

namespace {

// Bases built once from the bit counts; base[count] is one past the last value.
template <int N>
struct SlotBases {
  uint32_t base[N + 1];
  explicit SlotBases(const uint8_t* bits) {
    base[0] = 0;
    for (int i = 0; i < N; ++i) base[i + 1] = base[i] + (1u << bits[i]);
  }
};

template <int N>
SlotCode FindSlot(const SlotBases<N>& bases, const uint8_t* bits, uint32_t value) {
  // Binary search for the last base not above the value.
  int low = 0, high = N - 1;
  while (low < high) {
    int mid = (low + high + 1) / 2;
    if (bases.base[mid] <= value) low = mid; else high = mid - 1;
  }
  return SlotCode{static_cast<uint32_t>(low), bits[low], value - bases.base[low]};
}

const SlotBases<kRepLengthSymbols> kLengthBases(kLengthSlotBits);
const SlotBases<kDistSymbols> kDistBases(kDistSlotBits);
const SlotBases<8> kShortBases(kShortSlotBits);

struct LengthLookup {
  uint8_t slot[kMaxLengthValue + 1];
  LengthLookup() {
    for (uint32_t v = 0; v <= kMaxLengthValue; ++v)
      slot[v] = static_cast<uint8_t>(FindSlot(kLengthBases, kLengthSlotBits, v).slot);
  }
};
const LengthLookup kLengthLookup;

}  // namespace

SlotCode LengthSlot(uint32_t value) {
  uint32_t slot = kLengthLookup.slot[value];
  return SlotCode{slot, kLengthSlotBits[slot], value - kLengthBases.base[slot]};
}

SlotCode DistanceSlot(uint32_t distance) {
  uint32_t slot = DistanceSlotOf(distance);
  return SlotCode{slot, kDistSlotBits[slot], distance - 1 - kDistBases.base[slot]};
}

SlotCode ShortSlot(uint32_t distance) { return FindSlot(kShortBases, kShortSlotBits, distance - 1); }

}  // namespace pack
