#include "tests/support/scratch.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

std::string CorpusFile(const char* name) {
  std::string path = std::string(TOLVEN_TEST_CORPUS) + "/" + name;
  std::ifstream probe(path, std::ios::binary);
  return probe ? path : std::string();
}

std::string NoCorpus() { return "no corpus of real archives at " TOLVEN_TEST_CORPUS " (a clone without ../shared)"; }

bool UnderCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && *ci != '\0';
}

std::string ScratchFolder() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(test->test_suite_name()) + "." + test->name();
  for (char& c : name) {
    if (c == '/') c = '_';  // parameterised names
  }
  // A run as another user (scripts/wine-run-unprivileged) names a scratch
  // folder of its own.
  const char* scratch = std::getenv("TOLVEN_TEST_SCRATCH");
  std::filesystem::path folder = std::filesystem::path(scratch != nullptr ? scratch : TOLVEN_TEST_SCRATCH) / name;
  std::error_code ignored;
  // Windows deletes no read-only file, and installations leave some.
  std::error_code walk;
  for (std::filesystem::recursive_directory_iterator it(folder, walk), end; !walk && it != end; it.increment(walk)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write, std::filesystem::perm_options::add,
                                 ignored);
  }
  std::filesystem::remove_all(folder, ignored);
  std::filesystem::create_directories(folder);
  std::string text = folder.string();
#ifdef _WIN32
  // Wine hands us Unix-style build paths; the Z: drive maps the Unix root.
  if (!text.empty() && text[0] == '/') text = "Z:" + text;
  return text + "\\";
#else
  return text + "/";
#endif
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
