// The product's registry values: the uninstall entry that names this
// uninstaller, and the folder remembered for the next installation.
#pragma once

#include "archive/uninstall_record.h"

// Removes every uninstall entry whose UninstallString names `uninstaller`
// (quoted or not), and the remembered folder of the package ID when it is
// `folder`, with the key of remembered folders once it holds nothing else.
void RemoveProductRegistry(const UninstallList& list, const char* uninstaller, const char* folder);
