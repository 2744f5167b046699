#include "shell/entry_catalogue.h"

#include <cstring>

#include "common/entry_names.h"
#include "common/path_helpers.h"

uint32_t FoldName(const char* name, char* folded) {
  FoldEntryName(name, folded, kPathSize);
  uint32_t hash = 2166136261u;
  for (const char* c = folded; *c != '\0'; ++c) hash = (hash ^ static_cast<uint8_t>(*c)) * 16777619u;
  return hash;
}

bool AddCatalogueEntry(EntryCatalogue* catalogue, const char* name) {
  char record[sizeof(uint32_t) + kPathSize];
  char* folded = record + sizeof(uint32_t);
  uint32_t hash = FoldName(name, folded);
  std::memcpy(record, &hash, sizeof hash);
  for (uint32_t offset = 0; offset < catalogue->names.length;) {
    uint32_t earlier_hash;
    std::memcpy(&earlier_hash, catalogue->names.data + offset, sizeof earlier_hash);
    const char* earlier = NextCatalogueEntry(catalogue, &offset);
    if (earlier_hash == hash && std::strcmp(earlier, folded) == 0) return false;
  }
  // One append, so that a growth that fails (and empties the buffer) never
  // leaves half a record.
  uint32_t size = static_cast<uint32_t>(sizeof hash + std::strlen(folded) + 1);
  return MemoryBufferAppend(&catalogue->names, reinterpret_cast<const uint8_t*>(record), size) == 0;
}

const char* NextCatalogueEntry(const EntryCatalogue* catalogue, uint32_t* offset) {
  if (*offset >= catalogue->names.length) return nullptr;
  const char* name = reinterpret_cast<const char*>(catalogue->names.data) + *offset + sizeof(uint32_t);
  *offset += static_cast<uint32_t>(sizeof(uint32_t) + std::strlen(name) + 1);
  return name;
}
