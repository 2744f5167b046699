// A setup dialog made from the program's own template 1000, with a fresh
// SetupState in English, for tests of the operations that fill it. The
// dialog procedure does nothing, so each test runs exactly the steps it
// names.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct ListItem {
  std::string text;
  unsigned check_image;  // 2 checked, 1 unchecked, 0 no check box
  bool operator==(const ListItem& other) const { return text == other.text && check_image == other.check_image; }
};
void PrintTo(const ListItem& item, std::ostream* out);

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A fresh dialog in place of the current one; SetupState stays.
  void OpenDialog();

  // The language list's items in the order it shows them.
  std::vector<ListItem> Items() const;
  std::string ControlText(int id) const;
  std::string WindowTitle() const;

  HWND dialog_ = nullptr;
  HWND list_ = nullptr;
};
