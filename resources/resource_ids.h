// Numbers shared by the resource script and the program: the icon, the
// setup dialog and its controls. A control that shows a built-in text has
// the id of that text, so one list of ids labels the whole dialog.
#pragma once

#define IDI_SETUP 1
#define IDD_SETUP 1000

#define IDC_INSTALL 99         // OK: start the installation
#define IDC_TITLE 1001         // package title and version
#define IDC_EDITION 1002       // edition combo box
#define IDC_LANGUAGES 1010     // check-box list of installation languages
#define IDC_FOLDER_LABEL 1031  // label above the destination folder
#define IDC_FOLDER 1032        // destination folder edit
#define IDC_BROWSE 1033        // "..." folder browser
#define IDC_START_MENU 1041    // option: Start-Menu group
#define IDC_DESKTOP_ICON 1042  // option: desktop shortcut
#define IDC_QUICK_LAUNCH 1043  // option: Quick Launch shortcut
#define IDC_STATUS 1047        // status line while installing
#define IDC_PROGRESS 1048      // progress bar, shown while installing

// The window shown while a long check of the package runs, and its text.
#define IDD_CHECKING 1100
#define IDC_CHECKING 3005

// Context menu of the language list; also the ids of the items' texts.
#define IDM_CHECK_ALL 136
#define IDM_UNCHECK_ALL 137
#define IDM_INVERT_CHECKS 138
