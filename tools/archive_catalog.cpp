#include "tools/archive_catalog.h"

#include "archive/archive_format.h"
#include "common/file_system.h"

bool CatalogEntry::IsDirectory() const { return (header.attributes & kAttributeDirectory) != 0; }

bool CatalogEntry::IsVolumeLabel() const { return !IsDirectory() && (header.attributes & kAttributeVolumeLabel) != 0; }

Catalog ReadCatalog(const std::string& path) {
  Catalog catalog;
  ExtractContext* context = static_cast<ExtractContext*>(ZeroAlloc(sizeof(ExtractContext)));
  if (context == nullptr) return catalog;
  BuildCrc32Table(&context->crc32_table);
  context->archive_file = FsOpenShared(path.c_str());
  catalog.opened = context->archive_file != nullptr;
  if (catalog.opened && LocateArchive(context)) {
    catalog.found = true;
    catalog.flavour = context->archive_flavour;
    catalog.archive_start = context->archive_start;
    catalog.main_header = context->main_header;
    catalog.main_header_bad = context->main_header_bad != 0;
    catalog.archive_end = context->archive_end;
    catalog.certificate_size = context->certificate_size;
    SkipMainHeaderRest(context);
    while (ReadNextEntry(context) != 0) {
      CatalogEntry entry;
      entry.header = context->file_header;
      NormaliseHostAttributes(&entry.header);
      entry.name = context->entry_name;
      entry.position = context->block_pos;
      // The walk keeps only the kept length; the stored one is read again.
      uint8_t length[2] = {0, 0};
      fseek(context->archive_file, context->block_pos + 26, SEEK_SET);
      entry.stored_name_length =
          fread(length, 1, 2, context->archive_file) == 2 ? ReadLe16(length) : static_cast<uint32_t>(entry.name.size());
      catalog.entries.push_back(entry);
      if (fseek(context->archive_file, context->next_block_pos, SEEK_SET) != 0) break;
    }
    catalog.walk_end = context->walk_end;
    catalog.walk_end_position = context->block_pos;
  }
  if (context->archive_file != nullptr) fclose(context->archive_file);
  FreeAndNull(context);
  return catalog;
}

std::string HeaderDamage(const Catalog& catalog) {
  if (catalog.main_header_bad) {
    return "the main header at offset " + std::to_string(catalog.archive_start + kMarkerSize) +
           " does not match its check value";
  }
  const char* reason = nullptr;
  switch (catalog.walk_end) {
    case kWalkCutHeader:
      reason = "a block header is cut short by the end of the archive";
      break;
    case kWalkBadSize:
      reason = "a block header gives a size too small for its fields";
      break;
    case kWalkNoAdvance:
      reason = "a block's size leads nowhere";
      break;
    case kWalkNoDataSize:
      reason = "a file header does not give the size of its data";
      break;
    case kWalkBadCheck:
      reason = "a header does not match its check value, or has an unknown type";
      break;
    case kWalkCutData:
      reason = "a block's data reaches past the end of the archive";
      break;
    default:
      return "";
  }
  return "at offset " + std::to_string(catalog.walk_end_position) + " " + reason + "; nothing after it is read";
}

std::string SignatureLine(const Catalog& catalog) {
  if (catalog.certificate_size == 0) return "";
  return "signed: a certificate table of " + std::to_string(catalog.certificate_size) + " bytes at offset " +
         std::to_string(catalog.archive_end) + " follows the archive (the signature is not checked)";
}
