// The LZ decoder of the 2.0 method: one compressed entry into the circular
// window. It reads its own input and leaves delivering the window's bytes
// to its caller, which it asks for when nearly a window of them waits.
#pragma once

#include <cstdint>

struct Decoder;

// Starts the current entry: InitUnpack, the first fill of the input, and
// for a non-solid entry its tables. The caller has set unpacked_left and
// the input's file and packed size; `window` must be zero-filled the first
// time the record sees it.
void StartEntry(Decoder* decoder, uint8_t* window, bool solid);

// Decodes until the entry has its bytes or has to stop (false; unpack_stop
// says which), or until more than kWindowSize - kFlushMargin bytes wait
// for delivery (true: deliver them, then call again).
bool DecodeSymbols(Decoder* decoder);

// After the entry's last symbol: the look-ahead for a following solid
// entry's tables. The bytes still pending are the entry's last ones.
void FinishEntry(Decoder* decoder);

// Per-entry start: the bit position always; for a non-solid entry also the
// match history, the window (zeros again), its positions and old_lengths.
void InitUnpack(Decoder* decoder, bool solid);

// Records the match in the history and copies `length` bytes from
// `distance` bytes back (a distance of 0 or the window size reads the byte
// being written) to win_pos, which it advances.
void CopyMatch(Decoder* decoder, uint32_t length, uint32_t distance);

// The look-ahead after an entry's last byte: when enough input remains, one
// more symbol, and a table read if it asks for one. The tables it reads
// serve the next solid entry.
void ReadTrailingTables(Decoder* decoder);
