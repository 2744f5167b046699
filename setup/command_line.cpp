#include "setup/command_line.h"

#include <cstring>

#include "common/bounded_text.h"

namespace {

// Room for the longest value and its name.
constexpr size_t kArgumentSize = sizeof CommandLine::destination + 8;

// Ours, and the spellings other installers use for the same.
const char* const kSilentSwitches[] = {"S", "SILENT", "VERYSILENT", "QUIET"};

const char kNotUnderstood[] = "argument not understood";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool StartsSwitch(char c) { return c == '/' || c == '-'; }

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

// The length of the silent switch named at `name`, which ends the argument
// or is followed by the next switch; 0 when none is.
size_t SilentSwitchLength(const char* name) {
  for (const char* spelling : kSilentSwitches) {
    size_t length = std::strlen(spelling);
    if (_strnicmp(name, spelling, length) == 0 && (name[length] == '\0' || name[length] == '/')) return length;
  }
  return 0;
}

// The arguments a refusal may name, each the first of its kind, cut.
struct WrongArguments {
  char wrong_switch[sizeof CommandLine::wrong_argument];  // a switch not understood
  char wrong_word[sizeof CommandLine::wrong_argument];    // any other argument not understood
  char silent_only[sizeof CommandLine::wrong_argument];   // /D= or /LOG=
};

void Remember(char* field, const char* from, const char* end) {
  if (field[0] == '\0') Unquote(field, sizeof WrongArguments::wrong_switch, from, end);
}

void Refuse(CommandLine* parsed, const char* reason, const char* argument) {
  parsed->refusal = reason;
  CopyBounded(parsed->wrong_argument, argument, sizeof parsed->wrong_argument);
}

}  // namespace

const char kWithoutSilent[] = "no /S before this switch";

void ParseCommandLine(const char* text, CommandLine* parsed) {
  std::memset(parsed, 0, sizeof *parsed);
  WrongArguments wrong = {};
  const char* at = text != nullptr ? text : "";
  for (;;) {
    while (IsBlank(*at)) ++at;
    if (*at == '\0') break;
    const char* end = ArgumentEnd(at);
    char argument[kArgumentSize];
    bool understood = Unquote(argument, sizeof argument, at, end);
    bool silent_only = false;
    // A run of switches: silent ones, then at most one that takes a value.
    for (size_t offset = 0; understood && argument[offset] != '\0';) {
      const char* name = argument + offset + 1;
      size_t silent_length = SilentSwitchLength(name);
      if (!StartsSwitch(argument[offset])) {
        understood = false;
      } else if (silent_length > 0) {
        parsed->silent = true;
        offset += 1 + silent_length;
      } else if (_strnicmp(name, "LOG=", 4) == 0) {
        silent_only = true;
        understood = TakeValue(parsed->log_path, sizeof parsed->log_path, name + 4);
        break;
      } else if (_strnicmp(name, "D=", 2) == 0) {
        // The rest of the line, blanks inside included, without the
        // trailing ones; the switches before it read the same again.
        end = at + std::strlen(at);
        while (IsBlank(end[-1])) --end;
        silent_only = true;
        understood = Unquote(argument, sizeof argument, at, end) &&
                     TakeValue(parsed->destination, sizeof parsed->destination, argument + offset + 3);
        break;
      } else {
        understood = false;
      }
    }
    if (!understood) Remember(StartsSwitch(argument[0]) ? wrong.wrong_switch : wrong.wrong_word, at, end);
    if (understood && silent_only) Remember(wrong.silent_only, at, end);
    at = end;
  }
  if (wrong.wrong_switch[0] != '\0') {
    Refuse(parsed, kNotUnderstood, wrong.wrong_switch);
  } else if (parsed->silent && wrong.wrong_word[0] != '\0') {
    Refuse(parsed, kNotUnderstood, wrong.wrong_word);
  } else if (!parsed->silent && wrong.silent_only[0] != '\0') {
    Refuse(parsed, kWithoutSilent, wrong.silent_only);
  }
}
