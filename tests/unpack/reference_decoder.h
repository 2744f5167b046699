// The decoder written the plain way, as a reference for the fast one: a
// comparison tree per symbol, bits read one at a time, byte-by-byte copies
// with the position mask, every check before every symbol, the whole window
// zeroed per non-solid entry. It has its own table-header reader, refills
// and delivery of the window's bytes, and shares only the table builder
// (tested on its own) with the decoder under test; it stops where that one
// does (past the packed data, in audio mode).
#pragma once

#include <cstdint>

#include "archive/extract_context.h"

// Symbol and code length of a 16-bit peek, found with a fixed tree of at
// most four comparisons against the limits.
uint32_t TreeDecode(const DecodeTable& table, uint32_t peek, uint32_t* length);

void ReferenceUnpackEntry(ExtractContext* context, uint8_t* window, bool solid);
