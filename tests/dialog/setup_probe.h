// Drives a running Setup.exe from the outside, as a user would see it: finds
// its dialog (or its message box), reads every control, and closes it. Used
// by the whole-program tests and by the setup_probe program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ProbedControl {
  int id;
  std::string window_class;
  std::string text;
  DWORD style;
  RECT rect;  // in the dialog's client coordinates
};

struct ProbedLanguage {
  std::string name;
  uint32_t code;
  unsigned check_image;  // 2 checked, 1 unchecked
};

struct ProbedEdition {
  std::string name;
  uint32_t prefix;
};

struct ProbedOption {
  std::string text;
  bool checked;
  bool visible;
};

struct DialogSnapshot {
  std::string window_title;
  std::vector<ProbedControl> controls;  // in creation (template) order
  std::string title_text;
  // Fonts belong to the other process; what can be seen of them is how
  // tall the letters are drawn on the screen.
  int title_ink_height = 0;  // pixels from the top of the highest letter to the bottom of the lowest
  int label_ink_height = 0;  // the same for the folder label, in the dialog's font
  std::vector<ProbedEdition> editions;
  int edition_selection = -1;
  std::string language_column;
  std::vector<ProbedLanguage> languages;  // in the order shown
  std::string folder;
  ProbedOption start_menu, desktop_icon, quick_launch;
  std::string status;
  RECT window_rect = {};
};

struct MessageSnapshot {
  std::string caption;
  std::string text;
};

struct ProbeResult {
  bool started = false;
  bool dialog_found = false;
  DialogSnapshot dialog;
  bool message_found = false;
  MessageSnapshot message;
  bool exited = false;  // the program ended after the dialog was closed
  DWORD exit_code = 0;
};

// The running program's dialog, for a test that acts on it before it closes.
struct OpenDialog {
  HWND dialog;
  HANDLE process;
  DWORD process_id;
};

// How long a wait on another program may last before the test counts it as
// hung: far beyond what any step takes on a loaded machine.
constexpr DWORD kHangBoundMs = 60000;

// A process of the test's own, ended and closed when the test is done. Its
// standard output and error go to `output` when one is named. An empty
// `program` runs the command line `arguments` as the shell runs a
// registered command: the system finds the program in it
// (CreateProcessA without an application name).
struct Process {
  PROCESS_INFORMATION info = {};
  bool started = false;
  Process(const std::string& program, const std::string& arguments, DWORD flags = 0, const std::string& output = "");
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  // Whether it has ended, or does within `bound_ms`.
  bool Ended(DWORD bound_ms = kHangBoundMs) const {
    return WaitForSingleObject(info.hProcess, bound_ms) == WAIT_OBJECT_0;
  }
  DWORD ExitCode() const;
};

// Polls `done` until it holds or `bound_ms` has passed; whether it holds.
bool WaitUntil(const std::function<bool()>& done, DWORD bound_ms = kHangBoundMs);

struct ProbeOptions {
  DWORD timeout_ms = kHangBoundMs;  // for the window to appear and the program to end
  DWORD hold_ms = 0;                // leave the dialog open this long after reading it (for a picture)
  // Called after the first reading, before the dialog is closed.
  std::function<void(const OpenDialog&)> interact;
};

// Reads the dialog again, e.g. after an action.
DialogSnapshot ReadSnapshot(const OpenDialog& open);

// A visible top-level window of the program's with the class given (e.g.
// "#32768" for a pop-up menu), other than `except`; null when there is none.
HWND FindProgramWindow(const OpenDialog& open, const char* window_class, HWND except);
// The same, waiting for one to appear.
HWND WaitForWindow(const OpenDialog& open, const char* window_class, HWND except);

// The text of the selected item of a tree view in the program.
std::string SelectedTreeItem(const OpenDialog& open, HWND tree);

// What the user changes in the open dialog before pressing OK.
void SetFolder(const OpenDialog& open, const std::string& folder);
void ChooseEdition(const OpenDialog& open, int index);
// Checks or unchecks the list item carrying `code`; false when none does.
bool SetLanguageChecked(const OpenDialog& open, uint32_t code, bool checked);
void SetOption(const OpenDialog& open, int id, bool checked);

struct InstallOutcome {
  std::vector<MessageSnapshot> messages;  // every box shown, in order; each answered with OK
  bool dialog_closed = false;             // the dialog is gone, as after a successful installation
  bool timed_out = false;
};

// What a message box of any program says: its caption and text.
MessageSnapshot ReadMessageBox(HWND box);

// The button that answers a box (IDOK, IDRETRY, IDYES, ...).
using MessageAnswer = std::function<int(const MessageSnapshot&)>;

// Presses OK and answers every message box the installation shows (with
// OK, or as `answer` says), until the dialog has closed or is waiting for
// the user again: it answers, and its OK button is enabled.
InstallOutcome PressInstall(const OpenDialog& open, DWORD timeout_ms = 120000, const MessageAnswer& answer = {});

// Starts `program` and reads its dialog, or the message box it shows
// instead; then closes whichever it found (the box with OK, the dialog with
// Cancel) and waits for the program to end.
ProbeResult ProbeSetup(const std::string& program, const ProbeOptions& options = ProbeOptions());

// The snapshot as "name: value" lines, for people and for scripts.
std::string DescribeSnapshot(const ProbeResult& result);

// The texts Setup shows in the system's language.
struct SetupTexts {
  const char* title;
  const char* cancel;
  const char* folder_label;
  const char* start_menu;
  const char* desktop_icon;
  const char* quick_launch;
  const char* column;
  const char* english;
  const char* german;
  const char* broken;
  const char* notice;     // before every installation
  const char* installed;  // after the product's name
};
SetupTexts SystemSetupTexts();

// Wine reports the 9x platform ("win98") to programs of this file name for
// the life of the object: a per-program setting of the prefix, removed again.
class Windows98ForProgram {
 public:
  explicit Windows98ForProgram(const std::string& file_name);
  ~Windows98ForProgram();
  bool made() const { return made_; }

 private:
  std::string key_;
  bool made_ = false;
};

// This test program copied into `folder` as `copy_name`, a name that Wine's
// per-program setting makes Windows 98, running its tests of `filter` with
// TOLVEN_EXPECT_9X set (so that they can tell the setting took); true when
// the copy ran and they passed.
bool PassesAsWindows98(const std::string& folder, const char* copy_name, const std::string& filter);
