// The decoder produces the bytes and carries the state of the plain method
// (a comparison search per symbol, byte-by-byte copies, the whole window
// zeroed per non-solid entry), by faster means: symbols decode through a
// first-level lookup whose entry also counts the extra bits after the code
// and, for distances, carries the slot's base (decode_table.h); the symbol
// loop keeps its bit position in a machine word topped up without a
// branch, once per symbol on 64-bit machines and between a symbol's parts
// on 32-bit ones, decodes runs of literals in a loop of its own, and tests
// its per-symbol checks against the nearest event only. The window lives
// in a ring of twice its size, so that the bytes right ahead of the write
// position are ones no match reaches: copies go 8 or 16 bytes at a time
// and may run past a match's end, short matches as four 8-byte steps with
// no branch on their length. A non-solid reset clears only the ring bytes
// written since the last one. The loop hands the window back for delivery
// only when nearly a window of bytes is pending; the rest waits for the
// end of the entry.
//
// It also stops where the plain method would run on: an entry that reads
// past its packed data, and an entry in audio mode (unpack_stop says which).
#include "unpack/lz_decoder.h"

#include <cstring>

#include "unpack/bit_input.h"
#include "unpack/code_lengths.h"
#include "unpack/decode_table.h"
#include "unpack/decoder.h"
#include "unpack/decoder_bounds.h"
#include "unpack/lz_format.h"

