// Turns a range of the history into tokens: a lazy parser (levels 1 to 3)
// that weighs each match against the ones starting one or two bytes later,
// and an optimal parser (levels 4 and 5) that finds the cheapest token
// sequence under the current code lengths.
#pragma once

#include <cstdint>
#include <vector>

#include "pack/block_matches.h"
#include "pack/history.h"
#include "pack/match_finder.h"
#include "pack/symbol_coder.h"
#include "pack/token.h"

namespace pack {

struct ParserSettings {
  int lazy_steps;          // lazy parser: how many later starts to compare (0 = greedy)
  bool insert_in_matches;  // record every position inside a match in the hash chains
  bool optimal;
  uint32_t nice_length;  // a match this long is taken without weighing others
};

class Parser {
 public:
  Parser(const ParserSettings& settings, History* history, MatchFinder* finder);

  // A new stream: nothing recorded yet.
  void Reset();
  // Forgets which positions are recorded, from `position` on (after the
  // history was taken back).
  void RewindTo(uint32_t position) { next_insert_ = position; }

  // The lazy parser: tokens for the bytes from `position` up to `stop`,
  // searching as it goes (the last token may run past `stop`, never past
  // `data_end`). Updates the match history and returns the position after
  // the last token.
  uint32_t Parse(uint32_t position, uint32_t stop, uint32_t data_end, const Prices& prices, RecentState* state,
                 std::vector<Token>* tokens);

  // The optimal parser: the same for the bytes from `position` (within the
  // block of `matches`) up to the block's stop, from the matches alone.
  uint32_t ParseOptimal(const BlockMatches& matches, uint32_t position, const Prices& prices, RecentState* state,
                        std::vector<Token>* tokens);

 private:
  struct Candidate {
    Token token;
    int32_t saving;  // literal bits the token replaces minus its own bits
  };

  Candidate BestAt(uint32_t position, uint32_t data_end, const Prices& prices, const RecentState& state);
  void InsertUpTo(uint32_t position, uint32_t data_end);

  ParserSettings settings_;
  History* history_;
  MatchFinder* finder_;
  uint32_t next_insert_ = 0;  // every position before it is recorded in the finder

  const BlockMatches* matches_ = nullptr;  // of the block being parsed optimally

  // A segment's nodes, one per byte: the cheapest cost found so far, how it
  // was reached (the source: earlier node and way) and, once settled, the
  // match history after it.
  Token TokenTo(uint32_t segment, uint32_t i) const;
  void SettleState(uint32_t segment, uint32_t i);
  void RelaxFrom(uint32_t segment, uint32_t i, uint32_t span, uint32_t node_cost, const Prices& prices);
  void Backtrack(uint32_t segment, uint32_t end, std::vector<Token>* tokens) const;
  std::vector<uint32_t> costs_;
  std::vector<uint32_t> sources_;
  std::vector<RecentState> states_;
};

}  // namespace pack
