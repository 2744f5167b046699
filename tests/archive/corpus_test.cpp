// Archives made by other software: the outcomes of their README, for the
// ones whose entries are stored or refused before any decoding.
#include <gtest/gtest.h>

#include "tests/archive/pass_recorder.h"
#include "tests/support/scratch.h"

namespace {

struct CorpusCase {
  const char* file;
  int result;
  uint32_t failure;
  std::vector<std::string> offered;  // names of the first calls
};

const CorpusCase kCorpusCases[] = {
    {"comment.rar", kExtractOk, kFailureNone, {"FILE1.TXT", "FILE2.TXT"}},
    {"encrypted.rar", kExtractBadEntry, kFailureEnciphered, {"FILE1.TXT"}},
    {"volume.part1.rar", kExtractBadEntry, kFailureOtherVolume, {"vols\\bigfile.txt"}},
    {"volume.part2.rar", kExtractNoArchive, kFailureNone, {}},
    {"volume.part3.rar", kExtractNoArchive, kFailureNone, {}},
};

TEST(Corpus, ChecksEveryEntryAsTheReadmeSays) {
  for (const CorpusCase& c : kCorpusCases) {
    std::string path = CorpusFile(c.file);
    TOLVEN_SKIP_UNLESS(!path.empty(), NoCorpus());
    for (bool memory : {true, false}) {
      PassRecorder pass(memory ? AllInMemory() : AllVerified());
      EXPECT_EQ(pass.RunFile(path), c.result) << c.file;
      EXPECT_EQ(pass.failure, c.failure) << c.file;
      std::vector<std::string> offered;
      for (const CallbackCall& call : pass.calls) {
        if (!call.has_data) offered.push_back(call.name);
        if (call.has_data) {
          EXPECT_EQ(call.data.size(), 7u) << c.file << " " << call.name;
        }
      }
      EXPECT_EQ(offered, c.offered) << c.file;
    }
  }
}

TEST(Corpus, StoredEntriesAreWrittenWhole) {
  std::string path = CorpusFile("comment.rar");
  TOLVEN_SKIP_UNLESS(!path.empty(), NoCorpus());
  std::string folder = ScratchFolder();
  PassRecorder memory(AllInMemory());
  ASSERT_EQ(memory.RunFile(path), kExtractOk);
  PassRecorder files(AllToFolder(folder));
  ASSERT_EQ(files.RunFile(path), kExtractOk);
  EXPECT_EQ(ReadWholeFile(folder + "FILE1.TXT"), memory.calls[1].data);
  EXPECT_EQ(ReadWholeFile(folder + "FILE2.TXT"), memory.calls[3].data);
}

}  // namespace
