// What the installer will make of a package, read the way its own readers
// read the description files and place the entries: as warnings for the
// package author, and as the settings and names its uninstaller needs.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/package_source.h"

// The description file contents are read from the entries' source files.
std::vector<std::string> CheckPackage(const std::vector<PackageEntry>& entries);

// The entries' names in package order, and the first bytes of an entry's
// source file by name, as much as the installer reads of a description file.
std::vector<std::string> NamesOf(const std::vector<PackageEntry>& entries);
std::string DescriptionBytesOf(const std::vector<PackageEntry>& entries, const std::string& name);

// The same checks on names and contents given directly; `contents` returns
// the bytes of an entry by name.
std::vector<std::string> CheckPackageContents(const std::vector<std::string>& names,
                                              const std::function<std::string(const std::string&)>& contents);

// The settings as Setup.exe's description pass leaves them: the entries
// read in package order, the values of several .INF files appended to one
// another, the product name kept only when it can name a folder.
struct PackageSettings {
  std::string package_id;
  std::string product_name;  // Group=, else the FILE_ID.DIZ title; may be empty
  std::string exe;           // Exe=; empty when the package names no main program
};
PackageSettings ReadPackageSettings(const std::vector<std::string>& names,
                                    const std::function<std::string(const std::string&)>& contents);

// Whether Windows takes the two file names for the same one: Windows-1252
// letters compared without regard to case.
bool SameFileName(const std::string& a, const std::string& b);

// Every file name that placement can give an entry of these in the product's
// folder, whatever edition and languages are chosen: the entries at the top
// level and directly in 9x or xp, without the .INF files; each name once
// (the first spelling of names Windows holds the same), in package order.
std::vector<std::string> PlacedFileNames(const std::vector<std::string>& names);

// The main program Setup.exe's shortcuts point at: `exe`, else the first of
// `placed` that starts with K and ends in .EXE (and fits the installer's
// field); empty when there is none.
std::string MainProgramOf(const std::string& exe, const std::vector<std::string>& placed);
