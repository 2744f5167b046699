// Hash chains over the history: for a position, the nearest earlier
// occurrences of each longer match, within the window. The chains link
// positions with equal 4-byte hashes; 3-byte matches, worth coding only
// when near, come from a table of the newest position per 3-byte hash.
#pragma once

#include <cstdint>
#include <vector>

#include "pack/history.h"

namespace pack {

struct Match {
  uint32_t length;
  uint32_t distance;
};

// Bytes from a position on that Insert and FindMatches read.
constexpr uint32_t kHashedBytes = 4;

// Most matches FindMatches reports for one position.
constexpr int kMaxMatchesPerPosition = 16;

class MatchFinder {
 public:
  // `depth` bounds the chain walk; a match of `nice_length` ends it early,
  // and one of a quarter of that shortens what is left of it.
  MatchFinder(int hash_bits, int depth, uint32_t nice_length);

  void Reset();

  // Records `position` (needs 4 bytes of history there) without searching,
  // for both FindMatches and FindShortMatch.
  void Insert(const History& history, uint32_t position);

  // Returns the matches found at `position`, by increasing length, each the
  // nearest candidate of its length, at most `max_length` long and never
  // shorter than a new match at its distance can be coded. Candidates lie at
  // or after `lowest` and before `position`. With `record` the position is
  // recorded too; without, it may already have been.
  int FindMatches(const History& history, uint32_t position, uint32_t max_length,
                  uint32_t lowest, bool record, Match* out);

  // The distance of the nearest 2-byte match within 256 bytes, or 0. With
  // `record`, also records the position's byte pair (FindMatches does not).
  uint32_t FindShortMatch(const History& history, uint32_t position, uint32_t lowest, bool record);

 private:
  uint32_t Hash4(const uint8_t* bytes) const;
  static uint32_t Hash3(const uint8_t* bytes);

  int hash_bits_;
  int depth_;
  uint32_t nice_length_;
  uint32_t good_length_;
  std::vector<uint32_t> head_;       // newest position per hash of 4 bytes
  std::vector<uint32_t> head3_;      // newest position per hash of 3 bytes
  std::vector<uint32_t> prev_;       // previous position with the same hash, by position mod window
  std::vector<uint32_t> pair_head_;  // newest position per 2-byte pair
};

// Length of the common prefix of a and b, at most `limit` bytes.
uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t limit);

}  // namespace pack
