// The packed side of an entry: bytes from the archive within the entry's
// packed size, served as a bit stream read most significant bit first.
#pragma once

#include <cstdint>

struct ExtractContext;

// Up to `count` packed bytes of the current entry into `destination`; the
// number delivered, 0 at the end of the packed data or on failure.
int32_t ReadPacked(ExtractContext* context, uint8_t* destination, int32_t count);

// Refills in_buf: `first` at the start of an entry, else a continuation that
// keeps the last 32 bytes in front of the new ones.
void FillInput(ExtractContext* context, bool first);

// The next 16 bits of the stream, first bit most significant; consumes none.
uint32_t PeekBits(const ExtractContext* context);

// Consumes n bits, 0..16.
void SkipBits(ExtractContext* context, uint32_t n);
