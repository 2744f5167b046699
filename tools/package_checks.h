// What the installer will make of a package, judged the way its own readers
// judge the description files, as warnings for the package author.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/package_source.h"

// The description file contents are read from the entries' source files.
std::vector<std::string> CheckPackage(const std::vector<PackageEntry>& entries);

// The same checks on names and contents given directly; `contents` returns
// the bytes of an entry by name.
std::vector<std::string> CheckPackageContents(
    const std::vector<std::string>& names,
    const std::function<std::string(const std::string&)>& contents);
