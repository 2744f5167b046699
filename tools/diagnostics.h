// What mksetup says on standard error has one form, so that a script or a
// reader finds it: "mksetup: error: ..." for what stops a command,
// "mksetup: warning: ..." for what it goes on despite.
#pragma once

#include <ostream>
#include <string>

void ReportError(std::ostream& err, const std::string& text);
void ReportWarning(std::ostream& err, const std::string& text);
