// The table header in front of each block: the code lengths of the next
// block's Huffman tables, delta coded against the previous block's.
#pragma once

struct Decoder;

// Reads one table header and its code lengths from the bit stream and
// rebuilds the tables of the mode it announces: main, distance and
// repeat-length tables in LZ mode, one table per channel in audio mode.
// Updates old_lengths, audio_mode, channel_count and cur_channel.
void ReadCodeLengths(Decoder* decoder);
