#include "tests/unpack/reference_decoder.h"

#include <cstring>

#include "tests/unpack/stream_writer.h"
#include "unpack/bit_input.h"
#include "unpack/code_lengths.h"
#include "unpack/lz_decoder.h"
#include "unpack/output_sink.h"
#include "unpack/packed_stream.h"

uint32_t TreeDecode(const DecodeTable& t, uint32_t peek, uint32_t* length) {
  uint32_t v = peek & 0xFFFE;
  uint32_t len;
  if (v < t.limit[8]) {
    if (v < t.limit[4]) {
      if (v < t.limit[2]) len = v < t.limit[1] ? 1 : 2;
      else len = v < t.limit[3] ? 3 : 4;
    } else {
      if (v < t.limit[6]) len = v < t.limit[5] ? 5 : 6;
      else len = v < t.limit[7] ? 7 : 8;
    }
  } else {
    if (v < t.limit[12]) {
      if (v < t.limit[10]) len = v < t.limit[9] ? 9 : 10;
      else len = v < t.limit[11] ? 11 : 12;
    } else {
      if (v < t.limit[14]) len = v < t.limit[13] ? 13 : 14;
      else len = 15;
    }
  }
  *length = len;
  uint32_t index = t.first_index[len] + ((v - t.limit[len - 1]) >> (16 - len));
  if (index >= t.symbol_count) index = 0;
  return t.symbols[index];
}

namespace {

uint32_t Symbol(ExtractContext* c, const DecodeTable& table) {
  uint32_t length;
  uint32_t symbol = TreeDecode(table, PeekBits(c), &length);
  SkipBits(c, length);
  return symbol;
}

uint32_t Field(ExtractContext* c, uint32_t bits) { return bits == 0 ? 0 : ReadBitField(c, bits); }

void Copy(ExtractContext* c, uint32_t length, uint32_t distance) {
  c->recent_dist[c->recent_index & 3] = distance;
  c->last_distance = distance;
  c->recent_index += 1;
  c->last_length = length;
  c->unpacked_left -= static_cast<int32_t>(length);
  for (uint32_t i = 0; i < length; ++i) {
    c->window[c->win_pos] = c->window[(c->win_pos - distance) & kWindowMask];
    c->win_pos = (c->win_pos + 1) & kWindowMask;
  }
}

}  // namespace

void ReferenceUnpackEntry(ExtractContext* c, uint8_t* window, bool solid) {
  c->window = window;
  c->unpack_stop = kUnpackComplete;
  c->in_bit = 0;
  c->in_pos = 0;
  if (!solid) {
    c->cur_channel = 0;
    memset(c->recent_dist, 0, sizeof c->recent_dist);
    c->recent_index = 0;
    c->last_length = 0;
    c->last_distance = 0;
    memset(window, 0, kWindowSize);
    memset(c->old_lengths, 0, kLengthTableSize);
    c->win_flushed = 0;
    c->win_pos = 0;
  }
  StartInput(c);
  if (!solid) ReadCodeLengths(c);
  const uint8_t short_base[8] = {0, 4, 8, 16, 32, 64, 128, 192};
  const uint8_t short_bits[8] = {2, 2, 3, 4, 5, 6, 6, 6};
  while (c->unpacked_left > 0) {
    c->win_pos &= kWindowMask;
    if (c->in_pos > 8162) ContinueInput(c);
    if (InputOverrun(c, c->in_pos)) {
      c->unpack_stop = kUnpackInputExhausted;
      break;
    }
    if (c->audio_mode != 0) {
      c->unpack_stop = kUnpackAudio;
      break;
    }
    if (((c->win_flushed - c->win_pos) & kWindowMask) < 270 && c->win_flushed != c->win_pos)
      FlushWindow(c);
    uint32_t s = Symbol(c, c->main_table);
    if (s < 256) {
      c->window[c->win_pos++] = static_cast<uint8_t>(s);
      c->unpacked_left -= 1;
    } else if (s >= 270) {
      uint32_t length = LengthBase(s - 270) + 3 + Field(c, LengthBits(s - 270));
      uint32_t d = Symbol(c, c->dist_table);
      uint32_t distance = DistBase(d) + 1 + Field(c, DistBits(d));
      if (distance >= 0x40000) ++length;
      if (distance >= 0x2000) ++length;
      Copy(c, length, distance);
    } else if (s == 269) {
      ReadCodeLengths(c);
    } else if (s == 256) {
      Copy(c, c->last_length, c->last_distance);
    } else if (s < 261) {
      uint32_t distance = c->recent_dist[(c->recent_index - (s - 256)) & 3];
      uint32_t r = Symbol(c, c->rep_length_table);
      uint32_t length = LengthBase(r) + 2 + Field(c, LengthBits(r));
      if (distance >= 0x40000) ++length;
      if (distance >= 0x2000) ++length;
      if (distance >= 0x101) ++length;
      Copy(c, length, distance);
    } else {
      Copy(c, 2, short_base[s - 261] + 1 + Field(c, short_bits[s - 261]));
    }
  }
  if (c->unpack_stop == kUnpackComplete && c->in_top >= c->in_pos + 5) {
    if (c->audio_mode != 0) {
      if (Symbol(c, c->audio_tables[c->cur_channel]) == 256) ReadCodeLengths(c);
    } else if (Symbol(c, c->main_table) == 269) {
      ReadCodeLengths(c);
    }
  }
  FlushWindow(c);
  c->win_pos &= kWindowMask;
  c->win_flushed &= kWindowMask;
}
