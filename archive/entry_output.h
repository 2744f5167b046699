// The unpacked side of an entry: bytes go to the entry's file, its memory
// buffer or nowhere, and advance the entry's checksum.
#pragma once

#include <cstdint>

struct ExtractContext;

// Delivers `length` bytes; returns how many the destination accepted.
uint32_t WriteOut(ExtractContext* context, const uint8_t* data, uint32_t length);

// Tells the pass's PassProgress, if any, how far the pass has come; when
// it asks to stop, sets `stopped` and fails the entry's output.
void ReportProgress(ExtractContext* context);

// Hands every pending window byte of the decoder (win_flushed up to
// win_pos) to WriteOut.
void FlushWindow(ExtractContext* context);
