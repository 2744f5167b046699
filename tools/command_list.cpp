#include <cstdio>

#include "archive/archive_format.h"
#include "tools/archive_catalog.h"
#include "tools/command_options.h"
#include "tools/diagnostics.h"
#include "tools/json_report.h"
#include "tools/mksetup_commands.h"
#include "tools/result_messages.h"
#include "tools/seal_record.h"
#include "tools/shown_name.h"

namespace {

std::string EntryLine(const CatalogEntry& entry) {
  const FileHeader& h = entry.header;
  uint32_t date = h.time_stamp >> 16;
  uint32_t time = h.time_stamp & 0xFFFF;
  char method[8];
  if (h.method >= 0x20 && h.method < 0x7F) {
    snprintf(method, sizeof method, "%c", h.method);
  } else {
    snprintf(method, sizeof method, "0x%02X", h.method);
  }
  char line[128];
  snprintf(line, sizeof line, "%10u %10u %-6s %3u  0x%04X 0x%08X %04u-%02u-%02u %02u:%02u:%02u ", h.unpacked_size,
           h.packed_size, method, h.unpack_version, h.flags, h.attributes, (date >> 9) + 1980, (date >> 5) & 0x0F,
           date & 0x1F, time >> 11, (time >> 5) & 0x3F, (time & 0x1F) * 2);
  std::string text = line + ShownName(entry.name);
  if (entry.IsDirectory()) text += "\\";
  if (entry.NameWasCut()) text += "  (name cut from " + std::to_string(entry.stored_name_length) + " bytes)";
  return text;
}

// The whole listing as one JSON document, for scripts.
std::string ListJson(const std::string& file, const Catalog& catalog, const SealReport& seal,
                     const std::string& damage) {
  std::vector<std::string> entries;
  uint64_t unpacked = 0, packed = 0;
  for (const CatalogEntry& entry : catalog.entries) {
    entries.push_back(EntryJson(entry).Text());
    unpacked += entry.header.unpacked_size;
    packed += entry.header.packed_size;
  }
  return JsonObject()
      .Add("file", JsonText(file))
      .Add("archive_offset", JsonNumber(static_cast<uint64_t>(catalog.archive_start)))
      .Add("entries", JsonArray(entries))
      .Add("size", JsonNumber(unpacked))
      .Add("packed", JsonNumber(packed))
      .Add("seal", SealJson(seal))
      .Add("signature", SignatureJson(catalog))
      .Add("damage", damage.empty() ? kJsonNull : JsonText(damage))
      .Text(true);
}

// The listing for people: a line per entry under a heading, the totals,
// and the signature.
void PrintListing(const Catalog& catalog, std::ostream& out) {
  out << "      Size     Packed Method Ver  Flags  Attributes Date       Time     Name\n";
  uint64_t unpacked = 0, packed = 0;
  size_t folders = 0;
  for (const CatalogEntry& entry : catalog.entries) {
    out << EntryLine(entry) << "\n";
    unpacked += entry.header.unpacked_size;
    packed += entry.header.packed_size;
    if (entry.IsDirectory()) ++folders;
  }
  out << catalog.entries.size() << " entries (" << folders << " folders), " << unpacked << " bytes, " << packed
      << " packed\n";
  std::string signature = SignatureLine(catalog);
  if (!signature.empty()) out << signature << "\n";
}

const std::vector<OptionSpec> kListOptions = {{"--json", nullptr, false}};

}  // namespace

int CommandList(const CommandArgs& args, std::ostream& out, std::ostream& err) {
  CommandLine line;
  if (!ParseCommandLine(args, kListOptions, &line, err) || line.operands.size() != 1) {
    err << ShortUsage("list");
    return 2;
  }
  const std::string& file = line.operands[0];
  Catalog catalog = ReadCatalog(file);
  if (!catalog.found) {
    ReportError(err, ResultMessage(2, file, catalog, "", ""));
    return 1;
  }
  // What could be read is listed; a damaged archive still fails the
  // command, as it fails test and extract, so that no script takes a
  // listing for a sound package.
  std::string damage = HeaderDamage(catalog);
  SealReport seal = CheckFileSeal(file);
  if (line.Has("--json")) {
    out << ListJson(file, catalog, seal, damage) << "\n";
  } else {
    PrintListing(catalog, out);
    if (!seal.Refused() && !seal.text.empty()) out << seal.text << "\n";
  }
  if (!damage.empty()) ReportWarning(err, "the archive is damaged " + damage);
  if (seal.Refused()) ReportWarning(err, seal.text);
  return damage.empty() && !seal.Refused() ? 0 : 1;
}
