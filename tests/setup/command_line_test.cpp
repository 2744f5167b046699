#include <gtest/gtest.h>

#include <string>

#include "setup/command_line.h"
#include "tests/support/scratch.h"

namespace {

TEST(ParseCommandLine, TakesSwitchesInAnyCaseAndTheFolderAsTheRestOfTheLine) {
  const std::string long_folder = "C:\\" + std::string(257, 'f');  // 260 characters: one too many
  const char* const kNotUnderstood = "argument not understood";
  const char* const kWithoutSilent = "no /S before this switch";
  struct Case {
    std::string text;
    bool silent;
    const char* destination;
    const char* log_path;
    const char* refusal;  // null: the run goes on
    std::string wrong;
    const char* why;
  };
  const Case cases[] = {
      {"", false, "", "", nullptr, "", "no arguments: the dialog"},
      {"/S", true, "", "", nullptr, "", "silent"},
      {"/s", true, "", "", nullptr, "", "any case"},
      {"\"/S\"", true, "", "", nullptr, "", "quoted"},
      {"-s", true, "", "", nullptr, "", "a dash for the slash"},
      {"/SILENT", true, "", "", nullptr, "", "other installers' spellings"},
      {"/verysilent", true, "", "", nullptr, "", "other installers' spellings"},
      {"-Quiet", true, "", "", nullptr, "", "other installers' spellings"},
      {"/S/D=C:\\Program Files\\X", true, "C:\\Program Files\\X", "", nullptr, "", "/S and /D= written together"},
      {"/SILENT/LOG=C:\\a.log /D=C:\\x", true, "C:\\x", "C:\\a.log", nullptr, "", "/LOG= written together"},
      {"  /S   /D=C:\\Program Files\\My App  ", true, "C:\\Program Files\\My App", "", nullptr, "",
       "the folder keeps its spaces, not the trailing blanks"},
      {"/S /LOG=C:\\setup.log /d=D:\\x", true, "D:\\x", "C:\\setup.log", nullptr, "", "both values, /D= last"},
      {"/S \"/LOG=C:\\my logs\\a.txt\"", true, "", "C:\\my logs\\a.txt", nullptr, "", "a quoted log path with spaces"},
      {"/S /log=\"C:\\my logs\\a.txt\"", true, "", "C:\\my logs\\a.txt", nullptr, "", "quotes around the value only"},
      {"/S /D=\"C:\\a b\"", true, "C:\\a b", "", nullptr, "", "quotes around the folder are dropped"},
      {"hello world", false, "", "", nullptr, "", "words without a switch are ignored"},
      {"/S /Q /X", true, "", "", kNotUnderstood, "/Q", "the first switch not understood is named"},
      {"/NOW", false, "", "", kNotUnderstood, "/NOW", "a switch not understood refuses without /S too"},
      {"-?", false, "", "", kNotUnderstood, "-?", "a dash starts a switch"},
      {"/SILENTLY", false, "", "", kNotUnderstood, "/SILENTLY", "only the whole name is silent"},
      {"/S/X", true, "", "", kNotUnderstood, "/S/X", "a switch written after /S"},
      {"hello /S", true, "", "", kNotUnderstood, "hello", "a silent run understands every argument"},
      {"/D=C:\\x /S", false, "C:\\x /S", "", kWithoutSilent, "/D=C:\\x /S", "after /D= everything is the folder"},
      {"/LOG=C:\\a.log", false, "", "C:\\a.log", kWithoutSilent, "/LOG=C:\\a.log", "a log of a dialog run"},
      {"/S /D=", true, "", "", kNotUnderstood, "/D=", "a folder must be given"},
      {"/S /LOG=", true, "", "", kNotUnderstood, "/LOG=", "a log must be given"},
      {"/S /D=" + long_folder, true, "", "", kNotUnderstood, "/D=C:\\" + std::string(57, 'f'),
       "too long: refused, never cut (the name is cut for the log)"},
  };
  for (const Case& c : cases) {
    CommandLine parsed;
    ParseCommandLine(c.text.c_str(), &parsed);
    EXPECT_EQ(parsed.silent, c.silent) << c.why;
    EXPECT_STREQ(parsed.destination, c.destination) << c.why;
    EXPECT_STREQ(parsed.log_path, c.log_path) << c.why;
    EXPECT_STREQ(parsed.refusal, c.refusal) << c.why;
    EXPECT_EQ(parsed.wrong_argument, c.wrong) << c.why;
  }
}

// The silent installation the guide for package authors shows means what
// the guide says it does.
TEST(ParseCommandLine, TheGuidesExampleReadsAsTheGuideTellsIt) {
  const std::string guide = ReadWholeFile(TOLVEN_GUIDE);
  const std::string example = "    Setup.exe ";
  size_t at = guide.find(example + "/s ");
  ASSERT_NE(at, std::string::npos) << "the guide shows a silent installation";
  at += example.size();
  const std::string arguments = guide.substr(at, guide.find('\n', at) - at);
  CommandLine parsed;
  ParseCommandLine(arguments.c_str(), &parsed);
  EXPECT_TRUE(parsed.silent) << arguments;
  EXPECT_STREQ(parsed.log_path, "C:\\Logs\\demo setup.log");
  EXPECT_STREQ(parsed.destination, "C:\\Program Files\\Tolvenwark Demo");
  EXPECT_EQ(parsed.refusal, nullptr);
}

}  // namespace
