#include "pack/block_matches.h"

#include "pack/lz_format.h"

namespace pack {

void BlockMatches::Collect(MatchFinder* finder, const History& history, uint32_t start,
                           uint32_t stop, uint32_t data_end, uint32_t nice_length) {
  uint32_t count = stop - start;
  start_ = start;
  stop_ = stop;
  begin_.assign(count + 1, 0);
  short_distance_.assign(count, 0);
  matches_.clear();
  uint32_t misses = 0;
  uint32_t recorded = start;     // positions before it are recorded
  uint32_t search_from = start;  // positions before it are recorded, not searched
  for (uint32_t q = start; q < stop; ++q) {
    begin_[q - start] = static_cast<uint32_t>(matches_.size());
    if (q < recorded) continue;
    recorded = q + 1;
    if (q < search_from) {
      if (q + kHashedBytes <= data_end) finder->Skip(history, q);
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
