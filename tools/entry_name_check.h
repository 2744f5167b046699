// Whether an entry name may be written under a folder that the user chose.
#pragma once

#include <string>

// Why writing `name` ('\' or '/' separated) under a folder could land
// outside it or on something that is not a plain file, or "" when it is
// safe: absolute or drive-qualified names, any colon (drives, streams), a
// ".." component, Windows device names (CON, NUL, COM1.TXT ...),
// characters Windows does not allow in names, and names that end in a
// separator or "." and so name a folder.
std::string UnsafeNameReason(const std::string& name);
