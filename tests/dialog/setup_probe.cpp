#include "tests/dialog/setup_probe.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "resources/resource_ids.h"
#include "tests/e2e/installed_product.h"

namespace {

// The message box's text control, as the system's message box template
// numbers it.
constexpr int kMessageTextId = 0xFFFF;
constexpr DWORD kPollMs = 50;

// The visible top-level windows of the process with the class given.
struct WindowSearch {
  DWORD process_id;
  const char* window_class;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD process_id = 0;
  GetWindowThreadProcessId(window, &process_id);
  char window_class[64] = "";
  GetClassNameA(window, window_class, sizeof window_class);
  if (process_id == search->process_id && IsWindowVisible(window) &&
      std::strcmp(window_class, search->window_class) == 0) {
    search->found.push_back(window);
  }
  return TRUE;
}

std::vector<HWND> ProcessWindows(DWORD process_id, const char* window_class) {
  WindowSearch search = {process_id, window_class, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// WM_GETTEXT itself: for another process's window GetWindowText only gives
// the caption the system keeps, which an edit control does not update.
std::string Text(HWND window) {
  char text[1024] = "";
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, kHangBoundMs,
                      &ignored);
  text[sizeof text - 1] = '\0';
  return text;
}

std::string ComboItemText(HWND combo, int index) {
  // The wide message: Wine hands the narrow one back across processes cut
  // after its first character.
  wchar_t wide[256] = L"";
  if (SendMessageW(combo, CB_GETLBTEXTLEN, index, 0) >= 256) return "";
  SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(wide));
  char text[512] = "";
  WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
  return text;
}

// The height in pixels of what is drawn in a control: the rows of the
// screen image over the control that differ from its background (taken at
// its top right corner, where a left-aligned text does not reach).
int InkHeight(HWND control) {
  RECT rect = {};
  GetWindowRect(control, &rect);
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return 0;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  int top = -1;
  int bottom = -1;
  if (bitmap != nullptr) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const uint32_t* pixels = static_cast<const uint32_t*>(bits);
    uint32_t background = pixels[width - 1];
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        if (pixels[y * width + x] != background) {
          if (top < 0) top = y;
          bottom = y;
          break;
        }
      }
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return top < 0 ? 0 : bottom - top + 1;
}

// List-view messages carry pointers, which the system does not carry across
// processes: the records live in a page of the other process.
class RemotePage {
 public:
  explicit RemotePage(HANDLE process) : process_(process) {
    page_ = static_cast<char*>(VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
  }
  ~RemotePage() {
    if (page_ != nullptr) VirtualFreeEx(process_, page_, 0, MEM_RELEASE);
  }
  bool ok() const { return page_ != nullptr; }
  char* at(size_t offset) const { return page_ + offset; }
  void Write(size_t offset, const void* data, size_t size) const {
    WriteProcessMemory(process_, page_ + offset, data, size, nullptr);
  }
  void Read(size_t offset, void* data, size_t size) const {
    ReadProcessMemory(process_, page_ + offset, data, size, nullptr);
  }

 private:
  HANDLE process_;
  char* page_;
};

constexpr size_t kTextOffset = 1024;
constexpr int kTextSize = 512;

// Sends a control of the other process a request whose record (a list or
// tree item or column, with its text buffer) lies in `page`; the record and
// its text come back. The text is empty when the request fails.
template <typename Record>
std::string RemoteRequest(const RemotePage& page, HWND control, UINT message, WPARAM wparam, Record* record) {
  record->pszText = page.at(kTextOffset);
  record->cchTextMax = kTextSize;
  page.Write(0, record, sizeof *record);
  if (SendMessageA(control, message, wparam, reinterpret_cast<LPARAM>(page.at(0))) == 0) return "";
  page.Read(0, record, sizeof *record);
  char text[kTextSize];
  page.Read(kTextOffset, text, sizeof text);
  text[kTextSize - 1] = '\0';
  return text;
}

void ReadLanguages(HANDLE process, HWND list, DialogSnapshot* snapshot) {
  RemotePage page(process);
  if (!page.ok()) return;
  LVCOLUMNA column = {};
  column.mask = LVCF_TEXT;
  snapshot->language_column = RemoteRequest(page, list, LVM_GETCOLUMNA, 0, &column);

  int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int index = 0; index < count; ++index) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    item.iItem = index;
    item.stateMask = LVIS_STATEIMAGEMASK;
    std::string name = RemoteRequest(page, list, LVM_GETITEMA, 0, &item);
    snapshot->languages.push_back({name, static_cast<uint32_t>(item.lParam), (item.state & LVIS_STATEIMAGEMASK) >> 12});
  }
}

