// The decoder produces the bytes and carries the state of the plain method
// (a comparison search per symbol, byte-by-byte copies, the whole window
// zeroed per non-solid entry), by faster means: symbols decode through a
// first-level lookup (decode_table.h); the symbol loop keeps its bit
// position in a 64-bit buffer and tests its per-symbol checks against the
// nearest event only; matches copy eight bytes at a time where the distance
// allows; a non-solid reset clears only the window bytes written since the
// last one. Output reaches the sink only when the window is nearly full and
// at the end of the entry.
//
// It also stops where the plain method would run on: an entry that reads
// past its packed data, and an entry in audio mode (unpack_stop says which).
#include "unpack/lz_decoder.h"

#include <cstring>

#include "archive/extract_context.h"
#include "unpack/code_lengths.h"
#include "unpack/decode_table.h"
#include "unpack/output_sink.h"
#include "unpack/packed_stream.h"

namespace {

// Before each symbol the input is refilled once in_pos has passed this: the
// longest symbol (a 15-bit code, 5 length bits, a 15-bit distance code and
// 16 distance bits) then still peeks inside in_buf.
constexpr uint32_t kSymbolRefillAt = 8162;

// Pending output is flushed once fewer free window bytes than this remain
// in front of it: every symbol produces at most 260 bytes.
constexpr uint32_t kFlushMargin = 270;

// Main alphabet.
constexpr uint32_t kRepeatLastSymbol = 256;
constexpr uint32_t kFirstShortSymbol = 261;   // 261..268: 2-byte matches, short distances
constexpr uint32_t kNewTablesSymbol = 269;
constexpr uint32_t kFirstLengthSymbol = 270;  // 270..297: length slots of a new match

// Length slots: each base is the previous one plus 2^(previous bit count).
constexpr uint8_t kLengthBase[28] = {0,  1,  2,  3,  4,  5,  6,  7,   8,   10,  12,  14,  16,  20,
                                     24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
constexpr uint8_t kLengthBits[28] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                     2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};

// Distance slots, built the same way; the last twelve step by 0x10000.
constexpr uint32_t kDistBase[48] = {
    0,       1,       2,       3,       4,       6,       8,       12,      16,      24,
    32,      48,      64,      96,      128,     192,     256,     384,     512,     768,
    1024,    1536,    2048,    3072,    4096,    6144,    8192,    12288,   16384,   24576,
    32768,   49152,   65536,   98304,   131072,  196608,  0x40000, 0x50000, 0x60000, 0x70000,
    0x80000, 0x90000, 0xA0000, 0xB0000, 0xC0000, 0xD0000, 0xE0000, 0xF0000};
constexpr uint8_t kDistBits[48] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                   7,  7,  8,  8,  9,  9,  10, 10, 11, 11, 12, 12, 13, 13, 14, 14,
                                   15, 15, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};

// Short-distance slots of the 2-byte matches.
constexpr uint8_t kShortBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};
constexpr uint8_t kShortBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

// Long distances pay for their extra bits with longer minimum matches.
constexpr uint32_t kLongDistance = 0x2000;
constexpr uint32_t kVeryLongDistance = 0x40000;
constexpr uint32_t kRecentNearDistance = 0x101;

// Records a match in the history: the ring of recent distances and the
// last match, which symbol 256 repeats. Every match is recorded, repeats
// included.
inline void RecordMatch(ExtractContext* context, uint32_t length, uint32_t distance) {
  context->recent_dist[context->recent_index & 3] = distance;
  context->recent_index += 1;
  context->last_distance = distance;
  context->last_length = length;
}

