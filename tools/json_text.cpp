#include "tools/json_text.h"

#include <cstdio>

#include "tools/shown_name.h"

std::string JsonString(const std::string& utf8) {
  std::string text = "\"";
  for (char c : utf8) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      text += '\\';
      text += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      text += escaped;
    } else {
      text += c;
    }
  }
  return text + "\"";
}

std::string JsonNameFromWindows1252(const std::string& bytes) { return JsonString(Utf8FromWindows1252(bytes)); }

namespace {

// Well-formed UTF-8 as JSON readers insist on: no overlong forms, no
// surrogates, nothing beyond U+10FFFF.
bool IsUtf8(const std::string& bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    unsigned char lead = static_cast<unsigned char>(bytes[i]);
    size_t follow = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the first continuation byte
    if (lead < 0x80) {
      follow = 0;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      follow = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      follow = 2;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      follow = 3;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (bytes.size() - i - 1 < follow) return false;
    for (size_t k = 1; k <= follow; ++k) {
      unsigned char next = static_cast<unsigned char>(bytes[i + k]);
      if (k == 1 ? next < low || next > high : (next & 0xC0) != 0x80) return false;
    }
    i += follow + 1;
  }
  return true;
}

}  // namespace

std::string JsonText(const std::string& bytes) {
  return IsUtf8(bytes) ? JsonString(bytes) : JsonNameFromWindows1252(bytes);
}

std::string JsonNumber(uint64_t value) { return std::to_string(value); }

std::string JsonBool(bool value) { return value ? "true" : "false"; }

std::string JsonObject::Text(bool multiline) const {
  std::string text = "{";
  for (size_t i = 0; i < members.size(); ++i) {
    if (i > 0) text += multiline ? "," : ", ";
    if (multiline) text += "\n  ";
    text += JsonString(members[i].first) + ": " + members[i].second;
  }
  return text + (multiline ? "\n}" : "}");
}

std::string JsonArray(const std::vector<std::string>& values) {
  if (values.empty()) return "[]";
  std::string text = "[";
  for (size_t i = 0; i < values.size(); ++i) text += (i > 0 ? ",\n    " : "\n    ") + values[i];
  return text + "\n  ]";
}
