#include "pack/block_encoder.h"

#include <cstring>

#include "pack/huffman_code.h"
#include "pack/table_header.h"

namespace pack {

namespace {

const uint64_t kCannotCode = UINT64_MAX;

// Bits the block's symbols take under the lengths, extra bits left out
// (they are the same under any table); kCannotCode when a used symbol has
// no code.
uint64_t SymbolBits(const BlockPlan& f, const CodeLengths& lengths) {
  uint64_t bits = 0;
  auto add = [&](const uint32_t* freqs, const uint8_t* lens, int n) {
    for (int i = 0; i < n; ++i) {
      if (freqs[i] == 0) continue;
      if (lens[i] == 0) return false;
      bits += uint64_t{freqs[i]} * lens[i];
    }
    return true;
  };
  if (!add(f.main, lengths.main, kMainSymbols) || !add(f.dist, lengths.dist, kDistSymbols) ||
      !add(f.rep_length, lengths.rep_length, kRepLengthSymbols)) {
    return kCannotCode;
  }
  return bits;
}

void BuildFrom(const BlockPlan& f, CodeLengths* lengths) {
  BuildCodeLengths(f.main, kMainSymbols, kCodeLengthLimit, lengths->main);
  BuildCodeLengths(f.dist, kDistSymbols, kCodeLengthLimit, lengths->dist);
  BuildCodeLengths(f.rep_length, kRepLengthSymbols, kCodeLengthLimit, lengths->rep_length);
}

const uint8_t* Flat(const CodeLengths& lengths) {
  static_assert(sizeof(CodeLengths) == kTableLengthCount, "lengths are one flat array");
  return reinterpret_cast<const uint8_t*>(&lengths);
}

}  // namespace

void BlockEncoder::Reset() {
  lengths_ = CodeLengths{};
  has_tables_ = false;
}

void BlockEncoder::CountSymbols(const Token* tokens, size_t count, BlockPlan* plan) {
  std::memset(plan->main, 0, sizeof plan->main);
  std::memset(plan->dist, 0, sizeof plan->dist);
  std::memset(plan->rep_length, 0, sizeof plan->rep_length);
  for (size_t i = 0; i < count; ++i) {
    if (tokens[i].kind == kLiteral)
      ++plan->main[tokens[i].value];
    else
      CountToken(tokens[i], plan);
  }
}

void BlockEncoder::FinishPlan(BlockPlan* plan) {
  plan->main[kNewTablesSymbol] += 1;
  BuildFrom(*plan, &plan->lengths);
}

void BlockEncoder::Adopt(const CodeLengths& lengths) {
  lengths_ = lengths;
  has_tables_ = true;
  AssignCanonicalCodes(lengths_.main, kMainSymbols, main_codes_);
  AssignCanonicalCodes(lengths_.dist, kDistSymbols, dist_codes_);
  AssignCanonicalCodes(lengths_.rep_length, kRepLengthSymbols, rep_length_codes_);
}

void BlockEncoder::EncodeBlock(const Token* tokens, size_t count, bool header_due, BitWriter* out) {
  BlockPlan plan;
  CountSymbols(tokens, count, &plan);
  FinishPlan(&plan);
  EncodeBlock(tokens, count, plan, header_due, out);
}

void BlockEncoder::EncodeBlock(const Token* tokens, size_t count, const BlockPlan& f, bool header_due, BitWriter* out) {
  const CodeLengths& fresh = f.lengths;
  TableHeader header = ChooseTableHeader(Flat(lengths_), Flat(fresh));
  if (header_due) {
    WriteTableHeader(header, out);
    Adopt(fresh);
  } else {
    uint64_t keep = SymbolBits(f, lengths_);
    uint64_t change = lengths_.main[kNewTablesSymbol] + header.bits + SymbolBits(f, fresh);
    if (change < keep) {
      out->Write(main_codes_[kNewTablesSymbol], lengths_.main[kNewTablesSymbol]);
      WriteTableHeader(header, out);
      Adopt(fresh);
    }
  }
  WriteTokens(tokens, count, out);
}

void BlockEncoder::WriteTokens(const Token* tokens, size_t count, BitWriter* out) const {
  // A code is at most 15 bits and its extra bits at most 16 (a distance's),
  // so each symbol goes out with its extra bits in one write.
  static_assert(kCodeLengthLimit + 16 <= 32, "a code and its extra bits fit one write");
  for (size_t i = 0; i < count; ++i) {
    const Token& token = tokens[i];
    if (token.kind == kLiteral) {
      out->Write(main_codes_[token.value], lengths_.main[token.value]);
      continue;
    }
    TokenSymbols s = SymbolsOf(token);
    out->Write((uint32_t{main_codes_[s.main]} << s.main_bits) | s.main_extra, lengths_.main[s.main] + s.main_bits);
    if (s.second >= 0) {
      uint32_t code = s.second_is_distance ? dist_codes_[s.second] : rep_length_codes_[s.second];
      int length = s.second_is_distance ? lengths_.dist[s.second] : lengths_.rep_length[s.second];
      out->Write((code << s.second_bits) | s.second_extra, length + s.second_bits);
    }
  }
}

}  // namespace pack
