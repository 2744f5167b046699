#include "pack/huffman_code.h"

#include <algorithm>
#include <vector>

namespace pack {

namespace {

// A package-merge item: a leaf (one symbol) or a package of two items of
// the level before.
struct Item {
  uint64_t weight;
  int symbol;  // >= 0 for a leaf, -1 for a package
  int first;   // a package's two parts, as indices into the item pool
  int second;
};

// Adds one to the length of every symbol that the item contains.
void CountLeaves(const std::vector<Item>& pool, int index, uint8_t* lengths) {
  const Item& item = pool[index];
  if (item.symbol >= 0) {
    ++lengths[item.symbol];
    return;
  }
  CountLeaves(pool, item.first, lengths);
  CountLeaves(pool, item.second, lengths);
}

}  // namespace

void BuildCodeLengths(const uint32_t* freqs, int count, int max_length, uint8_t* lengths) {
  std::vector<int> used;
  for (int i = 0; i < count; ++i) {
    lengths[i] = 0;
    if (freqs[i] != 0) used.push_back(i);
  }
  if (used.empty()) return;
  if (used.size() == 1) {
    lengths[used[0]] = 1;
    return;
  }
  std::stable_sort(used.begin(), used.end(), [&](int a, int b) { return freqs[a] < freqs[b]; });

  std::vector<Item> pool;
  std::vector<int> leaves;
  for (int symbol : used) {
    leaves.push_back(static_cast<int>(pool.size()));
    pool.push_back(Item{freqs[symbol], symbol, -1, -1});
  }
  // Each round pairs the previous list into packages and merges them with
  // the leaves; after max_length - 1 rounds, the first 2n - 2 items of the
  // list hold each symbol as often as its optimal limited code length.
  std::vector<int> list = leaves;
  for (int level = 1; level < max_length; ++level) {
    std::vector<int> packages;
    for (size_t i = 0; i + 1 < list.size(); i += 2) {
      packages.push_back(static_cast<int>(pool.size()));
      pool.push_back(Item{pool[list[i]].weight + pool[list[i + 1]].weight, -1, list[i], list[i + 1]});
    }
    std::vector<int> merged;
    merged.reserve(leaves.size() + packages.size());
    std::merge(leaves.begin(), leaves.end(), packages.begin(), packages.end(), std::back_inserter(merged),
               [&](int a, int b) { return pool[a].weight < pool[b].weight; });
    list.swap(merged);
  }
  size_t take = 2 * used.size() - 2;
  for (size_t i = 0; i < take; ++i) CountLeaves(pool, list[i], lengths);
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
