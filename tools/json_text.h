// JSON values written by hand for mksetup's reports: no library is needed
// for the few kinds they hold. Text is escaped as JSON requires (quote,
// backslash and every control character), and archive names, which are
// Windows-1252 bytes, become UTF-8, the only encoding JSON allows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

std::string JsonString(const std::string& utf8);
std::string JsonNameFromWindows1252(const std::string& bytes);
// Text from the command line or the system (a file's path, a message that
// names it): kept when it is UTF-8, else read as Windows-1252, as Windows
// hands it over in the ANSI code page; either way valid JSON.
std::string JsonText(const std::string& bytes);
std::string JsonNumber(uint64_t value);
std::string JsonBool(bool value);
constexpr const char* kJsonNull = "null";

// An object's members in the order they are added, each a key and a value
// already written as JSON.
struct JsonObject {
  std::vector<std::pair<std::string, std::string>> members;

  JsonObject& Add(const std::string& key, const std::string& json) {
    members.emplace_back(key, json);
    return *this;
  }
  // On one line; with `multiline`, a member a line, as the document's top
  // level is written for a reader.
  std::string Text(bool multiline = false) const;
};

// An array of values already written as JSON, one a line.
std::string JsonArray(const std::vector<std::string>& values);