ProbedOption ReadOption(HWND dialog, int id) {
  HWND box = GetDlgItem(dialog, id);
  return {Text(box), IsDlgButtonChecked(dialog, id) == BST_CHECKED, (GetWindowLongA(box, GWL_STYLE) & WS_VISIBLE) != 0};
}

void ReadDialog(HANDLE process, HWND dialog, DialogSnapshot* snapshot) {
  snapshot->window_title = Text(dialog);
  GetWindowRect(dialog, &snapshot->window_rect);
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    ProbedControl control;
    control.id = static_cast<short>(GetDlgCtrlID(child));
    char window_class[64] = "";
    GetClassNameA(child, window_class, sizeof window_class);
    control.window_class = window_class;
    control.text = Text(child);
    control.style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
    GetWindowRect(child, &control.rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&control.rect), 2);
    snapshot->controls.push_back(control);
  }

  HWND title = GetDlgItem(dialog, IDC_TITLE);
  snapshot->title_text = Text(title);
  // Other programs' windows on the same display must not cover what is
  // measured on the screen: the dialog is raised and drawn again, and read
  // until two readings in a row agree, the last paint having reached the
  // screen.
  HWND label = GetDlgItem(dialog, IDC_FOLDER_LABEL);
  SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  WaitUntil([&] {
    int title_ink = InkHeight(title);
    int label_ink = InkHeight(label);
    bool settled = title_ink == snapshot->title_ink_height && label_ink == snapshot->label_ink_height;
    snapshot->title_ink_height = title_ink;
    snapshot->label_ink_height = label_ink;
    return settled && label_ink > 0;
  });
  SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  HWND combo = GetDlgItem(dialog, IDC_EDITION);
  int editions = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
  for (int index = 0; index < editions; ++index) {
    snapshot->editions.push_back(
        {ComboItemText(combo, index), static_cast<uint32_t>(SendMessageA(combo, CB_GETITEMDATA, index, 0))});
  }
  snapshot->edition_selection = static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0));

  ReadLanguages(process, GetDlgItem(dialog, IDC_LANGUAGES), snapshot);
  snapshot->folder = Text(GetDlgItem(dialog, IDC_FOLDER));
  snapshot->start_menu = ReadOption(dialog, IDC_START_MENU);
  snapshot->desktop_icon = ReadOption(dialog, IDC_DESKTOP_ICON);
  snapshot->quick_launch = ReadOption(dialog, IDC_QUICK_LAUNCH);
  snapshot->status = Text(GetDlgItem(dialog, IDC_STATUS));
}

std::string CodeText(uint32_t code) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    char c = static_cast<char>((code >> (8 * i)) & 0xFF);
    if (c != '\0') text += c;
  }
  return text;
}

}  // namespace

DialogSnapshot ReadSnapshot(const OpenDialog& open) {
  DialogSnapshot snapshot;
  ReadDialog(open.process, open.dialog, &snapshot);
  return snapshot;
}

bool WaitUntil(const std::function<bool()>& done, DWORD bound_ms) {
  for (DWORD waited = 0; waited < bound_ms; waited += kPollMs) {
    if (done()) return true;
    Sleep(kPollMs);
  }
  return done();
}

HWND FindProgramWindow(const OpenDialog& open, const char* window_class, HWND except) {
  for (HWND window : ProcessWindows(open.process_id, window_class)) {
    if (window != except) return window;
  }
  return nullptr;
}

HWND WaitForWindow(const OpenDialog& open, const char* window_class, HWND except) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindProgramWindow(open, window_class, except)) != nullptr; });
  return found;
}

std::string SelectedTreeItem(const OpenDialog& open, HWND tree) {
  RemotePage page(open.process);
  if (!page.ok()) return "";
  HTREEITEM selected = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (selected == nullptr) return "";
  TVITEMA item = {};
  item.mask = TVIF_TEXT;
  item.hItem = selected;
  return RemoteRequest(page, tree, TVM_GETITEMA, 0, &item);
}

MessageSnapshot ReadMessageBox(HWND box) { return {Text(box), Text(GetDlgItem(box, kMessageTextId))}; }

void SetFolder(const OpenDialog& open, const std::string& folder) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(GetDlgItem(open.dialog, IDC_FOLDER), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()),
                      SMTO_BLOCK, kHangBoundMs, &ignored);
}

void ChooseEdition(const OpenDialog& open, int index) {
  SendMessageA(GetDlgItem(open.dialog, IDC_EDITION), CB_SETCURSEL, index, 0);
}

