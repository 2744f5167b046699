#include "tools/package_builder.h"

#include <fstream>
#include <memory>
#include <sstream>
#include <system_error>

#include "archive/archive_format.h"
#include "pack/packer.h"
#include "tools/archive_writer.h"

namespace fs = std::filesystem;

namespace {

// Main header flag: the archive is solid.
constexpr uint16_t kMainFlagSolid = 0x0008;
// File header dictionary bits: the entry refers back up to 1 MiB.
constexpr uint16_t kFlagDictionary1M = 0x0080;
constexpr uint8_t kUnpackVersion = 20;
constexpr uint8_t kHostWindows = 2;
constexpr size_t kCopyBytes = 1 << 16;

// A stored entry is a plain copy for the installer, a packed one runs
// through the decoder, which is far slower than a few saved bytes are worth.
constexpr uint64_t kMinSavedBytes = 16;

// An entry's source file (or the bytes it carries), read once, with its
// CRC-32 and progress reports.
class SourceReader : public pack::PackInput {
 public:
  SourceReader(const PackageEntry& entry, size_t index, const BuildProgress* progress)
      : index_(index), progress_(progress) {
    if (entry.contents) {
      file_ = std::make_unique<std::istringstream>(*entry.contents, std::ios::binary);
    } else {
      file_ = std::make_unique<std::ifstream>(entry.source, std::ios::binary);
    }
  }

  bool opened() const { return static_cast<bool>(*file_); }
  bool failed() const { return file_->bad(); }
  uint64_t count() const { return count_; }
  uint32_t crc() const { return ~crc_; }

  size_t Read(uint8_t* destination, size_t count) override {
    if (!*file_) return 0;
    file_->read(reinterpret_cast<char*>(destination), static_cast<std::streamsize>(count));
    size_t got = static_cast<size_t>(file_->gcount());
    crc_ = Crc32Update(WriterCrc32Table(), crc_, destination, got);
    count_ += got;
    if (progress_ != nullptr && progress_->reading) progress_->reading(index_, count_);
    return got;
  }

 private:
  size_t index_;
  const BuildProgress* progress_;
  std::unique_ptr<std::istream> file_;
  uint64_t count_ = 0;
  uint32_t crc_ = 0xFFFFFFFF;
};

// Packed data into the archive file.
class FileOutput : public pack::PackOutput {
 public:
  explicit FileOutput(std::ofstream& file) : file_(file) {}
  bool Write(const uint8_t* data, size_t count) override {
    file_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(count));
    return static_cast<bool>(file_);
  }

 private:
  std::ofstream& file_;
};

class ArchiveBuilder {
 public:
  ArchiveBuilder(const BuildOptions& options, const BuildProgress* progress, std::ofstream& out)
      : options_(options), progress_(progress), out_(out), writer_(kFlavourRar) {
    if (options.level > 0) packer_ = std::make_unique<pack::Packer>(options.level, options.second_thread);
  }

  bool AddEntry(const PackageEntry& entry, size_t index, BuildOutcome* outcome);

 private:
  bool Fail(BuildOutcome* outcome, const std::string& message) {
    outcome->error = message;
    return false;
  }
  // A file written to while it is packed would go into the package half
  // old, half new; the scan's size also bounds what the installer unpacks.
  bool SizeChanged(const PackageEntry& entry, uint64_t read, BuildOutcome* outcome) {
    return Fail(outcome, entry.source.u8string() + ": changed while it was read (" + std::to_string(entry.size) +
                             " bytes before, " + std::to_string(read) + " read)");
  }
  // Writes `fields` over the placeholder at `header_at` and returns to the
  // end of the entry's data.
  bool PlaceHeader(std::streamoff header_at, const FileEntryFields& fields, uint64_t data_bytes);
  void TellAdded(size_t index, const FileEntryFields& fields) {
    if (progress_ != nullptr && progress_->added)
      progress_->added(index, fields.packed_size.value_or(0), fields.method == kMethodStored);
  }

  const BuildOptions& options_;
  const BuildProgress* progress_;
  std::ofstream& out_;
  ArchiveWriter writer_;
  std::unique_ptr<pack::Packer> packer_;
};

bool ArchiveBuilder::PlaceHeader(std::streamoff header_at, const FileEntryFields& fields, uint64_t data_bytes) {
  std::string header = writer_.FileHeaderBytes(fields);
  out_.seekp(header_at);
  out_.write(header.data(), static_cast<std::streamsize>(header.size()));
  out_.seekp(header_at + static_cast<std::streamoff>(header.size() + data_bytes));
  return static_cast<bool>(out_);
}

