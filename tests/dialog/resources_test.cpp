// What the program's file carries besides code, read back from a binary
// linked with the same resources: the icon images and the manifest.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "resources/resource_ids.h"

namespace {

std::string ResourceBytes(LPCSTR type, int id) {
  HMODULE self = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(self, MAKEINTRESOURCEA(id), type);
  if (found == nullptr) return "";
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(self, found)));
  return std::string(bytes, SizeofResource(self, found));
}

#pragma pack(push, 2)
struct IconGroupEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bit_count;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

TEST(ResourcesTest, IconGroupHoldsEachSizeWindowsShows) {
  std::string group = ResourceBytes(RT_GROUP_ICON, IDI_SETUP);
  ASSERT_GE(group.size(), 6u);
  WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
  ASSERT_EQ(group.size(), 6u + count * sizeof(IconGroupEntry));
  std::set<std::pair<int, int>> images;  // (pixels, bits per pixel)
  for (WORD i = 0; i < count; ++i) {
    const auto* entry = reinterpret_cast<const IconGroupEntry*>(group.data() + 6 + i * sizeof(IconGroupEntry));
    images.insert({entry->width, entry->bit_count});
    EXPECT_EQ(entry->width, entry->height);
    EXPECT_EQ(ResourceBytes(RT_ICON, entry->id).size(), entry->bytes) << "image " << entry->id;
  }
  // Small icons, large icons, and XP's tiles and Vista's medium icons; 16
  // colours of the image's own, which every display shows.
  std::set<std::pair<int, int>> expected = {{16, 4}, {32, 4}, {48, 4}};
  EXPECT_EQ(images, expected);
  EXPECT_NE(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_SETUP)), nullptr);
  for (int size : {16, 32, 48}) {
    HANDLE icon = LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_SETUP), IMAGE_ICON, size, size, 0);
    EXPECT_NE(icon, nullptr) << size << " pixels";
    if (icon != nullptr) DestroyIcon(static_cast<HICON>(icon));
  }
}

TEST(ResourcesTest, ManifestNamesSetupAsksForAdministratorAndVisualStylesAndKnowsItsSystems) {
  std::string manifest = ResourceBytes(RT_MANIFEST, 1);
  const char* parts[] = {
      R"(<assemblyIdentity version="5.1.0.0" processorArchitecture="x86" name="Setup.exe" type="win32"/>)",
      "<description>Setup</description>",
      R"(<requestedExecutionLevel level="requireAdministrator" uiAccess="false"/>)",
      R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0" processorArchitecture="x86" )"
      R"(publicKeyToken="6595b64144ccf1df" language="*"/>)",
      // Vista, 7, 8, 8.1, 10 and 11: these report their own version to it.
      R"(<supportedOS Id="{e2011457-1546-43c5-a5fe-008deee3d3f0}"/>)",
      R"(<supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"/>)",
      R"(<supportedOS Id="{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"/>)",
      R"(<supportedOS Id="{1f676c76-80e1-4239-95bb-83d0f6d0da78}"/>)",
      R"(<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>)",
      // Aware of the system's DPI, so never stretched by it.
      R"(<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>)",
  };
  for (const char* part : parts) EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

}  // namespace
