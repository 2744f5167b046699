// What the parsers produce and the block encoder codes: one token per main
// symbol, and the match history that decides which tokens are possible.
#pragma once

#include <cstdint>

namespace pack {

enum TokenKind : uint8_t {
  kLiteral,      // value = the byte
  kNewMatch,     // length and distance coded in full
  kRecentMatch,  // value = 0..3, the recent distance used (0 = newest)
  kShortMatch,   // 2 bytes at distance 1..256
  kRepeatLast,   // the previous match's length and distance again
};

struct Token {
  uint32_t distance;
  uint16_t length;
  TokenKind kind;
  uint8_t value;
};

// The decoder's match history, kept the same way: every match records its
// distance in a ring of four and becomes the "last" match.
struct RecentState {
  uint32_t ring[4] = {0, 0, 0, 0};
  uint32_t index = 0;  // matches recorded; the next one goes to ring[index & 3]
  uint32_t last_length = 0;
  uint32_t last_distance = 0;

  // k = 0 is the newest distance, 3 the oldest.
  uint32_t Recent(int k) const { return ring[(index - 1 - k) & 3]; }
  void Record(uint32_t length, uint32_t distance) {
    ring[index & 3] = distance;
    ++index;
    last_length = length;
    last_distance = distance;
  }
};

}  // namespace pack
