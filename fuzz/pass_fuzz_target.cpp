#include "fuzz/pass_fuzz_target.h"

#include <unistd.h>

#include <cstdio>
#include <string>

void RunPassOnInput(const uint8_t* data, size_t size, EntryCallback callback) {
  static const std::string path = [] {
    const char* folder = getenv("TMPDIR");
    return std::string(folder != nullptr ? folder : "/tmp") + "/tolven-fuzz-" +
           std::to_string(getpid()) + ".bin";
  }();
  FILE* file = fopen(path.c_str(), "wb");
  if (file == nullptr) abort();
  fwrite(data, 1, size, file);
  fclose(file);
  ExtractArchive(path.c_str(), callback, nullptr);
  remove(path.c_str());
}
