// Bounded copy and append of 8-bit texts into caller-owned fixed buffers.
// Neither ever writes past the size it is given, and both leave the
// destination terminated whenever the size is above 0.
#pragma once

#include <cstddef>

// Outcomes of AppendBounded and CopyBounded. Callers may ignore them; they
// only say whether the text was cut.
enum BoundedTextResult {
  kTextWhole = 0,        // everything was appended (or the size was 0)
  kTextTruncated = 111,  // only the front of the source fitted
  kTextNoRoom = 123,     // the destination was already full; nothing appended
};

// Appends `source` to the text in `destination`, a buffer of `size` bytes
// (terminator included).
int AppendBounded(char* destination, const char* source, size_t size);

// Replaces the text in `destination` with `source`. The destination's first
// byte is cleared even when size is 0 (the caller promises at least one byte).
int CopyBounded(char* destination, const char* source, size_t size);
