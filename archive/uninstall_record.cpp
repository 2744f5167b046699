#include "archive/uninstall_record.h"

#include <cstring>

#include "common/product_name.h"

namespace {

// A file name of the list names a file directly in the product's folder:
// nothing that a path could read as a folder, a drive, a stream, or the
// folder itself or its parent.
bool IsPlainFileName(const char* name) {
  if (name[0] == '\0' || name[std::strcspn(name, "\\/:")] != '\0') return false;
  return name[std::strspn(name, ". ")] != '\0';
}

}  // namespace

bool ParseUninstallList(const char* data, uint32_t length, UninstallList* list) {
  // Every text ends within the list, and the list ends with the empty text
  // that closes it: both hold once its last two bytes are zero and each
  // text is read up to its own terminator.
  if (length < 4 || data[length - 1] != '\0' || data[length - 2] != '\0') return false;
  const char* head[3];
  const size_t longest[3] = {kLongestProductName, kLongestPackageId, kLongestMainProgram};
  const char* at = data;
  for (int i = 0; i < 3; ++i) {
    head[i] = at;
    size_t text_length = std::strlen(at);
    if (text_length > longest[i] || at + text_length + 1 >= data + length) return false;
    at += text_length + 1;
  }
  if (head[0][0] != '\0' && !IsUsableProductName(head[0])) return false;
  list->product = head[0];
  list->package_id = head[1];
  list->main_program = head[2];
  list->first_name = at;
  list->name_count = 0;
  // The closing empty text is the last byte; every name before it is plain.
  for (; at < data + length - 1; at = NextUninstallName(at)) {
    if (!IsPlainFileName(at)) return false;
    ++list->name_count;
  }
  return true;
}
