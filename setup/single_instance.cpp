#include "setup/single_instance.h"

#include <cstdio>
#include <cstring>

#include "archive/archive_format.h"
#include "archive/package_seal.h"
#include "common/file_system.h"
#include "setup/entry_catalogue.h"
#include "setup/setup_state.h"

namespace {

// The claim is a small named memory shared between runs: whoever made it
// holds it, and its one word is the dialog of that run (null until there
// is one). Both fields are null while this run holds no claim.
struct Claim {
  HANDLE memory;
  HWND* dialog;  // the memory, mapped for as long as the claim is held
};
Claim g_claim;

// The name of this installer's claim (at least 40 bytes). A sealed package
// is named by its seal, the archive's length and CRC-32, so that two
// copies of one installer meet; one that is not sealed by its own path,
// hashed, so that the name has no separators and a fixed length. The seal
// is taken as it stands: the check of the package comes later and refuses
// a damaged one.
void ClaimName(char* name) {
  const char* path = g_setup_state->module_path;
  uint8_t record[kSealRecordSize] = {};
  FILE* file = FsOpenShared(path);
  if (file != nullptr) {
    if (fseek(file, kSealRecordOffset, SEEK_SET) == 0) fread(record, 1, sizeof record, file);
    fclose(file);
  }
  uint32_t length = ReadLe32(record + 8);
  uint32_t crc = ReadLe32(record + 12);
  if (std::memcmp(record, kSealRecordStart, sizeof kSealRecordStart) != 0 || record[5] != kRecordSealed) {
    length = 0;
    crc = FoldedNameHash(path);
  }
  wsprintfA(name, "TolvenwarkSetup-%08lx-%08lx", static_cast<unsigned long>(length),
            static_cast<unsigned long>(crc));
}

}  // namespace

bool ClaimSingleInstance(bool show_other) {
  char name[40];
  ClaimName(name);
  HANDLE memory = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(HWND), name);
  // Without the memory there is no claim to hold: the run goes ahead.
  if (memory == nullptr) return true;
  bool first = GetLastError() != ERROR_ALREADY_EXISTS;
  HWND* dialog = static_cast<HWND*>(MapViewOfFile(memory, FILE_MAP_WRITE, 0, 0, sizeof(HWND)));
  if (first) {
    g_claim = {memory, dialog};
    return true;
  }
  if (show_other && dialog != nullptr && *dialog != nullptr) {
    // Restores a minimised dialog; any other it only shows and activates.
    ShowWindow(*dialog, SW_RESTORE);
    SetForegroundWindow(*dialog);
  }
  if (dialog != nullptr) UnmapViewOfFile(dialog);
  CloseHandle(memory);
  return false;
}

void ReleaseSingleInstance() {
  if (g_claim.dialog != nullptr) UnmapViewOfFile(g_claim.dialog);
  if (g_claim.memory != nullptr) CloseHandle(g_claim.memory);
  g_claim = {};
}

void PublishDialog(HWND dialog) {
  if (g_claim.dialog != nullptr) *g_claim.dialog = dialog;
}
