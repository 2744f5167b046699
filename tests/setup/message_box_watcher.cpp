#include "tests/setup/message_box_watcher.h"

#include <cstring>

namespace {

std::string WindowText(HWND window) {
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

struct Search {
  HWND found;
  HWND skip;
};

BOOL CALLBACK FindDialogBox(HWND window, LPARAM data) {
  Search* search = reinterpret_cast<Search*>(data);
  char class_name[16] = {};
  GetClassNameA(window, class_name, sizeof class_name);
  if (window != search->skip && IsWindowVisible(window) && strcmp(class_name, "#32770") == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher(int answer)
    : thread_id_(GetCurrentThreadId()), answer_(answer), watcher_([this] { Watch(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() { Finish(); }

const std::vector<SeenMessageBox>& MessageBoxWatcher::Finish() {
  stop_ = true;
  if (watcher_.joinable()) watcher_.join();
  return seen_;
}

void MessageBoxWatcher::Watch() {
  HWND answered = nullptr;
  while (!stop_) {
    Search search = {nullptr, answered};
    EnumThreadWindows(thread_id_, FindDialogBox, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) {
      SeenMessageBox box;
      box.caption = WindowText(search.found);
      box.text = WindowText(GetDlgItem(search.found, 0xFFFF));  // the text control of the system's template
      seen_.push_back(box);
      PostMessageA(search.found, WM_COMMAND, MAKEWPARAM(answer_, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(search.found, answer_)));
      answered = search.found;
    }
    Sleep(20);
  }
}
