// Turns a range of the history into tokens: a lazy parser (levels 1 to 3)
// that weighs each match against the ones starting one or two bytes later,
// and an optimal parser (levels 4 and 5) that finds the cheapest token
// sequence under the current code lengths.
#pragma once

#include <cstdint>
#include <vector>

#include "pack/history.h"
#include "pack/match_finder.h"
#include "pack/symbol_coder.h"
#include "pack/token.h"

namespace pack {

struct ParserSettings {
  int lazy_steps;        // lazy parser: how many later starts to compare (0 = greedy)
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

  // Tokens for the bytes from `position` up to `stop` (the last token may
  // run past `stop`, never past `data_end`). Updates the match history and
  // returns the position after the last token.
  uint32_t Parse(uint32_t position, uint32_t stop, uint32_t data_end, const Prices& prices,
                 RecentState* state, std::vector<Token>* tokens);

 private:
  struct Candidate {
    Token token;
    int32_t saving;  // literal bits the token replaces minus its own bits
  };

  uint32_t ParseLazy(uint32_t position, uint32_t stop, uint32_t data_end, const Prices& prices,
                     RecentState* state, std::vector<Token>* tokens);
  uint32_t ParseOptimal(uint32_t position, uint32_t stop, uint32_t data_end,
                        const Prices& prices, RecentState* state, std::vector<Token>* tokens);

  Candidate BestAt(uint32_t position, uint32_t data_end, const Prices& prices,
                   const RecentState& state);
  void InsertUpTo(uint32_t position, uint32_t data_end);

  // The optimal parser's matches for a block, all found before it is parsed.
  void CollectMatches(uint32_t position, uint32_t stop, uint32_t data_end);
  uint32_t ParseSegments(uint32_t position, uint32_t stop, const Prices& prices,
                         RecentState* state, std::vector<Token>* tokens);

  ParserSettings settings_;
  History* history_;
  MatchFinder* finder_;
  uint32_t next_insert_ = 0;  // every position before it is recorded in the finder

  std::vector<uint32_t> match_begin_;  // per position of the block: first index in matches_
  std::vector<Match> matches_;
  std::vector<uint16_t> short_distance_;  // nearest 2-byte match within 256, or 0
  uint32_t block_start_ = 0;

  // A segment's nodes, one per byte: the cheapest cost found so far, how it
  // was reached (the source: earlier node and way) and, once settled, the
  // match history after it.
  Token TokenTo(uint32_t segment, uint32_t i) const;
  void SettleState(uint32_t segment, uint32_t i);
  std::vector<uint32_t> costs_;
  std::vector<uint32_t> sources_;
  std::vector<RecentState> states_;
};

}  // namespace pack
