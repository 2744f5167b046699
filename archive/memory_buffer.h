// Zero-filled storage helpers, and the growable byte buffer that memory
// entries are unpacked into.
#pragma once

#include <cstddef>
#include <cstdint>

// n zero bytes, or null when n is 0 or the storage cannot be had.
void* ZeroAlloc(size_t n);

// Releases storage from ZeroAlloc; null is allowed.
void FreeStorage(void* storage);

// Releases what `pointer` designates (if anything) and clears it.
template <typename T>
void FreeAndNull(T*& pointer) {
  FreeStorage(static_cast<void*>(pointer));
  pointer = nullptr;
}

// Invariant: length <= capacity whenever data is not null. The buffer owns
// its storage; a reset keeps it for the next entry.
struct MemoryBuffer {
  uint8_t* data;
  int32_t append_count;  // successful appends since the last reset
  uint32_t capacity;
  uint32_t length;
};

// All four fields zero: no storage yet.
void MemoryBufferInit(MemoryBuffer* buffer);

// Empties the buffer for the next entry; storage and capacity stay.
void MemoryBufferReset(MemoryBuffer* buffer);

// Releases the storage and zeroes all four fields.
void MemoryBufferRelease(MemoryBuffer* buffer);

// Appends n bytes. Returns 0 when they were appended, 1 when nothing was.
// Storage starts at the larger of n and 4,096 bytes and grows to the larger
// of twice its size and its size plus that. A growth that cannot be had
// releases the old storage too: the content is gone, and the next append
// starts a new storage at length 0.
int MemoryBufferAppend(MemoryBuffer* buffer, const uint8_t* bytes, uint32_t n);
