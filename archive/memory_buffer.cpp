#include "archive/memory_buffer.h"

#include <cstdlib>

void* ZeroAlloc(size_t n) {
  if (n == 0) return nullptr;
  return calloc(n, 1);
}

void FreeStorage(void* storage) { free(storage); }
