#include "uninstall/own_list.h"

#include <windows.h>

#include <cstring>

#include "archive/checksum.h"
#include "archive/memory_buffer.h"
#include "common/file_system.h"

namespace {

// mksetup build finds this record in the program file by its tag and
// fills it for the package. Volatile: the compiler must neither drop it nor
// take its build-time zeros for the value read.
const volatile UninstallRecord uninstall_record = EmptyUninstallRecord();

UninstallListPlace OwnPlace() {
  uint8_t record[kUninstallRecordSize];
  for (uint32_t i = 0; i < kUninstallRecordSize; ++i) record[i] = uninstall_record.bytes[i];
  return ReadUninstallRecord(record);
}

// The `place` bytes of the file at `path` into a fresh buffer of one byte
// more (zero), or null when the file does not hold them all.
char* ReadPlace(const char* path, const UninstallListPlace& place) {
  FILE* file = FsOpenShared(path);
  if (file == nullptr) return nullptr;
  char* bytes = static_cast<char*>(ZeroAlloc(place.length + 1));
  if (bytes != nullptr && (fseek(file, static_cast<long>(place.offset), SEEK_SET) != 0 ||
                           fread(bytes, 1, place.length, file) != place.length)) {
    FreeAndNull(bytes);
  }
  fclose(file);
  return bytes;
}

bool HasCrc(const char* bytes, uint32_t length, uint32_t crc) {
  Crc32Table* table = static_cast<Crc32Table*>(ZeroAlloc(sizeof(Crc32Table)));
  if (table == nullptr) return false;
  BuildCrc32Table(table);
  bool same = ~Crc32Update(*table, 0xFFFFFFFF, reinterpret_cast<const uint8_t*>(bytes), length) == crc;
  FreeAndNull(table);
  return same;
}

}  // namespace

bool ReadOwnList(OwnList* own) {
  // A path that does not fit is no path: a cut one would name another file.
  DWORD length = GetModuleFileNameA(nullptr, own->path, sizeof own->path);
  if (length == 0 || length >= sizeof own->path) return false;
  std::memcpy(own->folder, own->path, length + 1);
  CutLastComponent(own->folder);
  UninstallListPlace place = OwnPlace();
  if (!IsFilled(place)) return false;
  own->bytes = ReadPlace(own->path, place);
  own->length = place.length;
  return own->bytes != nullptr && HasCrc(own->bytes, place.length, place.crc) &&
         ParseUninstallList(own->bytes, place.length, &own->list);
}

bool CarriesSameList(const char* path, const OwnList& own) {
  char* bytes = ReadPlace(path, OwnPlace());
  bool same = bytes != nullptr && std::memcmp(bytes, own.bytes, own.length) == 0;
  FreeAndNull(bytes);
  return same;
}

void FreeOwnList(OwnList* own) { FreeAndNull(own->bytes); }
