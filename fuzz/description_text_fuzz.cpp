// What the installer reads from a package's description entries, on any
// text: the title line, the settings of an .INF entry, a language file's
// name, and an entry's name as the pass checks it and takes the language
// files' base name from it. Every reader writes into fields of fixed size,
// whose ends the sanitizers watch.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/extract_context.h"
#include "common/description_text.h"
#include "common/entry_names.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Texts come to the readers zero-terminated, as the pass hands them over.
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  PackageDescription description = {};
  TitleLine line;
  // The title before and after the settings: entries come in any order,
  // and a title must not replace a Group that an .INF set.
  ReadTitleLine(text.data(), &line, &description);
  ReadPackageSettings(text.data(), &description);
  ReadTitleLine(text.data(), &line, &description);
  ReadLanguageName(text.data());

  // An entry's name: at most kNameSize - 1 characters, as the walk reads it.
  std::vector<char> name(data, data + (size < kNameSize ? size : kNameSize - 1));
  name.push_back('\0');
  InstallerNameFault(name.data());
  TakeLanguageBaseName(name.data(), &description);
  return 0;
}
