#include <gtest/gtest.h>

#include <string>

#include "setup/command_line.h"
#include "tests/support/scratch.h"

namespace {

TEST(ParseCommandLine, TakesSwitchesInAnyCaseAndTheFolderAsTheRestOfTheLine) {
  const std::string long_folder = "C:\\" + std::string(257, 'f');  // 260 characters: one too many
  struct Case {
    std::string text;
    bool silent;
    const char* destination;
    const char* log_path;
    std::string wrong;
    const char* why;
  };
  const Case cases[] = {
      {"", false, "", "", "", "no arguments: the dialog"},
      {"/S", true, "", "", "", "silent"},
      {"/s", true, "", "", "", "any case"},
      {"\"/S\"", true, "", "", "", "quoted"},
      {"  /S   /D=C:\\Program Files\\My App  ", true, "C:\\Program Files\\My App", "", "",
       "the folder keeps its spaces, not the trailing blanks"},
      {"/S /LOG=C:\\setup.log /d=D:\\x", true, "D:\\x", "C:\\setup.log", "", "both values, /D= last"},
      {"/S \"/LOG=C:\\my logs\\a.txt\"", true, "", "C:\\my logs\\a.txt", "", "a quoted log path with spaces"},
      {"/S /log=\"C:\\my logs\\a.txt\"", true, "", "C:\\my logs\\a.txt", "", "quotes around the value only"},
      {"/S /D=\"C:\\a b\"", true, "C:\\a b", "", "", "quotes around the folder are dropped"},
      {"/D=C:\\x /S", false, "C:\\x /S", "", "", "after /D= everything is the folder"},
      {"/S /Q /X", true, "", "", "/Q", "the first argument not understood is named"},
      {"/SILENT", false, "", "", "/SILENT", "only /S itself"},
      {"-S", false, "", "", "-S", "no dash form"},
      {"/S /D=", true, "", "", "/D=", "a folder must be given"},
      {"/S /LOG=", true, "", "", "/LOG=", "a log must be given"},
      {"/S /D=" + long_folder, true, "", "", "/D=C:\\" + std::string(57, 'f'),
       "too long: refused, never cut (the name is cut for the log)"},
  };
  for (const Case& c : cases) {
    CommandLine parsed;
    ParseCommandLine(c.text.c_str(), &parsed);
    EXPECT_EQ(parsed.silent, c.silent) << c.why;
    EXPECT_STREQ(parsed.destination, c.destination) << c.why;
    EXPECT_STREQ(parsed.log_path, c.log_path) << c.why;
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
  EXPECT_STREQ(parsed.wrong_argument, "");
}

}  // namespace
