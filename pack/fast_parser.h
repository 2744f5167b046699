// The fastest level's parser: greedy, over two small tables that stay in
// the processor's cache, so that a position costs a few loads where the
// other parsers weigh several candidates. One table keeps the newest
// position per hash of 4 bytes (near repeats), the other per hash of 8
// bytes (repeats from anywhere in the window, which are long when found).
// The match history's newest distance is tried one byte on first, where a
// repeat with one byte changed continues. A match found is grown back over
// the literals before it. It weighs no prices: the longest match wins.
#pragma once

#include <cstdint>
#include <vector>

#include "pack/block_encoder.h"
#include "pack/history.h"
#include "pack/symbol_coder.h"
#include "pack/token.h"

namespace pack {

// Bytes from a position on that Insert and a search read.
constexpr uint32_t kFastHashedBytes = 8;

class FastParser {
 public:
  explicit FastParser(const History* history);

  // A new stream, or the history taken back: nothing is recorded.
  void Reset();
  // Records `position` (needs 8 bytes of history there), as after a
  // take-back the packer records the recent window again.
  void Insert(uint32_t position);

  // Tokens for the bytes from `position` up to `stop` (the last may run
  // past `stop`, never past `data_end`). Updates the match history and
  // returns the position after the last token.
  // Matches of 2 and 3 bytes are taken only where `prices` says they cost
  // less than their literals. Counts the tokens' symbols into `counts`,
  // from zero, as it emits them.
  uint32_t Parse(uint32_t position, uint32_t stop, uint32_t data_end, const Prices& prices, RecentState* state,
                 std::vector<Token>* tokens, BlockPlan* counts);

 private:
  // Appends the tokens for a match of `length` at `distance`: the cheapest
  // kind that codes it under `state`, and more at the same distance when
  // one token cannot code all of it.
  void AddMatch(uint32_t length, uint32_t distance, RecentState* state, std::vector<Token>* tokens,
                BlockPlan* counts) const;

  const History* history_;
  // Newest position per hash; 0 is none, since positions count from 1.
  std::vector<uint32_t> near_;
  // The far table's slots also hold the low half of their 8 bytes' hash,
  // which tells most strangers from a repeat without reading their bytes
  // from far back in the window.
  struct FarSlot {
    uint32_t position;
    uint32_t check;
  };
  std::vector<FarSlot> far_;
  std::vector<uint32_t> three_;  // per hash of 3 bytes, at positions searched without a match
  std::vector<uint32_t> pairs_;  // per byte pair, likewise
};

}  // namespace pack