bool SetLanguageChecked(const OpenDialog& open, uint32_t code, bool checked) {
  HWND list = GetDlgItem(open.dialog, IDC_LANGUAGES);
  DialogSnapshot snapshot;
  ReadLanguages(open.process, list, &snapshot);
  for (size_t index = 0; index < snapshot.languages.size(); ++index) {
    if (snapshot.languages[index].code != code) continue;
    RemotePage page(open.process);
    if (!page.ok()) return false;
    LVITEMA item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    page.Write(0, &item, sizeof item);
    SendMessageA(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(page.at(0)));
    return true;
  }
  return false;
}

void SetOption(const OpenDialog& open, int id, bool checked) {
  SendMessageA(GetDlgItem(open.dialog, id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

InstallOutcome PressInstall(const OpenDialog& open, DWORD timeout_ms, const MessageAnswer& answer) {
  InstallOutcome outcome;
  PostMessageA(open.dialog, WM_COMMAND, MAKEWPARAM(IDC_INSTALL, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(open.dialog, IDC_INSTALL)));
  HWND answered = nullptr;
  int idle_polls = 0;
  for (DWORD waited = 0; waited < timeout_ms; waited += kPollMs) {
    if (!IsWindow(open.dialog)) {
      outcome.dialog_closed = true;
      return outcome;
    }
    HWND box = nullptr;
    for (HWND window : ProcessWindows(open.process_id, "#32770")) {
      if (window != open.dialog) box = window;
    }
    if (box != nullptr && box != answered) {
      outcome.messages.push_back(ReadMessageBox(box));
      PostMessageA(box, WM_COMMAND, answer ? answer(outcome.messages.back()) : IDOK, 0);
      answered = box;
      idle_polls = 0;
    } else if (box == nullptr) {
      // The dialog answers while a pass runs too, but keeps OK disabled
      // until the run is over; a box on its way would show within these
      // polls.
      DWORD_PTR ignored = 0;
      bool answers = SendMessageTimeoutA(open.dialog, WM_NULL, 0, 0, SMTO_BLOCK, 100, &ignored) != 0 &&
                     IsWindowEnabled(GetDlgItem(open.dialog, IDC_INSTALL));
      idle_polls = answers ? idle_polls + 1 : 0;
      if (idle_polls >= 10) return outcome;
    }
    Sleep(kPollMs);
  }
  outcome.timed_out = true;
  return outcome;
}

Process::Process(const std::string& program, const std::string& arguments, DWORD flags, const std::string& output) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  HANDLE file = INVALID_HANDLE_VALUE;
  if (!output.empty()) {
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    file = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS, 0, nullptr);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file;
    startup.hStdError = file;
  }
  std::string command = program.empty() ? arguments : "\"" + program + "\" " + arguments;
  started = CreateProcessA(program.empty() ? nullptr : program.c_str(), &command[0], nullptr, nullptr,
                           file != INVALID_HANDLE_VALUE, flags, nullptr, nullptr, &startup, &info) != 0;
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

Process::~Process() {
  if (!started) return;
  if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info.hProcess, 1);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
}

DWORD Process::ExitCode() const {
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  return code;
}

ProbeResult ProbeSetup(const std::string& program, const ProbeOptions& options) {
  ProbeResult result;
  Process setup(program, "");
  if (!setup.started) return result;
  const PROCESS_INFORMATION& process = setup.info;
  result.started = true;

  // The setup dialog is the one with the language list; a message box
  // shown instead (or before it appears) has none.
  HWND dialog = nullptr;
  HWND message = nullptr;
  for (DWORD waited = 0; waited < options.timeout_ms && dialog == nullptr && message == nullptr; waited += kPollMs) {
    for (HWND window : ProcessWindows(process.dwProcessId, "#32770")) {
      if (GetDlgItem(window, IDC_LANGUAGES) != nullptr) {
        dialog = window;
      } else {
        message = window;
      }
    }
    if (WaitForSingleObject(process.hProcess, kPollMs) == WAIT_OBJECT_0) break;
  }

  if (message != nullptr) {
    result.message_found = true;
    result.message = ReadMessageBox(message);
    PostMessageA(message, WM_COMMAND, IDOK, 0);
  } else if (dialog != nullptr) {
    // Let the dialog finish drawing before it is read.
    WaitForInputIdle(process.hProcess, kHangBoundMs);
    result.dialog_found = true;
    ReadDialog(process.hProcess, dialog, &result.dialog);
    if (options.interact) options.interact({dialog, process.hProcess, process.dwProcessId});
    if (options.hold_ms > 0) Sleep(options.hold_ms);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
  }

  result.exited = setup.Ended(options.timeout_ms);
  if (result.exited) result.exit_code = setup.ExitCode();
  return result;
}

std::string DescribeSnapshot(const ProbeResult& result) {
  std::string out;
  char line[1024];
  auto add = [&](const char* format, auto... values) {
    std::snprintf(line, sizeof line, format, values...);
    out += line;
    out += '\n';
  };
  if (result.message_found) {
    add("message-caption: %s", result.message.caption.c_str());
    add("message-text: %s", result.message.text.c_str());
  }
  if (result.dialog_found) {
    const DialogSnapshot& d = result.dialog;
    add("window-title: %s", d.window_title.c_str());
    for (const ProbedControl& c : d.controls) {
      add("control: %d %s style=0x%08lX at=%ld,%ld,%ld,%ld text=%s", c.id, c.window_class.c_str(), c.style, c.rect.left,
          c.rect.top, c.rect.right - c.rect.left, c.rect.bottom - c.rect.top, c.text.c_str());
    }
    add("title: %s", d.title_text.c_str());
    add("title-ink: %d pixels high (label %d)", d.title_ink_height, d.label_ink_height);
    for (const ProbedEdition& e : d.editions) add("edition: %s [%s]", e.name.c_str(), CodeText(e.prefix).c_str());
    add("edition-selected: %d", d.edition_selection);
    add("language-column: %s", d.language_column.c_str());
    for (const ProbedLanguage& l : d.languages) {
      add("language: %s [%s] %s", l.name.c_str(), CodeText(l.code).c_str(),
          l.check_image == 2   ? "checked"
          : l.check_image == 1 ? "unchecked"
                               : "no-box");
    }
    add("folder: %s", d.folder.c_str());
    const ProbedOption* options[] = {&d.start_menu, &d.desktop_icon, &d.quick_launch};
    for (const ProbedOption* o : options) {
      add("option: %s %s %s", o->checked ? "checked" : "unchecked", o->visible ? "shown" : "hidden", o->text.c_str());
    }
    add("status: %s", d.status.c_str());
  }
  if (!result.started) add("%s", "not started");
  if (!result.dialog_found && !result.message_found) add("%s", "no window");
  if (result.exited) {
    add("exited: %lu", result.exit_code);
  } else {
    add("%s", "still running");
  }
  return out;
}

SetupTexts SystemSetupTexts() {
  const char* english_notice = "Please use bug free antivirus programs.\n\nThis program is 100% clean!";
  switch (GetSystemDefaultLangID() & 0x3FF) {
    case LANG_GERMAN:
      return {"Installation",
              "Abbruch",
              "Zielpfad:",
              "Programmgruppe erstellen",
              "Desktop-Symbol anlegen",
              "Symbol in der Schnellstartleiste anlegen",
              "Sprache",
              "Englisch",
              "Deutsch",
              "Die Datei ist besch\xE4"
              "digt, bitte nochmal herunterladen!",
              "Bitte verwenden Sie fehlerfreiee Antivirus-Programme.\n\nDieses Programm ist 100% sauber!",
              " wurde erfolgreich installiert."};
    case LANG_ITALIAN:
      return {"Installazione",
              "Annulla",
              "Destinazione",
              "Aggiungi collegamento nel menu Programmi",
              "Aggiungi collegamento sul desktop",
              "Aggiungi collegamento sulla barra di Avvio veloce",
              "Lingua",
              "English",
              "German",
              "File danneggiato, esegui di nuovo il download.",
              english_notice,
              " \xE8 stato installato correttamente."};
    default:
      return {"Setup",
              "Cancel",
              "Destination folder",
              "Put entry to Start Menu",
              "Create a Desktop icon",
              "Create a Quick Launch icon",
              "Language",
              "English",
              "German",
              "Broken file, please download again.",
              english_notice,
              " has been successfully installed."};
  }
}

Windows98ForProgram::Windows98ForProgram(const std::string& file_name)
    : key_("Software\\Wine\\AppDefaults\\" + file_name) {
  made_ = SetRegistryValue(HKEY_CURRENT_USER, key_, "Version", REG_SZ, std::string("win98", 6));
}

Windows98ForProgram::~Windows98ForProgram() { RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str()); }

bool PassesAsWindows98(const std::string& folder, const char* copy_name, const std::string& filter) {
  char self[MAX_PATH];
  if (GetModuleFileNameA(nullptr, self, sizeof self) == 0) return false;
  const std::string copy = folder + "\\" + copy_name;
  if (!CopyFileA(self, copy.c_str(), FALSE)) return false;
  Windows98ForProgram windows98(copy_name);
  if (!windows98.made()) return false;
  SetEnvironmentVariableA("TOLVEN_EXPECT_9X", "1");
  Process child(copy, "--gtest_filter=" + filter);
  SetEnvironmentVariableA("TOLVEN_EXPECT_9X", nullptr);
  // Bounded only against a hang.
  return child.started && child.Ended(300000) && child.ExitCode() == 0;
}