// Copies `length` bytes to window position `to` (below kWindowSize) from
// `distance` bytes back, with the result of a byte-by-byte forward copy:
// where the source overlaps the bytes being written, the last `distance`
// bytes repeat. A distance of 0 or kWindowSize leaves the bytes as they are.
inline void CopyInWindow(uint8_t* window, uint32_t to, uint32_t length, uint32_t distance) {
  uint32_t from = (to - distance) & kWindowMask;
  if (to + length > kWindowSize || from + length > kWindowSize) {
    // Source or destination wraps the window end: byte by byte.
    for (uint32_t i = 0; i < length; ++i)
      window[(to + i) & kWindowMask] = window[(from + i) & kWindowMask];
    return;
  }
  uint8_t* out = window + to;
  const uint8_t* in = window + from;
  if (from < to && distance >= 8) {
    // Each 8-byte step reads only bytes that precede it, so it sees them as
    // the byte-by-byte copy would. The last step may rewrite up to seven
    // bytes of the one before, with the same values; nothing past the match
    // end is touched (those window bytes are still history).
    if (length >= 8) {
      for (uint32_t i = 0; i + 8 < length; i += 8) memcpy(out + i, in + i, 8);
      memcpy(out + length - 8, in + length - 8, 8);
      return;
    }
    for (uint32_t i = 0; i < length; ++i) out[i] = in[i];
  } else if (from > to) {
    // The source lies ahead (a distance reaching back over the window
    // start): a forward copy then reads only bytes it has not yet written.
    memmove(out, in, length);
  } else if (distance == 1) {
    memset(out, in[0], length);
  } else if (from != to) {
    for (uint32_t i = 0; i < length; ++i) out[i] = in[i];
  }
}

// The symbol loop's hot state, held in locals: stores into the window may
// alias anything, so fields of the context would be reloaded after each.
// The bit position lives in a 64-bit buffer of upcoming stream bits instead
// of in_pos and in_bit, so that a symbol costs a shift and a lookup rather
// than three byte loads. Sync() hands the state to the context (in_pos and
// in_bit exactly where the stream stands) before a call that works on it,
// Load() takes it back.
struct LoopState {
  ExtractContext* context;
  uint8_t* window;
  const uint8_t* in;
  uint64_t bits;   // the next `count` stream bits, first bit at the top; zeros below
  uint32_t count;
  uint32_t next;   // in_buf index of the first byte not yet in `bits`
  uint32_t wpos;   // win_pos; may pass the window end until the next check
  int32_t left;    // unpacked_left

  // Bit position in in_buf of the next unread bit: in_pos * 8 + in_bit.
  uint32_t BitPosition() const { return next * 8 - count; }

  void Sync() {
    uint32_t position = BitPosition();
    context->in_pos = position >> 3;
    context->in_bit = position & 7;
    context->win_pos = wpos;
    context->unpacked_left = left;
  }
  void Load() {
    // A table read may leave in_pos up to three bytes before the end of
    // in_buf; the loop refills before it decodes there, but this first word
    // must not reach past the buffer: missing bytes read as zeros.
    next = context->in_pos;
    uint32_t word = 0;
    for (uint32_t i = 0; i < 4; ++i)
      word = word << 8 | (next + i < kInputBufferSize ? in[next + i] : 0);
    bits = static_cast<uint64_t>(word) << 32;
    next += 4;
    count = 32;
    Consume(context->in_bit);
    wpos = context->win_pos;
    left = context->unpacked_left;
  }

  // Tops `bits` up to more than 32 valid bits. It reads at most 7 bytes
  // past in_pos, which stays at or below kSymbolRefillAt + 7 in the loop:
  // inside in_buf.
  void Fill() {
    if (count > 32) return;
    const uint8_t* p = in + next;
    uint32_t word = static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
                    static_cast<uint32_t>(p[2]) << 8 | p[3];
    bits |= static_cast<uint64_t>(word) << (32 - count);
    next += 4;
    count += 32;
  }
  void Consume(uint32_t n) {
    bits <<= n;
    count -= n;
  }
  // Decodes a symbol; needs 15 bits in the buffer.
  uint32_t Symbol(const DecodeTable& table) {
    uint32_t length;
    uint32_t symbol = DecodePeek(table, static_cast<uint32_t>(bits >> 48), &length);
    Consume(length);
    return symbol;
  }
  // A field of 0..16 bits (0 reads nothing); needs that many in the buffer.
  uint32_t Extra(uint32_t n) {
    uint32_t value = static_cast<uint32_t>(bits >> 32 >> (32 - n));
    Consume(n);
    return value;
  }
  void Match(uint32_t length, uint32_t distance) {
    RecordMatch(context, length, distance);
    left -= static_cast<int32_t>(length);
    CopyInWindow(window, wpos, length, distance);
    wpos += length;
  }
};

