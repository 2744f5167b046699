#include "tests/unpack/reference_decoder.h"

#include <cstring>

#include "tests/unpack/stream_writer.h"
#include "unpack/lz_decoder.h"

uint32_t TreeDecode(const DecodeTable& t, uint32_t peek, uint32_t* length) {
  uint32_t v = peek & 0xFFFE;
  uint32_t len;
  if (v < t.limit[8]) {
    if (v < t.limit[4]) {
      if (v < t.limit[2])
        len = v < t.limit[1] ? 1 : 2;
      else
        len = v < t.limit[3] ? 3 : 4;
    } else {
      if (v < t.limit[6])
        len = v < t.limit[5] ? 5 : 6;
      else
        len = v < t.limit[7] ? 7 : 8;
    }
  } else {
    if (v < t.limit[12]) {
      if (v < t.limit[10])
        len = v < t.limit[9] ? 9 : 10;
      else
        len = v < t.limit[11] ? 11 : 12;
    } else {
      if (v < t.limit[14])
        len = v < t.limit[13] ? 13 : 14;
      else
        len = 15;
    }
  }
  *length = len;
  uint32_t index = t.first_index[len] + ((v - t.limit[len - 1]) >> (16 - len));
  if (index >= t.symbol_count) index = 0;
  return t.symbols[index];
}

