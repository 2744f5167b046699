#include "tests/campaign/control_cases.h"

#include "tools/archive_writer.h"

namespace {

FileEntryFields FieldsOf(const CatalogEntry& entry) {
  const FileHeader& header = entry.header;
  FileEntryFields fields;
  fields.name = entry.name;
  fields.unpacked_size = header.unpacked_size;
  fields.data_crc = header.data_crc;
  fields.flags = header.flags;
  fields.host_system = header.host_system;
  fields.attributes = header.attributes;
  fields.time_stamp = header.time_stamp;
  fields.unpack_version = header.unpack_version;
  fields.method = header.method;
  fields.packed_size = header.packed_size;
  return fields;
}

// The file with the entry's header written anew from `fields`, its check
// value made right. The header keeps its length.
std::string WithHeader(std::string bytes, const CatalogEntry& entry, const FileEntryFields& fields) {
  std::string header = ArchiveWriter(kFlavourRar).FileHeaderBytes(fields);
  bytes.replace(static_cast<size_t>(entry.position), header.size(), header);
  return bytes;
}

}  // namespace

std::vector<ControlCase> MakeControls(const std::string& bytes, const Catalog& catalog) {
  std::vector<ControlCase> controls;
  const CatalogEntry* first = nullptr;
  const CatalogEntry* stored = nullptr;
  for (const CatalogEntry& entry : catalog.entries) {
    if (entry.IsDirectory() || entry.IsVolumeLabel()) continue;
    if (first == nullptr) first = &entry;
    if (stored == nullptr && entry.header.method == kMethodStored && entry.header.packed_size > 0) {
      stored = &entry;
    }
  }
  if (first == nullptr) return controls;

  FileEntryFields renamed = FieldsOf(*first);
  renamed.name.back() = renamed.name.back() == 'A' ? 'B' : 'A';
  controls.push_back({first->name + " renamed", WithHeader(bytes, *first, renamed)});

  FileEntryFields later = FieldsOf(*first);
  later.time_stamp += 1;  // two seconds
  controls.push_back({first->name + " two seconds younger", WithHeader(bytes, *first, later)});

  FileEntryFields read_only = FieldsOf(*first);
  read_only.attributes |= kAttributeReadOnly;
  controls.push_back({first->name + " read-only", WithHeader(bytes, *first, read_only)});

  // Entry data can only be changed in place where it is stored.
  if (stored != nullptr) {
    size_t data = static_cast<size_t>(stored->position) + stored->header.size;
    std::string changed = bytes;
    changed[data] = static_cast<char>(changed[data] ^ 0x01);
    FileEntryFields fields = FieldsOf(*stored);
    fields.data_crc = Crc32Of(changed.substr(data, stored->header.packed_size));
    controls.push_back({stored->name + " with another first byte", WithHeader(changed, *stored, fields)});
  }
  return controls;
}
