#include "setup/setup_state.h"

#include <commctrl.h>

#include <cstring>

SetupState* g_setup_state = nullptr;

namespace {

// mksetup build finds this record in the program file by its tag and writes
// the archive's seal into it. Volatile: the compiler must neither drop it
// nor take its build-time zeros for the value read.
// Read-only like the rest of the program's constants: mksetup finds the
// record by its contents, wherever it lies, and volatile makes every read
// take the bytes as they are in the file.
__attribute__((section(".rdata"))) const volatile SealRecord seal_record = EmptySealRecord();

}  // namespace

void InitSetupState(HINSTANCE instance) {
  // The dialog's list view class exists only after this.
  InitCommonControls();
  SetupState* state = g_setup_state;
  memset(state, 0, sizeof *state);
  state->icon = LoadIconA(instance, MAKEINTRESOURCEA(1));
  SelectLanguage();
  // A path that does not fit leaves the field empty rather than cut: a cut
  // path would name some other file.
  DWORD length = GetModuleFileNameA(nullptr, state->module_path, sizeof state->module_path);
  if (length == 0 || length >= sizeof state->module_path) state->module_path[0] = '\0';
  uint8_t record[kSealRecordSize];
  for (uint32_t i = 0; i < kSealRecordSize; ++i) record[i] = seal_record.bytes[i];
  state->package_seal = ReadSealRecord(record);
}