namespace {

// The packed input, read the plain way: the entry's bytes go through in_buf
// as the decoder's refills leave them, so that a damaged entry that reads
// past its end sees the same stale bytes; bits are taken one at a time.

constexpr uint32_t kCarried = 32;  // bytes a continuation keeps in front
constexpr int32_t kOverrunSlack = 4;

// Up to `count` of the entry's packed bytes into `to`.
uint32_t ReadEntryBytes(Decoder* c, uint8_t* to, uint32_t count) {
  if (c->input.input_file == nullptr || c->input.packed_left <= 0) return 0;
  uint32_t wanted =
      count < static_cast<uint32_t>(c->input.packed_left) ? count : static_cast<uint32_t>(c->input.packed_left);
  uint32_t got = static_cast<uint32_t>(fread(to, 1, wanted, c->input.input_file));
  c->input.packed_left -= static_cast<int32_t>(got);
  return got;
}

// The last 32 bytes move to the front and the rest is read anew; every
// position moves down by what was dropped.
void NextFill(Decoder* c) {
  const uint32_t dropped = kInputBufferSize - kCarried;
  for (uint32_t i = 0; i < kCarried; ++i) c->input.in_buf[i] = c->input.in_buf[dropped + i];
  c->input.in_pos -= dropped;
  uint32_t got = ReadEntryBytes(c, c->input.in_buf + kCarried, dropped);
  if (got > 0) {
    c->input.in_top = kCarried + got;
    c->input.in_end = static_cast<int32_t>(c->input.in_top);
  } else {
    c->input.in_top = c->input.in_pos;
    c->input.in_end -= static_cast<int32_t>(dropped);
  }
}

uint32_t Peek16(const Decoder* c) {
  uint32_t value = 0;
  for (uint32_t i = 0; i < 16; ++i) {
    uint32_t bit = c->input.in_bit + i;
    value = value << 1 | ((c->input.in_buf[c->input.in_pos + bit / 8] >> (7 - bit % 8)) & 1);
  }
  return value;
}

void Skip(Decoder* c, uint32_t bits) {
  bits += c->input.in_bit;
  c->input.in_pos += bits / 8;
  c->input.in_bit = bits % 8;
}

uint32_t Field(Decoder* c, uint32_t bits) {
  if (bits == 0) return 0;
  uint32_t value = Peek16(c) >> (16 - bits);
  Skip(c, bits);
  return value;
}

uint32_t Symbol(Decoder* c, const DecodeTable& table) {
  uint32_t length;
  uint32_t symbol = TreeDecode(table, Peek16(c), &length);
  Skip(c, length);
  return symbol;
}

// A table header: the mode, whether the old lengths count, the lengths of
// the 19 code-length codes, then the code lengths as deltas, repeats and
// zero runs; the tables of the mode are built from them.
void ReadTables(Decoder* c) {
  if (c->input.in_pos > 8167) NextFill(c);
  uint32_t header = Peek16(c);
  Skip(c, 2);
  c->audio_mode = header & 0x8000;
  if ((header & 0x4000) == 0) memset(c->old_lengths, 0, kLengthTableSize);
  uint32_t total = 298 + 48 + 28;
  if (c->audio_mode != 0) {
    c->channel_count = static_cast<int32_t>((header >> 12 & 3) + 1);
    if (c->cur_channel >= c->channel_count) c->cur_channel = 0;
    Skip(c, 2);
    total = 257 * static_cast<uint32_t>(c->channel_count);
  }
  uint8_t code_lengths[19];
  for (uint8_t& length : code_lengths) length = static_cast<uint8_t>(Field(c, 4));
  BuildDecodeTable(code_lengths, &c->length_code_table, 19);

  uint8_t lengths[kLengthTableSize] = {};
  uint32_t i = 0;
  while (i < total) {
    if (c->input.in_pos > 8187) NextFill(c);
    uint32_t s = Symbol(c, c->length_code_table);
    if (s < 16) {
      lengths[i] = static_cast<uint8_t>((s + c->old_lengths[i]) & 15);
      ++i;
      continue;
    }
    uint32_t run = s == 16 ? Field(c, 2) + 3 : s == 17 ? Field(c, 3) + 3 : Field(c, 7) + 11;
    uint8_t value = s == 16 && i > 0 ? lengths[i - 1] : 0;
    for (; run > 0 && i < total; --run) lengths[i++] = value;
  }

  if (c->audio_mode != 0) {
    for (int32_t channel = 0; channel < c->channel_count; ++channel)
      BuildDecodeTable(lengths + 257 * channel, &c->audio_tables[channel], 257);
  } else {
    BuildDecodeTable(lengths, &c->main_table, 298);
    BuildDecodeTable(lengths + 298, &c->dist_table, 48);
    BuildDecodeTable(lengths + 298 + 48, &c->rep_length_table, 28);
  }
  memcpy(c->old_lengths, lengths, kLengthTableSize);
}

// The window's bytes since the last delivery, one at a time, into the
// entry's memory buffer.
void Deliver(Decoder* c, MemoryBuffer* to) {
  uint32_t pending = (c->win_pos - c->win_flushed) & kWindowMask;
  for (uint32_t i = 0; i < pending; ++i) {
    MemoryBufferAppend(to, &c->window[(c->win_flushed + i) & kWindowMask], 1);
  }
  c->win_flushed = c->win_pos;
}

void Copy(Decoder* c, uint32_t length, uint32_t distance) {
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

void ReferenceUnpackEntry(ExtractContext* context, uint8_t* window, bool solid) {
  Decoder* c = &context->decoder;
  c->window = window;
  c->unpack_stop = kUnpackComplete;
  c->input.in_bit = 0;
  c->input.in_pos = 0;
  c->input.in_top = ReadEntryBytes(c, c->input.in_buf, kInputBufferSize);
  c->input.in_end = static_cast<int32_t>(c->input.in_top);
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
  if (!solid) ReadTables(c);
  const uint8_t short_base[8] = {0, 4, 8, 16, 32, 64, 128, 192};
  const uint8_t short_bits[8] = {2, 2, 3, 4, 5, 6, 6, 6};
  while (c->unpacked_left > 0) {
    c->win_pos &= kWindowMask;
    if (c->input.in_pos > 8162) NextFill(c);
    if (static_cast<int32_t>(c->input.in_pos) > c->input.in_end + kOverrunSlack) {
      c->unpack_stop = kUnpackInputExhausted;
      break;
    }
    if (c->audio_mode != 0) {
      c->unpack_stop = kUnpackAudio;
      break;
    }
    if (((c->win_flushed - c->win_pos) & kWindowMask) < 270 && c->win_flushed != c->win_pos)
      Deliver(c, context->memory_buffer);
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
      ReadTables(c);
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
  if (c->unpack_stop == kUnpackComplete && c->input.in_top >= c->input.in_pos + 5) {
    if (c->audio_mode != 0) {
      if (Symbol(c, c->audio_tables[c->cur_channel]) == 256) ReadTables(c);
    } else if (Symbol(c, c->main_table) == 269) {
      ReadTables(c);
    }
  }
  Deliver(c, context->memory_buffer);
  c->win_pos &= kWindowMask;
  c->win_flushed &= kWindowMask;
}
