// The decoder's two buffers, and how far each of its steps may reach into
// them before it must refill the input or deliver the window: all of it in
// one place, tied by static_asserts to the longest code, the extra bits and
// the table sizes of the format, so that a bound cannot move unnoticed.
#pragma once

#include <cstdint>

#include "unpack/lz_format.h"

// --- Input -----------------------------------------------------------------

// The packed input buffer. A refill keeps its last kCarryOver bytes in front
// of the new ones, so every index in it moves down by kRefillSize.
constexpr uint32_t kInputBufferSize = 8192;
constexpr uint32_t kCarryOver = 32;
constexpr uint32_t kRefillSize = kInputBufferSize - kCarryOver;  // 8160
static_assert((kCarryOver & (kCarryOver - 1)) == 0 && kRefillSize % kCarryOver == 0,
              "a refill moves in_pos down by masking it with kCarryOver - 1");

// The longest code of every table, and the most extra bits a new match
// carries after its length and its distance code.
constexpr uint32_t kMaxCodeLength = 15;
constexpr uint32_t kMaxLengthBits = kLengthBits[kRepLengthAlphabet - 1];  // 5
constexpr uint32_t kMaxDistBits = kDistBits[kDistAlphabet - 1];           // 16

// A table header before its code lengths: the mode bit, the keep bit, the
// channel count of audio mode and 19 lengths of 4 bits.
constexpr uint32_t kHeaderBits = 2 + 2 + 4 * kLengthCodeAlphabet;  // 80

// Bytes from in_pos on that a peek touches once the stream has moved `bits`
// past the start of in_pos's byte plus in_bit (at most 7): a peek reads the
// three bytes holding its 16 bits.
constexpr uint32_t PeekReach(uint32_t bits) { return (7 + bits) / 8 + 3; }

// The symbol loop keeps the upcoming stream bits in a machine word, so that
// no shift or test of the loop works on two registers, and tops it up with
// one load of a word: every whole byte that fits goes in, which leaves at
// least kToppedUpBits bits (56 on 64-bit machines, 24 on 32-bit ones).
#if UINTPTR_MAX > 0xFFFFFFFFu
using BitWord = uint64_t;
#else
using BitWord = uint32_t;
#endif
constexpr uint32_t kWordBytes = sizeof(BitWord);
constexpr uint32_t kWordBits = 8 * kWordBytes;
constexpr uint32_t kToppedUpBits = kWordBits - 8;

// The most bits one symbol of the loop takes: a new match's code, length
// bits, distance code and distance bits. Where one top-up holds fewer, the
// loop tops up again between the parts of a symbol.
constexpr uint32_t kMaxSymbolBits = 2 * kMaxCodeLength + kMaxLengthBits + kMaxDistBits;  // 51

// What the loop takes from one top-up at the least: a main code and the
// extra bits after it (a length's or a short distance's); or, with a
// 32-bit word, a distance's extra bits alone after a top-up between them
// and its code.
constexpr uint32_t kMaxShortBits = kShortBits[kShortSlots - 1];  // 6
static_assert(kToppedUpBits >= kMaxCodeLength + kMaxShortBits && kToppedUpBits >= kMaxCodeLength + kMaxLengthBits,
              "a top-up must hold a main code and its extra bits");
static_assert(kToppedUpBits >= kMaxDistBits && kMaxDistBits <= 16, "a top-up must hold a distance's extra bits");

// One symbol moves in_pos by at most kSymbolBytes. A top-up leaves the
// word's bytes not yet consumed ahead of in_pos and loads a word after
// them, so whatever a symbol's top-ups touch lies within kLoopReach bytes
// of where in_pos stood before it.
constexpr uint32_t kSymbolBytes = (7 + kMaxSymbolBits) / 8;  // 7
constexpr uint32_t kLoopReach = kSymbolBytes + 2 * kWordBytes;

// Where the refills happen: a step refills when in_pos has passed its point.
// A code-length symbol refills as late as the buffer allows. The other two
// points lie earlier than their steps need, and must stay where they are:
// a refill that finds no packed data left lowers in_top, which decides
// whether the look-ahead after an entry's last byte reads the tables a
// following solid entry starts with. Moving them would change what such
// entries decode to, not only when the input moves.
constexpr uint32_t kLengthRefillAt = kInputBufferSize - PeekReach(kMaxCodeLength);  // 8187
constexpr uint32_t kSymbolRefillAt = 8162;                                          // before each symbol of the loop
constexpr uint32_t kHeaderRefillAt = 8167;                                          // before a table header

// A refill must find the byte under in_pos among the carried ones...
static_assert(kSymbolRefillAt + 1 >= kRefillSize && kHeaderRefillAt + 1 >= kRefillSize &&
                  kLengthRefillAt + 1 >= kRefillSize,
              "a refill point below the carried bytes would lose the current byte");
// ...and what a step reads up to its next refill test must lie in the
// buffer. A code-length symbol is its code and one field of extra bits; a
// header is read field by field; the loop tests where it stands against the
// refill point before every symbol, each literal of a run included.
static_assert(kLengthRefillAt + PeekReach(kMaxCodeLength) <= kInputBufferSize,
              "a code-length symbol would read past the input buffer");
static_assert(kHeaderRefillAt + PeekReach(kHeaderBits - 4) <= kInputBufferSize,
              "a table header would read past the input buffer");
static_assert(kSymbolRefillAt + kLoopReach <= kInputBufferSize, "the symbol loop would read past the input buffer");
// The loop's first word after a table read starts where the last
// code-length symbol left in_pos, and may reach past in_buf by a word at
// most (the zeros of BitInput's in_pad).
constexpr uint32_t kMaxRunBits = kRunBits[kRunSymbols - 1];  // 7
static_assert(kLengthRefillAt + (7 + kMaxCodeLength + kMaxRunBits) / 8 + kWordBytes <= kInputBufferSize + kWordBytes,
              "the loop's first word would read past the input's padding");

// --- Window ----------------------------------------------------------------

// The window's bytes live in a ring of twice its size. The half ahead of
// the write position is older than any match reaches, which lets copies
// write a little past a match's end.
constexpr uint32_t kWindowMask = kWindowSize - 1;
constexpr uint32_t kWindowBufferSize = 2 * kWindowSize;
constexpr uint32_t kWindowBufferMask = kWindowBufferSize - 1;

// Copies go in 8-byte steps; matches of up to four steps copy as four, with
// no branch on their length, so copies may write up to kCopyOvershoot bytes
// past a match's end (longer ones, in steps of 8 or 16, less).
constexpr uint32_t kCopyStep = 8;
constexpr uint32_t kCopyOvershoot = 4 * kCopyStep;  // 32

// Pending output is delivered before a symbol once more than kWindowSize -
// kFlushMargin bytes wait: where a ring of one window must deliver, since
// its next match would overwrite them. Deliveries thus fall where the
// format's plain decoder makes them.
constexpr uint32_t kFlushMargin = 270;
static_assert(kFlushMargin >= kMaxMatch, "a match would overwrite bytes not yet delivered");
// Pending bytes, the longest match and its overshoot fit in the ring with
// room to spare: no copy writes into what waits for delivery or what a
// match may still read.
static_assert(kWindowBufferSize >= kWindowSize + kMaxMatch + kCopyOvershoot, "copies would overwrite the window");
