#include "tools/uninstall_list.h"

#include "archive/uninstall_record.h"
#include "tools/archive_writer.h"
#include "tools/package_checks.h"

namespace {

// What Setup.exe makes of an existing PSAPI.DLL in the folder: the user's
// file, never one of the package's, whatever the package holds.
const char kMovedAsidePsapi[] = "KVPSAPI.DLL";

}  // namespace

UninstallContents UninstallContentsOf(const std::vector<std::string>& names,
                                      const std::function<std::string(const std::string&)>& contents) {
  PackageSettings settings = ReadPackageSettings(names, contents);
  UninstallContents uninstall;
  uninstall.product = settings.product_name;
  uninstall.package_id = settings.package_id;
  for (const std::string& name : PlacedFileNames(names)) {
    if (!SameFileName(name, kMovedAsidePsapi)) uninstall.names.push_back(name);
  }
  uninstall.main_program = MainProgramOf(settings.exe, uninstall.names);
  return uninstall;
}

std::string EncodeUninstallList(const UninstallContents& contents) {
  std::string list;
  for (const std::string* text : {&contents.product, &contents.package_id, &contents.main_program}) {
    list += *text;
    list += '\0';
  }
  for (const std::string& name : contents.names) {
    list += name;
    list += '\0';
  }
  list += '\0';
  return list;
}

std::string FillUninstaller(const std::string& program, const std::string& list, std::string* filled) {
  const uint8_t* image = reinterpret_cast<const uint8_t*>(program.data());
  long record = FindUninstallRecord(image, program.size());
  if (record < 0) return "it holds no uninstall record, so it is not the ready uninstaller";
  long second = FindUninstallRecord(image + record + 1, program.size() - record - 1);
  if (second >= 0) return "it holds more than one uninstall record; it can only be filled with one";
  // Setup.exe looks for the record only this far into the file.
  if (program.size() > kLargestUninstaller) {
    return "it is " + std::to_string(program.size()) + " bytes; the ready uninstaller has at most " +
           std::to_string(kLargestUninstaller);
  }
  if (IsFilled(ReadUninstallRecord(image + record))) {
    return "its uninstall record is filled already: name the uninstaller as built, not one taken from a package";
  }
  std::string fields;
  PutLe32(fields, static_cast<uint32_t>(program.size()));
  PutLe32(fields, static_cast<uint32_t>(list.size()));
  PutLe32(fields, Crc32Of(list));
  *filled = program + list;
  filled->replace(static_cast<size_t>(record) + kUninstallTagSize, fields.size(), fields);
  return "";
}
