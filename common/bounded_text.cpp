#include "common/bounded_text.h"

#include <cstring>

int AppendBounded(char* destination, const char* source, size_t size) {
  if (size == 0) return kTextWhole;
  size_t used = strlen(destination);
  // A destination already holding size - 1 characters leaves no room.
  if (used + 1 >= size) return kTextNoRoom;
  size_t room = size - 1 - used;
  size_t wanted = strlen(source);
  if (wanted <= room) {
    memcpy(destination + used, source, wanted + 1);
    return kTextWhole;
  }
  memcpy(destination + used, source, room);
  destination[size - 1] = '\0';
  return kTextTruncated;
}

int CopyBounded(char* destination, const char* source, size_t size) {
  destination[0] = '\0';
  return AppendBounded(destination, source, size);
}
