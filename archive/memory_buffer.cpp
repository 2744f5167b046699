#include "archive/memory_buffer.h"

#include <cstdlib>
#include <cstring>

void* ZeroAlloc(size_t n) {
  if (n == 0) return nullptr;
  return calloc(n, 1);
}

void FreeStorage(void* storage) { free(storage); }

namespace {

constexpr uint32_t kGrowthStep = 4096;

}  // namespace

void MemoryBufferInit(MemoryBuffer* buffer) {
  buffer->data = nullptr;
  buffer->append_count = 0;
  buffer->capacity = 0;
  buffer->length = 0;
}

void MemoryBufferReset(MemoryBuffer* buffer) {
  buffer->length = 0;
  buffer->append_count = 0;
}

void MemoryBufferRelease(MemoryBuffer* buffer) {
  FreeAndNull(buffer->data);
  MemoryBufferInit(buffer);
}

int MemoryBufferAppend(MemoryBuffer* buffer, const uint8_t* bytes, uint32_t n) {
  uint32_t step = n > kGrowthStep ? n : kGrowthStep;
  if (buffer->data == nullptr) {
    buffer->data = static_cast<uint8_t*>(ZeroAlloc(step));
    buffer->capacity = buffer->data != nullptr ? step : 0;
    buffer->length = 0;
    buffer->append_count = 0;
  } else if (n > buffer->capacity - buffer->length) {
    // At least doubling keeps the copies of a long run of appends linear in
    // its length. Growth past 4 GiB is treated like storage that cannot be
    // had.
    uint64_t capacity = static_cast<uint64_t>(buffer->capacity) + step;
    uint64_t doubled = 2 * static_cast<uint64_t>(buffer->capacity);
    if (doubled > capacity && doubled <= UINT32_MAX) capacity = doubled;
    uint8_t* grown = capacity <= UINT32_MAX ? static_cast<uint8_t*>(ZeroAlloc(capacity)) : nullptr;
    if (grown == nullptr) {
      MemoryBufferRelease(buffer);
      return 1;
    }
    memcpy(grown, buffer->data, buffer->length);
    FreeAndNull(buffer->data);
    buffer->data = grown;
    buffer->capacity = static_cast<uint32_t>(capacity);
  }
  if (buffer->data == nullptr) return 1;
  if (n > 0) memcpy(buffer->data + buffer->length, bytes, n);
  buffer->length += n;
  buffer->append_count += 1;
  return 0;
}
