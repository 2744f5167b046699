#include "tools/diagnostics.h"

void ReportError(std::ostream& err, const std::string& text) { err << "mksetup: error: " << text << "\n"; }

void ReportWarning(std::ostream& err, const std::string& text) { err << "mksetup: warning: " << text << "\n"; }
