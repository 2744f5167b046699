// One pass over an archive: the callback protocol, the result codes, and
// what is left on disk.
#include "archive/extract_archive.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <ctime>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#endif

#include "tests/archive/archive_builders.h"
#include "tests/archive/pass_recorder.h"
#include "tests/archive/test_context.h"
#include "tests/support/scratch.h"

namespace {

bool IsReadOnly(const std::string& path) {
#ifdef _WIN32
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
#else
  struct stat info;
  return stat(path.c_str(), &info) == 0 && (info.st_mode & 0222) == 0;
#endif
}

TEST(ExtractArchive, MemoryEntriesComeBackWithATerminatorAndTheCallbacksMarker) {
  std::string text(244, 't');
  // 0x1F is the last control character, the last marker of a memory entry.
  PassRecorder pass([](const std::string& name, bool*) {
    return std::string(name == "empty" ? "\x07" : name == "last" ? "\x1F" : "\x02") + "kept";
  });
  EXPECT_EQ(pass.Run(ScratchFolder() + "a.rar",
                     ArchiveOf({StoredEntry("text", text), StoredEntry("empty", ""), StoredEntry("last", "z")})),
            kExtractOk);
  ASSERT_EQ(pass.calls.size(), 6u);
  EXPECT_EQ(pass.calls[5].name, "\x1Fkept");
  EXPECT_EQ(pass.calls[5].data, "z");
  EXPECT_EQ(pass.calls[1].name, "\x02kept");
  EXPECT_EQ(pass.calls[1].data, text);
  EXPECT_TRUE(pass.calls[1].terminated);
  EXPECT_EQ(pass.calls[1].size, 244u);
  EXPECT_EQ(pass.calls[3].name, "\x07kept");
  EXPECT_TRUE(pass.calls[3].has_data);  // a valid pointer to a single 0
  EXPECT_TRUE(pass.calls[3].terminated);
}

// Verified entries are checked but never handed back; skipped ones are
// unpacked but neither delivered nor checked.
TEST(ExtractArchive, VerifiedEntriesAreCheckedSkippedOnesNot) {
  std::string folder = ScratchFolder();
  std::vector<FileEntryFields> entries = ThreeEntries();
  PassRecorder pass(AllVerified());
  EXPECT_EQ(pass.Run(folder + "a.rar", ArchiveOf(entries)), kExtractOk);
  EXPECT_EQ(pass.calls.size(), 3u);

  // A bad one is passed over when skipped, and fails a pass that verifies
  // it; nothing named after the marker is touched.
  WriteWholeFile(folder + "two.txt", "bystander");
  entries[1].data_crc = 0;
  PassRecorder skipped(AllSkipped());
  EXPECT_EQ(skipped.Run(folder + "a.rar", ArchiveOf(entries)), kExtractOk);
  EXPECT_EQ(skipped.calls.size(), 3u);
  PassRecorder paths([&](const std::string& name, bool*) { return std::string(1, kVerifyOnlyMarker) + folder + name; });
  EXPECT_EQ(paths.Run(folder + "a.rar", ArchiveOf(entries)), kExtractBadEntry);
  EXPECT_EQ(paths.failure, kFailureChecksum);
  EXPECT_EQ(paths.calls.size(), 2u);
  EXPECT_EQ(ReadWholeFile(folder + "two.txt"), "bystander");
}

TEST(ExtractArchive, ANonzeroAnswerEndsThePassAtOnce) {
  std::string folder = ScratchFolder();
  PassRecorder pass([&](const std::string& name, bool* stop) {
    *stop = name == "three.txt";
    return folder + name;
  });
  EXPECT_EQ(pass.Run(folder + "a.rar", ArchiveOf(ThreeEntries())), kExtractOk);
  EXPECT_EQ(ReadWholeFile(folder + "one.txt"), "first");
  EXPECT_EQ(ReadWholeFile(folder + "two.txt"), "second entry");
  EXPECT_FALSE(std::filesystem::exists(folder + "three.txt"));

  PassRecorder second(AllInMemory());
  second.stop_on_second = {"two.txt"};
  EXPECT_EQ(second.Run(folder + "a.rar", ArchiveOf(ThreeEntries())), kExtractOk);
  EXPECT_EQ(second.calls.size(), 4u);
}

TEST(ExtractArchive, DirectoriesAreNotOfferedAndVolumeLabelsOnlyOnce) {
  std::string folder = ScratchFolder();
  FileEntryFields directory = StoredEntry("dir", "");
  directory.attributes = 0x10;
  FileEntryFields label = StoredEntry("LABEL", "");
  label.attributes = 0x08;
  // Packed bytes on either must not be read as headers.
  FileEntryFields stuffed_directory = directory;
  stuffed_directory.data = ArchiveOf({StoredEntry("ghost1", "")}).substr(20);
  FileEntryFields stuffed_label = label;
  stuffed_label.data = ArchiveOf({StoredEntry("ghost2", "")}).substr(20);
  PassRecorder pass(AllToFolder(folder));
  EXPECT_EQ(pass.Run(folder + "a.rar",
                     ArchiveOf({directory, label, stuffed_directory, stuffed_label, StoredEntry("file", "x")})),
            kExtractOk);
  ASSERT_EQ(pass.calls.size(), 3u);
  EXPECT_EQ(pass.calls[0].name, "LABEL");
  EXPECT_EQ(pass.calls[1].name, "LABEL");
  EXPECT_EQ(pass.calls[2].name, "file");
  EXPECT_FALSE(std::filesystem::exists(folder + "LABEL"));
  EXPECT_EQ(ReadWholeFile(folder + "file"), "x");
}

// What stands in the way of the second entry's file.
enum Obstacle { kNoObstacle, kFolderOfItsName, kFileHeldOpen };

// A pass into a folder ends at the first entry that fails: the entries
// before it stay written, and no file, whole or partial, is left of it or
// of any after it.
TEST(ExtractArchive, AFailedEntryLeavesNoFileAndEndsThePass) {
  std::vector<FileEntryFields> bad_data = ThreeEntries();
  bad_data[1].data_crc = Crc32Of(bad_data[1].data);
  bad_data[1].data[0] ^= 1;  // the stored check value no longer matches
  struct {
    const char* why;
    std::vector<FileEntryFields> entries;
    Obstacle obstacle;  // at two.txt
    int result;
    uint32_t failure;
    std::vector<std::string> absent;
  } const cases[] = {
      {"a bad entry is deleted", bad_data, kNoObstacle, kExtractBadEntry, kFailureChecksum, {"two.txt", "three.txt"}},
      {"a file that cannot be created stops the pass before unpacking",
       ThreeEntries(),
       kFolderOfItsName,
       kExtractCannotCreate,
       kFailureNone,
       {"three.txt"}},
#ifdef _WIN32
      // A running product holds its file open without write sharing.
      {"a file in use cannot be created",
       ThreeEntries(),
       kFileHeldOpen,
       kExtractCannotCreate,
       kFailureNone,
       {"three.txt"}},
#endif
      {"an entry continued in the next volume",
       {WithFlags(StoredEntry("part", "x"), kFlagToNextVolume)},
       kNoObstacle,
       kExtractBadEntry,
       kFailureOtherVolume,
       {"part"}},
      {"an archive that starts inside an entry",
       {WithFlags(StoredEntry("first", "x"), kFlagFromPreviousVolume)},
       kNoObstacle,
       kExtractNoArchive,
       kFailureNone,
       {"first"}},
  };
  for (const auto& c : cases) {
    std::string folder = ScratchFolder();
    if (c.obstacle == kFolderOfItsName) std::filesystem::create_directory(folder + "two.txt");
    if (c.obstacle == kFileHeldOpen) WriteWholeFile(folder + "two.txt", "in use");
#ifdef _WIN32
    HANDLE held = c.obstacle != kFileHeldOpen ? INVALID_HANDLE_VALUE
                                              : CreateFileA((folder + "two.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
#endif
    PassRecorder pass(AllToFolder(folder));
    EXPECT_EQ(pass.Run(folder + "a.rar", ArchiveOf(c.entries)), c.result) << c.why;
#ifdef _WIN32
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
#endif
    EXPECT_EQ(pass.failure, c.failure) << c.why;
    EXPECT_EQ(ReadWholeFile(folder + "one.txt"), c.entries.size() == 3 ? "first" : "") << c.why;
    for (const std::string& name : c.absent) {
      EXPECT_FALSE(std::filesystem::exists(folder + name)) << c.why << ": " << name;
    }
    // What stood in the way is left alone.
    EXPECT_TRUE(c.obstacle != kFolderOfItsName || std::filesystem::exists(folder + "two.txt")) << c.why;
    EXPECT_TRUE(c.obstacle != kFileHeldOpen || ReadWholeFile(folder + "two.txt") == "in use") << c.why;
  }
}

// The reports a pass gives its PassProgress, and where one stops it.
struct ProgressLog {
  std::vector<uint32_t> done;
  uint32_t total = 0;
  size_t stop_at = SIZE_MAX;  // the report that asks to stop
  static int Report(void* user, uint32_t done, uint32_t total) {
    ProgressLog* log = static_cast<ProgressLog*>(user);
    log->done.push_back(done);
    log->total = total;
    return log->done.size() > log->stop_at ? 1 : 0;
  }
};

// Reports come before each entry and as a long entry is written, growing
// to the archive's end; a report that asks to stop fails the entry under
// way, whatever its fate, and removes its file.
TEST(ExtractArchive, AProgressReportFollowsThePassAndMayStopIt) {
  const std::string folder = ScratchFolder();
  const std::string archive =
      ArchiveOf({StoredEntry("small", "s"), StoredEntry("long", PatternBytes(200000)), StoredEntry("last", "l")});
  ProgressLog whole;
  PassProgress follow = {ProgressLog::Report, &whole, 0};
  PassRecorder pass(AllToFolder(folder));
  pass.progress = &follow;
  EXPECT_EQ(pass.Run(folder + "a.rar", archive), kExtractOk);
  ASSERT_GE(whole.done.size(), 3u + 200000 / 32768) << "each entry, and each block of the long one";
  for (size_t i = 1; i < whole.done.size(); ++i) EXPECT_GE(whole.done[i], whole.done[i - 1]) << i;
  EXPECT_LE(whole.done.back(), whole.total);
  EXPECT_GT(whole.done.back(), whole.total - 100) << "the last report is near the end";

  struct Case {
    const char* why;
    size_t stop_at;  // the report, counted from 0, that asks to stop
    PassRecorder::Answer answer;
    const char* removed;  // the file the stopped entry leaves nothing of; "" none
  };
  const Case cases[] = {
      {"before the first entry", 0, AllToFolder(folder), "small"},
      {"inside a long file", 4, AllToFolder(folder), "long"},
      {"inside a skipped entry", 4, AllSkipped(), ""},
      {"inside a memory entry", 4, AllInMemory(), ""},
  };
  for (const Case& c : cases) {
    for (const char* name : {"small", "long", "last"}) std::filesystem::remove(folder + name);
    ProgressLog stopping;
    stopping.stop_at = c.stop_at;
    PassProgress stop = {ProgressLog::Report, &stopping, 0};
    PassRecorder stopped(c.answer);
    stopped.progress = &stop;
    EXPECT_EQ(stopped.Run(folder + "a.rar", archive), kExtractBadEntry) << c.why;
    EXPECT_EQ(stopped.failure, kFailureStopped) << c.why;
    EXPECT_EQ(stopping.done.size(), c.stop_at + 1) << c.why << ": no report after the stop";
    if (c.removed[0] != '\0') {
      EXPECT_FALSE(std::filesystem::exists(folder + c.removed)) << c.why;
    }
    EXPECT_FALSE(std::filesystem::exists(folder + "last")) << c.why;
  }
}

#ifndef _WIN32
// A folder that takes at most kSmallDisk bytes a file: a tmpfs of that size
// where this process may mount one (in a mount namespace of its own, so
// nothing outlives the test), else the process's file size limit.
constexpr rlim_t kSmallDisk = 65536;

class SmallDisk {
 public:
  explicit SmallDisk(const std::string& folder) : folder_(folder) {
    std::filesystem::create_directory(folder);
    mounted_ = unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
               mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") == 0;
  }
  ~SmallDisk() {
    if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
  }
  // The size limit is the process's own: it is set only around the pass,
  // after the archive was written.
  void Limit() {
    if (mounted_) return;
    signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of ending the process
    getrlimit(RLIMIT_FSIZE, &saved_);
    struct rlimit small = saved_;
    small.rlim_cur = kSmallDisk;
    setrlimit(RLIMIT_FSIZE, &small);
  }
  void Unlimit() {
    if (!mounted_) setrlimit(RLIMIT_FSIZE, &saved_);
  }

 private:
  std::string folder_;
  bool mounted_ = false;
  struct rlimit saved_ = {};
};

struct DiskCase {
  const char* why;
  size_t size;
};

// Bytes that do not reach the disk are a bad entry, and its file is gone.
TEST(ExtractArchive, AnEntryTheDiskCannotHoldFails) {
  const DiskCase cases[] = {
      // Whole blocks go to the disk at once; the last 100 bytes wait in the
      // stream's buffer until the close, which is the only call that fails.
      {"the last bytes are lost at the close", kSmallDisk + 100},
      {"a write fails on the way", 3 * kSmallDisk},
  };
  for (const DiskCase& c : cases) {
    std::string folder = ScratchFolder();
    SmallDisk disk(folder + "disk");
    WriteWholeFile(folder + "a.rar", ArchiveOf({StoredEntry("big", PatternBytes(c.size))}));
    PassRecorder pass(AllToFolder(folder + "disk/"));
    PassProgress progress = {[](void*, uint32_t, uint32_t) { return 0; }, nullptr, 0};
    pass.progress = &progress;
    disk.Limit();
    int result = pass.RunFile(folder + "a.rar");
    disk.Unlimit();
    EXPECT_EQ(result, kExtractBadEntry) << c.why;
    EXPECT_EQ(pass.failure, kFailureOutput) << c.why;
    // The system's reason, for the message: the disk is full, or the file
    // would outgrow the size limit.
    EXPECT_TRUE(progress.output_error == ENOSPC || progress.output_error == EFBIG) << progress.output_error;
    EXPECT_FALSE(std::filesystem::exists(folder + "disk/big")) << c.why;
  }
}
#endif

// The time is set through the still open file and the attributes only
// where they differ from what creation gives; the outcome is the same as
// setting both on the closed file: the stamp of every file (the read-only
// one included), and the attributes bit for bit.
TEST(ExtractArchive, FilesGetTheirTimeStampAndReadOnlyAttribute) {
  std::string folder = ScratchFolder();
  FileEntryFields plain = StoredEntry("plain.txt", "p");
  plain.time_stamp = DosTimeStamp(2006, 11, 30, 17, 45, 58);
  FileEntryFields read_only = StoredEntry("read-only.txt", "r");
  read_only.attributes = 0x21;
  read_only.time_stamp = plain.time_stamp;
  FileEntryFields hidden = StoredEntry("hidden.txt", std::string(100000, 'h'));
  hidden.attributes = 0x22;
  hidden.time_stamp = plain.time_stamp;
  FileEntryFields unix_mode = StoredEntry("unix.txt", "u");
  unix_mode.host_system = 3;
  unix_mode.attributes = 0x8124;  // r--r--r-- on its own system: not taken over
  PassRecorder pass(AllToFolder(folder));
  EXPECT_EQ(pass.Run(folder + "a.rar", ArchiveOf({plain, read_only, hidden, unix_mode})), kExtractOk);

  struct tm local = {};
  local.tm_year = 106;
  local.tm_mon = 10;
  local.tm_mday = 30;
  local.tm_hour = 17;
  local.tm_min = 45;
  local.tm_sec = 58;
  local.tm_isdst = -1;
  for (const char* name : {"plain.txt", "read-only.txt", "hidden.txt"}) {
    struct stat info;
    ASSERT_EQ(stat((folder + name).c_str(), &info), 0) << name;
    EXPECT_EQ(info.st_mtime, mktime(&local)) << name;
  }
  EXPECT_FALSE(IsReadOnly(folder + "plain.txt"));
  EXPECT_TRUE(IsReadOnly(folder + "read-only.txt"));
  EXPECT_FALSE(IsReadOnly(folder + "unix.txt"));
#ifdef _WIN32
  EXPECT_EQ(GetFileAttributesA((folder + "plain.txt").c_str()), 0x20u);
  EXPECT_EQ(GetFileAttributesA((folder + "read-only.txt").c_str()), 0x21u);
  EXPECT_EQ(GetFileAttributesA((folder + "hidden.txt").c_str()), 0x22u);
  SetFileAttributesA((folder + "hidden.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
  chmod((folder + "read-only.txt").c_str(), 0644);
}

struct ResultCase {
  const char* why;
  std::vector<FileEntryFields> entries;
  int result;
  uint32_t failure;
  size_t calls;  // first calls the callback gets, memory and verified alike
  size_t good;   // entries that pass, each with a second call in memory
  int skipped;   // the result when the callback skips every entry
};

FileEntryFields Compressed(uint8_t version, const std::string& data, uint32_t crc) {
  FileEntryFields entry = StoredEntry("packed", data);
  entry.method = '3';
  entry.unpack_version = version;
  entry.data_crc = crc;
  return entry;
}

std::vector<ResultCase> ResultCases() {
  FileEntryFields short_data = StoredEntry("short", "abc");
  short_data.unpacked_size = 1000;  // the check value matches the three bytes
  FileEntryFields huge = StoredEntry("huge", "abc");
  huge.unpacked_size = 0x80000000u;
  FileEntryFields largest = StoredEntry("largest", "abc");
  largest.unpacked_size = 0x7FFFFFFF;
  FileEntryFields enciphered = WithFlags(StoredEntry("secret", "cipher"), kFlagEnciphered);
  enciphered.data_crc = Crc32Of("plain!");
  // Skipping makes a bad entry harmless, but not a pass that does not start
  // at an entry's beginning, an entry no pass can unpack, or an archive
  // with nothing in it.
  return {
      {"good entries", ThreeEntries(), kExtractOk, kFailureNone, 3, 3, kExtractOk},
      {"an archive that starts inside an entry belongs to a volume set",
       {WithFlags(StoredEntry("a", "x"), kFlagFromPreviousVolume), StoredEntry("b", "y")},
       kExtractNoArchive,
       kFailureNone,
       0,
       0,
       kExtractNoArchive},
      {"a later entry continued from another volume is incomplete",
       {StoredEntry("a", "x"), WithFlags(StoredEntry("b", "y"), kFlagFromPreviousVolume)},
       kExtractBadEntry,
       kFailureOtherVolume,
       2,
       1,
       kExtractOk},
      {"an entry continued in the next volume is incomplete",
       {StoredEntry("a", "x"), WithFlags(StoredEntry("b", "y"), kFlagToNextVolume)},
       kExtractBadEntry,
       kFailureOtherVolume,
       2,
       1,
       kExtractOk},
      {"enciphered bytes fail their check", {enciphered}, kExtractBadEntry, kFailureEnciphered, 1, 0, kExtractOk},
      {"a compressed entry below version 16 is not unpacked",
       {Compressed(15, "abc", Crc32Of("abc"))},
       kExtractBadEntry,
       kFailureMethodVersion,
       1,
       0,
       kExtractOk},
      {"an empty one of them passes", {Compressed(13, "", 0)}, kExtractOk, kFailureNone, 1, 1, kExtractOk},
      {"fewer bytes than the header promises", {short_data}, kExtractBadEntry, kFailureLength, 1, 0, kExtractOk},
      {"2 GiB or more is refused unread, even when skipped",
       {huge},
       kExtractBadEntry,
       kFailureTooLarge,
       1,
       0,
       kExtractBadEntry},
      {"one byte less is the largest entry: read, and here only short",
       {largest},
       kExtractBadEntry,
       kFailureLength,
       1,
       0,
       kExtractOk},
      {"an archive without a file entry", {}, kExtractBadEntry, kFailureNoEntries, 0, 0, kExtractBadEntry},
  };
}

TEST(ExtractArchive, ResultCodesForMemoryAndVerifiedEntries) {
  for (const ResultCase& c : ResultCases()) {
    for (bool memory : {true, false}) {
      PassRecorder pass(memory ? AllInMemory() : AllVerified());
      EXPECT_EQ(pass.Run(ScratchFolder() + "a.rar", ArchiveOf(c.entries)), c.result) << c.why;
      EXPECT_EQ(pass.failure, c.failure) << c.why;
      EXPECT_EQ(pass.calls.size(), c.calls + (memory ? c.good : 0)) << c.why;
    }
    PassRecorder skipped(AllSkipped());
    EXPECT_EQ(skipped.Run(ScratchFolder() + "a.rar", ArchiveOf(c.entries)), c.skipped) << c.why;
  }
}

// A callback that fills the whole name buffer without a terminator gets it
// cut to 259 characters, never read beyond.
TEST(ExtractArchive, AnUnterminatedAnswerIsCutToTheBuffer) {
  struct Seen {
    size_t second_length = 0;
  } seen;
  EntryCallback fill = [](char* name, const uint8_t* data, uint32_t, void* user) {
    if (data == nullptr) {
      memset(name, '\x01', kNameSize);
    } else {
      static_cast<Seen*>(user)->second_length = strlen(name);
    }
    return 0;
  };
  std::string path = ScratchFolder() + "a.rar";
  WriteWholeFile(path, ArchiveOf({StoredEntry("a", "x")}));
  EXPECT_EQ(ExtractArchive(path.c_str(), fill, &seen), kExtractOk);
  EXPECT_EQ(seen.second_length, kNameSize - 1);
}

}  // namespace