// The loop checks, before every symbol: wrap win_pos at the window end,
// refill the input, stop past the packed data, stop in audio mode, flush
// when the window is nearly full of pending bytes. Between two of those
// events none of them acts, so the loop compares its positions against the
// nearest event only (pos_limit, wpos_limit) and runs the checks when one
// is reached.
struct CheckLimits {
  int32_t pos_limit;   // checks due once in_pos passes this
  uint32_t wpos_limit; // checks due once win_pos reaches this
};

CheckLimits NextChecks(const ExtractContext* context, uint32_t wpos) {
  CheckLimits limits;
  int32_t overrun_at = context->in_end + kInputOverrunLimit;
  limits.pos_limit = overrun_at < static_cast<int32_t>(kSymbolRefillAt)
                         ? overrun_at
                         : static_cast<int32_t>(kSymbolRefillAt);
  // Pending bytes run from win_flushed up to wpos, wrapping the window end.
  // A flush is due at the first position with fewer than kFlushMargin free
  // bytes before win_flushed, other than win_flushed itself.
  uint32_t flushed = context->win_flushed;
  uint32_t flush_at;
  if (flushed <= wpos) {
    flush_at = flushed + kWindowSize - (kFlushMargin - 1);
  } else {
    flush_at = flushed - wpos > kFlushMargin - 1 ? flushed - (kFlushMargin - 1) : wpos;
  }
  limits.wpos_limit = flush_at < kWindowSize ? flush_at : kWindowSize;
  return limits;
}

// Decodes symbols until the entry has its bytes or has to stop; the reason
// goes to unpack_stop. Each step reads in stream order: the extra length
// bits of a match come before its distance symbol.
void DecodeSymbols(ExtractContext* context) {
  LoopState s = {context, context->window, context->in_buf, 0, 0, 0, 0, 0};
  s.Load();
  CheckLimits limits = {-1, 0};  // run the checks before the first symbol
  // left counts the bytes still owed; a match may overshoot it, and is then
  // delivered whole. A size of 2^31 or more reads as negative and produces
  // nothing.
  while (s.left > 0) {
    // `next` runs at most 8 bytes ahead of in_pos: testing it may run the
    // checks a few symbols early, which only costs time.
    if (static_cast<int32_t>(s.next) > limits.pos_limit || s.wpos >= limits.wpos_limit) {
      if (s.wpos >= kWindowSize) {
        s.wpos &= kWindowMask;
        context->window_dirty = kWindowSize;
      }
      if ((s.BitPosition() >> 3) > kSymbolRefillAt) {
        s.Sync();
        ContinueInput(context);
        s.Load();
      }
      // A valid stream ends inside its packed data. Past it, the bits are
      // stale buffer bytes and symbols that produce nothing could run on
      // for ever: the entry is damaged, stop.
      if (InputOverrun(context, s.BitPosition() >> 3)) {
        context->unpack_stop = kUnpackInputExhausted;
        break;
      }
      // No audio decoder exists: after an audio header the rest of the
      // entry cannot be reproduced.
      if (context->audio_mode != 0) {
        context->unpack_stop = kUnpackAudio;
        break;
      }
      uint32_t flushed = context->win_flushed;
      if (((flushed - s.wpos) & kWindowMask) < kFlushMargin && flushed != s.wpos) {
        s.Sync();
        FlushWindow(context);
      }
      limits = NextChecks(context, s.wpos);
    }

    s.Fill();
    uint32_t symbol = s.Symbol(context->main_table);
    if (symbol < 256) {
      s.window[s.wpos++] = static_cast<uint8_t>(symbol);
      --s.left;
    } else if (symbol >= kFirstLengthSymbol) {
      uint32_t slot = symbol - kFirstLengthSymbol;
      uint32_t length = kLengthBase[slot] + 3 + s.Extra(kLengthBits[slot]);
      s.Fill();
      uint32_t dist_slot = s.Symbol(context->dist_table);
      s.Fill();
      uint32_t distance = kDistBase[dist_slot] + 1 + s.Extra(kDistBits[dist_slot]);
      if (distance >= kVeryLongDistance) ++length;
      if (distance >= kLongDistance) ++length;
      s.Match(length, distance);
    } else if (symbol == kNewTablesSymbol) {
      s.Sync();
      ReadCodeLengths(context);
      s.Load();
      limits.pos_limit = -1;  // the read moved the input; it may have chosen audio mode
    } else if (symbol == kRepeatLastSymbol) {
      s.Match(context->last_length, context->last_distance);
    } else if (symbol < kFirstShortSymbol) {
      // 257..260: a recent distance, 257 the newest and 260 the oldest.
      uint32_t age = symbol - kRepeatLastSymbol;
      uint32_t distance = context->recent_dist[(context->recent_index - age) & 3];
      s.Fill();
      uint32_t slot = s.Symbol(context->rep_length_table);
      uint32_t length = kLengthBase[slot] + 2 + s.Extra(kLengthBits[slot]);
      if (distance >= kVeryLongDistance) ++length;
      if (distance >= kLongDistance) ++length;
      if (distance >= kRecentNearDistance) ++length;
      s.Match(length, distance);
    } else {
      uint32_t slot = symbol - kFirstShortSymbol;
      s.Match(2, kShortBase[slot] + 1 + s.Extra(kShortBits[slot]));
    }
  }
  if (s.wpos >= kWindowSize) {
    s.wpos &= kWindowMask;
    context->window_dirty = kWindowSize;
  }
  s.Sync();
}

}  // namespace