bool ArchiveBuilder::AddEntry(const PackageEntry& entry, size_t index, BuildOutcome* outcome) {
  FileEntryFields fields;
  fields.name = entry.name;
  fields.host_system = kHostWindows;
  fields.attributes = entry.attributes;
  fields.time_stamp = entry.dos_time;
  fields.unpack_version = kUnpackVersion;
  const std::streamoff header_at = out_.tellp();
  const std::string placeholder(kFileHeaderSize + entry.name.size(), '\0');

  // Packed, when that saves enough.
  if (packer_ && entry.size > 0) {
    bool solid = options_.solid && packer_->CanContinue();
    out_.write(placeholder.data(), static_cast<std::streamsize>(placeholder.size()));
    SourceReader reader(entry, index, progress_);
    if (!reader.opened()) return Fail(outcome, entry.source.u8string() + ": cannot be read");
    FileOutput output(out_);
    pack::PackedEntry packed = packer_->PackEntry(&reader, &output, solid);
    if (reader.failed()) return Fail(outcome, entry.source.u8string() + ": read error");
    if (!packed.written) return Fail(outcome, "cannot write the output");
    if (reader.count() != entry.size) return SizeChanged(entry, reader.count(), outcome);
    if (WorthPacking(packed.unpacked_size, packed.packed_size)) {
      fields.method = static_cast<uint8_t>(kMethodStored + options_.level);
      fields.flags = kFlagLongBlock | kFlagDictionary1M | (solid ? kFlagSolid : 0);
      fields.packed_size = static_cast<uint32_t>(packed.packed_size);
      fields.unpacked_size = static_cast<uint32_t>(packed.unpacked_size);
      fields.data_crc = reader.crc();
      outcome->unpacked += packed.unpacked_size;
      outcome->packed += packed.packed_size;
      if (!PlaceHeader(header_at, fields, packed.packed_size)) return Fail(outcome, "cannot write the output");
      TellAdded(index, fields);
      return true;
    }
    // Stored instead: the next solid entry must not refer to these bytes,
    // nor to anything else the packing left in the stream's state.
    packer_->TakeBackEntry();
    out_.seekp(header_at);
  }

  // Stored: the bytes as they are.
  out_.write(placeholder.data(), static_cast<std::streamsize>(placeholder.size()));
  SourceReader reader(entry, index, progress_);
  if (!reader.opened()) return Fail(outcome, entry.source.u8string() + ": cannot be read");
  std::vector<uint8_t> buffer(kCopyBytes);
  for (;;) {
    size_t got = reader.Read(buffer.data(), buffer.size());
    if (got == 0) break;
    out_.write(reinterpret_cast<const char*>(buffer.data()), static_cast<std::streamsize>(got));
  }
  if (reader.failed()) return Fail(outcome, entry.source.u8string() + ": read error");
  if (reader.count() != entry.size) return SizeChanged(entry, reader.count(), outcome);
  fields.method = kMethodStored;
  fields.flags = kFlagLongBlock;
  fields.packed_size = static_cast<uint32_t>(reader.count());
  fields.unpacked_size = static_cast<uint32_t>(reader.count());
  fields.data_crc = reader.crc();
  outcome->unpacked += reader.count();
  outcome->packed += reader.count();
  ++outcome->stored;
  if (!PlaceHeader(header_at, fields, reader.count())) return Fail(outcome, "cannot write the output");
  TellAdded(index, fields);
  return true;
}

}  // namespace

bool WorthPacking(uint64_t unpacked, uint64_t packed) {
  if (packed >= unpacked) return false;
  uint64_t saved = unpacked - packed;
  return saved >= kMinSavedBytes && saved * 100 >= unpacked;
}

BuildOutcome BuildPackage(const std::string& stub, const std::vector<PackageEntry>& entries,
                          const BuildOptions& options, const fs::path& output, const BuildProgress* progress) {
  BuildOutcome outcome;
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  if (!out) {
    outcome.error = "the output cannot be created";
    return outcome;
  }
  out.write(stub.data(), static_cast<std::streamsize>(stub.size()));
  outcome.archive_offset = stub.size();

  ArchiveWriter writer(kFlavourRar);
  MainHeaderFields main;
  if (options.solid && options.level > 0 && entries.size() > 1) main.flags = kMainFlagSolid;
  std::string header = writer.MainHeaderBytes(main);
  out.write(header.data(), static_cast<std::streamsize>(header.size()));

  ArchiveBuilder builder(options, progress, out);
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!builder.AddEntry(entries[i], i, &outcome)) return outcome;
  }
  // A packed entry that was stored instead may leave its longer data
  // behind the end.
  std::streamoff end = out.tellp();
  out.close();
  if (!out) {
    outcome.error = "the output cannot be written";
    return outcome;
  }
  std::error_code error;
  fs::resize_file(output, static_cast<uintmax_t>(end), error);
  if (error) {
    outcome.error = "the output cannot be written: " + error.message();
    return outcome;
  }
  outcome.file_size = static_cast<uint64_t>(end);
  outcome.ok = true;
  return outcome;
}
