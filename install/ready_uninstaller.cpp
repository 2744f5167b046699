#include "install/ready_uninstaller.h"

#include "archive/memory_buffer.h"
#include "archive/uninstall_record.h"
#include "common/file_system.h"
#include "common/path_helpers.h"

bool IsReadyUninstaller(const char* folder, const char* file_name) {
  char path[kPathSize];
  if (!PathInFolder(path, folder, file_name)) return false;
  FILE* file = FsOpenShared(path);
  if (file == nullptr) return false;
  uint8_t* head = static_cast<uint8_t*>(ZeroAlloc(kLargestUninstaller));
  bool ready = false;
  if (head != nullptr) {
    size_t read = fread(head, 1, kLargestUninstaller, file);
    long record = FindUninstallRecord(head, read);
    ready = record >= 0 && IsFilled(ReadUninstallRecord(head + record));
  }
  fclose(file);
  FreeAndNull(head);
  return ready;
}
