#include "pack/huffman_code.h"

#include <algorithm>

#include "pack/lz_format.h"

namespace pack {

namespace {

// The main alphabet is the largest one coded.
constexpr int kMaxSymbols = kMainSymbols;
// A list of package-merge holds the leaves and at most one package per two
// items of the list before, which is shorter than twice the leaves.
constexpr int kMaxListItems = 2 * kMaxSymbols;

}  // namespace

void BuildCodeLengths(const uint32_t* freqs, int count, int max_length, uint8_t* lengths) {
  // The used symbols, lightest first; a tie goes to the lower symbol, which
  // the symbol in the low bits of each key decides.
  uint64_t keys[kMaxSymbols];
  int n = 0;
  for (int i = 0; i < count; ++i) {
    lengths[i] = 0;
    if (freqs[i] != 0) keys[n++] = (uint64_t{freqs[i]} << 16) | static_cast<uint32_t>(i);
  }
  if (n == 0) return;
  if (n == 1) {
    lengths[keys[0] & 0xFFFF] = 1;
    return;
  }
  std::sort(keys, keys + n);

  // Each round pairs the previous list into packages and merges them with
  // the leaves, a leaf first where weights tie. Only which items of each
  // list are leaves is kept: a package of round r stands for two
  // neighbouring items of round r - 1, so the first p packages of a list
  // are exactly the first 2p items of the list before.
  uint64_t weights[2][kMaxListItems];
  bool is_leaf[kCodeLengthLimit][kMaxListItems];
  int size = n;
  for (int i = 0; i < n; ++i) weights[0][i] = keys[i] >> 16;
  for (int level = 1; level < max_length; ++level) {
    const uint64_t* before = weights[(level - 1) & 1];
    uint64_t* list = weights[level & 1];
    const int packages = size / 2;
    int leaf = 0;
    int package = 0;
    int k = 0;
    while (leaf < n || package < packages) {
      uint64_t package_weight = package < packages ? before[2 * package] + before[2 * package + 1] : 0;
      bool take_leaf = package == packages || (leaf < n && (keys[leaf] >> 16) <= package_weight);
      is_leaf[level][k] = take_leaf;
      list[k++] = take_leaf ? keys[leaf++] >> 16 : package_weight;
      package += !take_leaf;
    }
    size = k;
  }

  // The first 2n - 2 items of the last list hold each symbol as often as
  // its optimal limited code length. Walking back, the leaves among the
  // first t items of a list are its lightest symbols; its packages take
  // twice as many items of the list before. A symbol's length is the number
  // of lists whose leaves taken reach it.
  int taken_per_level[kCodeLengthLimit];
  int take = 2 * n - 2;
  for (int level = max_length - 1; level >= 1; --level) {
    int leaves = 0;
    for (int k = 0; k < take; ++k) leaves += is_leaf[level][k];
    taken_per_level[level] = leaves;
    take = 2 * (take - leaves);
  }
  taken_per_level[0] = take;
  int reaching[kMaxSymbols + 1] = {};
  for (int level = 0; level < max_length; ++level) ++reaching[taken_per_level[level]];
  int length = 0;
  for (int i = n - 1; i >= 0; --i) {
    length += reaching[i + 1];
    lengths[keys[i] & 0xFFFF] = static_cast<uint8_t>(length);
  }
}

void AssignCanonicalCodes(const uint8_t* lengths, int count, uint16_t* codes) {
  int per_length[kCodeLengthLimit + 1] = {};
  for (int i = 0; i < count; ++i) ++per_length[lengths[i]];
  per_length[0] = 0;
  uint32_t next[kCodeLengthLimit + 1] = {};
  uint32_t code = 0;
  for (int length = 1; length <= kCodeLengthLimit; ++length) {
    code = (code + per_length[length - 1]) << 1;
    next[length] = code;
  }
  for (int i = 0; i < count; ++i) {
    if (lengths[i] != 0) codes[i] = static_cast<uint16_t>(next[lengths[i]]++);
  }
}

}  // namespace pack
