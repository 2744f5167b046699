#include "shell/messages.h"

#include <cstring>

#include "common/bounded_text.h"
#include "common/path_helpers.h"
#include "shell/install_log.h"
#include "shell/setup_state.h"
#include "shell/texts.h"

int ShowMessage(HWND owner, const char* text, const char* caption_source, UINT type) {
  if (text == nullptr || text[0] == '\0') return IDCANCEL;
  if (owner == nullptr) owner = GetActiveWindow();
  const char* caption = caption_source;
  if (caption != nullptr) {
    const char* name = caption + FileNameOffset(caption);
    if (name[0] != '\0') caption = name;
  }
  // A silent installation shows no box; what it would say goes to the log.
  if (IsSilentRun()) {
    LogLine("message [%s] %s", caption != nullptr ? caption : "", text);
    return IDOK;
  }
  return MessageBoxA(owner, text, caption, type);
}

namespace {

// ShowMessage of `lead` followed by the text of `id`, which begins where
// `lead` ends. A lead is a name of at most 31 characters; a cut one still
// leaves the text its terminator's byte.
int ShowLeadMessage(HWND owner, const char* lead, int16_t id, const char* caption_source, UINT type) {
  char text[512];
  CopyBounded(text, lead, sizeof text);
  size_t length = strlen(text);
  LookupText(g_setup_state->language_table, id, text + length, sizeof text - length);
  return ShowMessage(owner, text, caption_source, type);
}

}  // namespace

int ShowDialogMessage(HWND dialog, const char* lead, int16_t id, UINT type) {
  char caption[kPathSize];
  GetWindowTextA(dialog, caption, sizeof caption);
  return ShowLeadMessage(dialog, lead, id, caption, type);
}

int ShowStringMessage(HWND owner, int16_t id, const char* caption_source, UINT type) {
  return ShowLeadMessage(owner, "", id, caption_source, type);
}
