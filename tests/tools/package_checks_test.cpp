// The package checks judge description files the way the installer reads
// them: each case is a package that the installer would get wrong, and the
// warning that says so.
#include <gtest/gtest.h>

#include <map>

#include "tools/package_checks.h"

namespace {

using Package = std::map<std::string, std::string>;

// A package the installer reads exactly as written.
Package Good() {
  return {
      {"FILE_ID.DIZ", "Tolvenwark Demo Version 1.2\r\n"},
      {"DEMO.INF", "ID=TWD\r\nGroup=Tolvenwark Demo\r\nClass=TolvenDemo\r\nExe=KDEMO.EXE\r\n"},
      {"DEMO_DE.LNG", "[Strings]\r\nLanguage=Deutsch\r\n"},
      {"DEMO_EN.LNG", std::string("\xFF\xFE[\0]\0L\0a\0n\0g\0u\0a\0g\0e\0=\0E\0n\0g\0l\0i\0s\0h\0\r\0\n\0", 42)},
      {"9x\\KDEMO.EXE", "MZ"},
      {"xp\\KDEMO.EXE", "MZ"},
      {"DEMO_DE.HLP", "help"},
  };
}

std::vector<std::string> Check(const Package& package) {
  std::vector<std::string> names;
  for (const auto& entry : package) names.push_back(entry.first);
  return CheckPackageContents(names, [&](const std::string& name) { return package.at(name); });
}

TEST(PackageChecks, APackageReadAsWrittenGetsNoWarning) {
  struct Case {
    const char* what;
    std::function<void(Package&)> change;
  };
  const Case cases[] = {
      {"as it is", [](Package&) {}},
      // The installer cuts the "_XX.LNG" tail before it bounds the base name
      // to 31 characters, so a base name of 31 is whole.
      {"language files of a 31-character base name",
       [](Package& p) {
         const std::string base(31, 'B');
         p.erase("DEMO_DE.LNG");
         p.erase("DEMO_EN.LNG");
         p[base + "_DE.LNG"] = "[Strings]\r\nLanguage=Deutsch\r\n";
         p["xp\\" + base + "_IT.LNG"] = "[Strings]\r\nLanguage=Italiano\r\n";
       }},
      {"the notice turned off",
       [](Package& p) { p["DEMO.INF"] = "ID=TWD\r\nGroup=Tolvenwark Demo\r\nExe=KDEMO.EXE\r\nNotice=no\r\n"; }},
      {"without Exe the first K program is the main one, whatever its case",
       [](Package& p) {
         p["DEMO.INF"] = "ID=TWD\r\nGroup=Tolvenwark Demo\r\n";
         p.erase("9x\\KDEMO.EXE");
         p.erase("xp\\KDEMO.EXE");
         p["xp\\kdemo.exe"] = "MZ";
       }},
  };
  for (const Case& c : cases) {
    Package package = Good();
    c.change(package);
    EXPECT_EQ(Check(package), std::vector<std::string>()) << c.what;
  }
}

TEST(PackageChecks, WarnsWhereTheInstallerWouldReadSomethingElse) {
  struct Case {
    const char* what;
    std::function<void(Package&)> change;
    const char* warning;  // part of the warning expected
  };
  const Case cases[] = {
      {"no description", [](Package& p) { p.erase("FILE_ID.DIZ"); }, "no FILE_ID.DIZ"},
      {"description in a folder",
       [](Package& p) {
         p.erase("FILE_ID.DIZ");
         p["xp\\FILE_ID.DIZ"] = "Demo\r\n";
       },
       "no FILE_ID.DIZ"},
      {"no settings file", [](Package& p) { p.erase("DEMO.INF"); }, "no .INF"},
      {"ID longer than the installer keeps",
       [](Package& p) { p["DEMO.INF"] = "ID=TWDX\r\nGroup=G\r\nExe=KDEMO.EXE\r\n"; },
       "reads ID as \"TWD\", not \"TWDX\" (it keeps 3 characters)"},
      {"a key first found inside another word",
       [](Package& p) { p["DEMO.INF"] = "ID=TWD\r\nGroupName=x\r\nGroup=Demo\r\nExe=KDEMO.EXE\r\n"; },
       "reads Group as \"\", not \"Demo\""},
      {"a key first found inside another value",
       [](Package& p) { p["DEMO.INF"] = "Group=My Exe=Tools\r\nID=TWD\r\nExe=KDEMO.EXE\r\n"; },
       "reads Exe as \"Tools\", not \"KDEMO.EXE\""},
      {"no ID", [](Package& p) { p["DEMO.INF"] = "Group=G\r\nExe=KDEMO.EXE\r\n"; }, "no ID= line"},
      {"a Notice that is neither no nor yes",
       [](Package& p) { p["DEMO.INF"] = "ID=TWD\r\nGroup=G\r\nExe=KDEMO.EXE\r\nNotice=off\r\n"; },
       "Notice= takes no or yes, not \"off\"; the installer shows the notice"},
      {"Notice first found inside another value, so the notice stays",
       [](Package& p) { p["DEMO.INF"] = "ID=TWD\r\nGroup=Notice Board\r\nExe=KDEMO.EXE\r\nNotice=no\r\n"; },
       "reads Notice as \"\", not \"no\""},
      {"a Publisher longer than the installer keeps",
       [](Package& p) {
         p["DEMO.INF"] = "ID=TWD\r\nGroup=G\r\nExe=KDEMO.EXE\r\nPublisher=" + std::string(64, 'p') + "\r\n";
       },
       "(it keeps 63 characters)"},
      {"a Group that climbs out of the Programs folder",
       [](Package& p) { p["DEMO.INF"] = "ID=TWD\r\nGroup=..\\Escape\r\nExe=KDEMO.EXE\r\n"; },
       "Group= \"..\\Escape\" cannot name the product"},
      {"a Group that nests folders",
       [](Package& p) { p["DEMO.INF"] = "ID=TWD\r\nGroup=Tolvenwark/Demo\r\nExe=KDEMO.EXE\r\n"; },
       "Group= \"Tolvenwark/Demo\" cannot name the product"},
      {"without Group, a title that cannot name the product",
       [](Package& p) {
         p["DEMO.INF"] = "ID=TWD\r\nExe=KDEMO.EXE\r\n";
         p["FILE_ID.DIZ"] = "Demo: Pro Version 1.2 (beta)\r\n";
       },
       "the FILE_ID.DIZ title \"Demo: Pro\" cannot name the product"},
      {"no name at all",
       [](Package& p) {
         p["DEMO.INF"] = "ID=TWD\r\nGroup=...\r\nExe=KDEMO.EXE\r\n";
         p["FILE_ID.DIZ"] = "\r\nDemo\r\n";
       },
       "no product name"},
      {"a folder that is no edition", [](Package& p) { p["docs\\a.txt"] = ""; }, "folder docs"},
      {"a folder inside an edition", [](Package& p) { p["9x\\sys\\a.dll"] = ""; }, "folder 9x\\sys"},
      {"a language file with another base name",
       [](Package& p) { p["OTHER_IT.LNG"] = "[Strings]\r\nLanguage=Italiano\r\n"; },
       "OTHER_IT.LNG: language files must be named DEMO_XX.LNG"},
      {"a language file base name longer than the installer keeps",
       [](Package& p) {
         p.erase("DEMO_DE.LNG");
         p.erase("DEMO_EN.LNG");
         p[std::string(32, 'B') + "_DE.LNG"] = "[Strings]\r\nLanguage=Deutsch\r\n";
       },
       "the installer keeps 31 characters of the language files' base name"},
      {"a language named in the section header, so its name is empty",
       [](Package& p) { p["DEMO_DE.LNG"] = "[Language]\r\nLanguage=Deutsch\r\n"; }, "finds no language"},
      {"a language file that does not start with [", [](Package& p) { p["DEMO_DE.LNG"] = "Language=Deutsch\r\n"; },
       "DEMO_DE.LNG: the installer finds no language"},
      {"a language named too late",
       [](Package& p) { p["DEMO_DE.LNG"] = "[" + std::string(300, ' ') + "Language=Deutsch\r\n"; },
       "finds no language"},
      {"the named main program is missing",
       [](Package& p) {
         p.erase("9x\\KDEMO.EXE");
         p.erase("xp\\KDEMO.EXE");
       },
       "KDEMO.EXE named by Exe= is not"},
      {"no main program the installer recognises",
       [](Package& p) {
         p["DEMO.INF"] = "ID=TWD\r\n";
         p.erase("9x\\KDEMO.EXE");
         p.erase("9x\\KDEMO.EXE");
         p.erase("xp\\KDEMO.EXE");
         p["DEMO.EXE"] = "MZ";
       },
       "no main program"},
  };
  for (const Case& c : cases) {
    Package package = Good();
    c.change(package);
    std::vector<std::string> warnings = Check(package);
    std::string all;
    for (const std::string& warning : warnings) all += warning + "\n";
    EXPECT_NE(all.find(c.warning), std::string::npos) << c.what << ": " << all;
  }
}

TEST(PackageChecks, TwoSettingsFilesAppendTheirValues) {
  Package package = Good();
  package["xp\\MORE.INF"] = "ID=XYZ\r\nGroup=Extra\r\n";
  std::vector<std::string> warnings = Check(package);
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_NE(warnings[0].find("more than one .INF"), std::string::npos);
  // ID was full after the first file; Group still had room.
  EXPECT_NE(warnings[1].find("reads Group as \"Tolvenwark DemoExtra\""), std::string::npos) << warnings[1];
}

}  // namespace
