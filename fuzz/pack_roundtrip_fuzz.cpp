// Arbitrary bytes packed at any level and unpacked again by the installer's
// decoder, which must give back exactly those bytes. The payload becomes up
// to three entries of one solid stream; the middle one may be taken back,
// as the package builder does with an entry it stores instead.
// Input layout: flags (bits 0-2: level 1 to 5; bit 3: second thread; bit 4:
// take the middle entry back; bits 5-6: the payload is repeated 1 to 4
// times, each copy with one byte changed, so that long and far matches and
// several blocks are reached, while the slowest input stays well within the
// fuzz runner's 5 s), two 16-bit splits of the payload into three entries,
// then the payload.
#include <cstdlib>
#include <memory>
#include <vector>

#include "archive/checksum.h"
#include "archive/extract_context.h"
#include "archive/memory_buffer.h"
#include "fuzz/unpack_from_memory.h"
#include "pack/memory_io.h"
#include "pack/packer.h"
#include "unpack/decoder.h"

namespace {

constexpr size_t kHeaderSize = 5;

// Packers live across inputs: a stream's first entry must leave nothing of
// the previous input behind, which this checks as well.
pack::Packer* PackerFor(int level, bool second_thread) {
  static std::unique_ptr<pack::Packer> packers[pack::kMaxLevel + 1][2];
  std::unique_ptr<pack::Packer>& packer = packers[level][second_thread];
  if (!packer) packer = std::make_unique<pack::Packer>(level, second_thread);
  return packer.get();
}

// Decodes one packed entry and traps unless it gives back `original`.
void Unpack(ExtractContext* context, uint8_t* window, const std::vector<uint8_t>& packed,
            const std::vector<uint8_t>& original, bool solid) {
  UnpackFromMemory(context, window, packed.data(), packed.size(), static_cast<uint32_t>(original.size()), solid);
  if (context->decoder.unpack_stop != kUnpackComplete || context->delivered != original.size()) __builtin_trap();
  uint32_t expected = Crc32Update(context->crc32_table, 0xFFFFFFFF, original.data(), original.size());
  if (context->entry_crc != expected) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeaderSize) return 0;
  uint8_t flags = data[0];
  int level = pack::kMinLevel + (flags & 7) % pack::kMaxLevel;
  bool second_thread = (flags & 8) != 0;
  bool take_back = (flags & 16) != 0;
  int copies = 1 + ((flags >> 5) & 3);

  std::vector<uint8_t> payload;
  for (int copy = 0; copy < copies; ++copy) {
    size_t at = payload.size();
    payload.insert(payload.end(), data + kHeaderSize, data + size);
    if (copy > 0 && payload.size() > at) payload[at + (copy * 7919) % (payload.size() - at)] ^= 0x5A;
  }
  size_t first = (data[1] | data[2] << 8) % (payload.size() + 1);
  size_t second = first + (data[3] | data[4] << 8) % (payload.size() - first + 1);
  std::vector<uint8_t> entries[3] = {
      {payload.begin(), payload.begin() + first},
      {payload.begin() + first, payload.begin() + second},
      {payload.begin() + second, payload.end()},
  };

  pack::Packer* packer = PackerFor(level, second_thread);
  pack::MemoryOutput packed[3];
  for (int i = 0; i < 3; ++i) {
    pack::MemoryInput input(entries[i].data(), entries[i].size());
    packer->PackEntry(&input, &packed[i], i > 0 && packer->CanContinue());
    if (i == 1 && take_back) packer->TakeBackEntry();
  }

  auto* context = static_cast<ExtractContext*>(ZeroAlloc(sizeof(ExtractContext)));
  auto* window = static_cast<uint8_t*>(ZeroAlloc(kWindowBufferSize));
  if (context == nullptr || window == nullptr) abort();
  BuildCrc32Table(&context->crc32_table);
  context->archive_flavour = 2;
  // A taken-back entry is stored in the package and stays out of the
  // decoder's window: the next one follows the first directly.
  Unpack(context, window, packed[0].bytes, entries[0], false);
  if (!take_back) Unpack(context, window, packed[1].bytes, entries[1], true);
  Unpack(context, window, packed[2].bytes, entries[2], true);
  FreeAndNull(window);
  FreeAndNull(context);
  return 0;
}