namespace {

// Records a match in the history: the ring of recent distances and the
// last match, which symbol 256 repeats. Every match is recorded, repeats
// included.
inline void RecordMatch(Decoder* decoder, uint32_t length, uint32_t distance) {
  decoder->recent_dist[decoder->recent_index & 3] = distance;
  decoder->recent_index += 1;
  decoder->last_distance = distance;
  decoder->last_length = length;
}

inline uint64_t Load64(const uint8_t* p) {
  uint64_t value;
  memcpy(&value, p, 8);
  return value;
}

inline void Store64(uint8_t* p, uint64_t value) { memcpy(p, &value, 8); }

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr bool kLittleEndian = true;
#else
constexpr bool kLittleEndian = false;
#endif

// The word at p, its first byte most significant.
inline BitWord LoadBigEndian(const uint8_t* p) {
  BitWord value;
#if defined(__GNUC__)
  if (kLittleEndian) {
    memcpy(&value, p, kWordBytes);
    return kWordBytes == 8 ? static_cast<BitWord>(__builtin_bswap64(value))
                           : static_cast<BitWord>(__builtin_bswap32(static_cast<uint32_t>(value)));
  }
#endif
  value = 0;
  for (uint32_t i = 0; i < kWordBytes; ++i) value = value << 8 | p[i];
  return value;
}

// Copies of 8 or 16 bytes. Where a copy's source lies in bytes that an
// earlier copy of the same match wrote, it reads them as written. The 16
// bytes go as two 8-byte copies, which no build turns into a string move.
inline void Copy8(uint8_t* out, const uint8_t* in) { Store64(out, Load64(in)); }
inline void Copy16(uint8_t* out, const uint8_t* in) {
  Copy8(out, in);
  Copy8(out + 8, in + 8);
}

// kRepeatPeriod[d]: the first multiple of a distance d below 8 that is 8
// or more. The bytes a match at distance d writes repeat with every
// multiple of d, so past its first kRepeatPeriod[d] bytes the match is a
// copy from that far back, which 8-byte steps can make.
constexpr uint8_t kRepeatPeriod[8] = {0, 8, 8, 9, 8, 10, 12, 14};

// CopyInWindow's cases away from its fast one: short distances, and copies
// at the ring's end.
void CopyRunOrWrapped(uint8_t* window, uint32_t to, uint32_t length, uint32_t distance) {
  uint32_t from = (to - distance) & kWindowBufferMask;
  if (distance < 8 && from < to && to + length <= kWindowBufferSize - kCopyOvershoot) {
    // Runs of a short pattern: its first period byte by byte, the rest in
    // 8-byte steps from one period back.
    uint8_t* out = window + to;
    uint32_t period = kRepeatPeriod[distance];
    uint32_t i = 0;
    for (; i < period && i < length; ++i) out[i] = window[from + i];
    for (; i < length; i += 8) Copy8(out + i, out + i - period);
    return;
  }
  // At the ring's end, and distance 0: byte by byte.
  uint32_t back = ((distance - 1) & kWindowMask) + 1;
  for (uint32_t i = 0; i < length; ++i)
    window[(to + i) & kWindowBufferMask] = window[(to + i - back) & kWindowBufferMask];
}

// Copies `length` bytes to ring position `to` (below kWindowBufferSize)
// from `distance` bytes back, with the result of a byte-by-byte forward
// copy: where the source overlaps the bytes being written, the last
// `distance` bytes repeat. A distance of 0 reaches back as far as one of
// kWindowSize. The ring's bytes from the match end up to kCopyOvershoot
// past it may change.
UNPACK_INLINE void CopyInWindow(uint8_t* window, uint32_t to, uint32_t length, uint32_t distance) {
  uint32_t from = (to - distance) & kWindowBufferMask;
  uint8_t* out = window + to;
  const uint8_t* in = window + from;
  // Away from the ring's end, with the source at least one step behind the
  // destination, steps read only bytes that earlier steps or symbols wrote,
  // as the byte-by-byte copy does. A source that reaches back over the
  // ring's start lies at least kWindowSize ahead, beyond all the copy writes.
  uint32_t furthest = from > to ? from : to;
  if (distance >= 8 && furthest + length <= kWindowBufferSize - kCopyOvershoot) {
    if (length <= kCopyOvershoot) {
      // Most matches.
      Copy8(out, in);
      Copy8(out + 8, in + 8);
      Copy8(out + 16, in + 16);
      Copy8(out + 24, in + 24);
    } else if (distance >= 16) {
      for (uint32_t i = 0; i < length; i += 16) Copy16(out + i, in + i);
    } else {
      for (uint32_t i = 0; i < length; i += 8) Copy8(out + i, in + i);
    }
    return;
  }
  CopyRunOrWrapped(window, to, length, distance);
}

// Ring bytes from the start up to `end` (which may pass the ring's end) have
// been written, and up to kCopyOvershoot bytes past it may have been.
void NoteWritten(Decoder* decoder, uint32_t end) {
  end = end < kWindowBufferSize - kCopyOvershoot ? end + kCopyOvershoot : kWindowBufferSize;
  if (end > decoder->window_dirty) decoder->window_dirty = end;
}

// The symbol loop's hot state, held in locals: stores into the window may
// alias anything, so fields of the record would be reloaded after each.
// The bit position lives in a machine word of upcoming stream bits instead
// of in_pos and in_bit, so that a symbol costs a shift and a lookup rather
// than three byte loads. SyncLoopState() hands the state to the record
// (in_pos and in_bit exactly where the stream stands) before a call that
// works on it, LoadLoopState() takes it back. Both copy it: nothing takes
// the address of a LoopState, and the steps that get one by reference are
// inlined, so it stays in registers; a call that saw its address would
// keep all of it in memory.
struct LoopState {
  Decoder* decoder;
  uint8_t* window;
  const uint8_t* in;  // in_buf
  // The next `count` stream bits, first bit at the top; the bits below them
  // are zeros or the stream bits that follow, which a top-up ORs in again
  // unchanged. count is below kWordBits, so every shift by it is defined.
  BitWord bits;
  uint32_t count;
  const uint8_t* next;  // the first byte of in_buf not yet in `bits`
  // window + win_pos; may pass the ring's end until the next check.
  uint8_t* out;
  // unpacked_left as it stood when `out` was out_at_check: between checks
  // the loop counts the bytes it owes by `out` alone.
  int32_t left_at_check;
  uint8_t* out_at_check;

  // Bit position in in_buf of the next unread bit: in_pos * 8 + in_bit.
  uint32_t BitPosition() const { return static_cast<uint32_t>(next - in) * 8 - count; }
  int32_t Left() const { return left_at_check - static_cast<int32_t>(out - out_at_check); }
  uint32_t WinPos() const { return static_cast<uint32_t>(out - window); }

