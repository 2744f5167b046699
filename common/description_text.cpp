#include "common/description_text.h"

#include <cstring>

#include "common/bounded_text.h"
#include "common/path_helpers.h"
#include "common/product_name.h"

namespace {

void CutAtFirst(char* text, char c) {
  char* at = std::strchr(text, c);
  if (at != nullptr) *at = '\0';
}

// Trims a candidate product name and empties one that cannot name the
// product's folder, shortcuts and uninstall key: it then counts as no name
// at all, like an empty "Group=".
void KeepUsableName(char* name) {
  TrimProductName(name);
  if (!IsUsableProductName(name)) name[0] = '\0';
}

// "no" in any case: of all bytes, only 'N' and 'n' give 'n' with the
// lower-case bit set, and only 'O' and 'o' give 'o'.
bool IsNo(const char* value) { return (value[0] | 0x20) == 'n' && (value[1] | 0x20) == 'o' && value[2] == '\0'; }

}  // namespace

void ReadTitleLine(const char* text, TitleLine* line, PackageDescription* description) {
  char first[260];
  CopyBounded(first, text, sizeof first);
  line->title[0] = '\0';
  line->version[0] = '\0';
  size_t end = std::strcspn(first, "\n\r([");
  if (end > 0) {
    if (first[end - 1] == ' ') --end;
    first[end] = '\0';
    char* version_at = std::strstr(first, " Version ");
    if (version_at != nullptr) {
      *version_at = '\0';
      CopyBounded(line->version, version_at + 9, sizeof line->version);
    }
    CopyBounded(line->title, first, sizeof line->title);
  }

  CopyBounded(description->version, line->version, sizeof description->version);
  if (description->group[0] == '\0') {
    CopyBounded(description->group, line->title, sizeof description->group);
    KeepUsableName(description->group);
    description->group_is_title = description->group[0] != '\0';
  }
}

void ReadPackageSettings(const char* text, PackageDescription* description) {
  ReadKeyValue(text, "ID", description->package_id, sizeof description->package_id);

  char group[sizeof description->group] = "";
  ReadKeyValue(text, "Group", group, sizeof group);
  KeepUsableName(group);
  if (group[0] != '\0' && description->group_is_title) description->group[0] = '\0';
  description->group_is_title = false;
  AppendBounded(description->group, group, sizeof description->group);
  // Added to an earlier .INF's value, the field may end just after a blank.
  KeepUsableName(description->group);

  ReadKeyValue(text, "Class", description->window_class, sizeof description->window_class);
  ReadKeyValue(text, "Exe", description->exe_name, sizeof description->exe_name);
  ReadKeyValue(text, "Publisher", description->publisher, sizeof description->publisher);

  char notice[kNoticeRoom] = "";
  ReadKeyValue(text, "Notice", notice, sizeof notice);
  if (notice[0] != '\0') description->notice_off = IsNo(notice);
}

void ReadKeyValue(const char* text, const char* key, char* field, size_t size) {
  const char* at = std::strstr(text, key);
  if (at == nullptr) return;
  at += std::strlen(key);
  if (*at != '=') return;
  AppendBounded(field, at + 1, size);
  CutAtFirst(field, '\r');
  CutAtFirst(field, '\n');
}

void TakeLanguageBaseName(const char* name, PackageDescription* description) {
  char* base = description->lng_base_name;
  if (base[0] != '\0') return;
  const char* file_name = name + FileNameOffset(name);
  size_t keep = std::strlen(file_name);
  // The tail is cut before the name is bounded to the field, so a long name
  // loses its end, not its middle; a name no longer than the tail is kept.
  if (keep > kLanguageTailLength) keep -= kLanguageTailLength;
  if (keep >= sizeof description->lng_base_name) keep = sizeof description->lng_base_name - 1;
  std::memcpy(base, file_name, keep);
  base[keep] = '\0';
}

char* ReadLanguageName(char* text) {
  if (text[0] != '[') return nullptr;
  char* word = std::strstr(text, "Language");
  // The name starts after the word and one more character (normally "=");
  // a word that ends the text leaves no name.
  if (word == nullptr || word[8] == '\0') return nullptr;
  char* name = word + 9;
  CutAtFirst(name, '(');
  CutAtFirst(name, '=');
  CutAtFirst(name, '\r');
  CutAtFirst(name, '\n');
  return name[0] != '\0' ? name : nullptr;
}
