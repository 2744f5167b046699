// The ready uninstaller's entry point. Started as the product's uninstall
// command (no arguments, or /S), it is the installed uninstaller and hands
// over to a copy of itself; that copy is started with /D= naming the
// product's folder and does the removal. With /S neither shows a window,
// and the exit code tells the outcome.
#include <windows.h>

#include "setup/command_line.h"
#include "uninstall/hand_over.h"
#include "uninstall/own_list.h"
#include "uninstall/remove_product.h"
#include "uninstall/uninstall_exit.h"
#include "uninstall/uninstall_texts.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_text, int) {
  CommandLine command_line;
  ParseCommandLine(command_text, &command_line);
  // Setup's reading of the arguments, but for the copy of a run with
  // questions, started with /D= alone, which Setup refuses without /S. A
  // log, which the uninstaller does not write, is a wrong argument.
  if (command_line.log_path[0] != '\0' || (command_line.refusal != nullptr && command_line.refusal != kWithoutSilent)) {
    return kUninstallWrongArguments;
  }
  const UninstallTexts& texts = TextsOfSystemLanguage();
  OwnList own = {};
  int outcome = kUninstallDamagedRecord;
  if (!ReadOwnList(&own)) {
    if (!command_line.silent)
      MessageBoxA(nullptr, texts.damaged, texts.caption, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
  } else if (command_line.destination[0] == '\0') {
    outcome = HandOver(own, command_line.silent, texts);
  } else {
    outcome = RemoveProduct(own, command_line.destination, command_line.silent, texts);
  }
  FreeOwnList(&own);
  return outcome;
}
