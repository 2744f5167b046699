#include "tests/campaign/extracted_tree.h"

#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <sstream>

#include "tests/support/scratch.h"

namespace fs = std::filesystem;

std::string Hex(uint32_t value, int width) {
  std::ostringstream text;
  text << "0x" << std::hex << std::setw(width) << std::setfill('0') << value;
  return text.str();
}

ExtractedTree ReadExtractedTree(const std::string& folder, const Catalog& catalog) {
  ExtractedTree tree;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    TreeItem item;
    item.folder = it->is_directory();
    // A folder's own time moves with every file made in it; only files
    // carry the times of their entries.
    if (!item.folder) {
      item.content = ReadWholeFile(it->path().string());
      item.modified = it->last_write_time().time_since_epoch().count();
      item.permissions = static_cast<uint32_t>(it->status().permissions());
    }
    tree[it->path().lexically_relative(folder).generic_string()] = item;
  }
  for (const CatalogEntry& entry : catalog.entries) {
    if (entry.IsDirectory()) continue;
    std::string name = entry.name;
    for (char& c : name) {
      if (c == '\\') c = '/';
    }
    auto found = tree.find(name);
    if (found == tree.end() || found->second.folder) continue;
    found->second.dos_time = entry.header.time_stamp;
    found->second.attributes = entry.header.attributes;
  }
  return tree;
}

std::string TreeDifference(const ExtractedTree& good, const ExtractedTree& got) {
  for (const auto& [name, want] : good) {
    auto found = got.find(name);
    if (found == got.end()) return name + " is missing";
    const TreeItem& item = found->second;
    if (item.folder != want.folder) return name + " is a " + (item.folder ? "folder" : "file");
    if (item.content.size() != want.content.size()) {
      return name + " has " + std::to_string(item.content.size()) + " bytes instead of " +
             std::to_string(want.content.size());
    }
    if (item.content != want.content) {
      auto differ = std::mismatch(want.content.begin(), want.content.end(), item.content.begin());
      return name + " differs from byte " + std::to_string(differ.first - want.content.begin());
    }
    if (item.dos_time != want.dos_time || item.modified != want.modified) {
      return name + " has time stamp " + Hex(item.dos_time) + " instead of " + Hex(want.dos_time);
    }
    if (item.attributes != want.attributes || item.permissions != want.permissions) {
      return name + " has attributes " + Hex(item.attributes) + " instead of " + Hex(want.attributes);
    }
  }
  for (const auto& entry : got) {
    if (good.count(entry.first) == 0) return entry.first + " is extra";
  }
  return "";
}