  // Tops `bits` up to at least kToppedUpBits valid bits, with one load of a
  // word and no branch: whole bytes go in, as many as fit. The first
  // top-up after the checks finds `next` at most kSymbolRefillAt, so the
  // loads of the symbol end inside in_buf (kLoopReach).
  UNPACK_INLINE void Refill() {
    bits |= LoadBigEndian(next) >> count;
    next += (kWordBits - 1 - count) >> 3;
    count |= kToppedUpBits;
  }
  UNPACK_INLINE void Consume(uint32_t n) {
    bits <<= n;
    count -= n;
  }
  // Consumes the code of `entry` and its extra bits. The mask costs nothing
  // where shifts take their count modulo the word's bits anyway, as x86's
  // do; an entry's total is below 32 either way.
  UNPACK_INLINE void ConsumeEntry(uint32_t entry) {
    bits <<= (entry & (kWordBits - 1));
    count -= EntryTotal(entry);
  }
  // The entry of the next code; needs 15 bits in the buffer.
  UNPACK_INLINE uint32_t Peek(const DecodeTable& table) const {
    return DecodeEntry(table, static_cast<uint32_t>(bits >> (kWordBits - 16)));
  }
  // The next `n` bits (0..16) as a number, consumed.
  UNPACK_INLINE uint32_t TakeBits(uint32_t n) {
    uint32_t value = static_cast<uint32_t>(bits >> (kWordBits - 1 - n) >> 1);
    Consume(n);
    return value;
  }
  // Consumes the code of `entry` and the extra bits after it (EntryTotal,
  // at most 31, all in the buffer) and returns those extra bits.
  UNPACK_INLINE uint32_t Take(uint32_t entry) {
    uint32_t total = EntryTotal(entry);
    uint32_t extra = total - EntryLength(entry);
    uint32_t value = static_cast<uint32_t>(bits >> (kWordBits - total)) & ((1u << extra) - 1);
    Consume(total);
    return value;
  }
  // A distance: its code and its extra bits, needing a full top-up before
  // it. Where a top-up may hold fewer bits than both take, as a 32-bit
  // word's 24 do, both still go in one step whenever the buffer holds
  // them: a distance's code is short and its extra bits few but for the
  // farthest slots, so the top-up between the two, which would lengthen
  // the chain every match's bits wait on, is nearly always left out.
  UNPACK_INLINE uint32_t TakeDistance(const DecodeTable& table) {
    uint32_t entry = Peek(table);
    uint32_t base = EntrySymbol(entry);  // the slot's base + 1 (code_lengths.cpp)
    if (kToppedUpBits >= kMaxCodeLength + kMaxDistBits || EntryTotal(entry) <= count) return base + Take(entry);
    Consume(EntryLength(entry));
    Refill();
    return base + TakeBits(EntryTotal(entry) - EntryLength(entry));
  }
  // The match history stays in the record: a 32-bit machine has no
  // registers left for it, and it is read only where a match is made.
  UNPACK_INLINE void Match(uint32_t length, uint32_t distance) {
    RecordMatch(decoder, length, distance);
    CopyInWindow(window, WinPos(), length, distance);
    out += length;
  }
};

UNPACK_INLINE void SyncLoopState(const LoopState& s) {
  Decoder* decoder = s.decoder;
  uint32_t position = s.BitPosition();
  decoder->input.in_pos = position >> 3;
  decoder->input.in_bit = position & 7;
  decoder->unpacked_left = s.Left();
  decoder->win_pos = s.WinPos();
}

UNPACK_INLINE LoopState LoadLoopState(Decoder* decoder) {
  LoopState s;
  s.decoder = decoder;
  s.window = decoder->window;
  s.in = decoder->input.in_buf;
  // A table read may leave in_pos up to two bytes before the end of
  // in_buf; the loop refills before it decodes there, but this first word
  // may reach past the buffer, into in_pad's zeros. It takes whole bytes
  // but the last, as a top-up would.
  uint32_t at = decoder->input.in_pos;
  s.bits = LoadBigEndian(s.in + at) & ~static_cast<BitWord>(0xFF);
  s.next = s.in + at + kWordBytes - 1;
  s.count = kToppedUpBits;
  s.Consume(decoder->input.in_bit);
  s.out = s.window + decoder->win_pos;
  s.out_at_check = s.out;
  s.left_at_check = decoder->unpacked_left;
  return s;
}

// The loop checks, before every symbol: the entry has its bytes, wrap
// win_pos at the ring's end, refill the input, stop past the packed data,
// stop in audio mode, deliver when nearly a window of bytes is pending.
// Between two of those events none of them acts, so the loop compares its
// positions against the nearest event only (next_limit, out_limit) and runs
// the checks when one is reached.
struct CheckLimits {
  const uint8_t* next_limit;  // checks due once `next` passes this
  uint8_t* out_limit;         // checks due once `out` reaches this
};

// Only called where the checks found the stream inside its packed data, so
// in_pos, and with it the limit, is at most in_end + kInputOverrunLimit.
UNPACK_INLINE CheckLimits NextChecks(const LoopState& s) {
  const Decoder* decoder = s.decoder;
  CheckLimits limits;
  int32_t overrun_at = decoder->input.in_end + kInputOverrunLimit;
  limits.next_limit =
      s.in + (overrun_at < static_cast<int32_t>(kSymbolRefillAt) ? overrun_at : static_cast<int32_t>(kSymbolRefillAt));
  // Pending bytes run from win_flushed up to wpos, wrapping the ring's end;
  // no delivery is due now, so there are at most kWindowSize - kFlushMargin.
  uint32_t wpos = s.WinPos();
  uint32_t pending = (wpos - decoder->win_flushed) & kWindowBufferMask;
  uint32_t room = kWindowSize - kFlushMargin + 1 - pending;  // bytes until one is due
  if (room > kWindowBufferSize - wpos) room = kWindowBufferSize - wpos;
  // left is above 0 and wpos below kWindowBufferSize here.
  if (room > static_cast<uint32_t>(s.left_at_check)) room = static_cast<uint32_t>(s.left_at_check);
  limits.out_limit = s.out + room;
  return limits;
}

// What the checks before a symbol found.
enum LoopEvent {
  kDecodeOn,  // decode up to the next limit
  kStopped,   // the entry has its bytes, or unpack_stop says why not
  kDeliver,   // pending output must be delivered first
};

UNPACK_INLINE LoopEvent RunChecks(LoopState& s) {
  Decoder* decoder = s.decoder;
  int32_t left = s.Left();
  if (left <= 0) return kStopped;
  if (s.WinPos() >= kWindowBufferSize) {
    NoteWritten(decoder, s.WinPos());
    s.out -= kWindowBufferSize;
  }
  s.out_at_check = s.out;
  s.left_at_check = left;
  if ((s.BitPosition() >> 3) > kSymbolRefillAt) {
    SyncLoopState(s);
    FillInput(&decoder->input, false);
    s = LoadLoopState(decoder);
  }
  // A valid stream ends inside its packed data. Past it, the bits are
  // stale buffer bytes and symbols that produce nothing could run on
  // for ever: the entry is damaged, stop.
  if (InputOverrun(&decoder->input, s.BitPosition() >> 3)) {
    decoder->unpack_stop = kUnpackInputExhausted;
    return kStopped;
  }
  // No audio decoder exists: after an audio header the rest of the
  // entry cannot be reproduced.
  if (decoder->audio_mode != 0) {
    decoder->unpack_stop = kUnpackAudio;
    return kStopped;
  }
  uint32_t pending = (s.WinPos() - decoder->win_flushed) & kWindowBufferMask;
  return pending > kWindowSize - kFlushMargin ? kDeliver : kDecodeOn;
}

// Decodes symbols until a limit is reached or a table read moved the input.
// Each step reads in stream order: the extra length bits of a match come
// before its distance symbol. A symbol starts on a full top-up; where that
// holds fewer bits than the symbol's parts may take, as on 32-bit
// machines, the buffer is topped up again before the part that could run
// short (the conditions are constants, so a build keeps only its own).
UNPACK_INLINE void DecodeRun(LoopState& s, CheckLimits limits) {
  Decoder* decoder = s.decoder;
  do {
    s.Refill();
    uint32_t entry = s.Peek(decoder->main_table);
    uint32_t symbol = EntrySymbol(entry);
    if (symbol < 256) {
      // Literals come in runs: a loop of their own, which needs fewer
      // registers than the whole step, so that 32-bit machines keep the
      // bit buffer in them. Both limits are tested as before any symbol.
      do {
        s.ConsumeEntry(entry);
        *s.out++ = static_cast<uint8_t>(symbol);
        if (s.next > limits.next_limit || s.out >= limits.out_limit) return;
        s.Refill();
        entry = s.Peek(decoder->main_table);
        symbol = EntrySymbol(entry);
      } while (symbol < 256);
    }
    // Every other symbol but the table switch is a match: one copy for
    // all of them, after each kind has read its length and distance.
    uint32_t length, distance;
    if (symbol >= kFirstLengthSymbol) {
      length = kLengthBase[symbol - kFirstLengthSymbol] + kMinNewMatch + s.Take(entry);
      if (kToppedUpBits < kMaxCodeLength + kMaxLengthBits + kMaxCodeLength) s.Refill();
      distance = s.TakeDistance(decoder->dist_table);
      length += (distance >= kVeryLongDistance) + (distance >= kLongDistance);
    } else if (symbol >= kFirstShortSymbol) {
      if (symbol == kNewTablesSymbol) {
        s.ConsumeEntry(entry);
        SyncLoopState(s);
        ReadCodeLengths(decoder);
        s = LoadLoopState(decoder);
        return;  // the read moved the input; it may have chosen audio mode
      }
      length = 2;
      distance = kShortBase[symbol - kFirstShortSymbol] + 1 + s.Take(entry);
    } else if (symbol == kRepeatLastSymbol) {
      s.ConsumeEntry(entry);
      length = decoder->last_length;
      distance = decoder->last_distance;
    } else {
      // 257..260: a recent distance, 257 the newest and 260 the oldest.
      s.ConsumeEntry(entry);
      distance = decoder->recent_dist[(decoder->recent_index - (symbol - kRepeatLastSymbol)) & 3];
      if (kToppedUpBits < kMaxCodeLength + kMaxCodeLength + kMaxLengthBits) s.Refill();
      uint32_t length_entry = s.Peek(decoder->rep_length_table);
      length = kLengthBase[EntrySymbol(length_entry)] + kMinRecentMatch + s.Take(length_entry);
      length += (distance >= kVeryLongDistance) + (distance >= kLongDistance) + (distance >= kRecentNearDistance);
    }
    s.Match(length, distance);
  } while (s.next <= limits.next_limit && s.out < limits.out_limit);
}

}  // namespace

