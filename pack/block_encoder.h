// Codes blocks of tokens: builds each block's code lengths, decides whether
// the block keeps the tables in force or switches to new ones (symbol 269
// and a table header), and writes the symbols.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pack/bit_writer.h"
#include "pack/symbol_coder.h"
#include "pack/token.h"

namespace pack {

// How often a block uses each symbol, and the code lengths they call for:
// what the encoder needs of a block besides its tokens.
struct BlockPlan {
  uint32_t main[kMainSymbols];
  uint32_t dist[kDistSymbols];
  uint32_t rep_length[kRepLengthSymbols];
  CodeLengths lengths;
};

// Counts one token's symbols. Literals are most tokens, and their symbol is
// their byte: a parser counts those itself where it emits them.
inline void CountToken(const Token& token, BlockPlan* plan) {
  TokenSymbols s = SymbolsOf(token);
  ++plan->main[s.main];
  if (s.second >= 0) {
    if (s.second_is_distance)
      ++plan->dist[s.second];
    else
      ++plan->rep_length[s.second];
  }
}

class BlockEncoder {
 public:
  // The decoder's state after a reset (non-solid entry): no tables, and
  // zeros as the reference of the next header's differences.
  void Reset();

  // Codes the next block. With `header_due` the decoder reads a table
  // header before the first symbol (start of a non-solid entry); otherwise
  // the block starts with the tables in force and switches only when that
  // comes out smaller.
  void EncodeBlock(const Token* tokens, size_t count, bool header_due, BitWriter* out);
  // The same with the block's plan made beforehand (on another thread).
  void EncodeBlock(const Token* tokens, size_t count, const BlockPlan& plan, bool header_due, BitWriter* out);

  bool has_tables() const { return has_tables_; }
  const CodeLengths& lengths() const { return lengths_; }

  // Counts a block's symbols into `plan`, from zero. A parser may count them
  // itself as it emits the tokens instead (CountToken).
  static void CountSymbols(const Token* tokens, size_t count, BlockPlan* plan);
  // Builds the lengths for a block's counted symbols. Symbol 269 always gets
  // a code, so that any block can switch tables later.
  static void FinishPlan(BlockPlan* plan);

 private:
  void WriteTokens(const Token* tokens, size_t count, BitWriter* out) const;
  void Adopt(const CodeLengths& lengths);

  // The lengths of the tables in force, which are also the decoder's
  // reference for the next header.
  CodeLengths lengths_{};
  bool has_tables_ = false;
  uint16_t main_codes_[kMainSymbols];
  uint16_t dist_codes_[kDistSymbols];
  uint16_t rep_length_codes_[kRepLengthSymbols];
};

}  // namespace pack
