#include "pack/block_matches.h"

#include <algorithm>

#include "pack/lz_format.h"

namespace pack {

void BlockMatches::Collect(MatchFinder* finder, const History& history, uint32_t start, uint32_t stop,
                           uint32_t data_end, uint32_t nice_length) {
  Prepare(finder, history, start, stop, data_end);
  Complete(finder, history, nice_length);
}

void BlockMatches::Prepare(MatchFinder* finder, const History& history, uint32_t start, uint32_t stop,
                           uint32_t data_end) {
  uint32_t count = stop - start;
  start_ = start;
  stop_ = stop;
  data_end_ = data_end;
  short_distance_.assign(count, 0);
  if (finder->kind() != FinderKind::kTrees) return;
  near_.assign(count, Match{0, 0});
  for (uint32_t q = start; q < stop; ++q) {
    uint32_t room = std::min(kMaxMatch, data_end - q);
    if (room < 2) continue;
    uint32_t lowest = history.WindowStart(q);
    if (room >= kHashedBytes) finder->FindNearMatch(history, q, room, lowest, &near_[q - start]);
    short_distance_[q - start] = static_cast<uint16_t>(finder->FindShortMatch(history, q, lowest, true));
  }
}

void BlockMatches::Complete(MatchFinder* finder, const History& history, uint32_t nice_length) {
  if (finder->kind() != FinderKind::kTrees) {
    CollectFromChains(finder, history, nice_length);
    return;
  }
  uint32_t count = stop_ - start_;
  begin_.assign(count + 1, 0);
  matches_.clear();
  uint32_t misses = 0;
  uint32_t covered = start_;      // positions before it lie inside a match taken as it is
  uint32_t search_from = start_;  // positions before it are not searched
  for (uint32_t q = start_; q < stop_; ++q) {
    uint32_t i = q - start_;
    begin_[i] = static_cast<uint32_t>(matches_.size());
    uint32_t room = std::min(kMaxMatch, data_end_ - q);
    uint32_t lowest = history.WindowStart(q);
    if (q < covered) {
      // Recorded only: the parser takes the match as it stands.
      if (room >= kHashedBytes) finder->TreeMatches(history, q, room, lowest, 0, nullptr, 0);
      continue;
    }
    if (q < search_from || room < 2) continue;
    Match found[kMaxMatchesPerPosition];
    int n = 0;
    if (room >= kHashedBytes) {
      const Match& near = near_[i];
      if (near.length != 0) found[n++] = near;
      n += finder->TreeMatches(history, q, room, lowest, std::max(near.length, 3u), found + n,
                               kMaxMatchesPerPosition - n);
      matches_.insert(matches_.end(), found, found + n);
      if (n > 0 && CodableLength(found[n - 1]) >= nice_length) {
        covered = std::min(q + CodableLength(found[n - 1]), stop_);
      }
    }
    misses = n > 0 || short_distance_[i] != 0 ? 0 : misses + 1;
    search_from = q + 1 + SkipAfter(misses);
  }
  begin_[count] = static_cast<uint32_t>(matches_.size());
}

void BlockMatches::CollectFromChains(MatchFinder* finder, const History& history, uint32_t nice_length) {
  const uint32_t start = start_;
  const uint32_t stop = stop_;
  const uint32_t data_end = data_end_;
  uint32_t count = stop - start;
  begin_.assign(count + 1, 0);
  matches_.clear();
  uint32_t misses = 0;
  uint32_t recorded = start;     // positions before it are recorded
  uint32_t search_from = start;  // positions before it are recorded, not searched
  for (uint32_t q = start; q < stop; ++q) {
    begin_[q - start] = static_cast<uint32_t>(matches_.size());
    if (q < recorded) continue;
    recorded = q + 1;
    if (q < search_from) {
      if (q + kHashedBytes <= data_end) finder->Insert(history, q);
      continue;
    }
    uint32_t room = std::min(kMaxMatch, data_end - q);
    if (room < 2) continue;
    uint32_t lowest = history.WindowStart(q);
    if (room >= kHashedBytes) {
      Match found[kMaxMatchesPerPosition];
      int n = finder->FindMatches(history, q, room, lowest, true, found);
      matches_.insert(matches_.end(), found, found + n);
      if (n > 0 && CodableLength(found[n - 1]) >= nice_length) {
        // Taken as it is: the positions it covers need no search.
        uint32_t end = std::min(q + CodableLength(found[n - 1]), stop);
        for (uint32_t r = q + 1; r < end; ++r) {
          if (r + kHashedBytes <= data_end) finder->Insert(history, r);
        }
        recorded = end;
      }
    }
    short_distance_[q - start] = static_cast<uint16_t>(finder->FindShortMatch(history, q, lowest, true));
    bool found = begin_[q - start] != matches_.size() || short_distance_[q - start] != 0;
    misses = found ? 0 : misses + 1;
    search_from = q + 1 + SkipAfter(misses);
  }
  begin_[count] = static_cast<uint32_t>(matches_.size());
}

}  // namespace pack
