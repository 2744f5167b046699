// The loads and hashes that the match finders key their tables by: the
// next 4 or 8 bytes of the data, as a little-endian word, multiplied by a
// large odd constant so that the product's top bits depend on every byte.
#pragma once

#include <cstdint>
#include <cstring>

namespace pack {

inline uint32_t Load32(const uint8_t* bytes) {
  uint32_t value;
  std::memcpy(&value, bytes, 4);
  return value;
}

inline uint64_t Load64(const uint8_t* bytes) {
  uint64_t value;
  std::memcpy(&value, bytes, 8);
  return value;
}

// The top `bits` bits of the 4 bytes' product.
inline uint32_t HashOf4(const uint8_t* bytes, int bits) { return (Load32(bytes) * 2654435761u) >> (32 - bits); }

// The whole product of the 8 bytes: a table takes its top bits as the slot
// and may keep the low half to tell strangers apart.
inline uint64_t HashOf8(const uint8_t* bytes) { return Load64(bytes) * 0x9E3779B97F4A7C15u; }

}  // namespace pack