void InitUnpack(Decoder* decoder, bool solid) {
  decoder->input.in_bit = 0;
  decoder->input.in_pos = 0;
  if (solid) return;
  decoder->cur_channel = 0;
  memset(decoder->recent_dist, 0, sizeof decoder->recent_dist);
  decoder->recent_index = 0;
  decoder->last_length = 0;
  decoder->last_distance = 0;
  // The ring must read as zeros again, but only what entries wrote since
  // the last reset can differ from zero: clearing that part is enough.
  memset(decoder->window, 0, decoder->window_dirty);
  decoder->window_dirty = 0;
  memset(decoder->old_lengths, 0, kLengthTableSize);
  decoder->win_flushed = 0;
  decoder->win_pos = 0;
}

void CopyMatch(Decoder* decoder, uint32_t length, uint32_t distance) {
  RecordMatch(decoder, length, distance);
  decoder->unpacked_left -= static_cast<int32_t>(length);
  uint32_t to = decoder->win_pos & kWindowBufferMask;
  CopyInWindow(decoder->window, to, length, distance);
  NoteWritten(decoder, to + length);
  decoder->win_pos = (to + length) & kWindowBufferMask;
}

void ReadTrailingTables(Decoder* decoder) {
  BitInput* input = &decoder->input;
  if (input->in_top < input->in_pos + 5) return;
  if (decoder->audio_mode != 0) {
    const DecodeTable* table = &decoder->audio_tables[decoder->cur_channel];
    if (DecodeSymbol(input, table) == 256) ReadCodeLengths(decoder);
  } else if (DecodeSymbol(input, &decoder->main_table) == kNewTablesSymbol) {
    ReadCodeLengths(decoder);
  }
}

void StartEntry(Decoder* decoder, uint8_t* window, bool solid) {
  decoder->window = window;
  decoder->unpack_stop = kUnpackComplete;
  InitUnpack(decoder, solid);
  FillInput(&decoder->input, true);
  if (!solid) ReadCodeLengths(decoder);
}

bool DecodeSymbols(Decoder* decoder) {
  LoopState s = LoadLoopState(decoder);
  LoopEvent event;
  while ((event = RunChecks(s)) == kDecodeOn) DecodeRun(s, NextChecks(s));
  if (s.WinPos() >= kWindowBufferSize) {
    NoteWritten(decoder, s.WinPos());
    s.out -= kWindowBufferSize;
  }
  SyncLoopState(s);
  return event == kDeliver;
}

void FinishEntry(Decoder* decoder) {
  if (decoder->unpack_stop == kUnpackComplete) ReadTrailingTables(decoder);
  NoteWritten(decoder, decoder->win_pos);
}
