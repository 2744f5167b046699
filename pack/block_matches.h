// The matches of one block for the optimal parser, all searched before the
// block is parsed. What a search finds depends only on the bytes and on the
// finder's state from the blocks before, never on how a block was parsed,
// so the next block can be searched while this one is parsed.
#pragma once

#include <cstdint>
#include <vector>

#include "pack/history.h"
#include "pack/match_finder.h"

namespace pack {

class BlockMatches {
 public:
  // Searches the positions from `start` up to `stop` (matches may run on to
  // `data_end`) and records them all in `finder`. Through data without
  // matches fewer positions are searched; inside a match of `nice_length`
  // or more none are, since the parser takes such a match as it stands.
  void Collect(MatchFinder* finder, const History& history, uint32_t start, uint32_t stop, uint32_t data_end,
               uint32_t nice_length);

  // Collect in two steps, so that the next block can be prepared while the
  // trees are walked for this one: the two use separate tables of the
  // finder. For the trees, Prepare finds the 3- and 2-byte matches of every
  // position; Complete chooses the positions to search, walks the trees and
  // puts all matches in order. With chains Prepare only notes the block and
  // Complete does all the work.
  void Prepare(MatchFinder* finder, const History& history, uint32_t start, uint32_t stop, uint32_t data_end);
  void Complete(MatchFinder* finder, const History& history, uint32_t nice_length);

  uint32_t start() const { return start_; }
  uint32_t stop() const { return stop_; }

  // The matches at `position`, by increasing length (none may exist in the
  // whole block: then the vector has no storage to index).
  const Match* Ladder(uint32_t position) const { return matches_.data() + begin_[position - start_]; }
  int LadderSize(uint32_t position) const {
    uint32_t at = position - start_;
    return static_cast<int>(begin_[at + 1] - begin_[at]);
  }
  // The nearest 2-byte match within 256 bytes, or 0.
  uint32_t ShortDistance(uint32_t position) const { return short_distance_[position - start_]; }

 private:
  uint32_t start_ = 0;
  uint32_t stop_ = 0;
  std::vector<uint32_t> begin_;  // per position: first index in matches_, and one past the last
  std::vector<Match> matches_;
  std::vector<uint16_t> short_distance_;

  uint32_t data_end_ = 0;
  std::vector<Match> near_;  // trees, per position: the 3-byte match (length 0 if none)

  void CollectFromChains(MatchFinder* finder, const History& history, uint32_t nice_length);
};

}  // namespace pack
