#include "pack/table_header.h"

#include <cstring>

#include "pack/huffman_code.h"

namespace pack {

namespace {

// The extra bits after the code of a code-length symbol.
uint32_t StepExtraBits(uint32_t symbol) { return symbol < kRepeatPrevious ? 0 : kRunBits[symbol - kRepeatPrevious]; }

// Shortest step sequence for the given per-symbol costs (in bits), found by
// dynamic programming from the end of the sequence.
void ChooseSteps(const uint8_t* old_lengths, const uint8_t* new_lengths, const uint32_t* cost, TableHeader* coding) {
  uint32_t best[kTableLengthCount + 1];
  TableHeaderStep choice[kTableLengthCount];
  best[kTableLengthCount] = 0;
  for (int i = kTableLengthCount - 1; i >= 0; --i) {
    uint8_t delta = static_cast<uint8_t>((new_lengths[i] - old_lengths[i]) & 15);
    best[i] = cost[delta] + best[i + 1];
    choice[i] = TableHeaderStep{delta, 0, 1};
    int left = kTableLengthCount - i;
    if (new_lengths[i] == 0) {
      int run = 1;
      const int longest = static_cast<int>(LongestRun(kLongZeroRun));
      while (run < left && run < longest && new_lengths[i + run] == 0) ++run;
      for (int span = kRunBase[kShortZeroRun - kRepeatPrevious]; span <= run; ++span) {
        uint32_t symbol = span <= static_cast<int>(LongestRun(kShortZeroRun)) ? kShortZeroRun : kLongZeroRun;
        uint32_t total = cost[symbol] + StepExtraBits(symbol) + best[i + span];
        if (total < best[i]) {
          best[i] = total;
          choice[i] = TableHeaderStep{static_cast<uint8_t>(symbol),
                                      static_cast<uint8_t>(span - kRunBase[symbol - kRepeatPrevious]),
                                      static_cast<uint8_t>(span)};
        }
      }
    }
    if (i > 0) {
      int run = 0;
      const int longest = static_cast<int>(LongestRun(kRepeatPrevious));
      const int shortest = kRunBase[0];
      while (run < left && run < longest && new_lengths[i + run] == new_lengths[i - 1]) ++run;
      for (int span = shortest; span <= run; ++span) {
        uint32_t total = cost[kRepeatPrevious] + kRunBits[0] + best[i + span];
        if (total < best[i]) {
          best[i] = total;
          choice[i] =
              TableHeaderStep{kRepeatPrevious, static_cast<uint8_t>(span - shortest), static_cast<uint8_t>(span)};
        }
      }
    }
  }
  coding->step_count = 0;
  for (int i = 0; i < kTableLengthCount; i += choice[i].span) coding->steps[coding->step_count++] = choice[i];
}

// Codes the sequence against `old_lengths`: a few rounds of choosing steps
// under the costs of the previous round's code, keeping the smallest.
void CodeSequence(const uint8_t* old_lengths, const uint8_t* new_lengths, TableHeader* best) {
  uint32_t cost[kLengthCodeSymbols];
  for (int s = 0; s < kLengthCodeSymbols; ++s) cost[s] = 5;
  best->bits = UINT32_MAX;
  TableHeader trial;
  for (int round = 0; round < 3; ++round) {
    ChooseSteps(old_lengths, new_lengths, cost, &trial);
    uint32_t freqs[kLengthCodeSymbols] = {};
    for (int k = 0; k < trial.step_count; ++k) ++freqs[trial.steps[k].symbol];
    BuildCodeLengths(freqs, kLengthCodeSymbols, kCodeLengthLimit, trial.code_lengths);
    trial.bits = 2 + 4 * kLengthCodeSymbols;
    for (int k = 0; k < trial.step_count; ++k) {
      trial.bits += trial.code_lengths[trial.steps[k].symbol] + StepExtraBits(trial.steps[k].symbol);
    }
    if (trial.bits < best->bits) *best = trial;
    // Unused symbols are priced as if they got a long code.
    for (int s = 0; s < kLengthCodeSymbols; ++s) cost[s] = trial.code_lengths[s] ? trial.code_lengths[s] : 9;
  }
}

// The cheaper of delta coding (keep bit set) and plain coding (keep bit
// clear, which makes the decoder treat the previous lengths as zeros).
bool ChooseCoding(const uint8_t* old_lengths, const uint8_t* new_lengths, TableHeader* coding) {
  static const uint8_t kZeros[kTableLengthCount] = {};
  CodeSequence(old_lengths, new_lengths, coding);
  // After a reset the decoder holds zeros: plain and delta coding agree.
  if (std::memcmp(old_lengths, kZeros, kTableLengthCount) == 0) return false;
  TableHeader plain;
  CodeSequence(kZeros, new_lengths, &plain);
  if (plain.bits < coding->bits) {
    *coding = plain;
    return false;
  }
  return true;
}

}  // namespace

TableHeader ChooseTableHeader(const uint8_t* old_lengths, const uint8_t* new_lengths) {
  TableHeader header;
  header.keep = ChooseCoding(old_lengths, new_lengths, &header);
  return header;
}

void WriteTableHeader(const TableHeader& header, BitWriter* out) {
  out->Write(0, 1);            // not audio
  out->Write(header.keep, 1);  // keep: lengths are differences against the previous ones
  for (int s = 0; s < kLengthCodeSymbols; ++s) out->Write(header.code_lengths[s], 4);
  uint16_t codes[kLengthCodeSymbols];
  AssignCanonicalCodes(header.code_lengths, kLengthCodeSymbols, codes);
  for (int k = 0; k < header.step_count; ++k) {
    const TableHeaderStep& step = header.steps[k];
    out->Write(codes[step.symbol], header.code_lengths[step.symbol]);
    out->Write(step.extra, StepExtraBits(step.symbol));
  }
}

}  // namespace pack
