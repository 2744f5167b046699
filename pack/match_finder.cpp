#include "pack/match_finder.h"

#include <algorithm>

#include "pack/byte_hash.h"
#include "pack/lz_format.h"

namespace pack {

namespace {
constexpr int kHash3Bits = 14;
constexpr int kFarBits = 16;
// Positions kept by their 8-byte hash: the multiples of this. Prime and
// above the parsers' widest step through data without matches (8), so that
// stepping through a repeat meets one of them whatever the repeat's offset.
constexpr uint32_t kFarStep = 11;
constexpr uint32_t kFarBytes = 8;
// A bucket search reports at most the near match, one per way and the far one.
static_assert(1 + kMaxBucketWays + 1 <= kMaxMatchesPerPosition, "a bucket's matches fit");
constexpr uint32_t kWindowMask = kWindowSize - 1;
// Positions are recorded in order: the bucket or chain head of the one this
// many positions on is fetched while this one is handled.
constexpr uint32_t kPrefetchDistance = 4;
constexpr uint32_t kMaxTreeKey = 255;
}  // namespace

MatchFinder::MatchFinder(FinderKind kind, int hash_bits, int depth, uint32_t nice_length)
    : kind_(kind),
      hash_bits_(hash_bits),
      depth_(kind == FinderKind::kBuckets ? std::clamp(depth, 1, kMaxBucketWays) : depth),
      // A tree key's length is kept in a byte.
      nice_length_(kind == FinderKind::kTrees ? std::min(nice_length, kMaxTreeKey) : nice_length),
      good_length_(std::max(nice_length / 4, kMinNewMatch + 1)),
      // A bucket's positions are read kMaxBucketWays at a time: the last
      // bucket has room for them.
      head_((size_t{1} << hash_bits) * (kind == FinderKind::kBuckets ? depth_ : 1) + kMaxBucketWays),
      head3_(size_t{1} << kHash3Bits),
      prev_(kind == FinderKind::kChains ? kWindowSize : 0),
      children_(kind == FinderKind::kTrees ? 2 * kWindowSize : 0),
      key_lengths_(kind == FinderKind::kTrees ? kWindowSize : 0),
      pair_head_(size_t{1} << 16),
      far_(kind == FinderKind::kBuckets ? size_t{1} << kFarBits : 0) {}

void MatchFinder::Reset() {
  std::fill(head_.begin(), head_.end(), 0);
  std::fill(head3_.begin(), head3_.end(), 0);
  std::fill(pair_head_.begin(), pair_head_.end(), 0);
  std::fill(far_.begin(), far_.end(), FarSlot{0, 0});
  // prev_, children_ and key_lengths_ need no clearing: they are only
  // reached through head_, and every position put there gets them written.
}

uint32_t MatchFinder::Hash3(const uint8_t* bytes) {
  uint32_t value = (uint32_t{bytes[0]} << 16) | (uint32_t{bytes[1]} << 8) | bytes[2];
  return (value * 2654435761u) >> (32 - kHash3Bits);
}

void MatchFinder::PrefetchAhead(const History& history, uint32_t position) const {
  if (history.end() - position < kPrefetchDistance + kHashedBytes) return;
  const uint8_t* ahead = history.At(position + kPrefetchDistance);
  uint32_t ways = kind_ == FinderKind::kBuckets ? depth_ : 1;
  __builtin_prefetch(&head_[HashOf4(ahead, hash_bits_) * ways]);
  if (kind_ != FinderKind::kBuckets) return;
  if (history.end() - position >= kPrefetchDistance + kFarBytes) {
    __builtin_prefetch(&far_[HashOf8(ahead) >> (64 - kFarBits)]);
  }
  // The next position's bucket was asked for a few positions ago.
  const uint32_t* next = &head_[HashOf4(history.At(position + 1), hash_bits_) * ways];
  for (uint32_t way = 0; way < ways; ++way) {
    if (next[way] != 0) __builtin_prefetch(history.At(next[way]));
  }
}

void MatchFinder::Insert(const History& history, uint32_t position) {
  const uint8_t* here = history.At(position);
  pair_head_[here[0] | (here[1] << 8)] = position;
  head3_[Hash3(here)] = position;
  if (kind_ == FinderKind::kTrees) {
    uint32_t max_length = std::min(kMaxMatch, history.end() - position);
    TreeMatches(history, position, max_length, history.WindowStart(position), 0, nullptr, 0);
    return;
  }
  PrefetchAhead(history, position);
  if (kind_ == FinderKind::kBuckets) {
    PushToBucket(&head_[HashOf4(here, hash_bits_) * depth_], position);
    KeepFar(history, position);
    return;
  }
  uint32_t& head = head_[HashOf4(here, hash_bits_)];
  prev_[position & kWindowMask] = head;
  head = position;
}

Match MatchFinder::NearMatch(const History& history, uint32_t position, uint32_t max_length, uint32_t lowest,
                             uint32_t near) const {
  // A 3-byte match only counts when it is near enough to code as one.
  if (max_length >= kMinNewMatch && near >= lowest && near < position && position - near < kLongDistance) {
    uint32_t length = MatchLength(history.At(near), history.At(position), max_length);
    if (length >= kMinNewMatch) return Match{length, position - near};
  }
  return Match{0, 0};
}

void MatchFinder::FindNearMatch(const History& history, uint32_t position, uint32_t max_length, uint32_t lowest,
                                Match* near) {
  uint32_t& head3 = head3_[Hash3(history.At(position))];
  *near = NearMatch(history, position, max_length, lowest, head3);
  head3 = position;
}

int MatchFinder::FindMatches(const History& history, uint32_t position, uint32_t max_length, uint32_t lowest,
                             bool record, Match* out) {
  const uint8_t* here = history.At(position);
  uint32_t& head3 = head3_[Hash3(here)];
  Match near = NearMatch(history, position, max_length, lowest, head3);
  if (record) head3 = position;
  PrefetchAhead(history, position);
  int count = 0;
  uint32_t best = 3;  // the 4-byte hashes only find 4-byte matches
  if (near.length != 0) {
    best = near.length;
    out[count++] = near;
  }
  if (kind_ == FinderKind::kBuckets) {
    return BucketMatches(history, position, max_length, lowest, record, count, best, out);
  }
  uint32_t& head = head_[HashOf4(here, hash_bits_)];
  uint32_t candidate = head;
  if (record) {
    prev_[position & kWindowMask] = candidate;
    head = position;
  } else {
    // Skip what was recorded at or after this position.
    while (candidate >= position) {
      uint32_t next = prev_[candidate & kWindowMask];
      if (next >= candidate) return 0;
      candidate = next;
    }
  }

  if (count > 0 && (best >= nice_length_ || best == max_length)) return count;
  if (max_length <= best) return count;
  // Chains run from newer to older positions; a link that does not go back
  // is stale (its slot was reused) and ends the walk.
  for (int steps = depth_; steps > 0 && candidate >= lowest && candidate != 0; --steps) {
    // The link and the candidate's bytes are both likely cache misses, and
    // neither waits for the other: asking for the link first overlaps them.
    uint32_t next = prev_[candidate & kWindowMask];
    const uint8_t* there = history.At(candidate);
    if (there[best] == here[best]) {
      uint32_t length = MatchLength(there, here, max_length);
      uint32_t distance = position - candidate;
      if (length > best && length >= MinNewMatch(distance)) {
        // A good match found makes a long further search unlikely to pay.
        if (best < good_length_ && length >= good_length_) steps = (steps + 3) / 4;
        best = length;
        if (count == kMaxMatchesPerPosition) --count;  // keep the longest
        out[count++] = Match{length, distance};
        if (length >= nice_length_ || length == max_length) break;
      }
    }
    if (next >= candidate) break;
    candidate = next;
  }
  return count;
}

void MatchFinder::PushToBucket(uint32_t* bucket, uint32_t position) const {
  // Spelled out: as a loop, the compiler calls the library's memmove,
  // which costs more than the few moves themselves.
  switch (depth_) {
    case 4:
      bucket[3] = bucket[2];
      [[fallthrough]];
    case 3:
      bucket[2] = bucket[1];
      [[fallthrough]];
    case 2:
      bucket[1] = bucket[0];
      [[fallthrough]];
    default:
      bucket[0] = position;
  }
}

int MatchFinder::BucketMatches(const History& history, uint32_t position, uint32_t max_length, uint32_t lowest,
                               bool record, int count, uint32_t best, Match* out) {
  const uint8_t* here = history.At(position);
  uint32_t* bucket = &head_[HashOf4(here, hash_bits_) * depth_];
  // The candidates before the position is recorded in their place; without
  // `record`, entries at or after it were recorded later and are passed over.
  uint32_t candidates[kMaxBucketWays];
  std::memcpy(candidates, bucket, sizeof candidates);
  if (record) {
    PushToBucket(bucket, position);
    KeepFar(history, position);
  }
  if (count > 0 && (best >= nice_length_ || best == max_length)) return count;
  for (int way = 0; way < depth_ && best < max_length; ++way) {
    uint32_t candidate = candidates[way];
    // Newest first: an empty slot or one beyond the window ends the bucket.
    if (candidate == 0 || candidate < lowest) break;
    if (candidate >= position) continue;
    const uint8_t* there = history.At(candidate);
    if (there[best] != here[best]) continue;
    uint32_t length = MatchLength(there, here, max_length);
    uint32_t distance = position - candidate;
    if (length > best && length >= MinNewMatch(distance)) {
      best = length;
      out[count++] = Match{length, distance};
      if (length >= nice_length_) break;
    }
  }
  // A repeat from further back than the buckets remember.
  if (best < nice_length_ && max_length >= kFarBytes) {
    // The slot's other half, more bits of the hash, tells most strangers
    // from a repeat without fetching their bytes.
    uint64_t hash = HashOf8(here);
    const FarSlot& slot = far_[hash >> (64 - kFarBits)];
    uint32_t candidate = slot.position;
    if (slot.check == static_cast<uint32_t>(hash) && candidate >= lowest && candidate != 0 && candidate < position) {
      uint32_t length = MatchLength(history.At(candidate), here, max_length);
      uint32_t distance = position - candidate;
      if (length > best && length >= MinNewMatch(distance)) out[count++] = Match{length, distance};
    }
  }
  return count;
}

void MatchFinder::KeepFar(const History& history, uint32_t position) {
  if (position % kFarStep != 0 || history.end() - position < kFarBytes) return;
  uint64_t hash = HashOf8(history.At(position));
  far_[hash >> (64 - kFarBits)] = FarSlot{position, static_cast<uint32_t>(hash)};
}

int MatchFinder::TreeMatches(const History& history, uint32_t position, uint32_t max_length, uint32_t lowest,
                             uint32_t best, Match* out, int room) {
  const uint8_t* here = history.At(position);
  uint32_t& head = head_[HashOf4(here, hash_bits_)];
  uint32_t candidate = head;
  head = position;
  // The next position is nearly always walked next, and its tree top is
  // seldom in cache: fetch it while this walk runs.
  if (history.end() - position > kHashedBytes) __builtin_prefetch(&head_[HashOf4(here + 1, hash_bits_)]);
  // The position's key: its bytes up to here. Keys sort as strings, a key
  // before every longer key that starts with it; a node whose key equals
  // the new one gives up its place in the tree to it.
  uint32_t limit = std::min(max_length, nice_length_);
  uint8_t* key_lengths = key_lengths_.data();
  key_lengths[position & kWindowMask] = static_cast<uint8_t>(limit);
  // A position a whole window back shares this one's slot, whose links the
  // walk rewrites as it goes: the walk ends before it, and it is only
  // measured. What hangs below it is older still, out of the window.
  uint32_t far = 0;
  if (position - lowest == kWindowSize) far = lowest++;
  // The new position becomes the top. The walk splits the old tree along
  // its path into what sorts below and above the new position's key;
  // these say where the next node of each side is hung.
  uint32_t* smaller = &children_[2 * (position & kWindowMask)];
  uint32_t* larger = smaller + 1;
  // Every node further down the path sorts between the nearest node of
  // each side, so its key shares at least this many first bytes with the
  // new one (those that both of theirs do), and the comparison starts
  // after them.
  uint32_t smaller_length = 0;
  uint32_t larger_length = 0;
  int count = 0;
  auto report = [&](uint32_t length, uint32_t distance) {
    best = length;
    if (count == room) --count;  // keep the longest
    out[count++] = Match{length, distance};
  };
  // Nodes and their bytes are reached through locals (the bytes from
  // `here`): stores into the tree might be the history's own fields for all
  // the compiler knows, which it would then load again at every node.
  uint32_t* nodes = children_.data();
  // Positions count from 1 and lowest is never below that: 0, an empty
  // link, ends the walk too.
  int steps = depth_;
  for (; steps > 0 && candidate >= lowest; --steps) {
    uint32_t* node = &nodes[2 * (candidate & kWindowMask)];
    const uint8_t* there = here - (position - candidate);
    uint32_t key = key_lengths[candidate & kWindowMask];
    uint32_t bound = std::min(limit, key);
    uint32_t length = std::min(smaller_length, larger_length);
    length += MatchLength(there + length, here + length, bound - length);
    // The bytes match on beyond a key that the end of the data cut short,
    // when the data has grown since.
    bool cut_short = length == key && key < limit;
    if (out != nullptr && (length > best || cut_short)) {
      uint32_t distance = position - candidate;
      // A match as long as the comparison went is reported whole.
      uint32_t whole = length + MatchLength(there + length, here + length, max_length - length);
      if (whole > best && whole >= MinNewMatch(distance)) report(whole, distance);
    }
    bool below;
    if (length == bound) {
      if (key == limit) {
        *smaller = node[0];
        *larger = node[1];
        return count;
      }
      below = cut_short;  // the shorter key sorts first
    } else {
      below = there[length] < here[length];
    }
    if (below) {
      *smaller = candidate;
      smaller = node + 1;
      candidate = *smaller;
      smaller_length = length;
    } else {
      *larger = candidate;
      larger = node;
      candidate = *larger;
      larger_length = length;
    }
  }
  if (out != nullptr && steps > 0 && candidate == far && far != 0) {
    uint32_t length = std::min(smaller_length, larger_length);
    length += MatchLength(here - kWindowSize + length, here + length, max_length - length);
    if (length > best && length >= MinNewMatch(kWindowSize)) report(length, kWindowSize);
  }
  *smaller = 0;
  *larger = 0;
  return count;
}

uint32_t MatchFinder::FindShortMatch(const History& history, uint32_t position, uint32_t lowest, bool record) {
  const uint8_t* here = history.At(position);
  uint32_t& head = pair_head_[here[0] | (here[1] << 8)];
  uint32_t candidate = head;
  if (record) head = position;
  if (candidate == 0 || candidate < lowest || candidate >= position || position - candidate > kMaxShortDistance) {
    return 0;
  }
  const uint8_t* there = history.At(candidate);
  return there[0] == here[0] && there[1] == here[1] ? position - candidate : 0;
}

}  // namespace pack
