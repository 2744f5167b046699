#include <cstring>

#include "archive/uninstall_record.h"

long FindUninstallRecord(const uint8_t* image, size_t size) {
  for (size_t at = 0; at + kUninstallRecordSize <= size; ++at) {
    if (std::memcmp(image + at, kUninstallTag, kUninstallTagSize) == 0) return static_cast<long>(at);
  }
  return -1;
}
