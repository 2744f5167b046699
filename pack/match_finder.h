// Earlier occurrences of the bytes at a position, within the window, from
// one of three structures over the positions with equal 4-byte hashes:
// - buckets (the lazy levels): each hash keeps its few newest positions side
//   by side, so that a search asks for all their bytes at once instead of
//   waiting for each link of a chain in turn. A bucket soon forgets older
//   positions, so every eleventh position is also kept by the hash of its 8
//   bytes: a repeat from anywhere in the window is then found within a few
//   bytes of its start, and the parser's recent distances carry it on;
// - hash chains (level 4): recording a position costs two stores, and a
//   search walks back through the positions, newest first;
// - binary trees (the optimal levels, which search every position): each
//   hash keeps its positions in a tree ordered by the bytes that follow, so
//   that a search walks one path from the newest position down and meets
//   the longest matches on it; recording a position is that same walk.
// 3-byte matches, worth coding only when near, come from a table of the
// newest position per 3-byte hash, 2-byte ones from a table per byte pair.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "pack/history.h"
#include "pack/lz_format.h"

namespace pack {

struct Match {
  uint32_t length;
  uint32_t distance;
};

// How much of a found match a new-match token can code.
inline uint32_t CodableLength(const Match& match) { return std::min(match.length, MaxNewMatch(match.distance)); }

// Through data without matches (already compressed) the parsers search
// fewer positions: after this many fruitless searches in a row, one more
// position goes unsearched per search, up to 7. They are still recorded,
// so that a later copy of the data is found.
inline uint32_t SkipAfter(uint32_t misses) { return std::min(misses / 32, 7u); }

// Bytes from a position on that Insert and FindMatches read.
constexpr uint32_t kHashedBytes = 4;

// Most matches FindMatches reports for one position.
constexpr int kMaxMatchesPerPosition = 16;

enum class FinderKind { kBuckets, kChains, kTrees };

// Most positions a bucket keeps.
constexpr int kMaxBucketWays = 4;

class MatchFinder {
 public:
  // `depth` bounds a search: positions a bucket keeps, chain links
  // followed, or tree nodes visited. A match of `nice_length` ends it
  // early; in chains one of a quarter of that shortens what is left of it.
  MatchFinder(FinderKind kind, int hash_bits, int depth, uint32_t nice_length);

  void Reset();
  FinderKind kind() const { return kind_; }

  // Records `position` (needs 4 bytes of history there) without searching,
  // for the search of either kind and for FindShortMatch.
  void Insert(const History& history, uint32_t position);

  // Buckets and chains: returns the matches found at `position`, by increasing length,
  // each the nearest candidate of its length that the search met, at most
  // `max_length` long and never shorter than a new match at its distance
  // can be coded. Candidates lie at or after `lowest` and before
  // `position`. With `record` the position is recorded too; without, it may
  // already have been.
  int FindMatches(const History& history, uint32_t position, uint32_t max_length, uint32_t lowest, bool record,
                  Match* out);

  // Trees: the same search in two steps that use separate tables, so that
  // one thread can take the first for some positions while another walks
  // the trees for earlier ones. FindNearMatch gives the 3-byte match the
  // search reports first, if any (else length 0), and records the position
  // for it; TreeMatches walks the tree of the position's hash and puts the
  // position at its top, reporting (when `out` is given) each match longer
  // than `best` met on the way, at most `room` of them, the longest kept.
  void FindNearMatch(const History& history, uint32_t position, uint32_t max_length, uint32_t lowest, Match* near);
  int TreeMatches(const History& history, uint32_t position, uint32_t max_length, uint32_t lowest, uint32_t best,
                  Match* out, int room);

  // The distance of the nearest 2-byte match within 256 bytes, or 0. With
  // `record`, also records the position's byte pair (FindMatches does not).
  uint32_t FindShortMatch(const History& history, uint32_t position, uint32_t lowest, bool record);

 private:
  // Positions are recorded in order: asks for the bucket or chain head of
  // a position a little further on while this one is handled, and for the
  // bytes of the next position's candidates.
  void PrefetchAhead(const History& history, uint32_t position) const;
  // Puts `position` first in its bucket; the oldest position drops out.
  void PushToBucket(uint32_t* bucket, uint32_t position) const;
  // Buckets: keeps `position` by its 8-byte hash when it is one of those kept.
  void KeepFar(const History& history, uint32_t position);
  int BucketMatches(const History& history, uint32_t position, uint32_t max_length, uint32_t lowest, bool record,
                    int count, uint32_t best, Match* out);
  static uint32_t Hash3(const uint8_t* bytes);
  // The match with `near`, the newest position with the same 3-byte hash,
  // if it is one that can be coded (else length 0).
  Match NearMatch(const History& history, uint32_t position, uint32_t max_length, uint32_t lowest, uint32_t near) const;

  FinderKind kind_;
  int hash_bits_;
  int depth_;
  uint32_t nice_length_;
  uint32_t good_length_;
  // Per hash of 4 bytes: the bucket's positions, newest first; the newest
  // position, a chain's start or a tree's top.
  std::vector<uint32_t> head_;
  std::vector<uint32_t> head3_;     // newest position per hash of 3 bytes
  std::vector<uint32_t> prev_;      // chains: previous position with the same hash, by position mod window
  std::vector<uint32_t> children_;  // trees: two per position mod window, smaller then larger
  // Trees, per position mod window: the length of its key, the bytes its
  // place in the tree was settled by. It is fixed when the position is
  // recorded; a key cut short by the end of the data stays short when a
  // later entry adds bytes, so the tree's order does not change under it.
  std::vector<uint8_t> key_lengths_;
  std::vector<uint32_t> pair_head_;  // newest position per 2-byte pair
  // Buckets: the newest position of those kept, per hash of 8 bytes, with
  // the hash's low half.
  struct FarSlot {
    uint32_t position;
    uint32_t check;
  };
  std::vector<FarSlot> far_;
};

// Length of the common prefix of a and b, at most `limit` bytes.
inline uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
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

}  // namespace pack
