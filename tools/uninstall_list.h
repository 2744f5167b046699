// The build side of the ready uninstaller: the list of what a package's
// uninstaller removes, and the uninstaller program with that list behind
// its image and its record pointing at it.
#pragma once

#include <functional>
#include <string>
#include <vector>

// What the uninstaller of one package removes.
struct UninstallContents {
  std::string product;  // the product name as Setup.exe uses it
  std::string package_id;
  std::string main_program;
  std::vector<std::string> names;  // every file name the package can place
};

// The contents for a package of these entry names (in package order);
// `contents` returns the bytes of an entry by name.
UninstallContents UninstallContentsOf(const std::vector<std::string>& names,
                                      const std::function<std::string(const std::string&)>& contents);

// The list as the uninstaller reads it.
std::string EncodeUninstallList(const UninstallContents& contents);

// Puts `list` behind `program`, the ready uninstaller as built, and fills
// its record to point at it. Returns "" with the result in `filled`, or what
// makes `program` unusable for it.
std::string FillUninstaller(const std::string& program, const std::string& list, std::string* filled);
