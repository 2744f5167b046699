#include "setup/single_instance.h"

#include <cstring>

#include "archive/archive_format.h"
#include "archive/package_seal.h"
#include "common/path_helpers.h"
#include "shell/entry_catalogue.h"
#include "shell/setup_state.h"

namespace {

// At least 40 bytes: "tw-setup-" and two 8-digit numbers.
constexpr size_t kClaimNameSize = 40;

// The claim is a named mutex, held by whoever made it until the handle is
// closed or the process ends: this run's, or null while it holds none.
HANDLE g_claim;

// The name of this installer's claim into `name`, and its mark: the value
// that the run holding the claim gives its dialog (DWLP_USER, which the
// dialog does not use otherwise), by which a second start tells that
// dialog among the others; never 0, which every other dialog has. A sealed
// package is named by its seal, the archive's length and CRC-32, so that
// two copies of one installer meet; one that is not sealed by its own
// path, hashed, so that the name has no separators and a fixed length. The
// seal is taken as it stands: the check of the package comes later and
// refuses a damaged one.
LONG ClaimName(char* name) {
  // The program's headers are mapped as they stand in its file, the seal's
  // record with them.
  const uint8_t* record = reinterpret_cast<const uint8_t*>(GetModuleHandleA(nullptr)) + kSealRecordOffset;
  uint32_t length = ReadLe32(record + 8);
  uint32_t crc = ReadLe32(record + 12);
  if (std::memcmp(record, kSealRecordStart, sizeof kSealRecordStart) != 0 || record[5] != kRecordSealed) {
    char folded[kPathSize];
    length = 0;
    crc = FoldName(g_setup_state->module_path, folded);
  }
  wsprintfA(name, "tw-setup-%08lx-%08lx", static_cast<unsigned long>(length), static_cast<unsigned long>(crc));
  return static_cast<LONG>((length ^ crc) | 1);
}

}  // namespace

bool ClaimSingleInstance(bool show_other) {
  char name[kClaimNameSize];
  LONG mark = ClaimName(name);
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
  // Without a mutex there is no claim to hold: the run goes ahead.
  if (mutex == nullptr) return true;
  if (GetLastError() != ERROR_ALREADY_EXISTS) {
    g_claim = mutex;
    return true;
  }
  CloseHandle(mutex);
  if (!show_other) return false;
  for (HWND dialog = nullptr; (dialog = FindWindowExA(nullptr, dialog, "#32770", nullptr)) != nullptr;) {
    if (GetWindowLongA(dialog, DWLP_USER) == mark) {
      // Restores a minimised dialog; any other it only shows and activates.
      ShowWindow(dialog, SW_RESTORE);
      SetForegroundWindow(dialog);
      break;
    }
  }
  return false;
}

void ReleaseSingleInstance() {
  if (g_claim != nullptr) CloseHandle(g_claim);
  g_claim = nullptr;
}

void PublishDialog(HWND dialog) {
  char name[kClaimNameSize];
  SetWindowLongA(dialog, DWLP_USER, ClaimName(name));
}
