#include "archive/extract_archive.h"

#include <cstring>

#include "archive/archive_format.h"
#include "archive/entry_output.h"
#include "archive/packed_entry.h"
#include "archive/stored_entry.h"
#include "common/bounded_text.h"
#include "common/file_system.h"

namespace {

constexpr uint32_t kLargestEntry = 0x7FFFFFFF;  // sizes are counted as signed 32-bit

// What the callback's answer in the name buffer asks for.
enum EntryFate { kSkip, kMemory, kVerify, kFile };

EntryFate FateOf(const char* name) {
  if (name[0] == '\0') return kSkip;
  signed char first = static_cast<signed char>(name[0]);
  if (first >= 1 && first <= 31) return kMemory;
  if (name[0] == kVerifyOnlyMarker) return kVerify;
  return kFile;
}

bool ChecksumMatches(const ExtractContext* context) {
  uint32_t stored = context->file_header.data_crc;
  // The sum of the older flavour is compared as it is; CRC-32 runs without
  // its final inversion.
  if (context->archive_flavour == kFlavourOld) return context->entry_crc == stored;
  return context->entry_crc == ~stored;
}

// The most telling reason for an entry that was unpacked and found bad.
uint32_t FailureOf(const ExtractContext* context, bool decoded) {
  const FileHeader& header = context->file_header;
  if (context->stopped) return kFailureStopped;
  if (context->output_failed) return kFailureOutput;
  if (header.flags & kFlagEnciphered) return kFailureEnciphered;
  if (header.method != kMethodStored && header.unpack_version < kLowestPackedVersion) {
    return kFailureMethodVersion;
  }
  if (decoded && context->decoder.unpack_stop == kUnpackAudio) return kFailureAudio;
  if (decoded && context->decoder.unpack_stop == kUnpackInputExhausted) return kFailureDamaged;
  if (ChecksumMatches(context)) return kFailureLength;
  return kFailureChecksum;
}

// Refusals made before anything of the entry is read: its bytes could not
// be delivered whole, whatever they hold.
uint32_t RefusalOf(const FileHeader& header, bool skipped) {
  // Not even a skipped one: it cannot be unpacked, and a solid entry after
  // it would decode against a window and tables it never left behind.
  if (header.unpacked_size > kLargestEntry) return kFailureTooLarge;
  if (skipped) return kFailureNone;
  // The rest of the data lies in a volume that is never opened; the part
  // here carries a check value of its own and would pass it.
  if (header.flags & (kFlagToNextVolume | kFlagFromPreviousVolume)) return kFailureOtherVolume;
  return kFailureNone;
}

// The pass's result when the walk found no further entry: only a walk
// that ended exactly at the archive's end, after at least one entry, ends
// a good archive. A cut or damaged header would otherwise pass for the end
// and leave the entries after it out unnoticed.
int WalkEndResult(ExtractContext* context, bool no_entry) {
  switch (context->walk_end) {
    case kWalkEndOfFile:
      context->entry_failure = no_entry ? kFailureNoEntries : kFailureNone;
      break;
    case kWalkCutHeader:
    case kWalkCutData:
      context->entry_failure = kFailureCut;
      break;
    default:
      context->entry_failure = kFailureHeader;
  }
  return context->entry_failure == kFailureNone ? kExtractOk : kExtractBadEntry;
}

bool SeekTo(FILE* file, int64_t position) {
  return position >= 0 && fseek(file, static_cast<long>(position), SEEK_SET) == 0;
}

// Points the entry's output where `fate` asks; false when its file cannot
// be created.
bool OpenOutput(ExtractContext* context, const char* name, EntryFate fate, MemoryBuffer* buffer) {
  context->memory_buffer = nullptr;
  context->output_file = nullptr;
  if (fate == kMemory) {
    context->memory_buffer = buffer;
    MemoryBufferReset(buffer);
  } else if (fate == kFile) {
    context->output_file = FsCreateFile(name);
    if (context->output_file == nullptr) return false;
  }
  return true;
}

// Seeds the entry's checksum and counts, points the decoder's input at its
// packed data and unpacks it. True when the decoder ran; `result` takes the
// stored copy's.
bool UnpackData(ExtractContext* context, EntryFate fate, int* result) {
  const FileHeader& header = context->file_header;
  Decoder* decoder = &context->decoder;
  context->entry_crc = context->archive_flavour == kFlavourOld ? 0 : 0xFFFFFFFF;
  decoder->input.packed_left = static_cast<int32_t>(header.packed_size);
  decoder->input.input_file = context->archive_file;
  decoder->unpacked_left = static_cast<int32_t>(header.unpacked_size);
  context->skip_output = fate == kSkip ? 1 : 0;
  context->verify_only = fate == kVerify ? 1 : 0;
  context->output_failed = 0;
  context->delivered = 0;
  // The packed data ends where the next block begins.
  int64_t data = static_cast<int64_t>(context->next_block_pos) - header.packed_size;
  if (!SeekTo(context->archive_file, data)) return false;
  if (header.method == kMethodStored) {
    *result = CopyStored(context);
    return false;
  }
  if (header.unpack_version < kLowestPackedVersion) return false;
  UnpackEntry(context, context->window, (header.flags & kFlagSolid) != 0);
  return true;
}

// Every byte the header promises arrived, and no more.
bool EntryArrived(const ExtractContext* context) {
  return ChecksumMatches(context) && !context->output_failed &&
         context->delivered == context->file_header.unpacked_size;
}

// Closes the entry's file. One whose bytes all arrived gets its time stamp
// through the stream, before the close. The stream holds the last bytes
// back until then: a flush or close that fails (a full disk, a file size
// limit) has lost them.
void CloseOutput(ExtractContext* context) {
  if (context->output_file == nullptr) return;
  bool kept = EntryArrived(context) ? FsCloseWithDosTime(context->output_file, context->file_header.time_stamp)
                                    : fclose(context->output_file) == 0;
  if (!kept && !context->output_failed) {
    context->output_failed = 1;
    context->output_error = FsLastError();
  }
  context->output_file = nullptr;
}

// Hands a good entry over: a memory entry to the callback's second call
// (`stop` set when it asks to end the pass), a file its attributes.
// Returns the pass's result after the entry.
int HandOver(ExtractContext* context, char* name, EntryFate fate, MemoryBuffer* buffer, int result, bool* stop) {
  const FileHeader& header = context->file_header;
  if (fate == kMemory) {
    // The callback gets the bytes followed by a 0, so that text entries read
    // as strings; without room for it the entry cannot be handed over.
    const uint8_t terminator = 0;
    if (MemoryBufferAppend(buffer, &terminator, 1) != 0) {
      context->entry_failure = kFailureOutput;
      return kExtractBadEntry;
    }
    if (context->callback(name, buffer->data, header.unpacked_size, context->user) != 0) {
      *stop = true;
    }
  } else if (fate == kFile) {
    FsSetNewFileAttributes(name, header.attributes);
  }
  return result;
}

// Unpacks the current entry to what `fate` asks for, checks it and finishes
// its output. Returns the pass's result after the entry; `stop` is set when
// the callback's second call asked to end the pass.
int ProcessEntry(ExtractContext* context, char* name, EntryFate fate, MemoryBuffer* buffer, bool* stop) {
  context->entry_failure = RefusalOf(context->file_header, fate == kSkip);
  if (context->entry_failure != kFailureNone) return kExtractBadEntry;
  if (!OpenOutput(context, name, fate, buffer)) return kExtractCannotCreate;
  int result = kExtractOk;
  bool decoded = UnpackData(context, fate, &result);
  CloseOutput(context);
  context->memory_buffer = nullptr;
  // A skipped entry is not checked, unless the caller stopped the pass in it.
  if ((fate != kSkip || context->stopped) && !EntryArrived(context)) {
    context->entry_failure = FailureOf(context, decoded);
    // Only a file this pass created is removed: for memory and verified
    // entries the name buffer holds a marker and a name of no file.
    if (fate == kFile) FsDeleteFile(name);
    return kExtractBadEntry;
  }
  return HandOver(context, name, fate, buffer, result, stop);
}

int WalkEntries(ExtractContext* context, MemoryBuffer* buffer) {
  if (context->main_header_bad) {
    context->entry_failure = kFailureHeader;
    return kExtractBadEntry;
  }
  SkipMainHeaderRest(context);

  char name[kNameSize];
  bool first_entry = true;
  int result = kExtractOk;
  while (result == kExtractOk) {
    // Between entries the pass stands at the end of the last one's data.
    ReportProgress(context);
    if (context->stopped) {
      context->entry_failure = kFailureStopped;
      return kExtractBadEntry;
    }
    if (ReadNextEntry(context) == 0) return WalkEndResult(context, first_entry);
    FileHeader& header = context->file_header;
    NormaliseHostAttributes(&header);
    // An archive that starts inside an entry is the second part of a
    // volume set, not an archive of its own.
    if (first_entry && (header.flags & kFlagFromPreviousVolume)) return kExtractNoArchive;
    first_entry = false;
    // A name with a NUL byte in it would be offered cut there, and written
    // under another name than the archive's.
    if (std::strlen(context->entry_name) != header.name_length) {
      context->entry_failure = kFailureNameNul;
      return kExtractBadEntry;
    }

    name[0] = '\0';
    if (!(header.attributes & kAttributeDirectory)) {
      CopyBounded(name, context->entry_name, kNameSize);
      if (context->callback(name, nullptr, header.unpacked_size, context->user) != 0) break;
      name[kNameSize - 1] = '\0';  // whatever the callback wrote, it ends in the buffer
    }
    if (!(header.attributes & (kAttributeDirectory | kAttributeVolumeLabel))) {
      bool stop = false;
      result = ProcessEntry(context, name, FateOf(name), buffer, &stop);
      if (stop) break;
    }
    // Whatever was read ahead, and any data a directory or a volume label
    // carries, is stepped over.
    if (!SeekTo(context->archive_file, context->next_block_pos)) break;
  }
  return result;
}

}  // namespace

