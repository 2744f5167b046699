#include "tools/package_checks.h"

#include <cstring>
#include <fstream>
#include <set>

#include "common/bounded_text.h"
#include "common/description_text.h"
#include "common/entry_names.h"
#include "common/product_name.h"
#include "common/windows1252.h"

namespace {

// The installer reads description entries into memory and parses them as
// NUL-terminated text; only this much of a file is worth reading here.
constexpr size_t kDescriptionBytes = 1 << 20;
// Its name, language and line buffers hold 259 characters.
constexpr size_t kLineBytes = 259;
// The most the installer keeps of a language file's name without its tail.
constexpr size_t kBaseNameLength = sizeof(PackageDescription::lng_base_name) - 1;
// The installer's field for the main program's name holds this many.
constexpr size_t kLongestExeName = sizeof(PackageDescription::exe_name) - 1;

std::string FileNamePart(const std::string& name) {
  size_t slash = name.rfind('\\');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

// The entry kinds the description pass picks out: names of 4 characters or
// fewer never count.
bool IsInfName(const std::string& name) { return name.size() > 4 && EndsWithNoCase(name.c_str(), ".INF"); }
bool IsLngName(const std::string& name) { return name.size() > 4 && EndsWithNoCase(name.c_str(), ".LNG"); }

// Text as the installer's parsers see it: up to the first NUL.
std::string AsText(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

// How the installer reads one key into a field of `size` bytes that holds
// `field` already.
void ReadKeyValue(const std::string& text, const char* key, size_t size, std::string* field) {
  std::string read(size, '\0');
  CopyBounded(&read[0], field->c_str(), size);
  ::ReadKeyValue(text.c_str(), key, &read[0], size);
  *field = read.c_str();
}

// The value the author wrote: the rest of the line that starts with "key=".
bool WrittenValue(const std::string& text, const std::string& key, std::string* value) {
  size_t line = 0;
  while (line < text.size()) {
    size_t end = text.find('\n', line);
    if (end == std::string::npos) end = text.size();
    if (text.compare(line, key.size() + 1, key + "=") == 0) {
      *value = text.substr(line + key.size() + 1, end - line - key.size() - 1);
      if (!value->empty() && value->back() == '\r') value->pop_back();
      return true;
    }
    line = end + 1;
  }
  return false;
}

// The first 259 bytes of a language file as ANSI text: UTF-16 after a
// byte-order mark is converted, characters without a Windows-1252 byte
// become '?'.
std::string LanguageText(const std::string& bytes) {
  std::string text;
  if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xFE) {
    for (size_t i = 2; i + 1 < bytes.size() && text.size() < kLineBytes; i += 2) {
      uint32_t unit = static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8;
      if (unit == 0) break;
      uint8_t byte;
      text += UnicodeToWindows1252(unit, &byte) ? static_cast<char>(byte) : '?';
    }
    return text;
  }
  return AsText(bytes).substr(0, kLineBytes);
}

// The language name the installer takes from a .LNG file, or "".
std::string LanguageName(const std::string& bytes) {
  std::string text = LanguageText(bytes);
  const char* name = ReadLanguageName(&text[0]);
  return name != nullptr ? name : "";
}

// The title the installer takes from FILE_ID.DIZ, as much as a product name
// keeps of it.
std::string PackageTitle(const std::string& bytes) {
  TitleLine line;
  PackageDescription unused = {};
  ReadTitleLine(AsText(bytes).c_str(), &line, &unused);
  return std::string(line.title).substr(0, sizeof unused.group - 1);
}

// The name test of the main program when the package names none.
bool IsKProgram(const std::string& file) {
  return file.size() > 4 && (file[0] == 'K' || file[0] == 'k') && EndsWithNoCase(file.c_str(), ".EXE");
}

// Whether placement installs an entry of this folder part ("" at the top
// level): only the editions' folders count.
bool IsPlacedFolder(const std::string& folder) {
  return folder.empty() || SameFileName(folder, "9x") || SameFileName(folder, "xp");
}

// The product name is the Group setting, else the title; one that cannot
// name a folder counts as none, and without a name the installer proposes
// no folder and makes no uninstall entry and no shortcuts.
void CheckProductName(const std::string& group, const std::string& title, std::vector<std::string>* warnings) {
  const std::pair<const char*, std::string> candidates[] = {{"Group=", group}, {"the FILE_ID.DIZ title", title}};
  for (const auto& candidate : candidates) {
    std::string name = candidate.second;
    TrimProductName(&name[0]);
    name.resize(std::strlen(name.c_str()));
    if (IsUsableProductName(name.c_str())) return;
    if (!name.empty()) {
      warnings->push_back(std::string(candidate.first) + " \"" + candidate.second +
                          "\" cannot name the product: a folder name may not hold \\ / : * ? \" < > |, \"..\" "
                          "or control characters");
    }
  }
  warnings->push_back(
      "no product name (Group= or the FILE_ID.DIZ title): the installer proposes no folder and "
      "makes no uninstall entry and no shortcuts");
}

void CheckInf(const std::vector<std::string>& infs, const std::function<std::string(const std::string&)>& contents,
              std::vector<std::string>* warnings, std::string* exe, std::string* group) {
  if (infs.empty()) {
    warnings->push_back("no .INF file: the installer gets no ID, Group, Class or Exe");
    return;
  }
  if (infs.size() > 1) {
    warnings->push_back("more than one .INF file (" + infs[0] + ", " + infs[1] +
                        "): the installer appends their values to one another");
  }
  struct Key {
    const char* name;
    size_t size;  // the installer's field, terminator included
  };
  const Key keys[] = {{"ID", sizeof(PackageDescription::package_id)},
                      {"Group", sizeof(PackageDescription::group)},
                      {"Exe", sizeof(PackageDescription::exe_name)},
                      {"Notice", kNoticeRoom},
                      {"Publisher", sizeof(PackageDescription::publisher)}};
  std::string first = AsText(contents(infs[0]));
  for (const Key& key : keys) {
    std::string read;
    for (const std::string& inf : infs) ReadKeyValue(AsText(contents(inf)), key.name, key.size, &read);
    std::string written;
    if (!WrittenValue(first, key.name, &written)) {
      if (std::string(key.name) == "ID") warnings->push_back(infs[0] + ": no ID= line");
      if (!read.empty()) {
        warnings->push_back(infs[0] + ": the installer reads " + key.name + " as \"" + read + "\"");
      }
    } else if (read != written) {
      warnings->push_back(infs[0] + ": the installer reads " + key.name + " as \"" + read + "\", not \"" + written +
                          "\"" +
                          (written.size() > key.size - 1
                               ? " (it keeps " + std::to_string(key.size - 1) + " characters)"
                               : " (the first \"" + std::string(key.name) + "\" in the file is not this line's)"));
    }
    if (std::string(key.name) == "Exe") *exe = read;
    if (std::string(key.name) == "Group") *group = read;
    if (std::string(key.name) == "Notice" && !read.empty() && !SameFileName(read, "no") && !SameFileName(read, "yes")) {
      warnings->push_back(infs[0] + ": Notice= takes no or yes, not \"" + read +
                          "\"; the installer shows the notice unless it reads no");
    }
  }
}

void CheckLanguages(const std::vector<std::string>& lngs,
                    const std::function<std::string(const std::string&)>& contents,
                    std::vector<std::string>* warnings) {
  if (lngs.empty()) return;
  // The base name comes from the first language file: its file name
  // without its last 7 characters ("_XX.LNG") when longer, then at most 31
  // characters.
  std::string base = FileNamePart(lngs[0]);
  if (base.size() > kLanguageTailLength) base.resize(base.size() - kLanguageTailLength);
  if (base.size() > kBaseNameLength) {
    warnings->push_back(lngs[0] + ": the installer keeps " + std::to_string(kBaseNameLength) +
                        " characters of the language files' base name " + base + ", and then does not find them");
  }
  for (const std::string& name : lngs) {
    std::string file = FileNamePart(name);
    if (file.size() != base.size() + 7 || file[base.size()] != '_' || file.compare(0, base.size(), base) != 0) {
      warnings->push_back(name + ": language files must be named " + base + "_XX.LNG (XX the code)");
    }
    std::string bytes = contents(name);
    if (bytes.size() <= 7 || LanguageName(bytes).empty()) {
      warnings->push_back(name +
                          ": the installer finds no language in it (it must begin with \"[\" and "
                          "name it after \"Language=\" within its first 259 bytes)");
    }
  }
}

}  // namespace

std::vector<std::string> CheckPackageContents(const std::vector<std::string>& names,
                                              const std::function<std::string(const std::string&)>& contents) {
  std::vector<std::string> warnings;
  std::string description;
  std::vector<std::string> infs, lngs;
  std::set<std::string> odd_folders;
  for (const std::string& name : names) {
    if (SameFileName(name, "FILE_ID.DIZ")) description = name;
    if (IsInfName(name)) infs.push_back(name);
    if (IsLngName(name)) lngs.push_back(name);
    size_t slash = name.rfind('\\');
    if (slash == std::string::npos) continue;
    std::string folder = name.substr(0, slash);
    if (!IsPlacedFolder(folder)) odd_folders.insert(folder);
  }
  if (description.empty()) {
    warnings.push_back("no FILE_ID.DIZ at the top level: the dialog shows no title or version");
  }
  for (const std::string& folder : odd_folders) {
    warnings.push_back("folder " + folder +
                       ": only files directly in 9x or xp (the editions) or at the top level are installed");
  }
  std::string exe, group;
  CheckInf(infs, contents, &warnings, &exe, &group);
  CheckProductName(group, description.empty() ? "" : PackageTitle(contents(description)), &warnings);
  CheckLanguages(lngs, contents, &warnings);

  // The main program: the .INF's Exe, else the first K*.EXE.
  bool found = false;
  for (const std::string& name : names) {
    std::string file = FileNamePart(name);
    found |= exe.empty() ? IsKProgram(file) : SameFileName(file, exe);
  }
  if (!found) {
    warnings.push_back(exe.empty() ? "no main program: name it in the .INF (Exe=) or call it K*.EXE"
                                   : "the main program " + exe + " named by Exe= is not in the package");
  }
  return warnings;
}

std::vector<std::string> NamesOf(const std::vector<PackageEntry>& entries) {
  std::vector<std::string> names;
  for (const PackageEntry& entry : entries) names.push_back(entry.name);
  return names;
}

std::string DescriptionBytesOf(const std::vector<PackageEntry>& entries, const std::string& name) {
  for (const PackageEntry& entry : entries) {
    if (entry.name != name) continue;
    std::ifstream file(entry.source, std::ios::binary);
    std::string bytes(kDescriptionBytes, '\0');
    file.read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(file.gcount()));
    return bytes;
  }
  return std::string();
}

