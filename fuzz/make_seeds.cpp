// Writes the seed archives of the fuzz targets into the folder given on the
// command line: one of each kind of block and entry the writer can make.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/archive_writer.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_seeds FOLDER\n");
    return 2;
  }
  std::vector<std::pair<std::string, std::string>> seeds;
  seeds.emplace_back("stored", ArchiveOf({StoredEntry("readme.txt", "hello, world\n"),
                                          StoredEntry("dir/data.bin", std::string(5000, '\x5A'))}));
  MainHeaderFields commented;
  commented.extra = "a comment inside the main header";
  FileEntryFields folder = StoredEntry("dir", "");
  folder.attributes = 0x10;
  FileEntryFields label = StoredEntry("LABEL", "");
  label.attributes = 0x08;
  FileEntryFields unix_file = StoredEntry("unix.txt", "mode bits");
  unix_file.host_system = 3;
  unix_file.attributes = 0x81A4;
  seeds.emplace_back("kinds", ArchiveOf({folder, label, unix_file, StoredEntry("x", "")}, commented));

  ArchiveWriter blocks;
  blocks.AddMainHeader();
  blocks.AddBlock(0x77, 0x8000, "sub", "sub-block data");
  blocks.AddFile(StoredEntry("after-sub.txt", "abc"));
  blocks.AddBlock(0x7B, 0);
  seeds.emplace_back("blocks", blocks.bytes());

  FileEntryFields bad = StoredEntry("bad.txt", "damaged");
  bad.data_crc = 0;
  bad.bad_header_check = true;
  FileEntryFields split = StoredEntry("split.bin", "part");
  split.flags = 0x8002;
  seeds.emplace_back("bad", ArchiveOf({bad, split}));
  seeds.emplace_back("long-name", ArchiveOf({StoredEntry(std::string(300, 'n'), "x")}));
  FileEntryFields packed = StoredEntry("packed.bin", std::string(64, '\x3C'));
  packed.method = '3';
  packed.unpacked_size = 1000;
  FileEntryFields solid = packed;
  solid.flags = 0x8010;
  seeds.emplace_back("packed", ArchiveOf({packed, solid}));
  seeds.emplace_back("in-executable", FakeExecutable(1024) + ArchiveOf({StoredEntry("a", "b")}));
  ArchiveWriter old(kFlavourOld);
  old.AddMainHeader();
  old.AddFile(StoredEntry("old.txt", "older flavour"));
  seeds.emplace_back("old-flavour", FakeExecutable(512, true) + old.bytes());

  for (const auto& seed : seeds) {
    std::string path = std::string(argv[1]) + "/" + seed.first + ".rar";
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) return 1;
    fwrite(seed.second.data(), 1, seed.second.size(), file);
    fclose(file);
  }
  return 0;
}
