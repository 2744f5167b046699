// Files and folders that cannot be deleted now, deleted when Windows next
// starts: on the NT family through the system's list of pending file
// operations (it needs administrator rights), on the 9x family through the
// [rename] section of wininit.ini, which the system works through, in 8.3
// names, before it starts Windows.
#pragma once

// Has `path` (a file, or a folder that is empty by then) deleted at the next
// start of Windows. True when that is recorded.
bool DeleteAtRestart(const char* path);
