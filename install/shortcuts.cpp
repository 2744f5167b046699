#include "install/shortcuts.h"

#include <objbase.h>
#include <shlobj.h>

#include "common/bounded_text.h"
#include "common/path_helpers.h"
#include "install/folders.h"
#include "install/shell_folders.h"
#include "shell/install_log.h"
#include "shell/setup_state.h"

namespace {

// Shortcut paths, targets and working directories.
constexpr size_t kLinkPathSize = 512;

// `folder` joined with `name` and ".lnk", into a kLinkPathSize buffer.
void MakeLinkPath(char* link_path, const char* folder, const char* name) {
  CopyBounded(link_path, folder, kLinkPathSize);
  JoinPath(link_path, name, kLinkPathSize);
  AppendBounded(link_path, ".lnk", kLinkPathSize);
}

// A desktop or Quick Launch icon: the working directory is the target's own
// folder. Without a name the file would be called ".lnk" after the folder.
void CreateIconIn(const char* folder, const char* target, const char* name) {
  if (folder[0] == '\0' || name[0] == '\0') return;
  char link_path[kLinkPathSize];
  MakeLinkPath(link_path, folder, name);
  char working_directory[kLinkPathSize];
  CopyBounded(working_directory, target, sizeof working_directory);
  CutLastComponent(working_directory);
  CreateShortcut(link_path, target, working_directory);
}

}  // namespace

HRESULT CreateShortcut(const char* link_path, const char* target, const char* working_directory) {
  // The shell link object reports every failure through its status, so the
  // only guard needed is that no argument is ever missing.
  if (link_path == nullptr || target == nullptr || working_directory == nullptr) return E_POINTER;
  IShellLinkA* link = nullptr;
  HRESULT status = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    reinterpret_cast<void**>(&link));
  if (FAILED(status)) return status;
  link->SetPath(target);
  link->SetWorkingDirectory(working_directory);
  link->SetShowCmd(SW_SHOW);
  IPersistFile* file = nullptr;
  status = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (FAILED(status)) {
    link->Release();
    return status;
  }
  WCHAR wide_path[kLinkPathSize];
  ToWide(wide_path, link_path, kLinkPathSize);
  status = file->Save(wide_path, TRUE);
  file->Release();
  link->Release();
  if (SUCCEEDED(status)) LogLine("shortcut %s -> %s", link_path, target);
  return status;
}

void CreateDesktopShortcut(const char* target, const char* name) {
  char folder[kLinkPathSize];
  GetSpecialFolder(CSIDL_DESKTOP, folder);
  CreateIconIn(folder, target, name);
}

void CreateQuickLaunchShortcut(const char* target, const char* name) {
  char folder[kLinkPathSize];
  GetQuickLaunchFolder(folder, sizeof folder);
  CreateIconIn(folder, target, name);
}

void CreateGroupEntry(const char* name, const char* folder, const char* file, const char* group_folder) {
  if (name == nullptr || name[0] == '\0' || file == nullptr || file[0] == '\0') return;
  char target[kLinkPathSize];
  CopyBounded(target, folder, sizeof target);
  JoinPath(target, file, sizeof target);
  char link_path[kLinkPathSize];
  MakeLinkPath(link_path, group_folder, name);
  CreateShortcut(link_path, target, folder);
}

void CreateStartMenuGroup(HWND dialog, const InstallContext* context) {
  const char* group = g_setup_state->group;
  // Without a product name the group folder would be the Programs folder.
  if (group[0] == '\0') return;
  char programs[kPathSize];
  GetSpecialFolder(CSIDL_COMMON_PROGRAMS, programs);
  if (programs[0] == '\0') GetSpecialFolder(CSIDL_PROGRAMS, programs);
  if (programs[0] == '\0') return;

  // After the temporary-folder fallback the group is built beside the
  // installed files and moved into the Programs folder as a whole.
  const bool build_aside = context->temp_folder[0] != '\0';
  char group_folder[kPathSize];
  CopyBounded(group_folder, build_aside ? context->temp_folder : programs, sizeof group_folder);
  JoinPath(group_folder, group, sizeof group_folder);

  // A group folder that exists already (a re-installation) gets no entries.
  if (CreateFolderPath(group_folder) != kFolderCreated) return;

  const char* folder = context->destination;
  CreateGroupEntry(group, folder, context->main_exe, group_folder);
  CreateGroupEntry("Uninstall", folder, context->uninstaller, group_folder);
  CreateGroupEntry("License", folder, context->license_file, group_folder);
  CreateGroupEntry("Order", folder, context->order_file, group_folder);
  if (context->german_count != 0) CreateGroupEntry("Bestellung", folder, context->order_file_de, group_folder);

  if (build_aside) ShellMove(dialog, group_folder, programs);
}
