// Installing many small files, the Windows program's way, under Wine: the
// per-file cost of the installing pass (PlaceEntry showing each path on a
// status line and noting each change in the folder's undo record, the
// driver creating and writing each file and giving it its time stamp and
// attributes), beside baselines in the same run: the same pass without the
// record, as it was before; that pass plus, per file, the calls it made
// before that (opening the file again to set its time, setting the
// attributes that creation already gave, and the status text on every
// file); and over an earlier installation of the same files, which the
// record keeps aside and deletes at the end where the pass without it
// deleted each before writing. Wall time, since most of the cost lies in
// the system's service process; rounds alternate, and medians are shown.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "archive/extract_archive.h"
#include "bench/bench_timing.h"
#include "bench/windows_bench.h"
#include "common/bounded_text.h"
#include "install/install_context.h"
#include "install/place_entry.h"
#include "install/undo_journal.h"
#include "resources/resource_ids.h"
#include "shell/setup_state.h"
#include "tools/archive_writer.h"

namespace {

constexpr int kFiles = 2000;
constexpr size_t kFileBytes = 4096;
constexpr int kRounds = 5;

std::string FileName(int i) { return "FILE" + std::to_string(i) + ".DAT"; }

// kFiles stored entries of kFileBytes each, in one archive file.
void WriteArchive(const std::string& path) {
  ArchiveWriter writer;
  writer.AddMainHeader();
  std::string content(kFileBytes, '\0');
  for (int i = 0; i < kFiles; ++i) {
    for (size_t k = 0; k < kFileBytes; ++k) content[k] = static_cast<char>((i * 131 + k * 7) >> 3);
    FileEntryFields entry;
    entry.name = FileName(i);
    entry.data = content;
    writer.AddFile(entry);
  }
  FILE* file = fopen(path.c_str(), "wb");
  fwrite(writer.bytes().data(), 1, writer.bytes().size(), file);
  fclose(file);
}

void EmptyFolder(const std::string& folder) {
  for (int i = 0; i < kFiles; ++i) DeleteFileA((folder + "\\" + FileName(i)).c_str());
}

// The calls a file cost after its close before: a second open to set the
// last-write time, and the attributes, default ones included.
void FinishTheOldWay(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    FILETIME created, accessed, written, local;
    if (GetFileTime(file, &created, &accessed, &written) && DosDateTimeToFileTime(0x36CF, 0x63C0, &local) &&
        LocalFileTimeToFileTime(&local, &written)) {
      SetFileTime(file, &created, &accessed, &written);
    }
    CloseHandle(file);
  }
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_ARCHIVE);
}

struct BaselinePass {
  InstallContext* context;
  std::string previous;  // the file placed before, finished when the next comes
};

int BaselineCallback(char* name, const uint8_t* data, uint32_t size, void* user) {
  BaselinePass* pass = static_cast<BaselinePass*>(user);
  if (!pass->previous.empty()) FinishTheOldWay(pass->previous);
  int result = PlaceEntry(name, data, size, pass->context);
  SetDlgItemTextA(pass->context->dialog, IDC_STATUS, name);
  pass->previous = name;
  return result;
}

enum PassKind {
  kWithRecord,     // ours: every change noted, replaced files kept aside
  kWithoutRecord,  // the pass before the record: replaced files deleted
  kOldFinishing,   // that pass with the earlier per-file calls
};

// One installing pass, into an empty folder or over `kFiles` files of an
// earlier installation; milliseconds per file.
double Pass(const std::string& archive, const std::string& folder, HWND dialog, PassKind kind, bool over) {
  InstallContext context = {};
  context.dialog = dialog;
  CopyBounded(context.destination, folder.c_str(), sizeof context.destination);
  EmptyFolder(folder);
  if (over) ExtractArchive(archive.c_str(), PlaceEntry, &context, nullptr);
  context.status_shown_at = 0;
  BaselinePass old = {&context, ""};
  double start = WallSeconds();
  if (kind == kWithRecord) {
    BeginChanges(&context.undo, context.destination);
    context.changes = &context.undo;
  }
  int result = kind == kOldFinishing ? ExtractArchive(archive.c_str(), BaselineCallback, &old, nullptr)
                                     : ExtractArchive(archive.c_str(), PlaceEntry, &context, nullptr);
  if (kind == kOldFinishing && !old.previous.empty()) FinishTheOldWay(old.previous);
  if (kind == kWithRecord) CommitChanges(&context.undo);
  double elapsed = WallSeconds() - start;
  if (result != kExtractOk) printf("the pass failed with %d\n", result);
  return elapsed * 1000 / kFiles;
}

}  // namespace

int main() {
  SetupState state = {};
  g_setup_state = &state;  // no language base name: no entry is language-specific
  HWND dialog = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 60, nullptr, nullptr, nullptr, nullptr);
  CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 20, 400, 20, dialog, reinterpret_cast<HMENU>(IDC_STATUS),
                  nullptr, nullptr);
  ShowWindow(dialog, SW_SHOWNOACTIVATE);

  std::string archive = TempPath("install_bench.rar");
  std::string folder = TempPath("install_bench");
  WriteArchive(archive);
  CreateDirectoryA(folder.c_str(), nullptr);

  std::vector<double> ours, without, before, ours_over, without_over;
  for (int round = 0; round < kRounds; ++round) {
    ours.push_back(Pass(archive, folder, dialog, kWithRecord, false));
    without.push_back(Pass(archive, folder, dialog, kWithoutRecord, false));
    before.push_back(Pass(archive, folder, dialog, kOldFinishing, false));
    ours_over.push_back(Pass(archive, folder, dialog, kWithRecord, true));
    without_over.push_back(Pass(archive, folder, dialog, kWithoutRecord, true));
  }
  printf("Installing %d files of %zu bytes, ms per file (median of %d)\n", kFiles, kFileBytes, kRounds);
  printf("%-32s %10s %10s %8s\n", "", "ours", "baseline", "ours/baseline");
  const struct {
    const char* row;
    double ours;
    double baseline;
  } rows[] = {
      {"empty folder, earlier calls", Median(ours), Median(before)},
      {"empty folder, without record", Median(ours), Median(without)},
      {"over 2000 files, without record", Median(ours_over), Median(without_over)},
  };
  for (const auto& r : rows) printf("%-32s %10.3f %10.3f %8.2f\n", r.row, r.ours, r.baseline, r.ours / r.baseline);

  EmptyFolder(folder);
  RemoveDirectoryA(folder.c_str());
  DeleteFileA(archive.c_str());
  DestroyWindow(dialog);
  return 0;
}
