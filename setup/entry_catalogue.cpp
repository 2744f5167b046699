#include "setup/entry_catalogue.h"

#include <cstring>

#include "common/bounded_text.h"
#include "common/entry_names.h"
#include "common/path_helpers.h"

namespace {

// FNV-1a of a folded name.
uint32_t HashOf(const char* folded) {
  uint32_t hash = 2166136261u;
  for (const char* c = folded; *c != '\0'; ++c) hash = (hash ^ static_cast<uint8_t>(*c)) * 16777619u;
  return hash;
}

}  // namespace

uint32_t FoldedNameHash(const char* name) {
  char folded[kPathSize];
  FoldEntryName(name, folded, sizeof folded);
  return HashOf(folded);
}

bool AddCatalogueEntry(EntryCatalogue* catalogue, const char* name) {
  char folded[kPathSize];
  FoldEntryName(name, folded, sizeof folded);
  uint32_t hash = HashOf(folded);
  for (uint32_t offset = 0; offset < catalogue->names.length;) {
    uint32_t earlier_hash;
    std::memcpy(&earlier_hash, catalogue->names.data + offset, sizeof earlier_hash);
    const char* earlier = NextCatalogueEntry(catalogue, &offset);
    char earlier_folded[kPathSize];
    if (earlier_hash == hash) {
      FoldEntryName(earlier, earlier_folded, sizeof earlier_folded);
      if (std::strcmp(earlier_folded, folded) == 0) return false;
    }
  }
  // One append, so that a growth that fails (and empties the buffer) never
  // leaves half a record.
  char record[sizeof hash + kPathSize];
  std::memcpy(record, &hash, sizeof hash);
  CopyBounded(record + sizeof hash, name, kPathSize);
  uint32_t length = static_cast<uint32_t>(std::strlen(record + sizeof hash)) + 1;
  return MemoryBufferAppend(&catalogue->names, reinterpret_cast<const uint8_t*>(record), sizeof hash + length) == 0;
}

const char* NextCatalogueEntry(const EntryCatalogue* catalogue, uint32_t* offset) {
  if (*offset >= catalogue->names.length) return nullptr;
  const char* name = reinterpret_cast<const char*>(catalogue->names.data) + *offset + sizeof(uint32_t);
  *offset += static_cast<uint32_t>(sizeof(uint32_t) + std::strlen(name) + 1);
  return name;
}
