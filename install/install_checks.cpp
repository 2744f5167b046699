#include "install/install_checks.h"

#include <cstring>

#include "common/bounded_text.h"
#include "common/path_helpers.h"
#include "install/folders.h"
#include "install/install_context.h"
#include "install/place_entry.h"
#include "install/read_only.h"
#include "install/run_installation.h"
#include "install/undo_journal.h"
#include "shell/messages.h"
#include "shell/running_instances.h"
#include "shell/setup_state.h"

namespace {

constexpr int16_t kTextRunning = 3003;

// One walk over the package's names under the user's choices: kInstallFileInUse
// with the file in `failed` (kPathSize bytes) and the reason in `*error`;
// kInstallNoDestination when a name has no room; kInstallCancelled; or 0.
int CheckPlacedFiles(InstallContext* context, DWORD* error, char* failed) {
  const EntryCatalogue* catalogue = &g_setup_state->catalogue;
  // The run's own files (kept files, the record) must fit as well.
  size_t longest = kLongestOwnName;
  int32_t german_count = 0;
  char path[kPathSize];
  uint32_t offset = 0;
  for (const char* name; (name = NextCatalogueEntry(catalogue, &offset)) != nullptr;) {
    if (ServeRunningInstallation(true)) return kInstallCancelled;
    int placement = PlacementOf(context, name, path, &german_count);
    if (placement == kNotPlaced) continue;
    if (placement == kPlacedUncreatable) longest = kPathSize;
    size_t length = std::strlen(name + FileNameOffset(name));
    if (length > longest) longest = length;
    if (placement == kPlaced && !IsPsapiMovedAside(path)) *error = CheckReplaceable(path);
    if (*error != ERROR_SUCCESS) {
      CopyBounded(failed, path, kPathSize);
      return kInstallFileInUse;
    }
  }
  if (std::strlen(context->destination) + 1 + longest >= kPathSize) {
    *error = ERROR_FILENAME_EXCED_RANGE;
    return kInstallNoDestination;
  }
  return 0;
}

}  // namespace

DWORD CheckReplaceable(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return ERROR_SUCCESS;
  ClearReadOnly(path);
  // Nothing is written: the file keeps its content and its times.
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD error = file == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) SetFileAttributesA(path, attributes);
  return error;
}

int CheckBeforeChanging(InstallContext* context, DWORD* error) {
  HWND dialog = context->dialog;
  while (IsProductRunning(g_setup_state->window_class)) {
    if (ShowDialogMessage(dialog, g_setup_state->group, kTextRunning, MB_RETRYCANCEL | MB_ICONEXCLAMATION) != IDRETRY) {
      return kInstallProductRunning;
    }
  }
  for (;;) {
    // Again at each Retry: a file in use may have kept it from finishing.
    RecoverInterruptedRun(context->destination);
    char failed[kPathSize];
    *error = ERROR_SUCCESS;
    int result = CheckPlacedFiles(context, error, failed);
    if (result != kInstallFileInUse) return result;
    // The system's reason, under the file's name.
    if (ShowSystemError(dialog, *error, failed, MB_RETRYCANCEL) != IDRETRY) return result;
  }
}
