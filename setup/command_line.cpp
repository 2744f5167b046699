#include "setup/command_line.h"

#include <cstring>

#include "common/bounded_text.h"

namespace {

// Room for the longest value and its name.
constexpr size_t kArgumentSize = sizeof CommandLine::destination + 8;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// An argument ends at the first blank outside double quotes.
const char* ArgumentEnd(const char* at) {
  bool quoted = false;
  for (; *at != '\0' && (quoted || !IsBlank(*at)); ++at) {
    if (*at == '"') quoted = !quoted;
  }
  return at;
}

// The text from `from` to `end` without its quotes (no path can hold one),
// as much as fits; false when not all of it did.
bool Unquote(char* out, size_t size, const char* from, const char* end) {
  size_t used = 0;
  for (; from < end; ++from) {
    if (*from == '"') continue;
    if (used + 1 == size) break;
    out[used++] = *from;
  }
  out[used] = '\0';
  return from == end;
}

// A value must be there and fit whole: a cut folder would install elsewhere.
bool TakeValue(char* field, size_t size, const char* value) {
  if (value[0] == '\0' || std::strlen(value) >= size) return false;
  CopyBounded(field, value, size);
  return true;
}

}  // namespace

void ParseCommandLine(const char* text, CommandLine* parsed) {
  std::memset(parsed, 0, sizeof *parsed);
  const char* at = text != nullptr ? text : "";
  for (;;) {
    while (IsBlank(*at)) ++at;
    if (*at == '\0') return;
    const char* end = ArgumentEnd(at);
    char argument[kArgumentSize];
    bool understood = Unquote(argument, sizeof argument, at, end);
    if (understood && _strnicmp(argument, "/D=", 3) == 0) {
      // The rest of the line, blanks inside included, without the trailing ones.
      end = at + std::strlen(at);
      while (IsBlank(end[-1])) --end;
      understood = Unquote(argument, sizeof argument, at, end);
    }
    if (understood) {
      if (_stricmp(argument, "/S") == 0) {
        parsed->silent = true;
      } else if (_strnicmp(argument, "/D=", 3) == 0) {
        understood = TakeValue(parsed->destination, sizeof parsed->destination, argument + 3);
      } else if (_strnicmp(argument, "/LOG=", 5) == 0) {
        understood = TakeValue(parsed->log_path, sizeof parsed->log_path, argument + 5);
      } else {
        understood = false;
      }
    }
    if (!understood && parsed->wrong_argument[0] == '\0') {
      Unquote(parsed->wrong_argument, sizeof parsed->wrong_argument, at, end);
    }
    at = end;
  }
}