std::vector<std::string> CheckPackage(const std::vector<PackageEntry>& entries) {
  return CheckPackageContents(NamesOf(entries),
                              [&](const std::string& name) { return DescriptionBytesOf(entries, name); });
}

bool SameFileName(const std::string& a, const std::string& b) { return FoldedCase(a) == FoldedCase(b); }

PackageSettings ReadPackageSettings(const std::vector<std::string>& names,
                                    const std::function<std::string(const std::string&)>& contents) {
  PackageDescription description = {};
  for (const std::string& name : names) {
    if (SameFileName(name, "FILE_ID.DIZ")) {
      TitleLine line;
      ReadTitleLine(AsText(contents(name)).c_str(), &line, &description);
    } else if (IsInfName(name)) {
      ReadPackageSettings(AsText(contents(name)).c_str(), &description);
    }
  }
  return {description.package_id, description.group, description.exe_name};
}

std::vector<std::string> PlacedFileNames(const std::vector<std::string>& names) {
  std::vector<std::string> placed;
  std::set<std::string> folded_names;
  for (const std::string& name : names) {
    size_t slash = name.rfind('\\');
    if (!IsPlacedFolder(slash == std::string::npos ? "" : name.substr(0, slash))) continue;
    std::string file = FileNamePart(name);
    if (IsInfName(file)) continue;
    if (folded_names.insert(FoldedCase(file)).second) placed.push_back(file);
  }
  return placed;
}

std::string MainProgramOf(const std::string& exe, const std::vector<std::string>& placed) {
  if (!exe.empty()) return exe;
  for (const std::string& file : placed) {
    if (IsKProgram(file) && file.size() <= kLongestExeName) return file;
  }
  return "";
}
