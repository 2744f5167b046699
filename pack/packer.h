// The compressor of the 2.0 method: one entry at a time into a packed
// stream that the installer's decoder (and any decoder of the format) turns
// back into the entry's bytes. Entries of a solid archive continue one
// stream: the window, the match history and the tables carry over.
//
// What the decoder implies for the stream, and how it is kept:
// - every compressed entry starts its bit stream on a byte boundary and a
//   non-solid one starts with a table header;
// - no match reaches past the end of its entry;
// - after its last symbol an entry ends with at most 7 padding bits, so
//   the decoder's end-of-entry look-ahead (which acts on a symbol only when
//   five more bytes are buffered) never finds one; a solid entry that wants
//   new tables switches at its own start instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "pack/bit_writer.h"
#include "pack/block_encoder.h"
#include "pack/block_matches.h"
#include "pack/fast_parser.h"
#include "pack/history.h"
#include "pack/match_finder.h"
#include "pack/parser.h"
#include "pack/task_thread.h"
#include "pack/token.h"

namespace pack {

constexpr int kMinLevel = 1;  // level 0 is storing, which needs no packer
constexpr int kMaxLevel = 5;
constexpr int kDefaultLevel = 3;

// Where an entry's bytes come from: Read returns up to `count` bytes, 0 at
// the end of the entry.
class PackInput {
 public:
  virtual ~PackInput() = default;
  virtual size_t Read(uint8_t* destination, size_t count) = 0;
};

// Where packed bytes go; false on a write failure.
class PackOutput {
 public:
  virtual ~PackOutput() = default;
  virtual bool Write(const uint8_t* data, size_t count) = 0;
};

struct PackedEntry {
  uint64_t unpacked_size = 0;
  uint64_t packed_size = 0;
  bool written = true;  // false when the output refused bytes
};

class Packer {
 public:
  // With `second_thread`, a second thread takes part: at the levels that
  // search before they parse (4 and 5) it searches the next block while the
  // current one is parsed; at the others it codes each block while the next
  // is parsed. The packed bytes are the same with or without it.
  explicit Packer(int level, bool second_thread = false);
  ~Packer();

  // Packs one entry. `solid` continues the stream of the previous packed
  // entry (whose state must not have been taken back); the first entry of a
  // stream is never solid. The stream holds at most 4 GiB - 2 bytes since
  // its last non-solid entry.
  PackedEntry PackEntry(PackInput* input, PackOutput* output, bool solid);

  // Forgets the last packed entry (the caller stores it instead): a solid
  // entry after it continues from the state before it.
  void TakeBackEntry();

  // Whether a solid entry may follow: a packed entry exists and was not
  // taken back as the only one of its stream.
  bool CanContinue() const { return stream_.open; }

 private:
  // The entry being packed.
  struct Entry {
    PackInput* input;
    PackOutput* output;
    PackedEntry* result;
    bool at_end;      // input has no more bytes
    bool header_due;  // the next block starts with a table header
  };

  // Reads on until `bytes` lie beyond `from` or the entry ends; the window
  // before `from` stays.
  void ReadAhead(Entry* entry, uint32_t from, uint32_t bytes);
  // Where a block that starts at `from` ends: a block's size on, and short
  // of the bytes read by a longest match unless the entry ends sooner.
  uint32_t BlockStop(const Entry& entry, uint32_t from) const;
  void PackLazy(Entry* entry);
  void PackOptimal(Entry* entry);
  // Prices for the next block: the tables in force; in a stream's first
  // block, which has none, the lengths a first `parse` under neutral prices
  // leads to. Its tokens are then dropped, and `undo` forgets what else it
  // left behind.
  template <typename Parse, typename Undo>
  void PricesForBlock(const Parse& parse, const Undo& undo, Prices* prices);
  void EncodeTokens(const BlockPlan& plan, Entry* entry);
  // Codes the block in coded_tokens_ by coded_plan_ and hands its bytes on.
  void EncodeParsed(Entry* entry);
  void FlushBits(PackOutput* output, PackedEntry* result);
  // Drops every recorded position: the stream starts afresh.
  void ForgetPositions();

  // Everything a decoder carries from one entry of the stream to the next
  // besides the window's bytes (which History keeps): the tables in force
  // with the lengths the next header differs from, and the match history.
  // Kept as one record so that a take-back restores all of it.
  struct StreamState {
    BlockEncoder encoder;
    RecentState recent;
    bool open = false;  // a packed entry begins the stream
  };

  int level_;
  bool optimal_;
  uint32_t nice_length_;
  std::unique_ptr<History> history_;
  // Level 1 parses with fast_parser_ alone, the others with parser_ and finder_.
  std::unique_ptr<FastParser> fast_parser_;
  std::unique_ptr<MatchFinder> finder_;
  std::unique_ptr<Parser> parser_;
  StreamState stream_;
  StreamState saved_;  // before the last entry, for TakeBackEntry
  BitWriter bits_;
  std::vector<Token> tokens_;
  // The lazy levels' block being coded while the next is parsed into tokens_.
  std::vector<Token> coded_tokens_;
  BlockPlan coded_plan_;
  std::vector<uint8_t> out_bytes_;
  uint32_t block_bytes_;
  BlockMatches matches_[3];  // one block being parsed, the next searched, the one after prepared
  TaskThread helper_;        // searches (levels 4 and 5) or codes (1 to 3) beside the parse
};

}  // namespace pack