int ExtractEntries(ExtractContext* context) {
  context->archive_file = FsOpenShared(context->archive_path);
  if (context->archive_file == nullptr) return kExtractNoArchive;
  int result;
  if (!LocateArchive(context)) {
    result = kExtractNoArchive;
  } else {
    context->window = static_cast<uint8_t*>(ZeroAlloc(kWindowBufferSize));
    if (context->window == nullptr) {
      result = kExtractNoWindow;
    } else {
      MemoryBuffer buffer;
      MemoryBufferInit(&buffer);
      result = WalkEntries(context, &buffer);
      MemoryBufferRelease(&buffer);
      FreeAndNull(context->window);
    }
  }
  fclose(context->archive_file);
  context->archive_file = nullptr;
  context->decoder.input.input_file = nullptr;
  return result;
}

int ExtractArchive(const char* path, EntryCallback callback, void* user, uint32_t* failure, PassProgress* progress) {
  if (failure != nullptr) *failure = kFailureNone;
  ExtractContext* context = static_cast<ExtractContext*>(ZeroAlloc(sizeof(ExtractContext)));
  if (context == nullptr) return kExtractNoContext;
  context->archive_path = path;
  context->callback = callback;
  context->user = user;
  context->progress = progress;
  BuildCrc32Table(&context->crc32_table);
  int result = ExtractEntries(context);
  if (failure != nullptr && result == kExtractBadEntry) *failure = context->entry_failure;
  if (progress != nullptr) progress->output_error = context->output_error;
  FreeAndNull(context);
  return result;
}
