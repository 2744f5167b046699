// Every entry as a memory entry: the description pass of the installer. The
// second call reads every byte it is promised and the terminator after them.
#include "fuzz/pass_fuzz_target.h"

namespace {

int TakeIntoMemory(char* name, const uint8_t* data, uint32_t size, void*) {
  if (data != nullptr) {
    volatile uint8_t sum = 0;
    for (uint32_t i = 0; i <= size; ++i) sum = static_cast<uint8_t>(sum + data[i]);
    return data[size] == 0 ? 0 : 1;
  }
  if (size > kFuzzLargestEntry) return 1;
  name[0] = '\x01';
  name[1] = '\0';
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RunPassOnInput(data, size, TakeIntoMemory);
  return 0;
}
