// The parts that mksetup list --json and test --json share: an entry as the
// archive describes it, the seal and the signature.
#pragma once

#include <string>

#include "tools/archive_catalog.h"
#include "tools/json_text.h"
#include "tools/seal_record.h"

// Name, sizes, method, CRC-32, time stamp and attributes; a command adds
// what it found out.
JsonObject EntryJson(const CatalogEntry& entry);

// null when the file carries no seal (or none this mksetup reads).
std::string SealJson(const SealReport& seal);

// null when the file is not signed; else where its certificate table lies.
std::string SignatureJson(const Catalog& catalog);
