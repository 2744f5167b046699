#include "pack/packer.h"

#include <algorithm>

#include "pack/lz_format.h"

namespace pack {

namespace {

struct LevelSettings {
  FinderKind finder;
  int hash_bits;
  int depth;
  uint32_t block_bytes;
  ParserSettings parser;
};

// Parser: lazy_steps, insert_in_matches, optimal, nice_length.
const LevelSettings kLevels[kMaxLevel + 1] = {
    {},
    {FinderKind::kChains, 18, 1, 1u << 17, {1, true, false, 16}},
    {FinderKind::kChains, 18, 2, 1u << 17, {1, true, false, 32}},
    {FinderKind::kChains, 18, 4, 1u << 17, {1, true, false, 32}},
    {FinderKind::kChains, 18, 12, 1u << 16, {0, true, true, 64}},
    {FinderKind::kTrees, 18, 64, 1u << 16, {0, true, true, kMinNewMatch + kMaxLengthValue}},
};

// Input arrives in pieces of this size.
constexpr uint32_t kReadBytes = 1u << 18;
// After a take-back the finder starts afresh and records again only this
// much of the window before the entry: older bytes are no longer matched
// (with trees, recording a position costs a search).
constexpr uint32_t kReindexBytes = 1u << 18;

}  // namespace

Packer::Packer(int level) : level_(std::clamp(level, kMinLevel, kMaxLevel)) {
  const LevelSettings& settings = kLevels[level_];
  history_ = std::make_unique<History>();
  finder_ = std::make_unique<MatchFinder>(settings.finder, settings.hash_bits, settings.depth,
                                          settings.parser.nice_length);
  parser_ = std::make_unique<Parser>(settings.parser, history_.get(), finder_.get());
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

PackedEntry Packer::PackEntry(PackInput* input, PackOutput* output, bool solid) {
  PackedEntry result;
  saved_ = stream_;
  bool header_due = !solid || !stream_.open;
  if (header_due) {
    history_->Reset();
    finder_->Reset();
    parser_->Reset();
    stream_.encoder.Reset();
    stream_.recent = RecentState{};
  }
  history_->BeginEntry();
  stream_.open = true;
  bits_.Clear();

  uint32_t position = history_->end();
  bool at_end = false;
  Prices prices;
  for (;;) {
    // Keep a block and a longest match of look-ahead, unless the entry ends.
    while (!at_end && history_->end() - position < block_bytes_ + kMaxMatch) {
      uint8_t* room = history_->Reserve(kReadBytes, position);
      size_t got = input->Read(room, kReadBytes);
      if (got == 0) at_end = true;
      history_->Commit(static_cast<uint32_t>(got));
      result.unpacked_size += got;
    }
    uint32_t data_end = history_->end();
    uint32_t stop = std::min(position + block_bytes_, at_end ? data_end : data_end - kMaxMatch);
    if (position >= stop) break;
    uint32_t block_start = position;
    if (stream_.encoder.has_tables()) {
      prices.Set(stream_.encoder.lengths());
    } else {
      // The stream's first block has no statistics to price matches by: a
      // first parse provides them, and the block is parsed again.
      prices.SetDefault();
      tokens_.clear();
      parser_->Parse(position, stop, data_end, prices, &stream_.recent, &tokens_);
      CodeLengths lengths;
      BlockEncoder::BuildLengths(tokens_.data(), tokens_.size(), &lengths);
      prices.Set(lengths);
      finder_->Reset();
      parser_->Reset();
      stream_.recent = RecentState{};
    }
    tokens_.clear();
    position = parser_->Parse(block_start, stop, data_end, prices, &stream_.recent, &tokens_);
    stream_.encoder.EncodeBlock(tokens_.data(), tokens_.size(), header_due, &bits_);
    header_due = false;
    FlushBits(output, &result);
  }
  if (header_due) {
    // An empty non-solid entry still gets tables, so that the decoder's
    // state after it is defined.
    stream_.encoder.EncodeBlock(nullptr, 0, true, &bits_);
  }
  bits_.AlignToByte();
  FlushBits(output, &result);
  return result;
}

void Packer::TakeBackEntry() {
  stream_ = saved_;
  history_->TakeBackEntry();
  // The chains still name positions of the forgotten bytes: start them
  // afresh from the recent history.
  finder_->Reset();
  uint32_t end = history_->end();
  uint32_t from = std::max(history_->start(), end > kReindexBytes ? end - kReindexBytes : 0u);
  for (uint32_t position = from; position + kHashedBytes <= end; ++position) finder_->Insert(*history_, position);
  parser_->RewindTo(end);
}

}  // namespace pack
