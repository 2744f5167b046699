#include "pack/packer.h"

#include <algorithm>

#include "pack/lz_format.h"

namespace pack {

namespace {

struct LevelSettings {
  bool fast;  // the greedy parser of its own, which needs no finder
  FinderKind finder;
  int hash_bits;
  int depth;
  uint32_t block_bytes;
  ParserSettings parser;
};

// Parser: lazy_steps, insert_in_matches, optimal, nice_length.
const LevelSettings kLevels[kMaxLevel + 1] = {
    {},
    {true, FinderKind::kBuckets, 0, 0, 1u << 17, {0, false, false, 0}},
    {false, FinderKind::kBuckets, 15, 2, 1u << 17, {1, true, false, 24}},
    {false, FinderKind::kBuckets, 15, 3, 1u << 17, {1, true, false, 24}},
    {false, FinderKind::kChains, 18, 12, 1u << 16, {0, true, true, 64}},
    {false, FinderKind::kTrees, 18, 64, 1u << 16, {0, true, true, 224}},
};
// Level 5 takes a match of 224 bytes as it stands, a little short of the
// longest codable: searching on and weighing every length beyond costs
// about a tenth of its time for 7 bytes in ten thousand.

// Input arrives in pieces of this size.
constexpr uint32_t kReadBytes = 1u << 18;
// After a take-back the finder starts afresh and records again only this
// much of the window before the entry: older bytes are no longer matched
// (with trees, recording a position costs a search).
constexpr uint32_t kReindexBytes = 1u << 18;

}  // namespace

Packer::Packer(int level, bool second_thread)
    : level_(std::clamp(level, kMinLevel, kMaxLevel)), helper_(second_thread) {
  const LevelSettings& settings = kLevels[level_];
  optimal_ = settings.parser.optimal;
  nice_length_ = settings.parser.nice_length;
  history_ = std::make_unique<History>();
  if (settings.fast) {
    fast_parser_ = std::make_unique<FastParser>(history_.get());
  } else {
    finder_ =
        std::make_unique<MatchFinder>(settings.finder, settings.hash_bits, settings.depth, settings.parser.nice_length);
    parser_ = std::make_unique<Parser>(settings.parser, history_.get(), finder_.get());
  }
  block_bytes_ = settings.block_bytes;
}

Packer::~Packer() = default;

void Packer::FlushBits(PackOutput* output, PackedEntry* result) {
  out_bytes_.clear();
  bits_.TakeBytes(&out_bytes_);
  if (out_bytes_.empty()) return;
  if (!output->Write(out_bytes_.data(), out_bytes_.size())) result->written = false;
  result->packed_size += out_bytes_.size();
}

void Packer::ReadAhead(Entry* entry, uint32_t from, uint32_t bytes) {
  while (!entry->at_end && history_->end() - from < bytes) {
    uint8_t* room = history_->Reserve(kReadBytes, from);
    size_t got = entry->input->Read(room, kReadBytes);
    if (got == 0) entry->at_end = true;
    history_->Commit(static_cast<uint32_t>(got));
    entry->result->unpacked_size += got;
  }
}

uint32_t Packer::BlockStop(const Entry& entry, uint32_t from) const {
  uint32_t data_end = history_->end();
  return std::min(from + block_bytes_, entry.at_end ? data_end : data_end - kMaxMatch);
}

template <typename Parse, typename Undo>
void Packer::PricesForBlock(const Parse& parse, const Undo& undo, Prices* prices) {
  if (stream_.encoder.has_tables()) {
    prices->Set(stream_.encoder.lengths());
    return;
  }
  prices->SetDefault();
  tokens_.clear();
  BlockPlan plan;
  parse(*prices, &plan);
  BlockEncoder::FinishPlan(&plan);
  prices->Set(plan.lengths);
  stream_.recent = RecentState{};
  undo();
}

void Packer::EncodeTokens(const BlockPlan& plan, Entry* entry) {
  stream_.encoder.EncodeBlock(tokens_.data(), tokens_.size(), plan, entry->header_due, &bits_);
  entry->header_due = false;
}

PackedEntry Packer::PackEntry(PackInput* input, PackOutput* output, bool solid) {
  PackedEntry result;
  saved_ = stream_;
  Entry entry{input, output, &result, false, !solid || !stream_.open};
  if (entry.header_due) {
    history_->Reset();
    ForgetPositions();
    stream_.encoder.Reset();
    stream_.recent = RecentState{};
  }
  history_->BeginEntry();
  stream_.open = true;
  bits_.Clear();
  if (optimal_)
    PackOptimal(&entry);
  else
    PackLazy(&entry);
  if (entry.header_due) {
    // An empty non-solid entry still gets tables, so that the decoder's
    // state after it is defined.
    stream_.encoder.EncodeBlock(nullptr, 0, true, &bits_);
  }
  bits_.AlignToByte();
  FlushBits(output, &result);
  return result;
}

void Packer::EncodeParsed(Entry* entry) {
  stream_.encoder.EncodeBlock(coded_tokens_.data(), coded_tokens_.size(), coded_plan_, entry->header_due, &bits_);
  entry->header_due = false;
  FlushBits(entry->output, entry->result);
}

// While the second thread codes a block, this one parses the next, so the
// parse cannot wait for the tables the coding settles on. Each block after
// an entry's first is therefore priced by the code lengths of the block
// before it, which the parse leaves behind; the first by the tables in
// force, since no coding is under way between entries.
void Packer::PackLazy(Entry* entry) {
  uint32_t position = history_->end();
  Prices prices;
  bool first = true;
  BlockPlan plan;
  for (;;) {
    // Keep a block and a longest match of look-ahead, unless the entry ends.
    // The coding thread never reads the history, which reading may move.
    ReadAhead(entry, position, block_bytes_ + kMaxMatch);
    uint32_t stop = BlockStop(*entry, position);
    if (position >= stop) break;
    uint32_t block_start = position;
    uint32_t data_end = history_->end();
    auto parse = [&](const Prices& p, BlockPlan* counts) {
      if (fast_parser_) return fast_parser_->Parse(block_start, stop, data_end, p, &stream_.recent, &tokens_, counts);
      uint32_t end = parser_->Parse(block_start, stop, data_end, p, &stream_.recent, &tokens_);
      BlockEncoder::CountSymbols(tokens_.data(), tokens_.size(), counts);
      return end;
    };
    // The first parse recorded the block's positions: search them afresh.
    if (first)
      PricesForBlock(
          parse, [&] { ForgetPositions(); }, &prices);
    first = false;
    tokens_.clear();
    position = parse(prices, &plan);
    BlockEncoder::FinishPlan(&plan);
    prices.Set(plan.lengths);
    helper_.Wait();
    std::swap(tokens_, coded_tokens_);
    coded_plan_ = plan;
    helper_.Start([this, entry] { EncodeParsed(entry); });
  }
  helper_.Wait();
}

// Blocks follow one another at fixed places from the entry's start, each
// searched whole, wherever the parse of the one before it ended: what the
// finder records and finds is thus the same whether the next block is
// searched beside the parse or after it. Three blocks are in hand at once:
// while this thread parses one, the second thread completes the search of
// the next and this thread prepares the one after that.
void Packer::PackOptimal(Entry* entry) {
  uint32_t position = history_->end();
  BlockMatches* current = &matches_[0];
  BlockMatches* next = &matches_[1];
  BlockMatches* after = &matches_[2];
  // Reads what a block from `from` needs, and where it stops (`from` when
  // the entry has no bytes there). No other thread may read the history
  // meanwhile: reading may move it.
  auto read_block = [&](uint32_t from) {
    ReadAhead(entry, position, from - position + block_bytes_ + kMaxMatch);
    return BlockStop(*entry, from);
  };
  uint32_t stop = read_block(position);
  if (position >= stop) return;
  current->Collect(finder_.get(), *history_, position, stop, history_->end(), nice_length_);
  uint32_t next_stop = read_block(stop);
  bool more = stop < next_stop;
  if (more) next->Prepare(finder_.get(), *history_, stop, next_stop, history_->end());
  Prices prices;
  for (;;) {
    bool more_after = false;
    if (more) {
      uint32_t after_stop = read_block(next_stop);
      helper_.Start([this, next] { next->Complete(finder_.get(), *history_, nice_length_); });
      more_after = next_stop < after_stop;
      if (more_after) after->Prepare(finder_.get(), *history_, next_stop, after_stop, history_->end());
      next_stop = after_stop;
    }
    // The last token of a block may end inside the next one, even past it.
    if (position < current->stop()) {
      uint32_t block_start = position;
      auto parse = [&](const Prices& p, BlockPlan* counts) {
        uint32_t end = parser_->ParseOptimal(*current, block_start, p, &stream_.recent, &tokens_);
        BlockEncoder::CountSymbols(tokens_.data(), tokens_.size(), counts);
        return end;
      };
      PricesForBlock(
          parse, [] {}, &prices);
      tokens_.clear();
      BlockPlan plan;
      position = parse(prices, &plan);
      BlockEncoder::FinishPlan(&plan);
      EncodeTokens(plan, entry);
      FlushBits(entry->output, entry->result);
    }
    helper_.Wait();
    if (!more) return;
    std::swap(current, next);
    std::swap(next, after);
    more = more_after;
  }
}

void Packer::TakeBackEntry() {
  stream_ = saved_;
  history_->TakeBackEntry();
  // The tables still name positions of the forgotten bytes: start them
  // afresh from the recent history.
  ForgetPositions();
  uint32_t end = history_->end();
  uint32_t from = std::max(history_->start(), end > kReindexBytes ? end - kReindexBytes : 0u);
  if (fast_parser_) {
    for (uint32_t position = from; position + kFastHashedBytes <= end; ++position) fast_parser_->Insert(position);
    return;
  }
  for (uint32_t position = from; position + kHashedBytes <= end; ++position) finder_->Insert(*history_, position);
  parser_->RewindTo(end);
}

void Packer::ForgetPositions() {
  if (fast_parser_) {
    fast_parser_->Reset();
    return;
  }
  finder_->Reset();
  parser_->Reset();
}

}  // namespace pack