void InitUnpack(ExtractContext* context, bool solid) {
  context->in_bit = 0;
  context->in_pos = 0;
  if (solid) return;
  context->cur_channel = 0;
  memset(context->recent_dist, 0, sizeof context->recent_dist);
  context->recent_index = 0;
  context->last_length = 0;
  context->last_distance = 0;
  // The window must read as zeros again, but only what entries wrote since
  // the last reset can differ from zero: clearing that part is enough.
  memset(context->window, 0, context->window_dirty);
  context->window_dirty = 0;
  memset(context->old_lengths, 0, kLengthTableSize);
  context->win_flushed = 0;
  context->win_pos = 0;
}

void CopyMatch(ExtractContext* context, uint32_t length, uint32_t distance) {
  RecordMatch(context, length, distance);
  context->unpacked_left -= static_cast<int32_t>(length);
  uint32_t to = context->win_pos & kWindowMask;
  CopyInWindow(context->window, to, length, distance);
  if (to + length >= kWindowSize) context->window_dirty = kWindowSize;
  context->win_pos = (to + length) & kWindowMask;
}

void ReadTrailingTables(ExtractContext* context) {
  if (context->in_top < context->in_pos + 5) return;
  if (context->audio_mode != 0) {
    const DecodeTable* table = &context->audio_tables[context->cur_channel];
    if (DecodeSymbol(context, table) == 256) ReadCodeLengths(context);
  } else if (DecodeSymbol(context, &context->main_table) == kNewTablesSymbol) {
    ReadCodeLengths(context);
  }
}

void UnpackEntry(ExtractContext* context, uint8_t* window, bool solid) {
  context->window = window;
  context->unpack_stop = kUnpackComplete;
  InitUnpack(context, solid);
  StartInput(context);
  if (!solid) ReadCodeLengths(context);

  DecodeSymbols(context);

  if (context->unpack_stop == kUnpackComplete) ReadTrailingTables(context);
  if (context->win_pos > context->window_dirty) context->window_dirty = context->win_pos;
  FlushWindow(context);
}
