#include "pack/match_finder.h"

#include <algorithm>
#include <cstring>

#include "pack/lz_format.h"

namespace pack {

namespace {
constexpr int kHash3Bits = 14;
}  // namespace

uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
  uint32_t length = 0;
  while (length + 8 <= limit) {
    uint64_t x, y;
    std::memcpy(&x, a + length, 8);
    std::memcpy(&y, b + length, 8);
    uint64_t difference = x ^ y;
    if (difference != 0) {
      // The first differing byte: lowest on little-endian hosts.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
      return length + static_cast<uint32_t>(__builtin_ctzll(difference) >> 3);
#else
      break;
#endif
    }
    length += 8;
  }
  while (length < limit && a[length] == b[length]) ++length;
  return length;
}

MatchFinder::MatchFinder(int hash_bits, int depth, uint32_t nice_length)
    : hash_bits_(hash_bits),
      depth_(depth),
      nice_length_(nice_length),
      good_length_(std::max(nice_length / 4, kMinNewMatch + 1)),
      head_(size_t{1} << hash_bits),
      head3_(size_t{1} << kHash3Bits),
      prev_(kWindowBytes),
      pair_head_(size_t{1} << 16) {}

void MatchFinder::Reset() {
  std::fill(head_.begin(), head_.end(), 0);
  std::fill(head3_.begin(), head3_.end(), 0);
  std::fill(pair_head_.begin(), pair_head_.end(), 0);
  // prev_ needs no clearing: it is only reached through head_.
}

uint32_t MatchFinder::Hash4(const uint8_t* bytes) const {
  uint32_t value;
  std::memcpy(&value, bytes, 4);
  return (value * 2654435761u) >> (32 - hash_bits_);
}

uint32_t MatchFinder::Hash3(const uint8_t* bytes) {
  uint32_t value = (uint32_t{bytes[0]} << 16) | (uint32_t{bytes[1]} << 8) | bytes[2];
  return (value * 2654435761u) >> (32 - kHash3Bits);
}

void MatchFinder::Insert(const History& history, uint32_t position) {
  const uint8_t* here = history.At(position);
  pair_head_[here[0] | (here[1] << 8)] = position;
  head3_[Hash3(here)] = position;
  uint32_t& head = head_[Hash4(here)];
  prev_[position & (kWindowBytes - 1)] = head;
  head = position;
}

int MatchFinder::FindMatches(const History& history, uint32_t position, uint32_t max_length,
                             uint32_t lowest, bool record, Match* out) {
  const uint8_t* here = history.At(position);
  uint32_t& head3 = head3_[Hash3(here)];
  uint32_t near = head3;
  uint32_t& head = head_[Hash4(here)];
  uint32_t candidate = head;
  if (record) {
    head3 = position;
    prev_[position & (kWindowBytes - 1)] = candidate;
    head = position;
  } else {
    // Skip what was recorded at or after this position.
    while (candidate >= position) {
      uint32_t next = prev_[candidate & (kWindowBytes - 1)];
      if (next >= candidate) return 0;
      candidate = next;
    }
  }
  if (max_length < kMinNewMatch) return 0;

  int count = 0;
  uint32_t best = kMinNewMatch - 1;
  // A 3-byte match only counts when it is near enough to code as one.
  if (near >= lowest && near < position && position - near < 0x2000) {
    uint32_t length = MatchLength(history.At(near), here, max_length);
    if (length >= kMinNewMatch) {
      best = length;
      out[count++] = Match{length, position - near};
      if (length >= nice_length_ || length == max_length) return count;
    }
  }
  if (best < 3) best = 3;  // the chains only find 4-byte matches
  if (max_length <= best) return count;
  // Chains run from newer to older positions; a link that does not go back
  // is stale (its slot was reused) and ends the walk.
  for (int steps = depth_; steps > 0 && candidate >= lowest && candidate != 0; --steps) {
    const uint8_t* there = history.At(candidate);
    if (there[best] == here[best]) {
      uint32_t length = MatchLength(there, here, max_length);
      uint32_t distance = position - candidate;
      if (length > best && length >= MinNewMatch(distance)) {
        // A good match found makes a long further search unlikely to pay.
        if (best < good_length_ && length >= good_length_) steps = (steps + 3) / 4;
        best = length;
        if (count == kMaxMatchesPerPosition) --count;  // keep the longest
        out[count++] = Match{length, distance};
        if (length >= nice_length_ || length == max_length) break;
      }
    }
    uint32_t next = prev_[candidate & (kWindowBytes - 1)];
    if (next >= candidate) break;
    candidate = next;
  }
  return count;
}

uint32_t MatchFinder::FindShortMatch(const History& history, uint32_t position, uint32_t lowest,
                                     bool record) {
  const uint8_t* here = history.At(position);
  uint32_t& head = pair_head_[here[0] | (here[1] << 8)];
  uint32_t candidate = head;
  if (record) head = position;
  if (candidate == 0 || candidate < lowest || candidate >= position ||
      position - candidate > kMaxShortDistance) {
    return 0;
  }
  const uint8_t* there = history.At(candidate);
  return there[0] == here[0] && there[1] == here[1] ? position - candidate : 0;
}

}  // namespace pack
