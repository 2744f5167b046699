// Whether an entry name may be written under a folder that the user chose.
#pragma once

#include <string>

// mksetup's rules for `name`: the installer's (InstallerNameFault) and
// every EntryNameFault after kNameFolder. 0 for a safe name.
int AuthorNameFault(const char* name);

// Why mksetup refuses `name` ('\' or '/' separated), or "" when it is
// safe: the installer's own name rules and mksetup's stricter ones
// (common/entry_names.h), told for the user.
std::string UnsafeNameReason(const std::string& name);

// The reason for one EntryNameFault; "" for kNameFine.
std::string NameFaultText(int fault);
